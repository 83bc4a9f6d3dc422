// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli profile save FILE   the editor's setup (settings store and
//                                 NX_4400C.DAT) as a receiver profile
// nx4400c-cli profile load FILE   a receiver profile into the settings store
//                                 and NX_4400C.DAT, all or nothing
// nx4400c-cli image [--profile FILE]
//                                 the 511 bytes the receiver would be
//                                 programmed with, and their checksum
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"
#include "app/cli/ReceiverResolve.h"

#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "app/AppContext.h"
#include "base/PathCheck.h"
#include "base/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

int profileUsage(QTextStream &s, int code)
{
    s << "usage: nx4400c-cli profile save FILE [--force]\n"
         "       nx4400c-cli profile load FILE\n"
         "Saves the editor's receiver setup (settings, counties, event codes) to FILE,\n"
         "or loads FILE into the editor's settings and NX_4400C.DAT. Run it in the\n"
         "folder that holds NX_4400C.DAT. A profile that is not valid changes nothing.\n";
    return code;
}

int imageUsage(QTextStream &s, int code)
{
    s << "usage: nx4400c-cli image [--profile FILE | --receiver NAME [--fleet FILE]]\n"
         "Prints the 511 bytes the receiver is programmed with and their checksum, made\n"
         "from the editor's settings and NX_4400C.DAT, or from the profile FILE.\n";
    return code;
}

// The editor's settings and coverage lists, as a transfer would send them.
// Only the default (silent) prompter is used, which answers No to the offer
// of default coverage: a missing parameter file is reported, never replaced.
bool loadEditorSetup(AppContext &ctx, QTextStream &err, const QString &command)
{
    LoadConfiguration(ctx, ctx.config);
    if (!LoadParameterFile(ctx, ctx)) {
        err << command << ": " << missingParameterFileText(ctx.parameterFilePath) << '\n';
        return false;
    }
    return true;
}

int saveProfile(const QString &path, bool force)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    AppContext ctx;
    if (!loadEditorSetup(ctx, err, QStringLiteral("profile save")))
        return 1;
    QString why;
    if (!SaveProfile(path, ctx.config, ctx.FipEntries, ctx.EventSelection, &why,
                     force ? LinkAtName::Replace : LinkAtName::Refuse)) {
        err << "profile save: " << why;
        if (!force && isSymbolicLink(path))
            err << " (--force replaces the link itself)";
        err << '\n';
        return 1;
    }
    out << "Profile saved to " << shownPath(path) << '\n';
    return 0;
}

int loadProfile(const QString &path)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    AppContext ctx;
    LoadConfiguration(ctx, ctx.config);

    QString why;
    if (!LoadProfile(path, ctx.config, ctx.FipEntries, ctx.EventSelection, &why)) {
        err << "profile load: " << why << "\nNothing was changed.\n";
        return 1;
    }
    // The parameter file keeps the first event slots only; codes beyond
    // them would be lost without a word at the next start.
    for (int i = ParameterFile::StoredEventSlots; i < ctx.EventSelection.size(); ++i) {
        if (!ctx.EventSelection.at(i).isEmpty()) {
            err << "profile load: " << shownPath(path) << " has an event code in slot " << i
                << "; the parameter file keeps slots 0 to " << ParameterFile::StoredEventSlots - 1
                << " only. Open the profile in the editor or send it with the profile directly.\n"
                   "Nothing was changed.\n";
            return 1;
        }
    }

    // A store that cannot take the settings (a pipe, a folder, a read-only
    // file) is found before either file changes.
    // (A store not made yet is made with its folders when it is written.)
    QString problem = ctx.settingsProblem();
    if (problem.isEmpty() && ClassifyPath(ctx.settingsFile()).kind != PathKind::Missing
        && !CheckAppendableFile(ctx.settingsFile(), &problem))
        problem = QStringLiteral("The settings store ") + problem;
    if (!problem.isEmpty()) {
        err << "profile load: " << problem << "\nNothing was changed.\n";
        return 1;
    }

    // Two files change; each is replaced in one step, and the parameter file
    // is put back when the settings store cannot be written, so a failure
    // leaves both as they were.
    const QString datPath = ctx.parameterFilePath;
    const QFileInfo datInfo(datPath);
    const bool hadDat = datInfo.exists();
    QByteArray oldDat;
    if (hadDat) {
        QFile f(datPath);
        if (!datInfo.isFile() || !f.open(QIODevice::ReadOnly)) {
            err << "profile load: cannot read the parameter file " << shownPath(datPath) << "\nNothing was changed.\n";
            return 1;
        }
        oldDat = f.read(ParameterFile::MaxReadBytes);
    }
    QString writeError;
    if (!writeFileAtomically(datPath, ParameterFile::format(ctx.FipEntries, ctx.EventSelection), &writeError, LinkAtName::Follow)) {
        err << "profile load: cannot write the parameter file " << shownPath(datPath) << " (" << writeError
            << ")\nNothing was changed.\n";
        return 1;
    }
    QString storeError;
    if (!SaveConfiguration(ctx, ctx.config, &storeError)) {
        const bool restored = hadDat ? writeFileAtomically(datPath, oldDat, nullptr, LinkAtName::Follow) : QFile::remove(datPath);
        err << "profile load: " << storeError;
        if (restored)
            err << "\nNothing was changed.\n";
        else
            err << "; the parameter file " << shownPath(datPath) << " already holds the profile's coverage\n";
        return 1;
    }
    out << "Profile " << shownPath(path) << " loaded into the settings and " << shownPath(datPath) << '\n';
    return 0;
}

int profileCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() == 1 && (args.at(0) == QLatin1String("--help") || args.at(0) == QLatin1String("-h")))
        return profileUsage(out, 0);
    // "save" takes --force: a symbolic link at the name is replaced, never
    // written through.
    if (args.size() == 3 && args.at(0) == QLatin1String("save") && args.contains(QStringLiteral("--force"))) {
        const QString file = args.at(1) == QLatin1String("--force") ? args.at(2) : args.at(1);
        if (file.isEmpty() || file == QLatin1String("--force"))
            return profileUsage(err, 2);
        return saveProfile(file, true);
    }
    if (args.size() != 2 || args.at(1).isEmpty() || args.at(1) == QLatin1String("--force"))
        return profileUsage(err, 2);
    if (args.at(0) == QLatin1String("save"))
        return saveProfile(args.at(1), false);
    if (args.at(0) == QLatin1String("load"))
        return loadProfile(args.at(1));
    return profileUsage(err, 2);
}

int imageCommand(const QStringList &given)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = given;
    QString receiverName, fleet;
    if (const int code = takeReceiverOptions(QStringLiteral("image"), args, &receiverName, &fleet, err); code >= 0)
        return code;
    QString profilePath;
    bool fromProfile = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--profile") && i + 1 < args.size() && !fromProfile) {
            profilePath = args.at(++i);
            fromProfile = true;
        } else if (a.startsWith(QLatin1String("--profile=")) && !fromProfile) {
            profilePath = a.mid(10);
            fromProfile = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return imageUsage(out, 0);
        } else {
            err << "image: unexpected argument \"" << a << "\"\n";
            return imageUsage(err, 2);
        }
    }
    if (fromProfile && profilePath.isEmpty()) {
        err << "image: --profile needs a file name\n";
        return imageUsage(err, 2);
    }

    if (!receiverName.isEmpty() && fromProfile) {
        err << "image: --receiver NAME packs that receiver's own setup; it cannot be given with --profile\n";
        return imageUsage(err, 2);
    }
    if (receiverName.isEmpty() && !fleet.isEmpty()) {
        err << "image: --fleet names the file in which --receiver NAME is looked up\n";
        return imageUsage(err, 2);
    }

    AppContext ctx;
    if (!receiverName.isEmpty()) {
        // What a transfer to that receiver sends: its profile over the
        // store's settings, or the editor's setup for a line without one.
        CliReceiver receiver;
        QString why;
        if (!resolveReceiver(ctx, receiverName, fleet, &receiver, &why)) {
            err << "image: " << why << '\n';
            return 1;
        }
        if (!loadCliReceiverSetup(ctx, receiver, ctx, QStringLiteral("image"), err))
            return 1;
    } else if (fromProfile) {
        // The settings a profile leaves out do not reach the image; the
        // store is read anyway so the result is what the editor would send
        // after opening the profile.
        LoadConfiguration(ctx, ctx.config);
        QString why;
        if (!LoadProfile(profilePath, ctx.config, ctx.FipEntries, ctx.EventSelection, &why)) {
            err << "image: " << why << '\n';
            return 1;
        }
    } else if (!loadEditorSetup(ctx, err, QStringLiteral("image"))) {
        return 1;
    }
    // The image is printed all the same: it is looked at, not sent.
    if (const SetupCheck::Report report = checkCliSetup(ctx); !report.isClean())
        printSetupFindings(err, QStringLiteral("image"), report);
    PackParameterBlock(ctx.config, ctx.session().UploadImage);
    PackCoverageLists(ctx, ctx.session().UploadImage);

    QString text;
    for (int offset = 0; offset < ParameterImage::ImageLength; offset += 16) {
        text += QStringLiteral("%1 ").arg(offset, 4, 16, QLatin1Char('0')).toUpper();
        for (int i = offset; i < offset + 16 && i < ParameterImage::ImageLength; ++i)
            text += QStringLiteral(" %1").arg(ctx.session().UploadImage[i], 2, 16, QLatin1Char('0')).toUpper();
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("checksum ")
            + QStringLiteral("%1").arg(ImageChecksum(ctx.session().UploadImage), 2, 16, QLatin1Char('0')).toUpper() + QLatin1Char('\n');
    out << text;
    out.flush();
    return out.status() == QTextStream::Ok ? 0 : 1;
}

} // namespace

