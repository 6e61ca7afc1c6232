// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/menu_commands.h"

#include "app/settings_store.h"
#include "app/startup.h"
#include "data/themes.h"
#include "memory_settings_store.h"
#include "scripted_prompter.h"
#include "stats/stat_file.h"
#include "test_db.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

using namespace bil;
using bil::test::ScriptedPrompter;

namespace {

// An open test database with its help links, an application-data folder and a settings store;
// the views record what the window was asked to redraw.
class MenuCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbPath = test::WriteTestDatabase(program.path());
        ASSERT_TRUE(SwitchDatabase(state.Db, dbPath));
        ASSERT_TRUE(store.writeString(QStringLiteral("Bas"), dbPath));
        BuildAllHelpLinks(state.Themes, [this](int n) { return state.Db.LoadComment(n); });
        state.AppDataDir = appData.path();
        state.services.prompter = &prompter;
        state.services.store = &store;
        views.refresh = [this] { seen << QStringLiteral("refresh"); };
        views.showTitle = [this] { seen << QStringLiteral("title ") + state.Db.DbTitle(); };
    }

    QStringList links(int number) const {
        QStringList list;
        for (const HelpLink& link : state.Themes.HelpLinks[number - 1])
            if (!link.LinkCaption.isEmpty())
                list << link.LinkCaption + QLatin1Char('=') + link.LinkTopic;
        return list;
    }

    // A second database whose first comment names other rules.
    QString otherDatabase() {
        std::vector<QuestionSource> questions = test::MakeQuestions();
        questions[0].Comment = QStringLiteral("Смотрите знак 5.19.1 и п. 14.1 Правил.");
        return test::WriteTestDatabase(other.path(), questions, QStringLiteral("dataCD.dbv"),
                                       QStringLiteral("Билеты C и D"));
    }

    test::TempDir program, appData, other;
    ScriptedPrompter prompter;
    MemorySettingsStore store;
    AppState state;
    QString dbPath;
    CommandViews views;
    QStringList seen; // the views' calls, in order
};

const QString ResetQuestion = QStringLiteral("Вы хотите обнулить результаты и статистику?");

} // namespace

// No changes nothing; Yes clears the counts and marks and both files are on disk before the
// window redraws from them.
TEST_F(MenuCommandsTest, FullResetAsksThenWritesBothFilesBeforeTheRefresh) {
    state.Stats.TicketStatus[3] = 2;
    state.Stats.PrepPositions = 5;
    state.Stats.question(61).Seconds[2] = 30;
    state.Themes.mark(61) = 1;

    EXPECT_FALSE(ResetAllCommand(state, views));
    EXPECT_EQ(prompter.texts(), QStringList{ResetQuestion});
    EXPECT_EQ(state.Stats.TicketStatus[3], 2);
    EXPECT_EQ(state.Themes.mark(61), 1);
    EXPECT_FALSE(QFile::exists(StatFilePath(appData.path())));
    EXPECT_TRUE(seen.isEmpty());

    views.refresh = [this] {
        Result<LoadedStats> stats = LoadStats(StatFilePath(appData.path()));
        ASSERT_TRUE(stats.ok());
        EXPECT_EQ(stats->Record.TicketStatus[3], 0);
        EXPECT_EQ(stats->Record.PrepPositions, 5);
        ThemeTable themes;
        ASSERT_TRUE(LoadThemeFile(themes, appData.path()));
        EXPECT_EQ(themes.mark(61), 0);
        seen << QStringLiteral("refresh");
    };
    prompter.queueYesNo(true);
    EXPECT_TRUE(ResetAllCommand(state, views));
    EXPECT_EQ(seen, QStringList{QStringLiteral("refresh")});
    EXPECT_EQ(state.Stats.question(61).Seconds[2], 0);
    EXPECT_EQ(state.Stats.PrepPositions, 5);
    EXPECT_EQ(prompter.shown().size(), 2u); // the two questions, no warning
}

// Both files unwritable: memory is reset all the same, each file is reported once (the
// statistics save point retries the theme file without a second warning), the window redraws.
TEST_F(MenuCommandsTest, FullResetReportsEachFileThatCannotBeWrittenOnce) {
    state.AppDataDir = appData.file(QStringLiteral("gone"));
    state.Stats.TicketStatus[0] = 1;
    prompter.queueYesNo(true);
    EXPECT_TRUE(ResetAllCommand(state, views));
    EXPECT_EQ(state.Stats.TicketStatus[0], 0);
    EXPECT_EQ(seen, QStringList{QStringLiteral("refresh")});
    ASSERT_EQ(prompter.shown().size(), 3u) << prompter.texts().join("|").toStdString();
    EXPECT_TRUE(prompter.shown()[1].text.startsWith(
        QStringLiteral("Не удалось сохранить темы и отметки сложности вопросов.")));
    EXPECT_TRUE(
        prompter.shown()[2].text.startsWith(QStringLiteral("Не удалось сохранить статистику.")));
    EXPECT_EQ(prompter.shown()[2].icon, Prompter::Icon::Warning);
}

