#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QTemporaryDir;

namespace bil {

// How the new folder takes the old one's place.
enum class FolderSwap {
    Exchange, // one atomic exchange of the two names where the file system offers it
    Renames,  // two renames; the fallback where exchange is refused
};

// A new content for a folder, written beside it first and put in its place later, so that the
// folder can be replaced together with other files. Not committed, the new content is removed
// with the object.
class FolderReplacement {
public:
    explicit FolderReplacement(QString target, FolderSwap swap = FolderSwap::Exchange);
    ~FolderReplacement();
    FolderReplacement(const FolderReplacement&) = delete;
    FolderReplacement& operator=(const FolderReplacement&) = delete;

    // Clears leftovers of killed replacements, has `fill` write the new content into a fresh
    // folder beside the target and flushes it to disk. Nothing the target holds changes.
    Status prepare(const std::function<Status(const QString&)>& fill);
    // The prepared folder takes the target's name; the old one is removed.
    Status commit();

private:
    QString m_target;
    FolderSwap m_swap;
    std::unique_ptr<QTemporaryDir> m_fresh;
};

// Replaces the folder `target` as a whole: `fill` writes the new content into a fresh folder
// beside it, which is flushed to disk and then takes the target's name; the old folder is
// removed afterwards. When `fill` or anything else fails, the old folder is untouched and the
// fresh one is removed. Leftovers of killed replacements are cleared first.
Status ReplaceFolder(const QString& target, const std::function<Status(const QString&)>& fill,
                     FolderSwap swap = FolderSwap::Exchange);

// Writes a whole file (creating its folder), checking that every byte reached it; the error
// names the file.
Status WriteWholeFile(const QString& path, const QByteArray& bytes);

} // namespace bil
