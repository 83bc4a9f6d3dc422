// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli log show|audit|upgrade: the alert log that the editor,
// `transfer` and the monitor keep. "audit" checks that every receiver had a
// Required Weekly Test every week and a Required Monthly Test every month
// and exits 1 when one did not, for a monitoring system or a systemd unit to
// act on. Show and audit read the log row by row, so a log of millions of
// rows costs no more memory than a small one.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "history/core/AlertLog.h"
#include "history/core/HistoryDecoder.h"
#include "history/core/ReceiverCrossCheck.h"
#include "history/core/RequiredTestAudit.h"
#include "app/AppContext.h"
#include "config/core/ParameterFile.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "history/core/TransferLog.h"
#include "base/SafeWrite.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace {

int usage(const QString &command, const QString &why)
{
    QTextStream err(stderr);
    err << "nx4400c-cli " << command << ": " << why << '\n';
    int words = 0;
    if (const CliCommand *c = Cli::find(command.split(QLatin1Char(' ')), &words))
        err << Cli::usageOf(*c);
    return 2;
}

struct Options {
    QDate from;
    QDate to;
    bool toGiven = false;
    QString format = QStringLiteral("text");
    bool json = false;
    QString log;
    QStringList codes;
    QStringList receivers;
    QStringList excluded;
    QString profile;   // crosscheck: the receiver's programming
    QString file;   // upgrade's FILE
    QString output; // audit --output FILE; empty: standard output
};

// Reads "--name VALUE" and "--name=VALUE"; returns an error text or empty.
QString parse(const QStringList &args, Options &o)
{
    for (int i = 0; i < args.size(); ++i) {
        QString a = args.at(i);
        QString value;
        bool hasValue = false;
        const int eq = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && eq > 0) {
            value = a.mid(eq + 1);
            a = a.left(eq);
            hasValue = true;
        }
        auto take = [&]() -> bool {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return false;
                value = args.at(++i);
            }
            return true;
        };
        QString why;
        if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
            if (!take())
                return QStringLiteral("%1 needs a date").arg(a);
            const QDate d = ParseAlertLogDateOption(a, value, &why);
            (a == QLatin1String("--from") ? o.from : o.to) = d;
            if (a == QLatin1String("--to"))
                o.toGiven = true;
        } else if (a == QLatin1String("--format")) {
            if (!take() || (value != QLatin1String("text") && value != QLatin1String("csv")
                            && value != QLatin1String("openmetrics")))
                why = QStringLiteral("--format is text, csv or openmetrics");
            o.format = value;
        } else if (a == QLatin1String("--json")) {
            if (hasValue)
                why = QStringLiteral("--json takes no value");
            o.json = true;
        } else if (a == QLatin1String("--csv")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--csv needs a file name");
            o.log = value;
        } else if (a == QLatin1String("--code")) {
            if (!take())
                why = QStringLiteral("--code needs event codes");
            static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
            o.codes += value.toUpper().split(separators, Qt::SkipEmptyParts);
        } else if (a == QLatin1String("--output")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--output needs a file name");
            o.output = value;
        } else if (a == QLatin1String("--receiver")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--receiver needs a receiver's name");
            o.receivers << value;
        } else if (a == QLatin1String("--exclude")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--exclude needs a receiver's name");
            o.excluded << value;
        } else if (a == QLatin1String("--profile")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--profile needs a file name");
            o.profile = value;
        } else if (!a.startsWith(QLatin1Char('-')) && o.file.isEmpty()) {
            o.file = args.at(i);
        } else {
            why = QStringLiteral("unexpected argument \"%1\"").arg(args.at(i));
        }
        if (!why.isEmpty())
            return why;
    }
    return QString();
}

QString logPath(const Options &o, QTextStream &err)
{
    const QString path = o.log.isEmpty() ? DefaultAlertLogPath() : o.log;
    if (path.isEmpty())
        err << "log: no data folder for the default alert log (is HOME set?); name one with --csv\n";
    return path;
}

// Opens the log that the options name for reading. A log that is not there
// is an error for both show and audit: auditing nothing would report every
// week as a gap for the wrong reason. Empty on failure, said on `err`.
QString openLog(const Options &o, AlertLogReader &r, QTextStream &err)
{
    const QString path = logPath(o, err);
    if (path.isEmpty())
        return QString();
    QString why;
    if (!r.open(path, &why, /*missingIsEmpty*/ false)) {
        err << "log: " << why << '\n';
        return QString();
    }
    return path;
}

