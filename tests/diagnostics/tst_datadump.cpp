// SPDX-License-Identifier: GPL-3.0-or-later
// The data dump window over a real pseudo-terminal: contact, the RAW and NV
// replies, time-outs and a pulled cable, leaving dump mode, saving.
#include "diagnostics/core/DumpListing.h"
#include "diagnostics/gui/frmDataDump.h"
#include "support/VirtualReceiver.h"
#include "link/core/LinkSession.h"
#include "support/TestEnv.h"

#include "support/PtyReceiver.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QAccessible>
#include <QtTest>

namespace {

const QByteArray ACK("\x06");
const QByteArray NAK("\x15");
const QByteArray ETX("\x03");

const QString Br = QStringLiteral("\r\n");
const QString RawHead = Br + Br + QStringLiteral("RAW Data Dump..Please wait");
const QString NvHead = Br + Br + QStringLiteral("NV Data Dump..Please wait") + Br;

struct Bench {
    TestEnv env;
    PtyReceiver rx;
    AppContext &ctx = *env.ctx;

    Bench()
    {
        ctx.config.SerialPort = 1;
        ctx.timings.dumpContactMs = 300;
        ctx.timings.dumpReplyMs = 600;
        ctx.timings.dumpNvPauseMs = 20;
        ctx.session().Port1.setDevicePaths({rx.path(), QString(), QString(), QString()});
        rx.answer('D', ACK);
    }
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_DataDump : public QObject
{
    Q_OBJECT

private slots:
    void contact_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("contact");
        QTest::newRow("ACK") << ACK << true;
        QTest::newRow("noise, then ACK") << QByteArray("\x11?Z") + ACK << true;
        QTest::newRow("NAK") << NAK << false;
        QTest::newRow("silence") << QByteArray() << false;
    }
    void contact()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, contact);
        Bench b;
        b.rx.answer('D', reply);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QElapsedTimer t;
        t.start();
        QCOMPARE(dump.MakeContact(), contact);
        QVERIFY(t.elapsed() < 2000);
        QCOMPARE(b.rx.received(), QByteArray("D"));
        // In dump mode the port is held; otherwise it is closed again,
        // after a NAK too.
        QCOMPARE(b.ctx.session().PortIsOpen, contact);
        QCOMPARE(b.ctx.session().busy, contact);
        QCOMPARE(dump.inDumpMode(), contact);
        QVERIFY(b.env.prompter.boxes.isEmpty());
    }

    void contactPortWillNotOpen()
    {
        Bench b;
        b.ctx.session().Port1.setDevicePaths({b.env.path("no-such-tty"), QString(), QString(), QString()});
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(!dump.MakeContact());
        QCOMPARE(b.env.prompter.texts(), QStringList{"Error #201:  Selected Serial Port will not open"});
        QVERIFY(!b.ctx.session().PortIsOpen);
        QVERIFY(!b.ctx.session().busy);
    }

    void contactRefusedWhilePortBusy()
    {
        Bench b;
        b.ctx.session().busy = true;   // a transfer owns the port
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(!dump.MakeContact());
        QTest::qWait(50);
        QVERIFY(b.rx.received().isEmpty());
        QVERIFY(b.ctx.session().busy);
    }

    void raw_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        const QByteArray msg = "ZCZC-WXR-TOR-012011-012085+0030-0651505-KTBW/NWS-";
        QTest::newRow("two characters before the header")
            << "\r\n" + msg + "\r\nNNNN" + ETX << RawHead + Br + QString::fromLatin1(msg) + "NNNN";
        QTest::newRow("no header: an empty line") << QByteArray("garbage\r\n") + ETX << RawHead + Br;
        QByteArray m130 = "ZCZC";
        while (m130.size() < 130)
            m130.append(char('0' + m130.size() % 10));
        QTest::newRow("130 characters in lines of 62, 60, 8")
            << m130 + ETX
            << RawHead + Br + QString::fromLatin1(m130.left(62) + "\r\n" + m130.mid(62, 60) + "\r\n" + m130.mid(122));
    }
    void raw()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        Bench b;
        b.rx.answer('R', reply);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        dump.show();
        QVERIFY(dump.MakeContact());
        dump.cmdRaw_Click();
        QCOMPARE(dump.text(), shown);
        QCOMPARE(b.rx.received(), QByteArray("DR"));
        QCOMPARE(b.env.view.progressMax, 2096);
        // The text area shows the same text with plain line breaks.
        auto *text1 = dump.findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        QCOMPARE(text1->toPlainText(), QString(shown).replace(Br, QStringLiteral("\n")));
    }

    void nvKeepsControlCharacters()
    {
        Bench b;
        const QByteArray nv("NV MEMORY\r\n8000:\t0F\x01\x00\x1b\r\n", 21);
        b.rx.answer('X', nv + ETX);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(dump.MakeContact());
        dump.cmdNVData_Click();
        QCOMPARE(dump.text(), NvHead + QString::fromLatin1(nv));
        QCOMPARE(b.rx.received(), QByteArray("DX"));
    }

    // A receiver that stops in the middle of a reply must not hold the
    // window: the wait ends after the reply time-out with what came.
    void replyCutShort_data()
    {
        QTest::addColumn<bool>("pullCable");
        QTest::addColumn<QString>("note");
        QTest::newRow("falls silent") << false << "(Reply incomplete: the receiver sent no end of data within 0.6 seconds.)";
        QTest::newRow("cable pulled") << true << "(Reply incomplete: the serial port failed.)";
    }
    void replyCutShort()
    {
        QFETCH(bool, pullCable);
        QFETCH(QString, note);
        Bench b;
        b.rx.answer('R', "xxZCZC-WXR-TO");
        if (pullCable)
            b.rx.pullCableAfter('R');
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(dump.MakeContact());
        QElapsedTimer t;
        t.start();
        dump.cmdRaw_Click();
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(dump.text(), RawHead + Br + "ZCZC-WXR-TO" + Br + note);
        // The buttons work again afterwards.
        QVERIFY(dump.findChild<QPushButton *>(QStringLiteral("cmdRaw"))->isEnabled());
    }

    // Exit, Escape and the window frame all leave dump mode the same way.
    void leaving_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit") << 0;
        QTest::newRow("window frame") << 1;
        QTest::newRow("Escape") << 2;
    }
    void leaving()
    {
        QFETCH(int, how);
        Bench b;
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        dump.show();
        QVERIFY(dump.MakeContact());
        QVERIFY(b.ctx.session().PortIsOpen);
        if (how == 0)
            dump.findChild<QPushButton *>(QStringLiteral("cmdExit"))->click();
        else if (how == 1)
            dump.close();
        else
            QTest::keyClick(&dump, Qt::Key_Escape);
        QVERIFY(!dump.isVisible());
        QTRY_COMPARE(b.rx.received(), QByteArray("DQ"));
        QVERIFY(!b.ctx.session().PortIsOpen);
        QVERIFY(!b.ctx.session().busy);
        QVERIFY(!dump.inDumpMode());
    }

    // Closing the window while a reply is awaited ends the wait at once and
    // still takes the receiver out of dump mode.
    void closedDuringWait()
    {
        Bench b;
        b.ctx.timings.dumpReplyMs = 5000;
        b.rx.answer('R', "ZCZC-WXR");
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        dump.show();
        QVERIFY(dump.MakeContact());
        QTimer::singleShot(150, &dump, [&dump] {
            QVERIFY(!dump.findChild<QPushButton *>(QStringLiteral("cmdRaw"))->isEnabled());
            dump.close();
        });
        QElapsedTimer t;
        t.start();
        dump.cmdRaw_Click();
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!dump.isVisible());
        QTRY_COMPARE(b.rx.received(), QByteArray("DRQ"));
        QVERIFY(!b.ctx.session().PortIsOpen);
        QVERIFY(!b.ctx.session().busy);
        QVERIFY(!dump.text().contains(QStringLiteral("Reply incomplete")));
    }

    void clearEmptiesTheWindow()
    {
        Bench b;
        b.rx.answer('R', "ZCZC-A" + ETX);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(dump.MakeContact());
        dump.cmdRaw_Click();
        QVERIFY(!dump.text().isEmpty());
        dump.findChild<QPushButton *>(QStringLiteral("cmdClear"))->click();
        QVERIFY(dump.text().isEmpty());
        QVERIFY(dump.findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->toPlainText().isEmpty());
    }

    void saveEmptyWindowWritesNothing()
    {
        Bench b;
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        dump.cmdSave_Click();
        QCOMPARE(b.env.prompter.beeps, 1);
        QVERIFY(b.env.prompter.boxes.isEmpty());
        QVERIFY(!QFile::exists(b.ctx.dumpFilePath));
    }

    // The file: created-on line, empty line, the window's bytes as received,
    // the configuration listing. An older, longer file is replaced whole.
    void saveFullWindow()
    {
        Bench b;
        b.ctx.config.TimeZoneOffset = -5;
        b.ctx.config.DaylightSavings = true;
        b.env.clock.set(QDateTime(QDate(2026, 3, 6), QTime(9, 41, 7)));
        b.env.clock.setFrozen(true);
        {
            QFile old(b.ctx.dumpFilePath);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(50000, 'o'));
        }
        const QByteArray nv("A\x01\x02\r\nB\xe9", 7);
        b.rx.answer('X', nv + ETX);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(dump.MakeContact());
        dump.cmdNVData_Click();
        dump.cmdSave_Click();
        QCOMPARE(b.env.prompter.boxes.size(), 1);
        const auto box = b.env.prompter.boxes.first();
        QCOMPARE(box.title, QStringLiteral("NX-4400 Digital Weather Receiver"));
        QCOMPARE(box.text, QStringLiteral("Data file NX_DUMP.TXT created and is located\r\n"
                                          "in the same directory as this editor."));
        QCOMPARE(box.icon, Prompter::Icon::Information);

        const QByteArray file = readFile(b.ctx.dumpFilePath);
        const QByteArray head = DumpCreatedLine(b.env.clock.now()).toLatin1() + "\r\n\r\n";
        QVERIFY(file.startsWith(head));
        const QByteArray window = NvHead.toLatin1() + nv;
        QCOMPARE(file.mid(head.size(), window.size() + 2), window + "\r\n");
        const QByteArray listing = WriteRegistry(b.ctx.config).toLatin1();
        QCOMPARE(file.mid(head.size() + window.size() + 2), listing + "\r\n");
        QVERIFY(file.contains("REGISTRY_EDITOR.TimeZoneOffset=-5\r\n"));
        QVERIFY(file.contains("REGISTRY_EDITOR.DaylightSavings=True\r\n"));
    }

    void saveUnwritable()
    {
        Bench b;
        // The dump file's folder is a plain file: nothing can be created there.
        QFile blocker(b.env.path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        b.ctx.dumpFilePath = b.env.path("blocker/NX_DUMP.TXT");
        b.rx.answer('R', "ZCZC-A" + ETX);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(dump.MakeContact());
        dump.cmdRaw_Click();
        dump.cmdSave_Click();
        QCOMPARE(b.env.prompter.boxes.size(), 1);
        const auto box = b.env.prompter.boxes.first();
        QVERIFY2(box.text.startsWith(QStringLiteral("Data file NX_DUMP.TXT could not be written:")),
                 qPrintable(box.text));
        QVERIFY(box.text.contains(QStringLiteral("blocker/NX_DUMP.TXT")));
        QCOMPARE(box.icon, Prompter::Icon::Exclamation);
        QVERIFY(!dump.text().isEmpty());   // nothing shown is lost
    }

    // The text area empties each time the window is activated: when the box
    // that reports the written file closes and the window is active again.
    // Not after the box that reports a failed save (the dump could not be
    // kept otherwise), nor when the user comes back from another program.
    void emptiedOnActivation_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("viaOtherProgram");
        QTest::addColumn<bool>("emptied");
        QTest::newRow("back from the saved-file box") << true << false << true;
        QTest::newRow("back from the failure box") << false << false << false;
        QTest::newRow("back from another program") << true << true << false;
    }
    void emptiedOnActivation()
    {
        QFETCH(bool, writable);
        QFETCH(bool, viaOtherProgram);
        QFETCH(bool, emptied);
        Bench b;
        if (!writable) {
            QFile blocker(b.env.path("blocker"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            b.ctx.dumpFilePath = b.env.path("blocker/NX_DUMP.TXT");
        }
        b.rx.answer('R', "ZCZC-A" + ETX);
        frmDataDump dump(b.ctx.session(), b.ctx.config);
        QVERIFY(dump.MakeContact());
        dump.show();
        QApplication::setActiveWindow(&dump);
        QVERIFY(QTest::qWaitForWindowActive(&dump));
        dump.cmdRaw_Click();
        QVERIFY(!dump.text().isEmpty());
        // The box is a window of the editor: the dump window loses the focus
        // to it while it is up and gets it back when it closes.
        QWidget box;
        b.env.prompter.onBox = [&](const ScriptedPrompter::Box &) {
            box.show();
            QApplication::setActiveWindow(&box);
            box.hide();
            QApplication::setActiveWindow(&dump);
        };
        if (viaOtherProgram) {
            b.env.prompter.onBox = {};
            QApplication::setActiveWindow(nullptr);
            QApplication::setActiveWindow(&dump);
        } else {
            dump.cmdSave_Click();
            QCOMPARE(b.env.prompter.boxes.size(), 1);
        }
        QCOMPARE(dump.text().isEmpty(), emptied);
        QCOMPARE(dump.findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->toPlainText().isEmpty(), emptied);
        QCOMPARE(QFile::exists(b.ctx.dumpFilePath), writable && !viaOtherProgram);
        QCOMPARE(QAccessible::queryAccessibleInterface(&dump)->text(QAccessible::Name),
                 QStringLiteral("  NX-4400C Data Dump"));
    }

    // The whole visit against the virtual receiver, at its real pace.
    void virtualReceiver()
    {
        if (!QFileInfo::exists(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver")))
            QSKIP("the virtual receiver is not built");
        TestEnv env;
        AppContext &ctx = *env.ctx;
        ctx.config.SerialPort = 2;
        ctx.timings.dumpReplyMs = 8000;
        VirtualReceiver vr(env.dir.path());
        QVERIFY(vr.start({}, true));
        vr.attach(ctx, 2);
        {
            frmDataDump dump(ctx.session(), ctx.config);
            dump.show();
            QVERIFY(dump.MakeContact());
            dump.cmdRaw_Click();
            const QString raw = dump.text();
            QVERIFY2(raw.startsWith(RawHead + Br + QStringLiteral("ZCZC-WXR-SVR-")), qPrintable(raw));
            // The line break after the 62nd character; no control characters.
            const QString message = raw.mid(RawHead.size() + 2);
            QCOMPARE(message.indexOf(Br), 62);
            for (QChar c : message.left(62) + message.mid(64))
                QVERIFY(c.unicode() >= 32);
            dump.cmdNVData_Click();
            QVERIFY(dump.text().contains(NvHead + QStringLiteral("NV MEMORY\r\n8000:\t")));
            QVERIFY(dump.text().contains(QStringLiteral("ROM ")));
            dump.cmdSave_Click();
            QVERIFY(QFile::exists(ctx.dumpFilePath));
            dump.close();
        }
        QTRY_VERIFY(vr.recorded().contains("Q"));
        QVERIFY(!ctx.session().PortIsOpen);

        // A receiver that refuses dump mode.
        vr.stop();
        QVERIFY(vr.start({QStringLiteral("--fault"), QStringLiteral("nak-d")}));
        frmDataDump refused(ctx.session(), ctx.config);
        QVERIFY(!refused.MakeContact());
        QVERIFY(!ctx.session().PortIsOpen);
    }
};

QTEST_MAIN(tst_DataDump)
#include "tst_datadump.moc"
