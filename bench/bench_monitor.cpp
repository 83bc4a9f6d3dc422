// SPDX-License-Identifier: GPL-3.0-or-later
// The SAME monitor against noise, next to multimon-ng on the very same
// audio. Prints, for each decoder, the SNR at which 90 % of the headers come
// through exactly right; every header reported that was not sent; false
// alarms over noise and synthetic speech; and the decoder's speed.
//
//   bench_monitor [--quick] [--trials N] [--minutes M]
//
// SNR is the power of a tone burst over the power of white noise across the
// whole band at 22,050 samples/s (multimon-ng's fixed rate). Each message is
// random (event, one to six locations, purge, time, sender) and complete:
// three headers, eight seconds of attention signal, three NNNN. Each has
// its own bit-rate error (up to +-0.2 %) and tone offset (up to +-5 Hz).
#include "monitor/core/SameDecoder.h"
#include "support/SameSignal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <cstdio>
#include <random>

using namespace SameSignal;

namespace {

constexpr int Rate = 22050;
constexpr double Amplitude = 0.05;   // leaves room for noise at -8 dB without clipping

QByteArray randomHeader(std::mt19937 &rng)
{
    static const char *const events[] = {"TOR", "SVR", "FFW", "RWT", "RMT", "EVI", "CEM", "WSW", "SVA", "TOA"};
    static const char *const orgs[] = {"WXR", "EAS", "CIV", "PEP"};
    static const char *const senders[] = {"KCLE/NWS", "WXL58   ", "KXYZ/FM ", "NOAA0001"};
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    QByteArray h = "ZCZC-";
    h += orgs[pick(4)];
    h += '-';
    h += events[pick(10)];
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

struct Tally {
    int right = 0;
    int wrong = 0;   // reported headers that were not sent
};

// Headers multimon-ng prints for a raw S16LE file.
QList<QByteArray> runMultimon(const QString &rawFile)
{
    QProcess p;
    p.start(QStringLiteral("multimon-ng"), {QStringLiteral("-q"), QStringLiteral("-a"), QStringLiteral("EAS"),
                                             QStringLiteral("-t"), QStringLiteral("raw"), rawFile});
    p.waitForFinished(120000);
    QList<QByteArray> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("EAS: ZCZC"))
            out.append(line.mid(5).trimmed());
    return out;
}

QList<QByteArray> runOurs(const QVector<qint16> &s, SameMode mode)
{
    SameDecoder d(Rate, mode);
    d.feed(s.constData(), s.size());
    d.finish();
    QList<QByteArray> out;
    for (const SameReport &r : d.takeReports())
        if (r.kind == SameReport::Header)
            out.append(r.header.text);
    return out;
}

void count(Tally &t, const QList<QByteArray> &heard, const QByteArray &sent)
{
    bool right = false;
    for (const QByteArray &h : heard) {
        if (h == sent)
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QLatin1String("--quick"));
    int trials = quick ? 30 : 100;
    double minutes = quick ? 5 : 60;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--trials"))
            trials = args[i + 1].toInt();
        if (args[i] == QLatin1String("--minutes"))
            minutes = args[i + 1].toDouble();
    }
    QTextStream out(stdout);
    QTemporaryDir tmp;
    const bool haveMultimon = !QStandardPaths::findExecutable(QStringLiteral("multimon-ng")).isEmpty();
    if (!haveMultimon)
        out << "multimon-ng is not installed: its column stays empty\n";
    const QString rawFile = tmp.path() + QStringLiteral("/in.raw");

