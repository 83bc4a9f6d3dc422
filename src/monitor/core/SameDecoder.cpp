// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/SameDecoder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double BitRate = 3125.0 / 6.0;
constexpr double MarkHz = 4.0 * BitRate;
constexpr double SpaceHz = 3.0 * BitRate;

// The 48 bits before a burst's text: two preamble bytes and the four-letter
// start, least significant bit of the first byte first.
constexpr uint64_t syncWord(const char *start)
{
    uint64_t w = 0xABull | (0xABull << 8);
    for (int i = 0; i < 4; ++i)
        w |= uint64_t(uint8_t(start[i])) << (16 + 8 * i);
    return w;
}
constexpr uint64_t HeaderSync = syncWord("ZCZC");
constexpr uint64_t EndSync = syncWord("NNNN");
constexpr uint64_t SyncMask = (uint64_t(1) << 48) - 1;

// Bit errors allowed in the 48 sync bits. A header burst must still pass the
// header's structure and the mode's own test, so its sync may be lenient;
// NNNN carries nothing else and so must be nearly clean.
constexpr int HeaderSyncErrors = 5;
constexpr int EndSyncErrors = 3;

// Bit-clock loop gains (per bit, on a timing error normalised to -1..1).
constexpr double ClockGain = 0.04;
constexpr double ClockRateGain = 0.0008;
constexpr double MaxRateTrim = 0.006;

// The bursts of one header are a second apart; when the middle one is lost
// the third starts about a burst and two pauses after the first ended.
constexpr double GroupGapSeconds = 7.0;
// A header from combining is reported only when the chance that any of its
// bits is wrong is below this.
constexpr double CombinedMaxError = 1e-2;
// NNNN bursts closer than this belong to one end of message.
constexpr double EomHoldSeconds = 10.0;
constexpr int RecentHeaders = 10;

int popcount64(uint64_t v)
{
    int n = 0;
    while (v) {
        v &= v - 1;
        ++n;
    }
    return n;
}

// ln I0(x): the log of the modified Bessel function of order zero, which
// the likelihood of a tone heard in Gaussian noise without its phase holds.
double logBesselI0(double x)
{
    if (x < 3.75) {
        const double t = (x / 3.75) * (x / 3.75);
        return std::log(1.0 + t * (3.5156229 + t * (3.0899424 + t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813))))));
    }
    const double t = 3.75 / x;
    const double poly = 0.39894228 + t * (0.01328592 + t * (0.00225319 + t * (-0.00157565 + t * (0.00916281
                        + t * (-0.02057706 + t * (0.02635537 + t * (-0.01647633 + t * 0.00392377)))))));
    return x - 0.5 * std::log(x) + std::log(poly);
}

bool sameHeaderBytes(const QByteArray &a, const QByteArray &b)
{
    return !a.isEmpty() && a == b;
}

} // namespace

QString sameModeName(SameMode mode)
{
    return mode == SameMode::Combined ? QStringLiteral("combined") : QStringLiteral("strict");
}

bool sameModeFromName(const QString &name, SameMode *mode)
{
    if (name == QLatin1String("strict"))
        *mode = SameMode::Strict;
    else if (name == QLatin1String("combined"))
        *mode = SameMode::Combined;
    else
        return false;
    return true;
}

SameDecoder::SameDecoder(int sampleRate, SameMode mode)
    : m_rate(std::clamp(sampleRate, MinRate, MaxRate)), m_mode(mode)
{
    m_bitSamples = m_rate / BitRate;
    m_window = std::max(4, int(std::lround(m_bitSamples)));
    m_markRot = std::polar(1.0, -2.0 * Pi * MarkHz / m_rate);
    m_spaceRot = std::polar(1.0, -2.0 * Pi * SpaceHz / m_rate);
    m_markRing.assign(m_window, {});
    m_spaceRing.assign(m_window, {});
    m_nextStrobe = m_bitSamples;
}

QList<QByteArray> SameDecoder::recentHeaders() const
{
    return QList<QByteArray>(m_recentHeaders.begin(), m_recentHeaders.end());
}

void SameDecoder::feed(const float *samples, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        step(samples[i]);
}

void SameDecoder::feed(const qint16 *samples, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        step(float(samples[i]) * (1.0f / 32768.0f));
}

