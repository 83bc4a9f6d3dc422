// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card on Windows: the wave API (WaveAudio), which needs no Qt
// module. A timer asks it how far playing and recording have come.
#include "testpackets/core/SoundCard.h"

#include "testpackets/core/WaveAudio.h"

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

namespace {

// How often the device is asked; the recorder holds 400 ms.
constexpr int PollMs = 20;
// A sound the device never reports played out ends this long after its own
// length.
constexpr qint64 WatchdogMarginMs = 3000;

QStringList toList(const std::vector<std::string> &names)
{
    QStringList out;
    for (const std::string &n : names)
        out.append(QString::fromStdString(n));
    return out;
}

bool isDefault(const QString &name)
{
    return name.isEmpty() || name == QLatin1String("default");
}

class WinSoundOutput : public SoundOutput
{
public:
    explicit WinSoundOutput(QObject *parent)
        : SoundOutput(parent)
    {
        m_poll.setInterval(PollMs);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (m_player.done() || m_started.elapsed() > m_durationMs + WatchdogMarginMs) {
                m_poll.stop();
                m_player.stop();
                emit finished(false);
            }
        });
    }

    bool start(const QString &name, const QByteArray &pcm, int rate, QString *error) override
    {
        stop();
        const int device = WaveAudio::outputByName(name.toStdString());
        if (device == WaveAudio::NoDevice || (isDefault(name) && WaveAudio::outputNames().empty())) {
            if (error)
                *error = isDefault(name) ? QStringLiteral("this machine has no sound output")
                                         : QStringLiteral("no sound output is called \"%1\"").arg(name);
            return false;
        }
        std::string why;
        if (!m_player.play(device, rate, reinterpret_cast<const int16_t *>(pcm.constData()), std::size_t(pcm.size() / 2),
                           &why)) {
            if (error)
                *error = QString::fromStdString(why);
            return false;
        }
        m_durationMs = rate > 0 ? pcm.size() / 2 * 1000 / rate : 0;
        m_started.start();
        m_poll.start();
        return true;
    }

    void stop() override
    {
        m_poll.stop();
        m_player.stop();
    }

private:
    WaveAudio::Player m_player;
    QTimer m_poll;
    QElapsedTimer m_started;
    qint64 m_durationMs = 0;
};

class WinSoundInput : public SoundInput
{
public:
    explicit WinSoundInput(QObject *parent)
        : SoundInput(parent)
    {
        m_poll.setInterval(PollMs);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            std::vector<int16_t> got;
            const bool ok = m_recorder.take(got);
            if (!got.empty())
                emit data(QByteArray(reinterpret_cast<const char *>(got.data()), qsizetype(got.size() * 2)));
            if (!ok)
                m_poll.stop();
        });
    }
    ~WinSoundInput() override { stop(); }

    bool start(const QString &name, int preferredRate, QString *error) override
    {
        stop();
        const int device = WaveAudio::inputByName(name.toStdString());
        if (device == WaveAudio::NoDevice || (isDefault(name) && WaveAudio::inputNames().empty())) {
            if (error)
                *error = isDefault(name) ? QStringLiteral("this machine has no sound input")
                                         : QStringLiteral("no sound input is called \"%1\"").arg(name);
            return false;
        }
        // winmm names no rate of its own: the wanted one, else the rates
        // every card records at.
        const int rate = WaveAudio::Recorder::supportedRate(device, {preferredRate, 48000, 44100, 16000, 11025, 8000});
        if (rate == 0) {
            if (error)
                *error = QStringLiteral("the sound input \"%1\" records no 16-bit mono sound").arg(name);
            return false;
        }
        std::string why;
        if (!m_recorder.open(device, rate, &why)) {
            if (error)
                *error = QString::fromStdString(why);
            return false;
        }
        m_poll.start();
        return true;
    }

    void stop() override
    {
        m_poll.stop();
        m_recorder.close();
    }

    bool isRunning() const override { return m_recorder.isOpen(); }
    int sampleRate() const override { return m_recorder.rate(); }

private:
    WaveAudio::Recorder m_recorder;
    QTimer m_poll;
};

} // namespace

QString SoundCard::backend()
{
    return QStringLiteral("winmm");
}

QStringList SoundCard::outputNames()
{
    return toList(WaveAudio::outputNames());
}

QStringList SoundCard::inputNames()
{
    return toList(WaveAudio::inputNames());
}

// winmm's default is its mapper, which follows the system's choice; the
// first device is what it picks when nothing else is set.
QString SoundCard::defaultOutputName()
{
    return outputNames().value(0);
}

QString SoundCard::defaultInputName()
{
    return inputNames().value(0);
}

std::unique_ptr<SoundOutput> SoundOutput::create(QObject *parent)
{
    return std::make_unique<WinSoundOutput>(parent);
}

std::unique_ptr<SoundInput> SoundInput::create(QObject *parent)
{
    return std::make_unique<WinSoundInput>(parent);
}
