// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a user meets it: its controls, keys, status panels,
// history commands with no history, and every exit path.
#include "app/gui/NX4400C.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "base/Messages.h"
#include "app/gui/QtPrompter.h"
#include "app/gui/StartUp.h"
#include "app/gui/frmSplash.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/frmFIPS.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QToolBar>
#include <QTimer>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void controlsAndCaptions();
    void toolbarOrderAndTooltips();
    void historyGridAndHeadings();
    void ctrlAndF8Keys_data();
    void ctrlAndF8Keys();
    void statusPanelClicks();
    void historyCommandsWithoutHistory();
    void tipsMenuToggles();
    void commandsRefusedWhilePortBusy();
    void commandsRefusedUnderModalWindow();
    void exitPaths_data();
    void exitPaths();
    void returnAndEscapeAnswerSafely_data();
    void returnAndEscapeAnswerSafely();
    void exitAsksOnlyAfterChanges_data();
    void exitAsksOnlyAfterChanges();
    void closeBoxAsksOnce();
    void startUpOrder();
    void splashNeverHangsAtMidnight();
    void grabWindows();
};

static QAction *action(QWidget *w, const char *name)
{
    return w->findChild<QAction *>(QString::fromLatin1(name));
}

void TestMainWindow::controlsAndCaptions()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    QCOMPARE(w.windowTitle(), QStringLiteral("NX-4400C Digital Weather Receiver"));
    const struct {
        const char *name, *caption;
    } items[] = {
        {"mnuSaveAs", "Save History File As..."},
        {"mnuExitNoSave", "Ex&it Without Save"},
        {"mnuExit", "E&xit"},
        {"mnuHistory_1", "View History Group    1 - 20"},
        {"mnuHistory_2", "View History Group  21 - 40"},
        {"mnuHelpContents", "&Help Contents"},
        {"mnuSearchHelp", "&Search For Help On..."},
        {"mnuHomePage", "&Home Page..."},
        {"mnuUpdate", "&Database Update Page..."},
        {"mnuManuals", "&Manuals Update Page..."},
        {"mnuTipsShow", "Show Tip at startup"},
        {"mnuTest", "&Play Test Packets..."},
        {"mnuAbout", "&About"},
    };
    for (const auto &i : items) {
        QAction *a = action(&w, i.name);
        QVERIFY2(a, i.name);
        QCOMPARE(a->text(), QString::fromLatin1(i.caption));
    }
    QCOMPARE(w.findChild<QMenu *>("mnuFile")->title(), QStringLiteral("&File"));
    QCOMPARE(w.findChild<QMenu *>("mnuView")->title(), QStringLiteral("&View History"));
    QCOMPARE(w.findChild<QMenu *>("mnuNorvale")->title(), QStringLiteral("&Norvale on the Web"));
    // Until a transfer succeeds there is no history to view or save.
    QVERIFY(!w.findChild<QMenu *>("mnuView")->isEnabled());
    QVERIFY(!action(&w, "mnuSaveAs")->isEnabled());
    // The alert log and the monitor are reachable from the start.
    auto *alerts = w.findChild<QMenu *>("mnuAlerts");
    QVERIFY(alerts && alerts->isEnabled() && alerts->menuAction()->isEnabled());
    for (const char *name : {"mnuAlertLog", "mnuAlertMonitor"}) {
        QVERIFY2(alerts->actions().contains(action(&w, name)), name);
        QVERIFY2(action(&w, name)->isEnabled(), name);
    }
    QVERIFY(w.findChild<QProgressBar *>("prgXfer")->isHidden());
    QVERIFY(w.findChild<QLabel *>("Left"));
    QVERIFY(w.findChild<QLabel *>("Right"));
}

