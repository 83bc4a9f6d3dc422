// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// A SAME header as transmitters send it:
//
//   ZCZC-ORG-EEE-PSSCCC-PSSCCC+TTTT-JJJHHMM-LLLLLLLL-
//
// ORG the originator (EAS, CIV, WXR, PEP), EEE the event code, one to 31
// location codes (P the part of the county, SS the state, CCC the county),
// TTTT the purge time (hours and minutes), JJJHHMM the day of the year and
// UTC time of issue, LLLLLLLL the sender. The editor's own test packets
// write the issue time "JJJ-HHMM" and stop there, without a sender; that
// one form is accepted too, because a receiver under test hears it.
//
// The decoder reports nothing that does not parse here, so the rules are
// strict: a header damaged by a bit error must fail rather than come out as
// a different, well-formed header wherever the structure can tell. A field
// that has the right form but a value out of range (issue day 000, hour 25)
// still parses: bursts that agree on it were sent that way, so the alert is
// kept, with `note` naming the field.
struct SameHeader {
    QByteArray text;          // "ZCZC-...-", exactly as decoded
    QString originator;
    QString event;
    QStringList locations;    // "PSSCCC"
    int purgeMinutes = 0;
    int issueDay = 0;         // 1..366
    int issueHour = 0;
    int issueMinute = 0;
    QString sender;           // empty for the test-packet form
    QString note;             // the field out of range, when one is ("issue day 000 is not 001 to 366")

    QString purgeText() const;   // "hh:mm"
    // The time of issue in UTC. The header has no year: it is the one that
    // puts the day closest to `heard`, so a header from December 31 heard on
    // January 1 belongs to the year before. Invalid when the issue day or
    // time is out of range.
    QDateTime issueTime(const QDateTime &heard) const;
    // The end of the purge time, from issueTime().
    QDateTime endTime(const QDateTime &heard) const;
};

enum class SameParse { Incomplete, Complete, Invalid };

// Parses the start of `bytes`. Complete: *length is the header's length and
// *out (when given) its fields. Incomplete: every byte so far fits, more are
// needed. Invalid: a byte cannot belong to a header.
SameParse parseSameHeader(const QByteArray &bytes, int *length = nullptr, SameHeader *out = nullptr);

// The longest header: 31 locations and a sender.
constexpr int SameMaxHeaderBytes = 252;
