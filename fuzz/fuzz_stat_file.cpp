// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as stat.dat: loading either refuses the file with a message or gives a record that
// writes back to the same bytes; counting and saving never lose the bytes after the record.

#include "fuzz_common.h"
#include "stats/stat_file.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::WriteInput(QStringLiteral("stat.dat"), data, size);
    Result<LoadedStats> loaded = LoadStats(path);
    if (!loaded) {
        FUZZ_CHECK(size < size_t(StatRecordSize));
        FUZZ_CHECK(!loaded.error().isEmpty());
        return 0;
    }
    FUZZ_CHECK(size >= size_t(StatRecordSize));
    FUZZ_CHECK(loaded->ExtraBytes == qint64(size) - StatRecordSize);
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    TStatRecord record = loaded->Record;
    FUZZ_CHECK(SerializeStats(record) == input.first(StatRecordSize));

    // Work on the record the way the windows do, driven by the input's own bytes.
    const int number = 1 + data[0] % QuestionCount;
    const int channel = data[1] % ChannelCount;
    const uint8_t rightBefore = record.question(number).Right[channel];
    const int32_t secondsBefore = record.question(number).Seconds[channel];
    CountRight(record, number, channel);
    CountWrong(record, number, channel);
    AddSecond(record, number, channel);
    FUZZ_CHECK(record.question(number).Right[channel] >= rightBefore);
    FUZZ_CHECK(record.question(number).Seconds[channel] >= secondsBefore);
    if (data[2] & 1)
        ResetTicketStats(record, 1 + data[3] % TicketCount);
    if (data[2] & 2)
        ResetAllStats(record);

    FUZZ_CHECK(SaveStats(path, record).ok());
    QFile saved(path);
    FUZZ_CHECK(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    FUZZ_CHECK(bytes.size() == qsizetype(size));
    FUZZ_CHECK(bytes.first(StatRecordSize) == SerializeStats(record));
    FUZZ_CHECK(bytes.sliced(StatRecordSize) == input.sliced(StatRecordSize));
    return 0;
}
