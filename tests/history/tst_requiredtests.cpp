// SPDX-License-Identifier: GPL-3.0-or-later
// The required-test audit on hand-made logs: weeks from Sunday to Saturday
// on the logged local dates, across daylight-saving changes and New Year,
// edge weeks and months, unfinished periods, and the command line's exit
// codes.
#include "support/TestEnv.h"

#include "config/core/ReceiverProfile.h"
#include "history/core/ReceiverCrossCheck.h"
#include "history/core/RequiredTestAudit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

// "2026-03-07T23:30-05:00 RWT" lines.
QList<AlertLogEntry> log(const QStringList &rows)
{
    QList<AlertLogEntry> out;
    for (const QString &r : rows) {
        const QStringList p = r.split(QLatin1Char(' '));
        AlertLogEntry e;
        e.localTime = QDateTime::fromString(p.at(0), Qt::ISODate);
        Q_ASSERT(e.localTime.isValid());
        e.code = p.at(1);
        e.originator = QStringLiteral("WXR");
        e.length = QStringLiteral("00:15");
        out << e;
    }
    return out;
}

QStringList starts(const QList<AuditPeriod> &periods)
{
    QStringList out;
    for (const AuditPeriod &p : periods)
        out << p.start.toString(Qt::ISODate);
    return out;
}

} // namespace

class TestRequiredTests : public QObject
{
    Q_OBJECT

private slots:
    void gaps_data();
    void gaps();
    void daysSinceLastTest();
    void weekStartsOnSunday();
    void commandLine_data();
    void commandLine();
    void perReceiver_data();
    void perReceiver();
    void fleetCommandLine_data();
    void fleetCommandLine();
    void crossCheckCommandLine_data();
    void crossCheckCommandLine();
    void transmitterWarnings_data();
    void transmitterWarnings();
};

void TestRequiredTests::gaps_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("missingWeeks");
    QTest::addColumn<QStringList>("missingMonths");

    // Spring forward on Sunday 8 March 2026: a test late on Saturday in
    // standard time is in the week before, one early on Sunday in daylight
    // time in the new week, whatever zone the audit runs in (in UTC the
    // Saturday test falls on Sunday).
    QTest::newRow("spring forward")
        << QStringList{"2026-03-04T10:00:00-05:00 RMT", "2026-03-07T23:30:00-05:00 RWT",
                       "2026-03-08T03:30:00-04:00 RWT", "2026-03-18T11:00:00-04:00 RWT",
                       "2026-03-25T11:00:00-04:00 RWT"}
        << QDate(2026, 3, 1) << QDate(2026, 3, 28) << QDate(2026, 6, 1) << QStringList{} << QStringList{};
    QTest::newRow("spring forward, Saturday test missing")
        << QStringList{"2026-03-04T10:00:00-05:00 RMT", "2026-03-08T00:30:00-05:00 RWT",
                       "2026-03-18T11:00:00-04:00 RWT", "2026-03-25T11:00:00-04:00 RWT"}
        << QDate(2026, 3, 1) << QDate(2026, 3, 28) << QDate(2026, 6, 1) << QStringList{} << QStringList{};
    QTest::newRow("spring forward, week of 8 March empty")
        << QStringList{"2026-03-04T10:00:00-05:00 RMT", "2026-03-07T23:30:00-05:00 RWT",
                       "2026-03-15T00:10:00-04:00 RWT", "2026-03-25T11:00:00-04:00 RWT"}
        << QDate(2026, 3, 1) << QDate(2026, 3, 28) << QDate(2026, 6, 1) << QStringList{"2026-03-08"}
        << QStringList{};
    // Fall back on Sunday 1 November 2026: 01:30 happens twice.
    QTest::newRow("fall back")
        << QStringList{"2026-10-31T23:59:00-04:00 RWT", "2026-11-01T01:30:00-05:00 RWT",
                       "2026-11-04T11:00:00-05:00 RMT"}
        << QDate(2026, 10, 25) << QDate(2026, 11, 7) << QDate(2026, 12, 1) << QStringList{} << QStringList{"2026-10-01"};
    QTest::newRow("fall back, first 01:30 only")
        << QStringList{"2026-11-01T01:30:00-04:00 RWT", "2026-11-04T11:00:00-05:00 RMT"}
        << QDate(2026, 10, 25) << QDate(2026, 11, 7) << QDate(2026, 12, 1) << QStringList{"2026-10-25"}
        << QStringList{"2026-10-01"};
    // New Year: the week of 28 December 2025 runs into 2026; its test on
    // 2 January counts for it. December has no RMT.
    QTest::newRow("new year")
        << QStringList{"2026-01-02T10:00:00-05:00 RWT", "2026-01-07T11:00:00-05:00 RMT"}
        << QDate(2025, 12, 28) << QDate(2026, 1, 10) << QDate(2026, 2, 1) << QStringList{}
        << QStringList{"2025-12-01"};
    QTest::newRow("new year, test on 31 December late evening")
        << QStringList{"2025-12-31T23:50:00-05:00 RWT"}
        << QDate(2025, 12, 28) << QDate(2026, 1, 10) << QDate(2026, 2, 1) << QStringList{"2026-01-04"}
        << QStringList{"2025-12-01", "2026-01-01"};
    // Edge weeks are audited whole: the period starts on a Wednesday and the
    // week's test came on the Monday before it.
    QTest::newRow("edge week counts days outside the period")
        << QStringList{"2026-05-04T10:00:00-04:00 RWT", "2026-05-13T10:00:00-04:00 RWT"}
        << QDate(2026, 5, 6) << QDate(2026, 5, 16) << QDate(2026, 6, 1) << QStringList{} << QStringList{"2026-05-01"};
    // The week and month that have not ended are pending, not gaps.
    QTest::newRow("unfinished week and month")
        << QStringList{"2026-06-03T11:00:00-04:00 RMT", "2026-06-10T11:00:00-04:00 RWT"}
        << QDate(2026, 6, 1) << QDate(2026, 6, 16) << QDate(2026, 6, 16) << QStringList{} << QStringList{};
    QTest::newRow("empty log")
        << QStringList{} << QDate(2026, 2, 1) << QDate(2026, 2, 28) << QDate(2026, 6, 1)
        << QStringList{"2026-02-01", "2026-02-08", "2026-02-15", "2026-02-22"} << QStringList{"2026-02-01"};
    QTest::newRow("other codes do not count")
        << QStringList{"2026-02-04T11:00:00-05:00 NPT", "2026-02-11T11:00:00-05:00 DMO"}
        << QDate(2026, 2, 1) << QDate(2026, 2, 14) << QDate(2026, 6, 1) << QStringList{"2026-02-01", "2026-02-08"}
        << QStringList{"2026-02-01"};
}

