// SPDX-License-Identifier: GPL-3.0-or-later
// The required-test audit on hand-made logs: weeks from Sunday to Saturday
// on the logged local dates, across daylight-saving changes and New Year,
// edge weeks and months, unfinished periods, and the command line's exit
// codes.
#include "support/TestEnv.h"

#include "history/core/RequiredTestAudit.h"

#include <QProcess>
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
    QTest::newRow("missing log") << QStringList{"--from", "2026-03-01", "--csv", "/nonexistent/alerts.csv"} << 2
                                 << QString();
}

void TestRequiredTests::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const QString cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo::exists(cli))
        QSKIP("nx4400c-cli is not built");
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("alerts.csv"));
    QFile f(logFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(AlertLogText(log({"2026-03-04T10:00:00-05:00 RMT", "2026-03-11T11:00:00-04:00 RWT"}), false));
    f.close();
    if (!args.contains(QLatin1String("--csv")))
        args << QStringLiteral("--csv") << logFile;
    QProcess p;
    p.start(cli, QStringList{QStringLiteral("log"), QStringLiteral("audit")} + args);
    QVERIFY(p.waitForFinished(20000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == exitCode, qPrintable(out + err));
    QVERIFY2(out.contains(output), qPrintable(out));
    if (exitCode == 2)
        QVERIFY(!err.isEmpty());
}

QTEST_GUILESS_MAIN(TestRequiredTests)
#include "tst_requiredtests.moc"
