// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Joins a receiver's history when its name changes: a radio that moved from
// /dev/ttyUSB0 to /dev/ttyUSB1, or a device-named receiver that a fleet file
// now names "north". Every row of the alert log and of its transfer log that
// names OLD is made to name NEW; every other line stays byte for byte.
//
// The receiver keeps its last 40 alerts, so its first transfer under the new
// name logs again alerts the log holds under the old one. An alert held n
// times under OLD and m times under NEW is there max(n, m) times after the
// rename, as if one name had been used all along: the repeats are dropped.
//
// Each log is rewritten under its lock and put in place only when whole on
// disk (the appends of other programs wait, none is lost); its mode and
// owner stay.

#include <QString>

struct ReceiverRename {
    bool ok = false;
    QString error;          // naming the file; that log is unchanged
    int alertRows = 0;      // alert rows that now name NEW
    int repeatsDropped = 0; // rows of OLD that NEW held already
    int transferRows = 0;   // transfer rows that now name NEW
};

// Refuses an alert log without the Receiver column (`log upgrade` first).
// The transfer log is renamed only when the alert log was.
ReceiverRename RenameReceiverInLogs(const QString &alertLog, const QString &transferLog, const QString &oldName,
                                    const QString &newName, int lockTimeoutMs = 10000);
