// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// The sound card, as the test packets and the monitor use it: play 16-bit
// mono samples on a chosen output, record 16-bit mono samples from a chosen
// input, and list both by the names the user picks them by. One backend is
// built in, chosen when the program is built: Qt Multimedia on Linux
// (SoundCardPosix.cpp), the Windows waveIn/waveOut API on Windows
// (SoundCardWin32.cpp, over the Qt-free WaveAudio). A build without either
// lists no devices and refuses to open one, saying why.
//
// A device name of "" or "default" is the system's default device.
namespace SoundCard {

// "Qt Multimedia", "winmm", or empty when this build has no sound card.
QString backend();
QStringList outputNames();
QStringList inputNames();
// The name of the system's default output or input; empty without one.
QString defaultOutputName();
QString defaultInputName();

// The rate the monitor asks an input for when the device has no better one:
// ten samples per SAME bit of 520.83 baud is plenty.
constexpr int PreferredInputRate = 22050;

} // namespace SoundCard

// Plays one buffer of samples to its end. start() returns at once;
// finished() follows once the sound has been heard, never from inside
// start(), and not after stop().
class SoundOutput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // `pcm` is signed 16-bit little-endian mono at `rate` samples/s. False
    // with a reason when the device is missing or will not open; nothing
    // follows then.
    virtual bool start(const QString &device, const QByteArray &pcm, int rate, QString *error) = 0;
    // Ends the sound at once, silently; finished() does not follow.
    virtual void stop() = 0;

    static std::unique_ptr<SoundOutput> create(QObject *parent = nullptr);

signals:
    // `failed`: the device went away while playing (the caller keeps the
    // pacing silently).
    void finished(bool failed);
};

// Records from one input. The samples come in blocks, as raw signed 16-bit
// little-endian mono bytes.
class SoundInput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Opens `device` at the device's own rate when the decoder takes it,
    // else at `preferredRate`, else 48000. False with a reason.
    virtual bool start(const QString &device, int preferredRate, QString *error) = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
    virtual int sampleRate() const = 0;

    static std::unique_ptr<SoundInput> create(QObject *parent = nullptr);

signals:
    void data(const QByteArray &s16le);
};
