// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/RequiredTestAudit.h"

#include <QLocale>
#include <QTextStream>

#include <functional>

#include <algorithm>

namespace {

// Test dates, sorted, for the periods to count from.
QList<QDate> testDates(const QList<AlertLogEntry> &entries, const QString &code)
{
    QList<QDate> dates;
    for (const AlertLogEntry &e : entries)
        if (e.code == code && e.localTime.isValid())
            dates << e.localTime.date();   // the row's own local date
    std::sort(dates.begin(), dates.end());
    return dates;
}

int countIn(const QList<QDate> &sorted, const QDate &start, const QDate &end)
{
    const auto lo = std::lower_bound(sorted.begin(), sorted.end(), start);
    const auto hi = std::upper_bound(sorted.begin(), sorted.end(), end);
    return int(hi - lo);
}

AuditPeriod period(const QList<QDate> &tests, const QDate &start, const QDate &end, const QDate &from,
                   const QDate &to, const QDate &today)
{
    AuditPeriod p;
    p.start = start;
    p.end = end;
    p.tests = countIn(tests, start, end);
    p.partial = start < from || end > to;
    p.pending = p.tests == 0 && end >= today;
    return p;
}

QDate lastUpTo(const QList<QDate> &sorted, const QDate &today)
{
    const auto it = std::upper_bound(sorted.begin(), sorted.end(), today);
    return it == sorted.begin() ? QDate() : *(it - 1);
}

QString status(const AuditPeriod &p)
{
    return p.pending ? QStringLiteral("pending") : p.missing() ? QStringLiteral("missing") : QStringLiteral("ok");
}

QString isoDate(const QDate &d)
{
    return d.toString(Qt::ISODate);
}

} // namespace

QDate RequiredTest::weekStart(const QDate &d)
{
    return d.addDays(-(d.dayOfWeek() % 7));   // Qt: Monday 1 .. Sunday 7
}

QList<AuditPeriod> RequiredTestAuditResult::missingWeeks() const
{
    QList<AuditPeriod> out;
    for (const AuditPeriod &p : weeks)
        if (p.missing())
            out << p;
    return out;
}

QList<AuditPeriod> RequiredTestAuditResult::missingMonths() const
{
    QList<AuditPeriod> out;
    for (const AuditPeriod &p : months)
        if (p.missing())
            out << p;
    return out;
}

namespace {

RequiredTestAuditResult auditDates(const QList<QDate> &rwt, const QList<QDate> &rmt, const QDate &from,
                                   const QDate &to, const QDate &today)
{
    RequiredTestAuditResult r;
    r.from = from;
    r.to = to;
    r.today = today;
    // No weekly test is sent in the week of a monthly test: the RMT stands
    // for that week's test.
    QList<QDate> weekly = rwt + rmt;
    std::sort(weekly.begin(), weekly.end());
    if (from.isValid() && to.isValid() && from <= to) {
        for (QDate w = RequiredTest::weekStart(from); w <= to; w = w.addDays(7))
            r.weeks << period(weekly, w, w.addDays(6), from, to, today);
        for (QDate m(from.year(), from.month(), 1); m <= to; m = m.addMonths(1))
            r.months << period(rmt, m, m.addMonths(1).addDays(-1), from, to, today);
    }
    r.lastRwt = lastUpTo(rwt, today);
    r.lastRmt = lastUpTo(rmt, today);
    r.daysSinceRwt = r.lastRwt.isValid() ? int(r.lastRwt.daysTo(today)) : -1;
    r.daysSinceRmt = r.lastRmt.isValid() ? int(r.lastRmt.daysTo(today)) : -1;
    return r;
}

} // namespace

RequiredTestAuditResult RunRequiredTestAudit(const QList<AlertLogEntry> &entries, const QDate &from,
                                             const QDate &to, const QDate &today)
{
    return auditDates(testDates(entries, RequiredTest::WeeklyCode), testDates(entries, RequiredTest::MonthlyCode),
                      from, to, today);
}

