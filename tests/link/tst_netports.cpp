// SPDX-License-Identifier: GPL-3.0-or-later
// Network ports through Debian's ser2net serving a pty over RFC 2217 and raw
// TCP on 127.0.0.1: every byte value both ways, the line speed reaching the
// pty, a refused connection, a connection dropped mid-frame, a server that
// never answers, a name that does not resolve. The Telnet decoder is fed
// every split of a stream.

#include "support/HostileServer.h"
#include "support/PtyPair.h"
#include "support/Ser2net.h"

#include "link/core/NetSerial.h"
#include "link/core/PortCtl.h"
#include "link/core/SerialTrace.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

quint16 freePort()
{
    return Ser2netServer::freePort();
}

// ser2net serving one pty over RFC 2217 and another over raw TCP. The
// connector starts the lines at 9600 bit/s, so 4800 on the pty proves the
// COM-PORT settings arrived.
struct Ser2net : Ser2netServer {
    PtyPair rfcPty, rawPty;
    bool start() { return Ser2netServer::start(rfcPty.slave, rawPty.slave); }
};

QByteArray readFor(PortCtl &port, qsizetype count, int ms = 3000)
{
    QByteArray in;
    QElapsedTimer t;
    t.start();
    while (in.size() < count && t.elapsed() < ms) {
        const int b = port.ReadByte();
        if (b >= 0)
            in.append(char(b));
        else
            QTest::qWait(5);
    }
    return in;
}

} // namespace

class TestNetPorts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void telnetDecoder_data();
    void telnetDecoder();
    void telnetAnswers_data();
    void telnetAnswers();
    void throughSer2net_data();
    void throughSer2net();
    void staleBytesBeforeOpen();
    void droppedMidFrame_data();
    void droppedMidFrame();
    void openFails_data();
    void openFails();
    void silentServer_data();
    void silentServer();

private:
    bool m_haveSer2net = false;
};

void TestNetPorts::initTestCase()
{
    m_haveSer2net = !Ser2netServer::program().isEmpty();
}

void TestNetPorts::telnetDecoder_data()
{
    const char iac = char(0xFF);
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("plain") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("escaped 0xFF") << QByteArray("a\xFF\xFF" "b", 4) << QByteArray("a\xFF" "b", 3);
    QTest::newRow("negotiation removed")
        << (QByteArray("x") + iac + char(251) + char(1) + "y" + iac + char(253) + char(3)) << QByteArray("xy");
    QTest::newRow("commands removed") << (QByteArray("1") + iac + char(241) + "2" + iac + char(249) + "3") << QByteArray("123");
    QTest::newRow("subnegotiation removed, escaped 0xFF inside")
        << (QByteArray("p") + iac + char(250) + char(44) + char(101) + iac + iac + char(0) + char(0) + char(1) + iac + char(240) + "q")
        << QByteArray("pq");
    QTest::newRow("all byte values") << TelnetCodec::escape(allBytes().constData(), 256) << allBytes();
    QTest::newRow("broken subnegotiation ends at next command")
        << (QByteArray("a") + iac + char(250) + char(44) + "zz" + iac + char(241) + "b") << QByteArray("ab");
}

void TestNetPorts::telnetDecoder()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, data);
    // Every split into two packets, and byte by byte: the state carries over.
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        TelnetCodec codec;
        QByteArray got, reply;
        codec.feed(stream.constData(), cut, &got, &reply);
        codec.feed(stream.constData() + cut, stream.size() - cut, &got, &reply);
        QCOMPARE(got, data);
    }
    TelnetCodec codec;
    QByteArray got, reply;
    for (char c : std::as_const(stream))
        codec.feed(&c, 1, &got, &reply);
    QCOMPARE(got, data);
}

