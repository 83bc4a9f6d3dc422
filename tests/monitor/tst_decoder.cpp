// SPDX-License-Identifier: GPL-3.0-or-later
// The SAME decoder against the editor's own test packets and generated
// messages: every rate, every chunk size, lost and damaged bursts.
#include "monitor/core/MonitorSources.h"
#include "monitor/core/SameDecoder.h"
#include "support/SameSignal.h"

#include <QtTest>

using namespace SameSignal;

namespace {

const QByteArray kWeather = "ZCZC-WXR-TOR-039173-039051+0030-3421805-KCLE/NWS-";
const QByteArray kCivil = "ZCZC-CIV-CEM-048201+0100-3421810-HOUSTON -";

// What the decoder reported, one line per report, in order.
QStringList decode(const QVector<float> &signal, int rate, int chunk, SameMode mode)
{
    SameDecoder d(rate, mode);
    const QVector<qint16> s = toS16(signal);
    for (qsizetype at = 0; at < s.size(); at += chunk)
        d.feed(s.constData() + at, std::min<qsizetype>(chunk, s.size() - at));
    d.finish();
    QStringList out;
    for (const SameReport &r : d.takeReports()) {
        if (r.kind == SameReport::EndOfMessage)
            out << QStringLiteral("NNNN");
        else
            out << QString::fromLatin1(r.header.text) + QLatin1Char(' ') + sameModeName(r.mode);
        if (r.kind == SameReport::Header && (r.confidence <= 0.99 || r.confidence > 1.0))
            out << QStringLiteral("confidence %1").arg(r.confidence);
    }
    return out;
}

// One of the editor's test recordings as a whole message would play it:
// three times, a second apart.
QVector<float> editorPacket(int id, int rate)
{
    QVector<float> one = resample(fromU8(SameAudio::recordingSamples(id)), SameAudio::SampleRate, rate);
    QVector<float> out;
    for (int i = 0; i < 3; ++i) {
        out += one;
        out.resize(out.size() + rate, 0.0f);
    }
    return out;
}

QByteArray flipBit(QByteArray text, int bit)
{
    text[bit / 8] = char(text.at(bit / 8) ^ (1 << (bit % 8)));
    return text;
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT
private slots:
    void headers_data();
    void headers();
    void structure_data();
    void structure();
    void wavInput();
};

void TestDecoder::headers_data()
{
    QTest::addColumn<QVector<float>>("signal");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("expected");

    const int strict = int(SameMode::Strict);
    const int combined = int(SameMode::Combined);
    auto packet = [](int id) { return QString::fromLatin1(SameAudio::burstText(id)); };

    // The six recordings of the test packet window, at rates from 8 kHz up.
    QTest::newRow("RWT 8000 whole") << editorPacket(110, 8000) << 8000 << 1000000 << strict
                                    << QStringList{packet(110) + " strict"};
    QTest::newRow("FFW 11025 1-sample chunks") << editorPacket(120, 11025) << 11025 << 1 << strict
                                               << QStringList{packet(120) + " strict"};
    QTest::newRow("SVA 16000 chunks of 7") << editorPacket(130, 16000) << 16000 << 7 << combined
                                           << QStringList{packet(130) + " combined"};
    QTest::newRow("TOA 44100 chunks of 4096") << editorPacket(140, 44100) << 44100 << 4096 << strict
                                              << QStringList{packet(140) + " strict"};
    QTest::newRow("beep 22050") << editorPacket(150, 22050) << 22050 << 333 << strict << QStringList{};
    QTest::newRow("NNNN 48000, three bursts are one end") << editorPacket(160, 48000) << 48000 << 1000 << strict
                                                          << QStringList{"NNNN"};

    Transmitter tx;
    tx.rate = 22050;
    QVector<float> s;
    appendSilence(s, tx, 0.5);
    appendMessage(s, tx, kWeather, 0, /*skipBurst*/ 1);
    QTest::newRow("missing middle burst, strict") << s << 22050 << 512 << strict
                                                  << QStringList{QString::fromLatin1(kWeather) + " strict", "NNNN"};
    QTest::newRow("missing middle burst, combined") << s << 22050 << 1 << combined
                                                    << QStringList{QString::fromLatin1(kWeather) + " combined", "NNNN"};

    s.clear();
    appendMessage(s, tx, kWeather, 2.0);
    appendMessage(s, tx, kCivil, 2.0);
    QTest::newRow("back to back") << s << 22050 << 1 << strict
                                  << QStringList{QString::fromLatin1(kWeather) + " strict", "NNNN",
                                                 QString::fromLatin1(kCivil) + " strict", "NNNN"};

    s.clear();
    appendMessage(s, tx, kCivil, 0, -1, /*eomBursts*/ 1);
    appendMessage(s, tx, kWeather, 0, -1, 1);
    QTest::newRow("one NNNN each") << s << 22050 << 100 << combined
                                   << QStringList{QString::fromLatin1(kCivil) + " combined", "NNNN",
                                                  QString::fromLatin1(kWeather) + " combined", "NNNN"};

    s.clear();
    appendMessage(s, tx, kWeather, 0);
    appendMessage(s, tx, kWeather, 0);
    QTest::newRow("a repeat is one message") << s << 22050 << 4096 << strict
                                             << QStringList{QString::fromLatin1(kWeather) + " strict", "NNNN"};

    // Each burst damaged in a different place: no two agree, so strict mode
    // must stay silent; adding the bits up recovers what was sent.
    for (int mode : {strict, combined}) {
        s.clear();
        for (int bit : {60, 200, 330}) {
            appendBurst(s, tx, flipBit(kWeather, bit));
            appendSilence(s, tx, 1.0);
        }
        appendBurst(s, tx, "NNNN");
        const QStringList heard = mode == strict ? QStringList{"NNNN"}
                                                 : QStringList{QString::fromLatin1(kWeather) + " combined", "NNNN"};
        QTest::newRow(mode == strict ? "three damaged bursts, strict" : "three damaged bursts, combined")
            << s << 22050 << 64 << mode << heard;
    }

    // Three bit errors where the burst is found (in "ZCZC"), the same in
    // every burst: it is still found, and the header after it is whole.
    s.clear();
    for (int i = 0; i < 3; ++i) {
        appendBurst(s, tx, flipBit(flipBit(flipBit(kWeather, 1), 12), 27));
        appendSilence(s, tx, 1.0);
    }
    QTest::newRow("start damaged") << s << 22050 << 300 << strict << QStringList{QString::fromLatin1(kWeather) + " strict"};

    // A transmitter a little off: slow bits, tones 5 Hz high.
    Transmitter off = tx;
    off.rate = 32000;
    off.baudError = -0.002;
    off.toneOffsetHz = 5;
    s.clear();
    appendMessage(s, off, kWeather, 1.0);
    QTest::newRow("0.2 % slow, 5 Hz high") << s << 32000 << 1 << strict
                                           << QStringList{QString::fromLatin1(kWeather) + " strict", "NNNN"};
}

void TestDecoder::headers()
{
    QFETCH(QVector<float>, signal);
    QFETCH(int, rate);
    QFETCH(int, chunk);
    QFETCH(int, mode);
    QFETCH(QStringList, expected);
    QCOMPARE(decode(signal, rate, chunk, SameMode(mode)), expected);
}

void TestDecoder::structure_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("length");

