// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The time zone the history's times are shown in. The receiver keeps its
// alerts in UTC; the editor converts them with TimeZoneOffset (whole hours,
// -4 to -11) and, when DaylightSavings is on, one more hour while daylight
// time is in effect.
//
// Without TimeZoneName, "in effect" is what the computer's own zone says
// today, for every row: a history read in winter shows its summer alerts an
// hour early, and a computer kept in UTC never applies daylight time.
//
// With TimeZoneName (an IANA zone such as America/Denver) daylight time
// follows that zone at each alert's own date and hour, whatever the
// computer's zone is. The zone's standard offset must be one TimeZoneOffset
// can hold; setting the name sets TimeZoneOffset to it, so the receiver's
// field and the zone never disagree.

#include <QDateTime>
#include <QString>
#include <QStringList>

struct ReceiverConfig;

namespace ReceiverTimeZone {

// The offsets TimeZoneOffset holds, in hours from UTC.
inline constexpr int EasternmostHours = -4;
inline constexpr int WesternmostHours = -11;

// "-4 to -11 hours from UTC (Atlantic ... Midway)", for refusals.
QString allowedOffsetsText();

// True when `name` is an IANA zone this system knows whose standard offset
// is a whole number of hours from -4 to -11; *standardHours gets it. Else
// false with a sentence naming the zone's offset and the allowed ones.
bool checkName(const QString &name, int *standardHours, QString *why);

// True when `name` is a zone this system's tz database knows, aliases
// ("US/Pacific", "EST5EDT", "Etc/GMT+7") included, whatever its offset: a
// monitor may listen anywhere.
bool isKnown(const QString &name);

// Every zone checkName accepts, sorted, for the setup window's list.
QStringList acceptedNames();

// Whether the history adds the daylight hour to an alert received at
// `utc`: DaylightSavings on, and either the named zone is on daylight time
// at that instant or, without a name, `computerDaylight` (the computer's
// zone today).
bool daylightAt(const ReceiverConfig &config, const QDateTime &utc, bool computerDaylight);

} // namespace ReceiverTimeZone
