// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"

#include <QString>

#include <array>

// One decoded alert of the receiver's history, as shown in one row of the
// main window's history grid.
struct HistoryRecord {
    QString Date;     // "6-March": day without leading zero, full month name
    QString Time;     // local "hh:mm"
    QString Length;   // "hh:mm"
    QString Org;      // originator code, or empty
    QString Event;    // display name of the event code
    EventClass Class = EventClass::Other;

    bool isEmpty() const { return Date.isEmpty(); }
};

// Shown in the Date column for a slot that holds an alert whose day of the
// year cannot be read (not three digits, or outside 001 to 366).
inline const QString UnknownHistoryDate = QStringLiteral("Unknown Date");

// The decoded history: entries 0..39 as the receiver keeps them; entry 40
// is never filled.
using HistoryRowTable = std::array<HistoryRecord, 41>;
