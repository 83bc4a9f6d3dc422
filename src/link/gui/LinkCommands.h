// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class LinkSession;
class QWidget;
struct ReceiverConfig;

// The link's windows, as the main window's commands open them.
namespace LinkCommands {

// "Setup": the port and time-zone window, modal on `parent`. Refused with a
// beep while an exchange owns the session's port (the modal window would
// hold that exchange's wait until it closed).
void openCommPort(LinkSession &session, ReceiverConfig &config, QWidget *parent);

} // namespace LinkCommands
