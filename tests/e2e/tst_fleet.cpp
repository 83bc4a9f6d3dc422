// SPDX-License-Identifier: GPL-3.0-or-later
// A site's fleet from the command line: three virtual receivers named in a
// fleet file, two profiles. One receiver was logged under its device before
// the fleet existed and has since moved to another device; `log rename`
// joins its history. Results, trace, log show, log audit and the metrics all
// name the receivers the same way, each receiver holds its profile's image,
// and a receiver that cannot be reached shows as a failed last transfer.
#include "support/Headless.h"
#include "support/VirtualReceiver.h"

#include "support/ProfileImage.h"

#include "config/core/ReceiverProfile.h"

#include <QDate>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <vector>

class TestFleet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namedEverywhere();

private:
    QString saveProfile(const QString &name, const QStringList &counties, const QStringList &codes);
    QByteArray expectedImage(const QString &profile) const;
    int rows(const QString &shown, const QString &receiver) const;

    std::unique_ptr<HeadlessMachine> m;
    std::vector<std::unique_ptr<VirtualReceiver>> m_receivers;   // north, south, harbour's old and new device
    QString m_north, m_south;
    QDate m_day;
};

void TestFleet::initTestCase()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    m = std::make_unique<HeadlessMachine>();
    // Every receiver heard the same weekly test and a warning last week.
    m_day = QDate::currentDate().addDays(-7);
    const QString day = QStringLiteral("%1").arg(m_day.dayOfYear(), 3, 10, QLatin1Char('0'));
    QVERIFY(m->writeFile(QStringLiteral("heard.history"),
                         (day + QStringLiteral(" 15:00 WXR RWT 0015\n") + day + QStringLiteral(" 18:30 WXR TOR 0100\n")).toLatin1()));
    for (const char *name : {"north", "south", "harbour-old", "harbour-new"}) {
        m_receivers.push_back(std::make_unique<VirtualReceiver>(m->work(), QString::fromLatin1(name)));
        QVERIFY(m_receivers.back()->start({QStringLiteral("--history"), m->path(QStringLiteral("heard.history"))}));
    }
    m_north = saveProfile(QStringLiteral("coast.nxp"), {QStringLiteral("X 012011  Broward                Florida")},
                          {QStringLiteral("TOR"), QStringLiteral("HUR")});
    m_south = saveProfile(QStringLiteral("inland.nxp"), {QStringLiteral("X 012105  Polk                   Florida")},
                          {QStringLiteral("SVR")});
    QVERIFY(!m_north.isEmpty() && !m_south.isEmpty());
}

QString TestFleet::saveProfile(const QString &name, const QStringList &counties, const QStringList &codes)
{
    ReceiverConfig config;
    QStringList fips(ReceiverSetup::FipEntryCount), events(ReceiverSetup::EventSlotCount);
    for (qsizetype i = 0; i < counties.size(); ++i)
        fips[i] = counties.at(i);
    for (qsizetype i = 0; i < codes.size(); ++i)
        events[i] = codes.at(i);
    QString why;
    const QString path = m->path(name);
    return SaveProfile(path, config, fips, events, &why) ? path : QString();
}

// The settings store (none yet: the defaults) under the profile.
QByteArray TestFleet::expectedImage(const QString &profile) const
{
    return ProfileImage(m->home() + QStringLiteral("/.config/NX4400C/NX4400C.ini"), profile);
}

