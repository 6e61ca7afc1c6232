// SPDX-License-Identifier: GPL-3.0-or-later
// The two files the program writes under faults: a process killed in the middle of saving, a
// full disk, a folder that refuses writes, files and folders removed while the program runs.
// The rule in every case: the file on disk is a complete record, old or new; the learner is told
// once; the record in memory is untouched and reaches the disk at the next save that works.

#include "app/app_state.h"
#include "app/progress_transfer.h"
#include "app/release_update.h"
#include "app/settings_store.h"
#include "data/dataset_import.h"
#include "data/file_commit.h"
#include "data/themes.h"
#include "in_child.h"
#include "memory_settings_store.h"
#include "scripted_prompter.h"
#include "stats/answer_journal.h"
#include "stats/save_guard.h"
#include "stats/stat_file.h"
#include "test_dataset.h"
#include "test_db.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <tuple>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bil {
namespace {

using test::ScriptedPrompter;
using test::TempDir;
using test::WriteBytes;

using test::ReadAll;

// Rounds of the kill test: short in CI, BILETORIA_KILL_ROUNDS=1000 (or more) for a long run.
int killRounds() {
    const char* value = std::getenv("BILETORIA_KILL_ROUNDS");
    const int rounds = value ? std::atoi(value) : 0;
    return rounds > 0 ? rounds : 200;
}

// A failed check inside a child: its line number becomes the exit code.
#define CHILD_CHECK(cond)                                                                          \
    do {                                                                                           \
        if (!(cond))                                                                               \
            return __LINE__ % 250 + 1;                                                             \
    } while (0)

// Statistics of save number g: every field depends on g, so a mix of two saves never matches.
TStatRecord statsOfGeneration(int g) {
    TStatRecord r{};
    r.Reserved168 = 7;
    r.PrepPositions = g;
    for (int t = 0; t < TicketCount; ++t)
        r.TicketStatus[size_t(t)] = (g + t) % 5;
    for (int n = 1; n <= QuestionCount; ++n)
        for (int c = 0; c < ChannelCount; ++c) {
            r.question(n).Right[size_t(c)] = uint8_t(g + n + c);
            r.question(n).Wrong[size_t(c)] = uint8_t(g * 3 + n);
            r.question(n).Seconds[size_t(c)] = g * 100000 + n * 3 + c;
        }
    return r;
}

// Theme file of save number g (pattern repeats every 78 saves; neighbours differ in every byte).
QByteArray themesOfGeneration(int g, ThemeTable* table = nullptr) {
    QByteArray bytes(2 * QuestionCount, '\0');
    const int k = g % 78;
    for (int i = 0; i < QuestionCount; ++i) {
        bytes[i] = char((k + i) % ThemeCount + 1);
        bytes[QuestionCount + i] = char((k / ThemeCount + i) % 3);
        if (table) {
            table->QuestionTheme[size_t(i)] = uint8_t(bytes[i]);
            table->DifficultyMark[size_t(i)] = uint8_t(bytes[QuestionCount + i]);
        }
    }
    return bytes;
}

// Starts a child that saves generation after generation, kills it at a random moment, and hands
// the file on disk to check(). Returns the number of rounds in which the file had changed.
template <class Save, class Check> int killDuringSaves(int rounds, Save save, Check check) {
    // Kills land anywhere from before the first write to several saves in: the
    // window follows how long a save takes on this disk (a flush to disk dominates).
    const auto start = std::chrono::steady_clock::now();
    for (int g = 1; g <= 5; ++g)
        save(g);
    const auto perSave = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - start) /
                         5;
    std::mt19937 random(20261209);
    std::uniform_int_distribution<long> delayUs(0, std::max(300L, long(8 * perSave.count())));
    int changed = 0;
    for (int round = 0; round < rounds; ++round) {
        // The delay counts from the moment the child starts saving, not from the fork: a busy
        // machine may take longer to start the child than to save.
        int ready[2];
        if (pipe(ready) != 0)
            return -1 - round;
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            const char byte = 1;
            if (write(ready[1], &byte, 1) != 1)
                _exit(1);
            for (int g = round * 1000 + 10;; ++g)
                save(g);
        }
        close(ready[1]);
        char byte = 0;
        if (read(ready[0], &byte, 1) != 1) {
            close(ready[0]);
            return -1 - round;
        }
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!check(round))
            return -1 - round;
        ++changed;
    }
    return changed;
}

