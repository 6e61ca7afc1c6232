// SPDX-License-Identifier: GPL-3.0-or-later
// The progress file: what is saved comes back whole, and every kind of damage is refused with
// a message, before anything of the program's is touched.

#include "app/progress_transfer.h"
#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/themes.h"
#include "scripted_prompter.h"
#include "stats/progress_file.h"
#include "stats/stat_file.h"
#include "test_db.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bil {
namespace {

using test::ScriptedPrompter;
using test::TempDir;

using test::ReadAll;

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A record in which every field depends on g, so records of two generations never match.
QByteArray StatBytes(int g, const QByteArray& tail = {}) {
    TStatRecord r{};
    r.Reserved168 = 100 + g;
    r.PrepPositions = 5 + g;
    for (int t = 0; t < TicketCount; ++t)
        r.TicketStatus[size_t(t)] = (g + t) % 3;
    for (int n = 1; n <= QuestionCount; ++n)
        for (int c = 0; c < ChannelCount; ++c) {
            r.question(n).Right[size_t(c)] = uint8_t(g + n + c);
            r.question(n).Seconds[size_t(c)] = g * 1000 + n;
        }
    return SerializeStats(r) + tail;
}

QByteArray ThemeBytes(int g) {
    QByteArray b(2 * QuestionCount, '\0');
    for (int n = 1; n <= QuestionCount; ++n) {
        b[n - 1] = char(1 + (n + g) % ThemeCount);
        b[QuestionCount + n - 1] = char((n + g) % 3);
    }
    return b;
}

ProgressFile Progress(int g, const QByteArray& tail = {}) {
    ProgressFile p;
    p.StatBytes = StatBytes(g, tail);
    p.ThemeBytes = ThemeBytes(g);
    p.Settings = {{"Rnd", g % 2}, {"Sta", 1}, {"Err", 0}, {"Kom", 1},        {"Tre", (g + 1) % 2},
                  {"Otv", 1},     {"Pov", 0}, {"Mas", 0}, {"Tim", 1 + g % 6}};
    p.ProgramVersion = QStringLiteral("1.0.0");
    p.DatabaseTitle = QStringLiteral("Билеты категорий «A» и «B»");
    p.Saved = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 0), Qt::UTC);
    return p;
}

QByteArray Archive(const ProgressFile& p) {
    Result<QByteArray> bytes = WriteProgressArchive(p);
    EXPECT_TRUE(bytes.ok()) << bytes.error().toStdString();
    return bytes.ok() ? *bytes : QByteArray();
}

// A zip of exactly these entries, for files the program would never write.
QByteArray Zip(const std::vector<std::pair<QByteArray, QByteArray>>& entries) {
    QByteArray out;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_set_bytes_in_last_block(a, 1);
    archive_write_open(
        a, &out, nullptr,
        [](archive*, void* data, const void* buf, size_t n) -> la_ssize_t {
            static_cast<QByteArray*>(data)->append(static_cast<const char*>(buf), qsizetype(n));
            return la_ssize_t(n);
        },
        nullptr);
    for (const auto& [name, bytes] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.constData());
        archive_entry_set_size(e, bytes.size());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_write_header(a, e);
        archive_write_data(a, bytes.constData(), size_t(bytes.size()));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

const QByteArray Manifest = QByteArrayLiteral("format=biletoria-progress 1\nversion=1.0.0\n");
const QByteArray Settings =
    QByteArrayLiteral("Rnd=1\nSta=1\nErr=0\nKom=0\nTre=0\nOtv=0\nPov=0\nMas=1\nTim=4\n");

// The four entries of a good file, one of them replaced (or dropped with an empty name).
QByteArray ZipWith(const QByteArray& name, const QByteArray& bytes, bool drop = false) {
    std::vector<std::pair<QByteArray, QByteArray>> e = {{"manifest.txt", Manifest},
                                                        {"stat.dat", StatBytes(1)},
                                                        {"tema4.dat", ThemeBytes(1)},
                                                        {"settings.txt", Settings}};
    for (auto it = e.begin(); it != e.end(); ++it)
        if (it->first == name) {
            if (drop)
                e.erase(it);
            else
                it->second = bytes;
            return Zip(e);
        }
    e.emplace_back(name, bytes);
    return Zip(e);
}

QString ErrorOf(const QByteArray& bytes) {
    const Result<ProgressFile> r = ReadProgressArchive(bytes);
    return r.ok() ? QStringLiteral("(accepted)") : r.error();
}

TEST(ProgressFile, RoundTripKeepsEveryByteIncludingTheStatTail) {
    const ProgressFile saved = Progress(3, QByteArrayLiteral("\x01\x02tail"));
    const Result<ProgressFile> read = ReadProgressArchive(Archive(saved));
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read->StatBytes, saved.StatBytes);
    EXPECT_EQ(read->ThemeBytes, saved.ThemeBytes);
    EXPECT_EQ(read->Settings, saved.Settings);
    EXPECT_EQ(read->DatabaseTitle, saved.DatabaseTitle);
    EXPECT_EQ(read->ProgramVersion, saved.ProgramVersion);
    EXPECT_EQ(read->Saved, saved.Saved);
    // A file written by hand with the entries in another order reads the same.
    EXPECT_TRUE(ReadProgressArchive(Zip({{"settings.txt", Settings},
                                         {"tema4.dat", ThemeBytes(1)},
                                         {"stat.dat", StatBytes(1)},
                                         {"manifest.txt", Manifest}}))
                    .ok());
}

