// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli ports            lists the serial devices and the port numbers
// nx4400c-cli ports --json     the same for programs (docs/json/ports.schema.json)
// nx4400c-cli ports set N DEV  makes port number N (1..4) stand for DEV
// nx4400c-cli ports set N auto puts port N back to the platform's choice
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "config/core/SettingsStore.h"
#include "link/core/DeviceName.h"
#include "link/core/PortMap.h"
#include "link/core/SerialLine.h"
#include "app/AppContext.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTextStream>

namespace {

constexpr int JsonVersion = 1;

// True when the store names no device for the port, so the platform's
// choice stands in for it.
QList<bool> automaticPorts(const Services &services)
{
    QList<bool> automatic;
    auto settings = services.openSettings();
    for (int i = 1; i <= PortMap::PortCount; ++i) {
        const QString d = settings->value(QStringLiteral("Ports/Port%1").arg(i)).toString().trimmed();
        automatic << (d.isEmpty() || !IsAcceptableDeviceName(d));
    }
    return automatic;
}

bool isPresent(const QString &device)
{
    return IsNetworkDeviceName(device) || QFileInfo::exists(device);
}

int setPort(AppContext &ctx, int n, const QString &device, QTextStream &out, QTextStream &err)
{
    // A store that is a pipe, a device or unreadable is left alone.
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "ports: " << problem << '\n';
        return 1;
    }
    if (device.trimmed() == QLatin1String("auto")) {
        auto settings = ctx.openSettings();
        settings->remove(QStringLiteral("Ports/Port%1").arg(n));
        settings->sync();
        if (settings->status() != QSettings::NoError || !settings->isWritable()) {
            err << "ports: port " << n << " not changed: the settings store "
                << QDir::toNativeSeparators(ctx.settingsFile()) << " could not be written\n";
            return 1;
        }
        out << "Port " << n << " = " << PortMap::Load(ctx).value(n - 1) << " (automatic)\n";
        return 0;
    }
    QString why;
    // A name that could not be a device is a refused argument (2); a store
    // that cannot be written is a failure (1).
    if (!IsAcceptableDeviceName(device.trimmed(), &why)) {
        err << "ports: port " << n << " not changed: " << why << '\n';
        return 2;
    }
    if (!PortMap::Save(ctx, n, device, &why)) {
        // The refused name is not echoed: it may hold line breaks or
        // other control characters.
        err << "ports: port " << n << " not changed: " << why << '\n';
        return 1;
    }
    const QString stored = device.trimmed();
    out << "Port " << n << " = " << stored << "\n";
    // Adapters come and go: a device that is not plugged in now is stored
    // all the same, with a word to the user.
    if (!isPresent(stored))
        err << "ports: warning: " << stored << " does not exist now; port " << n
            << " will use it once it is there\n";
    return 0;
}

