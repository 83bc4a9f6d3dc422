// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder commands until this subsystem's windows land.
#include "shell/gui/Commands.h"

#include <QString>

namespace Commands {
void printHistory(AppContext &, QWidget *) {}
void saveHistoryAs(AppContext &, QWidget *) {}
void ShowHistoryGroup(AppContext &, QWidget *, int) {}
} // namespace Commands
