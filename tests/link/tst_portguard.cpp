// SPDX-License-Identifier: GPL-3.0-or-later
// What guards a port: one program per device whatever its name, the reason
// an open fails (missing, not a serial device, permission, busy), device
// names that may not be stored, bounded memory and CPU under a flooding
// receiver, and the serial trace's bounds and rendering.

#include "support/PtyPair.h"

#include "link/core/DeviceClaim.h"
#include "link/core/DeviceName.h"
#include "link/core/PortCtl.h"
#include "link/core/SerialTrace.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The flood: byte n of the stream is n % 251, so a lost, repeated or
// reordered byte shows.
struct Flooder {
    std::atomic<bool> stop{false};
    std::atomic<qint64> written{0};
    std::thread thread;
    void start(int fd)
    {
        thread = std::thread([this, fd] {
            char buf[4096];
            qint64 n = 0;
            while (!stop) {
                for (char &c : buf)
                    c = char(n++ % 251);
                qsizetype at = 0;
                while (at < qsizetype(sizeof buf) && !stop) {
                    pollfd p{fd, POLLOUT, 0};
                    if (::poll(&p, 1, 50) <= 0)
                        continue;
                    const ssize_t w = ::send(fd, buf + at, sizeof buf - size_t(at), MSG_NOSIGNAL);
                    const ssize_t v = w < 0 && errno == ENOTSOCK ? ::write(fd, buf + at, sizeof buf - size_t(at)) : w;
                    if (v > 0) {
                        at += v;
                        written += v;
                    } else if (v < 0 && errno != EAGAIN) {
                        return;
                    }
                }
                n -= qint64(sizeof buf) - at;   // what was not sent is sent again
            }
        });
    }
    ~Flooder()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

// A raw TCP server on 127.0.0.1 that floods the first client, in a thread of
// its own so that the test's event loop does not buffer for it.
struct FloodServer {
    int listener = -1;
    int client = -1;
    quint16 port = 0;
    Flooder flood;
    std::thread acceptor;
    FloodServer()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(listener, 1) != 0)
            return;
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        acceptor = std::thread([this] {
            client = ::accept(listener, nullptr, nullptr);
            if (client >= 0) {
                fcntl(client, F_SETFL, fcntl(client, F_GETFL) | O_NONBLOCK);
                flood.start(client);
            }
        });
    }
    ~FloodServer()
    {
        flood.stop = true;
        ::shutdown(listener, SHUT_RDWR);   // wakes an accept() still waiting
        if (acceptor.joinable())
            acceptor.join();
        if (flood.thread.joinable())
            flood.thread.join();
        if (client >= 0)
            ::close(client);
        ::close(listener);
    }
};

} // namespace

class TestPortGuard : public QObject
{
    Q_OBJECT

private slots:
    void deviceNames_data();
    void deviceNames();
    void networkEndpoints_data();
    void networkEndpoints();
    void openReasons_data();
    void openReasons();
    void permissionReason();
    void busyUnderAnotherName();
    void flood_data();
    void flood();
    void traceRendering();
    void traceBounds();
};

