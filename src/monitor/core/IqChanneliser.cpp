// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/IqChanneliser.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#ifndef NX_WITHOUT_LIQUID
// liquid-dsp takes std::complex when <complex> comes first.
#include <liquid/liquid.h>
#endif

using cfloat = std::complex<float>;

bool iqFormatFromName(const QString &name, IqFormat *format)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("cu8"))
        *format = IqFormat::Cu8;
    else if (n == QLatin1String("cs16"))
        *format = IqFormat::Cs16;
    else if (n == QLatin1String("cf32"))
        *format = IqFormat::Cf32;
    else
        return false;
    return true;
}

QString iqFormatName(IqFormat format)
{
    switch (format) {
    case IqFormat::Cu8: return QStringLiteral("cu8");
    case IqFormat::Cs16: return QStringLiteral("cs16");
    case IqFormat::Cf32: return QStringLiteral("cf32");
    }
    return QString();
}

int iqSampleBytes(IqFormat format)
{
    switch (format) {
    case IqFormat::Cu8: return 2;
    case IqFormat::Cs16: return 4;
    case IqFormat::Cf32: return 8;
    }
    return 2;
}

namespace WeatherBand {

QVector<qint64> channels()
{
    QVector<qint64> out;
    for (int i = 0; i < ChannelCount; ++i)
        out.append(FirstChannelHz + i * ChannelSpacingHz);
    return out;
}

bool isChannel(qint64 hz)
{
    return hz >= FirstChannelHz && hz <= FirstChannelHz + (ChannelCount - 1) * ChannelSpacingHz
        && (hz - FirstChannelHz) % ChannelSpacingHz == 0;
}

QString channelName(qint64 hz)
{
    return QString::number(double(hz) / 1e6, 'f', 3);
}

bool parseFrequency(const QString &text, double *hz)
{
    static const QRegularExpression re(QStringLiteral("^([0-9]+(?:\\.[0-9]*)?(?:[eE][+-]?[0-9]+)?)([kKmMgG]?)(?:[hH][zZ])?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    bool ok = false;
    double v = m.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0)
        return false;
    const QChar unit = m.captured(2).isEmpty() ? QChar() : m.captured(2).at(0).toLower();
    if (unit == QLatin1Char('k'))
        v *= 1e3;
    else if (unit == QLatin1Char('m'))
        v *= 1e6;
    else if (unit == QLatin1Char('g'))
        v *= 1e9;
    else if (v < 1000)
        v *= 1e6;   // "162.55": no one tunes a radio to 162 Hz
    if (!std::isfinite(v) || v > 1e11)
        return false;
    *hz = v;
    return true;
}

bool parseChannelList(const QString &text, QVector<qint64> *out, QString *why)
{
    out->clear();
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &p : parts) {
        double hz = 0;
        const qint64 rounded = parseFrequency(p, &hz) ? std::llround(hz) : 0;
        // Within 1 kHz of a channel is that channel: "162.55" and "162.550M" alike.
        const qint64 channel = FirstChannelHz + std::llround(double(rounded - FirstChannelHz) / ChannelSpacingHz) * ChannelSpacingHz;
        if (rounded == 0 || std::llabs(rounded - channel) > 1000 || !isChannel(channel)) {
            *why = QStringLiteral("\"%1\" is not a weather-radio channel (162.400 to 162.550 MHz, 25 kHz apart)").arg(p.trimmed());
            return false;
        }
        if (!out->contains(channel))
            out->append(channel);
    }
    if (out->isEmpty()) {
        *why = QStringLiteral("no channel given");
        return false;
    }
    std::sort(out->begin(), out->end());
    return true;
}

} // namespace WeatherBand

