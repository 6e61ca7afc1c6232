// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/file_commit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bil {

namespace {

DiskFaultHook& Hook() {
    static DiskFaultHook hook;
    return hook;
}

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

// --- Sets of files --------------------------------------------------------------------------

struct FileSet::Entry {
    bool Folder = false;
    bool Optional = false;
    QString Target;
    QString Staged; // the new content until it takes the target's place
    QString Saved;  // the old content kept until the set is through; empty: none (files)
    Status Outcome = Status::Ok();
};

namespace {

using Entry = FileSet::Entry;

constexpr char JournalHeader[] = "biletoria-commit 1\n";
// The state line, rewritten in place (all three are as long): put in place, being undone, or
// every rename through and only leftovers to drop.
constexpr char StateCommit[] = "commit";
constexpr char StateRevert[] = "revert";
constexpr char StateClosed[] = "closed";

// Puts one entry's new content in place; repeating it after a crash finishes what was begun.
int Forward(const Entry& e) {
    if (!Exists(e.Staged))
        return 0; // already in place
    if (e.Folder) {
        struct stat st {};
        if (::lstat(Encoded(e.Target).constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return ENOTDIR;
            if (int error = Rename(e.Target, e.Saved))
                return error;
        }
    }
    return Rename(e.Staged, e.Target);
}

// Gives one entry its old content back, whether or not its new one had taken its place.
// Nothing is deleted here, so that repeating it after a crash finds the same names: while the
// staged name exists, the new content is not in place.
void Revert(const Entry& e) {
    if (Exists(e.Staged)) { // the new content never took its place, or was taken out again
        if (e.Folder && !Exists(e.Target) && Exists(e.Saved))
            Rename(e.Saved, e.Target);
        return;
    }
    if (e.Folder) {
        if (Exists(e.Target) && Rename(e.Target, e.Staged) != 0)
            return;
        if (Exists(e.Saved))
            Rename(e.Saved, e.Target);
    } else if (e.Saved.isEmpty()) {
        ::unlink(Encoded(e.Target).constData()); // there was no old file
    } else if (Exists(e.Saved)) {
        Rename(e.Saved, e.Target);
    }
}

// Once every rename is through, what is left under a staged or saved name is not needed.
void DropLeftovers(const Entry& e) {
    for (const QString& path : {e.Staged, e.Saved}) {
        if (path.isEmpty() || !Exists(path))
            continue;
        if (e.Folder)
            QDir(path).removeRecursively();
        else
            ::unlink(Encoded(path).constData());
    }
}

QByteArray Field(const QString& path) {
    return path.isEmpty() ? QByteArray("-") : QUrl::toPercentEncoding(path, "/");
}

QString PathField(const QByteArray& field) {
    return field == "-" ? QString() : QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

QByteArray JournalText(const std::vector<Entry>& entries, const char* state) {
    QByteArray text = JournalHeader;
    text += state;
    text += '\n';
    for (const Entry& e : entries) {
        text += e.Folder ? "folder\t" : "file\t";
        text += e.Optional ? "optional\t" : "required\t";
        text += Field(e.Target) + '\t' + Field(e.Staged) + '\t' + Field(e.Saved) + '\n';
    }
    text += "end\n";
    return text;
}

struct Journal {
    bool Revert = false;
    bool Closed = false;
    std::vector<Entry> Entries;
};

// A journal cut short was never acted on (it is flushed before the first rename): nullopt.
std::optional<Journal> ParseJournal(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 4 || lines[0] + '\n' != JournalHeader || lines.last() != "" ||
        lines[lines.size() - 2] != "end")
        return std::nullopt;
    Journal journal;
    if (lines[1] == StateRevert)
        journal.Revert = true;
    else if (lines[1] == StateClosed)
        journal.Closed = true;
    else if (lines[1] != StateCommit)
        return std::nullopt;
    for (qsizetype i = 2; i < lines.size() - 2; ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        if (fields.size() != 5 || (fields[0] != "file" && fields[0] != "folder") ||
            (fields[1] != "required" && fields[1] != "optional"))
            return std::nullopt;
        Entry e;
        e.Folder = fields[0] == "folder";
        e.Optional = fields[1] == "optional";
        e.Target = PathField(fields[2]);
        e.Staged = PathField(fields[3]);
        e.Saved = PathField(fields[4]);
        if (!QDir::isAbsolutePath(e.Target) || !QDir::isAbsolutePath(e.Staged) ||
            (e.Folder && e.Saved.isEmpty()))
            return std::nullopt;
        journal.Entries.push_back(std::move(e));
    }
    return journal;
}

// Sets the journal's state line in place, flushed before what it announces begins.
void MarkState(int fd, const char* state) {
    if (::pwrite(fd, state, std::strlen(state), off_t(std::strlen(JournalHeader))) > 0)
        ::fsync(fd);
}

// Runs the set described by the journal to its end: forward (required entries first, an
// optional one failing is undone alone), or undone when the journal says so or a required
// entry fails. Returns the first required failure; optional failures go into the entries.
Status Apply(std::vector<Entry>& entries, bool revert, bool closed, int journalFd) {
    Status result = Status::Ok();
    if (!revert && !closed) {
        for (bool optional : {false, true}) {
            for (Entry& e : entries) {
                if (e.Optional != optional)
                    continue;
                const int error = Forward(e);
                if (!error)
                    continue;
                const Status failed =
                    e.Folder && error == ENOTDIR
                        ? Status::Error(QStringLiteral("%1 — не папка; она не заменена")
                                            .arg(Native(e.Target)))
                        : ReplaceError(e.Target, error);
                if (optional) {
                    Revert(e);
                    e.Outcome = failed;
                    continue;
                }
                result = failed;
                revert = true;
                MarkState(journalFd, StateRevert);
                break;
            }
            if (revert)
                break;
        }
    }
    if (revert && !closed)
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            Revert(*it);
            it->Outcome = result ? Status::Error(QStringLiteral("Запись файлов отменена")) : result;
        }
    for (const Entry& e : entries)
        SyncDir(QFileInfo(e.Target).absolutePath());
    MarkState(journalFd, StateClosed);
    for (const Entry& e : entries)
        DropLeftovers(e);
    return result;
}

} // namespace

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
    const QByteArray text = JournalText(m_entries, StateCommit);
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
    const Status done = Apply(m_entries, false, false, fd);
    dropJournal();
    return done;
}

Status ReplaceFolder(const QString& target, const std::function<Status(const QString&)>& fill) {
    FileSet set;
    if (Result<int> added = set.addFolder(target, fill); !added)
        return added.status();
    return set.commit();
}

Status RecoverFileSets(const QString& folder) {
    const QString path = QDir(folder).filePath(FileSetJournalName);
    const int fd = ::open(Encoded(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Status::Ok();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Status::Ok(); // a commit running in another copy of the program
    }
    QFile file;
    QByteArray text;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        text = file.read(1 << 20);
    file.close();
    // Finished or undone, the set is whole either way.
    if (std::optional<Journal> journal = ParseJournal(text))
        Apply(journal->Entries, journal->Revert, journal->Closed, fd);
    ::unlink(Encoded(path).constData());
    SyncDir(folder);
    ::close(fd);
    return Status::Ok();
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
