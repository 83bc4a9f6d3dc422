// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/PortMap.h"

#include "base/Services.h"
#include "link/core/DeviceName.h"

#include <QSerialPortInfo>
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
    QList<QSerialPortInfo> present = QSerialPortInfo::availablePorts();
    auto isUsb = [](const QSerialPortInfo &p) {
        return p.hasVendorIdentifier() || p.portName().startsWith(QLatin1String("ttyUSB"))
            || p.portName().startsWith(QLatin1String("ttyACM"));
    };
    std::stable_sort(present.begin(), present.end(), [&](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        if (isUsb(a) != isUsb(b))
            return isUsb(a);
        return a.portName() < b.portName();   // not natural order, but stable
    });
    for (const QSerialPortInfo &p : present) {
        if (devices.size() == PortCount)
            break;
        devices << p.systemLocation();
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
