// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>
#include <functional>

// NOAA's county coverage listing: one row per county and transmitter that
// covers it. The National Weather Service publishes it in two JavaScript
// shapes, and spreadsheet users save it as CSV:
//
//   CCL.js       fifteen parallel arrays, one value per line: ST[12] = "OH";
//   ccl-data.js  var cclData = [ {callsign: ..., counties: [{...}, ...]}, ... ];
//   CSV          a header row naming the fields, then one row per line
//
// Fields are recognised by their names (any letter case), never by their
// position. The reader only takes the text apart; what the values mean is
// the importer's business.
namespace CoverageListing {

enum Field {
    St,          // two-letter code of the county's state
    State,       // the state's name
    County,
    Same,        // six-digit code of the county
    SiteName,    // the transmitter's name, what the transmitter list shows
    SiteLoc,     // where it stands
    SiteState,   // two letters of the transmitter's own state
    Freq,        // "162.550"
    Callsign,
    Lat,
    Lon,
    Power,       // watts
    Status,      // "NORMAL", "OUT OF SERVICE", "DEGRADED"
    Wfo,         // forecast office, "Seattle|WA"
    Remarks,     // partial coverage, free text
    FieldCount
};

// The field a name stands for ("SITENAME", "sitename", "pwr", "power"), or
// FieldCount for a name that is none of them.
Field fieldNamed(const QString &name);
QString fieldName(Field f);

struct Row {
    std::array<QString, FieldCount> values;
    int line = 0;             // line of the input where the row starts (1 = first line)
    bool badText = false;     // a value came from a line that is neither UTF-8 nor Latin-1 text
    const QString &operator[](Field f) const { return values[size_t(f)]; }
    QString &operator[](Field f) { return values[size_t(f)]; }
};

enum class Shape { Unknown, CclJs, CclDataJs, Csv };
QString shapeName(Shape s);

struct Listing {
    Shape shape = Shape::Unknown;
    QVector<Row> rows;
    // Lines that were neither UTF-8 nor Latin-1 text (1 = first line).
    QVector<int> badTextLines;
    // Set when the text could not be taken apart at all (no shape recognised,
    // a CSV header naming no field, a script that does not parse); then rows
    // is empty.
    QString error;
    // "Updated: ..." or a similar date found in the header comments, else empty.
    QString date;
};

// Nothing larger is a coverage listing (the whole country is about 2 MB);
// reading more would only let a wrong file take the memory of the machine.
constexpr qint64 MaxBytes = 64 * 1024 * 1024;
// A CCL.js index beyond this is not a row of a real listing.
constexpr int MaxIndex = 1000000;

// Recognises the shape and reads the rows, in the order of the input.
Listing read(const QByteArray &bytes);

// The same, handing each row to `each` as soon as it is complete instead of
// keeping them (the result's rows stay empty): a large listing is then
// never held as rows. When the result has an error, the rows given so far
// are to be dropped.
using RowSink = std::function<void(Row &&row)>;
Listing scan(const QByteArray &bytes, const RowSink &each);

// One line of input as text: UTF-8 when it is valid UTF-8, else Latin-1
// unless it holds bytes that are no Latin-1 text (C1 controls 0x80-0x9F, or
// C0 controls other than tab). *ok is false for such a line; it is then
// decoded as Latin-1 anyway so that the rest of the row can still be named.
QString decodeLine(const char *data, qsizetype size, bool *ok);

} // namespace CoverageListing
