// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/IqChanneliser.h"
#include "monitor/core/MonitorSession.h"

#include <QObject>

#include <memory>
#include <vector>

class Clock;
class TransmitterFrequency;

// The monitor on a software radio: the band's IQ samples are channelised,
// and every channel has a monitor session of its own, so each logs, records
// and reports its messages as a sound-card monitor does. A message carries
// its channel's frequency and the transmitters that may have sent it.
class IqMonitor : public QObject
{
    Q_OBJECT
public:
    struct Options {
        IqFormat format = IqFormat::Cu8;
        IqChanneliser::Options band;
        // What every channel's session takes; its rate, source and
        // frequency are set per channel.
        MonitorSession::Options session;
        // "monitor:iq" or "monitor:rtl-sdr:0"; each channel's source adds
        // its frequency, "monitor:iq:162.550".
        QString source = QStringLiteral("monitor:iq");
        TransmitterFrequency *transmitters = nullptr;   // not owned; may be null
    };
    IqMonitor(const Options &options, const Clock &clock, QObject *parent = nullptr);
    ~IqMonitor() override;

    // Sets up the channels; false with a reason as IqChanneliser::setup.
    bool start(QString *why);

    // Bytes in the input's format, cut anywhere.
    void feed(const char *bytes, qsizetype count);
    // End of input: every channel decides what is pending.
    void finish();
    bool hasPartialSample() const { return m_reader.hasPartialSample(); }

    QVector<qint64> channels() const { return m_channeliser.channels(); }
    int audioRate() const { return m_channeliser.audioRate(); }
    double channelPowerDb(int channel) const { return m_channeliser.channelPowerDb(channel); }
    // The peak audio level of the channel's last block (0..1).
    double channelLevel(int channel) const;
    MonitorSession *session(int channel) const;
    qint64 complexSamplesSeen() const { return m_samples; }

signals:
    void messageDecoded(const MonitorMessage &message);
    void endOfMessage(const QDateTime &heard, qint64 frequencyHz);
    void audioSaved(const QString &file);
    void problem(const QString &text);

private:
    Options m_options;
    const Clock &m_clock;
    IqSampleReader m_reader;
    IqChanneliser m_channeliser;
    std::vector<std::unique_ptr<MonitorSession>> m_sessions;
    std::vector<float> m_iq;
    qint64 m_samples = 0;
};