// The check after each kill among saves of two alternating contents: the next start's
// recovery, then the folder holds exactly `names`, as one of the two saves left them. Counts how
// often the save seen changes, so that a test can insist both were seen.
template <class Contents> class OneOfTwoSaves {
public:
    OneOfTwoSaves(QString folder, QStringList names, std::array<Contents, 2> expected,
                  std::function<Contents()> read)
        : m_folder(std::move(folder)), m_names(std::move(names)), m_expected(std::move(expected)),
          m_read(std::move(read)) {}

    bool operator()(int round) {
        if (!RecoverFileSets(m_folder))
            return false;
        RemoveStaleLeftovers(m_folder, m_names, QDateTime::currentDateTimeUtc().addSecs(120));
        const Contents now = m_read();
        const int which = now == m_expected[0] ? 0 : now == m_expected[1] ? 1 : -1;
        QStringList left =
            QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QStringList names = m_names;
        left.sort();
        names.sort();
        if (which < 0 || left != names) {
            ADD_FAILURE() << "round " << round
                          << ": files of two saves or leftovers: " << left.join(' ').toStdString();
            return false;
        }
        m_changes += which != m_last;
        m_last = which;
        return true;
    }
    int changes() const { return m_changes; }

private:
    QString m_folder;
    QStringList m_names;
    std::array<Contents, 2> m_expected;
    std::function<Contents()> m_read;
    int m_changes = 0, m_last = -1;
};

TEST(KillDuringSave, StatFileIsAlwaysTheWholeOldOrTheWholeNewRecord) {
    TempDir dir;
    const QString path = StatFilePath(dir.path());
    const QByteArray tail("bytes after the record belong to someone else");
    ASSERT_TRUE(WriteBytes(path, SerializeStats(statsOfGeneration(0)) + tail).size() > 0);

    int lastGeneration = 0, generationsSeen = 0;
    const int rounds = killRounds();
    const int result = killDuringSaves(
        rounds, [&](int g) { SaveStats(path, statsOfGeneration(g)); },
        [&](int round) {
            const QByteArray bytes = ReadAll(path);
            if (bytes.size() != StatRecordSize + tail.size() || !bytes.endsWith(tail)) {
                ADD_FAILURE() << "round " << round << ": file of " << bytes.size() << " bytes";
                return false;
            }
            const TStatRecord r = ParseStats(bytes);
            const int g = r.PrepPositions;
            if (SerializeStats(r) != SerializeStats(statsOfGeneration(g)) || g < lastGeneration) {
                ADD_FAILURE() << "round " << round << ": torn or older record, generation " << g;
                return false;
            }
            generationsSeen += g != lastGeneration;
            lastGeneration = g;
            return true;
        });
    EXPECT_EQ(result, rounds);
    // Some kills must have come after a completed save, or the test proved nothing; how many
    // depends on the load of the machine, so only their presence is required.
    EXPECT_GT(generationsSeen, 0);
    std::printf("[ kills    ] stat.dat: %d kills, %d of them after a completed save\n", rounds,
                generationsSeen);
}

TEST(KillDuringSave, ThemeFileIsAlwaysTheWholeOldOrTheWholeNewTable) {
    TempDir dir;
    auto table = std::make_unique<ThemeTable>();
    themesOfGeneration(0, table.get());
    ASSERT_TRUE(SaveThemeFile(*table, dir.path()));
    const QString path = ThemeFilePath(dir.path());

    int lastK = 0, changes = 0;
    const int rounds = killRounds();
    const int result = killDuringSaves(
        rounds,
        [&](int g) {
            themesOfGeneration(g, table.get());
            SaveThemeFile(*table, dir.path());
        },
        [&](int round) {
            const QByteArray bytes = ReadAll(path);
            if (bytes.size() != 2 * QuestionCount) {
                ADD_FAILURE() << "round " << round << ": file of " << bytes.size() << " bytes";
                return false;
            }
            const int k = (uint8_t(bytes[0]) - 1) + ThemeCount * uint8_t(bytes[QuestionCount]);
            if (bytes != themesOfGeneration(k)) {
                ADD_FAILURE() << "round " << round << ": torn theme file";
                return false;
            }
            changes += k != lastK;
            lastK = k;
            return true;
        });
    EXPECT_EQ(result, rounds);
    EXPECT_GT(changes, 0);
}

// Answer record i of the journal kill test: every field depends on i.
JournalEntry journalRecordNo(std::size_t i) {
    JournalEntry e;
    e.Time = int64_t(i) * 7;
    e.Set = 0xFEEDull * (i + 1);
    e.Question = 1 + int(i % QuestionCount);
    e.Channel = int(i % ChannelCount);
    e.Chosen = 1 + int(i % 5);
    e.Right = i % 3 != 0;
    e.Seconds = int(i);
    e.Flags = FirstInRun;
    return e;
}

