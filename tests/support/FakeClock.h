// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"

#include <QElapsedTimer>

// A clock that starts at a chosen moment and then runs with real time (so
// waits on it still end), or stands still when frozen.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime(QDate(2026, 3, 6), QTime(12, 0, 0)),
                       bool daylight = false)
        : m_start(start), m_daylight(daylight)
    {
        m_elapsed.start();
    }

    void set(const QDateTime &t)
    {
        m_start = t;
        m_elapsed.restart();
    }
    void setFrozen(bool frozen) { m_frozen = frozen; }
    void setDaylight(bool d) { m_daylight = d; }

    QDateTime now() const override
    {
        return m_frozen ? m_start : m_start.addMSecs(m_elapsed.elapsed());
    }
    bool daylightTimeInEffect() const override { return m_daylight; }

private:
    QDateTime m_start;
    QElapsedTimer m_elapsed;
    bool m_daylight = false;
    bool m_frozen = false;
};
