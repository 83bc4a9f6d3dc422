// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SerialLine: a local serial device as PortCtl uses it - opened raw at the
// receiver's speed, 8 data bits, one stop bit, no flow control, held by this
// program alone, read without ever blocking.
//
// On Linux it is QSerialPort, with the device claimed first (DeviceClaim.h).
// On Windows it is a backend of its own over the communications API
// (SerialLineWin32.cpp): \\.\COMn opened without sharing, reads that complete
// as soon as a byte is there and are collected by the event loop.
//
// Bytes arrive only while an event loop runs; readyRead() says that some did.
// failed() is emitted once when the open line breaks (the adapter unplugged,
// the far end hung up, a read or write error); the bytes collected before
// stay readable until close(), which the owner calls from the event loop (a
// hung-up device would otherwise keep reporting).

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// A serial device present on this computer.
struct SerialDeviceInfo
{
    QString path;           // what a port's device field names: /dev/ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbId;          // "vvvv:pppp" for a USB adapter, else empty
};

class SerialLine : public QObject
{
    Q_OBJECT

public:
    explicit SerialLine(QObject *parent = nullptr);
    ~SerialLine() override;

    // Opens `device` at `baudRate`, 8 data bits, `parity` (0 none, 1 odd,
    // 2 even, 3 mark, 4 space), 1 stop bit, no flow control, and drops
    // whatever waited in the driver. False with errorString() set to one
    // line naming the device and why. What the open did beside (a stale
    // lock file removed) goes to *notices.
    bool open(const QString &device, int baudRate, int parity, QStringList *notices = nullptr);
    void close();
    bool isOpen() const;
    QString errorString() const;

    // Queues `data` for the line; it goes out from the event loop when the
    // driver cannot take it at once. Never blocks.
    void write(const QByteArray &data);
    // Up to `maxBytes` of what has arrived; empty when nothing has.
    QByteArray read(qint64 maxBytes);
    qint64 bytesAvailable() const;

    // The most this keeps unread; past it the line stops being read and the
    // rest waits in the driver.
    static constexpr qint64 BufferBytes = 16 * 1024;

    // The serial devices present.
    static QList<SerialDeviceInfo> availableDevices();

signals:
    void readyRead();
    void failed(const QString &reason);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
