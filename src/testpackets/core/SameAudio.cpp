// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/core/SameAudio.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace SameAudio {

namespace {

constexpr double Pi = 3.14159265358979323846;
// Peak deviation from mid-scale in sample steps.
constexpr double Amplitude = Level * 128.0;

struct Recording {
    int id;
    int samples;       // total length, silence included
    int leadIn;        // silence before the sound
    const char *text;  // burst text, nullptr for the beep
};

// The header packets share every field but the event code and the purge
// time. The sample counts are those of the receiver maker's original test
// recordings, so a message keeps its familiar pacing; the AFSK itself is a
// little shorter and the rest is silence.
constexpr Recording kRecordings[] = {
    {RwtHeader, 14410, 320,
     "ZCZC-WXR-RWT-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0015-214-1530"},
    {FfwHeader, 14236, 240,
     "ZCZC-WXR-FFW-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0100-214-1530"},
    {SvaHeader, 14219, 224,
     "ZCZC-WXR-SVA-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0100-214-1530"},
    {ToaHeader, 14435, 336,
     "ZCZC-WXR-TOA-012099-012011-012025-000000-000000-000000-000000-000000-000000-012999+0100-214-1530"},
    {Beep, 2073, 0, nullptr},
    {EndOfMessage, 3430, 880, "NNNN"},
};

const Recording *find(int id)
{
    for (const Recording &r : kRecordings)
        if (r.id == id)
            return &r;
    return nullptr;
}

uint8_t toSample(double v)
{
    const long s = std::lround(Silence + Amplitude * v);
    return static_cast<uint8_t>(std::clamp(s, 0L, 255L));
}

void putLe16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void putLe32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

quint16 le16(const QByteArray &in, qsizetype at)
{
    return qFromLittleEndian<quint16>(in.constData() + at);
}

quint32 le32(const QByteArray &in, qsizetype at)
{
    return qFromLittleEndian<quint32>(in.constData() + at);
}

} // namespace

QList<int> recordingIds()
{
    QList<int> ids;
    for (const Recording &r : kRecordings)
        ids.append(r.id);
    return ids;
}

bool isRecording(int id)
{
    return find(id) != nullptr;
}

QByteArray burstText(int id)
{
    const Recording *r = find(id);
    return r && r->text ? QByteArray(r->text) : QByteArray();
}

int recordingLength(int id)
{
    const Recording *r = find(id);
    return r ? r->samples : 0;
}

int leadInSamples(int id)
{
    const Recording *r = find(id);
    return r ? r->leadIn : 0;
}

int afskSampleCount(int bytes)
{
    // bits * 8000 / (3125/6), rounded up, in exact integers.
    const qint64 bits = qint64(bytes) * 8;
    return int((bits * 48000 + 3124) / 3125);
}

QByteArray afskSamples(const QByteArray &text)
{
    QByteArray bytes(PreambleBytes, char(PreambleByte));
    bytes += text;
    const qint64 bitCount = qint64(bytes.size()) * 8;
    const int count = afskSampleCount(int(bytes.size()));
    auto toneOf = [&](qint64 bit) {
        bit = std::min(bit, bitCount - 1);
        const uint8_t byte = uint8_t(bytes.at(int(bit / 8)));
        return ((byte >> (bit % 8)) & 1) ? MarkHz : SpaceHz;   // least significant bit first
    };

    QByteArray out;
    out.reserve(count);
    double phase = 0.0;
    for (int n = 0; n < count; ++n) {
        out.append(char(toSample(std::sin(phase))));
        // Advance the phase by the integral of the frequency over this
        // sample period. A bit boundary falls between samples (15.36
        // samples per bit), so the period is split there: the tone changes
        // at the exact bit time rather than at the next sample, which keeps
        // the bit clock free of jitter. The phase never jumps, so the
        // signal stays continuous across bits.
        const qint64 bit = qint64(n) * 3125 / 48000;       // bit under sample n
        const double t0 = double(n) / SampleRate;
        const double t1 = double(n + 1) / SampleRate;
        const double boundary = double(bit + 1) / BitRate;
        if (boundary < t1)
            phase += 2.0 * Pi * (toneOf(bit) * (boundary - t0) + toneOf(bit + 1) * (t1 - boundary));
        else
            phase += 2.0 * Pi * toneOf(bit) * (t1 - t0);
        phase = std::fmod(phase, 2.0 * Pi);
    }
    return out;
}

