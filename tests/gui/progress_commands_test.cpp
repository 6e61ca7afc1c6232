// SPDX-License-Identifier: GPL-3.0-or-later
// The settings menu's progress file commands on the real main window: a learner saves, changes
// everything, restores, and sees the catalogues and the menu as they were saved.

#include "app/progress_commands.h"
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "data/themes.h"
#include "scripted_prompter.h"
#include "stats/stat_file.h"
#include "test_db.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

using namespace bil;
using bil::test::ScriptedPrompter;

namespace {

using test::ReadAll;

class ProgressCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<QSettingsStore>(config.file(QStringLiteral("VRK.ini")));
        state = std::make_unique<AppState>();
        state->ProgramDir = program.path();
        state->AppDataDir = appData.path();
        state->services.prompter = &prompter;
        state->services.store = store.get();
        test::WriteTestDatabase(program.path());
        form = std::make_unique<TForm2>(*state);
        ASSERT_EQ(form->FormCreate(), StartupResult::Continue);
        ASSERT_EQ(LoadThemesAtStartup(*state), StartupResult::Continue);
        form->show();
    }
    void TearDown() override { form.reset(); }
    QString statPath() const { return StatFilePath(state->AppDataDir); }
    QString themePath() const { return ThemeFilePath(state->AppDataDir); }
    int actionIndex(const QString& name) const {
        const QList<QAction*> actions = form->PopupMenu1->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (actions[i]->objectName() == name)
                return i;
        return -1;
    }

    test::TempDir program, appData, config, files;
    ScriptedPrompter prompter;
    std::unique_ptr<QSettingsStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<TForm2> form;

private:
};

} // namespace

TEST_F(ProgressCommandsTest, TheTwoCommandsFollowTheReset) {
    ASSERT_NE(form->N21, nullptr);
    EXPECT_EQ(form->N21->text(), QStringLiteral("Сохранить прогресс в файл…"));
    EXPECT_EQ(form->N22->text(), QStringLiteral("Восстановить прогресс из файла…"));
    EXPECT_EQ(actionIndex(QStringLiteral("N21")), actionIndex(QStringLiteral("N3")) + 1);
    EXPECT_EQ(actionIndex(QStringLiteral("N22")), actionIndex(QStringLiteral("N3")) + 2);
}

TEST_F(ProgressCommandsTest, SaveChangeEverythingRestoreComesBackAsSaved) {
    state->Stats.TicketStatus[2] = 1;
    state->Stats.question(45).Right[0] = 9;
    state->Themes.mark(45) = 1;
    state->Themes.theme(45) = 7;
    form->N6->trigger(); // shuffling off
    form->ExamTimeItems[5]->trigger();
    const QString path = files.file(QStringLiteral("перенос")); // the suffix is added
    prompter.queueFile(path);
    form->N21->trigger();
    ASSERT_TRUE(QFile::exists(path + QStringLiteral(".biletoria")))
        << prompter.texts().join("|").toStdString();
    EXPECT_TRUE(prompter.texts().last().startsWith(QStringLiteral("Прогресс сохранён в файл")));
    EXPECT_TRUE(prompter.shown()[0].folder.endsWith(QStringLiteral(".biletoria")));

    // Everything changes afterwards: a reset, other themes and settings.
    prompter.queueYesNo(true);
    form->N3->trigger();
    state->Themes.theme(45) = 2;
    form->N6->trigger();
    form->ExamTimeItems[0]->trigger();
    ASSERT_EQ(form->ticketIcons()[2], 0);

    prompter.clear();
    prompter.queueFile(path + QStringLiteral(".biletoria"));
    prompter.queueYesNo(true);
    form->N22->trigger();
    ASSERT_GE(prompter.shown().size(), 2u);
    const auto& question = prompter.shown()[1];
    EXPECT_EQ(question.kind, ScriptedPrompter::Kind::YesNo);
    EXPECT_EQ(question.caption, QStringLiteral("Внимание!"));
    EXPECT_TRUE(question.text.contains(test::TestTitle)) << question.text.toStdString();
    EXPECT_EQ(form->ticketIcons()[2], 1); // refreshed as after a reset
    EXPECT_EQ(state->Stats.question(45).Right[0], 9);
    EXPECT_EQ(state->Themes.mark(45), 1);
    EXPECT_EQ(state->Themes.theme(45), 7);
    EXPECT_FALSE(form->N6->isChecked());
    EXPECT_TRUE(form->ExamTimeItems[5]->isChecked());
    EXPECT_EQ(state->Config.ExamTime, 1200);
    EXPECT_EQ(store->readInt(QStringLiteral("Rnd")), 0);
    EXPECT_EQ(store->readInt(QStringLiteral("Tim")), 6);
    const Result<LoadedStats> disk = LoadStats(statPath());
    ASSERT_TRUE(disk.ok());
    EXPECT_EQ(disk->Record.TicketStatus[2], 1);
    EXPECT_EQ(uint8_t(ReadAll(themePath())[44]), 7);
    EXPECT_TRUE(prompter.texts().last().startsWith(QStringLiteral("Прогресс восстановлен")));
}

TEST_F(ProgressCommandsTest, ADamagedFileOrANoChangesNothing) {
    state->Stats.TicketStatus[0] = 4;
    const QString path = files.file(QStringLiteral("a.biletoria"));
    prompter.queueFile(path);
    form->N21->trigger();
    const QByteArray good = ReadAll(path);
    ASSERT_FALSE(good.isEmpty());
    state->Stats.TicketStatus[0] = 2;
    ASSERT_TRUE(SaveStatsGuarded(*state));
    const QByteArray statBefore = ReadAll(statPath());
    const QByteArray themesBefore = ReadAll(themePath());
    const QByteArray iniBefore = ReadAll(config.file(QStringLiteral("VRK.ini")));

    // Answered No.
    prompter.clear();
    prompter.queueFile(path);
    prompter.queueYesNo(false);
    form->N22->trigger();
    EXPECT_EQ(state->Stats.TicketStatus[0], 2);

    // Cut short: the learner hears why, nothing is asked and nothing changes.
    const QString cut = files.file(QStringLiteral("cut.biletoria"));
    QFile f(cut);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(good.left(good.size() - 40));
    f.close();
    prompter.clear();
    prompter.queueFile(cut);
    prompter.queueYesNo(true); // would be the answer if it were asked
    form->N22->trigger();
    ASSERT_EQ(prompter.shown().size(), 2u); // the file dialog and the warning
    EXPECT_EQ(prompter.shown()[1].caption, QStringLiteral("Внимание!"));
    EXPECT_TRUE(prompter.shown()[1].text.endsWith(QStringLiteral("Ничего не изменено.")));
    EXPECT_EQ(state->Stats.TicketStatus[0], 2);
    EXPECT_EQ(ReadAll(statPath()), statBefore);
    EXPECT_EQ(ReadAll(themePath()), themesBefore);
    EXPECT_EQ(ReadAll(config.file(QStringLiteral("VRK.ini"))), iniBefore);

    // Cancelled file dialogs do nothing either.
    prompter.clear();
    form->N21->trigger();
    form->N22->trigger();
    EXPECT_EQ(prompter.shown().size(), 2u);
}

TEST(ProgressCommands, TheProposedNameCarriesTheDateAndTheSuffix) {
    const QDateTime when(QDate(2026, 12, 9), QTime(12, 0), Qt::LocalTime);
    EXPECT_EQ(ProposedProgressPath(QStringLiteral("/home/u"), when),
              QStringLiteral("/home/u/Прогресс Билетории 2026-12-09.biletoria"));
}
