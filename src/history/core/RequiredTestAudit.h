// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/AlertLog.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QList>
#include <QString>

// Stations that relay alerts must receive a Required Weekly Test (RWT) every
// week and a Required Monthly Test (RMT) every month. The audit looks at the
// alert log over a period and names the weeks and months that had none.
//
// Rules:
// - Weeks run Sunday to Saturday, as US calendars and US broadcast logs
//   count them. (RWTs are usually sent mid-week, so the choice matters only
//   for a test received on a Sunday or Monday.)
// - An RMT also counts as the test of its week: stations send no RWT in the
//   week of a monthly test.
// - Months are calendar months.
// - An alert counts on the local date it was logged with: the date in the
//   row, with the offset from UTC the row carries, not converted to the time
//   zone of the computer that runs the audit. A daylight-saving change
//   therefore moves nothing from one week to another.
// - Every week and month that overlaps the period is audited whole: a test
//   on a day of that week (or month) outside the period still counts. Such
//   an edge week or month is marked partial.
// - A week or month that has not ended by `today` and holds no test yet is
//   pending, not a gap: its test may still come.
// - Days since the last test count calendar days from the local date of the
//   last RWT (RMT) on or before today to today.
struct AuditPeriod {
    QDate start;             // Sunday, or the 1st of the month
    QDate end;               // Saturday, or the last day of the month
    int tests = 0;           // tests received in it (a week counts RWTs and RMTs)
    bool partial = false;    // reaches beyond the audited period
    bool pending = false;    // not over yet and no test so far
    bool missing() const { return tests == 0 && !pending; }
};

struct RequiredTestAuditResult {
    QDate from;
    QDate to;
    QDate today;
    QList<AuditPeriod> weeks;
    QList<AuditPeriod> months;
    QDate lastRwt;           // invalid when the log holds none up to today
    QDate lastRmt;
    int daysSinceRwt = -1;   // -1 when there was none
    int daysSinceRmt = -1;

    QList<AuditPeriod> missingWeeks() const;
    QList<AuditPeriod> missingMonths() const;
    bool hasGaps() const { return !missingWeeks().isEmpty() || !missingMonths().isEmpty(); }
};

namespace RequiredTest {
inline const QString WeeklyCode = QStringLiteral("RWT");
inline const QString MonthlyCode = QStringLiteral("RMT");
// Sunday of the week that holds `d`.
QDate weekStart(const QDate &d);
}

// Audits [from, to] (local dates, both included) over every row given, as
// one receiver. `from` after `to` gives no periods.
RequiredTestAuditResult RunRequiredTestAudit(const QList<AlertLogEntry> &entries, const QDate &from,
                                             const QDate &to, const QDate &today);

// The audit as text for people (the command line) and as CSV:
// Kind,Test,Start,End,Status,Tests with one row per week and month
// (status ok, missing or pending) and one "last" row per test whose Start is
// the date of the last test, End today and Tests the days in between.
QString AuditText(const RequiredTestAuditResult &r);
QString AuditCsv(const RequiredTestAuditResult &r);
// "Sun 2026-03-08 to Sat 2026-03-14", "March 2026".
QString AuditWeekText(const AuditPeriod &p);
QString AuditMonthText(const AuditPeriod &p);

// The tests are owed by each receiver and each monitor source: one audit per
// name in the Receiver column. A log without that column (or rows with an
// empty Receiver) is one receiver with an empty name. Every receiver named
// in the log owes every week and month of the period from its first row on
// (a receiver or monitor added later owes nothing before), so one that
// stopped logging shows as gaps; a receiver taken out of service is left
// out with --exclude, or the ones to audit are named with --receiver.
// Monitor sources ("monitor:...") are audited as monitors, in a group of
// their own: for a broadcaster, what its monitor heard is the record of
// tests received that 47 CFR 11.61 asks for. A recording played into the
// monitor (RecordingSource) owes nothing unless named.
struct ReceiverAudit {
    QString receiver;
    bool monitor = false;      // a monitor source, not a receiver
    QDate firstRow;            // the local date of its first row; invalid when it has none
    bool startsLater = false;  // periods before its first row were left out
    RequiredTestAuditResult result;
    QDateTime lastRwtTime;     // the instant of the last RWT (RMT) on or before today; invalid when none
    QDateTime lastRmtTime;
    QDateTime lastAlertTime;   // the last row of any code on or before today
};

// Collects the required tests of a log read row by row; it keeps only the
// tests' dates, so a log of millions of rows costs little.
class RequiredTestCollector
{
public:
    // Only these receivers are audited (each even without a row); empty:
    // every receiver the rows name.
    void setReceivers(const QStringList &receivers);
    // These receivers are left out.
    void setExcluded(const QStringList &receivers) { m_excluded = receivers; }
    // The names given to setReceivers or setExcluded that no row named.
    QStringList unknownNames() const;
    // Rows dated after `today` do not count as the last alert.
    void setToday(const QDate &today) { m_today = today; }
    void add(const AlertLogEntry &e);
    QList<ReceiverAudit> run(const QDate &from, const QDate &to, const QDate &today) const;

private:
    struct Tests {
        QList<QDateTime> rwt;
        QList<QDateTime> rmt;
        QDateTime lastAlert;
        QDate lastAlertDate;
        QDate firstDate;
    };
    QStringList m_only;
    QStringList m_excluded;
    QSet<QString> m_seen;
    QMap<QString, Tests> m_receivers;
    QDate m_today;
};

// How a receiver is named in reports: its name, or the words for a log
// without names.
QString ReceiverDisplayName(const QString &receiver);
bool AuditsHaveGaps(const QList<ReceiverAudit> &audits);

// The reports of the command line and of monitoring systems.
// Text: a section per receiver, gaps first. CSV:
// Receiver,Kind,Test,Start,End,Status,Tests (as AuditCsv, the receiver in front).
QString ReceiverAuditText(const QList<ReceiverAudit> &audits, const QDate &from, const QDate &to);
QString ReceiverAuditCsv(const QList<ReceiverAudit> &audits);
// The monitor's name for a WAV recording played into it: audited only when
// named with --receiver.
inline const QString RecordingSource = QStringLiteral("monitor:wav");
// True for a monitor source's name ("monitor:hw:1").
bool IsMonitorSource(const QString &receiver);
// JSON (docs/json/log-audit.schema.json: schema nx4400c-log-audit, version 2).
struct AuditLogFacts {
    QString log;
    int skippedRows = 0;
    int tornRows = 0;
};
QByteArray ReceiverAuditJson(const QList<ReceiverAudit> &audits, const QDate &from, const QDate &to,
                             const QDate &today, const AuditLogFacts &facts);
// The Prometheus text format (OpenMetrics, ending in "# EOF"), for the node
// exporter's textfile collector.
QByteArray ReceiverAuditOpenMetrics(const QList<ReceiverAudit> &audits, const AuditLogFacts &facts);
// A string as a JSON string literal, quotes included.
QByteArray JsonString(const QString &s);
