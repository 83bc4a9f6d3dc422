// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/core/PacketPlayer.h"

#include "testpackets/core/SameAudio.h"
#include "testpackets/core/SystemPlayerAudio.h"

#include <QEventLoop>
#include <QFile>
#ifndef NX_WITHOUT_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#endif

#include <cmath>
#include <utility>

#ifndef NX_WITHOUT_MULTIMEDIA
namespace {

// The sink runs dry as the last samples are handed to the sound server;
// never close it before the sound's own length (plus a little) has passed.
constexpr qint64 DrainMarginMs = 50;
// How long a finished sound's output stays open so the sound server can
// play out what it still buffers.
constexpr qint64 DrainGraceMs = 3000;
// If the output never reports the end of a sound, give up this long after
// the sound should have ended.
constexpr qint64 WatchdogMarginMs = 3000;

QAudioFormat::SampleFormat sampleFormatFor(int bits)
{
    switch (bits) {
    case 8: return QAudioFormat::UInt8;
    case 16: return QAudioFormat::Int16;
    case 32: return QAudioFormat::Int32;
    default: return QAudioFormat::Unknown;
    }
}

} // namespace

SinkAudio::SinkAudio(double silentSpeed, QObject *parent)
    : PacketAudio(parent)
    , m_speed(silentSpeed)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(true); });
    m_reaper.setSingleShot(true);
    connect(&m_reaper, &QTimer::timeout, this, [this] { reap(false); });
    m_clock.start();
}

SinkAudio::~SinkAudio()
{
    m_running = false;
    releaseSink(false);
    reap(true);
}

void SinkAudio::reap(bool all)
{
    // Deleted directly, never through deleteLater: closing a sink may
    // process pending events, which would then delete it a second time.
    const qint64 now = m_clock.elapsed();
    QList<Retired> keep;
    for (const Retired &r : std::exchange(m_retired, {})) {
        if (all || r.closeAt <= now) {
            r.sink->stop();
            delete r.sink;
        } else {
            keep.append(r);
        }
    }
    m_retired = keep;
    if (!m_retired.isEmpty()) {
        qint64 next = m_retired.first().closeAt;
        for (const Retired &r : m_retired)
            next = std::min(next, r.closeAt);
        m_reaper.start(int(std::max<qint64>(0, next - now)));
    }
}

void SinkAudio::start(int, const QByteArray &wav)
{
    releaseSink(false);
    m_timer.stop();
    m_running = true;
    m_silent = false;
    m_started.start();

    SameAudio::WavInfo info;
    if (!SameAudio::parseWav(wav, &info) || info.format != 1) {
        m_durationMs = 0;
        waitSilently(0);          // nothing to play: end at once
        return;
    }
    m_durationMs = info.durationMs();

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(info.sampleRate);
    format.setChannelCount(info.channels);
    format.setSampleFormat(sampleFormatFor(info.bitsPerSample));
    if (device.isNull() || format.sampleFormat() == QAudioFormat::Unknown
        || !device.isFormatSupported(format)) {
        m_silent = true;
        waitSilently(std::llround(m_durationMs * m_speed));
        return;
    }

    m_sink = new QAudioSink(device, format, this);
    // The buffer belongs to the sink so that it outlives the sink's reading
    // from it, whichever way the sink goes.
    m_buffer = new QBuffer(m_sink);
    m_buffer->setData(info.data);
    m_buffer->open(QIODevice::ReadOnly);
    connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (!m_sink || !m_running)
            return;
        if (state == QAudio::IdleState) {
            // Everything is handed to the output; let it play out.
            const qint64 left = m_durationMs + DrainMarginMs - m_started.elapsed();
            m_timer.start(int(std::max<qint64>(0, left)));
        } else if (state == QAudio::ActiveState) {
            // Running again after a short starvation (a busy machine): the
            // sound is not over yet, only the watchdog stays armed.
            m_timer.start(int(std::max<qint64>(0, m_durationMs + WatchdogMarginMs - m_started.elapsed())));
        } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
            // The device went away: keep the pacing without sound.
            releaseSink(false);
            m_silent = true;
            waitSilently(std::max<qint64>(0, m_durationMs - m_started.elapsed()));
        }
    });
    m_sink->start(m_buffer);
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        releaseSink(false);
        m_silent = true;
        waitSilently(std::llround(m_durationMs * m_speed));
        return;
    }
    m_timer.start(int(m_durationMs + WatchdogMarginMs));
}

