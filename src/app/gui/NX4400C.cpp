// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/NX4400C.h"

#include "app/AppContext.h"
#include "app/gui/HelpCommands.h"
#include "app/gui/UnsavedChanges.h"
#include "base/Messages.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/SetupCheckLabel.h"
#include "history/core/AlertLog.h"
#include "history/core/AlertRecord.h"
#include "history/core/TransferLog.h"
#include "history/gui/HistoryCommands.h"
#include "history/gui/frmAlertLog.h"
#include "monitor/gui/frmMonitor.h"
#include "config/gui/ProfileMenu.h"
#include "link/gui/frmSerialTrace.h"
#include "link/core/LinkSession.h"
#include "link/core/Transfer.h"
#include "link/gui/LinkCommands.h"
#include "options/gui/OptionCommands.h"
#include "testpackets/gui/TestPacketCommands.h"
#include "widgets/NamedWidgets.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>

namespace {

// Every command of the toolbar and the menus, with what runs it. The
// toolbar shows the first twelve, left to right; menu items name their
// command by key.
struct MainCommand {
    const char *key;          // action name and toolbar button key
    const char *icon;         // picture (Widgets::iconPath), toolbar only
    const char *caption;      // short caption under the picture
    const char *toolTip;
    bool toolbar;
    // Runs while an exchange owns the port. Everything else is refused then
    // with a beep: a modal window opened now would hold the exchange's wait
    // until it closed and let the receiver time out.
    bool whileBusy;
    void (NX4400C::*run)();
};

const MainCommand kCommands[] = {
    {"Setup", "setup", "Setup", "Serial Port Setup and Date/Time Configuration", true, false, &NX4400C::openSetup},
    {"FIP Codes", "fips", "FIP Codes", "Select State and FIP Codes", true, false, &NX4400C::openFips},
    {"Event Codes", "events", "Events", "Select Event Codes", true, false, &NX4400C::openEvents},
    {"Options", "options", "Options", "Setup Receiver Options", true, false, &NX4400C::openOptions},
    {"Timers", "timers", "Timers", "Configure Receiver Timers", true, false, &NX4400C::openTimers},
    {"Inputs", "inputs", "Inputs", "Select Hardware Input and Output Action.", true, false, &NX4400C::openInOuts},
    {"Identification", "ident", "Ident", "Set Station Identification", true, false, &NX4400C::openIdent},
    {"RS232", "rs232", "RS232", "Setup Raw Data Out RS232 Port", true, false, &NX4400C::openRs232},
    {"Transfer Data", "transfer", "Transfer", "Transfer Data To/From NX-4400", true, false, &NX4400C::transferData},
    {"Print History", "print", "Print", "Print History Report", true, false, &NX4400C::onPrintHistory},
    {"Help", "help", "Help", "Help Contents", true, true, &NX4400C::helpContents},
    {"Exit", "exit", "Exit", "Exit  NX-4400 Program", true, true, &NX4400C::exitWithPrompt},
    {"Save History As", nullptr, nullptr, nullptr, false, false, &NX4400C::onSaveHistoryAs},
    {"Save Map As", nullptr, nullptr, nullptr, false, false, &NX4400C::onSaveMapAs},
    {"Print Coverage", nullptr, nullptr, nullptr, false, false, &NX4400C::onPrintCoverage},
    {"Search Help", nullptr, nullptr, nullptr, false, true, &NX4400C::helpSearch},
    {"Test Packets", nullptr, nullptr, nullptr, false, false, &NX4400C::openTestPackets},
    {"About", nullptr, nullptr, nullptr, false, false, &NX4400C::openAbout},
    {"Alert Log", nullptr, nullptr, nullptr, false, false, &NX4400C::openAlertLog},
    {"Serial Trace", nullptr, nullptr, nullptr, false, false, &NX4400C::openSerialTrace},
    {"Update Coverage", nullptr, nullptr, nullptr, false, false, &NX4400C::updateCoverage},
    {"Revert Coverage", nullptr, nullptr, nullptr, false, false, &NX4400C::revertCoverage},
    {"Alert Monitor", nullptr, nullptr, nullptr, false, false, &NX4400C::openAlertMonitor},
    {"Open Receiver", nullptr, nullptr, nullptr, false, false, &NX4400C::openReceiver},
};

const char *const kColumns[] = {"lblNum", "lblDate", "lblTime", "lblOrg", "lblEvent", "lblLength"};
const char *const kHeadings[] = {"Num", "Date", "Time", "ORG", "Event Code Received", "Length"};

} // namespace

