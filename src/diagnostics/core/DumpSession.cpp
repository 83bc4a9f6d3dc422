// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/core/DumpSession.h"

#include "diagnostics/core/DumpCollector.h"
#include "link/core/LinkSession.h"
#include "link/core/SerialTrace.h"
#include "base/Services.h"
#include "base/MainView.h"

namespace {
// The main window's progress bar runs to this many bytes during a reply.
constexpr int ProgressMaximum = 2096;
} // namespace

DumpSession::DumpSession(LinkSession &link, int portNumber)
    : m_link(link)
    , m_portNumber(portNumber)
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
    if (m_link.busy)
        return false;
    m_busy = std::make_unique<LinkBusyGuard>(m_link);
    auto giveUp = [this] {
        m_link.disableTimeOut();
        CloseReceiverPort(m_link);
        m_busy.reset();
        return false;
    };
    if (SerialTrace *trace = m_link.Port1.trace())
        trace->beginExchange(QStringLiteral("Data dump on port %1 (%2)")
                                 .arg(m_portNumber)
                                 .arg(m_link.Port1.devicePath(m_portNumber)));
    if (!OpenReceiverPort(m_link, m_portNumber))
        return giveUp();

    LinkSession &link = m_link;
    PortCtl &port = link.Port1;
    link.resetCancel();
    link.armTimeOut(m_link.services().timings.dumpContactMs);
    m_link.TimedOut = false;
    port.WriteString(QByteArrayLiteral("D"));
    port.setReadMode(-1);
    port.Purge();
    m_waiting = true;
    for (;;) {
        const int b = port.ReadByte();
        if (b == LinkSession::ACK) {
            m_waiting = false;
            link.disableTimeOut();
            m_dumpMode = true;
            return true;
        }
        // A receiver that refuses dump mode has nothing more to say: the
        // port is closed rather than left open for nobody.
        if (b == LinkSession::NAK || m_link.TimedOut || link.portLost() || link.cancelRequested()) {
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
        m_link.Port1.WriteString(QByteArray(command));
}

void DumpSession::pauseBeforeNv()
{
    if (m_dumpMode)
        m_link.pause(m_link.services().timings.dumpNvPauseMs);
}

template <class Collector>
DumpSession::Reply DumpSession::collect(Collector &collector)
{
    Reply reply;
    if (!m_dumpMode) {
        reply.end = Reply::End::PortLost;
        return reply;
    }
    LinkSession &link = m_link;
    PortCtl &port = link.Port1;
    link.disableTimeOut();
    m_link.services().view().setProgressRange(0, ProgressMaximum);
    m_link.services().view().setProgressValue(0);
    link.resetCancel();
    m_link.TimedOut = false;
    link.armTimeOut(m_link.services().timings.dumpReplyMs);
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
        m_link.services().view().setProgressValue(qMin(collector.bytesRead(), ProgressMaximum));
        if (done)
            break;
        if (link.cancelRequested()) {
            reply.end = Reply::End::Cancelled;
            break;
        }
        if (m_link.TimedOut) {
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
    if (m_waiting)
        m_link.cancelWait();
}

void DumpSession::Exit()
{
    if (!m_dumpMode)
        return;
    m_dumpMode = false;
    cancel();
    LinkSession &link = m_link;
    link.Port1.WriteString(QByteArrayLiteral("Q"));
    link.disableTimeOut();
    CloseReceiverPort(m_link);
    m_busy.reset();
}
