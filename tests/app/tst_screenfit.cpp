// SPDX-License-Identifier: GPL-3.0-or-later
// Every window of the editor on a 1024 x 768 screen, at the size it opens
// with: it fits the screen, and no two of its visible controls overlap, as
// the accessibility tree reports their places (what a screen reader's
// magnifier and a sighted user both see). The main window, the transmitter
// window and the county window are opened in their worst state: 24
// counties affected by a gone transmitter.
#include "app/gui/HelpViewer.h"
#include "app/gui/NX4400C.h"
#include "app/gui/frmAbout.h"
#include "app/gui/frmTip.h"
#include "coverage/core/SetupCheck.h"
#include "coverage/core/SetupChoice.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/SetupCheckLabel.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmEvent.h"
#include "coverage/gui/frmFIPEdit.h"
#include "coverage/gui/frmFIPS.h"
#include "diagnostics/gui/frmDataDump.h"
#include "history/core/AlertLog.h"
#include "history/gui/frmAlertLog.h"
#include "link/core/LinkSession.h"
#include "link/gui/frmCommPort.h"
#include "monitor/gui/frmMonitor.h"
#include "options/gui/frmIdent.h"
#include "options/gui/frmInOuts.h"
#include "options/gui/frmOption.h"
#include "options/gui/frmRS232.h"
#include "options/gui/frmTimers.h"
#include "support/GeneratedAlertLog.h"
#include "support/GuiDriver.h"
#include "support/PlainWindows.h"
#include "support/TestEnv.h"
#include "testpackets/gui/frmTest.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace {

const QSize kScreen(1024, 768);

struct Placed {
    QWidget *widget;
    QRect rect;     // on the screen, clipped to what its parents show
    QString name;
};

QString describe(const QWidget *w)
{
    QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    for (const QWidget *p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (!p->objectName().isEmpty())
            return p->objectName() + QLatin1Char('/') + name;
    }
    return name;
}

// Where a control shows: its accessible rectangle, cut to every parent up
// to the window (a control scrolled out of a scroll area shows nothing).
QRect shownRect(QAccessibleInterface *iface, QWidget *w)
{
    QRect r = iface->rect();
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        r &= QRect(p->mapToGlobal(QPoint(0, 0)), p->size());
        if (p->isWindow())
            break;
    }
    return r;
}

void collect(QAccessibleInterface *iface, QList<Placed> &out)
{
    if (!iface || !iface->isValid())
        return;
    auto *w = qobject_cast<QWidget *>(iface->object());
    if (w && QAccessible::queryAccessibleInterface(w) == iface) {
        if (iface->state().invisible || !w->isVisible())
            return;
        if (!w->isWindow()) {
            const QRect r = shownRect(iface, w);
            if (!r.isEmpty())
                out.append({w, r, describe(w)});
        }
        // The parts of lists, tables, combo boxes and scroll bars are laid
        // out by the control itself.
        switch (iface->role()) {
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::ComboBox:
        case QAccessible::ScrollBar:
        case QAccessible::SpinBox:
        case QAccessible::PageTabList:
            return;
        default:
            break;
        }
    }
    for (int i = 0; i < iface->childCount(); ++i)
        collect(iface->child(i), out);
}

bool related(const QWidget *a, const QWidget *b)
{
    return a->isAncestorOf(b) || b->isAncestorOf(a);
}

// The faults of `window` as it stands: outside the screen, or two of its
// visible controls drawn over each other.
QStringList layoutFaults(QWidget *window, const QString &title)
{
    QCoreApplication::processEvents();
    QStringList faults;
    const QRect frame = window->frameGeometry();
    if (frame.width() > kScreen.width() || frame.height() > kScreen.height())
        faults << QStringLiteral("%1: opens %2 x %3, larger than the 1024 x 768 screen")
                      .arg(title)
                      .arg(frame.width())
                      .arg(frame.height());
    QList<Placed> placed;
    collect(QAccessible::queryAccessibleInterface(window), placed);
    for (qsizetype i = 0; i < placed.size(); ++i) {
        for (qsizetype j = i + 1; j < placed.size(); ++j) {
            const Placed &a = placed.at(i), &b = placed.at(j);
            if (related(a.widget, b.widget))
                continue;
            // The blinking frame around the county window's first button
            // is drawn around it on purpose, and a dialog's size grip sits
            // in the corner over whatever is there.
            auto decoration = [](const QWidget *w) {
                return w->objectName() == QLatin1String("Shape1") || qobject_cast<const QSizeGrip *>(w);
            };
            if (decoration(a.widget) || decoration(b.widget))
                continue;
            const QRect both = a.rect & b.rect;
            // Frames of neighbours may share their one-pixel edge.
            if (both.width() > 2 && both.height() > 2)
                faults << QStringLiteral("%1: %2 and %3 overlap by %4 x %5")
                              .arg(title, a.name, b.name)
                              .arg(both.width())
                              .arg(both.height());
        }
    }
    grab(window, QStringLiteral("screenfit-") + title);
    return faults;
}

