// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/stat_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

namespace {

using namespace bil;

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void put32(QByteArray& b, int offset, int32_t v) {
    qToLittleEndian<qint32>(v, b.data() + offset);
}
int32_t get32(const QByteArray& b, int offset) {
    return qFromLittleEndian<qint32>(b.constData() + offset);
}

// A record image built byte by byte at the documented offsets, with distinct values everywhere.
QByteArray handBuiltImage() {
    QByteArray b(StatRecordSize, '\0');
    put32(b, 0, 11);
    put32(b, 4, -12);
    for (int t = 1; t <= 40; ++t)
        put32(b, 8 + 4 * (t - 1), t % 5);
    put32(b, 168, 0x01020304);
    put32(b, 172, 5);
    for (int n = 1; n <= 800; ++n) {
        const int e = 176 + 20 * (n - 1);
        for (int c = 0; c < 3; ++c) {
            b[e + c] = char((n + c) % 256);
            b[e + 3 + c] = char((n * 3 + c) % 256);
            put32(b, e + 8 + 4 * c, n * 1000 + c);
        }
    }
    return b;
}

TEST(StatFile, ParseReadsEveryFieldAtItsOffsetAndSerializeRestoresTheImage) {
    const QByteArray image = handBuiltImage();
    const TStatRecord r = ParseStats(image);
    EXPECT_EQ(r.Reserved0[0], 11);
    EXPECT_EQ(r.Reserved0[1], -12);
    EXPECT_EQ(r.TicketStatus[0], 1);
    EXPECT_EQ(r.TicketStatus[39], 0);
    EXPECT_EQ(r.TicketStatus[3], 4);
    EXPECT_EQ(r.Reserved168, 0x01020304);
    EXPECT_EQ(r.PrepPositions, 5);
    EXPECT_EQ(r.question(1).Right[0], 1);
    EXPECT_EQ(r.question(1).Wrong[2], 5);
    EXPECT_EQ(r.question(81).Right[1], 82);
    EXPECT_EQ(r.question(800).Right[2], (800 + 2) % 256);
    EXPECT_EQ(r.question(800).Wrong[0], (2400) % 256);
    EXPECT_EQ(r.question(81).Seconds[1], 81001);
    EXPECT_EQ(r.question(800).Seconds[2], 800002);
    EXPECT_EQ(SerializeStats(r), image);
}

TEST(StatFile, RoundTripThroughTheFileKeepsTheImage) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    const QByteArray image = handBuiltImage();
    writeFile(path, image);

    auto loaded = LoadStats(path);
    ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
    EXPECT_FALSE(loaded->Created);
    EXPECT_EQ(loaded->ExtraBytes, 0);
    TStatRecord r = loaded->Record;
    CountRight(r, 81, ChannelLearning);
    ASSERT_TRUE(SaveStats(path, r).ok());

    QByteArray expected = image;
    expected[176 + 20 * 80] = char(81 + 1);
    EXPECT_EQ(readFile(path), expected);
}

TEST(StatFile, MissingFileIsCreatedWithAZeroRecord) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    auto loaded = LoadStats(path);
    ASSERT_TRUE(loaded.ok());
    EXPECT_TRUE(loaded->Created);
    EXPECT_TRUE(loaded->CreateStatus.ok());
    EXPECT_EQ(readFile(path), QByteArray(StatRecordSize, '\0'));
    EXPECT_EQ(loaded->Record.PrepPositions, 0);
    EXPECT_EQ(SerializeStats(loaded->Record), QByteArray(StatRecordSize, '\0'));
}

TEST(StatFile, CreationFailureIsReportedButNotAnError) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no-such-folder/stat.dat"));
    auto loaded = LoadStats(path);
    ASSERT_TRUE(loaded.ok());
    EXPECT_FALSE(loaded->Created);
    EXPECT_FALSE(loaded->CreateStatus.ok());
    EXPECT_TRUE(loaded->CreateStatus.message().contains(QStringLiteral("stat.dat")));
}

TEST(StatFile, FileOneByteShortIsRefusedWithItsName) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    writeFile(path, handBuiltImage().left(StatRecordSize - 1));
    auto loaded = LoadStats(path);
    ASSERT_FALSE(loaded.ok());
    EXPECT_TRUE(loaded.error().contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(loaded.error().contains(QStringLiteral("16175")));
    EXPECT_EQ(readFile(path).size(), StatRecordSize - 1); // not repaired behind the user's back
}

TEST(StatFile, FolderInPlaceOfTheFileIsRefused) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("stat.dat")));
    EXPECT_FALSE(LoadStats(path).ok());
}

TEST(StatFile, LongerFileLoadsItsFirstRecordAndSavesKeepTheTail) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    const QByteArray image = handBuiltImage();
    writeFile(path, image + QByteArray("\x7f", 1));

    auto loaded = LoadStats(path);
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded->ExtraBytes, 1);
    EXPECT_EQ(SerializeStats(loaded->Record), image);

    TStatRecord r = loaded->Record;
    r.TicketStatus[4] = 4;
    ASSERT_TRUE(SaveStats(path, r).ok());
    const QByteArray saved = readFile(path);
    ASSERT_EQ(saved.size(), StatRecordSize + 1);
    EXPECT_EQ(saved.back(), '\x7f');
    EXPECT_EQ(get32(saved, 8 + 4 * 4), 4);
}

