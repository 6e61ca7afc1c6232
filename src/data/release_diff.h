// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database.h"
#include "data/fingerprint.h"
#include "data/status.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace bil {

// Parts of a question that can differ between two releases (bits).
enum ChangedPart : unsigned {
    PartText = 1,
    PartAnswers = 2,  // answer count, or an answer's text (blanks collapsed) in its slot
    PartRight = 4,    // the text of the right answer, so a reordering alone is not "right"
    PartPicture = 8,  // presence or bytes
    PartComment = 16, // not in the print: a comment-only change keeps the question's progress
};

// One question that is not simply the same at the same number.
struct QuestionDiff {
    enum class Kind { Moved, Changed, New, Gone };
    Kind What = Kind::Changed;
    int Old = 0;        // number in the old release (0 for New)
    int Now = 0;        // number in the new release (0 for Gone)
    unsigned Parts = 0; // for Changed: ChangedPart bits
};

// How two releases of a question set pair up. For each number n of the new release:
//  - unchanged: the old question n has the same print (its comment may differ);
//  - moved m -> n: the print is not the old n's but the old question m's (m != n), whose own
//    number does not keep it in the new release; of several such m the lowest one not taken;
//  - changed n: neither of the above, and the old question n did not move away either (its
//    print is nowhere at another number of the new release): the same number, another print;
//  - new n: anything else.
// An old question that is nobody's unchanged, moved or changed self is gone.
struct ReleaseDiff {
    std::vector<QuestionDiff> Items; // in order of number (Now, or Old for Gone)
    // New number n-1 -> the old number whose progress question n keeps; 0: starts from zero.
    std::array<int, QuestionCount> KeptFrom{};
    int Unchanged = 0; // comment-only changes included
    int Moved = 0;
    int Changed = 0;
    int Added = 0;
    int Gone = 0;

    // New numbers of the questions whose progress starts from zero (changed and new), ascending.
    std::vector<int> freshNumbers() const;
    // The diff tool's lines: one per item, then the summary.
    QStringList lines() const;
    // The summary line "unchanged U, moved M, changed C, new N, gone G".
    QString summary() const;
};

// The pairing from the prints alone; changed questions get no parts and comments are not looked
// at (the carry-over of progress needs nothing more).
ReleaseDiff PairReleases(const QuestionPrints& oldPrints, const QuestionPrints& newPrints);

// The pairing, then the parts of every changed question and the comments of unchanged ones
// (a comment-only change is listed as changed with PartComment but counts as unchanged).
Result<ReleaseDiff> DiffReleases(const Database& oldDb, const QuestionPrints& oldPrints,
                                 const Database& newDb, const QuestionPrints& newPrints);

// The differing parts of two questions, as "text|answers|…" in the order of ChangedPart.
unsigned ChangedParts(const TQuestion& before, const TQuestion& after);
QString PartsText(unsigned parts);

} // namespace bil
