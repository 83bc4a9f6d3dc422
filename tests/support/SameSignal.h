// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SAME audio at any sample rate, for the monitor's tests and benchmark: a
// transmitter whose bit rate and tones may be off, whole messages, noise,
// and a resampler for the editor's own 8 kHz recordings.

#include "testpackets/core/SameAudio.h"

#include <QByteArray>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <random>

namespace SameSignal {

constexpr double Pi = 3.14159265358979323846;

struct Transmitter {
    int rate = 22050;
    double amplitude = 0.5;      // peak, of full scale 1.0
    double baudError = 0.0;      // relative: 0.002 is 0.2 % fast
    double toneOffsetHz = 0.0;
    double markLevel = 1.0;      // the mark tone's amplitude against the space tone's
};

// One burst: sixteen preamble bytes and the text, phase continuous.
inline void appendBurst(QVector<float> &out, const Transmitter &t, const QByteArray &text)
{
    QByteArray bytes(SameAudio::PreambleBytes, char(SameAudio::PreambleByte));
    bytes += text;
    const double bitRate = SameAudio::BitRate * (1.0 + t.baudError);
    const qint64 bits = qint64(bytes.size()) * 8;
    const qint64 count = qint64(std::ceil(bits * t.rate / bitRate));
    double phase = 0;
    for (qint64 n = 0; n < count; ++n) {
        const qint64 bit = std::min<qint64>(qint64(n * bitRate / t.rate), bits - 1);
        const bool one = (uint8_t(bytes.at(int(bit / 8))) >> (bit % 8)) & 1;
        const double hz = (one ? SameAudio::MarkHz : SameAudio::SpaceHz) + t.toneOffsetHz;
        out.append(float(t.amplitude * (one ? t.markLevel : 1.0) * std::sin(phase)));
        phase = std::fmod(phase + 2 * Pi * hz / t.rate, 2 * Pi);
    }
}

inline void appendSilence(QVector<float> &out, const Transmitter &t, double seconds)
{
    out.resize(out.size() + qsizetype(seconds * t.rate), 0.0f);
}

// The two-tone attention signal (853 and 960 Hz).
inline void appendAttention(QVector<float> &out, const Transmitter &t, double seconds)
{
    const qsizetype n = qsizetype(seconds * t.rate);
    for (qsizetype i = 0; i < n; ++i)
        out.append(float(t.amplitude * 0.5 * (std::sin(2 * Pi * 853 * i / t.rate) + std::sin(2 * Pi * 960 * i / t.rate))));
}

// A whole message: the header three times a second apart, the attention
// signal, then NNNN three times. `skipBurst` (0..2) leaves one header out.
inline void appendMessage(QVector<float> &out, const Transmitter &t, const QByteArray &header,
                          double attentionSeconds = 0.0, int skipBurst = -1, int eomBursts = 3)
{
    for (int i = 0; i < 3; ++i) {
        if (i == skipBurst) {
            QVector<float> skipped;
            appendBurst(skipped, t, header);
            appendSilence(out, t, double(skipped.size()) / t.rate);
        } else {
            appendBurst(out, t, header);
        }
        appendSilence(out, t, 1.0);
    }
    if (attentionSeconds > 0) {
        appendAttention(out, t, attentionSeconds);
        appendSilence(out, t, 1.0);
    }
    for (int i = 0; i < eomBursts; ++i) {
        appendBurst(out, t, "NNNN");
        appendSilence(out, t, 1.0);
    }
}

// Unsigned 8-bit samples (the editor's recordings) as floats.
inline QVector<float> fromU8(const QByteArray &u8)
{
    QVector<float> out;
    out.reserve(u8.size());
    for (char c : u8)
        out.append((int(uint8_t(c)) - 128) / 128.0f);
    return out;
}

// Windowed-sinc resampling, good enough to move the 8 kHz recordings to
// another rate without adding tones of its own.
inline QVector<float> resample(const QVector<float> &in, int from, int to)
{
    if (from == to)
        return in;
    const double ratio = double(to) / from;
    const double cutoff = std::min(1.0, ratio);
    const int half = 16;
    QVector<float> out(qsizetype(in.size() * ratio));
    for (qsizetype n = 0; n < out.size(); ++n) {
        const double x = n / ratio;
        const qint64 centre = qint64(std::floor(x));
        double acc = 0;
        for (qint64 k = centre - half + 1; k <= centre + half; ++k) {
            if (k < 0 || k >= in.size())
                continue;
            const double d = x - k;
            const double arg = Pi * d * cutoff;
            const double sinc = std::abs(arg) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            const double w = 0.5 + 0.5 * std::cos(Pi * d / half);
            acc += in[k] * cutoff * sinc * w;
        }
        out[n] = float(acc);
    }
    return out;
}

// White Gaussian noise over the whole band, of the given power (full scale 1).
inline void addNoise(QVector<float> &out, double power, std::mt19937 &rng)
{
    std::normal_distribution<double> g(0.0, std::sqrt(power));
    for (float &s : out)
        s += float(g(rng));
}

inline QVector<qint16> toS16(const QVector<float> &in)
{
    QVector<qint16> out(in.size());
    for (qsizetype i = 0; i < in.size(); ++i)
        out[i] = qint16(std::lround(std::clamp(in[i] * 32767.0, -32768.0, 32767.0)));
    return out;
}

// What a weather radio's audio stage does to the signal, for the monitor's
// tests and benchmark. Noise, when there is any, is added before the radio
// (it comes in with the signal), so the SNR counts as for white noise.
enum class Channel {
    White,     // the signal as sent
    Radio,     // 300-3,400 Hz band-pass and 75 us de-emphasis
    Clipped,   // Radio, then hard-limited at -6 dBFS
    Hum,       // Radio, then 60 Hz and its harmonics 20 dB below the tones
};

inline const char *channelName(Channel c)
{
    switch (c) {
    case Channel::White: return "white";
    case Channel::Radio: return "radio";
    case Channel::Clipped: return "clipped";
    case Channel::Hum: return "hum";
    }
    return "";
}

// A second-order section (direct form I).
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    // Butterworth high- or low-pass at `hz` (bilinear, pre-warped).
    static Biquad butterworth(double hz, int rate, bool highPass)
    {
        const double w = 2 * Pi * hz / rate, alpha = std::sin(w) / std::sqrt(2.0), c = std::cos(w);
        const double a0 = 1 + alpha;
        Biquad q;
        q.b0 = (highPass ? (1 + c) / 2 : (1 - c) / 2) / a0;
        q.b1 = (highPass ? -(1 + c) : 1 - c) / a0;
        q.b2 = q.b0;
        q.a1 = -2 * c / a0;
        q.a2 = (1 - alpha) / a0;
        return q;
    }
    // First-order low-pass of time constant `tau` seconds (de-emphasis).
    static Biquad deemphasis(double tau, int rate)
    {
        const double k = std::tan(1.0 / (2.0 * tau * rate));
        Biquad q;
        q.b0 = q.b1 = k / (1 + k);
        q.a1 = (k - 1) / (k + 1);
        return q;
    }
};

