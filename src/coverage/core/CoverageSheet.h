// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CountyMapDrawing.h"

#include <QDate>
#include <QFont>
#include <QLocale>
#include <QPageSize>
#include <QStringList>
#include <QVector>

class CountyCoverage;
struct EventCatalog;
class QPagedPaintDevice;
class QPainter;

// The county map as a site keeps it: a saved picture (caption, map and
// legend, the selected counties beside the map) and the printed coverage
// page (the same, with the transmitters covering each selected county, the
// event codes chosen and the receiver's options). The printed page goes to
// any paged device: a printer, CUPS or PDF alike. QtGui only, so that the
// command-line tool prints the same page the editor does.
namespace CoverageSheet {

// The caption: state, transmitter (call sign, place, frequency), the
// listing in use and its date, and the date the picture was made.
QStringList caption(const CountyMapDrawing &map, const QString &listing, const QDate &made);

// The selected counties, one line each: "039061  Hamilton, Ohio".
QStringList countyLines(const CountyMapDrawing &map);

// A picture of a map `mapSize` large: its size, and painted.
QSizeF pictureSize(const CountyMapDrawing &map, const QSizeF &mapSize, const QStringList &caption, const QFont &font);
void paintPicture(QPainter &p, const CountyMapDrawing &map, const QSizeF &mapSize, const QStringList &caption,
                  const QFont &font, const CountyMapDrawing::Options &options = {});

struct Page {
    QStringList caption;
    QStringList events;       // "TOR  Tornado Warning"
    QStringList options;      // one line each, "Speaker: on"
};

// The chosen event codes (the receiver's event slots) with their names:
// "TOR Tornado Warning".
QStringList eventLines(const EventCatalog &catalog, const QStringList &selection);

// The selected counties with the transmitters that cover each:
// "039061  Hamilton, Ohio", "KIH42 Covington 162.550, ...".
QVector<QPair<QString, QString>> countiesWithTransmitters(const CountyMapDrawing &map);

// Prints the coverage page: always one sheet, the map shrinking first and
// then the type when the lists are long. The map is framed anew for the
// page; `map` is not changed. False with a reason when the device cannot
// be painted on.
bool print(QPagedPaintDevice &device, const CountyMapDrawing &map, const Page &page, QString *why = nullptr);

// What a stored receiver setup prints from, in plain values (the settings
// live in the config subsystem, which fills this).
struct Source {
    QString statesFolder;         // the listing in use
    QString listing;              // its description, for the caption
    QDate made;
    int stateId = -1;             // position in the state list
    QString transmitter;          // the transmitter field
    QStringList fipEntries;       // the 99 county lines
    QStringList eventSelection;   // the event slots
    QStringList options;          // the option summary
    const EventCatalog *catalog = nullptr;
    // The sheet: a printer's own paper when left invalid, otherwise this
    // (defaultPaper for a PDF file).
    QPageSize paper;
};

// The paper a page goes on when no printer says: Letter in the United
// States (a locale that measures in inches), A4 elsewhere.
QPageSize defaultPaper(const QLocale &locale);
// Every printed page has at least this margin all round, more where the
// printer cannot print closer to the edge.
inline constexpr double MarginMm = 15;
// Sets `paper` (when valid), portrait, and the margins on `device`.
void setUpPage(QPagedPaintDevice &device, const QPageSize &paper);

// The map of a stored setup: its state, transmitter and county lines, with
// the coverage and transmitters of the listing in `statesFolder`.
// `coverage` must outlive `map`.
void setUpMap(CountyMapDrawing &map, CountyCoverage &coverage, const Source &source);

// Prints the coverage page of a stored setup: the editor's File > Print
// Coverage... and the command-line tool's `coverage print` both come here,
// so both give the same sheet: the paper and margins of setUpPage, one
// page.
bool printSetup(QPagedPaintDevice &device, const Source &source, QString *why = nullptr);

} // namespace CoverageSheet