// What was left out, on standard error, naming the file and the first row.
void reportLeftOut(const AlertLogReader &r, const QString &path, QTextStream &err)
{
    const QString file = QDir::toNativeSeparators(path);
    if (r.endsInTornRow())
        err << "log: " << file << ": its last row has no line end (cut off by a crash or a full disk); "
            << "it was left out, and the next append starts on a fresh line\n";
    const int marked = r.torn() - (r.endsInTornRow() ? 1 : 0);
    if (marked > 0)
        err << "log: " << marked << " row(s) of " << file << " cut off by an earlier crash were left out\n";
    if (r.skipped() > 0)
        err << "log: " << r.skipped() << " row(s) of " << file << " could not be read and were left out (first: "
            << r.firstProblem() << ")\n";
}

// Standard output in large pieces: a million rows go out in a few dozen writes.
class Out
{
public:
    ~Out() { flush(); }
    void write(const QByteArray &b)
    {
        m_buffer += b;
        if (m_buffer.size() > 256 * 1024)
            flush();
    }
    void flush()
    {
        if (!m_buffer.isEmpty())
            std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), stdout);
        m_buffer.clear();
        std::fflush(stdout);
    }

private:
    QByteArray m_buffer;
};

// The instant in UTC, 2026-03-06T14:30:00Z, made by hand: the general
// formatter costs more than the rest of a row.
QByteArray utcText(const QDateTime &t)
{
    const qint64 secs = t.toSecsSinceEpoch();
    const qint64 days = secs >= 0 ? secs / 86400 : -((86399 - secs) / 86400);
    const int rest = int(secs - days * 86400);
    const QDate d = QDate::fromJulianDay(2440588 + days);
    char buf[40];
    std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02dT%02d:%02d:%02dZ\"", d.year(), d.month(), d.day(), rest / 3600,
                  rest / 60 % 60, rest % 60);
    return QByteArray(buf);
}

// `raw` is the row as logged: its first field is the local time in the
// log's own form, which the reader has checked.
QByteArray jsonAlert(const AlertLogEntry &e, const QByteArray &raw)
{
    const qsizetype comma = raw.indexOf(',');
    QByteArray out = "{\"time\":\"" + raw.left(comma) + "\",\"utc\":" + utcText(e.localTime) + ",\"originator\":"
        + JsonString(e.originator) + ",\"eventCode\":" + JsonString(e.code) + ",\"eventName\":"
        + JsonString(e.name) + ",\"class\":\"" + EventClassName(e.cls).toLatin1() + "\",\"length\":"
        + JsonString(e.length) + ",\"receiver\":" + JsonString(e.receiver);
    if (e.offAir()) {
        // A monitor's row: "time" is the time of issue, "heard" when it was heard.
        QByteArray locations;
        for (const QString &l : e.locations)
            locations += (locations.isEmpty() ? "" : ",") + JsonString(l);
        out += ",\"locations\":[" + locations + "],\"header\":" + JsonString(e.header) + ",\"heard\":"
            + (e.heard.isValid() ? JsonString(e.heard.toString(Qt::ISODate)) : QByteArray("null"));
        if (!e.note.isEmpty())
            out += ",\"note\":" + JsonString(e.note);
    }
    return out + '}';
}

