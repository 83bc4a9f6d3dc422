// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli log verify|export|history|unmerge|import: the alert database
// (alerts.db beside alerts.csv) as evidence. verify proves that no row was
// changed behind the program's back, export writes the CSV layout that
// spreadsheets read, history lists the renames and merges, unmerge undoes a
// merge, import brings an older version's CSV logs in.
#include "app/cli/CliCommand.h"

#include "history/core/AlertRecord.h"
#include "history/core/AlertStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

struct Options {
    QString db;          // --db FILE
    QString csv;         // --csv FILE: export's output, import's input
    QStringList receivers;
    QDate from;
    QDate to;
    QStringList words;   // plain arguments
};

int usage(const QString &command, const QString &why)
{
    QTextStream err(stderr);
    err << "nx4400c-cli " << command << ": " << why << '\n';
    int words = 0;
    if (const CliCommand *c = Cli::find(command.split(QLatin1Char(' ')), &words))
        err << Cli::usageOf(*c);
    return 2;
}

QString parse(const QStringList &args, Options &o)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString a = args.at(i);
        QString value;
        bool hasValue = false;
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && eq > 0) {
            value = a.mid(eq + 1);
            a = a.left(eq);
            hasValue = true;
        }
        auto take = [&]() {
            if (!hasValue && i + 1 < args.size()) {
                value = args.at(++i);
                hasValue = true;
            }
            return hasValue && !value.isEmpty();
        };
        QString why;
        if (a == QLatin1String("--db")) {
            if (!take())
                return QStringLiteral("--db needs a file name");
            o.db = value;
        } else if (a == QLatin1String("--csv")) {
            if (!take())
                return QStringLiteral("--csv needs a file name");
            o.csv = value;
        } else if (a == QLatin1String("--receiver")) {
            if (!take())
                return QStringLiteral("--receiver needs a receiver's name");
            o.receivers << value;
        } else if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
            if (!take())
                return QStringLiteral("%1 needs a date").arg(a);
            (a == QLatin1String("--from") ? o.from : o.to) = ParseAlertLogDateOption(a, value, &why);
            if (!why.isEmpty())
                return why;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return QStringLiteral("unexpected argument \"%1\"").arg(args.at(i));
        } else {
            o.words << args.at(i);
        }
    }
    return QString();
}

QString databaseOf(const Options &o)
{
    return o.db.isEmpty() ? AlertStore::DefaultPath() : o.db;
}

// Opens the database, which must exist: checking or exporting a record
// that is not there is an error, not an empty success.
bool openExisting(AlertStore &store, const Options &o, QTextStream &err)
{
    const QString file = databaseOf(o);
    QString why;
    if (file.isEmpty()) {
        err << "log: no data folder for the alert database (is HOME set?); name one with --db\n";
        return false;
    }
    if (!store.open(file, /*create*/ false, &why)) {
        err << "log: " << why << '\n';
        return false;
    }
    return true;
}

int runVerify(const Options &o)
{
    QTextStream err(stderr), out(stdout);
    if (!o.words.isEmpty())
        return usage(QStringLiteral("log verify"), QStringLiteral("unexpected argument \"%1\"").arg(o.words.first()));
    AlertStore store;
    if (!openExisting(store, o, err))
        return 1;
    QString problem;
    if (!store.integrityOk(&problem)) {
        err << "log verify: " << problem << '\n';
        return 1;
    }
    qint64 rows = 0;
    if (!store.verify(&rows, &problem)) {
        err << "log verify: " << problem << '\n';
        return 1;
    }
    out << QDir::toNativeSeparators(store.fileName()) << ": " << rows
        << " alert row(s), each as it was logged (the hash chain holds)\n";
    return 0;
}

int runExport(const Options &o)
{
    QTextStream err(stderr), out(stdout);
    if (o.csv.isEmpty())
        return usage(QStringLiteral("log export"), QStringLiteral("where to? (--csv FILE)"));
    if (!o.words.isEmpty())
        return usage(QStringLiteral("log export"), QStringLiteral("unexpected argument \"%1\"").arg(o.words.first()));
    if (o.from.isValid() && o.to.isValid() && o.from > o.to)
        return usage(QStringLiteral("log export"), QStringLiteral("--from is after --to"));
    AlertStore store;
    if (!openExisting(store, o, err))
        return 1;
    for (const QString &name : o.receivers) {
        if (!store.receiver(name)) {
            err << "log export: " << QDir::toNativeSeparators(store.fileName()) << " knows no receiver \"" << name
                << "\"\n";
            return 1;
        }
    }
    AlertQuery q;
    q.receivers = o.receivers;
    q.from = o.from;
    q.to = o.to;
    qint64 rows = 0;
    QString why;
    if (!store.exportCsv(o.csv, q, &rows, &why)) {
        err << "log export: " << why << '\n';
        return 1;
    }
    out << QDir::toNativeSeparators(o.csv) << ": " << rows << " alert row(s)\n";
    return 0;
}