QByteArray toneSamples(double hz, int count)
{
    // 2 ms raised-cosine fades: short enough to leave a steady tone, long
    // enough that the speaker does not click.
    const int fade = std::min(16, count / 2);
    QByteArray out;
    out.reserve(count);
    for (int n = 0; n < count; ++n) {
        double gain = 1.0;
        const int edge = std::min(n, count - 1 - n);
        if (edge < fade)
            gain = 0.5 - 0.5 * std::cos(Pi * (edge + 0.5) / fade);
        out.append(char(toSample(gain * std::sin(2.0 * Pi * hz * n / SampleRate))));
    }
    return out;
}

QByteArray recordingSamples(int id)
{
    const Recording *r = find(id);
    if (!r)
        return {};
    QByteArray sound = r->text ? afskSamples(QByteArray(r->text)) : toneSamples(BeepHz, r->samples);
    QByteArray out(r->leadIn, char(Silence));
    out += sound;
    if (out.size() < r->samples)
        out.append(r->samples - int(out.size()), char(Silence));
    out.truncate(r->samples);
    return out;
}

QByteArray wavFile(const QByteArray &samples, int sampleRate)
{
    QByteArray out;
    out.reserve(44 + samples.size() + 1);
    const quint32 dataSize = quint32(samples.size());
    const bool pad = dataSize % 2;   // RIFF chunks are word aligned
    out.append("RIFF");
    putLe32(out, 36 + dataSize + (pad ? 1 : 0));
    out.append("WAVE");
    out.append("fmt ");
    putLe32(out, 16);
    putLe16(out, 1);                  // PCM
    putLe16(out, 1);                  // mono
    putLe32(out, quint32(sampleRate));
    putLe32(out, quint32(sampleRate)); // bytes per second
    putLe16(out, 1);                  // block align
    putLe16(out, 8);                  // bits per sample
    out.append("data");
    putLe32(out, dataSize);
    out += samples;
    if (pad)
        out.append(char(0));
    return out;
}

QByteArray makeRecording(int id)
{
    const QByteArray samples = recordingSamples(id);
    return samples.isEmpty() ? QByteArray() : wavFile(samples);
}

QList<MessageStep> testMessage(int header, int startMs, int pauseMs)
{
    QList<MessageStep> steps{{0, startMs}};
    const auto group = [&](int id, int times) {
        for (int i = 0; i < times; ++i)
            steps << MessageStep{id, 0} << MessageStep{0, pauseMs};
    };
    group(header, MessageHeaders);
    steps << MessageStep{0, pauseMs};
    group(Beep, MessageBeeps);
    steps << MessageStep{0, pauseMs};
    group(EndOfMessage, MessageEnds);
    return steps;
}

QByteArray testMessageWav(int header, int startMs, int pauseMs)
{
    if (!burstText(header).startsWith("ZCZC-"))
        return {};
    QByteArray samples;
    for (const MessageStep &s : testMessage(header, startMs, pauseMs)) {
        if (s.id)
            samples += recordingSamples(s.id);
        else
            samples.append(qsizetype(s.pauseMs) * SampleRate / 1000, char(Silence));
    }
    return wavFile(samples);
}

qint64 WavInfo::durationMs() const
{
    const qint64 bytesPerSecond = qint64(sampleRate) * channels * (bitsPerSample / 8);
    return bytesPerSecond > 0 ? data.size() * 1000 / bytesPerSecond : 0;
}

bool parseWav(const QByteArray &file, WavInfo *info)
{
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return false;
    WavInfo w;
    bool haveFormat = false;
    bool haveData = false;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const QByteArray id = file.mid(at, 4);
        const quint32 size = le32(file, at + 4);
        const qsizetype body = at + 8;
        if (size > quint32(file.size() - body))
            return false;                       // chunk runs past the end
        if (id == "fmt ") {
            if (size < 16)
                return false;
            w.format = le16(file, body);
            w.channels = le16(file, body + 2);
            w.sampleRate = int(le32(file, body + 4));
            w.bitsPerSample = le16(file, body + 14);
            haveFormat = true;
        } else if (id == "data") {
            w.data = file.mid(body, size);
            haveData = true;
        }
        at = body + size + (size % 2);
    }
    if (!haveFormat || !haveData || w.channels < 1 || w.sampleRate < 1 || w.bitsPerSample < 8
        || w.bitsPerSample % 8 != 0)
        return false;
    if (info)
        *info = w;
    return true;
}

} // namespace SameAudio
