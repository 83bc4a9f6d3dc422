// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/RequiredTestAudit.h"

#include <QLocale>
#include <QTextStream>

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

RequiredTestAuditResult RunRequiredTestAudit(const QList<AlertLogEntry> &entries, const QDate &from,
                                             const QDate &to, const QDate &today)
{
    RequiredTestAuditResult r;
    r.from = from;
    r.to = to;
    r.today = today;
    const QList<QDate> rwt = testDates(entries, RequiredTest::WeeklyCode);
    const QList<QDate> rmt = testDates(entries, RequiredTest::MonthlyCode);
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
