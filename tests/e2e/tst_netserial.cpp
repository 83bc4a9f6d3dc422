// SPDX-License-Identifier: GPL-3.0-or-later
// `nx4400c-cli transfer --device URL` through Debian's ser2net on 127.0.0.1,
// which serves the virtual receiver's pty over RFC 2217 and over raw TCP, as
// a device server in a rack does: a whole transfer arrives byte for byte and
// the history comes back; a refused connection, a connection dropped in the
// middle of the reply and a server that never answers each end the run with
// the usual status text and the reason, in bounded time.
#include "support/ProfileImage.h"
#include "support/VirtualReceiver.h"
#include "support/Ser2net.h"

#include "base/Services.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QtTest>

class TestNetSerial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeTransfer_data();
    void wholeTransfer();
    void failures_data();
    void failures();

private:
    void startCli(QProcess &p, const QStringList &args);
    QByteArray expectedImage();

    QTemporaryDir m_dir;
    QString m_cli;
    QString m_profile;
};

void TestNetSerial::initTestCase()
{
    m_cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(m_cli).isExecutable()
        || !QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver")).isExecutable())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    if (Ser2netServer::program().isEmpty())
        QSKIP("ser2net is not installed (scripts/install-deps.sh installs it)");
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("cfg/NX4400C"))));
    QFile ini(m_dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[EDITOR]\nSerialPort=1\nTimeZoneOffset=-5\nDaylightSavings=0\n");
    ini.close();
    ReceiverConfig config;
    QStringList fips(ReceiverSetup::FipEntryCount), events(ReceiverSetup::EventSlotCount);
    fips[0] = QStringLiteral("X 012011  Broward                Florida");
    events[0] = QStringLiteral("TOR");
    m_profile = m_dir.filePath(QStringLiteral("p.nxp"));
    QString why;
    QVERIFY2(SaveProfile(m_profile, config, fips, events, &why), qPrintable(why));
}

void TestNetSerial::startCli(QProcess &p, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("cfg")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir.path());
    p.start(m_cli, QStringList{QStringLiteral("transfer"), QStringLiteral("--profile"), m_profile} + args);
}

QByteArray TestNetSerial::expectedImage()
{
    // The image and its checksum byte, as they go on the wire.
    const QByteArray image = ProfileImage(m_dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")), m_profile);
    if (image.isEmpty())
        return QByteArray();
    char sum = 0;
    for (char c : image)
        sum = char(sum + c);
    return image + sum;
}

void TestNetSerial::wholeTransfer_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("rfc2217") << true;
    QTest::newRow("raw tcp") << false;
}

void TestNetSerial::wholeTransfer()
{
    QFETCH(bool, rfc2217);
    QTemporaryDir dir;
    VirtualReceiver rx(dir.path());
    QVERIFY(rx.start());
    Ser2netServer server;
    QVERIFY2(server.start(rfc2217 ? rx.link : QString(), rfc2217 ? QString() : rx.link),
             server.proc.readAll().constData());
    const QString url = rfc2217 ? server.rfcUrl() : server.rawUrl();
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));

    QProcess p;
    startCli(p, {QStringLiteral("--device"), url, QStringLiteral("--trace"), trace});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, err.constData());
    QVERIFY(err.contains("Upload / Download Successful"));
    QVERIFY(p.readAllStandardOutput().contains("\t09:30\t00:30\tTornado Warning\n"));

    // What the receiver got: "Z", then the image and its sum, nothing else.
    const QByteArray frame = expectedImage();
    QCOMPARE(frame.size(), 512);
    QCOMPARE(rx.uploadedImage(), frame.left(511));
    QCOMPARE(rx.recorded(), QByteArray("Z") + frame);

    // The trace holds the three steps and the receiver's bytes.
    QFile t(trace);
    QVERIFY(t.open(QIODevice::ReadOnly));
    const QByteArray text = t.readAll();
    for (const char *label : {"Negotiate", "Upload", "Download"})
        QVERIFY2(text.contains(label), label);
    QVERIFY(text.contains("TX  5A"));
    QVERIFY(text.contains("RX  06"));
}

void TestNetSerial::failures_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("reason");
    for (const QString scheme : {QStringLiteral("rfc2217"), QStringLiteral("tcp")}) {
        const bool rfc = scheme == QLatin1String("rfc2217");
        QTest::addRow("%s refused", qPrintable(scheme))
            << scheme << QStringLiteral("refused") << QStringLiteral("Port Connect Failed") << QStringLiteral("refused");
        QTest::addRow("%s dropped mid-frame", qPrintable(scheme))
            << scheme << QStringLiteral("dropped") << QStringLiteral("Downloading Data") << QStringLiteral("lost");
        // Raw TCP cannot tell a silent server from a silent receiver: the
        // negotiation times out. RFC 2217 expects its line settings
        // confirmed, and says they were not.
        QTest::addRow("%s never answers", qPrintable(scheme))
            << scheme << QStringLiteral("silent") << QStringLiteral("Port Connect Failed")
            << (rfc ? QStringLiteral("did not confirm") : QStringLiteral("Error #202"));
    }
}

void TestNetSerial::failures()
{
    QFETCH(QString, scheme);
    QFETCH(QString, fault);
    QFETCH(QString, status);
    QFETCH(QString, reason);
    const bool rfc = scheme == QLatin1String("rfc2217");
    QTemporaryDir dir;
    VirtualReceiver rx(dir.path());
    Ser2netServer server;
    QTcpServer silent;
    QString url;
    if (fault == QLatin1String("refused")) {
        url = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(Ser2netServer::freePort());
    } else if (fault == QLatin1String("silent")) {
        // The system completes the connection; nobody ever reads or writes.
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        url = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(silent.serverPort());
    } else {
        // At the line's real pace the reply takes 2.7 s: time to cut it.
        QVERIFY(rx.start({}, true));
        QVERIFY2(server.start(rfc ? rx.link : QString(), rfc ? QString() : rx.link),
                 server.proc.readAll().constData());
        url = rfc ? server.rfcUrl() : server.rawUrl();
    }

    QElapsedTimer took;
    took.start();
    QProcess p;
    startCli(p, {QStringLiteral("--device"), url});
    QByteArray err;
    if (fault == QLatin1String("dropped")) {
        p.setReadChannel(QProcess::StandardError);
        while (!err.contains("Downloading Data") && p.waitForReadyRead(30000))
            err += p.readAllStandardError();
        QVERIFY2(err.contains("Downloading Data"), err.constData());
        QTest::qWait(700);
        server.kill();
    }
    if (p.state() != QProcess::NotRunning)
        QVERIFY(p.waitForFinished(60000));
    err += p.readAllStandardError();
    QVERIFY2(p.exitCode() == 1, err.constData());
    QVERIFY(p.readAllStandardOutput().isEmpty());
    const QString text = QString::fromUtf8(err);
    const QString failure = text.mid(text.indexOf(QLatin1String("transfer: the transfer failed")));
    QVERIFY2(failure.contains(QLatin1String("(") + status), qPrintable(text));
    QVERIFY2(failure.contains(reason), qPrintable(text));
    // Bounded by the connection and negotiation time-outs (5 s each), not a hang.
    QVERIFY2(took.elapsed() < 20000, qPrintable(QString::number(took.elapsed())));
    if (fault == QLatin1String("dropped")) {
        QVERIFY(failure.contains(QLatin1String("127.0.0.1:")));
        QCOMPARE(rx.uploadedImage(), expectedImage().left(511));
    }
}

QTEST_GUILESS_MAIN(TestNetSerial)
#include "tst_netserial.moc"