void TestNetPorts::telnetAnswers_data()
{
    QTest::addColumn<QByteArray>("fromServer");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("agreed");
    QTest::addColumn<bool>("refused");
    auto cmd = [](int verb, int opt) { return QByteArray() + char(0xFF) + char(verb) + char(opt); };
    // Requests we made are confirmed silently; others are answered once.
    QTest::newRow("server agrees") << cmd(253, 44) + cmd(253, 0) + cmd(251, 0) << QByteArray() << true << false;
    QTest::newRow("server offers echo") << cmd(251, 1) << cmd(254, 1) << false << false;
    QTest::newRow("server asks for terminal type") << cmd(253, 24) << cmd(252, 24) << false << false;
    QTest::newRow("server refuses COM-PORT") << cmd(254, 44) << QByteArray() << false << true;
    QTest::newRow("server offers COM-PORT itself") << cmd(251, 44) << cmd(253, 44) << true << false;
    QTest::newRow("agreed twice, answered never") << cmd(253, 44) + cmd(253, 44) << QByteArray() << true << false;
    QTest::newRow("later switched off") << cmd(253, 3) + cmd(254, 3) << cmd(252, 3) << false << false;
    // A request repeated without a change in between is refused once: a
    // server that repeats it for ever gets no stream of answers.
    QTest::newRow("repeated request, one refusal") << cmd(253, 24) + cmd(253, 24) + cmd(253, 24) << cmd(252, 24) << false << false;
    QTest::newRow("repeated offer, one refusal") << cmd(251, 1) + cmd(251, 1) << cmd(254, 1) << false << false;
    QTest::newRow("taken back and asked again") << cmd(253, 24) + cmd(254, 24) + cmd(253, 24)
                                                << cmd(252, 24) + cmd(252, 24) << false << false;
    QTest::newRow("agreed option switched on and off twice")
        << cmd(251, 3) + cmd(252, 3) + cmd(251, 3) + cmd(252, 3) << cmd(254, 3) + cmd(253, 3) + cmd(254, 3) << false << false;
}

void TestNetPorts::telnetAnswers()
{
    QFETCH(QByteArray, fromServer);
    QFETCH(QByteArray, answer);
    QFETCH(bool, agreed);
    QFETCH(bool, refused);
    TelnetCodec codec;
    const QByteArray offer = codec.start();
    QVERIFY(offer.contains(QByteArray("\xFF\xFB\x2C", 3)));   // WILL COM-PORT
    QByteArray data, reply;
    codec.feed(fromServer.constData(), fromServer.size(), &data, &reply);
    QCOMPARE(reply, answer);
    QVERIFY(data.isEmpty());
    QCOMPARE(codec.comPortAgreed(), agreed);
    QCOMPARE(codec.comPortRefused(), refused);
}

void TestNetPorts::throughSer2net_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("rfc2217") << true;
    QTest::newRow("raw tcp") << false;
}