void TestRequiredTests::gaps()
{
    QFETCH(QStringList, rows);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QDate, today);
    QFETCH(QStringList, missingWeeks);
    QFETCH(QStringList, missingMonths);
    // The computer's own zone must not matter.
    for (const char *tz : {"UTC", "Asia/Tokyo", "America/Los_Angeles"}) {
        qputenv("TZ", tz);
        const RequiredTestAuditResult r = RunRequiredTestAudit(log(rows), from, to, today);
        QCOMPARE(starts(r.missingWeeks()), missingWeeks);
        QCOMPARE(starts(r.missingMonths()), missingMonths);
        QCOMPARE(r.hasGaps(), !missingWeeks.isEmpty() || !missingMonths.isEmpty());
    }
    qunsetenv("TZ");
}

void TestRequiredTests::daysSinceLastTest()
{
    const QList<AlertLogEntry> l = log({"2025-12-31T23:50:00-05:00 RWT", "2026-01-07T11:00:00-05:00 RMT",
                                        "2026-01-14T11:00:00-05:00 RWT", "2026-03-01T11:00:00-05:00 RWT"});
    const RequiredTestAuditResult r = RunRequiredTestAudit(l, QDate(2026, 1, 1), QDate(2026, 1, 31), QDate(2026, 2, 2));
    QCOMPARE(r.lastRwt, QDate(2026, 1, 14));   // the test logged after "today" is not counted
    QCOMPARE(r.daysSinceRwt, 19);
    QCOMPARE(r.lastRmt, QDate(2026, 1, 7));
    QCOMPARE(r.daysSinceRmt, 26);
    const RequiredTestAuditResult none = RunRequiredTestAudit({}, QDate(2026, 1, 1), QDate(2026, 1, 31), QDate(2026, 2, 2));
    QCOMPARE(none.daysSinceRwt, -1);
    QVERIFY(AuditText(none).contains(QLatin1String("Last RWT: none in the log")));
    // The partial flags mark the edge periods.
    QVERIFY(r.weeks.first().partial);                 // 28 Dec to 3 Jan
    QCOMPARE(r.weeks.first().start, QDate(2025, 12, 28));
    QVERIFY(!r.weeks.at(1).partial);
    QVERIFY(!r.months.first().partial);
}

