// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/menu_commands.h"
#include "app/release_update.h"

#include "app/settings_store.h"
#include "data/themes.h"
#include "memory_settings_store.h"
#include "scripted_prompter.h"
#include "stats/answer_journal.h"
#include "stats/memory_model.h"
#include "stats/release_history.h"
#include "stats/stat_file.h"
#include "test_dataset.h"
#include "test_db.h"

#include <QDir>
#include <QFile>
#include <optional>

#include <gtest/gtest.h>

using namespace bil;
using namespace bil::test;

namespace {

TStatRecord Counted(std::initializer_list<int> numbers) {
    TStatRecord r{};
    for (const int n : numbers) {
        r.question(n).Right = {uint8_t(n % 200), 2, 3};
        r.question(n).Wrong = {4, uint8_t(n % 100), 6};
        r.question(n).Seconds = {n, 8, 9};
    }
    return r;
}

bool SameCounts(const TQuestionStat& a, const TQuestionStat& b) {
    return a.Right == b.Right && a.Wrong == b.Wrong && a.Seconds == b.Seconds;
}

// A learner of the published A,B questions in an application-data folder, about to import the
// next release through the program's import.
class ReleaseImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        shape.BigJpeg = false;
        ASSERT_TRUE(WriteDataSetFolder(first.path(), MakePublishedDataSet(shape)));
        ASSERT_TRUE(WriteDataSetFolder(second.path(), MakeNextRelease(shape)));
        ASSERT_TRUE(RunDataSetImport(first.path(), {DatabasesStep(appData.path())}, {}).ok());
        ab = QDir(appData.path()).filePath(DatabaseFileAB);
        ASSERT_TRUE(SwitchDatabase(state.Db, ab).ok());
        state.AppDataDir = appData.path();
        state.services.prompter = &prompter;
        state.services.store = &store;
        state.Stats = Counted({1, 3, 5, 21, 45, 100, 200});
        state.Stats.TicketStatus[0] = 1; // holds the changed 1, 3, 4, 5
        state.Stats.TicketStatus[9] = 2; // 181..200, all unchanged
        state.Stats.TicketStatus[2] = 4; // receives 21 at 45
        state.Stats.PrepPositions = 0x55;
        for (int n = 1; n <= QuestionCount; ++n)
            state.Themes.theme(n) = DefaultThemeOf(n);
        state.Themes.theme(21) = 26;
        state.Themes.theme(1) = 25;
        state.Themes.mark(21) = 1;
        state.Themes.mark(100) = 2;
        state.Themes.mark(3) = 1;
        ASSERT_TRUE(WriteBytes(StatFilePath(appData.path()),
                               SerializeStats(state.Stats) + QByteArray("tail"))
                        .size());
        ASSERT_TRUE(SaveThemeFile(state.Themes, appData.path()).ok());
        before = {ReadAll(ab), ReadAll(StatFilePath(appData.path())),
                  ReadAll(ThemeFilePath(appData.path()))};
    }

    // The import of the next release with the program's steps; answers the release question
    // from the prompter's queue.
    Status importNext(std::shared_ptr<ReleaseCarry>& carry, bool cd = false) {
        ReleaseImport work = MakeReleaseImport(
            CaptureReleaseBase(state), appData.path(), appData.path(), cd,
            [this](const ReleasePlan& plan) { return AskReleaseUpdate(prompter, plan); });
        carry = work.Carry;
        return RunDataSetImport(second.path(), work.Steps, {});
    }

    std::vector<QByteArray> files() const {
        return {ReadAll(ab), ReadAll(StatFilePath(appData.path())),
                ReadAll(ThemeFilePath(appData.path()))};
    }

    DataSetShape shape;
    TempDir first, second, appData;
    ScriptedPrompter prompter;
    MemorySettingsStore store;
    AppState state;
    QString ab;
    std::vector<QByteArray> before;
};

} // namespace

