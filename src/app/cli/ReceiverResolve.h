// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one place where nx4400c-cli turns `--receiver NAME` into a receiver:
// its device, where its setup is kept and the time zone its dates are shown
// in. The names come from the fleet file (--fleet FILE, else the one the
// settings store names under [Fleet]/File); without --receiver a command
// works on the editor's setup, as it always has.

#include "app/cli/CliCommand.h"
#include "config/core/ReceiverSetupFiles.h"

#include <QList>
#include <QString>
#include <QStringList>

class QTextStream;
class Services;
struct FleetReceiver;
struct ReceiverSetup;
namespace SetupCheck { struct Report; }

struct CliReceiver {
    QString name;               // the fleet's name; empty: the editor's setup
    QString device;             // the fleet's device; empty: the settings' port
    ReceiverSetupPlace place;   // its profile, or the editor's setup
    QString zone;               // the IANA zone its dates are shown in
    QString fleetFile;

    bool isEditors() const { return name.isEmpty(); }
    // " --receiver gym", to complete a command suggested for this receiver;
    // empty for the editor's setup.
    QString option() const;
    // "the editor's setup: settings FILE, parameter file DAT" or
    // "receiver gym: profile FILE", the first line of a command that edits.
    QString described(const Services &services) const;
};

// The options --receiver NAME and --fleet FILE (both also as --x=VALUE),
// taken out of `args`; the other arguments stay in order. Returns -1 when
// fine, else the exit code after a message on `err` beginning "COMMAND: ".
int takeReceiverOptions(const QString &command, QStringList &args, QString *receiver, QString *fleet,
                        QTextStream &err);

// The receiver `name` of the fleet file `fleet` (when empty, the stored
// one). False with one sentence when there is no fleet file, the file is
// refused or it names no such receiver.
bool resolveReceiver(const Services &services, const QString &name, const QString &fleet, CliReceiver *receiver,
                     QString *why);
// Every receiver of the fleet file `fleet` (when empty, the stored one).
bool resolveFleet(const Services &services, const QString &fleet, QList<CliReceiver> *receivers, QString *why);
// The editor's setup as a receiver without a name.
CliReceiver editorsReceiver(const Services &services);

// The zone the alert record keeps for the receiver `name`, once it keeps
// one; empty until then, and the receiver's setup or the computer decides.
QString storedReceiverZone(const QString &name);
// The receiver's zone: the alert record's, else its setup's TimeZoneName,
// else the computer's own.
QString receiverZone(const QString &name, const QString &setupZone);

// Reads the receiver's setup into `setup` and settles its zone. False after
// a line on `err` ("COMMAND: why"); a missing parameter file names init.
bool loadCliReceiverSetup(Services &services, CliReceiver &receiver, ReceiverSetup &setup, const QString &command,
                          QTextStream &err);

// The commands that mend what `report` found for `receiver`, whole, as the
// user types them: "nx4400c-cli setup transmitter --receiver gym KZZ99".
QStringList fixCommands(const SetupCheck::Report &report, const CliReceiver &receiver);

// The options as the command table declares them; `what` ends the
// sentence of --receiver ("Edits the setup of ...").
CliOption receiverCliOption(const QString &help);
CliOption fleetCliOption(const QString &help = QString());
