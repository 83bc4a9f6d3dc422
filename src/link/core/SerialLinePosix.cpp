// SPDX-License-Identifier: GPL-3.0-or-later
// SerialLine on Linux: QSerialPort on a device claimed for this program.
#include "link/core/SerialLine.h"

#include "link/core/DeviceClaim.h"

#include <QSerialPort>
#include <QSerialPortInfo>

struct SerialLine::Impl
{
    QSerialPort port;
    std::unique_ptr<DeviceClaim> claim;
    QString device;
    QString error;
    bool failed = false;
};

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
    d->port.setReadBufferSize(BufferBytes);
    connect(&d->port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&d->port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        switch (error) {
        case QSerialPort::NoError:
        case QSerialPort::TimeoutError:
        case QSerialPort::OpenError:          // reported by open() itself
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::PermissionError:
        case QSerialPort::UnsupportedOperationError:
            return;
        default:
            break;
        }
        if (!d->port.isOpen() || d->failed)
            return;
        d->failed = true;
        // A hang-up (the far end of the line closed, a USB adapter pulled)
        // comes as a read or resource error whose text is whatever errno was
        // left from before, such as "Inappropriate ioctl for device": say
        // what happened.
        QString reason = d->port.errorString();
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
            reason = tr("the device closed the line (hang-up, or the device was unplugged)");
        emit failed(reason);
    });
}

SerialLine::~SerialLine()
{
    close();
}

bool SerialLine::open(const QString &device, int baudRate, int parity, QStringList *notices)
{
    close();
    d->failed = false;
    d->device = device;
    auto claim = std::make_unique<DeviceClaim>();
    if (!claim->claim(device, &d->error))
        return false;
    if (notices)
        *notices << claim->notices();
    d->port.setPortName(claim->canonicalPath());
    if (!d->port.open(QIODevice::ReadWrite)) {
        d->error = tr("Cannot open %1: %2").arg(device, d->port.errorString());
        return false;
    }
    QSerialPort::Parity p = QSerialPort::NoParity;
    switch (parity) {
    case 1: p = QSerialPort::OddParity; break;
    case 2: p = QSerialPort::EvenParity; break;
    case 3: p = QSerialPort::MarkParity; break;
    case 4: p = QSerialPort::SpaceParity; break;
    default: break;
    }
    // A device that refuses the settings (not a serial line at all) is not a
    // usable port.
    if (!d->port.setBaudRate(baudRate) || !d->port.setDataBits(QSerialPort::Data8) || !d->port.setParity(p)
        || !d->port.setStopBits(QSerialPort::OneStop) || !d->port.setFlowControl(QSerialPort::NoFlowControl)) {
        d->error = tr("Cannot open %1: not a serial device (%2)").arg(device, d->port.errorString());
        d->port.close();
        return false;
    }
    // Whatever waited in the driver from before the open (a pseudo-terminal
    // keeps it) answers nothing that this open will send.
    d->port.clear(QSerialPort::Input);
    claim->exclusive();
    d->claim = std::move(claim);
    return true;
}

void SerialLine::close()
{
    if (d->port.isOpen())
        d->port.close();
    d->claim.reset();
}

bool SerialLine::isOpen() const
{
    return d->port.isOpen();
}

QString SerialLine::errorString() const
{
    return d->error;
}

void SerialLine::write(const QByteArray &data)
{
    d->port.write(data);
    // Hand the bytes to the driver now rather than at the next event loop
    // pass; flush() never blocks on a non-blocking descriptor, anything the
    // driver cannot take yet goes out from the event loop.
    d->port.flush();
}

QByteArray SerialLine::read(qint64 maxBytes)
{
    // Asking for more than the port holds is also what lets a port whose
    // buffer was full read from the device again.
    return d->port.isOpen() ? d->port.read(maxBytes) : QByteArray();
}

qint64 SerialLine::bytesAvailable() const
{
    return d->port.isOpen() ? d->port.bytesAvailable() : 0;
}

QList<SerialDeviceInfo> SerialLine::availableDevices()
{
    QList<SerialDeviceInfo> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialDeviceInfo d;
        d.path = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            d.usbId = QStringLiteral("%1:%2")
                          .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                          .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        out << d;
    }
    return out;
}
