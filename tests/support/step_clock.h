// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <QTimeZone>

namespace bil::test {

// A clock that moves only when the test steps it.
class StepClock final : public Clock {
public:
    explicit StepClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(9, 0),
                                                   QTimeZone::utc()))
        : m_now(std::move(start)) {}
    QDateTime nowUtc() const override { return m_now.addMSecs(m_ticks); }
    int64_t ticksMs() const override { return m_ticks; }
    void advanceMs(int64_t ms) { m_ticks += ms; }
    void advanceDays(int days) { m_ticks += int64_t(days) * 86400000; }

private:
    QDateTime m_now;
    int64_t m_ticks = 0;
};

} // namespace bil::test
