// SPDX-License-Identifier: GPL-3.0-or-later
// The toolbar commands that open the receiver option pages. Each page is
// built afresh from ReceiverConfig, shown modal on the main window and
// destroyed when it closes; only its OK writes the record.
#include "shell/gui/Commands.h"

#include "options/gui/frmIdent.h"
#include "options/gui/frmInOuts.h"
#include "options/gui/frmOption.h"
#include "options/gui/frmRS232.h"
#include "options/gui/frmTimers.h"

namespace {

template <class Page>
void runPage(AppContext &ctx, QWidget *parent)
{
    Page page(ctx, parent);
    page.exec();
}

} // namespace

namespace Commands {
void openOptions(AppContext &ctx, QWidget *parent) { runPage<frmOption>(ctx, parent); }
void openTimers(AppContext &ctx, QWidget *parent) { runPage<frmTimers>(ctx, parent); }
void openInOuts(AppContext &ctx, QWidget *parent) { runPage<frmInOuts>(ctx, parent); }
void openIdent(AppContext &ctx, QWidget *parent) { runPage<frmIdent>(ctx, parent); }
void openRs232(AppContext &ctx, QWidget *parent) { runPage<frmRS232>(ctx, parent); }
} // namespace Commands