TEST(ReleaseUpdate, TitleFamilyIsTheCategoriesNamed) {
    EXPECT_TRUE(SameTitleFamily(QStringLiteral("Билеты ПДД, категории A и B"),
                                QStringLiteral("Билеты категорий «А» и «В» 2027")));
    EXPECT_FALSE(SameTitleFamily(QStringLiteral("Билеты ПДД, категории A и B"),
                                 QStringLiteral("Билеты ПДД, категории C и D")));
    EXPECT_TRUE(SameTitleFamily(QStringLiteral("Выпуск 2026"), QStringLiteral("выпуск 2027")));
    EXPECT_FALSE(SameTitleFamily(QStringLiteral("Демонстрационная база вопросов"),
                                 QStringLiteral("Билеты ПДД, категории A и B")));
}

TEST_F(ReleaseImportTest, NoKeepsTheOldDatabasesAndProgress) {
    std::shared_ptr<ReleaseCarry> carry;
    const Status done = importNext(carry);
    EXPECT_EQ(done.message(), ReleaseDeclinedMessage);
    ASSERT_EQ(prompter.shown().size(), 1u);
    const auto& asked = prompter.shown().front();
    EXPECT_TRUE(asked.text.contains(QStringLiteral(
        "Изменилось вопросов: 5, переставлено: 1; результаты по остальным 794 сохранятся")))
        << asked.text.toStdString();
    EXPECT_FALSE(asked.defaultYes);
    EXPECT_TRUE(asked.details.contains(
        QStringLiteral("Билет 3, вопрос 5: переставлен сюда (был: билет 2, вопрос 1)")))
        << asked.details.toStdString();
    EXPECT_TRUE(asked.details.contains(
        QStringLiteral("Билет 4, вопрос 7: изменено — картинка, результаты с нуля")));
    EXPECT_EQ(files(), before);
    EXPECT_FALSE(carry->Plan);
}

TEST_F(ReleaseImportTest, YesCarriesEveryQuestionsHistoryToItsNewPlace) {
    prompter.queueYesNo(true); // the new release
    prompter.queueYesNo(true); // the changed questions now
    std::shared_ptr<ReleaseCarry> carry;
    ASSERT_TRUE(importNext(carry).ok());
    ASSERT_TRUE(carry->Plan);
    std::optional<RunRequest> started;
    ASSERT_TRUE(SwitchAfterImportCommand(state, ab, *carry, {},
                                         [&](const RunRequest& run) { started = run; }));

    const TStatRecord old = Counted({1, 3, 5, 21, 45, 100, 200});
    EXPECT_TRUE(SameCounts(state.Stats.question(45), old.question(21))); // moved
    EXPECT_TRUE(SameCounts(state.Stats.question(5), old.question(5)));   // comment only
    EXPECT_TRUE(SameCounts(state.Stats.question(100), old.question(100)));
    for (const int fresh : {1, 3, 21})
        EXPECT_TRUE(SameCounts(state.Stats.question(fresh), TQuestionStat{})) << fresh;
    EXPECT_EQ(state.Themes.theme(45), 26);
    EXPECT_EQ(state.Themes.mark(45), 1);
    EXPECT_EQ(state.Themes.theme(1), DefaultThemeOf(1));
    EXPECT_EQ(state.Themes.theme(21), DefaultThemeOf(21));
    EXPECT_EQ(state.Themes.mark(3), 0);
    EXPECT_EQ(state.Themes.mark(100), 2);
    EXPECT_EQ(state.Stats.TicketStatus[0], 0);
    EXPECT_EQ(state.Stats.TicketStatus[2], 0);
    EXPECT_EQ(state.Stats.TicketStatus[9], 2);
    EXPECT_EQ(state.Stats.PrepPositions, 0x55);

    // On disk as in memory, the bytes past the record kept; the new database open.
    EXPECT_EQ(ReadAll(StatFilePath(appData.path())), SerializeStats(state.Stats) + "tail");
    EXPECT_EQ(ReadAll(ThemeFilePath(appData.path())).left(QuestionCount),
              QByteArray(reinterpret_cast<const char*>(state.Themes.QuestionTheme.data()),
                         QuestionCount));
    EXPECT_NE(ReadAll(ab), before[0]);
    EXPECT_EQ(state.Db.DbPath(), ab);
    EXPECT_FALSE(prompter.showed(QStringLiteral("Вы хотите обнулить результаты и статистику?")));

    // The «Изменённые вопросы» run over exactly the questions that start from zero.
    ASSERT_TRUE(started);
    EXPECT_EQ(started->Type, RunType::ChangedQuestions);
    EXPECT_EQ(started->Questions, (std::vector<int>{1, 3, 4, 21, 67}));
    // ...and still after a restart: the history of releases was committed with the rest.
    Result<ReleaseHistory> stored = ReadReleaseHistory(ReleaseHistoryPath(appData.path()));
    ASSERT_TRUE(stored.ok()) << stored.error().toStdString();
    EXPECT_EQ(*stored, state.Releases);
    EXPECT_EQ(ChangedQuestions(*stored, state.Prints.setPrint(state.Db)), started->Questions);
}

