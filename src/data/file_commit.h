// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every file the program writes goes through here: a new content is written beside its target
// under a temporary name, flushed to disk, and renamed over the target, so a crash leaves the
// whole old or the whole new file. Several files and folders replaced together (the two
// databases and the help pack, the stores of a restored progress file) are a FileSet: a small
// journal beside them, flushed before the first rename, lets the next start finish or undo the
// set when the program was killed between two renames.
//
//     FileSet set;
//     set.addFile(dir + "/dataAB.dbv", ab);             // written and flushed, nothing replaced
//     set.addFolder(dir + "/help", writePages, true);   // optional: may fail alone
//     Status done = set.commit();                       // all required ones, or none of them

#include "data/status.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace bil {

// The one wording of a failed write. `error` is an errno value: a full disk says
// "Недостаточно места на диске" with the folder, other reasons are said in Russian.
Status WriteError(const QString& path, int error);
// "Не удалось записать файл <path>: <reason>".
Status WriteError(const QString& path, const QString& reason);
// The same for a new file that could not take the old one's place ("Не удалось заменить файл").
Status ReplaceError(const QString& path, int error);

// What the module does on disk, for tests that make one step fail or crash.
enum class DiskStep { CreateTemp, Write, Sync, Link, Journal, Rename };
// Called before each step with the path it concerns: 0 lets it run, an errno value makes it
// fail with that error. Only tests set one; empty removes it.
using DiskFaultHook = std::function<int(DiskStep step, const QString& path)>;
void SetDiskFaultHook(DiskFaultHook hook);

// Replaces the file with the given bytes (creating it when missing): a temporary file in the
// same folder, flushed to disk, renamed over it. On failure the old file is untouched and no
// temporary file is left. A new file gets the user's usual mode, a replaced one keeps its mode.
Status WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Writes a whole file into a folder not yet in use (creating its folders), checking that every
// byte reached it; the caller flushes the folder as a whole.
Status WriteWholeFile(const QString& path, const QByteArray& bytes);

// Files and folders replaced together. Nothing the targets hold changes before commit(); what
// was staged and not committed is removed with the object. Staging may run on several threads.
class FileSet {
public:
    // The journal lies in `journalFolder`; empty: the folder of the first target staged.
    explicit FileSet(QString journalFolder = QString());
    ~FileSet();
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    // Writes the bytes to a temporary file beside `target` and flushes it; returns the entry.
    Result<int> addFile(const QString& target, const QByteArray& bytes, bool optional = false);
    // Has `fill` write the new content into a fresh folder beside `target`, flushes it; returns
    // the entry. A file standing where the folder goes is refused here, before any rename.
    Result<int> addFolder(const QString& target, const std::function<Status(const QString&)>& fill,
                          bool optional = false);
    // Where the entry's new content lies until the commit (to check it first).
    QString stagedPath(int entry) const;

    // Puts every entry in place. The required entries take their places all or none; an optional
    // one that cannot is put back alone, its reason in outcome(). Returns the required part's.
    Status commit();
    // How the entry's commit went.
    Status outcome(int entry) const;
    // Entries staged so far.
    int size() const;

    // One staged file or folder (its layout is the module's own).
    struct Entry;

private:
    Status writeJournal(const QString& path, int fd) const;
    std::vector<Entry> m_entries;
    QString m_journalFolder;
    mutable std::mutex m_lock;
    bool m_committed = false;
};

// Replaces the folder `target` as a whole with what `fill` writes; on failure the old folder is
// untouched and the fresh one removed.
Status ReplaceFolder(const QString& target, const std::function<Status(const QString&)>& fill);

// The journal's name in its folder.
inline const QString FileSetJournalName = QStringLiteral(".biletoria-commit");

// Finishes the set whose journal lies in `folder` (a commit killed between its renames), or
// undoes it when it was being undone or a member can no longer take its place; leaves alone a
// journal another running copy holds. Ok when there was none.
Status RecoverFileSets(const QString& folder);

// Removes what killed writes left in `folder` beside the named targets and is older than a
// minute at `now` (younger ones may belong to a write still running in another copy): temporary
// files "<name>.XXXXXX" and "<name>.previous", folders ".<name>.new-*" and ".<name>.old-*". A
// parked old folder whose target is missing gets its name back instead. Nothing is removed
// while a journal waits in the folder.
void RemoveStaleLeftovers(const QString& folder, const QStringList& names, const QDateTime& now);

} // namespace bil
