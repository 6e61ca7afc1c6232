// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Turning an opened data set into the program's files, as a list of steps: each step stages its
// files into the import's FileSet, and only when every step has prepared are they all put in
// place as one set. So a failure or a cancel anywhere changes nothing, and a kill between the
// renames is finished or undone at the next start.
//
//     std::vector<ImportStep> steps{DatabasesStep(appDataDir)};   // more steps may follow
//     ImportContext context{progress, &cancel};
//     Status done = RunDataSetImport(source, steps, context);

#include "data/dataset_source.h"
#include "data/dbv_import.h"
#include "data/status.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace bil {

class FileSet;

// What the work is doing now, ready to show: a caption, and a count (Total -1: unknown).
struct ImportProgress {
    enum class Stage { Download, Unpack, Build, Check, Install };
    Stage Phase = Stage::Download;
    QString Caption;
    qint64 Done = 0;
    qint64 Total = -1;
};

// Shared by the steps of one import.
struct ImportContext {
    std::function<void(const ImportProgress&)> Progress; // optional; called on the worker thread
    const CancelFlag* Cancel = nullptr;                  // optional
    FileSet* Files = nullptr; // where the steps stage their files; set by RunDataSetImport

    bool cancelled() const { return Cancel && Cancel->load(); }
    void report(ImportProgress::Stage stage, const QString& caption, qint64 done,
                qint64 total) const {
        if (Progress)
            Progress(ImportProgress{stage, caption, done, total});
    }
};

struct ImportStep {
    // Reads the data set and stages files into context.Files; nothing the program uses changes.
    std::function<Status(const DataSetRoot& root, const ImportContext& context)> Prepare;
    // Optional: told how the set's commit went, after every step's files were put in place.
    std::function<void(const FileSet& files)> Committed;
};

// Opens the source (folder, archive or address), prepares every step on its root in order,
// then commits all their files as one set. The first failure stops the import with its message;
// a failure of an optional file is left to its step to report.
Status RunDataSetImport(const QString& source, const std::vector<ImportStep>& steps,
                        const ImportContext& context, DataSetSourceOptions sourceOptions = {});

// Asked, on the worker thread, when the data set holds characters cp1251 lacks: true replaces
// them with '?' and goes on, false fails the import.
using AskReplace = std::function<bool(const UnencodableChars& found)>;

// The question for AskReplace, naming each character and the number of places it is in.
QString ReplaceQuestion(const UnencodableChars& found);

// File names of the two databases in a folder.
inline const QString DatabaseFileAB = QStringLiteral("dataAB.dbv");
inline const QString DatabaseFileCD = QStringLiteral("dataCD.dbv");

// Builds dataAB.dbv and dataCD.dbv into `folder` from one read of the data set: each is staged
// beside its target, checked with the reader of `biletoria-dbv check`, and replaces any older
// one with the set, both or neither. With replace, characters cp1251 lacks become '?'; else,
// with ask, the learner is asked once for both sets; else each place is an error. `staged`, when
// given, receives where each staged database lies until the commit (A,B first), for a later step
// that compares it with the open one.
ImportStep DatabasesStep(const QString& folder, bool replace = false, AskReplace ask = {},
                         std::shared_ptr<std::array<QString, 2>> staged = nullptr);

// A caption for a byte count: "12,3 МБ" or "512 КБ".
QString ByteCountText(qint64 bytes);

} // namespace bil
