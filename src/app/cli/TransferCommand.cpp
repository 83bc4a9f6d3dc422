// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli transfer: one transfer with the receiver, as the editor's
// "Transfer Data" runs it, then the receiver's history on standard output in
// the layout of the saved history file. With --csv the alerts that FILE does
// not hold yet are added to it, so that running this every hour keeps one
// complete alert log.
//
// Given several devices (--device repeated, --port repeated, --devices FILE)
// it programs them all at once, each receiver in a link session and thread
// of its own (link/core/BatchTransfer.h), and prints one result line per
// receiver instead of the history. The receivers' alerts then go to one
// alert log with a Receiver column (the device), --csv FILE or else the
// user's alert log: one file keeps the district's alerts in one place, and
// the column keeps two receivers that heard the same alert apart.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "config/core/ParameterFile.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/HistoryReport.h"
#include "link/core/BatchTransfer.h"
#include "link/core/DeviceName.h"
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
#include <QFileInfo>
#include <QMutex>
#include <QTextStream>

namespace {

// The status panels become lines on standard error; the progress bar and
// the history grid have nothing to show.
class ConsoleView : public NullView
{
public:
    void setStatusText(const QString &key, const QString &text) override
    {
        m_panels[key] = text;
        // With --trace, the steps of the exchange head the trace's parts.
        if (trace && key == QLatin1String("Left"))
            trace->followTransferStep(text);
        if (!text.isEmpty())
            QTextStream(stderr) << text << '\n';
    }
    QString statusText(const QString &key) const override { return m_panels.value(key); }

