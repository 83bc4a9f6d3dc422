// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/SameDecoder.h"

#include "monitor/core/SameSyntax.h"

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
// A header is reported only when the chance that it is wrong, from all the
// bursts heard, is below this: in strict mode too, where two bursts that
// agree by chance at a weak signal are not enough.
constexpr double MaxErrorChance = 1e-2;
// Combined mode decides from the sum of all bursts, and nothing outvotes a
// bit that sum gets wrong. From a software radio at the FM threshold, where
// clicks give some soft bits more weight than the noise model allows, its
// chance of being wrong proved too small: one header in about 400 near the
// threshold came out with one bit wrong (KLMK as KLLK) at the strict bound.
// Four times as sure still takes a clean header that one burst damaged and
// another slipped (about 2e-3 there: two bursts against one on a bit).
constexpr double CombinedMaxErrorChance = 2.5e-3;
// The phase reference of a bit comes from this many bits on either side;
// the transmitter's drift per bit is found to PhaseDriftStep radians.
constexpr int PhaseWindow = 16;
constexpr double PhaseDriftStep = 0.01;
constexpr int PhaseDriftSteps = 5;
// A burst's carrier is gone when both correlators together, over this many
// bits, hold less than the noise and a third of the tone. Long enough that
// noise at the weakest signal decoded does not end a burst early.
constexpr int CarrierBits = 48;
// A burst's bits: "ZCZC" and the longest header, and the few bits after it
// that tell the carrier has gone.
constexpr size_t MaxBurstBits = size_t(SameMaxHeaderBytes) * 8 + CarrierBits;
// The noise is taken as at least this share of the tone, so that a clean
// signal gives large but finite soft bits.
constexpr double NoiseFloor = 1e-4;
// A burst with more sure bits than this against the decision slipped or is
// not this header at all.
constexpr int SlipConflicts = 4;
// A slip shows in sure bits only a little after it: so many bits before the
// first are not trusted either.
constexpr int SlipMargin = 16;
// A bit of one burst is wrong, whatever its soft bit says, with a chance of
// about e^-9 (a click, a level misjudged): in adding up the bursts no soft
// bit counts for more.
constexpr float BurstBitClip = 9.2f;
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

bool bitOf(const QByteArray &bytes, size_t k)
{
    return (uint8_t(bytes.at(int(k / 8))) >> (k % 8)) & 1;
}

// The bytes of a burst decided bit by bit; kept only when they make a whole
// header whose one fault is a field out of range.
QByteArray outOfRangeHeader(const std::vector<float> &llr)
{
    QByteArray bytes;
    for (size_t k = 0; k + 8 <= llr.size() && bytes.size() < SameMaxHeaderBytes; k += 8) {
        uint8_t c = 0;
        for (size_t j = 0; j < 8; ++j)
            c |= uint8_t(llr[k + j] > 0) << j;
        bytes.append(char(c));
    }
    int length = 0;
    SameHeader h;
    if (parseSameHeader(bytes, &length, &h) != SameParse::Complete || h.note.isEmpty())
        return QByteArray();
    return bytes.left(length);
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
        BitEnergy e;
        e.mark = m_prevMark + f * (mark - m_prevMark);
        e.space = m_prevSpace + f * (space - m_prevSpace);
        e.markSum = std::complex<float>(m_prevMarkSum + double(f) * (m_markSum - m_prevMarkSum));
        e.spaceSum = std::complex<float>(m_prevSpaceSum + double(f) * (m_spaceSum - m_prevSpaceSum));
        onBit(e, m_mid);
        m_midTaken = false;
    }
    m_prevMark = mark;
    m_prevSpace = space;
    m_prevMarkSum = m_markSum;
    m_prevSpaceSum = m_spaceSum;
    ++m_n;
}

