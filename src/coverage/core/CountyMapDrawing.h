// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CountyEntries.h"
#include "coverage/core/CountyMapModel.h"
#include "coverage/core/TransmitterTable.h"

#include <QFont>
#include <QHash>
#include <QPainterPath>
#include <QSet>
#include <QStringList>
#include <QTransform>

class CountyCoverage;
class QPainter;

// How a map is drawn.
struct CountyMapOptions {
    bool interactive = true;     // "Selected" in the legend
};

// The county map as a picture, apart from any window: what it shows (the
// state and its neighbours, the transmitter's counties, the county list and
// which entries are checked, the transmitters), where it looks (scale and
// centre) and how it is drawn. The map window draws through it, and so do a
// saved map and the printed coverage page, which need no window (the
// command-line tool prints the page too). QtGui only.
class CountyMapDrawing
{
public:
    // Counties smaller than this many pixels across get a dot, so that a
    // selected island or city is seen.
    static constexpr double SmallCountyPixels = 8;
    // Transmitters other than the chosen one are named from this zoom on
    // (pixels per kilometre).
    static constexpr double LabelScale = 0.9;

    using Options = CountyMapOptions;

    void setAtlas(const CountyAtlas::Atlas *atlas) { m_atlas = atlas; }
    const CountyAtlas::Atlas *atlas() const { return m_atlas; }
    void setCoverage(const CountyCoverage *coverage);
    const CountyCoverage *coverage() const { return m_coverage; }
    void setTransmitterTable(const QHash<QString, TransmitterInfo> &table) { m_transmitters = table; }
    const QHash<QString, TransmitterInfo> &transmitterTable() const { return m_transmitters; }

    // False when the state is the one shown already.
    bool setState(const QString &stateCode);
    QString state() const { return m_model.state(); }
    void setStateName(const QString &name) { m_stateName = name; }
    QString stateName() const { return m_stateName; }
    // False when the transmitter is the one shown already.
    bool setTransmitter(const QString &field);
    QString transmitter() const { return m_transmitter; }
    void setListed(const QVector<CountyEntries::Item> &items);
    // Channels on which the monitor heard a message ("162.550"): their
    // transmitters' marks get a ring.
    void setHeardFrequencies(const QSet<QString> &frequencies) { m_heard = frequencies; }
    bool heardOn(const QString &field) const;

    const CountyMap::Model &model() const { return m_model; }
    bool isSelected(const QString &id) const { return m_selectedIds.contains(id); }
    int selectedCount() const;
    int listedCount() const { return int(m_entries.size()); }
    int notDrawnListed() const { return m_notDrawnListed; }
    int notDrawnSelected() const { return m_notDrawnSelected; }

    // The view: pixels per kilometre and the projected point at the middle.
    double scale() const { return m_scale; }
    QPointF centre() const { return m_centre; }
    void setView(double scale, const QPointF &centre);
    QTransform transform(const QSizeF &area) const;
    // What Fit frames: the state, every selected county and every county
    // the transmitter covers or the list holds.
    QRectF fitBounds() const;
    // Frames fitBounds() in `area` with a margin.
    void fit(const QSizeF &area);

    // Texts.
    QString noteText() const;
    bool overLimit() const { return selectedCount() > CountyEntries::MaxSelected; }
    QString summary() const;
    QString countyToolTip(const QString &id) const;
    // The six-digit code with the state's name: "Lewis, Kentucky  021135".
    QString countyTitle(int shape) const;
    QString transmitterToolTip(const QString &field) const;
    // The transmitter whose mark is under `pos` in `area`, or empty.
    QString transmitterAt(const QPointF &pos, const QSizeF &area) const;
    // The chosen transmitter as a caption: "KIH42 Covington, KY, 162.550 MHz".
    QString transmitterCaption() const;
    // The selected counties, in list order: code, name and state.
    struct Selected {
        QString code, name, state;
    };
    QVector<Selected> selectedCounties() const { return m_selected; }

    // A county's outline on the widget for hover and highlight: its pieces
    // large enough to see, or a ring round its dot when none is.
    QPainterPath outlineOf(int shape, const QSizeF &area) const;
    // Counties drawn with a dot at this size (selected or covered, smaller
    // than SmallCountyPixels).
    QStringList smallCounties(const QSizeF &area) const;

    // The transmitters' marks and their names in `area`, as drawn: the
    // chosen one large and always named; the others small and muted, and
    // named only from LabelScale on; no name over any mark or other name.
    struct MarkLayout {
        struct Mark {
            QString field;
            QString name;         // the call sign
            QPointF centre;
            double radius = 0;
            bool chosen = false;
            bool muted = false;
            bool inService = true;
            QRectF box() const { return QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius); }
        };
        struct Label {
            QString text;
            QRectF box;
            bool chosen = false;
        };
        QVector<Mark> marks;      // in drawing order: the chosen one last
        QVector<Label> labels;
    };
    MarkLayout markLayout(const QSizeF &area, const QFont &font) const;

    // The counties, state borders, dots and transmitters in `area`.
    void paintMap(QPainter &p, const QSizeF &area, const Options &options = {}) const;
    // The legend: its height for a width, and drawn into `box`.
    int legendHeight(double width, const QFont &font, const Options &options = {}) const;
    void paintLegend(QPainter &p, const QRectF &box, const QFont &font, const Options &options = {}) const;
    // Map and legend below it, the whole in `size`; the legend's height.
    int paintWithLegend(QPainter &p, const QSizeF &size, const QFont &font, const Options &options = {}) const;

private:
    enum class Kind { Neighbour, Home, Covered, Selected };
    Kind kindOf(int shape) const;
    void updateNotes();
    struct LegendItem {
        QString text;
        int swatch;   // 0 selected, 1 covered, 2 home, 3 neighbour, 4 marker, 5 out of service
    };
    QVector<LegendItem> legendItems(const Options &options) const;
    QVector<const TransmitterInfo *> markers() const;
    void paintMarkers(QPainter &p, const QSizeF &area) const;
    QVector<QPolygonF> largeRings(int shape, const QTransform &t) const;

    const CountyAtlas::Atlas *m_atlas = nullptr;
    const CountyCoverage *m_coverage = nullptr;
    QHash<QString, TransmitterInfo> m_transmitters;
    CountyMap::Model m_model;
    QVector<QPainterPath> m_paths;
    QVector<double> m_largestRing;    // kilometres across the largest ring
    QVector<QPainterPath> m_stateRings;
    QVector<QRectF> m_stateRingBounds;
    QString m_stateName;
    QString m_transmitter;
    QSet<QString> m_heard;            // channels the monitor heard ("162.550")
    QSet<QString> m_covered;          // five-digit codes
    struct Entry {
        QString id;                   // five digits, empty for a code that is not digits
        bool checked = false;
    };
    QVector<Entry> m_entries;         // the county list, in order
    QSet<QString> m_listedIds;
    QSet<QString> m_selectedIds;
    QVector<Selected> m_selected;
    int m_notDrawnListed = 0;
    int m_notDrawnSelected = 0;
    double m_scale = 1;
    QPointF m_centre;
};