void SinkAudio::stop()
{
    finish(false);
}

void SinkAudio::waitSilently(qint64 ms)
{
    // Always through the timer, so finished() comes after start() returns.
    m_timer.start(int(std::max<qint64>(0, ms)));
}

void SinkAudio::finish(bool letDrain)
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    releaseSink(letDrain);
    emit finished();
}

void SinkAudio::releaseSink(bool letDrain)
{
    if (m_sink) {
        QAudioSink *sink = m_sink;
        m_sink = nullptr;
        sink->disconnect(this);
        // Closing an output throws away what the sound server still holds.
        // A sound that ran to its end is left open for a while so that its
        // last samples reach the loudspeaker however much the server
        // buffers (network and Bluetooth outputs buffer a lot); a sound
        // that is stopped goes silent at once.
        if (!letDrain)
            sink->stop();
        // Not deleted here, as this may run inside the sink's own signal.
        m_retired.append({sink, m_clock.elapsed() + (letDrain ? DrainGraceMs : 0)});
        m_reaper.start(letDrain ? int(DrainGraceMs) : 0);
    }
    m_buffer = nullptr;
}

#endif

namespace {

std::unique_ptr<PacketAudio> defaultAudio(double speed)
{
#ifndef NX_WITHOUT_MULTIMEDIA
    return std::make_unique<SinkAudio>(speed);
#else
    return std::make_unique<SystemPlayerAudio>(speed);
#endif
}

} // namespace

PacketPlayer::PacketPlayer(const Timings &timings, std::unique_ptr<PacketAudio> audio, QObject *parent)
    : QObject(parent)
    , m_timings(timings)
    , m_audio(audio ? std::move(audio) : defaultAudio(timings.speed))
{
}

PacketPlayer::~PacketPlayer() = default;

bool PacketPlayer::waitFor(const std::function<void(const std::function<void()> &end)> &arm)
{
    if (m_aborted)
        return false;
    QEventLoop loop;
    bool done = false;
    const auto quitOnAbort = connect(this, &PacketPlayer::abortRequested, &loop, &QEventLoop::quit);
    arm([&done, &loop] {
        done = true;
        loop.quit();
    });
    if (!done)                 // the step may have ended at once
        loop.exec();
    disconnect(quitOnAbort);
    // The loop also ends when the application is quitting: treat that like
    // an abort so that no further step starts.
    if (!done)
        m_aborted = true;
    return !m_aborted;
}

bool PacketPlayer::play(int id, const QByteArray &wav)
{
    QMetaObject::Connection ended;
    const bool ok = waitFor([&](const std::function<void()> &end) {
        ended = connect(m_audio.get(), &PacketAudio::finished, this, end);
        m_audio->start(id, wav);
    });
    disconnect(ended);
    if (!ok)
        m_audio->stop();
    return ok;
}

bool PacketPlayer::pause(int ms)
{
    const int scaled = int(std::lround(ms * m_timings.speed));
    QTimer timer;
    timer.setSingleShot(true);
    return waitFor([&](const std::function<void()> &end) {
        connect(&timer, &QTimer::timeout, this, end);
        timer.start(std::max(0, scaled));
    });
}

void PacketPlayer::abort()
{
    m_aborted = true;
    emit abortRequested();
}

QByteArray TestPacketRecording(int id)
{
    QFile f(QStringLiteral(":/testpackets/sounds/%1.wav").arg(id));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
