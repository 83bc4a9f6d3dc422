// SPDX-License-Identifier: GPL-3.0-or-later
// The Help menu: the manual, the maker's web pages, the about box and the
// start-up tip.
#include "shell/gui/Commands.h"

#include "shell/core/AppContext.h"
#include "shell/core/Messages.h"
#include "shell/gui/HelpViewer.h"
#include "shell/gui/frmAbout.h"
#include "shell/gui/frmTip.h"

#include <QString>

namespace Commands {

void helpContents(AppContext &ctx, QWidget *parent)
{
    HelpViewer::open(ctx, parent, HelpViewer::Start::Contents);
}

void helpSearch(AppContext &ctx, QWidget *parent)
{
    HelpViewer::open(ctx, parent, HelpViewer::Start::Index);
}

void openWebPage(AppContext &ctx, QWidget *, const QString &page)
{
    if (!WebLinks::OpenWebPage(WebLinks::VendorWebAddress() + QLatin1Char('/') + page))
        Messages::ShowError(ctx, 50);
}

void openAbout(AppContext &ctx, QWidget *parent)
{
    // One Ctrl keystroke in the main window offers the Data Dump button on
    // the next opening only.
    if (ctx.CtrlHeld) {
        ctx.ShowDumpButton = true;
        ctx.CtrlHeld = false;
    } else {
        ctx.ShowDumpButton = false;
    }
    frmAbout about(ctx, parent);
    about.exec();
}

void showTipAtStartup(AppContext &ctx, QWidget *parent)
{
    auto *tip = new frmTip(ctx, parent);
    if (!tip->wantsToShow()) {
        delete tip;
        return;
    }
    tip->show();
}

} // namespace Commands
