// SPDX-License-Identifier: GPL-3.0-or-later
// The event selection window, driven through its controls offscreen.
#include "coverage/gui/CoverageUi.h"
#include "coverage/gui/frmEvent.h"
#include "coverage/gui/CoverageCommands.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

namespace {

QCheckBox *box(QWidget *w, const QString &name)
{
    return w->findChild<QCheckBox *>(name);
}

QString countText(QWidget *w)
{
    return w->findChild<QLabel *>(QStringLiteral("lblCount"))->text();
}

QStringList selectionSlots(const AppContext &ctx, int from, int to)
{
    return ctx.EventSelection.mid(from, to - from + 1);
}

} // namespace

class tst_EventWindow : public QObject
{
    Q_OBJECT

private slots:
    void opensFromSelection();
    void layout_data();
    void layout();
    void allBoxesChecked();
    void storesInCatalogueOrder();
    void dropsCodesWithoutBox();
    void uncheckAll();
    void spareBoxesCountNothing();
    void pages();
    void leavingWithoutOkStoresNothing();
    void toolbarCommand();
    void toggleAction_data();
    void toggleAction();
};

void tst_EventWindow::opensFromSelection()
{
    TestEnv env;
    env.ctx->EventSelection[0] = QStringLiteral("TOR");
    env.ctx->EventSelection[1] = QStringLiteral("TOW");
    env.ctx->EventSelection[2] = QStringLiteral("cfa");           // lower case: no box
    env.ctx->EventSelection[47] = QStringLiteral("RWT");          // last compared slot
    env.ctx->EventSelection[48] = QStringLiteral("RMT");          // never looked at
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral(" NX-4400C Event Codes. Page 1"));
    QVERIFY(box(&w, QStringLiteral("chkTOR"))->isChecked());
    QVERIFY(!box(&w, QStringLiteral("chkCFA"))->isChecked());
    QVERIFY(box(&w, QStringLiteral("chkRWT"))->isChecked());
    QVERIFY(!box(&w, QStringLiteral("chkRMT"))->isChecked());
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = 2   (Max 48)"));
    QVERIFY(w.MatchOk(QStringLiteral("TOW")));
    QVERIFY(!w.MatchOk(QStringLiteral("RMT")));
    QCOMPARE(w.focusWidget()->objectName(), QStringLiteral("cmdOK"));
    // Every control has an accessible name.
    for (QWidget *child : w.findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(child) || qobject_cast<QGroupBox *>(child))
            QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));
    }
    grab(&w, QStringLiteral("frmEvent_page1"));
}

void tst_EventWindow::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("frameTopLeftTwips");
    QTest::addColumn<int>("boxTopTwips");
    QTest::newRow("AVA") << "chkAVA" << "Avalanche" << "Watch" << QPoint(240, 120) << 240;
    QTest::newRow("FLW") << "chkFLW" << "Flood" << "Warning" << QPoint(6720, 120) << 480;
    QTest::newRow("SVR") << "chkSVR" << "Severe Thunderstorm" << "Warning" << QPoint(4560, 1320) << 480;
    QTest::newRow("WSA") << "chkWSA" << "Winter Storm" << "Watch" << QPoint(4560, 2520) << 240;
    QTest::newRow("spare") << "chkSpare2" << "Spare" << "Warning" << QPoint(6720, 2520) << 480;
    QTest::newRow("BZW") << "chkBZW" << "Misc Warnings" << "Blizzard Warning" << QPoint(240, 0) << 240;
    QTest::newRow("CDW") << "chkCDW" << "Misc Warnings" << "Cival Danger Warning" << QPoint(240, 0) << 480;
    QTest::newRow("VOW") << "chkVOW" << "Misc Warnings" << "Volcano Warning" << QPoint(240, 0) << 240 * 13;
    QTest::newRow("EAT") << "chkEAT" << "Emergency - Statements - Messages" << "Emergency Action Termination"
                         << QPoint(4800, 0) << 240 * 7;
    QTest::newRow("EVI") << "chkEVI" << "Misc Events" << "Evacuate Immediate" << QPoint(4800, 2040) << 480;
}

