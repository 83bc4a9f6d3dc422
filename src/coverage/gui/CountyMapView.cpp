// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/CountyMapView.h"

#include "base/SafeWrite.h"
#include "coverage/core/CountyCoverage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBuffer>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

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
const QColor Marker(0x00, 0x5a, 0x8c);         // blue #0072B2, darkened
const QColor OutOfService(0xd5, 0x5e, 0x00);   // vermillion

constexpr int LegendMargin = 6;
constexpr double MinScale = 0.02;   // pixels per kilometre
constexpr double MaxScale = 200;

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

// A screen reader meets the map as a picture with a name, a description
// (what is selected) and a value (the county under the keyboard highlight).
class CountyMapAccessible : public QAccessibleWidget
{
public:
    explicit CountyMapAccessible(CountyMapView *map)
        : QAccessibleWidget(map, QAccessible::Graphic)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        auto *map = static_cast<CountyMapView *>(widget());
        if (t == QAccessible::Value)
            return map->highlightText();
        if (t == QAccessible::Description && map->accessibleDescription().isEmpty())
            return map->summary();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *mapAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("CountyMapView") && object && object->isWidgetType())
        return new CountyMapAccessible(static_cast<CountyMapView *>(object));
    return nullptr;
}

} // namespace

CountyMapView::CountyMapView(QWidget *parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(mapAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(QStringLiteral("mapCounties"));
    setAccessibleName(QStringLiteral("County map"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(360, 300);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CountyMapView::setAtlas(const CountyAtlas::Atlas *atlas)
{
    m_atlas = atlas;
    const QString s = m_model.state();
    m_model.clear();
    setState(s);
}

void CountyMapView::setCoverage(const CountyCoverage *coverage)
{
    m_coverage = coverage;
    const QString t = m_transmitter;
    m_transmitter = QStringLiteral("\n");   // force the refresh
    setTransmitter(t);
}

void CountyMapView::setTransmitterTable(const QHash<QString, TransmitterInfo> &table)
{
    m_transmitters = table;
    invalidate();
}

void CountyMapView::setState(const QString &stateCode)
{
    if (!m_model.state().isEmpty() && stateCode == m_model.state())
        return;
    m_model.clear();
    m_paths.clear();
    m_hover = m_highlight = -1;
    // The boundaries are read when a state is first shown, not at start-up.
    if (!m_atlas && !stateCode.isEmpty())
        m_atlas = &CountyAtlas::builtIn();
    if (m_atlas && !stateCode.isEmpty() && m_model.build(*m_atlas, stateCode)) {
        m_paths.reserve(m_model.shapes().size());
        for (const CountyMap::Shape &s : m_model.shapes()) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const CountyMap::Polygon &ring : s.rings) {
                path.moveTo(ring.first());
                for (qsizetype i = 1; i < ring.size(); ++i)
                    path.lineTo(ring.at(i));
                path.closeSubpath();
            }
            m_paths.append(path);
        }
    }
    m_fitted = false;
    fit();
    updateNotes();
}

void CountyMapView::setStateName(const QString &name)
{
    m_stateName = name;
    updateNotes();
}

void CountyMapView::setTransmitter(const QString &field)
{
    if (field == m_transmitter)
        return;
    m_transmitter = field;
    m_covered = m_coverage && !field.trimmed().isEmpty() ? m_coverage->countiesOf(field) : QSet<QString>();
    invalidate();
}

void CountyMapView::setListed(const QVector<CountyEntries::Item> &items)
{
    m_entries.clear();
    m_listedIds.clear();
    m_selectedIds.clear();
    m_selectedNames.clear();
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
            m_selectedNames << QStringLiteral("%1 (%2)").arg(item.text.mid(8, 22).trimmed(), code);
        }
    }
    updateNotes();
    invalidate();
}

void CountyMapView::updateNotes()
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
    const QString description = summary();
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
    emit contentChanged();
}

QString CountyMapView::noteText() const
{
    const int selected = int(std::count_if(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) { return e.checked; }));
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

QString CountyMapView::summary() const
{
    QString text = noteText() + QLatin1Char('.');
    if (!m_selectedNames.isEmpty())
        text += QStringLiteral(" Selected: ") + m_selectedNames.join(QStringLiteral(", ")) + QLatin1Char('.');
    return text;
}

