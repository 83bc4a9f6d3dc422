// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <QStringList>

class QPainter;
class QPrinter;

// One printed page being filled line by line, for the history report and
// the printed alert list: Arial 10 pt (bold for headings), columns on tab
// stops in printer units, a new page when the next line would not fit, and
// optionally the heading line again at the top of every new page.
class ReportPage
{
public:
    ReportPage(QPrinter &printer, QPainter &painter);

    const QFontMetricsF &metrics(bool bold = false) const { return bold ? m_fb : m_fm; }
    // Where the first column starts, and the room between two columns.
    qreal leftStop() const;
    qreal gap() const;

    void setStops(const QList<qreal> &stops) { m_stops = stops; }
    // Stops after the widest text of each column; the first text of a
    // column is its heading, measured bold.
    void setStopsForColumns(const QList<QStringList> &columns);
    void setRepeatedHeadings(const QString &line) { m_headings = line; }

    // Each TAB moves to the first stop past the text so far; the pieces are
    // placed in printer units (a text layout's own tab stops would be taken
    // in screen units on a printer).
    void printLine(const QString &text, bool bold = false);
    bool failed() const { return m_failed; }

    static QFont reportFont(bool bold);

private:
    void draw(const QString &text, bool bold);
    qreal nextStop(qreal x) const;

    QPrinter &m_printer;
    QPainter &m_painter;
    QFont m_regular;
    QFont m_bold;
    QFontMetricsF m_fm;
    QFontMetricsF m_fb;
    QList<qreal> m_stops;
    QString m_headings;
    qreal m_defaultTab = 0;
    qreal m_lineHeight = 0;
    qreal m_pageHeight = 0;
    qreal m_y = 0;
    bool m_failed = false;
};
