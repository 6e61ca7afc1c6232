// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace bil::test {

// A prompter that answers from queues and records everything it was asked to show.
class ScriptedPrompter final : public Prompter {
public:
    enum class Kind { YesNo, Message, OpenFile, Folder, Date, Number };
    struct Shown {
        Kind kind;
        QString caption;
        QString text; // the question, the message, or the dialog title
        Icon icon;    // Question for Yes/No and file dialogs
        QString folder;
        QString filter;
        QStringList places;     // folders added to a file dialog's side bar
        QString details;        // of an ask()
        bool defaultYes = true; // of an ask()
    };

    // Queued answers; an empty queue answers No (or what answerWhenEmpty set) and cancels file
    // dialogs.
    void queueYesNo(bool yes) { m_answers.push_back(yes); }
    void queueFile(const QString& path) { m_files.push_back(path); }
    void answerWhenEmpty(bool yes) { m_whenEmpty = yes; }
    // Runs inside the next Yes/No question, before it is answered, like a timer firing while the
    // box is open.
    void duringNextQuestion(std::function<void()> action) { m_during = std::move(action); }
    // Answers of the date and number dialogs; an empty queue cancels them.
    void queueDate(DateChoice choice) { m_dates.push_back(choice); }
    void queueNumber(int number) { m_numbers.push_back(number); }

    bool askYesNo(const QString& caption, const QString& text) override;
    // Answers from the same queue as askYesNo; the details and the default are kept.
    bool ask(const YesNoQuestion& question) override;
    void message(const QString& caption, const QString& text, Icon icon) override;
    QString chooseOpenFile(const QString& title, const QString& folder,
                           const QString& filter) override;
    QString chooseOpenFileWithPlaces(const QString& title, const QString& folder,
                                     const QString& filter, const QStringList& places) override;
    // Answers from the same queue as chooseOpenFile.
    QString chooseFolder(const QString& title, const QString& folder) override;
    // Answers from the same queue as chooseOpenFile; the proposed path is kept as the folder.
    QString chooseSaveFile(const QString& title, const QString& proposed,
                           const QString& filter) override;
    void closeQuestions() override { m_closing = m_closing || m_asking; }
    // The date shown first is kept as the folder ("yyyy-MM-dd", empty for none).
    DateChoice chooseDate(const QString& title, const QString& text, const QDate& current,
                          const QDate& earliest) override;
    // The number shown first is kept as the folder; a queued number outside min..max is
    // given as it is, so a test can see the caller limit it.
    std::optional<int> chooseNumber(const QString& title, const QString& text, int current, int min,
                                    int max) override;

    const std::vector<Shown>& shown() const { return m_shown; }
    // Texts of everything shown, in order.
    QStringList texts() const;
    // Texts of the Yes/No questions, and of the messages, in order.
    QStringList questions() const;
    QStringList messages() const;
    // Questions the program closed while they were open (from duringNextQuestion).
    int closedQuestions() const { return m_closedQuestions; }
    // True when some message or question had exactly this text.
    bool showed(const QString& text) const;
    void clear() { m_shown.clear(); }
    int pendingAnswers() const {
        return int(m_answers.size() + m_files.size() + m_dates.size() + m_numbers.size());
    }

private:
    std::deque<bool> m_answers;
    std::deque<QString> m_files;
    std::deque<DateChoice> m_dates;
    std::deque<int> m_numbers;
    std::vector<Shown> m_shown;
    bool m_whenEmpty = false;
    std::function<void()> m_during;
    bool m_asking = false;
    bool m_closing = false;
    int m_closedQuestions = 0;

    QStringList textsOf(Kind kind) const;
};

} // namespace bil::test
