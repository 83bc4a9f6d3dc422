// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli log show|audit|crosscheck|upgrade: the alert record that the
// editor, `transfer` and the monitor keep in the alert database (alerts.db
// beside alerts.csv; an older version's CSV logs are imported on first use).
// "audit" checks that every receiver had a Required Weekly Test every week
// and a Required Monthly Test every month and exits 1 when one did not, for
// a monitoring system or a systemd unit to act on. Show and audit go through
// the rows one at a time, so millions of rows cost no more memory than a few.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "history/core/AlertLog.h"
#include "history/core/AlertRecord.h"
#include "history/core/AlertStore.h"
#include "history/core/HistoryDecoder.h"
#include "history/core/ReceiverCrossCheck.h"
#include "history/core/RequiredTestAudit.h"
#include "app/AppContext.h"
#include "config/core/ParameterFile.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "history/core/TransferLog.h"
#include "link/core/Fleet.h"
#include "base/SafeWrite.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QSet>
#include <QTimeZone>

#include <algorithm>

#include <cstdio>
#include <vector>

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
    QString db;     // --db FILE: the alert database
    bool monitors = false;   // audit --monitors
    QString fleet;  // crosscheck --fleet FILE
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
        } else if (a == QLatin1String("--db")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--db needs a file name");
            o.db = value;
        } else if (a == QLatin1String("--fleet")) {
            if (!take() || value.isEmpty())
                why = QStringLiteral("--fleet needs a file name");
            o.fleet = value;
        } else if (a == QLatin1String("--monitors")) {
            if (hasValue)
                why = QStringLiteral("--monitors takes no value");
            o.monitors = true;
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

// Opens the alert database the options name: --db FILE, or the one beside
// the alert log (--csv FILE, the editor's by default). A database not made
// yet is made from the CSV logs beside it when they are there; with neither,
// there is nothing to show or audit, which is an error: auditing nothing
// would report every week as a gap for the wrong reason. False, said on
// `err`, when it cannot be opened.
bool openStore(const Options &o, AlertStore &store, QTextStream &err)
{
    QString log = o.log.isEmpty() ? DefaultAlertLogPath() : o.log;
    QString db = o.db.isEmpty() ? (log.isEmpty() ? QString() : AlertStore::PathForLog(log)) : o.db;
    if (db.isEmpty()) {
        err << "log: no data folder for the alert database (is HOME set?); name one with --db\n";
        return false;
    }
    QString why;
    if (QFileInfo::exists(db) || !o.db.isEmpty() || !QFileInfo::exists(log)) {
        if (!store.open(db, /*create*/ false, &why)) {
            err << "log: " << why << '\n';
            return false;
        }
        return true;
    }
    // The first question after an older version: its CSV logs come in.
    if (!store.open(db, /*create*/ true, &why)) {
        err << "log: " << why << '\n';
        return false;
    }
    const AlertStore::Import im = store.importCsv(log, TransferLogPathFor(log), QString());
    if (!im.ok) {
        err << "log: " << im.error << '\n';
        return false;
    }
    const QString file = QDir::toNativeSeparators(log);
    err << "log: " << file << " was imported into " << QDir::toNativeSeparators(db) << " (" << im.rows
        << " alert row(s), " << im.transfers << " transfer(s)); the CSV files are left as they were\n";
    if (im.torn > 0)
        err << "log: " << file << ": " << im.torn << " row(s) cut off (by a crash or a full disk) were left out\n";
    if (im.skipped > 0)
        err << "log: " << file << ": " << im.skipped << " row(s) could not be read and were left out (first: "
            << im.firstProblem << ")\n";
    return true;
}

// A receiver named on the command line that the database does not know is
// a typo or the wrong database: auditing it would report every week as a gap.
bool namesKnown(AlertStore &store, const QStringList &names, QTextStream &err)
{
    bool all = true;
    for (const QString &n : names) {
        if (!store.receiver(n)) {
            err << "log: " << QDir::toNativeSeparators(store.fileName()) << " knows no receiver \"" << n << "\"\n";
            all = false;
        }
    }
    return all;
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

QByteArray jsonAlert(const AlertLogEntry &e)
{
    QByteArray out = "{\"time\":\"" + e.localTime.toString(Qt::ISODate).toLatin1() + "\",\"utc\":" + utcText(e.localTime) + ",\"originator\":"
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
    AlertStore store;
    if (!openStore(o, store, err) || !namesKnown(store, o.receivers, err))
        return 1;
    Out out;
    if (o.json)
        out.write("{\"schema\":\"nx4400c-log-show\",\"version\":2,\"log\":"
                  + JsonString(QDir::toNativeSeparators(store.fileName())) + ",\"layout\":"
                  + QByteArray::number(AlertLogLayoutCurrent) + ",\"receiverColumn\":true,\"alerts\":[");
    else
        out.write(AlertLogHeaderOf(AlertLogLayoutCurrent).toUtf8() + '\n');
    AlertQuery q;
    q.receivers = o.receivers;
    q.from = o.from;
    if (o.toGiven)
        q.to = o.to;
    bool first = true;
    QString why;
    const bool ok = store.forEachAlert(q, [&](const StoredAlert &a) {
        const AlertLogEntry &e = a.entry;
        if (!o.codes.isEmpty() && !o.codes.contains(e.code))
            return true;
        if (o.json)
            out.write((first ? QByteArray() : QByteArray(",")) + jsonAlert(e));
        else
            out.write(e.csvLineFor(AlertLogLayoutCurrent).toUtf8() + '\n');
        first = false;
        return true;
    }, &why);
    if (o.json)
        out.write("],\"skippedRows\":0,\"tornRows\":0}\n");
    out.flush();
    if (!ok) {
        err << "log: " << why << '\n';
        return 1;
    }
    return 0;
}

// The audit's metrics and the transfers', one exposition ending in "# EOF".
// Empty when the transfers cannot be read, said on `err`.
QByteArray auditMetrics(const QList<ReceiverAudit> &audits, const AuditLogFacts &facts, AlertStore &store,
                        const QStringList &receivers, QTextStream &err)
{
    QList<TransferSummary> transfers;
    QString why;
    if (!store.transferSummaries(receivers, &transfers, &why)) {
        err << "log: " << why << '\n';
        return QByteArray();
    }
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
    AlertStore store;
    if (!openStore(o, store, err) || !namesKnown(store, o.receivers + o.excluded, err))
        return 1;
    // Without names, every receiver the database knows owes its tests, a
    // receiver that never logged a row included; monitors only when asked.
    QStringList names = o.receivers;
    if (names.isEmpty()) {
        QString why;
        const QList<StoredReceiver> known = store.receivers(false, &why);
        if (!why.isEmpty()) {
            err << "log: " << why << '\n';
            return 1;
        }
        for (const StoredReceiver &r : known)
            if (r.kind == ReceiverKind::Receiver || o.monitors)
                names << r.name;
    }
    RequiredTestCollector collector;
    collector.setReceivers(names);
    collector.setExcluded(o.excluded);
    collector.setToday(today);
    // Only the rows that can matter are read: those from a month before the
    // period (its first week and month are audited whole) to a month after
    // it or today, and before them each receiver's first row and its last
    // RWT, RMT and alert.
    AlertQuery q;
    q.receivers = names;
    q.tests = false;   // a test recording never counts
    q.from = o.from.addDays(-32);
    q.to = std::max(o.to, today).addDays(32);
    // Weeks and months follow each receiver's own zone where the database
    // knows it: a row then counts on the receiver's local date, whatever
    // offset the computer that logged it had.
    QHash<QString, QTimeZone> zones;
    QString why;
    for (const StoredReceiver &r : store.receivers(false, &why))
        if (!r.zone.isEmpty() && QTimeZone(r.zone.toUtf8()).isValid())
            zones.insert(r.name, QTimeZone(r.zone.toUtf8()));
    const auto add = [&](const StoredAlert &a) {
        const auto zone = zones.constFind(a.entry.receiver);
        if (zone == zones.constEnd()) {
            collector.add(a.entry);
        } else {
            AlertLogEntry e = a.entry;
            const QDateTime there = e.localTime.toTimeZone(zone.value());
            e.localTime = QDateTime(there.date(), there.time(), Qt::OffsetFromUTC, there.offsetFromUtc());
            collector.add(e);
        }
        return true;
    };
    AlertQuery before;
    before.receivers = names;
    before.tests = false;
    // Up to a day after the window's first date in UTC, so that no row
    // whose own date is before the window falls between the two questions
    // (offsets reach a day at most); a row both return is taken once.
    before.ids = store.rowsBefore(names, QDateTime(q.from, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() + 86400, &why);
    const QSet<qint64> taken(before.ids.cbegin(), before.ids.cend());
    if (!why.isEmpty()) {
        err << "log: " << why << '\n';
        return 1;
    }
    if (!names.isEmpty() && !before.ids.isEmpty() && !store.forEachAlert(before, add, &why)) {
        err << "log: " << why << '\n';
        return 1;
    }
    if (!names.isEmpty() && !store.forEachAlert(q, [&](const StoredAlert &a) {
            if (taken.contains(a.id))
                return true;
            return add(a);
        }, &why)) {
        err << "log: " << why << '\n';
        return 1;
    }
    const QList<ReceiverAudit> audits = collector.run(o.from, o.to, today);
    AuditLogFacts facts;
    facts.log = QDir::toNativeSeparators(store.fileName());
    QByteArray report;
    if (o.json)
        report = ReceiverAuditJson(audits, o.from, o.to, today, facts);
    else if (o.format == QLatin1String("csv"))
        report = ReceiverAuditCsv(audits).toUtf8();
    else if (o.format == QLatin1String("openmetrics"))
        report = auditMetrics(audits, facts, store, o.receivers, err);
    else
        report = ReceiverAuditText(audits, o.from, o.to).toUtf8();
    if (report.isEmpty() && o.format == QLatin1String("openmetrics"))
        return 1;
    if (!writeReport(o.output, report, err))
        return 1;
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
bool loadProgram(const QString &profile, ReceiverProgram *program, QTextStream &err)
{
    AppContext ctx;
    LoadConfiguration(ctx, ctx.config);
    QString why;
    if (!profile.isEmpty()) {
        if (!LoadProfile(profile, ctx.config, ctx.FipEntries, ctx.EventSelection, &why)) {
            err << "log crosscheck: " << why << '\n';
            return false;
        }
    } else if (!LoadParameterFile(ctx, ctx)) {
        err << "log crosscheck: " << missingParameterFileText(ctx.parameterFilePath)
            << " (or give the receiver's programming with --profile FILE)\n";
        return false;
    }
    *program = ReceiverProgram::fromSetup(ctx.FipEntries, ctx.EventSelection, ctx.config.TransmitterLocation);
    return true;
}

// Every receiver of a fleet file, each with its own profile, one line each:
// exit 1 when any of them lacks what a monitor heard, or never logged
// anything at all (it cannot be vouched for).
int runFleetCrossCheck(const Options &o)
{
    QTextStream err(stderr);
    if (!o.receivers.isEmpty() || !o.profile.isEmpty() || o.json)
        return usage(QStringLiteral("log crosscheck"),
                     QStringLiteral("--fleet goes without --receiver, --profile and --json"));
    QList<FleetReceiver> fleet;
    QString why;
    if (!ReadFleetFile(o.fleet, &fleet, &why)) {
        err << "log crosscheck: " << why << '\n';
        return 1;
    }
    AlertStore store;
    if (!openStore(o, store, err))
        return 1;
    std::vector<CrossCheckCollector> collectors;
    QList<ReceiverProgram> programs;
    for (const FleetReceiver &r : std::as_const(fleet)) {
        ReceiverProgram program;
        if (!loadProgram(r.profile, &program, err))
            return 1;
        programs << program;
        collectors.emplace_back(r.name, o.from, o.toGiven ? o.to : QDate());
    }
    AlertQuery q;
    q.tests = false;
    if (!store.forEachAlert(q, [&](const StoredAlert &a) {
            for (CrossCheckCollector &c : collectors)
                c.add(a.entry, a.frequencyHz, a.transmitter);
            return true;
        }, &why)) {
        err << "log: " << why << '\n';
        return 1;
    }
    Out out;
    bool finding = false;
    for (qsizetype i = 0; i < fleet.size(); ++i) {
        const QString &name = fleet.at(i).name;
        QString line;
        if (!store.receiver(name)) {
            line = QStringLiteral("%1\tunknown\tnever transferred into %2").arg(name, QDir::toNativeSeparators(store.fileName()));
            finding = true;
        } else {
            const CrossCheckResult result =
                RunReceiverCrossCheck(collectors[size_t(i)].heard(), collectors[size_t(i)].recorded(), programs.at(i));
            const int missed = result.missed();
            finding = finding || missed > 0;
            // Standard output keeps one line a receiver; a receiver tuned to
            // a transmitter heard elsewhere is told beside it.
            for (const QString &w : TransmitterWarningTexts(result))
                QTextStream(stderr) << "log crosscheck: " << name << ": warning: " << w << '\n';
            line = missed > 0 ? QStringLiteral("%1\tmissed\t%2 alert(s) heard for it are not in its history").arg(name).arg(missed)
                              : QStringLiteral("%1\tok").arg(name);
        }
        out.write(line.toUtf8() + '\n');
    }
    return finding ? 1 : 0;
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
    if (!o.fleet.isEmpty() && o.receivers.size() == 1 && o.profile.isEmpty()) {
        // One receiver of the fleet, by name: checked against its own
        // profile, with the whole list of what it missed.
        QList<FleetReceiver> fleet;
        QString why;
        if (!ReadFleetFile(o.fleet, &fleet, &why)) {
            err << "log crosscheck: " << why << '\n';
            return 1;
        }
        const auto it = std::find_if(fleet.cbegin(), fleet.cend(),
                                     [&](const FleetReceiver &r) { return r.name == o.receivers.first(); });
        if (it == fleet.cend()) {
            err << "log crosscheck: " << QDir::toNativeSeparators(o.fleet) << " names no receiver \""
                << o.receivers.first() << "\"\n";
            return 1;
        }
        Options one = o;
        one.fleet.clear();
        one.profile = it->profile;
        return runCrossCheck(one);
    }
    if (!o.fleet.isEmpty())
        return runFleetCrossCheck(o);
    ReceiverProgram program;
    if (!loadProgram(o.profile, &program, err))
        return 1;
    AlertStore store;
    if (!openStore(o, store, err) || !namesKnown(store, o.receivers, err))
        return 1;
    // A database of one receiver needs no name. A receiver that never
    // logged a row is known from its first transfer and is checked too:
    // it is the one most likely to have missed everything.
    QString receiver = o.receivers.value(0);
    if (receiver.isEmpty()) {
        QStringList known;
        for (const StoredReceiver &r : store.receivers())
            if (r.kind == ReceiverKind::Receiver)
                known << r.name;
        if (known.isEmpty()) {
            err << "log crosscheck: " << QDir::toNativeSeparators(store.fileName()) << " knows no receiver yet\n";
            return 1;
        }
        if (known.size() > 1) {
            err << "log crosscheck: " << QDir::toNativeSeparators(store.fileName()) << " knows " << known.size()
                << " receivers; choose one with --receiver NAME (" << known.join(QStringLiteral(", ")) << ")\n";
            return 2;
        }
        receiver = known.first();
    }
    CrossCheckCollector collector(receiver, o.from, o.toGiven ? o.to : QDate());
    QString why;
    AlertQuery q;
    q.tests = false;
    if (!store.forEachAlert(q, [&](const StoredAlert &a) {
            collector.add(a.entry, a.frequencyHz, a.transmitter);
            return true;
        }, &why)) {
        err << "log: " << why << '\n';
        return 1;
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
