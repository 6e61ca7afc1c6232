// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database.h"
#include "data/numbering.h"
#include "data/status.h"

#include <QString>

#include <array>
#include <cstdint>

namespace bil {

// A question's identity across releases of the question set: the same text (blanks collapsed),
// the same answers in the same order, the same right answer and the same picture bytes give the
// same value. The comment is not part of it: a corrected explanation keeps the question.
using Fingerprint = uint64_t;

using QuestionPrints = std::array<Fingerprint, QuestionCount>;

// Text as it takes part in a fingerprint: runs of blanks (any Unicode space) become one
// space, none at either end; letters stay as written ("ё" is not "е" here).
QString NormaliseForPrint(const QString& text);

// The fingerprint of one question as read with its picture.
Fingerprint QuestionFingerprint(const TQuestion& question);

// The fingerprint of a question set: its 800 question fingerprints in number order.
Fingerprint SetFingerprint(const QuestionPrints& prints);

// 16 lower-case hex digits, for messages, files and the tool.
QString FingerprintText(Fingerprint print);

// Every question's fingerprint of an open database (reads all pictures); fails on the first
// question that cannot be read.
Result<QuestionPrints> ComputeQuestionPrints(const Database& db);

// The open database's fingerprints, computed on first use and again whenever the database is
// another one (same rule as the search index). They are taken from the prints file beside the
// database when it was made for this very file, and written there after a computation.
class PrintCache {
public:
    // The prints of db as it is open now; computes them when db changed since the last call.
    Result<QuestionPrints> prints(const Database& db);
    // The set fingerprint of db, or 0 when a question cannot be read.
    Fingerprint setPrint(const Database& db);
    void invalidate() { m_valid = false; }

private:
    bool m_valid = false;
    QString m_dbPath;
    std::array<TQuestionEntry, QuestionCount> m_dbIndex{};
    QuestionPrints m_prints{};
    Fingerprint m_set = 0;
};

} // namespace bil