TEST(ProgressFile, TruncatedOrForeignFilesAreRefused) {
    const QByteArray good = Archive(Progress(1));
    for (const qsizetype keep :
         {qsizetype(0), qsizetype(10), good.size() / 2, good.size() - 30, good.size() - 1})
        EXPECT_NE(ErrorOf(good.left(keep)), QStringLiteral("(accepted)")) << keep;
    EXPECT_TRUE(ErrorOf(QByteArray(5000, 'x')).startsWith(QStringLiteral("Это не файл")));
    EXPECT_TRUE(ErrorOf(Zip({{"notes.txt", "hello"}})).contains(QStringLiteral("лишняя часть")));
    EXPECT_TRUE(
        ErrorOf(ZipWith("manifest.txt", {}, true)).contains(QStringLiteral("нет manifest")));
    EXPECT_TRUE(ErrorOf(ZipWith("manifest.txt", "format=other 2\n"))
                    .contains(QStringLiteral("другой версией")));
    // A damaged byte inside the packed data fails its check sum.
    QByteArray flipped = good;
    flipped[good.size() / 3] = char(flipped[good.size() / 3] ^ 0x55);
    EXPECT_NE(ErrorOf(flipped), QStringLiteral("(accepted)"));
}

TEST(ProgressFile, WrongSizesAndMissingPartsAreRefused) {
    EXPECT_EQ(ErrorOf(ZipWith("stat.dat", StatBytes(1).left(StatRecordSize - 1))),
              QStringLiteral("Файл прогресса повреждён: stat.dat занимает 16175 байт, меньше "
                             "записи статистики (16176)."));
    EXPECT_EQ(
        ErrorOf(ZipWith("tema4.dat", ThemeBytes(1).left(1599))),
        QStringLiteral("Файл прогресса повреждён: tema4.dat занимает 1599 байт вместо 1600."));
    EXPECT_TRUE(ErrorOf(ZipWith("tema4.dat", ThemeBytes(1) + "x"))
                    .contains(QStringLiteral("больше допустимых 1600")));
    EXPECT_TRUE(ErrorOf(ZipWith("stat.dat", StatBytes(1, QByteArray(ProgressMaxStatTail + 1, 'x'))))
                    .contains(QStringLiteral("больше допустимых")));
    EXPECT_TRUE(ErrorOf(ZipWith("stat.dat", StatBytes(1, QByteArray(ProgressMaxStatTail, 'x'))))
                    .contains(QStringLiteral("accepted")));
    for (const char* part : {"stat.dat", "tema4.dat", "settings.txt"})
        EXPECT_EQ(ErrorOf(ZipWith(part, {}, true)),
                  QStringLiteral("Файл прогресса повреждён: нет части «%1».").arg(part));
    EXPECT_TRUE(ErrorOf(Zip({{"manifest.txt", Manifest},
                             {"stat.dat", StatBytes(1)},
                             {"stat.dat", StatBytes(2)},
                             {"tema4.dat", ThemeBytes(1)},
                             {"settings.txt", Settings}}))
                    .contains(QStringLiteral("встречается дважды")));
}

TEST(ProgressFile, AZipBombStopsAtTheLimit) {
    // 64 MiB of zeros pack into a few dozen kilobytes.
    const QByteArray bomb = ZipWith("stat.dat", QByteArray(64 << 20, '\0'));
    ASSERT_LT(bomb.size(), 1 << 20);
    EXPECT_TRUE(ErrorOf(bomb).contains(QStringLiteral("больше допустимых")))
        << ErrorOf(bomb).toStdString();
    EXPECT_TRUE(ErrorOf(ZipWith("settings.txt", QByteArray(1 << 20, ' ')))
                    .contains(QStringLiteral("больше допустимых")));
}

