// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli transfer: one transfer with the receiver, as the editor's
// "Transfer Data" runs it, then the receiver's history on standard output in
// the layout of the saved history file. The alerts that the alert log does
// not hold yet are added to it (the user's log, as the editor's transfer
// does, or --csv FILE), so that running this every hour keeps one complete
// log. --json gives the outcome as one object (docs/json/transfer.schema.json).
//
// Given several devices (--device repeated, --port repeated, --devices FILE)
// or a fleet file (--fleet FILE: NAME DEVICE [PROFILE] a line) it programs
// them all at once, each receiver in a link session and thread of its own
// (link/core/BatchTransfer.h), and prints one result line per receiver
// instead of the history. The receivers' alerts then go to one alert log
// with a Receiver column, --csv FILE or else the user's alert log: one file
// keeps the district's alerts in one place, and the column keeps two
// receivers that heard the same alert apart.
//
// A receiver has one name in every output (result line, status lines, trace
// heading, alert log, transfer log, JSON): its fleet name, or the device as
// the user wrote it (for --port N, the port's device). Every outcome, worked
// or failed, goes to the transfer log beside the alert log.
#include "app/cli/CliCommands.h"
#include "history/core/AlertRecord.h"
#include "app/cli/CliCommand.h"
#include "app/cli/ReceiverResolve.h"

#include "config/core/ParameterFile.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/HistoryReport.h"
#include "link/core/BatchTransfer.h"
#include "history/core/TransferLog.h"
#include "link/core/DeviceName.h"
#include "link/core/Fleet.h"
#include "link/core/LinkSession.h"
#include "link/core/PortMap.h"
#include "link/core/SerialTrace.h"
#include "link/core/Transfer.h"
#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/MainView.h"
#include "base/PathCheck.h"
#include "base/Prompter.h"
#include "base/SafeWrite.h"
#include "base/UnattendedPrompter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTextStream>

#include <cmath>

namespace {

// The status panels become lines on standard error; the progress bar and
// the history grid have nothing to show.
class ConsoleView : public NullView
{
public:
    void setStatusText(const QString &key, const QString &given) override
    {
        const QString text = namedDevice(given);
        m_panels[key] = text;
        // With --trace, the steps of the exchange head the trace's parts.
        if (trace && key == QLatin1String("Left"))
            trace->followTransferStep(text, device);
        if (!text.isEmpty())
            QTextStream(stderr) << text << '\n';
    }
    QString statusText(const QString &key) const override { return m_panels.value(key); }

    // With --device the one receiver has no port number of the user's: the
    // texts that would say "Port # 1" name the device as the user gave it.
    QString namedDevice(QString text) const
    {
        if (device.isEmpty())
            return text;
        text.replace(QLatin1String("Negotiating Port # 1"), QStringLiteral("Negotiating %1").arg(device));
        text.replace(QLatin1String("Port 1 has no device"), QStringLiteral("%1 has no device").arg(device));
        text.replace(QLatin1String("Cannot open port 1 "), QLatin1String("Cannot open "));
        return text;
    }

