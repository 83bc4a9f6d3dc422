// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CountyMapDrawing.h"

#include "coverage/core/CountyCoverage.h"
#include "coverage/core/CountyMapMarks.h"
#include "coverage/core/StateDatabase.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using namespace CountyMapMarks;

// Colours that stay apart for every common kind of colour blindness (the
// Okabe-Ito set): covered counties light sky blue, selected ones orange with
// a hatch and a heavy outline, so they differ in pattern as well as colour.
const QColor Water(0xf4, 0xf6, 0xf8);
const QColor NeighbourFill(0xd9, 0xd9, 0xd9);
const QColor NeighbourEdge(0xa6, 0xa6, 0xa6);
const QColor HomeFill(0xff, 0xff, 0xff);
const QColor HomeEdge(0x70, 0x70, 0x70);
const QColor CoveredFill(0xa9, 0xd8, 0xf5);    // sky blue #56B4E9, lightened
const QColor SelectedFill(0xe6, 0x9f, 0x00);   // orange
const QColor SelectedEdge(0x00, 0x00, 0x00);
const QColor Hatch(0x40, 0x28, 0x00);
const QColor StateLine(0x1a, 0x1a, 0x1a);
const QColor LegendBackground(0xfb, 0xfb, 0xf8);

constexpr double HatchSpacing = 5;             // pixels between hatch lines
constexpr double LegendPad = 6;

QString sixDigit(const QString &id)
{
    return QLatin1Char('0') + id;
}

bool isDigits(const QString &s)
{
    for (QChar c : s)
        if (!c.isDigit())
            return false;
    return !s.isEmpty();
}

QString callsignOf(const QString &field)
{
    return field.simplified().section(QLatin1Char(' '), -2, -2);
}

// The selected counties' hatch: diagonal lines worked out against the
// rings themselves (odd-even, as the fill), not clipped by the painter, so
// that it is the same real line pattern on screen, on paper and in SVG,
// whose writer knows no clipping.
void hatch(QPainter &p, const QVector<QPolygonF> &rings)
{
    double lo = INFINITY, hi = -INFINITY;
    for (const QPolygonF &ring : rings)
        for (const QPointF &q : ring) {
            lo = std::min(lo, q.x() + q.y());
            hi = std::max(hi, q.x() + q.y());
        }
    p.setPen(QPen(Hatch, 1.1, Qt::SolidLine, Qt::FlatCap));
    const double step = HatchSpacing * M_SQRT2;
    QVector<QLineF> lines;
    for (double c = std::floor(lo / step) * step + step / 2; c < hi; c += step) {
        // Where the line x + y = c crosses the rings, left to right.
        QVector<QPointF> at;
        for (const QPolygonF &ring : rings) {
            for (qsizetype i = 0; i < ring.size(); ++i) {
                const QPointF &a = ring.at(i), &b = ring.at((i + 1) % ring.size());
                const double fa = a.x() + a.y() - c, fb = b.x() + b.y() - c;
                if ((fa < 0) != (fb < 0))
                    at.append(a + (b - a) * (fa / (fa - fb)));
            }
        }
        std::sort(at.begin(), at.end(), [](const QPointF &l, const QPointF &r) { return l.x() < r.x(); });
        for (qsizetype i = 0; i + 1 < at.size(); i += 2)
            lines.append(QLineF(at.at(i), at.at(i + 1)));
    }
    p.drawLines(lines);
}

// Orange, hatched over `hatched` (the pieces large enough to show a hatch;
// on a speck of an island the lines would be all there is).
void fillSelected(QPainter &p, const QPainterPath &area, const QVector<QPolygonF> &hatched)
{
    p.setPen(Qt::NoPen);
    p.setBrush(SelectedFill);
    p.drawPath(area);
    hatch(p, hatched);
}

} // namespace

void CountyMapDrawing::setCoverage(const CountyCoverage *coverage)
{
    m_coverage = coverage;
    m_covered = m_coverage && !m_transmitter.trimmed().isEmpty() ? m_coverage->countiesOf(m_transmitter) : QSet<QString>();
}

