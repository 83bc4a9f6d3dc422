// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli init: the start of a headless installation. It does what the
// editor does when the user answers Yes to "Create Default Data File?" and
// then exits with saving: the parameter file NX_4400C.DAT with the default
// coverage (four counties of Florida, seventeen event codes) in the current
// folder, and the settings store with every key at its default, unless the
// user already has one. An existing parameter file is never replaced
// without --force: it holds someone's counties.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "config/core/ParameterFile.h"
#include "config/core/ReceiverTimeZone.h"
#include "config/core/SettingsStore.h"
#include "app/AppContext.h"
#include "base/PathCheck.h"
#include "base/SafeWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimeZone>

QString shownCliPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString missingParameterFileText(const QString &path)
{
    return QStringLiteral("cannot read the parameter file %1 (run nx4400c-cli init in this folder to make the "
                          "default one, or run the command in the folder that holds yours)")
        .arg(shownCliPath(path));
}

namespace {

// The computer's IANA zone: the name the system gives ("America/Denver"),
// which may be an alias ("US/Mountain").
QString computerZone()
{
    return QString::fromUtf8(QTimeZone::systemTimeZoneId());
}

} // namespace

int runInitCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool force = args.contains(QLatin1String("--force"));
    for (const QString &a : args) {
        if (a != QLatin1String("--force")) {
            err << "init: unexpected argument \"" << a << "\"\n";
            return 2;
        }
    }

    AppContext ctx;
    // A store that is a pipe, a device or unreadable is neither read nor
    // written, and then nothing is made: half an installation helps no one.
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "init: " << problem << "\nNothing was made.\n";
        return 1;
    }
    const QString datPath = ctx.parameterFilePath;
    const PathStatus dat = ClassifyPath(datPath);
    if (dat.kind != PathKind::Missing && !force) {
        err << "init: " << shownCliPath(datPath)
            << " is already there; nothing was changed. Give --force to replace it with the default "
               "coverage.\n";
        return 1;
    }

    // The editor's Yes: the default coverage on empty lists, less the event
    // codes the catalogue does not have (the receiver's default list names
    // two it never decodes), so that the new setup passes its own check.
    LoadDefaultCoverage(ctx);
    InitEventCatalog(ctx.catalog);
    QStringList leftOut;
    QStringList kept;
    for (const QString &code : std::as_const(ctx.EventSelection)) {
        if (code.isEmpty())
            continue;
        if (ctx.catalog.find(code))
            kept << code;
        else
            leftOut << code;
    }
    for (qsizetype i = 0; i < ctx.EventSelection.size(); ++i)
        ctx.EventSelection[i] = kept.value(i);
    QString why;
    if (!writeFileAtomically(datPath, ParameterFile::format(ctx.FipEntries, ctx.EventSelection), &why, LinkAtName::Follow)) {
        err << "init: cannot write " << shownCliPath(datPath) << ": " << why << "\nNothing was made.\n";
        return 1;
    }
    out << (dat.kind == PathKind::Missing ? "Made " : "Replaced ") << shownCliPath(datPath)
        << " (the default coverage: 4 counties of Florida, " << kept.size() << " event codes)\n";
    if (!leftOut.isEmpty())
        out << "Left out of the default event codes: " << leftOut.join(QLatin1Char(' '))
            << " (not in the event catalogue, so the receiver would never take them)\n";

    // The editor's exit with saving: every key, the working folder being
    // this one. A store the user has is kept as it is.
    const QString store = SettingsStoreFile(ctx);
    if (ClassifyPath(store).kind != PathKind::Missing) {
        out << "Kept the settings store " << QDir::toNativeSeparators(store) << '\n';
        LoadConfiguration(ctx, ctx.config);
        if (ctx.config.TimeZoneName.isEmpty())
            out << "It names no time zone; the history follows the computer's daylight time today (nx4400c-cli "
                   "config set TimeZoneName "
                << (ReceiverTimeZone::checkName(computerZone(), nullptr, nullptr) ? computerZone() : QStringLiteral("ZONE"))
                << " sets it)\n";
        // The kept store's transmitter is every folder's: counties of
        // Florida under another state's transmitter would fail their check.
        const SetupCheck::Report report = checkCliSetup(ctx);
        if (!report.isClean())
            out << "The default counties do not fit the stored transmitter " << report.transmitter
                << ", which the settings store keeps for every folder (nx4400c-cli check says why; choose another "
                   "with nx4400c-cli setup transmitter, or select its counties with nx4400c-cli setup counties add)\n";
        return 0;
    }
    LoadConfiguration(ctx, ctx.config);
    ctx.config.EditorVersion = QStringLiteral("3.00");
    // History times follow the computer's own zone by name, so daylight time
    // is applied at each alert's date rather than as the computer has it
    // today.
    const QString zone = computerZone();
    int hours = 0;
    QString zoneWhy;
    const bool zoneFits = ReceiverTimeZone::checkName(zone, &hours, &zoneWhy);
    if (zoneFits) {
        ctx.config.TimeZoneName = zone;
        ctx.config.TimeZoneOffset = int16_t(hours);
    }
    if (!SaveConfiguration(ctx, ctx.config, &why)) {
        err << "init: " << why << '\n';
        return 1;
    }
    out << "Made the settings store " << QDir::toNativeSeparators(store) << " (every setting at its default)\n";
    if (zoneFits)
        out << "Stored this computer's time zone " << zone << " as TimeZoneName (TimeZoneOffset " << hours << ")\n";
    else
        out << "Stored no TimeZoneName: " << zoneWhy << "; set the receivers' zone with nx4400c-cli config set "
               "TimeZoneName ZONE\n";
    return 0;
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("init"),
    QStringLiteral("[--force]"),
    QStringLiteral("Makes the default parameter file NX_4400C.DAT here, and a settings store if there is none."),
    QStringLiteral("Does what the editor does when asked \"Create Default Data File?\" and answered Yes, then "
                   "closed with saving: NX_4400C.DAT in the current folder with the default coverage (four "
                   "counties of Florida and the default event codes the catalogue has; the two it lacks, SVW and "
                   "TOW, are left out with a line saying so), and the settings store with every setting at "
                   "its default, this folder as WorkingDirectory and the computer's time zone as TimeZoneName "
                   "(said on a line of its own). A settings store that is already there is kept. Prints what it made.\n\n"
                   "Run it once in the folder from which transfers will run (a systemd unit's WorkingDirectory)."),
    {{QStringLiteral("--force"), QString(), QStringLiteral("Replaces an existing NX_4400C.DAT with the default coverage."),
      false, QString()}},
    {QStringLiteral("0\tmade"), QStringLiteral("1\tNX_4400C.DAT is already there (without --force), or a file could not be written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli init")},
    [](const QStringList &args) { return runInitCommand(args); },
    5,
});
} // namespace
