// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers shared by the fuzz targets: inputs reach the readers as real files, the way the
// program meets them, in a per-process folder (in memory when /dev/shm is there).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace bil::fuzz {

// The folder every input file of this process goes to; it lives until the process ends.
inline const QString& ScratchDir() {
    static QTemporaryDir* dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        auto* d = new QTemporaryDir(base + QStringLiteral("/biletoria-fuzz-XXXXXX"));
        if (!d->isValid())
            std::abort();
        return d;
    }();
    static const QString path = dir->path();
    return path;
}

// Replaces the named scratch file with the input bytes and returns its path.
inline QString WriteInput(const QString& name, const uint8_t* data, size_t size) {
    const QString path = ScratchDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort(); // the harness itself is broken, not the code under test
    return path;
}

// A finding of a property check, reported as a crash so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (0)

} // namespace bil::fuzz
