// SPDX-License-Identifier: GPL-3.0-or-later
// The setup window: settings in and out, the port search against virtual
// receivers on real ptys, its messages, and the device map.

#include "support/VirtualReceiver.h"

#include "link/core/PortMap.h"
#include "link/gui/frmCommPort.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

class TestCommPort : public QObject
{
    Q_OBJECT

private slots:
    void getSettings_data();
    void getSettings();
    void saveSettings_data();
    void saveSettings();
    void portSearch_data();
    void portSearch();
    void testButton_data();
    void testButton();
    void deviceMap();
    void daylightZone_data();
    void daylightZone();
    void grab();
};

static int checkedPort(frmCommPort &w)
{
    for (int k = 0; k < 4; ++k)
        if (w.findChild<QRadioButton *>(QStringLiteral("optCommPort_%1").arg(k))->isChecked())
            return k + 1;
    return 0;
}

void TestCommPort::getSettings_data()
{
    QTest::addColumn<int>("serialPort");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<int>("shownPort");
    QTest::addColumn<int>("shownZone");
    QTest::newRow("port 1, Eastern") << 1 << -5 << true << 1 << 1;
    QTest::newRow("port 4, Samoa") << 4 << -11 << false << 4 << 7;
    QTest::newRow("port 0 shows none") << 0 << -4 << false << 0 << 0;
    QTest::newRow("port 5 shows none") << 5 << -6 << true << 0 << 2;
    QTest::newRow("offset -3 shows Atlantic") << 2 << -3 << false << 2 << 0;
    QTest::newRow("offset -12 shows Atlantic") << 3 << -12 << false << 3 << 0;
}

void TestCommPort::getSettings()
{
    QFETCH(int, serialPort);
    QFETCH(int, offset);
    QFETCH(bool, daylight);
    QFETCH(int, shownPort);
    QFETCH(int, shownZone);
    TestEnv env;
    env.ctx->config.SerialPort = int16_t(serialPort);
    env.ctx->config.TimeZoneOffset = int16_t(offset);
    env.ctx->config.DaylightSavings = daylight;
    frmCommPort w(env.ctx->session(), env.ctx->config);
    QCOMPARE(checkedPort(w), shownPort);
    auto *zone = w.findChild<QComboBox *>(QStringLiteral("cmbTimeZone"));
    QCOMPARE(zone->count(), 8);
    QCOMPARE(zone->currentIndex(), shownZone);
    QCOMPARE(w.findChild<QCheckBox *>(QStringLiteral("chkAdjustTime"))->isChecked(), daylight);
}

void TestCommPort::saveSettings_data()
{
    QTest::addColumn<int>("serialPort");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("clickPort");     // 0: none clicked
    QTest::addColumn<int>("pickZone");      // -1: left as shown
    QTest::addColumn<int>("savedPort");
    QTest::addColumn<int>("savedOffset");
    QTest::newRow("unchanged") << 2 << -7 << 0 << -1 << 2 << -7;
    QTest::newRow("none shown keeps old value") << 9 << -5 << 0 << -1 << 9 << -5;
    QTest::newRow("unknown offset becomes -4") << 1 << -2 << 0 << -1 << 1 << -4;
    QTest::newRow("port 3, Hawaii") << 1 << -5 << 3 << 6 << 3 << -10;
}

void TestCommPort::saveSettings()
{
    QFETCH(int, serialPort);
    QFETCH(int, offset);
    QFETCH(int, clickPort);
    QFETCH(int, pickZone);
    QFETCH(int, savedPort);
    QFETCH(int, savedOffset);
    TestEnv env;
    env.ctx->config.SerialPort = int16_t(serialPort);
    env.ctx->config.TimeZoneOffset = int16_t(offset);
    env.ctx->config.DaylightSavings = false;
    frmCommPort w(env.ctx->session(), env.ctx->config);
    w.show();
    if (clickPort)
        QTest::mouseClick(w.findChild<QRadioButton *>(QStringLiteral("optCommPort_%1").arg(clickPort - 1)),
                          Qt::LeftButton);
    if (pickZone >= 0)
        w.findChild<QComboBox *>(QStringLiteral("cmbTimeZone"))->setCurrentIndex(pickZone);
    w.findChild<QCheckBox *>(QStringLiteral("chkAdjustTime"))->setChecked(true);
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdOk")), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(int(env.ctx->config.SerialPort), savedPort);
    QCOMPARE(int(env.ctx->config.TimeZoneOffset), savedOffset);
    QVERIFY(env.ctx->config.DaylightSavings);
    // Nothing written to the device map when no device was changed.
    QVERIFY(!QSettings(env.ctx->settingsPath, QSettings::IniFormat).childGroups().contains(QStringLiteral("Ports")));
}

