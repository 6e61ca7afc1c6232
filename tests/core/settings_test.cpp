// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_data.h"
#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "memory_settings_store.h"
#include "test_db.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace bil;

const QStringList NineValues{"Rnd", "Sta", "Tim", "Tre", "Otv", "Kom", "Pov", "Mas", "Err"};

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

// A key as a previous start leaves it: every value present.
MemorySettingsStore storedKey() {
    MemorySettingsStore store;
    Settings settings;
    LoadSettings(store, settings, QString());
    return store;
}

TEST(SettingsLoad, FirstRunWritesTheDefaultsAndFindsTheDatabase) {
    QTemporaryDir program;
    touch(QDir(program.path()).filePath("dataCD.dbv"));
    touch(QDir(program.path()).filePath("dataAB.dbv"));

    QTemporaryDir config;
    QSettingsStore store(QDir(config.path()).filePath("sub/VRK.ini"));
    ASSERT_FALSE(store.keyExists());
    Settings settings;
    const SettingsLoad load = LoadSettings(store, settings, program.path());

    EXPECT_TRUE(load.FirstRun);
    EXPECT_TRUE(load.StoreStatus.ok()) << load.StoreStatus.message().toStdString();
    EXPECT_EQ(load.DbPath, QDir(program.path()).filePath("dataAB.dbv"));
    EXPECT_TRUE(store.keyExists());
    const std::vector<int> expected{1, 1, 4, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < NineValues.size(); ++i)
        EXPECT_EQ(store.readInt(NineValues[i]), expected[i]) << NineValues[i].toStdString();
    EXPECT_EQ(store.readString("Bas"), load.DbPath);
    EXPECT_EQ(settings.ExamTimeItem, 4);
    EXPECT_EQ(settings.ExamTime, 600);
    EXPECT_TRUE(settings.ShuffleAnswers);
    EXPECT_TRUE(settings.ShowStatInformer);
    EXPECT_TRUE(settings.HideOnFocusLoss);
    EXPECT_FALSE(settings.ShowAnswerOnError);
    EXPECT_FALSE(settings.AlwaysShowComment);
    EXPECT_FALSE(settings.ConfirmChoice);
    // Shown as stored (0 = checked) from the first run on, not only from the second.
    EXPECT_TRUE(settings.TrainingCommentOnError);
    EXPECT_TRUE(settings.TrainingMarksAtEnd);

    // The same file read again is a later start with the same settings.
    QSettingsStore again(store.path());
    Settings second;
    const SettingsLoad next = LoadSettings(again, second, program.path());
    EXPECT_FALSE(next.FirstRun);
    EXPECT_EQ(next.DbPath, load.DbPath);
    EXPECT_TRUE(second.TrainingCommentOnError);
    EXPECT_TRUE(second.TrainingMarksAtEnd);
    EXPECT_EQ(second.ExamTime, 600);
}

TEST(SettingsLoad, FirstRunDatabaseSearch) {
    QTemporaryDir program;
    EXPECT_EQ(FindDatabaseInFolder(program.path()), QString());
    touch(QDir(program.path()).filePath("dataCD.dbv"));
    EXPECT_EQ(FindDatabaseInFolder(program.path()), QDir(program.path()).filePath("dataCD.dbv"));

    MemorySettingsStore store;
    Settings settings;
    EXPECT_EQ(LoadSettings(store, settings, program.path() + "/none").DbPath, QString());
    EXPECT_TRUE(store.hasValue("Bas"));
}

TEST(SettingsLoad, FirstRunFindsTheInstalledDatabase) {
    // <prefix>/bin holds the program, <prefix>/share/biletoria the demo database.
    QTemporaryDir prefix;
    const QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath("bin") && root.mkpath("share/biletoria"));
    const QString bin = root.filePath("bin");
    EXPECT_EQ(FindFirstRunDatabase(bin), QString());

    touch(root.filePath("share/biletoria/dataAB.dbv"));
    EXPECT_EQ(FindFirstRunDatabase(bin), root.filePath("share/biletoria/dataAB.dbv"));
    MemorySettingsStore store;
    Settings settings;
    EXPECT_EQ(LoadSettings(store, settings, bin).DbPath,
              root.filePath("share/biletoria/dataAB.dbv"));
    EXPECT_EQ(store.readString("Bas"), root.filePath("share/biletoria/dataAB.dbv"));

    // A database next to the program wins over the installed one.
    touch(root.filePath("bin/dataCD.dbv"));
    EXPECT_EQ(FindFirstRunDatabase(bin), root.filePath("bin/dataCD.dbv"));
}

