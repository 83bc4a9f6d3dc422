// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The windows that open from the editor's context alone, for the tests that
// walk every window and hold each to a check of their own: the screen-fit
// test (fits a 1024x768 screen, no two controls overlap) and the
// accessibility test (every control readable). A window added here is held
// to both. Windows that need a scene of their own (a gone transmitter, a
// transfer's history, a second page) stay in the test that sets it up.

#include "app/gui/HelpViewer.h"
#include "app/gui/frmTip.h"
#include "coverage/gui/frmFIPEdit.h"
#include "diagnostics/gui/frmDataDump.h"
#include "history/core/AlertLog.h"
#include "history/gui/frmAlertLog.h"
#include "link/core/LinkSession.h"
#include "link/gui/frmCommPort.h"
#include "options/gui/frmIdent.h"
#include "options/gui/frmInOuts.h"
#include "options/gui/frmOption.h"
#include "options/gui/frmRS232.h"
#include "options/gui/frmTimers.h"
#include "support/GeneratedAlertLog.h"
#include "support/TestEnv.h"
#include "testpackets/gui/frmTest.h"

#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QTest>
#include <QStringList>
#include <functional>

// Shows `window` (named `title` in grabs and messages) and returns what is
// wrong with it, empty when nothing is.
using WindowCheck = std::function<QStringList(QWidget *window, const QString &title)>;
// Shows `window`, waits until it is on the screen, runs `look` on it and
// hides it again: what `look` found, or that the window never showed.
inline QStringList whileShown(QWidget *window, const QString &title, const WindowCheck &look)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return {title + QStringLiteral(": never shown")};
    const QStringList found = look(window, title);
    window->hide();
    return found;
}

using PlainWindowOpener = std::function<QStringList(TestEnv &, const WindowCheck &)>;

inline QList<QPair<const char *, PlainWindowOpener>> plainWindows()
{
    return {
        {"setup",
         [](TestEnv &env, const WindowCheck &check) {
             frmCommPort w(env.ctx->session(), env.ctx->config);
             return check(&w, QStringLiteral("frmCommPort"));
         }},
        {"county editor",
         [](TestEnv &env, const WindowCheck &check) {
             frmFIPEdit::Request request;
             request.mode = frmFIPEdit::Edit;
             request.currentEntry = QStringLiteral("012011  Broward                Florida");
             frmFIPEdit w(*env.ctx, request);
             return check(&w, QStringLiteral("frmFIPEdit"));
         }},
        {"options",
         [](TestEnv &env, const WindowCheck &check) {
             frmOption w(*env.ctx, env.ctx->config);
             return check(&w, QStringLiteral("frmOption"));
         }},
        {"timers",
         [](TestEnv &env, const WindowCheck &check) {
             frmTimers w(*env.ctx, env.ctx->config);
             return check(&w, QStringLiteral("frmTimers"));
         }},
        {"inputs and outputs",
         [](TestEnv &env, const WindowCheck &check) {
             frmInOuts w(*env.ctx, env.ctx->config);
             return check(&w, QStringLiteral("frmInOuts"));
         }},
        {"identification",
         [](TestEnv &env, const WindowCheck &check) {
             frmIdent w(*env.ctx, env.ctx->config);
             return check(&w, QStringLiteral("frmIdent"));
         }},
        {"rs232",
         [](TestEnv &env, const WindowCheck &check) {
             frmRS232 w(*env.ctx, env.ctx->config);
             return check(&w, QStringLiteral("frmRS232"));
         }},
        {"test packets",
         [](TestEnv &env, const WindowCheck &check) {
             frmTest w(*env.ctx);
             w.setAttribute(Qt::WA_DeleteOnClose, false);
             return check(&w, QStringLiteral("frmTest"));
         }},
        {"tip",
         [](TestEnv &env, const WindowCheck &check) {
             env.ctx->config.ShowTipsAtStartup = true;
             QMainWindow mainWindow;
             frmTip w(*env.ctx, &mainWindow);
             return check(&w, QStringLiteral("frmTip"));
         }},
        {"help",
         [](TestEnv &, const WindowCheck &check) {
             const QString collection = HelpViewer::collectionFile();
             if (collection.isEmpty())
                 return QStringList{QStringLiteral("help: the help collection was not built (ninja nx_help)")};
             HelpViewer w(collection);
             w.showContents();
             return check(&w, QStringLiteral("HelpViewer"));
         }},
        {"data dump",
         [](TestEnv &env, const WindowCheck &check) {
             frmDataDump w(env.ctx->session(), env.ctx->config);
             return check(&w, QStringLiteral("frmDataDump"));
         }},
        {"alert log",
         [](TestEnv &env, const WindowCheck &check) {
             const QString log = env.path(QStringLiteral("alerts.csv"));
             if (!AppendAlertLog(log, generatedAlerts(60)).ok)
                 return QStringList{QStringLiteral("alert log: could not write ") + log};
             frmAlertLog w(log, env.prompter, env.clock);
             return check(&w, QStringLiteral("frmAlertLog"));
         }},
    };
}
