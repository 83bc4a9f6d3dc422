// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MainView.h"
#include "config/core/ReceiverSetupFiles.h"

#include <QMainWindow>

class AppContext;
struct FleetReceiver;
class ProfileMenu;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;

// The main window: toolbar, menus, the 20-row history grid, the progress bar
// and the two-panel status bar. It implements MainView for the link and the
// history code.
class NX4400C : public QMainWindow, public MainView
{
    Q_OBJECT

public:
    static constexpr int Rows = 20;

    explicit NX4400C(AppContext &ctx, QWidget *parent = nullptr);
    ~NX4400C() override;

    AppContext &context() const { return m_ctx; }

    // MainView
    void setStatusText(const QString &panelKey, const QString &text) override;
    QString statusText(const QString &panelKey) const override;
    void setProgressVisible(bool visible) override;
    void setProgressRange(int minimum, int maximum) override;
    void setProgressValue(int value) override;
    void clearHistoryDisplay() override;
    void setHistoryMenusEnabled(bool enabled) override;
    void checkHistoryGroup(int group) override;
    void showHistoryGroup(int group) override;
    QString firstRowDate() const override;

    // Dispatch of the toolbar and menu commands by key ("Setup",
    // "Transfer Data", ...); one table in NX4400C.cpp lists them all.
    void runToolbarCommand(const QString &key);

    // The commands themselves.
    void openSetup();
    void openFips();
    void openEvents();
    void openOptions();
    void openTimers();
    void openInOuts();
    void openIdent();
    void openRs232();
    void transferData();
    void onPrintHistory();
    void onSaveHistoryAs();
    void onSaveMapAs();
    void onPrintCoverage();
    void helpContents();
    void helpSearch();
    void openTestPackets();
    void openAbout();
    void exitWithPrompt();
    // True when saving would change the parameter file or the settings
    // store (or either is missing): only then does leaving ask to save.
    bool hasUnsavedChanges() const;
    void openAlertLog();
    void openSerialTrace();
    void updateCoverage();   // File > Update Coverage...
    void revertCoverage();   // File > Revert to Shipped Coverage
    void openAlertMonitor();
    // File > Open Receiver...: a fleet receiver's setup, or the editor's.
    void openReceiver();
    // Saves the setup being edited where it came from, then edits the
    // receiver `r` (its profile, its device); `editors` goes back to the
    // editor's own setup. False, with a box, when either step failed, and
    // the setup being edited stays.
    bool switchReceiver(const FleetReceiver &r, bool editors);
    // The fleet receiver being edited; empty for the editor's setup.
    QString receiverName() const { return m_receiverName; }
    // Once the event loop runs: opens `profile` (when not empty) as File >
    // Open Profile does, then the Alert Monitor when `monitor`.
    void openAtStart(const QString &profile, bool monitor);
    // The setup check's line on top of the window: shown at start-up, after
    // an import and whenever the setup changes; hidden when all is well.
    void refreshSetupCheck();

    // Exit paths.
    void SaveAndExit();
    void CloseAndExit();
    bool creditArmed() const { return m_CreditArmed; }

    // The developer credit shown in the right panel after F8.
    static QString creditLine();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildHistoryGrid();
    void buildStatusBar();
    void onActivated();
    void onStatusPanelClicked(const QString &key);
    void closeReceiverPort();
    // Writes an open fleet receiver's setup to its profile (a box says why
    // when it cannot); false when the setup open is kept in the editor's
    // settings and parameter file, which the caller saves as always.
    bool saveReceiverProfile();
    void nameReceiverInTitle(QWidget *window);
    void showReceiverInTitle();
    void finishProgram();
    bool refuseWhileLinkBusy();

    AppContext &m_ctx;
    QString m_receiverName;          // the fleet receiver open, empty: the editor's setup
    ReceiverSetupPlace m_receiverPlace;
    bool m_ExitRequested = false;
    bool m_CreditArmed = false;
    bool m_ending = false;

    QToolBar *m_toolbar = nullptr;
    QMenu *m_mnuView = nullptr;
    QAction *m_mnuSaveAs = nullptr;
    QAction *m_mnuHistory1 = nullptr;
    QAction *m_mnuHistory2 = nullptr;
    QAction *m_mnuTipsShow = nullptr;
    QAction *m_mnuLogTransfers = nullptr;
    ProfileMenu *m_profiles = nullptr;
    QProgressBar *m_prgXfer = nullptr;
    QLabel *m_lblSetupCheck = nullptr;
    QLabel *m_left = nullptr;
    QLabel *m_right = nullptr;
};
