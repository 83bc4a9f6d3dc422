// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// Subcommands of nx4400c-cli. Each takes the arguments after its name and
// returns the process exit code.
int runTransferCommand(const QStringList &args);
int runSoundsCommand(const QStringList &args);
int runPortsCommand(const QStringList &args);
int runProfileCommand(const QString &command, const QStringList &args);   // "profile" and "image"
int runLogCommand(const QStringList &args);
int runMonitorCommand(const QStringList &args);