    SerialTrace *trace = nullptr;

private:
    QMap<QString, QString> m_panels;
};

int usage(QTextStream &err)
{
    err << "usage: nx4400c-cli transfer [--port N | --device PATH|URL]... [--devices FILE]\n"
           "                            [--profile FILE] [--csv FILE] [--trace FILE]\n"
           "Sends the editor's settings to the receiver, reads back its alert history\n"
           "and prints it. Without --profile, run it in the folder that holds NX_4400C.DAT\n"
           "(the editor's parameter file); --profile FILE sends a receiver profile instead.\n"
           "--port N (1..4) uses the editor's port map; --device names the device directly:\n"
           "a path (/dev/ttyUSB0) or a device server's line (rfc2217://HOST:PORT,\n"
           "tcp://HOST:PORT). With --csv, alerts not yet in FILE are appended to it.\n"
           "--trace FILE writes every byte sent and received to FILE.\n"
           "Several devices (--device or --port repeated, --devices FILE with one device a\n"
           "line, # starts a comment) are programmed at once. Each gets one line on\n"
           "standard output: device, ROM version, ok or failed, reason, seconds (tab\n"
           "separated). Their alerts go to one alert log with a Receiver column: --csv FILE,\n"
           "or else " << QDir::toNativeSeparators(DefaultAlertLogPath()) << ". The exit code is 1 when any receiver\n"
           "failed.\n";
    return 2;
}

struct Options {
    QStringList devices;      // as given, in order; empty: the settings' port
    QString profile;
    QString csv;
    QString trace;
    bool csvGiven = false;
    bool profileGiven = false;
    bool traceGiven = false;
};

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
        static const QStringList valued{QStringLiteral("--csv"), QStringLiteral("--port"),
                                        QStringLiteral("--device"), QStringLiteral("--devices"),
                                        QStringLiteral("--profile"), QStringLiteral("--trace")};
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            name = a.section(QLatin1Char('='), 0, 0);
            value = a.section(QLatin1Char('='), 1);
            hasValue = true;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage(out);
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
        } else if (name == QLatin1String("--device")) {
            QString why;
            if (value.isEmpty() || !IsAcceptableDeviceName(value, &why)) {
                err << "transfer: --device \"" << value << "\": " << (why.isEmpty() ? QStringLiteral("empty") : why)
                    << '\n';
                return usage(err);
            }
            o.devices << value;
        } else if (name == QLatin1String("--devices")) {
            QString why;
            if (!ReadDeviceList(value, &o.devices, &why)) {
                err << "transfer: " << why << '\n';
                return 1;
            }
        }
    }
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
int prepareSetup(AppContext &ctx, const Options &o, QTextStream &err)
{
    // Without the user's settings the receiver would be sent factory
    // defaults: a store that is there but cannot be read stops the run, as a
    // missing parameter file does.
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "transfer: " << problem << "; nothing was sent to the receiver\n";
        return 1;
    }
    LoadConfiguration(ctx, ctx.config);
    InitEventCatalog(ctx.catalog);
    if (o.profileGiven) {
        QString why;
        if (!LoadProfile(o.profile, ctx.config, ctx.FipEntries, ctx.EventSelection, &why)) {
            err << "transfer: " << why << "; nothing was sent to the receiver\n";
            return 1;
        }
        return -1;
    }
    if (!LoadParameterFile(ctx, ctx)) {
        // Sending an empty county and event list would wipe the receiver's
        // coverage: refuse instead.
        err << "transfer: cannot read the parameter file "
            << QDir::toNativeSeparators(QFileInfo(ctx.parameterFilePath).absoluteFilePath())
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

int runBatch(AppContext &ctx, SystemClock &clock, const Options &o, QTextStream &out, QTextStream &err)
{
    BatchOptions bo;
    bo.clock = &clock;
    bo.timings = ctx.timings;
    bo.DaylightTimeActive = ctx.DaylightTimeActive;
    bo.settingsPath = ctx.settingsPath;
    bo.trace = o.traceGiven;
    bo.alertLogPath = o.csvGiven ? o.csv : DefaultAlertLogPath();
    bo.report = [&err](const QString &line) {
        err << line << '\n';
        err.flush();
    };
    const QList<BatchResult> results = RunBatchTransfer(o.devices, ctx, ctx.catalog, bo);

    int failed = 0;
    bool logFailed = false;
    QString traceText;
    for (const BatchResult &r : results) {
        QString reason = r.ok ? r.status : r.reason;
        reason.replace(QLatin1Char('\t'), QLatin1Char(' '));
        out << r.device << '\t' << (r.romVersion.isEmpty() ? QStringLiteral("-") : r.romVersion) << '\t'
            << (r.ok ? "ok" : "failed") << '\t' << reason << '\t' << QString::number(r.seconds, 'f', 1) << '\n';
        if (!r.ok)
            ++failed;
        if (r.unreadableAlerts > 0)
            err << r.device << ": " << r.unreadableAlerts
                << " history slot(s) could not be read and were not logged\n";
        if (!r.logError.isEmpty()) {
            logFailed = true;
            err << r.device << ": alert log not updated: " << r.logError << '\n';
        } else if (r.ok) {
            err << r.device << ": " << r.alertsLogged << " new alert(s) added to "
                << QDir::toNativeSeparators(bo.alertLogPath) << '\n';
        }
        if (o.traceGiven)
            traceText += QStringLiteral("==== %1 ====\n").arg(r.device) + r.trace + QLatin1Char('\n');
    }
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
    const bool batch = o.devices.size() > 1;

    // Everything that could stop the run is checked before the receiver is
    // programmed: a log that is a pipe (or standard output piped to another
    // program) would hold the run up after the transfer, a device would be
    // destroyed, and a log we may not read cannot be kept free of repeats.
    if (batch) {
        QString why;
        const QString log = o.csvGiven ? o.csv : DefaultAlertLogPath();
        if (log.isEmpty()) {
            err << "transfer: there is no place for the alert log; give --csv FILE\n";
            return 1;
        }
        if (!o.csvGiven && !MakeAlertLogFolder(log, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
        if (!CheckBatchAlertLog(log, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
    } else if (o.csvGiven) {
        QString why;
        if (!CheckAppendableFile(o.csv, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
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
    if (const int code = prepareSetup(ctx, o, err); code >= 0)
        return code;

    if (batch)
        return runBatch(ctx, clock, o, out, err);

    LinkSession &session = ctx.session();
    if (o.devices.size() == 1) {
        // The one device named stands in for the settings' port.
        ctx.config.SerialPort = 1;
        session.Port1.setDevicePaths({o.devices.first(), QString(), QString(), QString()});
    }
    SerialTrace trace;
    if (o.traceGiven) {
        session.Port1.setTrace(&trace);
        view.trace = &trace;
    }
    const bool ok = EstConnect(session, ctx, ctx.catalog, ctx.HistoryRows);
    CloseReceiverPort(session);
    session.Port1.setTrace(nullptr);
    view.trace = nullptr;
    const bool traced = !o.traceGiven || writeTrace(o.trace, trace.text(), err);
    if (!ok) {
        err << "transfer: the transfer failed";
        const QString status = view.statusText(QStringLiteral("Left"));
        // The status says which step failed; the port or the box says why.
        // The transfer's reason (bad checksum, short frame, wrong last byte,
        // lost port) when it gave one, else the port's or the box's.
        QString portError = view.statusText(QStringLiteral("Reason"));
        if (portError.isEmpty())
            portError = session.Port1.errorString();
        if (portError.isEmpty())
            portError = prompter.lastMessage;
        if (!status.isEmpty() || !portError.isEmpty()) {
            err << " (" << status;
            if (!status.isEmpty() && !portError.isEmpty())
                err << ": ";
            err << portError << ")";
        }
        err << '\n';
        return 1;
    }

    QString text = QString::fromUtf8(HistoryFileText(ctx.HistoryRows, ctx.clock().date()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out << text;
    out.flush();

    if (!o.csvGiven)
        return traced ? 0 : 1;
    int unreadable = 0;
    const QList<AlertLogEntry> alerts = AlertLogEntries(ctx.historySource(), &unreadable);
    if (unreadable > 0)
        err << "transfer: " << unreadable << " history slot(s) could not be read and were not logged\n";
    const AlertLogMerge merge = AppendAlertLog(o.csv, alerts);
    if (!merge.ok) {
        err << "transfer: alert log " << QDir::toNativeSeparators(o.csv) << " not updated: " << merge.error
            << '\n';
        return 1;
    }
    err << merge.added.size() << " new alert(s) added to " << QDir::toNativeSeparators(o.csv) << '\n';
    return traced ? 0 : 1;
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("transfer"),
    QStringLiteral("[--port N | --device PATH|URL]... [--devices FILE] [--profile FILE] [--csv FILE] [--trace FILE]"),
    QStringLiteral("Programs one receiver or many, reads back their alert history."),
    QStringLiteral("Sends the editor's settings to the receiver, reads back its alert history and prints it. "
                   "Without --profile, run it in the folder that holds NX_4400C.DAT (the editor's parameter file).\n\n"
                   "Several devices (--device or --port repeated, --devices FILE) are programmed at once, each in a "
                   "session of its own. Each gets one tab-separated line on standard output: device, ROM version, "
                   "ok or failed, reason, seconds. One receiver named twice, under any two names (a link and its "
                   "device, a host name and its address, tcp:// and rfc2217:// to one port), is refused before "
                   "anything is sent."),
    {
        {QStringLiteral("--port"), QStringLiteral("N"), QStringLiteral("Uses the editor's port N (1 to 4)."), true, QStringLiteral("port")},
        {QStringLiteral("--device"), QStringLiteral("PATH|URL"),
         QStringLiteral("A device path (/dev/ttyUSB0) or a device server's line (rfc2217://HOST:PORT, tcp://HOST:PORT)."), true,
         QStringLiteral("device")},
        {QStringLiteral("--devices"), QStringLiteral("FILE"), QStringLiteral("One device a line; # starts a comment line."), false, QStringLiteral("file")},
        {QStringLiteral("--profile"), QStringLiteral("FILE"), QStringLiteral("Sends this receiver profile instead of the editor's setup."), false, QStringLiteral("profile")},
        {QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("Appends the alerts that FILE does not hold yet to this alert log."), false, QStringLiteral("file")},
        {QStringLiteral("--trace"), QStringLiteral("FILE"), QStringLiteral("Writes every byte sent and received to FILE."), false, QStringLiteral("file")},
    },
    {QStringLiteral("0\tevery receiver was programmed"), QStringLiteral("1\ta receiver failed"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runTransferCommand(args); },
    10,
});
} // namespace
