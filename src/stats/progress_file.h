// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace bil {

// A learner's whole progress, as a ".biletoria" file carries it from one computer to another:
// a zip with the statistics file, the theme file, the settings values and a manifest.
struct ProgressFile {
    QByteArray StatBytes;  // stat.dat: the record, then any bytes the file held past it
    QByteArray ThemeBytes; // tema4.dat: 800 theme bytes, 800 mark bytes
    std::vector<std::pair<QString, int32_t>> Settings; // the settings store's integer values
    QString ProgramVersion;
    QString DatabaseTitle; // of the database open when the file was saved
    QDateTime Saved;       // UTC
};

// Names inside the zip, and the limits a reader holds every entry to.
inline const QString ProgressManifestName = QStringLiteral("manifest.txt");
inline const QString ProgressStatName = QStringLiteral("stat.dat");
inline const QString ProgressThemeName = QStringLiteral("tema4.dat");
inline const QString ProgressSettingsName = QStringLiteral("settings.txt");
inline const QByteArray ProgressFormatLine = QByteArrayLiteral("format=biletoria-progress 1");
constexpr qint64 ProgressMaxStatTail = 1 << 20; // bytes a stat.dat may hold past its record
constexpr qint64 ProgressMaxTextEntry = 16 * 1024;
constexpr qint64 ProgressMaxFileSize = 8 << 20;
inline const QString ProgressFileSuffix = QStringLiteral(".biletoria");

// The names of the settings values the file holds, in the order it writes them.
const std::vector<QString>& ProgressSettingNames();

// The zip bytes of the progress. Fails only when the archive library does.
Result<QByteArray> WriteProgressArchive(const ProgressFile& progress);
// Reads and checks everything before anything is returned: the four entries present once each
// and nothing else, none leaving the archive, sizes (tema4.dat 1600 bytes, stat.dat a whole
// record and at most ProgressMaxStatTail more), theme bytes 0..26, marks 0..2, every setting
// present with a value its item can hold, the manifest's format line. The error says in
// Russian what is wrong.
Result<ProgressFile> ReadProgressArchive(const QByteArray& bytes);

// Writes the file through a temporary file renamed over it; on failure nothing is left behind.
Status SaveProgressFile(const QString& path, const ProgressFile& progress);
// Reads and checks a progress file; errors name the file.
Result<ProgressFile> LoadProgressFile(const QString& path);

} // namespace bil
