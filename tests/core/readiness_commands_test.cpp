// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/readiness_commands.h"

#include "app/app_state.h"
#include "app/settings_loader.h"
#include "memory_settings_store.h"
#include "recording_sink.h"
#include "scripted_prompter.h"
#include "step_clock.h"
#include "test_db.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace bil {
namespace {

constexpr int64_t Day = 86400;

TEST(ChanceLine, PercentNeverClaimsCertaintyItHasNot) {
    EXPECT_EQ(ChancePercent(0.0), QStringLiteral("0\u00a0%"));
    EXPECT_EQ(ChancePercent(0.004), QStringLiteral("<1\u00a0%"));
    EXPECT_EQ(ChancePercent(0.634), QStringLiteral("63\u00a0%"));
    EXPECT_EQ(ChancePercent(0.996), QStringLiteral(">99\u00a0%"));
    EXPECT_EQ(ChancePercent(1.0), QStringLiteral("100\u00a0%"));
}

// A learner who has just answered all 800 questions right passes today for certain; by an exam
// day a month away some of it is forgotten. An exam day that is today or past shows no second
// figure; nothing answered shows no figure at all.
TEST(ChanceLine, TodayAndTheExamDay) {
    const QDate today(2026, 1, 15);
    const int64_t now = ExamDayTime(today) - 3 * 3600;
    MemoryStates states{};
    EXPECT_EQ(ChanceLineText(states, now, today, QDate()).Text,
              QStringLiteral("Шанс сдать экзамен: пока нет ответов"));
    for (MemoryState& s : states)
        Review(s, true, now);

    const ChanceLine plain = ChanceLineText(states, now, today, QDate());
    EXPECT_EQ(plain.Text, QStringLiteral("Шанс сдать экзамен сегодня: 100\u00a0%"));
    EXPECT_EQ(ChanceLineText(states, now, today, today).Text, plain.Text);
    EXPECT_EQ(ChanceLineText(states, now, today, today.addDays(-3)).Text, plain.Text);
    EXPECT_TRUE(plain.Tip.startsWith(QStringLiteral("Вероятность сдать экзамен, если бы он был")));

    const ChanceLine exam = ChanceLineText(states, now, today, QDate(2026, 2, 14));
    const QRegularExpression form(
        QStringLiteral("^Шанс сдать: сегодня 100\u00a0%, 14\\.02\\.2026 — ([<>]?\\d+)\u00a0%$"));
    const QRegularExpressionMatch m = form.match(exam.Text);
    ASSERT_TRUE(m.hasMatch()) << exam.Text.toStdString();
    EXPECT_NE(m.captured(1), QStringLiteral("100"));
    EXPECT_TRUE(exam.Tip.contains(QStringLiteral("в день экзамена 14.02.2026")));
    for (const ChanceLine& line : {plain, exam}) { // one sentence each
        EXPECT_TRUE(line.Tip.endsWith(QLatin1Char('.')));
        EXPECT_FALSE(line.Tip.contains(QStringLiteral(". ")));
    }
}

// The shared state with the test database open, a journal and a clock.
class ReadinessCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.Db.OpenDatabase(test::WriteTestDatabase(dir.path())).ok());
        app.services.prompter = &prompter;
        app.services.store = &store;
        app.services.clock = &clock;
        app.services.answers = &journal;
        set = app.Prints.setPrint(app.Db);
        ASSERT_NE(set, 0u);
    }
    // A first answer of a run, unseen, daysAgo days before now.
    void answered(int question, bool right, int daysAgo) {
        journal.entries.push_back({.Time = clock.nowUtc().toSecsSinceEpoch() - daysAgo * Day,
                                   .Set = set,
                                   .Question = question,
                                   .Right = right,
                                   .Flags = FirstInRun});
    }

    test::TempDir dir;
    AppState app;
    test::ScriptedPrompter prompter;
    MemorySettingsStore store;
    test::StepClock clock;
    test::RecordingSink journal;
    Fingerprint set = 0;
};

TEST_F(ReadinessCommands, ReviewRunAsksWhatIsForgottenFirstAndKeepsToTheGoal) {
    RunRequest request = RunRequest::learnTicket(3);
    const QString nothing = ReviewRun(app, request);
    EXPECT_TRUE(nothing.startsWith(QStringLiteral("Сейчас повторять нечего")));
    EXPECT_EQ(request.Type, RunType::TicketLearning);

    answered(300, true, 40); // long ago: the most forgotten...
    answered(300, false, 30);
    answered(7, true, 12);                       // ...then this one
    JournalEntry other = journal.entries.back(); // another question set's answer, long ago
    other.Set = set + 1;
    other.Question = 8;
    journal.entries.push_back(other);
    for (int n = 1; n <= QuestionCount; ++n)
        if (n != 300 && n != 7 && n != 8)
            answered(n, true, 1);

    app.Config.DailyGoal = 5;
    ASSERT_TRUE(ReviewRun(app, request).isEmpty());
    EXPECT_EQ(request.Type, RunType::Review);
    EXPECT_EQ(request.channel(), 0);
    EXPECT_TRUE(request.followsList());
    EXPECT_EQ(request.Caption, StudyAppCaption + QStringLiteral(" - Повторение"));
    ASSERT_EQ(request.Questions.size(), 5u);
    EXPECT_EQ(request.Questions[0], 300);
    EXPECT_EQ(request.Questions[1], 7);
    // Question 8 is unknown in this set whatever another set's answer says: not due, but the
    // first to fill the goal.
    EXPECT_EQ(request.Questions[2], 8);
}

TEST_F(ReadinessCommands, ExamDayAndGoalDialogs) {
    app.Config.ExamDate = QDate(2026, 1, 10); // already past: the dialog starts afresh
    prompter.queueDate({true, QDate(2026, 3, 1)});
    EXPECT_TRUE(ChooseExamDateCommand(app));
    EXPECT_EQ(prompter.shown().back().folder, QString()); // the past day was not offered
    EXPECT_EQ(app.Config.ExamDate, QDate(2026, 3, 1));
    EXPECT_EQ(store.readString(QStringLiteral("Ekz")), QStringLiteral("2026-03-01"));

    EXPECT_FALSE(ChooseExamDateCommand(app)); // cancelled: nothing changes
    EXPECT_EQ(prompter.shown().back().folder, QStringLiteral("2026-03-01"));
    EXPECT_EQ(app.Config.ExamDate, QDate(2026, 3, 1));

    prompter.queueDate({true, QDate()}); // «Без даты»
    EXPECT_TRUE(ChooseExamDateCommand(app));
    EXPECT_FALSE(app.Config.ExamDate.isValid());
    EXPECT_EQ(store.readString(QStringLiteral("Ekz")), QString());

    prompter.queueNumber(25);
    EXPECT_TRUE(ChooseDailyGoalCommand(app));
    EXPECT_EQ(prompter.shown().back().folder, QStringLiteral("40"));
    EXPECT_EQ(app.Config.DailyGoal, 25);
    EXPECT_EQ(store.readInt(QStringLiteral("Vop")), 25);

    // A store that cannot be written is told; the choice holds for this session.
    store.setFailWrites(true);
    prompter.queueNumber(60);
    EXPECT_TRUE(ChooseDailyGoalCommand(app));
    EXPECT_EQ(app.Config.DailyGoal, 60);
    EXPECT_EQ(prompter.shown().back().kind, test::ScriptedPrompter::Kind::Message);
}

} // namespace
} // namespace bil