TEST(StatFile, SaveRecreatesAFileRemovedMeanwhile) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    TStatRecord r;
    r.PrepPositions = 3;
    ASSERT_TRUE(SaveStats(path, r).ok());
    EXPECT_EQ(get32(readFile(path), 172), 3);
}

TEST(StatFile, SaveIntoReadOnlyFolderFailsAndKeepsFileAndMemory) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = StatFilePath(folder);
    const QByteArray image = handBuiltImage();
    writeFile(path, image);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    {
        QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            GTEST_SKIP() << "folder permissions are not enforced for this user";
        }
    }
    TStatRecord r = ParseStats(image);
    r.TicketStatus[0] = 2;
    const QByteArray before = SerializeStats(r);
    const Status saved = SaveStats(path, r);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.message().contains(QStringLiteral("stat.dat")));
    EXPECT_EQ(readFile(path), image);
    EXPECT_EQ(SerializeStats(r), before);
}

// A full disk, simulated by a file-size limit, which binds every user including root.
TEST(StatFile, SaveOnAFullDiskFailsAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = StatFilePath(dir.path());
    const QByteArray image = handBuiltImage();
    writeFile(path, image);
    TStatRecord r = ParseStats(image);
    r.TicketStatus[0] = 2;

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status saved = SaveStats(path, r);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved.ok());
    EXPECT_EQ(readFile(path), image);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("stat.dat")});
}

TEST(StatReset, FullResetClearsCountsButKeepsPreparationAndReserved168) {
    TStatRecord r = ParseStats(handBuiltImage());
    ResetAllStats(r);
    EXPECT_EQ(r.PrepPositions, 5);
    EXPECT_EQ(r.Reserved168, 0x01020304);
    QByteArray expected(StatRecordSize, '\0');
    put32(expected, 168, 0x01020304);
    put32(expected, 172, 5);
    EXPECT_EQ(SerializeStats(r), expected);
}

TEST(StatReset, TicketResetTouchesOnlyThatTicket) {
    const QByteArray image = handBuiltImage();
    TStatRecord r = ParseStats(image);
    ResetTicketStats(r, 5);
    const QByteArray after = SerializeStats(r);
    QByteArray expected = image;
    put32(expected, 8 + 4 * 4, 0);
    for (int n = 81; n <= 100; ++n) {
        const int e = 176 + 20 * (n - 1);
        for (int i = 0; i < 6; ++i)
            expected[e + i] = 0;
        for (int c = 0; c < 3; ++c)
            put32(expected, e + 8 + 4 * c, 0);
    }
    EXPECT_EQ(after, expected);

    ResetTicketStats(r, 0); // out of range: nothing
    ResetTicketStats(r, 41);
    EXPECT_EQ(SerializeStats(r), after);
}

TEST(StatReset, LearnedTicketKeepsAnExamResultAndIgnoresOtherNumbers) {
    TStatRecord r;
    r.TicketStatus[1] = 1; // passed
    r.TicketStatus[2] = 2; // failed
    for (int t : {0, 1, 2, 3, 41})
        MarkTicketLearned(r, t);
    EXPECT_EQ(r.TicketStatus[0], 4);
    EXPECT_EQ(r.TicketStatus[1], 1);
    EXPECT_EQ(r.TicketStatus[2], 2);
    EXPECT_EQ(r.TicketStatus[3], 0);
    EXPECT_EQ(std::count(r.TicketStatus.begin(), r.TicketStatus.end(), 0), TicketCount - 3);
}

TEST(StatCounters, CountsGrowPerChannelAndStopAt255) {
    TStatRecord r;
    CountRight(r, 800, ChannelTraining);
    CountWrong(r, 1, ChannelExam);
    AddSecond(r, 81, ChannelLearning);
    AddSecond(r, 81, ChannelLearning);
    EXPECT_EQ(r.question(800).Right[2], 1);
    EXPECT_EQ(r.question(800).Right[0], 0);
    EXPECT_EQ(r.question(1).Wrong[1], 1);
    EXPECT_EQ(r.question(81).Seconds[0], 2);

    for (int i = 0; i < 300; ++i) {
        CountRight(r, 7, ChannelExam);
        CountWrong(r, 7, ChannelExam);
    }
    EXPECT_EQ(r.question(7).Right[1], 255);
    EXPECT_EQ(r.question(7).Wrong[1], 255);
    EXPECT_EQ(r.question(8).Right[1], 0); // no spill into the neighbour

    r.question(9).Seconds[2] = std::numeric_limits<int32_t>::max();
    AddSecond(r, 9, ChannelTraining);
    EXPECT_EQ(r.question(9).Seconds[2], std::numeric_limits<int32_t>::max());

    const QByteArray before = SerializeStats(r);
    CountRight(r, 0, 0);
    CountWrong(r, 801, 0);
    AddSecond(r, 5, 3);
    EXPECT_EQ(SerializeStats(r), before);
}

} // namespace
