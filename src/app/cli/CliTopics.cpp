// SPDX-License-Identifier: GPL-3.0-or-later
// The files and environment variables that nx4400c-cli reads, for its manual
// page. A command that comes to read another one adds it here.
#include "app/cli/CliCommand.h"

namespace {

const bool files[] = {
    Cli::addFile({QStringLiteral("~/.config/NX4400C/NX4400C.ini"),
                  QStringLiteral("The editor's settings store, shared with the editor: the receiver's settings, the "
                                 "devices that ports 1 to 4 stand for (section Ports) and whether transfers are logged "
                                 "(section AlertLog). It is rewritten as a whole, never in place.")}),
    Cli::addFile({QStringLiteral("NX_4400C.DAT"),
                  QStringLiteral("The editor's parameter file in the current folder: the 99 county lines and the event "
                                 "codes that transfer, image and profile save send or read, and that profile load "
                                 "writes.")}),
    Cli::addFile({QStringLiteral("~/.local/share/NX4400C/alerts.csv"),
                  QStringLiteral("The alert log that the editor appends to and that log show and log audit read by "
                                 "default; transfer --csv appends to the file it is given. It is locked while written "
                                 "and only ever appended to.")}),
    Cli::addFile({QStringLiteral("*.nxprofile"),
                  QStringLiteral("Receiver profiles: one UTF-8 text file with a whole receiver setup.")}),
    Cli::addFile({QStringLiteral("/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyS*"),
                  QStringLiteral("The serial devices. Unless the settings store says otherwise, ports 1 to 4 are the "
                                 "first four that are present, USB adapters first. Their user must be in the group "
                                 "dialout.")}),
};

const bool variables[] = {
    Cli::addEnvironment({QStringLiteral("HOME"),
                         QStringLiteral("The settings store and the alert log are found under it. Without HOME (and "
                                        "XDG_CONFIG_HOME) the settings are neither read nor written, and the commands "
                                        "say so.")}),
    Cli::addEnvironment({QStringLiteral("XDG_CONFIG_HOME"),
                         QStringLiteral("The folder of the settings store, ~/.config when unset.")}),
    Cli::addEnvironment({QStringLiteral("XDG_DATA_HOME"),
                         QStringLiteral("The folder under which the alert log is kept, ~/.local/share when unset.")}),
    Cli::addEnvironment({QStringLiteral("TZ"),
                         QStringLiteral("The time zone in which alert times are shown; the system's when unset. The "
                                        "audit counts its weeks and months by the dates as logged, whatever TZ says.")}),
};

} // namespace
