// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's link commands: "Setup", "Transfer Data" and the port
// close of the exit paths.
#include "shell/gui/Commands.h"

#include "link/core/ReceiverLink.h"
#include "link/core/Transfer.h"
#include "shell/core/AppContext.h"

namespace Commands {

void openCommPort(AppContext &, QWidget *)
{
    // The setup window follows.
}

void EstConnect(AppContext &ctx, QWidget *)
{
    ::EstConnect(ctx);
}

void CloseReceiverPort(AppContext &ctx)
{
    // Nothing to close when the link was never used.
    if (!ctx.receiverLink) {
        ctx.link.PortIsOpen = false;
        return;
    }
    ::CloseReceiverPort(ctx);
}

} // namespace Commands
