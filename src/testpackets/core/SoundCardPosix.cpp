// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card through Qt Multimedia (PulseAudio, PipeWire or ALSA
// underneath), or no sound card in a build without Qt Multimedia.
#include "testpackets/core/SoundCard.h"

#ifndef NX_WITHOUT_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QBuffer>
#include <QElapsedTimer>
#include <QList>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// The sink runs dry as the last samples are handed to the sound server;
// never call a sound over before its own length (plus a little) has passed.
constexpr qint64 DrainMarginMs = 50;
// How long a finished sound's output stays open so the sound server can
// play out what it still buffers.
constexpr qint64 DrainGraceMs = 3000;
// If the output never reports the end of a sound, give up this long after
// the sound should have ended.
constexpr qint64 WatchdogMarginMs = 3000;

bool isDefault(const QString &name)
{
    return name.isEmpty() || name == QLatin1String("default");
}

template <typename List>
QAudioDevice byName(const List &devices, const QAudioDevice &fallback, const QString &name)
{
    if (isDefault(name))
        return fallback;
    // The description first (what the lists show), then the system's id.
    for (const QAudioDevice &d : devices)
        if (d.description() == name)
            return d;
    for (const QAudioDevice &d : devices)
        if (QString::fromUtf8(d.id()) == name)
            return d;
    return {};
}

class QtSoundOutput : public SoundOutput
{
public:
    explicit QtSoundOutput(QObject *parent)
        : SoundOutput(parent)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { finish(false); });
        m_reaper.setSingleShot(true);
        connect(&m_reaper, &QTimer::timeout, this, [this] { reap(false); });
        m_clock.start();
    }

    ~QtSoundOutput() override
    {
        m_running = false;
        release(false);
        reap(true);
    }

    bool start(const QString &name, const QByteArray &pcm, int rate, QString *error) override
    {
        stop();
        const QAudioDevice device = byName(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput(), name);
        if (device.isNull()) {
            if (error)
                *error = isDefault(name) ? QStringLiteral("this machine has no sound output")
                                         : QStringLiteral("no sound output is called \"%1\"").arg(name);
            return false;
        }
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            if (error)
                *error = QStringLiteral("the sound output \"%1\" does not play 16-bit mono sound at %2 samples/s")
                             .arg(device.description())
                             .arg(rate);
            return false;
        }
        m_durationMs = rate > 0 ? pcm.size() / 2 * 1000 / rate : 0;
        m_started.start();
        m_running = true;
        m_sink = new QAudioSink(device, format, this);
        // The buffer belongs to the sink so that it outlives the sink's
        // reading from it, whichever way the sink goes.
        auto *buffer = new QBuffer(m_sink);
        buffer->setData(pcm);
        buffer->open(QIODevice::ReadOnly);
        connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (!m_sink || !m_running)
                return;
            if (state == QAudio::IdleState) {
                // Everything is handed to the output; let it play out.
                m_timer.start(int(std::max<qint64>(0, m_durationMs + DrainMarginMs - m_started.elapsed())));
            } else if (state == QAudio::ActiveState) {
                // Running again after a short starvation (a busy machine):
                // the sound is not over yet, only the watchdog stays armed.
                m_timer.start(int(std::max<qint64>(0, m_durationMs + WatchdogMarginMs - m_started.elapsed())));
            } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
                // The device went away.
                finish(true);
            }
        });
        m_sink->start(buffer);
        if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
            m_running = false;
            release(false);
            if (error)
                *error = QStringLiteral("the sound output \"%1\" did not open").arg(device.description());
            return false;
        }
        m_timer.start(int(m_durationMs + WatchdogMarginMs));
        return true;
    }

    void stop() override
    {
        m_running = false;
        m_timer.stop();
        release(false);
    }

private:
    void finish(bool failed)
    {
        if (!m_running)
            return;
        m_running = false;
        m_timer.stop();
        release(!failed);
        emit finished(failed);
    }

    void release(bool letDrain)
    {
        if (!m_sink)
            return;
        QAudioSink *sink = std::exchange(m_sink, nullptr);
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

    void reap(bool all)
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

    struct Retired {
        QAudioSink *sink;
        qint64 closeAt;      // on m_clock
    };
    bool m_running = false;
    qint64 m_durationMs = 0;
    QElapsedTimer m_started;
    QTimer m_timer;            // the end of the sound, or a watchdog while it plays
    QAudioSink *m_sink = nullptr;
    QList<Retired> m_retired;  // finished outputs, closed and deleted later
    QTimer m_reaper;
    QElapsedTimer m_clock;
};

