// SPDX-License-Identifier: GPL-3.0-or-later
// Fleet files and device lists as a site writes them: comments anywhere,
// names and devices given once, profiles beside the file; and the receivers
// --only chooses.
#include "link/core/BatchTransfer.h"
#include "link/core/Fleet.h"

#include "base/Services.h"
#include "config/core/ReceiverConfig.h"
#include "config/core/SettingsStore.h"

#include <QtTest>

class TestFleetFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fleetFile_data();
    void fleetFile();
    void deviceListComments();
    void only_data();
    void only();
    void storedFleetFile();

private:
    QString write(const QString &name, const QByteArray &text);
    QTemporaryDir m_dir;
};

void TestFleetFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    write(QStringLiteral("north.nxp"), "profile");
    write(QStringLiteral("site/south.nxp"), "profile");
}

QString TestFleetFile::write(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(text);
    return path;
}

void TestFleetFile::fleetFile_data()
{
    QTest::addColumn<QByteArray>("text");
    // NAME|DEVICE|profile relative to the folder ("-" for none), or empty
    // when the file is refused.
    QTest::addColumn<QStringList>("receivers");
    QTest::addColumn<QString>("refusal");   // part of the reason, with the line

    QTest::newRow("names, devices, profiles, comments")
        << QByteArray("# rack A\n\nnorth /dev/ttyUSB0 north.nxp   # by the door\r\n"
                      "  south\trfc2217://rack:4001 site/south.nxp\n"
                      "harbour /dev/serial/by-id/usb-FTDI#1\n#end\n")
        << QStringList{"north|/dev/ttyUSB0|north.nxp", "south|rfc2217://rack:4001|site/south.nxp",
                       "harbour|/dev/serial/by-id/usb-FTDI#1|-"}
        << "";
    QTest::newRow("one field") << QByteArray("north\n") << QStringList() << "line 1: a line is NAME DEVICE [PROFILE]";
    QTest::newRow("four fields") << QByteArray("\nnorth /dev/ttyUSB0 north.nxp extra\n") << QStringList()
                                 << "line 2: a line is NAME DEVICE [PROFILE]";
    QTest::newRow("name twice") << QByteArray("north /dev/ttyUSB0\nnorth /dev/ttyUSB1\n") << QStringList()
                                << "line 2: the name north is given on line 1 already";
    QTest::newRow("device twice") << QByteArray("north /dev/ttyUSB0\nsouth /dev/ttyUSB0\n") << QStringList()
                                  << "line 2: /dev/ttyUSB0 is north's device on line 1 already";
    QTest::newRow("bad device") << QByteArray("north tcp://rack:70000\n") << QStringList() << "line 1: tcp://rack:70000";
    QTest::newRow("missing profile") << QByteArray("north /dev/ttyUSB0 gone.nxp\n") << QStringList() << "line 1: profile";
    QTest::newRow("control character in the name") << QByteArray("nor\x01th /dev/ttyUSB0\n") << QStringList()
                                                   << "line 1: the receiver's name";
    QTest::newRow("name too long") << QByteArray(QByteArray(65, 'n') + " /dev/ttyUSB0\n") << QStringList()
                                   << "longer than 64";
    QTest::newRow("only comments") << QByteArray("# nothing yet\n\n") << QStringList() << "names no receiver";
}

void TestFleetFile::fleetFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, receivers);
    QFETCH(QString, refusal);
    const QString path = write(QStringLiteral("site.fleet"), text);
    QList<FleetReceiver> fleet;
    QString why;
    const bool ok = ReadFleetFile(path, &fleet, &why);
    QCOMPARE(ok, refusal.isEmpty());
    if (!ok) {
        QVERIFY2(why.contains(refusal) && why.contains(QLatin1String("site.fleet")), qPrintable(why));
        QVERIFY(fleet.isEmpty());
        return;
    }
    QStringList got;
    for (const FleetReceiver &r : std::as_const(fleet))
        got << r.name + QLatin1Char('|') + r.device + QLatin1Char('|')
                   + (r.profile.isEmpty() ? QStringLiteral("-") : QDir(m_dir.path()).relativeFilePath(r.profile));
    QCOMPARE(got, receivers);
}

void TestFleetFile::deviceListComments()
{
    // A comment after a device is not part of its name.
    const QString path = write(QStringLiteral("list.devices"), "# rack\n/dev/ttyUSB0   # north\n\n/dev/ttyUSB1\n");
    QStringList devices;
    QString why;
    QVERIFY2(ReadDeviceList(path, &devices, &why), qPrintable(why));
    QCOMPARE(devices, (QStringList{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1")}));
}

void TestFleetFile::only_data()
{
    QTest::addColumn<QStringList>("only");
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("all") << QStringList() << QStringList{"north", "south", "harbour"} << "";
    QTest::newRow("fleet order, not --only's") << QStringList{"harbour", "north"} << QStringList{"north", "harbour"} << "";
    QTest::newRow("unknown name lists the fleet") << QStringList{"west"} << QStringList()
                                                  << "no receiver named west (it has north, south, harbour)";
}

void TestFleetFile::only()
{
    QFETCH(QStringList, only);
    QFETCH(QString, refusal);
    const QList<FleetReceiver> fleet{{"north", "/dev/a", {}, 1}, {"south", "/dev/b", {}, 2}, {"harbour", "/dev/c", {}, 3}};
    QList<FleetReceiver> chosen;
    QString why;
    QCOMPARE(SelectFleetReceivers(fleet, only, &chosen, &why), refusal.isEmpty());
    QVERIFY2(why.contains(refusal), qPrintable(why));
    QStringList names;
    for (const FleetReceiver &r : std::as_const(chosen))
        names << r.name;
    QTEST(names, "chosen");
}

// The fleet file the editor opened is kept in the settings store for the
// next start and for --receiver; the editor's own save of its 88 keys keeps it.
void TestFleetFile::storedFleetFile()
{
    Services services;
    services.settingsPath = m_dir.filePath(QStringLiteral("store/NX4400C.ini"));
    QCOMPARE(StoredFleetFile(services), QString());
    const QString fleet = write(QStringLiteral("kept.fleet"), "north /dev/ttyUSB0\n");
    QString why;
    QVERIFY2(StoreFleetFile(services, fleet, &why), qPrintable(why));
    QCOMPARE(StoredFleetFile(services), QFileInfo(fleet).absoluteFilePath());
    ReceiverConfig config;
    QVERIFY(SaveConfiguration(services, config, &why));
    QCOMPARE(StoredFleetFile(services), QFileInfo(fleet).absoluteFilePath());
    QVERIFY(StoreFleetFile(services, QString(), &why));
    QCOMPARE(StoredFleetFile(services), QString());

    // A store that is a folder is neither read nor written.
    services.settingsPath = m_dir.filePath(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(services.settingsPath));
    QVERIFY(!StoreFleetFile(services, fleet, &why));
    QVERIFY2(why.contains(QLatin1String("folder.ini")), qPrintable(why));
    QCOMPARE(StoredFleetFile(services), QString());
}

QTEST_GUILESS_MAIN(TestFleetFile)
#include "tst_fleetfile.moc"
