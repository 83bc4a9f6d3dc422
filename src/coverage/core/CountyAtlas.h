// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

// The county boundaries the map draws: the Census Bureau's 2017 counties as
// TopoJSON (us-atlas 3.0.1, compiled in as :/counties/counties-10m.json).
//
// A county is known by its five-digit code ("39049"): the receiver's
// six-digit code without its first digit, which only marks a part of the
// county (0 = all of it), so "039049" and "139049" share one outline.
// Coordinates are longitude and latitude in degrees. Alaska's are wrapped
// across 180°: its islands east of the meridian get longitudes below -180, so
// Aleutians West is one piece, not two at the edges of the world.
namespace CountyAtlas {

struct Ring {
    QVector<QPointF> points;     // closed: the last point repeats the first
    bool hole = false;           // a hole of the polygon before it
};

struct County {
    QString id;                  // five digits, "39049"
    QString name;                // as published, UTF-8 ("Doña Ana"); no "County"
    QVector<Ring> rings;         // outer rings and holes of every polygon
    int polygons = 0;            // with an area (some islands shrank to nothing)
    bool multiPolygon = false;   // a MultiPolygon in the file
    int holes = 0;               // holes in the file, those shrunk to nothing included
    QRectF bounds;               // longitude (x) and latitude (y)
    QPointF speck;               // a county whose outline shrank to nothing: where it was

    QString state() const { return id.left(2); }
};

class Atlas
{
public:
    // Reads a TopoJSON topology's "counties" object. False with a reason for
    // anything that is not one: bad JSON, an arc index out of range, a
    // geometry that is not a polygon, a code that is not five digits. Nothing
    // in the file can make the reader crash or run without end.
    bool read(const QByteArray &json, QString *why = nullptr);

    int countyCount() const { return int(m_counties.size()); }
    const QVector<County> &counties() const { return m_counties; }
    // Index of the county with five-digit `id`, or -1.
    int indexOf(const QString &id) const { return m_byId.value(id, -1); }
    const County *county(const QString &id) const;
    // For a six-digit receiver code ("139049"): its county, whatever the first digit.
    const County *countyForCode(const QString &code) const;

    // The two-digit state codes present, and each state's counties and bounds.
    QStringList states() const { return m_stateBounds.keys(); }
    QVector<int> countiesOf(const QString &state) const { return m_byState.value(state); }
    QRectF stateBounds(const QString &state) const { return m_stateBounds.value(state); }
    // The state and the states whose outlines come within `margin` of it
    // (a share of its own size, at least a degree), the state first.
    QStringList neighbourhood(const QString &state, double margin = 0.15) const;

    // A state's own outline (the topology's "states" object), for the heavy
    // state borders of the map; empty when the file has none.
    QVector<Ring> stateOutline(const QString &state) const { return m_stateRings.value(state); }

    // Rings the file left open, which the reader closed.
    int closedByReader() const { return m_closedByReader; }

private:
    QVector<County> m_counties;
    QHash<QString, int> m_byId;
    QHash<QString, QVector<int>> m_byState;
    QMap<QString, QRectF> m_stateBounds;
    QHash<QString, QVector<Ring>> m_stateRings;
    int m_closedByReader = 0;
};

// The atlas compiled into the program, read once on first use and shared
// (it never changes). Empty, never null, if the resource cannot be read.
const Atlas &builtIn();

// The two-digit state code of a StateID (the position in the state list),
// or empty.
QString stateCodeOf(int stateId);

} // namespace CountyAtlas