void SameDecoder::onBit(const BitEnergy &e, float mid)
{
    const float mark = e.mark, space = e.space;
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
    m_recent[m_recentAt] = e;
    m_recentAt = (m_recentAt + 1) % 48;

    if (m_collecting) {
        Burst &b = m_burst;
        b.bits.push_back(e);
        const size_t n = b.bits.size();
        b.recentEnergy += double(mark) + space;
        if (n > size_t(CarrierBits))
            b.recentEnergy -= double(b.bits[n - 1 - CarrierBits].mark) + b.bits[n - 1 - CarrierBits].space;
        const Levels &v = b.levels;
        const double carrier = v.markNoise + v.spaceNoise + 0.35 * 0.5 * (v.markTone + v.spaceTone);
        if ((n >= 32 + CarrierBits && b.recentEnergy < CarrierBits * carrier) || n >= MaxBurstBits)
            endBurst(0);
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
        // One end per message: the bursts of one NNNN, and the NNNN of each
        // repeat of a message already reported (however long after), end
        // what was ended already.
        if (!m_eomSinceHeader) {
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
    // The 48 known bits give the first levels.
    BitEnergy sync[48];
    for (int i = 0; i < 48; ++i) {
        sync[i] = m_recent[(m_recentAt + i) % 48];
        if (i >= 16) {
            b.bits.push_back(sync[i]);
            b.recentEnergy += double(sync[i].mark) + sync[i].space;
        }
    }
    b.levels = measureLevels(sync, 48, QByteArray("\xab\xabZCZC", 6));
}

SameDecoder::Levels SameDecoder::measureLevels(const BitEnergy *bits, size_t count, const QByteArray &sent)
{
    // Each correlator's energy when its tone was sent, and when the other
    // one was (noise alone).
    double markOn = 0, markOff = 0, spaceOn = 0, spaceOff = 0;
    int marks = 0, spaces = 0;
    count = std::min(count, size_t(sent.size()) * 8);
    for (size_t k = 0; k < count; ++k) {
        if (bitOf(sent, k)) {
            markOn += bits[k].mark;
            spaceOff += bits[k].space;
            ++marks;
        } else {
            spaceOn += bits[k].space;
            markOff += bits[k].mark;
            ++spaces;
        }
    }
    Levels v;
    if (marks == 0 || spaces == 0)
        return v;
    v.markTone = std::max(markOn / marks - markOff / spaces, 0.0);
    v.spaceTone = std::max(spaceOn / spaces - spaceOff / marks, 0.0);
    v.markNoise = std::max({markOff / spaces, NoiseFloor * v.markTone, 1e-12});
    v.spaceNoise = std::max({spaceOff / marks, NoiseFloor * v.spaceTone, 1e-12});
    return v;
}

void SameDecoder::endBurst(int dropBits)
{
    m_collecting = false;
    Burst b = std::move(m_burst);
    m_burst = Burst();
    b.bits.resize(b.bits.size() > size_t(dropBits) ? b.bits.size() - dropBits : 0);
    b.end = m_n;
    // The burst's own header, decided on the levels of its start; then the
    // levels again from every bit of that header, and the header again.
    fillLikelihoods(b);
    for (int pass = 0; pass < 2; ++pass) {
        const SameSyntaxDecision d = SameSyntaxModel(b.llr, SameEventPrior::AnyLetters).decide();
        b.text = d.text;
        if (b.text.isEmpty() || pass == 1)
            break;
        b.levels = measureLevels(b.bits.data(), b.bits.size(), b.text);
        fillLikelihoods(b, b.text);
    }
    if (b.text.isEmpty())
        b.outOfRange = outOfRangeHeader(b.llr);
    addToGroup(std::move(b));
}

std::vector<std::complex<double>> SameDecoder::phaseReference(const Burst &b, const QByteArray &sent, bool markTone,
                                                              double scale)
{
    // Mark is four cycles a bit and space three, and the transmitter keeps
    // its phase from bit to bit: so each tone comes back at the same phase
    // in every bit it is sent, but for a slow drift when the tones or the
    // bit rate are a little off. The bits that carried a tone, by the
    // decision, tell that phase for their neighbours. Each adds its
    // correlator, weighted by 2A/N, to the others' reference (the natural
    // parameter of a von Mises distribution of the phase); a bit's own
    // correlator is left out of its reference.
    const size_t n = std::min({b.bits.size(), b.keep, size_t(sent.size()) * 8});
    std::vector<std::complex<double>> c(n);
    for (size_t j = 0; j < n; ++j)
        if (bitOf(sent, j) == markTone)
            c[j] = scale * std::complex<double>(markTone ? b.bits[j].markSum : b.bits[j].spaceSum);
    // The drift per bit: first from neighbouring bits that carried the
    // tone, then where the turned correlators add up best near it.
    std::complex<double> lag;
    for (size_t j = 1; j < n; ++j)
        lag += c[j] * std::conj(c[j - 1]);
    const double rough = std::arg(lag);
    double drift = rough, best = -1;
    for (int step = -PhaseDriftSteps; step <= PhaseDriftSteps; ++step) {
        const double d = rough + step * PhaseDriftStep;
        const std::complex<double> turn = std::polar(1.0, -d);
        std::complex<double> ph(1, 0), sum;
        for (size_t j = 0; j < n; ++j) {
            sum += c[j] * ph;
            ph *= turn;
        }
        if (std::norm(sum) > best) {
            best = std::norm(sum);
            drift = d;
        }
    }
    std::vector<std::complex<double>> prefix(n + 1);
    for (size_t j = 0; j < n; ++j)
        prefix[j + 1] = prefix[j] + c[j] * std::polar(1.0, -drift * double(j));
    std::vector<std::complex<double>> ref(b.bits.size());
    for (size_t k = 0; k < ref.size(); ++k) {
        const size_t lo = k > size_t(PhaseWindow) ? k - PhaseWindow : 0;
        const size_t hi = std::min(n, k + PhaseWindow + 1);
        if (lo >= hi)
            continue;
        std::complex<double> z = prefix[hi] - prefix[lo];
        if (k < n)
            z -= c[k] * std::polar(1.0, -drift * double(k));
        ref[k] = z * std::polar(1.0, drift * double(k));
    }
    return ref;
}

void SameDecoder::fillLikelihoods(Burst &b, const QByteArray &sent)
{
    // Log-likelihood ratio of each bit being a mark. A tone of energy A^2 in
    // noise N, heard without its phase, gives its correlator S the density
    // exp(-(|S|^2 + A^2)/N) I0(2A|S|/N) / (pi N); noise alone
    // exp(-|S|^2/N) / (pi N). Mark against space, each tone with its own
    // levels: -Am^2/Nm + ln I0(2Am|Sm|/Nm) + As^2/Ns - ln I0(2As|Ss|/Ns).
    // With a reference z for the tone's phase (from the neighbouring bits,
    // see phaseReference), ln I0(2A|S|/N) becomes
    // ln I0(|2A S/N + z|) - ln I0(|z|).
    const Levels &v = b.levels;
    const double mk = 2.0 * std::sqrt(v.markTone) / v.markNoise, sk = 2.0 * std::sqrt(v.spaceTone) / v.spaceNoise;
    const double bias = -v.markTone / v.markNoise + v.spaceTone / v.spaceNoise;
    std::vector<std::complex<double>> zm, zs;
    if (!sent.isEmpty()) {
        zm = phaseReference(b, sent, true, mk);
        zs = phaseReference(b, sent, false, sk);
    }
    auto tone = [](double k, double energy, std::complex<float> sum, const std::vector<std::complex<double>> &z, size_t i) {
        if (z.empty())
            return logBesselI0(k * std::sqrt(energy));
        return logBesselI0(std::abs(k * std::complex<double>(sum) + z[i])) - logBesselI0(std::abs(z[i]));
    };
    b.llr.assign(b.bits.size(), 0.0f);
    for (size_t i = 0; i < b.bits.size() && i < b.keep; ++i)
        b.llr[i] = float(bias + tone(mk, b.bits[i].mark, b.bits[i].markSum, zm, i)
                         - tone(sk, b.bits[i].space, b.bits[i].spaceSum, zs, i));
}

SameSyntaxModel SameDecoder::groupModel() const
{
    std::vector<const std::vector<float> *> bursts;
    for (const Burst &b : m_group)
        if (b.used)
            bursts.push_back(&b.llr);
    // Alone, a burst has nobody to outvote: its soft bits count whole.
    return SameSyntaxModel(bursts, bursts.size() > 1 ? BurstBitClip : 0.0f,
                           m_mode == SameMode::Combined ? SameEventPrior::Catalogue : SameEventPrior::AnyLetters);
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

size_t SameDecoder::firstConflict(const Burst &b, const QByteArray &text, int *count)
{
    // Sure bits against the decision: where they are and how many.
    size_t first = b.llr.size();
    *count = 0;
    const size_t bits = std::min(b.llr.size(), size_t(text.size()) * 8);
    for (size_t k = 0; k < bits; ++k) {
        if ((bitOf(text, k) ? -b.llr[k] : b.llr[k]) > SameSureLlr) {
            first = std::min(first, k);
            ++*count;
        }
    }
    return first;
}

void SameDecoder::decideGroup(bool final)
{
    if (m_groupReported || m_group.empty())
        return;
    auto reportText = [&](const QByteArray &text, double confidence) {
        SameHeader h;
        parseSameHeader(text, nullptr, &h);
        report(h, confidence, int(m_group.size()), m_group.front().start);
        m_groupReported = true;
    };
    // Strict: two bursts decided alike, and all bursts heard together leave
    // practically no doubt about it.
    for (size_t i = 0; m_mode == SameMode::Strict && i < m_group.size(); ++i) {
        for (size_t j = i + 1; j < m_group.size(); ++j) {
            const QByteArray &text = m_group[i].text;
            if (text.isEmpty() || text != m_group[j].text)
                continue;
            const double confidence = groupModel().chance(text);
            if (confidence >= 1.0 - MaxErrorChance) {
                reportText(text, confidence);
                return;
            }
        }
    }
    // A header out of range in one field fits no decision within the syntax;
    // bursts that agree on it to the bit are reported, with the field named
    // in the header's note, as the rule of two matching bursts asks.
    for (size_t i = 0; final && i < m_group.size(); ++i) {
        for (size_t j = i + 1; j < m_group.size(); ++j) {
            const QByteArray &text = m_group[i].outOfRange;
            if (!text.isEmpty() && text == m_group[j].outOfRange) {
                reportText(text, 1.0 - MaxErrorChance);
                return;
            }
        }
    }
    if (m_mode != SameMode::Combined || !final)
        return;

    // Combined: once the last burst is in, decide from all bursts together
    // (two bursts that agree early may be outvoted by the third); measure every burst's
    // levels again on that decision, which is far better than each burst's
    // own, and decide once more. A burst that holds many sure bits against
    // the decision has slipped or is not this header: it is left out and
    // the rest decide again.
    for (size_t pass = 0; pass < m_group.size(); ++pass) {
        SameSyntaxDecision d = groupModel().decide();
        if (d.text.isEmpty())
            return;
        for (Burst &b : m_group) {
            const size_t n = std::min(b.bits.size(), size_t(d.text.size()) * 8);
            if (b.used && n >= 64) {
                b.levels = measureLevels(b.bits.data(), std::min(n, b.keep), d.text);
                fillLikelihoods(b, d.text);
            }
        }
        d = groupModel().decide();
        if (d.text.isEmpty())
            return;
        // Many sure bits against the decision: the burst slipped, or from
        // there on it is not this header. What it held before counts still.
        bool left = false;
        for (Burst &b : m_group) {
            int count = 0;
            const size_t first = firstConflict(b, d.text, &count);
            if (b.used && count > SlipConflicts) {
                b.keep = first > size_t(SlipMargin) ? first - SlipMargin : 0;
                b.used = b.keep >= 64;
                fillLikelihoods(b, d.text);
                left = true;
            }
        }
        if (left)
            continue;
        if (d.confidence >= 1.0 - CombinedMaxErrorChance)
            reportText(d.text, d.confidence);
        return;
    }
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
