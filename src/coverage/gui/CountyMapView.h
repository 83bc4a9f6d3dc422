// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CountyEntries.h"
#include "coverage/core/CountyMapModel.h"
#include "coverage/core/TransmitterTable.h"

#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QSet>
#include <QWidget>

class CountyCoverage;
class QPainter;

// The county map: the chosen state's counties with the states around it in
// grey, the counties the chosen transmitter covers shaded, the selected ones
// (checked in the county list) marked strongly, the transmitters where their
// positions are known. Wheel and drag zoom and pan; fit() returns to the
// state. It never changes the list itself: a click, or Space on the county
// highlighted with the arrow keys, asks its window to toggle the county
// (countyToggled), and the window hands the list back (setListed).
class CountyMapView : public QWidget
{
    Q_OBJECT

public:
    explicit CountyMapView(QWidget *parent = nullptr);

    // The boundaries (CountyAtlas::builtIn(), read on first use, unless a
    // test gives its own).
    void setAtlas(const CountyAtlas::Atlas *atlas);
    void setCoverage(const CountyCoverage *coverage);
    void setTransmitterTable(const QHash<QString, TransmitterInfo> &table);

    // The state shown (two-digit code); a new state is fitted.
    void setState(const QString &stateCode);
    QString state() const { return m_model.state(); }
    QString stateName() const { return m_stateName; }
    void setStateName(const QString &name);
    // The chosen transmitter (its field): its counties are shaded.
    void setTransmitter(const QString &field);
    // The county list as the window shows it.
    void setListed(const QVector<CountyEntries::Item> &items);
    // Whether clicks and Space ask for toggles (the transmitter window's
    // preview only shows).
    void setInteractive(bool on) { m_interactive = on; }

    void fit();
    void zoomBy(double factor, const QPointF &at);

    // Where a county's inside point is on the widget (for tests and keys);
    // (-1, -1) when it is not drawn.
    QPoint widgetPointOf(const QString &id) const;
    QPoint widgetPointAt(double lon, double lat) const;
    QString countyAt(const QPoint &widgetPos) const;
    QString highlighted() const;
    void setHighlighted(const QString &id);

    // Listed entries the map cannot draw: no outline (newer Alaska codes,
    // marine zones, codes that are not digits) or too far from the state.
    int notDrawnListed() const { return m_notDrawnListed; }
    int notDrawnSelected() const { return m_notDrawnSelected; }
    // One line for the user: state, how many selected, how many not drawn.
    QString noteText() const;
    // What a screen reader hears as the map's description: the counts and
    // the selected counties by name and code.
    QString summary() const;
    // The highlighted county, spoken as it moves: "Franklin, 039049, selected".
    QString highlightText() const;
    // Hover text of a county: name, six-digit code, covering transmitters.
    QString countyToolTip(const QString &id) const;

    // Paints the whole map, legend included, into `target` of `size`.
    void render(QPainter &painter, const QSize &size);

    const CountyMap::Model &model() const { return m_model; }

signals:
    void countyToggled(const QString &id);
    void highlightChanged(const QString &id);
    void contentChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    enum class Kind { Neighbour, Home, Covered, Selected };

    QTransform viewTransform(const QSizeF &size) const;
    Kind kindOf(int shape) const;
    void invalidate();
    void updateNotes();
    void paintBase(QPainter &p, const QSizeF &size) const;
    void paintOverlay(QPainter &p, const QSizeF &size) const;
    struct LegendItem {
        QString text;
        int swatch;   // 0 selected, 1 covered, 2 home, 3 neighbour, 4 marker, 5 out of service
    };
    QVector<LegendItem> legendItems() const;
    int legendHeight(double width) const;
    void paintLegend(QPainter &p, const QSizeF &size) const;
    void moveHighlight(double dx, double dy);
    void announceHighlight();

    const CountyAtlas::Atlas *m_atlas = nullptr;
    const CountyCoverage *m_coverage = nullptr;
    QHash<QString, TransmitterInfo> m_transmitters;
    CountyMap::Model m_model;
    QVector<QPainterPath> m_paths;
    QString m_stateName;
    QString m_transmitter;
    QSet<QString> m_covered;          // five-digit codes
    struct Entry {
        QString id;                   // five digits, empty for a code that is not digits
        bool checked = false;
    };
    QVector<Entry> m_entries;         // the county list, in order
    QSet<QString> m_listedIds;
    QSet<QString> m_selectedIds;
    QStringList m_selectedNames;      // "Franklin (039049)", list order
    int m_notDrawnListed = 0;
    int m_notDrawnSelected = 0;
    bool m_interactive = true;

    double m_scale = 1;               // pixels per kilometre
    QPointF m_centre;                 // projected point at the widget's centre
    bool m_fitted = false;
    int m_hover = -1;
    int m_highlight = -1;
    QPoint m_pressPos;
    QPointF m_pressCentre;
    bool m_pressed = false;
    bool m_dragging = false;
    mutable QImage m_base;            // the counties, redrawn when the view changes
};

// Saves the map as PNG, or SVG when the name ends in ".svg", through the
// atomic writer. False with a sentence for the user when it cannot.
bool saveCountyMap(CountyMapView &map, const QString &path, QString *why = nullptr);
