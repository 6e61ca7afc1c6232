// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statistics.h"

#include "app/app_state.h"
#include "app/run_request.h"

#include <gtest/gtest.h>

#include <memory>

namespace bil {
namespace {

// The record and theme table are large; keep them off the stack.
struct Data {
    std::unique_ptr<TStatRecord> stats = std::make_unique<TStatRecord>();
    std::unique_ptr<ThemeTable> themes = std::make_unique<ThemeTable>();
    Data() {
        for (int n = 1; n <= QuestionCount; ++n)
            themes->theme(n) = DefaultThemeOf(n);
    }
    TQuestionStat& q(int ticket, int position) {
        return stats->question(NumberOf(ticket, position));
    }
};

// Exam counts spread over the questions so that no counter saturates.
void SetExamTotals(TStatRecord& s, int right, int wrong, int seconds) {
    for (int i = 0; i < right; ++i)
        ++s.QuestionStats[i % QuestionCount].Right[ChannelExam];
    for (int i = 0; i < wrong; ++i)
        ++s.QuestionStats[(i + 400) % QuestionCount].Wrong[ChannelExam];
    s.QuestionStats[0].Seconds[ChannelExam] += seconds;
}

// --- Channel selection and ticket sums ----------------------------------------------------

TEST(StatFigures, ChannelSelectionAndSums) {
    Data d;
    TQuestionStat& a = d.q(3, 1);
    a.Right = {1, 2, 4};
    a.Wrong = {8, 16, 32};
    a.Seconds = {100, 200, 2'000'000'000};
    d.q(3, 20).Right = {0, 5, 0};

    const Figures all = QuestionFigures(*d.stats, NumberOf(3, 1), AllChannels);
    EXPECT_EQ(all.Right, 7);
    EXPECT_EQ(all.Wrong, 56);
    EXPECT_EQ(all.Seconds, 2'000'000'300); // no 32-bit overflow in the sum
    EXPECT_EQ(QuestionFigures(*d.stats, NumberOf(3, 1), ChannelExam).Wrong, 16);
    EXPECT_EQ(QuestionFigures(*d.stats, NumberOf(3, 1), ChannelTraining).Right, 4);

    const TicketFigures t = ComputeTicketFigures(*d.stats, *d.themes, ChannelExam);
    EXPECT_EQ(t.Ticket[2].Right, 7);
    EXPECT_EQ(t.Ticket[2].Wrong, 16);
    EXPECT_EQ(t.Ticket[2].Seconds, 200);
    EXPECT_EQ(t.Ticket[1].Right + t.Ticket[3].Right, 0);
}

// --- Ratings, best and worst ----------------------------------------------------------------

TEST(StatRating, BestAndWorstWithTiesNegativesAndNoData) {
    Data d;
    {
        const TicketFigures t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
        EXPECT_EQ(t.Best, 0);
        EXPECT_EQ(t.Worst, 0);
        EXPECT_TRUE(t.ratingBars().empty());
    }
    // Ticket 2 and 5 tie for best (2 per second), 7 and 9 tie for worst (0.5), 4 negative.
    d.q(2, 1).Right[0] = 20;
    d.q(2, 1).Seconds[0] = 10;
    d.q(5, 3).Right[0] = 40;
    d.q(5, 3).Seconds[0] = 20;
    d.q(7, 1).Right[0] = 5;
    d.q(7, 1).Seconds[0] = 10;
    d.q(9, 1).Right[0] = 6;
    d.q(9, 1).Wrong[0] = 1;
    d.q(9, 1).Seconds[0] = 10;
    d.q(4, 1).Wrong[0] = 3;
    d.q(4, 1).Seconds[0] = 1;
    d.q(6, 1).Right[0] = 9; // answers without seconds: rating 0
    const TicketFigures t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
    EXPECT_DOUBLE_EQ(t.Rating[1], 2.0);
    EXPECT_EQ(t.Rating[3], 0.0);
    EXPECT_EQ(t.Rating[5], 0.0);
    EXPECT_EQ(t.Best, 2);
    EXPECT_EQ(t.Worst, 7);
    EXPECT_EQ(t.ratingRole(2), RatingRole::Best);
    EXPECT_EQ(t.ratingRole(5), RatingRole::Plain);
    EXPECT_EQ(t.ratingRole(7), RatingRole::Worst);
    EXPECT_EQ(t.ratingRole(4), RatingRole::Plain);
    const std::vector<double> bars = t.ratingBars();
    ASSERT_EQ(bars.size(), size_t(TicketCount));
    EXPECT_DOUBLE_EQ(bars[1], 100.0);
    EXPECT_DOUBLE_EQ(bars[6], 25.0);
    EXPECT_EQ(bars[3], 0.0);
}

TEST(StatRating, SinglePositiveTicketIsBothAndKeepsPlainColour) {
    Data d;
    d.q(12, 4).Right[2] = 3;
    d.q(12, 4).Wrong[2] = 1;
    d.q(12, 4).Seconds[2] = 4;
    d.q(13, 4).Wrong[2] = 9; // negative balance: never the worst
    d.q(13, 4).Seconds[2] = 4;
    const TicketFigures t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
    EXPECT_EQ(t.Best, 12);
    EXPECT_EQ(t.Worst, 12);
    EXPECT_EQ(t.ratingRole(12), RatingRole::Plain);
    EXPECT_DOUBLE_EQ(t.ratingBars()[11], 100.0);
    // Other channels see nothing.
    EXPECT_EQ(ComputeTicketFigures(*d.stats, *d.themes, ChannelLearning).Best, 0);
}

TEST(StatRating, AVeryHighOnlyRatingIsStillTheWorst) {
    Data d;
    for (int p = 1; p <= 20; ++p)
        d.q(1, p).Right = {255, 255, 255};
    d.q(1, 1).Seconds[0] = 1; // 15300 right answers in one second
    const TicketFigures t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
    EXPECT_EQ(t.Best, 1);
    EXPECT_EQ(t.Worst, 1);
}

// --- Themes -----------------------------------------------------------------------------------

TEST(StatThemes, PercentagesFollowTheCurrentTheme) {
    Data d;
    const int n = NumberOf(1, 1);
    const int home = DefaultThemeOf(n);
    const int other = home == 5 ? 6 : 5;
    d.stats->question(n).Right[0] = 1;
    d.stats->question(n).Wrong[0] = 3;
    TicketFigures t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
    EXPECT_DOUBLE_EQ(t.themeWrongPercent(home), 75.0);
    EXPECT_DOUBLE_EQ(t.themeRightPercent(home), 25.0);
    EXPECT_EQ(t.themeWrongPercent(other), 0.0);
    EXPECT_EQ(t.themeRightPercent(other), 0.0);

    d.themes->theme(n) = uint8_t(other); // moved by the learner
    t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
    EXPECT_EQ(t.themeWrongPercent(home), 0.0);
    EXPECT_DOUBLE_EQ(t.themeRightPercent(other), 25.0);

    d.themes->theme(n) = 200; // a damaged theme byte is ignored
    t = ComputeTicketFigures(*d.stats, *d.themes, AllChannels);
    for (int k = 1; k <= ThemeCount; ++k)
        EXPECT_EQ(t.ThemeWrong[k - 1], 0) << k;
}

// --- Overall level --------------------------------------------------------------------------

TEST(StatLevel, WaitTextCountsTheMissingExamAnswersInRussian) {
    EXPECT_EQ(LevelWaitText(0), QString());
    const auto tail = [](int n) { return LevelWaitText(n).section(QStringLiteral("ещё "), 1); };
    EXPECT_EQ(tail(1), QStringLiteral("1 ответ."));
    EXPECT_EQ(tail(3), QStringLiteral("3 ответа."));
    EXPECT_EQ(tail(12), QStringLiteral("12 ответов."));
    EXPECT_EQ(tail(21), QStringLiteral("21 ответ."));
    EXPECT_EQ(tail(60), QStringLiteral("60 ответов."));
    EXPECT_TRUE(LevelWaitText(5).contains(QStringLiteral("не меньше 60")));
}

TEST(StatLevel, ThresholdsAndClamps) {
    {
        Data d; // 59 answers, all right and fast: not enough
        SetExamTotals(*d.stats, 59, 0, 590);
        const PreparationLevel lv = ComputeLevel(*d.stats);
        EXPECT_EQ(lv.Level, 0.0);
        EXPECT_EQ(lv.Quality, 0.0);
        EXPECT_EQ(lv.AnswersMissing, 1);
    }
    {
        Data d; // 60 answers, 57 right, 10 s each
        SetExamTotals(*d.stats, 57, 3, 600);
        const PreparationLevel lv = ComputeLevel(*d.stats);
        EXPECT_EQ(PercentLabel(lv.Quality), "60%");
        EXPECT_EQ(PercentLabel(lv.Speed), "100%");
        EXPECT_EQ(PercentLabel(lv.Level), "80%");
        EXPECT_EQ(lv.AnswersMissing, 0);
    }
    {
        Data d; // learning and training counts do not matter
        SetExamTotals(*d.stats, 57, 3, 600);
        d.stats->QuestionStats[5].Wrong[0] = 200;
        d.stats->QuestionStats[6].Wrong[2] = 200;
        EXPECT_EQ(PercentLabel(ComputeLevel(*d.stats).Level), "80%");
    }
    {
        Data d; // quality just under 0.9, speed good
        SetExamTotals(*d.stats, 899, 101, 1000);
        EXPECT_EQ(ComputeLevel(*d.stats).Level, 0.0);
        EXPECT_EQ(ComputeLevel(*d.stats).Speed, 0.0);
    }
    {
        Data d; // exactly 0.9 clamps nothing: quality 0.1
        SetExamTotals(*d.stats, 90, 10, 1000);
        EXPECT_NEAR(ComputeLevel(*d.stats).Quality, 0.1, 1e-9);
    }
    {
        Data d; // 60 s per answer still counts, with speed 0; a second more does not
        SetExamTotals(*d.stats, 60, 0, 3600);
        PreparationLevel lv = ComputeLevel(*d.stats);
        EXPECT_EQ(lv.Speed, 0.0);
        EXPECT_NEAR(lv.Quality, 1.0, 1e-12);
        EXPECT_NEAR(lv.Level, 0.5, 1e-12);
        d.stats->QuestionStats[0].Seconds[ChannelExam] += 1;
        EXPECT_EQ(ComputeLevel(*d.stats).Level, 0.0);
    }
    {
        Data d; // faster than 10 s and all right: both clamp at 1
        SetExamTotals(*d.stats, 100, 0, 100);
        const PreparationLevel lv = ComputeLevel(*d.stats);
        EXPECT_EQ(lv.Quality, 1.0);
        EXPECT_EQ(lv.Speed, 1.0);
        EXPECT_EQ(lv.Level, 1.0);
    }
}

TEST(StatLevel, PercentLabelsRoundHalvesToEven) {
    EXPECT_EQ(PercentLabel(0.0), "0%");
    EXPECT_EQ(PercentLabel(0.125), "12%");
    EXPECT_EQ(PercentLabel(0.375), "38%");
    EXPECT_EQ(PercentLabel(0.874), "87%");
    EXPECT_EQ(PercentLabel(1.0), "100%");
}

// --- Analysis lists ---------------------------------------------------------------------------

TEST(StatAnalysis, CriteriaBoundaries) {
    EXPECT_FALSE(CriterionPicks(Criterion::Trouble, 2, 2));
    EXPECT_TRUE(CriterionPicks(Criterion::Trouble, 2, 3));
    EXPECT_TRUE(CriterionPicks(Criterion::Hard, 2, 2));
    EXPECT_FALSE(CriterionPicks(Criterion::Hard, 0, 0)); // W = R but no error
    EXPECT_FALSE(CriterionPicks(Criterion::Hard, 3, 2));
    EXPECT_TRUE(CriterionPicks(Criterion::WithError, 9, 1));
    EXPECT_FALSE(CriterionPicks(Criterion::WithError, 9, 0));
    EXPECT_FALSE(CriterionPicks(Criterion::Trouble, 0, 0));
}

TEST(StatAnalysis, EmptyRecordListsEveryQuestionAsUndetermined) {
    Data d;
    const AnalysisLists a = BuildAnalysis(*d.stats, *d.themes, AllChannels, 0, Criterion::Hard);
    EXPECT_EQ(a.Undetermined.size(), size_t(QuestionCount));
    EXPECT_EQ(a.Undetermined.front(), 1);
    EXPECT_EQ(a.Undetermined.back(), 800);
    EXPECT_TRUE(a.Hard.empty());
    EXPECT_TRUE(a.Easy.empty());
    EXPECT_TRUE(a.Difficult.empty());
    EXPECT_TRUE(a.Theory.isEmpty());
}

TEST(StatAnalysis, ThemeFilterUsesTheBuiltInThemeAndMarksSplitTheLists) {
    Data d;
    const int n = NumberOf(1, 2); // built-in theme 3
    ASSERT_EQ(DefaultThemeOf(n), 3);
    d.themes->theme(n) = 7; // moved: still filtered under theme 3
    d.themes->mark(n) = 1;
    d.themes->mark(NumberOf(8, 9)) = 2; // theme 3 as well
    d.themes->mark(NumberOf(1, 1)) = 1; // theme 1
    d.stats->question(n).Wrong[1] = 1;

    const AnalysisLists a = BuildAnalysis(*d.stats, *d.themes, AllChannels, 3, Criterion::Trouble);
    EXPECT_EQ(a.Hard, std::vector<int>{n});
    EXPECT_EQ(a.Easy, std::vector<int>{NumberOf(8, 9)});
    EXPECT_EQ(a.Difficult, std::vector<int>{n});
    EXPECT_EQ(a.Undetermined.size(), size_t(127 - 2));
    for (int m : a.Undetermined)
        EXPECT_EQ(DefaultThemeOf(m), 3);
    EXPECT_TRUE(
        BuildAnalysis(*d.stats, *d.themes, AllChannels, 7, Criterion::Trouble).Difficult.empty());
    // The criterion reads the chosen channel only.
    EXPECT_TRUE(BuildAnalysis(*d.stats, *d.themes, ChannelLearning, 3, Criterion::WithError)
                    .Difficult.empty());
    const AnalysisLists all =
        BuildAnalysis(*d.stats, *d.themes, AllChannels, 0, Criterion::Trouble);
    EXPECT_EQ(all.Hard, (std::vector<int>{1, 2}));
}

TEST(StatAnalysis, TheoryListSortedAndUnique) {
    Data d;
    auto links = [&](int n, std::initializer_list<const char*> captions) {
        int i = 0;
        for (const char* c : captions)
            d.themes->HelpLinks[n - 1][i++].LinkCaption = QString::fromUtf8(c);
        d.stats->question(n).Wrong[0] = 1;
    };
    links(5, {"Пункт 8.1", "Знак 2.4"});
    links(9, {"Знак 2.4", "Разметка 1.1", "Пункт 10.1"});
    links(30, {"Пункт 8.1"});
    d.themes->HelpLinks[29][2].LinkCaption = QStringLiteral("Пункт 99.9"); // after a gap: unread
    links(31, {"Пункт 2.1"});
    d.stats->question(31).Right[0] = 5; // not picked by "more errors"

    const AnalysisLists a = BuildAnalysis(*d.stats, *d.themes, AllChannels, 0, Criterion::Trouble);
    EXPECT_EQ(a.Difficult, (std::vector<int>{5, 9, 30}));
    const QStringList expected = {QStringLiteral("Знак 2.4"), QStringLiteral("Пункт 10.1"),
                                  QStringLiteral("Пункт 8.1"), QStringLiteral("Разметка 1.1")};
    EXPECT_EQ(a.Theory, expected);
}

// --- Tags and launches -------------------------------------------------------------------------

TEST(StatTags, FormatAndParse) {
    EXPECT_EQ(QuestionTag(NumberOf(12, 3)), "Б12 В3");
    EXPECT_EQ(QuestionTag(1), "Б1 В1");
    EXPECT_EQ(QuestionTag(800), "Б40 В20");
    for (int n = 1; n <= QuestionCount; ++n)
        ASSERT_EQ(ParseQuestionTag(QuestionTag(n)), n);
    for (const char* bad : {"", "Б", "Б12", "Б12 В", "Б12 X3", "B12 В3", "Б0 В1", "Б41 В1",
                            "Б1 В21", "Б1 В0", "Б 1 В2", "Б1x В2", "Б1 В2 "})
        EXPECT_EQ(ParseQuestionTag(QString::fromUtf8(bad)), 0) << bad;
    const QStringList tags = {QStringLiteral("Б7 В13"), QStringLiteral("junk"),
                              QStringLiteral("Б1 В1")};
    EXPECT_EQ(ParseQuestionTags(tags), (std::vector<int>{NumberOf(7, 13), 1}));
}

TEST(StatLaunch, RepeatRunsAreCaptionedByListAndScope) {
    const RunRequest r = RunRequest::statisticsList(2, {3, 1, 2}, RepeatScope(3));
    EXPECT_EQ(r.Type, RunType::StatisticsList);
    EXPECT_EQ(r.Questions, (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(r.StartItem, 0);
    EXPECT_EQ(r.Caption, QStringLiteral("Билетория ПДД - Повторение легких вопросов из темы ") +
                             ThemeNames(3));
    EXPECT_EQ(RepeatScope(0), "всех тем");
}

// --- Messages ------------------------------------------------------------------------------------

TEST(StatMessages, FormatsWithTheLocaleSeparator) {
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale c = QLocale::c();
    EXPECT_EQ(FormatGeneral(12, ru), "12");
    EXPECT_EQ(FormatGeneral(2.5, ru), "2,5");
    EXPECT_EQ(FormatGeneral(100.0 / 3, ru), "33,3333333333333");
    EXPECT_EQ(FormatGeneral(2.5, c), "2.5");
    EXPECT_EQ(FormatFixed2(100.0 / 3, ru), "33,33");
    EXPECT_EQ(FormatFixed2(0, ru), "0,00");
    EXPECT_EQ(FormatFixed2(200.0 / 3, c), "66.67");

    EXPECT_EQ(QuestionTimeMessage(4, 37, ru), "На решение вопроса №4 затрачено 37 сек.");
    EXPECT_EQ(QuestionRightMessage(20, 3, ru),
              "При решении вопроса 20 получено 3 правильных ответов.");
    EXPECT_EQ(QuestionWrongMessage(1, 0, ru), "При решении вопроса 1 сделано 0 ошибок.");
    EXPECT_EQ(ThemeRightMessage(QStringLiteral("Знаки %1"), 62.5, ru),
              "При решении темы \"Знаки %1\" получено 62,50% правильных ответов.");
    EXPECT_EQ(ThemeWrongMessage(QStringLiteral("Разметка"), 100.0 / 3, ru),
              "При решении темы \"Разметка\" сделано 33,33% ошибок.");
}

} // namespace
} // namespace bil
