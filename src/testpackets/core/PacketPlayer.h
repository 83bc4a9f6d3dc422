// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Timings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QAudioSink;
class QBuffer;
class QEventLoop;

// Where a recording sounds. start() returns at once; finished() follows when
// the sound has ended, in every case (also when nothing could be played), so
// a caller that waits for it never hangs.
class PacketAudio : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // `id` names the recording (110 .. 160) for logs and tests; `wav` is the
    // complete WAV file.
    virtual void start(int id, const QByteArray &wav) = 0;
    // Ends the current sound early; finished() still follows.
    virtual void stop() = 0;

signals:
    void finished();
};

#ifndef NX_WITHOUT_MULTIMEDIA
// The computer's default sound output through Qt Multimedia, played from
// memory. Without an output device, or when the device fails, it stays
// silent for as long as the sound would have lasted (scaled by
// Timings::speed), so a test message keeps its pacing.
class SinkAudio : public PacketAudio
{
    Q_OBJECT
public:
    explicit SinkAudio(double silentSpeed = 1.0, QObject *parent = nullptr);
    ~SinkAudio() override;

    void start(int id, const QByteArray &wav) override;
    void stop() override;

    // True while the last start() found no output to play on.
    bool silent() const { return m_silent; }

private:
    void finish(bool letDrain);
    void waitSilently(qint64 ms);
    void releaseSink(bool letDrain);
    void reap(bool all);

    struct Retired {
        QAudioSink *sink;
        qint64 closeAt;      // on m_clock
    };

    double m_speed;
    bool m_silent = false;
    bool m_running = false;
    qint64 m_durationMs = 0;
    QElapsedTimer m_started;
    QTimer m_timer;            // silent wait, or a watchdog while the sink plays
    QAudioSink *m_sink = nullptr;
    QBuffer *m_buffer = nullptr;
    QList<Retired> m_retired;   // finished outputs, closed and deleted later
    QTimer m_reaper;
    QElapsedTimer m_clock;
};
#endif

// Plays recordings and waits in between, one step at a time, each step
// returning when it is over. The waits run a local event loop, so windows
// keep repainting and timers keep firing, and the processor sleeps. abort()
// ends the current step at once and makes every later step return false
// straight away until reset().
class PacketPlayer : public QObject
{
    Q_OBJECT
public:
    // Without `audio` the player uses the default sound output (Qt
    // Multimedia's, or the system's player in a build without it).
    explicit PacketPlayer(const Timings &timings, std::unique_ptr<PacketAudio> audio = {},
                          QObject *parent = nullptr);
    ~PacketPlayer() override;

    // Plays one recording to its end. False when aborted.
    bool play(int id, const QByteArray &wav);
    // Waits `ms` milliseconds of program time (scaled by Timings::speed).
    // False when aborted.
    bool pause(int ms);

    void abort();
    void reset() { m_aborted = false; }
    bool aborted() const { return m_aborted; }

    PacketAudio &audio() { return *m_audio; }

signals:
    void abortRequested();

private:
    bool waitFor(const std::function<void(const std::function<void()> &end)> &arm);

    Timings m_timings;
    std::unique_ptr<PacketAudio> m_audio;
    bool m_aborted = false;
};

// The recording `id` (110 .. 160) as the program carries it, from its
// resources; empty when it is missing.
QByteArray TestPacketRecording(int id);