QString AuditWeekText(const AuditPeriod &p)
{
    const QLocale c = QLocale::c();
    return QStringLiteral("%1 %2 to %3 %4")
        .arg(c.dayName(p.start.dayOfWeek(), QLocale::ShortFormat), isoDate(p.start),
             c.dayName(p.end.dayOfWeek(), QLocale::ShortFormat), isoDate(p.end));
}

QString AuditMonthText(const AuditPeriod &p)
{
    return QLocale::c().toString(p.start, QStringLiteral("MMMM yyyy"));
}

QString AuditText(const RequiredTestAuditResult &r)
{
    QString out;
    QTextStream s(&out);
    s << "Period: " << isoDate(r.from) << " to " << isoDate(r.to)
      << " (weeks run Sunday to Saturday; dates as logged)\n";
    auto since = [&](const char *name, const QDate &last, int days) {
        s << "Last " << name << ": ";
        if (last.isValid())
            s << isoDate(last) << " (" << days << (days == 1 ? " day" : " days") << " ago)\n";
        else
            s << "none in the log\n";
    };
    const QList<AuditPeriod> weeks = r.missingWeeks();
    const QList<AuditPeriod> months = r.missingMonths();
    s << "Weeks without a Required Weekly Test (RWT, or an RMT in its place): " << weeks.size() << " of " << r.weeks.size() << '\n';
    for (const AuditPeriod &p : weeks)
        s << "  " << AuditWeekText(p) << (p.partial ? "  (partly outside the period)" : "") << '\n';
    s << "Months without a Required Monthly Test (RMT): " << months.size() << " of " << r.months.size() << '\n';
    for (const AuditPeriod &p : months)
        s << "  " << AuditMonthText(p) << (p.partial ? "  (partly outside the period)" : "") << '\n';
    for (const AuditPeriod &p : r.weeks)
        if (p.pending)
            s << "Week " << AuditWeekText(p) << " has not ended: no RWT yet\n";
    for (const AuditPeriod &p : r.months)
        if (p.pending)
            s << "Month " << AuditMonthText(p) << " has not ended: no RMT yet\n";
    since("RWT", r.lastRwt, r.daysSinceRwt);
    since("RMT", r.lastRmt, r.daysSinceRmt);
    return out;
}

QString AuditCsv(const RequiredTestAuditResult &r)
{
    QString out = QStringLiteral("Kind,Test,Start,End,Status,Tests\n");
    for (const AuditPeriod &p : r.weeks)
        out += QStringLiteral("week,RWT,%1,%2,%3,%4\n").arg(isoDate(p.start), isoDate(p.end), status(p)).arg(p.tests);
    for (const AuditPeriod &p : r.months)
        out += QStringLiteral("month,RMT,%1,%2,%3,%4\n").arg(isoDate(p.start), isoDate(p.end), status(p)).arg(p.tests);
    out += QStringLiteral("last,RWT,%1,%2,,%3\n")
               .arg(isoDate(r.lastRwt), isoDate(r.today), r.daysSinceRwt < 0 ? QString() : QString::number(r.daysSinceRwt));
    out += QStringLiteral("last,RMT,%1,%2,,%3\n")
               .arg(isoDate(r.lastRmt), isoDate(r.today), r.daysSinceRmt < 0 ? QString() : QString::number(r.daysSinceRmt));
    return out;
}

void RequiredTestCollector::setReceivers(const QStringList &receivers)
{
    m_only = receivers;
    for (const QString &r : receivers)
        m_receivers[r];
}

QStringList RequiredTestCollector::unknownNames() const
{
    QStringList out;
    for (const QString &n : m_only + m_excluded)
        if (!m_seen.contains(n) && !out.contains(n))
            out << n;
    return out;
}

bool IsMonitorSource(const QString &receiver)
{
    return receiver.startsWith(QLatin1String("monitor:"));
}

