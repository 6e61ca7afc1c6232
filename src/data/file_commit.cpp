// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/file_commit.h"

#include "data/disk_steps.h"
#include "data/file_set_journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bil {

using namespace disk;

namespace {

// A temporary file of ours beside `target`: its name, a dot and six letters or digits.
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

// Writes a flushed temporary file beside `target` (mode: the target's, else the user's usual
// one); returns its path, or the error naming the target.
Result<QString> StageFile(const QString& target, const QByteArray& bytes) {
    int fd = -1;
    QString temp;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp = target + QLatin1Char('.') + RandomSuffix();
        if (int e = Injected(DiskStep::CreateTemp, temp))
            return WriteError(target, e);
        // 0666: the umask makes it the user's usual mode.
        fd = ::open(Encoded(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100))
            return WriteError(target, errno);
    }
    struct stat old {};
    int error = 0;
    if (::stat(Encoded(target).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    error = WriteAll(fd, bytes, target);
    if (!error)
        error = Injected(DiskStep::Sync, target);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error) {
        ::unlink(Encoded(temp).constData());
        return WriteError(target, error);
    }
    return temp;
}

// Removes temporary files of earlier writes of `path` that were killed before they finished.
void RemoveStaleTemporaries(const QString& path, const QDateTime& limit) {
    const QFileInfo target(path);
    const QString name = target.fileName();
    const QDir dir = target.absoluteDir();
    const QFileInfoList entries =
        dir.entryInfoList({name + QStringLiteral(".??????"), name + QStringLiteral(".previous")},
                          QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries)
        if ((IsTemporaryName(entry.fileName(), name) ||
             entry.fileName() == name + QStringLiteral(".previous")) &&
            entry.lastModified().toUTC() < limit)
            QFile::remove(entry.absoluteFilePath());
}

QDateTime StaleLimit(const QDateTime& now) {
    return now.addSecs(-60);
}

// A link is followed: the file it names is replaced, the link stays.
QString Resolved(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
}

} // namespace

Status WriteFileAtomically(const QString& given, const QByteArray& bytes) {
    const QString path = Resolved(given);
    // A write killed between naming its temporary file and the rename leaves that file behind.
    RemoveStaleTemporaries(path, StaleLimit(QDateTime::currentDateTimeUtc()));
    Result<QString> temp = StageFile(path, bytes);
    if (!temp)
        return temp.status();
    if (int e = Rename(*temp, path)) {
        ::unlink(Encoded(*temp).constData());
        return ReplaceError(path, e);
    }
    SyncDir(QFileInfo(path).absolutePath());
    return Status::Ok();
}

Status WriteWholeFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return Status::Error(
            QStringLiteral("Не удалось создать папку %1").arg(Native(info.absolutePath())));
    int error = Injected(DiskStep::CreateTemp, path);
    const int fd =
        error ? -1
              : ::open(Encoded(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return WriteError(path, error ? error : errno);
    error = WriteAll(fd, bytes, path);
    if (::close(fd) != 0 && !error)
        error = errno;
    return error ? WriteError(path, error) : Status::Ok();
}

FileSet::FileSet(QString journalFolder) : m_journalFolder(std::move(journalFolder)) {}

FileSet::~FileSet() {
    if (m_committed)
        return;
    for (const Entry& e : m_entries) {
        if (e.Folder)
            QDir(e.Staged).removeRecursively();
        else
            ::unlink(Encoded(e.Staged).constData());
    }
}

Result<int> FileSet::addFile(const QString& target, const QByteArray& bytes, bool optional) {
    const QString absolute = Resolved(target);
    RemoveStaleTemporaries(absolute, StaleLimit(QDateTime::currentDateTimeUtc()));
    Result<QString> staged = StageFile(absolute, bytes);
    if (!staged)
        return staged.status();
    const std::lock_guard<std::mutex> lock(m_lock);
    Entry e;
    e.Target = absolute;
    e.Staged = *staged;
    e.Optional = optional;
    m_entries.push_back(std::move(e));
    return int(m_entries.size() - 1);
}

Result<int> FileSet::addFolder(const QString& target,
                               const std::function<Status(const QString&)>& fill, bool optional) {
    const QFileInfo info(target);
    const QString name = info.fileName();
    const QString parent = info.absolutePath();
    const QString absolute = info.absoluteFilePath();
    if (name.isEmpty() || !QDir().mkpath(parent))
        return Status::Error(QStringLiteral("Не удалось создать папку %1").arg(Native(parent)));
    if (info.exists() && !info.isDir())
        return Status::Error(
            QStringLiteral("%1 — не папка; она не заменена").arg(Native(absolute)));
    RemoveStaleLeftovers(parent, {name}, QDateTime::currentDateTimeUtc());

    QString fresh;
    for (int attempt = 0; fresh.isEmpty(); ++attempt) {
        const QString candidate =
            parent + QStringLiteral("/.") + name + QStringLiteral(".new-") + RandomSuffix();
        if (int e = Injected(DiskStep::CreateTemp, candidate))
            return WriteError(absolute, e);
        // 0777: the umask makes it the user's usual mode.
        if (::mkdir(Encoded(candidate).constData(), 0777) == 0)
            fresh = candidate;
        else if (errno != EEXIST || attempt > 100)
            return Status::Error(QStringLiteral("Не удалось создать папку в %1: %2")
                                     .arg(Native(parent), Reason(errno)));
    }
    Status filled = fill(fresh);
    if (filled) {
        if (int e = SyncTree(fresh))
            filled = WriteError(absolute, e);
    }
    if (!filled) {
        QDir(fresh).removeRecursively();
        return filled;
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    Entry e;
    e.Folder = true;
    e.Optional = optional;
    e.Target = absolute;
    e.Staged = fresh;
    e.Saved = parent + QStringLiteral("/.") + name + QStringLiteral(".old-") + RandomSuffix();
    m_entries.push_back(std::move(e));
    return int(m_entries.size() - 1);
}

QString FileSet::stagedPath(int entry) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_entries.at(size_t(entry)).Staged;
}

Status FileSet::outcome(int entry) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_entries.at(size_t(entry)).Outcome;
}