bool CountyMapDrawing::setState(const QString &stateCode)
{
    if (!m_model.state().isEmpty() && stateCode == m_model.state())
        return false;
    m_model.clear();
    m_paths.clear();
    m_largestRing.clear();
    m_stateRings.clear();
    m_stateRingBounds.clear();
    // The boundaries are read when a state is first shown, not at start-up.
    if (!m_atlas && !stateCode.isEmpty())
        m_atlas = &CountyAtlas::builtIn();
    if (m_atlas && !stateCode.isEmpty() && m_model.build(*m_atlas, stateCode)) {
        m_paths.reserve(m_model.shapes().size());
        for (const CountyMap::Shape &s : m_model.shapes()) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            double largest = 0;
            for (const CountyMap::Polygon &ring : s.rings) {
                path.moveTo(ring.first());
                double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
                for (const QPointF &q : ring) {
                    x0 = std::min(x0, q.x());
                    x1 = std::max(x1, q.x());
                    y0 = std::min(y0, q.y());
                    y1 = std::max(y1, q.y());
                }
                largest = std::max(largest, std::max(x1 - x0, y1 - y0));
                for (qsizetype i = 1; i < ring.size(); ++i)
                    path.lineTo(ring.at(i));
                path.closeSubpath();
            }
            m_paths.append(path);
            m_largestRing.append(largest);
        }
        for (const CountyMap::Polygon &ring : m_model.stateBorders()) {
            QPainterPath path;
            path.addPolygon(QPolygonF(ring));
            m_stateRingBounds.append(path.boundingRect());
            m_stateRings.append(path);
        }
    }
    updateNotes();
    return true;
}

bool CountyMapDrawing::setTransmitter(const QString &field)
{
    if (field == m_transmitter)
        return false;
    m_transmitter = field;
    setCoverage(m_coverage);
    return true;
}

void CountyMapDrawing::setListed(const QVector<CountyEntries::Item> &items)
{
    m_entries.clear();
    m_listedIds.clear();
    m_selectedIds.clear();
    m_selected.clear();
    for (const CountyEntries::Item &item : items) {
        const QString code = item.text.left(CountyEntries::FipLength);
        // A code that is not six digits names no county the map knows.
        const bool drawable = code.size() == CountyEntries::FipLength && isDigits(code);
        const QString id = drawable ? code.mid(1) : QString();
        m_entries.append({id, item.checked});
        if (drawable)
            m_listedIds.insert(id);
        if (item.checked) {
            if (drawable)
                m_selectedIds.insert(id);
            m_selected.append({code, item.text.mid(8, 22).trimmed(), item.text.mid(31).trimmed()});
        }
    }
    updateNotes();
}

void CountyMapDrawing::updateNotes()
{
    // Counted per list entry, as the user sees the list.
    m_notDrawnListed = 0;
    m_notDrawnSelected = 0;
    for (const Entry &e : std::as_const(m_entries)) {
        if (e.id.isEmpty() || m_model.indexOf(e.id) < 0) {
            ++m_notDrawnListed;
            m_notDrawnSelected += e.checked;
        }
    }
}

int CountyMapDrawing::selectedCount() const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) { return e.checked; }));
}

void CountyMapDrawing::setView(double scale, const QPointF &centre)
{
    m_scale = scale;
    m_centre = centre;
}

QTransform CountyMapDrawing::transform(const QSizeF &area) const
{
    // y of the projection points north, on the screen down.
    QTransform t;
    t.translate(area.width() / 2, area.height() / 2);
    t.scale(m_scale, -m_scale);
    t.translate(-m_centre.x(), -m_centre.y());
    return t;
}

QRectF CountyMapDrawing::fitBounds() const
{
    QRectF r = m_model.homeBounds();
    auto add = [&](const QString &id) {
        const int i = m_model.indexOf(id);
        if (i >= 0)
            r = r.isNull() ? m_model.shapes().at(i).bounds : r.united(m_model.shapes().at(i).bounds);
    };
    for (const QString &id : m_selectedIds)
        add(id);
    for (const QString &id : m_covered)
        add(id);
    for (const QString &id : m_listedIds)
        add(id);
    return r;
}

