// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Batch programming: receiver setups sent to many receivers at once, each
// receiver with a name of its own (a fleet file's NAME, or the device as the
// user wrote it) and a setup of its own.
//
// Every receiver gets a link session of its own in a thread of its own: the
// link's waits are event loops of the session's thread, so sessions in one
// thread would take turns instead of running side by side. Each session has
// its own services (a prompter and a status view that report to the batch
// with the receiver's device in front, the shared clock and time-outs) and
// its own copy of the setup (a transfer writes the receiver's ROM version
// into it). A receiver that fails, however it fails, ends only its own
// thread; the others go on.
//
// History: every receiver's alerts go to one alert log with the Receiver
// column (the receiver's name), appended by each thread as soon as its transfer
// is done. The log is locked for each append, so the threads append one
// after the other, and a receiver whose history is read is logged even when
// another is still busy. A log without the Receiver column is not used for a
// batch: two receivers that heard the same alert would look like one alert
// logged twice, and the second would be dropped.

#include "base/Timings.h"
#include "config/core/ReceiverSetup.h"

#include <QString>
#include <QStringList>

#include <functional>

class Clock;
struct EventCatalog;

struct BatchOptions {
    // Shared by every session; must be safe to call from several threads
    // (SystemClock and FakeClock read only).
    Clock *clock = nullptr;
    Timings timings;
    bool DaylightTimeActive = false;
    // The settings store every session checks before it sends anything
    // (empty: the per-user store).
    QString settingsPath;
    // Bound for connecting to a device server.
    int connectTimeoutMs = 5000;
    // Keep each session's serial trace (BatchResult::trace).
    bool trace = false;
    // The alert log; empty: the history is not logged.
    QString alertLogPath;
    // The transfer log every outcome is added to; empty: none is kept.
    QString transferLogPath;
    // Lines a session reports (status texts, message boxes), already
    // prefixed with the receiver's name. Called from the sessions' threads, one call
    // at a time.
    std::function<void(const QString &line)> report;
};

struct BatchReceiver {
    QString name;          // how results, reports, the trace and the logs name it
    QString device;
    ReceiverSetup setup;   // what it is sent
};

struct BatchResult {
    QString name;
    QString device;
    bool ok = false;
    QString romVersion;       // "2.05"; empty when the reply never came
    QString status;           // the left status panel at the end
    QString reason;           // why it failed: status, port error, message box
    double seconds = 0;
    int alertsLogged = 0;
    int unreadableAlerts = 0;
    QString logError;         // the alert log could not be written
    QString transferLogError; // the transfer log could not be written
    QString trace;            // SerialTrace::text() when asked for
};

// Sends every receiver its setup at once and waits until all are done.
// Results are in the order of `receivers`.
QList<BatchResult> RunBatchTransfer(const QList<BatchReceiver> &receivers, const EventCatalog &catalog,
                                    const BatchOptions &options);
// The same setup to every device, each named by its device.
QList<BatchResult> RunBatchTransfer(const QStringList &devices, const ReceiverSetup &setup,
                                    const EventCatalog &catalog, const BatchOptions &options);

// Checks, before anything is sent, that `path` can take a batch's alerts:
// appendable, and either new/empty or a log that has the Receiver column.
bool CheckBatchAlertLog(const QString &path, QString *why);

// Device list file: one device a line; blank lines are ignored, and "#" at
// the start of a line or after a blank begins a comment. Every name is checked with
// IsAcceptableDeviceName; a file that is not a regular file of sane size, a
// bad name or a name given twice is refused with its line number.
bool ReadDeviceList(const QString &path, QStringList *devices, QString *why);
