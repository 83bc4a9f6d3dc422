// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/NetSerial.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

// ---- TelnetCodec -----------------------------------------------------------

QByteArray TelnetCodec::start()
{
    QByteArray out;
    auto ask = [&](uint8_t verb, uint8_t opt) {
        out.append(char(IAC)).append(char(verb)).append(char(opt));
        if (verb == WILL)
            m_opt[opt].usAsked = true;
        else
            m_opt[opt].himAsked = true;
    };
    ask(WILL, OptBinary);
    ask(DO, OptBinary);
    ask(WILL, OptSuppressGoAhead);
    ask(DO, OptSuppressGoAhead);
    ask(WILL, OptComPort);
    return out;
}

QByteArray TelnetCodec::escape(const char *data, qsizetype size)
{
    QByteArray out;
    out.reserve(size + 8);
    for (qsizetype i = 0; i < size; ++i) {
        out.append(data[i]);
        if (uint8_t(data[i]) == IAC)
            out.append(char(IAC));
    }
    return out;
}

QByteArray TelnetCodec::comPortCommand(uint8_t command, const QByteArray &value)
{
    QByteArray out;
    out.append(char(IAC)).append(char(SB)).append(char(OptComPort)).append(char(command));
    out.append(escape(value.constData(), value.size()));
    out.append(char(IAC)).append(char(SE));
    return out;
}

void TelnetCodec::feed(const char *data, qsizetype size, QByteArray *received, QByteArray *reply)
{
    for (qsizetype i = 0; i < size; ++i) {
        const uint8_t b = uint8_t(data[i]);
        switch (m_state) {
        case State::Data:
            if (b == IAC)
                m_state = State::Iac;
            else
                received->append(char(b));
            break;
        case State::Iac:
            if (b == IAC) {
                received->append(char(IAC));
                m_state = State::Data;
            } else if (b >= WILL) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == SB) {
                m_state = State::SbOption;
            } else {
                // NOP, data mark, break, go-ahead and the like carry
                // nothing for us; so does anything undefined.
                m_state = State::Data;
            }
            break;
        case State::Verb:
            verb(m_verb, b, reply);
            m_state = State::Data;
            break;
        case State::SbOption:
            m_sbOption = b;
            m_sb.clear();
            m_state = b == IAC ? State::SbIac : State::SbData;
            break;
        case State::SbData:
            if (b == IAC)
                m_state = State::SbIac;
            else if (m_sb.size() < 64)   // nothing we read is longer
                m_sb.append(char(b));
            break;
        case State::SbIac:
            if (b == SE) {
                subnegotiation();
                m_state = State::Data;
            } else if (b == IAC) {
                if (m_sb.size() < 64)
                    m_sb.append(char(IAC));
                m_state = State::SbData;
            } else {
                // A command inside a subnegotiation is not allowed; take it
                // as the end of a broken one and carry on with the command.
                m_state = State::Iac;
                --i;
            }
            break;
        }
    }
}

void TelnetCodec::verb(uint8_t verb, uint8_t opt, QByteArray *reply)
{
    Option &o = m_opt[opt];
    auto send = [&](uint8_t v) { reply->append(char(IAC)).append(char(v)).append(char(opt)); };
    // Answer only what changes an option's state, so that two ends can never
    // answer each other for ever.
    switch (verb) {
    case DO:
        if (!weSupport(opt)) {
            if (!o.usRefused)
                send(WONT);
            o.usRefused = true;
        } else if (!o.us) {
            o.us = true;
            if (!o.usAsked)
                send(WILL);
            o.usAsked = false;
        }
        break;
    case DONT:
        o.usRefused = false;
        if (o.us || o.usAsked) {
            if (o.us && !o.usAsked)
                send(WONT);
            if (opt == OptComPort && o.usAsked && !o.him)
                m_comPortRefused = true;
            o.us = false;
            o.usAsked = false;
        }
        break;
    case WILL:
        if (!weSupport(opt)) {
            if (!o.himRefused)
                send(DONT);
            o.himRefused = true;
        } else if (!o.him) {
            o.him = true;
            if (!o.himAsked)
                send(DO);
            o.himAsked = false;
            if (opt == OptComPort)
                m_comPortRefused = false;
        }
        break;
    case WONT:
        o.himRefused = false;
        if (o.him || o.himAsked) {
            if (o.him && !o.himAsked)
                send(DONT);
            o.him = false;
            o.himAsked = false;
        }
        break;
    default:
        break;
    }
}

void TelnetCodec::subnegotiation()
{
    if (m_sbOption != OptComPort || m_sb.isEmpty())
        return;
    const uint8_t code = uint8_t(m_sb.at(0));
    if (code < 100 || code >= 132)
        return;
    m_answered |= 1u << (code - 100);
    if (code == 100 + SetBaudRate && m_sb.size() >= 5) {
        m_baudRate = (uint32_t(uint8_t(m_sb.at(1))) << 24) | (uint32_t(uint8_t(m_sb.at(2))) << 16)
            | (uint32_t(uint8_t(m_sb.at(3))) << 8) | uint32_t(uint8_t(m_sb.at(4)));
    }
}