QList<SameReport> SameDecoder::takeReports()
{
    QList<SameReport> out;
    out.swap(m_reports);
    return out;
}

void SameDecoder::step(float x)
{
    // Mix down with both tones and keep one bit's worth of each product.
    const std::complex<double> m = double(x) * m_markPh;
    const std::complex<double> s = double(x) * m_spacePh;
    m_markPh *= m_markRot;
    m_spacePh *= m_spaceRot;
    if ((m_n & 4095) == 0) {
        m_markPh /= std::abs(m_markPh);
        m_spacePh /= std::abs(m_spacePh);
    }
    m_markSum += m - m_markRing[m_ringAt];
    m_spaceSum += s - m_spaceRing[m_ringAt];
    m_markRing[m_ringAt] = m;
    m_spaceRing[m_ringAt] = s;
    if (++m_ringAt == m_window)
        m_ringAt = 0;
    const float mark = float(std::norm(m_markSum));
    const float space = float(std::norm(m_spaceSum));

    // The strobes fall between samples: interpolate the energies there.
    const double n = double(m_n);
    if (!m_midTaken && n >= m_nextStrobe - 0.5 * m_bitSamples) {
        const float f = float(m_nextStrobe - 0.5 * m_bitSamples - (n - 1.0));
        m_mid = (m_prevMark - m_prevSpace) + f * ((mark - space) - (m_prevMark - m_prevSpace));
        m_midTaken = true;
    }
    if (n >= m_nextStrobe) {
        const float f = float(m_nextStrobe - (n - 1.0));
        onBit(m_prevMark + f * (mark - m_prevMark), m_prevSpace + f * (space - m_prevSpace), m_mid);
        m_midTaken = false;
    }
    m_prevMark = mark;
    m_prevSpace = space;
    ++m_n;
}

void SameDecoder::onBit(float mark, float space, float mid)
{
    ++m_bitCount;
    const float diff = mark - space;

    // Bit clock: half a bit before the strobe the correlator straddles two
    // bits; where they differ it reads zero when the clock is right, and
    // leans towards the later bit when the strobe is late.
    m_power += (double(mark) + space - m_power) / 16.0;
    double error = 0;
    if (m_power > 1e-12)
        error = std::clamp(double(mid) * (m_prevDiff - diff) / (m_power * m_power), -1.0, 1.0);
    m_rateTrim = std::clamp(m_rateTrim + ClockRateGain * error, -MaxRateTrim, MaxRateTrim);
    m_nextStrobe += m_bitSamples * (1.0 + m_rateTrim + ClockGain * error);
    m_prevDiff = diff;

    const bool bit = mark > space;
    m_shift = (m_shift >> 1) | (uint64_t(bit) << 47);
    m_recent[m_recentAt] = {mark, space};
    m_recentAt = (m_recentAt + 1) % 48;

    if (m_collecting) {
        Burst &b = m_burst;
        b.bits.push_back({mark, space});
        const size_t nbits = b.bits.size();
        if (nbits % 8 == 0) {
            uint8_t byte = 0;
            for (int i = 0; i < 8; ++i)
                byte |= uint8_t(b.bits[nbits - 8 + i].mark > b.bits[nbits - 8 + i].space) << i;
            b.bytes.append(char(byte));
            if (!b.hardInvalid && b.headerBytes == 0) {
                int len = 0;
                const SameParse p = parseSameHeader(b.bytes, &len);
                if (p == SameParse::Complete)
                    b.headerBytes = len;
                else if (p == SameParse::Invalid)
                    b.hardInvalid = true;
            }
            // The hard bytes hold a whole header: the burst is over. Strict
            // mode has no use for a burst past its first bad byte; combined
            // mode keeps listening for the longest header.
            if (b.headerBytes > 0 || (b.hardInvalid && m_mode == SameMode::Strict)
                || int(b.bytes.size()) >= SameMaxHeaderBytes)
                endBurst(0);
        }
    }

    const uint64_t w = m_shift & SyncMask;
    if (popcount64(w ^ HeaderSync) <= HeaderSyncErrors
        && (!m_collecting || m_burst.bits.size() >= 48 + 32)) {
        if (m_collecting)
            endBurst(48);
        startBurst();
    } else if (popcount64(w ^ EndSync) <= EndSyncErrors) {
        if (m_collecting)
            endBurst(48);
        // One NNNN ends the message: what is pending is decided now.
        closeGroup();
        const qint64 hold = qint64(EomHoldSeconds * m_rate);
        if (!m_eomSinceHeader || m_n - m_lastEom > hold) {
            m_eomSinceHeader = true;
            SameReport r;
            r.kind = SameReport::EndOfMessage;
            r.mode = m_mode;
            r.bursts = 1;
            r.startSample = std::max<qint64>(0, m_n - qint64(48 * m_bitSamples));
            r.endSample = m_n;
            m_reports.append(r);
        }
        m_lastEom = m_n;
    }

    if (!m_group.empty() && !m_collecting && m_n - m_group.back().end > qint64(GroupGapSeconds * m_rate))
        closeGroup();
}

