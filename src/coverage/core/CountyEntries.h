// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// County entries and county lines.
//
// A county entry is what the county window lists: FIP code in columns 1-6,
// two blanks, the county name up to column 30, a blank, the state name from
// column 32 ("012011  Broward                Florida"). A county line is what
// FipEntries holds: "X " (selected) or two blanks, then the entry.
namespace CountyEntries {

constexpr int MaxSelected = 24;     // the receiver alerts for at most 24 counties
constexpr int FipLength = 6;
constexpr int CountyMaxLength = 22;
// The longest state name an entry can carry ("District Of Columbia").
constexpr int StateMaxLength = 20;

struct Item {
    QString text;
    bool checked = false;

    bool operator==(const Item &o) const { return text == o.text && checked == o.checked; }
};

// The county list as start-up fills it from FipEntries: empty lines skipped;
// a line beginning "X " gives its characters 3 to 53, checked; a line
// beginning with two blanks gives the rest of the line, unchecked (the
// parameter file reader normally drops those blanks already); any other line
// is taken whole, unchecked.
QVector<Item> itemsFromFipEntries(const QStringList &fipEntries);

enum class StoreResult { Stored, TooManySelected };

// Rewrites `fipEntries` (resized to `lineCount`) from the list: "X " or two
// blanks before each entry, in list order. More than 24 checked entries are
// refused before anything is touched. A list longer than the lines available
// keeps every checked entry and as many unchecked ones as fit, in list order,
// so a selection is never lost.
StoreResult storeItems(const QVector<Item> &items, QStringList &fipEntries, int lineCount = 99);
int countChecked(const QVector<Item> &items);

// The entry the editor builds: trimmed code, two blanks, trimmed county name,
// blanks up to 31 characters (a longer text gets none), trimmed state name.
QString ConstructOutString(const QString &fip, const QString &county, const QString &state);

// The three boxes of the editor for an entry: characters 1-6, 9-31 and 32 to
// the end; the names trimmed, the code as it stands.
struct Boxes {
    QString fip;
    QString county;
    QString state;
};
Boxes FillBoxes(const QString &entry);

// The question before removing an entry: it names the code and the start of
// the county name (the first 28 characters, trimmed).
QString removeQuestion(const QString &entry);

} // namespace CountyEntries