QString CountyMapView::highlightText() const
{
    if (m_highlight < 0)
        return QString();
    const CountyMap::Shape &s = m_model.shapes().at(m_highlight);
    return QStringLiteral("%1, %2, %3")
        .arg(s.name, sixDigit(s.id),
             m_selectedIds.contains(s.id) ? QStringLiteral("selected") : QStringLiteral("not selected"));
}

QString CountyMapView::countyToolTip(const QString &id) const
{
    const int i = m_model.indexOf(id);
    if (i < 0)
        return QString();
    const CountyMap::Shape &s = m_model.shapes().at(i);
    QStringList lines{QStringLiteral("%1  %2").arg(s.name, sixDigit(s.id))};
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

QTransform CountyMapView::viewTransform(const QSizeF &size) const
{
    // y of the projection points north, on the screen down.
    QTransform t;
    t.translate(size.width() / 2, size.height() / 2);
    t.scale(m_scale, -m_scale);
    t.translate(-m_centre.x(), -m_centre.y());
    return t;
}

void CountyMapView::fit()
{
    const QRectF home = m_model.homeBounds();
    if (home.isEmpty() || width() <= 0 || height() <= 0) {
        m_scale = 1;
        m_centre = home.center();
        invalidate();
        return;
    }
    // Room for the legend below.
    const double w = width() * 0.94, h = std::max(40.0, (height() - legendHeight(width())) * 0.95);
    const int legend = legendHeight(width());
    m_scale = std::clamp(std::min(w / home.width(), h / home.height()), MinScale, MaxScale);
    // The state in the middle of the room above the legend.
    m_centre = home.center() - QPointF(0, legend / 2.0 / m_scale);
    m_fitted = true;
    invalidate();
}

void CountyMapView::zoomBy(double factor, const QPointF &at)
{
    if (m_model.state().isEmpty())
        return;
    const QTransform t = viewTransform(size());
    const QPointF fixed = t.inverted().map(at);
    m_scale = std::clamp(m_scale * factor, MinScale, MaxScale);
    // Keep the point under the cursor where it is.
    const QPointF moved = viewTransform(size()).map(fixed);
    m_centre += QPointF((moved.x() - at.x()) / m_scale, -(moved.y() - at.y()) / m_scale);
    m_fitted = false;
    invalidate();
}

QPoint CountyMapView::widgetPointOf(const QString &id) const
{
    const int i = m_model.indexOf(id);
    if (i < 0)
        return QPoint(-1, -1);
    return viewTransform(size()).map(m_model.shapes().at(i).centre).toPoint();
}

QPoint CountyMapView::widgetPointAt(double lon, double lat) const
{
    return viewTransform(size()).map(m_model.projection().project(lon, lat)).toPoint();
}

QString CountyMapView::countyAt(const QPoint &widgetPos) const
{
    const int i = m_model.hitTest(viewTransform(size()).inverted().map(QPointF(widgetPos)));
    return i < 0 ? QString() : m_model.shapes().at(i).id;
}

QString CountyMapView::highlighted() const
{
    return m_highlight < 0 ? QString() : m_model.shapes().at(m_highlight).id;
}

void CountyMapView::setHighlighted(const QString &id)
{
    const int i = m_model.indexOf(id);
    if (i == m_highlight)
        return;
    m_highlight = i;
    update();
    announceHighlight();
}

CountyMapView::Kind CountyMapView::kindOf(int shape) const
{
    const CountyMap::Shape &s = m_model.shapes().at(shape);
    if (m_selectedIds.contains(s.id))
        return Kind::Selected;
    if (m_covered.contains(s.id) || m_listedIds.contains(s.id))
        return Kind::Covered;
    return s.home ? Kind::Home : Kind::Neighbour;
}

void CountyMapView::invalidate()
{
    m_base = QImage();
    update();
}

void CountyMapView::paintBase(QPainter &p, const QSizeF &size) const
{
    p.fillRect(QRectF(QPointF(0, 0), size), Water);
    if (m_paths.isEmpty())
        return;
    const QTransform t = viewTransform(size);
    const QRectF visible = t.inverted().mapRect(QRectF(QPointF(0, 0), size));
    p.setRenderHint(QPainter::Antialiasing, true);
    // Neighbours first, then the state, then the selection on top, so that
    // the heavy outlines are never covered by a neighbour's fill.
    QPen thin(NeighbourEdge, 0.6);
    thin.setCosmetic(true);
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
                p.setPen(thin);
                p.setBrush(NeighbourFill);
                p.drawPath(path);
                break;
            case Kind::Home:
            case Kind::Covered:
                p.setPen(QPen(HomeEdge, 0.8));
                p.setBrush(kind == Kind::Home ? HomeFill : CoveredFill);
                p.drawPath(path);
                break;
            case Kind::Selected:
                p.setPen(Qt::NoPen);
                p.setBrush(SelectedFill);
                p.drawPath(path);
                p.setBrush(QBrush(QColor(0x40, 0x28, 0x00), Qt::BDiagPattern));
                p.drawPath(path);
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(SelectedEdge, 2.2));
                p.drawPath(path);
                break;
            }
        }
    }
    // The transmitters whose positions are known: a triangle each, the
    // chosen one larger, those out of service crossed out.
    const QRectF near = m_model.allBounds();
    const QString chosen = m_transmitter.trimmed();
    for (const TransmitterInfo &info : m_transmitters) {
        if (!info.hasPosition())
            continue;
        const QPointF q = m_model.projection().project(info.longitude, info.latitude);
        if (!near.contains(q))
            continue;
        const QPointF c = t.map(q);
        const bool isChosen = !chosen.isEmpty() && info.field.trimmed() == chosen;
        const double r = isChosen ? 8 : 5.5;
        QPolygonF triangle{QPointF(c.x(), c.y() - r), QPointF(c.x() + r * 0.87, c.y() + r * 0.5),
                           QPointF(c.x() - r * 0.87, c.y() + r * 0.5)};
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(isChosen ? Marker : Marker.lighter(140));
        p.drawPolygon(triangle);
        if (!info.inService()) {
            p.setPen(QPen(OutOfService, 2.5));
            p.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
            p.drawLine(QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() - r));
        }
    }
}

