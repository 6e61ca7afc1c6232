#include "data/atomic_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace bil {

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Sibling names of a replacement in progress: ".help.new-XXXXXX" and ".help.old-XXXXXX".
QString NewPattern(const QString& name) {
    return QLatin1Char('.') + name + QStringLiteral(".new-");
}
QString OldPattern(const QString& name) {
    return QLatin1Char('.') + name + QStringLiteral(".old-");
}

// A killed replacement leaves its fresh folder, or (between the two renames of the fallback)
// the old folder under its parked name with no target at all: give that one its name back.
void ClearLeftovers(const QDir& parent, const QString& name) {
    const QDateTime limit = QDateTime::currentDateTimeUtc().addSecs(-60);
    const bool targetThere = QFileInfo(parent.filePath(name)).exists();
    const QFileInfoList parked = parent.entryInfoList({OldPattern(name) + QStringLiteral("*")},
                                                      QDir::Dirs | QDir::Hidden, QDir::Time);
    bool restored = targetThere;
    for (const QFileInfo& old : parked) {
        if (!restored && QDir().rename(old.absoluteFilePath(), parent.filePath(name))) {
            restored = true;
            continue;
        }
        if (old.lastModified().toUTC() < limit)
            QDir(old.absoluteFilePath()).removeRecursively();
    }
    const QFileInfoList fresh =
        parent.entryInfoList({NewPattern(name) + QStringLiteral("*")}, QDir::Dirs | QDir::Hidden);
    for (const QFileInfo& dir : fresh)
        if (dir.lastModified().toUTC() < limit)
            QDir(dir.absoluteFilePath()).removeRecursively();
}

// Flushes everything written under `folder` (one call for the whole file system, which is far
// quicker than syncing hundreds of small files one by one).
bool SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

Status WriteWholeFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return Status::Error(
            QStringLiteral("Не удалось создать папку %1").arg(Native(info.absolutePath())));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Status::Error(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(Native(path), file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("записаны не все данные");
        return Status::Error(
            QStringLiteral("Не удалось записать файл %1: %2").arg(Native(path), reason));
    }
    return Status::Ok();
}

FolderReplacement::FolderReplacement(QString target, FolderSwap swap)
    : m_target(std::move(target)), m_swap(swap) {}

FolderReplacement::~FolderReplacement() = default;

Status FolderReplacement::prepare(const std::function<Status(const QString&)>& fill) {
    m_fresh.reset();
    const QFileInfo info(m_target);
    const QString name = info.fileName();
    const QString parentPath = info.absolutePath();
    if (name.isEmpty() || !QDir().mkpath(parentPath))
        return Status::Error(QStringLiteral("Не удалось создать папку %1").arg(Native(parentPath)));
    const QDir parent(parentPath);
    ClearLeftovers(parent, name);

    auto fresh = std::make_unique<QTemporaryDir>(
        parent.filePath(NewPattern(name) + QStringLiteral("XXXXXX")));
    if (!fresh->isValid())
        return Status::Error(QStringLiteral("Не удалось создать папку в %1: %2")
                                 .arg(Native(parentPath), fresh->errorString()));
    if (Status filled = fill(fresh->path()); !filled)
        return filled;
    if (!SyncFolder(fresh->path()))
        return Status::Error(QStringLiteral("Не удалось записать папку %1: %2")
                                 .arg(Native(parent.filePath(name)), SystemError()));
    m_fresh = std::move(fresh);
    return Status::Ok();
}

Status FolderReplacement::commit() {
    if (!m_fresh)
        return Status::Error(QStringLiteral("Папка %1 не подготовлена").arg(Native(m_target)));
    const QFileInfo info(m_target);
    const QDir parent(info.absolutePath());
    const QString name = info.fileName();
    const QString targetPath = parent.filePath(name);
    const QByteArray from = QFile::encodeName(m_fresh->path());
    const QByteArray to = QFile::encodeName(targetPath);
    const QFileInfo old(targetPath);
    if (!old.exists() && !old.isSymLink()) {
        if (std::rename(from.constData(), to.constData()) != 0)
            return Status::Error(QStringLiteral("Не удалось записать папку %1: %2")
                                     .arg(Native(targetPath), SystemError()));
        m_fresh->setAutoRemove(false);
        m_fresh.reset();
        return Status::Ok();
    }
    if (!old.isDir())
        return Status::Error(
            QStringLiteral("%1 — не папка; она не заменена").arg(Native(targetPath)));

    // The exchange swaps both names at once: there is no moment without a whole folder.
    if (m_swap == FolderSwap::Exchange &&
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        m_fresh.reset(); // it names the old folder now and goes with it
        return Status::Ok();
    }

    // Park the old folder, move the new one in, put the old one back if that fails.
    QTemporaryDir parkedName(parent.filePath(OldPattern(name) + QStringLiteral("XXXXXX")));
    if (!parkedName.isValid())
        return Status::Error(QStringLiteral("Не удалось создать папку в %1: %2")
                                 .arg(Native(parent.path()), parkedName.errorString()));
    const QString parkedPath = parkedName.path();
    parkedName.remove();
    const QByteArray parked = QFile::encodeName(parkedPath);
    if (std::rename(to.constData(), parked.constData()) != 0)
        return Status::Error(QStringLiteral("Не удалось заменить папку %1: %2")
                                 .arg(Native(targetPath), SystemError()));
    if (std::rename(from.constData(), to.constData()) != 0) {
        const QString reason = SystemError();
        std::rename(parked.constData(), to.constData());
        return Status::Error(
            QStringLiteral("Не удалось заменить папку %1: %2").arg(Native(targetPath), reason));
    }
    m_fresh->setAutoRemove(false);
    m_fresh.reset();
    QDir(parkedPath).removeRecursively();
    return Status::Ok();
}

Status ReplaceFolder(const QString& target, const std::function<Status(const QString&)>& fill,
                     FolderSwap swap) {
    FolderReplacement replacement(target, swap);
    if (Status prepared = replacement.prepare(fill); !prepared)
        return prepared;
    return replacement.commit();
}

} // namespace bil
