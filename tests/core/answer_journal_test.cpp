// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/answer_journal.h"

#include "stats/stat_record.h"
#include "test_db.h"

#include <QFile>

#include <gtest/gtest.h>

namespace bil {
namespace {

using test::ReadAll;
using test::TempDir;
using test::WriteBytes;

// Answer number i of a made-up learner: every field depends on i.
JournalEntry AnswerNo(int i) {
    JournalEntry e;
    e.Time = 1'760'000'000 + int64_t(i) * 37;
    e.Set = 0x0123456789ABCDEFull + uint64_t(i % 3);
    e.Question = 1 + i % QuestionCount;
    e.Channel = i % ChannelCount;
    e.Run = i % 7;
    e.Chosen = 1 + i % 5;
    e.Right = i % 4 != 0;
    e.Seconds = i % 300;
    e.Flags = uint8_t(i % 4);
    return e;
}

std::vector<JournalEntry> Answers(int count) {
    std::vector<JournalEntry> all;
    for (int i = 0; i < count; ++i)
        all.push_back(AnswerNo(i));
    return all;
}

TEST(AnswerJournal, Crc32cOfTheStandardCheckString) {
    EXPECT_EQ(Crc32c("123456789", 9), 0xE3069283u);
    // Continuing from a partial CRC gives the CRC of the whole.
    EXPECT_EQ(Crc32c("56789", 5, Crc32c("1234", 4)), 0xE3069283u);
}

TEST(AnswerJournal, EveryKindOfRecordReadsBackAfterReopening) {
    TempDir dir;
    const QString path = JournalFilePath(dir.path());
    std::vector<JournalEntry> written = Answers(5);
    JournalEntry charge;
    charge.Kind = JournalKind::Charge;
    charge.Time = 1'760'000'500;
    charge.Set = 42;
    charge.Question = 800;
    charge.Channel = ChannelExam;
    charge.Reason = ChargeReason::EarlyClose;
    written.push_back(charge);
    {
        AnswerJournal journal;
        ASSERT_TRUE(journal.open(path));
        for (const JournalEntry& e : written)
            journal.record(e);
        ASSERT_TRUE(journal.flush());
        EXPECT_TRUE(journal.lastError().ok());
    }
    AnswerJournal again;
    ASSERT_TRUE(again.open(path));
    EXPECT_EQ(again.entries(), written);
    EXPECT_EQ(ReadAll(path), JournalBytes(written));
}

TEST(AnswerJournal, TornTailIsIgnoredAndCutOffBeforeTheNextRecord) {
    TempDir dir;
    const QString path = JournalFilePath(dir.path());
    const QByteArray whole = JournalBytes(Answers(3));
    const int frame = int(EncodeJournalEntry(AnswerNo(3)).size());
    const QByteArray next = EncodeJournalEntry(AnswerNo(3));
    for (int cut = 1; cut < frame; ++cut) {
        WriteBytes(path, whole + next.left(cut));
        Result<JournalContents> read = ReadJournalFile(path);
        ASSERT_TRUE(read) << cut;
        EXPECT_EQ(read->Entries, Answers(3)) << cut;
        EXPECT_EQ(read->GoodEnd, whole.size());
        EXPECT_EQ(read->SkippedBytes, cut);

        AnswerJournal journal;
        ASSERT_TRUE(journal.open(path));
        journal.record(AnswerNo(3));
        EXPECT_EQ(ReadAll(path), whole + next) << cut;
    }
}

TEST(AnswerJournal, DamagedRecordInTheMiddleIsSkippedAndTheRestRead) {
    QByteArray bytes = JournalBytes(Answers(4));
    const int frame = int(EncodeJournalEntry(AnswerNo(0)).size());
    bytes[JournalMagic.size() + frame + 10] ^= 0x40; // inside the second record
    Result<JournalContents> read = ParseJournal(bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->Entries.size(), 3u);
    EXPECT_EQ(read->Entries[1], AnswerNo(2));
    EXPECT_EQ(read->SkippedBytes, frame);
    EXPECT_EQ(read->GoodEnd, bytes.size());
}

TEST(AnswerJournal, RecordOfUnknownKindIsSkipped) {
    // A whole frame of a kind a newer program may write: kind 9, three bytes of fields.
    const QByteArray payload("\x09\x01\x02\x03", 4);
    QByteArray frame("\x04\x00", 2);
    const uint32_t crc = Crc32c(payload.constData(), 4, Crc32c(frame.constData(), 2));
    for (int i = 0; i < 4; ++i)
        frame.append(char(crc >> (8 * i)));
    frame += payload;
    const QByteArray bytes =
        JournalMagic + EncodeJournalEntry(AnswerNo(0)) + frame + EncodeJournalEntry(AnswerNo(1));
    Result<JournalContents> read = ParseJournal(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Entries, Answers(2));
    EXPECT_EQ(read->UnknownRecords, 1);
    EXPECT_EQ(read->SkippedBytes, 0);
}

TEST(AnswerJournal, ForeignFileIsRefusedAndSetAsideByTheProgram) {
    TempDir dir;
    const QString path = JournalFilePath(dir.path());
    const QByteArray foreign("answers of another program, not ours");
    WriteBytes(path, foreign);
    Result<JournalContents> read = ReadJournalFile(path);
    ASSERT_FALSE(read);
    EXPECT_TRUE(read.error().startsWith(QStringLiteral("Это не журнал ответов Билетории")));

    AnswerJournal journal;
    ASSERT_TRUE(journal.open(path));
    journal.record(AnswerNo(0));
    EXPECT_EQ(ReadAll(path + ".bad"), foreign);
    EXPECT_EQ(ReadJournalFile(path)->Entries, Answers(1));
}

TEST(AnswerJournal, NewJournalStartsFromTheLastKnownOutcomeOfEachQuestion) {
    TStatRecord stats{};
    stats.question(1).Right[ChannelLearning] = 2; // 2 right, 1 wrong: Good
    stats.question(1).Wrong[ChannelExam] = 1;
    stats.question(2).Right[ChannelTraining] = 1; // 1 right, 1 wrong: Again
    stats.question(2).Wrong[ChannelLearning] = 1;
    stats.question(3).Seconds[ChannelLearning] = 50; // seconds only: never answered
    const std::vector<JournalEntry> seeds = SeedEntries(stats, 7, 1'700'000'000);
    ASSERT_EQ(seeds.size(), 2u);
    EXPECT_EQ(seeds[0].Question, 1);
    EXPECT_TRUE(seeds[0].Right);
    EXPECT_EQ(seeds[1].Question, 2);
    EXPECT_FALSE(seeds[1].Right);
    EXPECT_EQ(seeds[1].Time, 1'700'000'000);

    TempDir dir;
    AnswerJournal journal;
    ASSERT_TRUE(journal.open(JournalFilePath(dir.path()), seeds));
    journal.record(AnswerNo(0));
    AnswerJournal again;
    ASSERT_TRUE(again.open(JournalFilePath(dir.path()), seeds)); // seeds only for a new file
    EXPECT_EQ(again.entries(), (std::vector<JournalEntry>{seeds[0], seeds[1], AnswerNo(0)}));
}

} // namespace
} // namespace bil
