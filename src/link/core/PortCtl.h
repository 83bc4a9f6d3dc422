// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// PortCtl: the serial-port control `Port1` through which the editor talks to
// the receiver, over a local serial line (SerialLine.h) or a device server's
// line (NetSerial.h).
//
// How to use it (the link, the port test and the data dump all do it this
// way):
//   PortCtl &port = session.Port1;             // link/core/LinkSession.h
//   port.setBaudRate(4800); port.setParity(0); port.setPortNumber(n);
//   int16_t h = port.Open();                    // > 0 open, 0 failed
//   port.WriteString("D"); port.setReadMode(-1); port.Purge();
//   for (;;) {                                  // see WaitForLink()
//       int b = port.ReadByte();                // -1 at once when nothing waits
//       ...
//   }
//   port.Close();
// Prefer OpenReceiverPort / CloseReceiverPort (LinkSession.h), which keep
// the session's PortIsOpen and PortHandle right.
//
// Port numbers 1..4 name devices (PortMap.h); devicePaths() can be replaced
// at run time (the setup window does so when the user edits them). A device
// is a path (/dev/ttyUSB0) or a device server's line, rfc2217://HOST:PORT or
// tcp://HOST:PORT (DeviceName.h, NetSerial.h).
//
// Bytes are written and read exactly as given: the port is opened raw, no line
// end translation, no added characters (Telnet's escapes are added and removed
// out of sight). ReadByte never blocks: it hands out what the event loop has
// already collected. Incoming bytes are collected only while an event loop
// runs, which every wait of the link does.
//
// Open of a local device claims it for this program (DeviceClaim.h on Linux,
// an open without sharing on Windows): a second open of the same device under
// any name fails as busy. Open of a
// network device connects and, for RFC 2217, sets the far end's line, inside
// a local event loop that ignores user input, for at most connectTimeoutMs().
// Either way errorString() then says in one line which device and why.
//
// What is collected is bounded (MaxPendingBytes here, and a bounded buffer in
// the serial port or socket below): a receiver that floods the line while
// nobody reads fills them, and then the port stops reading, which costs no CPU
// and holds the rest back in the system (or in TCP) until the link reads
// again. activity() is emitted when bytes arrive while none were waiting, not
// for every chunk of a flood: a wait only sleeps while InputCount() is 0.

#include "link/core/SerialLine.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>

class NetSerial;
class SerialTrace;

class PortCtl : public QObject
{
    Q_OBJECT

public:
    explicit PortCtl(QObject *parent = nullptr);
    ~PortCtl() override;

    // ---- The eleven members the program uses ------------------------------
    void setPortNumber(int number) { m_portNumber = number; }   // PortNumber (1..4)
    void setBaudRate(int rate) { m_baudRate = rate; }            // BaudRate
    void setParity(int parity) { m_parity = parity; }            // Parity (0 = none)
    // Opens the device of PortNumber at BaudRate, 8 data bits, Parity, 1 stop
    // bit. Returns a positive handle (1..32767) or 0 when it cannot be opened.
    int Open();
    // Closes the port (if open); returns 0.
    int Close();
    void WriteString(const QByteArray &text);
    void WriteString(const QString &text) { WriteString(text.toLatin1()); }
    void WriteByte(int value);
    // The next received byte 0..255, or -1 at once when none is waiting.
    int ReadByte();
    int InputCount() const;                                       // InputCount
    void setReadMode(int mode) { m_readMode = mode; }             // ReadMode
    // Drops received bytes that are already waiting; bytes written before the
    // call still go out, bytes the receiver sends afterwards are delivered.
    void Purge();

    // ---- Beyond the control ------------------------------------------------
    int portNumber() const { return m_portNumber; }
    int baudRate() const { return m_baudRate; }
    int parity() const { return m_parity; }
    int readMode() const { return m_readMode; }
    bool isOpen() const;
    // True once the open port failed (device vanished, cable pulled, read or
    // write error). Bytes received before the failure can still be read.
    bool failed() const { return m_failed; }
    QString errorString() const { return m_errorString; }
    // The device path the port is or was opened on.
    QString deviceName() const { return m_device; }

    // Every byte written and read goes to the trace (the receiver's bytes,
    // before Telnet escaping / after un-escaping), with opens, closes,
    // purges and failures as notes. nullptr stops tracing; the trace is not
    // owned and must outlive its use here.
    void setTrace(SerialTrace *trace) { m_trace = trace; }
    SerialTrace *trace() const { return m_trace; }
    // Bound for resolving, connecting and (RFC 2217) setting the far end's
    // line in Open() of a network device.
    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }
    int connectTimeoutMs() const { return m_connectTimeoutMs; }
    // True while the open device is a network one.
    bool isNetwork() const { return m_net != nullptr; }

    // Received bytes PortCtl keeps before it stops reading; an exchange needs
    // at most 1298.
    static constexpr qsizetype MaxPendingBytes = 64 * 1024;
    // The serial line's own read buffer below that.
    static constexpr qsizetype SerialBufferBytes = SerialLine::BufferBytes;
    // Bytes held here now (for tests and benchmarks: never above
    // MaxPendingBytes).
    qsizetype pendingBytes() const { return m_pending.size() - m_pendingPos; }
    // Bytes held by the layer below (serial port or socket buffer).
    qsizetype bufferedBelow() const;

    // Device path of each port number; index 0 is Port 1.
    QStringList devicePaths() const { return m_devices; }
    void setDevicePaths(const QStringList &paths) { m_devices = paths; }
    QString devicePath(int portNumber) const;

signals:
    // A byte arrived, the port failed, or the port was closed: anything a wait
    // for the receiver must wake up for.
    void activity();

private:
    int openLocal();
    int openNetwork();
    void onLineFailed(const QString &reason);
    void onNetLost();
    // Moves what the layer below collected into m_pending, up to
    // MaxPendingBytes; returns the number of bytes taken.
    qsizetype pull();
    void onReadyRead();
    void dropPending();
    void note(const QString &text);

    SerialLine m_port;
    std::unique_ptr<NetSerial> m_net;
    SerialTrace *m_trace = nullptr;
    QStringList m_devices;
    QString m_device;
    QString m_errorString;
    // Received bytes not yet read: m_pending from m_pendingPos on.
    QByteArray m_pending;
    qsizetype m_pendingPos = 0;
    int m_connectTimeoutMs = 5000;
    int m_portNumber = 1;
    int m_baudRate = 4800;
    int m_parity = 0;
    int m_readMode = 0;
    int m_nextHandle = 1;
    bool m_failed = false;
};
