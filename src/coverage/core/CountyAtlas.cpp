// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CountyAtlas.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace CountyAtlas {

namespace {

// The real file decodes to about 90,000 points; a file that asks for far
// more repeats arcs to exhaust memory, and is refused.
constexpr qsizetype MaxPoints = 4'000'000;

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

struct Arcs {
    QVector<QVector<QPointF>> points;
};

// Arc positions: with a transform they are integers, each a step from the
// one before (a running sum per arc), scaled and moved into degrees.
bool decodeArcs(const QJsonObject &topo, Arcs *arcs, QString *why)
{
    double sx = 1, sy = 1, tx = 0, ty = 0;
    const bool quantised = topo.contains(QLatin1String("transform"));
    if (quantised) {
        const QJsonObject t = topo.value(QLatin1String("transform")).toObject();
        const QJsonArray scale = t.value(QLatin1String("scale")).toArray();
        const QJsonArray translate = t.value(QLatin1String("translate")).toArray();
        if (scale.size() != 2 || translate.size() != 2)
            return fail(why, QStringLiteral("the transform has no scale and translation"));
        sx = scale.at(0).toDouble();
        sy = scale.at(1).toDouble();
        tx = translate.at(0).toDouble();
        ty = translate.at(1).toDouble();
        if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(tx) || !std::isfinite(ty))
            return fail(why, QStringLiteral("the transform is not a number"));
    }
    const QJsonValue arcsValue = topo.value(QLatin1String("arcs"));
    if (!arcsValue.isArray())
        return fail(why, QStringLiteral("the topology has no arcs"));
    const QJsonArray all = arcsValue.toArray();
    arcs->points.reserve(all.size());
    qsizetype total = 0;
    for (const QJsonValue &arcValue : all) {
        const QJsonArray arc = arcValue.toArray();
        if (arc.size() < 2)
            return fail(why, QStringLiteral("arc %1 has fewer than two positions").arg(arcs->points.size()));
        QVector<QPointF> points;
        points.reserve(arc.size());
        double x = 0, y = 0;
        for (const QJsonValue &posValue : arc) {
            const QJsonArray pos = posValue.toArray();
            if (pos.size() < 2)
                return fail(why, QStringLiteral("arc %1 has a position without two numbers").arg(arcs->points.size()));
            const double px = pos.at(0).toDouble(NAN), py = pos.at(1).toDouble(NAN);
            if (!std::isfinite(px) || !std::isfinite(py))
                return fail(why, QStringLiteral("arc %1 has a position that is not a number").arg(arcs->points.size()));
            if (quantised) {
                x += px;
                y += py;
                points.append(QPointF(x * sx + tx, y * sy + ty));
            } else {
                points.append(QPointF(px, py));
            }
        }
        total += points.size();
        arcs->points.append(std::move(points));
    }
    if (total > MaxPoints)
        return fail(why, QStringLiteral("the arcs hold too many points"));
    return true;
}

// One ring from its arc indices. A negative index i is arc ~i walked
// backwards; every arc after the first starts where the last one ended, so
// its first point is dropped.
bool buildRing(const Arcs &arcs, const QJsonArray &indices, bool wrap, Ring *ring, qsizetype *budget,
               int *closed, QString *why)
{
    const qsizetype arcCount = arcs.points.size();
    for (const QJsonValue &v : indices) {
        const double d = v.toDouble(NAN);
        if (!v.isDouble() || d != std::floor(d) || d < -double(arcCount) || d >= double(arcCount))
            return fail(why, QStringLiteral("a ring names an arc that is not there"));
        const qsizetype i = qsizetype(d);
        const bool reversed = i < 0;
        const QVector<QPointF> &arc = arcs.points.at(reversed ? ~i : i);
        *budget -= arc.size();
        if (*budget < 0)
            return fail(why, QStringLiteral("the counties hold too many points"));
        const qsizetype n = arc.size();
        for (qsizetype k = ring->points.isEmpty() ? 0 : 1; k < n; ++k) {
            QPointF p = arc.at(reversed ? n - 1 - k : k);
            if (wrap && p.x() > 0)
                p.rx() -= 360;
            ring->points.append(p);
        }
    }
    if (ring->points.isEmpty())
        return fail(why, QStringLiteral("a ring has no arcs"));
    if (ring->points.first() != ring->points.last()) {
        ring->points.append(ring->points.first());
        ++*closed;
    }
    return true;
}