QStringList showAndCheck(QWidget *window, const QString &title)
{
    return whileShown(window, title, layoutFaults);
}

// A transmitter the listing does not have, and 24 of its counties ticked.
void goneWith24Counties(AppContext &ctx)
{
    ctx.config.StateID = 34;
    ctx.config.TransmitterLocation = QStringLiteral(" Nowhere          KQQ99  162.400");
    int n = 0;
    for (int code = 1; n < 24 && code < 200; code += 2) {
        const QString entry = SetupChoice::countyEntryOf(ctx.statesFolder, QStringLiteral("039%1").arg(code, 3, 10, QLatin1Char('0')));
        if (!entry.isEmpty())
            ctx.FipEntries[size_t(n++)] = QStringLiteral("X ") + entry;
    }
}

} // namespace

class tst_ScreenFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWindowFits_data();
    void everyWindowFits();
    void mainWindowKeepsItsSize();
};

using Opener = std::function<QStringList(TestEnv &)>;
Q_DECLARE_METATYPE(Opener)

void tst_ScreenFit::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen->size() != kScreen)
        QSKIP("the test screen is not 1024 x 768 (run under the offscreen platform)");
}

void tst_ScreenFit::everyWindowFits_data()
{
    QTest::addColumn<Opener>("open");

    QTest::newRow("main window, 24 counties of a gone transmitter") << Opener([](TestEnv &env) {
        goneWith24Counties(*env.ctx);
        NX4400C w(*env.ctx);
        w.refreshSetupCheck();
        return showAndCheck(&w, QStringLiteral("main-window-24-counties"));
    });
    QTest::newRow("county and transmitter windows, gone transmitter") << Opener([](TestEnv &env) {
        AppContext &ctx = *env.ctx;
        goneWith24Counties(ctx);
        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("NX4400C"));
        CoverageCommands::prepareCoverageWindows(ctx, ctx, &mainWindow);
        auto *fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
        auto *enter = mainWindow.findChild<frmEnterFIP *>(QStringLiteral("frmEnterFIP"));
        const SetupCheck::Report report = CoverageCommands::checkSetup(ctx, ctx);
        fips->setSetupCheck(report);
        enter->setSetupCheck(report);
        QStringList faults = showAndCheck(fips, QStringLiteral("county-window-gone"));
        faults << showAndCheck(enter, QStringLiteral("transmitter-window-gone"));
        return faults;
    });
    QTest::newRow("county window, Texas") << Opener([](TestEnv &env) {
        AppContext &ctx = *env.ctx;
        ctx.config.StateID = 42;
        ctx.config.TransmitterLocation = QStringLiteral(" Dallas           KEC56  162.400");
        QWidget mainWindow;
        CoverageCommands::prepareCoverageWindows(ctx, ctx, &mainWindow);
        return showAndCheck(mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS")),
                            QStringLiteral("county-window-texas"));
    });
    QTest::newRow("events") << Opener([](TestEnv &env) {
        frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
        return showAndCheck(&w, QStringLiteral("frmEvent"));
    });
    QTest::newRow("about") << Opener([](TestEnv &env) {
        frmAbout w(*env.ctx);
        return showAndCheck(&w, QStringLiteral("frmAbout"));
    });
    QTest::newRow("alert monitor") << Opener([](TestEnv &env) {
        AppContext &ctx = *env.ctx;
        frmMonitor w({env.path(QStringLiteral("alerts.csv")), ctx.statesFolder, ctx.FipEntries, ctx.EventSelection, {}, false},
                     env.prompter, env.clock);
        return showAndCheck(&w, QStringLiteral("frmMonitor"));
    });
    // The windows both window-walking tests open the same way.
    for (const auto &[name, open] : plainWindows()) {
        QTest::newRow(name) << Opener([open = open](TestEnv &env) { return open(env, showAndCheck); });
    }
}

