// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor on a software radio: a synthetic weather band as an RTL-SDR
// dongle gives it (cu8 at 2.4 MS/s, tuned to 162.475 MHz), seven FM channels
// carrying voice-like noise, SAME messages at random times on random
// channels, each carrier up to +-2 kHz off, the sampling clock up to +-50 ppm
// off, white noise at a carrier-to-noise ratio measured in 12.5 kHz.
//
// Ours: the monitor's channeliser and a SAME decoder per channel, all seven
// at once. The anchor, on the very same samples: what users run today, one
// channel at a time, a plain FM discriminator (mixer, resampler to 22,050
// samples/s, discriminator, 75 us de-emphasis, all liquid-dsp, as rtl_fm
// does it) followed by multimon-ng.
//
//   bench_iq [--quick | --tiny] [--no-anchor] [--trials N] [--from DB] [--to DB] [--step DB] [--minutes M] [--seed N]
//
// Standard output gets the summary alone, "name: value" lines:
//   iq_ninety_strict, iq_ninety_combined, iq_ninety_anchor (CNR in dB for 90 %
//   exact headers), iq_false_headers, iq_speed, iq_peak_memory.
// The tables go to standard error.
#include "monitor/core/IqChanneliser.h"
#include "monitor/core/SameDecoder.h"
#include "support/IqBand.h"
#include "support/TestEnv.h"

#include "ChildRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <complex>
#include <liquid/liquid.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char **environ;

namespace {

constexpr double BandRate = 2400000;
constexpr double Centre = 162475000;
constexpr int AudioRate = 22050;
constexpr double Amplitude = 0.1;   // each carrier; seven leave room in 8 bits

QByteArray randomHeader(std::mt19937 &rng)
{
    static const char *const events[] = {"TOR", "SVR", "FFW", "RWT", "RMT", "WSW", "BZW", "FLW", "SPS", "EVI"};
    static const char *const senders[] = {"KCLE/NWS", "KILN/NWS", "KIND/NWS", "KLMK/NWS"};
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    QByteArray h = "ZCZC-WXR-";
    h += events[pick(10)];
    const int locations = 1 + pick(6);
    for (int i = 0; i < locations; ++i)
        h += QString::asprintf("-0%02d%03d", 1 + pick(56), 1 + 2 * pick(100)).toLatin1();
    h += QString::asprintf("+%02d%02d-%03d%02d%02d-", pick(6), 15 * pick(4), 1 + pick(365), pick(24), pick(60)).toLatin1();
    h += senders[pick(4)];
    h += '-';
    return h;
}

// Program audio that is not SAME: noise shaped like speech (300-3,000 Hz,
// syllables four times a second, pauses), pre-emphasised, at most 0.8 of
// full deviation.
void appendVoice(QVector<float> &out, double seconds, std::mt19937 &rng)
{
    std::normal_distribution<float> g(0.0f, 1.0f);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    const qsizetype n = qsizetype(seconds * AudioRate);
    float lp = 0, hp = 0, prevIn = 0, prevOut = 0, env = 0, target = 0;
    const float aLow = 1.0f - std::exp(-2.0f * float(SameSignal::Pi) * 3000.0f / AudioRate);
    const float aHigh = std::exp(-2.0f * float(SameSignal::Pi) * 300.0f / AudioRate);
    const float k = float(75e-6 * AudioRate);
    for (qsizetype i = 0; i < n; ++i) {
        if (i % (AudioRate / 4) == 0)
            target = u(rng) < 0.2f ? 0.0f : 0.2f + 0.8f * u(rng);
        env += 0.002f * (target - env);
        lp += aLow * (g(rng) - lp);
        hp = aHigh * (hp + lp - prevIn);
        prevIn = lp;
        const float v = 0.35f * env * hp;
        const float emphasised = v + k * (v - prevOut);
        prevOut = v;
        out.append(std::clamp(emphasised, -0.8f, 0.8f));
    }
}

struct Sent {
    int channel;
    QByteArray header;
};

// One band: every channel carries voice; `messages` of them get a SAME
// message at a random time. Returns the carriers and what was sent.
QVector<IqBand::Carrier> makeBand(double seconds, int messages, std::mt19937 &rng, QList<Sent> *sent)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    QVector<int> order = {0, 1, 2, 3, 4, 5, 6};
    std::shuffle(order.begin(), order.end(), rng);
    QVector<IqBand::Carrier> carriers;
    for (int ch = 0; ch < WeatherBand::ChannelCount; ++ch) {
        IqBand::Carrier c;
        c.audioRate = AudioRate;
        c.amplitude = Amplitude;
        c.peakDeviationHz = 5000;
        c.offsetHz = double(WeatherBand::channels().at(ch)) - Centre + 2000.0 * (2 * u(rng) - 1);
        const int slot = int(order.indexOf(ch));
        if (slot < messages) {
            SameSignal::Transmitter t;
            t.rate = AudioRate;
            t.baudError = 0.002 * (2 * u(rng) - 1);
            QVector<float> same;
            const QByteArray header = randomHeader(rng);
            SameSignal::appendMessage(same, t, header);
            const double length = double(same.size()) / AudioRate;
            const double at = 0.3 + u(rng) * std::max(0.0, seconds - length - 0.6);
            appendVoice(c.audio, at, rng);
            // SAME at 90 % of full deviation, pre-emphasised like the voice.
            const QVector<float> emphasised = IqBand::preEmphasised(same, AudioRate);
            for (float v : emphasised)
                c.audio.append(0.9f * v);
            appendVoice(c.audio, seconds - at - length, rng);
            sent->append({ch, header});
        } else {
            appendVoice(c.audio, seconds, rng);
        }
        carriers.append(c);
    }
    return carriers;
}

