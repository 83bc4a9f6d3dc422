// SPDX-License-Identifier: GPL-3.0-or-later
// The SAME decoder against the editor's own test packets and generated
// messages: every rate, every chunk size, lost and damaged bursts.
#include "monitor/core/MonitorSources.h"
#include "monitor/core/SameDecoder.h"
#include "monitor/core/SameSyntax.h"
#include "support/SameSignal.h"

#include <QtTest>

using namespace SameSignal;

namespace {

const QByteArray kWeather = "ZCZC-WXR-TOR-039173-039051+0030-3421805-KCLE/NWS-";
const QByteArray kCivil = "ZCZC-CIV-CEM-048201+0100-3421810-HOUSTON -";

// Soft bits that differ from a sure one: the bit, and its soft bit towards
// what was sent (negative: against it).
using SoftBits = QList<QPair<int, double>>;

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

// The bits of `text` with bit `at` sent twice: the transmitter's clock
// slipped there, and every later bit comes one place late.
QByteArray slipped(const QByteArray &text, int at)
{
    QByteArray out(text.size() + 1, '\0');
    for (int k = 0, j = 0; k < text.size() * 8; ++k) {
        const bool bit = (uint8_t(text.at(k / 8)) >> (k % 8)) & 1;
        for (int n = k == at ? 2 : 1; n > 0; --n, ++j)
            out[j / 8] = char(uint8_t(out.at(j / 8)) | (bit << (j % 8)));
    }
    return out;
}

// Noise `snr` dB below the tones, added before the channel as it comes in
// with the signal. Fixed seeds keep every row the same from run to run.
QVector<float> received(QVector<float> s, const Transmitter &tx, double snr, Channel channel, unsigned seed)
{
    std::mt19937 rng(seed);
    addNoise(s, tx.amplitude * tx.amplitude / 2.0 / std::pow(10.0, snr / 10.0), rng);
    applyChannel(s, channel, tx.rate, tx.amplitude, rng);
    return s;
}

QVector<float> bursts(const Transmitter &tx, const QList<QByteArray> &texts)
{
    QVector<float> s;
    appendSilence(s, tx, 0.3);
    for (const QByteArray &t : texts) {
        appendBurst(s, tx, t);
        appendSilence(s, tx, 1.0);
    }
    appendBurst(s, tx, "NNNN");
    appendSilence(s, tx, 1.0);
    return s;
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT
private slots:
    void headers_data();
    void headers();
    void syntaxDecision_data();
    void syntaxDecision();
    void noWrongEvent_data();
    void noWrongEvent();
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

    // Repeats long after the first end of message (a station that repeats
    // every twenty seconds) still end one message: one NNNN in all.
    s.clear();
    for (int i = 0; i < 3; ++i) {
        appendMessage(s, tx, kWeather, 0);
        appendSilence(s, tx, 15.0);
    }
    QTest::newRow("repeats 15 s apart, one end") << s << 22050 << 4096 << strict
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

    const QByteArray badOrigin = QByteArray(kWeather).replace("WXR", "XYZ");
    const QByteArray badPurge = QByteArray(kWeather).replace("+0030", "+0020");
    const QByteArray unknownEvent = QByteArray(kWeather).replace("TOR", "SQW");
    for (int mode : {strict, combined}) {
        const QString name = sameModeName(SameMode(mode));
        const QStringList weather{QString::fromLatin1(kWeather) + QLatin1Char(' ') + name, "NNNN"};

        // Through a weather radio at a comfortable SNR: band-pass and
        // de-emphasis (mark and space at different levels), a limiter,
        // hum; tones 20 Hz off and bits 0.5 % off.
        unsigned seed = 1;
        for (Channel channel : {Channel::Radio, Channel::Clipped, Channel::Hum}) {
            Transmitter radio = tx;
            radio.amplitude = 0.1;
            radio.toneOffsetHz = seed % 2 ? 20 : -20;
            radio.baudError = seed % 2 ? -0.005 : 0.005;
            s.clear();
            appendSilence(s, radio, 0.4);
            appendMessage(s, radio, kWeather, 2.0);
            QTest::addRow("%s, +6 dB, %s", channelName(channel), qPrintable(name))
                << received(s, radio, 6.0, channel, seed++) << 22050 << 4096 << mode << weather;
        }

        // One burst breaks the syntax; the other two carry the header.
        QTest::addRow("syntax broken in one burst, %s", qPrintable(name))
            << bursts(tx, {kWeather, badOrigin, kWeather}) << 22050 << 512 << mode << weather;
        QTest::addRow("syntax broken in the first burst, %s", qPrintable(name))
            << bursts(tx, {QByteArray(kWeather).replace("3421805", "34218A5"), kWeather, kWeather}) << 22050 << 512
            << mode << weather;
        // A header that breaks the syntax as sent is never reported, not
        // even as the valid header nearest to it.
        QTest::addRow("purge of 20 minutes in every burst, %s", qPrintable(name))
            << bursts(tx, {badPurge, badPurge, badPurge}) << 22050 << 512 << mode << QStringList{"NNNN"};
        QTest::addRow("unknown originator in every burst, %s", qPrintable(name))
            << bursts(tx, {badOrigin, badOrigin, badOrigin}) << 22050 << 512 << mode << QStringList{"NNNN"};
        // The transmitter's clock slips in the middle burst.
        QTest::addRow("bit slip in one burst, %s", qPrintable(name))
            << bursts(tx, {kWeather, slipped(kWeather, 150), kWeather}) << 22050 << 1000 << mode << weather;
        // An event code the editor does not know still comes through when
        // the bursts leave no doubt.
        QTest::addRow("unknown event code, %s", qPrintable(name))
            << bursts(tx, {unknownEvent, unknownEvent, unknownEvent}) << 22050 << 1000 << mode
            << QStringList{QString::fromLatin1(unknownEvent) + QLatin1Char(' ') + name, "NNNN"};
    }
    // A slip in one burst and a damaged character in another: no two agree,
    // so strict mode is silent; combined mode leaves the slipped burst out
    // where it slipped no earlier than the damage.
    s = bursts(tx, {slipped(kWeather, 300), kWeather, flipBit(kWeather, 120)});
    QTest::newRow("slip and damage, strict") << s << 22050 << 1000 << strict << QStringList{"NNNN"};
    QTest::newRow("slip and damage, combined") << s << 22050 << 1000 << combined
                                               << QStringList{QString::fromLatin1(kWeather) + " combined", "NNNN"};
}

void TestDecoder::syntaxDecision_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<SoftBits>("bits");

