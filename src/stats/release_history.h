// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The releases of the question set the learner's progress was carried across (releases.dat):
// for each carry-over, which old question each new number keeps. It lets the changed questions
// be studied later and lets answers journaled under an older release count for the question
// they were given to, at its number now.

#include "data/fingerprint.h"
#include "data/numbering.h"
#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace bil {

struct JournalEntry;

// One carry-over from the set Old to the set New.
struct ReleaseStep {
    Fingerprint Old = 0;
    Fingerprint New = 0;
    // New number n-1 -> the old number whose progress question n keeps; 0: starts from zero.
    std::array<uint16_t, QuestionCount> KeptFrom{};
    bool operator==(const ReleaseStep&) const = default;
};

using ReleaseHistory = std::vector<ReleaseStep>;

// Steps kept in the file; older ones go first (answers that old no longer weigh much).
constexpr int ReleaseHistoryLimit = 32;

inline const QByteArray ReleaseHistoryMagic = QByteArrayLiteral("BILRELS\x01");

// "<folder>/releases.dat".
QString ReleaseHistoryPath(const QString& appDataDir);
// The file's bytes: magic, count, the steps, CRC-32C of everything before it.
QByteArray ReleaseHistoryBytes(const ReleaseHistory& history);
// Reads the bytes; every kind of damage is an error naming it.
Result<ReleaseHistory> ParseReleaseHistory(const QByteArray& bytes);
// Reads the file; a missing file is an empty history.
Result<ReleaseHistory> ReadReleaseHistory(const QString& path);
// The history with one more step, the oldest dropped past the limit.
ReleaseHistory WithStep(ReleaseHistory history, const ReleaseStep& step);

// The questions of set that started from zero at the carry-over to it (changed and new),
// ascending; empty when the last carry-over did not lead to set.
std::vector<int> ChangedQuestions(const ReleaseHistory& history, Fingerprint set);

// The records as if given to set: a record of an earlier release that reached set through the
// history gets its question's number in set (and set's fingerprint); a record of a question
// that changed or went on the way is dropped. Records of set and of unrelated sets stay as
// they are.
std::vector<JournalEntry> InRelease(const std::vector<JournalEntry>& entries, Fingerprint set,
                                    const ReleaseHistory& history);

} // namespace bil
