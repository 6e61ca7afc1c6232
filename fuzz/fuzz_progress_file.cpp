// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a progress file: reading either refuses them with a message or gives contents
// the program can take as they are (every size and value in range) and that write back to a
// file which reads the same.

#include "fuzz_common.h"
#include "stats/answer_journal.h"
#include "stats/progress_file.h"
#include "stats/stat_record.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    Result<ProgressFile> read = ReadProgressArchive(input);
    if (!read) {
        FUZZ_CHECK(!read.error().isEmpty());
        return 0;
    }
    const ProgressFile& p = *read;
    FUZZ_CHECK(p.StatBytes.size() >= StatRecordSize);
    FUZZ_CHECK(p.StatBytes.size() <= StatRecordSize + ProgressMaxStatTail);
    FUZZ_CHECK(p.ThemeBytes.size() == 2 * QuestionCount);
    for (int i = 0; i < QuestionCount; ++i) {
        FUZZ_CHECK(uint8_t(p.ThemeBytes[i]) <= ThemeCount);
        FUZZ_CHECK(uint8_t(p.ThemeBytes[QuestionCount + i]) <= 2);
    }
    FUZZ_CHECK(p.Settings.size() == ProgressSettingNames().size());
    FUZZ_CHECK(!p.Prints || SetFingerprint(*p.Prints) == p.SetPrint);
    FUZZ_CHECK(p.Format == 2 ? p.Journal && p.Journal->startsWith(JournalMagic)
                             : !p.Journal && !p.Prints);

    Result<QByteArray> written = WriteProgressArchive(p);
    FUZZ_CHECK(written.ok());
    Result<ProgressFile> again = ReadProgressArchive(*written);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again->StatBytes == p.StatBytes);
    FUZZ_CHECK(again->ThemeBytes == p.ThemeBytes);
    FUZZ_CHECK(again->Settings == p.Settings);
    FUZZ_CHECK(again->Prints == p.Prints);
    FUZZ_CHECK(again->Journal == p.Journal.value_or(JournalMagic));
    return 0;
}
