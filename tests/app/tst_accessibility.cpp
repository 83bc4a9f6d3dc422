// SPDX-License-Identifier: GPL-3.0-or-later
// Every window of the editor as a screen reader meets it: each window is
// opened (every tab of the tabbed pages), its accessibility tree is walked,
// and every label must be readable, every focusable control named, and no
// two controls of a window may share a name.
#include "app/gui/HelpViewer.h"
#include "app/gui/NX4400C.h"
#include "app/gui/SysInfo.h"
#include "app/gui/frmAbout.h"
#include "app/gui/frmSplash.h"
#include "app/gui/frmTip.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmEvent.h"
#include "coverage/gui/frmFIPEdit.h"
#include "coverage/gui/frmFIPS.h"
#include "diagnostics/gui/frmDataDump.h"
#include "support/GeneratedAlertLog.h"
#include "history/core/AlertLog.h"
#include "history/gui/frmAlertLog.h"
#include "link/core/LinkSession.h"
#include "link/gui/frmCommPort.h"
#include "options/gui/frmIdent.h"
#include "options/gui/frmInOuts.h"
#include "options/gui/frmOption.h"
#include "options/gui/frmRS232.h"
#include "options/gui/frmTimers.h"
#include "support/GuiDriver.h"
#include "support/PlainWindows.h"
#include "support/TestEnv.h"
#include "testpackets/gui/frmTest.h"

#include <QAccessible>
#include <QAction>
#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace {

// What a sighted user reads on a label: its text without markup or
// mnemonic marks, blanks folded.
QString shownText(const QLabel *label)
{
    QString text = label->text();
    if (label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument doc;
        doc.setHtml(text);
        text = doc.toPlainText();
    }
    if (label->textFormat() != Qt::PlainText && label->buddy())
        text.remove(QRegularExpression(QStringLiteral("&(?=[^&])")));
    return text.simplified();
}

// The control's program name; an unnamed part of a compound control is
// named by its class within its named parent.
QString describe(QAccessibleInterface *iface)
{
    const QObject *o = iface->object();
    if (!o)
        return QStringLiteral("?");
    if (!o->objectName().isEmpty())
        return o->objectName();
    QString name = QString::fromLatin1(o->metaObject()->className());
    for (const QObject *p = o->parent(); p; p = p->parent()) {
        if (!p->objectName().isEmpty())
            return p->objectName() + QLatin1Char('/') + name;
        name.prepend(QString::fromLatin1(p->metaObject()->className()) + QLatin1Char('/'));
    }
    return name;
}

bool isControl(QAccessibleInterface *iface, const QWidget *w)
{
    if (qobject_cast<const QLabel *>(w) || w->isWindow())
        return false;
    switch (iface->role()) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::PageTabList:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return w->focusPolicy() != Qt::NoFocus;
    }
}

// The readable faults of one window as it stands (hidden controls aside).
class Audit
{
public:
    explicit Audit(QString window) : m_window(std::move(window)) {}

    void walk(QAccessibleInterface *iface)
    {
        if (!iface || !iface->isValid())
            return;
        auto *w = qobject_cast<QWidget *>(iface->object());
        // Only each widget's own interface; items of lists and tables are
        // the view's business.
        if (w && QAccessible::queryAccessibleInterface(w) == iface) {
            if (iface->state().invisible || !w->isVisible())
                return;
            check(iface, w);
            const QAccessible::Role role = iface->role();
            if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree
                || role == QAccessible::ComboBox)
                return;
        }
        for (int i = 0; i < iface->childCount(); ++i)
            walk(iface->child(i));
    }

    QStringList offences() const
    {
        QStringList all = m_offences;
        for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
            if (it.value().size() > 1)
                all << QStringLiteral("%1: %2 share the name \"%3\"")
                           .arg(m_window, it.value().join(QStringLiteral(", ")), it.key());
        }
        return all;
    }

private:
    void check(QAccessibleInterface *iface, QWidget *w)
    {
        const QString name = iface->text(QAccessible::Name).simplified();
        if (auto *label = qobject_cast<QLabel *>(w)) {
            const QString text = shownText(label);
            if (text.isEmpty())
                return;
            QStringList heard{name, iface->text(QAccessible::Value).simplified()};
            if (QAccessibleTextInterface *t = iface->textInterface())
                heard << t->text(0, t->characterCount()).simplified();
            bool readable = false;
            for (const QString &h : heard)
                readable = readable || h.contains(text);
            if (!readable)
                m_offences << QStringLiteral("%1: label %2 shows \"%3\" but is heard as \"%4\"")
                                  .arg(m_window, describe(iface), text, heard.join(QStringLiteral(" / ")));
            return;
        }
        if (!isControl(iface, w))
            return;
        if (name.isEmpty()) {
            m_offences << QStringLiteral("%1: control %2 (role %3, tool tip \"%4\") has no name")
                              .arg(m_window, describe(iface), QString::number(int(iface->role())), w->toolTip());
            return;
        }
        QStringList &holders = m_names[name];
        if (!holders.contains(describe(iface)))
            holders << describe(iface);
    }

    QString m_window;
    QStringList m_offences;
    QMap<QString, QStringList> m_names;
};

