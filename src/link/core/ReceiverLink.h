// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The receiver link: the port `Port1`, the time-out timer `tmrTimeOut`, the
// one wait that every exchange with the receiver uses, and the link
// operations OpenReceiverPort, CloseReceiverPort and NegotiateLink.
//
// There is one ReceiverLink per AppContext, created on first use by Link(ctx)
// and kept in ctx.receiverLink. Its state flags are ctx.link (PortIsOpen,
// PortHandle, TimedOut, busy).
//
// A typical guarded exchange (the data dump's contact works like this):
//
//   ReceiverLink &link = Link(ctx);
//   if (ctx.link.busy) { ctx.prompter().beep(); return; }   // port in use
//   LinkBusyGuard busy(ctx);
//   if (!OpenReceiverPort(ctx)) ...
//   link.armTimeOut(ctx.timings.dumpContactMs);   // interval + enable
//   ctx.link.TimedOut = false;
//   link.Port1.WriteString("D"); link.Port1.setReadMode(-1); link.Port1.Purge();
//   for (;;) {
//       const int b = link.Port1.ReadByte();
//       if (b == 6) ...                          // the reply
//       if (ctx.link.TimedOut || link.portLost()) ...   // give up
//       link.WaitForLink();                      // sleeps; never spins
//   }
//
// WaitForLink() returns as soon as a byte is waiting, tmrTimeOut has ticked
// (ctx.link.TimedOut), the port failed or was closed, or cancelWait() was
// called (for example by a window's Exit button); window events, timers and
// user input are handled while it sleeps. pause(ms) is the plain timed pause
// (port test, the NV dump's half second).

#include "link/core/PortCtl.h"

#include <QObject>
#include <QTimer>

class AppContext;
class QEventLoop;

class ReceiverLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int ACK = 6;
    static constexpr int NAK = 21;

    explicit ReceiverLink(AppContext &ctx);
    ~ReceiverLink() override;

    PortCtl Port1;
    // Periodic; every tick sets ctx.link.TimedOut. Never started with an
    // interval of 0 (a Qt timer of 0 ms would fire continuously).
    QTimer tmrTimeOut;

    // Sets the interval and (re)starts the timer: the period runs from now.
    void armTimeOut(int ms);
    void disableTimeOut() { tmrTimeOut.stop(); }

    enum class Wake { Input, TimedOut, PortLost, Cancelled };
    // Sleeps in an event loop until there is something to look at.
    Wake WaitForLink();
    // True when the port failed or was closed and nothing received is left.
    bool portLost() const;
    // Ends the current wait and makes later waits return Cancelled until
    // resetCancel(). For windows whose user may end a long wait.
    void cancelWait();
    void resetCancel() { m_cancelled = false; }
    bool cancelRequested() const { return m_cancelled; }

    // Sleeps `ms` milliseconds in an event loop (painting and timers go on;
    // user input waits until the pause is over when excludeUserInput).
    // Returns early only when cancelWait() is called.
    void pause(int ms, bool excludeUserInput = true);

    // The second-boundary wait before an upload: returns when the clock's
    // second of the minute equals `targetSecond`. Sleeps until each second
    // change instead of re-reading the clock in a tight loop.
    void waitForSecond(int targetSecond);

    // The device map was changed by the user: use it from the next Open.
    void reloadDevices();

private:
    void quitLoop();

    AppContext &m_ctx;
    QEventLoop *m_loop = nullptr;
    QEventLoop *m_pauseLoop = nullptr;
    bool m_cancelled = false;
};

// The link of this program, created on first use (reads the port map).
ReceiverLink &Link(AppContext &ctx);

// Marks the port as owned by one exchange for the guard's lifetime.
class LinkBusyGuard
{
public:
    explicit LinkBusyGuard(AppContext &ctx);
    ~LinkBusyGuard();
    LinkBusyGuard(const LinkBusyGuard &) = delete;
    LinkBusyGuard &operator=(const LinkBusyGuard &) = delete;

private:
    AppContext &m_ctx;
};

// Opens the receiver port (ReceiverConfig.SerialPort, 4800 bit/s, no parity)
// unless it is already open; shows "Error #201" and returns false when it
// will not open.
bool OpenReceiverPort(AppContext &ctx);
// Closes the port if the control holds it open; always clears PortIsOpen.
void CloseReceiverPort(AppContext &ctx);
// Opens the port and sends "Z"; true when the receiver answers ACK within
// the negotiation time-out, otherwise closes the port and shows "Error #202".
bool NegotiateLink(AppContext &ctx);
