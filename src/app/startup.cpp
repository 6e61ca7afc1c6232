// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/app_data.h"
#include "app/catalogue.h"
#include "app/platform.h"
#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/dataset_import.h"
#include "data/file_commit.h"
#include "data/themes.h"
#include "stats/stat_file.h"

#include <QFileInfo>

namespace bil {

namespace {

bool IsFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// Opens the database named by the settings, or the one the user picks. False: the program ends.
bool OpenStartupDatabase(AppState& state, const SettingsLoad& load) {
    Prompter& prompter = *state.services.prompter;
    SettingsStore& store = *state.services.store;

    if (IsFile(load.DbPath)) {
        if (state.Db.OpenDatabase(load.DbPath))
            return true;
        prompter.warn(startup_text::DamagedDatabase);
        StoreDatabasePath(store, QString()); // the next start asks for the database
        return false;
    }

    prompter.warn(startup_text::MissingDatabase);
    // The dialog opens in the program folder only when this start looked for the database there.
    const QString folder = load.FirstRun ? state.ProgramDir : QString();
    const QString chosen = prompter.chooseOpenFile(startup_text::OpenDialogTitle, folder,
                                                   startup_text::OpenDialogFilter);
    if (chosen.isEmpty()) {
        prompter.warn(startup_text::DatabaseFailure);
        return false;
    }
    if (!IsFile(chosen)) {
        prompter.warn(startup_text::NoDataFile);
        return false;
    }
    if (!state.Db.OpenDatabase(chosen)) {
        prompter.warn(startup_text::DatabaseFailure);
        return false;
    }
    if (Status s = StoreDatabasePath(store, chosen); !s)
        prompter.warn(s.message());
    return true;
}

} // namespace

StartupResult RunStartup(AppState& state) {
    Prompter& prompter = *state.services.prompter;
    if (state.services.random)
        state.services.random->reseed();

    const SettingsLoad load = LoadSettings(*state.services.store, state.Config, state.ProgramDir);
    if (!load.StoreStatus)
        prompter.warn(load.StoreStatus.message()); // the settings still apply for this run

    // The folder asked for by the program entry (empty: the default place).
    const Result<QString> folder = AppDataFolder(state.AppDataDir);
    // A database import killed between its renames is finished or undone before any database
    // is opened, and what killed writes left behind goes.
    if (folder) {
        if (Status recovered = RecoverFileSets(*folder); !recovered)
            prompter.warn(recovered.message());
        RemoveStaleLeftovers(
            *folder,
            {DatabaseFileAB, DatabaseFileCD, QFileInfo(StatFilePath(*folder)).fileName(),
             QFileInfo(ThemeFilePath(*folder)).fileName(),
             QFileInfo(ReleaseHistoryPath(*folder)).fileName(), QStringLiteral("help")},
            ClockOf(state.services).nowUtc());
    }

    if (!OpenStartupDatabase(state, load))
        return StartupResult::EndProgram;

    if (!folder) {
        prompter.warn(folder.error());
        return StartupResult::EndProgram;
    }
    state.AppDataDir = folder.value();

    Result<LoadedStats> stats = LoadStats(StatFilePath(state.AppDataDir));
    if (!stats) {
        prompter.warn(stats.error());
        return StartupResult::EndProgram;
    }
    // A file that could not be created is not reported here; the next save tries again.
    state.Stats = stats->Record;
    // Without it only the «Изменённые вопросы» run and the answers of older releases are lost.
    if (Result<ReleaseHistory> releases = ReadReleaseHistory(ReleaseHistoryPath(state.AppDataDir)))
        state.Releases = std::move(*releases);
    else
        prompter.warn(releases.error());
    state.Sources.PrepChecks = PrepChecksFromMask(state.Stats.PrepPositions);
    state.Launch.DrawnTickets.fill(0);
    return StartupResult::Continue;
}

StartupResult LoadThemesAtStartup(AppState& state) {
    if (Status s = LoadThemeTable(state.Themes, state.Db, state.AppDataDir); !s) {
        state.services.prompter->warn(s.message());
        return StartupResult::EndProgram;
    }
    return StartupResult::Continue;
}

} // namespace bil
