// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

struct HistorySource;
namespace Platform {
class NativeFile;
}

// A CSV log of every alert the receiver reported. The receiver holds only its
// last 40 alerts and no year, so each transfer adds the alerts that are not
// in the log yet. The log only ever grows: rows are appended under a lock and
// the file is never replaced, so several programs can log into it at once
// and a program that appends its own lines loses nothing.
//
// Format: UTF-8, one header line, then one row per alert. The header line
// names the layout; three have been written:
//   1: LocalDateTime,Originator,EventCode,EventName,Class,Length
//   2: ... ,Receiver
//   3: ... ,Receiver,Locations,Header,Heard,Note   (every new log)
// LocalDateTime is ISO 8601 with the offset from UTC (2026-03-06T09:30:00-05:00),
// years 1900 to 9999; a row without the offset, or with a date outside those
// years, is not read. The log's zone rule: every time in it is local time
// with its offset from UTC, so each is an exact instant; the receiver's
// rows are in the zone the receiver is set to, the monitor's in the zone of
// the computer that heard them (TZ). Dates (audit weeks, --from/--to) are
// each row's own local date.
//
// Receiver: the device (or monitor source) that heard the alert, so that one
// log keeps a fleet's alerts apart. The last four columns are the monitor's
// and empty on a receiver's rows: Locations (the PSSCCC codes, separated by
// blanks), Header (the whole header as heard), Heard (when its first burst
// was heard) and Note (why a header heard alike in every burst is still
// malformed, naming the field). On a monitor's row LocalDateTime is the
// time of issue the header states, so a recording replayed later counts for
// the day it was sent. A log begun in an older layout keeps it (a receiver's
// transfer still appends to it) until `nx4400c-cli log upgrade` rewrites it
// in the current one; the monitor refuses it until then.
//
// A last line without its line end is a torn row, what a crash or a full
// disk leaves behind: it is never read as an alert nor matched as one. The
// next append starts on a fresh line and writes AlertLogTornMarker on the
// line after the torn one, so that the row stays out for good; the log
// itself is never rewritten. Lines that begin with # are not rows.
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
    QString receiver;      // the device or monitor source that heard it ("/dev/ttyUSB0", "monitor:hw:1")
    // A monitor's rows only (empty for the receiver's history):
    QStringList locations; // "PSSCCC" codes the header names
    QString header;        // the whole header as heard ("ZCZC-...-")
    QDateTime heard;       // when its first burst was heard
    QString note;          // why the header is malformed though heard alike ("issue day 000 ...")

    bool offAir() const { return !header.isEmpty(); }
    // Purge time in minutes from Length "hh:mm"; 0 when it cannot be read.
    int purgeMinutes() const;
    // Until when a repeat of this header is the same message: the time of
    // issue plus the purge time, or, for a header first heard after that
    // (a late relay, a replayed recording), the time heard plus the purge
    // time.
    QDateTime repeatEnd() const;

    // Fields that identify one alert: when, who, what, for how long, and
    // which receiver heard it. The name and class are left out so that a
    // later catalogue that renames an event does not log its old alerts a
    // second time. A monitor's row adds its whole header: two different
    // headers are never one alert.
    QString key() const;
    // The row as written to a log with or without the Receiver column.
    QString csvLine(bool withReceiver = false) const;
    // The row as written to a log of that layout (1 to AlertLogLayoutCurrent).
    QString csvLineFor(int layout) const;
};

inline const QString AlertLogHeader =
    QStringLiteral("LocalDateTime,Originator,EventCode,EventName,Class,Length");
inline const QString AlertLogHeaderWithReceiver = AlertLogHeader + QStringLiteral(",Receiver");
inline const QString AlertLogHeaderWithMonitor = AlertLogHeaderWithReceiver + QStringLiteral(",Locations,Header,Heard,Note");
// The layouts a log's header line names; every new log gets the current one.
constexpr int AlertLogLayoutSixColumns = 1;
constexpr int AlertLogLayoutReceiver = 2;
constexpr int AlertLogLayoutMonitor = 3;
constexpr int AlertLogLayoutCurrent = AlertLogLayoutMonitor;
// The header line of a layout.
QString AlertLogHeaderOf(int layout);
// The line written after a torn row when the next append starts.
inline const QByteArray AlertLogTornMarker = QByteArrayLiteral("# the line above was cut off and is not an alert");
// The years a logged date or a date option may have.
constexpr int AlertLogFirstYear = 1900;
constexpr int AlertLogLastYear = 9999;

