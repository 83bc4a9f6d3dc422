// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder commands until this subsystem's windows land.
#include "shell/gui/Commands.h"

#include <QString>

namespace Commands {
void openOptions(AppContext &, QWidget *) {}
void openTimers(AppContext &, QWidget *) {}
void openInOuts(AppContext &, QWidget *) {}
void openIdent(AppContext &, QWidget *) {}
void openRs232(AppContext &, QWidget *) {}
} // namespace Commands