void listJson(const QStringList &map, const QList<bool> &automatic, const QString &problem, QTextStream &out)
{
    QJsonArray ports;
    for (int i = 0; i < map.size(); ++i) {
        const QString &dev = map.at(i);
        ports.append(QJsonObject{
            {QStringLiteral("port"), i + 1},
            {QStringLiteral("device"), dev},
            {QStringLiteral("automatic"), automatic.value(i)},
            {QStringLiteral("network"), IsNetworkDeviceName(dev)},
            {QStringLiteral("present"), !dev.isEmpty() && isPresent(dev)},
        });
    }
    QJsonArray devices;
    for (const SerialDeviceInfo &p : SerialLine::availableDevices()) {
        const int n = int(map.indexOf(p.path)) + 1;
        devices.append(QJsonObject{
            {QStringLiteral("path"), p.path},
            {QStringLiteral("description"), p.description},
            {QStringLiteral("manufacturer"), p.manufacturer},
            {QStringLiteral("port"), n > 0 ? QJsonValue(n) : QJsonValue(QJsonValue::Null)},
        });
    }
    QJsonObject root{
        {QStringLiteral("schema"), QStringLiteral("nx4400c-ports")},
        {QStringLiteral("version"), JsonVersion},
        {QStringLiteral("ports"), ports},
        {QStringLiteral("devices"), devices},
    };
    if (!problem.isEmpty())
        root.insert(QStringLiteral("problem"), problem);
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace

int runPortsCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    AppContext ctx;

    const bool json = args == QStringList{QStringLiteral("--json")};
    if (!args.isEmpty() && !json) {
        bool ok = false;
        const int n = args.value(1).toInt(&ok);
        if (args.size() != 3 || args.at(0) != QLatin1String("set") || !ok || n < 1 || n > PortMap::PortCount
            || args.at(2).trimmed().isEmpty()) {
            err << "usage: nx4400c-cli ports [--json]\n"
                   "       nx4400c-cli ports set N DEVICE|auto   (N = 1..4)\n";
            return 2;
        }
        return setPort(ctx, n, args.at(2), out, err);
    }

    // With a store that cannot be read the defaults are listed, and the
    // reason is given.
    const QString problem = SettingsStoreProblem(ctx);
    if (!problem.isEmpty())
        err << "ports: " << problem << '\n';
    const QStringList map = PortMap::Load(ctx);
    const QList<bool> automatic = automaticPorts(ctx);
    if (json) {
        listJson(map, automatic, problem, out);
        return problem.isEmpty() ? 0 : 1;
    }
    out << "Port numbers:\n";
    for (int i = 0; i < map.size(); ++i) {
        const QString &dev = map.at(i);
        out << "  Port " << (i + 1) << "  " << dev;
        if (automatic.value(i))
            out << "  (automatic)";
        if (!dev.isEmpty() && !isPresent(dev))
            out << "  (not present)";
        out << "\n";
    }
    out << "Serial devices:\n";
    const QList<SerialDeviceInfo> present = SerialLine::availableDevices();
    if (present.isEmpty())
        out << "  (none found)\n";
    for (const SerialDeviceInfo &p : present) {
        const QString where = p.path;
        const int n = int(map.indexOf(where)) + 1;
        out << "  " << where;
        if (!p.description.isEmpty())
            out << "  " << p.description;
        if (!p.manufacturer.isEmpty())
            out << " (" << p.manufacturer << ")";
        if (n > 0)
            out << "  = Port " << n;
        out << "\n";
    }
    return problem.isEmpty() ? 0 : 1;
}

namespace {
const bool listed = Cli::add({
    QStringLiteral("ports"),
    QString(),
    QStringLiteral("Lists the editor's four ports and the devices they stand for."),
    QStringLiteral("A port the settings store names no device for is automatic: it stands for the platform's "
                   "choice (the serial devices present, USB adapters first, else /dev/ttyS0 to /dev/ttyS3). "
                   "Devices that are not there now are marked."),
    {{QStringLiteral("--json"), QString(),
      QStringLiteral("Prints one JSON object instead (schema nx4400c-ports, version 1; docs/json/ports.schema.json)."),
      false, QString()}},
    {QStringLiteral("0\tlisted"), QStringLiteral("1\tthe settings store cannot be read (the defaults are listed)"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli ports"), QStringLiteral("nx4400c-cli ports --json")},
    [](const QStringList &args) { return runPortsCommand(args); },
    20,
});
const bool set = Cli::add({
    QStringLiteral("ports set"),
    QStringLiteral("N DEVICE|auto"),
    QStringLiteral("Points port N (1 to 4) at a device path or a device server's line, or back to automatic."),
    QStringLiteral("A device path that does not exist now is stored all the same, with a warning: adapters come "
                   "and go. \"auto\" removes the port's device from the settings store, so the platform's choice "
                   "stands for it again."),
    {
        {QStringLiteral("N"), QString(), QStringLiteral("The port, 1 to 4."), false, QStringLiteral("port")},
        {QStringLiteral("DEVICE"), QString(),
         QStringLiteral("A device path, rfc2217://HOST:PORT or tcp://HOST:PORT, or auto."), false, QStringLiteral("device-or-auto")},
    },
    {QStringLiteral("0\tstored (a missing device is warned about)"), QStringLiteral("1\tthe settings store could not be written"),
     QStringLiteral("2\ta usage error, or a device name that could not be a device")},
    {QStringLiteral("nx4400c-cli ports set 1 /dev/ttyUSB0"), QStringLiteral("nx4400c-cli ports set 1 auto")},
    [](const QStringList &args) { return runPortsCommand(QStringList{QStringLiteral("set")} + args); },
    21,
});
} // namespace
