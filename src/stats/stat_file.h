// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"
#include "stats/stat_record.h"

#include <QByteArray>
#include <QString>

namespace bil {

// The record as the 16176 bytes of stat.dat, little-endian whatever the host.
QByteArray SerializeStats(const TStatRecord& record);
// Reads a record from the first StatRecordSize bytes of bytes (which must hold at least that).
TStatRecord ParseStats(const QByteArray& bytes);

// "<folder>/stat.dat".
QString StatFilePath(const QString& appDataDir);

// What loading found besides the record.
struct LoadedStats {
    TStatRecord Record{};
    bool Created = false;               // the file was missing and a zero record was written
    Status CreateStatus = Status::Ok(); // why it could not be created; the caller warns later
    qint64 ExtraBytes = 0;              // bytes past the record; saves keep them as they are
};

// Reads stat.dat. A missing file is created with a zero record (a failure there is reported in
// CreateStatus, not as an error). A file that cannot be opened for reading and writing or is
// shorter than a record is an error whose message names the file; the program must not go on.
Result<LoadedStats> LoadStats(const QString& path);

// Replaces the record at the start of stat.dat atomically, keeping any bytes after it; creates
// the file when it has gone. On failure the file on disk is left as it was.
Status SaveStats(const QString& path, const TStatRecord& record);

// The full reset: both reserved leading integers, all ticket statuses and every counter and
// second go to 0; PrepPositions and the reserved integer at offset 168 keep their values.
// The caller clears the difficulty marks of the theme table and saves.
void ResetAllStats(TStatRecord& record);
// Ticket t (1..40): its status and the counters and seconds of its 20 questions go to 0.
void ResetTicketStats(TStatRecord& record, int ticket);
// Ticket t (1..40) learned: a ticket not done yet gets status 4; passed or failed stay.
void MarkTicketLearned(TStatRecord& record, int ticket);

// One answer or one second for question 1..800 in channel 0..2. Counters stop at 255 (their
// width on disk) and seconds at the int32 maximum; out-of-range arguments change nothing.
void CountRight(TStatRecord& record, int number, int channel);
void CountWrong(TStatRecord& record, int number, int channel);
void AddSecond(TStatRecord& record, int number, int channel);

} // namespace bil
