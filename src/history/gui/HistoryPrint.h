// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"
#include "history/core/HistoryRecord.h"

#include <QString>

class Services;
struct HistorySource;
class QPrinter;
class QWidget;
class ReportPage;

// "Proceed To Dispatch History Report To Printer": OK or Cancel.
Prompter::Button ConfirmPrint(Prompter &prompter);

// Prints the history report on `printer` (Arial 10 pt, bold headings, the
// columns lined up on tab stops, a new page when one is full). Returns false
// with a reason when the printer cannot be opened or a page fails; what can
// still be printed is printed.
bool PrintHistory(const HistorySource &history, QPrinter &printer, QString *error = nullptr);

// Prints the bold column heading line on the page being filled.
void PrintHeadings(ReportPage &page);

// Shows the file-save dialog, checks the name and writes the history file;
// reports a refused name or a failed write in a message box.
void SaveHistoryAs(Services &services, const HistoryRowTable &rows);