void IqSampleReader::push(const char *bytes, qsizetype count, std::vector<float> *iq)
{
    const int size = iqSampleBytes(m_format);
    const char *p = bytes;
    qsizetype left = count;
    auto convert = [&](const char *s) {
        switch (m_format) {
        case IqFormat::Cu8:
            iq->push_back((float(uint8_t(s[0])) - 127.5f) / 127.5f);
            iq->push_back((float(uint8_t(s[1])) - 127.5f) / 127.5f);
            break;
        case IqFormat::Cs16:
            for (int k = 0; k < 2; ++k) {
                const int v = int16_t(uint16_t(uint8_t(s[2 * k])) | uint16_t(uint8_t(s[2 * k + 1])) << 8);
                iq->push_back(float(v) / 32768.0f);
            }
            break;
        case IqFormat::Cf32:
            for (int k = 0; k < 2; ++k) {
                float v;
                std::memcpy(&v, s + 4 * k, 4);
                // A NaN or infinity would poison every filter after it for good.
                iq->push_back(std::isfinite(v) ? std::clamp(v, -16.0f, 16.0f) : 0.0f);
            }
            break;
        }
    };
    if (!m_carry.isEmpty()) {
        const qsizetype need = std::min<qsizetype>(size - m_carry.size(), left);
        m_carry.append(p, need);
        p += need;
        left -= need;
        if (m_carry.size() < size)
            return;
        convert(m_carry.constData());
        m_carry.clear();
    }
    const qsizetype whole = left / size;
    iq->reserve(iq->size() + size_t(whole) * 2);
    for (qsizetype i = 0; i < whole; ++i)
        convert(p + i * size);
    m_carry = QByteArray(p + whole * size, left - whole * size);
}

#ifndef NX_WITHOUT_LIQUID

namespace {

constexpr float StopbandDb = 60.0f;
// A channel's audio is this loud for full deviation: FM noise below the
// threshold reaches about 2.5 times that and still does not clip.
constexpr float AudioScale = 10000.0f;
// Half the width a channel's filter passes: Carson's rule for the SAME
// tones at 90 % of 5 kHz deviation, 2 (4.5 + 2.08) kHz, is 13.2 kHz. The
// filter follows the carrier (see below), so it need not leave room for a
// carrier off its channel. Every kHz of noise kept out moves the FM
// threshold down: narrowed from 9 to 6 kHz (and the stop edge from 16 to
// 9 kHz) it gained about 1 dB for headers in noise.
constexpr double ChannelPassHz = 6000;
// Below the FM threshold noise spins the carrier's phase round, and the
// discriminator's output jumps by up to half the audio rate for a sample:
// a click, which de-emphasis then spreads over the tones. No transmitter
// deviates beyond 5 kHz, so the output is clamped at 6 kHz (in units of
// full deviation); that takes most of a click's energy out and gains
// about 1 dB at the threshold.
constexpr float ClickLimit = 1.2f;
// Where the filter stops: well short of the next channel's sidebands
// (25 kHz away, 7 kHz wide).
constexpr double ChannelStopHz = 9000;
// How far the carrier may be followed from the channel's frequency.
constexpr double MaxCarrierOffsetHz = 6000;
// The discriminator's variance (in units of full deviation) above which a
// channel holds noise, not a carrier: noise alone swings across the whole
// audio band (about 1.9), a carrier with voice or tones far less.
constexpr double CarrierVariance = 1.0;

// A low-pass prototype with unit gain at 0 Hz: cut-off `fc` (of the rate),
// transition `df`.
std::vector<float> lowPass(double fc, double df)
{
    unsigned n = estimate_req_filter_len(float(std::max(df, 0.002)), StopbandDb);
    n = std::clamp(n, 16u, 1024u);
    std::vector<float> h(n);
    liquid_firdes_kaiser(n, float(fc), StopbandDb, 0.0f, h.data());
    double sum = 0;
    for (float v : h)
        sum += v;
    for (float &v : h)
        v = float(v / sum);
    return h;
}

} // namespace