void TestPortGuard::deviceNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("acceptable");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty: no device") << QString() << true << QString();
    QTest::newRow("tty") << QStringLiteral("/dev/ttyUSB0") << true << QString();
    QTest::newRow("by-id with spaces and unicode") << QStringLiteral("/dev/serial/by-id/usb-Fü Bar-if00") << true << QString();
    QTest::newRow("rfc2217") << QStringLiteral("rfc2217://rack-3.example.org:2001") << true << QString();
    QTest::newRow("tcp upper case scheme") << QStringLiteral("TCP://10.0.0.7:4001/") << true << QString();
    QTest::newRow("ipv6") << QStringLiteral("rfc2217://[::1]:2000") << true << QString();
    QTest::newRow("line break adds a key") << QStringLiteral("/dev/x\nPort2=/evil") << false << QStringLiteral("control character");
    QTest::newRow("carriage return") << QStringLiteral("/dev/x\r") << false << QStringLiteral("control character");
    QTest::newRow("NUL") << QStringLiteral("/dev/x") + QChar(0) << false << QStringLiteral("control character");
    QTest::newRow("C1 control") << QStringLiteral("/dev/x") + QChar(0x85) << false << QStringLiteral("control character");
    QTest::newRow("invalid UTF-8") << QString::fromUtf8("/dev/\xC3\x28tty") << false << QStringLiteral("UTF-8");
    QTest::newRow("lone surrogate") << QStringLiteral("/dev/") + QChar(0xD800) << false << QStringLiteral("UTF-8");
    QTest::newRow("100 KB") << QStringLiteral("/dev/") + QString(100000, u'a') << false << QStringLiteral("at most 4096");
    QTest::newRow("4096 is fine") << QStringLiteral("/") + QString(4095, u'a') << true << QString();
    QTest::newRow("no host") << QStringLiteral("tcp://:2000") << false << QStringLiteral("host is missing");
    QTest::newRow("no port") << QStringLiteral("rfc2217://host") << false << QStringLiteral("port number is missing");
    QTest::newRow("empty port") << QStringLiteral("tcp://host:") << false << QStringLiteral("port number is missing");
    QTest::newRow("port 0") << QStringLiteral("tcp://host:0") << false << QStringLiteral("1 to 65535");
    QTest::newRow("port 65536") << QStringLiteral("tcp://host:65536") << false << QStringLiteral("1 to 65535");
    QTest::newRow("port not a number") << QStringLiteral("tcp://host:20x0") << false << QStringLiteral("not a number");
    QTest::newRow("path after port") << QStringLiteral("tcp://host:2000/x") << false << QStringLiteral("not a number");
    QTest::newRow("user in host") << QStringLiteral("tcp://me@host:2000") << false << QStringLiteral("cannot have");
    QTest::newRow("ipv6 unclosed") << QStringLiteral("tcp://[::1:2000") << false << QStringLiteral("closing bracket");
    QTest::newRow("unknown scheme") << QStringLiteral("telnet://host:23") << false << QStringLiteral("unknown kind of device");
    QTest::newRow("ipv6 of 19 groups")
        << QStringLiteral("tcp://[1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16:17:18:19]:2000") << false << QStringLiteral("malformed");
    QTest::newRow("ipv6 without brackets") << QStringLiteral("tcp://::1:2000") << false << QStringLiteral("brackets");
    QTest::newRow("percent in a host name") << QStringLiteral("tcp://h%41st:2000") << false << QStringLiteral("cannot have");
}

void TestPortGuard::networkEndpoints_data()
{
    // What a network name is read as: host and port as the socket gets them.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("endpoint");
    QTest::newRow("leading zeros in the port") << QStringLiteral("tcp://127.0.0.1:00017099") << QStringLiteral("127.0.0.1:17099");
    QTest::newRow("trailing slash") << QStringLiteral("tcp://127.0.0.1:2000/") << QStringLiteral("127.0.0.1:2000");
    QTest::newRow("host name in capitals") << QStringLiteral("RFC2217://Rack-7.Example:2001") << QStringLiteral("rack-7.example:2001");
    QTest::newRow("link-local with its zone") << QStringLiteral("tcp://[fe80::1%lo]:2000") << QStringLiteral("[fe80::1%lo]:2000");
    QTest::newRow("zone written as in a URL") << QStringLiteral("tcp://[fe80::1%25lo]:2000") << QStringLiteral("[fe80::1%lo]:2000");
    QTest::newRow("ipv6 shortened") << QStringLiteral("tcp://[0:0:0:0:0:0:0:1]:5") << QStringLiteral("[::1]:5");
}

void TestPortGuard::networkEndpoints()
{
    QFETCH(QString, name);
    QFETCH(QString, endpoint);
    NetworkDevice d;
    QString why;
    QVERIFY2(ParseNetworkDevice(name, &d, &why), qPrintable(why));
    QCOMPARE(d.endpoint(), endpoint);
}

void TestPortGuard::deviceNames()
{
    QFETCH(QString, name);
    QFETCH(bool, acceptable);
    QFETCH(QString, reason);
    QString why;
    QCOMPARE(IsAcceptableDeviceName(name, &why), acceptable);
    if (!acceptable) {
        QVERIFY2(why.contains(reason), qPrintable(why));
        QVERIFY(!why.contains(u'\n') && why.size() < 200);
        // The port refuses to open it, with the same reason.
        PortCtl port;
        port.setDevicePaths({name});
        QCOMPARE(port.Open(), 0);
        QVERIFY2(port.errorString().contains(reason), qPrintable(port.errorString()));
        QVERIFY(!port.errorString().contains(u'\n') && port.errorString().size() < 400);
    }
}

void TestPortGuard::openReasons_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing" << "no such device";
    QTest::newRow("dangling link") << "dangling" << "does not exist";
    QTest::newRow("regular file") << "file" << "not a serial device";
    QTest::newRow("directory") << "dir" << "not a serial device";
    QTest::newRow("character device, not a tty") << "null" << "not a serial device";
    QTest::newRow("fifo") << "fifo" << "not a serial device";
}

