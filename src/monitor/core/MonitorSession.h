// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/SameDecoder.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QVector>

class Clock;
class CountyNames;
class TransmitterFrequency;
struct AlertLogEntry;

// One message the monitor heard, with everything its outputs need.
struct MonitorMessage {
    SameReport report;
    QString source;            // "monitor:hw:1", "monitor:wav", "monitor:stdin"
    QDateTime heard;           // local time the first burst began
    QString eventName;         // from the event catalogue
    QStringList countyNames;   // the header's locations by name, when names were at hand
    QString audioFile;         // the message's audio, once written
    QTimeZone zone;            // the monitor's zone; invalid: the computer's

    // From a software radio: the channel it was heard on (0 for audio
    // input), and the listing's transmitters on that channel that cover
    // any of the header's locations ("KIH42 Covington 162.550").
    qint64 frequencyHz = 0;
    QStringList transmitters;

    // The time of issue and the end of the purge time (UTC); invalid when
    // the header's issue day or time is out of range.
    QDateTime issued() const { return report.header.issueTime(heard); }
    QDateTime ends() const { return report.header.endTime(heard); }
};

// The alert log row for a message: Receiver column = the source, the date
// its time of issue (the time heard when that is out of range).
AlertLogEntry monitorLogEntry(const MonitorMessage &m);

// The message as one line of JSON (schema docs/json/monitor.schema.json).
QByteArray monitorJsonLine(const MonitorMessage &m);
// The message as a sentence: "Tornado Warning for Cuyahoga, Ohio; Geauga,
// Ohio until 15:30 EST (issued 15:00 EST) by KCLE/NWS", in local time.
QString monitorTextLine(const MonitorMessage &m);
// A local time with its zone, "15:30 EST" (the date too when it is not the
// day of `near`), in `zone` (invalid: the computer's).
QString monitorZoneTime(const QDateTime &t, const QDateTime &near, const QTimeZone &zone = QTimeZone());

// The arguments and environment a per-message command gets. The command is
// started directly, never through a shell, so nothing in a header can
// become a command of its own.
QStringList monitorCommandArguments(const MonitorMessage &m);
QStringList monitorCommandEnvironment(const MonitorMessage &m);

// A decoder with its outputs: feeds the decoder, keeps the recent audio so a
// message's recording can start at its first burst, appends each header to
// the alert log, and saves the message's audio (up to two minutes, until its
// NNNN) as a WAV file beside the log.
class MonitorSession : public QObject
{
    Q_OBJECT
public:
    struct Options {
        int sampleRate = 22050;
        SameMode mode = SameMode::Strict;
        QString source = QStringLiteral("monitor");
        QString logFile;          // empty: no log rows and no audio files
        bool test = false;        // a test recording: its rows are logged as tests, never counted
        bool saveAudio = true;
        // When the audio began: a recording's own time, read from the file.
        // Unset: live input is heard at the run's start plus its position;
        // a recording without a time (realTime false) is heard at the run's
        // start, never later, since it is read faster than it plays.
        QDateTime audioStart;
        bool realTime = true;
        CountyNames *names = nullptr;   // names for the locations (not owned)
        // The zone of the monitor's dates (the time heard, the log row's
        // date, the text's times); invalid: the computer's.
        QTimeZone zone;
        // A software radio's channel: its frequency, and the listing that
        // names its transmitters (not owned; may be null).
        qint64 frequencyHz = 0;
        TransmitterFrequency *transmitters = nullptr;
    };
    MonitorSession(const Options &options, const Clock &clock, QObject *parent = nullptr);

    static constexpr int MaxAudioSeconds = 120;

    // The log takes the monitor's rows: it is missing, empty, or in the
    // current layout. An older layout would lose the header and credit the
    // monitor's tests to a receiver, so it is refused with the command that
    // upgrades it.
    static bool logAccepts(const QString &logFile, QString *why);
    // Rows can be added to the log and audio files made beside it: checked
    // before listening, so a monitor never runs for hours logging nothing.
    // The sentence names the file or folder and the system's reason.
    static bool canWrite(const QString &logFile, QString *why);
    // The audio file name for a message: beside the log, naming the log,
    // the source, the time heard and the event; "-2", "-3"... when taken.
    static QString audioFileName(const QString &logFile, const QString &source, const QDateTime &heard,
                                 const QString &event);

    void feed(const qint16 *samples, qsizetype count);
    // End of input: decides what is pending and writes open recordings.
    void finish();

    const Options &options() const { return m_options; }
    QList<MonitorMessage> messages() const { return m_messages; }
    // The level of the last chunk, as the peak of |sample| (0..1).
    double level() const { return m_level; }
    qint64 samplesSeen() const { return m_decoder.samplesSeen(); }

signals:
    void messageDecoded(const MonitorMessage &message);
    void endOfMessage(const QDateTime &heard);
    void audioSaved(const QString &file);
    // A log row or an audio file could not be written; the text names it.
    void problem(const QString &text);

private:
    void handle(const SameReport &r);
    void closeRecording();
    QDateTime timeOf(qint64 sample) const;

    Options m_options;
    const Clock &m_clock;
    SameDecoder m_decoder;
    QDateTime m_started;
    double m_level = 0;

    // The last few seconds of audio, so a recording can begin at the first
    // burst of a header that was decided seconds later.
    QVector<qint16> m_history;
    qint64 m_historyStart = 0;      // sample number of m_history[0]
    bool m_recording = false;
    QVector<qint16> m_recordingAudio;
    int m_recordingMessage = -1;

    QList<MonitorMessage> m_messages;
};
