// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct HistorySource;

// A CSV log of every alert the receiver reported. The receiver holds only its
// last 40 alerts and no year, so each transfer adds the alerts that are not
// in the log yet. The log only ever grows: rows are appended under a lock and
// the file is never replaced, so several programs can log into it at once
// and a program that appends its own lines loses nothing.
//
// Format: UTF-8, one header line, then one row per alert:
//   LocalDateTime,Originator,EventCode,EventName,Class,Length[,Receiver]
// LocalDateTime is ISO 8601 with the offset from UTC the alert was decoded
// with (2026-03-06T09:30:00-05:00). The Receiver column exists only in logs
// that were begun by a run that named its receivers (batch programming);
// a log without it keeps six columns for ever, so spreadsheets and scripts
// made for it go on working.
//
// Every text field comes from the receiver or from names chosen by the user.
// A field that begins with = + - @ ', a TAB or a CR is written quoted with a
// ' in front ("'=cmd"), so that a spreadsheet takes it as text instead of
// running it as a formula; reading strips that one quote again. The Length
// field is treated the same way: the receiver sends it as "hhmm" and the log
// shows "hh:mm", but nothing stops a receiver from sending "-1:00".
struct AlertLogEntry {
    QDateTime localTime;   // local date and time with its offset from UTC, year explicit
    QString originator;
    QString code;
    QString name;
    EventClass cls = EventClass::Other;
    QString length;        // "hh:mm"
    QString receiver;      // the receiver's name in a batch; empty for the one receiver

    // Fields that identify one alert: when, who, what, for how long, and
    // which receiver heard it. The name and class are left out so that a
    // later catalogue that renames an event does not log its old alerts a
    // second time.
    QString key() const;
    // The row as written to a log with or without the Receiver column.
    QString csvLine(bool withReceiver = false) const;
};

inline const QString AlertLogHeader =
    QStringLiteral("LocalDateTime,Originator,EventCode,EventName,Class,Length");
inline const QString AlertLogHeaderWithReceiver = AlertLogHeader + QStringLiteral(",Receiver");

// The user's alert log: alerts.csv in the program's data folder
// (~/.local/share/NX4400C/alerts.csv for the application name "NX4400C").
// Empty when the system names no data folder (HOME unset).
QString DefaultAlertLogPath();

// Creates the folder that holds `fileName` when it is missing.
bool MakeAlertLogFolder(const QString &fileName, QString *error = nullptr);

// The alerts in ReceiveBuffer, oldest first. Slots that are empty, or whose
// day or time cannot be read, give no entry; *unreadable counts the latter.
QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, int *unreadable = nullptr);

struct AlertLogMerge {
    bool ok = false;
    QString error;          // why the log was refused or not written, naming the file
    QByteArray content;     // the whole log after the merge
    QByteArray appended;    // the bytes that go at the end of the existing log
    QList<AlertLogEntry> added;
    bool receiverColumn = false;   // the log has the Receiver column
    bool receiverDropped = false;  // entries named a receiver the log has no column for
};

// Adds to an existing log (its bytes, empty for a new log) the alerts it does
// not hold yet. An alert that the history holds n times is in the log n
// times after the merge, never more. The existing bytes are kept as they are.
// A non-empty log whose first line is not a header is refused. A new log gets
// the Receiver column when one of the alerts names its receiver.
AlertLogMerge MergeAlertLog(const QByteArray &existing, const QList<AlertLogEntry> &alerts);

// Appends to FILE the alerts it does not hold yet (a missing file is begun
// with the header). The file is opened without following a dangling link
// and without blocking, refused unless it is a regular file, locked
// (flock, shared with every other program that logs), read for duplicates,
// extended with one write, synced and unlocked. A lock another program holds
// longer than `lockTimeoutMs` ends the call with a message. Owner and mode
// of the file never change.
AlertLogMerge AppendAlertLog(const QString &fileName, const QList<AlertLogEntry> &alerts,
                             int lockTimeoutMs = 10000);

// Reads a whole log. Rows that cannot be read (hand-edited, cut off) are
// skipped and counted in *skipped. Returns false with a reason naming the
// file when it cannot be read or is not an alert log; a missing file is an
// empty log only when `missingIsEmpty`.
struct AlertLogContent {
    QList<AlertLogEntry> entries;
    bool receiverColumn = false;
    int skipped = 0;
};
bool ReadAlertLog(const QString &fileName, AlertLogContent *content, QString *error = nullptr,
                  bool missingIsEmpty = true);
// The same for log bytes already read.
bool ParseAlertLog(const QByteArray &bytes, AlertLogContent *content, QString *error = nullptr);

// A whole log (header and rows) for `entries`, as an export writes it.
QByteArray AlertLogText(const QList<AlertLogEntry> &entries, bool withReceiver);

// Splits one CSV line into fields (RFC 4180 quoting). A quoted field that
// begins with the spreadsheet guard (' before = + - @ ' TAB CR) comes back
// without it.
QStringList SplitCsvLine(const QString &line);
// One field as the log writes it: quoted when needed, guarded against
// spreadsheet formulas.
QString CsvField(const QString &value);
