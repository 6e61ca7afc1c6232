// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/memory_model.h"

#include "stats/answer_journal.h"

#include <algorithm>
#include <cmath>

namespace bil {

namespace {

constexpr double Decay = -0.5;
constexpr double Factor = 19.0 / 81.0;
constexpr double SecondsPerDay = 86400.0;
constexpr auto& w = FsrsWeights;

double InitialDifficulty(int grade) {
    return w[4] - std::exp(w[5] * (grade - 1)) + 1.0;
}

double ClampDifficulty(double d) {
    return std::clamp(d, 1.0, 10.0);
}

} // namespace

double Retrievability(double days, double stability) {
    return std::pow(1.0 + Factor * days / stability, Decay);
}

void Review(MemoryState& s, bool right, int64_t time) {
    const int grade = right ? 3 : 1;
    if (s.Reviews == 0) {
        s.Stability = w[size_t(grade - 1)];
        s.Difficulty = ClampDifficulty(InitialDifficulty(grade));
    } else {
        // A clock set back counts as the same day.
        const double days = std::max<int64_t>(time - s.Last, 0) / SecondsPerDay;
        const double S = s.Stability;
        const double D = s.Difficulty;
        if (days < 1.0) {
            s.Stability = S * std::exp(w[17] * (grade - 3 + w[18]));
        } else {
            const double R = Retrievability(days, S);
            if (grade == 3)
                s.Stability = S * (std::exp(w[8]) * (11.0 - D) * std::pow(S, -w[9]) *
                                       (std::exp(w[10] * (1.0 - R)) - 1.0) +
                                   1.0);
            else
                s.Stability =
                    std::min(S, w[11] * std::pow(D, -w[12]) * (std::pow(S + 1.0, w[13]) - 1.0) *
                                    std::exp(w[14] * (1.0 - R)));
        }
        const double next = D - w[6] * (grade - 3) * (10.0 - D) / 9.0;
        s.Difficulty = ClampDifficulty(w[7] * InitialDifficulty(4) + (1.0 - w[7]) * next);
    }
    s.Last = time;
    ++s.Reviews;
}

double RecallAt(const MemoryState& s, int64_t time) {
    if (s.Reviews == 0)
        return 0.0;
    return Retrievability(std::max<int64_t>(time - s.Last, 0) / SecondsPerDay, s.Stability);
}

MemoryStates ReplayJournal(const std::vector<JournalEntry>& entries, Fingerprint set) {
    MemoryStates states{};
    for (const JournalEntry& e : entries)
        if (e.Set == set && e.isReview() && e.Question >= 1 && e.Question <= QuestionCount)
            Review(states[size_t(e.Question - 1)], e.Right, e.Time);
    return states;
}

std::array<double, QuestionCount> RecallProbabilities(const MemoryStates& states, int64_t time) {
    std::array<double, QuestionCount> p{};
    for (int i = 0; i < QuestionCount; ++i)
        p[size_t(i)] = RecallAt(states[size_t(i)], time);
    return p;
}

} // namespace bil
