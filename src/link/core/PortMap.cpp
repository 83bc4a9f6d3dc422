// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/PortMap.h"

#include "base/Services.h"
#include "link/core/DeviceName.h"
#include "link/core/SerialLine.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace PortMap {

QStringList DefaultDevices()
{
    QStringList devices;
#ifdef Q_OS_WIN
    for (int i = 1; i <= PortCount; ++i)
        devices << QStringLiteral("COM%1").arg(i);
#else
    QList<SerialDeviceInfo> present = SerialLine::availableDevices();
    auto name = [](const SerialDeviceInfo &p) { return QFileInfo(p.path).fileName(); };
    auto isUsb = [&](const SerialDeviceInfo &p) {
        return !p.usbId.isEmpty() || name(p).startsWith(QLatin1String("ttyUSB"))
            || name(p).startsWith(QLatin1String("ttyACM"));
    };
    std::stable_sort(present.begin(), present.end(), [&](const SerialDeviceInfo &a, const SerialDeviceInfo &b) {
        if (isUsb(a) != isUsb(b))
            return isUsb(a);
        return name(a) < name(b);   // not natural order, but stable
    });
    for (const SerialDeviceInfo &p : std::as_const(present)) {
        if (devices.size() == PortCount)
            break;
        devices << p.path;
    }
    for (int i = 0; devices.size() < PortCount && i < 64; ++i) {
        const QString s = QStringLiteral("/dev/ttyS%1").arg(i);
        if (!devices.contains(s))
            devices << s;
    }
#endif
    return devices;
}

QStringList Load(const Services &services)
{
    QStringList devices;
    QStringList defaults;
    auto settings = services.openSettings();
    settings->beginGroup(QStringLiteral("Ports"));
    for (int i = 1; i <= PortCount; ++i) {
        QString d = settings->value(QStringLiteral("Port%1").arg(i)).toString().trimmed();
        // A hand-edited store may hold anything: a name that could not be a
        // device is passed over like a missing one.
        if (!IsAcceptableDeviceName(d))
            d.clear();
        if (d.isEmpty()) {
            if (defaults.isEmpty())
                defaults = DefaultDevices();
            d = defaults.value(i - 1);
        }
        devices << d;
    }
    settings->endGroup();
    return devices;
}

bool Save(const Services &services, int portNumber, const QString &device, QString *why)
{
    if (portNumber < 1 || portNumber > PortCount) {
        if (why)
            *why = QStringLiteral("there is no port %1 (ports are 1 to %2)").arg(portNumber).arg(PortCount);
        return false;
    }
    if (!IsAcceptableDeviceName(device.trimmed(), why))
        return false;
    auto settings = services.openSettings();
    settings->setValue(QStringLiteral("Ports/Port%1").arg(portNumber), device.trimmed());
    settings->sync();
    if (settings->status() == QSettings::NoError && settings->isWritable())
        return true;
    if (why)
        *why = QStringLiteral("the settings store %1 could not be written").arg(services.settingsFile());
    return false;
}

} // namespace PortMap
