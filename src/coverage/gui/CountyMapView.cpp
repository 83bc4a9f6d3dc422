// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/CountyMapView.h"

#include "coverage/core/HeardChannels.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MinScale = 0.02;   // pixels per kilometre
constexpr double MaxScale = 200;

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
    setMinimumSize(240, 220);
    // The channels the Alert Monitor hears a message on ring their
    // transmitters' marks.
    m_draw.setHeardFrequencies(HeardChannels::instance().frequencies());
    connect(&HeardChannels::instance(), &HeardChannels::changed, this, [this] {
        m_draw.setHeardFrequencies(HeardChannels::instance().frequencies());
        update();
    });
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CountyMapView::setAtlas(const CountyAtlas::Atlas *atlas)
{
    m_draw.setAtlas(atlas);
    const QString s = m_draw.state();
    m_draw.setState(QString());
    setState(s);
}

void CountyMapView::setCoverage(const CountyCoverage *coverage)
{
    m_draw.setCoverage(coverage);
    refitIfFitted();
}

void CountyMapView::setTransmitterTable(const QHash<QString, TransmitterInfo> &table)
{
    m_draw.setTransmitterTable(table);
    // A new legend entry may take another row: the map's room changes.
    refitIfFitted();
}

void CountyMapView::setInteractive(bool on)
{
    m_interactive = on;
    refitIfFitted();
}

void CountyMapView::setState(const QString &stateCode)
{
    if (!m_draw.setState(stateCode))
        return;
    m_hover = m_highlight = -1;
    fit();
    updateNotes();
}

void CountyMapView::setStateName(const QString &name)
{
    m_draw.setStateName(name);
    updateNotes();
    refitIfFitted();
}

void CountyMapView::setTransmitter(const QString &field)
{
    if (m_draw.setTransmitter(field))
        refitIfFitted();
}

void CountyMapView::setListed(const QVector<CountyEntries::Item> &items)
{
    m_draw.setListed(items);
    updateNotes();
    refitIfFitted();
}

void CountyMapView::updateNotes()
{
    const QString description = summary();
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
    emit contentChanged();
}

QString CountyMapView::highlightText() const
{
    if (m_highlight < 0)
        return QString();
    const CountyMap::Shape &s = model().shapes().at(m_highlight);
    return QStringLiteral("%1, %2, %3")
        .arg(s.name, QLatin1Char('0') + s.id,
             m_draw.isSelected(s.id) ? QStringLiteral("selected") : QStringLiteral("not selected"));
}

QRect CountyMapView::legendRect() const
{
    const int h = std::max(0, std::min(height() - 40, m_draw.legendHeight(width(), font(), {m_interactive})));
    return QRect(0, height() - h, width(), h);
}

QRect CountyMapView::mapArea() const
{
    return QRect(0, 0, width(), legendRect().top());
}

QSizeF CountyMapView::areaSize() const
{
    return QSizeF(mapArea().size());
}

void CountyMapView::fit()
{
    m_draw.fit(areaSize());
    m_draw.setView(std::clamp(m_draw.scale(), MinScale, MaxScale), m_draw.centre());
    m_fitted = true;
    invalidate();
}

void CountyMapView::refitIfFitted()
{
    // Until the user zooms or pans, the map keeps framing what matters;
    // after that it stays where the user put it.
    if (m_fitted)
        fit();
    else
        invalidate();
}

void CountyMapView::zoomBy(double factor, const QPointF &at)
{
    if (m_draw.state().isEmpty())
        return;
    const QTransform t = m_draw.transform(areaSize());
    const QPointF fixed = t.inverted().map(at);
    const double scale = std::clamp(m_draw.scale() * factor, MinScale, MaxScale);
    m_draw.setView(scale, m_draw.centre());
    // Keep the point under the cursor where it is.
    const QPointF moved = m_draw.transform(areaSize()).map(fixed);
    m_draw.setView(scale, m_draw.centre() + QPointF((moved.x() - at.x()) / scale, -(moved.y() - at.y()) / scale));
    m_fitted = false;
    invalidate();
}

QPoint CountyMapView::widgetPointOf(const QString &id) const
{
    const int i = model().indexOf(id);
    if (i < 0)
        return QPoint(-1, -1);
    return m_draw.transform(areaSize()).map(model().shapes().at(i).centre).toPoint();
}

QPoint CountyMapView::widgetPointAt(double lon, double lat) const
{
    return m_draw.transform(areaSize()).map(model().projection().project(lon, lat)).toPoint();
}

