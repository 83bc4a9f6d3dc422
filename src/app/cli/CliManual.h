// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The manual page and the shell completions of nx4400c-cli, written from the
// one command table (CliCommand.h). The build runs the program's hidden
// options (--manpage, --reference-html, --completion SHELL) to make the installed files, so a
// command or option added to the table reaches them without further work.

#include <QString>
#include <QStringList>

namespace Cli {

// The section 1 page in roff (man(7) macros).
QString manualPage(const QString &version, const QString &date);

// The manual's command reference (help/manual/command-line.html): one HTML
// page with every command, its options, exit statuses and examples, the
// exit status rule, the files and the environment.
QString referencePage(const QString &version);

// "bash", "zsh" or "fish"; empty for another name.
QString completion(const QString &shell);

// Every command's name, one per entry, in the order of the usage.
QStringList commandNames();

// The whole table as one JSON document (docs/json/commands.schema.json), for
// tools that build on the command line: names, usage, options, exit statuses.
QByteArray commandsJson();

// A description's paragraphs (separated by an empty line), each on one
// line with its blanks simplified.
QStringList paragraphs(const QString &text);

// roff text for one piece of prose or code: backslashes doubled, a leading
// dot or quote defused, and in code every hyphen a minus sign.
QString roffEscape(const QString &text, bool code = false);

} // namespace Cli