// Children append answer after answer, flushing now and then, and are killed anywhere: every
// record written before stays whole, a torn last one is cut off, and the next child goes on.
TEST(KillDuringSave, AnswerJournalKeepsEveryRecordBeforeTheLastWrite) {
    TempDir dir;
    const QString path = JournalFilePath(dir.path());
    AnswerJournal journal;
    pid_t openedBy = 0;
    std::size_t lastCount = 0;
    int grown = 0;
    const int rounds = killRounds();
    const int result = killDuringSaves(
        rounds,
        [&](int g) {
            if (openedBy != getpid()) {
                if (!journal.open(path))
                    _exit(3);
                openedBy = getpid();
            }
            journal.record(journalRecordNo(journal.entries().size()));
            if (g % 16 == 0)
                journal.flush();
        },
        [&](int round) {
            Result<JournalContents> read = ReadJournalFile(path);
            if (!read || read->Entries.size() < lastCount) {
                ADD_FAILURE() << "round " << round << ": unreadable or records lost";
                return false;
            }
            for (std::size_t i = 0; i < read->Entries.size(); ++i)
                if (!(read->Entries[i] == journalRecordNo(i))) {
                    ADD_FAILURE() << "round " << round << ": record " << i << " damaged";
                    return false;
                }
            // Damage can only be the torn last record.
            if (read->SkippedBytes >= qint64(EncodeJournalEntry(journalRecordNo(0)).size())) {
                ADD_FAILURE() << "round " << round << ": " << read->SkippedBytes
                              << " bytes skipped";
                return false;
            }
            grown += read->Entries.size() > lastCount;
            lastCount = read->Entries.size();
            return true;
        });
    EXPECT_EQ(result, rounds);
    EXPECT_GT(grown, 0);
}

// Creates `name` in `dir` with a modification time `age` seconds in the past.
void leaveFile(const QString& dir, const QString& name, qint64 age) {
    QFile file(dir + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("half a record");
    ASSERT_TRUE(file.flush()); // a later flush would stamp the time anew
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-age),
                                 QFileDevice::FileModificationTime));
}

// A save killed after its temporary file got a name leaves "stat.dat.Ab12Cd" behind; the next
// save clears such leftovers of its own file once they are old enough that no other copy of
// the program can still be writing them, and nothing else.
TEST(KillDuringSave, LeftoverTemporaryFilesAreRemovedByTheNextSave) {
    TempDir dir;
    const QStringList stale = {"stat.dat.Ab12Cd", "stat.dat.zzzzzz"};
    const QStringList kept = {"stat.dat.Fresh1", "stat.dat.bak",     "stat.dat.toolong",
                              "stat.dat.ab-cde", "tema4.dat.Ab12Cd", "stat.dat"};
    for (const QString& name : stale)
        leaveFile(dir.path(), name, 3600);
    for (const QString& name : kept)
        leaveFile(dir.path(), name, name == "stat.dat.Fresh1" ? 5 : 3600);

    ASSERT_TRUE(SaveStats(StatFilePath(dir.path()), statsOfGeneration(3)));
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    QStringList expected = kept;
    left.sort();
    expected.sort();
    EXPECT_EQ(left.join(' ').toStdString(), expected.join(' ').toStdString());
    EXPECT_EQ(ParseStats(ReadAll(StatFilePath(dir.path()))).PrepPositions, 3);
}

// The shared state of a program whose files live in a temporary folder.
struct Program {
    TempDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppState> app = std::make_unique<AppState>();

    Program() {
        app->AppDataDir = dir.path();
        app->services.prompter = &prompter;
        app->Stats = statsOfGeneration(1);
        themesOfGeneration(1, &app->Themes);
    }
    QString statPath() const { return StatFilePath(dir.path()); }
    QString themePath() const { return ThemeFilePath(dir.path()); }
    int warnings() const { return int(prompter.shown().size()); }
};