void tst_ScreenFit::everyWindowFits()
{
    QFETCH(Opener, open);
    TestEnv env;
    const QStringList faults = open(env);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

// The window keeps the size the user gave it: a long setup-check list, a
// transfer's progress bar coming and going, and the list going away again
// leave its height alone; maximised, the history grid takes the height.
void tst_ScreenFit::mainWindowKeepsItsSize()
{
    TestEnv env;
    NX4400C w(*env.ctx);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize first = w.size();
    goneWith24Counties(*env.ctx);
    w.refreshSetupCheck();
    auto *line = w.findChild<QLabel *>(QStringLiteral("lblSetupCheck"));
    QVERIFY(line->isVisible());
    QCOMPARE(line->text().count(QStringLiteral("<br>")) + 1, SetupCheckLabel::MaxLines);
    QVERIFY(SetupCheckLabel::fullText(line).count(QLatin1Char('\n')) >= SetupCheckLabel::MaxLines);
    QVERIFY(SetupCheckLabel::fullText(line).contains(QStringLiteral("24 of your counties")));
    QCoreApplication::processEvents();
    QCOMPARE(w.size(), first);
    // A screen reader hears the lines shown; Details… opens the whole list.
    const QString heard = QAccessible::queryAccessibleInterface(line)->text(QAccessible::Name);
    QVERIFY2(heard.contains(QStringLiteral("KQQ99 is gone")) && heard.contains(QStringLiteral("Details")), qPrintable(heard));
    QString details;
    whenModal<QDialog>([&](QDialog *box) {
        if (auto *text = box->findChild<QPlainTextEdit *>(QStringLiteral("txtSetupCheckDetails")))
            details = text->toPlainText();
        grab(box, QStringLiteral("screenfit-setup-check-details"));
        box->reject();
    });
    emit line->linkActivated(QStringLiteral("details"));
    QCOMPARE(details, SetupCheckLabel::fullText(line));
    w.setProgressVisible(true);
    QCoreApplication::processEvents();
    w.setProgressVisible(false);
    env.ctx->config.TransmitterLocation.clear();
    w.refreshSetupCheck();
    QCoreApplication::processEvents();
    QCOMPARE(w.size(), first);

    auto *row20 = w.findChild<QLabel *>(QStringLiteral("lblEvent_19"));
    const int rowHigh = row20->height();
    w.resize(1024, 740);
    QCoreApplication::processEvents();
    QVERIFY2(row20->height() > rowHigh, qPrintable(QStringLiteral("%1 -> %2").arg(rowHigh).arg(row20->height())));
    const QRect bar(w.statusBar()->mapTo(&w, QPoint(0, 0)), w.statusBar()->size());
    const QRect right(w.findChild<QLabel *>(QStringLiteral("Right"))->mapTo(&w, QPoint(0, 0)),
                      w.findChild<QLabel *>(QStringLiteral("Right"))->size());
    QVERIFY(bar.contains(right));
}

// The screen the windows open on: 1024 x 768, as the offscreen platform's
// configuration file sets it.
int main(int argc, char **argv)
{
    // Made in the current folder and named relative to it: the platform's
    // options are separated by colons, and a Windows path has one after its
    // drive letter.
    QTemporaryDir dir(QStringLiteral("screenfit-XXXXXX"));
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (dir.isValid() && (platform.isEmpty() || platform == "offscreen")) {
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        if (config.open(QIODevice::WriteOnly))
            config.write(R"({"screens": [{"name": "screen-1024x768", "x": 0, "y": 0, "width": 1024, "height": 768,
                             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" + QDir::current().relativeFilePath(config.fileName()).toLocal8Bit());
    }
    QApplication app(argc, argv);
    tst_ScreenFit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenfit.moc"
