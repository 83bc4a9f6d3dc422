// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ReceiverTimeZone.h"

#include "config/core/ReceiverConfig.h"

#include <QMutex>
#include <QTimeZone>

#include <algorithm>

namespace ReceiverTimeZone {

namespace {

QString offsetText(int seconds)
{
    const int a = std::abs(seconds);
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(a / 3600, 2, 10, QLatin1Char('0'))
        .arg(a / 60 % 60, 2, 10, QLatin1Char('0'));
}

// Zones are looked up once per name: a history asks for forty instants.
QTimeZone zoneNamed(const QString &name)
{
    static QMutex lock;
    static QString lastName;
    static QTimeZone last;
    QMutexLocker locker(&lock);
    if (name != lastName) {
        last = QTimeZone(name.toUtf8());
        lastName = name;
    }
    return last;
}

// Qt lists the zones of the tz database's zone table only; the links it
// also holds (US/Pacific, EST5EDT, Etc/GMT+7) load all the same. A name is
// looked up as a file below the zone folder, so only the characters zone
// names are made of are let through, and no "..": an edited store must not
// make the program read a file of its choosing.
bool plausibleName(const QString &name)
{
    if (name.isEmpty() || name.size() > 64 || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1String("..")))
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'/'
                        || u == u'_' || u == u'-' || u == u'+';
        if (!ok)
            return false;
    }
    return true;
}

bool isKnownName(const QString &name)
{
    if (!plausibleName(name))
        return false;
    const QByteArray id = name.toUtf8();
    if (QTimeZone::isTimeZoneIdAvailable(id))
        return true;
    const QTimeZone zone(id);
    return zone.isValid() && zone.id() == id;
}

} // namespace

bool isKnown(const QString &name)
{
    return isKnownName(name);
}

QString allowedOffsetsText()
{
    return QStringLiteral("-4 to -11 hours from UTC (-4 Atlantic, -5 Eastern, -6 Central, -7 Mountain, -8 Pacific, "
                          "-9 Alaska, -10 Hawaii, -11 Midway)");
}

bool checkName(const QString &name, int *standardHours, QString *why)
{
    auto refuse = [&](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    const QByteArray id = name.toUtf8();
    if (!isKnownName(name))
        return refuse(QStringLiteral("\"%1\" is not a time zone this system knows (an IANA name such as "
                                     "America/Denver)")
                          .arg(name.left(60)));
    const QTimeZone zone(id);
    const int seconds = zone.standardTimeOffset(QDateTime::currentDateTimeUtc());
    const int hours = seconds / 3600;
    if (seconds % 3600 != 0 || hours > EasternmostHours || hours < WesternmostHours)
        return refuse(QStringLiteral("%1 keeps standard time at UTC%2, which the receiver's time zone cannot "
                                     "hold; it holds %3")
                          .arg(name, offsetText(seconds), allowedOffsetsText()));
    if (standardHours)
        *standardHours = hours;
    return true;
}

QStringList acceptedNames()
{
    QStringList names;
    for (const QByteArray &id : QTimeZone::availableTimeZoneIds()) {
        const QString name = QString::fromUtf8(id);
        // Only the zones named after a place; "Etc/GMT+7" and fixed offsets
        // say nothing about daylight time.
        if (!name.contains(QLatin1Char('/')) || name.startsWith(QLatin1String("Etc/")))
            continue;
        if (checkName(name, nullptr, nullptr))
            names << name;
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool daylightAt(const ReceiverConfig &config, const QDateTime &utc, bool computerDaylight)
{
    if (!config.DaylightSavings)
        return false;
    if (config.TimeZoneName.isEmpty())
        return computerDaylight;
    // A name the system does not know (an edited store) keeps the
    // computer's indication, as if none were set.
    if (!plausibleName(config.TimeZoneName))
        return computerDaylight;
    const QTimeZone zone = zoneNamed(config.TimeZoneName);
    if (!zone.isValid())
        return computerDaylight;
    return zone.isDaylightTime(utc);
}

} // namespace ReceiverTimeZone
