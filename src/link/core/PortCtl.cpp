// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/PortCtl.h"

#include "link/core/DeviceClaim.h"
#include "link/core/DeviceName.h"
#include "link/core/NetSerial.h"
#include "link/core/SerialTrace.h"

#include <QMetaObject>

PortCtl::PortCtl(QObject *parent)
    : QObject(parent)
{
    m_port.setReadBufferSize(SerialBufferBytes);
    connect(&m_port, &QSerialPort::readyRead, this, &PortCtl::onReadyRead);
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

bool PortCtl::isOpen() const
{
    return m_net ? m_net->isOpen() : m_port.isOpen();
}

qsizetype PortCtl::bufferedBelow() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

void PortCtl::note(const QString &text)
{
    if (m_trace)
        m_trace->note(text);
}

void PortCtl::dropPending()
{
    m_pending.clear();
    m_pendingPos = 0;
}

int PortCtl::Open()
{
    Close();
    m_failed = false;
    m_errorString.clear();
    m_device = devicePath(m_portNumber);
    if (m_device.isEmpty()) {
        m_errorString = tr("Port %1 has no device").arg(m_portNumber);
        return 0;
    }
    QString why;
    if (!IsAcceptableDeviceName(m_device, &why)) {
        // The name itself may be what is wrong with it: show it cut short
        // and with its control characters made visible.
        QString shown = m_device.left(80);
        for (QChar &c : shown)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = u'?';
        m_errorString = tr("Cannot open port %1 \"%2\": %3").arg(m_portNumber).arg(shown, why);
        return 0;
    }
    const int ok = IsNetworkDeviceName(m_device) ? openNetwork() : openLocal();
    if (!ok) {
        note(tr("open of %1 failed: %2").arg(m_device, m_errorString));
        return 0;
    }
    note(tr("port %1 opened on %2").arg(m_portNumber).arg(m_device));
    const int handle = m_nextHandle;
    m_nextHandle = m_nextHandle >= 32767 ? 1 : m_nextHandle + 1;
    return handle;
}

int PortCtl::openLocal()
{
    auto claim = std::make_unique<DeviceClaim>();
    if (!claim->claim(m_device, &m_errorString))
        return 0;
    for (const QString &n : claim->notices())
        note(n);
    m_port.setPortName(claim->canonicalPath());
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorString = tr("Cannot open %1: %2").arg(m_device, m_port.errorString());
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
        m_errorString = tr("Cannot open %1: not a serial device (%2)").arg(m_device, m_port.errorString());
        m_port.close();
        return 0;
    }
    // Whatever waited in the driver from before the open (a pseudo-terminal
    // keeps it) answers nothing that this open will send.
    m_port.clear(QSerialPort::Input);
    claim->exclusive();
    m_claim = std::move(claim);
    return 1;
}

int PortCtl::openNetwork()
{
    NetworkDevice device;
    ParseNetworkDevice(m_device, &device);   // checked by Open()
    auto net = std::make_unique<NetSerial>();
    if (!net->open(device, m_baudRate, m_parity, m_connectTimeoutMs)) {
        m_errorString = net->errorString();
        return 0;
    }
    connect(net.get(), &NetSerial::readyRead, this, &PortCtl::onReadyRead);
    connect(net.get(), &NetSerial::lost, this, &PortCtl::onNetLost);
    m_net = std::move(net);
    return 1;
}

int PortCtl::Close()
{
    dropPending();
    const bool wasOpen = isOpen() || m_net;
    if (m_port.isOpen())
        m_port.close();
    if (m_net) {
        m_net->disconnect(this);
        m_net->close();
        m_net.reset();
    }
    m_claim.reset();
    if (wasOpen) {
        note(tr("port closed"));
        emit activity();
    }
    return 0;
}