void TestCommPort::portSearch_data()
{
    // Per port: "" nothing there, "ack" a receiver, any other word a fault.
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("found");
    QTest::newRow("receiver on 2") << QStringList{"", "ack", "", ""} << 2;
    QTest::newRow("two receivers: the lower") << QStringList{"", "ack", "", "ack"} << 2;
    QTest::newRow("NAK on 1, ACK on 3") << QStringList{"nak-t", "", "ack", ""} << 3;
    QTest::newRow("silent receiver") << QStringList{"silence", "", "", ""} << -1;
    QTest::newRow("nothing anywhere") << QStringList{"", "", "", ""} << -1;
}

void TestCommPort::portSearch()
{
    QFETCH(QStringList, ports);
    QFETCH(int, found);
    TestEnv env;
    shortenTimings(*env.ctx);
    std::vector<std::unique_ptr<VirtualReceiver>> receivers;
    QStringList devices;
    for (int k = 0; k < 4; ++k) {
        if (ports.at(k).isEmpty()) {
            devices << env.path(QStringLiteral("absent%1").arg(k));
            continue;
        }
        auto vr = std::make_unique<VirtualReceiver>(env.dir.path(), QStringLiteral("vr%1").arg(k));
        QStringList args;
        if (ports.at(k) != QLatin1String("ack"))
            args << QStringLiteral("--fault") << ports.at(k);
        QVERIFY(vr->start(args));
        devices << vr->link;
        receivers.push_back(std::move(vr));
    }
    env.ctx->session().Port1.setDevicePaths(devices);
    frmCommPort w(env.ctx->session(), env.ctx->config);
    QCOMPARE(w.TestSerial(), found);
    QVERIFY(!env.ctx->session().Port1.isOpen());
    QVERIFY(!env.ctx->session().PortIsOpen);
    QVERIFY(env.prompter.boxes.isEmpty());
}

void TestCommPort::testButton_data()
{
    QTest::addColumn<bool>("receiver");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("savedPort");
    QTest::addColumn<QString>("status");
    QTest::newRow("found, Yes") << true << true << "Serial port 2 found. Set port number?" << 2
                                << " Serial port 2 found and passed handshaking test. Port 2 set.";
    QTest::newRow("found, No") << true << false << "Serial port 2 found. Set port number?" << 4 << "";
    QTest::newRow("not found") << false << true
                               << "Error...No serial handshake found.  Check all connections." << 4 << "";
}

void TestCommPort::testButton()
{
    QFETCH(bool, receiver);
    QFETCH(bool, answerYes);
    QFETCH(QString, box);
    QFETCH(int, savedPort);
    QFETCH(QString, status);
    TestEnv env;
    shortenTimings(*env.ctx);
    env.ctx->config.SerialPort = 4;
    VirtualReceiver vr(env.dir.path());
    if (receiver)
        QVERIFY(vr.start());
    env.ctx->session().Port1.setDevicePaths({env.path("a"), vr.link, env.path("c"), env.path("d")});
    env.prompter.answers << (answerYes ? Prompter::Button::Yes : Prompter::Button::No);

    frmCommPort w(env.ctx->session(), env.ctx->config);
    w.show();
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdTest")), Qt::LeftButton);
    QCOMPARE(env.prompter.texts(), QStringList{box});
    QCOMPARE(env.prompter.boxes.first().title, QStringLiteral(" NX-4400 Serial Port Test"));
    QCOMPARE(int(env.ctx->config.SerialPort), savedPort);
    QCOMPARE(checkedPort(w), savedPort);
    QCOMPARE(env.view.panels.value(QStringLiteral("Left")), status);
    QVERIFY(!env.ctx->session().busy);
    if (receiver)
        QCOMPARE(vr.recorded(), QByteArrayLiteral("T"));
}

