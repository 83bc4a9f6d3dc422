// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A fleet file: the receivers a site looks after, one a line,
//
//   NAME DEVICE [PROFILE]
//
// NAME is how the receiver is known everywhere (result lines, trace
// headings, the alert log's Receiver column, the transfer log, the audit and
// its metrics), so its history stays one when its cable moves to another
// device. DEVICE is a device path or a device server's line; PROFILE a
// receiver profile sent to that receiver (relative to the fleet file's
// folder), or, when the line names none, the current setup. Fields are
// separated by blanks; "#" at the start of a field begins a comment that
// runs to the line's end; blank lines are ignored.
//
//   # rack A
//   north   /dev/serial/by-id/usb-FTDI_A1   north.nxprofile
//   harbour rfc2217://rack:4001                 # the editor's own setup

#include <QList>
#include <QString>
#include <QStringList>

class Services;

struct FleetReceiver {
    QString name;
    QString device;
    QString profile;   // absolute path; empty: the current setup
    int line = 0;      // 1-based, for messages
};

// The longest receiver name a fleet file may give.
inline constexpr int MaxReceiverNameLength = 64;

// A line of a fleet or device list without its comment ("#" at the start of
// a field), its line end and its outer blanks.
QString StripListComment(QString line);

// True when `name` may name a receiver: 1 to MaxReceiverNameLength printable
// characters, no blanks, no control characters, not starting with "#".
bool IsAcceptableReceiverName(const QString &name, QString *why = nullptr);

// Reads a fleet file. Refused, naming the file and the line: a file that is
// not a regular file of sane size, a line with fewer than two or more than
// three fields, a bad name or device, a name or a device given twice, a
// profile that is not a readable file. A file that names no receiver is
// refused too.
bool ReadFleetFile(const QString &path, QList<FleetReceiver> *receivers, QString *why);

// The receivers of `fleet` whose names are in `only` (all when `only` is
// empty), in the fleet's order. A name in `only` that the fleet lacks is
// refused with the fleet's names listed.
bool SelectFleetReceivers(const QList<FleetReceiver> &fleet, const QStringList &only,
                          QList<FleetReceiver> *chosen, QString *why);

// The fleet file used when a command or the editor is given none: the
// settings store's [Fleet]/File, kept in a section of its own beside the
// port map. Empty when none is set, which keeps the editor's single-receiver
// workflow.
QString StoredFleetFile(const Services &services);
// Stores `path` (absolute) as [Fleet]/File; an empty path forgets it.
bool StoreFleetFile(const Services &services, const QString &path, QString *why);
