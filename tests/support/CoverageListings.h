// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small county coverage listings written in NOAA's three shapes, for the
// importer's tests and the end-to-end test. A row is the fifteen values in
// the order of CoverageListing::Field, as raw bytes (so that a test can put
// text that is not UTF-8 into one).

#include <QByteArray>
#include <QList>
#include <QVector>

namespace CoverageListings {

using Row = QList<QByteArray>;   // ST, STATE, COUNTY, SAME, SITENAME, SITELOC, SITESTATE, FREQ, CALLSIGN, LAT, LON, PWR, STATUS, WFO, REMARKS
enum class Shape { CclJs, CclDataJs, Csv };

inline const char *const kNames[15] = {"ST", "STATE", "COUNTY", "SAME", "SITENAME", "SITELOC", "SITESTATE", "FREQ",
                                       "CALLSIGN", "LAT", "LON", "PWR", "STATUS", "WFO", "REMARKS"};

inline Row row(const char *st, const char *county, const char *same, const char *site, const char *siteState,
               const char *freq, const char *call, const char *status = "NORMAL", const char *remarks = "")
{
    return Row{st, "", county, same, site, site, siteState, freq, call, "39.1", "-83.5", "1000", status, "Wilmington|OH",
               remarks};
}

inline QByteArray quoted(const QByteArray &v)
{
    QByteArray q = v;
    q.replace("\\", "\\\\").replace("\"", "\\\"");
    return '"' + q + '"';
}

// The listing's bytes; *lines gets the input line (1-based) of each row.
inline QByteArray write(Shape shape, const QList<Row> &rows, QVector<int> *lines = nullptr)
{
    QByteArray out;
    int line = 0;
    auto add = [&](const QByteArray &l) {
        out += l + '\n';
        ++line;
    };
    if (lines)
        lines->clear();
    switch (shape) {
    case Shape::CclJs:
        add("// NOAA Weather Radio county coverage listing");
        add("// Updated: December 1 2026");
        for (const char *n : kNames)
            add(QByteArray("var ") + n + " = new Array();");
        for (int i = 0; i < rows.size(); ++i) {
            if (lines)
                lines->append(line + 1);
            for (int f = 0; f < 15; ++f)
                add(QByteArray(kNames[f]) + '[' + QByteArray::number(i) + "] = " + quoted(rows.at(i).value(f)) + ';');
        }
        break;
    case Shape::CclDataJs:
        // One object per row: a transmitter that covers one county each
        // time keeps the row order and the line of each row plain.
        add("// ccl-data.js, updated December 1 2026");
        add("var cclData = [");
        for (int i = 0; i < rows.size(); ++i) {
            const Row &r = rows.at(i);
            add("  {callsign: " + quoted(r.value(8)) + ", sitename: " + quoted(r.value(4)) + ", siteloc: "
                + quoted(r.value(5)) + ", sitestate: " + quoted(r.value(6)) + ", freq: " + quoted(r.value(7))
                + ", lat: " + (r.value(9).isEmpty() ? QByteArray("null") : r.value(9))
                + ", lon: " + (r.value(10).isEmpty() ? QByteArray("null") : r.value(10)) + ", status: " + quoted(r.value(12))
                + ", power: " + quoted(r.value(11)) + ", wfo: " + quoted(r.value(13)) + ",");
            add("   counties: [");
            if (lines)
                lines->append(line + 1);
            add("     {\"county\": " + quoted(r.value(2)) + ", \"same\": " + quoted(r.value(3)) + ", \"st\": "
                + quoted(r.value(0)) + ", \"state\": " + quoted(r.value(1)) + ", \"remarks\": " + quoted(r.value(14)) + "}");
            add("  ]},");
        }
        add("];");
        break;
    case Shape::Csv: {
        // Spreadsheets put the columns in their own order.
        const int order[15] = {8, 4, 7, 0, 3, 2, 1, 5, 6, 9, 10, 11, 12, 13, 14};
        QByteArray head;
        for (int k = 0; k < 15; ++k)
            head += (k ? "," : "") + QByteArray(kNames[order[k]]).toLower();
        add(head);
        for (const Row &r : rows) {
            if (lines)
                lines->append(line + 1);
            QByteArray l;
            for (int k = 0; k < 15; ++k) {
                QByteArray v = r.value(order[k]);
                if (v.contains(',') || v.contains('"'))
                    v = '"' + v.replace("\"", "\"\"") + '"';
                l += (k ? "," : "") + v;
            }
            add(l);
        }
        break;
    }
    }
    return out;
}

} // namespace CoverageListings