    QVector<double> grid;
    for (double s = 4.0; s >= -7.01; s -= quick ? 1.0 : 0.5)
        grid.append(s);
    QVector<double> rates[3];
    Tally totals[3];
    const char *const names[3] = {"multimon-ng", "ours, strict", "ours, combined"};
    std::mt19937 rng(20261208);
    out << "SNR dB   multimon-ng  strict  combined   (headers exactly right, of " << trials << ")\n";
    for (double snr : grid) {
        Tally t[3];
        for (int k = 0; k < trials; ++k) {
            std::uniform_real_distribution<double> u(-1.0, 1.0);
            Transmitter tx;
            tx.rate = Rate;
            tx.amplitude = Amplitude;
            tx.baudError = 0.002 * u(rng);
            tx.toneOffsetHz = 5.0 * u(rng);
            const QByteArray header = randomHeader(rng);
            QVector<float> s;
            appendSilence(s, tx, 0.5 + 0.5 * (u(rng) + 1.0));
            appendMessage(s, tx, header, 8.0);
            addNoise(s, Amplitude * Amplitude / 2.0 / std::pow(10.0, snr / 10.0), rng);
            const QVector<qint16> pcm = toS16(s);
            if (haveMultimon) {
                QFile f(rawFile);
                if (f.open(QIODevice::WriteOnly)) {
                    f.write(reinterpret_cast<const char *>(pcm.constData()), pcm.size() * 2);
                    f.close();
                    count(t[0], runMultimon(rawFile), header);
                }
            }
            count(t[1], runOurs(pcm, SameMode::Strict), header);
            count(t[2], runOurs(pcm, SameMode::Combined), header);
        }
        out << QString::asprintf("%6.1f   %11d  %6d  %8d\n", snr, t[0].right, t[1].right, t[2].right);
        out.flush();
        for (int d = 0; d < 3; ++d) {
            rates[d].append(double(t[d].right) / trials);
            totals[d].wrong += t[d].wrong;
        }
    }

    out << "\nDecoder           90 % SNR   headers reported that were not sent\n";
    for (int d = 0; d < 3; ++d) {
        if (d == 0 && !haveMultimon)
            continue;
        out << QString::asprintf("%-16s %7.1f dB   %d\n", names[d], ninetyPercentPoint(grid, rates[d]), totals[d].wrong);
    }

    // False alarms: noise with speech over it, no SAME at all.
    const QVector<float> voice = QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()
                                     ? QVector<float>() : speech(tmp.path());
    const qsizetype total = qsizetype(minutes * 60 * Rate);
    Tally alarms[3];
    QElapsedTimer timer;
    qint64 decodeNs[2] = {0, 0};
    const qsizetype block = qsizetype(60) * Rate;   // a minute at a time
    SameDecoder strict(Rate, SameMode::Strict), combined(Rate, SameMode::Combined);
    QFile raw(rawFile);
    const bool writeRaw = haveMultimon && raw.open(QIODevice::WriteOnly);
    std::uniform_real_distribution<double> level(0.01, 0.5);
    for (qsizetype at = 0; at < total; at += block) {
        QVector<float> s(std::min(block, total - at), 0.0f);
        if (!voice.isEmpty()) {
            const double gain = level(rng);
            for (qsizetype i = 0; i < s.size(); ++i)
                s[i] = float(gain * voice[(at + i) % voice.size()]);
        }
        addNoise(s, Amplitude * Amplitude / 2.0 / std::pow(10.0, level(rng) * 10.0), rng);
        const QVector<qint16> pcm = toS16(s);
        timer.start();
        strict.feed(pcm.constData(), pcm.size());
        decodeNs[0] += timer.nsecsElapsed();
        timer.start();
        combined.feed(pcm.constData(), pcm.size());
        decodeNs[1] += timer.nsecsElapsed();
        if (writeRaw)
            raw.write(reinterpret_cast<const char *>(pcm.constData()), pcm.size() * 2);
    }
    strict.finish();
    combined.finish();
    for (const SameReport &r : strict.takeReports())
        alarms[1].wrong += r.kind == SameReport::Header;
    for (const SameReport &r : combined.takeReports())
        alarms[2].wrong += r.kind == SameReport::Header;
    if (writeRaw) {
        raw.close();
        alarms[0].wrong = int(runMultimon(rawFile).size());
    }
    out << QString::asprintf("\nFalse headers over %.0f minutes of noise%s: multimon-ng %d, strict %d, combined %d\n",
                             minutes, voice.isEmpty() ? "" : " and synthetic speech", alarms[0].wrong,
                             alarms[1].wrong, alarms[2].wrong);
    const double seconds = double(total) / Rate;
    out << QString::asprintf("Speed at %d samples/s on one core: strict %.0fx real time, combined %.0fx real time\n",
                             Rate, seconds / (decodeNs[0] / 1e9), seconds / (decodeNs[1] / 1e9));
    return 0;
}
