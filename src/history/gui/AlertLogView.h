// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"
#include "history/core/AlertLog.h"

#include <QColor>
#include <QDate>
#include <QIdentityProxyModel>

class QPrinter;

// The event colours of the main window's history grid: red for warnings,
// blue for watches, black for the rest.
QColor EventClassColour(EventClass cls);

// Puts the grid's event colours on an alert log table: the event column's
// text takes the colour of its class.
class AlertLogColourProxy : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};

// What the printed alert list shows above its rows.
struct AlertLogPrintHeader {
    QString logPath;
    QString filter;           // "all alerts", "from 2026-03-01, class Warning"
    QDate printDate;
    bool withReceiver = false;
};

// Prints `entries` in the style of the history report: Arial 10 pt, a
// title, the print date, bold column headings (repeated on every page) and
// one line per alert, columns on tab stops. Returns false with a reason
// when the printer cannot be opened or a page fails.
bool PrintAlertLog(const QList<AlertLogEntry> &entries, const AlertLogPrintHeader &header, QPrinter &printer,
                   QString *error = nullptr);

inline const QString AlertLogReportTitle = QStringLiteral("NX-4400C Digital Weather Receiver Alert Log");