void TestRequiredTests::weekStartsOnSunday()
{
    QCOMPARE(RequiredTest::weekStart(QDate(2026, 3, 8)), QDate(2026, 3, 8));    // Sunday
    QCOMPARE(RequiredTest::weekStart(QDate(2026, 3, 14)), QDate(2026, 3, 8));   // Saturday
    QCOMPARE(RequiredTest::weekStart(QDate(2026, 1, 1)), QDate(2025, 12, 28));
}

void TestRequiredTests::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("no gap") << QStringList{"--from", "2026-03-01", "--to", "2026-03-14"} << 0
                            << "Weeks without a Required Weekly Test (RWT, or an RMT in its place): 0 of 2";
    QTest::newRow("gap") << QStringList{"--from", "2026-03-01", "--to", "2026-03-21"} << 1 << "Sun 2026-03-15 to Sat 2026-03-21";
    QTest::newRow("csv") << QStringList{"--from=2026-03-01", "--to=2026-03-21", "--format", "csv"} << 1
                         << "week,RWT,2026-03-15,2026-03-21,missing,0";
    QTest::newRow("bad date") << QStringList{"--from", "2026-13-01"} << 2 << QString();
    QTest::newRow("from after to") << QStringList{"--from", "2026-03-10", "--to", "2026-03-01"} << 2 << QString();
    QTest::newRow("no from") << QStringList{"--to", "2026-03-01"} << 2 << QString();
    QTest::newRow("bad format") << QStringList{"--from", "2026-03-01", "--format", "xml"} << 2 << QString();
    QTest::newRow("unknown option") << QStringList{"--from", "2026-03-01", "--fast"} << 2 << QString();
    QTest::newRow("missing log") << QStringList{"--from", "2026-03-01", "--csv", "/nonexistent/alerts.csv"} << 1
                                 << QString();
}

namespace {

// Runs nx4400c-cli with `args` in a fresh folder holding the log text as
// alerts.csv; with `nameLog`, --csv names that log.
struct LogRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QString err;
};
LogRun runOnLog(const QByteArray &logText, QStringList args, bool nameLog, const QByteArray &transfers = {})
{
    LogRun r;
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("alerts.csv"));
    QFile f(logFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(logText) != logText.size())
        return r;
    f.close();
    if (!transfers.isEmpty()) {
        QFile t(dir.filePath(QStringLiteral("alerts-transfers.csv")));
        if (!t.open(QIODevice::WriteOnly) || t.write(transfers) != transfers.size())
            return r;
    }
    if (nameLog)
        args << QStringLiteral("--csv") << logFile;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), args);
    r.finished = p.waitForFinished(20000);
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

void TestRequiredTests::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    if (!QFileInfo::exists(buildBinDir() + QStringLiteral("/nx4400c-cli")))
        QSKIP("nx4400c-cli is not built");
    const bool ownLog = !args.contains(QLatin1String("--csv"));
    const LogRun r = runOnLog(AlertLogText(log({"2026-03-04T10:00:00-05:00 RMT", "2026-03-11T11:00:00-04:00 RWT"}), false),
                              QStringList{QStringLiteral("log"), QStringLiteral("audit")} + args, ownLog);
    QVERIFY(r.finished);
    const QString out = QString::fromUtf8(r.out);
    const QString &err = r.err;
    QVERIFY2(r.exitCode == exitCode, qPrintable(out + err));
    QVERIFY2(out.contains(output), qPrintable(out));
    if (exitCode == 2)
        QVERIFY(!err.isEmpty());
}

