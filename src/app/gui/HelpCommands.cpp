// SPDX-License-Identifier: GPL-3.0-or-later
// The Help menu: the manual, the maker's web pages, the about box and the
// start-up tip.
#include "app/gui/HelpCommands.h"

#include "app/AppContext.h"
#include "base/Messages.h"
#include "app/gui/HelpViewer.h"
#include "app/gui/frmAbout.h"
#include "app/gui/frmTip.h"

#include <QString>

namespace HelpCommands {

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
        Messages::ShowError(ctx.prompter(), 50);
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

} // namespace HelpCommands
