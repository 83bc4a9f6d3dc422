// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The transfer log: one row per transfer with a receiver, kept beside the
// alert log, so that a receiver that stops answering shows the day it stops
// and not weeks later as missing tests. The alert log holds alerts only.
//
// Format: UTF-8 CSV, a header line, then one row per transfer:
//   Time,Receiver,Result,Reason,RomVersion
// Time is the end of the transfer in UTC (2026-12-09T06:00:04Z); Receiver
// the receiver's name, as in the alert log's Receiver column; Result "ok" or
// "failed"; Reason why it failed (empty when it worked); RomVersion the
// receiver's ROM version ("2.05", empty when the reply never came). Rows are
// appended under the same lock as the alert log's, each in one write; a row
// that cannot be read, and a last line without its line end, are left out.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct TransferRecord {
    QDateTime when;        // the end of the transfer
    QString receiver;
    bool ok = false;
    QString reason;
    QString romVersion;
};

inline const QString TransferLogHeader = QStringLiteral("Time,Receiver,Result,Reason,RomVersion");

// The transfer log that goes with an alert log: same folder, the alert
// log's name with "-transfers" before its suffix (alerts.csv ->
// alerts-transfers.csv).
QString TransferLogPathFor(const QString &alertLogPath);

// The row as the log holds it, without its line end.
QByteArray TransferLogRow(const TransferRecord &r);
// Parses one row; false when it is not a readable row.
bool ParseTransferLogRow(const QByteArray &line, TransferRecord *r);

// Appends the records to FILE (begun with the header when missing or empty),
// under the log's lock. A log whose last row was cut off gets the new rows
// on a fresh line. False with a reason naming the file.
bool AppendTransferLog(const QString &fileName, const QList<TransferRecord> &records, QString *why,
                       int lockTimeoutMs = 10000);

// Per receiver: the last transfer and how many failed in all.
struct TransferSummary {
    QString receiver;
    QDateTime lastTime;
    bool lastOk = false;
    QString lastReason;
    QString romVersion;    // of the last transfer that worked
    int transfers = 0;
    int failures = 0;
};

// Reads FILE into one summary per receiver, in the order of their names;
// `only` (when not empty) keeps those receivers. A missing file has no
// transfers. *skipped counts rows left out. False with a reason naming the
// file when it cannot be read or is not a transfer log.
bool ReadTransferSummaries(const QString &fileName, const QStringList &only, QList<TransferSummary> *summaries,
                           int *skipped, QString *why);

// The three metric families of the transfers, in the Prometheus text format
// the node exporter's textfile collector reads (no "# EOF"):
// nx4400c_last_transfer_timestamp_seconds, nx4400c_last_transfer_success
// and nx4400c_transfer_failures_total, one sample per receiver each.
QByteArray TransferOpenMetrics(const QList<TransferSummary> &summaries);

// A metric's label set {receiver="..."} with the value escaped.
QByteArray ReceiverMetricLabel(const QString &receiver);

// Rewrites the rows of `oldName` to name `newName`, under the lock; other
// lines stay byte for byte. A missing log has nothing to rename. *rows
// counts the rows changed.
bool RenameInTransferLog(const QString &fileName, const QString &oldName, const QString &newName, int *rows,
                         QString *why, int lockTimeoutMs = 10000);