NX4400C::NX4400C(AppContext &ctx, QWidget *parent)
    : QMainWindow(parent)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("NX4400C"));
    setWindowTitle(QStringLiteral("NX-4400C Digital Weather Receiver"));
    setWindowIcon(Widgets::icon(QStringLiteral("app")));
    setAccessibleName(windowTitle());

    buildMenus();
    buildToolbar();
    buildHistoryGrid();
    buildStatusBar();

    // Main window load: history menus disabled until a transfer succeeds.
    m_mnuView->setEnabled(false);
    m_mnuSaveAs->setEnabled(false);
    m_CreditArmed = false;
    m_prgXfer->hide();
    // Wide enough for the whole toolbar, so no command hides behind an
    // overflow arrow.
    // Tall enough for the setup-check line at its full three lines: the
    // window does not change its own height when the line comes or goes
    // (after an import, a transfer or the county window); while it is
    // hidden, the history rows share its room.
    SetupCheckLabel::show(m_lblSetupCheck, QStringList(SetupCheckLabel::MaxLines, QStringLiteral(" ")), true);
    const int tallest = sizeHint().height();
    SetupCheckLabel::show(m_lblSetupCheck, QStringList(), false);
    resize(qMax(sizeHint().width(), m_toolbar->sizeHint().width() + 8), tallest);

    // The window sees key presses before its controls do.
    qApp->installEventFilter(this);
    ctx.setView(this);
}

NX4400C::~NX4400C()
{
    qApp->removeEventFilter(this);
    if (&m_ctx.view() == this)
        m_ctx.setView(nullptr);
}

