// SPDX-License-Identifier: GPL-3.0-or-later
// Any image path of a ticket file (the input's first line) and any picture bytes (the rest):
// the path resolves only to a file inside the data set, and the format is told from the bytes.

#include "data/dbv_import.h"
#include "data/jpeg_encode.h"
#include "fuzz_common.h"

#include <QDir>
#include <QFileInfo>

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString root = [] {
        const QString r = fuzz::ScratchDir() + QStringLiteral("/set");
        QDir().mkpath(r + QStringLiteral("/images/A_B"));
        QDir().mkpath(r + QStringLiteral("/tmp/images/C_D"));
        // A file beside the data set that no path may reach.
        fuzz::WriteInput(QStringLiteral("outside.jpg"), nullptr, 0);
        return r;
    }();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    const QString imagePath = QString::fromUtf8(newline < 0 ? input : input.left(newline));
    const QByteArray bytes = newline < 0 ? QByteArray() : input.mid(newline + 1);
    fuzz::WriteInput(QStringLiteral("set/images/A_B/pic.jpg"),
                     reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    fuzz::WriteInput(QStringLiteral("set/tmp/images/C_D/pic.webp"),
                     reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));

    for (CategorySet set : {CategorySet::AB, CategorySet::CD}) {
        auto found = FindDataSetPicture(root, set, imagePath);
        if (!found) {
            FUZZ_CHECK(!found.error().isEmpty());
            continue;
        }
        const QFileInfo file(found.value());
        FUZZ_CHECK(file.isFile());
        FUZZ_CHECK(file.canonicalFilePath().startsWith(QDir(root).canonicalPath() + '/'));
    }
    const ImageFormat format = DetectImageFormat(bytes);
    FUZZ_CHECK(ImageFormatName(format) != nullptr);
    return 0;
}
