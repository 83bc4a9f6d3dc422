// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliCommands.h"

#include <QTextStream>

int runTransferCommand(const QStringList &)
{
    QTextStream(stderr) << "transfer: not available yet\n";
    return 1;
}
