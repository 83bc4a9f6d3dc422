// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor on a software radio: a synthetic weather band with three
// messages on three channels at once, fed to nx4400c-cli through a pipe in
// each sample format; every header must come out once, on its own channel,
// naming the transmitter that covers its counties on that channel.
#include "support/AccessibleText.h"
#include "support/AlertRecordRead.h"
#include "support/IqBand.h"
#include "support/TestEnv.h"

#include "coverage/core/HeardChannels.h"
#include "coverage/core/TransmitterFrequency.h"
#include "history/core/AlertLog.h"
#include "monitor/core/IqChanneliser.h"
#include "monitor/core/RtlSdrInput.h"
#include "monitor/gui/SdrPanel.h"
#include "monitor/gui/frmMonitor.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

struct Sent {
    QByteArray header;
    qint64 hz;
    QString transmitter;    // what the row must name
};

// Anchorage's transmitters are on 162.400 (Wasilla) and 162.550 (Anchorage),
// Adams County's on 162.425 (Maysville) and 162.525 (Otway): only the one on
// the channel heard may be named.
const QList<Sent> &sentMessages()
{
    static const QList<Sent> sent = {
        {"ZCZC-WXR-TOR-002020+0030-3401500-PAFC/NWS-", 162400000, QStringLiteral("KZZ98 Wasilla 162.400")},
        {"ZCZC-WXR-SVR-039001+0100-3401510-KILN/NWS-", 162425000, QStringLiteral("KZZ49 Maysville 162.425")},
        {"ZCZC-WXR-FFW-018029-039001+0045-3401520-KILN/NWS-", 162550000, QStringLiteral("KIH42 Covington 162.550")},
    };
    return sent;
}

// The three messages overlapping in time, on a band tuned to 162.475 MHz.
QVector<IqBand::Carrier> threeMessages(double carrierErrorHz)
{
    QVector<IqBand::Carrier> carriers;
    double start = 0.3;
    for (const Sent &s : sentMessages()) {
        SameSignal::Transmitter t;
        t.rate = 22050;
        QVector<float> audio;
        SameSignal::appendSilence(audio, t, 0.2);
        SameSignal::appendMessage(audio, t, s.header);
        IqBand::Carrier c;
        c.offsetHz = double(s.hz - 162475000) + carrierErrorHz;
        carrierErrorHz = -carrierErrorHz;
        c.audio = IqBand::preEmphasised(audio, t.rate);
        c.audioRate = t.rate;
        c.startSeconds = start;
        start += 0.7;
        carriers.append(c);
    }
    return carriers;
}

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

Run runCli(const QStringList &args, const QByteArray &input)
{
    Run r;
    QProcess p;
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), QStringList{"monitor"} + args);
    if (!p.waitForStarted(5000))
        return r;
    // Written in pieces, as a pipe from a radio delivers it.
    for (qsizetype at = 0; at < input.size(); at += 1 << 20) {
        p.write(input.mid(at, 1 << 20));
        while (p.bytesToWrite() > 0 && p.state() == QProcess::Running)
            p.waitForBytesWritten(1000);
    }
    p.closeWriteChannel();
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class TestIq : public QObject
{
    Q_OBJECT
private slots:
    void band_data();
    void band();
    void usage_data();
    void usage();
    void frequencies_data();
    void frequencies();
    void transmitters_data();
    void transmitters();
    void samplesCutAnywhere_data();
    void samplesCutAnywhere();
    void window();
};

void TestIq::band_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("format");
    QTest::addColumn<double>("carrierErrorHz");
    QTest::addColumn<double>("cnrDb");
    QTest::addColumn<double>("ppm");     // the radio's crystal error, given as --ppm
    // The same band in the three formats must decode alike.
    QTest::newRow("cu8, 240 kS/s") << 240000.0 << int(IqFormat::Cu8) << 0.0 << 30.0 << 0.0;
    QTest::newRow("cs16, 240 kS/s") << 240000.0 << int(IqFormat::Cs16) << 0.0 << 30.0 << 0.0;
    QTest::newRow("cf32, 240 kS/s") << 240000.0 << int(IqFormat::Cf32) << 0.0 << 30.0 << 0.0;
    // What a dongle gives: 2.4 MS/s, carriers 2 kHz off, 15 dB carrier to noise.
    QTest::newRow("cu8, 2.4 MS/s, carriers off") << 2400000.0 << int(IqFormat::Cu8) << 2000.0 << 15.0 << 0.0;
    // Carriers 8 kHz off (a dongle some 50 ppm off): their sidebands would
    // fold over at the audio rate; each channel follows its carrier.
    QTest::newRow("carriers far off, followed") << 240000.0 << int(IqFormat::Cs16) << 8000.0 << 25.0 << 0.0;
    // A tuner 40 ppm fast puts every channel 6.5 kHz low and samples 40 ppm
    // fast; --ppm 40 corrects both.
    QTest::newRow("radio 40 ppm off, corrected") << 240000.0 << int(IqFormat::Cu8) << 0.0 << 25.0 << 40.0;
}

