// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Clock.h"

#include <QTimeZone>

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

bool SystemClock::daylightTimeInEffect() const
{
    return QDateTime::currentDateTime().isDaylightTime();
}