struct IqChanneliser::Dsp {
    struct Channel {
        nco_crcf nco = nullptr;
        firdecim_crcf decim = nullptr;
        freqdem dem = nullptr;
        iirfilt_rrrf deemphasis = nullptr;
        iirfilt_rrrf dcBlock = nullptr;
        double baseOffset = 0;     // the channel's place in the band, Hz from the centre
        double follow = 0;         // the carrier's own offset being followed, Hz
        double residualSum = 0;    // discriminator output since the last correction
        double residualSquares = 0;
        qint64 residualCount = 0;
        double powerDb = -120;
        std::vector<cfloat> mixed, narrow;
        std::vector<float> audio;
        std::vector<qint16> pcm;
    };
    double rate = 0, midRate = 0, audioRate = 0;
    unsigned d1 = 1, d2 = 2;
    firdecim_crcf bandDecim = nullptr;
    std::vector<cfloat> pendingBand, pendingMid;
    std::vector<Channel> channels;

    ~Dsp()
    {
        if (bandDecim)
            firdecim_crcf_destroy(bandDecim);
        for (Channel &c : channels) {
            if (c.nco)
                nco_crcf_destroy(c.nco);
            if (c.decim)
                firdecim_crcf_destroy(c.decim);
            if (c.dem)
                freqdem_destroy(c.dem);
            if (c.deemphasis)
                iirfilt_rrrf_destroy(c.deemphasis);
            if (c.dcBlock)
                iirfilt_rrrf_destroy(c.dcBlock);
        }
    }

    void tune(Channel &c) const
    {
        nco_crcf_set_frequency(c.nco, float(2 * M_PI * (c.baseOffset + c.follow) / midRate));
    }
};

bool IqChanneliser::available()
{
    return true;
}

IqChanneliser::IqChanneliser() = default;
IqChanneliser::~IqChanneliser() = default;

