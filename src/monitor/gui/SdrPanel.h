// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/IqChanneliser.h"
#include "monitor/core/MonitorSession.h"

#include <QFile>
#include <QGroupBox>
#include <QVector>

#include <atomic>
#include <memory>

class Clock;
class IqMonitor;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class RtlSdrInput;
class TransmitterFrequency;

// The Alert Monitor's software-radio input: the whole weather band from a
// recorded IQ file or an RTL-SDR dongle, every channel decoded at once. A
// meter per channel shows its signal strength, and a channel on which a
// message was heard says so.
class SdrPanel : public QGroupBox
{
    Q_OBJECT
public:
    SdrPanel(const Clock &clock, QWidget *parent = nullptr);
    ~SdrPanel() override;

    // The dongle instead of a file: the file's fields are then disabled.
    void setDongle(bool dongle);
    bool dongle() const { return m_dongle; }

    // Starts on what the fields name; false with the reason. `session`
    // is what every channel's monitor session takes.
    bool start(const MonitorSession::Options &session, TransmitterFrequency *transmitters, QString *why);
    void stop();
    bool isRunning() const;
    // A recording is read this many times faster than it plays; 0: as fast
    // as the machine goes.
    void setSpeed(double times) { m_speed = times; }

    // The fields, for a caller that fills them (and tests).
    void setFile(const QString &path, IqFormat format, double rate, const QString &centre);
    // Channels on which a message was heard since the start, in Hz.
    QVector<qint64> heardChannels() const { return m_heard; }
    // What the run is listening to: "162.400 to 162.550 MHz, 7 channels".
    QString describe() const;

signals:
    void messageDecoded(const MonitorMessage &message);
    // A log row or audio file could not be written, or the dongle stopped.
    void problem(const QString &text);
    // The recording reached its end (the status to show).
    void ended(const QString &status);

private:
    void feedFile();
    void feed(const QByteArray &bytes);
    void updateMeters();
    void markHeard(const MonitorMessage &m);
    void setFieldsEnabled(bool on);

    const Clock &m_clock;
    bool m_dongle = false;
    QLineEdit *m_file = nullptr;
    QPushButton *m_browse = nullptr;
    QComboBox *m_format = nullptr;
    QLineEdit *m_rate = nullptr;
    QLineEdit *m_centre = nullptr;
    QVector<QLabel *> m_names;
    QVector<QProgressBar *> m_meters;
    QVector<QLabel *> m_heardLabels;

    std::unique_ptr<IqMonitor> m_monitor;
    QFile m_input;
    QTimer *m_timer = nullptr;
    double m_speed = 10.0;
    double m_bytesPerSecond = 0;
    QVector<qint64> m_heard;
    int m_messageCount = 0;

    std::unique_ptr<RtlSdrInput> m_radio;
    QThread *m_reader = nullptr;
    std::atomic<bool> m_stopReading{false};
};
