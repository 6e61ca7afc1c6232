// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/chm_probe.h"

#include "help/ui/chm_file.h"

#include <memory>

namespace bil {

ChildChmProbe::~ChildChmProbe() {
    // Their answers would come to nobody now.
    for (const QPointer<QThread>& thread : m_running) {
        if (thread) {
            thread->wait();
            delete thread.data();
        }
    }
}

void ChildChmProbe::start(const QString& path) {
    auto usable = std::make_shared<bool>(false);
    QThread* thread = QThread::create([path, usable] { *usable = ChmFile::survivesReading(path); });
    connect(thread, &QThread::finished, this, [this, thread, path, usable] {
        std::erase_if(m_running,
                      [thread](const QPointer<QThread>& t) { return !t || t == thread; });
        thread->deleteLater();
        emit answered(path, *usable);
    });
    m_running.emplace_back(thread);
    thread->start();
}

} // namespace bil
