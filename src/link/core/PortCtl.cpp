// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/PortCtl.h"

#include <QMetaObject>

PortCtl::PortCtl(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &PortCtl::activity);
    connect(&m_port, &QSerialPort::errorOccurred, this, &PortCtl::onError);
}

PortCtl::~PortCtl()
{
    if (m_port.isOpen())
        m_port.close();
}

QString PortCtl::devicePath(int portNumber) const
{
    if (portNumber < 1 || portNumber > m_devices.size())
        return {};
    return m_devices.at(portNumber - 1);
}

int PortCtl::Open()
{
    if (m_port.isOpen())
        m_port.close();
    m_pending.clear();
    m_failed = false;
    m_errorString.clear();
    m_device = devicePath(m_portNumber);
    if (m_device.isEmpty()) {
        m_errorString = tr("Port %1 has no device").arg(m_portNumber);
        return 0;
    }
    m_port.setPortName(m_device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorString = m_port.errorString();
        return 0;
    }
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (m_parity) {
    case 1: parity = QSerialPort::OddParity; break;
    case 2: parity = QSerialPort::EvenParity; break;
    case 3: parity = QSerialPort::MarkParity; break;
    case 4: parity = QSerialPort::SpaceParity; break;
    default: break;
    }
    // A device that refuses the settings (not a serial line at all) is not a
    // usable port.
    if (!m_port.setBaudRate(m_baudRate) || !m_port.setDataBits(QSerialPort::Data8)
        || !m_port.setParity(parity) || !m_port.setStopBits(QSerialPort::OneStop)
        || !m_port.setFlowControl(QSerialPort::NoFlowControl)) {
        m_errorString = m_port.errorString();
        m_port.close();
        return 0;
    }
    // Whatever waited in the driver from before the open (a pseudo-terminal
    // keeps it) answers nothing that this open will send.
    m_port.clear(QSerialPort::Input);
    const int handle = m_nextHandle;
    m_nextHandle = m_nextHandle >= 32767 ? 1 : m_nextHandle + 1;
    return handle;
}

int PortCtl::Close()
{
    m_pending.clear();
    if (m_port.isOpen()) {
        m_port.close();
        emit activity();
    }
    return 0;
}

void PortCtl::WriteString(const QByteArray &text)
{
    if (!m_port.isOpen() || text.isEmpty())
        return;
    m_port.write(text);
    // Hand the bytes to the driver now rather than at the next event loop
    // pass; flush() never blocks on a non-blocking descriptor, anything the
    // driver cannot take yet goes out from the event loop.
    m_port.flush();
}

void PortCtl::WriteByte(int value)
{
    const char c = char(uint8_t(value & 0xFF));
    WriteString(QByteArray(&c, 1));
}

int PortCtl::ReadByte()
{
    if (!m_pending.isEmpty()) {
        const int b = uint8_t(m_pending.at(0));
        m_pending.remove(0, 1);
        return b;
    }
    if (!m_port.isOpen() || m_port.bytesAvailable() <= 0)
        return -1;
    char c = 0;
    if (m_port.read(&c, 1) != 1)
        return -1;
    return int(uint8_t(c));
}

int PortCtl::InputCount() const
{
    return int(m_pending.size()) + (m_port.isOpen() ? int(m_port.bytesAvailable()) : 0);
}

void PortCtl::Purge()
{
    m_pending.clear();
    // Only what has already been collected is dropped. Flushing the driver's
    // queue as well would race with a fast receiver whose reply may already
    // be on its way when the purge comes.
    if (m_port.isOpen() && m_port.bytesAvailable() > 0)
        m_port.readAll();
}

void PortCtl::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::OpenError:          // reported by Open() itself
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::UnsupportedOperationError:
        return;
    default:
        break;
    }
    if (!m_port.isOpen())
        return;
    m_failed = true;
    m_errorString = m_port.errorString();
    // A vanished device keeps its descriptor readable (hang-up); close it
    // from the event loop so the notifier cannot fire again and again. The
    // bytes already collected stay readable until then.
    QMetaObject::invokeMethod(this, [this] {
        if (m_failed && m_port.isOpen()) {
            const QByteArray left = m_port.readAll();
            m_port.close();
            m_pending = left;
        }
        emit activity();
    }, Qt::QueuedConnection);
    emit activity();
}
