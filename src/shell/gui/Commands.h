// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class AppContext;
class QWidget;

// The commands the main window's toolbar, menus and start-up run. Each
// subsystem's gui folder implements its own (LinkCommands.cpp,
// CoverageCommands.cpp, ...). `parent` is the main window; windows that live
// for the whole run (county and transmitter windows) are its children, found
// again by objectName.
namespace Commands {

// Receiver link
void openCommPort(AppContext &ctx, QWidget *parent);      // "Setup"
void EstConnect(AppContext &ctx, QWidget *parent);        // "Transfer Data"
// Closes the receiver port if it is open (exit paths).
void CloseReceiverPort(AppContext &ctx);

// Alert coverage
// Start-up steps 8 to 13: fill the state and frequency lists, load the
// stored state's transmitters and preset the county windows.
void prepareCoverageWindows(AppContext &ctx, QWidget *parent);
void openFips(AppContext &ctx, QWidget *parent);          // "FIP Codes"
void openEvents(AppContext &ctx, QWidget *parent);        // "Event Codes"
// Start-up step 6
void InitEventCatalog(AppContext &ctx);

// Receiver option pages
void openOptions(AppContext &ctx, QWidget *parent);
void openTimers(AppContext &ctx, QWidget *parent);
void openInOuts(AppContext &ctx, QWidget *parent);
void openIdent(AppContext &ctx, QWidget *parent);
void openRs232(AppContext &ctx, QWidget *parent);

// Event history: the main window has checked that there is history.
void printHistory(AppContext &ctx, QWidget *parent);       // dialog, then print
void saveHistoryAs(AppContext &ctx, QWidget *parent);      // dialog, check, write
// Fills the 20 rows of the history grid from HistoryRows (group 0 or 1).
void ShowHistoryGroup(AppContext &ctx, QWidget *mainWindow, int group);

// Test packets
void openTestPackets(AppContext &ctx, QWidget *parent);

// Help, web, about, tips
void helpContents(AppContext &ctx, QWidget *parent);
void helpSearch(AppContext &ctx, QWidget *parent);
void openWebPage(AppContext &ctx, QWidget *parent, const QString &page);
void openAbout(AppContext &ctx, QWidget *parent);
void showTipAtStartup(AppContext &ctx, QWidget *parent);

} // namespace Commands
