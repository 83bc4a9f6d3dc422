// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli check [--json]: the stored setup (settings and NX_4400C.DAT)
// against the coverage listing in use, the same findings in the same words
// as the editor's main window. Exits 1 when anything is found, so that a
// daily timer can tell the user when a listing update left the receiver
// with a transmitter that no longer broadcasts.
#include "app/cli/CliCommand.h"
#include "app/cli/CliCommands.h"
#include "app/cli/ReceiverResolve.h"

#include "app/AppContext.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/CoverageLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

QString cliStatesFolder()
{
    return CoverageLocation::activeFolder(CoverageLocation::shippedFolder(QCoreApplication::applicationDirPath()),
                                          QString());
}

SetupCheck::Report checkCliSetup(const ReceiverSetup &setup)
{
    EventCatalog catalog;
    InitEventCatalog(catalog);
    return SetupCheck::checkFolder(cliStatesFolder(), setup, catalog);
}

void printSetupFindings(QTextStream &err, const QString &command, const SetupCheck::Report &report)
{
    for (const QString &line : report.lines())
        err << command << ": " << line << '\n';
    err.flush();
}

namespace {

// The editor's counties sit in the folder's NX_4400C.DAT, its transmitter in
// the settings store every folder shares: a folder set up for another site
// shows here as counties the transmitter does not cover.
void nameFolderThatDoesNotFit(const AppContext &ctx, const SetupCheck::Report &report, QTextStream &out)
{
    int uncovered = 0;
    for (const SetupCheck::Finding &f : report.findings)
        uncovered += f.kind == SetupCheck::Kind::CountyNotCovered ? 1 : 0;
    if (uncovered == 0)
        return;
    out << "The counties of " << shownCliPath(ctx.parameterFilePath) << " do not fit the stored transmitter "
        << (report.callsign.isEmpty() ? report.transmitter : report.callsign) << " (" << uncovered << " of "
        << report.selectedCounties << " not covered); the settings store "
        << QDir::toNativeSeparators(SettingsStoreFile(ctx)) << " keeps one transmitter for every folder\n";
}

int checkOne(CliReceiver receiver, bool json)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    AppContext ctx;
    if (!loadCliReceiverSetup(ctx, receiver, ctx, QStringLiteral("check"), err))
        return 1;
    const QString folder = cliStatesFolder();
    const SetupCheck::Report report = checkCliSetup(ctx);
    if (json) {
        QJsonObject o = report.json();
        o.insert(QStringLiteral("listing"), QDir::toNativeSeparators(folder));
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
    } else {
        if (!receiver.isEditors())
            out << receiver.described(ctx) << '\n';
        for (const QString &line : report.lines())
            out << line << '\n';
        if (receiver.place.isEditors())
            nameFolderThatDoesNotFit(ctx, report, out);
        for (const QString &fix : fixCommands(report, receiver))
            out << "To fix it: " << fix << '\n';
    }
    out.flush();
    return report.isClean() ? 0 : 1;
}

// Every receiver of the fleet, one line each: NAME, ok or found, the
// headline, and the commands that fix what was found.
int checkFleet(const QString &fleet, bool json)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QList<CliReceiver> receivers;
    QString why;
    {
        AppContext ctx;
        if (!resolveFleet(ctx, fleet, &receivers, &why)) {
            err << "check: " << why << '\n';
            return 1;
        }
    }
    int found = 0;
    QJsonArray all;
    for (CliReceiver &r : receivers) {
        AppContext ctx;
        QString text;
        QTextStream problem(&text);
        if (!loadCliReceiverSetup(ctx, r, ctx, QStringLiteral("check"), problem)) {
            ++found;
            problem.flush();
            const QString reason = text.trimmed().mid(QStringLiteral("check: ").size());
            if (json)
                all.append(QJsonObject{{QStringLiteral("receiver"), r.name}, {QStringLiteral("error"), reason}});
            else
                out << r.name << "\tunreadable\t" << reason << '\n';
            continue;
        }
        const SetupCheck::Report report = checkCliSetup(ctx);
        const QStringList fixes = fixCommands(report, r);
        if (!report.isClean())
            ++found;
        if (json) {
            QJsonObject check = report.json();
            check.insert(QStringLiteral("listing"), QDir::toNativeSeparators(cliStatesFolder()));
            QJsonObject o{{QStringLiteral("receiver"), r.name},
                          {QStringLiteral("profile"), QDir::toNativeSeparators(r.place.profile)},
                          {QStringLiteral("check"), check},
                          {QStringLiteral("fixes"), QJsonArray::fromStringList(fixes)}};
            all.append(o);
        } else {
            out << r.name << '\t' << (report.isClean() ? "ok" : "found") << '\t' << report.headline();
            if (!fixes.isEmpty())
                out << "\tto fix it: " << fixes.join(QLatin1String("; "));
            out << '\n';
        }
    }
    if (json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("listing"), QDir::toNativeSeparators(cliStatesFolder())},
                                         {QStringLiteral("receivers"), all}})
                   .toJson(QJsonDocument::Indented);
    out.flush();
    return found > 0 ? 1 : 0;
}

