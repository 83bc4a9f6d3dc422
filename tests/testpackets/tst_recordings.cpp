// SPDX-License-Identifier: GPL-3.0-or-later
// The six test recordings: format, length, what a SAME decoder reads from
// them, their tones and level, and that the program carries exactly what
// the synthesis makes.
#include "AudioCheck.h"

#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"

#include <QtTest>

using namespace AudioCheck;

class tst_Recordings : public QObject
{
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void demodulatedText_data();
    void demodulatedText();
    void multimonDecodes_data();
    void multimonDecodes();
    void burstTonesAndLevel_data();
    void burstTonesAndLevel();
    void beepIsSteadyTone();
    void endOfMessageLeadIn();
    void malformedWavRejected_data();
    void malformedWavRejected();
};

namespace {

QVector<double> samplesOf(int id)
{
    SameAudio::WavInfo info;
    SameAudio::parseWav(TestPacketRecording(id), &info);
    return toFloat(info.data);
}

// First sample that is not silence.
int burstStart(const QVector<double> &x)
{
    for (int i = 0; i < x.size(); ++i)
        if (std::abs(x[i]) > 1.0 / 128)
            return i;
    return -1;
}

QVector<double> silence(int n)
{
    return QVector<double>(n, 0.0);
}

void addHeaderRows()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("110 RWT") << 110 << QByteArray("ZCZC-WXR-RWT-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0015-214-1530");
    QTest::newRow("120 FFW") << 120 << QByteArray("ZCZC-WXR-FFW-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0100-214-1530");
    QTest::newRow("130 SVA") << 130 << QByteArray("ZCZC-WXR-SVA-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0100-214-1530");
    QTest::newRow("140 TOA") << 140 << QByteArray("ZCZC-WXR-TOA-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0100-214-1530");
    QTest::newRow("160 EOM") << 160 << QByteArray("NNNN");
}

} // namespace

void tst_Recordings::format_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("samples");
    QTest::newRow("110") << 110 << 14410;
    QTest::newRow("120") << 120 << 14236;
    QTest::newRow("130") << 130 << 14219;
    QTest::newRow("140") << 140 << 14435;
    QTest::newRow("150") << 150 << 2073;
    QTest::newRow("160") << 160 << 3430;
}

void tst_Recordings::format()
{
    QFETCH(int, id);
    QFETCH(int, samples);
    const QByteArray wav = TestPacketRecording(id);
    QVERIFY2(!wav.isEmpty(), "recording missing from the program's resources");
    // Built into the program by the generator: the same bytes the synthesis makes.
    QCOMPARE(wav, SameAudio::makeRecording(id));

    QVERIFY(wav.startsWith("RIFF"));
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
    SameAudio::WavInfo info;
    QVERIFY(SameAudio::parseWav(wav, &info));
    QCOMPARE(info.format, 1);
    QCOMPARE(info.channels, 1);
    QCOMPARE(info.sampleRate, 8000);
    QCOMPARE(info.bitsPerSample, 8);
    QCOMPARE(int(info.data.size()), samples);
    QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 32), quint16(1));   // block align
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 28), quint32(8000)); // bytes per second
}

void tst_Recordings::demodulatedText_data()
{
    addHeaderRows();
}

void tst_Recordings::demodulatedText()
{
    // An independent demodulator reading bit windows from the burst's first
    // sample: the 16-byte preamble, then the text, and nothing after it.
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    const QVector<double> x = samplesOf(id);
    const int start = burstStart(x);
    QVERIFY(start >= 0);
    const QByteArray bytes = demodulate(x, start, 200);
    QCOMPARE(bytes.left(16), QByteArray(16, char(0xAB)));
    QCOMPARE(bytes.mid(16, text.size()), text);
    // The burst ends with the text: after it, silence only.
    const int end = start + SameAudio::afskSampleCount(16 + int(text.size()));
    QVERIFY(energy(x, start, end - start) > 0.01);
    QCOMPARE(energy(x, end, int(x.size()) - end), 0.0);
}

void tst_Recordings::multimonDecodes_data()
{
    addHeaderRows();
}

void tst_Recordings::multimonDecodes()
{
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    if (multimonPath().isEmpty())
        QSKIP("multimon-ng is not installed (scripts/install-deps.sh installs it)");

    // Played as the window plays it: three times, a second apart. The
    // decoder reports a header once two copies agree.
    const QVector<double> x = samplesOf(id);
    QVector<double> message = silence(4000);
    for (int i = 0; i < 3; ++i)
        message += x + silence(8000);
    const QStringList decoded = decodeEas(resampleS16(message));
    QVERIFY2(!decoded.isEmpty(), "multimon-ng decoded nothing");

    // The headers end with the issue time and no closing dash, and a
    // standard decoder only reports a header up to its last dash.
    const QString expected = QString::fromLatin1(text.left(text.lastIndexOf('-') + 1));
    QCOMPARE(decoded.first(), id == 160 ? QStringLiteral("NNNN") : expected);

    if (id == 160)
        return;
    // The whole text, last field included: the burst is exactly the start
    // of the same burst closed by a dash, and that one decodes in full.
    const QByteArray burst = SameAudio::recordingSamples(id).mid(SameAudio::leadInSamples(id),
                                                                 SameAudio::afskSampleCount(16 + int(text.size())));
    const QByteArray closed = SameAudio::afskSamples(text + '-');
    QVERIFY(closed.startsWith(burst));
    QVector<double> closedMessage = silence(4000);
    for (int i = 0; i < 3; ++i)
        closedMessage += toFloat(closed) + silence(8000);
    const QStringList full = decodeEas(resampleS16(closedMessage));
    QVERIFY(!full.isEmpty());
    QCOMPARE(full.first(), QString::fromLatin1(text + '-'));
}