void SameDecoder::startBurst()
{
    m_burst = Burst();
    m_collecting = true;
    Burst &b = m_burst;
    b.start = std::max<qint64>(0, m_n - qint64(48 * m_bitSamples));
    b.bytes = "ZCZC";
    // The 48 known bits give the levels: the energy of the tone that was
    // sent, and of the one that was not (noise alone).
    double tone = 0, other = 0;
    for (int i = 0; i < 48; ++i) {
        const BitEnergy &e = m_recent[(m_recentAt + i) % 48];
        const bool one = (HeaderSync >> i) & 1;
        tone += one ? e.mark : e.space;
        other += one ? e.space : e.mark;
        if (i >= 16)
            b.bits.push_back(e);
    }
    b.noise = float(std::max(other / 48.0, 1e-12));
    b.signal = float(std::max(tone / 48.0 - b.noise, 0.0));
}

void SameDecoder::endBurst(int dropBits)
{
    m_collecting = false;
    Burst b = std::move(m_burst);
    m_burst = Burst();
    if (dropBits > 0) {
        const size_t keep = b.bits.size() > size_t(dropBits) ? b.bits.size() - dropBits : 0;
        b.bits.resize(keep);
        b.bytes.truncate(qsizetype(keep / 8));
    }
    b.end = m_n;
    fillLikelihoods(b);
    addToGroup(std::move(b));
}

void SameDecoder::fillLikelihoods(Burst &b)
{
    // Log-likelihood ratio of each bit being a mark, from this burst's own
    // levels: ln I0(2a|Sm|/N) - ln I0(2a|Ss|/N).
    const double a = std::sqrt(double(b.signal));
    const double scale = 2.0 * a / double(b.noise);
    b.llr.resize(b.bits.size());
    for (size_t i = 0; i < b.bits.size(); ++i)
        b.llr[i] = float(logBesselI0(scale * std::sqrt(double(b.bits[i].mark)))
                         - logBesselI0(scale * std::sqrt(double(b.bits[i].space))));
}

void SameDecoder::addToGroup(Burst &&burst)
{
    if (!m_group.empty() && burst.start - m_group.back().end > qint64(GroupGapSeconds * m_rate))
        closeGroup();
    m_group.push_back(std::move(burst));
    decideGroup(false);
    if (m_group.size() >= 3)
        closeGroup();
}

double SameDecoder::headerErrorChance(const std::vector<float> &llr, const QByteArray &bytes, int headerBytes) const
{
    // The four letters of "ZCZC" are what the burst was found by, not news.
    double chance = 0;
    for (int i = 32; i < headerBytes * 8 && i < int(llr.size()); ++i) {
        const bool bit = (uint8_t(bytes.at(i / 8)) >> (i % 8)) & 1;
        const double l = bit ? llr[i] : -llr[i];   // for the decided bit
        chance += l > 40 ? 0.0 : 1.0 / (1.0 + std::exp(l));
    }
    if (headerBytes * 8 > int(llr.size()))
        chance += 1.0;
    return std::min(chance, 1.0);
}

