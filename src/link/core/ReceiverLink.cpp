// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/ReceiverLink.h"

#include "link/core/PortMap.h"
#include "shell/core/AppContext.h"
#include "shell/core/MainView.h"
#include "shell/core/Messages.h"

#include <QCoreApplication>
#include <QEventLoop>

ReceiverLink::ReceiverLink(AppContext &ctx)
    : m_ctx(ctx)
{
    Port1.setDevicePaths(PortMap::Load(ctx));
    // A coarse timer may fire up to 5 % early; the time-outs are exact.
    tmrTimeOut.setTimerType(Qt::PreciseTimer);
    connect(&tmrTimeOut, &QTimer::timeout, this, [this] {
        m_ctx.link.TimedOut = true;
        quitLoop();
    });
    connect(&Port1, &PortCtl::activity, this, &ReceiverLink::quitLoop);
}

ReceiverLink::~ReceiverLink() = default;

void ReceiverLink::reloadDevices()
{
    Port1.setDevicePaths(PortMap::Load(m_ctx));
}

void ReceiverLink::armTimeOut(int ms)
{
    if (ms <= 0) {
        tmrTimeOut.stop();
        return;
    }
    tmrTimeOut.setInterval(ms);
    tmrTimeOut.start();
}

void ReceiverLink::quitLoop()
{
    if (m_loop)
        m_loop->quit();
}

bool ReceiverLink::portLost() const
{
    return (Port1.failed() || !Port1.isOpen()) && Port1.InputCount() == 0;
}

void ReceiverLink::cancelWait()
{
    m_cancelled = true;
    quitLoop();
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

ReceiverLink::Wake ReceiverLink::WaitForLink()
{
    auto ready = [this]() -> int {
        if (Port1.InputCount() > 0)
            return int(Wake::Input);
        if (m_ctx.link.TimedOut)
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

void ReceiverLink::pause(int ms, bool excludeUserInput)
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

void ReceiverLink::waitForSecond(int targetSecond)
{
    for (;;) {
        const QTime now = m_ctx.clock().timeOfDay();
        // A cancelled pause returns at once: do not go round again.
        if (now.second() == targetSecond || m_cancelled)
            return;
        // Sleep to just past the next change of second, then look again.
        pause(1000 - now.msec() + 1);
    }
}

ReceiverLink &Link(AppContext &ctx)
{
    if (!ctx.receiverLink)
        ctx.receiverLink = std::make_shared<ReceiverLink>(ctx);
    return *ctx.receiverLink;
}

LinkBusyGuard::LinkBusyGuard(AppContext &ctx)
    : m_ctx(ctx)
{
    m_ctx.link.busy = true;
}

LinkBusyGuard::~LinkBusyGuard()
{
    m_ctx.link.busy = false;
}

// ---- Link operations ---------------------------------------------------------

bool OpenReceiverPort(AppContext &ctx)
{
    if (ctx.link.PortIsOpen)
        return true;
    PortCtl &port = Link(ctx).Port1;
    port.setBaudRate(4800);
    port.setParity(0);
    port.setPortNumber(ctx.config.SerialPort);
    ctx.link.PortHandle = int16_t(port.Open());
    if (ctx.link.PortHandle != 0) {
        port.setReadMode(1);
        ctx.link.PortIsOpen = true;
        return true;
    }
    CloseReceiverPort(ctx);
    Messages::ShowError(ctx, 1);
    return false;
}

void CloseReceiverPort(AppContext &ctx)
{
    if (ctx.link.PortHandle > 0)
        ctx.link.PortHandle = int16_t(Link(ctx).Port1.Close());
    ctx.link.PortIsOpen = false;
}

bool NegotiateLink(AppContext &ctx)
{
    if (!OpenReceiverPort(ctx))
        return false;
    ReceiverLink &link = Link(ctx);
    ctx.link.TimedOut = false;
    link.armTimeOut(ctx.timings.negotiateMs);
    ctx.view().setStatusText(QStringLiteral("Left"),
                             QStringLiteral("Negotiating Port # ") + QString::number(ctx.config.SerialPort));
    link.Port1.WriteString(QByteArrayLiteral("Z"));
    link.Port1.setReadMode(-1);
    for (;;) {
        const int b = link.Port1.ReadByte();
        if (b == ReceiverLink::ACK)
            return true;
        // A port that went away cannot answer any more: give up at once
        // instead of sitting out the time-out.
        if (ctx.link.TimedOut || link.portLost() || link.cancelRequested()) {
            CloseReceiverPort(ctx);
            Messages::ShowError(ctx, 2);
            return false;
        }
        if (b < 0)
            link.WaitForLink();
    }
}
