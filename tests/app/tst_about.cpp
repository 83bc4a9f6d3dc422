// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the Ctrl-key rule for "Data Dump" across openings, both
// versions, the system information window, and the way into the dump.
#include "support/PtyReceiver.h"
#include "diagnostics/gui/frmDataDump.h"
#include "link/core/LinkSession.h"
#include "app/gui/HelpCommands.h"
#include "app/gui/NX4400C.h"
#include "app/gui/SysInfo.h"
#include "app/gui/frmAbout.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <functional>

namespace {

struct Opening {
    bool dumpVisible = false;
    QString label1, label3, title;
};

// Opens the about box as the Help menu does, notes what it shows, closes it.
Opening openAbout(AppContext &ctx, QWidget *parent)
{
    Opening seen;
    whenModal<frmAbout>([&seen](frmAbout *about) {
        seen.dumpVisible = about->findChild<QPushButton *>(QStringLiteral("cmdDump"))->isVisible();
        seen.label1 = about->findChild<QLabel *>(QStringLiteral("Label1"))->text();
        seen.label3 = about->findChild<QLabel *>(QStringLiteral("Label3"))->text();
        seen.title = about->windowTitle();
        about->findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
    });
    // From the main window's Help menu when there is one.
    if (auto *item = parent->findChild<QAction *>(QStringLiteral("mnuAbout")))
        item->trigger();
    else
        HelpCommands::openAbout(ctx, parent);
    return seen;
}

} // namespace

class tst_About : public QObject
{
    Q_OBJECT

private slots:
    // One Ctrl keystroke in the main window offers the button on exactly
    // the next opening.
    void ctrlRuleAcrossOpenings()
    {
        TestEnv env;
        AppContext &ctx = *env.ctx;
        NX4400C w(ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QVERIFY(!openAbout(ctx, &w).dumpVisible);
        QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(ctx.CtrlHeld);
        QVERIFY(openAbout(ctx, &w).dumpVisible);
        QVERIFY(!ctx.CtrlHeld);
        QVERIFY(!ctx.ShowDumpButton);   // reset when the box went away
        QVERIFY(!openAbout(ctx, &w).dumpVisible);
        QTest::keyClick(&w, Qt::Key_A);   // no Ctrl: nothing
        QVERIFY(!openAbout(ctx, &w).dumpVisible);
        QTest::keyClick(&w, Qt::Key_F8, Qt::ControlModifier);
        QVERIFY(openAbout(ctx, &w).dumpVisible);
    }

    void versions_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("receiver");
        QTest::newRow("never transferred") << "3.00" << "1.00";
        QTest::newRow("after a transfer") << "3.00" << "2.05";
    }
    void versions()
    {
        QFETCH(QString, editor);
        QFETCH(QString, receiver);
        TestEnv env;
        env.ctx->config.EditorVersion = editor;
        env.ctx->config.ReceiverVersion = receiver;
        QWidget parent;
        const Opening seen = openAbout(*env.ctx, &parent);
#ifdef Q_OS_WIN
        QCOMPARE(seen.label1, QStringLiteral("Windows Editor Version ") + editor);
#else
        QCOMPARE(seen.label1, QStringLiteral("Editor Version ") + editor);
#endif
        QCOMPARE(seen.label3, QStringLiteral("Receiver Firmware Version ") + receiver);
        QVERIFY(seen.title.isEmpty());
    }

    void fixedTexts()
    {
        TestEnv env;
        frmAbout about(*env.ctx);
        const struct {
            const char *name, *text;
        } labels[] = {{"Label2_6", "SAME Digital Weather Receiver"},
                      {"Label2_2", "NX-4400C"},
                      {"Label2_0", "Norvale, Inc."}};
        for (const auto &l : labels)
            QCOMPARE(about.findChild<QLabel *>(QString::fromLatin1(l.name))->text(), QString::fromLatin1(l.text));
        for (const char *b : {"cmdOk", "cmdSysInfo", "cmdDump"})
            QVERIFY(about.findChild<QPushButton *>(QString::fromLatin1(b)));
        QCOMPARE(about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->text(), QStringLiteral("System Info"));
        QCOMPARE(about.findChild<QPushButton *>(QStringLiteral("cmdDump"))->text(), QStringLiteral("Data Dump"));
    }

    void sysInfoUnavailable()
    {
        TestEnv env;
        setSysInfoCollector([](AppContext &) { return SysInfoReport(); });
        StartSysInfo(*env.ctx, nullptr);
        setSysInfoCollector({});
        QCOMPARE(env.prompter.texts(), QStringList{"System Information Is Unavailable At This Time"});
        QCOMPARE(env.prompter.boxes.first().icon, Prompter::Icon::None);
        QCOMPARE(env.prompter.boxes.first().buttons, Prompter::Buttons::Ok);
    }