QVector<CountyMapView::LegendItem> CountyMapView::legendItems() const
{
    using Item = LegendItem;
    // A transmitter the listing does not have covers nothing: the listed
    // counties are only listed.
    const QString callsign = m_covered.isEmpty() ? QString() : m_transmitter.simplified().section(QLatin1Char(' '), -2, -2);
    QVector<Item> items;
    if (m_interactive)
        items << Item{QStringLiteral("Selected"), 0};
    items << QVector<Item>{{callsign.isEmpty() ? QStringLiteral("Listed") : QStringLiteral("Covered by ") + callsign, 1},
                        {m_stateName.isEmpty() ? QStringLiteral("Counties") : m_stateName, 2},
                        {QStringLiteral("Other states"), 3}};
    bool markers = false, outOfService = false;
    for (const TransmitterInfo &info : m_transmitters) {
        markers = markers || info.hasPosition();
        outOfService = outOfService || (info.hasPosition() && !info.inService());
    }
    if (markers)
        items << Item{QStringLiteral("Transmitter"), 4};
    if (outOfService)
        items << Item{QStringLiteral("Out of service"), 5};

    return items;
}

int CountyMapView::legendHeight(double width) const
{
    const QFontMetrics fm(font());
    const double room = width - 2 * LegendMargin - 12;
    double x = 0;
    int rows = 1;
    for (const LegendItem &item : legendItems()) {
        const double w = fm.height() + 4 + fm.horizontalAdvance(item.text) + 12;
        if (x > 0 && x + w > room) {
            x = 0;
            ++rows;
        }
        x += w;
    }
    return rows * (fm.height() + 6) + 4 + LegendMargin;
}