    const int complete = int(SameParse::Complete), incomplete = int(SameParse::Incomplete),
              invalid = int(SameParse::Invalid);
    QTest::newRow("broadcast header, then noise") << kWeather + "\xab\x13" << complete << int(kWeather.size());
    QTest::newRow("test-packet form") << SameAudio::burstText(110) << complete << int(SameAudio::burstText(110).size());
    QTest::newRow("cut short") << kWeather.left(30) << incomplete << 0;
    QTest::newRow("unknown originator") << QByteArray("ZCZC-XYZ-TOR-039173+0030-3421805-KCLE/NWS-") << invalid << 0;
    QTest::newRow("lower-case event") << QByteArray("ZCZC-WXR-tor-039173+0030-3421805-KCLE/NWS-") << invalid << 0;
    QTest::newRow("letter in a location") << QByteArray("ZCZC-WXR-TOR-0391A3+0030-3421805-KCLE/NWS-") << invalid << 0;
    QTest::newRow("purge of 20 minutes") << QByteArray("ZCZC-WXR-TOR-039173+0020-3421805-KCLE/NWS-") << invalid << 0;
    // Well formed, but a value out of range: parsed, the field named in the
    // header's note (bursts that agree on it were sent that way).
    QTest::newRow("day 367") << QByteArray("ZCZC-WXR-TOR-039173+0030-3671805-KCLE/NWS-") << complete << 42;
    QTest::newRow("hour 24") << QByteArray("ZCZC-WXR-TOR-039173+0030-3422405-KCLE/NWS-") << complete << 42;
    QTest::newRow("no closing dash") << QByteArray("ZCZC-WXR-TOR-039173+0030-3421805-KCLE/NWS+") << invalid << 0;
    QByteArray many = "ZCZC-WXR-TOR";
    for (int i = 0; i < 31; ++i)
        many += "-039173";
    QTest::newRow("31 locations") << many + "+0030-3421805-KCLE/NWS-" << complete << int(many.size()) + 23;
    QTest::newRow("32 locations") << many + "-039173+0030-3421805-KCLE/NWS-" << invalid << 0;
}

