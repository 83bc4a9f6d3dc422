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

// Each carrier is made as complex baseband at about 120 kS/s (the FM
// signal and its own small offset), interpolated to the band's rate and
// moved to its channel there by a rotating phasor: the band costs a few
// multiplications per sample and carrier, not a sine and a cosine. The
// interpolation's images lie 120 kHz away, 48 dB down.
class Generator
{
public:
    Generator(double rate, QVector<Carrier> carriers, double noiseSigma = 0, double clockPpm = 0, unsigned seed = 1)
        : m_rate(rate), m_carriers(std::move(carriers)), m_sigma(noiseSigma), m_clock(1.0 + clockPpm * 1e-6),
          m_rng(seed), m_state(size_t(m_carriers.size()))
    {
        m_up = std::max(1, int(std::lround(rate / 120000)));
        m_x ^= seed * 2654435761u;
        if (m_x == 0)
            m_x = 1;
        for (qsizetype k = 0; k < m_carriers.size(); ++k) {
            const Carrier &c = m_carriers[k];
            m_seconds = std::max(m_seconds, c.startSeconds + double(c.audio.size()) / c.audioRate);
            State &st = m_state[size_t(k)];
            st.coarseHz = std::round(c.offsetHz / 25000.0) * 25000.0;
            st.rotation = std::polar(1.0, 2 * SameSignal::Pi * st.coarseHz / (m_rate * m_clock));
            st.b = lowSample(k, 0);
        }
        if (m_sigma > 0) {
            // A table of Gaussian samples read at random places: white
            // enough for a bench, and far cheaper than drawing each one.
            std::normal_distribution<float> gauss(0.0f, float(m_sigma));
            m_noise.resize(1 << 20);
            for (float &v : m_noise)
                v = gauss(m_rng);
        }
    }

    // Samples until every carrier's audio has ended, plus half a second.
    qint64 length() const { return qint64((m_seconds + 0.5) * m_rate); }
    qint64 position() const { return m_n; }

    // The next `count` samples.
    void next(std::complex<float> *out, qsizetype count)
    {
        std::fill(out, out + count, std::complex<float>(0, 0));
        for (qsizetype k = 0; k < m_carriers.size(); ++k) {
            State &st = m_state[size_t(k)];
            const float amplitude = float(m_carriers[k].amplitude);
            for (qsizetype i = 0; i < count; ++i) {
                const qint64 n = m_n + i;
                const int phase = int(n % m_up);
                if (phase == 0) {
                    st.a = st.b;
                    st.b = lowSample(k, n / m_up + 1);
                }
                const float f = float(phase) / float(m_up);
                const std::complex<float> base = st.a + (st.b - st.a) * f;
                out[i] += amplitude * base * std::complex<float>(st.osc);
                st.osc *= st.rotation;
            }
            st.osc /= std::abs(st.osc);   // no drift in its magnitude
        }
        if (m_sigma > 0) {
            const uint32_t mask = uint32_t(m_noise.size() - 1);
            for (qsizetype i = 0; i < count; ++i) {
                m_x ^= m_x << 13;
                m_x ^= m_x >> 17;
                m_x ^= m_x << 5;
                out[i] += std::complex<float>(m_noise[m_x & mask], m_noise[(m_x >> 12) & mask]);
            }
        }
        m_n += count;
    }

private:
    struct State {
        double coarseHz = 0;              // the channel's place, moved at the band's rate
        std::complex<double> rotation{1, 0}, osc{1, 0};
        double phase = 0;                 // of the baseband FM signal
        std::complex<float> a, b;         // the baseband samples around the current one
    };

    // Baseband sample m of carrier k (its FM signal and the rest of its
    // offset), at the low rate; the phase advances one low-rate step.
    std::complex<float> lowSample(qsizetype k, qint64 m)
    {
        const Carrier &c = m_carriers[k];
        State &st = m_state[size_t(k)];
        const double lowRate = m_rate / m_up * m_clock;
        const double t = double(m) / lowRate;
        const double at = (t - c.startSeconds) * c.audioRate;
        float a = 0;
        if (at >= 0 && at < c.audio.size() - 1) {
            const qsizetype j = qsizetype(at);
            const double f = at - j;
            a = float(c.audio[j] * (1 - f) + c.audio[j + 1] * f);
        }
        const double hz = c.offsetHz - st.coarseHz + c.peakDeviationHz * a;
        const std::complex<float> v = std::polar(1.0f, float(st.phase));
        st.phase = std::fmod(st.phase + 2 * SameSignal::Pi * hz / lowRate, 2 * SameSignal::Pi);
        return v;
    }

    double m_rate;
    QVector<Carrier> m_carriers;
    double m_sigma;
    double m_clock;
    std::mt19937 m_rng;
    std::vector<State> m_state;
    std::vector<float> m_noise;
    uint32_t m_x = 2463534242u;
    int m_up = 1;
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
