#include "data/atomic_file.h"

#include <QDir>
#include <QSaveFile>

namespace bil {

Status WriteFileAtomically(const QString& path, const QByteArray& bytes) {
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
