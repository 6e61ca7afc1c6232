// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as answers.log: reading either refuses the file with a message or gives whole
// records that encode back to frames the reader accepts; opening it for appending cuts only the
// damage at its end, and an appended record then reads back after all the others (when the
// file's only damage was a torn tail).

#include "fuzz_common.h"
#include "stats/answer_journal.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    Result<JournalContents> read = ParseJournal(input);
    if (!read) {
        FUZZ_CHECK(!read.error().isEmpty());
        return 0;
    }
    FUZZ_CHECK(read->GoodEnd <= qint64(size));
    FUZZ_CHECK(read->SkippedBytes <= qint64(size));
    for (const JournalEntry& e : read->Entries)
        FUZZ_CHECK(e.Question >= 1 && e.Question <= 800 && e.Channel >= 0 && e.Channel <= 2);
    Result<JournalContents> again = ParseJournal(JournalBytes(read->Entries));
    FUZZ_CHECK(again && again->Entries == read->Entries && again->SkippedBytes == 0);

    const QString path = fuzz::WriteInput(QStringLiteral("answers.log"), data, size);
    AnswerJournal journal;
    FUZZ_CHECK(journal.open(path).ok());
    FUZZ_CHECK(journal.entries() == read->Entries);
    JournalEntry next;
    next.Question = 1 + (size % 800);
    next.Right = true;
    journal.record(next);
    FUZZ_CHECK(journal.lastError().ok());
    Result<JournalContents> after = ReadJournalFile(path);
    FUZZ_CHECK(after);
    // Damage in the middle stays in the file, and a frame forged there may reach into the new
    // record (only a fuzzer that sees the record's checksum compared can make one): the promise
    // holds for files whose only damage is a torn tail, as a kill leaves them.
    if (read->SkippedBytes == qint64(size) - read->GoodEnd)
        FUZZ_CHECK(after->Entries.size() == read->Entries.size() + 1 &&
                   after->Entries.back() == next);
    return 0;
}
