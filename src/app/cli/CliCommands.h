// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/SetupCheck.h"

#include <QStringList>

class QTextStream;

// Subcommands of nx4400c-cli. Each takes the arguments after its name and
// returns the process exit code.
int runTransferCommand(const QStringList &args);
int runSoundsCommand(const QStringList &args);
int runPortsCommand(const QStringList &args);
int runProfileCommand(const QString &command, const QStringList &args);   // "profile" and "image"
int runLogCommand(const QStringList &args);
int runInitCommand(const QStringList &args);
int runConfigCommand(const QStringList &args);

// A path as messages show it: absolute, with the system's separators.
QString shownCliPath(const QString &path);
// The reason a command that needs NX_4400C.DAT gives when it cannot read it;
// it names `nx4400c-cli init`.
QString missingParameterFileText(const QString &path);
int runMonitorCommand(const QStringList &args);

// The coverage listing the command line uses: the user's imported one when
// it is complete, else the shipped one.
QString cliStatesFolder();
// The setup against that listing (the check of nx4400c-cli check).
SetupCheck::Report checkCliSetup(const ReceiverSetup &setup);
// The report's lines on standard error, each after "COMMAND: ".
void printSetupFindings(QTextStream &err, const QString &command, const SetupCheck::Report &report);