int runProfileCommand(const QString &command, const QStringList &args)
{
    if (command == QLatin1String("image"))
        return imageCommand(args);
    return profileCommand(args);
}

namespace {
const bool saved = Cli::add({
    QStringLiteral("profile save"),
    QStringLiteral("FILE [--force]"),
    QStringLiteral("Saves the editor's receiver setup (settings, counties, event codes) to FILE."),
    QStringLiteral("Run it in the folder that holds NX_4400C.DAT. A symbolic link at FILE is refused, so the file it "
                   "leads to is never overwritten; with --force the link itself is replaced by the profile."),
    {{QStringLiteral("FILE"), QString(), QStringLiteral("The profile to write."), false, QStringLiteral("profile")},
     {QStringLiteral("--force"), QString(), QStringLiteral("Replaces a symbolic link at FILE (never what it leads to)."), false, QString()}},
    {QStringLiteral("0\tsaved"), QStringLiteral("1\tthe setup could not be read or the file not written"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runProfileCommand(QStringLiteral("profile"), QStringList{QStringLiteral("save")} + args); },
    30,
});
const bool loaded = Cli::add({
    QStringLiteral("profile load"),
    QStringLiteral("FILE"),
    QStringLiteral("Loads FILE into the editor's settings and NX_4400C.DAT."),
    QStringLiteral("A profile that is not valid is refused with its line number and changes nothing."),
    {{QStringLiteral("FILE"), QString(), QStringLiteral("The profile to read."), false, QStringLiteral("profile")}},
    {QStringLiteral("0\tloaded"), QStringLiteral("1\tthe profile was refused or could not be stored"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runProfileCommand(QStringLiteral("profile"), QStringList{QStringLiteral("load")} + args); },
    31,
});
const bool image = Cli::add({
    QStringLiteral("image"),
    QStringLiteral("[--profile FILE | --receiver NAME [--fleet FILE]]"),
    QStringLiteral("Prints the 511 bytes the receiver is programmed with and their checksum."),
    QStringLiteral("Made from the editor's settings and NX_4400C.DAT, from the profile FILE, or from the setup of "
                   "the fleet's receiver NAME: the bytes transfer --fleet sends it."),
    {{QStringLiteral("--profile"), QStringLiteral("FILE"), QStringLiteral("The profile to pack instead of the editor's setup."), false, QStringLiteral("profile")},
     receiverCliOption(QStringLiteral("Packs this receiver's own setup.")),
     fleetCliOption()},
    {QStringLiteral("0\tprinted"), QStringLiteral("1\tthe setup could not be read"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runProfileCommand(QStringLiteral("image"), args); },
    32,
});
} // namespace
