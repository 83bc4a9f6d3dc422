// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/gui/NX4400C.h"

#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "shell/core/AppContext.h"
#include "shell/core/Messages.h"
#include "shell/gui/Commands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

struct ToolbarCommand {
    const char *key;
    const char *tooltip;
    const char *icon;
    const char *text;   // short caption under the picture
};

// The twelve commands, left to right.
const ToolbarCommand kCommands[] = {
    {"Setup", "Serial Port Setup and Date/Time Configuration", "setup", "Setup"},
    {"FIP Codes", "Select State and FIP Codes", "fips", "FIP Codes"},
    {"Event Codes", "Select Event Codes", "events", "Events"},
    {"Options", "Setup Receiver Options", "options", "Options"},
    {"Timers", "Configure Receiver Timers", "timers", "Timers"},
    {"Inputs", "Select Hardware Input and Output Action.", "inputs", "Inputs"},
    {"Identification", "Set Station Identification", "ident", "Ident"},
    {"RS232", "Setup Raw Data Out RS232 Port", "rs232", "RS232"},
    {"Transfer Data", "Transfer Data To/From NX-4400", "transfer", "Transfer"},
    {"Print History", "Print History Report", "print", "Print"},
    {"Help", "Help Contents", "help", "Help"},
    {"Exit", "Exit  NX-4400 Program", "exit", "Exit"},
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
    setWindowIcon(QIcon(QStringLiteral(":/shell/icons/app.svg")));
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
    resize(qMax(sizeHint().width(), m_toolbar->sizeHint().width() + 8), sizeHint().height());

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
    m_mnuSaveAs = mnuFile->addAction(QStringLiteral("Save History File As..."));
    m_mnuSaveAs->setObjectName(QStringLiteral("mnuSaveAs"));
    connect(m_mnuSaveAs, &QAction::triggered, this, &NX4400C::onSaveHistoryAs);
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
    connect(a, &QAction::triggered, this, [this] { Commands::helpContents(m_ctx, this); });
    a = mnuHelp->addAction(QStringLiteral("&Search For Help On..."));
    a->setObjectName(QStringLiteral("mnuSearchHelp"));
    connect(a, &QAction::triggered, this, [this] { Commands::helpSearch(m_ctx, this); });
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
        connect(w, &QAction::triggered, this, [this, page] { Commands::openWebPage(m_ctx, this, page); });
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
    connect(a, &QAction::triggered, this, [this] {
        if (!refuseWhileLinkBusy())
            Commands::openTestPackets(m_ctx, this);
    });
    mnuHelp->addSeparator()->setObjectName(QStringLiteral("mnuSep3"));
    a = mnuHelp->addAction(QStringLiteral("&About"));
    a->setObjectName(QStringLiteral("mnuAbout"));
    connect(a, &QAction::triggered, this, [this] {
        if (!refuseWhileLinkBusy())
            Commands::openAbout(m_ctx, this);
    });
}

void NX4400C::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Tlbar"));
    m_toolbar->setObjectName(QStringLiteral("Tlbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const ToolbarCommand &c : kCommands) {
        m_toolbar->addSeparator();
        const QString key = QString::fromLatin1(c.key);
        QAction *act = m_toolbar->addAction(QIcon(QStringLiteral(":/shell/icons/%1.svg").arg(QLatin1String(c.icon))),
                                            QString::fromLatin1(c.text));
        act->setObjectName(key);
        act->setData(key);
        act->setToolTip(QString::fromLatin1(c.tooltip));
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
        h->setAccessibleName(h->text());
        grid->addWidget(h, 0, c);
    }
    for (int r = 0; r < Rows; ++r) {
        for (int c = 0; c < 6; ++c) {
            auto *l = new QLabel(central);
            l->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(kColumns[c])).arg(r));
            l->setAccessibleName(QStringLiteral("%1 row %2").arg(QLatin1String(kHeadings[c])).arg(r + 1));
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
    outer->addLayout(grid);
    m_prgXfer = new QProgressBar(central);
    m_prgXfer->setObjectName(QStringLiteral("prgXfer"));
    m_prgXfer->setAccessibleName(QStringLiteral("Transfer progress"));
    outer->addWidget(m_prgXfer);
    outer->addStretch(1);
    setCentralWidget(central);
}

