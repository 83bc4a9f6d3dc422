// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/StartUp.h"

#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "app/AppContext.h"
#include "app/gui/HelpCommands.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/gui/CoverageCommands.h"
#include "app/gui/NX4400C.h"
#include "app/gui/frmSplash.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

NX4400C *StartUp(AppContext &ctx)
{
    // 1-2. Create the main window with the hourglass; note the start time.
    auto *main = new NX4400C(ctx);
    main->setAttribute(Qt::WA_DeleteOnClose, false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const double started = ctx.clock().secondsSinceMidnight();

    // 3. Daylight time in effect right now?
    ctx.DaylightTimeActive = ctx.clock().daylightTimeInEffect();
    // 4-5.
    LoadConfiguration(ctx, ctx.config);
    // The serial link and its map of port numbers to devices, read from the
    // settings store beside the receiver's settings.
    ctx.session();
    ctx.loadAlertLogSettings();
    ctx.config.EditorVersion = QStringLiteral("3.00");
    // 6-7.
    InitEventCatalog(ctx.catalog);
    LoadParameterFile(ctx, ctx);
    // 8-13. State and frequency lists, the stored state's transmitters,
    // and the county windows preset from FipEntries.
    CoverageCommands::prepareCoverageWindows(ctx, ctx, main);
    // What the setup check finds shows as a line in the main window.
    main->refreshSetupCheck();

    // 14-16. The splash stays up until two seconds after the start. The
    // wait is a timer, not a comparison with the clock, so a start that
    // straddles midnight (where seconds-since-midnight starts again at 0)
    // cannot hold it up.
    {
        frmSplash splash;
        splash.setCursor(Qt::WaitCursor);
        splash.show();
        const double spent = ctx.clock().secondsSinceMidnight() - started;
        int remaining = ctx.timings.splashMs - int(spent * 1000.0);
        if (spent < 0 || remaining > ctx.timings.splashMs)
            remaining = ctx.timings.splashMs;
        if (remaining > 0) {
            QEventLoop loop;
            QTimer::singleShot(remaining, &loop, &QEventLoop::quit);
            loop.exec();
        }
        splash.unsetCursor();
    }
    QApplication::restoreOverrideCursor();

    // 17-18.
    main->show();
    main->activateWindow();
    HelpCommands::showTipAtStartup(ctx, main);
    return main;
}
