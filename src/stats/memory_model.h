// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/fingerprint.h"
#include "data/numbering.h"

#include <array>
#include <cstdint>
#include <vector>

namespace bil {

struct JournalEntry;

// The default parameters of the FSRS-5 memory model.
inline constexpr std::array<double, 19> FsrsWeights = {
    0.40255, 1.18385, 3.173, 15.69105, 7.1949, 0.5345, 1.4604, 0.0046,  1.54575, 0.1192,
    1.01925, 1.9395,  0.11,  0.29605,  2.2698, 0.2315, 2.9898, 0.51655, 0.6621};

// What the model knows of one question: stability S (days), difficulty D (1..10), the time of
// the last review (UTC seconds) and the number of reviews.
struct MemoryState {
    double Stability = 0.0;
    double Difficulty = 0.0;
    int64_t Last = 0;
    int Reviews = 0;
};

using MemoryStates = std::array<MemoryState, QuestionCount>;

// R(t, S) = (1 + F·t/S)^C, t in days: the chance to recall after t days.
double Retrievability(double days, double stability);
// One review at time (UTC seconds): right is grade Good, wrong is grade Again.
void Review(MemoryState& state, bool right, int64_t time);
// The chance to answer right at time; 0 for a question never reviewed.
double RecallAt(const MemoryState& state, int64_t time);

// Every question's state after the journal's reviews of the given question set, in file order.
MemoryStates ReplayJournal(const std::vector<JournalEntry>& entries, Fingerprint set);
// Every question's chance to be answered right at time.
std::array<double, QuestionCount> RecallProbabilities(const MemoryStates& states, int64_t time);

} // namespace bil
