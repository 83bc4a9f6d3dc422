// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A weather band as a software radio samples it, for the monitor's IQ tests
// and benchmark: FM carriers (+-5 kHz peak deviation, 75 us pre-emphasis)
// at offsets from the tuned centre, each carrying audio that starts at a
// time of its own, in white noise of a chosen carrier-to-noise ratio,
// sampled by a clock that may be off by some ppm. Made block by block, so a
// long band never has to be held whole; written as cu8, cs16 or cf32.

#include "monitor/core/IqChanneliser.h"
#include "SameSignal.h"

#include <QByteArray>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>

namespace IqBand {

struct Carrier {
    double offsetHz = 0;          // from the centre, the carrier's own error included
    QVector<float> audio;         // full scale 1.0; silence (a bare carrier) after it ends
    int audioRate = 22050;
    double startSeconds = 0;      // the audio begins here; a bare carrier before
    double peakDeviationHz = 4500;
    double amplitude = 0.1;       // of the complex carrier, full scale 1.0
};

// 75 us pre-emphasis, then scaled so the loudest sample reaches 1.0 (the
// transmitter's peak deviation).
inline QVector<float> preEmphasised(const QVector<float> &audio, int rate)
{
    QVector<float> out(audio.size());
    const double k = 75e-6 * rate;
    float prev = 0, peak = 1e-9f;
    for (qsizetype i = 0; i < audio.size(); ++i) {
        out[i] = float(audio[i] + k * (audio[i] - prev));
        prev = audio[i];
        peak = std::max(peak, std::abs(out[i]));
    }
    for (float &v : out)
        v /= peak;
    return out;
}

// The noise per I and Q component that gives `cnrDb` over 12.5 kHz for a
// carrier of `amplitude` at `rate` samples/s.
inline double noiseSigma(double amplitude, double cnrDb, double rate)
{
    const double cnr = std::pow(10.0, cnrDb / 10);
    return amplitude / std::sqrt(2.0 * cnr * 12500.0 / rate);
}

class Generator
{
public:
    Generator(double rate, QVector<Carrier> carriers, double noiseSigma = 0, double clockPpm = 0, unsigned seed = 1)
        : m_rate(rate), m_carriers(std::move(carriers)), m_sigma(noiseSigma), m_clock(1.0 + clockPpm * 1e-6),
          m_rng(seed), m_phase(m_carriers.size(), 0.0)
    {
        for (const Carrier &c : m_carriers)
            m_seconds = std::max(m_seconds, c.startSeconds + double(c.audio.size()) / c.audioRate);
    }

    // Samples until every carrier's audio has ended, plus half a second.
    qint64 length() const { return qint64((m_seconds + 0.5) * m_rate); }
    qint64 position() const { return m_n; }

    // The next `count` samples.
    void next(std::complex<float> *out, qsizetype count)
    {
        std::normal_distribution<float> gauss(0.0f, float(m_sigma));
        for (qsizetype i = 0; i < count; ++i) {
            // The radio's clock runs fast by the ppm: sample n is taken at n/(rate*clock).
            const double t = double(m_n + i) / (m_rate * m_clock);
            std::complex<float> sum(0, 0);
            for (qsizetype k = 0; k < m_carriers.size(); ++k) {
                const Carrier &c = m_carriers[k];
                const double at = (t - c.startSeconds) * c.audioRate;
                float a = 0;
                if (at >= 0 && at < c.audio.size() - 1) {
                    const qsizetype j = qsizetype(at);
                    const double f = at - j;
                    a = float(c.audio[j] * (1 - f) + c.audio[j + 1] * f);
                }
                const double hz = c.offsetHz + c.peakDeviationHz * a;
                m_phase[k] = std::fmod(m_phase[k] + 2 * SameSignal::Pi * hz / (m_rate * m_clock), 2 * SameSignal::Pi);
                sum += std::polar(float(c.amplitude), float(m_phase[k]));
            }
            if (m_sigma > 0)
                sum += std::complex<float>(gauss(m_rng), gauss(m_rng));
            out[i] = sum;
        }
        m_n += count;
    }

private:
    double m_rate;
    QVector<Carrier> m_carriers;
    double m_sigma;
    double m_clock;
    std::mt19937 m_rng;
    std::vector<double> m_phase;
    double m_seconds = 0;
    qint64 m_n = 0;
};

// Samples in a file format, full scale 1.0 (cu8 and cs16 clip beyond it).
inline QByteArray encode(const std::complex<float> *iq, qsizetype count, IqFormat format)
{
    QByteArray out;
    out.reserve(count * iqSampleBytes(format));
    for (qsizetype i = 0; i < count; ++i) {
        const float v[2] = {iq[i].real(), iq[i].imag()};
        for (float x : v) {
            switch (format) {
            case IqFormat::Cu8:
                out.append(char(uint8_t(std::clamp(std::lround(x * 127.5f + 127.5f), 0L, 255L))));
                break;
            case IqFormat::Cs16: {
                const qint16 s = qint16(std::clamp(std::lround(x * 32767.0f), -32768L, 32767L));
                out.append(char(s & 0xff)).append(char((s >> 8) & 0xff));
                break;
            }
            case IqFormat::Cf32: {
                char b[4];
                std::memcpy(b, &x, 4);
                out.append(b, 4);
                break;
            }
            }
        }
    }
    return out;
}

// A whole short band in one format.
inline QByteArray make(double rate, const QVector<Carrier> &carriers, IqFormat format, double noiseSigma = 0,
                       double clockPpm = 0, unsigned seed = 1)
{
    Generator g(rate, carriers, noiseSigma, clockPpm, seed);
    std::vector<std::complex<float>> block(size_t(g.length()));
    g.next(block.data(), qsizetype(block.size()));
    return encode(block.data(), qsizetype(block.size()), format);
}

} // namespace IqBand