TEST(SettingsLoad, StoredValuesSetTheItems) {
    MemorySettingsStore store = storedKey();
    store.writeInt("Rnd", 0);
    store.writeInt("Sta", 7); // checked only by exactly 1
    store.writeInt("Err", 1);
    store.writeInt("Kom", 1);
    store.writeInt("Pov", 1);
    store.writeInt("Mas", 0);
    store.writeInt("Tre", 1);
    store.writeInt("Otv", 5); // inverted: checked only by exactly 0
    store.writeInt("Tim", 6);
    store.writeString("Bas", "/db/dataAB.dbv");

    Settings s;
    const SettingsLoad load = LoadSettings(store, s, QString());
    EXPECT_FALSE(load.FirstRun);
    EXPECT_EQ(load.DbPath, "/db/dataAB.dbv");
    EXPECT_FALSE(s.ShuffleAnswers);
    EXPECT_FALSE(s.ShowStatInformer);
    EXPECT_TRUE(s.ShowAnswerOnError);
    EXPECT_TRUE(s.AlwaysShowComment);
    EXPECT_TRUE(s.ConfirmChoice);
    EXPECT_FALSE(s.HideOnFocusLoss);
    EXPECT_FALSE(s.TrainingCommentOnError);
    EXPECT_FALSE(s.TrainingMarksAtEnd);
    EXPECT_EQ(s.ExamTimeItem, 6);
    EXPECT_EQ(s.ExamTime, 1200);
    EXPECT_EQ(store.readInt("Tim"), 6);
    EXPECT_EQ(store.readInt("Sta"), 7); // read, not rewritten
}

TEST(SettingsLoad, MissingValuesAreWrittenAsZeroAndKeepTheItemsInitialState) {
    MemorySettingsStore store = storedKey();
    store.writeInt("Kom", 1);
    for (const char* name : {"Kom", "Pov", "Mas", "Err", "Tre", "Otv", "Bas"})
        store.remove(name);

    Settings s; // initial states: N12 checked, the others unchecked
    const SettingsLoad load = LoadSettings(store, s, QString());
    EXPECT_FALSE(load.FirstRun);
    for (const char* name : {"Kom", "Pov", "Mas", "Err", "Tre", "Otv"})
        EXPECT_EQ(store.readInt(name), 0) << name;
    EXPECT_FALSE(s.AlwaysShowComment);
    EXPECT_TRUE(s.HideOnFocusLoss);
    EXPECT_FALSE(s.TrainingCommentOnError);
    EXPECT_EQ(load.DbPath, QString());

    Settings next; // the start after that reads the 0s
    LoadSettings(store, next, QString());
    EXPECT_FALSE(next.AlwaysShowComment);
    EXPECT_FALSE(next.HideOnFocusLoss);
    EXPECT_TRUE(next.TrainingCommentOnError);
    EXPECT_TRUE(next.TrainingMarksAtEnd);
}

TEST(SettingsLoad, MissingOrOutOfRangeTimRndStaTakeTheFirstRunDefaults) {
    for (const QString& tim : {QString("9"), QString("0"), QString("x"), QString()}) {
        MemorySettingsStore store = storedKey();
        if (tim.isEmpty())
            store.remove("Tim");
        else
            store.writeString("Tim", tim);
        store.remove("Rnd");
        store.remove("Sta");
        Settings s;
        s.ShuffleAnswers = false;
        s.ShowStatInformer = false;
        LoadSettings(store, s, QString());
        EXPECT_EQ(s.ExamTimeItem, 4) << tim.toStdString();
        EXPECT_EQ(s.ExamTime, 600);
        EXPECT_EQ(store.readInt("Tim"), 4);
        EXPECT_TRUE(s.ShuffleAnswers);
        EXPECT_TRUE(s.ShowStatInformer);
        EXPECT_EQ(store.readInt("Rnd"), 1);
        EXPECT_EQ(store.readInt("Sta"), 1);
    }
}

TEST(SettingsLoad, FailedWritesAreReportedAndTheSettingsStillApply) {
    MemorySettingsStore store;
    store.setFailWrites(true);
    Settings s;
    const SettingsLoad load = LoadSettings(store, s, QString());
    EXPECT_TRUE(load.FirstRun);
    EXPECT_FALSE(load.StoreStatus.ok());
    EXPECT_EQ(s.ExamTime, 600);
}

