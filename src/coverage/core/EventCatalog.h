// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"

#include <QString>
#include <QStringList>
#include <QVector>


// One SAME event code the editor offers: its display name and class (history
// view and report), and where its check box sits on the event window.
struct EventCatalogEntry {
    QString EventCode;                 // three upper-case letters
    QString name;                      // what GetEventName returns
    EventClass cls = EventClass::Other;
    int page = 1;                      // event window page, 1 or 2
    QString group;                     // caption of the frame holding the box
    QString caption;                   // caption of the check box
};

// The 47 offered codes in catalogue order, which is also the order in which
// the event window writes the selection. The table is fixed: it is filled
// when the catalogue is made, and InitEventCatalog refills it.
struct EventCatalog {
    EventCatalog();

    QVector<EventCatalogEntry> rows;

    // Exact, case-sensitive lookup; nullptr when the code is not offered.
    const EventCatalogEntry *find(const QString &code) const;
};

// Fills (or refills) the catalogue with the 47 rows.
void InitEventCatalog(EventCatalog &catalog);

// The display name and class of a received event code. The code is compared
// as a whole, exactly and case-sensitively; an unknown code (SVW, TOW, a
// lower-case code, the empty string) gives "Unknown Event Code" and Other.
// Either out-pointer may be null.
void GetEventName(const EventCatalog &catalog, const QString &code, QString *name, EventClass *cls);

// Event selection rules shared by the event window.
namespace EventSelectionRules {
constexpr int MaxSelected = 48;    // the receiver holds 48 codes
constexpr int ComparedSlots = 48;  // slots 0 to 47; slot 48 is never read or written here

// Whether `code` stands in one of slots 0 to 47, compared exactly.
bool MatchOk(const QStringList &selection, const QString &code);

// Rewrites slots 0 to 47 from the checked codes, which the caller gives in
// catalogue order. Refuses (returns false, selection untouched) more than 48.
bool StoreEventCodes(QStringList &selection, const QStringList &checkedCodes);
} // namespace EventSelectionRules
