// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/HistoryDecoder.h"
#include "app/AppContext.h"

#include <QLocale>

#include <cstring>

// Writes slot k of the receive buffer: `text` is laid out as the receiver
// sends it, e.g. "065 14:30 WXR TOR 0100" (day, UTC hour:minute, originator,
// event code, length hhmm). Bytes of the slot beyond `length` are zero.
inline void putSlot(AppContext &ctx, int k, const char *text, int length = -1)
{
    const int n = length < 0 ? int(std::strlen(text)) : length;
    char *slot = ctx.session().ReceiveBuffer.data() + History::SlotSize * k;
    std::memset(slot, 0, History::SlotSize);
    std::memcpy(slot, text, std::min(n, History::SlotSize));
}

inline void clearSlots(AppContext &ctx)
{
    std::memset(ctx.session().ReceiveBuffer.data(), 0, History::SlotSize * History::SlotCount);
}

// Month names and date forms follow the locale; the tests read English.
inline void pinLocale()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}