namespace {

// "2026-03-04T10:00:00-05:00 RWT Roof" lines, the third word the receiver.
QList<AlertLogEntry> fleetLog(const QStringList &rows)
{
    QList<AlertLogEntry> out = log([&] {
        QStringList two;
        for (const QString &r : rows)
            two << r.section(QLatin1Char(' '), 0, 1);
        return two;
    }());
    for (int i = 0; i < rows.size(); ++i)
        out[i].receiver = rows.at(i).section(QLatin1Char(' '), 2);
    return out;
}

// Four receivers over March 2026 (Sundays 1, 8, 15, 22, 29): each has its
// RMT on the 4th and RWTs on the 11th and 18th, except that "hw:2" lost the
// RWT of the week of 15 March, and "old" (an empty name) has only the RMT.
QStringList fleetRows()
{
    QStringList rows;
    for (const char *r : {"/dev/ttyUSB0", "rfc2217://rack:4001", "monitor:hw:2"}) {
        rows << QStringLiteral("2026-03-04T10:00:00-05:00 RMT %1").arg(QLatin1String(r));
        rows << QStringLiteral("2026-03-11T11:00:00-04:00 RWT %1").arg(QLatin1String(r));
        if (QLatin1String(r) != QLatin1String("monitor:hw:2"))
            rows << QStringLiteral("2026-03-18T11:00:00-04:00 RWT %1").arg(QLatin1String(r));
        rows << QStringLiteral("2026-03-19T08:00:00-04:00 TOR %1").arg(QLatin1String(r));
    }
    return rows;
}

} // namespace

void TestRequiredTests::perReceiver_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("only");
    QTest::addColumn<QStringList>("excluded");
    QTest::addColumn<QStringList>("gaps");   // "receiver: first missing weeks"
    const QStringList all = fleetRows();
    const QStringList none;
    QTest::newRow("one receiver lost its weekly test")
        << all << none << none << QStringList{"monitor:hw:2: 2026-03-15"};
    QTest::newRow("filtered to the others") << all << QStringList{"/dev/ttyUSB0", "rfc2217://rack:4001"}
                                            << none << QStringList{};
    QTest::newRow("the monitor left out") << all << none << QStringList{"monitor:hw:2"} << QStringList{};
    // A receiver asked for that logged nothing owes every week.
    QTest::newRow("a receiver without rows") << all << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB9"} << none
                                             << QStringList{"/dev/ttyUSB9: 2026-03-01 2026-03-08 2026-03-15"};
    QTest::newRow("an unnamed receiver beside named ones")
        << all + QStringList{"2026-03-04T10:00:00-05:00 RMT"} << none << none
        << QStringList{": 2026-03-08 2026-03-15", "monitor:hw:2: 2026-03-15"};
    // Another receiver's test does not cover this one's week; but nothing
    // is owed before a receiver's first row.
    QTest::newRow("tests of one receiver only")
        << QStringList{"2026-03-04T10:00:00-05:00 RMT A", "2026-03-11T10:00:00-05:00 RWT A",
                       "2026-03-18T10:00:00-05:00 RWT A", "2026-03-08T10:00:00-05:00 TOR B"}
        << none << none << QStringList{"B: 2026-03-08 2026-03-15"};
    QTest::newRow("a receiver added in mid-month, tested since")
        << all + QStringList{"2026-03-12T09:00:00-05:00 TOR late", "2026-03-18T10:00:00-05:00 RWT late"} << none
        << none << QStringList{"monitor:hw:2: 2026-03-15"};
    QTest::newRow("a receiver added in mid-month, silent since")
        << all + QStringList{"2026-03-05T09:00:00-05:00 TOR late"} << none << none
        << QStringList{"late: 2026-03-08 2026-03-15", "monitor:hw:2: 2026-03-15"};
    // A recording played once into the monitor owes nothing, unless asked for.
    QTest::newRow("a recording played once") << all + QStringList{"2026-03-04T10:00:00-05:00 RWT monitor:wav"}
                                             << none << none << QStringList{"monitor:hw:2: 2026-03-15"};
    QTest::newRow("a recording asked for") << all + QStringList{"2026-03-04T10:00:00-05:00 RWT monitor:wav"}
                                           << QStringList{"monitor:wav"} << none
                                           << QStringList{"monitor:wav: 2026-03-08 2026-03-15"};
}

