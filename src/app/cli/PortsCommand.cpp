// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli ports            lists the serial devices and the port numbers
// nx4400c-cli ports set N DEV  makes port number N (1..4) stand for DEV
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "config/core/SettingsStore.h"
#include "link/core/PortMap.h"
#include "app/AppContext.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTextStream>

int runPortsCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    AppContext ctx;

    if (!args.isEmpty()) {
        bool ok = false;
        const int n = args.value(1).toInt(&ok);
        if (args.size() != 3 || args.at(0) != QLatin1String("set") || !ok || n < 1 || n > PortMap::PortCount
            || args.at(2).trimmed().isEmpty()) {
            err << "usage: nx4400c-cli ports [set N DEVICE]   (N = 1..4)\n";
            return 2;
        }
        // A store that is a pipe, a device or unreadable is left alone.
        if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
            err << "ports: " << problem << '\n';
            return 1;
        }
        QString why;
        if (!PortMap::Save(ctx, n, args.at(2), &why)) {
            // The refused name is not echoed: it may hold line breaks or
            // other control characters.
            err << "ports: port " << n << " not changed: " << why << '\n';
            return 1;
        }
        out << "Port " << n << " = " << args.at(2).trimmed() << "\n";
        return 0;
    }

    // With a store that cannot be read the defaults are listed, and the
    // reason is given.
    const QString problem = SettingsStoreProblem(ctx);
    if (!problem.isEmpty())
        err << "ports: " << problem << '\n';
    const QStringList map = PortMap::Load(ctx);
    out << "Port numbers:\n";
    for (int i = 0; i < map.size(); ++i) {
        const QString &dev = map.at(i);
        out << "  Port " << (i + 1) << "  " << dev;
        if (!dev.isEmpty() && !QFileInfo::exists(dev))
            out << "  (not present)";
        out << "\n";
    }
    out << "Serial devices:\n";
    const QList<QSerialPortInfo> present = QSerialPortInfo::availablePorts();
    if (present.isEmpty())
        out << "  (none found)\n";
    for (const QSerialPortInfo &p : present) {
        const QString where = p.systemLocation();
        const int n = int(map.indexOf(where)) + 1;
        out << "  " << where;
        if (!p.description().isEmpty())
            out << "  " << p.description();
        if (!p.manufacturer().isEmpty())
            out << " (" << p.manufacturer() << ")";
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
    QString(),
    {},
    {QStringLiteral("0\tlisted"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runPortsCommand(args); },
    20,
});
const bool set = Cli::add({
    QStringLiteral("ports set"),
    QStringLiteral("N DEVICE"),
    QStringLiteral("Points port N (1 to 4) at a device path or a device server's line."),
    QString(),
    {
        {QStringLiteral("N"), QString(), QStringLiteral("The port, 1 to 4."), false, QStringLiteral("port")},
        {QStringLiteral("DEVICE"), QString(), QStringLiteral("A device path or rfc2217://HOST:PORT or tcp://HOST:PORT."), false, QStringLiteral("device")},
    },
    {QStringLiteral("0\tstored"), QStringLiteral("1\tthe settings store could not be written"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runPortsCommand(QStringList{QStringLiteral("set")} + args); },
    21,
});
} // namespace
