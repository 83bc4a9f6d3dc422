// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <deque>

class QProcess;
struct MonitorMessage;

// Runs a program per message, one at a time. A message that comes while the
// last one's program still runs waits in a short queue; when the queue is
// full it is dropped and counted, so a program that hangs costs one child
// and a few queued messages, never one child per message. A child that runs
// longer than the time-out is killed with everything it started. Children
// never write to the monitor's standard output (that is the monitor's own
// header or JSON stream): their output goes to its standard error. The
// program is started directly, without a shell, so nothing in a header can
// become a command of its own. A run that fails (a status other than 0, a
// signal, the time-out) is reported through problem(). Every child is kept
// for Platform::EndWithThisProgram, so a monitor ended by a signal ends it
// too.
class MonitorExec : public QObject
{
    Q_OBJECT
public:
    struct Options {
        QString program;
        int timeoutMs = 60000;
        int queueLimit = 16;
    };
    explicit MonitorExec(const Options &options, QObject *parent = nullptr);
    ~MonitorExec() override;

    // Runs the program for `m` now, or queues it.
    void run(const MonitorMessage &m);
    // Waits (without spinning) until the running child and the queue are
    // done, each child bounded by the time-out.
    void finish();

    bool busy() const { return m_current != nullptr; }
    int started() const { return m_started; }
    int dropped() const { return m_dropped; }
    int timedOut() const { return m_timedOut; }
    // The program could not be started at least once.
    bool startFailed() const { return m_startFailed; }
    // Runs that ended with a status other than 0 or by a signal (not
    // counting those ended for the time-out).
    int failed() const { return m_failed; }
    // Something went wrong with the program at least once: it did not
    // start, failed, or was ended for the time-out.
    bool anyFault() const { return m_startFailed || m_failed > 0 || m_timedOut > 0; }

signals:
    void problem(const QString &text);

private:
    struct Job {
        QString header;
        QStringList arguments;
        QStringList environment;
    };
    void startNext();
    void onFinished();
    void killCurrent();

    Options m_options;
    std::deque<Job> m_queue;
    QProcess *m_current = nullptr;
    QProcess *m_ended = nullptr;
    QTimer m_timer;
    QString m_currentHeader;
    qint64 m_currentPid = 0;   // QProcess forgets it once the child has ended
    bool m_currentKilled = false;
    int m_failed = 0;
    int m_started = 0;
    int m_dropped = 0;
    int m_timedOut = 0;
    bool m_startFailed = false;
};