int runShow(const Options &o)
{
    QTextStream err(stderr);
    if (o.from.isValid() && o.toGiven && o.from > o.to)
        return usage(QStringLiteral("log show"), QStringLiteral("--from is after --to"));
    AlertLogReader r;
    const QString path = openLog(o, r, err);
    if (path.isEmpty())
        return 2;
    Out out;
    const bool withReceiver = r.receiverColumn() || !r.hasHeader();
    const int layout = r.hasHeader() ? r.layout() : AlertLogLayoutCurrent;
    if (o.json)
        out.write("{\"schema\":\"nx4400c-log-show\",\"version\":2,\"log\":" + JsonString(QDir::toNativeSeparators(path))
                  + ",\"layout\":" + QByteArray::number(layout) + ",\"receiverColumn\":" + (withReceiver ? "true" : "false")
                  + ",\"alerts\":[");
    else
        out.write(AlertLogHeaderOf(layout).toUtf8() + '\n');
    AlertLogEntry e;
    bool first = true;
    while (r.next(&e)) {
        const QDate d = e.localTime.date();
        if ((o.from.isValid() && d < o.from) || (o.toGiven && d > o.to))
            continue;
        if (!o.codes.isEmpty() && !o.codes.contains(e.code))
            continue;
        if (!o.receivers.isEmpty() && !o.receivers.contains(e.receiver))
            continue;
        if (o.json) {
            out.write((first ? QByteArray() : QByteArray(",")) + jsonAlert(e, r.rawLine()));
        } else {
            // The row as the log holds it.
            out.write(r.rawLine() + '\n');
        }
        first = false;
    }
    if (o.json)
        out.write("],\"skippedRows\":" + QByteArray::number(r.skipped()) + ",\"tornRows\":"
                  + QByteArray::number(r.torn()) + "}\n");
    out.flush();
    if (!r.error().isEmpty()) {
        err << "log: " << r.error() << '\n';
        return 2;
    }
    reportLeftOut(r, path, err);
    return 0;
}

// Hands every row of the open log to `collector`; false (said on `err`)
// when the log cannot be read to its end. Rows left out are named.
template <typename Collector>
bool collectRows(AlertLogReader &r, const QString &path, Collector &collector, QTextStream &err)
{
    AlertLogEntry e;
    while (r.next(&e))
        collector.add(e);
    if (!r.error().isEmpty()) {
        err << "log: " << r.error() << '\n';
        return false;
    }
    reportLeftOut(r, path, err);
    return true;
}

// A receiver named on the command line that the log never names is a typo
// or the wrong log: auditing it would report every week as a gap.
bool namesKnown(const QStringList &unknown, const QString &path, QTextStream &err)
{
    for (const QString &n : unknown)
        err << "log: " << QDir::toNativeSeparators(path) << " names no receiver \"" << n << "\"\n";
    return unknown.isEmpty();
}

// The audit's metrics and the transfer log's (beside the alert log at
// `path`), one exposition ending in "# EOF". Empty when the transfer log
// cannot be read, said on `err`.
QByteArray auditMetrics(const QList<ReceiverAudit> &audits, const AuditLogFacts &facts, const QString &path,
                        const QStringList &receivers, QTextStream &err)
{
    QList<TransferSummary> transfers;
    int skipped = 0;
    QString why;
    if (!ReadTransferSummaries(TransferLogPathFor(path), receivers, &transfers, &skipped, &why)) {
        err << "log: " << why << '\n';
        return QByteArray();
    }
    if (skipped > 0)
        err << "log: " << skipped << " row(s) of " << QDir::toNativeSeparators(TransferLogPathFor(path))
            << " could not be read and were left out\n";
    QByteArray metrics = ReceiverAuditOpenMetrics(audits, facts);
    const QByteArray eof = "# EOF\n";
    if (metrics.endsWith(eof))
        metrics.chop(eof.size());
    return metrics + TransferOpenMetrics(transfers) + eof;
}

// The report on standard output, or in FILE put in place whole: a reader
// such as the node exporter's textfile collector never sees half of it.
bool writeReport(const QString &file, const QByteArray &report, QTextStream &err)
{
    if (file.isEmpty()) {
        Out out;
        out.write(report);
        return true;
    }
    QString why;
    if (!writeFileAtomically(file, report, &why)) {
        err << "log: the report was not written: " << why << '\n';
        return false;
    }
    return true;
}

