// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CountyAtlas.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

// What the county map shows of one state: the state's counties and those of
// the states around it, projected onto a plane with an equal-area conic
// centred on the state, so that counties keep their true relative sizes and
// the state stands upright. Units are kilometres, x east and y north.
//
// QtCore only; the map widget paints from it and asks it what lies under
// the mouse.
namespace CountyMap {

// A closed ring of projected points (QtCore has no polygon type).
using Polygon = QVector<QPointF>;

// Albers equal-area conic with standard parallels one sixth of the way in
// from the state's northern and southern edges, centred on the state.
class Projection
{
public:
    Projection() = default;
    explicit Projection(const QRectF &lonLatBounds);
    QPointF project(double lon, double lat) const;
    QPointF project(const QPointF &lonLat) const { return project(lonLat.x(), lonLat.y()); }

private:
    double m_lon0 = 0;
    double m_n = 0;
    double m_c = 0;
    double m_rho0 = 0;
    bool m_cylindrical = true;
};

// True when `p` lies inside the rings by the odd-even rule: a point inside
// an outer ring and inside one of its holes is outside, and an island inside
// a hole is inside again.
bool insideOddEven(const QVector<Polygon> &rings, const QPointF &p);

struct Shape {
    int atlasIndex = -1;
    QString id;                  // five digits
    QString name;
    bool home = false;           // of the chosen state, not a neighbour
    QVector<Polygon> rings;    // projected, closed
    QRectF bounds;               // projected
    QPointF centre;              // a point inside the county, for labels and keys
};

class Model
{
public:
    // The state (two-digit code) and its neighbourhood, projected. False,
    // leaving the model empty, for a state the atlas does not have.
    bool build(const CountyAtlas::Atlas &atlas, const QString &state);
    void clear() { *this = Model(); }

    QString state() const { return m_state; }
    const QVector<Shape> &shapes() const { return m_shapes; }
    const Projection &projection() const { return m_projection; }
    // The chosen state's projected extent; "Fit" shows it.
    QRectF homeBounds() const { return m_homeBounds; }
    QRectF allBounds() const { return m_allBounds; }
    // The outlines of the state and its neighbours, projected: drawn heavier
    // than the county edges, so a state line shows inside a block of counties.
    const QVector<Polygon> &stateBorders() const { return m_stateBorders; }

    // The shape at a projected point, or -1.
    int hitTest(const QPointF &p) const;
    // The shape of a five-digit code, or -1.
    int indexOf(const QString &id) const;
    // From shape `from`, the nearest shape of the chosen state whose centre
    // lies in direction (dx, dy) (a unit step: (1, 0) is east); -1 if none.
    int neighbourInDirection(int from, double dx, double dy) const;

private:
    QString m_state;
    Projection m_projection;
    QVector<Shape> m_shapes;
    QVector<Polygon> m_stateBorders;
    QHash<QString, int> m_byId;
    QRectF m_homeBounds;
    QRectF m_allBounds;
};

// A point well inside a ring set: the middle of the widest inside stretch of
// the horizontal line through the bounds' centre (a centroid may fall in a
// bay or a hole).
QPointF interiorPoint(const QVector<Polygon> &rings, const QRectF &bounds);

} // namespace CountyMap
