// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/gui/Commands.h"

#include "testpackets/gui/frmTest.h"

namespace Commands {

void openTestPackets(AppContext &ctx, QWidget *parent)
{
    frmTest dlg(ctx, parent);
    dlg.exec();
}

} // namespace Commands