void NX4400C::buildMenus()
{
    QMenu *mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    // A whole receiver setup to and from a profile file. An opened profile
    // replaces the setup in memory; the county windows refill their lists
    // from it, so that their next OK does not write the old list back.
    m_profiles = new ProfileMenu(mnuFile, m_ctx.config, m_ctx.FipEntries, m_ctx.EventSelection, m_ctx.prompter(),
                                 [this] { return m_ctx.openSettings(); }, this);
    connect(m_profiles, &ProfileMenu::profileOpened, this, [this](const QString &path) {
        CoverageCommands::prepareCoverageWindows(m_ctx, m_ctx, this);
        refreshSetupCheck();
        setStatusText(QStringLiteral("Left"), QStringLiteral("Profile %1 opened").arg(QDir::toNativeSeparators(path)));
    });
    // A fleet receiver's own setup (its profile), by its name.
    QAction *openReceiver = mnuFile->addAction(QStringLiteral("Open &Receiver..."));
    openReceiver->setObjectName(QStringLiteral("mnuOpenReceiver"));
    connect(openReceiver, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Open Receiver")); });
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuSepProfiles"));
    // NOAA's county coverage listing, brought in by the user.
    for (const auto &[name, caption, key] : {std::tuple{"mnuUpdateCoverage", "&Update Coverage...", "Update Coverage"},
                                             std::tuple{"mnuRevertCoverage", "Revert to S&hipped Coverage", "Revert Coverage"}}) {
        QAction *c = mnuFile->addAction(QString::fromLatin1(caption));
        c->setObjectName(QString::fromLatin1(name));
        const QString k = QString::fromLatin1(key);
        connect(c, &QAction::triggered, this, [this, k] { runToolbarCommand(k); });
    }
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuSepCoverage"));
    m_mnuSaveAs = mnuFile->addAction(QStringLiteral("Save History File As..."));
    m_mnuSaveAs->setObjectName(QStringLiteral("mnuSaveAs"));
    connect(m_mnuSaveAs, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Save History As")); });
    QAction *saveMap = mnuFile->addAction(QStringLiteral("Save &Map As..."));
    saveMap->setObjectName(QStringLiteral("mnuSaveMap"));
    connect(saveMap, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Save Map As")); });
    QAction *printCoverage = mnuFile->addAction(QStringLiteral("Print &Coverage..."));
    printCoverage->setObjectName(QStringLiteral("mnuPrintCoverage"));
    connect(printCoverage, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Print Coverage")); });
    QAction *exitNoSave = mnuFile->addAction(QStringLiteral("Ex&it Without Save"));
    exitNoSave->setObjectName(QStringLiteral("mnuExitNoSave"));
    connect(exitNoSave, &QAction::triggered, this, [this] {
        m_ExitRequested = true;
        CloseAndExit();
    });
    QAction *exit = mnuFile->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Exit")); });

    m_mnuView = menuBar()->addMenu(QStringLiteral("&View History"));
    m_mnuView->setObjectName(QStringLiteral("mnuView"));
    m_mnuHistory1 = m_mnuView->addAction(QStringLiteral("View History Group    1 - 20"));
    m_mnuHistory1->setObjectName(QStringLiteral("mnuHistory_1"));
    m_mnuHistory1->setCheckable(true);
    m_mnuHistory2 = m_mnuView->addAction(QStringLiteral("View History Group  21 - 40"));
    m_mnuHistory2->setObjectName(QStringLiteral("mnuHistory_2"));
    m_mnuHistory2->setCheckable(true);
    // The alert log and the monitor need no transfer: they have a menu of
    // their own, which the first transfer does not gate (the history menu
    // stays disabled until then). Their shortcuts belong to the window.
    QMenu *mnuAlerts = menuBar()->addMenu(QStringLiteral("&Alerts"));
    mnuAlerts->setObjectName(QStringLiteral("mnuAlerts"));
    QAction *alertLog = mnuAlerts->addAction(QStringLiteral("&Alert Log..."));
    alertLog->setObjectName(QStringLiteral("mnuAlertLog"));
    alertLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    alertLog->setShortcutContext(Qt::WindowShortcut);
    addAction(alertLog);
    connect(alertLog, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Alert Log")); });
    QAction *alertMonitor = mnuAlerts->addAction(QStringLiteral("Alert &Monitor..."));
    alertMonitor->setObjectName(QStringLiteral("mnuAlertMonitor"));
    // Like the log, the monitor needs no transfer first.
    alertMonitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    alertMonitor->setShortcutContext(Qt::WindowShortcut);
    addAction(alertMonitor);
    connect(alertMonitor, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Alert Monitor")); });
    mnuAlerts->addSeparator()->setObjectName(QStringLiteral("mnuSepLog"));
    m_mnuLogTransfers = mnuAlerts->addAction(QStringLiteral("&Log Every Transfer"));
    m_mnuLogTransfers->setObjectName(QStringLiteral("mnuLogTransfers"));
    m_mnuLogTransfers->setCheckable(true);
    m_mnuLogTransfers->setChecked(m_ctx.alertLogEnabled);
    // The setting is read at start-up after the window was made.
    connect(mnuAlerts, &QMenu::aboutToShow, this, [this] {
        const QSignalBlocker quiet(m_mnuLogTransfers);
        m_mnuLogTransfers->setChecked(m_ctx.alertLogEnabled);
    });
    connect(m_mnuLogTransfers, &QAction::toggled, this, [this](bool on) {
        if (!m_ctx.saveAlertLogEnabled(on))
            setStatusText(QStringLiteral("Left"), QStringLiteral("The choice could not be kept in the settings store %1")
                                                      .arg(QDir::toNativeSeparators(m_ctx.settingsFile())));
    });
    connect(m_mnuHistory1, &QAction::triggered, this, [this] {
        showHistoryGroup(0);
        checkHistoryGroup(0);
    });
    connect(m_mnuHistory2, &QAction::triggered, this, [this] {
        showHistoryGroup(1);
        checkHistoryGroup(1);
    });

    QMenu *mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction *a = mnuHelp->addAction(QStringLiteral("&Help Contents"));
    a->setObjectName(QStringLiteral("mnuHelpContents"));
    connect(a, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Help")); });
    a = mnuHelp->addAction(QStringLiteral("&Search For Help On..."));
    a->setObjectName(QStringLiteral("mnuSearchHelp"));
    connect(a, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Search Help")); });
    mnuHelp->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    QMenu *web = mnuHelp->addMenu(QStringLiteral("&Norvale on the Web"));
    web->setObjectName(QStringLiteral("mnuNorvale"));
    const struct {
        const char *name, *caption, *page;
    } pages[] = {{"mnuHomePage", "&Home Page...", "index.html"},
                 {"mnuUpdate", "&Database Update Page...", "weather1.html"},
                 {"mnuManuals", "&Manuals Update Page...", "manuals.html"}};
    for (const auto &p : pages) {
        QAction *w = web->addAction(QString::fromLatin1(p.caption));
        w->setObjectName(QString::fromLatin1(p.name));
        const QString page = QString::fromLatin1(p.page);
        connect(w, &QAction::triggered, this, [this, page] { HelpCommands::openWebPage(m_ctx, this, page); });
    }
    mnuHelp->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
    m_mnuTipsShow = mnuHelp->addAction(QStringLiteral("Show Tip at startup"));
    m_mnuTipsShow->setObjectName(QStringLiteral("mnuTipsShow"));
    m_mnuTipsShow->setCheckable(true);
    m_mnuTipsShow->setChecked(m_ctx.config.ShowTipsAtStartup);
    connect(m_mnuTipsShow, &QAction::triggered, this, [this] {
        m_ctx.config.ShowTipsAtStartup = !m_ctx.config.ShowTipsAtStartup;
        m_mnuTipsShow->setChecked(m_ctx.config.ShowTipsAtStartup);
    });
    mnuHelp->addSeparator()->setObjectName(QStringLiteral("mnuSep4"));
    a = mnuHelp->addAction(QStringLiteral("&Play Test Packets..."));
    a->setObjectName(QStringLiteral("mnuTest"));
    connect(a, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Test Packets")); });
    a = mnuHelp->addAction(QStringLiteral("Serial &Trace..."));
    a->setObjectName(QStringLiteral("mnuSerialTrace"));
    connect(a, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("Serial Trace")); });
    mnuHelp->addSeparator()->setObjectName(QStringLiteral("mnuSep3"));
    a = mnuHelp->addAction(QStringLiteral("&About"));
    a->setObjectName(QStringLiteral("mnuAbout"));
    connect(a, &QAction::triggered, this, [this] { runToolbarCommand(QStringLiteral("About")); });
}

void NX4400C::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Tlbar"));
    m_toolbar->setObjectName(QStringLiteral("Tlbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const MainCommand &c : kCommands) {
        if (!c.toolbar)
            continue;
        m_toolbar->addSeparator();
        const QString key = QString::fromLatin1(c.key);
        QAction *act = m_toolbar->addAction(Widgets::icon(QLatin1String(c.icon)),
                                            QString::fromLatin1(c.caption));
        act->setObjectName(key);
        act->setData(key);
        act->setToolTip(QString::fromLatin1(c.toolTip));
        if (QWidget *w = m_toolbar->widgetForAction(act)) {
            w->setObjectName(QStringLiteral("Tlbar_") + key);
            w->setAccessibleName(key);
            w->setAccessibleDescription(act->toolTip());
        }
        connect(act, &QAction::triggered, this, [this, key] { runToolbarCommand(key); });
    }
}

void NX4400C::buildHistoryGrid()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("historyGrid"));
    auto *outer = new QVBoxLayout(central);
    // What the setup check finds (a transmitter gone from the listing, a
    // county it no longer covers): a line on top that a screen reader
    // reads, never a box in the way at start.
    m_lblSetupCheck = SetupCheckLabel::make(central, QStringLiteral("lblSetupCheck"));
    outer->addWidget(m_lblSetupCheck);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(1);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int c = 0; c < 6; ++c) {
        auto *h = new QLabel(QString::fromLatin1(kHeadings[c]), central);
        h->setObjectName(QStringLiteral("lblHeading_%1").arg(c));
        QFont f = h->font();
        f.setBold(true);
        h->setFont(f);
        grid->addWidget(h, 0, c);
    }
    for (int r = 0; r < Rows; ++r) {
        for (int c = 0; c < 6; ++c) {
            auto *l = new QLabel(central);
            l->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(kColumns[c])).arg(r));
            // No accessible name: a screen reader then reads the entry
            // itself; the description says which column and row it is.
            l->setAccessibleDescription(QStringLiteral("%1, row %2").arg(QLatin1String(kHeadings[c])).arg(r + 1));
            l->setFont(fixed);
            l->setMinimumHeight(l->fontMetrics().height() + 2);
            // Room for the widest text of each column: "30-September", "23:59".
            static const int widths[] = {3, 13, 6, 4, 34, 6};
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QLatin1Char('0')) * widths[c]);
            if (c == 0)
                l->setText(QString::number(r + 1));
            if (c == 4) {
                l->setAutoFillBackground(true);
                l->setStyleSheet(QStringLiteral("background-color: rgb(255,255,255);"));
            }
            grid->addWidget(l, r + 1, c);
        }
    }
    grid->setColumnStretch(4, 1);
    // The rows share the height the window gets: maximised, the grid fills
    // the screen instead of leaving a gap under row 20.
    for (int r = 1; r <= Rows; ++r)
        grid->setRowStretch(r, 1);
    outer->addLayout(grid, 1);
    m_prgXfer = new QProgressBar(central);
    m_prgXfer->setObjectName(QStringLiteral("prgXfer"));
    m_prgXfer->setAccessibleName(QStringLiteral("Transfer progress"));
    // The bar keeps its place while hidden, so a transfer showing and
    // hiding it does not change the window's height.
    QSizePolicy keep = m_prgXfer->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_prgXfer->setSizePolicy(keep);
    outer->addWidget(m_prgXfer);
    setCentralWidget(central);
}

