// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What may stand in a port's device field: a device path (/dev/ttyUSB0) or a
// serial line behind a device server, `rfc2217://HOST:PORT` (Telnet with
// serial-port control: the far end is set to our speed and framing) or
// `tcp://HOST:PORT` (raw bytes; the device server's line must already be set
// to 4800 bit/s 8N1). HOST is a name, an IPv4 address or an IPv6 address in
// brackets ([::1]).
//
// The name comes from the settings store, the setup window or the command
// line, so it is checked before it is stored, shown or opened: a name with a
// line break could otherwise add keys to the store, and one of 100 KB would be
// carried around in every message.

#include <QString>
#include <QStringList>

#include <cstdint>

inline constexpr int MaxDeviceNameLength = 4096;

struct NetworkDevice
{
    enum class Protocol { Rfc2217, RawTcp };
    Protocol protocol = Protocol::RawTcp;
    QString host;          // without brackets
    uint16_t port = 0;
    // host:port as written, for messages ("[::1]:2000" for IPv6).
    QString endpoint() const;
};

// True when the name starts with a network scheme (rfc2217:// or tcp://, in
// any letter case), well formed or not.
bool IsNetworkDeviceName(const QString &name);

// Splits a network device name. On failure returns false and, when why is
// given, sets it to a one-line reason ("the port number is missing").
bool ParseNetworkDevice(const QString &name, NetworkDevice *device, QString *why = nullptr);

// True when the name may be stored and opened as a port's device. The empty
// name is acceptable (a port without a device). Refused: control characters
// (line breaks included), Unicode replacement characters left by invalid
// UTF-8, unpaired surrogates, names longer than MaxDeviceNameLength, unknown
// URL schemes, and network names without a host or with a port outside
// 1..65535. On refusal *why (when given) holds a one-line reason.
bool IsAcceptableDeviceName(const QString &name, QString *why = nullptr);

// Two names can reach one receiver: a link and the device it leads to
// (/dev/serial/by-id/... and /dev/ttyUSB0, /dev//pts/5 and /dev/pts/5), a
// host name and its address, tcp:// and rfc2217:// to the same port of a
// device server. Two sessions on one line mix their bytes and both fail, so
// a batch must name every receiver once.
//
// The keys of what `device` reaches: the device number of a local device
// (the file itself for anything else; the cleaned path when it cannot be
// looked at), or address and port of a device server, for every address a
// host name resolves to (the name itself when it does not resolve). Looking
// a name up may take as long as the system's resolver does.
QStringList ReceiverKeys(const QString &device);

// True when no two of `devices` reach the same receiver. Otherwise *why
// (when given) names both entries and what they share, and
// *first/*second (when given) hold their indexes.
bool CheckDistinctReceivers(const QStringList &devices, QString *why = nullptr, qsizetype *first = nullptr,
                            qsizetype *second = nullptr);