void TestPortGuard::openReasons()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("dev"));
    if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    } else if (kind == QLatin1String("file")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("dir")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("null")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);   // must not block the open
    }
    PortCtl port;
    port.setDevicePaths({path});
    QCOMPARE(port.Open(), 0);
    const QString e = port.errorString();
    QVERIFY2(e.contains(reason), qPrintable(e));
    QVERIFY2(e.contains(path), qPrintable(e));
    QVERIFY(!e.contains(u'\n'));
    if (kind == QLatin1String("missing") || kind == QLatin1String("dangling"))
        QVERIFY2(e.contains(QLatin1String("serial devices")) && !e.contains(QLatin1String("/dev/pts")), qPrintable(e));
    if (kind == QLatin1String("file")) {
        QFileInfo fi(path);
        QCOMPARE(fi.size(), 0);   // left as it was
    }
}

// Permission is checked as a user without rights on the device: as root the
// test drops to "nobody" in a child process.
void TestPortGuard::permissionReason()
{
    PtyPair pty;
    const QByteArray slave = QFile::encodeName(pty.slave);
    QCOMPARE(::chmod(slave.constData(), 0600), 0);
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                ::_exit(2);
        } else if (::access(slave.constData(), R_OK | W_OK) == 0) {
            ::_exit(3);   // our own pty: no way to be refused
        }
        DeviceClaim claim;
        QString why;
        const bool ok = claim.claim(pty.slave, &why);
        const QByteArray text = why.toUtf8();
        (void)!::write(fds[1], text.constData(), size_t(text.size()));
        ::_exit(ok ? 1 : 0);
    }
    ::close(fds[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    QByteArray text;
    char buf[1024];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, int(n));
    ::close(fds[0]);
    if (WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 2)
        QSKIP("cannot run as a user without rights on the pty");
    QCOMPARE(WEXITSTATUS(status), 0);
    const QString why = QString::fromUtf8(text);
    QVERIFY2(why.contains(QLatin1String("permission denied")), qPrintable(why));
    QVERIFY2(why.contains(QLatin1String("dialout")), qPrintable(why));
    QVERIFY2(why.contains(QLatin1String("sudo usermod -aG dialout $USER")), qPrintable(why));
    QVERIFY(why.contains(pty.slave));
}

void TestPortGuard::busyUnderAnotherName()
{
    PtyPair pty;
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("receiver-a"));
    const QString b = dir.filePath(QStringLiteral("receiver-b"));
    QVERIFY(QFile::link(pty.slave, a));
    QVERIFY(QFile::link(pty.slave, b));
    PortCtl first, second, third;
    first.setDevicePaths({a});
    second.setDevicePaths({b});
    third.setDevicePaths({pty.slave});
    QVERIFY2(first.Open() > 0, qPrintable(first.errorString()));
    for (PortCtl *p : {&second, &third}) {
        QCOMPARE(p->Open(), 0);
        const QString e = p->errorString();
        QVERIFY2(e.contains(QLatin1String("busy")), qPrintable(e));
        // The holder is this very test program.
        QVERIFY2(e.contains(QStringLiteral("PID %1").arg(::getpid())), qPrintable(e));
        QVERIFY(!e.contains(u'\n'));
    }
    // The first keeps working.
    first.WriteString(QByteArrayLiteral("ok"));
    QCOMPARE(pty.receive(2), QByteArrayLiteral("ok"));
    first.Close();
    QVERIFY2(second.Open() > 0, qPrintable(second.errorString()));
    second.Close();
}

void TestPortGuard::flood_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("serial") << false;
    QTest::newRow("raw tcp") << true;
}

