// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up tip: its text, whether it shows, and its check box and the
// Help menu's "Show Tip at startup" always agreeing.
#include "app/gui/HelpCommands.h"
#include "app/gui/NX4400C.h"
#include "app/gui/frmTip.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

frmTip *tipOf(QWidget &w)
{
    return w.findChild<frmTip *>(QStringLiteral("frmTip"));
}

QAction *menuItem(QWidget &w)
{
    return w.findChild<QAction *>(QStringLiteral("mnuTipsShow"));
}

} // namespace

class tst_Tip : public QObject
{
    Q_OBJECT

private slots:
    void tipTextExactly()
    {
        // Database updates come from NOAA's listing through Update
        // Coverage, not from the maker's web site.
        QCOMPARE(frmTip::TipText(),
                 QStringLiteral("Your NX-4400C contains a database of weather transmitters throughout the United "
                                "States and it's Territories.  Since these stations are upgraded, deleted, or "
                                "added by NOAA every few months,  remember to periodically update it:\r\n\r\n"
                                " Download NOAA's county coverage listing (CCL.js or its CSV) and load it with "
                                "\"File\", \"Update Coverage...\". The editor shows what changed and checks your setup."));
    }

    void neverShownWhenOff()
    {
        TestEnv env;
        env.ctx->config.ShowTipsAtStartup = false;
        NX4400C w(*env.ctx);
        menuItem(w)->setChecked(true);   // whatever it showed before
        HelpCommands::showTipAtStartup(*env.ctx, &w);
        QCoreApplication::processEvents();
        QVERIFY(!tipOf(w));
        QVERIFY(!menuItem(w)->isChecked());
        QVERIFY(!env.ctx->config.ShowTipsAtStartup);
    }

    void shownWhenOn()
    {
        TestEnv env;
        env.ctx->config.ShowTipsAtStartup = true;
        NX4400C w(*env.ctx);
        HelpCommands::showTipAtStartup(*env.ctx, &w);
        frmTip *tip = tipOf(w);
        QVERIFY(tip);
        QVERIFY(tip->isVisible());
        QVERIFY(!tip->isModal());
        QCOMPARE(tip->windowTitle(), QStringLiteral("NX-4400C Information Tip"));
        QCOMPARE(tip->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Information Tip For You To Know..."));
        QCOMPARE(tip->findChild<QLabel *>(QStringLiteral("lblTipText"))->text(),
                 frmTip::TipText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        auto *chk = tip->findChild<QCheckBox *>(QStringLiteral("chkLoadTipsAtStartup"));
        QCOMPARE(chk->text(), QStringLiteral("&Show Tip at Startup"));
        QVERIFY(chk->isChecked());
        QVERIFY(menuItem(w)->isChecked());
        QTRY_COMPARE(QApplication::focusWidget(), tip->findChild<QWidget *>(QStringLiteral("cmdOK")));

        const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
        if (!dir.isEmpty()) {
            QVERIFY(QTest::qWaitForWindowExposed(tip));
            QVERIFY(tip->grab().save(dir + QStringLiteral("/tip.png")));
        }
    }

    // Each step acts on the box, OK or the menu item; afterwards the box
    // (while the window is open), the menu item and the setting agree.
    void keptInStep_data()
    {
        QTest::addColumn<QString>("steps");   // c = click the box, o = OK, m = menu item
        QTest::addColumn<bool>("setting");
        QTest::newRow("clear the box, OK") << "co" << false;
        QTest::newRow("OK unchanged") << "o" << true;
        QTest::newRow("menu item while open") << "m" << false;
        QTest::newRow("menu item twice") << "mm" << true;
        QTest::newRow("menu off, box on again, OK") << "mco" << true;
        QTest::newRow("box off, menu on again") << "cm" << true;
        QTest::newRow("box off, window closed by frame") << "cx" << false;
    }
    void keptInStep()
    {
        QFETCH(QString, steps);
        QFETCH(bool, setting);
        TestEnv env;
        env.ctx->config.ShowTipsAtStartup = true;
        NX4400C w(*env.ctx);
        HelpCommands::showTipAtStartup(*env.ctx, &w);
        QPointer<frmTip> tip = tipOf(w);
        QVERIFY(tip);
        auto *chk = tip->findChild<QCheckBox *>(QStringLiteral("chkLoadTipsAtStartup"));
        for (QChar s : steps) {
            if (s == QLatin1Char('c'))
                chk->click();
            else if (s == QLatin1Char('o'))
                tip->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
            else if (s == QLatin1Char('m'))
                menuItem(w)->trigger();
            else
                tip->close();
            if (tip) {
                QCOMPARE(chk->isChecked(), env.ctx->config.ShowTipsAtStartup);
            }
            QCOMPARE(menuItem(w)->isChecked(), env.ctx->config.ShowTipsAtStartup);
        }
        QCOMPARE(env.ctx->config.ShowTipsAtStartup, setting);
        if (steps.endsWith(QLatin1Char('o')) || steps.endsWith(QLatin1Char('x')))
            QTRY_VERIFY(!tip);   // closed and gone
    }
};

QTEST_MAIN(tst_Tip)
#include "tst_tip.moc"
