// SPDX-License-Identifier: GPL-3.0-or-later
// The NX-4400C editor.
#include "app/AppContext.h"
#include "app/gui/NX4400C.h"
#include "app/gui/QtPrompter.h"
#include "app/gui/StartUp.h"
#include "coverage/core/CoverageLocation.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The usage, in the layout that the build turns into the manual page:
// usage lines, a one-line summary, paragraphs, then headed lists whose
// entries are indented by two blanks and their texts by six.
const char kUsage[] =
    "usage: nx4400c [--help | --version] [--monitor] [-platform NAME] [-style NAME] [PROFILE]\n"
    "\n"
    "Programs the NX-4400C SAME weather-alert receiver over a serial cable.\n"
    "\n"
    "The editor chooses the NOAA Weather Radio transmitter that the receiver listens to, the counties (at most 24)\n"
    "and the event codes (at most 48) it alerts for, and how it reacts: speaker, line output and LED, the rear\n"
    "connector's inputs and outputs, timers, the framing of its rear RS-232 output and its station\n"
    "identification. \"Transfer Data\" sends the setup to the receiver on one of the ports 1 to 4 and reads back\n"
    "its alert history and ROM version; the history can be printed, saved and kept in the alert log, which is\n"
    "audited for the required weekly and monthly tests. Setups are kept as receiver profiles. SAME test packets\n"
    "can be played through the sound card, and the receiver's memory dumped for support.\n"
    "\n"
    "The user who runs the editor needs access to the serial devices (the group dialout). The manual is under\n"
    "Help, Help Contents; nx4400c-cli(1) does the same work from scripts.\n"
    "\n"
    "Options:\n"
    "  --help\n"
    "      Prints this text and exits.\n"
    "  --version\n"
    "      Prints the editor's version and exits.\n"
    "  --monitor\n"
    "      Opens the Alert Monitor window once the editor has started.\n"
    "  PROFILE\n"
    "      A receiver profile (.nxprofile) to open at start, as File, Open Profile does.\n"
    "  -platform NAME\n"
    "      The Qt platform plugin: xcb, wayland or offscreen.\n"
    "  -style NAME\n"
    "      The Qt widget style, for example Fusion.\n"
    "\n"
    "Exit status:\n"
    "  0  the editor was closed\n"
    "  1  a fatal error ended it; its message box named it\n"
    "\n"
    "Files:\n"
    "  ~/.config/NX4400C/NX4400C.ini\n"
    "      The settings store: the receiver's settings, the devices that ports 1 to 4 stand for, the editor's\n"
    "      own choices.\n"
    "  NX_4400C.DAT\n"
    "      The parameter file in the current folder: the county lines and the event codes.\n"
    "  ~/.local/share/NX4400C/alerts.csv\n"
    "      The alert log: every transfer's alerts, appended.\n"
    "  NX_DUMP.TXT\n"
    "      The data dump, written to the current folder.\n"
    "  /usr/share/nx4400c/States\n"
    "      The 54 state files with every county and the transmitters that cover it, as shipped.\n"
    "  ~/.local/share/NX4400C/coverage/States\n"
    "      The state files of a coverage listing imported with File, Update Coverage; they take the place of\n"
    "      the shipped ones until File, Revert to Shipped Coverage.\n"
    "\n"
    "Environment:\n"
    "  HOME, XDG_CONFIG_HOME, XDG_DATA_HOME\n"
    "      Where the settings store and the alert log are kept.\n"
    "  TZ\n"
    "      The time zone in which the alert history is shown.\n"
    "\n"
    "See also:\n"
    "  nx4400c-cli(1), nx4400c-virtual-receiver(1)\n";

} // namespace

int main(int argc, char **argv)
{
    // Answered before any window library starts, so they work without a
    // display.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::puts("nx4400c 3.00");
            return 0;
        }
    }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("NX4400C"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.00"));
    QApplication::setQuitOnLastWindowClosed(false);

    AppContext ctx;
    QtPrompter prompter;
    ctx.setPrompter(&prompter);
    // The state files shipped beside the program (or installed in the shared
    // data folder), unless the user imported a newer listing.
    ctx.shippedStatesFolder = CoverageLocation::shippedFolder(QCoreApplication::applicationDirPath());
    ctx.statesFolder = CoverageLocation::activeFolder(ctx.shippedStatesFolder, ctx.coverageDataFolder);
    bool running = false;
    ctx.endProgram = [&running](int code) {
        // Before the event loop runs (a fatal error during start-up) there
        // is no loop to leave: end the process at once.
        if (!running)
            std::exit(code);
        QCoreApplication::exit(code);
    };

    // What the Start menu's Alert Monitor entry and an opened .nxprofile
    // file ask for (Qt has taken its own options, -platform and the like).
    bool monitor = false;
    QString profile;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--monitor")) {
            monitor = true;
        } else if (!args.at(i).startsWith(QLatin1Char('-')) && profile.isEmpty()) {
            profile = args.at(i);
        } else {
            std::fprintf(stderr, "nx4400c: unknown option %s (see nx4400c --help)\n", qPrintable(args.at(i)));
            return 2;
        }
    }

    NX4400C *main = StartUp(ctx);
    if (main)
        main->openAtStart(profile, monitor);
    running = true;
    const int rc = app.exec();
    delete main;
    return rc;
}
