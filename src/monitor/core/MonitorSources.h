// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QIODevice;
class SoundInput;

// Where the monitor's audio comes from: a WAV file, raw signed 16-bit
// little-endian samples (an SDR pipeline on standard input), or a sound
// card chosen by name. All give mono 16-bit samples and their rate.

// The most channels a WAV file may have; more are refused.
inline constexpr int MaxWavChannels = 8;

// The samples of a WAV file (PCM of 8, 16, 24 or 32 bits, or 32-bit float;
// several channels are mixed to one). False with a reason for anything
// else, a rate outside 8000..48000 included.
bool readWavSamples(const QByteArray &file, QVector<qint16> *samples, int *rate, QString *error);

// A WAV file read block by block, so that memory stays flat however long it
// is; pipes and FIFOs work too, since it never seeks. A data size of 0 or
// 0xFFFFFFFF (what a recorder writes while it streams), or one larger than
// what follows, means "to the end of the file".
class WavStream
{
public:
    // Reads the chunks before the samples. False with a reason for anything
    // readWavSamples refuses.
    bool open(QIODevice *device, QString *error);
    int sampleRate() const { return m_rate; }
    // When the recording began, from its broadcast-wave (bext) chunk or its
    // INFO creation date when that holds a time; invalid otherwise.
    QDateTime recorded() const { return m_recorded; }
    // Up to `maxSamples` mono samples; empty at the end.
    QVector<qint16> read(qsizetype maxSamples);
    // The file ended inside a sample frame.
    bool endedInFrame() const { return m_partial; }
    // What the user should know about the file that did not stop it being
    // read: a header claiming more samples than the file holds ("the header
    // claims 40 min, the file holds 4 min"). Empty when nothing.
    QString note() const { return m_note; }

private:
    QIODevice *m_in = nullptr;
    int m_rate = 0;
    int m_format = 0;
    int m_bytes = 0;
    int m_channels = 0;
    qint64 m_left = -1;      // data bytes still to come; -1: to the end of the file
    QDateTime m_recorded;
    QString m_note;
    bool m_partial = false;
};

// Turns a byte stream of S16LE into samples, whatever way it is cut: a
// sample split between two reads is put together again.
class RawSampleReader
{
public:
    QVector<qint16> push(const QByteArray &bytes);
    bool hasPartialSample() const { return m_carry.size() > 0; }

private:
    QByteArray m_carry;
};

// The sound cards that can record, by the names the user picks them by.
QStringList audioInputNames();

// A sound card's input, opened by name ("default" or empty for the system's
// default), at its own rate or 22,050 samples/s. The samples come in blocks
// through `samples`.
class AudioInput : public QObject
{
    Q_OBJECT
public:
    explicit AudioInput(QObject *parent = nullptr);
    ~AudioInput() override;

    // False with a reason when no such card records or it will not open.
    bool start(const QString &name, QString *error);
    void stop();
    bool isRunning() const;
    int sampleRate() const;

signals:
    void samples(const QVector<qint16> &block);

private:
    std::unique_ptr<SoundInput> m_input;
    RawSampleReader m_reader;
};