void TestRequiredTests::perReceiver()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, only);
    QFETCH(QStringList, excluded);
    QFETCH(QStringList, gaps);
    RequiredTestCollector c;
    c.setReceivers(only);
    c.setExcluded(excluded);
    c.setToday(QDate(2026, 6, 1));
    for (const AlertLogEntry &e : fleetLog(rows))
        c.add(e);
    const QList<ReceiverAudit> audits = c.run(QDate(2026, 3, 1), QDate(2026, 3, 21), QDate(2026, 6, 1));
    QStringList got;
    for (const ReceiverAudit &a : audits)
        if (a.result.hasGaps())
            got << a.receiver + QStringLiteral(": ") + starts(a.result.missingWeeks()).join(QLatin1Char(' '));
    QCOMPARE(got, gaps);
    QCOMPARE(AuditsHaveGaps(audits), !gaps.isEmpty());
    // Each receiver with a gap is named in the text and CSV.
    const QString text = ReceiverAuditText(audits, QDate(2026, 3, 1), QDate(2026, 3, 21));
    const QString csv = ReceiverAuditCsv(audits);
    for (const ReceiverAudit &a : audits) {
        if (!a.result.hasGaps())
            continue;
        const QString kind = a.monitor ? QStringLiteral("Monitor") : QStringLiteral("Receiver");
        QVERIFY2(text.contains(QStringLiteral("%1 %2: GAPS").arg(kind, ReceiverDisplayName(a.receiver))), qPrintable(text));
        QVERIFY2(csv.contains(QStringLiteral("%1,week,RWT,").arg(a.receiver)), qPrintable(csv));
    }
}

namespace {

// The metrics as the Prometheus text format has them: # TYPE/# HELP lines,
// samples "name{receiver="..."} value", and # EOF last. Returns the first
// problem, or an empty string.
QString checkMetrics(const QByteArray &text)
{
    if (QFileInfo::exists(QStringLiteral("/usr/bin/promtool"))) {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
        p.write(text);
        p.closeWriteChannel();
        if (!p.waitForFinished(20000) || p.exitCode() != 0)
            return QStringLiteral("promtool: ") + QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    }
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    if (lines.size() < 2 || lines.at(lines.size() - 2) != QLatin1String("# EOF") || !lines.last().isEmpty())
        return QStringLiteral("it does not end with # EOF");
    static const QRegularExpression meta(QStringLiteral("^# (TYPE [a-z_:][a-z0-9_:]* (gauge|counter)|HELP [a-z_:][a-z0-9_:]* .+)$"));
    static const QRegularExpression sample(
        QStringLiteral("^([a-z_:][a-z0-9_:]*)(\\{receiver=\"(?:[^\"\\\\\\n]|\\\\[\"\\\\n])*\"\\})? -?[0-9]+$"));
    QSet<QString> typed;
    for (int i = 0; i < lines.size() - 2; ++i) {
        const QString &l = lines.at(i);
        if (l.startsWith(QLatin1String("# TYPE ")))
            typed.insert(l.section(QLatin1Char(' '), 2, 2));
        const auto m = sample.match(l);
        if (!meta.match(l).hasMatch() && !m.hasMatch())
            return QStringLiteral("line %1 is not a metric: %2").arg(i + 1).arg(l);
        if (m.hasMatch() && !typed.contains(m.captured(1)))
            return QStringLiteral("line %1 has no # TYPE before it").arg(i + 1);
    }
    return QString();
}

} // namespace

