// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/TransmitterTable.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// What an imported listing changes against the listing in use.
// Transmitters are matched by call sign, so a
// retuned or renamed transmitter is one transmitter that changed, not one
// removed and one added.
namespace CoverageChanges {

// The state files of one listing and its transmitter table.
struct Side {
    QVector<QStringList> stateLines;                 // by StateID
    QHash<QString, TransmitterInfo> transmitters;    // by field
};

// Who covers what in one listing, by call sign and by county code.
struct Index {
    QHash<QString, QString> fieldOf;            // call sign -> field (trimmed)
    QHash<QString, QString> rawField;           // call sign -> field as in the files
    QHash<QString, QSet<QString>> countyCalls;  // code -> call signs that cover it
    QHash<QString, QString> countyName;         // code -> "Adams (Ohio)"
    QHash<QString, QSet<QString>> fieldCounties;   // trimmed field -> codes
};
Index indexOf(const Side &side);

struct Summary {
    QStringList added;          // "KXX99  Newtown (OH) 162.400"
    QStringList removed;
    QStringList retuned;        // "KIH42  Akron: 162.400 -> 162.475"
    QStringList renamed;        // same call sign and frequency, another field
    QStringList outOfService;   // every transmitter out of service in the new listing
    QStringList degraded;
    QStringList countiesChanged;   // "039001 Adams (Ohio): +KZZ50 -KZZ49"
    int transmittersBefore = 0;
    int transmittersAfter = 0;

    // The whole summary as plain text; at most `maxPerList`
    // entries of each list (0: all), with "... and N more".
    QString text(int maxPerList = 0) const;
};

// The call sign of a transmitter field: the table's, else columns 49-54 of
// the line (characters 19-24 of the field).
QString callsignOf(const QString &field, const QHash<QString, TransmitterInfo> &table);
// The site of a transmitter field as a person reads it: without the
// frequency and, when the field carries it, the call sign ("Covington").
QString siteOf(const QString &field, const QString &call);

// What changed between two listings. What the change means for the user's
// own setup is the setup check's (SetupCheck.h) to say.
Summary compare(const Side &before, const Side &after);

// A listing's side: the files and table in a folder, or an import's result.
Side sideOf(const QString &folder);

// The six-digit codes of the checked lines ("X " + entry) of FipEntries.
QStringList selectedCodes(const QStringList &fipEntries);

} // namespace CoverageChanges