void TestCommPort::deviceMap()
{
    TestEnv env;
    {
        QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
        s.setValue(QStringLiteral("Ports/Port1"), QStringLiteral("/dev/ttyUSB7"));
        s.setValue(QStringLiteral("Ports/Port3"), QStringLiteral("  "));
    }
    QStringList defaults = PortMap::DefaultDevices();
    QCOMPARE(defaults.size(), 4);
    QCOMPARE(defaults.removeDuplicates(), 0);
    const QStringList loaded = PortMap::Load(*env.ctx);
    QCOMPARE(loaded.at(0), QStringLiteral("/dev/ttyUSB7"));
    QCOMPARE(loaded.at(1), defaults.at(1));
    QCOMPARE(loaded.at(2), defaults.at(2));   // a blank key falls back too

    frmCommPort w(env.ctx->session(), env.ctx->config);
    auto *dev2 = w.findChild<QComboBox *>(QStringLiteral("cmbDevice_1"));
    QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("cmbDevice_0"))->currentText(), QStringLiteral("/dev/ttyUSB7"));
    dev2->setEditText(QStringLiteral("/tmp/receiver "));
    w.SaveSettings();
    QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
    QCOMPARE(s.value(QStringLiteral("Ports/Port2")).toString(), QStringLiteral("/tmp/receiver"));
    QCOMPARE(s.value(QStringLiteral("Ports/Port3")).toString(), QStringLiteral("  "));   // untouched
    QVERIFY(!s.contains(QStringLiteral("Ports/Port4")));
    QCOMPARE(env.ctx->session().Port1.devicePath(2), QStringLiteral("/tmp/receiver"));
}

// The zone whose daylight dates the history follows: a zone brings its
// offset, another offset lets the zone go, a name written by hand survives.
void TestCommPort::daylightZone_data()
{
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<int>("storedOffset");
    QTest::addColumn<QString>("pickName");    // empty: left as shown
    QTest::addColumn<int>("pickZone");        // -1: left as shown
    QTest::addColumn<QString>("savedName");
    QTest::addColumn<int>("savedOffset");
    QTest::newRow("kept") << "America/Denver" << -7 << "" << -1 << "America/Denver" << -7;
    QTest::newRow("a zone brings its offset") << "" << -5 << "America/Chicago" << -1 << "America/Chicago" << -6;
    QTest::newRow("another offset lets the zone go") << "America/Denver" << -7 << "" << 1 << "" << -5;
    QTest::newRow("a name written by hand stays") << "Nowhere/Edited" << -8 << "" << -1 << "Nowhere/Edited" << -8;
}

void TestCommPort::daylightZone()
{
    QFETCH(QString, storedName);
    QFETCH(int, storedOffset);
    QFETCH(QString, pickName);
    QFETCH(int, pickZone);
    TestEnv env;
    env.ctx->config.TimeZoneName = storedName;
    env.ctx->config.TimeZoneOffset = int16_t(storedOffset);
    frmCommPort w(env.ctx->session(), env.ctx->config);
    w.show();
    auto *names = w.findChild<QComboBox *>(QStringLiteral("cmbTimeZoneName"));
    QVERIFY(names);
    QCOMPARE(names->itemText(0), frmCommPort::computerZoneEntry());
    QCOMPARE(names->currentText(), storedName.isEmpty() ? frmCommPort::computerZoneEntry() : storedName);
    // A screen reader hears the zone shown and the label that names it.
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(names);
    QVERIFY(a);
    QCOMPARE(a->text(QAccessible::Value), names->currentText());
    QStringList labels;
    for (const auto &rel : a->relations(QAccessible::Label))
        labels << rel.first->text(QAccessible::Name);
    // (the frame "Time Zone" labels it too)
    QVERIFY2(labels.contains(QStringLiteral("Daylight time as in:")), qPrintable(labels.join(QLatin1Char('|'))));
    if (!pickName.isEmpty())
        names->setCurrentIndex(names->findText(pickName));
    if (pickZone >= 0)
        w.findChild<QComboBox *>(QStringLiteral("cmbTimeZone"))->setCurrentIndex(pickZone);
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdOk")), Qt::LeftButton);
    QTEST(env.ctx->config.TimeZoneName, "savedName");
    QTEST(int(env.ctx->config.TimeZoneOffset), "savedOffset");
}

void TestCommPort::grab()
{
    TestEnv env;
    env.ctx->config.SerialPort = 1;
    env.ctx->config.TimeZoneOffset = -5;
    env.ctx->config.DaylightSavings = true;
    env.ctx->config.TimeZoneName = QStringLiteral("America/New_York");
    env.ctx->session().Port1.setDevicePaths({QStringLiteral("/tmp/nx4400c-virtual-receiver"), QStringLiteral("/dev/ttyUSB0"),
                                         QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")});
    frmCommPort w(env.ctx->session(), env.ctx->config);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString out = qEnvironmentVariable("NX_GRAB_DIR");
    if (!out.isEmpty())
        QVERIFY(w.grab().save(out + QStringLiteral("/frmCommPort.png")));
    // Every caption fits its control.
    for (QAbstractButton *b : w.findChildren<QAbstractButton *>())
        QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->objectName()));
}

QTEST_MAIN(TestCommPort)
#include "tst_commport.moc"