// A date option (--from, --to) in the form YYYY-MM-DD with a year of
// 1900 to 9999; invalid with *error naming the option otherwise.
QDate ParseAlertLogDateOption(const QString &option, const QString &value, QString *error);

// The user's alert log: alerts.csv in the program's data folder
// (~/.local/share/NX4400C/alerts.csv for the application name "NX4400C").
// Empty when the system names no data folder (HOME unset).
QString DefaultAlertLogPath();

// Creates the folder that holds `fileName` when it is missing.
bool MakeAlertLogFolder(const QString &fileName, QString *error = nullptr);

// The alerts in ReceiveBuffer, oldest first. Slots that are empty, or whose
// day or time cannot be read, give no entry; *unreadable counts the latter.
QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, int *unreadable = nullptr);
// The same, each alert naming `receiver`: the device as the user named it
// ("/dev/ttyUSB0", "rfc2217://rack:4001"; for a port number, the port's
// device) or a monitor source ("monitor:hw:1").
QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, const QString &receiver, int *unreadable = nullptr);

struct AlertLogMerge {
    bool ok = false;
    QString error;          // why the log was refused or not written, naming the file
    QByteArray content;     // the whole log after the merge
    QByteArray appended;    // the bytes that go at the end of the existing log
    QList<AlertLogEntry> added;
    bool receiverColumn = false;   // the log has the Receiver column
    int layout = 0;                // the log's layout (AlertLogLayout...)
    bool receiverDropped = false;  // entries named a receiver the log has no column for
    bool tornRow = false;          // the log ended in a torn row; the new rows start on a fresh line
    QString notice;                // a sentence about the torn row, naming the file, for the user
};

// Adds to an existing log (its bytes, empty for a new log) the alerts it does
// not hold yet. An alert that the history holds n times is in the log n
// times after the merge, never more. The existing bytes are kept as they are.
// A non-empty log whose first line is not a header is refused. A new log
// always gets the Receiver column.
AlertLogMerge MergeAlertLog(const QByteArray &existing, const QList<AlertLogEntry> &alerts);

// Appends to FILE the alerts it does not hold yet (a missing file is begun
// with the header). The file is opened without following a dangling link
// and without blocking, refused unless it is a regular file, locked (the
// system's whole-file lock, shared with every program that logs), read row
// by row for the keys of the alerts being added (nothing else is kept),
// extended with one write, synced and unlocked. A log that `log upgrade` replaced while
// this waited for the lock is opened again. A lock another program holds
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
    int layout = 0;
    int skipped = 0;
    int torn = 0;            // torn rows left out (the last line without its end, or marked)
    QString firstProblem;    // "line 5: ..." for the first row left out
};
bool ReadAlertLog(const QString &fileName, AlertLogContent *content, QString *error = nullptr,
                  bool missingIsEmpty = true);
// The same for log bytes already read.
bool ParseAlertLog(const QByteArray &bytes, AlertLogContent *content, QString *error = nullptr);

// A whole log (header and rows) for `entries`, as an export writes it:
// with the Receiver column in the current layout, without it in six columns.
QByteArray AlertLogText(const QList<AlertLogEntry> &entries, bool withReceiver);
QByteArray AlertLogTextFor(const QList<AlertLogEntry> &entries, int layout);

// Splits one CSV line into fields (RFC 4180 quoting). A quoted field that
// begins with the spreadsheet guard (' before = + - @ ' TAB CR) comes back
// without it.
QStringList SplitCsvLine(const QString &line);
// One field as the log writes it: quoted when needed, guarded against
// spreadsheet formulas.
QString CsvField(const QString &value);

// Reads a log row by row, holding one row at a time: show, audit, the
// append's duplicate check and the window all go through it. Rows that
// cannot be read are counted and left out; so are torn rows.
class AlertLogReader
{
public:
    AlertLogReader();
    ~AlertLogReader();
    AlertLogReader(const AlertLogReader &) = delete;
    AlertLogReader &operator=(const AlertLogReader &) = delete;

    // Opens FILE without blocking and reads its header. Refuses anything but
    // a regular file and a file that is not an alert log, with a reason
    // naming the file. A missing file is an empty log when `missingIsEmpty`.
    bool open(const QString &fileName, QString *error = nullptr, bool missingIsEmpty = true);
    // Reads `size` bytes of an open file from its start (the append reads
    // the file it holds locked). The file stays the caller's and must stay
    // open while this reads.
    bool openFile(Platform::NativeFile &file, qint64 size, QString *error = nullptr);
    // Reads log bytes in memory.
    bool openBytes(const QByteArray &bytes, QString *error = nullptr);

