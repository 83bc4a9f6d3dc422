// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder commands until this subsystem's windows land.
#include "shell/gui/Commands.h"

#include <QString>

namespace Commands {
void openCommPort(AppContext &, QWidget *) {}
void EstConnect(AppContext &, QWidget *) {}
void CloseReceiverPort(AppContext &) {}
} // namespace Commands
