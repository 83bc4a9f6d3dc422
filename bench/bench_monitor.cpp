// SPDX-License-Identifier: GPL-3.0-or-later
// The SAME monitor against noise, on the audio a weather radio gives, next
// to multimon-ng on the very same audio when it is installed. Prints, for
// each channel and decoder, the SNR at which 90 % of the headers come
// through exactly right; every header reported that was not sent; whether
// the confidence the decoder gives holds; false alarms over noise and
// synthetic speech; and the decoder's speed.
//
// The tables go to standard error as they come; standard output gets the
// summary alone, one "name: value" line per figure, for scripts/bench.sh:
//   monitor_ninety_strict, monitor_ninety_combined, monitor_ninety_multimon
//   (dB of SNR on white noise, "above 2.0 dB" or "below -9.0 dB" when the
//   point lies outside the grid), monitor_false_headers, monitor_speed.
//
//   bench_monitor [--quick] [--trials N] [--minutes M] [--channels white,radio,clipped,hum]
//                 [--from DB] [--to DB] [--step DB] [--no-multimon]
//
// SNR is the power of a tone burst over the power of white noise across the
// whole band at 22,050 samples/s (multimon-ng's fixed rate), added before
// the channel. Each message is random (event from the editor's catalogue,
// one to six locations, purge, time, sender) and complete: three headers,
// eight seconds of attention signal, three NNNN. Each has its own bit-rate
// error and tone offset: up to +-0.2 % and +-5 Hz on `white`, up to +-0.5 %
// and +-20 Hz through a radio.
#include "coverage/core/EventCatalog.h"
#include "monitor/core/SameDecoder.h"
#include "support/SameSignal.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <cstdio>
#include <ctime>
#include <map>
#include <random>

using namespace SameSignal;

namespace {

constexpr int Rate = 22050;
constexpr double Amplitude = 0.05;   // leaves room for noise at -9 dB without clipping

QByteArray randomHeader(std::mt19937 &rng)
{
    static const QStringList events = [] {
        QStringList codes;
        for (const EventCatalogEntry &e : EventCatalog().rows)
            codes << e.EventCode;
        return codes;
    }();
    static const char *const orgs[] = {"WXR", "EAS", "CIV", "PEP"};
    static const char *const senders[] = {"KCLE/NWS", "WXL58   ", "KXYZ/FM ", "NOAA0001"};
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    QByteArray h = "ZCZC-";
    h += orgs[pick(4)];
    h += '-';
    h += events.at(pick(int(events.size()))).toLatin1();
    const int locations = 1 + pick(6);
    for (int i = 0; i < locations; ++i)
        h += QString::asprintf("-%d%02d%03d", pick(10), 1 + pick(56), pick(1000)).toLatin1();
    const int purges[] = {15, 30, 45, 60, 90, 120, 180, 360};
    const int purge = purges[pick(8)];
    h += QString::asprintf("+%02d%02d-%03d%02d%02d-", purge / 60, purge % 60, 1 + pick(365), pick(24), pick(60)).toLatin1();
    h += senders[pick(4)];
    h += '-';
    return h;
}

// The decoders side by side: multimon-ng, ours strict, ours combined.
constexpr int Decoders = 3;
const char *const DecoderNames[Decoders] = {"multimon-ng", "strict", "combined"};

struct Heard {
    QByteArray text;
    double confidence = 1.0;
};

struct Tally {
    int right = 0;
    int wrong = 0;   // reported headers that were not sent
};

// Headers multimon-ng prints for a raw S16LE file.
QList<Heard> runMultimon(const QString &rawFile)
{
    QProcess p;
    p.start(QStringLiteral("multimon-ng"), {QStringLiteral("-q"), QStringLiteral("-a"), QStringLiteral("EAS"),
                                             QStringLiteral("-t"), QStringLiteral("raw"), rawFile});
    p.waitForFinished(120000);
    QList<Heard> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("EAS: ZCZC"))
            out.append({line.mid(5).trimmed(), 1.0});
    return out;
}

// CPU time of this thread: the speed per core, whatever else the machine
// is doing.
qint64 threadNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QList<Heard> runOurs(const QVector<qint16> &s, SameMode mode, qint64 *ns)
{
    const qint64 start = threadNs();
    SameDecoder d(Rate, mode);
    d.feed(s.constData(), s.size());
    d.finish();
    const QList<SameReport> reports = d.takeReports();
    *ns += threadNs() - start;
    QList<Heard> out;
    for (const SameReport &r : reports)
        if (r.kind == SameReport::Header)
            out.append({r.header.text, r.confidence});
    return out;
}

// Every header reported, with its confidence and whether it was sent: what
// the calibration check reads.
struct Reported {
    double confidence;
    bool right;
};