qint64 threadNs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The anchor's front end: the band cut to 240 kS/s once (a filter any
// radio has before its channel filter; it changes nothing but the cost).
constexpr unsigned AnchorDecim = 10;
constexpr double AnchorRate = BandRate / AnchorDecim;

// The anchor's radio for one channel: what rtl_fm does.
struct AnchorChannel {
    nco_crcf nco = nullptr;
    msresamp_crcf resamp = nullptr;
    freqdem dem = nullptr;
    float deemph = 0;
    QVector<qint16> pcm;
    std::vector<std::complex<float>> mixed, narrow;
    std::vector<float> audio;

    explicit AnchorChannel(double offsetHz)
    {
        nco = nco_crcf_create(LIQUID_NCO);
        nco_crcf_set_frequency(nco, float(2 * SameSignal::Pi * offsetHz / AnchorRate));
        resamp = msresamp_crcf_create(float(AudioRate / AnchorRate), 60.0f);
        dem = freqdem_create(float(WeatherBand::DeviationHz / AudioRate));
    }
    ~AnchorChannel()
    {
        nco_crcf_destroy(nco);
        msresamp_crcf_destroy(resamp);
        freqdem_destroy(dem);
    }
    void push(const std::complex<float> *x, unsigned n)
    {
        mixed.resize(n);
        nco_crcf_mix_block_down(nco, const_cast<std::complex<float> *>(x), mixed.data(), n);
        narrow.resize(size_t(n * AudioRate / AnchorRate) + 16);
        unsigned got = 0;
        msresamp_crcf_execute(resamp, mixed.data(), n, narrow.data(), &got);
        audio.resize(got);
        freqdem_demodulate_block(dem, narrow.data(), got, audio.data());
        const float a = float(1.0 - std::exp(-1.0 / (AudioRate * WeatherBand::DeemphasisSeconds)));
        for (float v : audio) {
            deemph += a * (v - deemph);
            pcm.append(qint16(std::clamp(std::lround(deemph * 12000.0f), -32768L, 32767L)));
        }
    }
};

QSet<QByteArray> runMultimon(const QString &rawFile, const QVector<qint16> &pcm)
{
    QFile f(rawFile);
    if (f.open(QIODevice::WriteOnly))
        f.write(reinterpret_cast<const char *>(pcm.constData()), pcm.size() * 2);
    f.close();
    QProcess p;
    p.start(QStringLiteral("multimon-ng"), {QStringLiteral("-q"), QStringLiteral("-a"), QStringLiteral("EAS"),
                                             QStringLiteral("-t"), QStringLiteral("raw"), rawFile});
    p.waitForFinished(120000);
    QSet<QByteArray> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("EAS: ZCZC"))
            out.insert(line.mid(5).trimmed());
    return out;
}

