// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/PortCtl.h"

#include "link/core/DeviceName.h"
#include "link/core/NetSerial.h"
#include "link/core/SerialTrace.h"

#include <QMetaObject>

PortCtl::PortCtl(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &SerialLine::readyRead, this, &PortCtl::onReadyRead);
    connect(&m_port, &SerialLine::failed, this, &PortCtl::onLineFailed);
}

PortCtl::~PortCtl()
{
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
    return m_port.bytesAvailable();
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
    QStringList notices;
    const bool ok = m_port.open(m_device, m_baudRate, m_parity, &notices);
    for (const QString &n : std::as_const(notices))
        note(n);
    if (!ok) {
        m_errorString = m_port.errorString();
        return 0;
    }
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
    m_port.close();
    if (m_net) {
        m_net->disconnect(this);
        m_net->close();
        m_net.reset();
    }
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
            // Asking for more than the line holds is also what lets a line
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
        dropped += m_port.read(m_port.bytesAvailable()).size();
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

void PortCtl::onLineFailed(const QString &reason)
{
    if (!m_port.isOpen() || m_failed)
        return;
    m_failed = true;
    m_errorString = tr("Port %1 lost: %2").arg(m_device, reason);
    note(m_errorString);
    // A vanished device keeps its descriptor readable (hang-up); close it
    // from the event loop so the notifier cannot fire again and again. The
    // bytes already collected stay readable until then, and after.
    QMetaObject::invokeMethod(this, [this] {
        if (m_failed && m_port.isOpen()) {
            pull();
            m_port.close();
        }
        emit activity();
    }, Qt::QueuedConnection);
    emit activity();
}
