#pragma once

#include "app/app_state.h"
#include "stats/progress_file.h"

#include <QDateTime>

namespace bil {

// The running program's progress as a progress file keeps it: the record in memory (it is
// newer than the file between save points) followed by the bytes stat.dat holds past its
// record, the themes and marks in memory, the live settings, the open database's title.
ProgressFile CollectProgress(const AppState& app, const QDateTime& now);

// What restoring did to each store.
struct RestoreReport {
    Status Stats = Status::Ok();
    Status Themes = Status::Ok();
    Status Settings = Status::Ok();
    bool ok() const { return Stats.ok() && Themes.ok() && Settings.ok(); }
};

// Replaces the three stores by a checked progress file's: the statistics and themes in memory
// and on disk through their save guards (each file whole or not at all; a failure is warned
// about once, the memory keeps the restored state and the next save point writes it), the
// settings values in one flush. The caller refreshes the windows.
RestoreReport RestoreProgress(AppState& app, const ProgressFile& progress);

} // namespace bil
