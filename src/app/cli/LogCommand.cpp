// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli log audit|show: the alert log that the editor and
// `transfer --csv` keep. "audit" checks that every week held a Required
// Weekly Test and every month a Required Monthly Test and exits 1 when one
// did not, for a monitoring system or a systemd unit to act on.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "history/core/AlertLog.h"
#include "history/core/AlertLogModel.h"
#include "history/core/RequiredTestAudit.h"

#include <QDate>
#include <QDir>
#include <QTextStream>

namespace {

void printUsage(QTextStream &s)
{
    s << "usage: nx4400c-cli log audit --from DATE [--to DATE] [--format text|csv] [--csv FILE]\n"
         "       nx4400c-cli log show [--from DATE] [--to DATE] [--code CODES] [--csv FILE]\n"
         "DATE is YYYY-MM-DD; --to defaults to today. FILE is the alert log, by default\n"
         "the editor's (" << QDir::toNativeSeparators(DefaultAlertLogPath()) << ").\n"
         "audit lists the weeks (Sunday to Saturday) without a Required Weekly Test and\n"
         "the months without a Required Monthly Test, and the days since the last of\n"
         "each. Exit status: 0 no gap, 1 a gap, 2 a usage error or an unreadable log.\n";
}

int usage(const QString &why)
{
    QTextStream err(stderr);
    err << "log: " << why << '\n';
    printUsage(err);
    return 2;
}

struct Options {
    QDate from;
    QDate to;
    bool toGiven = false;
    QString format = QStringLiteral("text");
    QString log;
    QString codes;
};

// Reads "--name VALUE" and "--name=VALUE"; returns an error text or empty.
QString parse(const QStringList &args, Options &o, bool *help)
{
    for (int i = 0; i < args.size(); ++i) {
        QString a = args.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            *help = true;
            return QString();
        }
        QString value;
        bool hasValue = false;
        const int eq = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && eq > 0) {
            value = a.mid(eq + 1);
            a = a.left(eq);
            hasValue = true;
        } else if (i + 1 < args.size()) {
            value = args.at(i + 1);
        }
        auto take = [&]() -> bool {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return false;
                ++i;
            }
            return true;
        };
        auto date = [&](QDate &d) -> QString {
            if (!take())
                return QStringLiteral("%1 needs a date").arg(a);
            d = QDate::fromString(value, Qt::ISODate);
            return d.isValid() ? QString() : QStringLiteral("%1: \"%2\" is not a date (YYYY-MM-DD)").arg(a, value);
        };
        QString why;
        if (a == QLatin1String("--from")) {
            why = date(o.from);
        } else if (a == QLatin1String("--to")) {
            why = date(o.to);
            o.toGiven = true;
        } else if (a == QLatin1String("--format")) {
            if (!take() || (value != QLatin1String("text") && value != QLatin1String("csv")))
                why = QStringLiteral("--format is text or csv");
            o.format = value;
        } else if (a == QLatin1String("--csv")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--csv needs a file name");
            o.log = value;
        } else if (a == QLatin1String("--code")) {
            if (!take())
                why = QStringLiteral("--code needs event codes");
            o.codes = value;
        } else {
            why = QStringLiteral("unexpected argument \"%1\"").arg(args.at(i));
        }
        if (!why.isEmpty())
            return why;
    }
    return QString();
}

bool readLog(const Options &o, AlertLogContent *content)
{
    QTextStream err(stderr);
    const QString path = o.log.isEmpty() ? DefaultAlertLogPath() : o.log;
    if (path.isEmpty()) {
        err << "log: no data folder for the default alert log (is HOME set?); name one with --csv\n";
        return false;
    }
    QString why;
    // A log that is not there yet is an error here: auditing nothing would
    // report every week as a gap for the wrong reason.
    if (!ReadAlertLog(path, content, &why, /*missingIsEmpty*/ false)) {
        err << "log: " << why << '\n';
        return false;
    }
    if (content->skipped > 0)
        err << "log: " << content->skipped << " row(s) of " << QDir::toNativeSeparators(path)
            << " could not be read and were left out\n";
    return true;
}

} // namespace

