// SPDX-License-Identifier: GPL-3.0-or-later
// The same receiver history read on computers in three time zones. With
// TimeZoneName=America/Denver every computer shows the same rows, each with
// Denver's daylight time at the alert's own date; without it, daylight time
// is the computer's of today, so the three computers disagree.
#include "support/AlertRecordRead.h"
#include "support/Headless.h"

#include <QRegularExpression>
#include <QtTest>

class TestTimeZones : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameRowsOnEveryComputer();
    void computerZoneWithoutName();

private:
    // The history printed and the alert log written by a transfer on a
    // computer whose zone is `tz`.
    QString readAs(const QString &tz, const QString &log);

    std::unique_ptr<HeadlessMachine> m;
    QString m_link;
};

void TestTimeZones::initTestCase()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    m = std::make_unique<HeadlessMachine>();
    // A winter and a summer alert at 18:00 UTC: 11:00 MST and 12:00 MDT.
    m_link = m->startReceiver({QStringLiteral("015 18:00 WXR RWT 0015"), QStringLiteral("190 18:00 WXR TOR 0100")});
    QVERIFY(!m_link.isEmpty());
    for (const char *command : {"nx4400c-cli init", "nx4400c-cli config set TimeZoneOffset -5",
                                "nx4400c-cli config set DaylightSavings True"}) {
        const ShellRun r = m->run(QString::fromLatin1(command));
        QVERIFY2(r.exitCode == 0, qPrintable(QString::fromLatin1(command) + r.err));
    }
    // Naming the zone brings its standard offset along.
    const ShellRun r = m->run(QStringLiteral("nx4400c-cli config set TimeZoneName America/Denver"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("EDITOR/TimeZoneName=America/Denver\nEDITOR/TimeZoneOffset=-7\n"));
    // A zone the receiver's offsets cannot hold is refused, naming them.
    const ShellRun refused = m->run(QStringLiteral("nx4400c-cli config set TimeZoneName Pacific/Auckland"));
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.err.contains(QLatin1String("-4 to -11 hours from UTC")), qPrintable(refused.err));
}

QString TestTimeZones::readAs(const QString &tz, const QString &log)
{
    const ShellRun r = m->run(QStringLiteral("TZ=%1 nx4400c-cli transfer --device %2 --csv %3").arg(tz, m_link, log));
    if (r.exitCode != 0)
        return QStringLiteral("failed: ") + r.err;
    AlertLogContent record;
    if (!ReadAlertRecord(m->path(log), &record, nullptr, false))
        return QStringLiteral("no log");
    // The rows, without the file's save date: that is the computer's own
    // date, which differs between the zones for some hours of each day.
    QString rows = r.out;
    rows.remove(QRegularExpression(QStringLiteral("File Save Date: [^\n]*\n")));
    return rows + QStringLiteral("\n--- log ---\n") + QString::fromUtf8(AlertLogTextFor(record.entries, AlertLogLayoutCurrent));
}

void TestTimeZones::sameRowsOnEveryComputer()
{
    const QString utc = readAs(QStringLiteral("UTC"), QStringLiteral("utc.csv"));
    QVERIFY2(utc.contains(QLatin1String("T11:00:00-07:00,WXR,RWT")), qPrintable(utc));
    QVERIFY2(utc.contains(QLatin1String("T12:00:00-06:00,WXR,TOR")), qPrintable(utc));
    QCOMPARE(readAs(QStringLiteral("Pacific/Auckland"), QStringLiteral("auckland.csv")), utc);
    QCOMPARE(readAs(QStringLiteral("America/Denver"), QStringLiteral("denver.csv")), utc);
}

void TestTimeZones::computerZoneWithoutName()
{
    const ShellRun r = m->run(QStringLiteral("nx4400c-cli config set TimeZoneName ''"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    // Auckland and Denver never keep daylight time at the same moment for
    // long, and UTC never does: some two of the three disagree.
    const QStringList seen{readAs(QStringLiteral("UTC"), QStringLiteral("u1.csv")),
                           readAs(QStringLiteral("Pacific/Auckland"), QStringLiteral("u2.csv")),
                           readAs(QStringLiteral("America/Denver"), QStringLiteral("u3.csv"))};
    for (const QString &s : seen)
        QVERIFY2(!s.startsWith(QLatin1String("failed")), qPrintable(s));
    QVERIFY(seen[0] != seen[1] || seen[0] != seen[2]);
}

QTEST_GUILESS_MAIN(TestTimeZones)
#include "tst_timezones.moc"
