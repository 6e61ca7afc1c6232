#pragma once

#include "app/platform.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace bil::test {

// A prompter that answers from queues and records everything it was asked to show.
class ScriptedPrompter final : public Prompter {
public:
    enum class Kind { YesNo, Message, OpenFile, Folder };
    struct Shown {
        Kind kind;
        QString caption;
        QString text; // the question, the message, or the dialog title
        Icon icon;    // Question for Yes/No and file dialogs
        QString folder;
        QString filter;
        QString details;        // of an ask()
        bool defaultYes = true; // of an ask()
    };

    // Queued answers; an empty queue answers No and cancels file dialogs.
    void queueYesNo(bool yes) { m_answers.push_back(yes); }
    void queueFile(const QString& path) { m_files.push_back(path); }

    bool askYesNo(const QString& caption, const QString& text) override;
    // Answers from the same queue as askYesNo; the details and the default are kept.
    bool ask(const YesNoQuestion& question) override;
    void message(const QString& caption, const QString& text, Icon icon) override;
    QString chooseOpenFile(const QString& title, const QString& folder,
                           const QString& filter) override;
    // Answers from the same queue as chooseOpenFile.
    QString chooseFolder(const QString& title, const QString& folder) override;
    // Answers from the same queue as chooseOpenFile; the proposed path is kept as the folder.
    QString chooseSaveFile(const QString& title, const QString& proposed,
                           const QString& filter) override;

    const std::vector<Shown>& shown() const { return m_shown; }
    // Texts of everything shown, in order.
    QStringList texts() const;
    // True when some message or question had exactly this text.
    bool showed(const QString& text) const;
    void clear() { m_shown.clear(); }
    int pendingAnswers() const { return int(m_answers.size() + m_files.size()); }

private:
    std::deque<bool> m_answers;
    std::deque<QString> m_files;
    std::vector<Shown> m_shown;
};

} // namespace bil::test
