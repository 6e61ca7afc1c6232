// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "stats/progress_file.h"

#include <QDateTime>

namespace bil {

// The running program's progress as a progress file keeps it: the record in memory (it is
// newer than the file between save points) followed by the bytes stat.dat holds past its
// record, the themes and marks in memory, the live settings, the open database's title.
ProgressFile CollectProgress(const AppState& app, const QDateTime& now);

// Replaces the three stores by a checked progress file's, all or nothing: the new statistics
// and theme files are written beside the old ones first, then the settings values are stored in
// one flush, then both files take their places in one journaled step. Any failure puts back
// what was changed and returns the reason; memory changes only on success. The caller
// refreshes the windows.
Status RestoreProgress(AppState& app, const ProgressFile& progress);

} // namespace bil
