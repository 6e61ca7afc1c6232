#pragma once

#include "data/status.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace bil {

struct HelpPackOptions {
    QString Root;      // the data set root: signs/, markup/, penalties/, questions/, images/
    QString RulesFile; // optional text of the rules, plain text or HTML
    QString Source;    // where the data set came from, kept in the pack; Root when empty
    std::function<void(const QString&)> Progress; // optional progress lines
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

// One line for the learner: "знаков 310, разметки 47, …".
QString DescribeHelpPack(const HelpPackSummary& summary);

} // namespace bil
