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
#include "config/core/SettingsStore.h"
#include "app/AppContext.h"
#include "base/PathCheck.h"
#include "base/SafeWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

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

    // The editor's Yes: the default coverage on empty lists.
    LoadDefaultCoverage(ctx);
    QString why;
    if (!writeFileAtomically(datPath, ParameterFile::format(ctx.FipEntries, ctx.EventSelection), &why, LinkAtName::Follow)) {
        err << "init: cannot write " << shownCliPath(datPath) << ": " << why << "\nNothing was made.\n";
        return 1;
    }
    out << (dat.kind == PathKind::Missing ? "Made " : "Replaced ") << shownCliPath(datPath)
        << " (the default coverage: 4 counties of Florida, 17 event codes)\n";

    // The editor's exit with saving: every key, the working folder being
    // this one. A store the user has is kept as it is.
    const QString store = SettingsStoreFile(ctx);
    if (ClassifyPath(store).kind != PathKind::Missing) {
        out << "Kept the settings store " << QDir::toNativeSeparators(store) << '\n';
        return 0;
    }
    LoadConfiguration(ctx, ctx.config);
    ctx.config.EditorVersion = QStringLiteral("3.00");
    if (!SaveConfiguration(ctx, ctx.config, &why)) {
        err << "init: " << why << '\n';
        return 1;
    }
    out << "Made the settings store " << QDir::toNativeSeparators(store) << " (every setting at its default)\n";
    return 0;
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("init"),
    QStringLiteral("[--force]"),
    QStringLiteral("Makes the default parameter file NX_4400C.DAT here, and a settings store if there is none."),
    QStringLiteral("Does what the editor does when asked \"Create Default Data File?\" and answered Yes, then "
                   "closed with saving: NX_4400C.DAT in the current folder with the default coverage (four "
                   "counties of Florida and seventeen event codes), and the settings store with every setting at "
                   "its default and this folder as WorkingDirectory. A settings store that is already there is "
                   "kept. Prints what it made.\n\n"
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
