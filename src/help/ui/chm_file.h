// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct chmFile;

namespace bil {

// Runs `work` in a forked child process and tells whether it ended normally: false when the
// child died of a signal, exited with a failure or ran past `timeoutMs` and was killed.
bool FinishesInChild(const std::function<void()>& work, int timeoutMs);

// A compiled help file opened for reading; its pages are addressed by paths like "/index.html".
class ChmFile {
public:
    // The file at `path`, or null when it is missing or not a readable help file. Reads the
    // whole file in a child process first and waits for it: not for the user-interface thread.
    static std::shared_ptr<ChmFile> open(const QString& path);
    // The whole file can be read in a child process within the time limit, without the reader
    // crashing or looping; blocks until it is known.
    static bool survivesReading(const QString& path);
    // The file at `path` once survivesReading said yes; null when it is not a help file after all.
    static std::shared_ptr<ChmFile> openChecked(const QString& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // Bytes of `path` (matched without regard to case); nothing when it is absent or cannot
    // be read whole.
    std::optional<QByteArray> read(const QString& path) const;

private:
    explicit ChmFile(chmFile* handle) : m_handle(handle) {}
    chmFile* m_handle;
};

} // namespace bil
