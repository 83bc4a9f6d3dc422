// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one description of nx4400c-cli's commands. Every command registers
// itself here, from its own source file, with its usage, options, exit
// statuses, files and environment; main() dispatches through it, and the
// same entries print `CMD --help`, the manual page and the shell
// completions, so the three can never disagree with the program.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct CliOption {
    QString name;        // "--device"; a positional argument is written in capitals ("FILE")
    QString value;       // "PATH|URL", empty for a flag
    QString help;        // one or more sentences
    bool repeatable = false;
    // What a shell should complete for the value: "file", "dir", "device",
    // "port", "profile", "none", or the choices themselves ("strict|combined").
    QString completion;
};

struct CliCommand {
    QString name;                // "transfer", "log show", "coverage import"
    QString synopsis;            // what follows the name in the usage line
    QString summary;             // one line, for the command list
    QString description;         // paragraphs separated by "\n\n"
    QList<CliOption> options;
    QStringList exitStatus;      // "0\tthe receiver was programmed", ...
    QStringList examples;        // whole command lines, as a user types them
    std::function<int(const QStringList &args)> run;   // args after the name
    int order = 100;             // position in the usage and the manual
    // Draws (fonts, pictures): runs under a GUI application without a
    // screen (Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise).
    bool paints = false;
};

// Program-wide facts for the manual page: files and environment variables.
struct CliTopic {
    QString name;     // "~/.config/NX4400C/NX4400C.ini" or "XDG_CONFIG_HOME"
    QString help;
};

namespace Cli {

// Registration from a command's own source file, at static initialisation:
//   static const bool registered = Cli::add({...});
bool add(CliCommand command);
bool addFile(CliTopic file);
bool addEnvironment(CliTopic variable);

QList<CliCommand> commands();        // sorted by order, then name

// The program's one rule for exit statuses, written once for the manual
// page and the manual's command reference: code, then what it means.
QList<CliTopic> exitStatusRule();
QList<CliTopic> files();
QList<CliTopic> environment();

// The command that the arguments name, the longest match first ("log show"
// before "log"); *consumed is set to the number of words of its name.
const CliCommand *find(const QStringList &args, int *consumed);

// "usage: nx4400c-cli NAME SYNOPSIS" and the options, for `NAME --help`.
QString usageOf(const CliCommand &command);
// The whole program's short usage (one line per command).
QString usage();

// Options the command does not declare, or a valued option without a value:
// the first such problem as a message, or empty.
QString checkOptions(const CliCommand &command, const QStringList &args);

} // namespace Cli
