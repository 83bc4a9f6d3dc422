// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QMap>
#include <QString>

#include <cmath>

// What NOAA's county coverage listing says about each transmitter, beyond
// what fits in a state file line. It lies beside the 54 state files (file
// "transmitters.tsv" in the same folder) and is keyed by the transmitter
// field, columns 31-62 of a state file line, exactly as the transmitter list
// shows it. The shipped listing has no coordinates: latitude and longitude
// are NaN where unknown.
struct TransmitterInfo {
    QString field;          // the 32-character transmitter field
    QString callsign;       // "KIH42"
    QString siteName;       // NOAA's name of the site, uncut
    QString siteState;      // two letters of the transmitter's own state
    double latitude = std::nan("");
    double longitude = std::nan("");
    QString power;          // watts, as listed
    QString status;         // "NORMAL", "OUT OF SERVICE", "DEGRADED"
    QString wfo;            // forecast office, "Wilmington|OH"
    QMap<QString, QString> remarks;   // six-digit county code -> partial-coverage remark

    bool hasPosition() const { return !std::isnan(latitude) && !std::isnan(longitude); }
    bool inService() const { return status.isEmpty() || status == QLatin1String("NORMAL") || status == QLatin1String("DEGRADED"); }
};

namespace TransmitterTable {

inline const QString FileName = QStringLiteral("transmitters.tsv");

// Reads the table beside the state files in `statesFolder`. A missing table
// gives an empty result and true (the listing then only has what the state
// files hold); an unreadable or malformed one gives false and a reason.
bool load(const QString &statesFolder, QHash<QString, TransmitterInfo> *table, QString *why = nullptr);

// The table as text: a heading line starting "#", then one line per
// transmitter, sorted by field, with tab-separated columns
//   field, callsign, site name, site state, latitude, longitude, power,
//   status, forecast office, then one "CODE REMARK" column per county remark.
// Tabs and line breaks inside a text become blanks; an unknown position is
// an empty column.
QByteArray serialise(const QHash<QString, TransmitterInfo> &table);
// Reads that text; false and a reason ("line 12: ...") when a line is not a
// table line.
bool parse(const QByteArray &text, QHash<QString, TransmitterInfo> *table, QString *why = nullptr);
// Nothing larger is a transmitter table (the whole country is about 200 KB).
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

} // namespace TransmitterTable