TEST_F(ReleaseImportTest, DatabasesThatCannotTakeTheirPlaceLeaveTheOldProgress) {
    // A folder where the C,D database should go: its rename fails after the progress is written.
    ASSERT_TRUE(QFile::remove(QDir(appData.path()).filePath(DatabaseFileCD)));
    ASSERT_TRUE(QDir(appData.path()).mkdir(DatabaseFileCD));
    prompter.queueYesNo(true);
    std::shared_ptr<ReleaseCarry> carry;
    EXPECT_FALSE(importNext(carry).ok());
    EXPECT_EQ(files(), before);
}

TEST_F(ReleaseImportTest, AnotherCategoryOrTheSameReleaseIsNoReleaseUpdate) {
    const ReleaseBase base = CaptureReleaseBase(state);
    auto same = PlanReleaseUpdate(base, ab);
    ASSERT_TRUE(same.ok());
    EXPECT_FALSE(*same);
    auto cd = PlanReleaseUpdate(base, QDir(appData.path()).filePath(DatabaseFileCD));
    ASSERT_TRUE(cd.ok());
    EXPECT_FALSE(*cd);
}

TEST_F(ReleaseImportTest, AnswersOfTheOldReleaseCountForTheirQuestionsAtTheNewNumbers) {
    const Fingerprint oldSet = state.Prints.setPrint(state.Db);
    std::vector<JournalEntry> journal;
    for (const int n : {1, 21, 100}) { // changed, moved to 45, unchanged
        journal.push_back({.Time = 1'800'000'000,
                           .Set = oldSet,
                           .Question = n,
                           .Right = true,
                           .Flags = FirstInRun});
    }
    prompter.queueYesNo(true);
    std::shared_ptr<ReleaseCarry> carry;
    ASSERT_TRUE(importNext(carry).ok());
    ASSERT_TRUE(SwitchAfterImportCommand(state, ab, *carry, {}));
    const Fingerprint newSet = state.Prints.setPrint(state.Db);
    ASSERT_NE(newSet, oldSet);

    const MemoryStates states = ReplayJournal(InRelease(journal, newSet, state.Releases), newSet);
    EXPECT_EQ(states[45 - 1].Reviews, 1);
    EXPECT_EQ(states[100 - 1].Reviews, 1);
    EXPECT_EQ(states[1 - 1].Reviews, 0);
    EXPECT_EQ(states[21 - 1].Reviews, 0); // a new question there now
    // The journal itself is not rewritten: the old release's records still count for it.
    EXPECT_EQ(ReplayJournal(InRelease(journal, oldSet, state.Releases), oldSet)[21 - 1].Reviews, 1);
}

TEST_F(ReleaseImportTest, ChoosingTheOtherCategoriesKeepsThePlainResetQuestion) {
    std::shared_ptr<ReleaseCarry> carry;
    ASSERT_TRUE(importNext(carry, true).ok());
    EXPECT_FALSE(carry->Plan);
    EXPECT_TRUE(prompter.shown().empty());
    const QString cd = QDir(appData.path()).filePath(DatabaseFileCD);
    ASSERT_TRUE(SwitchAfterImportCommand(state, cd, *carry, {}));
    EXPECT_TRUE(prompter.showed(QStringLiteral("Вы хотите обнулить результаты и статистику?")));
    EXPECT_EQ(state.Db.DbPath(), cd);
}
