// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/file_set_journal.h"

#include "data/disk_steps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bil {

using namespace disk;

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

} // namespace

QByteArray CommitJournalText(const std::vector<Entry>& entries) {
    return JournalText(entries, StateCommit);
}

Status ApplyFileSet(std::vector<Entry>& entries, bool revert, bool closed, int journalFd) {
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
        ApplyFileSet(journal->Entries, journal->Revert, journal->Closed, fd);
    ::unlink(Encoded(path).constData());
    SyncDir(folder);
    ::close(fd);
    return Status::Ok();
}

} // namespace bil
