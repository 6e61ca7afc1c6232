// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing files and sets of files: a crash at any step of a set leaves, after the next start's
// recovery, every member old or every member new; a full disk says so; new files get the user's
// usual mode.

#include "data/file_commit.h"
#include "help_dataset.h"
#include "in_child.h"
#include "test_db.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bil {
namespace {

using test::ReadAll;
using test::TempDir;
using test::WriteBytes;

// Two files and a folder whose every byte says which generation wrote them.
struct ThreeMembers {
    TempDir dir;
    QString a() const { return dir.file("a.dat"); }
    QString b() const { return dir.file("b.dat"); }
    QString help() const { return dir.file("help"); }
    static QByteArray bytes(char kind, int g) {
        return QByteArray(3000, kind) + QByteArray::number(g);
    }

    Status replace(int g) {
        FileSet set;
        if (Result<int> r = set.addFile(a(), bytes('a', g)); !r)
            return r.status();
        if (Result<int> r = set.addFile(b(), bytes('b', g)); !r)
            return r.status();
        Result<int> r = set.addFolder(help(), [g](const QString& folder) {
            return WriteWholeFile(folder + "/page.html", bytes('h', g));
        });
        return r ? set.commit() : r.status();
    }
    // The generation all three hold, or -1 when they differ or one is torn or missing.
    int generation() const {
        const QByteArray page = ReadAll(help() + "/page.html");
        const int g = page.mid(3000).toInt();
        return ReadAll(a()) == bytes('a', g) && ReadAll(b()) == bytes('b', g) &&
                       page == bytes('h', g)
                   ? g
                   : -1;
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

constexpr int Crashed = 42;

// The process dies at every step of a set's commit in turn (when failSecond, the second file's
// rename fails, so that the later deaths happen while the set is being undone). The next
// start's recovery leaves all three members of one generation, and its clean-up of leftovers
// leaves nothing else.
void CrashAtEveryStep(bool failSecond) {
    ThreeMembers set;
    ASSERT_TRUE(set.replace(1));
    int steps = 0;
    for (int k = 1;; ++k) {
        const int before = set.generation();
        ASSERT_GT(before, 0);
        const int next = 100 + k;
        const int code = test::InChild([&] {
            int seen = 0;
            SetDiskFaultHook([&](DiskStep step, const QString& path) {
                if (++seen == k)
                    _exit(Crashed);
                return failSecond && step == DiskStep::Rename && path.endsWith("b.dat") ? EIO : 0;
            });
            const Status done = set.replace(next);
            return done.ok() != failSecond ? 0 : 1;
        });
        if (code == 0) {
            steps = k - 1;
            break;
        }
        ASSERT_EQ(code, Crashed) << "step " << k;
        ASSERT_TRUE(RecoverFileSets(set.dir.path()));
        const int after = set.generation();
        EXPECT_TRUE(after == before || after == next)
            << "step " << k << ": generation " << after << " after " << before;
        RemoveStaleLeftovers(set.dir.path(), {"a.dat", "b.dat", "help"},
                             QDateTime::currentDateTimeUtc().addSecs(120));
        EXPECT_EQ(set.entries(), QStringList({"a.dat", "b.dat", "help"})) << "step " << k;
    }
    EXPECT_GT(steps, 10);
}

TEST(FileSetCrash, EveryStepOfACommitIsFinishedOrUndoneAtTheNextStart) {
    CrashAtEveryStep(false);
}

TEST(FileSetCrash, EveryStepOfAnUndoIsCompletedAtTheNextStart) {
    CrashAtEveryStep(true);
}

// A killed commit's leftover under the name drawn for an old file's second name (a child of
// the same parent draws the same names) does not fail the next commit.
TEST(FileSet, ATakenNameForTheOldFileIsDrawnAgain) {
    ThreeMembers set;
    ASSERT_TRUE(set.replace(1));
    int taken = 0;
    SetDiskFaultHook([&](DiskStep step, const QString&) {
        return step == DiskStep::Link && taken++ < 3 ? EEXIST : 0;
    });
    const Status done = set.replace(2);
    SetDiskFaultHook({});
    EXPECT_TRUE(done) << done.message().toStdString();
    EXPECT_EQ(set.generation(), 2);
    EXPECT_EQ(set.entries(), QStringList({"a.dat", "b.dat", "help"}));
}

// An optional member that cannot take its place is put back alone; the required ones stay new.
TEST(FileSet, AnOptionalMemberFailingKeepsTheRequiredOnes) {
    ThreeMembers set;
    ASSERT_TRUE(set.replace(1));
    FileSet files;
    ASSERT_TRUE(files.addFile(set.a(), ThreeMembers::bytes('a', 2)));
    const Result<int> help = files.addFolder(
        set.help(),
        [](const QString& folder) { return WriteWholeFile(folder + "/page.html", "новая"); }, true);
    ASSERT_TRUE(help);
    // A file takes the folder's place after it was staged.
    ASSERT_TRUE(QDir(set.help()).removeRecursively());
    WriteBytes(set.help(), "файл");
    EXPECT_TRUE(files.commit());
    EXPECT_EQ(ReadAll(set.a()), ThreeMembers::bytes('a', 2));
    EXPECT_TRUE(files.outcome(*help).message().contains("не папка"));
    EXPECT_EQ(ReadAll(set.help()), "файл");
    EXPECT_EQ(set.entries(), QStringList({"a.dat", "b.dat", "help"}));
}

// A journal cut short was written before any rename: it is dropped and nothing changes. A
// journal another running copy holds is left to it, and a commit in that folder waits its turn.
TEST(FileSet, CutJournalIsDroppedAndAHeldOneLeftAlone) {
    ThreeMembers set;
    ASSERT_TRUE(set.replace(1));
    const QString journal = set.dir.file(FileSetJournalName);
    WriteBytes(set.a() + ".Staged", "новое");
    WriteBytes(journal, "biletoria-commit 1\ncommit\nfile\trequired\t" +
                            QFile::encodeName(set.a()) + "\t" +
                            QFile::encodeName(set.a() + ".Staged") + "\t-\n");
    ASSERT_TRUE(RecoverFileSets(set.dir.path()));
    EXPECT_EQ(set.generation(), 1);
    EXPECT_FALSE(QFile::exists(journal));

    WriteBytes(journal, "biletoria-commit 1\ncommit\nend\n");
    const int fd = ::open(QFile::encodeName(journal).constData(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_TRUE(RecoverFileSets(set.dir.path()));
    EXPECT_TRUE(QFile::exists(journal));
    const Status busy = set.replace(2);
    EXPECT_TRUE(busy.message().contains("другая копия программы")) << busy.message().toStdString();
    EXPECT_EQ(set.generation(), 1);
    ::close(fd);
    EXPECT_TRUE(set.replace(2));
    EXPECT_EQ(set.generation(), 2);
    EXPECT_FALSE(QFile::exists(journal));
}

// A full disk is named as such, with the folder; the old file stays and no temporary is left.
TEST(FileWrite, FullDiskSaysSoWithTheFolder) {
    TempDir dir;
    const QString path = dir.file("stat.dat");
    WriteBytes(path, "старое");
    const QString expected =
        QStringLiteral("Недостаточно места на диске: не удалось записать файл stat.dat в папку %1.")
            .arg(QDir::toNativeSeparators(dir.path()));
    for (DiskStep failing : {DiskStep::Write, DiskStep::Sync, DiskStep::Rename}) {
        SetDiskFaultHook(
            [failing](DiskStep step, const QString&) { return step == failing ? ENOSPC : 0; });
        const Status written = WriteFileAtomically(path, "новое");
        const Status folder = ReplaceFolder(dir.file("help"), [](const QString& f) {
            return WriteWholeFile(f + "/stat.dat", "страница");
        });
        SetDiskFaultHook({});
        EXPECT_EQ(written.message(), expected) << int(failing);
        EXPECT_TRUE(folder.message().startsWith("Недостаточно места на диске")) << int(failing);
        EXPECT_EQ(ReadAll(path), "старое");
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"stat.dat"});
    }
}

// New files and folders get the user's usual mode (the umask's), a replaced file keeps its own.
TEST(FileWrite, NewFilesGetTheUsersModeAndReplacedOnesKeepTheirs) {
    const mode_t oldMask = ::umask(022);
    TempDir dir;
    auto mode = [](const QString& path) {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    };
    ASSERT_TRUE(WriteFileAtomically(dir.file("new.dat"), "x"));
    EXPECT_EQ(mode(dir.file("new.dat")), 0644u);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file("new.dat")).constData(), 0600), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.file("new.dat"), "y"));
    EXPECT_EQ(mode(dir.file("new.dat")), 0600u);

    FileSet set;
    ASSERT_TRUE(set.addFile(dir.file("data.dbv"), "db"));
    ASSERT_TRUE(set.addFolder(dir.file("help"), [](const QString& folder) {
        return WriteWholeFile(folder + "/sub/page.html", "p");
    }));
    ASSERT_TRUE(set.commit());
    EXPECT_EQ(mode(dir.file("data.dbv")), 0644u);
    EXPECT_EQ(mode(dir.file("help")), 0755u);
    EXPECT_EQ(mode(dir.file("help/sub")), 0755u);
    EXPECT_EQ(mode(dir.file("help/sub/page.html")), 0644u);
    ::umask(oldMask);
}

} // namespace
} // namespace bil
