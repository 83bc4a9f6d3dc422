// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/AlertLog.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The receiver against the air. The monitor hears every alert on the
// channel; the receiver alerts only for the counties and events it is
// programmed with, and keeps what it alerted for in its history. An alert
// that the receiver should have taken but that its history does not hold is
// a miss a station has to explain (47 CFR 11.35): the receiver was deaf,
// unplugged, or programmed wrong.

// What the receiver is programmed with.
struct ReceiverProgram {
    QStringList locations;   // PSSCCC codes of the checked counties
    QStringList events;      // event codes of the selection

    // From the setup's county lines ("X 012011  Broward ...": only the
    // checked ones count) and event slots.
    static ReceiverProgram fromSetup(const QStringList &fipEntries, const QStringList &eventSelection);

    // A header's location names this county: the same code, or the whole
    // county (part 0) or the whole state (county 000) that holds it.
    bool coversLocation(const QString &pssccc) const;
    bool takesEvent(const QString &event) const;
    // The receiver would have alerted for a header with these fields.
    bool alertsFor(const QString &event, const QStringList &headerLocations) const;
};

// One alert the monitor heard. Its alert log row carries no locations, so
// the monitor hands them over too; a heard alert read back from the log has
// none, and then only its event is compared.
struct HeardAlert {
    AlertLogEntry entry;          // Receiver column = the monitor's source
    QStringList locations;        // PSSCCC, empty when not known
};

struct CrossCheckRow {
    HeardAlert heard;
    bool programmed = false;      // the receiver should have alerted
    bool countiesKnown = true;
    bool recorded = false;        // its history holds it
};

struct CrossCheckResult {
    QList<CrossCheckRow> rows;
    int missed() const;           // programmed but not recorded
};

// For each heard alert: would the programmed receiver have alerted, and does
// its history (`recorded`, the receiver's own rows) hold the same event from
// the same originator within `slackMinutes` of the time it was heard?
// A recorded alert answers for one heard alert only.
CrossCheckResult RunReceiverCrossCheck(const QList<HeardAlert> &heard, const QList<AlertLogEntry> &recorded,
                                       const ReceiverProgram &program, int slackMinutes = 10);

// The report: one line per "heard but not recorded", then a summary.
QString CrossCheckText(const CrossCheckResult &result);