void TestMainWindow::toolbarOrderAndTooltips()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    auto *bar = w.findChild<QToolBar *>("Tlbar");
    QVERIFY(bar);
    const QList<QAction *> acts = bar->actions();
    QCOMPARE(acts.size(), 24);
    const QStringList keys = {"Setup", "FIP Codes", "Event Codes", "Options", "Timers", "Inputs",
                              "Identification", "RS232", "Transfer Data", "Print History", "Help", "Exit"};
    const QStringList tips = {"Serial Port Setup and Date/Time Configuration",
                              "Select State and FIP Codes",
                              "Select Event Codes",
                              "Setup Receiver Options",
                              "Configure Receiver Timers",
                              "Select Hardware Input and Output Action.",
                              "Set Station Identification",
                              "Setup Raw Data Out RS232 Port",
                              "Transfer Data To/From NX-4400",
                              "Print History Report",
                              "Help Contents",
                              "Exit  NX-4400 Program"};
    for (int k = 0; k < 12; ++k) {
        // A separator, then the command button.
        QVERIFY(acts[2 * k]->isSeparator());
        QCOMPARE(acts[2 * k + 1]->objectName(), keys[k]);
        QCOMPARE(acts[2 * k + 1]->toolTip(), tips[k]);
        QVERIFY2(!acts[2 * k + 1]->icon().isNull(), qPrintable(keys[k]));
        QWidget *button = bar->widgetForAction(acts[2 * k + 1]);
        QVERIFY(button);
        QCOMPARE(button->accessibleName(), keys[k]);
    }
}

void TestMainWindow::historyGridAndHeadings()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    const QStringList headings = {"Num", "Date", "Time", "ORG", "Event Code Received", "Length"};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lblHeading_%1").arg(c))->text(), headings[c]);
    for (const char *col : {"lblNum", "lblDate", "lblTime", "lblOrg", "lblEvent", "lblLength"}) {
        for (int r = 0; r < 20; ++r)
            QVERIFY(w.findChild<QLabel *>(QStringLiteral("%1_%2").arg(QLatin1String(col)).arg(r)));
        QVERIFY(!w.findChild<QLabel *>(QStringLiteral("%1_20").arg(QLatin1String(col))));
    }
    w.findChild<QLabel *>("lblDate_3")->setText("6-March");
    w.findChild<QLabel *>("lblEvent_3")->setStyleSheet("background-color: red;");
    w.clearHistoryDisplay();
    QVERIFY(w.findChild<QLabel *>("lblDate_3")->text().isEmpty());
    QVERIFY(w.findChild<QLabel *>("lblEvent_3")->styleSheet().contains("255,255,255"));
    // Row numbers stay.
    QCOMPARE(w.findChild<QLabel *>("lblNum_19")->text(), QStringLiteral("20"));
}

void TestMainWindow::ctrlAndF8Keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("ctrlHeld");
    QTest::addColumn<bool>("credit");
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier) << true << false;
    QTest::newRow("F8") << int(Qt::Key_F8) << int(Qt::NoModifier) << false << true;
    QTest::newRow("Ctrl+F8") << int(Qt::Key_F8) << int(Qt::ControlModifier) << true << true;
    QTest::newRow("A") << int(Qt::Key_A) << int(Qt::NoModifier) << false << false;
}

void TestMainWindow::ctrlAndF8Keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, ctrlHeld);
    QFETCH(bool, credit);
    TestEnv env;
    NX4400C w(*env.ctx);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // The window sees the key even when a control has the focus.
    QLabel *target = w.findChild<QLabel *>("lblDate_0");
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(env.ctx->CtrlHeld, ctrlHeld);
    QCOMPARE(w.creditArmed(), credit);
}

void TestMainWindow::statusPanelClicks()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *left = w.findChild<QLabel *>("Left");
    auto *right = w.findChild<QLabel *>("Right");
    left->setText("Upload / Download Successful");
    QTest::keyClick(&w, Qt::Key_F8);
    QTest::mouseClick(left, Qt::LeftButton);
    QCOMPARE(left->text(), QStringLiteral("Upload / Download Successful"));
    QVERIFY(right->text().isEmpty());
    QVERIFY(w.creditArmed());
    QTest::mouseClick(right, Qt::LeftButton);
    QCOMPARE(right->text(), NX4400C::creditLine());
    QCOMPARE(env.prompter.beeps, 1);
    QVERIFY(!w.creditArmed());
    QTest::mouseClick(right, Qt::LeftButton);
    QVERIFY(right->text().isEmpty());
    // A ROM version in the right panel is not the credit: a click keeps it.
    right->setText("NX-4400 ROM Version = 2.05");
    QTest::mouseClick(right, Qt::LeftButton);
    QCOMPARE(right->text(), QStringLiteral("NX-4400 ROM Version = 2.05"));
}

