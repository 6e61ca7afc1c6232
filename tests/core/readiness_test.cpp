// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/readiness.h"

#include "stats/answer_journal.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace bil {
namespace {

constexpr int64_t Hour = 3600;
constexpr int64_t Day = 24 * Hour;
constexpr int Moscow = 3 * Hour;
// 2025-10-09 00:00 in Moscow (local day 20370).
constexpr int64_t Midnight = 20370 * Day - Moscow;

JournalEntry Answer(int question, bool right, int64_t at, uint8_t flags = FirstInRun,
                    Fingerprint set = 7) {
    return {.Time = at, .Set = set, .Question = question, .Right = right, .Flags = flags};
}

void AnswerAll(std::vector<JournalEntry>& journal, int64_t at) {
    for (int n = 1; n <= QuestionCount; ++n)
        journal.push_back(Answer(n, true, at));
}

// Worked by hand: every question answered right once at 20:00 has S = w2 = 3.173 days.
//   that day's end, t = 4 h:        R = (1 + 19/81 · (1/6) / 3.173)^−0.5     = 0.9938958312
//   next day's end, t = 1 d 4 h:    R = (1 + 19/81 · (7/6) / 3.173)^−0.5     = 0.9594793965
// with equal chances q: a = q^5, b = 5q^4(1 − q)·a, P = a^4 + 4a^3·b + 6a^2·b^2 = 0.9948512821
// and 0.8148840779. Two days later all are answered right again, and now is that moment: P = 1.
TEST(Readiness, ChanceByDayIsTakenAtEachLocalDaysEnd) {
    std::vector<JournalEntry> journal;
    AnswerAll(journal, Midnight + 20 * Hour);
    // 02:00 Moscow is 23:00 UTC of the day before: a day of its own here. Shown the comment
    // first, so no review.
    journal.push_back(Answer(5, false, Midnight + Day + 2 * Hour, FirstInRun | AfterReveal));
    journal.push_back(Answer(6, false, Midnight + 2 * Day, FirstInRun, 99)); // another set
    const int64_t now = Midnight + 3 * Day + 9 * Hour;
    std::vector<JournalEntry> today;
    AnswerAll(today, now);
    // Written before the others (a clock set back): the days still come in order.
    journal.insert(journal.begin(), today.begin(), today.end());

    const std::vector<DayChance> points = ChanceByDay(journal, 7, now, Moscow);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].Day, 20370);
    EXPECT_NEAR(points[0].Chance, 0.9948512821, 1e-9);
    EXPECT_EQ(points[1].Day, 20371);
    EXPECT_NEAR(points[1].Chance, 0.8148840779, 1e-9);
    EXPECT_EQ(points[2].Day, 20373);
    EXPECT_DOUBLE_EQ(points[2].Chance, 1.0);

    EXPECT_TRUE(ChanceByDay(journal, 8, now, Moscow).empty());
    EXPECT_EQ(LocalDay(Midnight - 1, Moscow), 20369);
    EXPECT_EQ(LocalDay(-1, 0), -1);
}

// A question answered right once falls due S = 3.173 days later: from 20:00 that is 00:09 three
// days on, which in Moscow is the fourth day, in UTC (17:00 + 3.173 d = 21:09) the third.
TEST(Readiness, DueByDayCountsEachQuestionOnItsLocalDay) {
    const int64_t now = Midnight + 10 * Hour;
    MemoryStates states{};
    Review(states[0], true, Midnight + 20 * Hour - Day); // due at 00:09 three days on
    Review(states[1], true, Midnight - 5 * Day);         // overdue: today
    Review(states[2], true, now);                        // due at 14:09 three days on
    states[3] = {30.0, 5.0, now, 1};                     // due beyond 14 days
    // states[4..] never answered: never due

    EXPECT_EQ(DueByDay(states, now, Moscow, 14),
              (std::vector<int>{1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const std::vector<int> utc = DueByDay(states, now, 0, 4);
    EXPECT_EQ(utc, (std::vector<int>{1, 0, 1, 1}));
}

// While no group of the exam can be passed, no single question changes the chance: nothing is
// offered rather than an arbitrary list.
TEST(Readiness, MostValuableQuestionsAreOnlyThoseThatRaiseTheChance) {
    AnswerChances p{};
    EXPECT_TRUE(MostValuableQuestions(p, 20).empty());

    p.fill(0.95);
    p[99] = 0.5;  // question 100: weakest, worth most
    p[100] = 0.7; // question 101: next
    p[101] = 1.0; // question 102: known for sure, worth nothing
    const std::vector<int> best = MostValuableQuestions(p, 20);
    ASSERT_EQ(best.size(), 20u);
    EXPECT_EQ(best[0], 100);
    EXPECT_EQ(best[1], 101);
    EXPECT_EQ(std::count(best.begin(), best.end(), 102), 0);
    EXPECT_EQ(MostValuableQuestions(p, 799).size(), 799u);
}

} // namespace
} // namespace bil