bool IqChanneliser::setup(const Options &o, QString *why)
{
    m_dsp.reset();
    m_channels.clear();
    if (!std::isfinite(o.sampleRate) || o.sampleRate < MinRate || o.sampleRate > MaxRate) {
        *why = QStringLiteral("the sample rate is %1 samples/s; the IQ input takes %2 to %3")
                   .arg(o.sampleRate, 0, 'f', 0).arg(MinRate, 0, 'f', 0).arg(MaxRate, 0, 'f', 0);
        return false;
    }
    if (!std::isfinite(o.ppm) || std::abs(o.ppm) > 1000) {
        *why = QStringLiteral("the frequency correction is %1 ppm; it lies within -1000 to 1000").arg(o.ppm);
        return false;
    }
    // The tuner and the sampling clock run off one crystal: both are off by
    // the same parts per million.
    const double err = 1.0 + o.ppm * 1e-6;
    const double rate = o.sampleRate * err;
    const double centre = o.centreHz * err;
    const double usable = 0.5 * rate - ChannelPassHz - 1000;
    const double low = o.centreHz - 0.5 * o.sampleRate, high = o.centreHz + 0.5 * o.sampleRate;
    const QString band = QStringLiteral("%1 to %2 MHz").arg(low / 1e6, 0, 'f', 3).arg(high / 1e6, 0, 'f', 3);
    QVector<qint64> wanted = o.channels.isEmpty() ? WeatherBand::channels() : o.channels;
    QVector<qint64> inBand;
    for (qint64 hz : wanted) {
        if (std::abs(double(hz) - centre) <= usable)
            inBand.append(hz);
        else if (!o.channels.isEmpty()) {
            *why = QStringLiteral("channel %1 MHz lies outside the sampled band, %2")
                       .arg(WeatherBand::channelName(hz), band);
            return false;
        }
    }
    if (inBand.isEmpty()) {
        *why = QStringLiteral("no weather-radio channel (162.400 to 162.550 MHz) lies within the sampled band, %1").arg(band);
        return false;
    }

    // The widest offset a channel's filter must reach from the centre.
    double reach = 0;
    for (qint64 hz : inBand)
        reach = std::max(reach, std::abs(double(hz) - centre));
    reach += ChannelPassHz;

    // Two decimations: the whole band first (d1), down to a rate that still
    // holds every wanted channel, then each channel (d2) to its audio rate.
    // A whole number of audio samples per second is preferred, then the
    // cheaper first stage, then an audio rate near 24 kS/s.
    unsigned bestD1 = 1, bestD2 = 0;
    double bestScore = -1e300;
    const unsigned maxD1 = std::max(1u, unsigned(rate / (2.5 * reach)));
    for (unsigned d1 = 1; d1 <= maxD1; ++d1) {
        for (unsigned d2 = 2; d2 <= 200; ++d2) {
            const double audio = o.sampleRate / (d1 * d2);
            if (audio < 20000 || audio > 40000)
                continue;
            const bool whole = std::abs(audio - std::round(audio)) < 1e-6;
            const double score = (whole ? 1e6 : 0) + d1 * 1000.0 - std::abs(audio - 24000) / 100;
            if (score > bestScore) {
                bestScore = score;
                bestD1 = d1;
                bestD2 = d2;
            }
        }
    }
    if (bestD2 == 0) {
        *why = QStringLiteral("no audio rate fits %1 samples/s").arg(o.sampleRate, 0, 'f', 0);
        return false;
    }

    auto dsp = std::make_unique<Dsp>();
    dsp->rate = rate;
    dsp->d1 = bestD1;
    dsp->d2 = bestD2;
    dsp->midRate = rate / bestD1;
    dsp->audioRate = dsp->midRate / bestD2;
    if (bestD1 > 1) {
        // Passes every wanted channel; what would fold onto one is stopped.
        const double pass = reach, stop = dsp->midRate - reach;
        std::vector<float> h = lowPass(0.5 * (pass + stop) / rate, (stop - pass) / rate);
        dsp->bandDecim = firdecim_crcf_create(bestD1, h.data(), unsigned(h.size()));
    }
    const double stop = std::min(ChannelStopHz, dsp->audioRate - ChannelPassHz);
    const std::vector<float> channelFilter =
        lowPass(0.5 * (ChannelPassHz + stop) / dsp->midRate, (stop - ChannelPassHz) / dsp->midRate);
    // 75 us de-emphasis: one pole at 2.1 kHz.
    const float a = float(1.0 - std::exp(-1.0 / (dsp->audioRate * WeatherBand::DeemphasisSeconds)));
    for (qint64 hz : inBand) {
        Dsp::Channel c;
        c.baseOffset = double(hz) - centre;
        c.nco = nco_crcf_create(LIQUID_NCO);
        c.decim = firdecim_crcf_create(bestD2, const_cast<float *>(channelFilter.data()), unsigned(channelFilter.size()));
        c.dem = freqdem_create(float(WeatherBand::DeviationHz / dsp->audioRate));
        float b[1] = {a};
        float fa[2] = {1.0f, a - 1.0f};
        c.deemphasis = iirfilt_rrrf_create(b, 1, fa, 2);
        c.dcBlock = iirfilt_rrrf_create_dc_blocker(0.001f);
        dsp->channels.push_back(std::move(c));
        dsp->tune(dsp->channels.back());
    }
    m_dsp = std::move(dsp);
    m_channels = inBand;
    m_audioRate = int(std::lround(o.sampleRate / (bestD1 * bestD2)));
    return true;
}