void TestMainWindow::historyCommandsWithoutHistory()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    w.runToolbarCommand("Print History");
    // Only the first row's date counts: a later row alone is no history.
    w.findChild<QLabel *>("lblDate_1")->setText("6-March");
    action(&w, "mnuSaveAs")->setEnabled(true);
    action(&w, "mnuSaveAs")->trigger();
    QCOMPARE(env.prompter.texts(), QStringList({"Error #301:  No History Data to Print. ",
                                                "Error #303:  No History Data to Save. "}));
    QVERIFY(env.prompter.saveRequests.isEmpty());
}

void TestMainWindow::tipsMenuToggles()
{
    TestEnv env;
    env.ctx->config.ShowTipsAtStartup = true;
    NX4400C w(*env.ctx);
    QAction *tips = action(&w, "mnuTipsShow");
    QVERIFY(tips->isChecked());
    tips->trigger();
    QVERIFY(!env.ctx->config.ShowTipsAtStartup);
    QVERIFY(!tips->isChecked());
    tips->trigger();
    QVERIFY(env.ctx->config.ShowTipsAtStartup);
    QVERIFY(tips->isChecked());
}

void TestMainWindow::commandsRefusedWhilePortBusy()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    w.show();
    env.ctx->session().busy = true;
    // Were any of these to open its window, the modal loop would hold the
    // transfer's wait; each is refused with one beep instead.
    for (const char *key : {"Setup", "FIP Codes", "Event Codes", "Options", "Timers", "Inputs",
                            "Identification", "RS232", "Transfer Data", "Print History"})
        w.runToolbarCommand(QString::fromLatin1(key));
    action(&w, "mnuAbout")->trigger();
    action(&w, "mnuTest")->trigger();
    QCOMPARE(env.prompter.beeps, 12);
    QVERIFY(env.prompter.boxes.isEmpty());
    for (QWidget *top : QApplication::topLevelWidgets())
        QVERIFY2(top == &w || !top->isVisible(), qPrintable(top->objectName()));
    // Exit still asks.
    env.prompter.answers << Prompter::Button::Cancel;
    w.runToolbarCommand("Exit");
    QCOMPARE(env.prompter.boxes.size(), 1);
}

void TestMainWindow::exitPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("ended");
    QTest::newRow("Exit button, Yes") << "Exit" << int(Prompter::Button::Yes) << 1 << true << true;
    QTest::newRow("Exit button, No") << "Exit" << int(Prompter::Button::No) << 1 << false << true;
    QTest::newRow("Exit button, Cancel") << "Exit" << int(Prompter::Button::Cancel) << 1 << false << false;
    QTest::newRow("E&xit menu, Yes") << "mnuExit" << int(Prompter::Button::Yes) << 1 << true << true;
    QTest::newRow("Exit without save") << "mnuExitNoSave" << -1 << 0 << false << true;
    QTest::newRow("Close box, Yes") << "close" << int(Prompter::Button::Yes) << 1 << true << true;
    QTest::newRow("Close box, No") << "close" << int(Prompter::Button::No) << 1 << false << true;
}

void TestMainWindow::exitPaths()
{
    QFETCH(QString, path);
    QFETCH(int, answer);
    QFETCH(int, boxes);
    QFETCH(bool, saved);
    QFETCH(bool, ended);
    TestEnv env;
    env.ctx->config.SerialPort = 3;
    env.ctx->FipEntries[0] = "X 012011  Broward                Florida";
    NX4400C w(*env.ctx);
    w.show();
    if (answer >= 0)
        env.prompter.answers << Prompter::Button(answer);
    if (path == "Exit")
        w.runToolbarCommand("Exit");
    else if (path == "close")
        w.close();
    else
        action(&w, qPrintable(path))->trigger();
    QCOMPARE(env.prompter.boxes.size(), boxes);
    QCOMPARE(env.endRequests, ended ? 1 : 0);
    QCOMPARE(QFile::exists(env.ctx->parameterFilePath), saved);
    QCOMPARE(QFile::exists(env.ctx->settingsPath), saved);
    if (saved) {
        QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
        QCOMPARE(s.value("EDITOR/SerialPort").toString(), QStringLiteral("3"));
    }
    if (ended) {
        // The window goes away; closing it afterwards asks nothing more.
        w.close();
        QCOMPARE(env.prompter.boxes.size(), boxes);
    }
}

