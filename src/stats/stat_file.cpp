// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/stat_file.h"

#include "data/file_commit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <limits>

namespace bil {

namespace {

void putInt32(QByteArray& bytes, int offset, int32_t value) {
    qToLittleEndian<int32_t>(value, bytes.data() + offset);
}

int32_t getInt32(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<int32_t>(bytes.constData() + offset);
}

int questionOffset(int number) {
    return StatQuestionsOffset + StatQuestionSize * (number - 1);
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool validQuestion(int number, int channel) {
    return number >= 1 && number <= QuestionCount && channel >= 0 && channel < ChannelCount;
}

void clearCounters(TQuestionStat& stat) {
    stat.Right.fill(0);
    stat.Wrong.fill(0);
    stat.Seconds.fill(0);
}

} // namespace

QByteArray SerializeStats(const TStatRecord& record) {
    QByteArray bytes(StatRecordSize, '\0');
    for (int i = 0; i < 2; ++i)
        putInt32(bytes, StatReserved0Offset + 4 * i, record.Reserved0[i]);
    for (int t = 1; t <= TicketCount; ++t)
        putInt32(bytes, StatTicketStatusOffset + 4 * (t - 1), record.TicketStatus[t - 1]);
    putInt32(bytes, StatReserved168Offset, record.Reserved168);
    putInt32(bytes, StatPrepPositionsOffset, record.PrepPositions);
    for (int n = 1; n <= QuestionCount; ++n) {
        const TQuestionStat& stat = record.question(n);
        const int base = questionOffset(n);
        for (int c = 0; c < ChannelCount; ++c) {
            bytes[base + StatRightOffset + c] = char(stat.Right[c]);
            bytes[base + StatWrongOffset + c] = char(stat.Wrong[c]);
            putInt32(bytes, base + StatSecondsOffset + 4 * c, stat.Seconds[c]);
        }
        for (int i = 0; i < 2; ++i)
            bytes[base + StatWrongOffset + ChannelCount + i] = char(stat.Reserved[i]);
    }
    return bytes;
}

TStatRecord ParseStats(const QByteArray& bytes) {
    Q_ASSERT(bytes.size() >= StatRecordSize);
    TStatRecord record;
    for (int i = 0; i < 2; ++i)
        record.Reserved0[i] = getInt32(bytes, StatReserved0Offset + 4 * i);
    for (int t = 1; t <= TicketCount; ++t)
        record.TicketStatus[t - 1] = getInt32(bytes, StatTicketStatusOffset + 4 * (t - 1));
    record.Reserved168 = getInt32(bytes, StatReserved168Offset);
    record.PrepPositions = getInt32(bytes, StatPrepPositionsOffset);
    for (int n = 1; n <= QuestionCount; ++n) {
        TQuestionStat& stat = record.question(n);
        const int base = questionOffset(n);
        for (int c = 0; c < ChannelCount; ++c) {
            stat.Right[c] = uint8_t(bytes[base + StatRightOffset + c]);
            stat.Wrong[c] = uint8_t(bytes[base + StatWrongOffset + c]);
            stat.Seconds[c] = getInt32(bytes, base + StatSecondsOffset + 4 * c);
        }
        for (int i = 0; i < 2; ++i)
            stat.Reserved[i] = uint8_t(bytes[base + StatWrongOffset + ChannelCount + i]);
    }
    return record;
}

QString StatFilePath(const QString& appDataDir) {
    return QDir(appDataDir).filePath(QStringLiteral("stat.dat"));
}

Result<LoadedStats> LoadStats(const QString& path) {
    LoadedStats loaded;
    if (!QFileInfo::exists(path)) {
        loaded.CreateStatus = WriteFileAtomically(path, SerializeStats(loaded.Record));
        loaded.Created = loaded.CreateStatus.ok();
        return loaded;
    }
    // Opened for writing too: a file the program could not save to later is refused now.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return Status::Error(QStringLiteral("Не удалось открыть файл статистики %1: %2")
                                 .arg(nativePath(path), file.errorString()));
    const QByteArray bytes = file.read(StatRecordSize);
    if (bytes.size() < StatRecordSize)
        return Status::Error(
            QStringLiteral("Файл статистики %1 поврежден: в нем %2 байт вместо %3. Удалите его "
                           "или восстановите из копии и запустите программу снова.")
                .arg(nativePath(path))
                .arg(file.size())
                .arg(StatRecordSize));
    loaded.Record = ParseStats(bytes);
    loaded.ExtraBytes = file.size() - StatRecordSize;
    return loaded;
}

Status SaveStats(const QString& path, const TStatRecord& record) {
    QByteArray bytes = SerializeStats(record);
    if (QFileInfo::exists(path)) {
        // Whatever follows the record belongs to someone else: carry it over unchanged.
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return Status::Error(QStringLiteral("Не удалось прочитать файл статистики %1: %2")
                                     .arg(nativePath(path), old.errorString()));
        const qint64 size = old.size();
        if (size > StatRecordSize) {
            if (!old.seek(StatRecordSize))
                return Status::Error(QStringLiteral("Не удалось прочитать файл статистики %1: %2")
                                         .arg(nativePath(path), old.errorString()));
            const QByteArray tail = old.readAll();
            if (tail.size() != size - StatRecordSize)
                return Status::Error(QStringLiteral("Не удалось прочитать файл статистики %1: %2")
                                         .arg(nativePath(path), old.errorString()));
            bytes.append(tail);
        }
    }
    return WriteFileAtomically(path, bytes);
}

void ResetAllStats(TStatRecord& record) {
    record.Reserved0.fill(0);
    record.TicketStatus.fill(0);
    for (TQuestionStat& stat : record.QuestionStats)
        clearCounters(stat);
}

void ResetTicketStats(TStatRecord& record, int ticket) {
    if (ticket < 1 || ticket > TicketCount)
        return;
    record.TicketStatus[ticket - 1] = 0;
    for (int p = 1; p <= TicketSize; ++p)
        clearCounters(record.question(NumberOf(ticket, p)));
}

void MarkTicketLearned(TStatRecord& record, int ticket) {
    if (ticket < 1 || ticket > TicketCount)
        return;
    int32_t& status = record.TicketStatus[ticket - 1];
    if (status == 0)
        status = 4;
}

void CountRight(TStatRecord& record, int number, int channel) {
    if (!validQuestion(number, channel))
        return;
    uint8_t& count = record.question(number).Right[channel];
    if (count < StatCounterMax)
        ++count;
}

void CountWrong(TStatRecord& record, int number, int channel) {
    if (!validQuestion(number, channel))
        return;
    uint8_t& count = record.question(number).Wrong[channel];
    if (count < StatCounterMax)
        ++count;
}

void AddSecond(TStatRecord& record, int number, int channel) {
    if (!validQuestion(number, channel))
        return;
    int32_t& seconds = record.question(number).Seconds[channel];
    if (seconds < std::numeric_limits<int32_t>::max())
        ++seconds;
}

} // namespace bil
