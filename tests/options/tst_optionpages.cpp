// SPDX-License-Identifier: GPL-3.0-or-later
// The alert options, timer and rear RS-232 pages driven through their toolbar
// commands, checked against ReceiverConfig and the parameter block they pack
// into; plus what all five pages share (modal on the main window, picture,
// named and labelled controls) and their screenshots.

#include "options/PageDriver.h"
#include "options/gui/frmIdent.h"
#include "options/gui/frmInOuts.h"
#include "options/gui/frmOption.h"
#include "options/gui/frmRS232.h"
#include "options/gui/frmTimers.h"
#include "options/gui/OptionCommands.h"
#include "support/TestEnv.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <memory>

namespace {

// The record with every flag false and every timer 0: one click then shows
// exactly the bit it drives.
QByteArray blockWith(int byte, uint8_t value)
{
    QByteArray b(32, '\0');
    b[byte] = char(value);
    return b;
}

int16_t &timerField(ReceiverConfig &c, const QString &key)
{
    for (const ConfigKey &k : configKeys())
        if (k.intField && QLatin1String(k.key) == key)
            return c.*k.intField;
    qFatal("no timer key %s", qPrintable(key));
}

const OpenPage Pages[] = {&OptionCommands::openOptions, &OptionCommands::openTimers, &OptionCommands::openInOuts,
                          &OptionCommands::openIdent, &OptionCommands::openRs232};

} // namespace