int TestFleet::rows(const QString &shown, const QString &receiver) const
{
    int n = 0;
    for (const QString &line : shown.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        // A receiver's row ends with its name and the monitor's four empty
        // columns.
        if (line.endsWith(QLatin1Char(',') + receiver + QLatin1String(",,,,")))
            ++n;
    return n;
}

void TestFleet::namedEverywhere()
{
    const QString oldDevice = m_receivers[2]->link;
    // Before the fleet: harbour was programmed by its device, and its
    // alerts were logged under that name.
    ShellRun r = m->run(QStringLiteral("nx4400c-cli transfer --device %1 --profile coast.nxp").arg(oldDevice));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(rows(m->run(QStringLiteral("nx4400c-cli log show")).out, oldDevice), 2);

    // The fleet: harbour now on another device; one line without a
    // profile would get the parameter file, which none needs here.
    QVERIFY(m->writeFile(QStringLiteral("site.fleet"),
                         QStringLiteral("# the district\nnorth %1 coast.nxp   # by the door\n"
                                        "south %2 inland.nxp\nharbour %3 coast.nxp\n")
                             .arg(m_receivers[0]->link, m_receivers[1]->link, m_receivers[3]->link)
                             .toUtf8()));
    r = m->run(QStringLiteral("nx4400c-cli transfer --fleet site.fleet --trace fleet.trace"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QStringList names{QStringLiteral("north"), QStringLiteral("south"), QStringLiteral("harbour")};
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(lines[i].startsWith(names[i] + QStringLiteral("\t2.05\tok\t")), qPrintable(lines[i]));
        QVERIFY2(r.err.contains(names[i] + QStringLiteral(": Upload / Download Successful")), qPrintable(r.err));
    }
    // Each receiver holds its own profile's image.
    QCOMPARE(m_receivers[0]->uploadedImage(), expectedImage(m_north));
    QCOMPARE(m_receivers[1]->uploadedImage(), expectedImage(m_south));
    QCOMPARE(m_receivers[3]->uploadedImage(), expectedImage(m_north));
    QVERIFY(expectedImage(m_north) != expectedImage(m_south));

    QFile traceFile(m->path(QStringLiteral("fleet.trace")));
    QVERIFY(traceFile.open(QIODevice::ReadOnly));
    const QString trace = QString::fromUtf8(traceFile.readAll());
    for (const QString &n : names) {
        QVERIFY2(trace.contains(QStringLiteral("==== %1 ====\n").arg(n)), qPrintable(n));
        QVERIFY2(trace.contains(QStringLiteral("Transfer on %1 (").arg(n)), qPrintable(n));
    }
    QVERIFY(!trace.contains(QLatin1String("Transfer on port 1")));

    // The move: harbour's old rows join its new ones; the alerts it logged
    // again under its new name are not doubled.
    r = m->run(QStringLiteral("nx4400c-cli log rename %1 harbour --merge").arg(oldDevice));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QLatin1String("was merged into \"harbour\"")), qPrintable(r.out));
    const QString shown = m->run(QStringLiteral("nx4400c-cli log show")).out;
    QCOMPARE(rows(shown, oldDevice), 0);
    for (const QString &n : names)
        QCOMPARE(rows(shown, n), 2);
    QCOMPARE(rows(m->run(QStringLiteral("nx4400c-cli log show --receiver harbour")).out, QStringLiteral("harbour")), 2);

    // south cannot be reached: its last transfer failed.
    QVERIFY(m->writeFile(QStringLiteral("down.fleet"), "north /dev/null coast.nxp\nsouth " + m->path(QStringLiteral("unplugged.tty")).toUtf8() + " inland.nxp\n"));
    r = m->run(QStringLiteral("nx4400c-cli transfer --fleet down.fleet --only south"));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.startsWith(QLatin1String("south\t-\tfailed\t")), qPrintable(r.out));

    const QString from = m_day.addDays(-7).toString(Qt::ISODate);
    r = m->run(QStringLiteral("nx4400c-cli log audit --from %1 --format openmetrics --output site.prom").arg(from));
    QVERIFY2(r.exitCode == 0 || r.exitCode == 1, qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QFile prom(m->path(QStringLiteral("site.prom")));
    QVERIFY(prom.open(QIODevice::ReadOnly));
    const QString metrics = QString::fromUtf8(prom.readAll());
    QVERIFY(!metrics.contains(oldDevice));
    for (const QString &n : names) {
        const QString label = QStringLiteral("{receiver=\"%1\"} ").arg(n);
        QVERIFY2(metrics.contains(QStringLiteral("nx4400c_last_rwt_timestamp_seconds") + label), qPrintable(n));
        QVERIFY2(metrics.contains(QStringLiteral("nx4400c_last_transfer_success") + label
                                  + (n == QLatin1String("south") ? QLatin1Char('0') : QLatin1Char('1'))),
                 qPrintable(metrics));
    }
    QVERIFY(metrics.contains(QLatin1String("nx4400c_transfer_failures_total{receiver=\"south\"} 1\n")));
    QVERIFY(metrics.endsWith(QLatin1String("# EOF\n")));
}

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"