TEST(ProgressFile, EntryPathsThatLeaveTheArchiveAreRefused) {
    for (const char* name :
         {"../stat.dat", "/stat.dat", "sub/stat.dat", "..\\stat.dat", "C:stat.dat"}) {
        const QString error = ErrorOf(ZipWith(name, StatBytes(1)));
        EXPECT_TRUE(error.contains(QStringLiteral("выходит за пределы архива")))
            << name << ": " << error.toStdString();
    }
}

TEST(ProgressFile, ThemeMarkAndSettingValuesOutsideTheirRangesAreRefused) {
    QByteArray themes = ThemeBytes(1);
    themes[41] = char(27);
    EXPECT_EQ(ErrorOf(ZipWith("tema4.dat", themes)),
              QStringLiteral("Файл прогресса повреждён: вопрос 42 отнесён к теме 27, а тем всего "
                             "26."));
    themes = ThemeBytes(1);
    themes[QuestionCount + 799] = char(3);
    EXPECT_TRUE(ErrorOf(ZipWith("tema4.dat", themes))
                    .contains(QStringLiteral("у вопроса 800 отметка сложности 3")));
    themes[QuestionCount + 799] = char(0);
    themes[0] = char(0); // no theme: a short tema4.dat gives that too
    EXPECT_TRUE(ReadProgressArchive(ZipWith("tema4.dat", themes)).ok());

    auto withSetting = [](const QByteArray& from, const QByteArray& to) {
        QByteArray s = Settings;
        s.replace(from, to);
        return ErrorOf(ZipWith("settings.txt", s));
    };
    EXPECT_EQ(withSetting("Rnd=1", "Rnd=2"),
              QStringLiteral("Файл прогресса повреждён: у настройки Rnd недопустимое значение "
                             "«2»."));
    EXPECT_TRUE(withSetting("Tim=4", "Tim=7").contains(QStringLiteral("Tim недопустимое")));
    EXPECT_TRUE(withSetting("Tim=4", "Tim=0").contains(QStringLiteral("Tim недопустимое")));
    EXPECT_TRUE(withSetting("Pov=0", "Pov=нет").contains(QStringLiteral("Pov недопустимое")));
    EXPECT_TRUE(withSetting("Kom=0\n", "").contains(QStringLiteral("нет настройки Kom")));
    EXPECT_TRUE(withSetting("Mas=1", "Mas=1\nBas=/home/x").contains(QStringLiteral("неизвестная")));
    EXPECT_TRUE(withSetting("Err=0", "Err").contains(QStringLiteral("строка без «=»")));
    EXPECT_TRUE(withSetting("Err=0", "Err=0\nErr=1").contains(QStringLiteral("дважды")));
}

TEST(ProgressFile, SavingIsAtomicAndLoadingNamesTheFile) {
    TempDir dir;
    const QString path = dir.file(QStringLiteral("мой.biletoria"));
    ASSERT_TRUE(SaveProgressFile(path, Progress(1)));
    ASSERT_TRUE(SaveProgressFile(path, Progress(2)));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("мой.biletoria")});
    const Result<ProgressFile> read = LoadProgressFile(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->StatBytes, StatBytes(2));
    // Into a folder that is not there: an error, and nothing is created.
    EXPECT_FALSE(SaveProgressFile(dir.file(QStringLiteral("нет/такой.biletoria")), Progress(1)));
    ASSERT_TRUE(WriteAll(dir.file(QStringLiteral("bad.biletoria")), "PK\x03\x04junk"));
    const Result<ProgressFile> bad = LoadProgressFile(dir.file(QStringLiteral("bad.biletoria")));
    ASSERT_FALSE(bad.ok());
    EXPECT_TRUE(bad.error().endsWith(QDir::toNativeSeparators(dir.file("bad.biletoria"))));
    EXPECT_FALSE(LoadProgressFile(dir.file(QStringLiteral("нет.biletoria"))).ok());
}

// --- Collecting and restoring the running program's stores -----------------------------------

class ProgressTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.AppDataDir = dir.path();
        app.services.prompter = &prompter;
        app.services.store = &store;
        ASSERT_TRUE(store.createKey());
        // The program's files now: generation 1, stat.dat with a tail of its own.
        ASSERT_TRUE(WriteAll(statPath(), StatBytes(1, "old-tail")));
        ASSERT_TRUE(WriteAll(themePath(), ThemeBytes(1)));
        app.Stats = ParseStats(StatBytes(1));
        RestoreSettingValues(store, app.Config, Progress(1).Settings);
    }
    QString statPath() const { return StatFilePath(dir.path()); }
    QString themePath() const { return ThemeFilePath(dir.path()); }

    TempDir dir;
    ScriptedPrompter prompter;
    MemorySettingsStore store;
    AppState app;
};