// ---- NetSerial -------------------------------------------------------------

NetSerial::NetSerial(QObject *parent)
    : QObject(parent)
{
}

NetSerial::~NetSerial()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        delete m_socket;
    }
}

bool NetSerial::isOpen() const
{
    return m_open && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

QString NetSerial::socketReason() const
{
    if (!m_socket)
        return tr("not connected");
    switch (m_socket->error()) {
    case QAbstractSocket::HostNotFoundError:
        return tr("the host name does not resolve");
    case QAbstractSocket::ConnectionRefusedError:
        return tr("connection refused (nothing listens on that port)");
    case QAbstractSocket::RemoteHostClosedError:
        return tr("the device server closed the connection");
    case QAbstractSocket::NetworkError:
        return tr("network error (%1)").arg(m_socket->errorString());
    default:
        return m_socket->errorString();
    }
}

bool NetSerial::open(const NetworkDevice &device, int baudRate, int parity, int timeoutMs)
{
    close();
    m_device = device;
    m_telnet = TelnetCodec();
    m_errorString.clear();
    m_lost = false;
    const bool rfc2217 = device.protocol == NetworkDevice::Protocol::Rfc2217;
    const QString where = device.endpoint();

    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(SocketBufferBytes);

    QEventLoop loop;
    // The limit is measured on the monotonic clock: a coarse timer may fire
    // up to 5 % early, so when it does the rest of the time is waited out.
    const QDeadlineTimer deadline(qMax(1, timeoutMs), Qt::PreciseTimer);
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool timedOut = false;
    bool notTaking = false;
    connect(&timer, &QTimer::timeout, &loop, [&] {
        const qint64 left = deadline.remainingTime();
        if (left > 0) {
            timer.start(int(left));
            return;
        }
        timedOut = true;
        loop.quit();
    });
    QByteArray discard;
    QByteArray reply;
    constexpr uint32_t confirmed = (1u << TelnetCodec::SetBaudRate) | (1u << TelnetCodec::SetDataSize)
        | (1u << TelnetCodec::SetParity) | (1u << TelnetCodec::SetStopSize);
    auto settled = [&] {
        return m_socket->state() == QAbstractSocket::ConnectedState
            && (!rfc2217 || (m_telnet.answered() & confirmed) == confirmed || m_telnet.comPortRefused());
    };
    auto onReadable = [&] {
        const QByteArray raw = m_socket->readAll();
        if (rfc2217) {
            reply.clear();
            m_telnet.feed(raw.constData(), raw.size(), &discard, &reply);
            if (!reply.isEmpty() && !sendRaw(reply)) {
                notTaking = true;
                loop.quit();
                return;
            }
        }
        discard.clear();
        if (settled())
            loop.quit();
    };
    const auto c1 = connect(m_socket, &QTcpSocket::connected, &loop, [&] {
        if (rfc2217) {
            QByteArray out = m_telnet.start();
            // What the server collected from the line before we came is
            // stale. The purge goes first so that it is done before the
            // settings are confirmed, and whatever came before the
            // confirmations is dropped below.
            out += TelnetCodec::comPortCommand(TelnetCodec::PurgeData, 1);
            const uint32_t b = uint32_t(baudRate);
            const char rate[4] = {char(b >> 24), char(b >> 16), char(b >> 8), char(b)};
            out += TelnetCodec::comPortCommand(TelnetCodec::SetBaudRate, QByteArray(rate, 4));
            out += TelnetCodec::comPortCommand(TelnetCodec::SetDataSize, 8);
            out += TelnetCodec::comPortCommand(TelnetCodec::SetParity, uint8_t(qBound(0, parity, 4) + 1));
            out += TelnetCodec::comPortCommand(TelnetCodec::SetStopSize, 1);
            out += TelnetCodec::comPortCommand(TelnetCodec::SetControl, 1);    // no flow control
            // DTR and RTS on, as opening a local serial port leaves them.
            out += TelnetCodec::comPortCommand(TelnetCodec::SetControl, 8);
            out += TelnetCodec::comPortCommand(TelnetCodec::SetControl, 11);
            sendRaw(out);
        }
        if (settled())
            loop.quit();
    });
    const auto c2 = connect(m_socket, &QTcpSocket::readyRead, &loop, onReadable);
    const auto c3 = connect(m_socket, &QTcpSocket::errorOccurred, &loop, [&] { loop.quit(); });
    const auto c4 = connect(m_socket, &QTcpSocket::disconnected, &loop, [&] { loop.quit(); });

    m_socket->connectToHost(device.host, device.port);
    timer.start(qMax(1, timeoutMs));
    while (!timedOut && !notTaking && !settled() && m_socket->state() != QAbstractSocket::UnconnectedState)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(c1);
    disconnect(c2);
    disconnect(c3);
    disconnect(c4);

    auto fail = [&](const QString &reason) {
        m_errorString = tr("Cannot open %1: %2").arg(where, reason);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
        return false;
    };
    const double seconds = timeoutMs / 1000.0;
    if (notTaking)
        return fail(notTakingReason());
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        if (timedOut)
            return fail(m_socket->state() == QAbstractSocket::HostLookupState
                            ? tr("the host name did not resolve within %1 s").arg(seconds)
                            : tr("no connection within %1 s").arg(seconds));
        return fail(socketReason());
    }
    if (rfc2217) {
        if (m_telnet.comPortRefused())
            return fail(tr("the device server refused serial-port control (RFC 2217); if it serves raw TCP use tcp://"));
        if (timedOut)
            return fail(tr("connected, but the device server did not confirm the line settings within %1 s "
                           "(is it an RFC 2217 server? for raw TCP use tcp://)").arg(seconds));
        const uint32_t reported = m_telnet.reportedBaudRate();
        if (reported != 0 && reported != uint32_t(baudRate))
            return fail(tr("the device server set its line to %1 bit/s instead of %2").arg(reported).arg(baudRate));
    }
    // Whatever came before the line was set answers nothing we sent.
    m_socket->readAll();

    connect(m_socket, &QTcpSocket::readyRead, this, &NetSerial::readyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetSerial::onSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetSerial::onSocketError);
    m_open = true;
    return true;
}