    QTest::addColumn<int>("prior");
    QTest::addColumn<QByteArray>("decided");               // empty: no header fits
    QTest::addColumn<double>("minConfidence");
    QTest::addColumn<double>("maxConfidence");

    using Bits = SoftBits;
    const int any = int(SameEventPrior::AnyLetters), catalogue = int(SameEventPrior::Catalogue);
    const QByteArray blizzard = "ZCZC-CIV-BZW-039173+0030-3421805-KCLE/NWS-";
    const QByteArray squall = QByteArray(kWeather).replace("TOR", "SQW");
    QTest::newRow("sure bits") << kWeather << Bits{} << any << kWeather << 0.999 << 1.0;
    QTest::newRow("test-packet form") << SameAudio::burstText(110) << Bits{} << any << SameAudio::burstText(110) << 0.999
                                      << 1.0;
    // "3" or "2" in a location: both digits, nothing to choose between.
    QTest::newRow("a location bit undecided") << kWeather << Bits{{14 * 8, 0.0}} << any << QByteArray() << 0.4 << 0.6;
    // The dash between locations turned weakly: only a dash may stand there.
    QTest::newRow("a dash bit weakly wrong") << kWeather << Bits{{19 * 8 + 1, -3.0}} << any << kWeather << 0.95 << 1.0;
    // The '+' before the purge time weakly gone: the layout still holds.
    QTest::newRow("the plus weakly wrong") << kWeather << Bits{{26 * 8 + 1, -2.0}, {26 * 8 + 3, -2.0}} << any << kWeather
                                           << 0.9 << 1.0;
    // Purge minutes "20" for sure: no valid header is that far from it.
    QTest::newRow("a sure bit against the syntax") << kWeather << Bits{{29 * 8, -20.0}} << any << QByteArray() << 0.0
                                                   << 0.0;
    // Sure bits carry an event code the editor does not know.
    QTest::newRow("unknown event, sure") << squall << Bits{} << catalogue << squall << 0.99 << 1.0;
    // One weak bit between "BZS" and the Blizzard Warning: the catalogue
    // decides for the code it knows; without it the bit does.
    QTest::newRow("weak bit, catalogue") << blizzard << Bits{{11 * 8 + 2, -2.0}} << catalogue << blizzard << 0.99 << 1.0;
    QTest::newRow("weak bit, any letters") << blizzard << Bits{{11 * 8 + 2, -2.0}} << any
                                           << QByteArray(blizzard).replace("BZW", "BZS") << 0.8 << 0.9;
}

