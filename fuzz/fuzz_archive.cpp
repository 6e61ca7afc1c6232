// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a downloaded or chosen data set archive: unpacking either fails with a message
// or succeeds, and in both cases nothing appears outside the folder it unpacks into.

#include "data/dataset_source.h"
#include "fuzz_common.h"

#include <QDir>
#include <QDirIterator>

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString archive = fuzz::WriteInput(QStringLiteral("input.archive"), data, size);
    const QString into = fuzz::ScratchDir() + QStringLiteral("/unpacked");
    QDir(into).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(into));
    DataSetSourceOptions options;
    // Small limits: an archive that expands past them is refused, not unpacked into memory.
    options.MaxUnpackedBytes = 32LL * 1024 * 1024;
    options.MaxEntries = 2000;
    const Status unpacked = UnpackArchive(archive, into, options);
    if (!unpacked)
        FUZZ_CHECK(!unpacked.message().isEmpty());
    // The scratch folder holds the input and the unpack folder, nothing else.
    const QStringList top =
        QDir(fuzz::ScratchDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    FUZZ_CHECK(top.size() == 2);
    qint64 total = 0;
    QDirIterator it(into, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        FUZZ_CHECK(!file.isSymLink());
        FUZZ_CHECK(file.canonicalFilePath().startsWith(QDir(into).canonicalPath() + '/'));
        total += file.size();
    }
    FUZZ_CHECK(total <= options.MaxUnpackedBytes);
    return 0;
}