void SameDecoder::decideGroup(bool final)
{
    if (m_groupReported || m_group.empty())
        return;
    // Two bursts the same, byte for byte: both modes take it.
    for (size_t i = 0; i < m_group.size(); ++i) {
        for (size_t j = i + 1; j < m_group.size(); ++j) {
            const Burst &x = m_group[i];
            const Burst &y = m_group[j];
            if (x.headerBytes == 0 || y.headerBytes != x.headerBytes)
                continue;
            const QByteArray hx = x.bytes.left(x.headerBytes);
            if (!sameHeaderBytes(hx, y.bytes.left(y.headerBytes)))
                continue;
            std::vector<float> sum(size_t(x.headerBytes) * 8, 0.0f);
            for (size_t k = 0; k < sum.size(); ++k)
                sum[k] = (k < x.llr.size() ? x.llr[k] : 0.0f) + (k < y.llr.size() ? y.llr[k] : 0.0f);
            SameHeader h;
            parseSameHeader(hx, nullptr, &h);
            report(h, 1.0 - headerErrorChance(sum, hx, x.headerBytes), int(m_group.size()), m_group.front().start);
            m_groupReported = true;
            return;
        }
    }
    if (m_mode != SameMode::Combined || !final)
        return;

    // Combined: add the soft bits of every burst heard, decide each bit,
    // and take the header only when the sum leaves practically no doubt.
    size_t bits = 0;
    for (const Burst &b : m_group)
        bits = std::max(bits, b.llr.size());
    auto combine = [&](std::vector<float> &sum, QByteArray &bytes) {
        sum.assign(bits, 0.0f);
        for (const Burst &b : m_group)
            for (size_t k = 0; k < b.llr.size(); ++k)
                sum[k] += b.llr[k];
        bytes = "ZCZC";
        for (size_t k = 32; k + 8 <= bits; k += 8) {
            uint8_t byte = 0;
            for (int i = 0; i < 8; ++i)
                byte |= uint8_t(sum[k + i] > 0) << i;
            bytes.append(char(byte));
        }
    };
    std::vector<float> sum;
    QByteArray bytes;
    combine(sum, bytes);
    int len = 0;
    SameHeader h;
    if (parseSameHeader(bytes, &len, &h) != SameParse::Complete)
        return;
    // The 48 known bits gave each burst's levels only roughly. With the
    // combined decisions every bit of the header is as good as known: take
    // the levels again from all of them, so that the soft bits, and the
    // confidence made of them, are what the signal deserves.
    for (Burst &b : m_group) {
        double tone = 0, other = 0;
        const size_t n = std::min(b.bits.size(), size_t(len) * 8);
        for (size_t k = 0; k < n; ++k) {
            const bool one = (uint8_t(bytes.at(int(k / 8))) >> (k % 8)) & 1;
            tone += one ? b.bits[k].mark : b.bits[k].space;
            other += one ? b.bits[k].space : b.bits[k].mark;
        }
        if (n < 64)
            continue;
        b.noise = float(std::max(other / double(n), 1e-12));
        b.signal = float(std::max(tone / double(n) - b.noise, 0.0));
        fillLikelihoods(b);
    }
    combine(sum, bytes);
    if (parseSameHeader(bytes, &len, &h) != SameParse::Complete)
        return;
    const double chance = headerErrorChance(sum, bytes, len);
    if (chance > CombinedMaxError)
        return;
    report(h, 1.0 - chance, int(m_group.size()), m_group.front().start);
    m_groupReported = true;
}

void SameDecoder::closeGroup()
{
    decideGroup(true);
    m_group.clear();
    m_groupReported = false;
}

void SameDecoder::report(const SameHeader &h, double confidence, int bursts, qint64 start)
{
    // A repeat of one of the last ten valid messages is the same message.
    if (std::find(m_recentHeaders.begin(), m_recentHeaders.end(), h.text) != m_recentHeaders.end())
        return;
    m_recentHeaders.push_back(h.text);
    m_eomSinceHeader = false;
    while (int(m_recentHeaders.size()) > RecentHeaders)
        m_recentHeaders.pop_front();
    SameReport r;
    r.kind = SameReport::Header;
    r.header = h;
    r.mode = m_mode;
    r.confidence = std::clamp(confidence, 0.0, 1.0);
    r.bursts = bursts;
    r.startSample = start;
    r.endSample = m_n;
    m_reports.append(r);
}

void SameDecoder::finish()
{
    // A stream may stop right at the end of its last bit: a little silence
    // lets the bit clock reach it.
    const int tail = int(3 * m_bitSamples);
    for (int i = 0; i < tail; ++i)
        step(0.0f);
    if (m_collecting)
        endBurst(0);
    closeGroup();
}