void NX4400C::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    m_left = new QLabel(this);
    m_left->setObjectName(QStringLiteral("Left"));
    // The panels are heard by their text (the result of the last transfer,
    // the receiver's version); the description says which panel it is.
    m_left->setAccessibleDescription(QStringLiteral("Status"));
    m_left->setFrameShape(QFrame::StyledPanel);
    m_right = new QLabel(this);
    m_right->setObjectName(QStringLiteral("Right"));
    m_right->setAccessibleDescription(QStringLiteral("Receiver version"));
    m_right->setFrameShape(QFrame::StyledPanel);
    m_right->setMinimumWidth(260);
    statusBar()->addWidget(m_left, 1);
    statusBar()->addWidget(m_right, 0);
    // Without a size grip the last panel would end on the window's edge,
    // its right border cut off: keep a few pixels after it.
    statusBar()->setContentsMargins(0, 0, 4, 0);
    // Clicks on the panels arrive through the application-wide filter that
    // also previews the keys (see the constructor).
}

// ---- MainView ---------------------------------------------------------------

void NX4400C::setStatusText(const QString &panelKey, const QString &text)
{
    if (panelKey == QLatin1String("Left")) {
        // A new step of an exchange: the reason of an earlier failure goes.
        if (text.isEmpty()) {
            m_left->setToolTip(QString());
            m_left->setAccessibleDescription(QStringLiteral("Status"));
        }
        m_left->setText(text);
    } else if (panelKey == QLatin1String("Right")) {
        m_right->setText(text);
    } else if (panelKey == QLatin1String("Reason")) {
        // Why the exchange failed (bad checksum, short frame, lost port),
        // beside the fixed status text the left panel keeps: on the panel's
        // tip, and for a screen reader in its description.
        m_left->setToolTip(text);
        m_left->setAccessibleDescription(text.isEmpty() ? QStringLiteral("Status")
                                                        : QStringLiteral("Status: ") + text);
    }
}

