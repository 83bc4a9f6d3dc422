// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/HistoryRecord.h"

class QWidget;
class Services;
struct HistorySource;

// The history commands of the main window. The main window has checked that
// there is history before it prints or saves.
namespace HistoryCommands {

void printHistory(Services &services, const HistorySource &history, QWidget *parent);   // dialog, then print
void saveHistoryAs(Services &services, const HistoryRowTable &rows, QWidget *parent);    // dialog, check, write
// Fills the 20 rows of the main window's history grid from `rows` (group 0:
// entries 1..20, group 1: 21..40).
void ShowHistoryGroup(const HistoryRowTable &rows, QWidget *mainWindow, int group);

} // namespace HistoryCommands