int runAudit(const Options &o, const QDate &today)
{
    QTextStream err(stderr);
    if (!o.from.isValid())
        return usage(QStringLiteral("log audit"), QStringLiteral("audit needs --from DATE"));
    if (o.from > o.to)
        return usage(QStringLiteral("log audit"), QStringLiteral("--from is after --to"));
    if (o.json && o.format != QLatin1String("text"))
        return usage(QStringLiteral("log audit"), QStringLiteral("--json and --format cannot be given together"));
    AlertLogReader r;
    const QString path = openLog(o, r, err);
    if (path.isEmpty())
        return 2;
    RequiredTestCollector collector;
    collector.setReceivers(o.receivers);
    collector.setExcluded(o.excluded);
    collector.setToday(today);
    if (!collectRows(r, path, collector, err))
        return 2;
    if (!namesKnown(collector.unknownNames(), path, err))
        return 2;
    const QList<ReceiverAudit> audits = collector.run(o.from, o.to, today);
    AuditLogFacts facts;
    facts.log = QDir::toNativeSeparators(path);
    facts.skippedRows = r.skipped();
    facts.tornRows = r.torn();
    QByteArray report;
    if (o.json)
        report = ReceiverAuditJson(audits, o.from, o.to, today, facts);
    else if (o.format == QLatin1String("csv"))
        report = ReceiverAuditCsv(audits).toUtf8();
    else if (o.format == QLatin1String("openmetrics"))
        report = auditMetrics(audits, facts, path, o.receivers, err);
    else
        report = ReceiverAuditText(audits, o.from, o.to).toUtf8();
    if (report.isEmpty() && o.format == QLatin1String("openmetrics"))
        return 2;
    if (!writeReport(o.output, report, err))
        return 2;
    return AuditsHaveGaps(audits) ? 1 : 0;
}

int runUpgrade(const Options &o)
{
    QTextStream err(stderr);
    QTextStream out(stdout);
    if (o.file.isEmpty())
        return usage(QStringLiteral("log upgrade"), QStringLiteral("which log? (nx4400c-cli log upgrade FILE --receiver NAME)"));
    if (o.receivers.size() > 1)
        return usage(QStringLiteral("log upgrade"),
                     QStringLiteral("name the one receiver the old rows came from with --receiver NAME"));
    const QString receiver = o.receivers.value(0);
    const AlertLogUpgrade u = UpgradeAlertLog(o.file, receiver);
    if (!u.ok) {
        err << "log upgrade: " << u.error << '\n';
        return 1;
    }
    if (u.rows < 0) {
        out << QDir::toNativeSeparators(o.file) << " is in the current layout already; nothing was changed\n";
        return 0;
    }
    out << QDir::toNativeSeparators(o.file) << ": " << u.rows << " row(s) in the current layout";
    if (u.fromLayout < AlertLogLayoutReceiver)
        out << ", naming " << receiver;
    out << "; the old file is kept as " << QDir::toNativeSeparators(u.backup) << '\n';
    return 0;
}

// The receiver's programming: a profile, or the editor's own setup.
bool loadProgram(const Options &o, ReceiverProgram *program, QTextStream &err)
{
    AppContext ctx;
    LoadConfiguration(ctx, ctx.config);
    QString why;
    if (!o.profile.isEmpty()) {
        if (!LoadProfile(o.profile, ctx.config, ctx.FipEntries, ctx.EventSelection, &why)) {
            err << "log crosscheck: " << why << '\n';
            return false;
        }
    } else if (!LoadParameterFile(ctx, ctx)) {
        err << "log crosscheck: " << missingParameterFileText(ctx.parameterFilePath)
            << " (or give the receiver's programming with --profile FILE)\n";
        return false;
    }
    *program = ReceiverProgram::fromSetup(ctx.FipEntries, ctx.EventSelection);
    return true;
}

// What the monitors heard for the receiver's counties and events that its
// own history lacks: exit 1 when something is missing.
int runCrossCheck(const Options &o)
{
    QTextStream err(stderr);
    if (o.receivers.size() > 1)
        return usage(QStringLiteral("log crosscheck"), QStringLiteral("name one receiver with --receiver NAME"));
    if (o.from.isValid() && o.toGiven && o.from > o.to)
        return usage(QStringLiteral("log crosscheck"), QStringLiteral("--from is after --to"));
    ReceiverProgram program;
    if (!loadProgram(o, &program, err))
        return 2;
    AlertLogReader r;
    const QString path = openLog(o, r, err);
    if (path.isEmpty())
        return 2;
    // A first pass finds the receivers when none is named: a log of one
    // receiver needs no name.
    QString receiver = o.receivers.value(0);
    CrossCheckCollector collector(receiver, o.from, o.toGiven ? o.to : QDate());
    if (!collectRows(r, path, collector, err))
        return 2;
    const QStringList known = collector.receivers();
    if (!receiver.isEmpty() && !known.contains(receiver))
        return namesKnown({receiver}, path, err) ? 0 : 2;
    if (receiver.isEmpty()) {
        if (known.size() != 1) {
            err << "log crosscheck: " << QDir::toNativeSeparators(path) << " names " << known.size()
                << " receivers; choose one with --receiver NAME (" << known.join(QStringLiteral(", ")) << ")\n";
            return 2;
        }
        receiver = known.first();
        AlertLogReader again;
        if (openLog(o, again, err).isEmpty())
            return 2;
        collector = CrossCheckCollector(receiver, o.from, o.toGiven ? o.to : QDate());
        AlertLogEntry e;
        while (again.next(&e))
            collector.add(e);
    }
    const CrossCheckResult result = RunReceiverCrossCheck(collector.heard(), collector.recorded(), program);
    Out out;
    if (o.json)
        out.write(CrossCheckJson(result, receiver, o.from, o.toGiven ? o.to : QDate()));
    else
        out.write((QStringLiteral("Receiver %1\n").arg(ReceiverDisplayName(receiver)) + CrossCheckText(result)).toUtf8());
    return result.missed() > 0 ? 1 : 0;
}

} // namespace