void TestDecoder::syntaxDecision()
{
    QFETCH(QByteArray, sent);
    QFETCH(SoftBits, bits);
    QFETCH(int, prior);
    QFETCH(QByteArray, decided);
    QFETCH(double, minConfidence);
    QFETCH(double, maxConfidence);
    // Soft bits of 20 for every bit sent, then the row's own; and a few
    // bits of silence after the header.
    std::vector<float> llr(size_t(sent.size()) * 8 + 48, 0.0f);
    for (int k = 0; k < sent.size() * 8; ++k)
        llr[k] = (uint8_t(sent.at(k / 8)) >> (k % 8)) & 1 ? 20.0f : -20.0f;
    for (const auto &[bit, towards] : bits)
        llr[bit] = float(llr[bit] > 0 ? towards : -towards);
    SameSyntaxModel model(llr, SameEventPrior(prior));
    const SameSyntaxDecision d = model.decide();
    if (!decided.isEmpty() || maxConfidence == 0.0)
        QCOMPARE(d.text, decided);
    QVERIFY2(d.confidence >= minConfidence && d.confidence <= maxConfidence, qPrintable(QString::number(d.confidence)));
    if (!d.text.isEmpty())
        QCOMPARE(model.chance(d.text), d.confidence);
}

void TestDecoder::noWrongEvent_data()
{
    QTest::addColumn<double>("snr");
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("markLevel");

    // A Blizzard Warning whose event code comes out of two bursts as "BZS",
    // one bit off, with mark and space at different levels: the radio's
    // de-emphasis, or a mark 6 dB below the space.
    for (double snr : {20.0, 6.0, 1.0}) {
        QTest::addRow("radio, %+.0f dB", snr) << snr << int(Channel::Radio) << 1.0;
        QTest::addRow("mark 6 dB low, %+.0f dB", snr) << snr << int(Channel::White) << 0.5;
    }
}

void TestDecoder::noWrongEvent()
{
    QFETCH(double, snr);
    QFETCH(int, channel);
    QFETCH(double, markLevel);
    const QByteArray sent = "ZCZC-CIV-BZW-039173+0030-3421805-KCLE/NWS-";
    const QByteArray bzs = flipBit(sent, 8 * 11 + 2);
    QCOMPARE(bzs.mid(9, 3), QByteArray("BZS"));
    Transmitter tx;
    tx.amplitude = 0.1;
    tx.toneOffsetHz = 20;
    tx.markLevel = markLevel;
    // The burst that is right comes first, last or between the others.
    for (int right = 0; right < 3; ++right) {
        QList<QByteArray> texts{bzs, bzs, bzs};
        texts[right] = sent;
        const QVector<float> s = received(bursts(tx, texts), tx, snr, Channel(channel), 7 + right);
        SameDecoder d(22050, SameMode::Combined);
        const QVector<qint16> pcm = toS16(s);
        d.feed(pcm.constData(), pcm.size());
        d.finish();
        for (const SameReport &r : d.takeReports())
            if (r.kind == SameReport::Header)
                QCOMPARE(r.header.text, sent);
    }
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