void RequiredTestCollector::add(const AlertLogEntry &e)
{
    if (!e.localTime.isValid())
        return;
    if (!m_seen.contains(e.receiver))
        m_seen.insert(e.receiver);
    if ((!m_only.isEmpty() && !m_only.contains(e.receiver)) || m_excluded.contains(e.receiver))
        return;
    Tests &t = m_receivers[e.receiver];
    if (!t.firstDate.isValid() || e.localTime.date() < t.firstDate)
        t.firstDate = e.localTime.date();
    if (e.code == RequiredTest::WeeklyCode)
        t.rwt << e.localTime;
    else if (e.code == RequiredTest::MonthlyCode)
        t.rmt << e.localTime;
    if ((!m_today.isValid() || e.localTime.date() <= m_today)
        && (!t.lastAlert.isValid() || e.localTime > t.lastAlert)) {
        t.lastAlert = e.localTime;
        t.lastAlertDate = e.localTime.date();
    }
}

namespace {

// The latest instant whose own local date is on or before today.
QDateTime lastBy(const QList<QDateTime> &times, const QDate &today)
{
    QDateTime best;
    for (const QDateTime &t : times)
        if (t.date() <= today && (!best.isValid() || t > best))
            best = t;
    return best;
}

QList<QDate> datesOf(const QList<QDateTime> &times)
{
    QList<QDate> out;
    out.reserve(times.size());
    for (const QDateTime &t : times)
        out << t.date();   // the row's own local date
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

QList<ReceiverAudit> RequiredTestCollector::run(const QDate &from, const QDate &to, const QDate &today) const
{
    QList<ReceiverAudit> out;
    QMap<QString, Tests> receivers = m_receivers;
    if (receivers.isEmpty())
        receivers.insert(QString(), Tests());   // an empty log: its one receiver had no test
    for (auto it = receivers.cbegin(); it != receivers.cend(); ++it) {
        // A recording played into the monitor is no station's monitor: it
        // owes no tests unless it is asked for by name.
        if (it.key() == RecordingSource && !m_only.contains(it.key()))
            continue;
        ReceiverAudit a;
        a.receiver = it.key();
        a.monitor = IsMonitorSource(a.receiver);
        a.firstRow = it->firstDate;
        a.result = auditDates(datesOf(it->rwt), datesOf(it->rmt), from, to, today);
        // Nothing is owed before the first row: a week or month that ended
        // before it is left out, and the one it falls in is not a gap.
        if (a.firstRow.isValid()) {
            auto owed = [&](QList<AuditPeriod> &periods) {
                a.startsLater |= periods.removeIf([&](const AuditPeriod &p) { return p.start < a.firstRow && p.tests == 0; }) > 0;
            };
            owed(a.result.weeks);
            owed(a.result.months);
        }
        a.lastRwtTime = lastBy(it->rwt, today);
        a.lastRmtTime = lastBy(it->rmt, today);
        if (it->lastAlert.isValid() && it->lastAlertDate <= today)
            a.lastAlertTime = it->lastAlert;
        out << a;
    }
    return out;
}

QString ReceiverDisplayName(const QString &receiver)
{
    return receiver.isEmpty() ? QStringLiteral("(no receiver named)") : receiver;
}

bool AuditsHaveGaps(const QList<ReceiverAudit> &audits)
{
    return std::any_of(audits.begin(), audits.end(), [](const ReceiverAudit &a) { return a.result.hasGaps(); });
}

namespace {

// One group of the text report: receivers, or monitors.
void auditGroupText(QTextStream &s, const QList<ReceiverAudit> &audits, bool monitors, const QDate &from)
{
    int count = 0, withGaps = 0;
    for (const ReceiverAudit &a : audits) {
        if (a.monitor == monitors) {
            ++count;
            withGaps += a.result.hasGaps() ? 1 : 0;
        }
    }
    if (monitors && count == 0)
        return;
    if (monitors)
        s << "\nMonitors: " << count << ", " << withGaps << " with a gap (for a broadcaster, what its monitor heard "
          << "is the record of tests received that 47 CFR 11.61 asks for)\n";
    else
        s << "Receivers: " << count << ", " << withGaps << " with a gap\n";
    // Receivers with a gap first, so they are read first.
    for (bool gaps : {true, false}) {
        for (const ReceiverAudit &a : audits) {
            if (a.result.hasGaps() != gaps || a.monitor != monitors)
                continue;
            s << '\n' << (monitors ? "Monitor " : "Receiver ") << ReceiverDisplayName(a.receiver)
              << (gaps ? ": GAPS" : ": ok");
            if (a.startsLater)
                s << " (owes tests from its first row, " << isoDate(a.firstRow) << ')';
            s << '\n';
            QString body = AuditText(a.result);
            body = body.mid(body.indexOf(QLatin1Char('\n')) + 1);   // the period is said once above
            body.replace(QLatin1Char('\n'), QLatin1String("\n  "));
            s << "  " << body.trimmed() << '\n';
        }
    }
}

} // namespace

QString ReceiverAuditText(const QList<ReceiverAudit> &audits, const QDate &from, const QDate &to)
{
    QString out;
    QTextStream s(&out);
    s << "Period: " << isoDate(from) << " to " << isoDate(to) << " (weeks run Sunday to Saturday; dates as logged)\n";
    auditGroupText(s, audits, false, from);
    auditGroupText(s, audits, true, from);
    return out;
}

QString ReceiverAuditCsv(const QList<ReceiverAudit> &audits)
{
    QString out = QStringLiteral("Receiver,Kind,Test,Start,End,Status,Tests\n");
    for (const ReceiverAudit &a : audits) {
        const QString name = CsvField(a.receiver) + QLatin1Char(',');
        const QStringList lines = AuditCsv(a.result).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (int i = 1; i < lines.size(); ++i)
            out += name + lines.at(i) + QLatin1Char('\n');
    }
    return out;
}

QByteArray JsonString(const QString &s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : s) {
        const ushort u = c.unicode();
        switch (u) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (u < 0x20)
                out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
            else
                out += c;   // pairs of surrogates stay together for toUtf8 below
        }
    }
    out += QLatin1Char('"');
    return out.toUtf8();
}

