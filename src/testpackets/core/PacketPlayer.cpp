// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/core/PacketPlayer.h"

#include "testpackets/core/SameAudio.h"
#include "testpackets/core/SystemPlayerAudio.h"

#include <QEventLoop>
#include <QFile>

#include <cmath>
#include <utility>

SinkAudio::SinkAudio(double silentSpeed, QObject *parent)
    : PacketAudio(parent)
    , m_speed(silentSpeed)
    , m_out(SoundOutput::create())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SinkAudio::finish);
    connect(m_out.get(), &SoundOutput::finished, this, [this](bool failed) {
        if (!m_running)
            return;
        if (!failed) {
            finish();
            return;
        }
        // The device went away: keep the pacing without sound.
        m_silent = true;
        m_error = QStringLiteral("the sound output stopped while playing");
        waitSilently(std::max<qint64>(0, m_durationMs - m_started.elapsed()));
    });
}

SinkAudio::~SinkAudio()
{
    m_running = false;
    m_out->stop();
}

QByteArray SinkAudio::monoPcm(const QByteArray &wav, double level, int *rate, qint64 *durationMs)
{
    SameAudio::WavInfo info;
    if (!SameAudio::parseWav(wav, &info) || info.format != 1 || info.channels < 1 || info.sampleRate <= 0
        || (info.bitsPerSample != 8 && info.bitsPerSample != 16))
        return {};
    const int bytes = info.bitsPerSample / 8;
    const qsizetype frames = info.data.size() / (bytes * info.channels);
    const double gain = std::clamp(level, 0.0, 1.0);
    QByteArray out(frames * 2, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const uchar *>(info.data.constData());
    for (qsizetype f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < info.channels; ++c) {
            const uchar *at = in + (f * info.channels + c) * bytes;
            sum += bytes == 1 ? (int(at[0]) - 128) * 256 : qint16(at[0] | (at[1] << 8));
        }
        const auto v = qint16(std::clamp<long>(std::lround(sum / info.channels * gain), -32768, 32767));
        out[2 * f] = char(v & 0xff);
        out[2 * f + 1] = char((v >> 8) & 0xff);
    }
    *rate = info.sampleRate;
    *durationMs = frames * 1000 / info.sampleRate;
    return out;
}

void SinkAudio::start(int, const QByteArray &wav)
{
    m_out->stop();
    m_timer.stop();
    m_running = true;
    m_silent = false;
    m_error.clear();
    m_started.start();

    int rate = 0;
    const QByteArray pcm = monoPcm(wav, m_level, &rate, &m_durationMs);
    if (pcm.isEmpty()) {
        m_durationMs = 0;
        waitSilently(0);          // nothing to play: end at once
        return;
    }
    if (!m_out->start(m_device, pcm, rate, &m_error)) {
        m_silent = true;
        waitSilently(std::llround(m_durationMs * m_speed));
    }
}

void SinkAudio::stop()
{
    m_out->stop();
    finish();
}

void SinkAudio::waitSilently(qint64 ms)
{
    // Always through the timer, so finished() comes after start() returns.
    m_timer.start(int(std::max<qint64>(0, ms)));
}

void SinkAudio::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    emit finished();
}

namespace {

std::unique_ptr<PacketAudio> defaultAudio(double speed)
{
    if (!SoundCard::backend().isEmpty())
        return std::make_unique<SinkAudio>(speed);
    return std::make_unique<SystemPlayerAudio>(speed);
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