    // The report names each device and the port number it is; a port whose
    // device is missing says so.
    void sysInfoReport()
    {
        SysInfoReport r;
        r.operatingSystem = QStringLiteral("Debian GNU/Linux 12");
        r.qtVersion = QStringLiteral("6.4.2");
        r.programVersion = QStringLiteral("3.00");
        r.receiverVersion = QStringLiteral("2.05");
        r.portDevices = {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1"),
                         QString()};
        SysInfoReport::SerialDevice usb;
        usb.path = QStringLiteral("/dev/ttyUSB0");
        usb.description = QStringLiteral("USB-Serial Controller");
        usb.manufacturer = QStringLiteral("Prolific");
        usb.usbId = QStringLiteral("067b:2303");
        usb.portNumber = 1;
        SysInfoReport::SerialDevice s0;
        s0.path = QStringLiteral("/dev/ttyS0");
        s0.portNumber = 2;
        SysInfoReport::SerialDevice acm;
        acm.path = QStringLiteral("/dev/ttyACM0");
        r.devices = {usb, s0, acm};
        const QString text = r.text();
        for (const char *expected :
             {"Debian GNU/Linux 12", "Qt version:         6.4.2", "Editor version:     3.00",
              "Receiver firmware:  2.05", "/dev/ttyUSB0  = Port 1", "USB-Serial Controller, Prolific, USB 067b:2303",
              "/dev/ttyS0  = Port 2", "/dev/ttyACM0  (no port number)", "Port 3  /dev/ttyS1  (not present)",
              "Port 4  (no device)"})
            QVERIFY2(text.contains(QString::fromLatin1(expected)), expected);

        // The real collector knows the Qt it runs on and the editor version.
        TestEnv env;
        env.ctx->config.EditorVersion = QStringLiteral("3.00");
        const SysInfoReport real = CollectSysInfo(*env.ctx);
        QCOMPARE(real.qtVersion, QString::fromLatin1(qVersion()));
        QVERIFY(real.programVersion.startsWith(QStringLiteral("3.00")));
        QVERIFY(!real.operatingSystem.isEmpty());
        QCOMPARE(real.portDevices.size(), 4);

        // A port led to a pseudo-terminal (the virtual receiver) is listed
        // with its number although it is no serial device of the system.
        PtyReceiver rx;
        env.ctx->session().Port1.setDevicePaths({QString(), QString(), rx.path(), QString()});
        const SysInfoReport linked = CollectSysInfo(*env.ctx);
        QCOMPARE(linked.portDevices.at(2), rx.path());
        int number = 0;
        for (const SysInfoReport::SerialDevice &d : linked.devices)
            if (d.path == rx.path())
                number = d.portNumber;
        QCOMPARE(number, 3);
        QVERIFY(linked.text().contains(rx.path() + QStringLiteral("  = Port 3")));
    }

    void sysInfoWindowFromAboutBox()
    {
        TestEnv env;
        env.ctx->config.EditorVersion = QStringLiteral("3.00");
        env.ctx->config.ReceiverVersion = QStringLiteral("2.05");
        frmAbout about(*env.ctx);
        QString shown;
        whenModal<frmSysInfo>([&shown](frmSysInfo *w) {
            shown = w->findChild<QPlainTextEdit *>(QStringLiteral("txtSysInfo"))->toPlainText();
            const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
            if (!dir.isEmpty())
                w->grab().save(dir + QStringLiteral("/sysinfo.png"));
            w->accept();
        });
        about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->click();
        QVERIFY(shown.contains(QStringLiteral("Qt version:")));
        QVERIFY(shown.contains(QStringLiteral("Editor version:     3.00")));
        QVERIFY(env.prompter.boxes.isEmpty());
    }

    // No contact: the box says so and stays open; with contact the dump
    // window opens, and leaving it takes the receiver out of dump mode.
    void dataDumpButton()
    {
        TestEnv env;
        AppContext &ctx = *env.ctx;
        ctx.config.SerialPort = 1;
        ctx.timings.dumpContactMs = 200;
        PtyReceiver rx;
        ctx.session().Port1.setDevicePaths({rx.path(), QString(), QString(), QString()});
        ctx.config.EditorVersion = QStringLiteral("3.00");
        ctx.config.ReceiverVersion = QStringLiteral("2.05");
        ctx.ShowDumpButton = true;
        frmAbout about(ctx);
        about.show();
        QPushButton *dump = about.findChild<QPushButton *>(QStringLiteral("cmdDump"));
        QVERIFY(dump->isVisible());

        // The receiver stays silent.
        dump->click();
        QCOMPARE(env.prompter.boxes.size(), 1);
        QCOMPARE(env.prompter.boxes.first().title, QStringLiteral("NX-4400 Digital Weather Receiver"));
        QCOMPARE(env.prompter.boxes.first().text, QStringLiteral("Serial Connection Fail..."));
        QCOMPARE(env.prompter.boxes.first().icon, Prompter::Icon::Exclamation);
        QVERIFY(about.isVisible());
        QVERIFY(!ctx.session().PortIsOpen);

        rx.answer('D', QByteArray("\x06"));
        rx.answer('R', QByteArray("xx\r\nZCZC-WXR-RWT-012011-012085-012099-012111-012113+0015-0651530-KTBW/NWS-"
                                  "\r\nNNNN\x03"));
        rx.answer('X', QByteArray("NV MEMORY\r\n8000:\t00\t03\t03\t01\r\n8008:\t1F\x01\x02\x1b\r\nROM 2.05\r\n\x03"));
        bool opened = false;
        whenModal<frmDataDump>([&opened](frmDataDump *w) {
            opened = true;
            w->findChild<QPushButton *>(QStringLiteral("cmdRaw"))->click();
            w->findChild<QPushButton *>(QStringLiteral("cmdNVData"))->click();
            const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
            if (!dir.isEmpty())
                w->grab().save(dir + QStringLiteral("/datadump.png"));
            w->close();
        });
        dump->click();
        QVERIFY(opened);
        QCOMPARE(env.prompter.boxes.size(), 1);
        QTRY_VERIFY(rx.received().endsWith("Q"));
        QVERIFY(!ctx.session().PortIsOpen);
        QVERIFY(!ctx.session().busy);

        const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
        if (!dir.isEmpty())
            QVERIFY(about.grab().save(dir + QStringLiteral("/about.png")));
    }
};

QTEST_MAIN(tst_About)
#include "tst_about.moc"
