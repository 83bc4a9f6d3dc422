// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// NetSerial: the receiver's serial line reached through a device server
// (ser2net, a rack's serial-to-Ethernet box), raw over TCP or as Telnet with
// the COM-PORT option (RFC 2217), which lets us set the far end to 4800 bit/s
// 8N1 without flow control and purge its buffers.
//
// Written on QTcpSocket rather than on gensio's RFC 2217 client: gensio runs
// its own OS handler (a selector driven by gensio_os_funcs_service or
// wait_intr in a loop, woken by a process-wide signal), and Debian's 2.6 ships
// no Qt OS handler. Using it would mean a second event loop in a thread of
// its own and every byte, error and close handed across to the link's event
// loop, or writing an 88-entry gensio_os_funcs table on top of Qt, which is
// far more code than the small Telnet subset a COM-PORT client needs.
//
// open() waits for the connection (and for the far end to confirm the line
// settings) in a local event loop that ignores user input, never longer than
// the time-out it is given, so the windows keep painting while a name
// resolves and the link code sees an ordinary synchronous open.

#include "link/core/DeviceName.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <cstdint>

// The Telnet side of the client, apart from the socket so that it can be fed
// any split of the stream. Bytes from the network go through feed(), which
// hands out the receiver's data (escapes undone, commands and
// subnegotiations removed) and the answers due to the far end's requests.
class TelnetCodec
{
public:
    enum : uint8_t {
        SE = 240, NOP = 241, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255,
        OptBinary = 0, OptSuppressGoAhead = 3, OptComPort = 44,
    };
    // COM-PORT commands, client to server; the server answers with the
    // same code plus 100.
    enum : uint8_t {
        SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
        PurgeData = 12,
    };

    // Our opening offer: binary both ways, no go-ahead, and the COM-PORT
    // option.
    QByteArray start();
    void feed(const char *data, qsizetype size, QByteArray *received, QByteArray *reply);
    static QByteArray escape(const char *data, qsizetype size);
    static QByteArray comPortCommand(uint8_t command, const QByteArray &value);
    static QByteArray comPortCommand(uint8_t command, uint8_t value) { return comPortCommand(command, QByteArray(1, char(value))); }

    bool comPortAgreed() const { return m_opt[OptComPort].us || m_opt[OptComPort].him; }
    bool comPortRefused() const { return m_comPortRefused; }
    // Bit n is set once the far end answered COM-PORT command n.
    uint32_t answered() const { return m_answered; }
    uint32_t reportedBaudRate() const { return m_baudRate; }

private:
    enum class State { Data, Iac, Verb, SbOption, SbData, SbIac };
    struct Option {
        bool us = false, usAsked = false;    // we WILL
        bool him = false, himAsked = false;  // he WILL
        // We refused his DO (WONT sent) / his WILL (DONT sent). Until he
        // takes the request back, a repeat changes nothing and is not
        // answered again: a peer that repeats a request for ever gets one
        // refusal, not one per request.
        bool usRefused = false, himRefused = false;
    };
    static bool weSupport(uint8_t opt) { return opt == OptBinary || opt == OptSuppressGoAhead || opt == OptComPort; }
    void verb(uint8_t verb, uint8_t opt, QByteArray *reply);
    void subnegotiation();

    State m_state = State::Data;
    uint8_t m_verb = 0;
    uint8_t m_sbOption = 0;
    QByteArray m_sb;
    Option m_opt[256];
    uint32_t m_answered = 0;
    uint32_t m_baudRate = 0;
    bool m_comPortRefused = false;
};

class NetSerial : public QObject
{
    Q_OBJECT

public:
    explicit NetSerial(QObject *parent = nullptr);
    ~NetSerial() override;

    // Connects; for RFC 2217 also sets the far end's line and waits until it
    // has confirmed speed, data size, parity and stop size. parity as in
    // PortCtl (0 none, 1 odd, 2 even, 3 mark, 4 space). Returns false with
    // errorString() naming host:port and the reason.
    bool open(const NetworkDevice &device, int baudRate, int parity, int timeoutMs);
    // Bytes we may have queued for the far end, Telnet answers included. A
    // device server that takes none of them while it goes on sending (a
    // negotiation flood) would otherwise make the queue grow without limit;
    // past this the connection is ended with a reason. An upload frame with
    // every byte escaped is about 1 KiB.
    static constexpr qsizetype MaxQueuedBytes = 64 * 1024;

    // Hands what was written to the socket and closes it.
    void close();
    bool isOpen() const;
    // Writes the receiver's bytes (0xFF doubled for Telnet).
    void write(const char *data, qsizetype size);
    // At most maxBytes of the receiver's data out of what the socket has
    // collected. Reading is what lets the socket collect again once its
    // bounded buffer is full.
    QByteArray read(qsizetype maxBytes);
    // Asks the device server to drop what it has collected from the line and
    // not yet sent (RFC 2217 only). open() does so before it sets the line;
    // later it races with the receiver's reply to what was just written.
    void purgeFarEnd();
    QString errorString() const { return m_errorString; }
    const NetworkDevice &device() const { return m_device; }

    // Bytes the socket may collect before it stops reading from the network
    // (TCP flow control then holds the sender back).
    static constexpr qsizetype SocketBufferBytes = 16 * 1024;

signals:
    void readyRead();
    // The connection ended from the far end or failed; errorString() says why.
    void lost();

private:
    void onSocketError();
    // Queues bytes for the far end; false (and the connection ended) when
    // the far end has left more than MaxQueuedBytes untaken.
    bool sendRaw(const QByteArray &bytes);
    QString notTakingReason() const;
    void endSession(const QString &reason);
    QString socketReason() const;

    QPointer<QTcpSocket> m_socket;
    TelnetCodec m_telnet;
    NetworkDevice m_device;
    QString m_errorString;
    bool m_open = false;
    bool m_lost = false;
};
