// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// The wall clock as the program sees it. The real clock reads the system
// time; tests substitute a clock that starts an upload in second 58, crosses
// midnight or decodes history in a leap year.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // True while the operating system reports daylight time in effect.
    virtual bool daylightTimeInEffect() const = 0;

    QDate date() const { return now().date(); }
    QTime timeOfDay() const { return now().time(); }
    int secondOfMinute() const { return now().time().second(); }
    // Seconds since local midnight, with fractions.
    double secondsSinceMidnight() const { return now().time().msecsSinceStartOfDay() / 1000.0; }
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    bool daylightTimeInEffect() const override;
};
