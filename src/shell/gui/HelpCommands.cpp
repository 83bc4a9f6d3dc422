// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder commands until this subsystem's windows land.
#include "shell/gui/Commands.h"

#include <QString>

namespace Commands {
void helpContents(AppContext &, QWidget *) {}
void helpSearch(AppContext &, QWidget *) {}
void openWebPage(AppContext &, QWidget *, const QString &) {}
void openAbout(AppContext &, QWidget *) {}
void showTipAtStartup(AppContext &, QWidget *) {}
} // namespace Commands
