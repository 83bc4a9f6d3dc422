// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CountyEntries.h"
#include "coverage/core/CountyMapDrawing.h"
#include "coverage/core/CountyMapModel.h"
#include "coverage/core/TransmitterTable.h"

#include <QHash>
#include <QImage>
#include <QWidget>

class CountyCoverage;
class QPainter;

// The county map: the chosen state's counties with the states around it in
// grey, the counties the chosen transmitter covers shaded, the selected ones
// (checked in the county list) marked strongly, the transmitters where their
// positions are known, and the legend in a strip below the map. Wheel and
// drag zoom and pan; fit() frames the state with every selected and covered
// county. It never changes the list itself: a click, or Space on the county
// highlighted with the arrow keys, asks its window to toggle the county
// (countyToggled), and the window hands the list back (setListed). The
// drawing itself is CountyMapDrawing's, which saved and printed maps share.
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
    QString state() const { return m_draw.state(); }
    QString stateName() const { return m_draw.stateName(); }
    void setStateName(const QString &name);
    // The chosen transmitter (its field): its counties are shaded.
    void setTransmitter(const QString &field);
    // The county list as the window shows it.
    void setListed(const QVector<CountyEntries::Item> &items);
    // Whether clicks and Space ask for toggles (the transmitter window's
    // preview only shows).
    void setInteractive(bool on);

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
    int notDrawnListed() const { return m_draw.notDrawnListed(); }
    int notDrawnSelected() const { return m_draw.notDrawnSelected(); }
    // One line for the user: state, how many selected, how many not drawn.
    QString noteText() const { return m_draw.noteText(); }
    // More counties selected than the receiver takes.
    bool overLimit() const { return m_draw.overLimit(); }
    // What a screen reader hears as the map's description: the counts and
    // the selected counties by name and code.
    QString summary() const { return m_draw.summary(); }
    // The highlighted county, spoken as it moves: "Franklin, 039049, selected".
    QString highlightText() const;
    // Hover text of a county: name, six-digit code, covering transmitters.
    QString countyToolTip(const QString &id) const { return m_draw.countyToolTip(id); }

    // Hover text of a transmitter mark: call sign, place, frequency, status.
    QString transmitterToolTip(const QString &field) const { return m_draw.transmitterToolTip(field); }
    QString transmitterAt(const QPoint &widgetPos) const;
    // Selected or covered counties too small to see, drawn with a dot.
    QStringList smallCounties() const;
    // Where the counties are drawn, and the legend's strip below them.
    QRect mapArea() const;
    QRect legendRect() const;

    const CountyMap::Model &model() const { return m_draw.model(); }
    const CountyMapDrawing &drawing() const { return m_draw; }
    bool isInteractive() const { return m_interactive; }

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
    void invalidate();
    void updateNotes();
    void refitIfFitted();
    void moveHighlight(double dx, double dy);
    void announceHighlight();
    QSizeF areaSize() const;

    CountyMapDrawing m_draw;
    bool m_interactive = true;
    bool m_fitted = false;
    int m_hover = -1;
    int m_highlight = -1;
    QPoint m_pressPos;
    QPointF m_pressCentre;
    bool m_pressed = false;
    bool m_dragging = false;
    mutable QImage m_base;            // counties and legend, redrawn when the view changes
};

// Saves the map as PNG, or SVG when the name ends in ".svg", through the
// atomic writer: a caption above (state, transmitter, listing, date made),
// the map with its legend, and the selected counties beside it. False with a
// sentence for the user when it cannot.
bool saveCountyMap(const CountyMapView &map, const QStringList &caption, const QString &path, QString *why = nullptr);