    SerialTrace *trace = nullptr;
    QString device;   // --device as given; empty when a port number was used

private:
    QMap<QString, QString> m_panels;
};

int usage(QTextStream &err)
{
    // The whole text is the command table's (nx4400c-cli transfer --help).
    err << "usage: nx4400c-cli transfer [--port N | --device PATH|URL]... [--devices FILE]\n"
           "                            [--fleet FILE [--only NAME]...]\n"
           "                            [--profile FILE] [--csv FILE] [--trace FILE] [--force] [--json]\n"
           "nx4400c-cli transfer --help explains each option.\n";
    return 2;
}

struct Options {
    QStringList devices;      // as given, in order; empty: the settings' port
    QStringList names;        // the receivers' names: the fleet's, else the device as written
    QStringList profiles;     // per receiver: a fleet line's profile; empty: the common setup
    QString fleet;            // --fleet FILE
    QStringList only;         // --only NAME...
    bool byReceiver = false;  // --receiver NAME: the fleet file may be the stored one
    bool json = false;
    bool force = false;       // send a setup whose transmitter is gone or off the air
    bool namedByDevice = false;   // one receiver, given by --device or --devices
    QString profile;
    QString csv;
    QString trace;
    bool csvGiven = false;
    bool profileGiven = false;
    bool traceGiven = false;
};

// The receivers of --fleet (those of --only), each with its name and
// profile. Returns -1 when fine, otherwise the exit code.
int takeFleet(Options &o, const Services &services, QTextStream &err)
{
    if (o.byReceiver && o.fleet.isEmpty()) {
        o.fleet = StoredFleetFile(services);
        if (o.fleet.isEmpty()) {
            err << "transfer: no fleet file names the receivers: give --fleet FILE with --receiver NAME\n";
            return 2;
        }
    }
    if (o.fleet.isEmpty()) {
        if (!o.only.isEmpty()) {
            err << "transfer: --only chooses receivers of a --fleet file\n";
            return usage(err);
        }
        return -1;
    }
    if (!o.devices.isEmpty()) {
        err << "transfer: --fleet names the receivers; it cannot be given with --port, --device or --devices\n";
        return usage(err);
    }
    QList<FleetReceiver> fleet, chosen;
    QString why;
    if (!ReadFleetFile(o.fleet, &fleet, &why)) {
        err << "transfer: " << why << '\n';
        return 2;
    }
    if (!SelectFleetReceivers(fleet, o.only, &chosen, &why)) {
        err << "transfer: " << why << '\n';
        return 2;
    }
    for (const FleetReceiver &r : std::as_const(chosen)) {
        o.devices << r.device;
        o.names << r.name;
        o.profiles << r.profile;
    }
    return -1;
}

// Returns -1 when the arguments are fine, otherwise the exit code.
int parseArguments(const QStringList &args, Options &o, const Services &services, QTextStream &out,
                   QTextStream &err)
{
    QStringList portMap;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        QString name = a;
        QString value;
        bool hasValue = false;
        if (a == QLatin1String("--json")) {
            o.json = true;
            continue;
        }
        if (a == QLatin1String("--force")) {
            o.force = true;
            continue;
        }
        static const QStringList valued{QStringLiteral("--csv"), QStringLiteral("--port"),
                                        QStringLiteral("--device"), QStringLiteral("--devices"),
                                        QStringLiteral("--profile"), QStringLiteral("--trace"),
                                        QStringLiteral("--fleet"), QStringLiteral("--only"),
                                        QStringLiteral("--receiver")};
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            name = a.section(QLatin1Char('='), 0, 0);
            value = a.section(QLatin1Char('='), 1);
            hasValue = true;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out << "nx4400c-cli transfer --help explains each option.\n";
            return 0;
        }
        if (!valued.contains(name)) {
            err << "transfer: unexpected argument \"" << a << "\"\n";
            return usage(err);
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                err << "transfer: " << name << " needs a value\n";
                return usage(err);
            }
            value = args.at(++i);
        }
        if (name == QLatin1String("--csv")) {
            o.csvGiven = true;
            o.csv = value;
        } else if (name == QLatin1String("--profile")) {
            o.profileGiven = true;
            o.profile = value;
        } else if (name == QLatin1String("--trace")) {
            o.traceGiven = true;
            o.trace = value;
        } else if (name == QLatin1String("--port")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1 || n > PortMap::PortCount) {
                err << "transfer: --port takes 1 to " << PortMap::PortCount << ", not \"" << value << "\"\n";
                return usage(err);
            }
            if (portMap.isEmpty())
                portMap = PortMap::Load(services);
            const QString device = portMap.value(n - 1);
            if (device.isEmpty()) {
                err << "transfer: port " << n << " has no device (nx4400c-cli ports set " << n << " DEVICE)\n";
                return 1;
            }
            o.devices << device;
            // The port's device, as the editor's transfers log it.
            o.names << device;
        } else if (name == QLatin1String("--device")) {
            QString why;
            if (value.isEmpty() || !IsAcceptableDeviceName(value, &why)) {
                err << "transfer: --device \"" << value << "\": " << (why.isEmpty() ? QStringLiteral("empty") : why)
                    << '\n';
                return usage(err);
            }
            o.devices << value;
            o.names << value;
            o.namedByDevice = true;
        } else if (name == QLatin1String("--devices")) {
            QString why;
            QStringList listed;
            if (!ReadDeviceList(value, &listed, &why)) {
                err << "transfer: " << why << '\n';
                return 1;
            }
            o.devices << listed;
            o.names << listed;
            o.namedByDevice = true;
        } else if (name == QLatin1String("--fleet")) {
            if (!o.fleet.isEmpty()) {
                err << "transfer: --fleet is given twice\n";
                return usage(err);
            }
            o.fleet = value;
            if (o.fleet.isEmpty()) {
                err << "transfer: the file name given to --fleet is empty\n";
                return usage(err);
            }
        } else if (name == QLatin1String("--receiver")) {
            // One receiver of the fleet file (--fleet, else the stored one),
            // sent its own setup on its own device.
            if (value.isEmpty()) {
                err << "transfer: --receiver needs a receiver's name\n";
                return usage(err);
            }
            o.only << value;
            o.byReceiver = true;
        } else if (name == QLatin1String("--only")) {
            const QStringList names = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
            if (names.isEmpty()) {
                err << "transfer: --only needs a receiver's name\n";
                return usage(err);
            }
            o.only << names;
        }
    }
    if (const int code = takeFleet(o, services, err); code >= 0)
        return code;
    auto emptyName = [&](bool given, const char *option, const QString &value) {
        if (given && value.isEmpty()) {
            err << "transfer: the file name given to " << option << " is empty\n";
            return true;
        }
        return false;
    };
    if (emptyName(o.csvGiven, "--csv", o.csv) || emptyName(o.profileGiven, "--profile", o.profile)
        || emptyName(o.traceGiven, "--trace", o.trace))
        return usage(err);
    // The same receiver twice would be programmed by two sessions at once,
    // under whatever two names it was given.
    QString twice;
    if (o.devices.size() > 1 && !CheckDistinctReceivers(o.devices, &twice)) {
        err << "transfer: " << twice << "; nothing was sent\n";
        return 2;
    }
    return -1;
}