TEST_F(ProgressTransferTest, CollectTakesTheRecordInMemoryWithTheTailOnDisk) {
    app.Stats.question(5).Right[0] = 77; // counted since the last save point
    std::copy_n(ThemeBytes(4).constData(), QuestionCount, app.Themes.QuestionTheme.begin());
    const ProgressFile p = CollectProgress(app, QDateTime::currentDateTimeUtc());
    EXPECT_EQ(p.StatBytes, SerializeStats(app.Stats) + "old-tail");
    EXPECT_EQ(p.ThemeBytes.left(QuestionCount), ThemeBytes(4).left(QuestionCount));
    EXPECT_EQ(p.Settings, Progress(1).Settings);
    EXPECT_FALSE(p.ProgramVersion.isEmpty());
    EXPECT_TRUE(ReadProgressArchive(Archive(p)).ok());
}

TEST_F(ProgressTransferTest, RestoreReplacesAllThreeStoresAndTheLiveSettings) {
    const ProgressFile p = Progress(2, "new-tail");
    EXPECT_TRUE(RestoreProgress(app, p));
    EXPECT_EQ(ReadAll(statPath()), StatBytes(2, "new-tail"));
    EXPECT_EQ(ReadAll(themePath()), ThemeBytes(2));
    EXPECT_EQ(SerializeStats(app.Stats), StatBytes(2));
    EXPECT_EQ(app.Themes.mark(1), uint8_t(ThemeBytes(2)[QuestionCount]));
    for (const auto& [name, value] : p.Settings)
        EXPECT_EQ(store.readInt(name), value) << name.toStdString();
    EXPECT_FALSE(app.Config.ShuffleAnswers);         // Rnd 0
    EXPECT_FALSE(app.Config.TrainingCommentOnError); // Tre 1 is unchecked
    EXPECT_FALSE(app.Config.HideOnFocusLoss);
    EXPECT_EQ(app.Config.ExamTimeItem, 3);
    EXPECT_EQ(app.Config.ExamTime, 300);
    EXPECT_TRUE(prompter.shown().empty());
    // The next save point keeps the restored tail, as it keeps any tail.
    ASSERT_TRUE(SaveStatsGuarded(app));
    EXPECT_TRUE(ReadAll(statPath()).endsWith("new-tail"));
}

// A disk that fills up in the middle: the statistics (16 KB) no longer fit, the theme file
// (1.6 KB) still would. Nothing changes, neither file nor memory nor settings, and no temporary
// file is left; a settings store that refuses writes changes nothing either.
TEST_F(ProgressTransferTest, AFailureAnywhereChangesNothing) {
    const auto oldConfig = app.Config;
    const auto oldMarks = app.Themes.DifficultyMark;
    const auto unchanged = [&] {
        return ReadAll(statPath()) == StatBytes(1, "old-tail") &&
               ReadAll(themePath()) == ThemeBytes(1) &&
               QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() == 2 &&
               SerializeStats(app.Stats) == StatBytes(1) && app.Themes.DifficultyMark == oldMarks &&
               StoredSettingValues(app.Config) == StoredSettingValues(oldConfig) &&
               store.readInt(Progress(1).Settings.front().first) ==
                   Progress(1).Settings.front().second;
    };
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4000;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(2);
        const Status restored = RestoreProgress(app, Progress(2, "new-tail"));
        _exit(restored.ok()                              ? 3
              : !restored.message().contains("stat.dat") ? 4
              : unchanged()                              ? 0
                                                         : 5);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    store.setFailWrites(true);
    EXPECT_FALSE(RestoreProgress(app, Progress(3)));
    EXPECT_TRUE(unchanged());
    store.setFailWrites(false);

    // The second file cannot take its place (a folder now stands there): the first goes back.
    ASSERT_TRUE(QFile::remove(themePath()));
    ASSERT_TRUE(QDir().mkpath(themePath() + "/x"));
    EXPECT_FALSE(RestoreProgress(app, Progress(2)));
    EXPECT_EQ(ReadAll(statPath()), StatBytes(1, "old-tail"));
    EXPECT_EQ(SerializeStats(app.Stats), StatBytes(1));
    EXPECT_EQ(StoredSettingValues(app.Config), StoredSettingValues(oldConfig));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"stat.dat"});
}

} // namespace
} // namespace bil
