// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which device each of the receiver port numbers 1..4 stands for. The map is
// kept in the settings store, section "Ports", keys "Port1".."Port4", apart
// from the receiver's own settings. It is read when the link starts and
// written only when the user changes it (setup window, `nx4400c-cli ports set`).

#include <QString>
#include <QStringList>

class Services;

namespace PortMap {
inline constexpr int PortCount = 4;

// The platform's choice when the store names no device: Windows COM1..COM4;
// elsewhere the serial devices present, USB adapters first, then the
// remaining places filled from /dev/ttyS0../dev/ttyS3.
QStringList DefaultDevices();
// The store's devices, defaults where a key is missing or empty. Always
// PortCount entries.
QStringList Load(const Services &services);
// Writes one key (1..4); returns false with the reason in *why when the
// device name is unusable (control characters, absurd length, a malformed
// network address) or the store could not be written.
bool Save(const Services &services, int portNumber, const QString &device, QString *why = nullptr);
} // namespace PortMap
