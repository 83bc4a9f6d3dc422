// SPDX-License-Identifier: GPL-3.0-or-later
// The NX-4400C editor.
#include "app/AppContext.h"
#include "app/gui/NX4400C.h"
#include "app/gui/QtPrompter.h"
#include "app/gui/StartUp.h"
#include "coverage/core/CoverageLocation.h"

#include <QApplication>
#include <QDir>

#include <cstdlib>

int main(int argc, char **argv)
{
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

    NX4400C *main = StartUp(ctx);
    running = true;
    const int rc = app.exec();
    delete main;
    return rc;
}
