// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The journal of a FileSet: what a commit records before its first rename, and the run of the
// set to its end, by the commit itself or by the next start after a kill.

#include "data/file_commit.h"

#include <QByteArray>

#include <vector>

namespace bil {

struct FileSet::Entry {
    bool Folder = false;
    bool Optional = false;
    QString Target;
    QString Staged; // the new content until it takes the target's place
    QString Saved;  // the old content kept until the set is through; empty: none (files)
    Status Outcome = Status::Ok();
};

// The journal of a commit about to begin.
QByteArray CommitJournalText(const std::vector<FileSet::Entry>& entries);

// Runs the set described by the journal to its end: forward (required entries first, an
// optional one failing is undone alone), or undone when the journal says so or a required
// entry fails. Returns the first required failure; optional failures go into the entries.
Status ApplyFileSet(std::vector<FileSet::Entry>& entries, bool revert, bool closed, int journalFd);

} // namespace bil
