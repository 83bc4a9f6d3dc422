// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli: the editor's companion for scripts and remote machines.
#include "app/cli/CliCommands.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

int usage(int code)
{
    QTextStream err(stderr);
    err << "usage: nx4400c-cli transfer [--csv FILE]\n"
           "       nx4400c-cli sounds DIR\n"
           "       nx4400c-cli sounds --play ID\n"
           "       nx4400c-cli ports [set N DEVICE]\n"
           "       nx4400c-cli log audit --from DATE [--to DATE] [--format text|csv] [--csv FILE]\n";
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("NX4400C"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(2);
    const QString command = args.takeFirst();
    if (command == QLatin1String("transfer"))
        return runTransferCommand(args);
    if (command == QLatin1String("sounds"))
        return runSoundsCommand(args);
    if (command == QLatin1String("ports"))
        return runPortsCommand(args);
    if (command == QLatin1String("log"))
        return runLogCommand(args);
    if (command == QLatin1String("--help") || command == QLatin1String("-h"))
        return usage(0);
    return usage(2);
}
