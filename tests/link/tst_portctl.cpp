// SPDX-License-Identifier: GPL-3.0-or-later
// PortCtl and the link wait on a real pseudo-terminal: byte-exact both ways,
// ReadByte never blocks, the wait sleeps (no spinning) and wakes on a byte,
// the time-out timer, a cancel or a vanished device.

#include "support/PtyPair.h"
#include "support/TestEnv.h"

#include "link/core/LinkSession.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

} // namespace

class TestPortCtl : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose();
    void bytesExactBothWays();
    void readByteNeverBlocks();
    void purgeDropsCollected();
    void waitWakes_data();
    void waitWakes();
    void waitSleeps();
    void openReceiverPort();
};

void TestPortCtl::openAndClose()
{
    PtyPair pty;
    QVERIFY(!pty.slave.isEmpty());
    PortCtl port;
    port.setDevicePaths({QStringLiteral("/nonexistent/tty"), pty.slave, QString(), QString()});
    port.setPortNumber(1);
    QCOMPARE(port.Open(), 0);
    port.setPortNumber(3);           // no device
    QCOMPARE(port.Open(), 0);
    port.setPortNumber(5);           // no such port number
    QCOMPARE(port.Open(), 0);
    port.setPortNumber(2);
    const int h = port.Open();
    QVERIFY(h > 0 && h <= 32767);
    QVERIFY(port.isOpen());
    QCOMPARE(port.deviceName(), pty.slave);
    QCOMPARE(port.Close(), 0);
    QVERIFY(!port.isOpen());
    QCOMPARE(port.Close(), 0);       // closing twice is harmless
    QCOMPARE(port.ReadByte(), -1);
    QCOMPARE(port.InputCount(), 0);
}

void TestPortCtl::bytesExactBothWays()
{
    PtyPair pty;
    PortCtl port;
    port.setDevicePaths({pty.slave});
    port.setPortNumber(1);
    QVERIFY(port.Open() > 0);

    // Out: every byte value, CR and LF included, once each, in order.
    port.WriteString(QByteArrayLiteral("Z\r\n"));
    for (int i = 0; i < 256; ++i)
        port.WriteByte(i);
    port.WriteByte(0x1FF);           // only the low 8 bits go out
    QCOMPARE(pty.receive(3 + 256 + 1), QByteArrayLiteral("Z\r\n") + allBytes() + QByteArray(1, char(0xFF)));

    // In: the same.
    pty.send(allBytes());
    QByteArray in;
    QElapsedTimer t;
    t.start();
    while (in.size() < 256 && t.elapsed() < 3000) {
        const int b = port.ReadByte();
        if (b >= 0)
            in.append(char(b));
        else
            QTest::qWait(5);
    }
    QCOMPARE(in, allBytes());
    QCOMPARE(port.ReadByte(), -1);
}

void TestPortCtl::readByteNeverBlocks()
{
    PtyPair pty;
    PortCtl port;
    port.setDevicePaths({pty.slave});
    port.setPortNumber(1);
    QVERIFY(port.Open() > 0);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(port.ReadByte(), -1);
    QVERIFY(t.elapsed() < 200);
}

void TestPortCtl::purgeDropsCollected()
{
    PtyPair pty;
    PortCtl port;
    port.setDevicePaths({pty.slave});
    port.setPortNumber(1);
    // An ACK left over from before the open is no answer to anything sent
    // after it.
    {
        const int keep = ::open(pty.slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        pty.send(QByteArray(1, char(6)));
        QTest::qWait(20);
        QVERIFY(port.Open() > 0);
        ::close(keep);
    }
    QTest::qWait(50);
    QCOMPARE(port.InputCount(), 0);
    pty.send(QByteArrayLiteral("stale"));
    QTRY_COMPARE(port.InputCount(), 5);
    port.Purge();
    QCOMPARE(port.InputCount(), 0);
    pty.send(QByteArray(1, char(6)));
    QTRY_COMPARE(port.InputCount(), 1);
    QCOMPARE(port.ReadByte(), 6);
}

void TestPortCtl::waitWakes_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("wake");
    QTest::newRow("byte") << "byte" << int(LinkSession::Wake::Input);
    QTest::newRow("time-out") << "timer" << int(LinkSession::Wake::TimedOut);
    QTest::newRow("device vanishes") << "vanish" << int(LinkSession::Wake::PortLost);
    QTest::newRow("port closed") << "close" << int(LinkSession::Wake::PortLost);
    QTest::newRow("cancel") << "cancel" << int(LinkSession::Wake::Cancelled);
}

