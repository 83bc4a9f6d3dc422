// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/AlertLog.h"

#include <QDate>
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
    // The transmitter the receiver is tuned to, as the coverage listing
    // writes it ("Covington        KIH42  162.550"); empty when not known.
    QString transmitter;

    // From the setup's county lines ("X 012011  Broward ...": only the
    // checked ones count), event slots and transmitter field.
    static ReceiverProgram fromSetup(const QStringList &fipEntries, const QStringList &eventSelection,
                                     const QString &transmitter = QString());

    // A header's location names this county: the same code, or the whole
    // county (part 0) or the whole state (county 000) that holds it.
    bool coversLocation(const QString &pssccc) const;
    bool takesEvent(const QString &event) const;
    // The receiver would have alerted for a header with these fields.
    bool alertsFor(const QString &event, const QStringList &headerLocations) const;
};

// One alert the monitor heard, with the locations of its header (a row of
// an older log has none, and then only its event is compared). It is
// matched against the receiver's history by the time it was heard, which is
// when the receiver would have alerted.
struct HeardAlert {
    AlertLogEntry entry;          // Receiver column = the monitor's source
    QStringList locations;        // PSSCCC, empty when not known
    // From a software radio: the channel it was heard on and the listing's
    // transmitters on it that cover the header ("KIH42 Covington 162.550").
    qint64 frequencyHz = 0;
    QStringList transmitters;
};

// The receiver is tuned to a transmitter that the monitor heard on another
// frequency: the listing the receiver was set up from is out of date, or the
// frequency was typed wrong, and the receiver hears another station or none.
struct TransmitterWarning {
    QString programmed;           // "KIH42 Covington 162.475"
    QString heard;                // "KIH42 Covington 162.550"
    int alerts = 0;               // heard from it on that frequency
    QDateTime last;               // the latest of them (issue time)
};

struct CrossCheckRow {
    HeardAlert heard;
    bool programmed = false;      // the receiver should have alerted
    bool countiesKnown = true;
    bool recorded = false;        // its history holds it
};

struct CrossCheckResult {
    QList<CrossCheckRow> rows;
    QList<TransmitterWarning> transmitterWarnings;
    int missed() const;           // programmed but not recorded
};

// For each heard alert: would the programmed receiver have alerted, and does
// its history (`recorded`, the receiver's own rows) hold the same event from
// the same originator within `slackMinutes` of the time it was heard?
// A recorded alert answers for one heard alert only. Heard alerts that name
// the receiver's transmitter (by call sign, or by site when the setup has no
// call sign) on another frequency give a warning each transmitter.
CrossCheckResult RunReceiverCrossCheck(const QList<HeardAlert> &heard, const QList<AlertLogEntry> &recorded,
                                       const ReceiverProgram &program, int slackMinutes = 10);

// Each transmitter warning as a sentence ("the receiver is tuned to ...").
QStringList TransmitterWarningTexts(const CrossCheckResult &result);
// The report: one line per "heard but not recorded", one per transmitter
// warning ("warning: " and the sentence), then a summary.
QString CrossCheckText(const CrossCheckResult &result);
// The same as JSON (docs/json/log-crosscheck.schema.json).
QByteArray CrossCheckJson(const CrossCheckResult &result, const QString &receiver, const QDate &from,
                          const QDate &to);

// Sorts a log's rows, read one at a time, for the cross-check of one
// receiver: the monitors' rows issued within [from, to] are what was heard
// (with the locations their rows carry), the receiver's own rows are its
// history. Nothing else is kept.
class CrossCheckCollector
{
public:
    CrossCheckCollector(const QString &receiver, const QDate &from, const QDate &to)
        : m_receiver(receiver), m_from(from), m_to(to) {}
    void add(const AlertLogEntry &e, qint64 frequencyHz = 0, const QString &transmitters = QString());
    const QList<HeardAlert> &heard() const { return m_heard; }
    const QList<AlertLogEntry> &recorded() const { return m_recorded; }
    // The receivers (not monitors) the log names, in the order first seen.
    const QStringList &receivers() const { return m_receivers; }

private:
    QString m_receiver;
    QDate m_from, m_to;
    QList<HeardAlert> m_heard;
    QList<AlertLogEntry> m_recorded;
    QStringList m_receivers;
};
