// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/DeviceName.h"

#include "base/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostInfo>
#include <QHostAddress>
#include <QUrl>

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
    if (rest.isEmpty())
        return fail(why, tr("the host is missing"));

    // Host and port apart, only to say which of the two is wrong; Qt's
    // parsers decide what each one is.
    QString hostText, portText;
    bool hasPort = false;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return fail(why, tr("the IPv6 address has no closing bracket"));
        hostText = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return fail(why, tr("nothing may follow the port number"));
        hasPort = after.startsWith(u':');
        portText = after.mid(1);
        if (hostText.isEmpty())
            return fail(why, tr("the host is missing"));
        // A link-local address names its interface after "%" (fe80::1%eth0);
        // in a URL that "%" is written "%25".
        const qsizetype zone = hostText.indexOf(QLatin1String("%25"));
        if (zone > 0)
            hostText.remove(zone + 1, 2);
        QHostAddress address;
        if (!address.setAddress(hostText) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return fail(why, tr("the IPv6 address \"%1\" is malformed").arg(hostText.left(64)));
        d.host = address.toString();
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        hasPort = colon >= 0;
        hostText = hasPort ? rest.left(colon) : rest;
        portText = hasPort ? rest.mid(colon + 1) : QString();
        if (hostText.isEmpty())
            return fail(why, tr("the host is missing"));
        if (hostText.contains(u':'))
            return fail(why, tr("an IPv6 address goes in brackets: [%1]").arg(hostText.left(64)));
        if (hostText.size() > 253)
            return fail(why, tr("the host name is too long"));
        const QUrl url(QStringLiteral("tcp://") + hostText, QUrl::StrictMode);
        // QUrl would take "user@" or a path as parts of a URL; a device
        // server's address has none.
        static const QString notInHost = QStringLiteral("%@/?#[]");
        bool odd = false;
        for (QChar c : std::as_const(hostText))
            odd = odd || notInHost.contains(c);
        if (odd || !url.isValid() || url.host().isEmpty())
            return fail(why, tr("the host \"%1\" contains a character a host name cannot have").arg(hostText.left(64)));
        d.host = url.host();
    }
    if (!hasPort || portText.isEmpty())
        return fail(why, tr("the port number is missing (HOST:PORT)"));
    for (QChar c : std::as_const(portText))
        if (c < u'0' || c > u'9')
            return fail(why, tr("the port number \"%1\" is not a number").arg(portText.left(16)));
    // Leading zeros are allowed: 00017099 is port 17099.
    bool ok = false;
    const int port = portText.toInt(&ok, 10);
    if (!ok || port < 1 || port > 65535)
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

namespace {

QString addressKey(QHostAddress address, uint16_t port)
{
    // ::ffff:127.0.0.1 is 127.0.0.1.
    bool v4 = false;
    const quint32 ip4 = address.toIPv4Address(&v4);
    if (v4)
        address = QHostAddress(ip4);
    return QStringLiteral("net %1 port %2").arg(address.toString()).arg(port);
}

} // namespace

QStringList ReceiverKeys(const QString &device)
{
    if (IsNetworkDeviceName(device)) {
        NetworkDevice d;
        if (!ParseNetworkDevice(device, &d))
            return {QStringLiteral("name ") + device};
        QHostAddress literal;
        if (literal.setAddress(d.host))
            return {addressKey(literal, d.port)};
        const QString host = d.host.toLower();
        QStringList keys;
        const QList<QHostAddress> addresses = QHostInfo::fromName(host).addresses();
        for (const QHostAddress &a : addresses)
            keys << addressKey(a, d.port);
        keys.removeDuplicates();
        if (keys.isEmpty())
            keys << QStringLiteral("host %1 port %2").arg(host).arg(d.port);
        return keys;
    }
    // stat follows every link; a device is its device number, whatever
    // path leads to it.
    const Platform::FileStat st = Platform::StatPath(device);
    if (st.ok) {
        if (!st.deviceNumber.isEmpty())
            return {QStringLiteral("device ") + st.deviceNumber};
        return {QStringLiteral("file ") + st.identity};
    }
    return {QStringLiteral("path ") + QDir::cleanPath(QFileInfo(device).absoluteFilePath())};
}

bool CheckDistinctReceivers(const QStringList &devices, QString *why, qsizetype *first, qsizetype *second)
{
    QHash<QString, qsizetype> seen;
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QStringList keys = ReceiverKeys(devices.at(i));
        for (const QString &key : keys) {
            const auto at = seen.constFind(key);
            if (at == seen.constEnd() || at.value() == i)
                continue;
            const qsizetype j = at.value();
            if (first)
                *first = j;
            if (second)
                *second = i;
            if (devices.at(j) == devices.at(i))
                return fail(why, tr("%1 is named twice (entries %2 and %3); name each receiver once")
                                     .arg(devices.at(i)).arg(j + 1).arg(i + 1));
            QString what = key;
            if (key.startsWith(QLatin1String("net ")))
                what = tr("both reach %1").arg(key.mid(4));
            else if (key.startsWith(QLatin1String("device ")))
                what = tr("both are device %1").arg(key.mid(7));
            else
                what = tr("both are %1").arg(key);
            return fail(why, tr("%1 (entry %2) and %3 (entry %4) are one receiver (%5); name each receiver once")
                                 .arg(devices.at(j)).arg(j + 1).arg(devices.at(i)).arg(i + 1).arg(what));
        }
        for (const QString &key : keys)
            seen.insert(key, i);
    }
    return true;
}
