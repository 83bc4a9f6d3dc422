// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/LinkSession.h"

#include "base/Messages.h"
#include "base/Services.h"
#include "link/core/PortMap.h"

#include <QCoreApplication>
#include <QEventLoop>

LinkSession::LinkSession(Services &services)
    : LinkSession(services, PortMap::Load(services))
{
}

LinkSession::LinkSession(Services &services, const QStringList &devicePaths)
    : ReceiveBuffer(ReceiveBufferSize, '\0')
    , m_services(services)
{
    Port1.setDevicePaths(devicePaths);
    // A coarse timer may fire up to 5 % early; the time-outs are exact.
    tmrTimeOut.setTimerType(Qt::PreciseTimer);
    connect(&tmrTimeOut, &QTimer::timeout, this, [this] {
        TimedOut = true;
        quitLoop();
    });
    connect(&Port1, &PortCtl::activity, this, &LinkSession::quitLoop);
}

LinkSession::~LinkSession() = default;

void LinkSession::reloadDevices()
{
    Port1.setDevicePaths(PortMap::Load(m_services));
}

void LinkSession::armTimeOut(int ms)
{
    if (ms <= 0) {
        tmrTimeOut.stop();
        return;
    }
    tmrTimeOut.setInterval(ms);
    tmrTimeOut.start();
}

void LinkSession::quitLoop()
{
    if (m_loop)
        m_loop->quit();
}

bool LinkSession::portLost() const
{
    return (Port1.failed() || !Port1.isOpen()) && Port1.InputCount() == 0;
}

void LinkSession::cancelWait()
{
    m_cancelled = true;
    quitLoop();
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

LinkSession::Wake LinkSession::WaitForLink()
{
    auto ready = [this]() -> int {
        if (Port1.InputCount() > 0)
            return int(Wake::Input);
        if (TimedOut)
            return int(Wake::TimedOut);
        if (portLost())
            return int(Wake::PortLost);
        if (m_cancelled)
            return int(Wake::Cancelled);
        return -1;
    };
    // Events that are already queued (a byte, a tick) come first.
    QCoreApplication::processEvents();
    int r = ready();
    while (r < 0) {
        QEventLoop loop;
        QEventLoop *outer = m_loop;
        m_loop = &loop;
        loop.exec();
        m_loop = outer;
        r = ready();
    }
    return Wake(r);
}

void LinkSession::pause(int ms, bool excludeUserInput)
{
    if (ms <= 0 || m_cancelled)
        return;
    // A pause ends on its own timer or a cancel, not on port activity.
    QEventLoop loop;
    QTimer t;
    t.setSingleShot(true);
    t.setTimerType(Qt::PreciseTimer);
    connect(&t, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop *outer = m_pauseLoop;
    m_pauseLoop = &loop;
    t.start(ms);
    loop.exec(excludeUserInput ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
    m_pauseLoop = outer;
}

void LinkSession::waitForSecond(int targetSecond)
{
    for (;;) {
        const QTime now = m_services.clock().timeOfDay();
        // A cancelled pause returns at once: do not go round again.
        if (now.second() == targetSecond || m_cancelled)
            return;
        // Sleep to just past the next change of second, then look again.
        pause(1000 - now.msec() + 1);
    }
}

LinkBusyGuard::LinkBusyGuard(LinkSession &session)
    : m_session(session)
{
    m_session.busy = true;
}

LinkBusyGuard::~LinkBusyGuard()
{
    m_session.busy = false;
}

// ---- Link operations ---------------------------------------------------------

bool OpenReceiverPort(LinkSession &session, int portNumber)
{
    if (session.PortIsOpen)
        return true;
    PortCtl &port = session.Port1;
    port.setBaudRate(4800);
    port.setParity(0);
    port.setPortNumber(portNumber);
    session.PortHandle = int16_t(port.Open());
    if (session.PortHandle != 0) {
        port.setReadMode(1);
        session.PortIsOpen = true;
        return true;
    }
    CloseReceiverPort(session);
    Messages::ShowError(session.services().prompter(), 1);
    return false;
}

void CloseReceiverPort(LinkSession &session)
{
    if (session.PortHandle > 0)
        session.PortHandle = int16_t(session.Port1.Close());
    session.PortIsOpen = false;
}

bool NegotiateLink(LinkSession &session, int portNumber)
{
    if (!OpenReceiverPort(session, portNumber))
        return false;
    Services &svc = session.services();
    session.TimedOut = false;
    session.armTimeOut(svc.timings.negotiateMs);
    svc.view().setStatusText(QStringLiteral("Left"),
                             QStringLiteral("Negotiating Port # ") + QString::number(portNumber));
    session.Port1.WriteString(QByteArrayLiteral("Z"));
    session.Port1.setReadMode(-1);
    for (;;) {
        const int b = session.Port1.ReadByte();
        if (b == LinkSession::ACK)
            return true;
        // A port that went away cannot answer any more: give up at once
        // instead of sitting out the time-out.
        if (session.TimedOut || session.portLost() || session.cancelRequested()) {
            CloseReceiverPort(session);
            Messages::ShowError(svc.prompter(), 2);
            return false;
        }
        if (b < 0)
            session.WaitForLink();
    }
}
