// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Measuring helpers for the test recordings: an independent AFSK
// demodulator, Goertzel tone power, a resampler and the multimon-ng EAS
// decoder (from Debian's multimon-ng package).

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cmath>

namespace AudioCheck {

constexpr double Pi = 3.14159265358979323846;

// Unsigned 8-bit PCM to floats around zero, full scale 1.0.
inline QVector<double> toFloat(const QByteArray &u8)
{
    QVector<double> out;
    out.reserve(u8.size());
    for (char c : u8)
        out.append((uint8_t(c) - 128) / 128.0);
    return out;
}

// Power of frequency `hz` in x[from, from+len) (Goertzel), normalised so a
// full-length sine of amplitude A gives about A*A/4.
inline double goertzel(const QVector<double> &x, int from, int len, double hz, double rate = 8000)
{
    const double w = 2 * Pi * hz / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (int i = from; i < from + len && i < x.size(); ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return power / (double(len) * len);
}

inline double energy(const QVector<double> &x, int from, int len)
{
    double e = 0;
    for (int i = from; i < from + len && i < x.size(); ++i)
        e += x[i] * x[i];
    return e / len;
}

// Decodes AFSK at 520 5/6 bit/s starting at sample `start`: each bit is the
// stronger of mark and space over its window, bytes least significant bit
// first. Stops after `maxBytes` or at the end of the samples.
inline QByteArray demodulate(const QVector<double> &x, int start, int maxBytes)
{
    const double samplesPerBit = 8000.0 * 6.0 / 3125.0;
    QByteArray out;
    for (int b = 0; b < maxBytes; ++b) {
        uint8_t byte = 0;
        for (int k = 0; k < 8; ++k) {
            const long bit = long(b) * 8 + k;
            const int from = start + int(std::lround(bit * samplesPerBit));
            const int len = int(samplesPerBit);
            if (from + len > x.size())
                return out;
            const double mark = goertzel(x, from, len, 6250.0 / 3);
            const double space = goertzel(x, from, len, 1562.5);
            if (mark > space)
                byte |= uint8_t(1u << k);
        }
        out.append(char(byte));
    }
    return out;
}

// Windowed-sinc resampling (band limit 3.8 kHz) from 8000 samples/s to
// `rate`, as signed 16-bit little-endian samples.
inline QByteArray resampleS16(const QVector<double> &x, int rate = 22050)
{
    const int taps = 16;
    const double fc = 3800.0 / 8000.0;
    const qint64 count = qint64(x.size()) * rate / 8000;
    QByteArray out;
    out.reserve(count * 2);
    for (qint64 m = 0; m < count; ++m) {
        const double t = double(m) * 8000.0 / rate;
        const int i0 = int(std::floor(t));
        double acc = 0;
        for (int k = std::max(0, i0 - taps + 1); k <= std::min<int>(int(x.size()) - 1, i0 + taps); ++k) {
            const double d = t - k;
            const double s = d == 0 ? 2 * fc : std::sin(2 * Pi * fc * d) / (Pi * d);
            const double win = 0.5 + 0.5 * std::cos(Pi * d / taps);
            acc += x[k] * s * win;
        }
        const int v = int(std::lround(std::clamp(acc, -1.0, 1.0) * 32767));
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
    }
    return out;
}

inline QString multimonPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("multimon-ng"));
}

// Runs multimon-ng's EAS demodulator over signed 16-bit 22050 Hz samples and
// returns the decoded messages (the text after "EAS: ").
inline QStringList decodeEas(const QByteArray &s16)
{
    QProcess p;
    p.start(multimonPath(), {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("raw"),
                             QStringLiteral("-a"), QStringLiteral("EAS"), QStringLiteral("-")});
    if (!p.waitForStarted(10000))
        return {QStringLiteral("<multimon-ng did not start>")};
    p.write(s16);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    QStringList found;
    const QStringList lines = QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(QLatin1String("EAS: ")))
            found.append(line.mid(5).trimmed());
    return found;
}

} // namespace AudioCheck