void TestMainWindow::exitAsksOnlyAfterChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("boxes");
    QTest::newRow("nothing changed since the save") << "" << 0;
    QTest::newRow("a county ticked") << "county" << 1;
    QTest::newRow("an option changed") << "option" << 1;
    QTest::newRow("parameter file gone") << "file" << 1;
}

// Exit asks to save only when saving would change a file: a user who only
// looked gets no question.
void TestMainWindow::exitAsksOnlyAfterChanges()
{
    QFETCH(QString, change);
    QFETCH(int, boxes);
    TestEnv env;
    env.ctx->FipEntries[0] = "X 012011  Broward                Florida";
    SaveConfiguration(*env.ctx, env.ctx->config);
    SaveParameterFile(*env.ctx, *env.ctx);
    NX4400C w(*env.ctx);
    w.show();
    if (change == QLatin1String("county"))
        env.ctx->FipEntries[1] = "X 012086  Miami-Dade             Florida";
    else if (change == QLatin1String("option"))
        env.ctx->config.SpeakerActive = !env.ctx->config.SpeakerActive;
    else if (change == QLatin1String("file"))
        QFile::remove(env.ctx->parameterFilePath);
    env.prompter.answers << Prompter::Button::No;
    w.runToolbarCommand("Exit");
    QCOMPARE(env.prompter.boxes.size(), boxes);
    QCOMPARE(env.endRequests, 1);
}

void TestMainWindow::closeBoxAsksOnce()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    w.show();
    env.prompter.answers << Prompter::Button::No;
    action(&w, "mnuExit")->trigger();
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.prompter.boxes[0].buttons, Prompter::Buttons::YesNoCancel);
    w.close();
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.endRequests, 1);
}

void TestMainWindow::startUpOrder()
{
    TestEnv env;
    env.ctx->timings.splashMs = 300;
    env.clock.setDaylight(true);
    QElapsedTimer t;
    t.start();
    std::unique_ptr<NX4400C> w(StartUp(*env.ctx));
    QVERIFY(t.elapsed() >= 250);
    QVERIFY(w->isVisible());
    QVERIFY(env.ctx->DaylightTimeActive);
    QCOMPARE(env.ctx->config.EditorVersion, QStringLiteral("3.00"));
    // No parameter file: the default coverage was offered (and accepted).
    QVERIFY(!env.prompter.boxes.isEmpty());
    QVERIFY(env.prompter.boxes.first().text.startsWith("Error #199:  Missing or Corrupted NX-4400C Data File."));
    // The splash is gone once the main window shows.
    for (QWidget *top : QApplication::topLevelWidgets())
        QVERIFY(!(top->objectName() == "frmSplash" && top->isVisible()));
}

void TestMainWindow::splashNeverHangsAtMidnight()
{
    TestEnv env;
    env.ctx->timings.splashMs = 200;
    env.clock.set(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 900)));
    QElapsedTimer t;
    t.start();
    std::unique_ptr<NX4400C> w(StartUp(*env.ctx));
    QVERIFY(t.elapsed() < 5000);
    QVERIFY(w->isVisible());
}

// A modal page holds the user's input; a toolbar button pressed through
// the accessibility bus must not run its command under it either (a
// transfer once ran under the Identification page's error box).
void TestMainWindow::commandsRefusedUnderModalWindow()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const char *const keys[] = {"Transfer Data", "Setup", "Help", "Exit"};
    int beepsUnder = -1;
    bool pageStayedOnTop = false;
    whenModal<QDialog>([&](QDialog *page) {
        for (const char *key : keys) {
            QWidget *button = w.findChild<QWidget *>(QStringLiteral("Tlbar_") + QLatin1String(key));
            QAccessibleInterface *a = button ? QAccessible::queryAccessibleInterface(button) : nullptr;
            if (a && a->actionInterface())
                a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
        // The press action clicks after a short animation.
        QTest::qWait(400);
        beepsUnder = env.prompter.beeps;
        pageStayedOnTop = QApplication::activeModalWidget() == page;
        page->reject();
    });
    w.runToolbarCommand(QStringLiteral("Identification"));
    QCOMPARE(beepsUnder, 4);
    QVERIFY(pageStayedOnTop);
    QVERIFY(env.prompter.boxes.isEmpty());
    QVERIFY(!env.ctx->hasSession() || !env.ctx->session().busy);
    QVERIFY(w.isVisible());

    // With the page closed the same press runs the command again.
    QWidget *setup = w.findChild<QWidget *>(QStringLiteral("Tlbar_Setup"));
    bool setupOpened = false;
    whenModal<QDialog>([&](QDialog *page) {
        setupOpened = page->objectName() == QLatin1String("frmCommPort");
        page->reject();
    });
    QAccessible::queryAccessibleInterface(setup)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(setupOpened);
    QCOMPARE(env.prompter.beeps, 4);
}

