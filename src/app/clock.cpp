// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/platform.h"

#include <QElapsedTimer>

namespace bil {

QDateTime SystemClock::nowUtc() const {
    return QDateTime::currentDateTimeUtc();
}

int64_t SystemClock::ticksMs() const {
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

const Clock& ClockOf(const Services& services) {
    static const SystemClock system;
    if (services.clock)
        return *services.clock;
    return system;
}

} // namespace bil