void TestRequiredTests::fleetCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");   // a pattern standard output must match
    const QStringList audit{"log", "audit", "--from", "2026-03-01", "--to", "2026-03-21"};
    const QStringList withMonitors = audit + QStringList{"--monitors"};
    // Monitors owe tests only when asked for.
    QTest::newRow("audit leaves the monitors out") << audit << 0 << "Receivers: 2, 0 with a gap\\n(?!(.|\\n)*Monitors)";
    QTest::newRow("audit names the monitor in its own group")
        << withMonitors << 1 << "Receivers: 2, 0 with a gap\\n(.|\\n)*Monitors: 1, 1 with a gap.*\\n\\nMonitor monitor:hw:2: GAPS\\n  Weeks without .*: 1 of 3\\n    Sun 2026-03-15";
    QTest::newRow("audit without the monitor") << audit + QStringList{"--exclude", "monitor:hw:2"} << 0
                                               << "Receivers: 2, 0 with a gap\\n";
    QTest::newRow("audit, --exclude of a name the log lacks") << audit + QStringList{"--exclude", "monitor:hw:9"} << 1 << "^$";
    QTest::newRow("audit, --receiver the log lacks") << audit + QStringList{"--receiver", "/dev/ttyUSB9"} << 1 << "^$";
    QTest::newRow("show, --receiver the log lacks") << QStringList{"log", "show", "--receiver", "nosuch"} << 1 << "^$";
    QTest::newRow("audit csv") << withMonitors + QStringList{"--format", "csv"} << 1
                               << "^Receiver,Kind,Test,Start,End,Status,Tests\\n(.|\\n)*monitor:hw:2,week,RWT,2026-03-15,2026-03-21,missing,0";
    QTest::newRow("audit of the others") << audit + QStringList{"--receiver", "/dev/ttyUSB0", "--receiver=rfc2217://rack:4001"}
                                         << 0 << "Receivers: 2, 0 with a gap";
    QTest::newRow("audit json") << withMonitors + QStringList{"--json"} << 1
                                << "^\\{\"schema\":\"nx4400c-log-audit\",\"version\":2,.*\"receiver\":\"monitor:hw:2\",\"kind\":\"monitor\"";
    QTest::newRow("audit openmetrics") << withMonitors + QStringList{"--format", "openmetrics"} << 1
                                       << "nx4400c_missing_weekly_tests\\{receiver=\"monitor:hw:2\"\\} 1\\n";
    QTest::newRow("show one receiver") << QStringList{"log", "show", "--receiver", "monitor:hw:2", "--code", "RWT"} << 0
                                       << "^LocalDateTime.*,Receiver,Locations,Header,Heard,Note\\n2026-03-11T11:00:00-04:00,[^\\n]*,monitor:hw:2,,,,\\n$";
    QTest::newRow("show json") << QStringList{"log", "show", "--from", "2026-03-19", "--json"} << 0
                               << "^\\{\"schema\":\"nx4400c-log-show\",\"version\":2,.*\"utc\":\"2026-03-19T12:00:00Z\"";
    // Dates at the edges are refused with the option named.
    QTest::newRow("show, --from after --to") << QStringList{"log", "show", "--from", "2026-03-10", "--to", "2026-03-01"} << 2 << "^$";
    QTest::newRow("audit, year 1") << QStringList{"log", "audit", "--from", "0001-01-01"} << 2 << "^$";
    QTest::newRow("show, year 1899") << QStringList{"log", "show", "--to", "1899-12-31"} << 2 << "^$";
    QTest::newRow("show, signed year") << QStringList{"log", "show", "--from", "-001-01-01"} << 2 << "^$";
    QTest::newRow("upgrade of a current log") << QStringList{"log", "upgrade", "alerts.csv"} << 0 << "current layout already";
}