int runHistory(const Options &o)
{
    QTextStream err(stderr), out(stdout);
    if (o.words.size() > 1)
        return usage(QStringLiteral("log history"), QStringLiteral("name at most one receiver"));
    AlertStore store;
    if (!openExisting(store, o, err))
        return 1;
    QString why;
    const QList<NameEvent> events = store.nameEvents(o.words.value(0), &why);
    if (!why.isEmpty()) {
        err << "log history: " << why << '\n';
        return 1;
    }
    for (const NameEvent &e : events) {
        out << e.when.toString(Qt::ISODate) << '\t' << e.action << '\t' << e.oldName << '\t' << e.newName;
        if (e.undone)
            out << "\t(undone)";
        out << '\n';
    }
    return 0;
}

int runUnmerge(const Options &o)
{
    QTextStream err(stderr), out(stdout);
    if (o.words.size() != 1)
        return usage(QStringLiteral("log unmerge"), QStringLiteral("name the receiver that was merged"));
    AlertStore store;
    if (!openExisting(store, o, err))
        return 1;
    QString message;
    if (store.unmerge(o.words.first(), &message) != AlertStore::RenameResult::Done) {
        err << "log unmerge: " << message << '\n';
        return 1;
    }
    out << message << '\n';
    return 0;
}

int runImport(const Options &o)
{
    QTextStream err(stderr), out(stdout);
    if (!o.words.isEmpty())
        return usage(QStringLiteral("log import"), QStringLiteral("unexpected argument \"%1\"").arg(o.words.first()));
    if (o.receivers.size() > 1)
        return usage(QStringLiteral("log import"), QStringLiteral("name the one receiver of a six-column log"));
    const QString csv = o.csv.isEmpty() ? DefaultAlertLogPath() : o.csv;
    if (csv.isEmpty())
        return usage(QStringLiteral("log import"), QStringLiteral("no data folder (is HOME set?); name the log with --csv"));
    if (!QFileInfo::exists(csv)) {
        err << "log import: " << QDir::toNativeSeparators(csv) << ": there is no alert log\n";
        return 1;
    }
    AlertStore store;
    QString why;
    const QString db = o.db.isEmpty() ? AlertStore::PathForLog(csv) : o.db;
    if (!store.open(db, /*create*/ true, &why)) {
        err << "log import: " << why << '\n';
        return 1;
    }
    const AlertStore::Import im = store.importCsv(csv, TransferLogPathFor(csv), o.receivers.value(0));
    if (!im.ok) {
        err << "log import: " << im.error << '\n';
        return 1;
    }
    if (im.done) {
        out << QDir::toNativeSeparators(db) << " holds its rows already; nothing was imported\n";
        return 0;
    }
    if (im.torn + im.skipped > 0)
        err << "log import: " << im.torn + im.skipped << " row(s) of " << QDir::toNativeSeparators(csv)
            << " cut off or unreadable were left out" << (im.firstProblem.isEmpty() ? QString() : QStringLiteral(" (first: %1)").arg(im.firstProblem))
            << '\n';
    out << QDir::toNativeSeparators(db) << ": " << im.rows << " alert row(s) and " << im.transfers
        << " transfer(s) imported; " << QDir::toNativeSeparators(csv) << " is left as it was\n";
    return 0;
}

int run(const QString &sub, const QStringList &args)
{
    Options o;
    const QString why = parse(args, o);
    if (!why.isEmpty())
        return usage(QStringLiteral("log ") + sub, why);
    if (sub == QLatin1String("verify"))
        return runVerify(o);
    if (sub == QLatin1String("export"))
        return runExport(o);
    if (sub == QLatin1String("history"))
        return runHistory(o);
    if (sub == QLatin1String("unmerge"))
        return runUnmerge(o);
    return runImport(o);
}

const CliOption kDb{QStringLiteral("--db"), QStringLiteral("FILE"),
                    QStringLiteral("The alert database; alerts.db in the data folder by default."), false,
                    QStringLiteral("file")};