void TestMainWindow::grabWindows()
{
    // Pictures for a person to look at: NX_GRAB_DIR=/tmp/shots ctest -R app_mainwindow
    const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
    if (dir.isEmpty())
        QSKIP("set NX_GRAB_DIR to grab the windows");
    QDir().mkpath(dir);
    TestEnv env;
    NX4400C w(*env.ctx);
    w.resize(w.sizeHint());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setStatusText("Left", "Negotiating Port # 1");
    w.setProgressVisible(true);
    w.setProgressValue(40);
    QVERIFY(w.grab().save(dir + "/main.png"));

    // The county window as start-up fills it, over the main window.
    CoverageCommands::prepareCoverageWindows(*env.ctx, *env.ctx, &w);
    auto *fips = w.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
    QVERIFY(fips);
    fips->show();
    QVERIFY(QTest::qWaitForWindowExposed(fips));
    QVERIFY(fips->grab().save(dir + "/county.png"));
    fips->hide();

    frmSplash splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QVERIFY(splash.grab().save(dir + "/splash.png"));

    // Every box the catalogue can show, drawn as the application draws it.
    ScriptedPrompter record;
    TestEnv boxes;
    boxes.ctx->setPrompter(&record);
    for (int sel : {1, 2, 3, 5, 10, 12, 50})
        Messages::ShowError(boxes.ctx->prompter(), sel);
    Messages::ShowFatalError(boxes.ctx->prompter(), boxes.ctx->endProgram, 8);
    Messages::ConfirmNoCounties(boxes.ctx->prompter(), 1);
    Messages::ConfirmSaveChanges(boxes.ctx->prompter(), 1);
    int n = 0;
    for (const auto &b : record.boxes) {
        QMessageBox box;
        QtPrompter::configure(box, b.title, b.text, b.icon, b.buttons);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.grab().save(dir + QStringLiteral("/box_%1.png").arg(n++)));
    }
}

void TestMainWindow::returnAndEscapeAnswerSafely_data()
{
    QTest::addColumn<Prompter::Buttons>("buttons");
    QTest::addColumn<int>("key");
    QTest::addColumn<Prompter::Button>("answer");
    using B = Prompter::Buttons;
    QTest::newRow("Yes/No, Return") << B::YesNo << int(Qt::Key_Return) << Prompter::Button::No;
    QTest::newRow("Yes/No, Escape") << B::YesNo << int(Qt::Key_Escape) << Prompter::Button::No;
    QTest::newRow("Yes/No/Cancel, Return") << B::YesNoCancel << int(Qt::Key_Return) << Prompter::Button::Cancel;
    QTest::newRow("Yes/No/Cancel, Escape") << B::YesNoCancel << int(Qt::Key_Escape) << Prompter::Button::Cancel;
    QTest::newRow("OK/Cancel, Return") << B::OkCancel << int(Qt::Key_Return) << Prompter::Button::Cancel;
    QTest::newRow("OK/Cancel, Escape") << B::OkCancel << int(Qt::Key_Escape) << Prompter::Button::Cancel;
    QTest::newRow("OK, Return") << B::Ok << int(Qt::Key_Return) << Prompter::Button::Ok;
}

// The real box: a user who presses Return or Escape without reading gets
// the answer that sends, prints, overwrites and deletes nothing.
void TestMainWindow::returnAndEscapeAnswerSafely()
{
    QFETCH(Prompter::Buttons, buttons);
    QFETCH(int, key);
    QFETCH(Prompter::Button, answer);
    QtPrompter prompter;
    QTimer press;
    press.setInterval(5);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible()) {
            press.stop();
            QTest::keyClick(box, Qt::Key(key));
        }
    });
    press.start();
    QCOMPARE(prompter.ask(QStringLiteral("Title"), QStringLiteral("Send it?"), Prompter::Icon::Question, buttons), answer);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
