// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a small data set in a tar archive, through the whole import of both databases:
// either it fails with a message and writes nothing, or both databases are in place and pass
// the checker.

#include "data/dataset_import.h"
#include "data/dbv_check.h"
#include "fuzz_common.h"

#include <QDir>

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString archive = fuzz::WriteInput(QStringLiteral("set.tar"), data, size);
    const QString out = fuzz::ScratchDir() + QStringLiteral("/out");
    const QString temp = fuzz::ScratchDir() + QStringLiteral("/temp");
    QDir(out).removeRecursively();
    QDir().mkpath(temp);
    DataSetSourceOptions options;
    options.TempParent = temp;
    options.MaxUnpackedBytes = 16LL * 1024 * 1024;
    options.MaxEntries = 2000;
    const Status done = RunDataSetImport(archive, {DatabasesStep(out, true)}, {}, options);
    // The unpacked copy is gone either way.
    FUZZ_CHECK(QDir(temp).isEmpty());
    const QStringList written = QDir(out).entryList(QDir::Files | QDir::Hidden);
    if (!done) {
        FUZZ_CHECK(!done.message().isEmpty());
        FUZZ_CHECK(written.isEmpty());
        return 0;
    }
    FUZZ_CHECK(written == QStringList({DatabaseFileAB, DatabaseFileCD}));
    for (const QString& name : written) {
        auto report = CheckDbvFile(out + QLatin1Char('/') + name);
        FUZZ_CHECK(report.ok() && report->ok());
    }
    return 0;
}