void TestPortGuard::flood()
{
    QFETCH(bool, network);
    PtyPair pty;
    FloodServer server;
    Flooder ptyFlood;
    PortCtl port;
    if (network) {
        QVERIFY(server.port != 0);
        port.setDevicePaths({QStringLiteral("tcp://127.0.0.1:%1").arg(server.port)});
    } else {
        port.setDevicePaths({pty.slave});
    }
    QVERIFY2(port.Open() > 0, qPrintable(port.errorString()));
    if (!network)
        ptyFlood.start(pty.master);
    Flooder &flood = network ? server.flood : ptyFlood;
    QTRY_VERIFY(flood.written > 0);

    // Nobody reads for a second: what is held stays bounded and the port
    // stops waking the program.
    QTest::qWait(300);
    const qint64 writtenBefore = flood.written;
    const double cpu0 = cpuSeconds();
    QTest::qWait(1000);
    const double idleCpu = cpuSeconds() - cpu0;
    QVERIFY(port.pendingBytes() <= PortCtl::MaxPendingBytes);
    QVERIFY(port.bufferedBelow() <= PortCtl::SerialBufferBytes);
    QVERIFY(port.InputCount() <= PortCtl::MaxPendingBytes + PortCtl::SerialBufferBytes);
    QVERIFY(port.pendingBytes() > 0);
    // The flood's writer is held back too (the system's buffers are small).
    QVERIFY2(flood.written - writtenBefore < 4 * 1024 * 1024, qPrintable(QString::number(flood.written - writtenBefore)));
    qInfo("held while not read: %lld here, %lld below; CPU %.3f s in 1 s", qint64(port.pendingBytes()),
          qint64(port.bufferedBelow()), idleCpu);
    QVERIFY2(idleCpu < 0.2, qPrintable(QString::number(idleCpu)));

    // Reading resumes the flow: 2 MB come through whole and in order.
    qint64 n = 0;
    bool inOrder = true;
    QElapsedTimer t;
    t.start();
    while (n < 2 * 1024 * 1024 && t.elapsed() < 20000 && inOrder) {
        const int b = port.ReadByte();
        if (b < 0) {
            QTest::qWait(1);
            continue;
        }
        inOrder = b == int(n % 251);
        ++n;
    }
    QVERIFY2(inOrder, qPrintable(QStringLiteral("byte %1 out of order").arg(n)));
    QCOMPARE(n, qint64(2 * 1024 * 1024));
    qInfo("2 MiB read in %lld ms", t.elapsed());
    flood.stop = true;
    port.Close();
}

void TestPortGuard::traceRendering()
{
    SerialTrace trace;
    trace.beginExchange(QStringLiteral("Upload"));
    trace.record(SerialTrace::Direction::ToReceiver, QByteArray("Z"));
    trace.note(QStringLiteral("waiting"));
    QByteArray in;
    for (int i = 0; i < 20; ++i)
        in.append(char(0x41 + i));
    in[3] = char(0x06);
    in[4] = char(0xFF);
    trace.record(SerialTrace::Direction::FromReceiver, in);
    const QStringList lines = trace.text().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[0].startsWith(QLatin1String("=== Upload (at ")));
    static const QRegularExpression stamp(QStringLiteral("^ {0,5}\\d+\\.\\d{6} ms  "));
    QVERIFY2(stamp.match(lines[1]).hasMatch(), qPrintable(lines[1]));
    QVERIFY2(lines[1].endsWith(QStringLiteral("TX  5A") + QString(45, u' ') + QStringLiteral("  Z")), qPrintable(lines[1]));
    QVERIFY(lines[2].endsWith(QLatin1String("  --  waiting")));
    QVERIFY2(lines[3].endsWith(QLatin1String("RX  41 42 43 06 FF 46 47 48 49 4A 4B 4C 4D 4E 4F 50  ABC..FGHIJKLMNOP")),
             qPrintable(lines[3]));
    // A record's second line carries no time: one stamp per record.
    QVERIFY2(lines[4].startsWith(QString(15, u' ') + QStringLiteral("  RX  51 52 53 54")), qPrintable(lines[4]));
    QVERIFY(lines[4].endsWith(QLatin1String("  QRST")));
    // All columns line up.
    QCOMPARE(lines[1].indexOf(QLatin1String("TX")), lines[3].indexOf(QLatin1String("RX")));
}

void TestPortGuard::traceBounds()
{
    SerialTrace trace(3, 64 * 1024);
    for (int e = 1; e <= 5; ++e) {
        trace.beginExchange(QStringLiteral("exchange %1").arg(e));
        trace.record(SerialTrace::Direction::ToReceiver, QByteArray(10, 'x'));
    }
    QCOMPARE(trace.exchangeCount(), 3);
    QString text = trace.text();
    QVERIFY(!text.contains(QLatin1String("exchange 2")));
    QVERIFY(text.contains(QLatin1String("exchange 3")) && text.contains(QLatin1String("exchange 5")));

    // A flood of single bytes, and one of a megabyte: the trace stays within
    // its cap and says what it dropped.
    for (int i = 0; i < 100000; ++i) {
        trace.record(i % 2 ? SerialTrace::Direction::FromReceiver : SerialTrace::Direction::ToReceiver, "a", 1);
    }
    QVERIFY(trace.byteCount() <= 64 * 1024);
    trace.record(SerialTrace::Direction::FromReceiver, QByteArray(1 << 20, 'f'));
    QVERIFY(trace.byteCount() <= 64 * 1024);
    text = trace.text();
    QVERIFY(text.contains(QLatin1String("earlier bytes of this exchange not kept")));
    QVERIFY(text.size() < 64 * 1024 * 6);
}

QTEST_GUILESS_MAIN(TestPortGuard)
#include "tst_portguard.moc"
