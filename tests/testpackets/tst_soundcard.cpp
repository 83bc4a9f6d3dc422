// SPDX-License-Identifier: GPL-3.0-or-later
// What the sound card is handed: a recording turned into 16-bit mono
// samples at the chosen level, for every WAV layout the player takes; and
// a refused output that keeps the pacing and says why.
#include "testpackets/core/PacketPlayer.h"
#include "testpackets/core/SameAudio.h"

#include <QtEndian>
#include <QtTest>

namespace {

// A RIFF/WAVE file of `frames` as given: `bits` per sample, `channels`.
QByteArray wav(int format, int bits, int channels, int rate, const QByteArray &data)
{
    QByteArray f("RIFF");
    auto u32 = [&f](quint32 v) { f.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&f](quint16 v) { f.append(reinterpret_cast<const char *>(&v), 2); };
    u32(quint32(36 + data.size()));
    f += "WAVEfmt ";
    u32(16);
    u16(quint16(format));
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(rate * channels * bits / 8));
    u16(quint16(channels * bits / 8));
    u16(quint16(bits));
    f += "data";
    u32(quint32(data.size()));
    return f + data;
}

QByteArray s16(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values) {
        const qint16 s = qint16(v);
        out.append(reinterpret_cast<const char *>(&s), 2);
    }
    return out;
}

QVector<int> samplesOf(const QByteArray &pcm)
{
    QVector<int> out;
    for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
        out.append(qFromLittleEndian<qint16>(pcm.constData() + i));
    return out;
}

} // namespace

class tst_SoundCard : public QObject
{
    Q_OBJECT
private slots:
    void monoPcm_data();
    void monoPcm();
    void refusedOutputKeepsPacing();
};

void tst_SoundCard::monoPcm_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("level");
    QTest::addColumn<QVector<int>>("expected");   // empty: refused
    QTest::addColumn<int>("rate");
    QTest::newRow("16-bit mono, full level")
        << wav(1, 16, 1, 22050, s16({0, 1000, -1000, 32767, -32768})) << 1.0
        << QVector<int>{0, 1000, -1000, 32767, -32768} << 22050;
    QTest::newRow("16-bit mono, half level")
        << wav(1, 16, 1, 22050, s16({0, 1000, -1000, 32767, -32768})) << 0.5
        << QVector<int>{0, 500, -500, 16384, -16384} << 22050;
    QTest::newRow("8-bit unsigned (the recordings), centred on 128")
        << wav(1, 8, 1, 8000, QByteArray("\x80\xff\x00\x90", 4)) << 1.0
        << QVector<int>{0, 32512, -32768, 4096} << 8000;
    QTest::newRow("stereo is mixed to one channel")
        << wav(1, 16, 2, 44100, s16({1000, 3000, -2000, 2000})) << 1.0 << QVector<int>{2000, 0} << 44100;
    QTest::newRow("a level above 1 is full level, never clipped louder")
        << wav(1, 16, 1, 8000, s16({20000})) << 4.0 << QVector<int>{20000} << 8000;
    QTest::newRow("float samples are refused") << wav(3, 32, 1, 8000, QByteArray(8, '\0')) << 1.0 << QVector<int>{}
                                               << 0;
    QTest::newRow("24-bit samples are refused") << wav(1, 24, 1, 8000, QByteArray(6, '\0')) << 1.0
                                                << QVector<int>{} << 0;
    QTest::newRow("not a WAV file") << QByteArray("hello") << 1.0 << QVector<int>{} << 0;
}

void tst_SoundCard::monoPcm()
{
    QFETCH(QByteArray, file);
    QFETCH(double, level);
    QFETCH(QVector<int>, expected);
    QFETCH(int, rate);
    int gotRate = 0;
    qint64 ms = -1;
    const QByteArray pcm = SinkAudio::monoPcm(file, level, &gotRate, &ms);
    QCOMPARE(samplesOf(pcm), expected);
    if (!expected.isEmpty()) {
        QCOMPARE(gotRate, rate);
        QCOMPARE(ms, qint64(expected.size()) * 1000 / rate);
    }
}

void tst_SoundCard::refusedOutputKeepsPacing()
{
    // An output that is not there: the recording's length passes silently
    // (scaled), finished() follows, and the reason is kept for the caller.
    SinkAudio sink(0.1);
    sink.setDevice(QStringLiteral("No such output anywhere"));
    QSignalSpy finished(&sink, &PacketAudio::finished);
    QElapsedTimer clock;
    clock.start();
    sink.start(SameAudio::RwtHeader, SameAudio::makeRecording(SameAudio::RwtHeader));
    QCOMPARE(finished.size(), 0);   // never from inside start()
    QVERIFY(finished.wait(5000));
    QVERIFY(sink.silent());
    QVERIFY2(sink.lastError().contains(QLatin1String("No such output anywhere"))
                 || sink.lastError().contains(QLatin1String("no sound card")),
             qPrintable(sink.lastError()));
    // The header recording lasts about 1.8 s; a tenth of it at least.
    QVERIFY(clock.elapsed() >= 150);
}

int main(int argc, char **argv)
{
    // No sound server: nothing of the machine's is touched.
    qputenv("PULSE_SERVER", "unix:/nonexistent/nx4400c-test");
    QCoreApplication app(argc, argv);
    tst_SoundCard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soundcard.moc"
