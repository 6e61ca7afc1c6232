// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/release_update.h"
#include "app/run_request.h"

#include <QString>

#include <functional>

namespace bil {

// What the commands below ask of the main window; an empty function is skipped.
struct CommandViews {
    // The refresh sequence: catalogues, progress picture, an open statistics window.
    std::function<void()> refresh;
    // The open database is another one: its title is shown again.
    std::function<void()> showTitle;
};

// "Обнулить результаты и статистику": asks, and on Yes clears every count and status (the
// preparation choice stays) and the difficulty marks, writes tema4.dat and then stat.dat
// through their save guards and refreshes. True when the results were reset.
bool ResetAllCommand(AppState& state, const CommandViews& views);

// Ctrl+Shift+click on ticket 1..40 of the catalogue: asks, and on Yes clears that ticket's
// status and the counts of its 20 questions, saves the statistics and refreshes.
bool ResetTicketCommand(AppState& state, int ticket, const CommandViews& views);

// "Выбрать базу вопросов": the open-file dialog, then SwitchDatabaseCommand. A chosen name
// that is no file is warned about before anything is asked or changed.
bool ChooseDatabaseCommand(AppState& state, const CommandViews& views);

// The switch from its reset question on: asks about the reset (the switch goes on whatever the
// answer), opens path in place of the open database, rebuilds the help links, shows the title
// and remembers it as Bas, telling the learner about any failure. False when the old database
// stays in use.
bool SwitchDatabaseCommand(AppState& state, const QString& path, const CommandViews& views);

// After an import has put the databases in place. With progress carried over to a new release
// (its files written by the import), the new database is opened without the reset question,
// the carried progress taken in memory and the changed questions offered as a run («Да» hands
// it to startChanged); otherwise as SwitchDatabaseCommand.
bool SwitchAfterImportCommand(AppState& state, const QString& path, const ReleaseCarry& carry,
                              const CommandViews& views, const StudyLauncher& startChanged = {});

} // namespace bil