TEST_F(MenuCommandsTest, TicketResetAsksOnlyForATicketOfTheCatalogueAndKeepsTheOthers) {
    EXPECT_FALSE(ResetTicketCommand(state, 0, views));
    EXPECT_FALSE(ResetTicketCommand(state, TicketCount + 1, views));
    EXPECT_TRUE(prompter.shown().empty());

    state.Stats.TicketStatus[1] = 1;
    state.Stats.TicketStatus[2] = 1;
    state.Stats.question(21).Right[0] = 4;
    prompter.queueYesNo(true);
    EXPECT_TRUE(ResetTicketCommand(state, 2, views));
    EXPECT_EQ(state.Stats.TicketStatus[1], 0);
    EXPECT_EQ(state.Stats.TicketStatus[2], 1);
    EXPECT_EQ(state.Stats.question(21).Right[0], 0);
    Result<LoadedStats> saved = LoadStats(StatFilePath(appData.path()));
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.TicketStatus[1], 0);
    EXPECT_EQ(seen, QStringList{QStringLiteral("refresh")});
}

// A file that does not open: the reset question still comes first (the switch goes on after
// either answer), then the failure; the old database, its links, its title and Bas stay.
TEST_F(MenuCommandsTest, SwitchToABadDatabaseChangesNothingButWhatTheLearnerReset) {
    const QStringList oldLinks = links(1);
    state.Stats.TicketStatus[0] = 1;
    test::DbvBytes bad;
    bad.setTitleLength(99);
    const QString badPath = bad.save(other.file(QStringLiteral("bad.dbv")));

    EXPECT_FALSE(SwitchDatabaseCommand(state, badPath, views));
    EXPECT_EQ(prompter.texts(), QStringList({ResetQuestion, startup_text::SwitchFailure}));
    EXPECT_EQ(state.Db.DbPath(), dbPath);
    EXPECT_TRUE(state.Db.LoadQuestion(1).ok());
    EXPECT_EQ(links(1), oldLinks);
    EXPECT_EQ(store.readString(QStringLiteral("Bas")), dbPath);
    EXPECT_EQ(state.Stats.TicketStatus[0], 1);
    EXPECT_TRUE(seen.isEmpty());

    prompter.clear();
    prompter.queueYesNo(true);
    EXPECT_FALSE(SwitchDatabaseCommand(state, badPath, views));
    EXPECT_EQ(state.Stats.TicketStatus[0], 0); // the learner's Yes holds
    EXPECT_EQ(seen, QStringList{QStringLiteral("refresh")});
    EXPECT_EQ(state.Db.DbPath(), dbPath);
}

// A good file: reset (on Yes) and refresh first, then the new database with the help links of
// its own comments, a refresh on it (reset or not), its title, and Bas; a store that refuses Bas
// is reported after the title.
TEST_F(MenuCommandsTest, SwitchRebuildsTheLinksShowsTheTitleAndTellsWhenBasIsNotKept) {
    const QString cd = otherDatabase();
    prompter.queueYesNo(true);
    EXPECT_TRUE(SwitchDatabaseCommand(state, cd, views));
    EXPECT_EQ(seen, QStringList({QStringLiteral("refresh"), QStringLiteral("refresh"),
                                 QStringLiteral("title Билеты C и D")}));
    EXPECT_EQ(state.Db.DbPath(), cd);
    EXPECT_EQ(links(1), QStringList({QStringLiteral("Знак 5.19.1=zn5.html#z5.19.1"),
                                     QStringLiteral("Пункт 14.1=pdd14.html#p14.1")}));
    EXPECT_EQ(store.readString(QStringLiteral("Bas")), cd);
    EXPECT_EQ(prompter.shown().size(), 1u);

    seen.clear();
    prompter.clear();
    store.setFailWrites(true);
    views.showTitle = [this] {
        EXPECT_EQ(prompter.shown().size(), 1u); // only the reset question so far
        seen << QStringLiteral("title");
    };
    EXPECT_TRUE(SwitchDatabaseCommand(state, dbPath, views));
    EXPECT_EQ(state.Db.DbPath(), dbPath);
    EXPECT_EQ(seen, QStringList({QStringLiteral("refresh"), QStringLiteral("title")}));
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_TRUE(prompter.shown()[1].text.startsWith(startup_text::DatabaseNotRemembered));
    EXPECT_EQ(store.readString(QStringLiteral("Bas")), cd);
}

TEST_F(MenuCommandsTest, ChoosingADatabaseCancelledOrMissingAsksNothingMore) {
    EXPECT_FALSE(ChooseDatabaseCommand(state, views));
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].kind, ScriptedPrompter::Kind::OpenFile);
    EXPECT_EQ(prompter.shown()[0].text, startup_text::OpenDialogTitle);
    EXPECT_EQ(prompter.shown()[0].filter, startup_text::OpenDialogFilter);
    // Beside the database in use, with the data folder at hand.
    EXPECT_EQ(prompter.shown()[0].folder, QFileInfo(dbPath).absolutePath());
    EXPECT_EQ(prompter.shown()[0].places, QStringList{state.AppDataDir});

    prompter.clear();
    prompter.queueFile(other.file(QStringLiteral("none.dbv")));
    EXPECT_FALSE(ChooseDatabaseCommand(state, views));
    EXPECT_EQ(prompter.texts().last(), startup_text::NoDataFile);
    EXPECT_FALSE(prompter.showed(ResetQuestion));

    const QString cd = otherDatabase();
    prompter.queueFile(cd);
    EXPECT_TRUE(ChooseDatabaseCommand(state, views));
    EXPECT_EQ(state.Db.DbPath(), cd);
    EXPECT_TRUE(prompter.showed(ResetQuestion));
}