QString NX4400C::statusText(const QString &panelKey) const
{
    if (panelKey == QLatin1String("Left"))
        return m_left->text();
    if (panelKey == QLatin1String("Right"))
        return m_right->text();
    return {};
}

void NX4400C::setProgressVisible(bool visible)
{
    m_prgXfer->setVisible(visible);
}

void NX4400C::setProgressRange(int minimum, int maximum)
{
    m_prgXfer->setRange(minimum, maximum);
}

void NX4400C::setProgressValue(int value)
{
    m_prgXfer->setValue(value);
}

void NX4400C::clearHistoryDisplay()
{
    for (int r = 0; r < Rows; ++r) {
        for (int c = 1; c < 6; ++c) {
            if (auto *l = findChild<QLabel *>(QStringLiteral("%1_%2").arg(QLatin1String(kColumns[c])).arg(r)))
                l->clear();
        }
        if (auto *e = findChild<QLabel *>(QStringLiteral("lblEvent_%1").arg(r)))
            e->setStyleSheet(QStringLiteral("background-color: rgb(255,255,255);"));
    }
}

void NX4400C::setHistoryMenusEnabled(bool enabled)
{
    m_mnuView->setEnabled(enabled);
    m_mnuSaveAs->setEnabled(enabled);
}

void NX4400C::checkHistoryGroup(int group)
{
    m_mnuHistory1->setChecked(group == 0);
    m_mnuHistory2->setChecked(group == 1);
}

