// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Timings.h"
#include "testpackets/core/SoundCard.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

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

// A sound card's output (SoundCard.h: Qt Multimedia or winmm, as built),
// played from memory on the chosen device at the chosen level. Without the
// device, or when it fails, it stays silent for as long as the sound would
// have lasted (scaled by Timings::speed), so a test message keeps its
// pacing; lastError() then says why.
class SinkAudio : public PacketAudio
{
    Q_OBJECT
public:
    explicit SinkAudio(double silentSpeed = 1.0, QObject *parent = nullptr);
    ~SinkAudio() override;

    // The output by name ("" or "default": the system's default).
    void setDevice(const QString &device) { m_device = device; }
    QString device() const { return m_device; }
    // 0 .. 1 of the recording's own level (the recordings leave headroom).
    void setLevel(double level) { m_level = std::clamp(level, 0.0, 1.0); }
    double level() const { return m_level; }

    void start(int id, const QByteArray &wav) override;
    void stop() override;

    // True while the last start() found no output to play on.
    bool silent() const { return m_silent; }
    QString lastError() const { return m_error; }

    // The recording's samples as signed 16-bit mono at `level`: 8-bit and
    // 16-bit PCM, channels mixed. Empty for anything else.
    static QByteArray monoPcm(const QByteArray &wav, double level, int *rate, qint64 *durationMs);

private:
    void finish();
    void waitSilently(qint64 ms);

    double m_speed;
    QString m_device;
    double m_level = 1.0;
    bool m_silent = false;
    bool m_running = false;
    QString m_error;
    qint64 m_durationMs = 0;
    QElapsedTimer m_started;
    QTimer m_timer;            // the silent wait
    std::unique_ptr<SoundOutput> m_out;
};

// Plays recordings and waits in between, one step at a time, each step
// returning when it is over. The waits run a local event loop, so windows
// keep repainting and timers keep firing, and the processor sleeps. abort()
// ends the current step at once and makes every later step return false
// straight away until reset().
class PacketPlayer : public QObject
{
    Q_OBJECT
public:
    // Without `audio` the player uses the default sound output (the sound
    // card, or the system's player in a build without one).
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