void TestIq::band()
{
    QFETCH(double, rate);
    QFETCH(int, format);
    QFETCH(double, carrierErrorHz);
    QFETCH(double, cnrDb);
    QFETCH(double, ppm);
    const IqFormat f = IqFormat(format);
    QVector<IqBand::Carrier> carriers = threeMessages(carrierErrorHz);
    for (IqBand::Carrier &c : carriers)
        c.offsetHz -= 162475000 * ppm * 1e-6;
    const QByteArray input = IqBand::make(rate, carriers, f, IqBand::noiseSigma(0.1, cnrDb, rate), ppm);
    TestEnv env;
    const QString log = env.path(QStringLiteral("alerts.csv"));
    QStringList args{"--iq", "-", "--iq-format", iqFormatName(f), "--rate", QString::number(rate, 'f', 0), "--center",
                     "162.475M", "--json", "--csv", log};
    if (ppm != 0)
        args << "--ppm" << QString::number(ppm);
    const Run r = runCli(args, input);
    QVERIFY2(r.exitCode == 0, r.err.constData());

    QHash<QByteArray, QJsonObject> got;
    int ends = 0;
    for (const QByteArray &line : r.out.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QStringLiteral("type")).toString() == QLatin1String("end")) {
            ++ends;
            continue;
        }
        const QByteArray header = o.value(QStringLiteral("header")).toString().toLatin1();
        QVERIFY2(!got.contains(header), line.constData());   // each message once
        got.insert(header, o);
    }
    QCOMPARE(got.size(), sentMessages().size());
    QCOMPARE(ends, sentMessages().size());
    for (const Sent &s : sentMessages()) {
        QVERIFY2(got.contains(s.header), r.out.constData());
        const QJsonObject o = got.value(s.header);
        QCOMPARE(qint64(o.value(QStringLiteral("frequencyHz")).toDouble()), s.hz);
        QCOMPARE(o.value(QStringLiteral("transmitters")).toArray(), QJsonArray{s.transmitter});
        QCOMPARE(o.value(QStringLiteral("source")).toString(),
                 QStringLiteral("monitor:iq:") + WeatherBand::channelName(s.hz));
    }

    // One log row per message, by channel, and each message's audio saved.
    AlertLogContent content;
    QString why;
    QVERIFY2(ReadAlertRecord(log, &content, &why, false), qPrintable(why));
    QCOMPARE(content.entries.size(), sentMessages().size());
    QStringList receivers;
    for (const AlertLogEntry &e : std::as_const(content.entries))
        receivers << e.receiver;
    receivers.sort();
    QCOMPARE(receivers, (QStringList{"monitor:iq:162.400", "monitor:iq:162.425", "monitor:iq:162.550"}));
    // The database keeps each row's channel and the transmitter named for it.
    {
        AlertStore store;
        QVERIFY2(store.open(AlertStore::PathForLog(log), false, &why), qPrintable(why));
        QMap<qint64, QString> stored;
        QVERIFY(store.forEachAlert(AlertQuery(), [&](const StoredAlert &a) {
            stored.insert(a.frequencyHz, a.transmitter);
            return true;
        }, &why));
        for (const Sent &s : sentMessages())
            QCOMPARE(stored.value(s.hz), s.transmitter);
    }
    QCOMPARE(QDir(env.path(QString())).entryList({QStringLiteral("*.wav")}).size(), sentMessages().size());
}

