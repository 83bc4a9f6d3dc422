// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where the program's writers (the editor's transfer, the command line's
// transfer and batch, the monitor) hand their rows to the alert database
// beside the alert log (alerts.csv -> alerts.db). The first write to a new
// database imports the CSV logs of older versions once; they stay as they
// are beside it.

#include "history/core/AlertStore.h"

namespace AlertRecord {

// Opens (making it when missing) the database that goes with `alertLogPath`
// and imports the CSV logs into it when it is new. Rows of a six-column log
// name `sixColumnReceiver`.
bool open(AlertStore &store, const QString &alertLogPath, const QString &sixColumnReceiver, QString *why);

// Logs the alerts of one transfer or one monitor message (test: a test
// recording, shown but never counted). The receiver becomes known even when
// `alerts` is empty. *added counts the rows that were new.
// A monitor on a software radio also gives the channel's frequency and the
// transmitters on it that cover the header ("KIH42 Covington 162.550").
// A `zone` (IANA name) given is kept with the receiver: its dates and the
// audit's weeks follow it.
bool logAlerts(const QString &alertLogPath, const QString &receiver, ReceiverKind kind,
               const QList<AlertLogEntry> &alerts, bool test, QString *why, int *added = nullptr,
               qint64 frequencyHz = 0, const QString &transmitter = QString(), const QString &zone = QString());

// Makes a receiver known before its history is read, so that one whose
// history is empty (a deaf receiver) is known and cross-checked. `zone` (an
// IANA name) is the zone its dates and the audit's weeks follow; empty
// keeps the one it has.
bool registerReceiver(const QString &alertLogPath, const QString &name, const QString &device, QString *why,
                      const QString &zone = QString());

// Logs one transfer's outcome (the receiver becomes known with it).
bool logTransfer(const QString &alertLogPath, const TransferRecord &record, QString *why);

} // namespace AlertRecord
