// SPDX-License-Identifier: GPL-3.0-or-later
// The progress file: what is saved comes back whole, and every kind of damage is refused with
// a message, before anything of the program's is touched.

#include "app/progress_commands.h"
#include "app/progress_transfer.h"
#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/dataset_import.h"
#include "data/themes.h"
#include "memory_settings_store.h"
#include "scripted_prompter.h"
#include "stats/answer_journal.h"
#include "stats/progress_file.h"
#include "stats/stat_file.h"
#include "test_dataset.h"
#include "test_db.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <tuple>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bil {
namespace {

using test::ScriptedPrompter;
using test::TempDir;

using test::ReadAll;
using test::WriteBytes;

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

using Entries = std::vector<std::pair<QByteArray, QByteArray>>;

// The four entries of a good file of the first format, one of them replaced (or dropped).
QByteArray ZipWith(const QByteArray& name, const QByteArray& bytes, bool drop = false,
                   Entries e = {{"manifest.txt", Manifest},
                                {"stat.dat", StatBytes(1)},
                                {"tema4.dat", ThemeBytes(1)},
                                {"settings.txt", Settings}}) {
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

QuestionPrints DistinctPrints(Fingerprint base) {
    QuestionPrints prints{};
    for (int i = 0; i < QuestionCount; ++i)
        prints[size_t(i)] = base * 1000 + Fingerprint(i);
    return prints;
}

QByteArray PrintsDat(const QuestionPrints& prints) {
    QByteArray bytes;
    for (const Fingerprint print : prints)
        for (int i = 7; i >= 0; --i)
            bytes.append(char(print >> (8 * i)));
    return bytes;
}

QByteArray Manifest2(Fingerprint set) {
    return "format=biletoria-progress 2\nversion=1.0.0\nset=" + FingerprintText(set).toUtf8() +
           '\n';
}

// The six entries of a good file of the current format, one of them replaced or dropped.
QByteArray Zip2With(const QByteArray& name, const QByteArray& bytes, bool drop = false) {
    const QuestionPrints prints = DistinctPrints(5);
    return ZipWith(name, bytes, drop,
                   {{"manifest.txt", Manifest2(SetFingerprint(prints))},
                    {"stat.dat", StatBytes(1)},
                    {"tema4.dat", ThemeBytes(1)},
                    {"settings.txt", Settings},
                    {"prints.dat", PrintsDat(prints)},
                    {"answers.log", JournalBytes({})}});
}

QString ErrorOf(const QByteArray& bytes) {
    const Result<ProgressFile> r = ReadProgressArchive(bytes);
    return r.ok() ? QStringLiteral("(accepted)") : r.error();
}

TEST(ProgressFile, RoundTripKeepsEveryByteIncludingTheStatTail) {
    ProgressFile saved = Progress(3, QByteArrayLiteral("\x01\x02tail"));
    saved.Prints = DistinctPrints(3);
    saved.SetPrint = SetFingerprint(*saved.Prints);
    JournalEntry answer;
    answer.Question = 17;
    answer.Set = 99;
    saved.Journal = JournalBytes({answer}) + "torn";
    const Result<ProgressFile> read = ReadProgressArchive(Archive(saved));
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read->Format, 2);
    EXPECT_EQ(read->Prints, saved.Prints);
    EXPECT_EQ(read->SetPrint, saved.SetPrint);
    EXPECT_EQ(read->Journal, saved.Journal); // as it was, a torn tail included
    // Saved while a question could not be read: no set named, restored by number.
    saved.Prints.reset();
    EXPECT_FALSE(ReadProgressArchive(Archive(saved))->Prints);
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

TEST(ProgressFile, TheNamedSetAndTheJournalAreCheckedExactly) {
    ASSERT_TRUE(ReadProgressArchive(Zip2With("stat.dat", StatBytes(1))).ok());
    const auto damaged = [](const QString& why) {
        return QStringLiteral("Файл прогресса повреждён: %1.").arg(why);
    };
    EXPECT_EQ(ErrorOf(Zip2With("prints.dat", PrintsDat(DistinctPrints(5)).chopped(1))),
              damaged("prints.dat занимает 6399 байт вместо 6400"));
    EXPECT_EQ(ErrorOf(Zip2With("prints.dat", PrintsDat(DistinctPrints(6)))),
              damaged("отпечатки вопросов в prints.dat не сходятся с отпечатком набора в "
                      "manifest.txt"));
    EXPECT_EQ(ErrorOf(Zip2With("prints.dat", {}, true)), damaged("нет части «prints.dat»"));
    const QByteArray noSet = "format=biletoria-progress 2\nversion=1.0.0\n";
    EXPECT_EQ(ErrorOf(Zip2With("manifest.txt", noSet)),
              damaged("в manifest.txt нет отпечатка набора вопросов"));
    EXPECT_EQ(ErrorOf(Zip2With("manifest.txt", noSet + "set=12345\n")),
              damaged("в manifest.txt недопустимый отпечаток набора вопросов «12345»"));
    EXPECT_EQ(ErrorOf(Zip2With("answers.log", {}, true)), damaged("нет части «answers.log»"));
    EXPECT_EQ(ErrorOf(Zip2With("answers.log", "not a journal")),
              damaged("answers.log не журнал ответов Билетории"));
    // A file of the first format has neither part.
    EXPECT_EQ(ErrorOf(ZipWith("answers.log", JournalBytes({}))),
              damaged("лишняя часть «answers.log»"));
    const Result<ProgressFile> old = ReadProgressArchive(ZipWith("stat.dat", StatBytes(1)));
    ASSERT_TRUE(old.ok());
    EXPECT_EQ(old->Format, 1);
    EXPECT_FALSE(old->Prints || old->Journal);
    // A journal the reader would refuse is not written at all.
    ProgressFile huge = Progress(1);
    huge.Journal = JournalBytes({}) + QByteArray(ProgressMaxJournal, 'x');
    EXPECT_TRUE(WriteProgressArchive(huge).error().startsWith(QStringLiteral("Журнал ответов")));
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

// --- Restoring onto the open question set: the same, another release, other categories -------

// Two releases of the data set imported through the program's import, once for all tests here.
class ProgressRestoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::DataSetShape shape;
        shape.BigJpeg = false;
        s_first = std::make_unique<TempDir>();
        s_second = std::make_unique<TempDir>();
        for (const auto& [folder, files] :
             {std::pair{s_first.get(), test::MakePublishedDataSet(shape)},
              std::pair{s_second.get(), test::MakeNextRelease(shape)}}) {
            TempDir source;
            ASSERT_TRUE(test::WriteDataSetFolder(source.path(), files));
            ASSERT_TRUE(RunDataSetImport(source.path(), {DatabasesStep(folder->path())}, {}).ok());
        }
    }
    static void TearDownTestSuite() {
        s_first.reset();
        s_second.reset();
    }
    void SetUp() override {
        app.AppDataDir = data.path();
        app.services.prompter = &prompter;
        app.services.store = &store;
        app.services.answers = &journal;
        ASSERT_TRUE(store.createKey());
        RestoreSettingValues(store, app.Config, Progress(1).Settings);
        open(*s_first, DatabaseFileAB);
        ASSERT_TRUE(journal.open(JournalFilePath(data.path())).ok());
    }
    void open(const TempDir& release, const QString& name) {
        ASSERT_TRUE(app.Db.OpenDatabase(release.file(name)).ok());
    }
    // Saves through the menu command; the file's path.
    QString save() {
        const QString path = files.file(QStringLiteral("p.biletoria"));
        prompter.queueFile(path);
        SaveProgressCommand(app);
        EXPECT_TRUE(QFile::exists(path)) << prompter.texts().join('|').toStdString();
        prompter.clear();
        return path;
    }
    bool restore(const QString& path, std::optional<bool> answer) {
        prompter.queueFile(path);
        if (answer)
            prompter.queueYesNo(*answer);
        return RestoreProgressCommand(app);
    }
    // The question the restore asked.
    const ScriptedPrompter::Shown& question() const {
        for (const auto& shown : prompter.shown())
            if (shown.kind == ScriptedPrompter::Kind::YesNo)
                return shown;
        static const ScriptedPrompter::Shown none{};
        ADD_FAILURE() << "no question";
        return none;
    }

    static std::unique_ptr<TempDir> s_first, s_second;
    TempDir data, files;
    ScriptedPrompter prompter;
    MemorySettingsStore store;
    AnswerJournal journal;
    AppState app;
};

std::unique_ptr<TempDir> ProgressRestoreTest::s_first;
std::unique_ptr<TempDir> ProgressRestoreTest::s_second;

// A question's counts and seconds of all three channels, for comparing two of them.
auto Counts(const TQuestionStat& q) {
    return std::tuple(q.Right, q.Wrong, q.Seconds);
}

TEST_F(ProgressRestoreTest, TheSameSetComesBackByNumberWithItsJournal) {
    app.Stats = ParseStats(StatBytes(2));
    JournalAnswer(app, 7, ChannelExam, 0, 2, true, 12, FirstInRun);
    JournalCharge(app, 8, ChargeReason::TimeOut);
    const std::vector<JournalEntry> saved = journal.entries();
    const QByteArray savedLog = ReadAll(JournalFilePath(data.path()));
    const QString path = save();

    app.Stats = ParseStats(StatBytes(3));
    JournalAnswer(app, 9, ChannelLearning, 0, 1, false, 3, FirstInRun);
    ASSERT_TRUE(restore(path, true));
    EXPECT_TRUE(question().defaultYes);
    EXPECT_TRUE(question().text.startsWith(QStringLiteral("Заменить результаты")));
    EXPECT_EQ(SerializeStats(app.Stats), StatBytes(2));
    EXPECT_EQ(ReadAll(JournalFilePath(data.path())), savedLog);
    EXPECT_EQ(journal.entries(), saved);
    // The journal goes on in the restored file.
    JournalAnswer(app, 10, ChannelLearning, 0, 1, true, 3, FirstInRun);
    AnswerJournal reread;
    ASSERT_TRUE(reread.open(JournalFilePath(data.path())).ok());
    EXPECT_EQ(reread.entries().size(), saved.size() + 1);
}

// The next release: 1, 3, 4 and 67 changed, 21 moved to 45 (the old 45 gone), a new 21, 5 with
// only its comment corrected.
TEST_F(ProgressRestoreTest, AnotherReleaseRestoresEachQuestionByItsFingerprint) {
    const Fingerprint oldSet = app.Prints.setPrint(app.Db);
    app.Stats = ParseStats(StatBytes(4));
    app.Stats.TicketStatus.fill(2);
    app.Themes.theme(21) = 9;
    app.Themes.mark(21) = 2;
    app.Themes.mark(1) = 1;
    JournalAnswer(app, 21, ChannelLearning, 0, 1, true, 5, FirstInRun);
    const TStatRecord before = app.Stats;
    const QString path = save();

    open(*s_second, DatabaseFileAB);
    app.Stats = TStatRecord{};
    ASSERT_TRUE(restore(path, true));
    EXPECT_TRUE(question().text.contains(
        QStringLiteral("Вопросов, найденных в файле: 795, без совпадения (начнутся с нуля): 5.")))
        << question().text.toStdString();
    EXPECT_TRUE(prompter.texts().last().endsWith(
        QStringLiteral("Восстановлены результаты вопросов: 795. Без совпадения в файле: 5.")));
    for (const int n : {2, 5, 46, 800})
        EXPECT_EQ(Counts(app.Stats.question(n)), Counts(before.question(n))) << n;
    EXPECT_EQ(Counts(app.Stats.question(45)), Counts(before.question(21)));
    for (const int n : {1, 3, 4, 21, 67})
        EXPECT_EQ(Counts(app.Stats.question(n)), Counts(TQuestionStat{})) << n;
    EXPECT_EQ(app.Themes.theme(45), 9);
    EXPECT_EQ(app.Themes.mark(45), 2);
    EXPECT_EQ(app.Themes.theme(21), DefaultThemeOf(21));
    EXPECT_EQ(app.Themes.mark(1), 0);
    // Tickets 1 to 4 hold a question that changed or moved; the others matched in place.
    for (int t = 1; t <= TicketCount; ++t)
        EXPECT_EQ(app.Stats.TicketStatus[size_t(t - 1)], t <= 4 ? 0 : 2) << t;
    EXPECT_EQ(app.Stats.PrepPositions, before.PrepPositions);
    EXPECT_EQ(Counts(LoadStats(StatFilePath(data.path()))->Record.question(45)),
              Counts(before.question(21)));
    // Journal records keep the set they were answered on.
    ASSERT_FALSE(journal.entries().empty());
    EXPECT_EQ(journal.entries().back().Set, oldSet);
    EXPECT_EQ(journal.entries().back().Question, 21);
}

TEST_F(ProgressRestoreTest, OtherCategoriesAreRefusedUnlessTheLearnerInsists) {
    app.Stats = ParseStats(StatBytes(5));
    const QString abTitle = app.Db.DbTitle();
    const QString path = save();
    open(*s_first, DatabaseFileCD);
    app.Stats = ParseStats(StatBytes(6));
    ASSERT_TRUE(SaveStatsGuarded(app));
    const QByteArray statBefore = ReadAll(StatFilePath(data.path()));
    const QByteArray logBefore = ReadAll(JournalFilePath(data.path()));

    EXPECT_FALSE(restore(path, std::nullopt)); // Enter: the default
    EXPECT_FALSE(question().defaultYes);
    EXPECT_TRUE(question().text.startsWith(
        QStringLiteral("Файл сохранён для другой базы вопросов: «%1».").arg(abTitle)));
    EXPECT_EQ(SerializeStats(app.Stats), StatBytes(6));
    EXPECT_EQ(ReadAll(StatFilePath(data.path())), statBefore);
    EXPECT_EQ(ReadAll(JournalFilePath(data.path())), logBefore);

    prompter.clear();
    ASSERT_TRUE(restore(path, true));
    EXPECT_EQ(SerializeStats(app.Stats), StatBytes(5)); // by number, as asked
}

TEST_F(ProgressRestoreTest, AFileOfTheFirstFormatRestoresByNumberAndKeepsTheJournal) {
    JournalAnswer(app, 3, ChannelLearning, 0, 1, true, 5, FirstInRun);
    const QByteArray logBefore = ReadAll(JournalFilePath(data.path()));
    const QString path =
        WriteBytes(files.file(QStringLiteral("old.biletoria")), ZipWith("stat.dat", StatBytes(7)));
    open(*s_second, DatabaseFileAB);
    ASSERT_TRUE(restore(path, true));
    EXPECT_TRUE(question().defaultYes);
    EXPECT_TRUE(question().text.startsWith(QStringLiteral("Заменить результаты")));
    EXPECT_EQ(SerializeStats(app.Stats), StatBytes(7));
    EXPECT_EQ(ReadAll(ThemeFilePath(data.path())), ThemeBytes(1));
    EXPECT_EQ(ReadAll(JournalFilePath(data.path())), logBefore);
}

} // namespace
} // namespace bil