// Audits `window` in every state its tab widgets can show, and saves a
// picture of each when NX_GRAB_DIR is set.
QStringList auditWindow(QWidget *window, const QString &title)
{
    QStringList offences;
    auto auditNow = [&](const QString &state) {
        QCoreApplication::processEvents();
        Audit audit(state);
        audit.walk(QAccessible::queryAccessibleInterface(window));
        for (const QString &o : audit.offences())
            if (!offences.contains(o))
                offences << o;
        grab(window, QStringLiteral("a11y-") + state);
    };
    const QList<QTabWidget *> tabs = window->findChildren<QTabWidget *>();
    if (tabs.isEmpty())
        auditNow(title);
    for (QTabWidget *tab : tabs) {
        const int was = tab->currentIndex();
        for (int i = 0; i < tab->count(); ++i) {
            tab->setCurrentIndex(i);
            auditNow(QStringLiteral("%1-%2").arg(title, tab->objectName()).append(QString::number(i)));
        }
        tab->setCurrentIndex(was);
    }
    return offences;
}

QStringList showAndAudit(QWidget *window, const QString &title)
{
    return whileShown(window, title, auditWindow);
}

void fillHistory(AppContext &ctx)
{
    const char *const months[] = {"January", "February", "March", "April"};
    for (int i = 0; i < 40; ++i) {
        HistoryRecord &r = ctx.HistoryRows[size_t(i)];
        r.Date = QStringLiteral("%1-%2").arg(i % 28 + 1).arg(QLatin1String(months[i % 4]));
        r.Time = QStringLiteral("%1:%2").arg(i % 24, 2, 10, QLatin1Char('0')).arg(i, 2, 10, QLatin1Char('0'));
        r.Length = QStringLiteral("00:15");
        r.Org = QStringLiteral("WXR");
        r.Event = i % 2 ? QStringLiteral("Tornado Warning") : QStringLiteral("Severe Thunderstorm Watch");
        r.Class = i % 2 ? EventClass::Warning : EventClass::Watch;
    }
}

// The main window as a transfer leaves it: history shown, both panels set.
struct MainAfterTransfer {
    TestEnv env;
    std::unique_ptr<NX4400C> w;

    MainAfterTransfer()
    {
        w = std::make_unique<NX4400C>(*env.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCoreApplication::processEvents();
        fillHistory(*env.ctx);
        w->showHistoryGroup(0);
        w->setHistoryMenusEnabled(true);
        w->setStatusText(QStringLiteral("Left"), QStringLiteral("Upload / Download Successful"));
        w->setStatusText(QStringLiteral("Right"), QStringLiteral("NX-4400C ROM Version 2.13"));
    }
};

} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void everyWindowReadable_data();
    void everyWindowReadable();
    void fieldsSayWhatTheyAre_data();
    void fieldsSayWhatTheyAre();
    void dataDumpNameKeepsItsBlanks();
};

using Opener = std::function<QStringList(TestEnv &)>;
Q_DECLARE_METATYPE(Opener)