void NetSerial::onSocketError()
{
    if (!m_open || m_lost)
        return;
    m_lost = true;
    m_errorString = tr("Connection to %1 lost: %2").arg(m_device.endpoint(), socketReason());
    emit lost();
}

void NetSerial::close()
{
    m_open = false;
    if (!m_socket)
        return;
    QTcpSocket *s = m_socket;
    m_socket = nullptr;
    s->disconnect(this);
    // The socket may outlive this object for a moment to send what is
    // queued.
    s->setParent(nullptr);
    if (s->state() == QAbstractSocket::ConnectedState) {
        // What is still queued goes out before the connection closes; the
        // socket deletes itself once closed, or after a bounded time.
        s->flush();
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        QTimer::singleShot(3000, s, [s] { s->abort(); s->deleteLater(); });
        s->disconnectFromHost();
        if (s->state() == QAbstractSocket::UnconnectedState)
            s->deleteLater();
    } else {
        s->abort();
        s->deleteLater();
    }
}

QString NetSerial::notTakingReason() const
{
    return tr("the device server takes none of the bytes sent to it (%1 KiB waiting) while it goes on "
              "sending; the session was ended")
        .arg(MaxQueuedBytes / 1024);
}

bool NetSerial::sendRaw(const QByteArray &bytes)
{
    if (!m_socket || bytes.isEmpty())
        return true;
    // The system's own send buffer takes what the far end has not read yet;
    // what is left over waits in the socket. Past the bound the far end is
    // not reading at all.
    if (m_socket->bytesToWrite() + bytes.size() > MaxQueuedBytes)
        return false;
    m_socket->write(bytes);
    m_socket->flush();
    return true;
}

void NetSerial::endSession(const QString &reason)
{
    if (!m_socket || m_lost)
        return;
    m_lost = true;
    m_errorString = tr("Connection to %1 ended: %2").arg(m_device.endpoint(), reason);
    // Dropped at once, queue and all; the socket itself goes with close().
    m_socket->abort();
    // Told from the event loop: this may run inside a read of the port.
    QMetaObject::invokeMethod(this, [this] { emit lost(); }, Qt::QueuedConnection);
}

void NetSerial::write(const char *data, qsizetype size)
{
    if (!isOpen() || size <= 0)
        return;
    const bool taken = m_device.protocol == NetworkDevice::Protocol::Rfc2217
        ? sendRaw(TelnetCodec::escape(data, size))
        : sendRaw(QByteArray(data, size));
    if (!taken)
        endSession(notTakingReason());
}

QByteArray NetSerial::read(qsizetype maxBytes)
{
    QByteArray out;
    if (!m_socket || maxBytes <= 0)
        return out;
    if (m_device.protocol == NetworkDevice::Protocol::RawTcp) {
        // Asking for more than is buffered also lets a full socket read again.
        return m_socket->read(qMin(maxBytes, m_socket->bytesAvailable() + 4096));
    }
    QByteArray reply;
    // Telnet only ever shrinks the stream: maxBytes raw give at most
    // maxBytes of data. Go on while the socket still has bytes and all so
    // far were commands.
    while (out.size() < maxBytes) {
        const QByteArray raw = m_socket->read(qMin(maxBytes - out.size(), m_socket->bytesAvailable() + 4096));
        if (raw.isEmpty())
            break;
        m_telnet.feed(raw.constData(), raw.size(), &out, &reply);
    }
    if (!reply.isEmpty() && isOpen() && !sendRaw(reply))
        endSession(notTakingReason());
    return out;
}

void NetSerial::purgeFarEnd()
{
    if (isOpen() && m_device.protocol == NetworkDevice::Protocol::Rfc2217)
        sendRaw(TelnetCodec::comPortCommand(TelnetCodec::PurgeData, 1));   // its receive buffer
}
