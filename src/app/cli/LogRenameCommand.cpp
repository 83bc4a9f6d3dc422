// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli log rename OLD NEW [--merge]: a receiver's history under one
// name when its name changes (its cable moved to another device, or a fleet
// file now names it). In the alert database only the receiver's name
// changes, never a row. A NEW that is known already is refused unless
// --merge is given, since a typo would otherwise hide one receiver's missed
// tests behind another's; a merge is recorded and `log unmerge` undoes it.
// The CSV logs of older versions beside it stay as they are.
#include "app/cli/CliCommand.h"

#include "history/core/AlertLog.h"
#include "history/core/AlertRecord.h"
#include "history/core/TransferLog.h"
#include "link/core/Fleet.h"

#include <QDir>
#include <QTextStream>

namespace {

int usage(const QString &why)
{
    QTextStream err(stderr);
    err << "nx4400c-cli log rename: " << why << '\n';
    int words = 0;
    if (const CliCommand *c = Cli::find({QStringLiteral("log"), QStringLiteral("rename")}, &words))
        err << Cli::usageOf(*c);
    return 2;
}

int runLogRename(const QStringList &args)
{
    QStringList names;
    QString log;
    bool merge = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--csv") || a.startsWith(QLatin1String("--csv="))) {
            if (a.contains(QLatin1Char('=')))
                log = a.section(QLatin1Char('='), 1);
            else if (i + 1 < args.size())
                log = args.at(++i);
            if (log.isEmpty())
                return usage(QStringLiteral("--csv needs a file name"));
        } else if (a == QLatin1String("--merge")) {
            merge = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("unexpected argument \"%1\"").arg(a));
        } else {
            names << a;
        }
    }
    if (names.size() != 2)
        return usage(QStringLiteral("name the receiver's old name and its new one"));
    QString why;
    // The new name must be one a fleet file could give, so that the logs
    // never hold a name no command can name again; the old one is whatever
    // the log holds.
    if (!IsAcceptableReceiverName(names.at(1), &why))
        return usage(why);
    if (names.at(0) == names.at(1))
        return usage(QStringLiteral("the old and the new name are the same"));
    if (log.isEmpty())
        log = DefaultAlertLogPath();
    if (log.isEmpty())
        return usage(QStringLiteral("no data folder for the default alert log (is HOME set?); name one with --csv"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    // Only the receiver's name changes, never a row.
    AlertStore store;
    if (!AlertRecord::open(store, log, QString(), &why)) {
        err << "log rename: " << why << '\n';
        return 1;
    }
    QString message;
    if (store.rename(names.at(0), names.at(1), merge, &message) != AlertStore::RenameResult::Done) {
        err << "log rename: " << message << '\n';
        return 1;
    }
    out << QDir::toNativeSeparators(store.fileName()) << ": " << message << '\n';
    return 0;
}

const bool renamed = Cli::add({
    QStringLiteral("log rename"),
    QStringLiteral("OLD NEW [--merge] [--csv FILE]"),
    QStringLiteral("Joins a receiver's history under a new name."),
    QStringLiteral("The receiver OLD is called NEW afterwards: run it when a receiver's cable moves to another "
                   "device, or when a fleet file gives a receiver a name. In the alert database (alerts.db) only the "
                   "name changes; no row does. A NEW that the database knows already is refused unless --merge is "
                   "given: OLD's rows then count as NEW's, the merge is recorded (log history) and log unmerge OLD "
                   "undoes it; an alert both receivers hold counts once. Names that begin with monitor: belong to "
                   "monitors: a receiver cannot take one and a monitor cannot lose it. The CSV logs of an older "
                   "version beside the database are imported first when the database is new, and left as they "
                   "are. NEW is one word of printable characters, as a fleet file's NAME."),
    {{QStringLiteral("OLD"), QString(), QStringLiteral("The name the rows hold now (the Receiver column)."), false,
      QStringLiteral("none")},
     {QStringLiteral("NEW"), QString(), QStringLiteral("The receiver's name from now on."), false, QStringLiteral("none")},
     {QStringLiteral("--merge"), QString(), QStringLiteral("NEW exists: count OLD's rows as NEW's (log unmerge undoes it)."),
      false, QString()},
     {QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("The alert log; the editor's by default."), false,
      QStringLiteral("file")}},
    {QStringLiteral("0\trenamed"), QStringLiteral("1\tOLD is unknown, NEW exists (without --merge) or is refused, or the database could not be written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log rename /dev/ttyUSB0 north"),
     QStringLiteral("nx4400c-cli log rename /dev/ttyUSB0 /dev/ttyUSB1 --csv district.csv")},
    [](const QStringList &args) { return runLogRename(args); },
    43,
});

} // namespace