QString CountyMapView::countyAt(const QPoint &widgetPos) const
{
    if (!mapArea().contains(widgetPos))
        return QString();
    const int i = model().hitTest(m_draw.transform(areaSize()).inverted().map(QPointF(widgetPos)));
    return i < 0 ? QString() : model().shapes().at(i).id;
}

QString CountyMapView::transmitterAt(const QPoint &widgetPos) const
{
    return mapArea().contains(widgetPos) ? m_draw.transmitterAt(widgetPos, areaSize()) : QString();
}

QStringList CountyMapView::smallCounties() const
{
    return m_draw.smallCounties(areaSize());
}

QString CountyMapView::highlighted() const
{
    return m_highlight < 0 ? QString() : model().shapes().at(m_highlight).id;
}

void CountyMapView::setHighlighted(const QString &id)
{
    const int i = model().indexOf(id);
    if (i == m_highlight)
        return;
    m_highlight = i;
    update();
    announceHighlight();
}

void CountyMapView::invalidate()
{
    m_base = QImage();
    update();
}

void CountyMapView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const qreal dpr = devicePixelRatioF();
    if (m_base.isNull() || m_base.size() != size() * dpr) {
        m_base = QImage(size() * dpr, QImage::Format_ARGB32_Premultiplied);
        m_base.setDevicePixelRatio(dpr);
        QPainter bp(&m_base);
        bp.setFont(font());
        m_draw.paintWithLegend(bp, size(), font(), {m_interactive});
    }
    p.drawImage(0, 0, m_base);
    // Hover and keyboard highlight over the counties, never over the legend.
    p.setClipRect(mapArea());
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::NoBrush);
    if (m_hover >= 0) {
        p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
        p.drawPath(m_draw.outlineOf(m_hover, areaSize()));
    }
    if (m_highlight >= 0) {
        // White under black dashes: visible on every fill.
        const QPainterPath path = m_draw.outlineOf(m_highlight, areaSize());
        p.setPen(QPen(Qt::white, 4));
        p.drawPath(path);
        p.setPen(QPen(Qt::black, 3, Qt::DashLine));
        p.drawPath(path);
    }
    p.setClipping(false);
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight().color(), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void CountyMapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The same framing at first show and after every resize, until the
    // user zooms or pans.
    if (m_fitted)
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
    m_pressCentre = m_draw.centre();
}

void CountyMapView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_pressed && (event->buttons() & Qt::LeftButton)) {
        if (!m_dragging && (pos - m_pressPos).manhattanLength() > 4)
            m_dragging = true;
        if (m_dragging) {
            const QPoint d = pos - m_pressPos;
            const double scale = m_draw.scale();
            m_draw.setView(scale, m_pressCentre + QPointF(-d.x() / scale, d.y() / scale));
            m_fitted = false;
            invalidate();
            return;
        }
    }
    const int hover = mapArea().contains(pos)
                          ? model().hitTest(m_draw.transform(areaSize()).inverted().map(QPointF(pos)))
                          : -1;
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
    const CountyMap::Model &m = model();
    if (m.shapes().isEmpty())
        return;
    int next = -1;
    if (m_highlight < 0) {
        // Start at the first selected county of the state, else its
        // north-westernmost one.
        double best = INFINITY;
        for (int i = 0; i < m.shapes().size(); ++i) {
            const CountyMap::Shape &s = m.shapes().at(i);
            if (!s.home)
                continue;
            const double score = (m_draw.isSelected(s.id) ? -1e9 : 0) + s.centre.x() - s.centre.y();
            if (score < best) {
                best = score;
                next = i;
            }
        }
    } else {
        next = m.neighbourInDirection(m_highlight, dx, dy);
    }
    if (next < 0)
        return;
    m_highlight = next;
    // Keep the highlight in view.
    const QRectF view = m_draw.transform(areaSize()).inverted().mapRect(QRectF(mapArea()));
    if (!view.contains(m.shapes().at(next).centre)) {
        m_draw.setView(m_draw.scale(), m.shapes().at(next).centre);
        m_fitted = false;
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
        zoomBy(1.25, QRectF(mapArea()).center());
        return;
    case Qt::Key_Minus:
        zoomBy(0.8, QRectF(mapArea()).center());
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
        // A transmitter's mark names the transmitter, not the county under it.
        const QString field = transmitterAt(help->pos());
        const QString text = field.isEmpty() ? countyToolTip(countyAt(help->pos())) : transmitterToolTip(field);
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
