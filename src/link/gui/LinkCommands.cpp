// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/gui/LinkCommands.h"

#include "base/Services.h"
#include "link/core/LinkSession.h"
#include "link/gui/frmCommPort.h"

namespace LinkCommands {

void openCommPort(LinkSession &session, ReceiverConfig &config, QWidget *parent)
{
    if (session.busy) {
        session.services().prompter().beep();
        return;
    }
    frmCommPort dlg(session, config, parent);
    dlg.exec();
}

} // namespace LinkCommands