void TestIq::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");    // what standard error must hold
    QTest::newRow("no rate") << QStringList{"--iq", "-", "--center", "162.475M"} << 2 << "--iq needs --rate";
    QTest::newRow("no centre") << QStringList{"--iq", "-", "--rate", "240000"} << 2 << "--iq needs --center";
    QTest::newRow("audio rate for IQ") << QStringList{"--iq", "-", "--rate", "22050", "--center", "162.475M"} << 2
                                       << "48000 to 3200000";
    QTest::newRow("unknown format") << QStringList{"--iq", "-", "--iq-format", "cs8"} << 2 << "cu8, cs16 or cf32";
    QTest::newRow("not a channel") << QStringList{"--iq", "-", "--channels", "162.400,162.410"} << 2
                                   << "\"162.410\" is not a weather-radio channel";
    QTest::newRow("radio option without radio") << QStringList{"--raw", "--rate", "8000", "--ppm", "30"} << 2
                                                << "--ppm goes with --iq or --rtl-sdr";
    QTest::newRow("gain for a recording") << QStringList{"--iq", "-", "--rate", "240000", "--center", "162.475M", "--gain", "30"}
                                          << 2 << "--gain goes with --rtl-sdr";
    QTest::newRow("two radios") << QStringList{"--iq", "-", "--rtl-sdr"} << 2 << "choose one of --iq and --rtl-sdr";
    QTest::newRow("channel outside the band")
        << QStringList{"--iq", "-", "--rate", "48000", "--center", "162.400M", "--channels", "162.550"} << 1
        << "channel 162.550 MHz lies outside the sampled band";
    QTest::newRow("band far from the weather channels")
        << QStringList{"--iq", "-", "--rate", "240000", "--center", "100M"} << 1 << "no weather-radio channel";
    QTest::newRow("missing file") << QStringList{"--iq", "/nonexistent/band.cu8", "--rate", "240000", "--center", "162.475M"}
                                  << 1 << "cannot read";
    // No dongle is plugged into a test machine.
    if (RtlSdrInput::available()) {
        QTest::newRow("no dongle") << QStringList{"--rtl-sdr"} << 1 << "no RTL-SDR device found";
        QTest::newRow("no dongle 1") << QStringList{"--rtl-sdr", "1", "--mode", "combined"} << 1 << "no RTL-SDR device found";
    }
    QTest::newRow("dongle number not a number") << QStringList{"--rtl-sdr=first"} << 2 << "--rtl-sdr takes a device number";
}

void TestIq::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    TestEnv env;
    // The log first: an option at the end of the line is tried at the end.
    const Run r = runCli(QStringList{"--csv", env.path(QStringLiteral("alerts.csv"))} + args, QByteArray());
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(r.err).contains(error), r.err.constData());
    QVERIFY(r.out.isEmpty());
}

void TestIq::frequencies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("hz");     // 0: refused
    QTest::newRow("MHz suffix") << "162.475M" << 162475000.0;
    QTest::newRow("Hz") << "162475000" << 162475000.0;
    QTest::newRow("kHz") << "162475k" << 162475000.0;
    QTest::newRow("exponent") << "162.475e6" << 162475000.0;
    QTest::newRow("bare MHz") << "162.55" << 162550000.0;
    QTest::newRow("with Hz") << "162.475MHz" << 162475000.0;
    QTest::newRow("negative") << "-162.475M" << 0.0;
    QTest::newRow("words") << "weather" << 0.0;
    QTest::newRow("zero") << "0" << 0.0;
}

void TestIq::frequencies()
{
    QFETCH(QString, text);
    QFETCH(double, hz);
    double got = 0;
    QCOMPARE(WeatherBand::parseFrequency(text, &got), hz > 0);
    if (hz > 0)
        QCOMPARE(qint64(std::llround(got)), qint64(hz));
}

void TestIq::transmitters_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QStringList>("locations");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one county, one of its two") << "162.525" << QStringList{"039001"} << QStringList{"WXM69 Otway 162.525"};
    QTest::newRow("no transmitter on the channel") << "162.475" << QStringList{"039001"} << QStringList{};
    QTest::newRow("part of a county") << "162.550" << QStringList{"318029"} << QStringList{"KIH42 Covington 162.550"};
    QTest::newRow("two counties, one transmitter") << "162.550" << QStringList{"018029", "018115"}
                                                   << QStringList{"KIH42 Covington 162.550"};
    QTest::newRow("two counties, two transmitters")
        << "162.550" << QStringList{"002020", "018029"} << QStringList{"KEC43 Anchorage 162.550", "KIH42 Covington 162.550"};
    QTest::newRow("no such state") << "162.550" << QStringList{"099001"} << QStringList{};
    QTest::newRow("the whole country") << "162.550" << QStringList{"000000"} << QStringList{};
}

void TestIq::transmitters()
{
    QFETCH(QString, frequency);
    QFETCH(QStringList, locations);
    QFETCH(QStringList, expected);
    TransmitterFrequency lookup(buildBinDir() + QStringLiteral("/States"));
    QCOMPARE(lookup.transmitters(frequency, locations), expected);
    // The whole state holds every transmitter of the state on the channel.
    if (QTest::currentDataTag() == QByteArray("part of a county"))
        QVERIFY(lookup.transmitters(frequency, {"018000"}).contains(QStringLiteral("KIH42 Covington 162.550")));
}

void TestIq::samplesCutAnywhere_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("cu8") << int(IqFormat::Cu8);
    QTest::newRow("cs16") << int(IqFormat::Cs16);
    QTest::newRow("cf32") << int(IqFormat::Cf32);
}

