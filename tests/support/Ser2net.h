// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Debian's ser2net on 127.0.0.1 serving serial devices (ptys) as a device
// server in a rack does: one over RFC 2217, one over raw TCP. The RFC 2217
// line starts at 9600 bit/s, so a transfer that works proves the editor set
// 4800 at the far end; the raw line is set to 4800 8N1 beforehand, as a
// device server's raw port must be.

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

struct Ser2netServer {
    QTemporaryDir dir;
    quint16 rfcPort = 0;
    quint16 rawPort = 0;
    QProcess proc;

    static QString program()
    {
        return QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    }

    // A port that was free a moment ago.
    static quint16 freePort()
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        return s.serverPort();
    }

    QString rfcUrl() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfcPort); }
    QString rawUrl() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(rawPort); }

    // Serves `rfcDevice` over RFC 2217 and `rawDevice` over raw TCP (either
    // may be empty). Returns once the accepters take connections.
    bool start(const QString &rfcDevice, const QString &rawDevice)
    {
        QString conf = QStringLiteral("%YAML 1.1\n---\n");
        // ser2net is given the pty itself, not the link that names it.
        auto real = [](const QString &p) {
            const QString t = QFileInfo(p).canonicalFilePath();
            return t.isEmpty() ? p : t;
        };
        QList<quint16> ports;
        if (!rfcDevice.isEmpty()) {
            rfcPort = freePort();
            ports << rfcPort;
            conf += QStringLiteral("connection: &rfc\n"
                                   "    accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                   "    connector: serialdev,%2,9600n81,local\n")
                        .arg(rfcPort)
                        .arg(real(rfcDevice));
        }
        if (!rawDevice.isEmpty()) {
            rawPort = freePort();
            ports << rawPort;
            conf += QStringLiteral("connection: &raw\n"
                                   "    accepter: tcp,127.0.0.1,%1\n"
                                   "    connector: serialdev,%2,4800n81,local\n")
                        .arg(rawPort)
                        .arg(real(rawDevice));
        }
        const QString confPath = dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile f(confPath);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(conf.toUtf8());
        f.close();
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.start(program(), {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), confPath,
                               QStringLiteral("-P"), dir.filePath(QStringLiteral("ser2net.pid"))});
        if (!proc.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        for (quint16 port : std::as_const(ports)) {
            bool up = false;
            while (!up && t.elapsed() < 5000 && proc.state() == QProcess::Running) {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                up = probe.waitForConnected(200);
                if (!up)
                    QTest::qWait(50);
            }
            if (!up)
                return false;
        }
        QTest::qWait(100);   // the probes' connections close down
        return true;
    }

    void kill()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }
    ~Ser2netServer() { kill(); }
};
