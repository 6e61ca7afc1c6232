// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/prints_file.h"

#include "data/file_commit.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace bil {

namespace {

const QByteArray Magic = QByteArrayLiteral("BILPRINT");
constexpr uint32_t Version = 1;
constexpr int KeyOffset = 12;
constexpr int PrintsOffset = KeyOffset + 8 + 8 + 32;
constexpr int CheckOffset = PrintsOffset + QuestionCount * 8;
static_assert(CheckOffset + 8 == PrintsFileSize);

void PutU64(QByteArray& out, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.append(char(uint8_t(value >> (8 * i))));
}

uint64_t GetU64(const QByteArray& in, int offset) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | uint8_t(in[offset + i]);
    return value;
}

QByteArray Check(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).left(8);
}

Status Unusable(const QString& why) {
    return Status::Error(QStringLiteral("Отпечатки вопросов не взяты из файла: ") + why);
}

} // namespace

QString PrintsFilePath(const QString& dbPath) {
    return dbPath + QStringLiteral(".prints");
}

Result<PrintsKey> PrintsKeyOf(const Database& db) {
    const QFileInfo info(db.DbPath());
    if (!db.isOpen() || !info.isFile())
        return Unusable(QStringLiteral("база не открыта"));
    PrintsKey key;
    key.FileSize = uint64_t(info.size());
    key.ModifiedMs = info.lastModified().toMSecsSinceEpoch();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QByteArray title = db.DbTitle().toUtf8();
    QByteArray shape;
    PutU64(shape, uint64_t(title.size()));
    shape += title;
    for (const TQuestionEntry& e : db.DbIndex())
        for (uint32_t v : {e.TextOffset, e.TextSize, e.PictureOffset, e.PictureSize})
            for (int i = 0; i < 4; ++i)
                shape.append(char(uint8_t(v >> (8 * i))));
    hash.addData(shape);
    const QByteArray digest = hash.result();
    std::copy(digest.begin(), digest.end(), key.Shape.begin());
    return key;
}

QByteArray SerializePrints(const PrintsKey& key, const QuestionPrints& prints) {
    QByteArray out = Magic;
    out.reserve(PrintsFileSize);
    for (int i = 0; i < 4; ++i)
        out.append(char(uint8_t(Version >> (8 * i))));
    PutU64(out, key.FileSize);
    PutU64(out, uint64_t(key.ModifiedMs));
    out.append(reinterpret_cast<const char*>(key.Shape.data()), qsizetype(key.Shape.size()));
    for (const Fingerprint p : prints)
        PutU64(out, p);
    out += Check(out);
    return out;
}

Result<QuestionPrints> ParsePrints(const QByteArray& bytes, const PrintsKey& key) {
    if (bytes.size() != PrintsFileSize || !bytes.startsWith(Magic))
        return Unusable(QStringLiteral("не тот размер или заголовок"));
    if (Check(QByteArrayView(bytes).first(CheckOffset)) != bytes.mid(CheckOffset))
        return Unusable(QStringLiteral("файл повреждён"));
    if (uint8_t(bytes[8]) != Version || bytes[9] || bytes[10] || bytes[11])
        return Unusable(QStringLiteral("другая версия"));
    PrintsKey stored;
    stored.FileSize = GetU64(bytes, KeyOffset);
    stored.ModifiedMs = int64_t(GetU64(bytes, KeyOffset + 8));
    std::copy(bytes.begin() + KeyOffset + 16, bytes.begin() + PrintsOffset, stored.Shape.begin());
    if (!(stored == key))
        return Unusable(QStringLiteral("сделан для другой базы"));
    QuestionPrints prints{};
    for (int n = 0; n < QuestionCount; ++n)
        prints[n] = GetU64(bytes, PrintsOffset + 8 * n);
    return prints;
}

Result<QuestionPrints> ReadPrintsFile(const Database& db) {
    Result<PrintsKey> key = PrintsKeyOf(db);
    if (!key)
        return key.status();
    QFile file(PrintsFilePath(db.DbPath()));
    if (!file.open(QIODevice::ReadOnly))
        return Unusable(QStringLiteral("нет файла"));
    // Anything bigger is not ours; it is not read.
    if (file.size() != PrintsFileSize)
        return Unusable(QStringLiteral("не тот размер или заголовок"));
    return ParsePrints(file.readAll(), *key);
}

Status WritePrintsFile(const Database& db, const QuestionPrints& prints) {
    Result<PrintsKey> key = PrintsKeyOf(db);
    if (!key)
        return key.status();
    return WriteFileAtomically(PrintsFilePath(db.DbPath()), SerializePrints(*key, prints));
}

} // namespace bil
