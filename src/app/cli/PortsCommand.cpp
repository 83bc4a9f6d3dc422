// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliCommands.h"

#include <QTextStream>

int runPortsCommand(const QStringList &)
{
    QTextStream(stderr) << "ports: not available yet\n";
    return 1;
}
