// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/fingerprint.h"
#include "exam/pass_chance.h"
#include "stats/memory_model.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace bil {

struct JournalEntry;

// The chance to pass the exam at time (UTC seconds) from the journal's reviews of the set.
double ChanceToPass(const std::vector<JournalEntry>& entries, Fingerprint set, int64_t at);

// The questions of a review run: those whose recall has fallen below 0.9 (most overdue
// first), then, up to goal, those that would raise the chance to pass the most
// (∂P/∂p_i · (1 − p_i)). Question numbers 1..800.
std::vector<int> ReviewQuestions(const MemoryStates& states, int64_t now, int goal);

// The questions that would raise the chance to pass the most, best first, at most count.
std::vector<int> MostValuableQuestions(const AnswerChances& p, int count);

// 800 chances of a right answer, one number 0..1 per line (a decimal point or comma);
// the error names the line in Russian.
Result<AnswerChances> ParseAnswerChances(const QByteArray& text);

} // namespace bil
