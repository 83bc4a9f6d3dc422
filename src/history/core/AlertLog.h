// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct HistorySource;

// A CSV log of every alert the receiver reported, kept by running
// `nx4400c-cli transfer --csv FILE` regularly. The receiver holds only its
// last 40 alerts and no year, so each run adds the alerts that are not in the
// log yet.
struct AlertLogEntry {
    QDateTime localTime;   // local date and time with its offset from UTC, year explicit
    QString originator;
    QString code;
    QString name;
    EventClass cls = EventClass::Other;
    QString length;        // "hh:mm"

    // Fields that identify one alert: when, who, what and for how long.
    // The name and class are left out so that a later catalogue that renames
    // an event does not log its old alerts a second time.
    QString key() const;
    QString csvLine() const;
};

inline const QString AlertLogHeader =
    QStringLiteral("LocalDateTime,Originator,EventCode,EventName,Class,Length");

// The alerts in ReceiveBuffer, oldest first. Slots that are empty, or whose
// day or time cannot be read, give no entry; *unreadable counts the latter.
QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, int *unreadable = nullptr);

struct AlertLogMerge {
    bool ok = false;
    QString error;          // why the existing log was refused
    QByteArray content;     // the whole new log
    QList<AlertLogEntry> added;
};

// Adds to an existing log (its bytes, empty for a new log) the alerts it does
// not hold yet. An alert that the history holds n times is in the log n
// times after the merge, never more. The existing bytes are kept as they are.
// A non-empty log whose first line is not the header is refused.
AlertLogMerge MergeAlertLog(const QByteArray &existing, const QList<AlertLogEntry> &alerts);

// Reads FILE (missing = new log), merges and writes it back atomically.
AlertLogMerge AppendAlertLog(const QString &fileName, const QList<AlertLogEntry> &alerts);

// Splits one CSV line into fields (RFC 4180 quoting).
QStringList SplitCsvLine(const QString &line);
