// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder commands until this subsystem's windows land.
#include "shell/gui/Commands.h"

#include <QString>

namespace Commands {
void prepareCoverageWindows(AppContext &, QWidget *) {}
void openFips(AppContext &, QWidget *) {}
void openEvents(AppContext &, QWidget *) {}
void InitEventCatalog(AppContext &) {}
} // namespace Commands