void TestNetPorts::throughSer2net()
{
    QFETCH(bool, rfc2217);
    if (!m_haveSer2net)
        QSKIP("ser2net is not installed (scripts/install-deps.sh installs it)");
    Ser2net server;
    QVERIFY2(server.start(), qPrintable(server.proc.readAll()));
    PtyPair &pty = rfc2217 ? server.rfcPty : server.rawPty;
    const QString url = rfc2217 ? QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.rfcPort)
                                : QStringLiteral("tcp://127.0.0.1:%1").arg(server.rawPort);
    // Left on the line before anyone connected. RFC 2217's purge at open
    // drops what the server still holds; what it had already sent on (it
    // reads the line as soon as the connection opens it) may come all the
    // same, so only a part of it, from its start, may arrive, and always
    // before anything newer (staleBytesBeforeOpen checks what the client
    // itself drops). Raw TCP has no purge at all.
    const QByteArray old = QByteArrayLiteral("old");
    if (rfc2217)
        QVERIFY(pty.send(old));
    SerialTrace trace;
    PortCtl port;
    port.setTrace(&trace);
    port.setDevicePaths({url});
    port.setPortNumber(1);
    QElapsedTimer t;
    t.start();
    QVERIFY2(port.Open() > 0, qPrintable(port.errorString()));
    QVERIFY(port.isNetwork());
    QVERIFY(port.isOpen());
    qInfo("open took %lld ms", t.elapsed());
    if (rfc2217)
        QCOMPARE(pty.speed(), 4800);

    // Out: every value, 0xFF among them and twice in a row.
    const QByteArray out = QByteArrayLiteral("Z") + allBytes() + QByteArray(2, char(0xFF));
    port.WriteString(out);
    QCOMPARE(pty.receive(out.size()), out);
    QTest::qWait(50);
    QCOMPARE(pty.receive(1, 100), QByteArray());   // nothing more, no escape leaked

    // In: the same, in several pieces.
    trace.beginExchange(QStringLiteral("in"));
    const QByteArray in = allBytes() + allBytes();
    QVERIFY(pty.send(in.left(300)));
    QTest::qWait(20);
    QVERIFY(pty.send(in.mid(300)));
    QByteArray got = readFor(port, in.size());
    // What is left of the old bytes comes first (the new ones start with
    // 0x00, which "old" does not hold); read on by as much.
    qsizetype stale = 0;
    while (stale < old.size() && stale < got.size() && got.at(stale) == old.at(stale))
        ++stale;
    if (stale > 0) {
        qInfo("%lld old byte(s) came after the open", qlonglong(stale));
        got += readFor(port, stale);
    }
    QVERIFY2(rfc2217 || stale == 0, "raw TCP: nothing was left on the line");
    QCOMPARE(got.left(stale), old.left(stale));
    QCOMPARE(got.mid(stale), in);
    QCOMPARE(port.ReadByte(), -1);
    QCOMPARE(port.InputCount(), 0);

    // The trace holds the receiver's bytes: 0xFF as it is, never doubled.
    const QString text = trace.text();
    QVERIFY(text.contains(QLatin1String("RX  F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF  ")));
    QVERIFY(QRegularExpression(QStringLiteral("TX  FF FF FF {39}  \\.\\.\\.\n")).match(text).hasMatch());
    QVERIFY(!text.contains(QLatin1String("FF FF FF FF")));

    // Purge drops what came; what comes after is delivered.
    QVERIFY(pty.send(QByteArrayLiteral("stale")));
    QTRY_COMPARE(port.InputCount(), 5);
    port.Purge();
    QCOMPARE(port.InputCount(), 0);
    QVERIFY(pty.send(QByteArray(1, char(6))));
    QCOMPARE(readFor(port, 1), QByteArray(1, char(6)));

    QCOMPARE(port.Close(), 0);
    QVERIFY(!port.isOpen());
    QVERIFY(!port.failed());
}

// A device server sends what it collected from the line before the client
// came, ahead of its answers to the purge and the line settings: Open()
// drops it, so the first byte read is the receiver's answer.
void TestNetPorts::staleBytesBeforeOpen()
{
    HostileServer server(HostileServer::Mode::StaleFirst);
    QVERIFY(server.port() != 0);
    SerialTrace trace;
    PortCtl port;
    port.setTrace(&trace);
    port.setDevicePaths({QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.port())});
    port.setPortNumber(1);
    QVERIFY2(port.Open() > 0, qPrintable(port.errorString()));
    QCOMPARE(port.InputCount(), 0);
    port.WriteString(QByteArrayLiteral("Z"));
    QCOMPARE(readFor(port, 1), QByteArray(1, char(6)));
    QCOMPARE(port.Close(), 0);
}

void TestNetPorts::droppedMidFrame_data()
{
    throughSer2net_data();
}

void TestNetPorts::droppedMidFrame()
{
    QFETCH(bool, rfc2217);
    if (!m_haveSer2net)
        QSKIP("ser2net is not installed (scripts/install-deps.sh installs it)");
    Ser2net server;
    QVERIFY2(server.start(), qPrintable(server.proc.readAll()));
    PtyPair &pty = rfc2217 ? server.rfcPty : server.rawPty;
    const quint16 tcpPort = rfc2217 ? server.rfcPort : server.rawPort;
    PortCtl port;
    port.setDevicePaths({QStringLiteral("%1://127.0.0.1:%2").arg(rfc2217 ? "rfc2217" : "tcp").arg(tcpPort)});
    QVERIFY2(port.Open() > 0, qPrintable(port.errorString()));
    QSignalSpy activity(&port, &PortCtl::activity);

    const QByteArray half(600, 'h');
    QVERIFY(pty.send(half));
    QTRY_COMPARE(port.InputCount(), 600);
    server.kill();
    QTRY_VERIFY(port.failed());
    QVERIFY(activity.count() >= 2);        // the bytes, then the loss
    QVERIFY(!port.isOpen());
    QVERIFY2(port.errorString().contains(QStringLiteral("127.0.0.1:%1").arg(tcpPort)), qPrintable(port.errorString()));
    QVERIFY2(port.errorString().contains(QLatin1String("lost")), qPrintable(port.errorString()));
    QVERIFY(!port.errorString().contains(u'\n'));
    // What came before the loss is still there to be read.
    QCOMPARE(readFor(port, 600), half);
    QCOMPARE(port.ReadByte(), -1);
    port.WriteString(QByteArrayLiteral("ignored"));   // harmless once lost
    QCOMPARE(port.Close(), 0);
}

