// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/HistoryDecoder.h"

#include "coverage/core/EventCatalog.h"
#include "config/core/ReceiverConfig.h"
#include "config/core/ReceiverTimeZone.h"

#include <QLocale>

namespace {

// Byte at `pos` of the receive buffer, 0 beyond its end.
uint8_t byteAt(const HistorySource &in, int pos)
{
    if (pos < 0 || pos >= in.ReceiveBuffer.size())
        return 0;
    return static_cast<uint8_t>(in.ReceiveBuffer.at(pos));
}

bool isDigit(uint8_t b)
{
    return b >= '0' && b <= '9';
}

// Number formed by `count` digit characters at `pos`, -1 when any of them is
// not a digit.
int digitsAt(const HistorySource &in, int pos, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = byteAt(in, pos + i);
        if (!isDigit(b))
            return -1;
        value = value * 10 + (b - '0');
    }
    return value;
}

// The receiver sends ASCII; anything else (a 0 byte, a control character,
// bytes of a corrupted slot) shows as "?" so that no label, file or log line
// ever carries a control character.
QString textAt(const HistorySource &in, int pos, int count)
{
    QString s;
    s.reserve(count);
    for (int i = 0; i < count; ++i) {
        const uint8_t b = byteAt(in, pos + i);
        s += (b >= 0x20 && b < 0x7F) ? QChar(b) : QChar(u'?');
    }
    return s;
}

// The year of a slot's day: the clock's, unless that puts the day after
// today (late December alerts read in January).
QDate slotDate(const QDate &today, int dayOffset)
{
    QDate date = QDate(today.year(), 1, 1).addDays(dayOffset);
    if (date > today)
        date = QDate(today.year() - 1, 1, 1).addDays(dayOffset);
    return date;
}

// Whether the daylight hour is added to an alert of day `dayOffset` (0 is
// 1 January) at `utcHour`: with a named zone, as that zone had it then.
bool daylightFor(const HistorySource &in, int dayOffset, int utcHour)
{
    if (!in.config.DaylightSavings)
        return false;
    const QDateTime utc(slotDate(in.today, dayOffset), QTime(utcHour, 0), Qt::UTC);
    return ReceiverTimeZone::daylightAt(in.config, utc, in.DaylightTimeActive);
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QString EventClassName(EventClass cls)
{
    switch (cls) {
    case EventClass::Warning: return QStringLiteral("Warning");
    case EventClass::Watch: return QStringLiteral("Watch");
    case EventClass::Other: break;
    }
    return QStringLiteral("Other");
}

void LookupHistoryEvent(const EventCatalog &catalog, const QString &code, QString &name, EventClass &cls)
{
    // Name and class come from the same lookup, so a row's colour always
    // belongs to its name.
    GetEventName(catalog, code, &name, &cls);
}

int HistoryUtcOffsetSeconds(const ReceiverConfig &config, bool daylightTimeActive)
{
    int hours = (config.DaylightSavings && daylightTimeActive) ? 1 : 0;
    const int offset = config.TimeZoneOffset;
    if (offset <= -4 && offset >= -11)
        hours += offset;
    return hours * 3600;
}

QString ToLocalHour(const HistorySource &in, int position, int &dayOffset)
{
    int h = digitsAt(in, position, 2);
    if (h < 0 || h > 23)
        return QString();
    if (daylightFor(in, dayOffset, h))
        h += 1;
    const int offset = in.config.TimeZoneOffset;
    if (offset <= -4 && offset >= -11) {
        const int n = -offset;
        if (h >= n) {
            h -= n;
        } else {
            h = 24 - (n - h);
            dayOffset -= 1;
        }
    } else if (h == 24) {
        // Without a zone conversion the daylight hour can pass midnight
        // forwards; the alert then belongs to the next day at hour 0.
        h = 0;
        dayOffset += 1;
    }
    return QString::number(h);
}

HistorySlot DecodeHistorySlot(const HistorySource &in, int k)
{
    HistorySlot slot;
    const int s = History::SlotSize * k;
    if (k < 0 || k >= History::SlotCount || s >= in.ReceiveBuffer.size() || byteAt(in, s) == 0)
        return slot;
    slot.empty = false;

    const QLocale locale;
    const int day = digitsAt(in, s, 3);
    slot.dayValid = day >= 1 && day <= 366;
    int dayOffset = slot.dayValid ? day - 1 : 0;
    const int utcHour = digitsAt(in, s + 4, 2);
    slot.utcOffsetSeconds = HistoryUtcOffsetSeconds(
        in.config, utcHour >= 0 && utcHour <= 23 ? daylightFor(in, dayOffset, utcHour) : in.DaylightTimeActive);

    const QString hourText = ToLocalHour(in, s + 4, dayOffset);
    const QString hour2 = hourText.isEmpty() ? textAt(in, s + 4, 2)
                                             : hourText.rightJustified(2, QLatin1Char('0'));
    slot.printTime = hour2 + textAt(in, s + 6, 3);
    const int minute = digitsAt(in, s + 7, 2);
    if (!hourText.isEmpty() && byteAt(in, s + 6) == ':' && minute >= 0 && minute <= 59) {
        slot.hour = hourText.toInt();
        slot.minute = minute;
        slot.row.Time = twoDigits(slot.hour) + QLatin1Char(':') + twoDigits(minute);
    }

    if (slot.dayValid) {
        // The receiver does not send the year. It is the clock's year, unless
        // that puts the alert after today: then the alert was received last
        // year (late December alerts read in January), and the day number is
        // counted in that year so leap years come out right.
        const QDate date = slotDate(in.today, dayOffset);
        slot.date = date;
        slot.row.Date = locale.toString(date, QStringLiteral("d-MMMM"));
    } else {
        slot.row.Date = UnknownHistoryDate;
    }

    slot.rawOrg = textAt(in, s + 10, 3);
    const uint8_t first = byteAt(in, s + 10);
    if (first >= 'A' && first <= 'Z')
        slot.row.Org = slot.rawOrg;

    slot.code = textAt(in, s + 14, 3);
    LookupHistoryEvent(in.catalog, slot.code, slot.row.Event, slot.row.Class);

    slot.row.Length = textAt(in, s + 18, 2) + QLatin1Char(':') + textAt(in, s + 20, 2);
    return slot;
}

void DecodeHistory(const HistorySource &in, HistoryRowTable &rows)
{
    for (int k = 0; k < History::SlotCount; ++k)
        rows[k] = DecodeHistorySlot(in, k).row;
}
