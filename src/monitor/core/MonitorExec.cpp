// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/MonitorExec.h"

#include "monitor/core/MonitorSession.h"

#include "base/Platform.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

MonitorExec::MonitorExec(const Options &options, QObject *parent) : QObject(parent), m_options(options)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &MonitorExec::killCurrent);
}

MonitorExec::~MonitorExec()
{
    delete m_ended;
    if (m_current) {
        killCurrent();
        m_current->waitForFinished(5000);
        Platform::NoLongerEndWithThisProgram(m_currentPid);
        delete m_current;
    }
}

void MonitorExec::run(const MonitorMessage &m)
{
    if (int(m_queue.size()) >= m_options.queueLimit) {
        ++m_dropped;
        emit problem(QStringLiteral("%1 is still busy and %2 messages wait for it: the program was not run for %3")
                         .arg(QDir::toNativeSeparators(m_options.program)).arg(m_queue.size())
                         .arg(QString::fromLatin1(m.report.header.text)));
        return;
    }
    m_queue.push_back({QString::fromLatin1(m.report.header.text), monitorCommandArguments(m),
                       monitorCommandEnvironment(m)});
    if (!m_current)
        startNext();
}

void MonitorExec::startNext()
{
    while (!m_current && !m_queue.empty()) {
        const Job job = m_queue.front();
        m_queue.pop_front();
        auto *p = new QProcess;
        p->setProgram(m_options.program);
        p->setArguments(job.arguments);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &kv : job.environment) {
            const int eq = kv.indexOf(QLatin1Char('='));
            env.insert(kv.left(eq), kv.mid(eq + 1));
        }
        p->setProcessEnvironment(env);
        p->setStandardInputFile(QProcess::nullDevice());
        // The child shares the monitor's standard error and writes its
        // standard output there too; in a session of its own, so that the
        // time-out ends whatever it started as well.
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        Platform::OwnProcessGroup(*p, /*outputToStderr*/ true);
        p->start();
        if (!p->waitForStarted(-1)) {
            m_startFailed = true;
            emit problem(QStringLiteral("could not start %1: %2")
                             .arg(QDir::toNativeSeparators(m_options.program), p->errorString()));
            delete p;
            continue;
        }
        ++m_started;
        m_current = p;
        m_currentHeader = job.header;
        m_currentKilled = false;
        m_currentPid = p->processId();
        Platform::EndWithThisProgram(m_currentPid);
        connect(p, &QProcess::finished, this, &MonitorExec::onFinished);
        m_timer.start(m_options.timeoutMs);
    }
}

void MonitorExec::onFinished()
{
    m_timer.stop();
    if (m_current) {
        Platform::NoLongerEndWithThisProgram(m_currentPid);
        m_currentPid = 0;
        const QString program = QDir::toNativeSeparators(m_options.program);
        if (m_currentKilled) {
            // Said already when it was ended.
        } else if (m_current->exitStatus() == QProcess::CrashExit) {
            ++m_failed;
            emit problem(QStringLiteral("%1 was ended by a signal while it ran for %2")
                             .arg(program, m_currentHeader));
        } else if (m_current->exitCode() != 0) {
            ++m_failed;
            emit problem(QStringLiteral("%1 exited with status %2 for %3")
                             .arg(program).arg(m_current->exitCode()).arg(m_currentHeader));
        }
    }
    // The child that just ended is deleted with the next one's end (it is
    // still emitting now); deleteLater would wait for an event loop that a
    // recording's run never enters.
    delete m_ended;
    m_ended = m_current;
    m_current = nullptr;
    startNext();
}

void MonitorExec::killCurrent()
{
    if (!m_current || m_current->state() == QProcess::NotRunning)
        return;
    ++m_timedOut;
    m_currentKilled = true;
    emit problem(QStringLiteral("%1 ran longer than %2 s and was ended (time-out) for %3")
                     .arg(QDir::toNativeSeparators(m_options.program)).arg(m_options.timeoutMs / 1000.0)
                     .arg(m_currentHeader));
    const qint64 pid = m_current->processId();
    if (pid > 0)
        Platform::KillProcessTree(pid);   // the child and what it started
    m_current->kill();
}

void MonitorExec::finish()
{
    while (m_current) {
        QProcess *p = m_current;
        const int left = m_timer.isActive() ? m_timer.remainingTime() : 0;
        if (!p->waitForFinished(std::max(left, 1))) {
            m_timer.stop();
            killCurrent();
            p->waitForFinished(-1);
        }
        // waitForFinished delivered `finished`, which started the next one.
        if (m_current == p)
            onFinished();
    }
}
