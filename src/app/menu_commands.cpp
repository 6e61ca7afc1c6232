// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/menu_commands.h"

#include "app/database_switch.h"
#include "app/line_break.h"
#include "app/platform.h"
#include "app/startup.h"
#include "stats/save_guard.h"
#include "stats/stat_file.h"

#include <QFileInfo>

namespace bil {

namespace {

void Run(const std::function<void()>& view) {
    if (view)
        view();
}

} // namespace

bool ResetAllCommand(AppState& state, const CommandViews& views) {
    Prompter* prompter = state.services.prompter;
    if (!prompter ||
        !prompter->confirm(QStringLiteral("Вы хотите обнулить результаты и статистику?")))
        return false;
    ResetAllStats(state.Stats);
    state.Themes.DifficultyMark.fill(0);
    // Written now, or the old marks would come back at the next start.
    SaveThemesGuarded(state);
    SaveStatsGuarded(state);
    Run(views.refresh);
    return true;
}

bool ResetTicketCommand(AppState& state, int ticket, const CommandViews& views) {
    Prompter* prompter = state.services.prompter;
    if (ticket < 1 || ticket > TicketCount || !prompter)
        return false;
    if (!prompter->confirm(QStringLiteral("Вы действительно хотите обнулить результаты ") +
                           LineBreak + QStringLiteral(" и статистику по выбранному билету?")))
        return false;
    ResetTicketStats(state.Stats, ticket);
    SaveStatsGuarded(state);
    Run(views.refresh);
    return true;
}

bool ChooseDatabaseCommand(AppState& state, const CommandViews& views) {
    Prompter* prompter = state.services.prompter;
    if (!prompter)
        return false;
    // Opens beside the database in use; the imported ones live in the hidden data folder.
    const QString folder =
        state.Db.DbPath().isEmpty() ? QString() : QFileInfo(state.Db.DbPath()).absolutePath();
    QStringList places;
    if (!state.AppDataDir.isEmpty())
        places << state.AppDataDir;
    const QString chosen = prompter->chooseOpenFileWithPlaces(
        startup_text::OpenDialogTitle, folder, startup_text::OpenDialogFilter, places);
    if (chosen.isEmpty())
        return false;
    if (!QFileInfo(chosen).isFile()) {
        prompter->warn(startup_text::NoDataFile);
        return false;
    }
    return SwitchDatabaseCommand(state, chosen, views);
}

bool SwitchDatabaseCommand(AppState& state, const QString& path, const CommandViews& views) {
    Prompter* prompter = state.services.prompter;
    ResetAllCommand(state, views); // asks; the switch goes on whatever the answer
    const SwitchResult switched = SwitchOpenDatabase(state, path);
    if (switched.Outcome == SwitchOutcome::Failed) {
        // The previous database stays open, and Bas keeps naming it.
        if (prompter)
            prompter->warn(startup_text::SwitchFailure);
        return false;
    }
    // Everything on screen follows the new database, an open statistics window included,
    // whether or not the results were reset.
    Run(views.refresh);
    Run(views.showTitle);
    if (switched.Outcome == SwitchOutcome::NotRemembered && prompter)
        prompter->warn(startup_text::DatabaseNotRemembered + QLatin1Char('\n') +
                       switched.Reason.message());
    return true;
}

bool SwitchAfterImportCommand(AppState& state, const QString& path, const ReleaseCarry& carry,
                              const CommandViews& views, const StudyLauncher& startChanged) {
    if (!carry.Plan)
        return SwitchDatabaseCommand(state, path, views);
    Prompter* prompter = state.services.prompter;
    // The files already hold the carried progress: memory follows them even when the new
    // database cannot be opened now, or the next save would put the old counts back.
    AdoptCarriedProgress(state, *carry.Plan);
    const SwitchResult switched = SwitchOpenDatabase(state, path);
    if (switched.Outcome == SwitchOutcome::Failed) {
        if (prompter)
            prompter->warn(startup_text::SwitchFailure);
        Run(views.refresh);
        return false;
    }
    Run(views.showTitle);
    Run(views.refresh);
    if (switched.Outcome == SwitchOutcome::NotRemembered && prompter)
        prompter->warn(startup_text::DatabaseNotRemembered + QLatin1Char('\n') +
                       switched.Reason.message());
    const std::vector<int> changed = carry.Plan->Diff.freshNumbers();
    if (prompter && startChanged && !changed.empty() &&
        prompter->confirm(QStringLiteral("Новый выпуск билетов загружен, результаты перенесены. "
                                         "Пройти изменённые вопросы (%1) сейчас?")
                              .arg(changed.size())))
        startChanged(RunRequest::changedQuestions(changed));
    return true;
}

} // namespace bil
