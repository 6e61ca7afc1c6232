// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "data/status.h"

#include <QString>

namespace bil {

// How replacing the open database ended.
enum class SwitchOutcome {
    Failed,        // the file could not be opened: the previous database, its links and Bas stay
    Switched,      // the new database is open, its help links built, and Bas names it
    NotRemembered, // open and in use, but Bas could not be written: the next start uses the old one
};

struct SwitchResult {
    SwitchOutcome Outcome = SwitchOutcome::Failed;
    Status Reason = Status::Ok(); // why it failed or was not remembered
};

// Opens path in place of the open database, rebuilds the help links of every comment from it
// (the links of the old database would open the wrong rules) and stores it as Bas.
SwitchResult SwitchOpenDatabase(AppState& state, const QString& path);

} // namespace bil
