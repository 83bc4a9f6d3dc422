// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One receiver session: the port `Port1`, the time-out timer `tmrTimeOut`,
// the flags of the exchange under way (PortIsOpen, PortHandle, TimedOut,
// busy, cancel), the parameter image going out and the buffer the reply
// comes into, and the one wait that every exchange with the receiver uses.
// The link operations OpenReceiverPort, CloseReceiverPort and NegotiateLink
// work on a session.
//
// The editor has one session (it talks to one receiver at a time); a batch
// runs one per receiver, each in a thread of its own, because a wait is an
// event loop of the session's thread.
//
// A typical guarded exchange (the data dump's contact works like this):
//
//   if (s.busy) { s.services().prompter().beep(); return; }   // port in use
//   LinkBusyGuard busy(s);
//   if (!OpenReceiverPort(s, portNumber)) ...
//   s.armTimeOut(s.services().timings.dumpContactMs);   // interval + enable
//   s.TimedOut = false;
//   s.Port1.WriteString("D"); s.Port1.setReadMode(-1); s.Port1.Purge();
//   for (;;) {
//       const int b = s.Port1.ReadByte();
//       if (b == 6) ...                          // the reply
//       if (s.TimedOut || s.portLost()) ...      // give up
//       s.WaitForLink();                         // sleeps; never spins
//   }
//
// WaitForLink() returns as soon as a byte is waiting, tmrTimeOut has ticked
// (TimedOut), the port failed or was closed, or cancelWait() was called (for
// example by a window's Exit button); window events, timers and user input
// are handled while it sleeps. pause(ms) is the plain timed pause (port
// test, the NV dump's half second).

#include "link/core/PortCtl.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>

class QEventLoop;
class Services;

class LinkSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int ACK = 6;
    static constexpr int NAK = 21;

    static constexpr int ImageSize = 512;
    static constexpr int ReceiveBufferSize = 1298;

    // Reads the port map from the settings store of `services`.
    explicit LinkSession(Services &services);
    // Uses the given device paths (index 0 is Port 1).
    LinkSession(Services &services, const QStringList &devicePaths);
    ~LinkSession() override;

    Services &services() const { return m_services; }

    PortCtl Port1;
    bool PortIsOpen = false;
    int16_t PortHandle = 0;
    bool TimedOut = false;
    // Set while a transfer, port search or dump owns the port; a second user
    // of the port is refused while it is set.
    bool busy = false;
    // How the user names the receiver on this session ("north", the device
    // as written); empty: by its port number. Heads the trace's transfers.
    QString receiverName;

    // The parameter image; bytes 0..510 go out, byte 511 never does.
    std::array<uint8_t, ImageSize> UploadImage{};
    // The receiver's reply (1284 of its 1298 bytes), zero at start.
    QByteArray ReceiveBuffer;

    // Periodic; every tick sets TimedOut. Never started with an
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

    Services &m_services;
    QEventLoop *m_loop = nullptr;
    QEventLoop *m_pauseLoop = nullptr;
    bool m_cancelled = false;
};

// Marks the port as owned by one exchange for the guard's lifetime.
class LinkBusyGuard
{
public:
    explicit LinkBusyGuard(LinkSession &session);
    ~LinkBusyGuard();
    LinkBusyGuard(const LinkBusyGuard &) = delete;
    LinkBusyGuard &operator=(const LinkBusyGuard &) = delete;

private:
    LinkSession &m_session;
};

// Opens the receiver port (port number 1..4 of the session's map, 4800
// bit/s, no parity) unless it is already open; shows "Error #201" and returns
// false when it will not open.
bool OpenReceiverPort(LinkSession &session, int portNumber);
// Closes the port if the control holds it open; always clears PortIsOpen.
void CloseReceiverPort(LinkSession &session);
// Opens the port and sends "Z"; true when the receiver answers ACK within
// the negotiation time-out, otherwise closes the port and shows "Error #202".
bool NegotiateLink(LinkSession &session, int portNumber);