void tst_EventWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, frame);
    QFETCH(QString, caption);
    QFETCH(QPoint, frameTopLeftTwips);
    QFETCH(int, boxTopTwips);
    TestEnv env;
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    QCheckBox *b = box(&w, name);
    QVERIFY(b);
    QCOMPARE(b->text(), caption);
    auto *group = qobject_cast<QGroupBox *>(b->parentWidget());
    QVERIFY(group);
    QCOMPARE(group->title(), frame);
    using CoverageUi::tw;
    QCOMPARE(group->pos(), QPoint(tw(frameTopLeftTwips.x()), tw(frameTopLeftTwips.y())));
    QCOMPARE(b->y(), tw(boxTopTwips));
    // The frame sits on its page panel, and the box inside its frame.
    QVERIFY(group->parentWidget()->objectName().startsWith(QLatin1String("Picture")));
    QVERIFY(group->rect().contains(b->geometry()));
}

void tst_EventWindow::allBoxesChecked()
{
    TestEnv env;
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    const QList<QCheckBox *> boxes = w.findChildren<QCheckBox *>();
    QCOMPARE(boxes.size(), 49);
    for (QCheckBox *b : boxes) {
        if (!b->objectName().startsWith(QLatin1String("chkSpare")))
            b->click();
    }
    QCOMPARE(env.prompter.beeps, 0);
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = 47   (Max 48)"));
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(env.ctx->EventSelection.at(0), QStringLiteral("AVA"));
    QCOMPARE(env.ctx->EventSelection.at(46), QStringLiteral("RWT"));
    QVERIFY(env.ctx->EventSelection.at(47).isEmpty());
    // Written in catalogue order.
    for (int i = 0; i < 47; ++i)
        QCOMPARE(env.ctx->EventSelection.at(i), env.ctx->catalog.rows.at(i).EventCode);
}

void tst_EventWindow::storesInCatalogueOrder()
{
    TestEnv env;
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    box(&w, QStringLiteral("chkBZW"))->click();
    box(&w, QStringLiteral("chkAVA"))->click();
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = 2   (Max 48)"));
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(selectionSlots(*env.ctx, 0, 2), (QStringList{QStringLiteral("AVA"), QStringLiteral("BZW"), QString()}));
}

void tst_EventWindow::dropsCodesWithoutBox()
{
    TestEnv env;
    env.ctx->EventSelection[0] = QStringLiteral("TOR");
    env.ctx->EventSelection[1] = QStringLiteral("TOW");
    env.ctx->EventSelection[2] = QStringLiteral("SVW");
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(selectionSlots(*env.ctx, 0, 2), (QStringList{QStringLiteral("TOR"), QString(), QString()}));
}

void tst_EventWindow::uncheckAll()
{
    TestEnv env;
    for (int i = 0; i < 49; ++i)
        env.ctx->EventSelection[i] = env.ctx->catalog.rows.at(i % 47).EventCode;
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    for (QCheckBox *b : w.findChildren<QCheckBox *>()) {
        if (b->isChecked())
            b->click();
    }
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = 0   (Max 48)"));
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    for (int i = 0; i < 48; ++i)
        QVERIFY(env.ctx->EventSelection.at(i).isEmpty());
    QCOMPARE(env.ctx->EventSelection.at(48), env.ctx->catalog.rows.at(1).EventCode);   // slot 48 untouched
}

void tst_EventWindow::spareBoxesCountNothing()
{
    TestEnv env;
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    QCheckBox *spare1 = box(&w, QStringLiteral("chkSpare1"));
    QCheckBox *spare2 = box(&w, QStringLiteral("chkSpare2"));
    QVERIFY(!spare1->isChecked() && !spare2->isChecked());
    spare1->click();
    spare2->click();
    QVERIFY(spare1->isChecked());
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = 0   (Max 48)"));
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QVERIFY(env.ctx->EventSelection.at(0).isEmpty());
}

void tst_EventWindow::pages()
{
    TestEnv env;
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    w.show();
    auto *page1 = w.findChild<QFrame *>(QStringLiteral("Picture1"));
    auto *page2 = w.findChild<QFrame *>(QStringLiteral("Picture2"));
    QVERIFY(page1->isVisible() && !page2->isVisible());
    w.findChild<QPushButton *>(QStringLiteral("cmdSelect_1"))->click();
    QCOMPARE(w.windowTitle(), QStringLiteral(" NX-4400C Event Codes. Page 2"));
    QVERIFY(!page1->isVisible() && page2->isVisible());
    QCOMPARE(page2->pos(), QPoint(CoverageUi::tw(120), CoverageUi::tw(120)));
    grab(&w, QStringLiteral("frmEvent_page2"));
    w.SelectPage(5);   // no such page: nothing changes
    QVERIFY(page2->isVisible());
    w.findChild<QPushButton *>(QStringLiteral("cmdSelect_0"))->click();
    QCOMPARE(w.windowTitle(), QStringLiteral(" NX-4400C Event Codes. Page 1"));
    QVERIFY(page1->isVisible() && !page2->isVisible());
}

