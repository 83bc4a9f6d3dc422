// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;
class Services;
struct ReceiverConfig;

// The receiver option pages. Each page is built afresh from `config`, shown
// modal on `parent` and destroyed when it closes; only its OK writes the
// record.
namespace OptionCommands {

void openOptions(Services &services, ReceiverConfig &config, QWidget *parent);
void openTimers(Services &services, ReceiverConfig &config, QWidget *parent);
void openInOuts(Services &services, ReceiverConfig &config, QWidget *parent);
void openIdent(Services &services, ReceiverConfig &config, QWidget *parent);
void openRs232(Services &services, ReceiverConfig &config, QWidget *parent);

} // namespace OptionCommands
