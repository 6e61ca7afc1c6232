// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Opening the open question data set wherever the learner has it: a folder, a .zip or .tar.gz
// archive of it (with or without one top folder), or the http(s) address of such an archive.
//
//     CancelFlag cancel;                       // set from any thread to stop at once
//     DataSetSourceOptions options;
//     options.Cancel = &cancel;
//     options.Progress = [](const SourceProgress& p) { ... };   // called on the calling thread
//     Result<DataSetRoot> root = OpenDataSetSource(source, options);
//     if (!root) show(root.error());           // a Russian message for the learner
//     else read(root->path() + "/questions/A_B/tickets"), root->path() + "/signs", ...
//
// Archives and downloads go to a temporary folder only; it is removed when the DataSetRoot
// goes away, so keep the object alive while reading. A folder source is used in place.
// Runs synchronously on the calling thread (a download runs a local event loop there, so
// that thread needs no event loop of its own, but a QCoreApplication must exist).

#include "data/status.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QTemporaryDir;

namespace bil {

class Clock;

// Set to true from any thread to stop the work in progress; the work then fails with
// DataSetCancelledMessage.
using CancelFlag = std::atomic<bool>;

inline const QString DataSetCancelledMessage = QStringLiteral("Загрузка отменена.");

// Where opening a source has got to. Total is -1 when unknown (a server sending no length).
struct SourceProgress {
    enum class Stage { Download, Unpack };
    Stage Phase = Stage::Download;
    qint64 Done = 0;   // bytes received, or archive bytes unpacked
    qint64 Total = -1; // bytes expected, or archive size
};

struct DataSetSourceOptions {
    qint64 MaxDownloadBytes = 300LL * 1024 * 1024;
    // Unpacked bytes and entries allowed: about ten times the real data set, so that a small
    // archive cannot fill the disk.
    qint64 MaxUnpackedBytes = 512LL * 1024 * 1024;
    qint64 MaxEntries = 20000;
    // A download receiving fewer than MinBytesPerWindow within any SlowWindowMs fails.
    int64_t SlowWindowMs = 30000;
    qint64 MinBytesPerWindow = 64 * 1024;
    // The clock of that window; null: the system clock.
    const Clock* WindowClock = nullptr;
    // Parent of the temporary folder; empty: the system's temporary folder.
    QString TempParent;
    std::function<void(const SourceProgress&)> Progress; // optional
    const CancelFlag* Cancel = nullptr;                  // optional
};

// The data set's root folder: it holds questions/, images/, signs/, markup/, penalties/.
// Owns the temporary folder an archive was unpacked into and removes it on destruction.
class DataSetRoot {
public:
    DataSetRoot(QString path, std::unique_ptr<QTemporaryDir> temp);
    DataSetRoot(DataSetRoot&&) noexcept;
    DataSetRoot& operator=(DataSetRoot&&) noexcept;
    ~DataSetRoot();

    const QString& path() const { return m_path; }
    // True when the root lies in a temporary folder of ours (archive or download).
    bool unpacked() const { return m_temp != nullptr; }

private:
    QString m_path;
    std::unique_ptr<QTemporaryDir> m_temp;
};

// What kind of source a string names, by its form alone (no file is read).
enum class SourceKind { Folder, Archive, Url };
SourceKind ClassifySource(const QString& source);

// Opens a folder, an archive file or an http(s) address of an archive.
Result<DataSetRoot> OpenDataSetSource(const QString& source, const DataSetSourceOptions& options);

// Unpacks a .zip or .tar(.gz/.bz2/.xz/.zst) archive into the empty folder `into`, with
// libarchive's own decompressors only (never an outside program). Refuses the whole archive on
// an entry whose path leaves it (absolute, ".."), two entries of the same name, a tar cut short
// (no end-of-archive blocks), or past the size and entry limits (a declared size counts before
// any byte is written); links and devices are skipped. Never writes outside `into`. Messages name
// the archive as shownName when given.
Status UnpackArchive(const QString& archivePath, const QString& into,
                     const DataSetSourceOptions& options, const QString& shownName = QString());

// The data set root in a folder: the folder itself when it holds questions/, else its only
// subfolder when that does (an archive's top folder). Fails with a message for the learner.
Result<QString> FindDataSetRoot(const QString& folder);

// Downloads an http(s) address to a file: redirects to http(s) followed, any status other
// than 2xx stops at once, the speed and size limits of the options, cancel. The body goes to
// the file as it arrives, with at most FetchReadAhead bytes read ahead of it. The file is
// removed on failure.
Status DownloadToFile(const QString& url, const QString& filePath,
                      const DataSetSourceOptions& options);

} // namespace bil
