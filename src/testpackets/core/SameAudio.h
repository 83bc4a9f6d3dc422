// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The six test recordings the editor plays to a receiver: four SAME header
// packets, one tone beep and the end-of-message packet. They are synthesised
// here (QtCore only) so the build-time generator, the command-line tool and
// the tests all produce the very same bytes.
//
// SAME is AFSK at 520 5/6 bit/s: a mark (1) is four cycles of 2083 1/3 Hz per
// bit, a space (0) three cycles of 1562.5 Hz; bytes go least significant bit
// first and every burst starts with sixteen 0xAB preamble bytes so the
// receiver can lock onto the bit clock.
namespace SameAudio {

constexpr int SampleRate = 8000;               // samples per second
constexpr double BitRate = 3125.0 / 6.0;       // 520.83 bit/s
constexpr double MarkHz = 4.0 * BitRate;       // 2083.33 Hz
constexpr double SpaceHz = 3.0 * BitRate;      // 1562.5 Hz
constexpr double BeepHz = 1040.0;
constexpr double Level = 0.35;                 // share of full scale
constexpr int PreambleBytes = 16;
constexpr uint8_t PreambleByte = 0xAB;
constexpr uint8_t Silence = 128;               // mid-scale of unsigned 8-bit PCM

// Recording ids (program resource numbers).
constexpr int RwtHeader = 110;
constexpr int FfwHeader = 120;
constexpr int SvaHeader = 130;
constexpr int ToaHeader = 140;
constexpr int Beep = 150;
constexpr int EndOfMessage = 160;

// 110, 120, 130, 140, 150, 160.
QList<int> recordingIds();
bool isRecording(int id);

// The text a burst carries after its preamble; empty for the beep and for
// unknown ids.
QByteArray burstText(int id);

// Length of each recording in samples; 0 for unknown ids.
int recordingLength(int id);

// Silence at the start of a recording, in samples (the end-of-message
// packet starts with about 0.11 s of it).
int leadInSamples(int id);

// Samples of one AFSK burst (preamble and text), unsigned 8-bit, phase
// continuous across bit boundaries.
QByteArray afskSamples(const QByteArray &text);
int afskSampleCount(int bytes);

// A steady tone with short fades at both ends (no click on start and stop).
QByteArray toneSamples(double hz, int count);

// The PCM samples of one recording (unsigned 8-bit, mono, 8000 samples/s);
// empty for unknown ids.
QByteArray recordingSamples(int id);

// A complete RIFF/WAVE file holding `samples` as 8-bit unsigned mono PCM.
QByteArray wavFile(const QByteArray &samples, int sampleRate = SampleRate);

// One complete recording as a WAV file; empty for unknown ids.
QByteArray makeRecording(int id);

// One step of a whole test message: a recording (`id`), or, when `id` is
// 0, `pauseMs` of silence.
struct MessageStep {
    int id = 0;
    int pauseMs = 0;
    bool operator==(const MessageStep &o) const { return id == o.id && pauseMs == o.pauseMs; }
};

// A whole test message as the test packet window plays it: `startMs` of
// silence, the header three times, 24 beeps and the end-of-message packet
// three times, every sound followed by `pauseMs`, and one pause more
// before the beeps and before the end packet. About 45 seconds at the
// program's own pauses.
constexpr int MessageHeaders = 3;
constexpr int MessageBeeps = 24;
constexpr int MessageEnds = 3;
QList<MessageStep> testMessage(int header, int startMs, int pauseMs);

// The steps as one WAV file, the pauses as silence; empty for an id that is
// not a header.
QByteArray testMessageWav(int header, int startMs, int pauseMs);

// What a WAV file holds, as far as playing it needs.
struct WavInfo {
    int format = 0;          // 1 = PCM
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    QByteArray data;         // the sample bytes
    qint64 durationMs() const;
};

// Reads the format and data chunks of a RIFF/WAVE file. Returns false for
// anything that is not a well-formed WAV (short, truncated chunks, no
// format or data chunk); never reads outside `file`.
bool parseWav(const QByteArray &file, WavInfo *info);

} // namespace SameAudio