void IqChanneliser::push(const float *iq, qsizetype complexCount)
{
    if (!m_dsp)
        return;
    Dsp &d = *m_dsp;
    // In slices, so that the buffers stay small whatever the caller hands in.
    constexpr qsizetype Slice = 1 << 16;
    for (qsizetype start = 0; start < complexCount; start += Slice) {
        const qsizetype n = std::min(Slice, complexCount - start);
        const cfloat *in = reinterpret_cast<const cfloat *>(iq) + start;
        if (d.bandDecim) {
            d.pendingBand.insert(d.pendingBand.end(), in, in + n);
            const unsigned outs = unsigned(d.pendingBand.size() / d.d1);
            const size_t before = d.pendingMid.size();
            d.pendingMid.resize(before + outs);
            firdecim_crcf_execute_block(d.bandDecim, d.pendingBand.data(), outs, d.pendingMid.data() + before);
            d.pendingBand.erase(d.pendingBand.begin(), d.pendingBand.begin() + qsizetype(outs) * d.d1);
        } else {
            d.pendingMid.insert(d.pendingMid.end(), in, in + n);
        }
        const unsigned outs = unsigned(d.pendingMid.size() / d.d2);
        const unsigned used = outs * d.d2;
        if (outs == 0)
            continue;
        for (size_t k = 0; k < d.channels.size(); ++k) {
            Dsp::Channel &c = d.channels[k];
            c.mixed.resize(used);
            c.narrow.resize(outs);
            c.audio.resize(outs);
            c.pcm.resize(outs);
            nco_crcf_mix_block_down(c.nco, d.pendingMid.data(), c.mixed.data(), used);
            firdecim_crcf_execute_block(c.decim, c.mixed.data(), outs, c.narrow.data());
            double power = 0;
            for (const cfloat &v : c.narrow)
                power += double(std::norm(v));
            c.powerDb = 10 * std::log10(power / outs + 1e-12);
            freqdem_demodulate_block(c.dem, c.narrow.data(), outs, c.audio.data());
            for (float v : c.audio) {
                c.residualSum += v;
                c.residualSquares += double(v) * v;
            }
            c.residualCount += outs;
            for (unsigned i = 0; i < outs; ++i) {
                float y = 0, z = 0;
                iirfilt_rrrf_execute(c.deemphasis, std::clamp(c.audio[i], -ClickLimit, ClickLimit), &y);
                iirfilt_rrrf_execute(c.dcBlock, y, &z);
                c.pcm[i] = qint16(std::clamp(std::lround(z * AudioScale), -32768L, 32767L));
            }
            // Follows the carrier: the discriminator's mean over half a
            // second is how far the carrier stands from where the channel is
            // tuned (voice and tones average out). A tuner some ppm off then
            // still lands each channel in the middle of its filter. Only a
            // carrier is followed: noise would walk the filter off towards
            // the next channel and lock onto it.
            if (c.residualCount >= qint64(d.audioRate / 2)) {
                const double mean = c.residualSum / double(c.residualCount);
                const double variance = c.residualSquares / double(c.residualCount) - mean * mean;
                if (variance < CarrierVariance) {
                    const double residualHz = mean * WeatherBand::DeviationHz;
                    c.follow = std::clamp(c.follow + 0.75 * residualHz, -MaxCarrierOffsetHz, MaxCarrierOffsetHz);
                    d.tune(c);
                }
                c.residualSum = 0;
                c.residualSquares = 0;
                c.residualCount = 0;
            }
            if (m_sink)
                m_sink(int(k), c.pcm.data(), qsizetype(outs));
        }
        d.pendingMid.erase(d.pendingMid.begin(), d.pendingMid.begin() + used);
    }
}

double IqChanneliser::channelPowerDb(int channel) const
{
    if (!m_dsp || channel < 0 || size_t(channel) >= m_dsp->channels.size())
        return -120;
    return m_dsp->channels[size_t(channel)].powerDb;
}

double IqChanneliser::channelOffsetHz(int channel) const
{
    if (!m_dsp || channel < 0 || size_t(channel) >= m_dsp->channels.size())
        return 0;
    return m_dsp->channels[size_t(channel)].follow;
}

#else

struct IqChanneliser::Dsp {};

bool IqChanneliser::available()
{
    return false;
}

IqChanneliser::IqChanneliser() = default;
IqChanneliser::~IqChanneliser() = default;

bool IqChanneliser::setup(const Options &, QString *why)
{
    *why = QStringLiteral("this build has no IQ input (it was built without liquid-dsp)");
    return false;
}

void IqChanneliser::push(const float *, qsizetype) {}
double IqChanneliser::channelPowerDb(int) const { return -120; }
double IqChanneliser::channelOffsetHz(int) const { return 0; }

#endif