void tst_Recordings::burstTonesAndLevel_data()
{
    addHeaderRows();
}

void tst_Recordings::burstTonesAndLevel()
{
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    const QVector<double> x = samplesOf(id);
    const int start = burstStart(x);
    const int len = SameAudio::afskSampleCount(16 + int(text.size()));

    // Per bit window, nearly all power is at the mark or the space tone.
    const double samplesPerBit = 15.36;
    const int bits = int(len / samplesPerBit);
    for (int b = 0; b < bits; ++b) {
        const int from = start + int(std::lround(b * samplesPerBit));
        const double mark = goertzel(x, from, 15, 6250.0 / 3);
        const double space = goertzel(x, from, 15, 1562.5);
        const double other = goertzel(x, from, 15, 1040) + goertzel(x, from, 15, 2600);
        QVERIFY2(std::max(mark, space) > 4 * other, qPrintable(QStringLiteral("bit %1").arg(b)));
    }
    // The preamble alternates: 0xAB sent LSB first is 1,1,0,1,0,1,0,1.
    const QByteArray pre = demodulate(x, start, 1);
    QCOMPARE(uint8_t(pre.at(0)), uint8_t(0xAB));

    // About 35 % of full scale: peak and RMS of a sine of that amplitude.
    double peak = 0;
    for (int i = start; i < start + len; ++i)
        peak = std::max(peak, std::abs(x[i]));
    QVERIFY2(peak > 0.32 && peak < 0.38, qPrintable(QString::number(peak)));
    const double rms = std::sqrt(energy(x, start, len));
    QVERIFY2(std::abs(rms - 0.35 / std::sqrt(2.0)) < 0.02, qPrintable(QString::number(rms)));
}

void tst_Recordings::beepIsSteadyTone()
{
    const QVector<double> x = samplesOf(150);
    QCOMPARE(x.size(), 2073);
    // The strongest frequency between 500 and 2500 Hz, in 5 Hz steps.
    double bestHz = 0, best = 0;
    for (double hz = 500; hz <= 2500; hz += 5) {
        const double p = goertzel(x, 0, int(x.size()), hz);
        if (p > best) {
            best = p;
            bestHz = hz;
        }
    }
    QVERIFY2(std::abs(bestHz - 1040) <= 10, qPrintable(QString::number(bestHz)));
    // Steady: the same level in every 20 ms window, the fades excepted.
    const double first = goertzel(x, 40, 160, 1040);
    for (int from = 40; from + 160 <= int(x.size()) - 40; from += 160) {
        const double p = goertzel(x, from, 160, 1040);
        QVERIFY2(std::abs(p - first) < 0.1 * first, qPrintable(QStringLiteral("window at %1").arg(from)));
        QVERIFY(energy(x, from, 160) > 0.9 * 2 * p);   // no other tone beside it
    }
    double peak = 0;
    for (double v : x)
        peak = std::max(peak, std::abs(v));
    QVERIFY(peak > 0.32 && peak < 0.38);
    // Starts and ends quietly (no click).
    QVERIFY(std::abs(x.first()) < 0.05 && std::abs(x.last()) < 0.05);
}

void tst_Recordings::endOfMessageLeadIn()
{
    const QVector<double> x = samplesOf(160);
    const int start = burstStart(x);
    // About 0.11 s of silence, then a burst of about 0.31 s.
    QVERIFY2(start >= 840 && start <= 920, qPrintable(QString::number(start)));
    int last = int(x.size()) - 1;
    while (last > 0 && std::abs(x[last]) <= 1.0 / 128)
        --last;
    const double burstSeconds = (last - start + 1) / 8000.0;
    QVERIFY2(std::abs(burstSeconds - 0.31) < 0.01, qPrintable(QString::number(burstSeconds)));
}

void tst_Recordings::malformedWavRejected_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = SameAudio::makeRecording(160);
    QByteArray oversized = good;
    qToLittleEndian<quint32>(0x7ffffff0, oversized.data() + 40);   // data chunk past the end
    QByteArray noData = good.left(36);
    QByteArray shortFmt = good;
    qToLittleEndian<quint32>(8, shortFmt.data() + 16);
    QByteArray zeroBits = good;
    qToLittleEndian<quint16>(0, zeroBits.data() + 34);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("RIFF only") << QByteArray("RIFF");
    QTest::newRow("not WAVE") << QByteArray("RIFF\x10\0\0\0AVI fmt ", 16);
    QTest::newRow("data past end") << oversized;
    QTest::newRow("truncated") << good.left(30);
    QTest::newRow("no data chunk") << noData;
    QTest::newRow("short fmt") << shortFmt;
    QTest::newRow("zero bits") << zeroBits;
}

void tst_Recordings::malformedWavRejected()
{
    QFETCH(QByteArray, file);
    SameAudio::WavInfo info;
    QVERIFY(!SameAudio::parseWav(file, &info));
}

QTEST_GUILESS_MAIN(tst_Recordings)
#include "tst_recordings.moc"