void PortCtl::WriteString(const QByteArray &text)
{
    if (!isOpen() || text.isEmpty())
        return;
    if (m_trace)
        m_trace->record(SerialTrace::Direction::ToReceiver, text);
    if (m_net) {
        m_net->write(text.constData(), text.size());
        return;
    }
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

qsizetype PortCtl::pull()
{
    qsizetype taken = 0;
    for (;;) {
        const qsizetype room = MaxPendingBytes - pendingBytes();
        if (room <= 0)
            break;
        // Keep the buffer from creeping: move what is left to the front
        // before appending once half of it has been read.
        if (m_pendingPos > 0 && m_pendingPos >= m_pending.size() / 2) {
            m_pending.remove(0, m_pendingPos);
            m_pendingPos = 0;
        }
        QByteArray chunk;
        if (m_net) {
            chunk = m_net->read(room);
        } else if (m_port.isOpen()) {
            // Asking for more than the port holds is also what lets a port
            // whose buffer was full read from the device again.
            chunk = m_port.read(qMin(room, m_port.bytesAvailable() + 4096));
        }
        if (chunk.isEmpty())
            break;
        if (m_trace)
            m_trace->record(SerialTrace::Direction::FromReceiver, chunk);
        m_pending.append(chunk);
        taken += chunk.size();
    }
    return taken;
}

void PortCtl::onReadyRead()
{
    // A wait sleeps only while nothing is waiting; more bytes on top of
    // unread ones wake nobody.
    const bool wasEmpty = pendingBytes() == 0;
    if (pull() > 0 && wasEmpty)
        emit activity();
}

int PortCtl::ReadByte()
{
    if (pendingBytes() == 0) {
        dropPending();
        pull();
        if (pendingBytes() == 0)
            return -1;
    }
    const int b = uint8_t(m_pending.at(m_pendingPos++));
    if (m_pendingPos == m_pending.size()) {
        dropPending();
        // The layer below may have stopped reading while this was full.
        pull();
    }
    return b;
}

int PortCtl::InputCount() const
{
    return int(pendingBytes() + bufferedBelow());
}

void PortCtl::Purge()
{
    qsizetype dropped = pendingBytes();
    dropPending();
    // Only what has already been collected is dropped. Flushing the driver's
    // queue as well would race with a fast receiver whose reply may already
    // be on its way when the purge comes.
    if (m_net) {
        // Through the Telnet decoder, which must see every byte.
        // The device server's own buffer is left alone for the same reason
        // as the driver's: RFC 2217's PURGE-DATA would reach it after the
        // receiver may have answered what was just written (it did lose the
        // reply over loopback). Open() purged it once, before any exchange.
        for (QByteArray chunk = m_net->read(MaxPendingBytes); !chunk.isEmpty(); chunk = m_net->read(MaxPendingBytes))
            dropped += chunk.size();
    } else if (m_port.isOpen() && m_port.bytesAvailable() > 0) {
        dropped += m_port.readAll().size();
    }
    if (m_trace && dropped > 0)
        m_trace->note(tr("purge: %1 received bytes dropped").arg(dropped));
}

void PortCtl::onNetLost()
{
    if (!m_net || m_failed)
        return;
    pull();
    m_failed = true;
    m_errorString = m_net->errorString();
    note(m_errorString);
    emit activity();
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
    if (!m_port.isOpen() || m_failed)
        return;
    m_failed = true;
    // A hang-up (the far end of the line closed, a USB adapter pulled) comes
    // as a read or resource error whose text is whatever errno was left from
    // before, such as "Inappropriate ioctl for device": say what happened.
    QString reason = m_port.errorString();
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        reason = tr("the device closed the line (hang-up, or the device was unplugged)");
    m_errorString = tr("Port %1 lost: %2").arg(m_device, reason);
    note(m_errorString);
    // A vanished device keeps its descriptor readable (hang-up); close it
    // from the event loop so the notifier cannot fire again and again. The
    // bytes already collected stay readable until then, and after.
    QMetaObject::invokeMethod(this, [this] {
        if (m_failed && m_port.isOpen()) {
            pull();
            m_port.close();
            m_claim.reset();
        }
        emit activity();
    }, Qt::QueuedConnection);
    emit activity();
}