TEST(SettingItems, YesNoItemsWriteTheirValueAndTreOtvInverted) {
    MemorySettingsStore store = storedKey();
    Settings s;
    const struct {
        SettingItem item;
        const char* name;
        bool* field;
        int checkedValue;
    } items[] = {
        {SettingItem::ShuffleAnswers, "Rnd", &s.ShuffleAnswers, 1},
        {SettingItem::ShowStatInformer, "Sta", &s.ShowStatInformer, 1},
        {SettingItem::ShowAnswerOnError, "Err", &s.ShowAnswerOnError, 1},
        {SettingItem::AlwaysShowComment, "Kom", &s.AlwaysShowComment, 1},
        {SettingItem::TrainingCommentOnError, "Tre", &s.TrainingCommentOnError, 0},
        {SettingItem::TrainingMarksAtEnd, "Otv", &s.TrainingMarksAtEnd, 0},
        {SettingItem::ConfirmChoice, "Pov", &s.ConfirmChoice, 1},
        {SettingItem::HideOnFocusLoss, "Mas", &s.HideOnFocusLoss, 1},
    };
    for (const auto& it : items) {
        EXPECT_EQ(SettingValueName(it.item), it.name);
        ASSERT_TRUE(SetSetting(store, s, it.item, false).ok());
        EXPECT_FALSE(*it.field);
        EXPECT_EQ(store.readInt(it.name), 1 - it.checkedValue) << it.name;
        ASSERT_TRUE(SetSetting(store, s, it.item, true).ok());
        EXPECT_TRUE(*it.field);
        EXPECT_EQ(store.readInt(it.name), it.checkedValue) << it.name;
    }

    store.setFailWrites(true);
    EXPECT_FALSE(SetSetting(store, s, SettingItem::ConfirmChoice, false).ok());
    EXPECT_FALSE(s.ConfirmChoice); // the item keeps its new state
}

TEST(SettingItems, ExamTimeItems) {
    MemorySettingsStore store = storedKey();
    Settings s;
    const int seconds[] = {60, 180, 300, 600, 900, 1200};
    for (int k = 1; k <= 6; ++k) {
        ASSERT_TRUE(ChooseExamTime(store, s, k).ok());
        EXPECT_EQ(s.ExamTime, seconds[k - 1]);
        EXPECT_EQ(s.ExamTimeItem, k);
        EXPECT_EQ(store.readInt("Tim"), k);
    }
    // The item already checked, chosen again, stays the choice.
    const int writes = store.writeCount();
    ASSERT_TRUE(ChooseExamTime(store, s, 6).ok());
    EXPECT_EQ(s.ExamTime, 1200);
    EXPECT_EQ(store.writeCount(), writes + 1);
    ASSERT_TRUE(ChooseExamTime(store, s, 7).ok());
    EXPECT_EQ(s.ExamTime, 1200);
    EXPECT_EQ(store.readInt("Tim"), 6);
}

// The exam day and the daily goal survive a restart in the INI file; a cleared day stays
// cleared; stored values that make no sense read as no day and the default goal.
TEST(SettingItems, ExamDayAndDailyGoalRoundTrip) {
    QTemporaryDir config;
    const QString ini = QDir(config.path()).filePath("VRK.ini");
    {
        QSettingsStore store(ini);
        Settings s;
        LoadSettings(store, s, QString());
        EXPECT_FALSE(s.ExamDate.isValid());
        EXPECT_EQ(s.DailyGoal, 40);
        ASSERT_TRUE(SetExamDate(store, s, QDate(2027, 3, 15)).ok());
        ASSERT_TRUE(SetDailyGoal(store, s, 5000).ok());
        EXPECT_EQ(s.DailyGoal, 800);
    }
    QSettingsStore store(ini);
    Settings s;
    LoadSettings(store, s, QString());
    EXPECT_EQ(s.ExamDate, QDate(2027, 3, 15));
    EXPECT_EQ(s.DailyGoal, 800);
    ASSERT_TRUE(SetExamDate(store, s, QDate()).ok());
    Settings again;
    LoadSettings(store, again, QString());
    EXPECT_FALSE(again.ExamDate.isValid());

    ASSERT_TRUE(store.writeString("Ekz", "2027-02-30").ok());
    ASSERT_TRUE(store.writeInt("Vop", 0).ok());
    Settings odd;
    odd.DailyGoal = 7;
    LoadSettings(store, odd, QString());
    EXPECT_FALSE(odd.ExamDate.isValid());
    EXPECT_EQ(odd.DailyGoal, 40);
}