void NX4400C::showHistoryGroup(int group)
{
    HistoryCommands::ShowHistoryGroup(m_ctx.HistoryRows, this, group);
}

QString NX4400C::firstRowDate() const
{
    auto *l = findChild<QLabel *>(QStringLiteral("lblDate_0"));
    return l ? l->text() : QString();
}

// ---- Commands -----------------------------------------------------------------

bool NX4400C::refuseWhileLinkBusy()
{
    if (!m_ctx.hasSession() || !m_ctx.session().busy)
        return false;
    m_ctx.prompter().beep();
    return true;
}

void NX4400C::runToolbarCommand(const QString &key)
{
    // A modal window holds the user's input, so it holds commands that
    // arrive another way (an assistive tool pressing a toolbar button) too.
    if (QApplication::activeModalWidget()) {
        m_ctx.prompter().beep();
        return;
    }
    for (const MainCommand &c : kCommands) {
        if (key != QLatin1String(c.key))
            continue;
        if (!c.whileBusy && refuseWhileLinkBusy())
            return;
        (this->*c.run)();
        return;
    }
}

void NX4400C::openSetup() { LinkCommands::openCommPort(m_ctx.session(), m_ctx.config, this); }
void NX4400C::openFips()
{
    CoverageCommands::openFips(m_ctx, m_ctx, this);
    refreshSetupCheck();
}
void NX4400C::openEvents()
{
    CoverageCommands::openEvents(m_ctx, m_ctx, m_ctx.catalog, this);
    refreshSetupCheck();
}
void NX4400C::openOptions() { OptionCommands::openOptions(m_ctx, m_ctx.config, this); }
void NX4400C::openTimers() { OptionCommands::openTimers(m_ctx, m_ctx.config, this); }
void NX4400C::openInOuts() { OptionCommands::openInOuts(m_ctx, m_ctx.config, this); }
void NX4400C::openIdent() { OptionCommands::openIdent(m_ctx, m_ctx.config, this); }
void NX4400C::openRs232() { OptionCommands::openRs232(m_ctx, m_ctx.config, this); }
void NX4400C::refreshSetupCheck()
{
    const SetupCheck::Report report = CoverageCommands::checkSetup(m_ctx, m_ctx);
    SetupCheckLabel::show(m_lblSetupCheck, report.isClean() ? QStringList() : report.lines(), report.hasSerious());
}

void NX4400C::transferData()
{
    // A receiver set for a transmitter that is gone or off the air stays
    // silent when it should sound: the user decides before it is sent.
    const SetupCheck::Report report = CoverageCommands::checkSetup(m_ctx, m_ctx);
    if (report.hasSerious()
        && m_ctx.prompter().ask(Messages::Title, report.transferQuestion(), Prompter::Icon::Exclamation,
                                Prompter::Buttons::YesNo)
               != Prompter::Button::Yes) {
        setStatusText(QStringLiteral("Left"), QStringLiteral("Transfer cancelled: ") + report.headline());
        return;
    }
    // A fleet receiver open is logged under its fleet name, as the command
    // line's transfer --fleet logs it; the editor's own setup under its
    // device, as before.
    const QString device = m_ctx.session().Port1.devicePath(m_ctx.config.SerialPort);
    const QString name = m_receiverName.isEmpty() ? device : m_receiverName;
    QString why;
    // Known, with its zone, before its history is read: a receiver that
    // heard nothing is still cross-checked, and its audit's weeks follow
    // its own zone.
    const bool logging = m_ctx.alertLogEnabled && !m_ctx.alertLogPath.isEmpty();
    QString registerWhy;
    const bool registered = !logging || (MakeAlertLogFolder(m_ctx.alertLogPath, &registerWhy)
                                         && AlertRecord::registerReceiver(m_ctx.alertLogPath, name, device,
                                                                          &registerWhy, m_ctx.config.TimeZoneName));
    const bool ok = EstConnect(m_ctx.session(), m_ctx, m_ctx.catalog, m_ctx.HistoryRows);
    if (!m_ctx.alertLogEnabled)
        return;
    if (!registered)
        setStatusText(QStringLiteral("Left"),
                      statusText(QStringLiteral("Left")) + QStringLiteral(" (alert log: %1)").arg(registerWhy));
    // Worked or not, the outcome goes to the transfer log beside the alert
    // log, as the command line records it.
    const TransferRecord outcome{m_ctx.clock().now(), name, ok, ok ? QString() : statusText(QStringLiteral("Left")),
                                 ok ? m_ctx.config.ReceiverVersion : QString()};
    if (!m_ctx.alertLogPath.isEmpty() && MakeAlertLogFolder(m_ctx.alertLogPath)
        && !AlertRecord::logTransfer(m_ctx.alertLogPath, outcome, &why))
        setStatusText(QStringLiteral("Left"),
                      statusText(QStringLiteral("Left")) + QStringLiteral(" (transfer log not updated: %1)").arg(why));
    if (!ok)
        return;
    // The receiver keeps only its last 40 alerts: every transfer's history
    // goes into the alert log, each alert once.
    if (m_ctx.alertLogPath.isEmpty()) {
        why = QStringLiteral("there is no folder for it (HOME is not set)");
    } else if (MakeAlertLogFolder(m_ctx.alertLogPath, &why)) {
        // Each alert names the receiver (its fleet name, else its device),
        // as a batch does, so one log can hold the editor's transfers and a
        // batch's.
        QList<AlertLogEntry> alerts = AlertLogEntries(m_ctx.historySource());
        for (AlertLogEntry &a : alerts)
            a.receiver = name;
        if (AlertRecord::logAlerts(m_ctx.alertLogPath, name, ReceiverKind::Receiver, alerts, false, &why))
            return;
    }
    // The transfer itself succeeded; its status text stays and says so.
    setStatusText(QStringLiteral("Left"),
                  statusText(QStringLiteral("Left")) + QStringLiteral(" (alert log not updated: %1)").arg(why));
}

