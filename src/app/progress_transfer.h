// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "data/release_diff.h"
#include "stats/progress_file.h"

#include <QDateTime>

namespace bil {

// The running program's progress as a progress file keeps it: the record in memory (it is
// newer than the file between save points) followed by the bytes stat.dat holds past its
// record, the themes and marks in memory, the live settings, the open database's title and
// question fingerprints, and the answer journal with every record so far.
ProgressFile CollectProgress(AppState& app, const QDateTime& now);

// How the questions of a progress file meet those of the open database.
struct ProgressMatch {
    enum class Kind {
        ByNumber, // the same set, or a file (or an open database) whose set is not known
        ByPrint,  // another release of the set: progress follows each question's fingerprint
        Foreign,  // not one question in common (the other categories)
    };
    Kind What = Kind::ByNumber;
    // ByPrint: the file's questions paired with the open ones, as two releases pair up.
    ReleaseDiff Pairing;
    int Restored = 0;  // ByPrint: open questions that get their progress back
    int Unmatched = 0; // ByPrint: open questions without a match in the file
};
ProgressMatch MatchProgress(const ProgressFile& progress, const Result<QuestionPrints>& open);

// The progress moved onto the open set's numbers (ByPrint): a matched question's counts of all
// three channels, its theme and its mark come from its match; an unmatched one starts from
// zero with the theme its number has by default. A ticket keeps the file's status only when its
// 20 questions matched at their own positions. Everything else (the rest of the record, the
// tail, the settings, the journal, whose records keep their set) is the file's.
ProgressFile MapProgress(const ProgressFile& progress, const ProgressMatch& match);

// Replaces the stores by a checked progress file's, all or nothing: the new statistics and theme
// files (and the answer journal, when the file carries one) are written beside the old ones
// first, then the settings values are stored in one flush, then the files take their places in
// one journaled step. Any failure puts back what was changed and returns the reason; memory
// changes only on success, and the journal is then read anew. The caller refreshes the windows.
Status RestoreProgress(AppState& app, const ProgressFile& progress);

} // namespace bil