void TestIq::samplesCutAnywhere()
{
    QFETCH(int, format);
    const IqFormat f = IqFormat(format);
    std::vector<std::complex<float>> iq = {{0.5f, -0.25f}, {-1.0f, 0.0f}, {0.0f, 0.75f}};
    const QByteArray bytes = IqBand::encode(iq.data(), qsizetype(iq.size()), f);
    std::vector<float> whole, pieces;
    IqSampleReader a(f), b(f);
    a.push(bytes.constData(), bytes.size(), &whole);
    // One byte at a time, and a partial sample left at the end.
    for (char c : bytes + 'x')
        b.push(&c, 1, &pieces);
    QCOMPARE(pieces, whole);
    QVERIFY(b.hasPartialSample());
    QVERIFY(!a.hasPartialSample());
    QCOMPARE(whole.size(), size_t(6));
    for (size_t i = 0; i < iq.size(); ++i) {
        QVERIFY(std::abs(whole[2 * i] - iq[i].real()) < 0.01f);
        QVERIFY(std::abs(whole[2 * i + 1] - iq[i].imag()) < 0.01f);
    }
}

// The Alert Monitor on a recorded band: every message in the grid with its
// transmitter, a meter per channel, the channels heard marked, and all of
// it reachable by a screen reader.
void TestIq::window()
{
    TestEnv env;
    const QString band = env.path(QStringLiteral("band.cs16"));
    QFile f(band);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(IqBand::make(240000, threeMessages(1500), IqFormat::Cs16, IqBand::noiseSigma(0.1, 25, 240000)));
    f.close();
    const QString log = env.path(QStringLiteral("alerts.csv"));

    frmMonitor monitor({log, buildBinDir() + QStringLiteral("/States"), {}, {}, {}, false}, env.prompter, env.clock);
    monitor.resize(1000, 620);
    monitor.show();
    auto *input = monitor.findChild<QComboBox *>(QStringLiteral("cboInput"));
    QVERIFY(input);
    input->setCurrentText(frmMonitor::IqFileInput);
    SdrPanel *sdr = monitor.sdrPanel();
    QVERIFY(sdr->isVisible());
    sdr->setFile(band, IqFormat::Cs16, 240000, QStringLiteral("162.475M"));
    sdr->setSpeed(4.0);
    QSignalSpy done(&monitor, &frmMonitor::finished);
    QMetaObject::invokeMethod(&monitor, "start");
    QVERIFY(monitor.isRunning());
    auto *grid = monitor.findChild<QTableWidget *>(QStringLiteral("grdMessages"));
    QVERIFY(grid);
    // Look at it while it runs: two messages in, the meters moving.
    QTRY_VERIFY_WITH_TIMEOUT(grid->rowCount() >= 2, 20000);
    auto *meter = monitor.findChild<QProgressBar *>(QStringLiteral("prgChannel_6"));
    QVERIFY(meter && meter->value() > 0);
    const QString grabs = qEnvironmentVariableIsSet("NX_GRAB_DIR") ? qEnvironmentVariable("NX_GRAB_DIR") : QString();
    if (!grabs.isEmpty())
        monitor.grab().save(QDir(grabs).filePath(QStringLiteral("frmMonitor-sdr.png")));
    QVERIFY(done.wait(30000));
    QCOMPARE(grid->rowCount(), sentMessages().size());
    QCOMPARE(sdr->heardChannels().size(), sentMessages().size());
    QVERIFY(HeardChannels::instance().heard(QStringLiteral("162.550")));
    QVERIFY(!HeardChannels::instance().heard(QStringLiteral("162.475")));

    const QString spoken = accessibleText(&monitor);
    for (const Sent &s : sentMessages())
        QVERIFY2(spoken.contains(s.transmitter), qPrintable(spoken));
    QVERIFY2(spoken.contains(QStringLiteral("Signal on 162.550 MHz")), qPrintable(spoken));
    QVERIFY2(spoken.contains(QStringLiteral("Heard FFW from KIH42")), qPrintable(spoken));
    QVERIFY2(spoken.contains(QStringLiteral("End of ")), qPrintable(spoken));
    if (!grabs.isEmpty())
        monitor.grab().save(QDir(grabs).filePath(QStringLiteral("frmMonitor-sdr-end.png")));

    // A file that is not there says so and does not start.
    sdr->setFile(env.path(QStringLiteral("missing.cu8")), IqFormat::Cu8, 240000, QStringLiteral("162.475M"));
    QMetaObject::invokeMethod(&monitor, "start");
    QVERIFY(!monitor.isRunning());
    QVERIFY2(accessibleText(&monitor).contains(QStringLiteral("Not started: Cannot read")), qPrintable(accessibleText(&monitor)));
}

QTEST_MAIN(TestIq)
#include "tst_iq.moc"
