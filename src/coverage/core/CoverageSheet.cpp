// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageSheet.h"

#include "coverage/core/CountyCoverage.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/StateDatabase.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace CoverageSheet {

namespace {

constexpr double Gap = 12;   // between caption, map and list, in pixels

QFont boldOf(const QFont &font)
{
    QFont f(font);
    f.setBold(true);
    return f;
}

double blockWidth(const QStringList &lines, const QFontMetricsF &fm)
{
    double w = 0;
    for (const QString &line : lines)
        w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

QString selectedHeading(const CountyMapDrawing &map)
{
    return QStringLiteral("Selected counties (%1)").arg(map.selectedCounties().size());
}

} // namespace

QStringList caption(const CountyMapDrawing &map, const QString &listing, const QDate &made)
{
    QStringList lines;
    lines << (map.stateName().isEmpty() ? QStringLiteral("County map") : QStringLiteral("County map: ") + map.stateName());
    const QString transmitter = map.transmitterCaption();
    lines << (transmitter.isEmpty() ? QStringLiteral("No transmitter chosen") : QStringLiteral("Transmitter: ") + transmitter);
    if (!listing.isEmpty())
        lines << QStringLiteral("Listing: ") + listing;
    lines << QStringLiteral("Made %1").arg(made.toString(Qt::ISODate));
    return lines;
}

QStringList countyLines(const CountyMapDrawing &map)
{
    QStringList lines;
    for (const CountyMapDrawing::Selected &s : map.selectedCounties())
        lines << (s.state.isEmpty() ? QStringLiteral("%1  %2").arg(s.code, s.name)
                                    : QStringLiteral("%1  %2, %3").arg(s.code, s.name, s.state));
    if (lines.isEmpty())
        lines << QStringLiteral("none");
    return lines;
}

QSizeF pictureSize(const CountyMapDrawing &map, const QSizeF &mapSize, const QStringList &caption, const QFont &font)
{
    const QFontMetricsF fm(font), fb(boldOf(font));
    const QStringList counties = countyLines(map);
    const double captionHeight = caption.size() * fm.lineSpacing() + Gap;
    const double listWidth = std::max(blockWidth(counties, fm), fb.horizontalAdvance(selectedHeading(map)));
    const double listHeight = (counties.size() + 1) * fm.lineSpacing();
    const double width = std::max(mapSize.width() + Gap + listWidth, blockWidth(caption, fb)) + 2 * Gap;
    return QSizeF(std::ceil(width), std::ceil(captionHeight + std::max(mapSize.height(), listHeight) + 2 * Gap));
}

void paintPicture(QPainter &p, const CountyMapDrawing &map, const QSizeF &mapSize, const QStringList &caption,
                  const QFont &font, const CountyMapDrawing::Options &options)
{
    const QSizeF size = pictureSize(map, mapSize, caption, font);
    const QFontMetricsF fm(font);
    p.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    const double top = Gap + caption.size() * fm.lineSpacing() + Gap;
    const QRectF frame(QPointF(Gap, top), mapSize);
    p.save();
    p.translate(frame.topLeft());
    map.paintWithLegend(p, mapSize, font, options);
    p.restore();
    // An SVG writer draws what lies beyond the clip too: white over all
    // around the map, before the caption and the list.
    for (const QRectF &beyond : {QRectF(0, 0, size.width(), frame.top()), QRectF(0, 0, frame.left(), size.height()),
                                 QRectF(frame.right(), 0, size.width() - frame.right(), size.height()),
                                 QRectF(0, frame.bottom(), size.width(), size.height() - frame.bottom())})
        p.fillRect(beyond, Qt::white);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
    p.setPen(Qt::black);
    double y = Gap;
    for (int i = 0; i < caption.size(); ++i) {
        p.setFont(i == 0 ? boldOf(font) : font);
        p.drawText(QPointF(Gap, y + fm.ascent()), caption.at(i));
        y += fm.lineSpacing();
    }
    y = top;
    const double x = Gap + mapSize.width() + Gap;
    p.setPen(Qt::black);
    p.setFont(boldOf(font));
    p.drawText(QPointF(x, y + fm.ascent()), selectedHeading(map));
    p.setFont(font);
    for (const QString &line : countyLines(map)) {
        y += fm.lineSpacing();
        p.drawText(QPointF(x, y + fm.ascent()), line);
    }
}

QStringList eventLines(const EventCatalog &catalog, const QStringList &selection)
{
    QStringList lines;
    for (const QString &slot : selection) {
        const QString code = slot.trimmed();
        if (code.isEmpty())
            continue;
        QString name;
        GetEventName(catalog, code, &name, nullptr);
        lines << QStringLiteral("%1 %2").arg(code, name);
    }
    return lines;
}

QVector<QPair<QString, QString>> countiesWithTransmitters(const CountyMapDrawing &map)
{
    QVector<QPair<QString, QString>> rows;
    const QStringList lines = countyLines(map);
    const QVector<CountyMapDrawing::Selected> selected = map.selectedCounties();
    for (int i = 0; i < selected.size(); ++i) {
        QStringList covering;
        if (map.coverage())
            for (const QString &field : map.coverage()->transmittersOf(selected.at(i).code.mid(1)))
                covering << field.simplified();
        rows.append({lines.at(i), covering.isEmpty() ? QStringLiteral("no transmitter listed") : covering.join(QStringLiteral("; "))});
    }
    return rows;
}

QPageSize defaultPaper(const QLocale &locale)
{
    // Letter where the locale measures in inches (the United States and
    // the places that follow it), A4 everywhere else.
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

void setUpPage(QPagedPaintDevice &device, const QPageSize &paper)
{
    if (paper.isValid())
        device.setPageSize(paper);
    device.setPageOrientation(QPageLayout::Portrait);
    // A printer cannot print to the edge of the sheet; most leave 4 to 6 mm
    // white. A margin no smaller than MarginMm keeps every line on paper.
    const QMarginsF least = device.pageLayout().minimumMargins();
    const QPageLayout::Unit unit = device.pageLayout().units();
    const double wanted = QPageLayout(paper.isValid() ? paper : device.pageLayout().pageSize(), QPageLayout::Portrait,
                                      QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter)
                              .margins(unit)
                              .left();
    device.setPageMargins(QMarginsF(std::max(wanted, least.left()), std::max(wanted, least.top()),
                                    std::max(wanted, least.right()), std::max(wanted, least.bottom())),
                          unit);
}

bool print(QPagedPaintDevice &device, const CountyMapDrawing &map, const Page &page, QString *why)
{
    QPainter p;
    if (!p.begin(&device)) {
        if (why)
            *why = QStringLiteral("The printer could not be opened.");
        return false;
    }
    // Laid out at 96 units to the inch whatever the device's resolution,
    // so that lines and dots are as heavy on paper as on the screen.
    const QRect paper = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const double unit = device.logicalDpiX() / 96.0;
    p.scale(unit, unit);
    const QSizeF room(paper.width() / unit, paper.height() / unit);

    CountyMapDrawing framed = map;
    const auto rows = countiesWithTransmitters(map);

    // The whole page is laid out by one function, which either measures or
    // paints. Everything goes on one sheet: the map gives up height first
    // (down to a third of the page), then the type gets smaller; a list
    // that still does not fit ends with how many counties were left out.
    auto layOut = [&](bool paint, double textScale, double mapHeight, int columns, int rowLimit) {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(std::max(6, int(std::lround(13 * textScale))));
        QFont small(font);
        small.setPixelSize(std::max(5, int(std::lround(11 * textScale))));
        const QFont bold = boldOf(font);
        QFont title(bold);
        title.setPixelSize(std::max(7, int(std::lround(17 * textScale))));
        const QFontMetricsF fm(font), fs(small);
        const double gap = Gap * textScale;
        double y = 0;
        auto line = [&](const QString &text, const QFont &f, double indent = 0) {
            const QFontMetricsF m(f);
            const QRectF need = m.boundingRect(QRectF(indent, 0, room.width() - indent, 1e6), Qt::TextWordWrap, text);
            if (paint) {
                p.setFont(f);
                p.setPen(Qt::black);
                p.drawText(QRectF(indent, y, room.width() - indent, need.height() + 2), Qt::TextWordWrap, text);
            }
            y += need.height() + 1;
        };

        // The caption, then the map across the page.
        for (int i = 0; i < page.caption.size(); ++i)
            line(page.caption.at(i), i == 0 ? title : font);
        if (!page.caption.isEmpty())
            y += gap;
        if (mapHeight > 0) {
            const QSizeF mapSize(room.width(), mapHeight);
            if (paint) {
                const int legend = framed.legendHeight(mapSize.width(), small);
                framed.fit(QSizeF(mapSize.width(), mapSize.height() - legend));
                p.save();
                p.translate(0, y);
                framed.paintWithLegend(p, mapSize, small);
                p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRectF(QPointF(0, 0), mapSize));
                p.restore();
            }
            y += mapHeight + gap;
        }

        // The selected counties with their transmitters: county, then the
        // transmitters beside it; a long list runs in two such columns side
        // by side.
        line(selectedHeading(map), bold);
        const double columnWidth = columns == 2 ? (room.width() - gap) / 2 : room.width();
        double countyColumn = 0;
        for (const auto &row : rows)
            countyColumn = std::max(countyColumn, fm.horizontalAdvance(row.first));
        countyColumn = std::min(countyColumn + gap, columnWidth * 0.45);
        const int shown = int(std::min<qsizetype>(rows.size(), rowLimit));
        const int perColumn = columns == 2 ? (shown + 1) / 2 : shown;
        const double top = y;
        double bottom = y;
        for (int i = 0; i < shown; ++i) {
            const auto &row = rows.at(i);
            if (i == perColumn)
                y = top;
            const double left = i < perColumn ? 0 : columnWidth + gap;
            const QRectF box(countyColumn, 0, columnWidth - countyColumn, 1e6);
            const double h = std::max(fm.height(), fs.boundingRect(box, Qt::TextWordWrap, row.second).height());
            if (paint) {
                p.setPen(Qt::black);
                p.setFont(font);
                p.drawText(QRectF(left, y, countyColumn, h + 2), Qt::AlignLeft | Qt::AlignTop, row.first);
                p.setFont(small);
                p.drawText(QRectF(left + countyColumn, y + (fm.ascent() - fs.ascent()), columnWidth - countyColumn, h + 2),
                           Qt::TextWordWrap, row.second);
            }
            y += h + 2;
            bottom = std::max(bottom, y);
        }
        y = bottom;
        if (shown < rows.size())
            line(QStringLiteral("... and %1 more counties (nx4400c-cli setup counties list shows them all)")
                     .arg(rows.size() - shown),
                 small);
        if (rows.isEmpty())
            line(QStringLiteral("none"), font);
        y += gap;

        line(QStringLiteral("Event codes (%1)").arg(page.events.size()), bold);
        line(page.events.isEmpty() ? QStringLiteral("none") : page.events.join(QStringLiteral(";  ")), small);
        y += gap;
        line(QStringLiteral("Receiver options"), bold);
        for (const QString &option : page.options)
            line(option, small);
        return y;
    };

    const double fullMap = std::min(room.height() * 0.5, room.width() * 0.75);
    const double leastMap = std::min(fullMap, room.height() / 3);
    const int allRows = int(rows.size());
    double textScale = 1;
    double mapHeight = fullMap;
    int columns = 1;
    int rowLimit = allRows;
    auto fits = [&] { return layOut(false, textScale, mapHeight, columns, rowLimit) <= room.height(); };
    if (!fits()) {
        // The map first, down to a third of the page; then smaller type;
        // then the county list in two columns, at full size again and
        // smaller once more; only then is the list cut short.
        mapHeight = std::max(leastMap, room.height() - layOut(false, 1, 0, 1, allRows));
        for (; textScale > 0.6 && !fits(); textScale -= 0.05) {
        }
        if (!fits()) {
            columns = 2;
            for (textScale = 1; textScale > 0.6 && !fits(); textScale -= 0.05) {
            }
        }
        while (rowLimit > 0 && !fits())
            --rowLimit;
    }
    layOut(true, textScale, mapHeight, columns, rowLimit);
    p.end();
    return true;
}

void setUpMap(CountyMapDrawing &map, CountyCoverage &coverage, const Source &source)
{
    coverage.load(source.statesFolder);
    QHash<QString, TransmitterInfo> table;
    // Without a table the map simply shows no transmitters.
    TransmitterTable::load(source.statesFolder, &table);
    map.setTransmitterTable(table);
    map.setCoverage(&coverage);
    map.setState(CountyAtlas::stateCodeOf(source.stateId));
    map.setStateName(StateDatabase::stateList().value(source.stateId).trimmed());
    map.setTransmitter(source.transmitter);
    map.setListed(CountyEntries::itemsFromFipEntries(source.fipEntries));
}

bool printSetup(QPagedPaintDevice &device, const Source &source, QString *why)
{
    CountyCoverage coverage;
    CountyMapDrawing map;
    setUpMap(map, coverage, source);
    Page page;
    page.caption = caption(map, source.listing, source.made);
    if (source.catalog)
        page.events = eventLines(*source.catalog, source.eventSelection);
    page.options = source.options;
    setUpPage(device, source.paper);
    return print(device, map, page, why);
}

} // namespace CoverageSheet