void TestDecoder::structure()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    QFETCH(int, length);
    int len = 0;
    QCOMPARE(int(parseSameHeader(bytes, &len)), result);
    if (result == int(SameParse::Complete))
        QCOMPARE(len, length);
}

void TestDecoder::wavInput()
{
    // A 48 kHz, 16-bit stereo recording reaches the decoder whole.
    Transmitter tx;
    tx.rate = 48000;
    QVector<float> s;
    appendMessage(s, tx, kCivil, 1.0);
    QByteArray wav = SameAudio::wavFile(QByteArray(), 48000);
    QByteArray data;
    for (qint16 v : toS16(s)) {
        const char b[4] = {char(v & 0xff), char(v >> 8), char(v & 0xff), char(v >> 8)};
        data.append(b, 4);
    }
    // Rewrite the empty 8-bit header as 16-bit stereo.
    qToLittleEndian<quint16>(2, wav.data() + 22);
    qToLittleEndian<quint32>(48000 * 4, wav.data() + 28);
    qToLittleEndian<quint16>(4, wav.data() + 32);
    qToLittleEndian<quint16>(16, wav.data() + 34);
    qToLittleEndian<quint32>(quint32(data.size()), wav.data() + 40);
    qToLittleEndian<quint32>(quint32(36 + data.size()), wav.data() + 4);
    wav += data;

    QVector<qint16> samples;
    int rate = 0;
    QString why;
    QVERIFY2(readWavSamples(wav, &samples, &rate, &why), qPrintable(why));
    QCOMPARE(rate, 48000);
    SameDecoder d(rate);
    d.feed(samples.constData(), samples.size());
    d.finish();
    const QList<SameReport> r = d.takeReports();
    QCOMPARE(r.size(), 2);
    QCOMPARE(r.at(0).header.text, kCivil);

    // Rates the decoder does not take and files that are not WAV are refused.
    qToLittleEndian<quint32>(96000, wav.data() + 24);
    QVERIFY(!readWavSamples(wav, &samples, &rate, &why));
    QVERIFY(why.contains(QLatin1String("96000")));
    QVERIFY(!readWavSamples(QByteArray("RIFF\x04\0\0\0WAVE", 12), &samples, &rate, &why));
}

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
