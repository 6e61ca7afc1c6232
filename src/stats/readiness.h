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
// (∂P/∂p_i · (1 − p_i), when above zero). Question numbers 1..800.
std::vector<int> ReviewQuestions(const MemoryStates& states, int64_t now, int goal);

// What knowing each question for sure would add to the chance to pass, to first order:
// ∂P/∂p_i · (1 − p_i), index n-1.
std::array<double, QuestionCount> ChanceGains(const AnswerChances& p);
// The questions of the largest gains, best first, at most count; none that would add nothing
// (while no group of the exam can be passed yet, none would).
std::vector<int> LargestGains(const std::array<double, QuestionCount>& gains, int count);
// The questions that would raise the chance to pass the most: LargestGains(ChanceGains(p)).
std::vector<int> MostValuableQuestions(const AnswerChances& p, int count);

// The chance to pass as it stood at the close of one day.
struct DayChance {
    int64_t Day = 0; // local days since 1970-01-01
    double Chance = 0.0;
    bool operator==(const DayChance&) const = default;
};

// The local day (days since 1970-01-01) of a UTC time, utcOffset seconds east of UTC.
int64_t LocalDay(int64_t time, int utcOffset);

// One point per local day with records of the set, in day order: the chance to pass from the
// reviews up to that day's end, taken at its end (at now for today). Records count in time order.
std::vector<DayChance> ChanceByDay(const std::vector<JournalEntry>& entries, Fingerprint set,
                                   int64_t now, int utcOffset);

// How many reviewed questions fall due (recall below 0.9) on each of the next days local days,
// today first; today's count includes those already due.
std::vector<int> DueByDay(const MemoryStates& states, int64_t now, int utcOffset, int days);

// 800 chances of a right answer, one number 0..1 per line (a decimal point or comma);
// the error names the line in Russian.
Result<AnswerChances> ParseAnswerChances(const QByteArray& text);

} // namespace bil
