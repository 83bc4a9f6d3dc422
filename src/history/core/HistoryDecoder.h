// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/HistoryRecord.h"

#include <QByteArray>
#include <QDate>
#include <QString>

class AppContext;

// The receiver's alert history: 40 slots of 32 ASCII bytes at the start of
// ReceiveBuffer. Slot layout (offsets within a slot):
//   0..2 day of the year ("001" = 1 January; a 0 byte at 0 = empty slot)
//   4..5 UTC hour, 6 ':', 7..8 minute, 10..12 originator, 14..16 event code,
//   18..19 length hours, 20..21 length minutes; the rest is never read.
namespace History {
inline constexpr int SlotCount = 40;
inline constexpr int SlotSize = 32;
} // namespace History

// Rewrites HistoryRows 0..39 from ReceiveBuffer, converting the receiver's
// UTC times to local time with the time-zone settings. Called after every
// successful transfer.
void DecodeHistory(AppContext &ctx);

// Local hour ("0".."23") of the UTC hour digits at `position` in
// ReceiveBuffer; lowers dayOffset by one when the conversion crosses midnight
// backwards. Returns an empty string when the two characters are not an hour
// (not digits, or above 23), leaving dayOffset alone.
QString ToLocalHour(const AppContext &ctx, int position, int &dayOffset);
