// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/HistoryRecord.h"

#include <QByteArray>
#include <QDate>
#include <QString>

struct EventCatalog;
struct ReceiverConfig;

// What the decoder reads: the receiver's reply, the time-zone settings, the
// operating system's daylight indication (used when no TimeZoneName is set;
// with one, each alert's daylight time is that zone's at its date), today's
// date (for the year) and the event catalogue (for names and classes).
struct HistorySource {
    const QByteArray &ReceiveBuffer;
    const ReceiverConfig &config;
    bool DaylightTimeActive;
    QDate today;
    const EventCatalog &catalog;
};

// The receiver's alert history: 40 slots of 32 ASCII bytes at the start of
// ReceiveBuffer. Slot layout (offsets within a slot):
//   0..2 day of the year ("001" = 1 January; a 0 byte at 0 = empty slot)
//   4..5 UTC hour, 6 ':', 7..8 minute, 10..12 originator, 14..16 event code,
//   18..19 length hours, 20..21 length minutes; the rest is never read.
namespace History {
inline constexpr int SlotCount = 40;
inline constexpr int SlotSize = 32;
} // namespace History

// Everything one slot yields. The grid, the saved file, the printed report
// and the alert log each take the parts they show.
struct HistorySlot {
    bool empty = true;        // 0 byte at offset 0 (or the slot lies beyond the buffer)
    bool dayValid = false;    // day characters are three digits, 001 to 366
    QDate date;               // local date of the alert (when dayValid)
    int hour = -1;            // local hour, -1 when the UTC hour is unreadable
    int minute = -1;          // -1 when the minute is unreadable
    QString printTime;        // time as printed: taken even when the checks fail
    int utcOffsetSeconds = 0; // offset from UTC of the local time: the zone's hours and the daylight hour
    QString rawOrg;           // the three originator characters as received
    QString code;             // the three event code characters as received
    HistoryRecord row;        // the grid / saved-file row
};

// Decodes slot k (0 to 39) of ReceiveBuffer with the current time-zone
// settings and the clock's year.
HistorySlot DecodeHistorySlot(const HistorySource &in, int k);

// Rewrites rows 0..39 from ReceiveBuffer, converting the receiver's
// UTC times to local time with the time-zone settings. Called after every
// successful transfer.
void DecodeHistory(const HistorySource &in, HistoryRowTable &rows);

// Local hour ("0".."23") of the UTC hour digits at `position` in
// ReceiveBuffer; lowers dayOffset by one when the conversion crosses midnight
// backwards. Returns an empty string when the two characters are not an hour
// (not digits, or above 23), leaving dayOffset alone.
QString ToLocalHour(const HistorySource &in, int position, int &dayOffset);

// Offset from UTC of the local times the decoder produces, in seconds: the
// time-zone setting (when it is one the conversion knows) plus the daylight
// hour.
int HistoryUtcOffsetSeconds(const ReceiverConfig &config, bool daylightTimeActive);

// Display name and class of a received event code ("Unknown Event Code",
// Other for a code the catalogue lacks).
void LookupHistoryEvent(const EventCatalog &catalog, const QString &code, QString &name, EventClass &cls);

// "Other", "Warning" or "Watch".
QString EventClassName(EventClass cls);
