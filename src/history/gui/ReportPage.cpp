// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/gui/ReportPage.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

QFont ReportPage::reportFont(bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(10);
    f.setBold(bold);
    return f;
}

ReportPage::ReportPage(QPrinter &printer, QPainter &painter)
    : m_printer(printer), m_painter(painter), m_regular(reportFont(false)), m_bold(reportFont(true)),
      m_fm(m_regular, &printer), m_fb(m_bold, &printer)
{
    m_lineHeight = m_fm.lineSpacing();
    m_pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    m_defaultTab = printer.resolution() * 0.5;
}

qreal ReportPage::leftStop() const
{
    return m_printer.resolution() * 0.4;
}

qreal ReportPage::gap() const
{
    return m_fm.horizontalAdvance(QStringLiteral("MMM"));
}

void ReportPage::setStopsForColumns(const QList<QStringList> &columns)
{
    qreal x = leftStop();
    m_stops = {x};
    for (const QStringList &texts : columns) {
        qreal w = 0;
        for (int i = 0; i < texts.size(); ++i)
            w = std::max(w, (i == 0 ? m_fb : m_fm).horizontalAdvance(texts.at(i)));
        x += w + gap();
        m_stops << x;
    }
}

void ReportPage::printLine(const QString &text, bool bold)
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

void ReportPage::draw(const QString &text, bool bold)
{
    const QFontMetricsF &fm = bold ? m_fb : m_fm;
    m_painter.setFont(bold ? m_bold : m_regular);
    const QStringList pieces = text.split(QLatin1Char('\t'));
    qreal x = 0;
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            x = nextStop(x);
        const QString &piece = pieces.at(i);
        if (piece.isEmpty())
            continue;
        m_painter.drawText(QPointF(x, m_y + fm.ascent()), piece);
        x += fm.horizontalAdvance(piece);
    }
    m_y += m_lineHeight;
}

qreal ReportPage::nextStop(qreal x) const
{
    for (qreal stop : m_stops)
        if (stop > x)
            return stop;
    return (std::floor(x / m_defaultTab) + 1) * m_defaultTab;
}