void TestRequiredTests::fleetCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    if (!QFileInfo::exists(buildBinDir() + QStringLiteral("/nx4400c-cli")))
        QSKIP("nx4400c-cli is not built");
    const LogRun r = runOnLog(AlertLogText(fleetLog(fleetRows()), true), args, args.at(1) != QLatin1String("upgrade"));
    QVERIFY(r.finished);
    const QByteArray &out = r.out;
    const QString &err = r.err;
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString::fromUtf8(out) + err));
    QVERIFY2(QRegularExpression(output).match(QString::fromUtf8(out)).hasMatch(), out.constData());
    if (exitCode == 2)   // the option at fault is named
        QVERIFY2(err.contains(QRegularExpression(QStringLiteral("--(from|to)|--receiver"))), qPrintable(err));
    if (out.isEmpty() && exitCode == 1)   // so is the receiver no one knows
        QVERIFY2(err.contains(QLatin1String("knows no receiver")), qPrintable(err));
    if (args.contains(QStringLiteral("--json"))) {
        QJsonParseError e;
        const QJsonDocument doc = QJsonDocument::fromJson(out, &e);
        QVERIFY2(e.error == QJsonParseError::NoError, qPrintable(e.errorString()));
        QVERIFY(doc.object().value(QStringLiteral("schema")).toString().startsWith(QLatin1String("nx4400c-log-")));
        QCOMPARE(doc.object().value(QStringLiteral("version")).toInt(), 2);
    }
    if (args.contains(QStringLiteral("openmetrics"))) {
        const QString problem = checkMetrics(out);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

namespace {

// A monitor's row: a Tornado Warning for `county` issued 2026-03-12 15:00 UTC.
AlertLogEntry heardTornado(const QString &county)
{
    AlertLogEntry e;
    e.localTime = QDateTime(QDate(2026, 3, 12), QTime(15, 0), Qt::UTC);
    e.originator = QStringLiteral("WXR");
    e.code = QStringLiteral("TOR");
    e.name = QStringLiteral("Tornado Warning");
    e.cls = EventClass::Warning;
    e.length = QStringLiteral("00:30");
    e.receiver = QStringLiteral("monitor:hw:1");
    e.locations = {county};
    e.header = QStringLiteral("ZCZC-WXR-TOR-%1+0030-0711500-KCLE/NWS-").arg(county);
    e.heard = QDateTime(QDate(2026, 3, 12), QTime(15, 1), Qt::UTC);
    return e;
}

} // namespace

void TestRequiredTests::crossCheckCommandLine_data()
{
    QTest::addColumn<QList<AlertLogEntry>>("rows");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("transfers");   // the transfer log beside the alert log
    // The receiver in Cuyahoga (039035) had its weekly test; what else it recorded varies.
    QList<AlertLogEntry> base = fleetLog({"2026-03-11T11:00:00-04:00 RWT /dev/ttyUSB0"});
    AlertLogEntry recorded = base.first();
    recorded.code = QStringLiteral("TOR");
    recorded.localTime = QDateTime::fromString(QStringLiteral("2026-03-12T11:02:00-04:00"), Qt::ISODate);
    const QStringList check{"log", "crosscheck", "--receiver", "/dev/ttyUSB0"};
    QTest::newRow("heard for its county, not in its history")
        << base + QList{heardTornado("039035")} << check << 1
        << "heard but not recorded: 2026-03-12T15:00:00Z WXR TOR \\(Tornado Warning\\) by monitor:hw:1\\n1 heard, 1 for this receiver, 1 not recorded" << QByteArray();
    QTest::newRow("heard and recorded") << base + QList{recorded, heardTornado("039035")} << check << 0
                                        << "^Receiver /dev/ttyUSB0\\n1 heard, 1 for this receiver, 0 not recorded\\n$" << QByteArray();
    QTest::newRow("heard for another county") << base + QList{heardTornado("039055")} << check << 0
                                              << "1 heard, 0 for this receiver, 0 not recorded" << QByteArray();
    QTest::newRow("one receiver needs no name") << base + QList{heardTornado("039035")}
                                                << QStringList{"log", "crosscheck"} << 1 << "1 not recorded" << QByteArray();
    QTest::newRow("outside the dates") << base + QList{heardTornado("039035")} << check + QStringList{"--from", "2026-03-13"}
                                       << 0 << "0 heard" << QByteArray();
    QTest::newRow("json") << base + QList{heardTornado("039035")} << check + QStringList{"--json"} << 1
                          << "^\\{\"schema\":\"nx4400c-log-crosscheck\",\"version\":1,.*\"missed\":1,\"missing\":\\[\\{\"issueTime\"" << QByteArray();
    QTest::newRow("a receiver the log lacks") << base << QStringList{"log", "crosscheck", "--receiver", "/dev/ttyUSB9"}
                                              << 1 << "^$" << QByteArray();
    // A receiver whose history was empty at every transfer is known from
    // its transfers, and the monitor heard what it lacks.
    QTest::newRow("a deaf receiver") << base + QList{heardTornado("039035")}
                                     << QStringList{"log", "crosscheck", "--receiver", "/dev/ttyUSB5"} << 1
                                     << "1 heard, 1 for this receiver, 1 not recorded"
                                     << QByteArray("Time,Receiver,Result,Reason,RomVersion\n"
                                                   "2026-03-12T17:00:00Z,/dev/ttyUSB5,ok,,2.05\n");
}

void TestRequiredTests::crossCheckCommandLine()
{
    QFETCH(QList<AlertLogEntry>, rows);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QByteArray, transfers);
    if (!QFileInfo::exists(buildBinDir() + QStringLiteral("/nx4400c-cli")))
        QSKIP("nx4400c-cli is not built");
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("cuyahoga.nxp"));
    QString why;
    QVERIFY2(SaveProfile(profile, ReceiverConfig(), {QStringLiteral("X 039035  Cuyahoga               Ohio")},
                         {QStringLiteral("TOR"), QStringLiteral("RWT")}, &why),
             qPrintable(why));
    const LogRun r = runOnLog(AlertLogTextFor(rows, AlertLogLayoutCurrent), args + QStringList{"--profile", profile}, true,
                              transfers);
    QVERIFY(r.finished);
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString::fromUtf8(r.out) + r.err));
    QVERIFY2(QRegularExpression(output).match(QString::fromUtf8(r.out)).hasMatch(), r.out.constData());
}