void NX4400C::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    m_left = new QLabel(this);
    m_left->setObjectName(QStringLiteral("Left"));
    m_left->setAccessibleName(QStringLiteral("Status"));
    m_left->setFrameShape(QFrame::StyledPanel);
    m_right = new QLabel(this);
    m_right->setObjectName(QStringLiteral("Right"));
    m_right->setAccessibleName(QStringLiteral("Receiver version"));
    m_right->setFrameShape(QFrame::StyledPanel);
    m_right->setMinimumWidth(260);
    statusBar()->addWidget(m_left, 1);
    statusBar()->addWidget(m_right, 0);
    // Clicks on the panels arrive through the application-wide filter that
    // also previews the keys (see the constructor).
}

// ---- MainView ---------------------------------------------------------------

void NX4400C::setStatusText(const QString &panelKey, const QString &text)
{
    if (panelKey == QLatin1String("Left"))
        m_left->setText(text);
    else if (panelKey == QLatin1String("Right"))
        m_right->setText(text);
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
    Commands::ShowHistoryGroup(m_ctx, this, group);
}

QString NX4400C::firstRowDate() const
{
    auto *l = findChild<QLabel *>(QStringLiteral("lblDate_0"));
    return l ? l->text() : QString();
}

// ---- Commands -----------------------------------------------------------------

bool NX4400C::refuseWhileLinkBusy()
{
    // While a transfer, port search or dump owns the port, the window stays
    // responsive, but a modal window opened now would hold the transfer's
    // wait until it closed and let the receiver time out. Help and Exit
    // stay available; everything else is refused with a beep.
    if (!m_ctx.link.busy)
        return false;
    m_ctx.prompter().beep();
    return true;
}

void NX4400C::runToolbarCommand(const QString &key)
{
    if (key != QLatin1String("Help") && key != QLatin1String("Exit") && refuseWhileLinkBusy())
        return;
    if (key == QLatin1String("Setup"))
        Commands::openCommPort(m_ctx, this);
    else if (key == QLatin1String("FIP Codes"))
        Commands::openFips(m_ctx, this);
    else if (key == QLatin1String("Event Codes"))
        Commands::openEvents(m_ctx, this);
    else if (key == QLatin1String("Options"))
        Commands::openOptions(m_ctx, this);
    else if (key == QLatin1String("Timers"))
        Commands::openTimers(m_ctx, this);
    else if (key == QLatin1String("Inputs"))
        Commands::openInOuts(m_ctx, this);
    else if (key == QLatin1String("Identification"))
        Commands::openIdent(m_ctx, this);
    else if (key == QLatin1String("RS232"))
        Commands::openRs232(m_ctx, this);
    else if (key == QLatin1String("Transfer Data"))
        Commands::EstConnect(m_ctx, this);
    else if (key == QLatin1String("Print History"))
        onPrintHistory();
    else if (key == QLatin1String("Help"))
        Commands::helpContents(m_ctx, this);
    else if (key == QLatin1String("Exit")) {
        switch (Messages::ConfirmSaveChanges(m_ctx, 1)) {
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
}

void NX4400C::onPrintHistory()
{
    if (firstRowDate().isEmpty()) {
        Messages::ShowError(m_ctx, 10);
        return;
    }
    Commands::printHistory(m_ctx, this);
}

void NX4400C::onSaveHistoryAs()
{
    if (refuseWhileLinkBusy())
        return;
    if (firstRowDate().isEmpty()) {
        Messages::ShowError(m_ctx, 12);
        return;
    }
    Commands::saveHistoryAs(m_ctx, this);
}

// ---- Exit paths ---------------------------------------------------------------

void NX4400C::SaveAndExit()
{
    // Every step runs even when an earlier one failed.
    Commands::CloseReceiverPort(m_ctx);
    SaveConfiguration(m_ctx);
    SaveParameterFile(m_ctx);
    finishProgram();
}

void NX4400C::CloseAndExit()
{
    Commands::CloseReceiverPort(m_ctx);
    finishProgram();
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
    if (Messages::ConfirmSaveChanges(m_ctx, 2) == Prompter::Button::Yes) {
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
