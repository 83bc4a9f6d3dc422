// SPDX-License-Identifier: GPL-3.0-or-later
// The history grid of the main window, the printed history report and the
// saved history file.
#include "history/gui/HistoryCommands.h"
#include "history/gui/HistoryPrint.h"
#include "history/gui/ReportPage.h"

#include "history/core/HistoryDecoder.h"
#include "history/core/HistoryReport.h"
#include "base/Services.h"

#include <QDir>
#include <QFontMetricsF>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

#include <algorithm>

namespace {

const QString Black = QStringLiteral("rgb(0,0,0)");

QString eventStyle(EventClass cls)
{
    QString colour = Black;
    if (cls == EventClass::Warning)
        colour = QStringLiteral("rgb(255,0,0)");
    else if (cls == EventClass::Watch)
        colour = QStringLiteral("rgb(0,0,255)");
    // The event column keeps the white background the grid gives it.
    return QStringLiteral("color: %1; background-color: rgb(255,255,255);").arg(colour);
}

QLabel *cell(QWidget *w, const char *column, int i)
{
    return w->findChild<QLabel *>(QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(i));
}

void setText(QLabel *l, const QString &text)
{
    if (l)
        l->setText(text);
}

} // namespace

namespace {

// The history report's stops: a data line has two TABs after its date, the
// heading line one after "Event Date": the stop between them lies past the
// widest date and short of the end of "Event Date", so both reach the time
// column.
QList<qreal> historyStops(const ReportPage &page, const QStringList &dates)
{
    const QFontMetricsF &fm = page.metrics(false);
    const QFontMetricsF &fb = page.metrics(true);
    const qreal gap = page.gap();
    qreal dateWidth = 0;
    for (const QString &d : dates)
        dateWidth = std::max(dateWidth, fm.horizontalAdvance(d));
    const qreal dateHeading = fb.horizontalAdvance(QStringLiteral("Event Date"));
    auto column = [&](const QString &heading, const QString &widest) {
        return std::max(fb.horizontalAdvance(heading), fm.horizontalAdvance(widest)) + gap;
    };
    const qreal s1 = page.leftStop();
    const qreal s2 = s1 + column(QStringLiteral("Num"), QStringLiteral("40"));
    const qreal s3 = s2 + (dateWidth < dateHeading ? (dateWidth + dateHeading) / 2 : dateWidth + gap / 2);
    const qreal s4 = std::max(s2 + dateHeading, s3) + gap;
    const qreal s5 = s4 + column(QStringLiteral("Time"), QStringLiteral("00:00"));
    const qreal s6 = s5 + column(QStringLiteral("Length"), QStringLiteral("00:00"));
    const qreal s7 = s6 + column(QStringLiteral("ORG"), QStringLiteral("WXR"));
    return {s1, s2, s3, s4, s5, s6, s7};
}

} // namespace

void PrintHeadings(ReportPage &page)
{
    // Bold is switched on for this one line and off again after it.
    page.printLine(ReportHeadingLine().text, true);
}

Prompter::Button ConfirmPrint(Prompter &prompter)
{
    return prompter.ask(QStringLiteral("Print NX-4400C Event History"),
                              QStringLiteral("Proceed To Dispatch History Report To Printer"),
                              Prompter::Icon::Question, Prompter::Buttons::OkCancel);
}

bool PrintHistory(const HistorySource &history, QPrinter &printer, QString *error)
{
    const QList<ReportLine> lines = HistoryReportLines(history);
    QStringList dates;
    const QLocale locale;
    for (int m = 1; m <= 12; ++m)
        dates << locale.toString(QDate(2000, m, 30 - (m == 2 ? 1 : 0)), QStringLiteral("d-MMM"));

    printer.setPageMargins(QMarginsF(18, 15, 18, 15), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("the printer could not be opened");
        return false;
    }
    ReportPage page(printer, painter);
    page.setStops(historyStops(page, dates));
    for (const ReportLine &l : lines) {
        if (l.bold)
            PrintHeadings(page);
        else
            page.printLine(l.text);
    }
    const bool ended = painter.end();
    if (page.failed() || !ended) {
        if (error)
            *error = QStringLiteral("the printer failed while printing; part of the report may be missing");
        return false;
    }
    return true;
}

void SaveHistoryAs(Services &services, const HistoryRowTable &rows)
{
    Prompter::SaveRequest req;
    req.title = QStringLiteral("Save History File As");
    req.directory = QDir::currentPath();
    req.filter = QStringLiteral("NX-4400 File(s) (*.TXT)");
    req.confirmOverwrite = true;
    const QString name = services.prompter().saveFileName(req);
    if (name.isEmpty())
        return;   // cancelled
    if (!CheckTxtExtension(name)) {
        services.prompter().ask(QStringLiteral("File Save Error"),
                           QStringLiteral("Error, Filename must contain the extension .TXT."),
                           Prompter::Icon::Critical, Prompter::Buttons::Ok);
        return;
    }
    QString why;
    if (!SaveHistoryFile(rows, services.clock().date(), name, &why)) {
        services.prompter().ask(QStringLiteral("File Save Error"),
                           QStringLiteral("Error, the history file could not be saved:\r\n%1\r\n%2")
                               .arg(QDir::toNativeSeparators(name), why),
                           Prompter::Icon::Critical, Prompter::Buttons::Ok);
        return;
    }
    services.view().setStatusText(QStringLiteral("Left"),
                             QStringLiteral("History saved to %1").arg(QDir::toNativeSeparators(name)));
}

namespace HistoryCommands {

void printHistory(Services &services, const HistorySource &history, QWidget *)
{
    if (ConfirmPrint(services.prompter()) != Prompter::Button::Ok)
        return;
    const QString left = QStringLiteral("Left");
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        services.view().setStatusText(left, QPrinterInfo::availablePrinters().isEmpty()
                                           ? QStringLiteral("No printer is installed: the history report was not printed")
                                           : QStringLiteral("No default printer is set: the history report was not printed"));
        return;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("NX-4400C Event History"));
    QString why;
    if (PrintHistory(history, printer, &why))
        services.view().setStatusText(left, QStringLiteral("History report sent to printer %1").arg(info.printerName()));
    else
        services.view().setStatusText(left, QStringLiteral("Printing on %1 failed: %2").arg(info.printerName(), why));
}

void saveHistoryAs(Services &services, const HistoryRowTable &rows, QWidget *)
{
    SaveHistoryAs(services, rows);
}

void ShowHistoryGroup(const HistoryRowTable &rows, QWidget *mainWindow, int group)
{
    if (!mainWindow)
        return;
    const int first = group == 1 ? 20 : 0;
    for (int i = 0; i < 20; ++i) {
        setText(cell(mainWindow, "lblNum", i), QString::number(first + i + 1));
        QLabel *date = cell(mainWindow, "lblDate", i);
        QLabel *time = cell(mainWindow, "lblTime", i);
        QLabel *org = cell(mainWindow, "lblOrg", i);
        QLabel *event = cell(mainWindow, "lblEvent", i);
        QLabel *length = cell(mainWindow, "lblLength", i);
        for (QLabel *l : {date, time, org, event, length})
            setText(l, QString());
        const HistoryRecord &row = rows[size_t(first + i)];
        const EventClass cls = row.isEmpty() ? EventClass::Other : row.Class;
        if (event)
            event->setStyleSheet(eventStyle(cls));
        if (row.isEmpty())
            continue;
        setText(date, row.Date);
        setText(time, row.Time);
        setText(org, row.Org);
        setText(event, row.Event);
        setText(length, row.Length);
    }
}

} // namespace HistoryCommands
