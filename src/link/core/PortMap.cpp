// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/PortMap.h"

#include "base/Services.h"

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

bool Save(const Services &services, int portNumber, const QString &device)
{
    if (portNumber < 1 || portNumber > PortCount)
        return false;
    auto settings = services.openSettings();
    settings->setValue(QStringLiteral("Ports/Port%1").arg(portNumber), device.trimmed());
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace PortMap
