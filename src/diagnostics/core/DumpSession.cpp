// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/core/DumpSession.h"

#include "diagnostics/core/DumpCollector.h"
#include "link/core/ReceiverLink.h"
#include "shell/core/AppContext.h"
#include "shell/core/MainView.h"

namespace {
// The main window's progress bar runs to this many bytes during a reply.
constexpr int ProgressMaximum = 2096;
} // namespace

DumpSession::DumpSession(AppContext &ctx)
    : m_ctx(ctx)
{
}

DumpSession::~DumpSession()
{
    Exit();
}

bool DumpSession::MakeContact()
{
    if (m_dumpMode)
        return true;
    // A transfer or a port search that owns the port is never cut into.
    if (m_ctx.link.busy)
        return false;
    m_busy = std::make_unique<LinkBusyGuard>(m_ctx);
    auto giveUp = [this] {
        Link(m_ctx).disableTimeOut();
        CloseReceiverPort(m_ctx);
        m_busy.reset();
        return false;
    };
    if (!OpenReceiverPort(m_ctx))
        return giveUp();

    ReceiverLink &link = Link(m_ctx);
    PortCtl &port = link.Port1;
    link.resetCancel();
    link.armTimeOut(m_ctx.timings.dumpContactMs);
    m_ctx.link.TimedOut = false;
    port.WriteString(QByteArrayLiteral("D"));
    port.setReadMode(-1);
    port.Purge();
    m_waiting = true;
    for (;;) {
        const int b = port.ReadByte();
        if (b == ReceiverLink::ACK) {
            m_waiting = false;
            link.disableTimeOut();
            m_dumpMode = true;
            return true;
        }
        // A receiver that refuses dump mode has nothing more to say: the
        // port is closed rather than left open for nobody.
        if (b == ReceiverLink::NAK || m_ctx.link.TimedOut || link.portLost() || link.cancelRequested()) {
            m_waiting = false;
            link.resetCancel();
            return giveUp();
        }
        if (b < 0)
            link.WaitForLink();
    }
}

void DumpSession::send(const char *command)
{
    if (m_dumpMode)
        Link(m_ctx).Port1.WriteString(QByteArray(command));
}

void DumpSession::pauseBeforeNv()
{
    if (m_dumpMode)
        Link(m_ctx).pause(m_ctx.timings.dumpNvPauseMs);
}

template <class Collector>
DumpSession::Reply DumpSession::collect(Collector &collector)
{
    Reply reply;
    if (!m_dumpMode) {
        reply.end = Reply::End::PortLost;
        return reply;
    }
    ReceiverLink &link = Link(m_ctx);
    PortCtl &port = link.Port1;
    link.disableTimeOut();
    m_ctx.view().setProgressRange(0, ProgressMaximum);
    m_ctx.view().setProgressValue(0);
    link.resetCancel();
    m_ctx.link.TimedOut = false;
    link.armTimeOut(m_ctx.timings.dumpReplyMs);
    port.setReadMode(-1);
    m_waiting = true;
    for (;;) {
        bool done = false;
        while (!done && port.InputCount() > 0) {
            const int b = port.ReadByte();
            if (b < 0)
                break;
            done = collector.feed(b);
        }
        m_ctx.view().setProgressValue(qMin(collector.bytesRead(), ProgressMaximum));
        if (done)
            break;
        if (link.cancelRequested()) {
            reply.end = Reply::End::Cancelled;
            break;
        }
        if (m_ctx.link.TimedOut) {
            reply.end = Reply::End::TimedOut;
            break;
        }
        if (link.portLost()) {
            reply.end = Reply::End::PortLost;
            break;
        }
        link.WaitForLink();
    }
    m_waiting = false;
    link.disableTimeOut();
    link.resetCancel();
    reply.text = collector.text();
    return reply;
}

DumpSession::Reply DumpSession::DumpDataRaw()
{
    RawDumpCollector collector;
    return collect(collector);
}

DumpSession::Reply DumpSession::DumpDataNV()
{
    NvDumpCollector collector;
    return collect(collector);
}

void DumpSession::cancel()
{
    if (m_waiting && m_ctx.receiverLink)
        Link(m_ctx).cancelWait();
}

void DumpSession::Exit()
{
    if (!m_dumpMode)
        return;
    m_dumpMode = false;
    cancel();
    ReceiverLink &link = Link(m_ctx);
    link.Port1.WriteString(QByteArrayLiteral("Q"));
    link.disableTimeOut();
    CloseReceiverPort(m_ctx);
    m_busy.reset();
}
