// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// DeviceClaim: one program at a time on a serial device, however it is named.
//
// Two names for one device (a link made by udev or by the user, /dev/pts/3
// and a symlink to it) used to let two programs open it at once, and both
// transfers failed. The claim resolves the name to the device itself
// (realpath), opens it and takes an exclusive flock() on that descriptor:
// the lock belongs to the device node, so every instance of this program
// sees it whatever name it used, and the system drops it when the program
// ends, even by a crash, so no stale lock file can keep a port busy.
// TIOCEXCL is set as well once the port is open (exclusive()), which keeps
// other programs' opens out where the system enforces it (not for root).
//
// Before any of that the claim finds why a device cannot be used, in words
// a user can act on: missing (with the serial devices present), permission
// (with the dialout group and the command that grants it), busy (with the
// program and PID holding it where the system tells), not a serial device.
//
// A UUCP lock file left by a holder that has ended (kill -9, a crash) is
// removed once the device is claimed; notices() says so, for the trace.

#include "base/Platform.h"

#include <QString>
#include <QStringList>

class DeviceClaim
{
public:
    DeviceClaim() = default;
    ~DeviceClaim() { release(); }
    DeviceClaim(const DeviceClaim &) = delete;
    DeviceClaim &operator=(const DeviceClaim &) = delete;

    // Claims the device named path; false with a one-line reason in why.
    bool claim(const QString &path, QString *why);
    // Sets TIOCEXCL on the device (call once the port is open).
    void exclusive();
    void release();

    bool isClaimed() const { return m_device.isOpen(); }
    // The device itself, links resolved.
    QString canonicalPath() const { return m_canonical; }
    // What the last claim did beside claiming, for the trace (a stale lock
    // file removed).
    QStringList notices() const { return m_notices; }

    // The programs that hold canonicalPath open, as "name (PID n)", found
    // through /proc; empty where the system does not tell.
    static QStringList holders(const QString &canonicalPath);
    // The serial devices present (/dev/ttyS* with hardware behind them,
    // ttyUSB*, ttyACM*), for a message about a missing device.
    static QStringList presentDevices();

private:
    Platform::NativeFile m_device;
    QString m_canonical;
    QStringList m_notices;
};