void tst_EventWindow::leavingWithoutOkStoresNothing()
{
    TestEnv env;
    env.ctx->EventSelection[0] = QStringLiteral("TOW");
    frmEvent w(*env.ctx, *env.ctx, env.ctx->catalog);
    box(&w, QStringLiteral("chkAVA"))->click();
    w.reject();
    QCOMPARE(env.ctx->EventSelection.at(0), QStringLiteral("TOW"));
    QVERIFY(env.ctx->EventSelection.at(1).isEmpty());
}

void tst_EventWindow::toolbarCommand()
{
    TestEnv env;
    QWidget mainWindow;
    whenModal<frmEvent>([](frmEvent *w) {
        w->findChild<QCheckBox *>(QStringLiteral("chkRMT"))->click();
        w->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    CoverageCommands::openEvents(*env.ctx, *env.ctx, env.ctx->catalog, &mainWindow);
    QCOMPARE(env.ctx->EventSelection.at(0), QStringLiteral("RMT"));
    // Rebuilt each time: nothing of it stays behind.
    QVERIFY(!mainWindow.findChild<frmEvent *>());
}

// What assistive technology does to a check box: its toggle action, which
// changes the box without a click. The count follows, and the 49th box is
// refused as a click would be. The real catalogue offers 47 codes, so the
// limit is reached on a catalogue with a few more.
void tst_EventWindow::toggleAction_data()
{
    QTest::addColumn<int>("extraCodes");
    QTest::addColumn<int>("toggles");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("beeps");

    QTest::newRow("one box") << 0 << 1 << 1 << 0;
    QTest::newRow("every offered box") << 0 << 47 << 47 << 0;
    QTest::newRow("up to the limit") << 1 << 48 << 48 << 0;
    QTest::newRow("one past the limit") << 2 << 49 << 48 << 1;
    QTest::newRow("three past the limit") << 4 << 51 << 48 << 3;
}

void tst_EventWindow::toggleAction()
{
    QFETCH(int, extraCodes);
    QFETCH(int, toggles);
    QFETCH(int, count);
    QFETCH(int, beeps);
    TestEnv env;
    EventCatalog catalog = env.ctx->catalog;
    for (int i = 0; i < extraCodes; ++i)
        catalog.rows.append({QStringLiteral("XX%1").arg(char('A' + i)), QStringLiteral("Extra"), EventClass::Other, 2,
                             QStringLiteral("Misc Events"), QStringLiteral("Extra %1").arg(i)});
    frmEvent w(*env.ctx, *env.ctx, catalog);
    QList<QCheckBox *> counted;
    for (const EventCatalogEntry &row : std::as_const(catalog.rows))
        counted << w.box(row.EventCode);
    QCOMPARE(counted.size(), 47 + extraCodes);

    for (int i = 0; i < toggles; ++i) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(counted.at(i));
        QVERIFY(a && a->actionInterface());
        QVERIFY(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    }
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = %1   (Max 48)").arg(count));
    QCOMPARE(env.prompter.beeps, beeps);
    for (int i = 0; i < counted.size(); ++i)
        QCOMPARE(counted.at(i)->isChecked(), i < count);

    // Untoggled through the same action, a box is counted off once; a mouse
    // click afterwards is counted once too.
    QAccessibleInterface *first = QAccessible::queryAccessibleInterface(counted.first());
    first->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = %1   (Max 48)").arg(count - 1));
    counted.first()->click();
    QCOMPARE(countText(&w), QStringLiteral("Events Selected = %1   (Max 48)").arg(count));
    QCOMPARE(env.prompter.beeps, beeps);

    // What OK stores is what the boxes show, never more than 48.
    w.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(env.ctx->EventSelection.mid(0, 48).count(QString()), 48 - count);
}

QTEST_MAIN(tst_EventWindow)
#include "tst_eventwindow.moc"
