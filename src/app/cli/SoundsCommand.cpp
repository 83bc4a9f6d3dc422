// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliCommands.h"

#include <QTextStream>

int runSoundsCommand(const QStringList &)
{
    QTextStream(stderr) << "sounds: not available yet\n";
    return 1;
}
