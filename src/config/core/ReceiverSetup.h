// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/core/ReceiverConfig.h"

#include <QStringList>

// Everything that is programmed into one receiver: its options, the 99
// county lines and the 49 event code slots. The editor keeps one; a receiver
// profile holds one; a batch sends one to many receivers.
struct ReceiverSetup {
    static constexpr int FipEntryCount = 99;
    static constexpr int EventSlotCount = 49;

    ReceiverSetup()
    {
        for (int i = 0; i < FipEntryCount; ++i)
            FipEntries << QString();
        for (int i = 0; i < EventSlotCount; ++i)
            EventSelection << QString();
    }

    ReceiverConfig config;
    QStringList FipEntries;        // 99 county lines
    QStringList EventSelection;    // 49 event code slots
};
