// SPDX-License-Identifier: GPL-3.0-or-later
// The usage, options and manual text of nx4400c-cli log show, audit,
// crosscheck and upgrade (the commands themselves are in LogCommand.cpp).
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

namespace {
const CliOption kFrom{QStringLiteral("--from"), QStringLiteral("DATE"),
                      QStringLiteral("First day, YYYY-MM-DD (years 1900 to 9999)."), false, QStringLiteral("none")};
const CliOption kTo{QStringLiteral("--to"), QStringLiteral("DATE"),
                    QStringLiteral("Last day, YYYY-MM-DD; today by default. Not before --from."), false,
                    QStringLiteral("none")};
const CliOption kLog{QStringLiteral("--csv"), QStringLiteral("FILE"),
                     QStringLiteral("The alert log whose database (FILE's name with .db) is read; the editor's by "
                                    "default. A CSV log without a database is imported into one first."),
                     false, QStringLiteral("file")};
const CliOption kDb{QStringLiteral("--db"), QStringLiteral("FILE"),
                    QStringLiteral("The alert database to read; alerts.db in the data folder by default."), false,
                    QStringLiteral("file")};
const CliOption kReceiver{QStringLiteral("--receiver"), QStringLiteral("NAME"),
                          QStringLiteral("Only this receiver (the Receiver column: a device such as /dev/ttyUSB0, or a "
                                         "monitor source such as monitor:hw:1)."),
                          true, QStringLiteral("none")};

const bool shown = Cli::add({
    QStringLiteral("log show"),
    QStringLiteral("[--from DATE] [--to DATE] [--code CODES] [--receiver NAME]... [--json] [--csv FILE | --db FILE]"),
    QStringLiteral("Prints the alert log's rows, filtered."),
    QStringLiteral("Prints the rows of the alert database in the alert log's CSV layout, under its header, in the "
                   "order they were logged; each names its receiver by its name today.\n\n"
                   "--json prints one object (docs/json/log-show.schema.json) with every alert "
                   "shown: local time with its offset, the same in UTC, originator, event code and name, class, "
                   "length and receiver; a monitor's rows add their locations, whole header, the time heard and "
                   "any note (their time is the time of issue)."),
    {kFrom, kTo,
     {QStringLiteral("--code"), QStringLiteral("CODES"), QStringLiteral("Event codes, separated by commas."), false, QStringLiteral("none")},
     kReceiver,
     {QStringLiteral("--json"), QString(), QStringLiteral("Prints JSON instead of CSV."), false, QString()},
     kLog, kDb},
    {QStringLiteral("0\tprinted"),
     QStringLiteral("1\tthe database is missing or cannot be read, or it knows no receiver of that name"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log show --from 2026-03-01 --code TOR,SVR"),
     QStringLiteral("nx4400c-cli log show --receiver /dev/ttyUSB0 --json")},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("show")} + args); },
    40,
});
const bool audited = Cli::add({
    QStringLiteral("log audit"),
    QStringLiteral("--from DATE [--to DATE] [--receiver NAME]... [--exclude NAME]... [--monitors] [--format text|csv|openmetrics | --json] [--csv FILE | --db FILE] [--output FILE]"),
    QStringLiteral("Lists, per receiver, the weeks without a Required Weekly Test and the months without a Required Monthly Test."),
    QStringLiteral("Every receiver the alert database knows owes an RWT every week (Sunday to Saturday; an RMT "
                   "stands for its week's test) and an RMT every month of the period, from its first row on; a "
                   "receiver that never logged a row owes every one. Monitors are audited only with --monitors or "
                   "when named with --receiver, and reported in a group of their own (for a broadcaster, what the "
                   "monitor heard is the record 47 CFR 11.61 asks for). A monitor's alert counts on the day it was "
                   "issued; a test recording (monitor --test) never counts. A name given to --receiver or --exclude "
                   "that the database does not know is an error.\n\n"
                   "--format csv prints Receiver,Kind,Test,Start,End,Status,Tests; --json one object "
                   "(docs/json/log-audit.schema.json); --format openmetrics the metrics that "
                   "the Prometheus node exporter's textfile collector reads: per receiver the time of the last "
                   "RWT, RMT and alert (unix seconds, 0 for none) and the weeks and months missing in the period; "
                   "from the transfer log beside the alert log, per receiver the time of the last transfer, whether "
                   "it worked (1 or 0) and the failed transfers in all; ending with # EOF. --output FILE writes the "
                   "report to FILE whole (a temporary file renamed over it), so a collector never reads half of it; "
                   "the exit status is the same."),
    {kFrom, kTo, kReceiver,
     {QStringLiteral("--exclude"), QStringLiteral("NAME"), QStringLiteral("Leaves this receiver or monitor out (one taken out of service)."), true, QStringLiteral("none")},
     {QStringLiteral("--monitors"), QString(), QStringLiteral("Audits the monitors too."), false, QString()},
     {QStringLiteral("--format"), QStringLiteral("text|csv|openmetrics"), QStringLiteral("The report's form."), false,
      QStringLiteral("text|csv|openmetrics")},
     {QStringLiteral("--json"), QString(), QStringLiteral("Prints the report as JSON."), false, QString()},
     kLog, kDb,
     {QStringLiteral("--output"), QStringLiteral("FILE"),
      QStringLiteral("Writes the report to FILE atomically instead of standard output."), false,
      QStringLiteral("file")}},
    {QStringLiteral("0\tno receiver has a gap"),
     QStringLiteral("1\ta receiver has a gap, or the database is missing or cannot be read, a receiver it does not "
                    "know, or a report that could not be written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log audit --from 2026-01-01 --to 2026-03-31"),
     QStringLiteral("nx4400c-cli log audit --from 2026-01-01 --format openmetrics --output /var/lib/prometheus/node-exporter/nx4400c.prom")},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("audit")} + args); },
    41,
});
const bool crosschecked = Cli::add({
    QStringLiteral("log crosscheck"),
    QStringLiteral("[--receiver NAME] [--profile FILE] [--fleet FILE] [--from DATE] [--to DATE] [--json] [--csv FILE | --db FILE]"),
    QStringLiteral("Lists the alerts a monitor heard for the receiver's counties and events that the receiver's history lacks."),
    QStringLiteral("The monitors' rows of the log (Receiver monitor:...) are what was on the air; the receiver's rows "
                   "are what it alerted for. An alert heard for a county and event the receiver is programmed for, "
                   "with no row of the receiver for the same event from the same originator within ten minutes of "
                   "the time it was heard, is listed: the receiver was deaf, unplugged or programmed wrong. The "
                   "programming is the editor's setup, or a receiver profile with --profile. A database that knows "
                   "one receiver needs no --receiver; a receiver that never logged a row is checked as well. "
                   "--fleet FILE checks every receiver of a fleet file, each against its own profile, one line "
                   "each: NAME, then ok, missed and how many, or unknown for one the database has never seen. "
                   "--fleet FILE with --receiver NAME checks that receiver alone against its profile, as --profile "
                   "would. A receiver tuned to a transmitter that a software radio heard on another frequency "
                   "(matched by call sign, or by site when the setup has none) gets a warning line (with --fleet, "
                   "on standard error); a warning leaves the exit status alone.\n\n"
                   "--json prints one object (docs/json/log-crosscheck.schema.json)."),
    {kFrom, kTo, kReceiver,
     {QStringLiteral("--profile"), QStringLiteral("FILE"), QStringLiteral("The receiver's programming, from a profile instead of the editor's setup."), false, QStringLiteral("profile")},
     {QStringLiteral("--fleet"), QStringLiteral("FILE"), QStringLiteral("Checks every receiver of this fleet file."), false, QStringLiteral("file")},
     {QStringLiteral("--json"), QString(), QStringLiteral("Prints the result as JSON."), false, QString()},
     kLog, kDb},
    {QStringLiteral("0\tnothing is missing"),
     QStringLiteral("1\tan alert heard for the receiver is missing from its history, or the database or programming "
                    "could not be read, or a receiver the database does not know"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log crosscheck --receiver /dev/ttyUSB0 --from 2026-03-01")},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("crosscheck")} + args); },
    43,
});
const bool upgraded = Cli::add({
    QStringLiteral("log upgrade"),
    QStringLiteral("FILE [--receiver NAME]"),
    QStringLiteral("Rewrites an alert log of an older layout in the current one."),
    QStringLiteral("Every row gets the columns it lacks: in a six-column log, NAME, the receiver it came from, in the "
                   "Receiver column (--receiver is needed then); and the monitor's columns (Locations, Header, "
                   "Heard, Note), empty. The new file replaces the old one only when it is whole on disk, under the "
                   "log's lock; the old file is kept as FILE.bak, which must not exist yet (unless it is the log "
                   "itself, left by an upgrade that was stopped). Through a symbolic link, the file it leads to is "
                   "upgraded and FILE.bak keeps the original. A log in the current layout is left alone. A batch "
                   "transfer refuses a six-column log, and the monitor any older one, until it is upgraded."),
    {{QStringLiteral("FILE"), QString(), QStringLiteral("The alert log to upgrade."), false, QStringLiteral("file")},
     {QStringLiteral("--receiver"), QStringLiteral("NAME"), QStringLiteral("The receiver that the old rows came from."),
      false, QStringLiteral("none")}},
    {QStringLiteral("0\tupgraded, or nothing to do"), QStringLiteral("1\tthe log could not be upgraded; it is unchanged"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log upgrade ~/.local/share/NX4400C/alerts.csv --receiver /dev/ttyUSB0")},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("upgrade")} + args); },
    42,
});
} // namespace