namespace {

QByteArray jsonDate(const QDate &d)
{
    return d.isValid() ? JsonString(isoDate(d)) : QByteArray("null");
}

QByteArray jsonTime(const QDateTime &t)
{
    return t.isValid() ? JsonString(t.toString(Qt::ISODate)) : QByteArray("null");
}

QByteArray jsonPeriods(const QList<AuditPeriod> &periods)
{
    QByteArray out = "[";
    for (int i = 0; i < periods.size(); ++i) {
        const AuditPeriod &p = periods.at(i);
        if (i)
            out += ',';
        out += "{\"start\":" + jsonDate(p.start) + ",\"end\":" + jsonDate(p.end) + ",\"status\":\""
            + status(p).toLatin1() + "\",\"tests\":" + QByteArray::number(p.tests)
            + ",\"partial\":" + (p.partial ? "true" : "false") + '}';
    }
    return out + ']';
}

} // namespace

QByteArray ReceiverAuditJson(const QList<ReceiverAudit> &audits, const QDate &from, const QDate &to,
                             const QDate &today, const AuditLogFacts &facts)
{
    QByteArray out = "{\"schema\":\"nx4400c-log-audit\",\"version\":2,\"log\":" + JsonString(facts.log)
        + ",\"from\":" + jsonDate(from) + ",\"to\":" + jsonDate(to) + ",\"today\":" + jsonDate(today)
        + ",\"weekStartsOn\":\"sunday\",\"skippedRows\":" + QByteArray::number(facts.skippedRows) + ",\"tornRows\":"
        + QByteArray::number(facts.tornRows) + ",\"gaps\":" + (AuditsHaveGaps(audits) ? "true" : "false")
        + ",\"receivers\":[";
    for (int i = 0; i < audits.size(); ++i) {
        const ReceiverAudit &a = audits.at(i);
        const RequiredTestAuditResult &r = a.result;
        if (i)
            out += ',';
        auto days = [](int d) { return d < 0 ? QByteArray("null") : QByteArray::number(d); };
        out += "{\"receiver\":" + JsonString(a.receiver) + ",\"kind\":" + (a.monitor ? "\"monitor\"" : "\"receiver\"")
            + ",\"firstRow\":" + jsonDate(a.firstRow) + ",\"gaps\":" + (r.hasGaps() ? "true" : "false")
            + ",\"missingWeeks\":" + QByteArray::number(r.missingWeeks().size()) + ",\"missingMonths\":"
            + QByteArray::number(r.missingMonths().size()) + ",\"lastRwt\":" + jsonTime(a.lastRwtTime)
            + ",\"daysSinceRwt\":" + days(r.daysSinceRwt) + ",\"lastRmt\":" + jsonTime(a.lastRmtTime)
            + ",\"daysSinceRmt\":" + days(r.daysSinceRmt) + ",\"lastAlert\":" + jsonTime(a.lastAlertTime)
            + ",\"weeks\":" + jsonPeriods(r.weeks) + ",\"months\":" + jsonPeriods(r.months) + '}';
    }
    return out + "]}\n";
}