void TestPortCtl::waitWakes()
{
    QFETCH(QString, cause);
    QFETCH(int, wake);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    PtyPair pty;
    LinkSession &link = ctx.session();
    link.Port1.setDevicePaths({pty.slave});
    ctx.config.SerialPort = 1;
    QVERIFY(OpenReceiverPort(ctx.session(), ctx.config.SerialPort));
    ctx.session().TimedOut = false;
    link.armTimeOut(cause == QLatin1String("timer") ? 150 : 5000);
    QTimer::singleShot(150, [&] {
        if (cause == QLatin1String("byte"))
            pty.send(QByteArray(1, char(6)));
        else if (cause == QLatin1String("vanish"))
            pty.closeMaster();
        else if (cause == QLatin1String("close"))
            CloseReceiverPort(ctx.session());
        else if (cause == QLatin1String("cancel"))
            link.cancelWait();
    });
    QElapsedTimer t;
    t.start();
    const LinkSession::Wake got = link.WaitForLink();
    QCOMPARE(int(got), wake);
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    if (cause == QLatin1String("byte"))
        QCOMPARE(link.Port1.ReadByte(), 6);
    CloseReceiverPort(ctx.session());
    link.disableTimeOut();
}

void TestPortCtl::waitSleeps()
{
    // A second-long wait for a receiver that says nothing costs next to no
    // processor time.
    TestEnv env;
    AppContext &ctx = *env.ctx;
    PtyPair pty;
    LinkSession &link = ctx.session();
    link.Port1.setDevicePaths({pty.slave});
    ctx.config.SerialPort = 1;
    QVERIFY(OpenReceiverPort(ctx.session(), ctx.config.SerialPort));
    ctx.session().TimedOut = false;
    link.armTimeOut(1000);
    const double before = cpuSeconds();
    QCOMPARE(link.WaitForLink(), LinkSession::Wake::TimedOut);
    const double used = cpuSeconds() - before;
    QVERIFY2(used < 0.05, qPrintable(QString::number(used)));

    // The same for the second-boundary wait (about 1.05 s).
    env.clock.set(QDateTime(QDate(2026, 3, 6), QTime(12, 0, 10, 950)));
    const double before2 = cpuSeconds();
    link.waitForSecond(12);
    QCOMPARE(env.clock.secondOfMinute(), 12);
    QVERIFY(cpuSeconds() - before2 < 0.05);
    CloseReceiverPort(ctx.session());
}

void TestPortCtl::openReceiverPort()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    PtyPair pty;
    ctx.session().Port1.setDevicePaths({QString(), pty.slave});
    // Closing a port that was never opened only clears PortIsOpen.
    ctx.session().PortIsOpen = true;
    CloseReceiverPort(ctx.session());
    QVERIFY(!ctx.session().PortIsOpen);
    QCOMPARE(ctx.session().PortHandle, int16_t(0));

    ctx.config.SerialPort = 2;
    QVERIFY(OpenReceiverPort(ctx.session(), ctx.config.SerialPort));
    QVERIFY(ctx.session().PortIsOpen);
    QVERIFY(ctx.session().PortHandle > 0);
    QCOMPARE(ctx.session().Port1.readMode(), 1);
    QCOMPARE(ctx.session().Port1.baudRate(), 4800);
    QCOMPARE(ctx.session().Port1.parity(), 0);
    // Already open: nothing else happens.
    ctx.config.SerialPort = 1;
    QVERIFY(OpenReceiverPort(ctx.session(), ctx.config.SerialPort));
    QCOMPARE(ctx.session().Port1.deviceName(), pty.slave);
    CloseReceiverPort(ctx.session());
    QVERIFY(!ctx.session().PortIsOpen);
    QCOMPARE(ctx.session().PortHandle, int16_t(0));

    // Port 1 leads nowhere: one message, port state closed.
    QVERIFY(!OpenReceiverPort(ctx.session(), ctx.config.SerialPort));
    QCOMPARE(env.prompter.texts(), QStringList{QStringLiteral("Error #201:  Selected Serial Port will not open")});
    QVERIFY(!ctx.session().PortIsOpen);
}

QTEST_GUILESS_MAIN(TestPortCtl)
#include "tst_portctl.moc"
