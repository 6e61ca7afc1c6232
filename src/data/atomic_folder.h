#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace bil {

// How the new folder takes the old one's place.
enum class FolderSwap {
    Exchange, // one atomic exchange of the two names where the file system offers it
    Renames,  // two renames; the fallback where exchange is refused
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