QByteArray ReceiverAuditOpenMetrics(const QList<ReceiverAudit> &audits, const AuditLogFacts &facts)
{
    auto label = [](const QString &v) {
        QString e = v;
        e.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        e.replace(QLatin1Char('"'), QLatin1String("\\\""));
        e.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        return QStringLiteral("{receiver=\"%1\"}").arg(e).toUtf8();
    };
    auto seconds = [](const QDateTime &t) { return QByteArray::number(t.isValid() ? t.toSecsSinceEpoch() : 0); };
    QByteArray out;
    auto family = [&](const char *name, const char *help, const std::function<QByteArray(const ReceiverAudit &)> &value) {
        out += QByteArray("# TYPE ") + name + " gauge\n# HELP " + name + ' ' + help + '\n';
        for (const ReceiverAudit &a : audits)
            out += QByteArray(name) + label(a.receiver) + ' ' + value(a) + '\n';
    };
    family("nx4400c_last_rwt_timestamp_seconds",
           "Time of the last Required Weekly Test logged for the receiver (0: none in the log).",
           [&](const ReceiverAudit &a) { return seconds(a.lastRwtTime); });
    family("nx4400c_last_rmt_timestamp_seconds",
           "Time of the last Required Monthly Test logged for the receiver (0: none in the log).",
           [&](const ReceiverAudit &a) { return seconds(a.lastRmtTime); });
    family("nx4400c_last_alert_timestamp_seconds",
           "Time of the last alert of any kind logged for the receiver (0: none); the log records no transfer results.",
           [&](const ReceiverAudit &a) { return seconds(a.lastAlertTime); });
    family("nx4400c_missing_weekly_tests",
           "Weeks (Sunday to Saturday) in the audited period without an RWT or RMT.",
           [](const ReceiverAudit &a) { return QByteArray::number(a.result.missingWeeks().size()); });
    family("nx4400c_missing_monthly_tests", "Months in the audited period without an RMT.",
           [](const ReceiverAudit &a) { return QByteArray::number(a.result.missingMonths().size()); });
    out += "# TYPE nx4400c_alert_log_rows_left_out gauge\n"
           "# HELP nx4400c_alert_log_rows_left_out Rows of the alert log that could not be read or were torn.\n"
           "nx4400c_alert_log_rows_left_out "
        + QByteArray::number(facts.skippedRows + facts.tornRows) + '\n';
    out += "# EOF\n";
    return out;
}
