// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/DeviceName.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DeviceName", text);
}

bool fail(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return false;
}

bool isHostNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
        || c == u'-' || c == u'.' || c == u'_';
}

bool isIpv6Char(QChar c)
{
    return (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || (c >= u'0' && c <= u'9')
        || c == u':' || c == u'.';
}

} // namespace

QString NetworkDevice::endpoint() const
{
    const QString h = host.contains(u':') ? u'[' + host + u']' : host;
    return h + u':' + QString::number(port);
}

bool IsNetworkDeviceName(const QString &name)
{
    return name.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool ParseNetworkDevice(const QString &name, NetworkDevice *device, QString *why)
{
    NetworkDevice d;
    QString rest;
    if (name.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)) {
        d.protocol = NetworkDevice::Protocol::Rfc2217;
        rest = name.mid(10);
    } else if (name.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
        d.protocol = NetworkDevice::Protocol::RawTcp;
        rest = name.mid(6);
    } else {
        return fail(why, tr("not a network device (rfc2217://HOST:PORT or tcp://HOST:PORT)"));
    }
    // A trailing slash is what people type after a URL; nothing else may
    // follow the port.
    if (rest.endsWith(u'/'))
        rest.chop(1);
    QString portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return fail(why, tr("the IPv6 address has no closing bracket"));
        d.host = rest.mid(1, close - 1);
        if (d.host.isEmpty())
            return fail(why, tr("the host is missing"));
        for (QChar c : std::as_const(d.host))
            if (!isIpv6Char(c))
                return fail(why, tr("the IPv6 address \"%1\" is malformed").arg(d.host));
        rest = rest.mid(close + 1);
        if (!rest.startsWith(u':'))
            return fail(why, tr("the port number is missing (HOST:PORT)"));
        portText = rest.mid(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return fail(why, tr("the port number is missing (HOST:PORT)"));
        d.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (d.host.isEmpty())
            return fail(why, tr("the host is missing"));
        if (d.host.size() > 253)
            return fail(why, tr("the host name is too long"));
        for (QChar c : std::as_const(d.host))
            if (!isHostNameChar(c))
                return fail(why, tr("the host \"%1\" contains a character a host name cannot have").arg(d.host.left(64)));
    }
    if (portText.isEmpty())
        return fail(why, tr("the port number is missing (HOST:PORT)"));
    for (QChar c : std::as_const(portText))
        if (c < u'0' || c > u'9')
            return fail(why, tr("the port number \"%1\" is not a number").arg(portText.left(16)));
    if (portText.size() > 5)
        return fail(why, tr("the port number must be 1 to 65535"));
    int port = 0;
    for (QChar c : std::as_const(portText))
        port = port * 10 + (c.unicode() - u'0');
    if (port < 1 || port > 65535)
        return fail(why, tr("the port number must be 1 to 65535"));
    d.port = uint16_t(port);
    if (device)
        *device = d;
    return true;
}

bool IsAcceptableDeviceName(const QString &name, QString *why)
{
    if (name.isEmpty())
        return true;
    if (name.size() > MaxDeviceNameLength)
        return fail(why, tr("the device name is %1 characters long; at most %2 are allowed")
                             .arg(name.size()).arg(MaxDeviceNameLength));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            return fail(why, tr("the device name contains a control character (at position %1)").arg(i + 1));
        if (u == 0xFFFD)
            return fail(why, tr("the device name is not valid UTF-8 text"));
        if (c.isHighSurrogate()) {
            if (i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            return fail(why, tr("the device name is not valid UTF-8 text"));
        }
        if (c.isLowSurrogate())
            return fail(why, tr("the device name is not valid UTF-8 text"));
    }
    if (IsNetworkDeviceName(name))
        return ParseNetworkDevice(name, nullptr, why);
    // Any other scheme ("telnet://", "http://") is a mistake rather than a
    // file name.
    const qsizetype sep = name.indexOf(QLatin1String("://"));
    if (sep > 0) {
        bool scheme = true;
        for (qsizetype i = 0; i < sep && scheme; ++i)
            scheme = name.at(i).isLetterOrNumber() || name.at(i) == u'+' || name.at(i) == u'-';
        if (scheme)
            return fail(why, tr("unknown kind of device \"%1://\"; use a device path, rfc2217://HOST:PORT or tcp://HOST:PORT")
                                 .arg(name.left(qMin<qsizetype>(sep, 32))));
    }
    return true;
}