// The receiver setup that goes out: the settings store's settings with
// either the parameter file's or a profile's coverage (and the profile's
// settings). Returns -1 when ready, otherwise the exit code.
int prepareSetup(AppContext &ctx, const Options &o, ReceiverConfig *stored, QTextStream &err)
{
    // A fleet whose every line names a profile needs no parameter file.
    const bool everyOneHasProfile = !o.profiles.isEmpty() && !o.profiles.contains(QString());
    // Without the user's settings the receiver would be sent factory
    // defaults: a store that is there but cannot be read stops the run, as a
    // missing parameter file does.
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "transfer: " << problem << "; nothing was sent to the receiver\n";
        return 1;
    }
    LoadConfiguration(ctx, ctx.config);
    *stored = ctx.config;
    InitEventCatalog(ctx.catalog);
    if (o.profileGiven) {
        QString why;
        if (!LoadProfile(o.profile, ctx.config, ctx.FipEntries, ctx.EventSelection, &why)) {
            err << "transfer: " << why << "; nothing was sent to the receiver\n";
            return 1;
        }
        return -1;
    }
    if (everyOneHasProfile)
        return -1;
    if (!LoadParameterFile(ctx, ctx)) {
        // Sending an empty county and event list would wipe the receiver's
        // coverage: refuse instead.
        err << "transfer: " << missingParameterFileText(ctx.parameterFilePath)
            << "; nothing was sent to the receiver\n";
        return 1;
    }
    return -1;
}

bool writeTrace(const QString &path, const QString &text, QTextStream &err)
{
    QString why;
    if (!writeFileAtomically(path, text.toUtf8(), &why)) {
        err << "transfer: trace not written: " << why << '\n';
        return false;
    }
    return true;
}

// One receiver's outcome as --json gives it (docs/json/transfer.schema.json).
constexpr int JsonVersion = 1;

QJsonObject jsonResult(const QString &name, const QString &path, const BatchResult &r, const QString &log,
                       bool logged)
{
    auto orNull = [](const QString &s) { return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s); };
    return QJsonObject{
        {QStringLiteral("device"), name},
        {QStringLiteral("path"), path},
        {QStringLiteral("rom"), orNull(r.romVersion)},
        {QStringLiteral("result"), r.ok ? QStringLiteral("ok") : QStringLiteral("failed")},
        {QStringLiteral("reason"), r.ok ? QString() : r.reason},
        {QStringLiteral("seconds"), std::round(r.seconds * 10.0) / 10.0},
        {QStringLiteral("alertsAdded"), logged ? QJsonValue(r.alertsLogged) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("log"), logged ? QJsonValue(QDir::toNativeSeparators(log)) : QJsonValue(QJsonValue::Null)},
    };
}

