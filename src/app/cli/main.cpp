// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli: the editor's companion for scripts and remote machines.
// Every command registers itself (app/cli/CliCommand.h); this only finds it.
#include "app/cli/CliCommand.h"
#include "app/cli/CliManual.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

#ifndef NX_RELEASE_DATE
#define NX_RELEASE_DATE ""
#endif

int main(int argc, char **argv)
{
    // A command that draws needs fonts, and so a GUI application; it needs
    // no screen, so it runs on Qt's offscreen platform unless told otherwise.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    int consumed = 0;
    const CliCommand *early = Cli::find(raw, &consumed);
    std::unique_ptr<QCoreApplication> application;
    // Its --help (before any "--") is text only.
    bool help = false;
    for (const QString &a : raw.mid(consumed)) {
        if (a == QLatin1String("--"))
            break;
        help = help || a == QLatin1String("--help") || a == QLatin1String("-h");
    }
    if (early && early->paints && !help) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("NX4400C"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NX_VERSION));
    QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.isEmpty()) {
        err << Cli::usage();
        return 2;
    }
    const QString &first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        out << Cli::usage();
        return 0;
    }
    // Hidden: what the build makes the manual page and the shell
    // completions from, and the command list the tests walk.
    if (first == QLatin1String("--manpage")) {
        out << Cli::manualPage(QCoreApplication::applicationVersion(), QStringLiteral(NX_RELEASE_DATE));
        return 0;
    }
    if (first == QLatin1String("--reference-html")) {
        out << Cli::referencePage(QCoreApplication::applicationVersion());
        return 0;
    }
    if (first == QLatin1String("--completion")) {
        const QString script = Cli::completion(args.value(1));
        if (script.isEmpty()) {
            err << "nx4400c-cli: --completion needs bash, zsh or fish\n";
            return 2;
        }
        out << script;
        return 0;
    }
    if (first == QLatin1String("--commands")) {
        if (args.value(1) == QLatin1String("--json")) {
            const QByteArray json = Cli::commandsJson();
            out.flush();
            return std::fwrite(json.constData(), 1, size_t(json.size()), stdout) == size_t(json.size()) ? 0 : 1;
        }
        for (const QString &name : Cli::commandNames())
            out << name << '\n';
        return 0;
    }
    if (first == QLatin1String("--version")) {
        out << "nx4400c-cli " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    int words = 0;
    const CliCommand *command = Cli::find(args, &words);
    if (!command) {
        // A group's word alone ("log", "profile"): its commands' usage.
        QString group;
        for (const CliCommand &c : Cli::commands()) {
            if (c.name.startsWith(first + QLatin1Char(' ')))
                group += Cli::usageOf(c) + QLatin1Char('\n');
        }
        if (!group.isEmpty() && (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h")))) {
            out << group;
            return 0;
        }
        if (!group.isEmpty())
            err << "nx4400c-cli " << first << ": which command?\n" << group;
        else
            err << "nx4400c-cli: unknown command \"" << first << "\"\n" << Cli::usage();
        return 2;
    }
    const QStringList rest = args.mid(words);
    // Help is answered wherever it stands, before the command runs; after
    // "--" it is an ordinary argument.
    const qsizetype end = rest.contains(QLatin1String("--")) ? rest.indexOf(QLatin1String("--")) : rest.size();
    const QStringList options = rest.mid(0, end);
    if (options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h"))) {
        out << Cli::usageOf(*command);
        return 0;
    }
    const QString why = Cli::checkOptions(*command, rest);
    if (!why.isEmpty()) {
        err << "nx4400c-cli " << command->name << ": " << why << '\n' << Cli::usageOf(*command);
        return 2;
    }
    return command->run(rest);
}