int FileSet::size() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return int(m_entries.size());
}

Status FileSet::writeJournal(const QString& path, int fd) const {
    if (int e = Injected(DiskStep::Journal, path))
        return WriteError(path, e);
    const QByteArray text = CommitJournalText(m_entries);
    if (int e = WriteAll(fd, text, path))
        return WriteError(path, e);
    if (::fsync(fd) != 0)
        return WriteError(path, errno);
    if (!SyncDir(QFileInfo(path).absolutePath()))
        return WriteError(path, errno);
    return Status::Ok();
}

Status FileSet::commit() {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_entries.empty() || m_committed)
        return Status::Ok();
    QString folder = m_journalFolder;
    if (folder.isEmpty())
        folder = QFileInfo(m_entries.front().Target).absolutePath();
    const QString journalPath = QDir(folder).filePath(FileSetJournalName);

    // A journal left by a killed commit is finished first; one held by a running copy is not.
    if (Status recovered = RecoverFileSets(folder); !recovered)
        return recovered;
    const int fd =
        ::open(Encoded(journalPath).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? Status::Error(QStringLiteral("Файлы в папке %1 сейчас записывает "
                                                              "другая копия программы; повторите "
                                                              "позже.")
                                                   .arg(Native(folder)))
                               : WriteError(journalPath, errno);
    ::flock(fd, LOCK_EX);
    const auto dropJournal = [&] {
        ::unlink(Encoded(journalPath).constData());
        SyncDir(folder);
        ::close(fd);
    };

    // The old files keep a second name until the set is through: a link costs no copy.
    for (Entry& e : m_entries) {
        if (e.Folder || !QFileInfo(e.Target).isFile())
            continue;
        int error = EEXIST;
        // A name taken (a leftover of a killed commit, not yet old enough to be removed) is
        // no failure: another name is drawn.
        for (int attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
            e.Saved = e.Target + QLatin1Char('.') + RandomSuffix();
            error = Injected(DiskStep::Link, e.Saved);
            if (!error && ::link(Encoded(e.Target).constData(), Encoded(e.Saved).constData()) != 0)
                error = errno;
        }
        if (error == EPERM || error == EXDEV || error == EOPNOTSUPP || error == EMLINK)
            error = QFile::copy(e.Target, e.Saved) ? 0 : EIO; // a file system without links
        if (error) {
            for (Entry& done : m_entries)
                if (!done.Folder && !done.Saved.isEmpty() && &done != &e)
                    ::unlink(Encoded(done.Saved).constData());
            e.Saved.clear();
            dropJournal();
            return WriteError(e.Target, error);
        }
    }
    if (Status written = writeJournal(journalPath, fd); !written) {
        for (Entry& e : m_entries)
            if (!e.Folder && !e.Saved.isEmpty())
                ::unlink(Encoded(e.Saved).constData());
        dropJournal();
        return written;
    }
    m_committed = true;
    const Status done = ApplyFileSet(m_entries, false, false, fd);
    dropJournal();
    return done;
}

Status ReplaceFolder(const QString& target, const std::function<Status(const QString&)>& fill) {
    FileSet set;
    if (Result<int> added = set.addFolder(target, fill); !added)
        return added.status();
    return set.commit();
}

void RemoveStaleLeftovers(const QString& folder, const QStringList& names, const QDateTime& now) {
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(FileSetJournalName)))
        return;
    const QDateTime limit = StaleLimit(now);
    for (const QString& name : names) {
        RemoveStaleTemporaries(dir.filePath(name), limit);
        const QString hidden = QLatin1Char('.') + name;
        const bool targetThere = Exists(dir.filePath(name));
        bool restored = targetThere;
        const QFileInfoList parked = dir.entryInfoList({hidden + QStringLiteral(".old-*")},
                                                       QDir::Dirs | QDir::Hidden, QDir::Time);
        for (const QFileInfo& old : parked) {
            if (!restored && Rename(old.absoluteFilePath(), dir.filePath(name)) == 0) {
                restored = true;
                continue;
            }
            if (old.lastModified().toUTC() < limit)
                QDir(old.absoluteFilePath()).removeRecursively();
        }
        const QFileInfoList fresh =
            dir.entryInfoList({hidden + QStringLiteral(".new-*")}, QDir::Dirs | QDir::Hidden);
        for (const QFileInfo& f : fresh)
            if (f.lastModified().toUTC() < limit)
                QDir(f.absoluteFilePath()).removeRecursively();
    }
}

} // namespace bil