void count(Tally &t, QVector<Reported> &log, const QList<Heard> &heard, const QByteArray &sent)
{
    bool right = false;
    for (const Heard &h : heard) {
        log.append({h.confidence, h.text == sent});
        if (h.text == sent)
            right = true;
        else
            ++t.wrong;
    }
    t.right += right;
}

// Where the success rate first falls below 90 % going down in SNR,
// interpolated between the two grid points around it.
double ninetyPercentPoint(const QVector<double> &snr, const QVector<double> &rate)
{
    if (rate.isEmpty())
        return std::nan("");
    for (int i = 0; i < snr.size(); ++i) {
        if (rate[i] < 0.9) {
            if (i == 0)
                return snr[0];
            const double f = (rate[i - 1] - 0.9) / (rate[i - 1] - rate[i]);
            return snr[i - 1] + f * (snr[i] - snr[i - 1]);
        }
    }
    return snr.last();
}

QVector<float> speech(const QString &dir)
{
    // espeak-ng writes 22,050 samples/s mono: the monitor's bench rate.
    const QString wav = dir + QStringLiteral("/speech.wav");
    QProcess p;
    p.start(QStringLiteral("espeak-ng"),
            {QStringLiteral("-w"), wav, QStringLiteral(
                 "The National Weather Service in Cleveland has issued a severe thunderstorm warning for Wood county. "
                 "At three fifteen PM, a severe thunderstorm was located near Bowling Green, moving east at thirty "
                 "miles per hour. Hazard: sixty mile per hour wind gusts and quarter size hail. This is a test of the "
                 "emergency alert system. Zulu Charlie Zulu Charlie. November November November November.")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    QFile f(wav);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    SameAudio::WavInfo info;
    if (!SameAudio::parseWav(f.readAll(), &info) || info.bitsPerSample != 16 || info.sampleRate != Rate)
        return {};
    QVector<float> out(info.data.size() / 2);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = qFromLittleEndian<qint16>(info.data.constData() + 2 * i) / 32768.0f;
    return out;
}

void writeRaw(const QString &file, const QVector<qint16> &pcm, bool append)
{
    QFile f(file);
    if (f.open(append ? QIODevice::Append : QIODevice::WriteOnly))
        f.write(reinterpret_cast<const char *>(pcm.constData()), pcm.size() * 2);
}

// Confidence bands of the calibration check.
const double Bands[] = {0.0, 0.5, 0.9, 0.99, 0.999, 0.9999, 1.0000001};
constexpr int BandCount = 6;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QLatin1String("--quick"));
    int trials = quick ? 30 : 100;
    double minutes = quick ? 5 : 60;
    double from = 2.0, to = -9.0, step = quick ? 1.0 : 0.5;
    QList<Channel> channels = {Channel::White, Channel::Radio, Channel::Clipped, Channel::Hum};
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--trials"))
            trials = args[i + 1].toInt();
        if (args[i] == QLatin1String("--minutes"))
            minutes = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--from"))
            from = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--to"))
            to = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--step"))
            step = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--channels")) {
            channels.clear();
            for (const QString &name : args[i + 1].split(QLatin1Char(',')))
                for (Channel c : {Channel::White, Channel::Radio, Channel::Clipped, Channel::Hum})
                    if (name == QLatin1String(channelName(c)))
                        channels.append(c);
        }
    }
    if (channels.isEmpty() || step <= 0 || trials < 0) {
        std::fprintf(stderr, "bench_monitor: --channels names none of white, radio, clipped, hum, or --step or --trials is not positive\n");
        return 2;
    }
    QTextStream out(stderr);
    QTemporaryDir tmp;
    const bool haveMultimon = !args.contains(QLatin1String("--no-multimon"))
                              && !QStandardPaths::findExecutable(QStringLiteral("multimon-ng")).isEmpty();
    if (!haveMultimon)
        out << "multimon-ng is not run: its column stays empty\n";
    const QString rawFile = tmp.path() + QStringLiteral("/in.raw");

    QVector<double> grid;
    for (double s = from; s >= to - 1e-9; s -= step)
        grid.append(s);
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> u(-1.0, 1.0);

    struct Figures {
        double ninety[Decoders] = {};
        int wrong[Decoders] = {};
        int falseHeaders[Decoders] = {};
        double speed[Decoders] = {};   // times real time; 0 for multimon-ng
    };
    std::map<Channel, Figures> figures;
    QVector<Reported> calibration[Decoders];
    // Each decoder's share of exact headers at each SNR, on the first channel
    // (white noise unless --channels says otherwise), for the summary.
    QVector<double> summaryRates[Decoders];

    for (Channel channel : channels) {
        Figures &fig = figures[channel];
        const bool radio = channel != Channel::White;
        QVector<double> rates[Decoders];
        qint64 decodeNs[Decoders] = {};
        double audioSeconds = 0;
        out << "\nChannel " << channelName(channel) << ": headers exactly right, of " << trials << "\n"
            << "SNR dB   multimon-ng  strict  combined\n";
        for (double snr : trials > 0 ? grid : QVector<double>()) {
            Tally t[Decoders];
            for (int k = 0; k < trials; ++k) {
                Transmitter tx;
                tx.rate = Rate;
                tx.amplitude = Amplitude;
                tx.baudError = (radio ? 0.005 : 0.002) * u(rng);
                tx.toneOffsetHz = (radio ? 20.0 : 5.0) * u(rng);
                const QByteArray header = randomHeader(rng);
                QVector<float> s;
                appendSilence(s, tx, 0.5 + 0.5 * (u(rng) + 1.0));
                appendMessage(s, tx, header, 8.0);
                addNoise(s, Amplitude * Amplitude / 2.0 / std::pow(10.0, snr / 10.0), rng);
                applyChannel(s, channel, Rate, Amplitude, rng);
                const QVector<qint16> pcm = toS16(s);
                audioSeconds += double(pcm.size()) / Rate;
                if (haveMultimon) {
                    writeRaw(rawFile, pcm, false);
                    count(t[0], calibration[0], runMultimon(rawFile), header);
                }
                count(t[1], calibration[1], runOurs(pcm, SameMode::Strict, &decodeNs[1]), header);
                count(t[2], calibration[2], runOurs(pcm, SameMode::Combined, &decodeNs[2]), header);
            }
            out << QString::asprintf("%6.1f   %11d  %6d  %8d\n", snr, t[0].right, t[1].right, t[2].right);
            out.flush();
            for (int d = 0; d < Decoders; ++d) {
                rates[d].append(double(t[d].right) / trials);
                fig.wrong[d] += t[d].wrong;
            }
        }
        if (channel == channels.first())
            for (int d = 0; d < Decoders; ++d)
                summaryRates[d] = rates[d];
        for (int d = 0; d < Decoders; ++d) {
            fig.ninety[d] = ninetyPercentPoint(grid, rates[d]);
            fig.speed[d] = decodeNs[d] > 0 ? audioSeconds / (decodeNs[d] / 1e9) : 0;
            if (d > 0 || haveMultimon)
                out << QString::asprintf("%s, %s: 90 %% exact at %.1f dB, %d wrong headers, %.0fx real time\n",
                                         channelName(channel), DecoderNames[d], fig.ninety[d], fig.wrong[d], fig.speed[d]);
        }
        out.flush();
    }

    // False alarms: noise with speech over it through the channel, no SAME
    // at all.
    const QVector<float> voice = QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()
                                     ? QVector<float>() : speech(tmp.path());
    const qsizetype total = qsizetype(minutes * 60 * Rate);
    const qsizetype block = qsizetype(60) * Rate;   // a minute at a time
    std::uniform_real_distribution<double> level(0.01, 0.5);
    for (Channel channel : channels) {
        Figures &fig = figures[channel];
        SameDecoder strict(Rate, SameMode::Strict), combined(Rate, SameMode::Combined);
        for (qsizetype at = 0; at < total; at += block) {
            QVector<float> s(std::min(block, total - at), 0.0f);
            if (!voice.isEmpty()) {
                const double gain = level(rng);
                for (qsizetype i = 0; i < s.size(); ++i)
                    s[i] = float(gain * voice[(at + i) % voice.size()]);
            }
            addNoise(s, Amplitude * Amplitude / 2.0 / std::pow(10.0, level(rng) * 10.0), rng);
            applyChannel(s, channel, Rate, Amplitude, rng);
            const QVector<qint16> pcm = toS16(s);
            strict.feed(pcm.constData(), pcm.size());
            combined.feed(pcm.constData(), pcm.size());
            if (haveMultimon)
                writeRaw(rawFile, pcm, at > 0);
        }
        strict.finish();
        combined.finish();
        for (const SameReport &r : strict.takeReports())
            fig.falseHeaders[1] += r.kind == SameReport::Header;
        for (const SameReport &r : combined.takeReports())
            fig.falseHeaders[2] += r.kind == SameReport::Header;
        if (haveMultimon)
            fig.falseHeaders[0] = int(runMultimon(rawFile).size());
    }

    out << QString::asprintf("\nChannel   Decoder       90 %% SNR   wrong headers   false headers, %.0f min%s   speed\n",
                             minutes, voice.isEmpty() ? " of noise" : " of noise and speech");
    for (Channel channel : channels) {
        const Figures &fig = figures[channel];
        for (int d = 0; d < Decoders; ++d) {
            if (d == 0 && !haveMultimon)
                continue;
            out << QString::asprintf("%-9s %-12s %7.1f dB  %13d   %13d   ", channelName(channel), DecoderNames[d],
                                     fig.ninety[d], fig.wrong[d], fig.falseHeaders[d]);
            out << (d == 0 ? QStringLiteral("-") : QStringLiteral("%1x real time").arg(fig.speed[d], 0, 'f', 0))
                << "\n";
        }
    }

    // A header reported at confidence c should be right at least a share c
    // of the time: per band, the share right against the mean confidence.
    out << "\nCalibration (all channels): band, headers, right, mean confidence, share right\n";
    for (int d = 1; d < Decoders; ++d) {
        for (int b = 0; b < BandCount; ++b) {
            int n = 0, right = 0;
            double sum = 0;
            for (const Reported &r : calibration[d]) {
                if (r.confidence >= Bands[b] && r.confidence < Bands[b + 1]) {
                    ++n;
                    right += r.right;
                    sum += r.confidence;
                }
            }
            if (n == 0)
                continue;
            const double mean = sum / n, share = double(right) / n;
            out << QString::asprintf("%-9s [%.4f, %.4f)  %6d  %6d  %.5f  %.5f  %s\n", DecoderNames[d], Bands[b],
                                     std::min(Bands[b + 1], 1.0), n, right, mean, share,
                                     share >= mean ? "holds" : "over-confident");
        }
    }

    // The targets, from the figures above.
    const Figures *white = figures.count(Channel::White) ? &figures[Channel::White] : nullptr;
    out << "\nFigure                                         strict     combined\n";
    if (white)
        out << QString::asprintf("white, 90 %% exact (targets -3.0 / -6.0 dB)  %6.1f dB  %6.1f dB\n",
                                 white->ninety[1], white->ninety[2]);
    for (Channel channel : channels) {
        if (channel == Channel::White || !white)
            continue;
        const Figures &fig = figures[channel];
        out << QString::asprintf("%-8s against white (target <= 1.5 dB)    %+6.1f dB  %+6.1f dB\n", channelName(channel),
                                 fig.ninety[1] - white->ninety[1], fig.ninety[2] - white->ninety[2]);
    }
    int wrong[Decoders] = {}, falseHeaders[Decoders] = {};
    double slowest[Decoders] = {1e300, 1e300, 1e300};
    for (Channel channel : channels) {
        for (int d = 1; d < Decoders; ++d) {
            wrong[d] += figures[channel].wrong[d];
            falseHeaders[d] += figures[channel].falseHeaders[d];
            slowest[d] = std::min(slowest[d], figures[channel].speed[d]);
        }
    }
    out << QString::asprintf("false headers, all channels (target 0)     %6d     %6d\n", falseHeaders[1], falseHeaders[2]);
    out << QString::asprintf("wrong headers, whole sweep (target 0)       %6d     %6d\n", wrong[1], wrong[2]);
    out << QString::asprintf("slowest speed (target >= 500x)             %6.0fx    %6.0fx\n", slowest[1], slowest[2]);
    out.flush();

    // The summary on standard output.
    QTextStream summary(stdout);
    auto point = [&](int d) -> QString {
        const QVector<double> &r = summaryRates[d];
        if (r.isEmpty())
            return QStringLiteral("not measured");
        if (r.first() < 0.9)
            return QStringLiteral("above %1 dB").arg(grid.first(), 0, 'f', 1);
        if (r.last() >= 0.9)
            return QStringLiteral("below %1 dB").arg(grid.last(), 0, 'f', 1);
        return QStringLiteral("%1 dB").arg(ninetyPercentPoint(grid, r), 0, 'f', 1);
    };
    const QString on = QStringLiteral(" (%1)").arg(QLatin1String(channelName(channels.first())));
    summary << "monitor_ninety_strict: " << point(1) << on << '\n';
    summary << "monitor_ninety_combined: " << point(2) << on << '\n';
    summary << "monitor_ninety_multimon: " << (haveMultimon ? point(0) + on : QStringLiteral("not run")) << '\n';
    summary << QStringLiteral("monitor_false_headers: %1 / %2 in %3 min%4\n")
                   .arg(falseHeaders[1]).arg(falseHeaders[2]).arg(minutes * channels.size(), 0, 'g', 3)
                   .arg(voice.isEmpty() ? QString() : QStringLiteral(" with speech"));
    summary << QStringLiteral("monitor_speed: %1x (strict), %2x (combined) at %3 samples/s\n")
                   .arg(slowest[1], 0, 'f', 0).arg(slowest[2], 0, 'f', 0).arg(Rate);
    return 0;
}
