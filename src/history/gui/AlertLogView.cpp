// SPDX-License-Identifier: GPL-3.0-or-later
// Colours and the printed list of the alert log window.
#include "history/gui/AlertLogView.h"

#include "history/core/AlertLogModel.h"

#include <QDir>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

QColor EventClassColour(EventClass cls)
{
    switch (cls) {
    case EventClass::Warning: return QColor(255, 0, 0);
    case EventClass::Watch: return QColor(0, 0, 255);
    case EventClass::Other: break;
    }
    return QColor(0, 0, 0);
}

QVariant AlertLogColourProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ForegroundRole && index.column() == AlertLogModel::EventColumn)
        return EventClassColour(EventClass(QIdentityProxyModel::data(index, AlertLogModel::EventClassRole).toInt()));
    return QIdentityProxyModel::data(index, role);
}

namespace {

QFont reportFont(bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(10);
    f.setBold(bold);
    return f;
}

// Lines on pages, columns on stops worked out from the widest text of each
// column, and the headings again at the top of every new page.
class ListPage
{
public:
    ListPage(QPrinter &printer, QPainter &painter) : m_printer(printer), m_painter(painter),
        m_regular(reportFont(false)), m_bold(reportFont(true)), m_fm(m_regular, &printer), m_fb(m_bold, &printer)
    {
        m_lineHeight = m_fm.lineSpacing();
        m_pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    }

    void setColumns(const QList<QStringList> &columns)
    {
        const qreal gap = m_fm.horizontalAdvance(QStringLiteral("MMM"));
        qreal x = m_printer.resolution() * 0.4;
        m_stops = {x};
        for (const QStringList &texts : columns) {
            qreal w = 0;
            for (int i = 0; i < texts.size(); ++i)
                w = std::max(w, (i == 0 ? m_fb : m_fm).horizontalAdvance(texts.at(i)));
            x += w + gap;
            m_stops << x;
        }
    }

    void setHeadings(const QString &headings) { m_headings = headings; }

    void line(const QString &text, bool bold = false)
    {
        if (m_y + m_lineHeight > m_pageHeight && m_y > 0) {
            if (!m_printer.newPage())
                m_failed = true;
            m_y = 0;
            if (!m_headings.isEmpty()) {
                draw(m_headings, true);
                draw(QString(), false);
            }
        }
        draw(text, bold);
    }

    bool failed() const { return m_failed; }

private:
    void draw(const QString &text, bool bold)
    {
        const QFontMetricsF &fm = bold ? m_fb : m_fm;
        m_painter.setFont(bold ? m_bold : m_regular);
        const QStringList pieces = text.split(QLatin1Char('\t'));
        qreal x = 0;
        for (int i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                x = nextStop(x);
            if (!pieces.at(i).isEmpty()) {
                m_painter.drawText(QPointF(x, m_y + fm.ascent()), pieces.at(i));
                x += fm.horizontalAdvance(pieces.at(i));
            }
        }
        m_y += m_lineHeight;
    }

    qreal nextStop(qreal x) const
    {
        for (qreal stop : m_stops)
            if (stop > x)
                return stop;
        const qreal tab = m_printer.resolution() * 0.5;
        return (std::floor(x / tab) + 1) * tab;
    }

    QPrinter &m_printer;
    QPainter &m_painter;
    QFont m_regular;
    QFont m_bold;
    QFontMetricsF m_fm;
    QFontMetricsF m_fb;
    QList<qreal> m_stops;
    QString m_headings;
    qreal m_lineHeight = 0;
    qreal m_pageHeight = 0;
    qreal m_y = 0;
    bool m_failed = false;
};

} // namespace

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
    ListPage page(printer, painter);
    page.setColumns(columns);
    for (int i = 0; i < 5; ++i)
        page.line(QString());
    page.line(QStringLiteral("\t\t") + AlertLogReportTitle);
    page.line(QString());
    page.line(QStringLiteral("\tPrint date: ") + QLocale().toString(header.printDate, QLocale::LongFormat));
    page.line(QStringLiteral("\tLog: ") + QDir::toNativeSeparators(header.logPath));
    page.line(QStringLiteral("\tShown: %1 (%2 alerts)").arg(header.filter).arg(entries.size()));
    page.line(QString());
    page.line(headingLine, true);
    page.setHeadings(headingLine);
    page.line(QString());
    for (const QString &r : rows)
        page.line(r);
    const bool ended = painter.end();
    if (page.failed() || !ended) {
        if (error)
            *error = QStringLiteral("the printer failed while printing; part of the list may be missing");
        return false;
    }
    return true;
}
