// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/TransmitterFrequency.h"
#include "history/core/ReceiverCrossCheck.h"
#include "monitor/core/CountyNames.h"
#include "monitor/core/MonitorSession.h"

#include <QDialog>
#include <QVector>

#include <memory>

class AudioInput;
class Clock;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class SdrPanel;

// View > Alert Monitor...: listens to a weather radio through a sound card
// (or a recording), shows every header it decodes and logs it with the
// alert log. A mark shows the alerts this receiver, as programmed, should
// have sounded for.
class frmMonitor : public QDialog
{
    Q_OBJECT
public:
    struct Setup {
        QString logPath;            // the alert log; empty: nothing is logged
        QString statesFolder;       // for county names
        QStringList fipEntries;     // the receiver's county lines
        QStringList eventSelection; // the receiver's events
        // The receiver's own history, for the cross-check; historyRead is
        // false before the first transfer.
        QList<AlertLogEntry> receiverHistory;
        bool historyRead = false;
        QString transmitter;        // the receiver's transmitter, as the listing writes it
    };
    frmMonitor(const Setup &setup, Prompter &prompter, const Clock &clock, QWidget *parent = nullptr);
    ~frmMonitor() override;

    // Starts decoding a WAV file as if it were being played (tests and the
    // "WAV file" input); false with the status line saying why.
    bool startWav(const QString &path);
    bool isRunning() const;
    QList<MonitorMessage> messages() const;

    // Recordings are read faster than they last: this many seconds of audio
    // per second (0 = as fast as the machine goes).
    void setWavSpeed(double times) { m_wavSpeed = times; }

    // The software-radio input (shown when Input is one of the two below).
    SdrPanel *sdrPanel() const { return m_sdr; }
    static const QString IqFileInput;
    static const QString RtlSdrInput;

public slots:
    void start();
    void stop();

signals:
    void finished();   // the recording reached its end, or Stop was pressed

private:
    void addMessage(const MonitorMessage &m);
    void updateCrossCheck();
    void feedWav();
    void setRunning(bool running);
    void setStatus(const QString &text);
    void startSdr();
    void makeSession(int rate, const QString &source, const QDateTime &audioStart = QDateTime());
    // The log takes the monitor's rows; says why not in the status otherwise.
    bool logUsable();

    Setup m_setup;
    Prompter &m_prompter;
    const Clock &m_clock;
    ReceiverProgram m_program;
    CountyNames m_names;
    TransmitterFrequency m_transmitters;
    SdrPanel *m_sdr = nullptr;

    QComboBox *m_input = nullptr;
    QLineEdit *m_wavFile = nullptr;
    QPushButton *m_browse = nullptr;
    QComboBox *m_mode = nullptr;
    QProgressBar *m_level = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_status = nullptr;
    QTableWidget *m_grid = nullptr;
    QLabel *m_crossCheck = nullptr;

    std::unique_ptr<MonitorSession> m_session;
    AudioInput *m_audio = nullptr;
    QTimer *m_wavTimer = nullptr;
    QVector<qint16> m_wavSamples;
    qsizetype m_wavAt = 0;
    double m_wavSpeed = 20.0;
    QList<MonitorMessage> m_messages;
};
