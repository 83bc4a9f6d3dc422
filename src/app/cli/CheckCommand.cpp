// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli check [--json]: the stored setup (settings and NX_4400C.DAT)
// against the coverage listing in use, the same findings in the same words
// as the editor's main window. Exits 1 when anything is found, so that a
// daily timer can tell the user when a listing update left the receiver
// with a transmitter that no longer broadcasts.
#include "app/cli/CliCommand.h"
#include "app/cli/CliCommands.h"

#include "app/AppContext.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/CoverageLocation.h"

#include <QCoreApplication>
#include <QDir>
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

int runCheck(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    bool json = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--json")) {
            json = true;
        } else {
            err << "check: unexpected argument \"" << a << "\"\nusage: nx4400c-cli check [--json]\n";
            return 2;
        }
    }
    AppContext ctx;
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "check: " << problem << '\n';
        return 1;
    }
    LoadConfiguration(ctx, ctx.config);
    if (!LoadParameterFile(ctx, ctx)) {
        err << "check: " << missingParameterFileText(ctx.parameterFilePath) << '\n';
        return 1;
    }
    const QString folder = cliStatesFolder();
    const SetupCheck::Report report = checkCliSetup(ctx);
    if (json) {
        QJsonObject o = report.json();
        o.insert(QStringLiteral("listing"), QDir::toNativeSeparators(folder));
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
    } else {
        for (const QString &line : report.lines())
            out << line << '\n';
    }
    out.flush();
    return report.isClean() ? 0 : 1;
}

const bool registered = Cli::add({
    QStringLiteral("check"),
    QStringLiteral("[--json]"),
    QStringLiteral("Checks the stored setup against the coverage listing in use."),
    QStringLiteral("Compares the transmitter, the selected counties and the event codes of the editor's setup (the "
                   "settings and NX_4400C.DAT in the current folder) with the coverage listing in use, shipped or "
                   "imported. It says when the transmitter is gone, out of service, degraded or now on another "
                   "frequency, when a selected county is not covered by it or by any transmitter, and when an event "
                   "code is not in the catalogue; for a transmitter that is gone or out of service it names the "
                   "transmitters that cover most of the selected counties. The same findings stop nx4400c-cli "
                   "transfer. Run it from a daily timer after the listing is updated."),
    {{QStringLiteral("--json"), QString(),
      QStringLiteral("Prints one JSON object: the headline, each finding with its kind and severity, and the "
                     "suggestions (schema nx4400c-check, version 1; docs/json/check.schema.json)."),
      false, QString()}},
    {QStringLiteral("0\tthe setup matches the listing"), QStringLiteral("1\tsomething was found, or the setup could not be read"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli check"), QStringLiteral("nx4400c-cli check --json")},
    [](const QStringList &args) { return runCheck(args); },
    12,
});

} // namespace
