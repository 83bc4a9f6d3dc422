// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A PulseAudio server of the test's own, on a socket in a temporary folder,
// with null sinks: what is played into a sink comes out of its monitor
// source, so a test hears what the program played without a sound card.
// The machine's own sound server, if any, is never touched.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class PrivatePulse
{
public:
    ~PrivatePulse() { stop(); }

    // Starts the server with one null sink per name (the first is the
    // default), each described by its name, and for each an input that
    // records what the sink plays, "N-monitor" (a plain source over the
    // sink's monitor: Qt Multimedia lists no monitor sources). False with a
    // reason when it cannot start.
    bool start(const QStringList &sinks, QString *why)
    {
        const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (pulseaudio.isEmpty()) {
            *why = QStringLiteral("pulseaudio is not installed");
            return false;
        }
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        QByteArray conf = QStringLiteral("load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n")
                              .arg(socket)
                              .toUtf8();
        for (const QString &sink : sinks)
            conf += QStringLiteral("load-module module-null-sink sink_name=%1 sink_properties=device.description=%1\n"
                                   "load-module module-remap-source master=%1.monitor source_name=%1-monitor "
                                   "source_properties=device.description=%1-monitor\n")
                        .arg(sink)
                        .toUtf8();
        if (!sinks.isEmpty())
            conf += QStringLiteral("set-default-sink %1\nset-default-source %1-monitor\n").arg(sinks.first()).toUtf8();
        QFile f(m_dir.filePath(QStringLiteral("server.pa")));
        if (!f.open(QIODevice::WriteOnly) || f.write(conf) != conf.size()) {
            *why = QStringLiteral("cannot write the server's configuration");
            return false;
        }
        f.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.path());
        env.remove(QStringLiteral("PULSE_SERVER"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(pulseaudio, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                                    QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                                    QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-target=stderr"),
                                    QStringLiteral("-F"), f.fileName()});
        if (!m_server.waitForStarted(5000)) {
            *why = QStringLiteral("the PulseAudio server did not start: ") + m_server.errorString();
            return false;
        }
        if (!QTest::qWaitFor([&] { return QFile::exists(socket) || m_server.state() == QProcess::NotRunning; }, 10000)
            || !QFile::exists(socket)) {
            *why = QStringLiteral("the PulseAudio server did not come up: ") + QString::fromLocal8Bit(m_server.readAll());
            stop();
            return false;
        }
        m_address = QStringLiteral("unix:") + socket;
        return true;
    }

    // What PULSE_SERVER must say for a program to use this server.
    QString address() const { return m_address; }

    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_address;
};
