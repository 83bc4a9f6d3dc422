// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

// The weather band from a software-defined radio: complex (IQ) samples of
// the band around a centre frequency, as rtl_sdr and the usual tools write
// them, turned into one FM-demodulated audio stream per weather-radio
// channel, each for a SAME decoder of its own.
//
// NOAA Weather Radio has seven channels, 162.400 to 162.550 MHz, 25 kHz
// apart: narrow-band FM with +-5 kHz peak deviation and 75 us pre-emphasis.
// One dongle at 2.4 MS/s sees them all at once.

enum class IqFormat {
    Cu8,    // unsigned 8-bit I then Q, centred on 127.5 (rtl_sdr)
    Cs16,   // signed 16-bit little-endian I then Q
    Cf32,   // 32-bit float little-endian I then Q, full scale 1.0
};

bool iqFormatFromName(const QString &name, IqFormat *format);   // "cu8", "cs16", "cf32"
QString iqFormatName(IqFormat format);
int iqSampleBytes(IqFormat format);                             // bytes of one complex sample

namespace WeatherBand {
constexpr qint64 FirstChannelHz = 162400000;
constexpr qint64 ChannelSpacingHz = 25000;
constexpr int ChannelCount = 7;
constexpr double DeviationHz = 5000;
constexpr double DeemphasisSeconds = 75e-6;

QVector<qint64> channels();                    // the seven, lowest first
bool isChannel(qint64 hz);
// "162.550" (the way the coverage listing writes a frequency).
QString channelName(qint64 hz);
// A frequency as the user types it: "162.475M", "162475000", "162.475e6",
// "162475k"; a bare number below 1000 is taken as MHz ("162.55"). False
// for anything else or a value not above 0.
bool parseFrequency(const QString &text, double *hz);
// "162.400,162.550": each a weather channel; false with the reason naming
// the first that is not.
bool parseChannelList(const QString &text, QVector<qint64> *channels, QString *why);
} // namespace WeatherBand

// Complex samples from bytes cut anywhere: a sample split between two reads
// is put together again. Samples come out as interleaved I, Q floats of
// full scale 1.0.
class IqSampleReader
{
public:
    explicit IqSampleReader(IqFormat format = IqFormat::Cu8) : m_format(format) {}
    // Appends the whole samples of `bytes` to `iq` (two floats each).
    void push(const char *bytes, qsizetype count, std::vector<float> *iq);
    bool hasPartialSample() const { return !m_carry.isEmpty(); }

private:
    IqFormat m_format;
    QByteArray m_carry;
};

// Channelises and demodulates. Each channel inside the sampled band is
// mixed to zero, filtered and decimated (after one shared decimation of the
// whole band when the input rate is high), FM-demodulated, de-emphasised
// and freed of the carrier's offset; the audio comes out at audioRate()
// through the sink, in blocks, channel by channel. Memory is the filters'
// state and one block: a stream of any length passes through.
class IqChanneliser
{
public:
    struct Options {
        double sampleRate = 2400000;
        double centreHz = 162475000;
        QVector<qint64> channels;   // empty: every weather channel in the band
        double ppm = 0;             // the tuner's frequency error, parts per million
    };
    IqChanneliser();
    ~IqChanneliser();
    IqChanneliser(const IqChanneliser &) = delete;
    IqChanneliser &operator=(const IqChanneliser &) = delete;

    // Sample rates from MinRate to MaxRate. False with a reason for a rate
    // out of range, a channel outside the sampled band, no channel in it,
    // or a build without the DSP library.
    bool setup(const Options &options, QString *why);
    static constexpr double MinRate = 48000;
    static constexpr double MaxRate = 3200000;
    static bool available();   // built with the DSP library

    QVector<qint64> channels() const { return m_channels; }
    int audioRate() const { return m_audioRate; }

    using Sink = std::function<void(int channel, const qint16 *samples, qsizetype count)>;
    void setSink(Sink sink) { m_sink = std::move(sink); }

    // Interleaved I, Q floats (IqSampleReader's output).
    void push(const float *iq, qsizetype complexCount);
    // The signal strength on each channel over the last block, in dB of full
    // scale (an empty channel reads the noise floor, about -60 or lower).
    double channelPowerDb(int channel) const;
    // The carrier's offset from the channel's frequency that the channel
    // follows, in Hz.
    double channelOffsetHz(int channel) const;

private:
    struct Dsp;
    std::unique_ptr<Dsp> m_dsp;
    QVector<qint64> m_channels;
    int m_audioRate = 0;
    Sink m_sink;
};