struct Heard {
    QSet<QByteArray> headers[WeatherBand::ChannelCount];
};

// Runs one band through ours (strict and combined) and, when asked, the anchor.
void decodeBand(const QVector<IqBand::Carrier> &carriers, double noiseSigma, double ppm, unsigned seed, bool anchor,
                const QString &tmp, Heard heard[3], qint64 *oursNs, double *bandSeconds)
{
    IqBand::Generator gen(BandRate, carriers, noiseSigma, ppm, seed);
    IqChanneliser ours;
    IqChanneliser::Options o;
    o.sampleRate = BandRate;
    o.centreHz = Centre;
    QString why;
    ours.setup(o, &why);
    std::vector<std::unique_ptr<SameDecoder>> strict, combined;
    for (int c = 0; c < WeatherBand::ChannelCount; ++c) {
        strict.push_back(std::make_unique<SameDecoder>(ours.audioRate(), SameMode::Strict));
        combined.push_back(std::make_unique<SameDecoder>(ours.audioRate(), SameMode::Combined));
    }
    ours.setSink([&](int c, const qint16 *s, qsizetype n) {
        strict[size_t(c)]->feed(s, n);
        combined[size_t(c)]->feed(s, n);
    });
    std::vector<std::unique_ptr<AnchorChannel>> radios;
    firdecim_crcf front = nullptr;
    std::vector<std::complex<float>> cut;
    if (anchor) {
        // Passes +-90 kHz, stops what would fold onto it at 240 kS/s.
        const unsigned taps = estimate_req_filter_len(float(60000 / BandRate), 60.0f);
        std::vector<float> h(taps);
        liquid_firdes_kaiser(taps, float(120000 / BandRate), 60.0f, 0.0f, h.data());
        float sum = 0;
        for (float v : h)
            sum += v;
        for (float &v : h)
            v /= sum;
        front = firdecim_crcf_create(AnchorDecim, h.data(), taps);
    }
    if (anchor)
        for (qint64 hz : WeatherBand::channels())
            radios.push_back(std::make_unique<AnchorChannel>(double(hz) - Centre));
    IqSampleReader reader(IqFormat::Cu8);
    std::vector<std::complex<float>> block(60000);
    std::vector<float> iq;
    const qint64 total = gen.length();
    for (qint64 at = 0; at < total; at += qint64(block.size())) {
        const qsizetype n = qsizetype(std::min<qint64>(qint64(block.size()), total - at));
        gen.next(block.data(), n);
        const QByteArray cu8 = IqBand::encode(block.data(), n, IqFormat::Cu8);
        iq.clear();
        const qint64 t0 = threadNs();
        reader.push(cu8.constData(), cu8.size(), &iq);
        ours.push(iq.data(), qsizetype(iq.size() / 2));
        *oursNs += threadNs() - t0;
        if (front) {
            // Blocks of 60,000 samples: a whole number of decimations but the last.
            const unsigned outs = unsigned(iq.size() / 2 / AnchorDecim);
            cut.resize(outs);
            firdecim_crcf_execute_block(front, reinterpret_cast<std::complex<float> *>(iq.data()), outs, cut.data());
            for (auto &r : radios)
                r->push(cut.data(), outs);
        }
    }
    *bandSeconds += double(total) / BandRate;
    if (front)
        firdecim_crcf_destroy(front);
    for (int c = 0; c < WeatherBand::ChannelCount; ++c) {
        strict[size_t(c)]->finish();
        combined[size_t(c)]->finish();
        for (const SameReport &r : strict[size_t(c)]->takeReports())
            if (r.kind == SameReport::Header)
                heard[0].headers[c].insert(r.header.text);
        for (const SameReport &r : combined[size_t(c)]->takeReports())
            if (r.kind == SameReport::Header)
                heard[1].headers[c].insert(r.header.text);
        if (anchor)
            heard[2].headers[c] = runMultimon(tmp + QStringLiteral("/ch.raw"), radios[size_t(c)]->pcm);
    }
}

