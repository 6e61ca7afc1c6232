// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/release_update.h"
#include "data/dataset_import.h"
#include "help/help_pack.h"

#include <QDialog>

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace bil {

// Where the open question data set is published: its main branch as a zip archive.
inline const QString DataSetDefaultUrl =
    QStringLiteral("https://github.com/etspring/pdd_russia/archive/refs/heads/master.zip");

// Tooltip of the main window's title line while the demo database is open.
inline const QString DemoDatabaseHint = QStringLiteral(
    "Это демонстрационные вопросы, на экзамене таких не будет.\n"
    "Настоящие билеты ПДД загружаются одной командой: «Настройка» → «Загрузить билеты ПДД…».");

// "Загрузить билеты ПДД…": loads the open data set from its address, an archive or a folder
// and writes dataAB.dbv and dataCD.dbv into the user's data folder, with the help pages built
// from the same data set (and the rules text, when the learner gives it) in <data folder>/help. The
// work runs on a thread of its own; the dialog shows its progress and stops it on "Отмена".
// Accepted only when both databases are in place; the caller then switches to chosenDatabase(),
// carrying the progress over when carry() holds a plan the learner agreed to.
class ImportDialog : public QDialog {
public:
    explicit ImportDialog(AppState& state, QWidget* parent = nullptr);
    ~ImportDialog() override; // a running import is cancelled and waited for

    // The progress carried over to a new release of the open database, if any.
    const ReleaseCarry& carry() const { return *m_carry; }
    // The database of the chosen category in the data folder.
    QString chosenDatabase() const;

    // Controls.
    QLineEdit* SourceEdit = nullptr;
    QPushButton* ArchiveButton = nullptr; // "Архив…"
    QPushButton* FolderButton = nullptr;  // "Папка…"
    QRadioButton* CategoryAB = nullptr;
    QRadioButton* CategoryCD = nullptr;
    QLineEdit* RulesEdit = nullptr;     // the rules text for the help pages; may stay empty
    QPushButton* RulesButton = nullptr; // "Текст ПДД…"
    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* StartButton = nullptr;  // "Загрузить"
    QPushButton* CancelButton = nullptr; // "Отмена" while working, else closes

    // Handlers.
    void StartClick();
    void CancelClick();
    void ArchiveClick();
    void FolderClick();
    void RulesClick();

protected:
    // Closing the window while working cancels the work instead.
    void reject() override;

private:
    // The work done on the opened data set, in order, and the comparison before its commit;
    // new kinds of content add their steps.
    ReleaseImport importWork(const QString& dataFolder, const QString& source);
    void showProgress(const ImportProgress& progress);
    void workFinished();
    void setRunning(bool running);
    QString dataFolder() const;

    AppState& m_state;
    QThread* m_worker = nullptr;
    std::shared_ptr<CancelFlag> m_cancel;
    std::shared_ptr<Status> m_outcome;
    std::shared_ptr<HelpPackReport> m_help; // of the running import
    std::shared_ptr<ReleaseCarry> m_carry = std::make_shared<ReleaseCarry>();
    QString m_dataFolder; // where the running import writes
};

} // namespace bil
