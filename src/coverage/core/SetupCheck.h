// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CoverageChanges.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

struct EventCatalog;
struct ReceiverSetup;

// The stored setup held against the coverage listing in use. A receiver
// programmed for a transmitter that no longer broadcasts stays silent when
// it should sound, so what this finds is shown wherever the setup is looked
// at or sent: the main window, the county and transmitter windows, the
// update summary, every transfer and `nx4400c-cli check`. Every place shows
// the same sentences, made here.
namespace SetupCheck {

enum class Severity {
    Notice,    // worth knowing; the receiver works as set up
    Warning,   // part of the setup does nothing (a county, an event code)
    Serious,   // the receiver will hear nothing from its transmitter
};
QString severityName(Severity s);   // "notice", "warning", "serious"

enum class Kind {
    TransmitterGone,          // no transmitter of the listing has its call sign
    TransmitterOutOfService,
    TransmitterDegraded,
    TransmitterRetuned,       // same call sign, another frequency
    TransmitterRenamed,       // same call sign and frequency, another field
    CountyNotCovered,         // a selected county the transmitter does not cover
    CountyUnknown,            // a selected county in no state file
    EventUnknown,             // a selected event code not in the catalogue
};
QString kindName(Kind k);           // "transmitterGone", ...

struct Finding {
    Kind kind;
    Severity severity;
    QString subject;   // the call sign, county code or event code
    QString text;      // one plain sentence
};

// A transmitter of the listing that covers some of the selected counties.
struct Suggestion {
    QString field;       // as the transmitter list shows it
    QString callsign;
    QString site;
    QString frequency;
    int covered = 0;     // selected counties it covers
    int selected = 0;    // selected counties in all
    // "KZZ99 Newtown 162.450 covers 2 of your 7 counties"
    QString text() const;
};

struct Report {
    QString transmitter;        // the stored field, simplified; empty when none is chosen
    QString callsign;           // its call sign, as far as it can be told
    int selectedCounties = 0;
    QString retunedTo;          // the frequency a retuned transmitter has now
    QVector<Finding> findings;  // transmitter first, then counties, then events
    QVector<Suggestion> suggestions;   // best first

    bool isClean() const { return findings.isEmpty(); }
    bool hasSerious() const;
    // One sentence over everything found: "Your transmitter KIH42 is gone; 7
    // of your counties are affected", or "Your setup matches the coverage
    // listing." when nothing was found.
    QString headline() const;
    // The findings the headline does not already say, one sentence each.
    QStringList details() const;
    // The headline, the other findings and the suggestions as lines, for a
    // banner, a question or the command line.
    QStringList lines() const;
    // The question before a transfer of a setup with a serious finding.
    QString transferQuestion() const;
    // {"schema": "nx4400c-check", "version": 1, ...}
    QJsonObject json() const;
};

constexpr int JsonVersion = 1;
constexpr int MaxSuggestions = 5;

// The check itself: `listing` is the listing in use (its state files and
// transmitter table), `setup` the stored choice.
Report check(const CoverageChanges::Side &listing, const ReceiverSetup &setup, const EventCatalog &catalog);
// The same against the listing in `statesFolder`.
Report checkFolder(const QString &statesFolder, const ReceiverSetup &setup, const EventCatalog &catalog);

// Whether a stored transmitter field names a transmitter the listing does
// not have at all (the windows mark it "gone").
bool isGone(const Report &report);

} // namespace SetupCheck
