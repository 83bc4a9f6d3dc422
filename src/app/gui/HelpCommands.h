// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class AppContext;
class QWidget;

// The program's own windows: help, the maker's web pages, about and tips.
namespace HelpCommands {

void helpContents(AppContext &ctx, QWidget *parent);
void helpSearch(AppContext &ctx, QWidget *parent);
void openWebPage(AppContext &ctx, QWidget *parent, const QString &page);
void openAbout(AppContext &ctx, QWidget *parent);
void showTipAtStartup(AppContext &ctx, QWidget *parent);

} // namespace HelpCommands