TEST(SettingsStoreIni, ValuesSurviveAReopenAndForeignValuesReadAsMissing) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("VRK.ini");
    {
        QSettingsStore store(path);
        ASSERT_TRUE(store.writeInt("Tim", -3).ok());
        ASSERT_TRUE(store.writeString("Bas", "C:\\База\\dataAB.dbv").ok());
        ASSERT_TRUE(store.writeString("Kom", "abc").ok());
    }
    QSettingsStore store(path);
    EXPECT_TRUE(store.keyExists());
    EXPECT_EQ(store.readInt("Tim"), -3);
    EXPECT_EQ(store.readString("Bas"), "C:\\База\\dataAB.dbv");
    EXPECT_TRUE(store.hasValue("Kom"));
    EXPECT_EQ(store.readInt("Kom"), std::nullopt);
    EXPECT_FALSE(store.hasValue("Pov"));
    EXPECT_EQ(store.readInt("Pov"), std::nullopt);
    EXPECT_EQ(store.readString("Pov"), QString());
}

TEST(SettingsStoreIni, UnwritableFileReportsTheFailedWrite) {
    QTemporaryDir dir;
    // A folder where the file should be: no user can write it.
    const QString path = QDir(dir.path()).filePath("VRK.ini");
    ASSERT_TRUE(QDir().mkpath(path));
    QSettingsStore store(path);
    const Status written = store.writeInt("Rnd", 1);
    EXPECT_FALSE(written.ok());
    EXPECT_TRUE(written.message().contains("Rnd"));
}

TEST(SettingsStoreIni, LoadingWritesEverythingInOneFlushAndReportsItsFailure) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("VRK.ini");
    {
        QSettingsStore store(path);
        Settings settings;
        const SettingsLoad load = LoadSettings(store, settings, dir.path());
        EXPECT_TRUE(load.FirstRun);
        EXPECT_TRUE(load.StoreStatus.ok());
    }
    // Held-back writes still reach the file, and later writes go straight to disk again.
    QSettingsStore reopened(path);
    EXPECT_EQ(reopened.readInt("Tim"), 4);
    EXPECT_EQ(reopened.readInt("Mas"), 1);
    ASSERT_TRUE(reopened.writeInt("Kom", 1).ok());
    EXPECT_EQ(QSettingsStore(path).readInt("Kom"), 1);

    const QString blocked = QDir(dir.path()).filePath("blocked.ini");
    ASSERT_TRUE(QDir().mkpath(blocked));
    QSettingsStore store(blocked);
    Settings settings;
    EXPECT_FALSE(LoadSettings(store, settings, dir.path()).StoreStatus.ok());
}

TEST(SettingsStoreIni, AStartWithNothingChangedLeavesTheFileAlone) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("VRK.ini");
    {
        QSettingsStore store(path);
        Settings settings;
        ASSERT_TRUE(LoadSettings(store, settings, dir.path()).StoreStatus.ok());
    }
    int flipped = 0;
    // A comment line survives only while nobody rewrites the file.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("; kept\n");
    file.close();
    {
        QSettingsStore store(path);
        Settings settings;
        ASSERT_TRUE(LoadSettings(store, settings, dir.path()).StoreStatus.ok());
        EXPECT_TRUE(test::ReadAll(path).contains("; kept"));
        flipped = 1 - store.readInt("Kom").value_or(0);
        ASSERT_TRUE(store.writeInt("Kom", flipped).ok()); // a change is still written
    }
    EXPECT_EQ(QSettingsStore(path).readInt("Kom"), flipped);
}

TEST(AppData, EnvironmentValueIsHonouredAndCreated) {
    QTemporaryDir dir;
    const QString wanted = QDir(dir.path()).filePath("Roaming/deep");
    auto folder = AppDataFolder(wanted, "/nonexistent");
    ASSERT_TRUE(folder.ok()) << folder.error().toStdString();
    EXPECT_EQ(*folder, QDir::cleanPath(wanted));
    EXPECT_TRUE(QFileInfo(wanted).isDir());

    auto fallback = AppDataFolder(QString(), dir.path());
    ASSERT_TRUE(fallback.ok());
    EXPECT_EQ(*fallback, QDir(dir.path()).filePath("biletoria"));
    EXPECT_TRUE(QFileInfo(*fallback).isDir());

    ASSERT_EQ(setenv("APPDATA", wanted.toLocal8Bit().constData(), 1), 0);
    auto fromEnv = AppDataFolder(AppDataFolderFromEnvironment());
    unsetenv("APPDATA");
    ASSERT_TRUE(fromEnv.ok());
    EXPECT_EQ(*fromEnv, QDir::cleanPath(wanted));
}

TEST(AppData, FolderThatCannotBeMadeIsAnErrorNamingIt) {
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("occupied");
    touch(file);
    auto folder = AppDataFolder(file + "/sub", QString());
    ASSERT_FALSE(folder.ok());
    EXPECT_TRUE(folder.error().contains(QDir::toNativeSeparators(file + "/sub")));
}

} // namespace
