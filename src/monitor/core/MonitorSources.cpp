// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/MonitorSources.h"

#include "monitor/core/SameDecoder.h"
#include "testpackets/core/SameAudio.h"

#ifndef NX_WITHOUT_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>
#endif
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

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
    const int bytes = info.bitsPerSample / 8;
    const bool isFloat = info.format == 3 && info.bitsPerSample == 32;
    // 0xFFFE is WAVE_FORMAT_EXTENSIBLE, which recorders use for plain PCM too.
    if (info.format != 1 && info.format != 0xFFFE && !isFloat)
        return fail(QStringLiteral("the WAV file is not PCM (format %1)").arg(info.format));
    if (bytes < 1 || bytes > 4)
        return fail(QStringLiteral("the WAV file has %1-bit samples").arg(info.bitsPerSample));
    if (!SameDecoder::rateSupported(info.sampleRate))
        return fail(QStringLiteral("the WAV file has %1 samples/s; the monitor takes %2 to %3")
                        .arg(info.sampleRate).arg(SameDecoder::MinRate).arg(SameDecoder::MaxRate));
    const qsizetype frame = qsizetype(bytes) * info.channels;
    const qsizetype frames = info.data.size() / frame;
    samples->resize(frames);
    const char *p = info.data.constData();
    for (qsizetype f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < info.channels; ++c) {
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
        (*samples)[f] = qint16(std::clamp(std::lround(sum / info.channels * 32768.0), -32768L, 32767L));
    }
    *rate = info.sampleRate;
    return true;
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

#ifdef NX_WITHOUT_MULTIMEDIA
// A build without Qt Multimedia hears no sound card; recordings and raw
// samples are decoded all the same.
QStringList audioInputNames()
{
    return {};
}

AudioInput::AudioInput(QObject *parent) : QObject(parent) {}

AudioInput::~AudioInput() = default;

bool AudioInput::start(const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("this build has no sound input (it was made without Qt Multimedia); "
                                "decode a recording or raw samples instead");
    return false;
}

void AudioInput::stop() {}

void AudioInput::readAvailable() {}
#else
QStringList audioInputNames()
{
    QStringList names;
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        names.append(d.description());
    return names;
}

AudioInput::AudioInput(QObject *parent) : QObject(parent) {}

AudioInput::~AudioInput()
{
    stop();
}

bool AudioInput::start(const QString &name, QString *error)
{
    stop();
    QAudioDevice device;
    if (name.isEmpty() || name == QLatin1String("default")) {
        device = QMediaDevices::defaultAudioInput();
    } else {
        for (const QAudioDevice &d : QMediaDevices::audioInputs())
            if (d.description() == name || QString::fromUtf8(d.id()) == name)
                device = d;
    }
    if (device.isNull()) {
        if (error)
            *error = name.isEmpty() ? QStringLiteral("this machine has no sound input")
                                    : QStringLiteral("no sound input is called \"%1\"").arg(name);
        return false;
    }
    QAudioFormat format;
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    const int preferred = device.preferredFormat().sampleRate();
    format.setSampleRate(SameDecoder::rateSupported(preferred) ? preferred : 22050);
    if (!device.isFormatSupported(format))
        format.setSampleRate(48000);
    m_rate = format.sampleRate();
    m_source = new QAudioSource(device, format, this);
    m_io = m_source->start();
    if (!m_io) {
        if (error)
            *error = QStringLiteral("the sound input \"%1\" did not open").arg(device.description());
        stop();
        return false;
    }
    connect(m_io, &QIODevice::readyRead, this, &AudioInput::readAvailable);
    return true;
}

void AudioInput::stop()
{
    if (!m_source)
        return;
    m_source->stop();
    delete m_source;
    m_source = nullptr;
    m_io = nullptr;
}

void AudioInput::readAvailable()
{
    if (!m_io)
        return;
    const QVector<qint16> block = m_reader.push(m_io->readAll());
    if (!block.isEmpty())
        emit samples(block);
}
#endif
