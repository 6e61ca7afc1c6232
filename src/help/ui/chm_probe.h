// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <vector>

namespace bil {

// Tells whether a compiled help file can be read without harm. Reading a damaged file may take
// seconds, so the answer comes later, as a signal on the thread that asked; tests answer it
// themselves.
class ChmProbe : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts probing path; answered follows once, even for a file that vanished meanwhile.
    virtual void start(const QString& path) = 0;

signals:
    // usable is false for a file that is damaged, unreadable or took too long to read.
    void answered(const QString& path, bool usable);
};

// Reads the file whole in a child process (ChmFile::survivesReading), waited for on a thread of
// its own so that the windows go on while it runs.
class ChildChmProbe final : public ChmProbe {
    Q_OBJECT
public:
    using ChmProbe::ChmProbe;
    // Waits for probes still running (at most their time limit): none may outlive its answer.
    ~ChildChmProbe() override;
    void start(const QString& path) override;

private:
    std::vector<QPointer<QThread>> m_running;
};

} // namespace bil