void printJson(QTextStream &out, const QJsonArray &receivers)
{
    out << QJsonDocument(QJsonObject{
                             {QStringLiteral("schema"), QStringLiteral("nx4400c-transfer")},
                             {QStringLiteral("version"), JsonVersion},
                             {QStringLiteral("receivers"), receivers},
                         })
               .toJson(QJsonDocument::Indented);
    out.flush();
}

// A receiver programmed for a transmitter that is gone or off the air stays
// silent when it should sound: such a setup is not sent without --force.
// Lesser findings are said and the transfer goes on. Returns -1 to go on,
// otherwise the exit code.
int checkSetup(const AppContext &ctx, const Options &o, QTextStream &out, QTextStream &err)
{
    const SetupCheck::Report report = checkCliSetup(ctx);
    if (report.isClean())
        return -1;
    printSetupFindings(err, QStringLiteral("transfer"), report);
    if (!report.hasSerious() || o.force)
        return -1;
    const QStringList names = o.names.isEmpty() ? QStringList{QStringLiteral("port %1").arg(ctx.config.SerialPort)} : o.names;
    const QString reason = QStringLiteral("refused: ") + report.headline();
    if (o.json) {
        QJsonArray receivers;
        for (qsizetype i = 0; i < names.size(); ++i) {
            BatchResult r;
            r.reason = reason;
            receivers.append(jsonResult(names.at(i), o.devices.value(i), r, QString(), false));
        }
        printJson(out, receivers);
    }
    for (const QString &name : names)
        err << "transfer: " << name << " refused; nothing was sent to it\n";
    if (o.profileGiven) {
        // The profile is not the editor's setup: setup transmitter without
        // --receiver would change the wrong receiver.
        err << "transfer: choose another transmitter in the profile " << shownCliPath(o.profile)
            << " (name it in a fleet file and run nx4400c-cli setup transmitter --receiver NAME, or open it in the "
               "editor) or give --force to send it all the same\n";
        return 1;
    }
    const QStringList fixes = fixCommands(report, CliReceiver{});
    err << "transfer: choose another transmitter (" << (fixes.isEmpty() ? QStringLiteral("nx4400c-cli setup transmitter") : fixes.first())
        << ") or give --force to send this setup all the same\n";
    return 1;
}

// Every receiver with the setup it is sent: the common one (the settings
// with the parameter file or --profile), or its fleet line's profile over the
// settings. Every profile is read before anything is sent. Returns -1 when
// ready, otherwise the exit code.
int batchReceivers(const AppContext &ctx, const Options &o, const ReceiverConfig &stored,
                   QList<BatchReceiver> *receivers, QTextStream &err)
{
    for (qsizetype i = 0; i < o.devices.size(); ++i) {
        BatchReceiver r{o.names.value(i, o.devices.at(i)), o.devices.at(i), ctx};
        const QString profile = o.profiles.value(i);
        if (!profile.isEmpty()) {
            // The settings the store holds, then the profile's, as --profile does.
            r.setup = ReceiverSetup{};
            r.setup.config = stored;
            QString why;
            if (!LoadProfile(profile, r.setup.config, r.setup.FipEntries, r.setup.EventSelection, &why)) {
                err << "transfer: " << r.name << ": " << why << "; nothing was sent to any receiver\n";
                return 1;
            }
        }
        receivers->append(r);
    }
    return -1;
}

// One line per problem with the transfer log; true when there was one.
bool reportTransferLog(const QString &name, const QString &error, QTextStream &err)
{
    if (error.isEmpty())
        return false;
    err << name << ": transfer log not updated: " << error << '\n';
    return true;
}

// The transfer log beside `alertLog` can be appended to (checked before
// anything is sent).
bool checkTransferLog(const QString &alertLog, QTextStream &err)
{
    QString why;
    if (CheckAppendableFile(TransferLogPathFor(alertLog), &why))
        return true;
    err << "transfer: transfer log " << why << '\n';
    return false;
}

// A single transfer's outcome in the transfer log beside `alertLog` (none
// when the alert log is off). False when it could not be written.
bool recordTransfer(const AppContext &ctx, const QString &alertLog, const QString &name, const BatchResult &r,
                    QTextStream &err)
{
    if (alertLog.isEmpty())
        return true;
    QString why;
    const TransferRecord record{ctx.clock().now(), name, r.ok, r.reason, r.romVersion};
    if (AlertRecord::logTransfer(alertLog, record, &why))
        return true;
    reportTransferLog(QStringLiteral("transfer"), why, err);
    return false;
}