int runLogCommand(const QStringList &allArgs)
{
    QTextStream out(stdout);
    QStringList args = allArgs;
    if (args.isEmpty())
        return usage(QStringLiteral("audit or show?"));
    const QString sub = args.takeFirst();
    if (sub == QLatin1String("-h") || sub == QLatin1String("--help")) {
        printUsage(out);
        return 0;
    }
    if (sub != QLatin1String("audit") && sub != QLatin1String("show"))
        return usage(QStringLiteral("unknown command \"%1\"").arg(sub));
    Options o;
    bool help = false;
    const QString why = parse(args, o, &help);
    if (help) {
        printUsage(out);
        return 0;
    }
    if (!why.isEmpty())
        return usage(why);
    const QDate today = QDate::currentDate();
    if (!o.to.isValid())
        o.to = today;

    if (sub == QLatin1String("audit")) {
        if (!o.from.isValid())
            return usage(QStringLiteral("audit needs --from DATE"));
        if (o.from > o.to)
            return usage(QStringLiteral("--from is after --to"));
        AlertLogContent content;
        if (!readLog(o, &content))
            return 2;
        const RequiredTestAuditResult r = RunRequiredTestAudit(content.entries, o.from, o.to, today);
        out << (o.format == QLatin1String("csv") ? AuditCsv(r) : AuditText(r));
        return r.hasGaps() ? 1 : 0;
    }

    // show: the rows in the log's own format, filtered.
    AlertLogContent content;
    if (!readLog(o, &content))
        return 2;
    AlertLogModel model;
    model.setEntries(content.entries, content.receiverColumn);
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    AlertLogCriteria criteria;
    criteria.from = o.from;
    criteria.to = o.toGiven ? o.to : QDate();
    criteria.codes = o.codes;
    filter.setFilter(criteria);
    out << AlertLogText(filter.shownEntries(), content.receiverColumn);
    return 0;
}

namespace {
const CliOption kFrom{QStringLiteral("--from"), QStringLiteral("DATE"), QStringLiteral("First day, YYYY-MM-DD."), false, QStringLiteral("none")};
const CliOption kTo{QStringLiteral("--to"), QStringLiteral("DATE"), QStringLiteral("Last day, YYYY-MM-DD; today by default."), false, QStringLiteral("none")};
const CliOption kLog{QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("The alert log to read; the editor's by default."), false, QStringLiteral("file")};

const bool shown = Cli::add({
    QStringLiteral("log show"),
    QStringLiteral("[--from DATE] [--to DATE] [--code CODES] [--csv FILE]"),
    QStringLiteral("Prints the alert log's rows, filtered."),
    QString(),
    {kFrom, kTo,
     {QStringLiteral("--code"), QStringLiteral("CODES"), QStringLiteral("Event codes, separated by commas."), false, QStringLiteral("none")},
     kLog},
    {QStringLiteral("0\tprinted"), QStringLiteral("2\ta usage error or an unreadable log")},
    {},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("show")} + args); },
    40,
});
const bool audited = Cli::add({
    QStringLiteral("log audit"),
    QStringLiteral("--from DATE [--to DATE] [--format text|csv] [--csv FILE]"),
    QStringLiteral("Lists the weeks without a Required Weekly Test and the months without a Required Monthly Test."),
    QString(),
    {kFrom, kTo,
     {QStringLiteral("--format"), QStringLiteral("text|csv"), QStringLiteral("The report's form."), false, QStringLiteral("text|csv")},
     kLog},
    {QStringLiteral("0\tno gap"), QStringLiteral("1\ta gap"), QStringLiteral("2\ta usage error or an unreadable log")},
    {},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("audit")} + args); },
    41,
});
} // namespace
