// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/HistoryRecord.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

struct HistorySource;

// Row line of the saved history file for HistoryRows[row]: the number (a
// blank in front below 10), ":   ", then Date, Time, Length and Event
// separated by TABs. The originator is not written.
QString FormatHistoryLine(const HistoryRowTable &rows, int row);

// The whole saved history file, CR LF line ends, UTF-8.
QByteArray HistoryFileText(const HistoryRowTable &rows, const QDate &today);

// True when the name ends in ".TXT" exactly (upper case) and has a name in
// front of it.
bool CheckTxtExtension(const QString &fileName);

// Writes the saved history file atomically: an existing file is replaced
// only when the whole new file is on disk. On failure returns false with a
// reason in *error, and any earlier file of that name is left unchanged.
bool SaveHistoryFile(const HistoryRowTable &rows, const QDate &today, const QString &fileName,
                     QString *error = nullptr);

// One line of the printed report. Tabs separate the columns; the printer
// lines them up on its tab stops.
struct ReportLine {
    QString text;
    bool bold = false;      // the column headings
    bool dataRow = false;   // one of the 40 slot lines
};

inline const QString ReportTitle = QStringLiteral("NX-4400C Digital Weather Receiver History Report");

// The column heading line (without its leading TAB handling: text as sent).
ReportLine ReportHeadingLine();

// The printed report as lines, decoded afresh from ReceiveBuffer: blank
// lines, title, print date, headings and one line per slot.
QList<ReportLine> HistoryReportLines(const HistorySource &in);

// The report as plain text, one line per report line (for tests and for
// printers that take text).
QString HistoryReportText(const HistorySource &in);
