// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's link commands: "Setup", "Transfer Data" and the port
// close of the exit paths.
#include "shell/gui/Commands.h"

#include "link/core/ReceiverLink.h"
#include "link/core/Transfer.h"
#include "link/gui/frmCommPort.h"
#include "shell/core/AppContext.h"

namespace Commands {

void openCommPort(AppContext &ctx, QWidget *parent)
{
    // Opened during a transfer, the modal window would hold the transfer's
    // wait until it closed.
    if (ctx.link.busy) {
        ctx.prompter().beep();
        return;
    }
    frmCommPort dlg(ctx, parent);
    dlg.exec();
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