class QtSoundInput : public SoundInput
{
public:
    using SoundInput::SoundInput;
    ~QtSoundInput() override { stop(); }

    bool start(const QString &name, int preferredRate, QString *error) override
    {
        stop();
        const QAudioDevice device = byName(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput(), name);
        if (device.isNull()) {
            if (error)
                *error = isDefault(name) ? QStringLiteral("this machine has no sound input")
                                         : QStringLiteral("no sound input is called \"%1\"").arg(name);
            return false;
        }
        QAudioFormat format;
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        const int own = device.preferredFormat().sampleRate();
        format.setSampleRate(own >= 8000 && own <= 48000 ? own : preferredRate);
        if (!device.isFormatSupported(format))
            format.setSampleRate(48000);
        m_rate = format.sampleRate();
        m_source = new QAudioSource(device, format, this);
        m_io = m_source->start();
        if (!m_io) {
            if (error)
                *error = QStringLiteral("the sound input \"%1\" did not open").arg(device.description());
            stop();
            return false;
        }
        connect(m_io, &QIODevice::readyRead, this, [this] {
            if (m_io) {
                const QByteArray bytes = m_io->readAll();
                if (!bytes.isEmpty())
                    emit data(bytes);
            }
        });
        return true;
    }

    void stop() override
    {
        if (!m_source)
            return;
        m_source->stop();
        delete m_source;
        m_source = nullptr;
        m_io = nullptr;
    }

    bool isRunning() const override { return m_source != nullptr; }
    int sampleRate() const override { return m_rate; }

private:
    QAudioSource *m_source = nullptr;
    QIODevice *m_io = nullptr;
    int m_rate = 0;
};

} // namespace

QString SoundCard::backend()
{
    return QStringLiteral("Qt Multimedia");
}

QStringList SoundCard::outputNames()
{
    QStringList names;
    for (const QAudioDevice &d : QMediaDevices::audioOutputs())
        names.append(d.description());
    return names;
}

QStringList SoundCard::inputNames()
{
    QStringList names;
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        names.append(d.description());
    return names;
}

QString SoundCard::defaultOutputName()
{
    return QMediaDevices::defaultAudioOutput().description();
}

QString SoundCard::defaultInputName()
{
    return QMediaDevices::defaultAudioInput().description();
}

std::unique_ptr<SoundOutput> SoundOutput::create(QObject *parent)
{
    return std::make_unique<QtSoundOutput>(parent);
}

std::unique_ptr<SoundInput> SoundInput::create(QObject *parent)
{
    return std::make_unique<QtSoundInput>(parent);
}

#else

namespace {

// A build without Qt Multimedia hears and plays no sound card; the test
// packets go to the system's player and the monitor decodes recordings and
// raw samples.
const QString NoCard = QStringLiteral("this build has no sound card (it was made without Qt Multimedia)");

class NoSoundOutput : public SoundOutput
{
public:
    using SoundOutput::SoundOutput;
    bool start(const QString &, const QByteArray &, int, QString *error) override
    {
        if (error)
            *error = NoCard;
        return false;
    }
    void stop() override {}
};

class NoSoundInput : public SoundInput
{
public:
    using SoundInput::SoundInput;
    bool start(const QString &, int, QString *error) override
    {
        if (error)
            *error = NoCard + QStringLiteral("; decode a recording or raw samples instead");
        return false;
    }
    void stop() override {}
    bool isRunning() const override { return false; }
    int sampleRate() const override { return 0; }
};

} // namespace

QString SoundCard::backend() { return {}; }
QStringList SoundCard::outputNames() { return {}; }
QStringList SoundCard::inputNames() { return {}; }
QString SoundCard::defaultOutputName() { return {}; }
QString SoundCard::defaultInputName() { return {}; }

std::unique_ptr<SoundOutput> SoundOutput::create(QObject *parent)
{
    return std::make_unique<NoSoundOutput>(parent);
}

std::unique_ptr<SoundInput> SoundInput::create(QObject *parent)
{
    return std::make_unique<NoSoundInput>(parent);
}

#endif
