// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/disk_steps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bil {

namespace {

DiskFaultHook& Hook() {
    static DiskFaultHook hook;
    return hook;
}

} // namespace

namespace disk {

// 0 or the errno value a test injects at this step.
int Injected(DiskStep step, const QString& path) {
    const DiskFaultHook& hook = Hook();
    return hook ? hook(step, path) : 0;
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QByteArray Encoded(const QString& path) {
    return QFile::encodeName(path);
}

QString Reason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case ENOENT:
        return QStringLiteral("нет такой папки");
    case ENOTDIR:
        return QStringLiteral("на пути к нему стоит файл, а не папка");
    case EISDIR:
        return QStringLiteral("на его месте папка");
    case EFBIG:
        return QStringLiteral("файл больше, чем разрешено записывать");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Six letters or digits for a temporary name.
QString RandomSuffix() {
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(Letters[QRandomGenerator::global()->bounded(62)]);
    return suffix;
}

bool Exists(const QString& path) {
    struct stat st {};
    return ::lstat(Encoded(path).constData(), &st) == 0;
}

// fsync of a folder, so that the renames in it reach the disk.
bool SyncDir(const QString& folder) {
    const int fd = ::open(Encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Flushes everything written under `folder` (one call for the whole file system, far quicker
// than syncing hundreds of small files one by one).
int SyncTree(const QString& folder) {
    if (int e = Injected(DiskStep::Sync, folder))
        return e;
    const int fd = ::open(Encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

int Rename(const QString& from, const QString& to) {
    if (int e = Injected(DiskStep::Rename, to))
        return e;
    return std::rename(Encoded(from).constData(), Encoded(to).constData()) == 0 ? 0 : errno;
}

// Writes all bytes to fd; 0 or the errno value.
int WriteAll(int fd, const QByteArray& bytes, const QString& path) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (int e = Injected(DiskStep::Write, path))
            return e;
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

} // namespace disk

using namespace disk;

void SetDiskFaultHook(DiskFaultHook hook) {
    Hook() = std::move(hook);
}

namespace {

bool DiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

Status DiskFullError(const QString& path) {
    return Status::Error(
        QStringLiteral("Недостаточно места на диске: не удалось записать файл %1 в папку %2.")
            .arg(QFileInfo(path).fileName(), Native(QFileInfo(path).absolutePath())));
}

} // namespace

Status WriteError(const QString& path, int error) {
    return DiskFull(error) ? DiskFullError(path) : WriteError(path, Reason(error));
}

Status ReplaceError(const QString& path, int error) {
    if (DiskFull(error))
        return DiskFullError(path);
    return Status::Error(
        QStringLiteral("Не удалось заменить файл %1: %2").arg(Native(path), Reason(error)));
}

Status WriteError(const QString& path, const QString& reason) {
    return Status::Error(
        QStringLiteral("Не удалось записать файл %1: %2").arg(Native(path), reason));
}

} // namespace bil
