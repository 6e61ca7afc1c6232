#include "data/atomic_file.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace bil {

namespace {

// A temporary file of ours: the target's name, a dot and six letters or digits.
bool IsTemporaryName(const QString& name, const QString& target) {
    if (name.size() != target.size() + 7 || !name.startsWith(target) ||
        name.at(target.size()) != QLatin1Char('.'))
        return false;
    for (qsizetype i = target.size() + 1; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.unicode() > 127 || !c.isLetterOrNumber())
            return false;
    }
    return true;
}

} // namespace

void RemoveStaleTemporaries(const QString& path, qint64 olderThanSeconds) {
    const QFileInfo target(path);
    const QString name = target.fileName();
    QDir dir = target.absoluteDir();
    const QDateTime limit = QDateTime::currentDateTimeUtc().addSecs(-olderThanSeconds);
    const QFileInfoList entries =
        dir.entryInfoList({name + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries)
        if (IsTemporaryName(entry.fileName(), name) && entry.lastModified().toUTC() < limit)
            QFile::remove(entry.absoluteFilePath());
}

Status WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    // A save killed between naming its temporary file and the rename leaves that file behind.
    RemoveStaleTemporaries(path);
    QSaveFile file(path);
    // QSaveFile writes a temporary file beside the target, syncs it and renames it on commit.
    if (!file.open(QIODevice::WriteOnly))
        return Status::Error(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Status::Error(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(path), reason));
    }
    // A write cut short by a full disk can still report every byte as written; check what
    // reached the temporary file before it replaces the old one.
    if (!file.flush() || file.size() != bytes.size()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("записаны не все данные");
        file.cancelWriting();
        return Status::Error(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(path), reason));
    }
    if (!file.commit())
        return Status::Error(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    return Status::Ok();
}

} // namespace bil
