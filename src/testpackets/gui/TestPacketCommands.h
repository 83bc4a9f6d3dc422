// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;
class Services;

namespace TestPacketCommands {

// "Play Test Packets...": the test packet window, modal on `parent`.
void openTestPackets(Services &services, QWidget *parent);

} // namespace TestPacketCommands