// A receiver tuned to a transmitter that the software radio heard on another
// frequency: the setup's field against the transmitters each row names.
void TestRequiredTests::transmitterWarnings_data()
{
    QTest::addColumn<QString>("programmed");
    QTest::addColumn<QStringList>("heard");     // each alert's transmitters, "; " between them
    QTest::addColumn<QStringList>("warnings");  // the text after "warning: ", each

    const QString covington = QStringLiteral("Covington        KIH42  162.475");
    QTest::newRow("same call sign on another frequency")
        << covington << QStringList{"KIH42 Covington 162.550", "KIH42 Covington 162.550"}
        << QStringList{"the receiver is tuned to KIH42 Covington 162.475, but the monitor heard KIH42 Covington on "
                       "162.550 MHz (2 alerts, the last issued 2026-05-06T10:01:00-04:00)"};
    QTest::newRow("same frequency") << covington << QStringList{"KIH42 Covington 162.475"} << QStringList{};
    QTest::newRow("another transmitter") << covington << QStringList{"WXJ25 Cincinnati 162.550"} << QStringList{};
    QTest::newRow("one of several named")
        << covington << QStringList{"WXJ25 Cincinnati 162.550; KIH42 Covington 162.550"}
        << QStringList{"the receiver is tuned to KIH42 Covington 162.475, but the monitor heard KIH42 Covington on "
                       "162.550 MHz (1 alert, the last issued 2026-05-06T10:00:00-04:00)"};
    // A setup made by hand may hold the site alone: then the site decides.
    QTest::newRow("site without call sign")
        << QStringLiteral("Miami       162.475") << QStringList{"KEC50 Miami 162.550"}
        << QStringList{"the receiver is tuned to Miami 162.475, but the monitor heard KEC50 Miami on 162.550 MHz "
                       "(1 alert, the last issued 2026-05-06T10:00:00-04:00)"};
    QTest::newRow("call sign decides over the site")
        << covington << QStringList{"KXI99 Covington 162.550"} << QStringList{};
    QTest::newRow("no transmitter in the setup") << QString() << QStringList{"KIH42 Covington 162.550"} << QStringList{};
    QTest::newRow("audio rows name none") << covington << QStringList{QString()} << QStringList{};
}

void TestRequiredTests::transmitterWarnings()
{
    QFETCH(QString, programmed);
    QFETCH(QStringList, heard);
    QFETCH(QStringList, warnings);
    CrossCheckCollector collector(QStringLiteral("office"), QDate(), QDate());
    for (int i = 0; i < heard.size(); ++i) {
        AlertLogEntry e;
        e.receiver = QStringLiteral("monitor:iq:162.550");
        e.code = QStringLiteral("SVR");
        e.originator = QStringLiteral("WXR");
        e.localTime = QDateTime::fromString(QStringLiteral("2026-05-06T10:0%1:00-04:00").arg(i), Qt::ISODate);
        e.locations = QStringList{QStringLiteral("021117")};
        collector.add(e, heard.at(i).isEmpty() ? 0 : 162550000, heard.at(i));
    }
    const ReceiverProgram program = ReceiverProgram::fromSetup({QStringLiteral("X 021117  Kenton")}, {QStringLiteral("SVR")},
                                                               programmed);
    const CrossCheckResult r = RunReceiverCrossCheck(collector.heard(), {}, program);
    QStringList got;
    for (const QString &line : CrossCheckText(r).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("warning: ")))
            got << line.mid(9);
    QCOMPARE(got, warnings);
    const QJsonObject json = QJsonDocument::fromJson(CrossCheckJson(r, QStringLiteral("office"), {}, {})).object();
    QCOMPARE(json.value(QStringLiteral("transmitterWarnings")).toArray().size(), warnings.size());
    // A warning says what is wrong; the exit status stays the misses'.
    QCOMPARE(r.missed(), heard.size());
}

QTEST_GUILESS_MAIN(TestRequiredTests)
#include "tst_requiredtests.moc"
