// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database.h"
#include "data/fingerprint.h"
#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace bil {

// Computing the prints reads every picture of a database (about 22 MB); a small file beside it
// keeps them for the next start. It is valid only for the database file it was made from: the
// same size, modification time, title and index.
struct PrintsKey {
    uint64_t FileSize = 0;
    int64_t ModifiedMs = 0;          // since the epoch, UTC
    std::array<uint8_t, 32> Shape{}; // SHA-256 of the title and the 800 index entries
    bool operator==(const PrintsKey&) const = default;
};

constexpr int PrintsFileSize = 6468;

// "<database>.prints".
QString PrintsFilePath(const QString& dbPath);

// The key of the database as it is open now (its file is looked at again for size and time).
Result<PrintsKey> PrintsKeyOf(const Database& db);

QByteArray SerializePrints(const PrintsKey& key, const QuestionPrints& prints);
// The prints when the bytes are a whole, undamaged prints file made for that key.
Result<QuestionPrints> ParsePrints(const QByteArray& bytes, const PrintsKey& key);

// The cached prints of db, or why there are none (no file, another database, damaged).
Result<QuestionPrints> ReadPrintsFile(const Database& db);
// Writes the cache beside db; a failure (a read-only folder) only costs time at the next start.
Status WritePrintsFile(const Database& db, const QuestionPrints& prints);

} // namespace bil