void tst_Accessibility::everyWindowReadable_data()
{
    QTest::addColumn<Opener>("open");

    QTest::newRow("main window after a transfer") << Opener([](TestEnv &) {
        MainAfterTransfer m;
        QStringList offences = auditWindow(m.w.get(), QStringLiteral("NX4400C"));
        m.w->showHistoryGroup(1);
        offences << auditWindow(m.w.get(), QStringLiteral("NX4400C-group2"));
        return offences;
    });
    QTest::newRow("county and transmitter") << Opener([](TestEnv &env) {
        AppContext &ctx = *env.ctx;
        ctx.config.StateID = 8;
        ctx.config.TransmitterLocation = QStringLiteral(" West Palm Beach  KEC50  162.475");
        ctx.FipEntries[0] = QStringLiteral("X 012011  Broward                Florida");
        ctx.FipEntries[1] = QStringLiteral("012085  Martin                 Florida");
        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("NX4400C"));
        CoverageCommands::prepareCoverageWindows(ctx, ctx, &mainWindow);
        auto *fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
        auto *enter = mainWindow.findChild<frmEnterFIP *>(QStringLiteral("frmEnterFIP"));
        QStringList offences = showAndAudit(fips, QStringLiteral("frmFIPS"));
        offences << showAndAudit(enter, QStringLiteral("frmEnterFIP"));
        return offences;
    });
    QTest::newRow("county map") << Opener([](TestEnv &env) {
        AppContext &ctx = *env.ctx;
        ctx.config.StateID = 34;
        ctx.config.TransmitterLocation = QStringLiteral(" Covington        KIH42  162.550");
        ctx.FipEntries[0] = QStringLiteral("X 039061  Hamilton               Ohio");
        ctx.FipEntries[1] = QStringLiteral("039025  Clermont               Ohio");
        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("NX4400C"));
        CoverageCommands::prepareCoverageWindows(ctx, ctx, &mainWindow);
        auto *fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
        fips->show();
        QStringList offences;
        QWidget *map = fips->findChild<QWidget *>(QStringLiteral("mapCounties"));
        QAccessibleInterface *iface = map ? QAccessible::queryAccessibleInterface(map) : nullptr;
        // Named, focusable, and its description says what is selected.
        if (!iface || iface->text(QAccessible::Name) != QLatin1String("County map") || map->focusPolicy() == Qt::NoFocus
            || !iface->text(QAccessible::Description).contains(QStringLiteral("1 of 2 listed counties selected"))
            || !iface->text(QAccessible::Description).contains(QStringLiteral("Hamilton (039061)")))
            offences << QStringLiteral("frmFIPS: the map is not named, focusable and described: ")
                            + (iface ? iface->text(QAccessible::Description) : QStringLiteral("no map"));
        offences << showAndAudit(fips, QStringLiteral("frmFIPS-map"));
        return offences;
    });
    QTest::newRow("events") << Opener([](TestEnv &env) {
        frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
        QStringList offences = showAndAudit(&w, QStringLiteral("frmEvent-page1"));
        w.findChild<QPushButton *>(QStringLiteral("cmdSelect_1"))->click();
        offences << showAndAudit(&w, QStringLiteral("frmEvent-page2"));
        return offences;
    });
    QTest::newRow("about and system information") << Opener([](TestEnv &env) {
        env.ctx->ShowDumpButton = true;
        frmAbout w(*env.ctx);
        QStringList offences = showAndAudit(&w, QStringLiteral("frmAbout"));
        SysInfoReport report;
        report.operatingSystem = QStringLiteral("Debian GNU/Linux 12");
        report.qtVersion = QStringLiteral("6.4.2");
        frmSysInfo info(report);
        offences << showAndAudit(&info, QStringLiteral("frmSysInfo"));
        return offences;
    });
    QTest::newRow("splash") << Opener([](TestEnv &) {
        frmSplash w;
        return showAndAudit(&w, QStringLiteral("frmSplash"));
    });
    // The windows both window-walking tests open the same way.
    for (const auto &[name, open] : plainWindows()) {
        QTest::newRow(name) << Opener([open = open](TestEnv &env) { return open(env, showAndAudit); });
    }
}

void tst_Accessibility::everyWindowReadable()
{
    QFETCH(Opener, open);
    TestEnv env;
    const QStringList offences = open(env);
    for (const QString &o : offences)
        qWarning("%s", qPrintable(o));
    QVERIFY2(offences.isEmpty(), qPrintable(offences.join(QLatin1Char('\n'))));
}

// Fields whose text is a value: the name is the value shown, the
// description says what it is.
void tst_Accessibility::fieldsSayWhatTheyAre_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");

    QTest::newRow("status") << "Left" << "Upload / Download Successful" << "Status";
    QTest::newRow("version") << "Right" << "NX-4400C ROM Version 2.13" << "Receiver version";
    QTest::newRow("number") << "lblNum_0" << "1" << "Num, row 1";
    QTest::newRow("date") << "lblDate_0" << "1-January" << "Date, row 1";
    QTest::newRow("time") << "lblTime_1" << "01:01" << "Time, row 2";
    QTest::newRow("originator") << "lblOrg_19" << "WXR" << "ORG, row 20";
    QTest::newRow("event") << "lblEvent_19" << "Tornado Warning" << "Event Code Received, row 20";
    QTest::newRow("length") << "lblLength_3" << "00:15" << "Length, row 4";
}

void tst_Accessibility::fieldsSayWhatTheyAre()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, description);
    MainAfterTransfer m;
    auto *label = m.w->findChild<QLabel *>(control);
    QVERIFY(label);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(label);
    QCOMPARE(iface->text(QAccessible::Name), text);
    QCOMPARE(iface->text(QAccessible::Description), description);

    // A value that changes later is heard as it is now.
    if (control == QLatin1String("Left")) {
        m.w->setStatusText(control, QStringLiteral("Upload Data Timeout"));
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Upload Data Timeout"));
    }
}

void tst_Accessibility::dataDumpNameKeepsItsBlanks()
{
    TestEnv env;
    frmDataDump w(env.ctx->session(), env.ctx->config);
    QCOMPARE(QAccessible::queryAccessibleInterface(&w)->text(QAccessible::Name), w.windowTitle());
    QVERIFY(w.windowTitle().startsWith(QLatin1String("  NX")));
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
