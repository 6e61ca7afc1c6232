// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/dataset_import.h"
#include "data/status.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace bil {

class FileSet;

struct HelpPackOptions {
    QString Root;      // the data set root: signs/, markup/, penalties/, questions/, images/
    QString RulesFile; // optional text of the rules, plain text or HTML
    QString Source;    // where the data set came from, kept in the pack; Root when empty
    std::function<void(const QString&)> Progress; // optional progress captions
    const CancelFlag* Cancel = nullptr;           // optional: stops the build at once
};

// What went into a pack.
struct HelpPackSummary {
    int Signs = 0;
    int Markings = 0;
    int WithoutPicture = 0; // signs and markings whose picture file is missing or unreadable
    int Fines = 0;
    int RuleItems = 0; // entries of rule items
    int RuleTexts = 0; // of them, with the item's own text
    int Questions = 0; // questions read from the tickets
    QStringList Notes; // parts of the data set that were missing or skipped
};

// Builds the help pages from the data set and writes them to `outDir` as a whole (the old
// folder stays until the new one is complete). Parts missing from the data set are left out and
// noted; a part that is present but damaged, a rules file that cannot be read or a data set
// with none of the parts fails, naming the file, and leaves `outDir` untouched.
Result<HelpPackSummary> BuildHelpPack(const HelpPackOptions& options, const QString& outDir);

// BuildHelpPack up to the point where the new pack lies complete beside the old one, staged as
// an entry of `into` (optional or not), whose commit() then puts it in place.
Result<HelpPackSummary> PrepareHelpPack(const HelpPackOptions& options, const QString& outDir,
                                        FileSet& into, bool optional = false);

// How the help pack step of an import went.
struct HelpPackReport {
    Status Built = Status::Ok(); // also a pack built but not put in place
    HelpPackSummary Summary;
    int Entry = -1; // in the import's file set
};

// The help pack as a step of a data set import: prepared into a new folder beside `folder`,
// put in place with the import's other files. `source` is kept in the pack as its origin.
// An optional pack that cannot be built or put in place does not stop the import (the questions
// matter more): the reason goes to the report and the old pack stays. A cancel always stops it.
ImportStep HelpPackStep(const QString& folder, const QString& rulesFile, const QString& source,
                        std::shared_ptr<HelpPackReport> report = {}, bool optional = false);

// One line for the learner: "знаков 310, разметки 47, …".
QString DescribeHelpPack(const HelpPackSummary& summary);

} // namespace bil