void CountyMapDrawing::fit(const QSizeF &area)
{
    const QRectF r = fitBounds();
    if (r.isNull() || area.isEmpty())
        return;
    // A margin of 4 % and at least 10 pixels on every side.
    const double w = std::max(1.0, area.width() * 0.92 - 20), h = std::max(1.0, area.height() * 0.92 - 20);
    m_scale = std::min(w / std::max(r.width(), 1.0), h / std::max(r.height(), 1.0));
    m_centre = r.center();
}

CountyMapDrawing::Kind CountyMapDrawing::kindOf(int shape) const
{
    const CountyMap::Shape &s = m_model.shapes().at(shape);
    if (m_selectedIds.contains(s.id))
        return Kind::Selected;
    if (m_covered.contains(s.id) || m_listedIds.contains(s.id))
        return Kind::Covered;
    return s.home ? Kind::Home : Kind::Neighbour;
}

QString CountyMapDrawing::noteText() const
{
    const int selected = selectedCount();
    QString text = m_stateName.isEmpty() ? QString() : m_stateName + QStringLiteral(": ");
    text += QStringLiteral("%1 of %2 listed counties selected").arg(selected).arg(m_entries.size());
    if (selected > CountyEntries::MaxSelected)
        text += QStringLiteral(" (at most %1)").arg(CountyEntries::MaxSelected);
    if (m_notDrawnListed > 0)
        text += QStringLiteral("; %1 listed (%2 selected) not on the map").arg(m_notDrawnListed).arg(m_notDrawnSelected);
    if (m_model.state().isEmpty())
        text += QStringLiteral("; no state chosen");
    return text;
}

QString CountyMapDrawing::summary() const
{
    QString text = noteText() + QLatin1Char('.');
    if (!m_selected.isEmpty()) {
        QStringList names;
        for (const Selected &s : m_selected)
            names << QStringLiteral("%1 (%2)").arg(s.name, s.code);
        text += QStringLiteral(" Selected: ") + names.join(QStringLiteral(", ")) + QLatin1Char('.');
    }
    return text;
}

QString CountyMapDrawing::countyTitle(int shape) const
{
    const CountyMap::Shape &s = m_model.shapes().at(shape);
    const QString state = StateDatabase::GetStateName(sixDigit(s.id)).trimmed();
    return state.isEmpty() ? QStringLiteral("%1  %2").arg(s.name, sixDigit(s.id))
                           : QStringLiteral("%1, %2  %3").arg(s.name, state, sixDigit(s.id));
}