int runBatch(AppContext &ctx, SystemClock &clock, const Options &o, const ReceiverConfig &stored, const QString &log,
             QTextStream &out, QTextStream &err)
{
    QList<BatchReceiver> all;
    if (const int code = batchReceivers(ctx, o, stored, &all, err); code >= 0)
        return code;
    // Each receiver's own setup is checked: one whose transmitter is gone or
    // off the air is refused alone (unless --force), the others are sent.
    QList<BatchReceiver> receivers;
    QList<BatchResult> refused;   // in the order of `all`, empty name: sent
    for (const BatchReceiver &r : all) {
        BatchResult result;
        const SetupCheck::Report report = checkCliSetup(r.setup);
        if (!report.isClean())
            printSetupFindings(err, QStringLiteral("transfer: ") + r.name, report);
        if (report.hasSerious() && !o.force) {
            result.name = r.name;
            result.device = r.device;
            result.reason = QStringLiteral("refused: ") + report.headline();
            CliReceiver named;
            named.name = r.name;
            named.device = r.device;
            named.place.profile = o.profiles.value(refused.size());
            const QStringList fixes = fixCommands(report, named);
            err << "transfer: " << r.name << " refused; nothing was sent to it (choose another transmitter";
            if (!fixes.isEmpty())
                err << ": " << fixes.first();
            err << "; or give --force)\n";
        } else {
            receivers.append(r);
        }
        refused.append(result);
    }
    BatchOptions bo;
    bo.clock = &clock;
    bo.timings = ctx.timings;
    bo.DaylightTimeActive = ctx.DaylightTimeActive;
    bo.settingsPath = ctx.settingsPath;
    bo.trace = o.traceGiven;
    bo.alertLogPath = log;
    bo.transferLogPath = TransferLogPathFor(log);
    bo.report = [&err](QString line) {
        // Each line already starts with its device; the port number every
        // session uses inside the batch means nothing to the user.
        line.replace(QLatin1String(": Negotiating Port # 1"), QLatin1String(": Negotiating"));
        err << line << '\n';
        err.flush();
    };
    const QList<BatchResult> sent = receivers.isEmpty() ? QList<BatchResult>() : RunBatchTransfer(receivers, ctx.catalog, bo);
    QList<BatchResult> results;
    for (qsizetype i = 0, k = 0; i < refused.size(); ++i)
        results.append(refused.at(i).name.isEmpty() ? sent.value(k++) : refused.at(i));

    int failed = 0;
    bool logFailed = false;
    QString traceText;
    QJsonArray json;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const BatchResult &r = results.at(i);
        const QString &name = r.name;
        QString reason = r.ok ? r.status : r.reason;
        reason.replace(QLatin1Char('\t'), QLatin1Char(' '));
        if (o.json)
            json.append(jsonResult(name, r.device, r, bo.alertLogPath, r.ok && r.logError.isEmpty()));
        else
            out << name << '\t' << (r.romVersion.isEmpty() ? QStringLiteral("-") : r.romVersion) << '\t'
                << (r.ok ? "ok" : "failed") << '\t' << reason << '\t' << QString::number(r.seconds, 'f', 1) << '\n';
        if (!r.ok)
            ++failed;
        if (r.unreadableAlerts > 0)
            err << name << ": " << r.unreadableAlerts
                << " history slot(s) could not be read and were not logged\n";
        if (reportTransferLog(name, r.transferLogError, err))
            logFailed = true;
        if (!r.logError.isEmpty()) {
            logFailed = true;
            err << name << ": alert log not updated: " << r.logError << '\n';
        } else if (r.ok) {
            err << name << ": " << r.alertsLogged << " new alert(s) added to "
                << QDir::toNativeSeparators(bo.alertLogPath) << '\n';
        }
        if (o.traceGiven)
            traceText += QStringLiteral("==== %1 ====\n").arg(name) + r.trace + QLatin1Char('\n');
    }
    if (o.json)
        printJson(out, json);
    out.flush();
    bool traced = true;
    if (o.traceGiven)
        traced = writeTrace(o.trace, traceText, err);
    err << (results.size() - failed) << " of " << results.size() << " receiver(s) programmed\n";
    return (failed > 0 || logFailed || !traced) ? 1 : 0;
}

} // namespace

int runTransferCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    SystemClock clock;
    // Every box goes to standard error and gets its most cautious answer.
    UnattendedPrompter prompter([](const QString &line) { QTextStream(stderr) << line << '\n'; });
    ConsoleView view;
    AppContext ctx;
    ctx.setClock(&clock);
    ctx.setPrompter(&prompter);
    ctx.setView(&view);
    ctx.endProgram = [](int) {};

    Options o;
    if (const int code = parseArguments(args, o, ctx, out, err); code >= 0)
        return code;
    // A fleet always reports receiver by receiver, even when --only keeps one.
    const bool batch = o.devices.size() > 1 || !o.fleet.isEmpty();
    QString log;   // where a single transfer's alerts go; empty: nowhere

    // Everything that could stop the run is checked before the receiver is
    // programmed: a log that is a pipe (or standard output piped to another
    // program) would hold the run up after the transfer, a device would be
    // destroyed, and a log we may not read cannot be kept free of repeats.
    if (batch) {
        QString why;
        // The user's log is the editor's: [AlertLog]/Path when the store
        // names one, else the default place.
        if (o.csvGiven) {
            log = o.csv;
        } else {
            if (SettingsStoreProblem(ctx).isEmpty())
                ctx.loadAlertLogSettings();
            log = ctx.alertLogPath.isEmpty() ? DefaultAlertLogPath() : ctx.alertLogPath;
        }
        if (log.isEmpty()) {
            err << "transfer: there is no place for the alert log; give --csv FILE\n";
            return 1;
        }
        // A log in a folder not made yet (a fresh home's data folder) is
        // begun there, for --csv as for the user's log.
        if (!MakeAlertLogFolder(log, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
        if (!CheckBatchAlertLog(log, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
        if (!checkTransferLog(log, err))
            return 1;
    } else if (o.csvGiven) {
        QString why;
        if (!MakeAlertLogFolder(o.csv, &why) || !CheckAppendableFile(o.csv, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
        if (!checkTransferLog(o.csv, err))
            return 1;
        log = o.csv;
    }
    if (o.traceGiven) {
        QString why;
        if (!CheckReplaceableFile(o.trace, &why)) {
            err << "transfer: trace " << why << '\n';
            return 1;
        }
    }

    // The same preparation as the editor's start-up: the settings and the
    // coverage lists are what goes to the receiver.
    ctx.DaylightTimeActive = clock.daylightTimeInEffect();
    ReceiverConfig stored;
    if (const int code = prepareSetup(ctx, o, &stored, err); code >= 0)
        return code;
    if (!batch) {
        if (const int code = checkSetup(ctx, o, out, err); code >= 0)
            return code;
    }
    if (!batch && !o.csvGiven) {
        // A single transfer adds to the user's alert log as the editor's
        // "Transfer Data" does, unless logging was turned off there. Checked
        // once the setup is known to be readable, still before anything is
        // sent.
        ctx.loadAlertLogSettings();
        if (ctx.alertLogEnabled) {
            QString why;
            log = ctx.alertLogPath;
            if (log.isEmpty()) {
                err << "transfer: there is no place for the alert log (is HOME set?); give --csv FILE\n";
                return 1;
            }
            if (!MakeAlertLogFolder(log, &why) || !CheckAppendableFile(log, &why)) {
                err << "transfer: alert log " << why << '\n';
                return 1;
            }
            if (!checkTransferLog(log, err))
                return 1;
        }
    }

    if (batch)
        return runBatch(ctx, clock, o, stored, log, out, err);

    LinkSession &session = ctx.session();
    if (o.devices.size() == 1) {
        // The one device named stands in for the settings' port.
        ctx.config.SerialPort = 1;
        session.Port1.setDevicePaths({o.devices.first(), QString(), QString(), QString()});
        if (o.namedByDevice)
            view.device = o.names.first();
    }
    // The settings' port is named by its device, as the log names it.
    const QString name = o.names.isEmpty() ? session.Port1.devicePath(ctx.config.SerialPort) : o.names.first();
    SerialTrace trace;
    if (o.traceGiven) {
        session.Port1.setTrace(&trace);
        view.trace = &trace;
    }
    QElapsedTimer took;
    took.start();
    BatchResult result;
    result.device = session.Port1.devicePath(ctx.config.SerialPort);
    // Known before its history is read: a deaf receiver is cross-checked too.
    QString registered;
    if (!log.isEmpty() && !AlertRecord::registerReceiver(log, name, result.device, &registered, ctx.config.TimeZoneName))
        err << "transfer: alert log " << QDir::toNativeSeparators(AlertStore::PathForLog(log)) << ": " << registered << '\n';
    result.ok = EstConnect(session, ctx, ctx.catalog, ctx.HistoryRows);
    CloseReceiverPort(session);
    result.seconds = took.nsecsElapsed() / 1e9;
    session.Port1.setTrace(nullptr);
    view.trace = nullptr;
    bool traced = true;
    if (o.traceGiven) {
        QString text = trace.text();
        if (!view.device.isEmpty()) {
            text.replace(QStringLiteral("Transfer on port 1 (%1)").arg(o.devices.first()),
                         QStringLiteral("Transfer on %1").arg(view.device));
            text.replace(QStringLiteral("port 1 opened on %1").arg(o.devices.first()),
                         QStringLiteral("opened %1").arg(view.device));
        }
        traced = writeTrace(o.trace, text, err);
    }
    if (!result.ok) {
        const QString status = view.statusText(QStringLiteral("Left"));
        // The status says which step failed; the port or the box says why.
        // The transfer's reason (bad checksum, short frame, wrong last byte,
        // lost port) when it gave one, else the port's or the box's.
        QString portError = view.statusText(QStringLiteral("Reason"));
        if (portError.isEmpty())
            portError = view.namedDevice(session.Port1.errorString());
        if (portError.isEmpty())
            portError = prompter.lastMessage;
        QStringList why;
        if (!status.isEmpty())
            why << status;
        if (!portError.isEmpty())
            why << portError;
        result.reason = why.isEmpty() ? QStringLiteral("the transfer failed") : why.join(QLatin1String(": "));
        err << "transfer: the transfer failed";
        if (!why.isEmpty())
            err << " (" << result.reason << ")";
        err << '\n';
        recordTransfer(ctx, log, name, result, err);
        if (o.json)
            printJson(out, QJsonArray{jsonResult(name, result.device, result, QString(), false)});
        return 1;
    }
    result.romVersion = ctx.config.ReceiverVersion;
    result.status = view.statusText(QStringLiteral("Left"));

    if (!o.json) {
        QString text = QString::fromUtf8(HistoryFileText(ctx.HistoryRows, ctx.clock().date()));
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        out << text;
        out.flush();
    }

    bool logged = false;
    if (!log.isEmpty()) {
        int unreadable = 0;
        // Every row names its receiver, as a batch names it, so that a batch
        // can add to the log a single transfer began; an old six-column log
        // keeps its layout.
        const QList<AlertLogEntry> alerts = AlertLogEntries(ctx.historySource(), name, &unreadable);
        if (unreadable > 0)
            err << "transfer: " << unreadable << " history slot(s) could not be read and were not logged\n";
        QString why;
        int added = 0;
        if (!AlertRecord::logAlerts(log, name, ReceiverKind::Receiver, alerts, false, &why, &added)) {
            err << "transfer: alert log " << QDir::toNativeSeparators(AlertStore::PathForLog(log)) << " not updated: "
                << why << '\n';
            result.logError = why;
        } else {
            logged = true;
            result.alertsLogged = added;
            err << added << " new alert(s) added to " << QDir::toNativeSeparators(AlertStore::PathForLog(log)) << '\n';
        }
    }
    const bool recorded = recordTransfer(ctx, log, name, result, err);
    if (o.json)
        printJson(out, QJsonArray{jsonResult(name, result.device, result, log, logged)});
    return (traced && recorded && result.logError.isEmpty()) ? 0 : 1;
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("transfer"),
    QStringLiteral("[--port N | --device PATH|URL]... [--devices FILE] [--fleet FILE [--only NAME]...] [--receiver NAME] [--profile FILE] [--csv FILE] [--trace FILE] [--force] [--json]"),
    QStringLiteral("Programs one receiver or many, reads back their alert history."),
    QStringLiteral("Sends the editor's settings to the receiver, reads back its alert history and prints it. "
                   "Without --profile, run it in the folder that holds NX_4400C.DAT (the editor's parameter file; "
                   "nx4400c-cli init makes the default one). Without --port or --device the settings' SerialPort "
                   "is used.\n\n"
                   "The alerts that the log does not hold yet are added to it: --csv FILE, or else the user's alert "
                   "log (~/.local/share/NX4400C/alerts.csv, under XDG_DATA_HOME when that is set), as the editor's "
                   "Transfer Data does; [AlertLog]/Enabled=false in the settings store turns the user's log off for "
                   "a single transfer. The user's log names the receiver in its Receiver column.\n\n"
                   "Several devices (--device or --port repeated, --devices FILE) or the receivers of a fleet file "
                   "(--fleet FILE) are programmed at once, each in a session of its own; a --devices file with one "
                   "device is a single transfer. A fleet file names one receiver a line: NAME DEVICE [PROFILE], # "
                   "begins a comment; each receiver gets its line's profile, or the common setup when the line names "
                   "none. Each receiver gets one tab-separated line on standard output: its name, ROM version, ok or "
                   "failed, reason, seconds. A receiver's name is its fleet NAME, or the device as it was written "
                   "(for --port N, the port's device); results, status lines, the trace, the alert log's Receiver "
                   "column and the transfer log all use it, and nx4400c-cli log rename OLD NEW joins a receiver's "
                   "history under a new name. Their alerts go to one alert log with a Receiver column (--csv FILE, "
                   "or else the user's alert log).\n\n"
                   "Every transfer, worked or failed, is added to the transfer log beside the alert log (alerts.csv: "
                   "alerts-transfers.csv): time, receiver, result, reason, ROM version; log audit --format "
                   "openmetrics reports it. One receiver "
                   "named twice, under any two names (a link and its device, a host name and its address, tcp:// and "
                   "rfc2217:// to one port), is refused before anything is sent."),
    {
        {QStringLiteral("--port"), QStringLiteral("N"), QStringLiteral("Uses the editor's port N (1 to 4)."), true, QStringLiteral("port")},
        {QStringLiteral("--device"), QStringLiteral("PATH|URL"),
         QStringLiteral("A device path (/dev/ttyUSB0) or a device server's line (rfc2217://HOST:PORT, tcp://HOST:PORT). "
                        "Status and trace lines name it instead of a port number."), true,
         QStringLiteral("device")},
        {QStringLiteral("--devices"), QStringLiteral("FILE"), QStringLiteral("One device a line; # begins a comment."), false, QStringLiteral("file")},
        {QStringLiteral("--fleet"), QStringLiteral("FILE"),
         QStringLiteral("Receivers by name, one a line: NAME DEVICE [PROFILE] (a profile's path is taken from the "
                        "file's folder); # begins a comment. Not with --port, --device or --devices."),
         false, QStringLiteral("file")},
        {QStringLiteral("--only"), QStringLiteral("NAME"),
         QStringLiteral("Only this receiver of the fleet (repeated, or names separated by commas)."), true,
         QStringLiteral("none")},
        receiverCliOption(QStringLiteral("Programs this receiver of the fleet with its own setup, on its own device "
                                         "(as --fleet FILE --only NAME).")),
        {QStringLiteral("--profile"), QStringLiteral("FILE"), QStringLiteral("Sends this receiver profile instead of the editor's setup."), false, QStringLiteral("profile")},
        {QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("Appends the alerts that FILE does not hold yet to this alert log instead of the user's."), false, QStringLiteral("file")},
        {QStringLiteral("--trace"), QStringLiteral("FILE"), QStringLiteral("Writes every byte sent and received to FILE."), false, QStringLiteral("file")},
        {QStringLiteral("--force"), QString(),
         QStringLiteral("Sends the setup even when its transmitter is gone from the coverage listing, out of service "
                        "or on another frequency (nx4400c-cli check says why). Without it such a setup is refused "
                        "for every receiver, with exit status 1."),
         false, QString()},
        {QStringLiteral("--json"), QString(),
         QStringLiteral("Prints one JSON object instead of the history or the result lines: one entry per receiver with "
                        "device, path, ROM, result, reason, seconds and alerts added (schema nx4400c-transfer, "
                        "version 1; docs/json/transfer.schema.json)."),
         false, QString()},
    },
    {QStringLiteral("0\tevery receiver was programmed"), QStringLiteral("1\ta receiver failed, or the setup, the alert log or the trace could not be read or written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli transfer"), QStringLiteral("nx4400c-cli transfer --device /dev/ttyUSB0 --json"),
     QStringLiteral("nx4400c-cli transfer --profile site.nxprofile --devices district.devices"),
     QStringLiteral("nx4400c-cli transfer --fleet district.fleet --only north")},
    [](const QStringList &args) { return runTransferCommand(args); },
    10,
});
} // namespace