int runCheck(const QStringList &given)
{
    QTextStream err(stderr);
    QStringList args = given;
    QString name, fleet;
    if (const int code = takeReceiverOptions(QStringLiteral("check"), args, &name, &fleet, err); code >= 0)
        return code;
    bool json = false;
    for (const QString &a : std::as_const(args)) {
        if (a == QLatin1String("--json")) {
            json = true;
        } else {
            err << "check: unexpected argument \"" << a
                << "\"\nusage: nx4400c-cli check [--json] [--receiver NAME] [--fleet FILE]\n";
            return 2;
        }
    }
    if (name.isEmpty() && !fleet.isEmpty())
        return checkFleet(fleet, json);
    CliReceiver receiver;
    if (!name.isEmpty()) {
        AppContext ctx;
        QString why;
        if (!resolveReceiver(ctx, name, fleet, &receiver, &why)) {
            err << "check: " << why << '\n';
            return 1;
        }
    }
    return checkOne(receiver, json);
}

const bool registered = Cli::add({
    QStringLiteral("check"),
    QStringLiteral("[--json] [--receiver NAME] [--fleet FILE]"),
    QStringLiteral("Checks the stored setup against the coverage listing in use."),
    QStringLiteral("Compares the transmitter, the selected counties and the event codes of the editor's setup (the "
                   "settings and NX_4400C.DAT in the current folder) with the coverage listing in use, shipped or "
                   "imported. It says when the transmitter is gone, out of service, degraded or now on another "
                   "frequency, when a selected county is not covered by it or by any transmitter, and when an event "
                   "code is not in the catalogue; for a transmitter that is gone or out of service it names the "
                   "transmitters that cover most of the selected counties. The same findings stop nx4400c-cli "
                   "transfer. Run it from a daily timer after the listing is updated.\n\n"
                   "The editor's transmitter is kept in the settings store, which every folder shares; a folder "
                   "whose counties do not fit it is named. With --receiver NAME the receiver's own setup (its "
                   "profile in the fleet file) is checked; with --fleet FILE alone every receiver of the fleet is, "
                   "one tab-separated line each: name, ok or found, what was found, and the commands that fix it, "
                   "each naming the receiver (nx4400c-cli setup transmitter --receiver gym KZZ99). With --json the "
                   "fleet's check is one object: listing, and receivers, each with receiver, profile, check (as "
                   "check --json prints it) and fixes, or receiver and error when its setup could not be read."),
    {{QStringLiteral("--json"), QString(),
      QStringLiteral("Prints one JSON object: the headline, each finding with its kind and severity, and the "
                     "suggestions (schema nx4400c-check, version 1; docs/json/check.schema.json)."),
      false, QString()},
     receiverCliOption(QStringLiteral("Checks this receiver's own setup.")),
     fleetCliOption(QStringLiteral("The fleet file (NAME DEVICE [PROFILE] a line); without --receiver every "
                                   "receiver of it is checked, one line each."))},
    {QStringLiteral("0\tthe setup matches the listing (with --fleet: every receiver's)"),
     QStringLiteral("1\tsomething was found (for any receiver), or a setup could not be read"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli check"), QStringLiteral("nx4400c-cli check --json"),
     QStringLiteral("nx4400c-cli check --fleet district.fleet")},
    [](const QStringList &args) { return runCheck(args); },
    12,
});

} // namespace