QString CountyMapDrawing::countyToolTip(const QString &id) const
{
    const int i = m_model.indexOf(id);
    if (i < 0)
        return QString();
    QStringList lines{countyTitle(i)};
    if (m_selectedIds.contains(id))
        lines << QStringLiteral("Selected");
    const QStringList covering = m_coverage ? m_coverage->transmittersOf(id) : QStringList();
    if (covering.isEmpty()) {
        lines << QStringLiteral("No transmitter listed");
    } else {
        lines << QStringLiteral("Covered by:");
        for (const QString &field : covering) {
            QString line = QStringLiteral("  ") + field.simplified();
            const auto it = m_transmitters.constFind(field);
            if (it != m_transmitters.cend() && !it->status.isEmpty())
                line += QStringLiteral(" (%1)").arg(it->status);
            lines << line;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

QString CountyMapDrawing::transmitterToolTip(const QString &field) const
{
    const auto it = m_transmitters.constFind(field);
    if (it == m_transmitters.cend())
        return QString();
    const TransmitterInfo &t = *it;
    QString where = t.siteName.isEmpty() ? field.left(17).trimmed() : t.siteName;
    if (!t.siteState.isEmpty())
        where += QStringLiteral(", ") + t.siteState;
    QStringList lines{t.callsign.isEmpty() ? callsignOf(field) : t.callsign, where,
                      field.simplified().section(QLatin1Char(' '), -1) + QStringLiteral(" MHz"),
                      t.status.isEmpty() ? QStringLiteral("Status not listed") : t.status};
    if (field.trimmed() == m_transmitter.trimmed() && !m_transmitter.trimmed().isEmpty())
        lines << QStringLiteral("The chosen transmitter");
    if (heardOn(field))
        lines << QStringLiteral("The Alert Monitor heard a message on its channel");
    return lines.join(QLatin1Char('\n'));
}

QString CountyMapDrawing::transmitterCaption() const
{
    if (m_transmitter.trimmed().isEmpty())
        return QString();
    const TransmitterInfo t = m_transmitters.value(m_transmitter);
    const QString call = t.callsign.isEmpty() ? callsignOf(m_transmitter) : t.callsign;
    QString where = t.siteName.isEmpty() ? m_transmitter.left(17).trimmed() : t.siteName;
    if (!t.siteState.isEmpty())
        where += QStringLiteral(", ") + t.siteState;
    return QStringLiteral("%1 %2, %3 MHz").arg(call, where, m_transmitter.simplified().section(QLatin1Char(' '), -1));
}

bool CountyMapDrawing::heardOn(const QString &field) const
{
    return !m_heard.isEmpty() && m_heard.contains(field.simplified().section(QLatin1Char(' '), -1));
}

QVector<const TransmitterInfo *> CountyMapDrawing::markers() const
{
    QVector<const TransmitterInfo *> list;
    const QRectF near = m_model.allBounds();
    for (const TransmitterInfo &info : m_transmitters) {
        if (info.hasPosition() && near.contains(m_model.projection().project(info.longitude, info.latitude)))
            list << &info;
    }
    // The chosen one last, drawn on top; the others in a fixed order.
    const QString chosen = m_transmitter.trimmed();
    std::sort(list.begin(), list.end(), [&](const TransmitterInfo *a, const TransmitterInfo *b) {
        const bool ca = !chosen.isEmpty() && a->field.trimmed() == chosen;
        const bool cb = !chosen.isEmpty() && b->field.trimmed() == chosen;
        return ca != cb ? cb : a->field < b->field;
    });
    return list;
}

QString CountyMapDrawing::transmitterAt(const QPointF &pos, const QSizeF &area) const
{
    const QTransform t = transform(area);
    const QVector<const TransmitterInfo *> list = markers();
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        const QPointF c = t.map(m_model.projection().project((*it)->longitude, (*it)->latitude));
        if (QLineF(c, pos).length() <= 9)
            return (*it)->field;
    }
    return QString();
}

QVector<QPolygonF> CountyMapDrawing::largeRings(int shape, const QTransform &t) const
{
    QVector<QPolygonF> rings;
    for (const CountyMap::Polygon &ring : m_model.shapes().at(shape).rings) {
        const QPolygonF q = t.map(QPolygonF(ring));
        const QRectF b = q.boundingRect();
        if (std::max(b.width(), b.height()) >= SmallCountyPixels)
            rings.append(q);
    }
    return rings;
}

QPainterPath CountyMapDrawing::outlineOf(int shape, const QSizeF &area) const
{
    const QTransform t = transform(area);
    QPainterPath path;
    for (const QPolygonF &q : largeRings(shape, t))
        path.addPolygon(q);
    if (path.isEmpty())
        path.addEllipse(t.map(m_model.shapes().at(shape).centre), 8, 8);
    return path;
}

QStringList CountyMapDrawing::smallCounties(const QSizeF &area) const
{
    QStringList ids;
    const QRectF visible = transform(area).inverted().mapRect(QRectF(QPointF(0, 0), area));
    for (int i = 0; i < m_paths.size(); ++i) {
        const Kind kind = kindOf(i);
        if ((kind == Kind::Selected || kind == Kind::Covered) && m_largestRing.at(i) * m_scale < SmallCountyPixels
            && visible.intersects(m_model.shapes().at(i).bounds))
            ids << m_model.shapes().at(i).id;
    }
    return ids;
}

void CountyMapDrawing::paintMap(QPainter &p, const QSizeF &area, const Options &options) const
{
    p.save();
    p.setClipRect(QRectF(QPointF(0, 0), area));
    p.fillRect(QRectF(QPointF(0, 0), area), Water);
    const QTransform t = transform(area);
    const QRectF visible = t.inverted().mapRect(QRectF(QPointF(0, 0), area));
    p.setRenderHint(QPainter::Antialiasing, true);
    // Neighbours first, then the state, then the selection on top, so that
    // the heavy outlines are never covered by a neighbour's fill.
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < m_paths.size(); ++i) {
            const CountyMap::Shape &s = m_model.shapes().at(i);
            if (!visible.intersects(s.bounds))
                continue;
            const Kind kind = kindOf(i);
            const int wanted = kind == Kind::Selected ? 2 : (s.home ? 1 : 0);
            if (wanted != pass)
                continue;
            const QPainterPath path = t.map(m_paths.at(i));
            switch (kind) {
            case Kind::Neighbour:
                p.setPen(QPen(NeighbourEdge, 0.6));
                p.setBrush(NeighbourFill);
                p.drawPath(path);
                break;
            case Kind::Home:
            case Kind::Covered:
                p.setPen(QPen(HomeEdge, 0.8));
                p.setBrush(kind == Kind::Home ? HomeFill : CoveredFill);
                p.drawPath(path);
                break;
            case Kind::Selected: {
                // Islands a few pixels across would drown in a heavy line
                // and a hatch: they keep their orange, the outline and the
                // hatch go on the larger pieces.
                const double px = m_largestRing.at(i) * m_scale;
                const QVector<QPolygonF> large = largeRings(i, t);
                QPainterPath outline;
                for (const QPolygonF &q : large)
                    outline.addPolygon(q);
                fillSelected(p, path, large);
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(SelectedEdge, px < 24 ? 1.0 : 2.0));
                p.drawPath(outline);
                break;
            }
            }
        }
    }
    // State borders over the counties, heavier than any county edge: a dark
    // line with a light core, which no county outline looks like. Islands
    // and other small pieces get a plain thin line, or they would be
    // nothing but border.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < m_stateRings.size(); ++i) {
        if (!visible.intersects(m_stateRingBounds.at(i)))
            continue;
        const QPainterPath ring = t.map(m_stateRings.at(i));
        const QRectF b = t.mapRect(m_stateRingBounds.at(i));
        const double px = std::max(b.width(), b.height());
        if (px < 2 * SmallCountyPixels)
            continue;
        if (px < 60) {
            p.setPen(QPen(StateLine, 1.0));
            p.drawPath(ring);
            continue;
        }
        p.setPen(QPen(StateLine, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(ring);
        p.setPen(QPen(QColor(0xf0, 0xf0, 0xf0), 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(ring);
    }

    // Counties too small to see get a dot: blue with the county edge for a
    // covered one, orange with the selected outline on top of them for a
    // selected one.
    const QStringList small = smallCounties(area);
    for (bool selectedPass : {false, true}) {
        for (const QString &id : small) {
            const int i = m_model.indexOf(id);
            const bool selected = kindOf(i) == Kind::Selected;
            if (selected != selectedPass)
                continue;
            p.setBrush(selected ? SelectedFill : CoveredFill);
            p.setPen(QPen(selected ? SelectedEdge : HomeEdge, selected ? 2.0 : 1.0));
            p.drawEllipse(t.map(m_model.shapes().at(i).centre), selected ? 5.0 : 3.5, selected ? 5.0 : 3.5);
        }
    }

    paintMarkers(p, area);
    p.restore();
}

QVector<CountyMapDrawing::LegendItem> CountyMapDrawing::legendItems(const Options &options) const
{
    using Item = LegendItem;
    // A transmitter the listing does not have covers nothing: the listed
    // counties are only listed.
    const QString callsign = m_covered.isEmpty() ? QString() : callsignOf(m_transmitter);
    QVector<Item> items;
    if (options.interactive)
        items << Item{QStringLiteral("Selected"), 0};
    items << QVector<Item>{{callsign.isEmpty() ? QStringLiteral("Listed") : QStringLiteral("Covered by ") + callsign, 1},
                           {m_stateName.isEmpty() ? QStringLiteral("Counties") : m_stateName, 2},
                           {QStringLiteral("Other states"), 3}};
    bool outOfService = false;
    const QVector<const TransmitterInfo *> list = markers();
    for (const TransmitterInfo *info : list)
        outOfService = outOfService || !info->inService();
    if (!list.isEmpty())
        items << Item{QStringLiteral("Transmitter"), 4};
    if (outOfService)
        items << Item{QStringLiteral("Out of service"), 5};
    return items;
}

namespace {

// Where each legend item goes: as many to a row as fit the width.
QVector<QPointF> legendPlaces(const QStringList &texts, double width, const QFontMetricsF &fm, int *rows)
{
    const double room = width - 2 * LegendPad;
    QVector<QPointF> at;
    double x = 0;
    *rows = 1;
    for (const QString &text : texts) {
        const double w = fm.height() + 4 + fm.horizontalAdvance(text) + 14;
        if (x > 0 && x + w > room) {
            x = 0;
            ++*rows;
        }
        at.append(QPointF(x, *rows - 1));
        x += w;
    }
    return at;
}

} // namespace

int CountyMapDrawing::legendHeight(double width, const QFont &font, const Options &options) const
{
    QStringList texts;
    for (const LegendItem &item : legendItems(options))
        texts << item.text;
    const QFontMetricsF fm(font);
    int rows = 1;
    legendPlaces(texts, width, fm, &rows);
    return int(std::ceil(rows * (fm.height() + 6) + 2 * LegendPad));
}

void CountyMapDrawing::paintLegend(QPainter &p, const QRectF &box, const QFont &font, const Options &options) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(font);
    const QFontMetricsF fm(font);
    const QVector<LegendItem> items = legendItems(options);
    QStringList texts;
    for (const LegendItem &item : items)
        texts << item.text;
    int rows = 1;
    const QVector<QPointF> at = legendPlaces(texts, box.width(), fm, &rows);
    const double sw = fm.height(), rowHeight = sw + 6;
    for (int k = 0; k < items.size(); ++k) {
        const LegendItem &item = items.at(k);
        const double x = box.left() + LegendPad + at.at(k).x();
        const double y = box.top() + LegendPad + at.at(k).y() * rowHeight;
        const QRectF r(x, y, sw, sw);
        switch (item.swatch) {
        case 0: {
            QPainterPath square;
            square.addRect(r);
            fillSelected(p, square, {QPolygonF(r)});
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(SelectedEdge, 2));
            p.drawRect(r.adjusted(1, 1, -1, -1));
            break;
        }
        case 1:
        case 2:
        case 3:
            p.setPen(QPen(item.swatch == 3 ? NeighbourEdge : HomeEdge, 1));
            p.setBrush(item.swatch == 1 ? CoveredFill : item.swatch == 2 ? HomeFill : NeighbourFill);
            p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
            break;
        default:
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(Marker);
            p.drawPolygon(triangle(r.center(), sw * 0.42));
            if (item.swatch == 5)
                crossOut(p, r.center(), sw / 2 - 2, 2);
        }
        p.setPen(Qt::black);
        p.drawText(QRectF(x + sw + 4, y - 2, fm.horizontalAdvance(item.text) + 4, sw + 4), Qt::AlignVCenter, item.text);
    }
    p.restore();
}

int CountyMapDrawing::paintWithLegend(QPainter &p, const QSizeF &size, const QFont &font, const Options &options) const
{
    const int legend = legendHeight(size.width(), font, options);
    const QSizeF area(size.width(), std::max(1.0, size.height() - legend));
    paintMap(p, area, options);
    p.fillRect(QRectF(0, area.height(), size.width(), legend), LegendBackground);
    paintLegend(p, QRectF(0, area.height(), size.width(), legend), font, options);
    return legend;
}