// `tone` is the transmitter's peak amplitude: the clipping and the hum are
// set against it.
inline void applyChannel(QVector<float> &s, Channel c, int rate, double tone, std::mt19937 &rng)
{
    if (c == Channel::White)
        return;
    Biquad hp = Biquad::butterworth(300, rate, true), lp = Biquad::butterworth(3400, rate, false);
    Biquad de = Biquad::deemphasis(75e-6, rate);
    for (float &x : s)
        x = float(de.run(lp.run(hp.run(x))));
    if (c == Channel::Clipped) {
        // The radio's audio at full volume puts the tones at full scale; its
        // limiter cuts everything beyond half of it.
        const double gain = 1.0 / tone;
        for (float &x : s)
            x = float(std::clamp(x * gain, -0.5, 0.5));
    } else if (c == Channel::Hum) {
        // 60 Hz and four harmonics, falling off as 1/n, together 20 dB
        // below the tones' power.
        std::uniform_real_distribution<double> phase(0, 2 * Pi);
        double amp[5], ph[5], sum = 0;
        for (int h = 0; h < 5; ++h) {
            amp[h] = 1.0 / (h + 1);
            sum += amp[h] * amp[h] / 2;
            ph[h] = phase(rng);
        }
        const double scale = std::sqrt(tone * tone / 2 * 0.01 / sum);
        for (qsizetype i = 0; i < s.size(); ++i)
            for (int h = 0; h < 5; ++h)
                s[i] += float(scale * amp[h] * std::sin(2 * Pi * 60 * (h + 1) * i / rate + ph[h]));
    }
}

} // namespace SameSignal

namespace SameSignal {

// A 16-bit mono WAV file of `samples`. `dataSize` overrides the size the
// data chunk states (0 and 0xFFFFFFFF are what recorders write while they
// stream); `before` is put between the format and the data chunk (a bext
// or LIST chunk).
inline QByteArray wavFile(const QVector<qint16> &samples, int rate, qint64 dataSize = -1,
                          const QByteArray &before = QByteArray())
{
    auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    const QByteArray pcm(reinterpret_cast<const char *>(samples.constData()), samples.size() * 2);
    QByteArray body = "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(quint32(rate)) + le32(quint32(rate) * 2)
        + le16(2) + le16(16) + before + "data" + le32(quint32(dataSize < 0 ? pcm.size() : dataSize)) + pcm;
    return "RIFF" + le32(quint32(body.size())) + body;
}

// A broadcast-wave chunk stating when the recording began (the recorder's
// local date "yyyy-mm-dd" and time "hh:mm:ss").
inline QByteArray bextChunk(const QByteArray &date, const QByteArray &time)
{
    QByteArray b(602, '\0');
    b.replace(320, 10, date.left(10));
    b.replace(330, 8, time.left(8));
    const quint32 n = quint32(b.size());
    return "bext" + QByteArray(reinterpret_cast<const char *>(&n), 4) + b;
}

// Messages one after another, with a second of silence between them.
inline QVector<qint16> messages(const QList<QByteArray> &headers, int rate = 11025)
{
    Transmitter t;
    t.rate = rate;
    QVector<float> out;
    appendSilence(out, t, 0.5);
    for (const QByteArray &h : headers) {
        appendMessage(out, t, h);
        appendSilence(out, t, 1.0);
    }
    return toS16(out);
}

} // namespace SameSignal
