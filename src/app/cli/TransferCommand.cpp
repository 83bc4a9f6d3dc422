// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli transfer [--csv FILE]: one transfer with the receiver, as the
// editor's "Transfer Data" runs it, then the receiver's history on standard
// output in the layout of the saved history file. With --csv the alerts that
// FILE does not hold yet are added to it, so that running this every hour
// keeps one complete alert log.
#include "app/cli/CliCommands.h"

#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/HistoryReport.h"
#include "link/core/LinkSession.h"
#include "link/core/Transfer.h"
#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/MainView.h"
#include "base/PathCheck.h"
#include "base/Prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

// No one sits at a cron job: every box is written to standard error and
// answered with its most cautious button (No, Cancel), so nothing is
// created or overwritten on the user's behalf.
class ConsolePrompter : public Prompter
{
public:
    Button ask(const QString &title, const QString &text, Icon, Buttons buttons) override
    {
        QString shown = text;
        shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
        QTextStream(stderr) << title << ": " << shown << '\n';
        switch (buttons) {
        case Buttons::Ok: return Button::Ok;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel: return Button::Cancel;
        case Buttons::YesNo: break;
        }
        return Button::No;
    }
    void beep() override {}
    QString saveFileName(const SaveRequest &) override { return QString(); }
};

// The status panels become lines on standard error; the progress bar and
// the history grid have nothing to show.
class ConsoleView : public NullView
{
public:
    void setStatusText(const QString &key, const QString &text) override
    {
        m_panels[key] = text;
        if (!text.isEmpty())
            QTextStream(stderr) << text << '\n';
    }
    QString statusText(const QString &key) const override { return m_panels.value(key); }

private:
    QMap<QString, QString> m_panels;
};

int usage(QTextStream &err)
{
    err << "usage: nx4400c-cli transfer [--csv FILE]\n"
           "Sends the editor's settings to the receiver, reads back its alert history\n"
           "and prints it. Run it in the folder that holds NX_4400C.DAT (the editor's\n"
           "parameter file). With --csv, alerts not yet in FILE are appended to it.\n";
    return 2;
}

} // namespace

int runTransferCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString csvPath;
    bool csvGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--csv")) {
            if (i + 1 >= args.size()) {
                err << "transfer: --csv needs a file name\n";
                return usage(err);
            }
            csvGiven = true;
            csvPath = args.at(++i);
        } else if (a.startsWith(QLatin1String("--csv="))) {
            csvGiven = true;
            csvPath = a.mid(6);
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage(out);
            return 0;
        } else {
            err << "transfer: unexpected argument \"" << a << "\"\n";
            return usage(err);
        }
    }
    if (csvGiven && csvPath.isEmpty()) {
        err << "transfer: the file name given to --csv is empty\n";
        return usage(err);
    }
    // Everything that could stop the run is checked before the receiver is
    // programmed: a log that is a pipe (or standard output piped to another
    // program) would hold the run up after the transfer, a device would be
    // destroyed, and a log we may not read cannot be kept free of repeats.
    if (csvGiven) {
        QString why;
        if (!CheckAppendableFile(csvPath, &why)) {
            err << "transfer: alert log " << why << '\n';
            return 1;
        }
    }

    SystemClock clock;
    ConsolePrompter prompter;
    ConsoleView view;
    AppContext ctx;
    ctx.setClock(&clock);
    ctx.setPrompter(&prompter);
    ctx.setView(&view);
    ctx.endProgram = [](int) {};

    // The same preparation as the editor's start-up: the settings and the
    // coverage lists are what goes to the receiver.
    ctx.DaylightTimeActive = clock.daylightTimeInEffect();
    // Without the user's settings the receiver would be sent factory
    // defaults: a store that is there but cannot be read stops the run, as a
    // missing parameter file does.
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "transfer: " << problem << "; nothing was sent to the receiver\n";
        return 1;
    }
    LoadConfiguration(ctx, ctx.config);
    InitEventCatalog(ctx.catalog);
    if (!LoadParameterFile(ctx, ctx)) {
        // Sending an empty county and event list would wipe the receiver's
        // coverage: refuse instead.
        err << "transfer: cannot read the parameter file "
            << QDir::toNativeSeparators(QFileInfo(ctx.parameterFilePath).absoluteFilePath())
            << "; nothing was sent to the receiver\n";
        return 1;
    }

    if (!EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows)) {
        err << "transfer: the transfer failed";
        const QString status = view.statusText(QStringLiteral("Left"));
        if (!status.isEmpty())
            err << " (" << status << ")";
        err << '\n';
        CloseReceiverPort(ctx.session());
        return 1;
    }
    CloseReceiverPort(ctx.session());

    QString text = QString::fromUtf8(HistoryFileText(ctx.HistoryRows, ctx.clock().date()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out << text;
    out.flush();

    if (csvPath.isEmpty())
        return 0;
    int unreadable = 0;
    const QList<AlertLogEntry> alerts = AlertLogEntries(ctx.historySource(), &unreadable);
    if (unreadable > 0)
        err << "transfer: " << unreadable << " history slot(s) could not be read and were not logged\n";
    const AlertLogMerge merge = AppendAlertLog(csvPath, alerts);
    if (!merge.ok) {
        err << "transfer: alert log " << QDir::toNativeSeparators(csvPath) << " not updated: " << merge.error
            << '\n';
        return 1;
    }
    err << merge.added.size() << " new alert(s) added to " << QDir::toNativeSeparators(csvPath) << '\n';
    return 0;
}