const bool verified = Cli::add({
    QStringLiteral("log verify"),
    QStringLiteral("[--db FILE]"),
    QStringLiteral("Proves that every alert row is as it was logged."),
    QStringLiteral("Each alert row of the database carries a SHA-256 over its own columns and the hash of the row "
                   "before it. verify runs SQLite's integrity check and recomputes the chain from the first row: a "
                   "row changed, removed or put in by any other program breaks it, and the first such row is "
                   "named."),
    {kDb},
    {QStringLiteral("0\tevery row is as logged"),
     QStringLiteral("1\ta row was changed outside the program, or the database is missing or damaged"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log verify")},
    [](const QStringList &args) { return run(QStringLiteral("verify"), args); },
    44,
});
const bool exported = Cli::add({
    QStringLiteral("log export"),
    QStringLiteral("--csv FILE [--receiver NAME]... [--from DATE] [--to DATE] [--db FILE]"),
    QStringLiteral("Writes the alert rows to a CSV file in the alert log's layout."),
    QStringLiteral("The rows, in the order they were logged, each naming its receiver by its name today, under a "
                   "header row of eleven columns: LocalDateTime, Originator, EventCode, EventName, Class, Length, "
                   "Receiver, Locations, Header, Heard and Note (written without spaces). FILE is replaced only when "
                   "it is whole on disk."),
    {{QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("The CSV file to write."), false,
      QStringLiteral("file")},
     {QStringLiteral("--receiver"), QStringLiteral("NAME"), QStringLiteral("Only this receiver's rows."), true,
      QStringLiteral("none")},
     {QStringLiteral("--from"), QStringLiteral("DATE"), QStringLiteral("First day, YYYY-MM-DD."), false, QStringLiteral("none")},
     {QStringLiteral("--to"), QStringLiteral("DATE"), QStringLiteral("Last day, YYYY-MM-DD."), false, QStringLiteral("none")},
     kDb},
    {QStringLiteral("0\twritten"), QStringLiteral("1\tthe database is missing, the receiver unknown, or FILE could not be written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log export --csv alerts-2026.csv --from 2026-01-01")},
    [](const QStringList &args) { return run(QStringLiteral("export"), args); },
    45,
});
const bool history = Cli::add({
    QStringLiteral("log history"),
    QStringLiteral("[NAME] [--db FILE]"),
    QStringLiteral("Lists the renames, merges and unmerges of receivers."),
    QStringLiteral("One line per change, oldest first: the time (UTC), rename, merge or unmerge, the old name and the "
                   "new one; a merge that was undone says so. NAME keeps the changes that name it."),
    {{QStringLiteral("NAME"), QString(), QStringLiteral("Only the changes of this name."), false, QStringLiteral("none")},
     kDb},
    {QStringLiteral("0\tlisted"), QStringLiteral("1\tthe database is missing or cannot be read"), QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log history gym")},
    [](const QStringList &args) { return run(QStringLiteral("history"), args); },
    46,
});
const bool unmerged = Cli::add({
    QStringLiteral("log unmerge"),
    QStringLiteral("NAME [--db FILE]"),
    QStringLiteral("Undoes the last merge of the receiver that was called NAME."),
    QStringLiteral("The receiver takes its name back and its rows count as its own again; no row changes. Refused "
                   "when another receiver has taken the name since."),
    {{QStringLiteral("NAME"), QString(), QStringLiteral("The name the merged receiver had."), false, QStringLiteral("none")},
     kDb},
    {QStringLiteral("0\tundone"), QStringLiteral("1\tno merge of NAME is left to undo, its name is taken, or the database is missing"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log unmerge office")},
    [](const QStringList &args) { return run(QStringLiteral("unmerge"), args); },
    47,
});
const bool imported = Cli::add({
    QStringLiteral("log import"),
    QStringLiteral("[--csv FILE] [--receiver NAME] [--db FILE]"),
    QStringLiteral("Brings the CSV alert log and transfer log of an older version into the database."),
    QStringLiteral("Every layout the program ever wrote is read; the rows of a six-column log name NAME (unnamed when "
                   "none is given; log rename names it later). Rows cut off "
                   "by a crash or unreadable are left out and counted. All rows go in one transaction, and the CSV "
                   "files stay as they are. A database that holds rows already is left alone. The first transfer or "
                   "monitor run does the same by itself."),
    {{QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("The old alert log; alerts.csv in the data folder by default."),
      false, QStringLiteral("file")},
     {QStringLiteral("--receiver"), QStringLiteral("NAME"), QStringLiteral("The receiver the rows of a six-column log came from."),
      false, QStringLiteral("none")},
     kDb},
    {QStringLiteral("0\timported, or nothing to do"), QStringLiteral("1\tthe log is missing or could not be imported (nothing was)"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli log import --csv old/alerts.csv --receiver /dev/ttyUSB0")},
    [](const QStringList &args) { return run(QStringLiteral("import"), args); },
    48,
});

} // namespace
