// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "coverage/core/CountyEntries.h"

class Prompter;
struct EventCatalog;
struct ReceiverSetup;

// The choices the transmitter, county and event windows make, without the
// windows: the command line (nx4400c-cli setup) and the windows both come
// here, so that the same choice writes the same settings, county lines and
// event slots.
namespace SetupChoice {

// The StateID a text names: its number (0 to 53), its name in the state list
// ("Ohio", any letter case) or its two-letter postal code ("OH"); -1 for
// anything else.
int stateIdNamed(const QString &text);

// The transmitter list of a state as the transmitter window shows it:
// every transmitter of the state's file once, sorted by site the way a
// person looks a town up in an index. `filter` is the frequency listing
// filter (0: all). False when the state's file cannot be read (the prompter
// has said so); the list then holds what was read.
bool transmitterList(Prompter &prompter, const QString &folder, int filter, int stateId, QStringList *list);
void sortTransmitters(QStringList *list);

// The field of `list` that `wanted` names: its call sign ("KIH42"), the
// field itself, or its location ("Covington", or the start of it when only
// one location starts so), letter case ignored. Empty, with *why said, when
// none or several match.
QString findTransmitter(const QStringList &list, const QString &wanted, QString *why);

// Confirming a transmitter: it becomes TransmitterLocation, the stored
// county lines are emptied, and *counties gets every county it covers in all
// states (county entries, to be listed unchecked). False when a state file
// could not be read; what was found stays in *counties.
bool chooseTransmitter(Prompter &prompter, const QString &folder, ReceiverSetup &setup, const QString &field,
                       QStringList *counties);

// The county list after a new transmitter is confirmed: every county it
// covers, ticked where the user had ticked the same county code before.
// *dropped gets the ticked codes the new transmitter does not cover.
QVector<CountyEntries::Item> keepTicks(const QStringList &counties, const QStringList &tickedCodes,
                                       QStringList *dropped);
// One sentence for the user about that: "WXJ46 Dayton covers 2 of your 8
// ticked counties; they stay ticked, 6 were dropped." `field` is the
// transmitter list's field.
QString keptTicksText(const QString &field, int kept, int dropped);

// The county entry of a code from the state files ("039001  Adams
// Ohio"), the first line naming it; empty when no file has it.
QString countyEntryOf(const QString &folder, const QString &code);

// The selected event codes in slot order, and the selection rewritten from
// a set of codes in catalogue order, as the event window's OK writes it.
// Codes not in the catalogue are left out. False (selection untouched) when
// more than the receiver holds are given.
QStringList selectedEvents(const QStringList &selection);
bool storeEvents(const EventCatalog &catalog, const QStringList &codes, QStringList &selection);

} // namespace SetupChoice
