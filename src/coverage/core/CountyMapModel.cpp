// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CountyMapModel.h"

#include <algorithm>
#include <cmath>

namespace CountyMap {

namespace {

constexpr double EarthRadiusKm = 6371.0;
constexpr double Rad = M_PI / 180.0;

// Crossings of the horizontal line y with the rings, sorted.
QVector<double> crossings(const QVector<Polygon> &rings, double y)
{
    QVector<double> xs;
    for (const Polygon &ring : rings) {
        for (qsizetype i = 1; i < ring.size(); ++i) {
            const QPointF &a = ring.at(i - 1), &b = ring.at(i);
            if ((a.y() > y) != (b.y() > y))
                xs.append(a.x() + (y - a.y()) * (b.x() - a.x()) / (b.y() - a.y()));
        }
    }
    std::sort(xs.begin(), xs.end());
    return xs;
}

QRectF boundsOf(const QVector<Polygon> &rings)
{
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const Polygon &ring : rings)
        for (const QPointF &p : ring) {
            x0 = std::min(x0, p.x());
            x1 = std::max(x1, p.x());
            y0 = std::min(y0, p.y());
            y1 = std::max(y1, p.y());
        }
    return x0 <= x1 ? QRectF(QPointF(x0, y0), QPointF(x1, y1)) : QRectF();
}

} // namespace

Projection::Projection(const QRectF &b)
{
    const double south = b.top(), north = b.bottom();
    const double third = (north - south) / 6.0;
    const double phi1 = (south + third) * Rad, phi2 = (north - third) * Rad;
    const double phi0 = b.center().y() * Rad;
    m_lon0 = b.center().x();
    m_n = (std::sin(phi1) + std::sin(phi2)) / 2.0;
    // A state astride the equator (none is, but a territory could be) gets
    // the cylindrical equal-area limit of the same projection.
    m_cylindrical = std::fabs(m_n) < 1e-6;
    if (m_cylindrical) {
        m_c = std::cos(phi0);
        m_rho0 = std::sin(phi0);
        return;
    }
    m_c = std::cos(phi1) * std::cos(phi1) + 2 * m_n * std::sin(phi1);
    m_rho0 = std::sqrt(std::max(0.0, m_c - 2 * m_n * std::sin(phi0))) / m_n;
}

QPointF Projection::project(double lon, double lat) const
{
    const double lambda = (lon - m_lon0) * Rad, phi = lat * Rad;
    if (m_cylindrical)
        return QPointF(EarthRadiusKm * lambda * m_c, EarthRadiusKm * (std::sin(phi) - m_rho0) / m_c);
    const double rho = std::sqrt(std::max(0.0, m_c - 2 * m_n * std::sin(phi))) / m_n;
    const double theta = m_n * lambda;
    return QPointF(EarthRadiusKm * rho * std::sin(theta), EarthRadiusKm * (m_rho0 - rho * std::cos(theta)));
}

bool insideOddEven(const QVector<Polygon> &rings, const QPointF &p)
{
    bool inside = false;
    for (const Polygon &ring : rings) {
        const qsizetype n = ring.size();
        for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
            const QPointF &a = ring.at(i), &b = ring.at(j);
            if ((a.y() > p.y()) != (b.y() > p.y())
                && p.x() < (b.x() - a.x()) * (p.y() - a.y()) / (b.y() - a.y()) + a.x())
                inside = !inside;
        }
    }
    return inside;
}

QPointF interiorPoint(const QVector<Polygon> &rings, const QRectF &bounds)
{
    QPointF best = bounds.center();
    double widest = -1;
    // A few lines across the county; the widest inside stretch wins.
    for (double f : {0.5, 0.35, 0.65, 0.2, 0.8}) {
        const double y = bounds.top() + bounds.height() * f;
        const QVector<double> xs = crossings(rings, y);
        for (qsizetype i = 0; i + 1 < xs.size(); i += 2) {
            const double w = xs.at(i + 1) - xs.at(i);
            if (w > widest) {
                widest = w;
                best = QPointF((xs.at(i) + xs.at(i + 1)) / 2, y);
            }
        }
        if (widest > bounds.width() * 0.4)
            break;
    }
    return best;
}

bool Model::build(const CountyAtlas::Atlas &atlas, const QString &state)
{
    clear();
    const QStringList states = atlas.neighbourhood(state);
    if (states.isEmpty())
        return false;
    m_state = state;
    m_projection = Projection(atlas.stateBounds(state));
    for (const QString &s : states) {
        for (const CountyAtlas::Ring &r : atlas.stateOutline(s)) {
            Polygon ring;
            ring.reserve(r.points.size());
            for (const QPointF &p : r.points)
                ring.append(m_projection.project(p));
            m_stateBorders.append(std::move(ring));
        }
        for (int index : atlas.countiesOf(s)) {
            const CountyAtlas::County &c = atlas.counties().at(index);
            if (c.rings.isEmpty())
                continue;
            Shape shape;
            shape.atlasIndex = index;
            shape.id = c.id;
            shape.name = c.name;
            shape.home = s == state;
            shape.rings.reserve(c.rings.size());
            for (const CountyAtlas::Ring &r : c.rings) {
                Polygon ring;
                ring.reserve(r.points.size());
                for (const QPointF &p : r.points)
                    ring.append(m_projection.project(p));
                shape.rings.append(std::move(ring));
            }
            const QRectF bounds = boundsOf(shape.rings);
            shape.bounds = bounds;
            shape.centre = interiorPoint(shape.rings, bounds);
            if (shape.home)
                m_homeBounds = m_homeBounds.isNull() ? bounds : m_homeBounds.united(bounds);
            m_allBounds = m_allBounds.isNull() ? bounds : m_allBounds.united(bounds);
            m_byId.insert(shape.id, int(m_shapes.size()));
            m_shapes.append(std::move(shape));
        }
    }
    return true;
}

int Model::hitTest(const QPointF &p) const
{
    // The chosen state's counties first: they are what the user came for.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < m_shapes.size(); ++i) {
            const Shape &s = m_shapes.at(i);
            if (s.home == (pass == 0) && s.bounds.contains(p) && insideOddEven(s.rings, p))
                return i;
        }
    }
    return -1;
}

int Model::indexOf(const QString &id) const
{
    return m_byId.value(id, -1);
}

int Model::neighbourInDirection(int from, double dx, double dy) const
{
    if (from < 0 || from >= m_shapes.size())
        return -1;
    const QPointF origin = m_shapes.at(from).centre;
    int best = -1;
    double bestScore = INFINITY;
    for (int i = 0; i < m_shapes.size(); ++i) {
        const Shape &s = m_shapes.at(i);
        if (i == from || !s.home)
            continue;
        const double vx = s.centre.x() - origin.x(), vy = s.centre.y() - origin.y();
        const double along = vx * dx + vy * dy;
        if (along <= 0)
            continue;
        const double across = std::fabs(vx * dy - vy * dx);
        // Within 60° of the direction; straight ahead counts more than aside.
        if (across > along * 1.8)
            continue;
        const double score = along + 2 * across;
        if (score < bestScore) {
            bestScore = score;
            best = i;
        }
    }
    return best;
}

} // namespace CountyMap
