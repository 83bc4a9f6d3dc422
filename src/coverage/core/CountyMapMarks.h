// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPainter>
#include <QPolygonF>

// How a transmitter's mark looks, on the map and in its legend.
namespace CountyMapMarks {

inline const QColor Marker(0x00, 0x5a, 0x8c);         // blue #0072B2, darkened
inline const QColor MutedMarker(0x6e, 0x8a, 0x9c);    // the same blue, greyed, for the others
inline const QColor OutOfService(0xd5, 0x5e, 0x00);   // vermillion

inline QPolygonF triangle(const QPointF &c, double r)
{
    return QPolygonF{QPointF(c.x(), c.y() - r), QPointF(c.x() + r * 0.87, c.y() + r * 0.5),
                     QPointF(c.x() - r * 0.87, c.y() + r * 0.5)};
}

inline void crossOut(QPainter &p, const QPointF &c, double r, double width)
{
    p.setPen(QPen(OutOfService, width));
    p.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
    p.drawLine(QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() - r));
}

} // namespace CountyMapMarks