void TestNetPorts::openFails_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");
    const quint16 closed = freePort();
    QTest::newRow("refused, raw") << QStringLiteral("tcp://127.0.0.1:%1").arg(closed) << QStringLiteral("refused");
    QTest::newRow("refused, rfc2217") << QStringLiteral("rfc2217://127.0.0.1:%1").arg(closed) << QStringLiteral("refused");
    QTest::newRow("name does not resolve") << QStringLiteral("tcp://nosuch.invalid:2000") << QStringLiteral("resolve");
    QTest::newRow("port out of range") << QStringLiteral("tcp://127.0.0.1:70000") << QStringLiteral("1 to 65535");
    QTest::newRow("no port") << QStringLiteral("rfc2217://127.0.0.1") << QStringLiteral("port number is missing");
}

void TestNetPorts::openFails()
{
    QFETCH(QString, device);
    QFETCH(QString, reason);
    PortCtl port;
    port.setConnectTimeoutMs(3000);
    port.setDevicePaths({device});
    QElapsedTimer t;
    t.start();
    QCOMPARE(port.Open(), 0);
    QVERIFY(t.elapsed() < 4500);
    QVERIFY(!port.isOpen());
    const QString e = port.errorString();
    QVERIFY2(e.contains(reason), qPrintable(e));
    QVERIFY2(e.contains(device.section(QLatin1String("://"), 1)), qPrintable(e));
    QVERIFY(!e.contains(u'\n'));
    QCOMPARE(port.ReadByte(), -1);
}

void TestNetPorts::silentServer_data()
{
    throughSer2net_data();
}

// A server that accepts and never says a word. Raw TCP cannot tell it from
// a quiet receiver: the open succeeds and the link's usual time-outs end the
// exchange. RFC 2217 expects the line settings confirmed: the open fails
// within its bound, saying so.
void TestNetPorts::silentServer()
{
    QFETCH(bool, rfc2217);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> accepted;
    connect(&server, &QTcpServer::newConnection, this, [&] { accepted << server.nextPendingConnection(); });
    PortCtl port;
    port.setConnectTimeoutMs(800);
    const QString endpoint = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    port.setDevicePaths({(rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) + endpoint});
    QElapsedTimer t;
    t.start();
    const int h = port.Open();
    const qint64 took = t.elapsed();
    if (rfc2217) {
        QCOMPARE(h, 0);
        QVERIFY(took >= 700 && took < 2000);
        QVERIFY2(port.errorString().contains(endpoint), qPrintable(port.errorString()));
        QVERIFY2(port.errorString().contains(QLatin1String("did not confirm")), qPrintable(port.errorString()));
    } else {
        QVERIFY(h > 0);
        QVERIFY(took < 500);
        QTest::qWait(200);
        QCOMPARE(port.InputCount(), 0);
        QCOMPARE(port.ReadByte(), -1);
        QVERIFY(!port.failed());
        // Written bytes reach the server as they are.
        port.WriteString(QByteArray("\xFF\x06", 2));
        QTRY_VERIFY(!accepted.isEmpty());
        QTRY_COMPARE(accepted.first()->bytesAvailable(), 2);
        QCOMPARE(accepted.first()->readAll(), QByteArray("\xFF\x06", 2));
    }
    port.Close();
}

QTEST_GUILESS_MAIN(TestNetPorts)
#include "tst_netports.moc"
