// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli: the editor's companion for scripts and remote machines.
#include "app/cli/CliCommands.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

// Asked for, the usage goes to standard output; after a mistake, to
// standard error, where the mistake was reported.
int usage(int code)
{
    QTextStream err(code == 0 ? stdout : stderr);
    err << "usage: nx4400c-cli transfer [--port N | --device PATH|URL]... [--devices FILE]\n"
           "                            [--profile FILE] [--csv FILE] [--trace FILE]\n"
           "       nx4400c-cli sounds DIR\n"
           "       nx4400c-cli sounds --play ID\n"
           "       nx4400c-cli ports [set N DEVICE]\n"
           "       nx4400c-cli profile save|load FILE\n"
           "       nx4400c-cli image [--profile FILE]\n"
           "       nx4400c-cli log audit --from DATE [--to DATE] [--format text|csv] [--csv FILE]\n"
           "       nx4400c-cli log show [--from DATE] [--to DATE] [--code CODES] [--csv FILE]\n"
           "       nx4400c-cli --help | --version\n";
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("NX4400C"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NX_VERSION));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(2);
    // Help and the version are answered wherever they stand, before any
    // command runs; after "--" they are ordinary arguments.
    const qsizetype end = args.contains(QLatin1String("--")) ? args.indexOf(QLatin1String("--")) : args.size();
    const QStringList options = args.mid(0, end);
    if (options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h")))
        return usage(0);
    if (options.contains(QLatin1String("--version"))) {
        QTextStream(stdout) << "nx4400c-cli " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    // An option no command knows is a mistake, not a file or folder name.
    // These take a value, which may itself look like an option.
    static const QStringList valued{QStringLiteral("--csv"),    QStringLiteral("--play"),
                                    QStringLiteral("--profile"), QStringLiteral("--from"),
                                    QStringLiteral("--to"),      QStringLiteral("--format"),
                                    QStringLiteral("--code"),    QStringLiteral("--device"),
                                    QStringLiteral("--devices"), QStringLiteral("--port"),
                                    QStringLiteral("--trace")};
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString &a = options.at(i);
        const QString name = a.section(QLatin1Char('='), 0, 0);
        if (valued.contains(a)) {
            ++i;
        } else if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")
                   && !(a.contains(QLatin1Char('=')) && valued.contains(name))) {
            QTextStream(stderr) << "nx4400c-cli: unknown option \"" << a << "\"\n";
            return usage(2);
        }
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("transfer"))
        return runTransferCommand(args);
    if (command == QLatin1String("sounds"))
        return runSoundsCommand(args);
    if (command == QLatin1String("ports"))
        return runPortsCommand(args);
    if (command == QLatin1String("profile") || command == QLatin1String("image"))
        return runProfileCommand(command, args);
    if (command == QLatin1String("log"))
        return runLogCommand(args);
    QTextStream(stderr) << "nx4400c-cli: unknown command \"" << command << "\"\n";
    return usage(2);
}