void NX4400C::openAlertLog()
{
    frmAlertLog window(m_ctx.alertLogPath, m_ctx.prompter(), m_ctx.clock(), this);
    window.exec();
}

void NX4400C::openAlertMonitor()
{
    // The menu is enabled once a transfer has read the receiver's history.
    const bool historyRead = m_mnuView->isEnabled();
    const frmMonitor::Setup setup{m_ctx.alertLogEnabled ? m_ctx.alertLogPath : QString(), m_ctx.statesFolder,
                                  m_ctx.FipEntries, m_ctx.EventSelection,
                                  historyRead ? AlertLogEntries(m_ctx.historySource()) : QList<AlertLogEntry>(),
                                  historyRead, m_ctx.config.TransmitterLocation};
    frmMonitor window(setup, m_ctx.prompter(), m_ctx.clock(), this);
    window.exec();
}

void NX4400C::openAtStart(const QString &profile, bool monitor)
{
    if (profile.isEmpty() && !monitor)
        return;
    QTimer::singleShot(0, this, [this, profile, monitor] {
        // A profile that does not open says why and changes nothing; the
        // monitor opens all the same.
        if (!profile.isEmpty() && m_profiles)
            m_profiles->openProfile(profile);
        if (monitor)
            openAlertMonitor();
    });
}

void NX4400C::openSerialTrace()
{
    frmSerialTrace window(m_ctx, m_ctx.trace, this);
    window.exec();
}
void NX4400C::helpContents() { HelpCommands::helpContents(m_ctx, this); }
void NX4400C::helpSearch() { HelpCommands::helpSearch(m_ctx, this); }
void NX4400C::openTestPackets() { TestPacketCommands::openTestPackets(m_ctx, this); }
void NX4400C::openAbout() { HelpCommands::openAbout(m_ctx, this); }
void NX4400C::updateCoverage()
{
    CoverageCommands::updateCoverage(m_ctx, m_ctx, this);
    refreshSetupCheck();
}
void NX4400C::revertCoverage()
{
    CoverageCommands::revertCoverage(m_ctx, m_ctx, this);
    refreshSetupCheck();
}

bool NX4400C::hasUnsavedChanges() const
{
    return SetupDiffersFromFiles(m_ctx);
}

void NX4400C::exitWithPrompt()
{
    if (!hasUnsavedChanges()) {
        m_ExitRequested = true;
        CloseAndExit();
        return;
    }
    switch (Messages::ConfirmSaveChanges(m_ctx.prompter(), 1)) {
    case Prompter::Button::Yes:
        m_ExitRequested = true;
        SaveAndExit();
        break;
    case Prompter::Button::No:
        m_ExitRequested = true;
        CloseAndExit();
        break;
    default:
        break;
    }
}

