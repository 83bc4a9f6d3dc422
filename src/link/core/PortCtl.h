// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// PortCtl: the serial-port control `Port1` through which the editor talks to
// the receiver, over QSerialPort.
//
// How to use it (the link, the port test and the data dump all do it this
// way):
//   PortCtl &port = Link(ctx).Port1;           // link/core/ReceiverLink.h
//   port.setBaudRate(4800); port.setParity(0); port.setPortNumber(n);
//   int16_t h = port.Open();                    // > 0 open, 0 failed
//   port.WriteString("D"); port.setReadMode(-1); port.Purge();
//   for (;;) {                                  // see WaitForLink()
//       int b = port.ReadByte();                // -1 at once when nothing waits
//       ...
//   }
//   port.Close();
// Prefer OpenReceiverPort / CloseReceiverPort (ReceiverLink.h), which keep
// ctx.link.PortIsOpen and PortHandle right.
//
// Port numbers 1..4 name device paths (PortMap.h); devicePaths() can be
// replaced at run time (the setup window does so when the user edits them).
//
// Bytes are written and read exactly as given: the port is opened raw, no line
// end translation, no added characters. ReadByte never blocks: it hands out
// what the event loop has already collected. Incoming bytes are collected only
// while an event loop runs, which every wait of the link does.

#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include <cstdint>

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
    bool isOpen() const { return m_port.isOpen(); }
    // True once the open port failed (device vanished, cable pulled, read or
    // write error). Bytes received before the failure can still be read.
    bool failed() const { return m_failed; }
    QString errorString() const { return m_errorString; }
    // The device path the port is or was opened on.
    QString deviceName() const { return m_device; }

    // Device path of each port number; index 0 is Port 1.
    QStringList devicePaths() const { return m_devices; }
    void setDevicePaths(const QStringList &paths) { m_devices = paths; }
    QString devicePath(int portNumber) const;

signals:
    // A byte arrived, the port failed, or the port was closed: anything a wait
    // for the receiver must wake up for.
    void activity();

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QStringList m_devices;
    QString m_device;
    QString m_errorString;
    QByteArray m_pending;   // bytes collected before a failed port was closed
    int m_portNumber = 1;
    int m_baudRate = 4800;
    int m_parity = 0;
    int m_readMode = 0;
    int m_nextHandle = 1;
    bool m_failed = false;
};
