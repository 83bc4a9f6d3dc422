// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/gui/TestPacketCommands.h"

#include "testpackets/gui/frmTest.h"

namespace TestPacketCommands {

void openTestPackets(Services &services, QWidget *parent)
{
    frmTest dlg(services, parent);
    dlg.exec();
}

} // namespace TestPacketCommands
