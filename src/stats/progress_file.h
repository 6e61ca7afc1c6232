// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/fingerprint.h"
#include "data/status.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace bil {

// A learner's whole progress, as a ".biletoria" file carries it from one computer to another:
// a zip with the statistics file, the theme file, the settings values, the answer journal, the
// fingerprints of the question set it was saved on, and a manifest.
struct ProgressFile {
    QByteArray StatBytes;  // stat.dat: the record, then any bytes the file held past it
    QByteArray ThemeBytes; // tema4.dat: 800 theme bytes, 800 mark bytes
    std::vector<std::pair<QString, int32_t>> Settings; // the settings store's integer values
    QString ProgramVersion;
    QString DatabaseTitle; // of the database open when the file was saved
    QDateTime Saved;       // UTC
    int Format = 2;        // 1: written before the set and the journal were carried
    // The question set it was saved on; none when its questions could not all be read (and in
    // files of format 1): such progress can only be restored by question number.
    std::optional<QuestionPrints> Prints;
    Fingerprint SetPrint = 0; // SetFingerprint(*Prints)
    // answers.log as it was; none in files of format 1, whose restore leaves the journal alone.
    std::optional<QByteArray> Journal;
};

// Names inside the zip, and the limits a reader holds every entry to.
inline const QString ProgressManifestName = QStringLiteral("manifest.txt");
inline const QString ProgressStatName = QStringLiteral("stat.dat");
inline const QString ProgressThemeName = QStringLiteral("tema4.dat");
inline const QString ProgressSettingsName = QStringLiteral("settings.txt");
inline const QString ProgressPrintsName = QStringLiteral("prints.dat");
inline const QString ProgressJournalName = QStringLiteral("answers.log");
inline const QByteArray ProgressFormatLine = QByteArrayLiteral("format=biletoria-progress 2");
// Files of the first format are still read (restored by question number, journal untouched).
inline const QByteArray ProgressFormatLine1 = QByteArrayLiteral("format=biletoria-progress 1");
constexpr qint64 ProgressMaxStatTail = 1 << 20; // bytes a stat.dat may hold past its record
constexpr qint64 ProgressMaxTextEntry = 16 * 1024;
constexpr qint64 ProgressPrintsSize = 8 * QuestionCount;
// Years of daily answers fit many times over; a larger journal is refused when saving too.
constexpr qint64 ProgressMaxJournal = 64 << 20;
constexpr qint64 ProgressMaxFileSize = 72 << 20;
inline const QString ProgressFileSuffix = QStringLiteral(".biletoria");

// The names of the settings values the file holds, in the order it writes them.
const std::vector<QString>& ProgressSettingNames();

// The zip bytes of the progress. Fails only when the archive library does.
Result<QByteArray> WriteProgressArchive(const ProgressFile& progress);
// Reads and checks everything before anything is returned: the entries of its format present
// once each and nothing else, none leaving the archive, sizes (tema4.dat 1600 bytes, stat.dat a
// whole record and at most ProgressMaxStatTail more), theme bytes 0..26, marks 0..2, every
// setting present with a value its item can hold, the manifest's format line; in format 2 the
// journal's header, and the set fingerprint and prints.dat present together and agreeing. The
// error says in Russian what is wrong.
Result<ProgressFile> ReadProgressArchive(const QByteArray& bytes);

// Writes the file through a temporary file renamed over it; on failure nothing is left behind.
Status SaveProgressFile(const QString& path, const ProgressFile& progress);
// Reads and checks a progress file; errors name the file.
Result<ProgressFile> LoadProgressFile(const QString& path);

} // namespace bil