int runLogCommand(const QStringList &allArgs)
{
    QStringList args = allArgs;
    if (args.isEmpty())
        return usage(QStringLiteral("log"), QStringLiteral("show, audit or upgrade?"));
    const QString sub = args.takeFirst();
    if (sub != QLatin1String("audit") && sub != QLatin1String("show") && sub != QLatin1String("upgrade")
        && sub != QLatin1String("crosscheck"))
        return usage(QStringLiteral("log"), QStringLiteral("unknown command \"%1\"").arg(sub));
    const QString command = QStringLiteral("log ") + sub;
    Options o;
    const QString why = parse(args, o);
    if (!why.isEmpty())
        return usage(command, why);
    if (sub != QLatin1String("audit") && !o.output.isEmpty())
        return usage(command, QStringLiteral("--output is an option of log audit"));
    if (sub != QLatin1String("upgrade") && !o.file.isEmpty())
        return usage(command, QStringLiteral("unexpected argument \"%1\" (the log is given with --csv FILE)").arg(o.file));
    const QDate today = QDate::currentDate();
    if (!o.to.isValid())
        o.to = today;
    if (sub == QLatin1String("audit"))
        return runAudit(o, today);
    if (sub == QLatin1String("upgrade"))
        return runUpgrade(o);
    if (sub == QLatin1String("crosscheck"))
        return runCrossCheck(o);
    return runShow(o);
}

