// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/catalogue.h"
#include "app/platform.h"
#include "scripted_random.h"

#include <gtest/gtest.h>

#include <memory>

using namespace bil;

namespace {

// A theme table with every question in theme 1 except the given ones.
std::unique_ptr<ThemeTable> TableWithTheme1() {
    auto t = std::make_unique<ThemeTable>();
    t->QuestionTheme.fill(1);
    return t;
}

} // namespace

TEST(CatalogueThemes, FreshRecordShowsNotDoneExceptEmptyThemes) {
    auto table = TableWithTheme1();
    table->theme(5) = 2;
    auto stats = std::make_unique<TStatRecord>();
    const auto statuses = ThemeStatuses(*stats, *table);
    EXPECT_EQ(statuses[0], StatusNotDone);
    EXPECT_EQ(statuses[1], StatusNotDone);
    // Themes 3..26 hold no question: every score reaches 0, the last rule wins.
    for (int k = 3; k <= ThemeCount; ++k)
        EXPECT_EQ(statuses[k - 1], StatusExamPass) << "theme " << k;
}

TEST(CatalogueThemes, ChannelScoresDecideAndLaterRulesOverride) {
    auto table = std::make_unique<ThemeTable>();
    table->theme(1) = 7;
    table->theme(2) = 7;
    auto stats = std::make_unique<TStatRecord>();
    // Learning: one right, one with equal right and wrong: both count +1.
    stats->question(1).Right[ChannelLearning] = 1;
    stats->question(2).Right[ChannelLearning] = 3;
    stats->question(2).Wrong[ChannelLearning] = 3;
    EXPECT_EQ(ThemeStatus(*stats, *table, 7), StatusLearned);

    // Exam covers the theme too: the exam rule overrides learning.
    stats->question(1).Right[ChannelExam] = 1;
    stats->question(2).Right[ChannelExam] = 1;
    EXPECT_EQ(ThemeStatus(*stats, *table, 7), StatusTrainingPass);

    // Training covers it as well: the last rule wins.
    stats->question(1).Right[ChannelTraining] = 2;
    stats->question(2).Right[ChannelTraining] = 1;
    EXPECT_EQ(ThemeStatus(*stats, *table, 7), StatusExamPass);

    // One more wrong than right in training drops that score below n.
    stats->question(2).Wrong[ChannelTraining] = 2;
    EXPECT_EQ(ThemeStatus(*stats, *table, 7), StatusTrainingPass);
}

TEST(CatalogueThemes, UnansweredQuestionKeepsScoreBelowCount) {
    auto table = std::make_unique<ThemeTable>();
    table->theme(10) = 3;
    table->theme(11) = 3;
    table->theme(12) = 3;
    auto stats = std::make_unique<TStatRecord>();
    stats->question(10).Right[ChannelLearning] = 1;
    stats->question(11).Right[ChannelLearning] = 1;
    EXPECT_EQ(ThemeStatus(*stats, *table, 3), StatusNotDone);
    stats->question(12).Right[ChannelLearning] = 1;
    EXPECT_EQ(ThemeStatus(*stats, *table, 3), StatusLearned);
}

TEST(CatalogueProgress, PercentAndPictureWithHalvesToEven) {
    auto stats = std::make_unique<TStatRecord>();
    Progress p = ComputeProgress(*stats);
    EXPECT_DOUBLE_EQ(p.Percent, 0.0);
    EXPECT_EQ(p.Picture, 0);
    EXPECT_FALSE(p.Congratulate);

    stats->TicketStatus[0] = 1; // 2.5 %: 0.5 goes to 0
    p = ComputeProgress(*stats);
    EXPECT_DOUBLE_EQ(p.Percent, 2.5);
    EXPECT_EQ(p.Picture, 0);

    stats->TicketStatus[1] = 1;
    stats->TicketStatus[2] = 1; // 7.5 %: 1.5 goes to 2
    p = ComputeProgress(*stats);
    EXPECT_DOUBLE_EQ(p.Percent, 7.5);
    EXPECT_EQ(p.Picture, 2);

    for (int t = 0; t < 5; ++t)
        stats->TicketStatus[t] = 1; // 12.5 %: 2.5 goes to 2
    EXPECT_EQ(ComputeProgress(*stats).Picture, 2);
    stats->TicketStatus[5] = 1; // 15 %
    EXPECT_EQ(ComputeProgress(*stats).Picture, 3);
}

