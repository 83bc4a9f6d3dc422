// SPDX-License-Identifier: GPL-3.0-or-later
// Colours and the printed list of the alert log window.
#include "history/gui/AlertLogView.h"

#include "history/core/AlertLogModel.h"
#include "history/gui/ReportPage.h"

#include <QDir>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

QColor EventClassColour(EventClass cls)
{
    return QColor(QRgb(EventClassRgb(cls)));
}

QVariant AlertLogColourProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ForegroundRole && index.column() == AlertLogModel::EventColumn)
        return EventClassColour(EventClass(QIdentityProxyModel::data(index, AlertLogModel::EventClassRole).toInt()));
    if (role == Qt::ToolTipRole) {
        // The window keeps its columns narrow enough for every heading to
        // show, so a long cell may be cut short: its tool tip holds it whole.
        const QVariant own = QIdentityProxyModel::data(index, role);
        if (own.isValid())
            return own;
        const QString text = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
        return text.size() > 24 ? QVariant(text) : QVariant();
    }
    return QIdentityProxyModel::data(index, role);
}

bool PrintAlertLog(const QList<AlertLogEntry> &entries, const AlertLogPrintHeader &header, QPrinter &printer,
                   QString *error)
{
    // The columns: Num, Date, Time, Length, ORG, Event, [Receiver].
    QList<QStringList> columns(header.withReceiver ? 6 : 5);
    const QStringList headings{QStringLiteral("Num"), QStringLiteral("Date"), QStringLiteral("Time"),
                               QStringLiteral("Length"), QStringLiteral("ORG"), QStringLiteral("Event Code Received"),
                               QStringLiteral("Receiver")};
    for (int c = 0; c < columns.size(); ++c)
        columns[c] << headings.at(c);
    QStringList rows;
    rows.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const AlertLogEntry &e = entries.at(i);
        QStringList f{QString::number(i + 1), e.localTime.date().toString(Qt::ISODate),
                      e.localTime.time().toString(QStringLiteral("HH:mm")), e.length, e.originator,
                      AlertLogModel::eventText(e)};
        if (header.withReceiver)
            f << e.receiver;
        for (int c = 0; c < columns.size(); ++c)
            columns[c] << f.at(c);
        rows << QLatin1Char('\t') + f.join(QLatin1Char('\t'));
    }
    QString headingLine = QLatin1Char('\t') + headings.mid(0, header.withReceiver ? 7 : 6).join(QLatin1Char('\t'));

    printer.setPageMargins(QMarginsF(18, 15, 18, 15), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("the printer could not be opened");
        return false;
    }
    ReportPage page(printer, painter);
    page.setStopsForColumns(columns);
    for (int i = 0; i < 5; ++i)
        page.printLine(QString());
    page.printLine(QStringLiteral("\t\t") + AlertLogReportTitle);
    page.printLine(QString());
    page.printLine(QStringLiteral("\tPrint date: ") + QLocale().toString(header.printDate, QLocale::LongFormat));
    page.printLine(QStringLiteral("\tLog: ") + QDir::toNativeSeparators(header.logPath));
    page.printLine(QStringLiteral("\tShown: %1 (%2 alerts)").arg(header.filter).arg(entries.size()));
    page.printLine(QString());
    page.printLine(headingLine, true);
    page.setRepeatedHeadings(headingLine);
    page.printLine(QString());
    for (const QString &r : rows)
        page.printLine(r);
    const bool ended = painter.end();
    if (page.failed() || !ended) {
        if (error)
            *error = QStringLiteral("the printer failed while printing; part of the list may be missing");
        return false;
    }
    return true;
}