void CountyMapView::paintLegend(QPainter &p, const QSizeF &size) const
{
    p.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics fm(font());
    p.setFont(font());

    const QVector<LegendItem> items = legendItems();
    // As many items to a row as fit; rows stack up from the bottom edge.
    const int sw = fm.height();
    const double room = size.width() - 2 * LegendMargin - 12;
    QVector<QPointF> at;
    double x = 0, rowWidth = 0, widest = 0;
    int rows = 1;
    for (const LegendItem &item : items) {
        const double w = sw + 4 + fm.horizontalAdvance(item.text) + 12;
        if (x > 0 && x + w > room) {
            x = 0;
            ++rows;
        }
        at.append(QPointF(x, rows - 1));
        x += w;
        rowWidth = x;
        widest = std::max(widest, rowWidth);
    }
    const double rowHeight = sw + 6;
    const QRectF box(LegendMargin, size.height() - LegendMargin - rows * rowHeight - 4, widest + 6, rows * rowHeight + 4);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRect(box);
    for (int k = 0; k < items.size(); ++k) {
        const LegendItem &item = items.at(k);
        const double x = box.left() + 6 + at.at(k).x();
        const double y = box.top() + 4 + at.at(k).y() * rowHeight;
        const QRectF r(x, y, sw, sw);
        switch (item.swatch) {
        case 0:
            p.setPen(Qt::NoPen);
            p.setBrush(SelectedFill);
            p.drawRect(r);
            p.setBrush(QBrush(QColor(0x40, 0x28, 0x00), Qt::BDiagPattern));
            p.drawRect(r);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(SelectedEdge, 2));
            p.drawRect(r.adjusted(1, 1, -1, -1));
            break;
        case 1:
        case 2:
        case 3:
            p.setPen(QPen(item.swatch == 3 ? NeighbourEdge : HomeEdge, 1));
            p.setBrush(item.swatch == 1 ? CoveredFill : item.swatch == 2 ? HomeFill : NeighbourFill);
            p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
            break;
        default: {
            const QPointF c = r.center();
            const double rr = sw * 0.42;
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(Marker);
            p.drawPolygon(QPolygonF{QPointF(c.x(), c.y() - rr), QPointF(c.x() + rr * 0.87, c.y() + rr * 0.5),
                                    QPointF(c.x() - rr * 0.87, c.y() + rr * 0.5)});
            if (item.swatch == 5) {
                p.setPen(QPen(OutOfService, 2));
                p.drawLine(r.topLeft() + QPointF(2, 2), r.bottomRight() - QPointF(2, 2));
                p.drawLine(r.bottomLeft() + QPointF(2, -2), r.topRight() + QPointF(-2, 2));
            }
        }
        }
        p.setPen(Qt::black);
        p.drawText(QRectF(x + sw + 4, y - 2, fm.horizontalAdvance(item.text) + 4, sw + 4), Qt::AlignVCenter, item.text);
    }
}

void CountyMapView::paintOverlay(QPainter &p, const QSizeF &size) const
{
    const QTransform t = viewTransform(size);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::NoBrush);
    if (m_hover >= 0) {
        p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
        p.drawPath(t.map(m_paths.at(m_hover)));
    }
    if (m_highlight >= 0) {
        // White under black dashes: visible on every fill.
        const QPainterPath path = t.map(m_paths.at(m_highlight));
        p.setPen(QPen(Qt::white, 4));
        p.drawPath(path);
        p.setPen(QPen(Qt::black, 3, Qt::DashLine));
        p.drawPath(path);
    }
}

void CountyMapView::render(QPainter &painter, const QSize &size)
{
    paintBase(painter, size);
    paintLegend(painter, size);
    // A saved picture carries the note the window shows beneath the map.
    const QFontMetrics fm(font());
    const QString note = noteText();
    const QRectF noteRect(LegendMargin, LegendMargin, fm.horizontalAdvance(note) + 10, fm.height() + 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 225));
    painter.drawRect(noteRect);
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(noteRect, Qt::AlignCenter, note);
}

void CountyMapView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const qreal dpr = devicePixelRatioF();
    if (m_base.isNull() || m_base.size() != size() * dpr) {
        m_base = QImage(size() * dpr, QImage::Format_ARGB32_Premultiplied);
        m_base.setDevicePixelRatio(dpr);
        QPainter bp(&m_base);
        paintBase(bp, size());
        paintLegend(bp, size());
    }
    p.drawImage(0, 0, m_base);
    paintOverlay(p, size());
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight().color(), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void CountyMapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_fitted || m_scale == 1)
        fit();
    else
        invalidate();
}