TEST(CatalogueProgress, FailuresLearnedAndFullMarks) {
    auto stats = std::make_unique<TStatRecord>();
    stats->TicketStatus[0] = 2;
    Progress p = ComputeProgress(*stats);
    EXPECT_DOUBLE_EQ(p.Percent, 0.0); // negative clamps to 0
    EXPECT_EQ(p.Picture, 0);

    stats->TicketStatus.fill(4); // learned tickets do not count
    EXPECT_DOUBLE_EQ(ComputeProgress(*stats).Percent, 0.0);

    stats->TicketStatus.fill(1);
    p = ComputeProgress(*stats);
    EXPECT_DOUBLE_EQ(p.Percent, 100.0);
    EXPECT_EQ(p.Picture, 20);
    EXPECT_TRUE(p.Congratulate);

    stats->TicketStatus[0] = 2; // 39 - 2 = 37 -> 92.5 %: 18.5 goes to 18
    p = ComputeProgress(*stats);
    EXPECT_DOUBLE_EQ(p.Percent, 92.5);
    EXPECT_EQ(p.Picture, 18);
    EXPECT_FALSE(p.Congratulate);
}

TEST(CatalogueBlink, LastsFiftyOneTicksAndEndsToggled) {
    CongratulationBlink blink;
    blink.start();
    int ticks = 0;
    while (blink.Enabled) {
        blink.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 51);
    EXPECT_TRUE(blink.LabelVisible);
    blink.tick(); // a stopped blink ignores stray ticks
    EXPECT_TRUE(blink.LabelVisible);
    blink.stop();
    EXPECT_FALSE(blink.LabelVisible);
}

TEST(CatalogueTraining, DrawsAmongUnpassedUndrawnTickets) {
    std::array<int, TicketCount> icons{};
    icons[0] = StatusExamPass;
    icons[2] = StatusErrors;
    icons[3] = StatusLearned;
    std::array<uint8_t, TicketCount> drawn{};
    drawn[1] = 1;
    test::ScriptedRandom random;
    random.strict = true;
    random.values = {0, 1};
    // Candidates: 3, 4, 5, ... 40 (ticket 1 passed, ticket 2 drawn) = 38 tickets.
    EXPECT_EQ(DrawTrainingTicket(icons, drawn, random), 3);
    EXPECT_EQ(random.bounds.back(), 38);
    EXPECT_EQ(drawn[2], 1);
    EXPECT_EQ(DrawTrainingTicket(icons, drawn, random), 5); // 4, 5, ...: second
    EXPECT_EQ(random.bounds.back(), 37);
}

TEST(CatalogueTraining, ClearsDrawnFlagsWhenNoCandidateIsLeft) {
    std::array<int, TicketCount> icons{};
    std::array<uint8_t, TicketCount> drawn{};
    test::ScriptedRandom random;
    random.strict = true;
    for (int i = 0; i < TicketCount; ++i)
        DrawTrainingTicket(icons, drawn, random); // always the first candidate
    for (uint8_t f : drawn)
        EXPECT_EQ(f, 1);
    random.values = {16};
    EXPECT_EQ(DrawTrainingTicket(icons, drawn, random), 17);
    EXPECT_EQ(random.bounds.back(), TicketCount);
    int set = 0;
    for (uint8_t f : drawn)
        set += f;
    EXPECT_EQ(set, 1);
    EXPECT_EQ(drawn[16], 1);

    // Every ticket passed: each press clears and draws from all 40.
    icons.fill(StatusExamPass);
    random.values = {39};
    EXPECT_EQ(DrawTrainingTicket(icons, drawn, random), 40);
    EXPECT_EQ(drawn[16], 0);
    EXPECT_EQ(random.bounds.back(), TicketCount);
}