QString ninety(const QVector<double> &grid, const QVector<double> &rate)
{
    if (rate.isEmpty())
        return QStringLiteral("not measured");
    if (rate.first() < 0.9)
        return QStringLiteral("above %1 dB").arg(grid.first(), 0, 'f', 1);
    for (int i = 1; i < grid.size(); ++i) {
        if (rate[i] < 0.9) {
            const double f = (rate[i - 1] - 0.9) / (rate[i - 1] - rate[i]);
            return QStringLiteral("%1 dB").arg(grid[i - 1] + f * (grid[i] - grid[i - 1]), 0, 'f', 1);
        }
    }
    return QStringLiteral("below %1 dB").arg(grid.last(), 0, 'f', 1);
}

// nx4400c-cli on a recorded band: CPU seconds and peak resident memory.
bool runCli(const QString &band, const QString &log, double *cpuSeconds, double *peakMB)
{
    const ChildRun r = runChildMeasured({buildBinDir() + QStringLiteral("/nx4400c-cli"), QStringLiteral("monitor"),
                                         QStringLiteral("--iq"), band, QStringLiteral("--rate"), QStringLiteral("2400000"),
                                         QStringLiteral("--center"), QStringLiteral("162.475M"), QStringLiteral("--csv"), log},
                                        /*quietStderr*/ true);
    *cpuSeconds = r.cpuSeconds;
    *peakMB = r.peakMB;
    return r.ran && r.exitCode == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QLatin1String("--quick"));
    const bool tiny = args.contains(QLatin1String("--tiny"));
    int trials = tiny ? 7 : quick ? 21 : 49;    // messages per grid point, seven channels per band
    double from = 14, to = tiny ? 14 : 0, step = tiny ? 2 : quick ? 2 : 1;
    double minutes = tiny ? 0 : quick ? 1 : 5;  // of band without SAME, for false headers
    unsigned seed = 20261209;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--trials"))
            trials = args[i + 1].toInt();
        if (args[i] == QLatin1String("--from"))
            from = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--to"))
            to = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--step"))
            step = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--minutes"))
            minutes = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
    }
    if (!IqChanneliser::available() || trials < 1 || step <= 0) {
        std::fprintf(stderr, "bench_iq: no IQ input in this build, or --trials/--step not positive\n");
        return 2;
    }
    QTextStream out(stderr);
    QTemporaryDir tmp;
    const bool anchor = !args.contains(QLatin1String("--no-anchor")) &&
                        !QStandardPaths::findExecutable(QStringLiteral("multimon-ng")).isEmpty();
    if (!anchor)
        out << "multimon-ng is not installed or --no-anchor was given: the anchor is not run\n";

    QVector<double> grid;
    for (double c = from; c >= to - 1e-9; c -= step)
        grid.append(c);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    constexpr double BandSeconds = 14;
    QVector<double> rates[3];
    int wrong[3] = {};
    qint64 oursNs = 0;
    double bandSeconds = 0;
    const char *const names[3] = {"ours, strict", "ours, combined", "anchor (discriminator + multimon-ng)"};
    out << "CNR dB in 12.5 kHz, headers exactly right of " << trials << ": strict  combined  anchor\n";
    for (double cnr : grid) {
        int right[3] = {};
        int sentCount = 0;
        while (sentCount < trials) {
            QList<Sent> sent;
            const int messages = std::min(WeatherBand::ChannelCount, trials - sentCount);
            const QVector<IqBand::Carrier> carriers = makeBand(BandSeconds, messages, rng, &sent);
            Heard heard[3];
            decodeBand(carriers, IqBand::noiseSigma(Amplitude, cnr, BandRate), 50.0 * u(rng), rng(), anchor, tmp.path(),
                       heard, &oursNs, &bandSeconds);
            sentCount += int(sent.size());
            for (int d = 0; d < 3; ++d) {
                for (int c = 0; c < WeatherBand::ChannelCount; ++c) {
                    QByteArray expected;
                    for (const Sent &s : sent)
                        if (s.channel == c)
                            expected = s.header;
                    for (const QByteArray &h : std::as_const(heard[d].headers[c])) {
                        if (h == expected) {
                            ++right[d];
                        } else {
                            ++wrong[d];
                            out << QString::asprintf("  %s heard at %.1f dB on channel %d: %s\n    sent: %s\n", names[d], cnr,
                                                     c, h.constData(),
                                                     expected.isEmpty() ? "nothing" : expected.constData());
                        }
                    }
                }
            }
        }
        out << QString::asprintf("%6.1f   %6d  %8d  %6s\n", cnr, right[0], right[1],
                                 anchor ? qPrintable(QString::number(right[2])) : "-");
        out.flush();
        for (int d = 0; d < 3; ++d)
            rates[d].append(double(right[d]) / trials);
    }

    // False headers: bands of voice and noise alone, at CNRs across the grid.
    int falseHeaders[3] = {};
    double falseSeconds = 0;
    for (int i = 0; falseSeconds < minutes * 60; ++i) {
        QList<Sent> none;
        const QVector<IqBand::Carrier> carriers = makeBand(BandSeconds, 0, rng, &none);
        Heard heard[3];
        double seconds = 0;
        qint64 ignored = 0;
        const double cnr = grid.at(i % grid.size());
        decodeBand(carriers, IqBand::noiseSigma(Amplitude, cnr, BandRate), 50.0 * u(rng), rng(), anchor, tmp.path(),
                   heard, &ignored, &seconds);
        falseSeconds += seconds;
        for (int d = 0; d < 3; ++d)
            for (int c = 0; c < WeatherBand::ChannelCount; ++c)
                falseHeaders[d] += int(heard[d].headers[c].size());
    }

    // Speed and memory of the program itself on a recorded band.
    const QString band = tmp.filePath(QStringLiteral("band.cu8"));
    {
        QList<Sent> sent;
        const QVector<IqBand::Carrier> carriers = makeBand(tiny ? 4 : 20, 3, rng, &sent);
        IqBand::Generator gen(BandRate, carriers, IqBand::noiseSigma(Amplitude, 20, BandRate), 20, 7);
        QFile f(band);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        std::vector<std::complex<float>> block(1 << 16);
        for (qint64 at = 0; at < gen.length(); at += qint64(block.size())) {
            const qsizetype n = qsizetype(std::min<qint64>(qint64(block.size()), gen.length() - at));
            gen.next(block.data(), n);
            f.write(IqBand::encode(block.data(), n, IqFormat::Cu8));
        }
    }
    const double recorded = QFileInfo(band).size() / 2.0 / BandRate;
    double cpu = 0, peak = 0;
    const bool ran = runCli(band, tmp.filePath(QStringLiteral("alerts.csv")), &cpu, &peak);

    out << "\nDecoder                                 90 % CNR     wrong headers\n";
    for (int d = 0; d < 3; ++d)
        if (d < 2 || anchor)
            out << QString::asprintf("%-38s  %-12s %6d\n", names[d], qPrintable(ninety(grid, rates[d])), wrong[d]);
    out << QString::asprintf("false headers in %.1f min of voice and noise: strict %d, combined %d, anchor %s\n",
                             falseSeconds / 60, falseHeaders[0], falseHeaders[1],
                             anchor ? qPrintable(QString::number(falseHeaders[2])) : "-");
    out << QString::asprintf("in process, channeliser and fourteen decoders (strict and combined): %.1fx real time on one core\n",
                             bandSeconds / (oursNs / 1e9 + 1e-9));
    out.flush();

    QTextStream summary(stdout);
    summary << "iq_ninety_strict: " << ninety(grid, rates[0]) << '\n';
    summary << "iq_ninety_combined: " << ninety(grid, rates[1]) << '\n';
    summary << "iq_ninety_anchor: " << (anchor ? ninety(grid, rates[2]) : QStringLiteral("not run")) << '\n';
    summary << QStringLiteral("iq_false_headers: %1 / %2 (anchor %3) in %4 min of seven channels\n")
                   .arg(falseHeaders[0] + wrong[0]).arg(falseHeaders[1] + wrong[1])
                   .arg(anchor ? QString::number(falseHeaders[2] + wrong[2]) : QStringLiteral("not run"))
                   .arg((falseSeconds + bandSeconds) / 60, 0, 'f', 1);
    if (ran) {
        summary << QStringLiteral("iq_speed: %1x real time (nx4400c-cli, seven channels of cu8 at 2.4 MS/s, CPU time)\n")
                       .arg(recorded / std::max(cpu, 1e-3), 0, 'f', 1);
        summary << QStringLiteral("iq_peak_memory: %1 MB resident at most\n").arg(peak, 0, 'f', 1);
    } else {
        std::fprintf(stderr, "bench_iq: nx4400c-cli did not decode the recorded band\n");
        return 1;
    }
    return 0;
}
