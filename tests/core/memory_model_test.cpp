// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/memory_model.h"

#include "stats/answer_journal.h"
#include "stats/readiness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace bil {
namespace {

constexpr int64_t Day = 86400;
constexpr int64_t Start = 1'760'000'000;

TEST(MemoryModel, RecallIsNinetyPercentAfterTheStabilityAndZeroWhenNeverReviewed) {
    EXPECT_NEAR(Retrievability(4.5, 4.5), 0.9, 1e-12);
    EXPECT_DOUBLE_EQ(Retrievability(0.0, 4.5), 1.0);
    EXPECT_EQ(RecallAt(MemoryState{}, Start), 0.0);
}

// Worked by hand with the formulas and default parameters:
//   day 0     Good : S = w2 = 3.173, D = w4 − e^(2·w5) + 1 = 5.2824344223
//   day 0 +2h Again: same day, S = 3.173·e^(w17·(−2 + w18)) = 1.5897635073;
//                    D′ = D + 2·w6·(10 − D)/9, D″ = w7·D₀(4) + (1 − w7)·D′ = 6.7969325799
//   day 3     Good : t = 2.9167, R = 0.8361393875, S = 6.9816098224, D = 6.7804993974
//   day 10    Again: t = 7, R = 0.8997748699, S = 1.6758427726, D = 7.8041708275
//   day 30    Good : t = 20, R = 0.5130295282, S = 16.8607106497, D = 7.7831043490
//   day 40         : R = 0.9369470969
TEST(MemoryModel, WorkedSequenceOfReviews) {
    MemoryState s;
    const struct {
        int64_t at;
        bool right;
        double stability, difficulty;
    } steps[] = {
        {Start, true, 3.1730000000, 5.2824344223},
        {Start + 2 * 3600, false, 1.5897635073, 6.7969325799},
        {Start + 3 * Day, true, 6.9816098224, 6.7804993974},
        {Start + 10 * Day, false, 1.6758427726, 7.8041708275},
        {Start + 30 * Day, true, 16.8607106497, 7.7831043490},
    };
    for (const auto& step : steps) {
        Review(s, step.right, step.at);
        EXPECT_NEAR(s.Stability, step.stability, 1e-9) << step.at;
        EXPECT_NEAR(s.Difficulty, step.difficulty, 1e-9) << step.at;
    }
    EXPECT_EQ(s.Reviews, 5);
    EXPECT_NEAR(RecallAt(s, Start + 40 * Day), 0.9369470969, 1e-9);
}

TEST(MemoryModel, OnlyUnseenFirstAnswersOfTheOpenSetAreReviews) {
    const Fingerprint set = 99;
    auto answer = [&](int question, bool right, uint8_t flags, Fingerprint of = 99) {
        return JournalEntry{
            .Time = Start, .Set = of, .Question = question, .Right = right, .Flags = flags};
    };
    JournalEntry charge = answer(4, false, 0);
    charge.Kind = JournalKind::Charge;
    JournalEntry seed = answer(5, true, 0);
    seed.Kind = JournalKind::Seed;
    const std::vector<JournalEntry> journal = {
        answer(1, true, FirstInRun),
        answer(1, false, 0),                       // again in the same run
        answer(2, true, FirstInRun | AfterReveal), // the comment was on screen
        answer(3, true, FirstInRun, 12345),        // another question set
        charge,
        seed,
    };
    const MemoryStates states = ReplayJournal(journal, set);
    EXPECT_EQ(states[0].Reviews, 1);
    EXPECT_DOUBLE_EQ(states[0].Stability, FsrsWeights[2]);
    EXPECT_EQ(states[1].Reviews, 0);
    EXPECT_EQ(states[2].Reviews, 0);
    EXPECT_EQ(states[3].Reviews, 0);
    EXPECT_EQ(states[4].Reviews, 1);
}

// Due questions come first, the most forgotten first; the goal is then filled with the
// questions worth most to the chance to pass, never one twice.
TEST(MemoryModel, ReviewRunTakesDueQuestionsThenTheMostValuable) {
    MemoryStates states{};
    for (int i = 0; i < QuestionCount; ++i)
        Review(states[size_t(i)], true, Start); // S = 3.173 days
    Review(states[9], true, Start + 4 * Day);   // question 10 strengthened: not due
    const int64_t now = Start + 10 * Day;
    for (int n : {5, 6})
        Review(states[size_t(n - 1)], true, now - Day); // recently reviewed: not due
    states[199] = MemoryState{};                        // question 200 never answered

    const std::vector<int> due = ReviewQuestions(states, now, 0);
    EXPECT_EQ(due.size(), size_t(QuestionCount - 4));
    EXPECT_EQ(due.front(), 1);
    EXPECT_EQ(std::count(due.begin(), due.end(), 10) + std::count(due.begin(), due.end(), 5) +
                  std::count(due.begin(), due.end(), 200),
              0);

    // Nothing due: the never answered question raises the chance most.
    MemoryStates fresh{};
    for (int i = 0; i < QuestionCount; ++i)
        Review(fresh[size_t(i)], true, now - Day);
    fresh[199] = MemoryState{};
    const std::vector<int> goal = ReviewQuestions(fresh, now, 3);
    ASSERT_EQ(goal.size(), 3u);
    EXPECT_EQ(goal[0], 200);
    EXPECT_NE(goal[1], goal[2]);

    // Questions worth nothing to the chance never fill the goal: answered right this very
    // moment, or with every exam failing anyway (nothing answered yet).
    for (int i = 0; i < QuestionCount; ++i)
        Review(fresh[size_t(i)], true, now);
    EXPECT_EQ(ReviewQuestions(fresh, now, 3), std::vector<int>{});
    EXPECT_EQ(ReviewQuestions(MemoryStates{}, now, 40), std::vector<int>{});
}

} // namespace
} // namespace bil
