#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

namespace bil {

// Replaces the file with the given bytes so that a crash leaves either the complete old or the
// complete new file: a temporary file in the same folder, flushed to disk, renamed over it.
// On failure the old file is untouched and the error names the file.
Status WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Removes temporary files of earlier saves of `path` that were killed before they finished;
// a younger one may belong to a save still running in another copy of the program.
void RemoveStaleTemporaries(const QString& path, qint64 olderThanSeconds = 60);

} // namespace bil
