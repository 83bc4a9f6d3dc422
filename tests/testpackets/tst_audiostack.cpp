// SPDX-License-Identifier: GPL-3.0-or-later
// Plays test packets through the real audio stack: Qt Multimedia into a
// private PulseAudio server with a null sink, whose monitor is recorded and
// decoded. Skipped, saying why, where no PulseAudio server can start.
#include "AudioCheck.h"

#include "base/Timings.h"
#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"

#include <QtTest>
#include <QAudioDevice>
#include <QMediaDevices>

using namespace AudioCheck;

class tst_AudioStack : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void headerAndEndOfMessageReachTheSink();

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_serverAddress;
};

void tst_AudioStack::initTestCase()
{
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    const QString parec = QStandardPaths::findExecutable(QStringLiteral("parec"));
    if (pulseaudio.isEmpty() || parec.isEmpty())
        QSKIP("pulseaudio or parec is not installed: cannot test the real audio stack");
    if (multimonPath().isEmpty())
        QSKIP("multimon-ng is not installed: cannot decode what reaches the sound server");

    const QString socket = m_dir.filePath(QStringLiteral("native"));
    QFile conf(m_dir.filePath(QStringLiteral("server.pa")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n"
                              "load-module module-null-sink sink_name=nxnull\n"
                              "set-default-sink nxnull\n").arg(socket).toUtf8());
    conf.close();

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
                                QStringLiteral("-F"), conf.fileName()});
    if (!m_server.waitForStarted(5000))
        QSKIP("the PulseAudio server did not start");
    if (!QTest::qWaitFor([&] { return QFile::exists(socket) || m_server.state() == QProcess::NotRunning; }, 10000)
        || !QFile::exists(socket)) {
        qWarning().noquote() << m_server.readAll();
        QSKIP("the PulseAudio server did not come up (see its log above)");
    }
    // Qt Multimedia reads this when it first looks for sound devices.
    m_serverAddress = QStringLiteral("unix:") + socket;
    qputenv("PULSE_SERVER", m_serverAddress.toUtf8());
    if (!QTest::qWaitFor([] { return !QMediaDevices::defaultAudioOutput().isNull(); }, 5000))
        QSKIP("Qt Multimedia finds no sound output on the private PulseAudio server");
}

void tst_AudioStack::cleanupTestCase()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }
}

void tst_AudioStack::headerAndEndOfMessageReachTheSink()
{
    QProcess recorder;
    recorder.start(QStandardPaths::findExecutable(QStringLiteral("parec")),
                   {QStringLiteral("--server=") + m_serverAddress, QStringLiteral("--device=nxnull.monitor"),
                    QStringLiteral("--rate=22050"), QStringLiteral("--channels=1"),
                    QStringLiteral("--format=s16le")});
    QVERIFY(recorder.waitForStarted(5000));
    // Recording has begun once the monitor delivers (silent) samples.
    QVERIFY2(QTest::qWaitFor([&] { return recorder.bytesAvailable() >= 22050 / 5 * 2; }, 10000),
             "the recorder delivers nothing from the sink's monitor");

    Timings timings;
    timings.packetPauseMs = 400;
    PacketPlayer player(timings);
    auto *sink = qobject_cast<SinkAudio *>(&player.audio());
    QVERIFY(sink);
    QElapsedTimer clock;
    clock.start();
    for (int id : {SameAudio::RwtHeader, SameAudio::EndOfMessage}) {
        const QByteArray wav = TestPacketRecording(id);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(player.play(id, wav));
            QVERIFY2(!sink->silent(), "played without a sound device");
            QVERIFY(player.pause(timings.packetPauseMs));
        }
    }
    // Each play returned when its sound had ended, not before.
    const qint64 soundMs = 3 * 14410 / 8 + 3 * 3430 / 8;
    QVERIFY2(clock.elapsed() >= soundMs + 6 * 400 - 100, qPrintable(QString::number(clock.elapsed())));

    // The null sink buffers up to two seconds when nothing asks it for low
    // latency, like a network or Bluetooth output: the last packet must
    // still come out whole.
    QTest::qWait(2500);
    recorder.terminate();
    QVERIFY(recorder.waitForFinished(5000));
    const QByteArray captured = recorder.readAllStandardOutput();
    QVERIFY2(captured.size() > 22050 * 2 * 5, "the recording of the sink's monitor is too short");

    const QStringList decoded = decodeEas(captured);
    const QByteArray header = SameAudio::burstText(SameAudio::RwtHeader);
    QCOMPARE(decoded.value(0), QString::fromLatin1(header.left(header.lastIndexOf('-') + 1)));
    QCOMPARE(decoded.value(1), QStringLiteral("NNNN"));

    // Six bursts, none cut short: 20 ms windows with sound in them, grouped.
    QList<double> bursts;
    const int window = 441;
    int run = 0;
    const int windows = int(captured.size() / 2 / window);
    for (int w = 0; w <= windows; ++w) {
        double e = 0;
        for (int i = 0; w < windows && i < window; ++i) {
            const qint16 v = qFromLittleEndian<qint16>(captured.constData() + 2 * (w * window + i));
            e += double(v) * v;
        }
        const bool loud = w < windows && std::sqrt(e / window) > 2000;
        if (loud) {
            ++run;
        } else if (run > 0) {
            bursts.append(run * 0.02);
            run = 0;
        }
    }
    QString found;
    for (double b : bursts)
        found += QString::number(b) + QLatin1Char(' ');
    QVERIFY2(bursts.size() == 6, qPrintable(QStringLiteral("bursts of %1s").arg(found)));
    for (int i = 0; i < 6; ++i) {
        const double expected = i < 3 ? SameAudio::afskSampleCount(16 + 96) / 8000.0
                                      : SameAudio::afskSampleCount(16 + 4) / 8000.0;
        // Within five windows: a sound server short of processor time drops
        // a few tens of milliseconds (seen under a loaded machine); a burst
        // cut by more loses characters, which the decoding above catches too.
        QVERIFY2(std::abs(bursts[i] - expected) <= 0.1,
                 qPrintable(QStringLiteral("burst %1: %2 s, expected %3 s").arg(i).arg(bursts[i]).arg(expected)));
    }
}

QTEST_GUILESS_MAIN(tst_AudioStack)
#include "tst_audiostack.moc"