void NX4400C::onPrintHistory()
{
    if (firstRowDate().isEmpty()) {
        Messages::ShowError(m_ctx.prompter(), 10);
        return;
    }
    HistoryCommands::printHistory(m_ctx, m_ctx.historySource(), this);
}

void NX4400C::onSaveMapAs()
{
    CoverageCommands::saveMapAs(m_ctx, m_ctx, this);
}

void NX4400C::onPrintCoverage()
{
    CoverageCommands::printCoverage(m_ctx, m_ctx, m_ctx.catalog);
}

void NX4400C::onSaveHistoryAs()
{
    if (firstRowDate().isEmpty()) {
        Messages::ShowError(m_ctx.prompter(), 12);
        return;
    }
    HistoryCommands::saveHistoryAs(m_ctx, m_ctx.HistoryRows, this);
}

// ---- Exit paths ---------------------------------------------------------------

void NX4400C::SaveAndExit()
{
    // Every step runs even when an earlier one failed.
    closeReceiverPort();
    // A fleet receiver's setup goes back to its profile, never over the
    // editor's settings and parameter file.
    if (!saveReceiverProfile()) {
        SaveConfiguration(m_ctx, m_ctx.config);
        SaveParameterFile(m_ctx, m_ctx);
    }
    finishProgram();
}

void NX4400C::CloseAndExit()
{
    closeReceiverPort();
    finishProgram();
}

void NX4400C::closeReceiverPort()
{
    // Nothing to close when the link was never used.
    if (m_ctx.hasSession())
        CloseReceiverPort(m_ctx.session());
}

void NX4400C::finishProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    // Unloading the window must not ask again: the exit path is chosen.
    m_ExitRequested = true;
    hide();
    m_ctx.endProgram(0);
}

void NX4400C::closeEvent(QCloseEvent *event)
{
    if (m_ending || m_ExitRequested) {
        event->accept();
        if (!m_ending) {
            m_ending = true;
            m_ctx.endProgram(0);
        }
        return;
    }
    // Closed by the frame, the system menu or the task switcher: closing
    // cannot be cancelled, only saved or not.
    if (hasUnsavedChanges() && Messages::ConfirmSaveChanges(m_ctx.prompter(), 2) == Prompter::Button::Yes) {
        m_ExitRequested = true;
        event->accept();
        SaveAndExit();
        return;
    }
    m_ExitRequested = true;
    event->accept();
    showMinimized();
    m_ending = true;
    m_ctx.endProgram(0);
}

// ---- Keys, activation, status panels -----------------------------------------

void NX4400C::keyPressEvent(QKeyEvent *event)
{
    QMainWindow::keyPressEvent(event);
}

bool NX4400C::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->window() == this) {
            auto *ke = static_cast<QKeyEvent *>(event);
            if (ke->key() == Qt::Key_F8)
                m_CreditArmed = true;
            if (ke->modifiers() & Qt::ControlModifier)
                m_ctx.CtrlHeld = true;
        }
        return false;   // the key goes on to the control that has the focus
    }
    if (event->type() == QEvent::Show)
        nameReceiverInTitle(qobject_cast<QWidget *>(watched));
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_right)
            onStatusPanelClicked(QStringLiteral("Right"));
        else if (watched == m_left)
            onStatusPanelClicked(QStringLiteral("Left"));
    }
    return QMainWindow::eventFilter(watched, event);
}

void NX4400C::onStatusPanelClicked(const QString &key)
{
    if (key != QLatin1String("Right"))
        return;
    if (m_CreditArmed) {
        m_right->setText(creditLine());
        m_ctx.prompter().beep();
        m_CreditArmed = false;
    } else if (m_right->text() == creditLine()) {
        m_right->clear();
    }
}

QString NX4400C::creditLine()
{
    return QStringLiteral("NX-4400C editor: written by the NX-4400C editor team");
}

bool NX4400C::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        onActivated();
    return QMainWindow::event(event);
}

void NX4400C::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
}

void NX4400C::onActivated()
{
    if (QWidget *about = findChild<QWidget *>(QStringLiteral("frmAbout")))
        about->close();
    m_right->clear();
    unsetCursor();
}
