// SPDX-License-Identifier: GPL-3.0-or-later
// The transmitters on the county map: where their marks and names go, and
// drawing them. A state like Texas has some 300 transmitters; drawn all
// alike they hide the counties the user chose and the one transmitter that
// matters. So the chosen transmitter is large, drawn last and always named;
// the others are small and muted until the user zooms in, and then named
// only where a name covers no mark and no other name.
#include "coverage/core/CountyMapDrawing.h"

#include "coverage/core/CountyMapMarks.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

using namespace CountyMapMarks;

namespace {

constexpr double ChosenRadius = 8;
constexpr double OtherRadius = 5.5;
constexpr double MutedRadius = 3.5;

QString callsignOf(const QString &field)
{
    return field.simplified().section(QLatin1Char(' '), -2, -2);
}

} // namespace

CountyMapDrawing::MarkLayout CountyMapDrawing::markLayout(const QSizeF &area, const QFont &font) const
{
    MarkLayout layout;
    const QTransform t = transform(area);
    const QString chosen = m_transmitter.trimmed();
    const bool zoomedIn = m_scale >= LabelScale;
    // markers() puts the chosen one last: it is drawn over the others.
    const QVector<const TransmitterInfo *> list = markers();
    for (const TransmitterInfo *info : list) {
        MarkLayout::Mark m;
        m.field = info->field;
        m.centre = t.map(m_model.projection().project(info->longitude, info->latitude));
        m.chosen = !chosen.isEmpty() && info->field.trimmed() == chosen;
        m.muted = !m.chosen && !zoomedIn;
        m.radius = m.chosen ? ChosenRadius : (m.muted ? MutedRadius : OtherRadius);
        m.inService = info->inService();
        m.name = info->callsign.isEmpty() ? callsignOf(info->field) : info->callsign;
        layout.marks.append(m);
    }

    // Names: the chosen one first, so it always gets a place; then, zoomed
    // in, the others. Each tries right, left, above and below its mark and
    // takes the first place that covers no mark and no name; the chosen one
    // takes the right-hand place when every place is covered.
    const QFontMetricsF fm(font);
    auto fits = [&](const QRectF &box, const MarkLayout::Mark &own) {
        for (const MarkLayout::Mark &m : std::as_const(layout.marks))
            if (&m != &own && m.box().intersects(box))
                return false;
        for (const MarkLayout::Label &l : std::as_const(layout.labels))
            if (l.box.intersects(box))
                return false;
        return true;
    };
    QVector<QRectF> hidden;
    QVector<const MarkLayout::Mark *> order;
    for (auto it = layout.marks.crbegin(); it != layout.marks.crend(); ++it)
        if (it->chosen || zoomedIn)
            order.append(&*it);
    for (const MarkLayout::Mark *m : std::as_const(order)) {
        const QString &name = m->name;
        const QSizeF size(fm.horizontalAdvance(name) + 6, fm.height() + 2);
        const QPointF c = m->centre;
        const double gap = m->radius + 2;
        const QRectF places[] = {
            QRectF(QPointF(c.x() + gap, c.y() - size.height() / 2), size),
            QRectF(QPointF(c.x() - gap - size.width(), c.y() - size.height() / 2), size),
            QRectF(QPointF(c.x() - size.width() / 2, c.y() - gap - size.height()), size),
            QRectF(QPointF(c.x() - size.width() / 2, c.y() + gap), size),
        };
        const QRectF *found = nullptr;
        for (const QRectF &box : places) {
            if (fits(box, *m)) {
                found = &box;
                break;
            }
        }
        if (!found && m->chosen) {
            // Crowded all round: the chosen name goes right of its mark,
            // and the other marks under it give way.
            found = &places[0];
            hidden.append(*found);
        }
        if (found)
            layout.labels.append({name, *found, m->chosen});
    }
    if (!hidden.isEmpty()) {
        layout.marks.erase(std::remove_if(layout.marks.begin(), layout.marks.end(),
                                          [&](const MarkLayout::Mark &m) {
                                              return !m.chosen && m.box().intersects(hidden.first());
                                          }),
                           layout.marks.end());
    }
    return layout;
}

void CountyMapDrawing::paintMarkers(QPainter &p, const QSizeF &area) const
{
    const MarkLayout layout = markLayout(area, p.font());
    for (const MarkLayout::Mark &m : layout.marks) {
        if (m.muted) {
            p.setPen(QPen(QColor(255, 255, 255, 160), 1.0));
            p.setBrush(QColor(MutedMarker.red(), MutedMarker.green(), MutedMarker.blue(), 150));
        } else {
            p.setPen(QPen(Qt::white, 1.5));
            p.setBrush(m.chosen ? Marker : Marker.lighter(140));
        }
        p.drawPolygon(triangle(m.centre, m.radius));
        if (!m.inService)
            crossOut(p, m.centre, m.radius, m.muted ? 1.5 : 2.5);
        if (heardOn(m.field)) {
            // The monitor heard a message on this transmitter's channel: a
            // ring that shows even round a muted mark.
            p.setPen(QPen(QColor(0x1b, 0x8a, 0x3a), 2.0));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(m.centre, m.radius + 4, m.radius + 4);
        }
    }
    // Names after every mark, so no mark is drawn over a name.
    for (const MarkLayout::Label &l : layout.labels) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 215));
        p.drawRoundedRect(l.box, 2, 2);
        p.setPen(l.chosen ? Marker.darker(130) : QColor(0x20, 0x20, 0x20));
        p.drawText(l.box, Qt::AlignCenter, l.text);
    }
}