    // The next row; false at the end (or on a read error, see error()).
    bool next(AlertLogEntry *entry);
    // Only rows whose instant falls in one of these minutes (seconds since
    // 1970 in UTC, divided by 60) are parsed and returned; the others are
    // passed over at the cost of reading their date. The append looks for
    // the keys of 40 alerts among millions of rows this way.
    void setMinutes(const QSet<qint64> &minutes) { m_minutes = minutes; m_useMinutes = true; }
    // The row just returned as it stands in the file, without its line end.
    const QByteArray &rawLine() const { return m_current.raw; }

    bool hasHeader() const { return m_header != 0; }
    bool receiverColumn() const { return m_header >= AlertLogLayoutReceiver; }
    // The layout its header names; 0 before a header was read.
    int layout() const { return m_header; }
    qint64 bytesRead() const { return m_consumed; }
    qint64 size() const { return m_size; }
    int skipped() const { return m_skipped; }
    int torn() const { return m_torn; }
    QString firstProblem() const { return m_firstProblem; }
    // After the last row: the log does not end in a line end, and its last
    // line is a row (not only the header).
    bool endsInTornRow() const { return m_endsTorn; }
    bool endsWithoutNewline() const { return m_noNewlineAtEnd; }
    QString error() const { return m_error; }

private:
    struct Pending {
        bool valid = false;
        bool present = false;
        bool passedOver = false;   // not one of the minutes looked for
        qint64 line = 0;
        AlertLogEntry entry;
        QByteArray raw;
        QString problem;
    };
    bool readHeader(QString *error);
    bool startReading(QString *error);
    bool nextLine(QByteArray *line, bool *terminated);
    bool fill();
    void leaveOut(const Pending &p);

    Platform::NativeFile *m_file = nullptr;
    std::unique_ptr<Platform::NativeFile> m_ownFile;   // what open() opened
    qint64 m_size = 0;
    qint64 m_offset = 0;       // next byte to read from the file
    qint64 m_consumed = 0;     // bytes taken as lines
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    qint64 m_lineNo = 0;
    int m_header = 0;
    int m_skipped = 0;
    int m_torn = 0;
    bool m_endsTorn = false;
    bool m_noNewlineAtEnd = false;
    QString m_firstProblem;
    QString m_error;
    QString m_name;
    Pending m_pending;
    Pending m_current;
    QSet<qint64> m_minutes;
    bool m_useMinutes = false;
    QByteArray m_back;             // a line read ahead and given back
    bool m_backTerminated = false;
    bool m_hasBack = false;
};

// Parses one row of a log (without its line end); false with a reason when
// it is not a readable row.
bool ParseAlertLogRow(const QByteArray &line, bool receiverColumn, AlertLogEntry *entry, QString *why = nullptr);
bool ParseAlertLogRowFor(const QByteArray &line, int layout, AlertLogEntry *entry, QString *why = nullptr);

// For a run that logs several receivers into FILE: true when FILE is
// missing, empty or has the Receiver column (only its header is read);
// otherwise false with a reason that names `nx4400c-cli log upgrade`.
bool CheckAlertLogNamesReceivers(const QString &fileName, QString *why);

// For the monitor, which writes the columns of the current layout: true
// when FILE is missing, empty or in that layout; otherwise false with a
// reason naming `nx4400c-cli log upgrade`.
bool CheckAlertLogTakesMonitorRows(const QString &fileName, QString *why);

// Rewrites a log of an older layout in the current one, atomically (the new
// file replaces the old one only when it is whole on disk): every row of a
// six-column log names `receiver` (required then, ignored otherwise), and
// every row gets the monitor's columns, empty. The old file is kept as
// FILE.bak, which must not exist yet unless it is the log itself (left by an
// upgrade that was killed after making it). Through a symbolic link, the
// backup is a copy of the file the link leads to, and the new file takes
// that file's place. Holds the log's lock meanwhile, so no append is lost.
// A log in the current layout is left alone (rows = -1).
struct AlertLogUpgrade {
    bool ok = false;
    QString error;
    QString backup;
    int rows = 0;
    int fromLayout = 0;
};
AlertLogUpgrade UpgradeAlertLog(const QString &fileName, const QString &receiver, int lockTimeoutMs = 10000);

// The minute of an instant as setMinutes() takes it.
qint64 AlertLogMinute(const QDateTime &t);