bool buildPolygon(const Arcs &arcs, const QJsonArray &rings, bool wrap, County *county, qsizetype *budget,
                  int *closed, QString *why)
{
    if (rings.isEmpty())
        return fail(why, QStringLiteral("county %1 has a polygon without rings").arg(county->id));
    bool first = true;
    for (const QJsonValue &r : rings) {
        if (!r.isArray())
            return fail(why, QStringLiteral("county %1 has a ring that is not a list of arcs").arg(county->id));
        Ring ring;
        ring.hole = !first;
        if (!buildRing(arcs, r.toArray(), wrap, &ring, budget, closed, why))
            return why ? (why->append(QStringLiteral(" (county %1)").arg(county->id)), false) : false;
        // Simplifying the boundaries shrank some islands and slivers to a
        // line or a point: no area, nothing to draw or hit. A polygon whose
        // outer ring is gone goes with its holes.
        const bool degenerate = ring.points.size() < 4;
        county->holes += !first;
        if (first && degenerate) {
            // Where it was, for a county left with no outline at all.
            if (!ring.points.isEmpty() && county->speck.isNull())
                county->speck = ring.points.first();
            return true;
        }
        if (!degenerate)
            county->rings.append(std::move(ring));
        first = false;
    }
    ++county->polygons;
    return true;
}

bool isCode(const QString &id)
{
    if (id.size() != 5)
        return false;
    for (QChar c : id)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The geometries of one object of the topology ("counties", "states").
QJsonArray geometriesOf(const QJsonObject &topo, const char *object)
{
    return topo.value(QLatin1String("objects"))
        .toObject()
        .value(QLatin1String(object))
        .toObject()
        .value(QLatin1String("geometries"))
        .toArray();
}

} // namespace

bool Atlas::read(const QByteArray &json, QString *why)
{
    *this = Atlas();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull())
        return fail(why, QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset));
    const QJsonObject topo = doc.object();
    if (topo.value(QLatin1String("type")).toString() != QLatin1String("Topology"))
        return fail(why, QStringLiteral("not a TopoJSON topology"));
    const QJsonArray geometries = geometriesOf(topo, "counties");
    if (geometries.isEmpty())
        return fail(why, QStringLiteral("the topology has no counties"));
    Arcs arcs;
    if (!decodeArcs(topo, &arcs, why))
        return false;

    Atlas atlas;
    qsizetype budget = MaxPoints;
    atlas.m_counties.reserve(geometries.size());
    for (const QJsonValue &gv : geometries) {
        const QJsonObject g = gv.toObject();
        County county;
        county.id = g.value(QLatin1String("id")).toString();
        if (!isCode(county.id))
            return fail(why, QStringLiteral("a county's code \"%1\" is not five digits").arg(county.id.left(12)));
        if (atlas.m_byId.contains(county.id))
            return fail(why, QStringLiteral("county %1 is there twice").arg(county.id));
        county.name = g.value(QLatin1String("properties")).toObject().value(QLatin1String("name")).toString();
        const bool wrap = county.state() == QLatin1String("02");
        const QString type = g.value(QLatin1String("type")).toString();
        const QJsonArray parts = g.value(QLatin1String("arcs")).toArray();
        if (type == QLatin1String("Polygon")) {
            if (!buildPolygon(arcs, parts, wrap, &county, &budget, &atlas.m_closedByReader, why))
                return false;
        } else if (type == QLatin1String("MultiPolygon")) {
            county.multiPolygon = true;
            for (const QJsonValue &p : parts)
                if (!buildPolygon(arcs, p.toArray(), wrap, &county, &budget, &atlas.m_closedByReader, why))
                    return false;
        } else {
            // Empty geometries carry no shape; anything else is not a county.
            if (type.isEmpty() || type == QLatin1String("null"))
                continue;
            return fail(why, QStringLiteral("county %1 is a %2, not a polygon").arg(county.id, type.left(20)));
        }
        // A county whose every island shrank to nothing (Falls Church,
        // Virginia, two square miles) keeps a speck a few hundred metres
        // across where its outline was: the map then draws it as the dot it
        // draws for every county too small to see, instead of calling a
        // listed county "not on the map".
        if (county.rings.isEmpty() && !county.speck.isNull()) {
            constexpr double r = 0.003;   // degrees
            const QPointF c = county.speck;
            Ring speck;
            speck.points = {QPointF(c.x() - r, c.y()), QPointF(c.x(), c.y() - r), QPointF(c.x() + r, c.y()),
                            QPointF(c.x(), c.y() + r), QPointF(c.x() - r, c.y())};
            county.rings.append(speck);
        }
        double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
        for (const Ring &ring : std::as_const(county.rings))
            for (const QPointF &p : ring.points) {
                x0 = std::min(x0, p.x());
                x1 = std::max(x1, p.x());
                y0 = std::min(y0, p.y());
                y1 = std::max(y1, p.y());
            }
        if (x0 <= x1)
            county.bounds = QRectF(QPointF(x0, y0), QPointF(x1, y1));
        const int index = int(atlas.m_counties.size());
        atlas.m_byId.insert(county.id, index);
        atlas.m_byState[county.state()].append(index);
        if (!county.bounds.isNull()) {
            QRectF &sb = atlas.m_stateBounds[county.state()];
            sb = sb.isNull() ? county.bounds : sb.united(county.bounds);
        }
        atlas.m_counties.append(std::move(county));
    }
    // The states' outlines, where the file has them: the same arcs as the
    // counties' edges, so a state border lies exactly on its counties'.
    const QJsonArray states = geometriesOf(topo, "states");
    int closedStateRings = 0;   // the counties' count is the one kept
    for (const QJsonValue &gv : states) {
        const QJsonObject g = gv.toObject();
        County state;
        state.id = g.value(QLatin1String("id")).toString();
        if (state.id.size() != 2 || !isCode(state.id + QStringLiteral("000")))
            return fail(why, QStringLiteral("a state's code \"%1\" is not two digits").arg(state.id.left(12)));
        const bool wrap = state.id == QLatin1String("02");
        const QString type = g.value(QLatin1String("type")).toString();
        const QJsonArray parts = g.value(QLatin1String("arcs")).toArray();
        if (type == QLatin1String("Polygon")) {
            if (!buildPolygon(arcs, parts, wrap, &state, &budget, &closedStateRings, why))
                return false;
        } else if (type == QLatin1String("MultiPolygon")) {
            for (const QJsonValue &p : parts)
                if (!buildPolygon(arcs, p.toArray(), wrap, &state, &budget, &closedStateRings, why))
                    return false;
        } else if (!type.isEmpty() && type != QLatin1String("null")) {
            return fail(why, QStringLiteral("state %1 is a %2, not a polygon").arg(state.id, type.left(20)));
        }
        atlas.m_stateRings.insert(state.id, std::move(state.rings));
    }
    *this = std::move(atlas);
    return true;
}