TEST(SaveGuard, WarnsOncePerRunOfFailuresAndCatchesUpAtTheNextSave) {
    SaveGuard guard(QStringLiteral("статистику"));
    ScriptedPrompter prompter;
    bool fails = true;
    int writes = 0;
    const auto write = [&] {
        ++writes;
        return fails ? Status::Error(QStringLiteral("Нет места на диске")) : Status::Ok();
    };
    EXPECT_FALSE(guard.save(write, &prompter));
    EXPECT_FALSE(guard.save(write, &prompter));
    EXPECT_FALSE(guard.save(write, nullptr));
    EXPECT_TRUE(guard.failing());
    ASSERT_EQ(prompter.shown().size(), 1u);
    const auto& shown = prompter.shown()[0];
    EXPECT_EQ(shown.caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(shown.icon, Prompter::Icon::Warning);
    EXPECT_TRUE(
        shown.text.startsWith(QStringLiteral("Не удалось сохранить статистику.\nНет места")));
    EXPECT_TRUE(shown.text.contains(QStringLiteral("при следующем сохранении")));

    fails = false;
    EXPECT_TRUE(guard.save(write, &prompter));
    EXPECT_FALSE(guard.failing());
    fails = true; // a new run of failures is news again
    EXPECT_FALSE(guard.save(write, &prompter));
    EXPECT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(writes, 5);
}

// A full disk: a file-size limit in a child (root is bound by it too) makes every write fail.
TEST(SaveFaults, FullDiskWarnsOnceKeepsTheRecordAndSavesWhenSpaceReturns) {
    Program p;
    ASSERT_TRUE(SaveStatsGuarded(*p.app));
    ASSERT_TRUE(SaveThemesGuarded(*p.app));
    const QByteArray oldStats = ReadAll(p.statPath());
    const QByteArray oldThemes = ReadAll(p.themePath());

    const int code = test::InChild([&]() -> int {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited{};
        CHILD_CHECK(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        rlimit full{1000, unlimited.rlim_max}; // smaller than either file
        CHILD_CHECK(setrlimit(RLIMIT_FSIZE, &full) == 0);
        AppState& app = *p.app;
        app.Stats = statsOfGeneration(2);
        themesOfGeneration(2, &app.Themes);
        const QByteArray inMemory = SerializeStats(app.Stats);
        CHILD_CHECK(!SaveThemesGuarded(app)); // a traffic light clicked: warned
        CHILD_CHECK(!SaveStatsGuarded(app));  // the study window closes: warned
        CHILD_CHECK(!SaveStatsGuarded(app));  // preparation dialog: already known
        CHILD_CHECK(!SaveThemesGuarded(app));
        CHILD_CHECK(p.warnings() == 2);
        CHILD_CHECK(p.prompter.texts()[0].startsWith(QStringLiteral("Не удалось сохранить темы")));
        CHILD_CHECK(
            p.prompter.texts()[1].startsWith(QStringLiteral("Не удалось сохранить статист")));
        CHILD_CHECK(ReadAll(p.statPath()) == oldStats);
        CHILD_CHECK(ReadAll(p.themePath()) == oldThemes);
        CHILD_CHECK(SerializeStats(app.Stats) == inMemory);
        // No temporary files are left behind by the failed saves.
        CHILD_CHECK(QDir(p.dir.path()).entryList(QDir::Files).size() == 2);

        // Space is back: the next statistics save point writes both files.
        CHILD_CHECK(setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        CHILD_CHECK(SaveStatsGuarded(app));
        CHILD_CHECK(ReadAll(p.statPath()) == inMemory);
        CHILD_CHECK(ReadAll(p.themePath()) == themesOfGeneration(2));
        CHILD_CHECK(!app.Saves.Stats.failing() && !app.Saves.Themes.failing());
        CHILD_CHECK(p.warnings() == 2);
        return 0;
    });
    EXPECT_EQ(code, 0) << "check at line ~" << code - 1 << " (mod 250) failed in the child";
}

// A folder that refuses writes. Root ignores permissions, so the child gives them up first.
TEST(SaveFaults, ReadOnlyFolderWarnsOnceAndTheProgramGoesOn) {
    Program p;
    ASSERT_TRUE(SaveStatsGuarded(*p.app));
    ASSERT_TRUE(SaveThemesGuarded(*p.app));
    const QByteArray oldStats = ReadAll(p.statPath());
    QFile::setPermissions(p.dir.path(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(p.statPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                            QFile::WriteOther);
    const int code = test::InChild([&]() -> int {
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            CHILD_CHECK(nobody && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0);
        }
        AppState& app = *p.app;
        app.Stats = statsOfGeneration(3);
        CHILD_CHECK(!SaveStatsGuarded(app));
        CHILD_CHECK(!SaveStatsGuarded(app));
        CHILD_CHECK(p.warnings() == 1);
        CHILD_CHECK(p.prompter.texts()[0].contains(QStringLiteral("stat.dat")));
        CHILD_CHECK(ReadAll(p.statPath()) == oldStats);
        CHILD_CHECK(SerializeStats(app.Stats) == SerializeStats(statsOfGeneration(3)));
        return 0;
    });
    QFile::setPermissions(p.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(code, 0) << "check at line ~" << code - 1 << " (mod 250) failed in the child";
    // Writable again: the next save point catches up.
    p.app->Stats = statsOfGeneration(3);
    EXPECT_TRUE(SaveStatsGuarded(*p.app));
    EXPECT_EQ(ReadAll(p.statPath()), SerializeStats(statsOfGeneration(3)));
}

TEST(SaveFaults, FilesRemovedWhileRunningAreWrittenAgainWithoutAWarning) {
    Program p;
    ASSERT_TRUE(SaveStatsGuarded(*p.app));
    ASSERT_TRUE(SaveThemesGuarded(*p.app));
    QFile::remove(p.statPath());
    QFile::remove(p.themePath());
    p.app->Stats = statsOfGeneration(4);
    EXPECT_TRUE(SaveStatsGuarded(*p.app));
    EXPECT_TRUE(SaveThemesGuarded(*p.app));
    EXPECT_EQ(ReadAll(p.statPath()), SerializeStats(statsOfGeneration(4)));
    EXPECT_EQ(ReadAll(p.themePath()), themesOfGeneration(1));
    EXPECT_EQ(p.warnings(), 0);
}

TEST(SaveFaults, FolderRemovedWhileRunningWarnsOnceUntilItIsBack) {
    Program p;
    ASSERT_TRUE(SaveStatsGuarded(*p.app));
    ASSERT_TRUE(QDir(p.dir.path()).removeRecursively());
    p.app->Stats = statsOfGeneration(5);
    EXPECT_FALSE(SaveStatsGuarded(*p.app));
    EXPECT_FALSE(SaveThemesGuarded(*p.app));
    EXPECT_FALSE(SaveStatsGuarded(*p.app));
    EXPECT_EQ(p.warnings(), 2); // one per file
    EXPECT_EQ(SerializeStats(p.app->Stats), SerializeStats(statsOfGeneration(5)));

    ASSERT_TRUE(QDir().mkpath(p.dir.path()));
    EXPECT_TRUE(SaveStatsGuarded(*p.app)); // retries the theme file too
    EXPECT_EQ(ReadAll(p.statPath()), SerializeStats(statsOfGeneration(5)));
    EXPECT_EQ(ReadAll(p.themePath()), themesOfGeneration(1));
    EXPECT_EQ(p.warnings(), 2);
}

// The run of failures was reported, but the save at close is the last chance: what still fails
// then is told again, for each file, and a close save that works says nothing.
TEST(SaveFaults, CloseSaveWarnsAgainWhenChangesAreStillOnlyInMemory) {
    Program p;
    ASSERT_TRUE(QDir(p.dir.path()).removeRecursively());
    p.app->Stats = statsOfGeneration(6);
    EXPECT_FALSE(SaveThemesGuarded(*p.app));
    EXPECT_FALSE(SaveStatsGuarded(*p.app));
    EXPECT_FALSE(SaveStatsGuarded(*p.app));
    ASSERT_EQ(p.warnings(), 2);
    EXPECT_FALSE(SaveAtClose(*p.app));
    ASSERT_EQ(p.warnings(), 4);
    EXPECT_TRUE(p.prompter.shown()[2].text.startsWith(
        QStringLiteral("Не удалось сохранить темы и отметки сложности вопросов при закрытии")));
    EXPECT_TRUE(p.prompter.shown()[3].text.startsWith(
        QStringLiteral("Не удалось сохранить статистику при закрытии программы.")));

    ASSERT_TRUE(QDir().mkpath(p.dir.path()));
    EXPECT_TRUE(SaveAtClose(*p.app));
    EXPECT_EQ(p.warnings(), 4);
    EXPECT_EQ(ReadAll(p.statPath()), SerializeStats(statsOfGeneration(6)));
    EXPECT_EQ(ReadAll(p.themePath()), themesOfGeneration(1));
}

// Loading new databases into the data folder while writes fail: a clear error naming the file,
// the databases already there untouched, no temporary file left.
class DatabaseInstallFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::WriteDataSetFolder(m_set.path(), test::MakePublishedDataSet()));
        m_oldAB =
            ReadAll(test::WriteTestDatabase(m_data.path(), test::MakeQuestions(), DatabaseFileAB));
        m_oldCD =
            ReadAll(test::WriteTestDatabase(m_data.path(), test::MakeQuestions(), DatabaseFileCD));
        ASSERT_FALSE(m_oldAB.isEmpty());
    }
    // Runs in the child: the import must fail and leave the folder as it was.
    int importFails() {
        const Status done = RunDataSetImport(m_set.path(), {DatabasesStep(m_data.path())}, {});
        CHILD_CHECK(!done);
        CHILD_CHECK(done.message().startsWith(QStringLiteral("Не удалось записать файл")));
        // Either set may be the first to fail; its file is named.
        CHILD_CHECK(done.message().contains(DatabaseFileAB) ||
                    done.message().contains(DatabaseFileCD));
        CHILD_CHECK(ReadAll(m_data.file(DatabaseFileAB)) == m_oldAB);
        CHILD_CHECK(ReadAll(m_data.file(DatabaseFileCD)) == m_oldCD);
        CHILD_CHECK(QDir(m_data.path()).entryList(QDir::Files | QDir::Hidden).size() == 2);
        return 0;
    }
    TempDir m_set, m_data;
    QByteArray m_oldAB, m_oldCD;
};

TEST_F(DatabaseInstallFaults, FullDisk) {
    const int code = test::InChild([&]() -> int {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limits{};
        CHILD_CHECK(getrlimit(RLIMIT_FSIZE, &limits) == 0);
        rlimit full{50000, limits.rlim_max}; // far less than one database
        CHILD_CHECK(setrlimit(RLIMIT_FSIZE, &full) == 0);
        return importFails();
    });
    EXPECT_EQ(code, 0) << "check at line ~" << code - 1 << " (mod 250) failed in the child";
}

TEST_F(DatabaseInstallFaults, ReadOnlyDataFolder) {
    // The child runs as nobody when we are root: it must still read the data set.
    const auto readable =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(m_set.path(), readable);
    QFile::setPermissions(m_data.path(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const int code = test::InChild([&]() -> int {
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            CHILD_CHECK(nobody && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0);
        }
        return importFails();
    });
    QFile::setPermissions(m_data.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(code, 0) << "check at line ~" << code - 1 << " (mod 250) failed in the child";
}

// The second database cannot take its place (a folder of that name appeared after the files
// were prepared): the first goes back to its old bytes, so the two never come from different
// imports. Over old files that can be replaced, both are replaced and nothing else is left.
TEST_F(DatabaseInstallFaults, SecondReplacementFailingPutsTheFirstBack) {
    ImportStep blockCD;
    blockCD.Prepare = [&](const DataSetRoot&, const ImportContext&) {
        QFile::remove(m_data.file(DatabaseFileCD));
        QDir().mkpath(m_data.file(DatabaseFileCD) + QStringLiteral("/inside"));
        return Status::Ok();
    };
    const Status done = RunDataSetImport(m_set.path(), {DatabasesStep(m_data.path()), blockCD}, {});
    ASSERT_FALSE(done);
    EXPECT_TRUE(done.message().startsWith(QStringLiteral("Не удалось заменить файл")));
    EXPECT_TRUE(done.message().contains(DatabaseFileCD));
    EXPECT_EQ(ReadAll(m_data.file(DatabaseFileAB)), m_oldAB);
    EXPECT_EQ(QDir(m_data.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{DatabaseFileAB});

    QDir(m_data.file(DatabaseFileCD)).removeRecursively();
    test::WriteTestDatabase(m_data.path(), test::MakeQuestions(), DatabaseFileCD);
    ASSERT_TRUE(RunDataSetImport(m_set.path(), {DatabasesStep(m_data.path())}, {}));
    EXPECT_NE(ReadAll(m_data.file(DatabaseFileAB)), m_oldAB);
    EXPECT_NE(ReadAll(m_data.file(DatabaseFileCD)), m_oldCD);
    EXPECT_EQ(QDir(m_data.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{DatabaseFileAB, DatabaseFileCD}));
}

// Imports of two different data sets, one after the other, killed at random moments: after the
// next start's recovery the two databases always come from the same import, and nothing else
// is left in the folder.
TEST(KillDuringImport, TheTwoDatabasesAlwaysComeFromOneImport) {
    TempDir sets, data;
    std::array<QString, 2> source;
    std::array<std::pair<QByteArray, QByteArray>, 2> pair;
    for (int k = 0; k < 2; ++k) {
        test::DataSetShape shape;
        shape.PicturesPerSet = 2 + k; // other bytes in both databases
        shape.BigJpeg = false;
        source[size_t(k)] = sets.file(QString::number(k));
        ASSERT_TRUE(test::WriteDataSetFolder(source[size_t(k)], test::MakePublishedDataSet(shape)));
        TempDir once;
        ASSERT_TRUE(RunDataSetImport(source[size_t(k)], {DatabasesStep(once.path())}, {}));
        pair[size_t(k)] = {ReadAll(once.file(DatabaseFileAB)), ReadAll(once.file(DatabaseFileCD))};
    }
    ASSERT_NE(pair[0].first, pair[1].first);
    ASSERT_NE(pair[0].second, pair[1].second);

    const char* value = std::getenv("BILETORIA_KILL_ROUNDS");
    // At least twenty, so that a short run still sees the pair change more than once.
    const int rounds = value ? std::max(20, std::atoi(value) / 5) : 30;
    OneOfTwoSaves<std::pair<QByteArray, QByteArray>> check(
        data.path(), {DatabaseFileAB, DatabaseFileCD}, pair, [&] {
            return std::pair(ReadAll(data.file(DatabaseFileAB)),
                             ReadAll(data.file(DatabaseFileCD)));
        });
    const int result = killDuringSaves(
        rounds,
        [&](int g) { RunDataSetImport(source[size_t(g % 2)], {DatabasesStep(data.path())}, {}); },
        [&](int round) { return check(round); });
    EXPECT_EQ(result, rounds);
    EXPECT_GT(check.changes(), 1);
    std::printf("[ kills    ] import: %d kills, %d changes of the pair seen\n", rounds,
                check.changes());
}

// Restores of two progress files, one after the other, killed at random moments: after the
// next start's recovery stat.dat, tema4.dat and answers.log always come from the same file.
TEST(KillDuringRestore, TheStoresAndTheJournalAlwaysComeFromOneProgressFile) {
    TempDir data;
    std::array<ProgressFile, 2> files;
    std::array<std::array<QByteArray, 3>, 2> expected;
    for (int k = 0; k < 2; ++k) {
        ProgressFile& p = files[size_t(k)];
        p.StatBytes = SerializeStats(statsOfGeneration(k + 1));
        p.ThemeBytes = QByteArray(2 * QuestionCount, char(k + 1));
        JournalEntry answer;
        answer.Question = k + 1;
        p.Journal = JournalBytes({answer});
        expected[size_t(k)] = {p.StatBytes, p.ThemeBytes, *p.Journal};
    }
    const QStringList names = {QStringLiteral("answers.log"), QStringLiteral("stat.dat"),
                               QStringLiteral("tema4.dat")};
    OneOfTwoSaves<std::array<QByteArray, 3>> check(data.path(), names, expected, [&] {
        return std::array<QByteArray, 3>{ReadAll(StatFilePath(data.path())),
                                         ReadAll(ThemeFilePath(data.path())),
                                         ReadAll(JournalFilePath(data.path()))};
    });
    const int rounds = std::max(20, killRounds() / 10);
    const int result = killDuringSaves(
        rounds,
        [&](int g) {
            MemorySettingsStore store;
            (void)store.createKey();
            AppState app;
            app.AppDataDir = data.path();
            app.services.store = &store;
            (void)RestoreProgress(app, files[size_t(g % 2)]);
        },
        [&](int round) { return check(round); });
    EXPECT_EQ(result, rounds);
    EXPECT_GT(check.changes(), 1);
    std::printf("[ kills    ] restore: %d kills, %d changes of the stores seen\n", rounds,
                check.changes());
}

// Imports of the next release and back, each carrying the learner's progress over, killed at
// every step of their writes: after the next start's recovery the databases, the statistics,
// the theme file and the history of releases always belong together, old or new.
TEST(KillDuringImport, CarriedProgressAndDatabasesAreAllOldOrAllNew) {
    TempDir sets, data;
    test::DataSetShape shape;
    shape.BigJpeg = false;
    const std::array<QString, 2> source = {sets.file(QStringLiteral("0")),
                                           sets.file(QStringLiteral("1"))};
    ASSERT_TRUE(test::WriteDataSetFolder(source[0], test::MakePublishedDataSet(shape)));
    ASSERT_TRUE(test::WriteDataSetFolder(source[1], test::MakeNextRelease(shape)));
    const QString ab = data.file(DatabaseFileAB);
    ASSERT_TRUE(RunDataSetImport(source[0], {DatabasesStep(data.path())}, {}));
    const QByteArray firstAB = ReadAll(ab);
    // Counts only on questions that keep their identity both ways (21 moves to 45 and back),
    // so that the statistics of each release are always the same.
    TStatRecord firstStats{};
    for (const int n : {21, 100, 200})
        firstStats.question(n).Right = {uint8_t(n % 250), 1, 2};
    firstStats.TicketStatus[9] = 2;
    ASSERT_TRUE(SaveStats(StatFilePath(data.path()), firstStats));
    ThemeTable themes;
    for (int n = 1; n <= QuestionCount; ++n)
        themes.theme(n) = DefaultThemeOf(n);
    themes.mark(21) = 2;
    ASSERT_TRUE(SaveThemeFile(themes, data.path()));

    // One start of the program and the import of the other release, answered «Да».
    const auto carryOver = [&]() -> Status {
        AppState app;
        if (!app.Db.OpenDatabase(ab))
            return Status::Error(QStringLiteral("no database"));
        Result<LoadedStats> stats = LoadStats(StatFilePath(data.path()));
        if (!stats)
            return stats.status();
        app.Stats = stats->Record;
        if (Status s = LoadThemeFile(app.Themes, data.path()); !s)
            return s;
        if (Result<ReleaseHistory> history = ReadReleaseHistory(ReleaseHistoryPath(data.path())))
            app.Releases = *history;
        const int next = ReadAll(ab) == firstAB ? 1 : 0;
        ReleaseImport work = MakeReleaseImport(CaptureReleaseBase(app), data.path(), data.path(),
                                               false, [](const ReleasePlan&) { return true; });
        return RunDataSetImport(source[size_t(next)], work.Steps, {});
    };
    // What each release's files hold: the database, the statistics, the themes, its print.
    const auto state = [&] {
        Database db;
        Fingerprint set = 0;
        if (db.OpenDatabase(ab))
            if (Result<QuestionPrints> prints = ComputeQuestionPrints(db))
                set = SetFingerprint(*prints);
        return std::make_tuple(ReadAll(ab), ReadAll(StatFilePath(data.path())),
                               ReadAll(ThemeFilePath(data.path())), set);
    };
    const auto first = state();
    ASSERT_TRUE(carryOver());
    const auto second = state();
    ASSERT_NE(std::get<0>(second), std::get<0>(first));
    TStatRecord secondStats = firstStats;
    std::swap(secondStats.question(21), secondStats.question(45));
    ASSERT_EQ(std::get<1>(second), SerializeStats(secondStats));
    ASSERT_TRUE(carryOver());
    ASSERT_EQ(state(), first);

    // The process dies at every disk step of the commit, and of every write of the progress
    // files, in turn; the state after the next start's recovery is the one before or the next.
    const auto counted = [](DiskStep step, const QString& path) {
        return step == DiskStep::Journal || step == DiskStep::Rename ||
               path.contains(QStringLiteral("stat.dat")) ||
               path.contains(QStringLiteral("tema4.dat")) ||
               path.contains(QStringLiteral("releases.dat"));
    };
    int steps = 0;
    for (int k = 1; k < 200; ++k) {
        const auto before = state();
        const int code = test::InChild([&] {
            int seen = 0;
            SetDiskFaultHook([&](DiskStep step, const QString& path) {
                if (counted(step, path) && ++seen == k)
                    _exit(99);
                return 0;
            });
            const Status done = carryOver();
            if (!done)
                std::fprintf(stderr, "%s\n", qPrintable(done.message()));
            return done.ok() ? 0 : 1;
        });
        if (code == 0) {
            steps = k - 1;
            break;
        }
        ASSERT_EQ(code, 99) << "step " << k;
        ASSERT_TRUE(RecoverFileSets(data.path()));
        RemoveStaleLeftovers(data.path(),
                             {DatabaseFileAB, DatabaseFileCD, QStringLiteral("stat.dat"),
                              QStringLiteral("tema4.dat"), QStringLiteral("releases.dat")},
                             QDateTime::currentDateTimeUtc().addSecs(120));
        const auto after = state();
        Result<ReleaseHistory> history = ReadReleaseHistory(ReleaseHistoryPath(data.path()));
        EXPECT_TRUE(after == before || after == (before == first ? second : first))
            << "step " << k << ": the files of two releases mixed";
        ASSERT_TRUE(history && !history->empty());
        EXPECT_EQ(history->back().New, std::get<3>(after)) << "step " << k;
    }
    EXPECT_GT(steps, 8);
}

} // namespace
} // namespace bil
