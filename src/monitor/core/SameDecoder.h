// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/SameHeader.h"
#include "monitor/core/SameSyntax.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <complex>
#include <cstdint>
#include <deque>
#include <vector>

// How the three bursts of a header are turned into one report.
enum class SameMode {
    Strict,     // two of the three bursts must be the same, byte for byte (47 CFR 11.33)
    Combined,   // the soft bits of all bursts heard are added up, then decided
};
QString sameModeName(SameMode mode);                     // "strict", "combined"
bool sameModeFromName(const QString &name, SameMode *mode);

struct SameReport {
    enum Kind { Header, EndOfMessage };
    Kind kind = Header;
    SameHeader header;           // Header only
    SameMode mode = SameMode::Strict;
    // The decoder's estimate of the chance that every bit of the header is
    // right, from the soft bits of the bursts it used (0..1). 1 for NNNN.
    double confidence = 1.0;
    int bursts = 0;              // bursts heard for this header
    qint64 startSample = 0;      // first sample of the first burst (NNNN: of its burst)
    qint64 endSample = 0;        // sample at which the report was made
};

// The SAME demodulator and message assembler. Audio goes in as it comes, in
// chunks of any size; reports come out. Every sample passes through the same
// steps whatever the chunk size, so the reports are the same for one big
// chunk as for single samples.
//
// The signal is AFSK at 520 5/6 bit/s: a mark is four cycles of 2083 1/3 Hz,
// a space three cycles of 1562.5 Hz, so over one bit the two tones are
// orthogonal. Each tone has a sliding correlator one bit long; its energy
// (the phase does not matter, so the detector is non-coherent) is read at
// the end of every bit. The bit clock is a second-order loop that steers on
// the correlator difference half a bit before each strobe (Gardner), which
// follows a transmitter whose rate is off by a few tenths of a percent.
//
// A burst begins where the last two preamble bytes and "ZCZC" (or "NNNN")
// stand in the bit stream with at most a few bit errors, and ends where its
// carrier does. The known bits there give the burst's levels, each tone
// apart, and from them every later bit gets a log-likelihood ratio: the soft
// bit. Each burst's header is decided from its soft bits within the header's
// syntax (SameSyntaxModel); then its levels are measured again on that
// decision, and each bit's soft bit also takes the phase that the tone shows
// in the neighbouring bits (the transmitter keeps its phase from bit to bit).
// Strict mode reports a header when two bursts decided alike; combined mode
// adds up the soft bits of all bursts heard and decides the header from the
// sum once the last is in; an event code the editor does not know counts
// against a header there. Either mode reports a header only when the chance
// of its being wrong, from all bursts heard, is below 1 %.
class SameDecoder
{
public:
    explicit SameDecoder(int sampleRate, SameMode mode = SameMode::Strict);

    static constexpr int MinRate = 8000;
    static constexpr int MaxRate = 48000;
    static bool rateSupported(int sampleRate) { return sampleRate >= MinRate && sampleRate <= MaxRate; }

    int sampleRate() const { return m_rate; }
    SameMode mode() const { return m_mode; }

    // Full scale is +-1.0 (float) or +-32768 (16 bit).
    void feed(const float *samples, qsizetype count);
    void feed(const qint16 *samples, qsizetype count);
    // End of input: decides the header whose bursts are still pending.
    void finish();

    QList<SameReport> takeReports();
    bool hasReports() const { return !m_reports.isEmpty(); }
    qint64 samplesSeen() const { return m_n; }

    // Headers of the last ten valid messages, newest last (repeats of them
    // are not reported again).
    QList<QByteArray> recentHeaders() const;

private:
    struct BitEnergy {
        float mark = 0;                   // energy of each correlator
        float space = 0;
        std::complex<float> markSum;      // the correlators themselves, for their phase
        std::complex<float> spaceSum;
    };
    // Correlator energies of each tone when it is sent (above the noise)
    // and of the noise alone in its correlator. The two tones are measured
    // apart: a radio's de-emphasis and a tilted audio path bring them in at
    // different levels.
    struct Levels {
        double markTone = 0, markNoise = 1e-12;
        double spaceTone = 0, spaceNoise = 1e-12;
    };
    struct Burst {
        std::vector<BitEnergy> bits; // from the first bit of "ZCZC"
        std::vector<float> llr;      // filled when the burst ends
        Levels levels;
        double recentEnergy = 0;     // both correlators over the last CarrierBits bits
        QByteArray text;             // the burst's own decision; empty if none fits
        // The burst bit by bit, when that is a whole header with a field out
        // of range (issue day 000): no decision within the syntax fits it,
        // but bursts that agree on it to the bit were heard all the same.
        QByteArray outOfRange;
        bool used = true;            // its soft bits count in combined mode
        size_t keep = SIZE_MAX;      // bits from here on are not this header's (a slip)
        qint64 start = 0, end = 0;
    };

    void step(float x);
    void onBit(const BitEnergy &e, float mid);
    void startBurst();
    void endBurst(int dropBits);
    static Levels measureLevels(const BitEnergy *bits, size_t count, const QByteArray &sent);
    static void fillLikelihoods(Burst &b, const QByteArray &sent = QByteArray());
    static std::vector<std::complex<double>> phaseReference(const Burst &b, const QByteArray &sent, bool markTone,
                                                            double scale);
    SameSyntaxModel groupModel() const;
    static size_t firstConflict(const Burst &b, const QByteArray &text, int *count);
    void addToGroup(Burst &&burst);
    void decideGroup(bool final);
    void closeGroup();
    void report(const SameHeader &h, double confidence, int bursts, qint64 start);

    int m_rate;
    SameMode m_mode;
    qint64 m_n = 0;

    // Correlators.
    int m_window;                     // samples per bit, rounded
    std::complex<double> m_markRot, m_spaceRot, m_markPh{1, 0}, m_spacePh{1, 0};
    std::vector<std::complex<double>> m_markRing, m_spaceRing;
    std::complex<double> m_markSum, m_spaceSum;
    int m_ringAt = 0;
    float m_prevMark = 0, m_prevSpace = 0;
    std::complex<double> m_prevMarkSum, m_prevSpaceSum;

    // Bit clock.
    double m_bitSamples;
    double m_nextStrobe;
    bool m_midTaken = false;
    float m_mid = 0;
    float m_prevDiff = 0;
    double m_power = 0;
    double m_rateTrim = 0;

    // Bit stream.
    uint64_t m_shift = 0;             // last 48 hard bits, oldest in bit 0
    BitEnergy m_recent[48];
    int m_recentAt = 0;
    qint64 m_bitCount = 0;

    bool m_collecting = false;
    Burst m_burst;

    std::vector<Burst> m_group;
    bool m_groupReported = false;
    qint64 m_lastEom = -1;
    bool m_eomSinceHeader = false;   // an NNNN was reported after the last header

    std::deque<QByteArray> m_recentHeaders;
    QList<SameReport> m_reports;
};
