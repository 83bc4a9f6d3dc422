// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/OptionCommands.h"

#include "options/gui/frmIdent.h"
#include "options/gui/frmInOuts.h"
#include "options/gui/frmOption.h"
#include "options/gui/frmRS232.h"
#include "options/gui/frmTimers.h"

namespace {

template <class Page>
void runPage(Services &services, ReceiverConfig &config, QWidget *parent)
{
    Page page(services, config, parent);
    page.exec();
}

} // namespace

namespace OptionCommands {

void openOptions(Services &s, ReceiverConfig &c, QWidget *parent) { runPage<frmOption>(s, c, parent); }
void openTimers(Services &s, ReceiverConfig &c, QWidget *parent) { runPage<frmTimers>(s, c, parent); }
void openInOuts(Services &s, ReceiverConfig &c, QWidget *parent) { runPage<frmInOuts>(s, c, parent); }
void openIdent(Services &s, ReceiverConfig &c, QWidget *parent) { runPage<frmIdent>(s, c, parent); }
void openRs232(Services &s, ReceiverConfig &c, QWidget *parent) { runPage<frmRS232>(s, c, parent); }

} // namespace OptionCommands