void CountyMapView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    m_pressed = true;
    m_dragging = false;
    m_pressPos = event->position().toPoint();
    m_pressCentre = m_centre;
}

void CountyMapView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_pressed && (event->buttons() & Qt::LeftButton)) {
        if (!m_dragging && (pos - m_pressPos).manhattanLength() > 4)
            m_dragging = true;
        if (m_dragging) {
            const QPoint d = pos - m_pressPos;
            m_centre = m_pressCentre + QPointF(-d.x() / m_scale, d.y() / m_scale);
            m_fitted = false;
            invalidate();
            return;
        }
    }
    const int hover = m_model.hitTest(viewTransform(size()).inverted().map(QPointF(pos)));
    if (hover != m_hover) {
        m_hover = hover;
        update();
    }
}

void CountyMapView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        return;
    }
    const QString id = countyAt(event->position().toPoint());
    if (id.isEmpty())
        return;
    setHighlighted(id);
    if (m_interactive)
        emit countyToggled(id);
}

void CountyMapView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    zoomBy(std::pow(1.25, steps), event->position());
    event->accept();
}

void CountyMapView::leaveEvent(QEvent *event)
{
    if (m_hover >= 0) {
        m_hover = -1;
        update();
    }
    QWidget::leaveEvent(event);
}

void CountyMapView::moveHighlight(double dx, double dy)
{
    if (m_model.shapes().isEmpty())
        return;
    int next = -1;
    if (m_highlight < 0) {
        // Start at the first selected county of the state, else its
        // north-westernmost one.
        double best = INFINITY;
        for (int i = 0; i < m_model.shapes().size(); ++i) {
            const CountyMap::Shape &s = m_model.shapes().at(i);
            if (!s.home)
                continue;
            const double score = (m_selectedIds.contains(s.id) ? -1e9 : 0) + s.centre.x() - s.centre.y();
            if (score < best) {
                best = score;
                next = i;
            }
        }
    } else {
        next = m_model.neighbourInDirection(m_highlight, dx, dy);
    }
    if (next < 0)
        return;
    m_highlight = next;
    // Keep the highlight in view.
    const QRectF view = viewTransform(size()).inverted().mapRect(QRectF(rect()));
    if (!view.contains(m_model.shapes().at(next).centre)) {
        m_centre = m_model.shapes().at(next).centre;
        invalidate();
    }
    update();
    announceHighlight();
}

void CountyMapView::announceHighlight()
{
    emit highlightChanged(highlighted());
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, highlightText());
        QAccessible::updateAccessibility(&event);
    }
}

void CountyMapView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        moveHighlight(-1, 0);
        return;
    case Qt::Key_Right:
        moveHighlight(1, 0);
        return;
    case Qt::Key_Up:
        moveHighlight(0, 1);
        return;
    case Qt::Key_Down:
        moveHighlight(0, -1);
        return;
    case Qt::Key_Space:
        if (m_highlight >= 0 && m_interactive)
            emit countyToggled(highlighted());
        else if (m_highlight < 0)
            moveHighlight(0, 0);
        return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1.25, QPointF(width() / 2.0, height() / 2.0));
        return;
    case Qt::Key_Minus:
        zoomBy(0.8, QPointF(width() / 2.0, height() / 2.0));
        return;
    case Qt::Key_Home:
        fit();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool CountyMapView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString text = countyToolTip(countyAt(help->pos()));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update();
    return QWidget::event(event);
}

bool saveCountyMap(CountyMapView &map, const QString &path, QString *why)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size = map.size();
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("County map"));
        svg.setDescription(map.summary());
        QPainter p(&svg);
        map.render(p, size);
    } else {
        // Twice the screen's pixels, sharp enough to print in a site's papers.
        QImage image(size * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        {
            QPainter p(&image);
            map.render(p, size);
        }
        if (!image.save(&buffer, "PNG")) {
            if (why)
                *why = QStringLiteral("The map could not be made into a picture.");
            return false;
        }
    }
    buffer.close();
    return writeFileAtomically(path, bytes, why);
}