TEST(CatalogueLaunch, ModeButtonsAskForTheirRuns) {
    RunRequest request = RunRequest::learnTicket(9);
    EXPECT_EQ(LearningRun(true, -1, request),
              QStringLiteral("Для работы в этом режиме необходимо выбрать тему из каталога..."));
    EXPECT_EQ(LearningRun(false, -1, request),
              QStringLiteral("Для работы в этом режиме необходимо выбрать билет из каталога..."));
    EXPECT_EQ(request.Ticket, 9); // nothing changed

    EXPECT_TRUE(LearningRun(true, 4, request).isEmpty());
    EXPECT_EQ(request.Type, RunType::ThemeLearning);
    EXPECT_EQ(request.Theme, 5);

    EXPECT_TRUE(LearningRun(false, 4, request).isEmpty());
    EXPECT_EQ(request.Type, RunType::TicketLearning);
    EXPECT_EQ(request.Ticket, 5);
    EXPECT_EQ(request.StartItem, 0);

    RunLaunch launch;
    test::ScriptedRandom random;
    random.strict = true;
    random.values = {0};
    std::array<int, TicketCount> icons{};
    request = TrainingRun(icons, launch, random);
    EXPECT_EQ(request.Type, RunType::Training);
    EXPECT_EQ(request.Ticket, 1);
    EXPECT_EQ(launch.DrawnTickets[0], 1);

    LaunchExam(launch);
    EXPECT_EQ(launch.ExamStage, 1);
}

TEST(CatalogueKeys, BothKeyboardLayouts) {
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_Return, "\r"), CatalogueCommand::Learning);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_Enter, "\r"), CatalogueCommand::Learning);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_1, "1"), CatalogueCommand::Learning);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_2, "2"), CatalogueCommand::Preparation);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_3, "3"), CatalogueCommand::Training);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_4, "4"), CatalogueCommand::Exam);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_Escape, "\x1b"), CatalogueCommand::OtherPage);
    for (const char* s : {"z", "Z", "я", "Я"})
        EXPECT_EQ(CatalogueKeyCommand(0, QString::fromUtf8(s)), CatalogueCommand::Statistics);
    for (const char* s : {"x", "X", "ч", "Ч"})
        EXPECT_EQ(CatalogueKeyCommand(0, QString::fromUtf8(s)), CatalogueCommand::Settings);
    for (const char* s : {"h", "H", "р", "Р"})
        EXPECT_EQ(CatalogueKeyCommand(0, QString::fromUtf8(s)), CatalogueCommand::Help);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_5, "5"), CatalogueCommand::Review);
    EXPECT_EQ(CatalogueKeyCommand(Qt::Key_6, "6"), CatalogueCommand::None);
    EXPECT_EQ(CatalogueKeyCommand(0, "p"), CatalogueCommand::None); // Latin p is not Р
}

TEST(CataloguePrep, MaskAndCheckMarks) {
    EXPECT_EQ(PrepChecksFromMask(0), AllPrepPositions);
    EXPECT_EQ(PrepChecksFromMask(5), 5u);
    // Bits beyond the 20 positions are ignored; nothing left means all positions.
    EXPECT_EQ(PrepChecksFromMask(0x100005), 5u);
    EXPECT_EQ(PrepChecksFromMask(int32_t(0x80000000u)), AllPrepPositions);
    EXPECT_EQ(PrepMaskFromChecks(5), 5);
    EXPECT_EQ(PrepMaskFromChecks(0), 0);
    EXPECT_EQ(PrepMaskFromChecks(AllPrepPositions), 0xFFFFF);
}

TEST(CatalogueTexts, CaptionsAndTooltips) {
    EXPECT_EQ(TicketCaption(1), QStringLiteral("Билет №01"));
    EXPECT_EQ(TicketCaption(40), QStringLiteral("Билет №40"));
    EXPECT_EQ(StatusTooltip(0), QStringLiteral("Не пройден"));
    EXPECT_EQ(StatusTooltip(4), QStringLiteral("Пройден при обучении"));
    EXPECT_TRUE(StatusTooltip(7).isEmpty());
}
