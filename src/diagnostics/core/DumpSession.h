// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

class LinkBusyGuard;
class LinkSession;

// One stay of the receiver in dump mode, from "D" to "Q". The receiver
// answers "D" with ACK (or NAK to refuse), then "R" with its last raw SAME
// data and "X" with its non-volatile memory, each reply closed by ETX; "Q"
// ends dump mode. The port belongs to the session while it lasts, so no
// transfer or port search can cut in.
class DumpSession
{
public:
    struct Reply {
        enum class End { Complete, TimedOut, PortLost, Cancelled };
        End end = End::Complete;
        QString text;   // what was collected, even when the reply was cut short
    };

    // The dump talks to the receiver on port `portNumber` of `link`.
    DumpSession(LinkSession &link, int portNumber);
    ~DumpSession();   // leaves dump mode if still in it

    // Opens the port, sends "D" and waits (timings.dumpContactMs) for
    // ACK. False when the port is in use, will not open, or the receiver
    // refuses or stays silent; the port is then closed again.
    bool MakeContact();
    bool inDumpMode() const { return m_dumpMode; }
    bool isWaiting() const { return m_waiting; }

    // Sends one command of the dump ("R", "X").
    void send(const char *command);
    // The receiver needs a moment before it starts an NV reply.
    void pauseBeforeNv();
    // Read one reply, ending at ETX, after timings.dumpReplyMs, when
    // the port fails, or on cancel().
    Reply DumpDataRaw();
    Reply DumpDataNV();

    // Ends a wait in progress (the window is being closed).
    void cancel();
    // Sends "Q" and closes the port; the session is over.
    void Exit();

private:
    template <class Collector>
    Reply collect(Collector &collector);

    LinkSession &m_link;
    int m_portNumber;
    std::unique_ptr<LinkBusyGuard> m_busy;
    bool m_dumpMode = false;
    bool m_waiting = false;
};
