// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/MonitorSources.h"

#include "monitor/core/SameDecoder.h"
#include "testpackets/core/SameAudio.h"

#include "testpackets/core/SoundCard.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Checks a WAV's format; `bytes` and `isFloat` describe its samples.
bool wavFormatUsable(int format, int bits, int channels, int rate, int *bytes, bool *isFloat, QString *why)
{
    *bytes = bits / 8;
    *isFloat = format == 3 && bits == 32;
    // 0xFFFE is WAVE_FORMAT_EXTENSIBLE, which recorders use for plain PCM too.
    if (format != 1 && format != 0xFFFE && !*isFloat)
        *why = QStringLiteral("the WAV file is not PCM (format %1)").arg(format);
    else if (*bytes < 1 || *bytes > 4 || bits % 8 != 0)
        *why = QStringLiteral("the WAV file has %1-bit samples").arg(bits);
    else if (channels < 1)
        *why = QStringLiteral("the WAV file has no channels");
    else if (channels > MaxWavChannels)
        // A header claiming thousands of channels would make every frame
        // huge; no receiver recording has more than a few.
        *why = QStringLiteral("the WAV file has %1 channels; the monitor takes 1 to %2")
                   .arg(channels).arg(MaxWavChannels);
    else if (!SameDecoder::rateSupported(rate))
        *why = QStringLiteral("the WAV file has %1 samples/s; the monitor takes %2 to %3")
                   .arg(rate).arg(SameDecoder::MinRate).arg(SameDecoder::MaxRate);
    else
        return true;
    return false;
}

// Mixes `frames` frames of `channels` samples into mono 16-bit samples.
void mixFrames(const char *p, qsizetype frames, int bytes, int channels, bool isFloat, qint16 *out)
{
    const qsizetype frame = qsizetype(bytes) * channels;
    for (qsizetype f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
            const char *s = p + f * frame + qsizetype(c) * bytes;
            double v = 0;
            if (isFloat) {
                float x;
                std::memcpy(&x, s, 4);
                v = std::isfinite(x) ? std::clamp(double(x), -1.0, 1.0) : 0.0;
            } else if (bytes == 1) {
                v = (int(uint8_t(*s)) - 128) / 128.0;
            } else {
                // Little-endian signed: the top two bytes carry 16 bits.
                const int hi = int(int8_t(s[bytes - 1]));
                const int lo = int(uint8_t(s[bytes - 2]));
                v = (hi * 256 + lo) / 32768.0;
            }
            sum += v;
        }
        out[f] = qint16(std::clamp(std::lround(sum / channels * 32768.0), -32768L, 32767L));
    }
}

// Reads exactly n bytes unless the input ends first.
QByteArray readFully(QIODevice *in, qint64 n)
{
    QByteArray out;
    while (out.size() < n) {
        const QByteArray got = in->read(n - out.size());
        if (got.isEmpty())
            break;
        out += got;
    }
    return out;
}

// "yyyy-mm-dd" and "hh:mm:ss" as a broadcast-wave chunk writes them (the
// recorder's local time), or an ISO date and time.
QDateTime recordingTime(const QByteArray &date, const QByteArray &time)
{
    QByteArray d = date.trimmed(), t = time.trimmed();
    d.replace(':', '-');
    t.replace('-', ':').replace('.', ':');
    const QDateTime dt(QDate::fromString(QString::fromLatin1(d), Qt::ISODate),
                       QTime::fromString(QString::fromLatin1(t), Qt::ISODate), Qt::LocalTime);
    return dt.isValid() ? dt : QDateTime();
}

// "40 min", "4 min", "12 s": a recording's length as a person says it.
QString durationText(double seconds)
{
    if (seconds >= 120)
        return QStringLiteral("%1 min").arg(qRound64(seconds / 60));
    return QStringLiteral("%1 s").arg(qRound64(seconds));
}

} // namespace

bool readWavSamples(const QByteArray &file, QVector<qint16> *samples, int *rate, QString *error)
{
    SameAudio::WavInfo info;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!SameAudio::parseWav(file, &info))
        return fail(QStringLiteral("not a WAV file"));
    int bytes = 0;
    bool isFloat = false;
    QString why;
    if (!wavFormatUsable(info.format, info.bitsPerSample, info.channels, info.sampleRate, &bytes, &isFloat, &why))
        return fail(why);
    const qsizetype frames = info.data.size() / (qsizetype(bytes) * info.channels);
    samples->resize(frames);
    mixFrames(info.data.constData(), frames, bytes, info.channels, isFloat, samples->data());
    *rate = info.sampleRate;
    return true;
}

