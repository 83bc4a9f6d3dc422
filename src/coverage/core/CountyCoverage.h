// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Which transmitters cover which counties, from the 54 state files: the map
// shades a transmitter's counties and names the transmitters of a county
// under the mouse. Counties are five-digit codes (a partial county counts as
// the whole); transmitters are their fields trimmed (" Columbus  KIG86
// 162.550" -> "Columbus  KIG86  162.550"). Lines the scans of the state
// database pass over are passed over here too.
class CountyCoverage
{
public:
    // Reads every state file in `statesFolder`; a file that cannot be read
    // is left out and named in `unreadable`.
    void load(const QString &statesFolder);
    bool isEmpty() const { return m_byTransmitter.isEmpty(); }

    // The five-digit codes the transmitter (its field, trimmed or not) covers.
    QSet<QString> countiesOf(const QString &transmitter) const;
    // The transmitter fields (untrimmed, as the transmitter table keys them)
    // that cover a five-digit code, in state file order.
    QStringList transmittersOf(const QString &county) const { return m_byCounty.value(county); }
    // The county entry a state file gives for a six-digit code ("039049
    // Franklin               Ohio"), or empty.
    QString entryFor(const QString &code) const { return m_entries.value(code); }

    QStringList unreadable;

private:
    QHash<QString, QSet<QString>> m_byTransmitter;
    QHash<QString, QStringList> m_byCounty;
    QHash<QString, QString> m_entries;
};