class tst_OptionPages : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    AppContext &ctx() { return *env->ctx; }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        // No page here may show a message box.
        QVERIFY2(env->prompter.boxes.isEmpty(), qPrintable(env->prompter.texts().join(QLatin1Char('|'))));
        env.reset();
    }

    // ---- alert options -------------------------------------------------------

    void alertOptions_firstRun()
    {
        loadFirstRun(ctx());
        const QByteArray before = parameterBlock(ctx());
        const PageRun run = runPage(&OptionCommands::openOptions, ctx(), [](QDialog *p) {
            for (int i = 0; i < 5; ++i)
                QVERIFY(isChecked(p, QStringLiteral("chkFrontPanel_%1").arg(i)));
            for (int i = 0; i < 3; ++i)
                QVERIFY(!isChecked(p, QStringLiteral("chkOverride_%1").arg(i)));
            for (int i = 0; i < 3; ++i)
                QVERIFY(isChecked(p, QStringLiteral("chkVocInt_%1").arg(i)));
            QVERIFY(isChecked(p, QStringLiteral("optVocInt_0")));
            QVERIFY(isEnabled(p, QStringLiteral("optVocInt_2")));
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QVERIFY(run.appeared);
        QVERIFY(!run.leftOpen);
        QCOMPARE(run.result, int(QDialog::Accepted));
        const QByteArray block = parameterBlock(ctx());
        QCOMPARE(block, before);
        QCOMPARE(block.left(16).toHex(' '), QByteArray("00 03 03 01 00 02 00 00 1f 00 00 27 00 00 00 21"));
    }

    void alertOptions_boxDrivesBit_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("value");
        QTest::newRow("speaker") << QStringList{"chkFrontPanel_0"} << 8 << 0x01;
        QTest::newRow("line") << QStringList{"chkFrontPanel_1"} << 8 << 0x02;
        QTest::newRow("led") << QStringList{"chkFrontPanel_2"} << 8 << 0x04;
        QTest::newRow("switch speaker") << QStringList{"chkFrontPanel_3"} << 8 << 0x08;
        QTest::newRow("switch line") << QStringList{"chkFrontPanel_4"} << 8 << 0x10;
        QTest::newRow("all fips") << QStringList{"chkOverride_0"} << 8 << 0x20;
        QTest::newRow("all events") << QStringList{"chkOverride_1"} << 8 << 0x40;
        QTest::newRow("ignore termination") << QStringList{"chkOverride_2"} << 8 << 0x80;
        QTest::newRow("voice speaker") << QStringList{"chkVocInt_0"} << 11 << 0x01;
        QTest::newRow("voice line") << QStringList{"chkVocInt_1"} << 11 << 0x02;
        QTest::newRow("15 minutes") << QStringList{"chkVocInt_0", "chkVocInt_2"} << 11 << 0x21;
        QTest::newRow("all events") << QStringList{"chkVocInt_1", "optVocInt_0"} << 11 << 0x06;
        QTest::newRow("warnings and watches") << QStringList{"chkVocInt_0", "optVocInt_1"} << 11 << 0x09;
        QTest::newRow("warnings") << QStringList{"chkVocInt_0", "optVocInt_2"} << 11 << 0x11;
        // Greyed controls do not take clicks.
        QTest::newRow("greyed choice") << QStringList{"optVocInt_2"} << 11 << 0x00;
    }

    void alertOptions_boxDrivesBit()
    {
        QFETCH(QStringList, clicks);
        QFETCH(int, byte);
        QFETCH(int, value);
        runPage(&OptionCommands::openOptions, ctx(), [&](QDialog *p) {
            for (const QString &name : clicks)
                QVERIFY2(click(p, name), qPrintable(name));
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QCOMPARE(parameterBlock(ctx()), blockWith(byte, uint8_t(value)));
    }

    // The store may hold several announcement choices at once; the page shows
    // the first and OK keeps that one alone.
    void alertOptions_voiceChoiceFromStore_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<bool>("watches");
        QTest::addColumn<bool>("warnings");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("byte11");
        QTest::newRow("all three") << true << true << true << 0 << 0x05;
        QTest::newRow("watches and warnings") << false << true << true << 1 << 0x09;
        QTest::newRow("all and warnings") << true << false << true << 0 << 0x05;
        QTest::newRow("warnings") << false << false << true << 2 << 0x11;
        QTest::newRow("none") << false << false << false << -1 << 0x01;
    }

    void alertOptions_voiceChoiceFromStore()
    {
        QFETCH(bool, all);
        QFETCH(bool, watches);
        QFETCH(bool, warnings);
        QFETCH(int, shown);
        QFETCH(int, byte11);
        ReceiverConfig &c = ctx().config;
        c.VoiceIntervalSpeaker = true;
        c.VocAllEvents = all;
        c.VocWarningsWatch = watches;
        c.VocWarnings = warnings;
        runPage(&OptionCommands::openOptions, ctx(), [&](QDialog *p) {
            for (int i = 0; i < 3; ++i)
                QCOMPARE(isChecked(p, QStringLiteral("optVocInt_%1").arg(i)), i == shown);
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QCOMPARE(int(imageByte(ctx(), 11)), byte11);
    }

    void alertOptions_enablingIsLive()
    {
        ctx().config.VoiceIntervalSpeaker = false;
        ctx().config.VoiceIntervalLine = false;
        const QStringList governed = {"optVocInt_0", "optVocInt_1", "optVocInt_2", "chkVocInt_2"};
        auto allEnabled = [&](QDialog *p, bool on) {
            for (const QString &name : governed)
                if (isEnabled(p, name) != on)
                    return false;
            return true;
        };
        runPage(&OptionCommands::openOptions, ctx(), [&](QDialog *p) {
            QVERIFY(allEnabled(p, false));
            QVERIFY(click(p, QStringLiteral("chkVocInt_0")));
            QVERIFY(allEnabled(p, true));
            QVERIFY(click(p, QStringLiteral("chkVocInt_1")));
            QVERIFY(click(p, QStringLiteral("chkVocInt_0")));
            QVERIFY(allEnabled(p, true));   // the line box alone still enables
            QVERIFY(click(p, QStringLiteral("chkVocInt_1")));
            QVERIFY(allEnabled(p, false));
            QVERIFY(click(p, QStringLiteral("cmdCancel")));
        });
    }

    void alertOptions_greyedStillSaved()
    {
        ReceiverConfig &c = ctx().config;
        c.VoiceIntervalSpeaker = c.VoiceIntervalLine = true;
        c.VocWarnings = true;
        c.VocTruncateTest = true;
        runPage(&OptionCommands::openOptions, ctx(), [&](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("chkVocInt_0")));
            QVERIFY(click(p, QStringLiteral("chkVocInt_1")));
            QVERIFY(!isEnabled(p, QStringLiteral("chkVocInt_2")));
            QVERIFY(isChecked(p, QStringLiteral("chkVocInt_2")));
            QVERIFY(isChecked(p, QStringLiteral("optVocInt_2")));
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QVERIFY(c.VocTruncateTest && c.VocWarnings);
        QVERIFY(!c.VoiceIntervalSpeaker && !c.VoiceIntervalLine);
        QCOMPARE(int(imageByte(ctx(), 11)), 0x30);
    }

    // ---- leaving without saving -----------------------------------------------

    void leavingDiscards_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("leave");
        const QStringList options = {"chkFrontPanel_0", "chkOverride_1", "optVocInt_2", "chkVocInt_0"};
        const QStringList timers = {"optTimeSp_5", "optTimeLn_0", "optRelayDelay_4", "optVoiceDelay_0",
                                    "optVoiceTimer_5"};
        const QStringList inouts = {"chkActive1", "optRear1_3", "chkOut2", "optTab2_6", "optTab3Raise_4"};
        const QStringList rs232 = {"chkRs232_0", "chkRs232_7", "chkRs232_4"};
        for (const char *leave : {"cmdCancel", "close box", "Escape"}) {
            QTest::addRow("options %s", leave) << 0 << options << QString::fromLatin1(leave);
            QTest::addRow("timers %s", leave) << 1 << timers << QString::fromLatin1(leave);
            QTest::addRow("inouts %s", leave) << 2 << inouts << QString::fromLatin1(leave);
        }
        // The RS-232 page has no Cancel button.
        QTest::newRow("rs232 close box") << 4 << rs232 << QStringLiteral("close box");
        QTest::newRow("rs232 Escape") << 4 << rs232 << QStringLiteral("Escape");
    }

    void leavingDiscards()
    {
        QFETCH(int, page);
        QFETCH(QStringList, clicks);
        QFETCH(QString, leave);
        loadFirstRun(ctx());
        const QByteArray before = parameterBlock(ctx());
        const PageRun run = runPage(Pages[page], ctx(), [&](QDialog *p) {
            for (const QString &name : clicks)
                QVERIFY2(click(p, name), qPrintable(name));
            if (leave == QLatin1String("close box"))
                closeBox(p);
            else if (leave == QLatin1String("Escape"))
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : p, Qt::Key_Escape);
            else
                QVERIFY(click(p, leave));
        });
        QVERIFY(!run.leftOpen);
        QCOMPARE(run.result, int(QDialog::Rejected));
        QCOMPARE(parameterBlock(ctx()), before);
        // Reopening shows the old values again.
        runPage(Pages[page], ctx(), [&](QDialog *p) {
            QCOMPARE(isChecked(p, clicks.first()), page == 0);
            QVERIFY(click(p, QStringLiteral("cmdOK")) || click(p, QStringLiteral("cmdOk")));
        });
        QCOMPARE(parameterBlock(ctx()), before);
    }

    // ---- timers ---------------------------------------------------------------

    void timers_firstRun()
    {
        loadFirstRun(ctx());
        runPage(&OptionCommands::openTimers, ctx(), [](QDialog *p) {
            for (const char *name : {"optTimeSp_2", "optTimeLn_2", "optVoiceTimer_0", "optRelayDelay_0", "optVoiceDelay_2"})
                QVERIFY2(isChecked(p, QLatin1String(name)), name);
            QVERIFY(control<QRadioButton>(p, QStringLiteral("optVoiceTimer_0"))->text() == QLatin1String("  5 Minute Interval"));
            QVERIFY(isEnabled(p, QStringLiteral("fraVoiceTimer")));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(parameterBlock(ctx()).mid(1, 5).toHex(' '), QByteArray("03 03 01 00 02"));
    }

    void timers_buttonGivesCode_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("code");
        struct Group { const char *array; int count; int base; int byte; };
        for (const Group g : {Group{"optTimeSp", 6, 1, 1}, Group{"optTimeLn", 6, 1, 2},
                              Group{"optVoiceTimer", 6, 1, 3}, Group{"optRelayDelay", 5, 0, 4},
                              Group{"optVoiceDelay", 5, 0, 5}})
            for (int i = 0; i < g.count; ++i) {
                const QString name = QStringLiteral("%1_%2").arg(QLatin1String(g.array)).arg(i);
                QTest::newRow(qPrintable(name)) << name << g.byte << i + g.base;
            }
    }

    void timers_buttonGivesCode()
    {
        QFETCH(QString, button);
        QFETCH(int, byte);
        QFETCH(int, code);
        ctx().config.VoiceIntervalLine = true;   // the interval group takes clicks
        runPage(&OptionCommands::openTimers, ctx(), [&](QDialog *p) {
            QVERIFY(click(p, button));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), byte)), code);
    }

    // A code the page has no button for leaves its group empty; OK keeps it
    // (the image carries 0), except the relay delay, which becomes 0.
    void timers_outOfRangeCodes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("array");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("afterOk");
        QTest::addColumn<int>("byte");
        QTest::newRow("speaker 0") << "SpeakerTimeoutTimer" << "optTimeSp" << 0 << 0 << 1;
        QTest::newRow("speaker 7") << "SpeakerTimeoutTimer" << "optTimeSp" << 7 << 7 << 1;
        QTest::newRow("speaker -1") << "SpeakerTimeoutTimer" << "optTimeSp" << -1 << -1 << 1;
        QTest::newRow("line 7") << "LineTimeoutTimer" << "optTimeLn" << 7 << 7 << 2;
        QTest::newRow("line 32767") << "LineTimeoutTimer" << "optTimeLn" << 32767 << 32767 << 2;
        QTest::newRow("voice 0") << "VoiceIntervalTimer" << "optVoiceTimer" << 0 << 0 << 3;
        QTest::newRow("voice 7") << "VoiceIntervalTimer" << "optVoiceTimer" << 7 << 7 << 3;
        QTest::newRow("pre-voice 5") << "PreVoiceAnnc" << "optVoiceDelay" << 5 << 5 << 5;
        QTest::newRow("pre-voice -1") << "PreVoiceAnnc" << "optVoiceDelay" << -1 << -1 << 5;
        QTest::newRow("relay 9") << "RelayDelayTimer" << "optRelayDelay" << 9 << 0 << 4;
        QTest::newRow("relay 5") << "RelayDelayTimer" << "optRelayDelay" << 5 << 0 << 4;
        QTest::newRow("relay -32768") << "RelayDelayTimer" << "optRelayDelay" << -32768 << 0 << 4;
    }

    void timers_outOfRangeCodes()
    {
        QFETCH(QString, key);
        QFETCH(QString, array);
        QFETCH(int, stored);
        QFETCH(int, afterOk);
        QFETCH(int, byte);
        loadFirstRun(ctx());
        timerField(ctx().config, key) = int16_t(stored);
        QByteArray expected = parameterBlock(ctx());
        runPage(&OptionCommands::openTimers, ctx(), [&](QDialog *p) {
            auto *group = p->findChild<QButtonGroup *>(array);
            QVERIFY(group);
            QCOMPARE(group->checkedButton(), nullptr);
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(timerField(ctx().config, key)), afterOk);
        QCOMPARE(int(expected.at(byte)), 0);
        QCOMPARE(parameterBlock(ctx()), expected);
    }

    void timers_voiceIntervalFollowsAlertOptions()
    {
        loadFirstRun(ctx());
        ReceiverConfig &c = ctx().config;
        c.VoiceIntervalSpeaker = c.VoiceIntervalLine = false;
        c.VoiceIntervalTimer = 4;
        runPage(&OptionCommands::openTimers, ctx(), [](QDialog *p) {
            QVERIFY(!isEnabled(p, QStringLiteral("fraVoiceTimer")));
            QVERIFY(!isEnabled(p, QStringLiteral("optVoiceTimer_0")));
            QVERIFY(isChecked(p, QStringLiteral("optVoiceTimer_3")));   // still shown
            QVERIFY(click(p, QStringLiteral("optVoiceTimer_5")));        // refused while greyed
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(c.VoiceIntervalTimer), 4);
        QCOMPARE(int(imageByte(ctx(), 3)), 4);

        runPage(&OptionCommands::openOptions, ctx(), [](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("chkVocInt_1")));
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        runPage(&OptionCommands::openTimers, ctx(), [](QDialog *p) {
            QVERIFY(isEnabled(p, QStringLiteral("fraVoiceTimer")));
            QVERIFY(click(p, QStringLiteral("optVoiceTimer_5")));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), 3)), 6);
    }

    // ---- rear RS-232 port -----------------------------------------------------

    void rs232_firstRun()
    {
        loadFirstRun(ctx());
        const PageRun run = runPage(&OptionCommands::openRs232, ctx(), [](QDialog *p) {
            QCOMPARE(control(p, QStringLiteral("cmdCancel")), nullptr);
            for (int i = 0; i < 8; ++i) {
                QVERIFY(!isChecked(p, QStringLiteral("chkRs232_%1").arg(i)));
                QCOMPARE(isEnabled(p, QStringLiteral("chkRs232_%1").arg(i)), i == 0);
            }
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QCOMPARE(run.result, int(QDialog::Accepted));
        QCOMPARE(int(imageByte(ctx(), 12)), 0);
    }

    // Box i drives bit i of byte 12: the ETX and EOT boxes land on the spare
    // keys' bits 0x40 and 0x80, the "Not assigned." boxes on 0x10 and 0x20.
    void rs232_boxDrivesBit_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("byte12");
        QTest::newRow("send only") << 0 << "Send weather data packet out the rear RS232 port." << 0x01;
        QTest::newRow("SOH") << 1 << "Begin transmission with SOH before packet header." << 0x03;
        QTest::newRow("STX") << 2 << "Insert STX after packet header." << 0x05;
        QTest::newRow("CRLF") << 3 << "Append CRLF after sending data variables." << 0x09;
        QTest::newRow("not assigned 4") << 4 << "Not assigned." << 0x11;
        QTest::newRow("not assigned 5") << 5 << "Not assigned." << 0x21;
        QTest::newRow("ETX") << 6 << "Finish data transmission with ETX." << 0x41;
        QTest::newRow("EOT") << 7 << "End completed transmission with EOT." << 0x81;
    }

    void rs232_boxDrivesBit()
    {
        QFETCH(int, box);
        QFETCH(QString, caption);
        QFETCH(int, byte12);
        runPage(&OptionCommands::openRs232, ctx(), [&](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("chkRs232_0")));
            auto *b = control<QCheckBox>(p, QStringLiteral("chkRs232_%1").arg(box));
            QVERIFY(b);
            QCOMPARE(b->text(), caption);
            if (box != 0)
                QVERIFY(click(p, b->objectName()));
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QCOMPARE(parameterBlock(ctx()), blockWith(12, uint8_t(byte12)));
        QCOMPARE(ctx().config.EndingETX, box == 4);
        QCOMPARE(ctx().config.Spare800C_1, box == 6);
    }

    void rs232_greyedTicksKept()
    {
        runPage(&OptionCommands::openRs232, ctx(), [](QDialog *p) {
            for (const char *name : {"chkRs232_0", "chkRs232_3", "chkRs232_6", "chkRs232_0"})
                QVERIFY(click(p, QLatin1String(name)));
            for (int i = 1; i < 8; ++i)
                QVERIFY(!isEnabled(p, QStringLiteral("chkRs232_%1").arg(i)));
            QVERIFY(isChecked(p, QStringLiteral("chkRs232_3")));
            QVERIFY(click(p, QStringLiteral("cmdOk")));
        });
        QVERIFY(!ctx().config.SendPacketRs232);
        QVERIFY(ctx().config.AppendTrailingCrlf && ctx().config.Spare800C_1);
        QCOMPARE(int(imageByte(ctx(), 12)), 0x48);
        // Reopened, the framing shows as saved, still greyed.
        runPage(&OptionCommands::openRs232, ctx(), [](QDialog *p) {
            QVERIFY(isChecked(p, QStringLiteral("chkRs232_6")));
            QVERIFY(!isEnabled(p, QStringLiteral("chkRs232_6")));
            closeBox(p);
        });
    }

    // ---- what all five pages share ---------------------------------------------

    void pages_modalOnMainWindow_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("options") << 0 << "frmOption" << " NX-4400C Options";
        QTest::newRow("timers") << 1 << "frmTimers" << " NX-4400C Timer Settings";
        QTest::newRow("inputs") << 2 << "frmInOuts" << " NX-4400C Hardware Inputs and Outputs";
        QTest::newRow("identification") << 3 << "frmIdent" << " Station Identification";
        QTest::newRow("rs232") << 4 << "frmRS232" << "RS232 Rear Port Options";
    }

    void pages_modalOnMainWindow()
    {
        QFETCH(int, page);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QMainWindow main;
        main.setObjectName(QStringLiteral("NX4400C"));
        main.show();
        const PageRun run = runPage(Pages[page], ctx(), [&](QDialog *p) {
            QCOMPARE(p->objectName(), name);
            QCOMPARE(p->windowTitle(), caption);
            QCOMPARE(p->parentWidget(), &main);
            QVERIFY(p->isModal());
            auto *image = control<QLabel>(p, QStringLiteral("Image1"));
            QVERIFY(image);
            QVERIFY(!image->pixmap().isNull());
            // Every control a user reaches has a name for assistive tools.
            const QList<QWidget *> widgets = p->findChildren<QWidget *>();
            for (QWidget *w : widgets) {
                if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                    || qobject_cast<QTabWidget *>(w)) {
                    QVERIFY2(!w->objectName().isEmpty(), qPrintable(w->metaObject()->className()));
                    QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
                }
            }
            closeBox(p);
        }, &main);
        QVERIFY(run.appeared);
        QCOMPARE(run.result, int(QDialog::Rejected));
    }

    // Screenshots for a person to look at: NX_GRAB_DIR=/tmp/x.
    void pages_grab()
    {
        const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
        if (dir.isEmpty())
            QSKIP("set NX_GRAB_DIR to save screenshots of the pages");
        loadFirstRun(ctx());
        ctx().config.UserStationID = QStringLiteral("WXK57");
        ctx().config.GiveStationID = true;
        ctx().config.VoiceIntervalLine = false;
        auto save = [&](QWidget &w, const QString &file) {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(w.grab().save(dir + QLatin1Char('/') + file));
        };
        { frmOption p(ctx(), ctx().config); save(p, QStringLiteral("frmOption.png")); }
        { frmTimers p(ctx(), ctx().config); save(p, QStringLiteral("frmTimers.png")); }
        { frmRS232 p(ctx(), ctx().config); save(p, QStringLiteral("frmRS232.png")); }
        { frmIdent p(ctx(), ctx().config); save(p, QStringLiteral("frmIdent.png")); }
        ctx().config.NV8009.CancelAlert = true;
        ctx().config.Spare800E_2 = true;
        {
            frmInOuts p(ctx(), ctx().config);
            auto *tabs = control<QTabWidget>(&p, QStringLiteral("SSTab1"));
            QVERIFY(tabs);
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                save(p, QStringLiteral("frmInOuts_%1.png").arg(i));
            }
        }
    }
};

QTEST_MAIN(tst_OptionPages)
#include "tst_optionpages.moc"