namespace {
const CliOption kFrom{QStringLiteral("--from"), QStringLiteral("DATE"),
                      QStringLiteral("First day, YYYY-MM-DD (years 1900 to 9999)."), false, QStringLiteral("none")};
const CliOption kTo{QStringLiteral("--to"), QStringLiteral("DATE"),
                    QStringLiteral("Last day, YYYY-MM-DD; today by default. Not before --from."), false,
                    QStringLiteral("none")};
const CliOption kLog{QStringLiteral("--csv"), QStringLiteral("FILE"),
                     QStringLiteral("The alert log to read; the editor's by default."), false, QStringLiteral("file")};
const CliOption kReceiver{QStringLiteral("--receiver"), QStringLiteral("NAME"),
                          QStringLiteral("Only this receiver (the Receiver column: a device such as /dev/ttyUSB0, or a "
                                         "monitor source such as monitor:hw:1)."),
                          true, QStringLiteral("none")};

const bool shown = Cli::add({
    QStringLiteral("log show"),
    QStringLiteral("[--from DATE] [--to DATE] [--code CODES] [--receiver NAME]... [--json] [--csv FILE]"),
    QStringLiteral("Prints the alert log's rows, filtered."),
    QStringLiteral("Prints the rows as the log holds them, under the log's header. Rows that cannot be read, and a "
                   "last row cut off without its line end, are left out and named on standard error.\n\n"
                   "--json prints one object (docs/json/log-show.schema.json) with every alert "
                   "shown: local time with its offset, the same in UTC, originator, event code and name, class, "
                   "length and receiver; a monitor's rows add their locations, whole header, the time heard and "
                   "any note (their time is the time of issue)."),
    {kFrom, kTo,
     {QStringLiteral("--code"), QStringLiteral("CODES"), QStringLiteral("Event codes, separated by commas."), false, QStringLiteral("none")},
     kReceiver,
     {QStringLiteral("--json"), QString(), QStringLiteral("Prints JSON instead of CSV."), false, QString()},
     kLog},
    {QStringLiteral("0\tprinted"), QStringLiteral("2\ta usage error or an unreadable log")},
    {QStringLiteral("nx4400c-cli log show --from 2026-03-01 --code TOR,SVR"),
     QStringLiteral("nx4400c-cli log show --receiver /dev/ttyUSB0 --json")},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("show")} + args); },
    40,
});
const bool audited = Cli::add({
    QStringLiteral("log audit"),
    QStringLiteral("--from DATE [--to DATE] [--receiver NAME]... [--exclude NAME]... [--format text|csv|openmetrics | --json] [--csv FILE] [--output FILE]"),
    QStringLiteral("Lists, per receiver, the weeks without a Required Weekly Test and the months without a Required Monthly Test."),
    QStringLiteral("Every receiver and monitor source named in the log's Receiver column owes an RWT every week "
                   "(Sunday to Saturday; an RMT stands for its week's test) and an RMT every month of the period, "
                   "from its first row on. Monitor sources are reported as monitors in a group of their own (for a "
                   "broadcaster, what the monitor heard is the record 47 CFR 11.61 asks for); a recording played "
                   "into the monitor (monitor:wav) owes nothing unless named with --receiver. A monitor's alert "
                   "counts on the day it was issued. A log without the Receiver column is audited as one receiver. "
                   "A name given to --receiver or --exclude that the log does not hold is an error.\n\n"
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
     {QStringLiteral("--format"), QStringLiteral("text|csv|openmetrics"), QStringLiteral("The report's form."), false,
      QStringLiteral("text|csv|openmetrics")},
     {QStringLiteral("--json"), QString(), QStringLiteral("Prints the report as JSON."), false, QString()},
     kLog,
     {QStringLiteral("--output"), QStringLiteral("FILE"),
      QStringLiteral("Writes the report to FILE atomically instead of standard output."), false,
      QStringLiteral("file")}},
    {QStringLiteral("0\tno receiver has a gap"), QStringLiteral("1\ta receiver has a gap"),
     QStringLiteral("2\ta usage error, an unreadable log, a receiver the log does not name, or a report that could not be written")},
    {QStringLiteral("nx4400c-cli log audit --from 2026-01-01 --to 2026-03-31"),
     QStringLiteral("nx4400c-cli log audit --from 2026-01-01 --format openmetrics --output /var/lib/prometheus/node-exporter/nx4400c.prom")},
    [](const QStringList &args) { return runLogCommand(QStringList{QStringLiteral("audit")} + args); },
    41,
});
const bool crosschecked = Cli::add({
    QStringLiteral("log crosscheck"),
    QStringLiteral("[--receiver NAME] [--profile FILE] [--from DATE] [--to DATE] [--json] [--csv FILE]"),
    QStringLiteral("Lists the alerts a monitor heard for the receiver's counties and events that the receiver's history lacks."),
    QStringLiteral("The monitors' rows of the log (Receiver monitor:...) are what was on the air; the receiver's rows "
                   "are what it alerted for. An alert heard for a county and event the receiver is programmed for, "
                   "with no row of the receiver for the same event from the same originator within ten minutes of "
                   "the time it was heard, is listed: the receiver was deaf, unplugged or programmed wrong. The "
                   "programming is the editor's setup, or a receiver profile with --profile. A log that names one "
                   "receiver needs no --receiver.\n\n"
                   "--json prints one object (docs/json/log-crosscheck.schema.json)."),
    {kFrom, kTo, kReceiver,
     {QStringLiteral("--profile"), QStringLiteral("FILE"), QStringLiteral("The receiver's programming, from a profile instead of the editor's setup."), false, QStringLiteral("profile")},
     {QStringLiteral("--json"), QString(), QStringLiteral("Prints the result as JSON."), false, QString()},
     kLog},
    {QStringLiteral("0\tnothing is missing"), QStringLiteral("1\tan alert heard for the receiver is missing from its history"),
     QStringLiteral("2\ta usage error, an unreadable log or programming, or a receiver the log does not name")},
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