const County *Atlas::county(const QString &id) const
{
    const int i = indexOf(id);
    return i < 0 ? nullptr : &m_counties.at(i);
}

const County *Atlas::countyForCode(const QString &code) const
{
    if (code.size() != 6 || !code.at(0).isDigit())
        return nullptr;
    return county(code.mid(1));
}

QStringList Atlas::neighbourhood(const QString &state, double margin) const
{
    if (!m_stateBounds.contains(state))
        return {};
    const QRectF home = m_stateBounds.value(state);
    const double mx = std::max(1.0, home.width() * margin), my = std::max(1.0, home.height() * margin);
    const QRectF near = home.adjusted(-mx, -my, mx, my);
    QStringList result{state};
    for (auto it = m_stateBounds.cbegin(); it != m_stateBounds.cend(); ++it) {
        if (it.key() == state || !near.intersects(it.value()))
            continue;
        // Bounds meet more often than outlines: keep a state only when one of
        // its counties comes near.
        for (int i : m_byState.value(it.key())) {
            if (near.intersects(m_counties.at(i).bounds)) {
                result << it.key();
                break;
            }
        }
    }
    return result;
}

const Atlas &builtIn()
{
    static const Atlas atlas = [] {
        Atlas a;
        QFile file(QStringLiteral(":/counties/counties-10m.json"));
        if (file.open(QIODevice::ReadOnly)) {
            QString why;
            if (!a.read(file.readAll(), &why))
                qWarning("county boundaries: %s", qPrintable(why));
        }
#ifdef __GLIBC__
        // Decoding the JSON took some ten megabytes in small pieces, now
        // free but held by the allocator between the atlas's own blocks;
        // give the pages back, or the editor keeps them for the whole run.
        malloc_trim(0);
#endif
        return a;
    }();
    return atlas;
}

QString stateCodeOf(int stateId)
{
    // In the order of the state list (StateDatabase::stateList()).
    static const char *const codes[] = {
        "01", "02", "04", "05", "06", "08", "09", "10", "12", "13", "15", "16", "17", "18",
        "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31", "32",
        "33", "34", "35", "36", "37", "38", "39", "40", "41", "42", "44", "45", "46", "47",
        "48", "49", "50", "51", "53", "54", "55", "56", "66", "69", "72", "78",
    };
    static_assert(sizeof codes / sizeof *codes == 54);
    if (stateId < 0 || stateId >= 54)
        return QString();
    return QString::fromLatin1(codes[stateId]);
}

} // namespace CountyAtlas