bool WavStream::open(QIODevice *device, QString *error)
{
    m_in = device;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QByteArray riff = readFully(m_in, 12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return fail(QStringLiteral("not a WAV file"));
    bool haveFormat = false;
    bool isFloat = false;
    // Chunks before the samples are small; a huge one is no WAV of ours.
    constexpr quint32 MaxChunk = 1 << 20;
    for (;;) {
        const QByteArray head = readFully(m_in, 8);
        if (head.size() < 8)
            return fail(QStringLiteral("not a WAV file (it has no data chunk)"));
        const QByteArray id = head.left(4);
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + 4);
        if (id == "data") {
            if (!haveFormat)
                return fail(QStringLiteral("not a WAV file (its data come before its format)"));
            m_left = size == 0 || size == 0xFFFFFFFFu ? -1 : qint64(size);
            // A recorder that was cut off leaves a size larger than the
            // file; reading stops at the end of the file either way, but the
            // user hears that the recording is shorter than it says.
            if (m_left > 0 && !m_in->isSequential()) {
                const qint64 held = std::max<qint64>(0, m_in->size() - m_in->pos());
                const double perSecond = double(m_rate) * m_bytes * m_channels;
                if (held < m_left && perSecond > 0)
                    m_note = QStringLiteral("the header claims %1, the file holds %2")
                                 .arg(durationText(m_left / perSecond), durationText(held / perSecond));
            }
            return true;
        }
        if (size > MaxChunk)
            return fail(QStringLiteral("not a WAV file (a chunk of %1 bytes before the samples)").arg(size));
        const QByteArray body = readFully(m_in, size + (size & 1));
        if (body.size() < qsizetype(size))
            return fail(QStringLiteral("not a WAV file (it ends inside a chunk)"));
        if (id == "fmt " && size >= 16) {
            m_format = qFromLittleEndian<quint16>(body.constData());
            m_channels = qFromLittleEndian<quint16>(body.constData() + 2);
            m_rate = int(qFromLittleEndian<quint32>(body.constData() + 4));
            const int bits = qFromLittleEndian<quint16>(body.constData() + 14);
            QString why;
            if (!wavFormatUsable(m_format, bits, m_channels, m_rate, &m_bytes, &isFloat, &why))
                return fail(why);
            haveFormat = true;
        } else if (id == "bext" && size >= 338) {
            // Description 256, Originator 32, Reference 32, then the date and time.
            m_recorded = recordingTime(body.mid(320, 10), body.mid(330, 8));
        } else if (id == "LIST" && body.startsWith("INFO") && !m_recorded.isValid()) {
            // Sizes in 64 bits: a sub-chunk claiming nearly 4 GiB must step
            // past the end of the list, not wrap around to where it began.
            for (qint64 at = 4; at + 8 <= body.size();) {
                const qint64 n = qFromLittleEndian<quint32>(body.constData() + at + 4);
                if (body.mid(at, 4) == "ICRD") {
                    const QByteArray v = body.mid(at + 8, n).replace('\0', ' ').trimmed();
                    if (v.size() >= 19)   // a date and a time, not only a date
                        m_recorded = recordingTime(v.left(10), v.mid(11, 8));
                }
                at += 8 + n + (n & 1);
            }
        }
    }
}

QVector<qint16> WavStream::read(qsizetype maxSamples)
{
    const bool isFloat = m_format == 3 && m_bytes == 4;
    const qsizetype frame = qsizetype(m_bytes) * m_channels;
    qint64 want = qint64(maxSamples) * frame;
    if (m_left >= 0)
        want = std::min(want, m_left);
    if (want <= 0 || !m_in)
        return {};
    const QByteArray bytes = readFully(m_in, want);
    if (m_left >= 0)
        m_left -= bytes.size();
    const qsizetype frames = bytes.size() / frame;
    if (bytes.size() % frame != 0)
        m_partial = true;
    QVector<qint16> out(frames);
    mixFrames(bytes.constData(), frames, m_bytes, m_channels, isFloat, out.data());
    return out;
}

QVector<qint16> RawSampleReader::push(const QByteArray &bytes)
{
    QByteArray all = m_carry + bytes;
    const qsizetype n = all.size() / 2;
    QVector<qint16> out(n);
    for (qsizetype i = 0; i < n; ++i)
        out[i] = qFromLittleEndian<qint16>(all.constData() + 2 * i);
    m_carry = all.mid(n * 2);
    return out;
}

// The sound card is the build's own (SoundCard.h): Qt Multimedia on Linux,
// the Windows wave API on Windows.
QStringList audioInputNames()
{
    return SoundCard::inputNames();
}

AudioInput::AudioInput(QObject *parent)
    : QObject(parent)
    , m_input(SoundInput::create())
{
    connect(m_input.get(), &SoundInput::data, this, [this](const QByteArray &bytes) {
        const QVector<qint16> block = m_reader.push(bytes);
        if (!block.isEmpty())
            emit samples(block);
    });
}

AudioInput::~AudioInput()
{
    stop();
}

bool AudioInput::start(const QString &name, QString *error)
{
    m_reader = RawSampleReader();
    return m_input->start(name, SoundCard::PreferredInputRate, error);
}

void AudioInput::stop()
{
    m_input->stop();
}

bool AudioInput::isRunning() const
{
    return m_input->isRunning();
}

int AudioInput::sampleRate() const
{
    return m_input->sampleRate();
}
