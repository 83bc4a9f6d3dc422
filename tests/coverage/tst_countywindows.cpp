// SPDX-License-Identifier: GPL-3.0-or-later
// The county window, the transmitter window and the entry editor, driven
// through their controls offscreen on the real state files.
#include "coverage/core/StateDatabase.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmFIPEdit.h"
#include "coverage/gui/frmFIPS.h"
#include "base/Messages.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/CountyMapView.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QtTest>
#include <QtWidgets>

namespace {

const QString WestPalmBeach = QStringLiteral(" West Palm Beach  KEC50  162.475");

template<typename T = QWidget>
T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("no control %s", qPrintable(name));
    return c;
}

void click(QWidget *w, const QString &name)
{
    child<QAbstractButton>(w, name)->click();
}

// A program as start-up leaves it: the county windows made and filled.
struct Program {
    TestEnv env;
    QWidget mainWindow;
    frmFIPS *fips = nullptr;
    frmEnterFIP *enter = nullptr;
    QListWidget *lstFips = nullptr;
    QListWidget *lstCounty = nullptr;

    explicit Program(const std::function<void(AppContext &)> &preset = {})
    {
        mainWindow.setObjectName(QStringLiteral("NX4400C"));
        if (preset)
            preset(*env.ctx);
        CoverageCommands::prepareCoverageWindows(*env.ctx, *env.ctx, &mainWindow);
        fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
        enter = mainWindow.findChild<frmEnterFIP *>(QStringLiteral("frmEnterFIP"));
        lstFips = fips->findChild<QListWidget *>(QStringLiteral("lstFips"));
        lstCounty = enter->findChild<QListWidget *>(QStringLiteral("lstCounty"));
    }

    AppContext &ctx() { return *env.ctx; }
    QString label(const QString &name) { return child<QLabel>(fips, name)->text(); }
    void fillList(int n, int checked)
    {
        QVector<CountyEntries::Item> items;
        for (int i = 0; i < n; ++i)
            items.append({QStringLiteral("0120%1  County %1").arg(i, 2, 10, QLatin1Char('0')), i < checked});
        fips->setItems(items);
    }
};

void floridaPreset(AppContext &ctx)
{
    ctx.config.StateID = 8;
    ctx.config.FrequencyListingFilter = 0;
    ctx.config.TransmitterLocation = WestPalmBeach;
    ctx.FipEntries[0] = QStringLiteral("X 012011  Broward                Florida");
    ctx.FipEntries[1] = QStringLiteral("X 012085  Martin                 Florida");
    ctx.FipEntries[3] = QStringLiteral("012099  Palm Beach             Florida");   // read back without its blanks
    ctx.FipEntries[98] = QStringLiteral("  012111  St. Lucie              Florida");
}

} // namespace

class tst_CountyWindows : public QObject
{
    Q_OBJECT

private slots:
    void startUpFill();
    void startUpWithBadStoredValues();
    void accessibleNames();
    void chooseStateAndTransmitter();
    void transmitterReplacesWholeList();
    void replacementKeepsCoveredTicks_data();
    void replacementKeepsCoveredTicks();
    void frequencyFilter();
    void okWithoutTransmitter();
    void cancelKeepsChoices();
    void typingInBoxesBeeps();
    void storeSelection_data();
    void storeSelection();
    void noCountyConfirm();
    void closeBoxStoresLikeOk();
    void editEntry();
    void addEntry();
    void editorCancel();
    void editorRefusesCommasAndBlankCodes();
    void copyEntry();
    void removeEntry();
    void noCurrentEntry();
    void blinkWhileEmpty();
    void toolbarCommandKeepsWindows();
    void fitOn1024x768_data();
    void fitOn1024x768();
};

void tst_CountyWindows::startUpFill()
{
    Program p(floridaPreset);
    QVERIFY(p.env.prompter.boxes.isEmpty());
    QCOMPARE(child<QComboBox>(p.enter, QStringLiteral("cmbState"))->count(), 54);
    QCOMPARE(child<QComboBox>(p.enter, QStringLiteral("cmbState"))->currentText(), QStringLiteral("Florida"));
    QCOMPARE(child<QComboBox>(p.enter, QStringLiteral("cmbLimit"))->count(), 8);
    QCOMPARE(child<QComboBox>(p.enter, QStringLiteral("cmbLimit"))->currentText(), QStringLiteral("All"));
    QCOMPARE(p.label(QStringLiteral("lblState")), QStringLiteral("Florida"));
    QCOMPARE(p.label(QStringLiteral("lblTransmitter")), WestPalmBeach);
    // The stored transmitter is the highlighted one.
    QVERIFY(p.lstCounty->count() > 10);
    QCOMPARE(p.lstCounty->currentItem()->text(), WestPalmBeach);
    QVERIFY(p.lstCounty->currentItem()->isSelected());

    const QVector<CountyEntries::Item> items = p.fips->items();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0), (CountyEntries::Item{QStringLiteral("012011  Broward                Florida"), true}));
    QCOMPARE(items.at(1), (CountyEntries::Item{QStringLiteral("012085  Martin                 Florida"), true}));
    QCOMPARE(items.at(2), (CountyEntries::Item{QStringLiteral("012099  Palm Beach             Florida"), false}));
    QCOMPARE(items.at(3), (CountyEntries::Item{QStringLiteral("012111  St. Lucie              Florida"), false}));

    // Shown as the user sees them.
    p.fips->show();
    grab(p.fips, QStringLiteral("frmFIPS"));
    p.enter->show();
    grab(p.enter, QStringLiteral("frmEnterFIP"));
    QCOMPARE(p.enter->focusWidget()->objectName(), QStringLiteral("cmdCancel"));
    p.enter->hide();
    QCOMPARE(p.fips->focusWidget()->objectName(), QStringLiteral("cmdOK"));
}

void tst_CountyWindows::startUpWithBadStoredValues()
{
    Program p([](AppContext &ctx) {
        ctx.config.StateID = 60;
        ctx.config.FrequencyListingFilter = 12;
    });
    // The message says which state was asked for and where it was looked for.
    QCOMPARE(p.env.prompter.texts(),
             QStringList{QStringLiteral("Error, State File  of StateID 60 (there is none; states are 0 to 53) in %1  is missing")
                             .arg(QDir::toNativeSeparators(p.env.ctx->statesFolder))});
    QCOMPARE(child<QComboBox>(p.enter, QStringLiteral("cmbState"))->currentIndex(), -1);
    QCOMPARE(child<QComboBox>(p.enter, QStringLiteral("cmbLimit"))->currentIndex(), -1);
    QCOMPARE(p.lstCounty->count(), 0);
    QCOMPARE(p.lstFips->count(), 0);
}

void tst_CountyWindows::accessibleNames()
{
    Program p(floridaPreset);
    frmFIPEdit editor(p.ctx(), {frmFIPEdit::Add, 0, QString()});
    for (QWidget *w : {static_cast<QWidget *>(p.fips), static_cast<QWidget *>(p.enter), static_cast<QWidget *>(&editor)}) {
        for (QWidget *c : w->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractButton *>(c) || qobject_cast<QComboBox *>(c) || qobject_cast<QListWidget *>(c)
                || qobject_cast<QLineEdit *>(c) || qobject_cast<QLabel *>(c))
            {
                // Through the accessibility interface: a label is named by
                // the text it shows (a blank one, not yet filled, says what
                // it is by its description), other controls by their
                // accessible name.
                QAccessibleInterface *ai = QAccessible::queryAccessibleInterface(c);
                const QByteArray where = (w->objectName() + QLatin1Char('.') + c->objectName()).toUtf8();
                QVERIFY2(ai, where.constData());
                auto *label = qobject_cast<QLabel *>(c);
                if (label && !label->pixmap().isNull())
                    QVERIFY2(!ai->text(QAccessible::Name).trimmed().isEmpty(), where.constData());
                else if (label && label->text().isEmpty())
                    QVERIFY2(!ai->text(QAccessible::Description).isEmpty(), where.constData());
                else if (label)
                    QCOMPARE(ai->text(QAccessible::Name), label->text());
                else
                    QVERIFY2(!ai->text(QAccessible::Name).trimmed().isEmpty(), where.constData());
            }
        }
    }
}

void tst_CountyWindows::chooseStateAndTransmitter()
{
    Program p(floridaPreset);
    const QStringList storedBefore = p.ctx().FipEntries;
    auto *cmbState = child<QComboBox>(p.enter, QStringLiteral("cmbState"));
    cmbState->setCurrentIndex(9);
    emit cmbState->activated(9);   // the user picks Georgia
    QCOMPARE(p.ctx().config.StateID, int16_t(9));
    QVERIFY(p.lstCounty->count() > 5);
    // Choosing a state leaves the stored counties and the county list alone.
    QCOMPARE(p.ctx().FipEntries, storedBefore);
    QCOMPARE(p.lstFips->count(), 4);

    // A Georgia transmitter that Florida hears too.
    QStringList floridas;
    QVERIFY(StateDatabase::LoadStateFile(p.ctx().prompter(), p.ctx().statesFolder, p.ctx().config.FrequencyListingFilter, 8, &floridas));
    int row = -1;
    for (int i = 0; i < p.lstCounty->count() && row < 0; ++i) {
        if (floridas.contains(p.lstCounty->item(i)->text()))
            row = i;
    }
    QVERIFY(row >= 0);
    const QString field = p.lstCounty->item(row)->text();
    p.enter->show();
    p.lstCounty->setCurrentRow(row);
    click(p.enter, QStringLiteral("cmdOk"));
    QVERIFY(!p.enter->isVisible());
    QCOMPARE(p.ctx().config.TransmitterLocation, field);
    QCOMPARE(p.label(QStringLiteral("lblState")), QStringLiteral("Georgia"));
    QCOMPARE(p.label(QStringLiteral("lblTransmitter")), field);
    for (const QString &line : p.ctx().FipEntries)
        QVERIFY(line.isEmpty());
    const QVector<CountyEntries::Item> items = p.fips->items();
    QVERIFY(items.size() > 1);
    QSet<QString> states;
    for (const CountyEntries::Item &item : items) {
        QVERIFY(!item.checked);
        states.insert(item.text.mid(31));
    }
    QVERIFY(states.contains(QStringLiteral("Georgia")));
    QVERIFY(states.contains(QStringLiteral("Florida")));
    QVERIFY(p.env.prompter.boxes.isEmpty());
}

void tst_CountyWindows::transmitterReplacesWholeList()
{
    Program p(floridaPreset);
    p.fips->appendEntry(QStringLiteral("999999  Added By Hand          Nowhere"), true);
    p.lstCounty->setCurrentRow(0);
    const QString field = p.lstCounty->item(0)->text();
    // A double click on a transmitter confirms it as OK does.
    emit p.lstCounty->itemDoubleClicked(p.lstCounty->item(0));
    QStringList expected;
    QVERIFY(StateDatabase::FindTransmitterCounties(p.ctx().prompter(), p.ctx().statesFolder, field, &expected));
    QStringList got;
    for (const CountyEntries::Item &item : p.fips->items()) {
        QVERIFY(!item.checked);
        got << item.text;
    }
    QCOMPARE(got, expected);
}

void tst_CountyWindows::replacementKeepsCoveredTicks_data()
{
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("said");

    // Broward and Martin are ticked, Palm Beach and St. Lucie listed.
    QTest::newRow("covers one of two") << "KHB34" << QStringList{"012011"}
        << "KHB34 Miami covers 1 of your 2 counties ticked; it stays ticked, 1 county it does not cover was dropped.";
    QTest::newRow("covers the other") << "WWF69" << QStringList{"012085"}
        << "WWF69 Fort Pierce covers 1 of your 2 counties ticked; it stays ticked, 1 county it does not cover was dropped.";
    QTest::newRow("covers both") << "KEC50" << QStringList{"012011", "012085"}
        << "KEC50 West Palm Beach covers 2 of your 2 counties ticked; they stay ticked.";
    QTest::newRow("covers neither, only an unticked one") << "WXM58" << QStringList{}
        << "WXM58 Belle Glade covers 0 of your 2 counties ticked; none stays ticked, 2 counties it does not cover were dropped.";
}

// Choosing a replacement transmitter keeps the ticks on the counties it
// covers (a user replacing a gone transmitter must not lose the selection)
// and says how many were dropped.
void tst_CountyWindows::replacementKeepsCoveredTicks()
{
    QFETCH(QString, callsign);
    QFETCH(QStringList, ticked);
    QFETCH(QString, said);
    Program p(floridaPreset);
    const auto found = p.lstCounty->findItems(callsign, Qt::MatchContains);
    QCOMPARE(found.size(), 1);
    p.lstCounty->setCurrentItem(found.first());
    click(p.enter, QStringLiteral("cmdOk"));
    QCOMPARE(p.ctx().config.TransmitterLocation, found.first()->text());
    QStringList got;
    for (const CountyEntries::Item &item : p.fips->items()) {
        if (item.checked)
            got << item.text.left(6);
    }
    QCOMPARE(got, ticked);
    QCOMPARE(p.env.view.panels.value(QStringLiteral("Left")), said);
    // The county window's OK stores exactly those.
    click(p.fips, QStringLiteral("cmdOK"));
    QStringList stored;
    for (const QString &line : p.ctx().FipEntries) {
        if (line.startsWith(QLatin1Char('X')))
            stored << line.mid(2, 6);
    }
    QCOMPARE(stored, ticked);
}

void tst_CountyWindows::frequencyFilter()
{
    Program p(floridaPreset);
    auto *cmbLimit = child<QComboBox>(p.enter, QStringLiteral("cmbLimit"));
    cmbLimit->setCurrentIndex(7);
    emit cmbLimit->activated(7);
    QCOMPARE(p.ctx().config.FrequencyListingFilter, int16_t(7));
    QVERIFY(p.lstCounty->count() > 0);
    for (int i = 0; i < p.lstCounty->count(); ++i)
        QVERIFY(p.lstCounty->item(i)->text().endsWith(QLatin1String("162.550")));
    // West Palm Beach (162.475) is filtered out, so nothing is highlighted.
    QVERIFY(p.lstCounty->selectedItems().isEmpty());
    cmbLimit->setCurrentIndex(0);
    emit cmbLimit->activated(0);
    QCOMPARE(p.lstCounty->currentItem()->text(), WestPalmBeach);
}

void tst_CountyWindows::okWithoutTransmitter()
{
    Program p(floridaPreset);
    p.enter->show();
    p.lstCounty->clearSelection();
    click(p.enter, QStringLiteral("cmdOk"));
    QVERIFY(p.enter->isVisible());
    QCOMPARE(p.env.prompter.beeps, 1);
    QCOMPARE(p.env.prompter.texts(), QStringList{Messages::errorText(3)});
    QCOMPARE(p.lstFips->count(), 4);
}

void tst_CountyWindows::cancelKeepsChoices()
{
    Program p(floridaPreset);
    p.enter->show();
    auto *cmbState = child<QComboBox>(p.enter, QStringLiteral("cmbState"));
    cmbState->setCurrentIndex(0);
    emit cmbState->activated(0);
    click(p.enter, QStringLiteral("cmdCancel"));
    QVERIFY(!p.enter->isVisible());
    QCOMPARE(p.ctx().config.StateID, int16_t(0));     // the choice stays made
    QCOMPARE(p.ctx().config.TransmitterLocation, WestPalmBeach);
    QCOMPARE(p.lstFips->count(), 4);
    QCOMPARE(p.ctx().FipEntries.at(0), QStringLiteral("X 012011  Broward                Florida"));
}

void tst_CountyWindows::typingInBoxesBeeps()
{
    Program p(floridaPreset);
    p.enter->show();
    auto *cmbState = child<QComboBox>(p.enter, QStringLiteral("cmbState"));
    QTest::keyClick(cmbState, Qt::Key_T);
    QTest::keyClick(child<QComboBox>(p.enter, QStringLiteral("cmbLimit")), Qt::Key_1);
    QCOMPARE(p.env.prompter.beeps, 2);
    QCOMPARE(cmbState->currentText(), QStringLiteral("Florida"));
    QCOMPARE(p.ctx().config.StateID, int16_t(8));
}

void tst_CountyWindows::storeSelection_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("checked");
    QTest::newRow("24 of 30 stored") << 30 << 24;
    QTest::newRow("25 of 30 refused") << 30 << 25;
    QTest::newRow("one") << 1 << 1;
}

void tst_CountyWindows::storeSelection()
{
    QFETCH(int, entries);
    QFETCH(int, checked);
    Program p(floridaPreset);
    const QStringList before = p.ctx().FipEntries;
    p.fillList(entries, checked);
    p.fips->show();
    click(p.fips, QStringLiteral("cmdOK"));
    if (checked > 24) {
        QVERIFY(p.fips->isVisible());
        QCOMPARE(p.env.prompter.beeps, 1);
        QCOMPARE(p.env.prompter.texts(), QStringList{QStringLiteral(" Error, More than 24 FIP codes selected. ")});
        QCOMPARE(p.ctx().FipEntries, before);   // nothing lost by the refusal
        return;
    }
    QVERIFY(!p.fips->isVisible());
    QVERIFY(p.env.prompter.boxes.isEmpty());
    QCOMPARE(p.ctx().FipEntries.size(), 99);
    for (int i = 0; i < 99; ++i) {
        const QString &line = p.ctx().FipEntries.at(i);
        if (i >= entries)
            QVERIFY(line.isEmpty());
        else
            QCOMPARE(line.left(2), i < checked ? QStringLiteral("X ") : QStringLiteral("  "));
    }
}

void tst_CountyWindows::noCountyConfirm()
{
    Program p(floridaPreset);
    p.fillList(3, 0);
    p.fips->show();
    p.env.prompter.answers << Prompter::Button::No;
    click(p.fips, QStringLiteral("cmdOK"));
    QVERIFY(p.fips->isVisible());
    QCOMPARE(p.env.prompter.boxes.size(), 1);
    QCOMPARE(p.env.prompter.boxes.first().text,
             QStringLiteral(" Error, No FIP Counties have been Selected\r\n Do you still want to Exit?"));
    QCOMPARE(p.env.prompter.boxes.first().buttons, Prompter::Buttons::YesNo);
    QCOMPARE(p.ctx().FipEntries.at(0), QStringLiteral("  012000  County 00"));   // written anyway
    p.env.prompter.answers << Prompter::Button::Yes;
    click(p.fips, QStringLiteral("cmdOK"));
    QVERIFY(!p.fips->isVisible());
}

void tst_CountyWindows::closeBoxStoresLikeOk()
{
    Program p(floridaPreset);
    p.fillList(30, 25);
    p.fips->show();
    QVERIFY(!p.fips->close());   // refused: 25 selected
    QVERIFY(p.fips->isVisible());
    p.lstFips->item(0)->setCheckState(Qt::Unchecked);
    QVERIFY(p.fips->close());
    QCOMPARE(p.ctx().FipEntries.at(0), QStringLiteral("  012000  County 00"));
    QCOMPARE(p.ctx().FipEntries.at(1), QStringLiteral("X 012001  County 01"));
    // Hidden, not destroyed: the list is still there.
    QCOMPARE(p.mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS")), p.fips);
    QCOMPARE(p.lstFips->count(), 30);
}

void tst_CountyWindows::editEntry()
{
    Program p(floridaPreset);
    p.lstFips->setCurrentRow(1);
    whenModal<frmFIPEdit>([](frmFIPEdit *e) {
        QCOMPARE(child<QGroupBox>(e, QStringLiteral("Frame1"))->title(), QStringLiteral(" Edit FIP code entry "));
        QCOMPARE(e->windowTitle(), QStringLiteral(" NX-4400C FIPS Editor"));
        QCOMPARE(child<QLineEdit>(e, QStringLiteral("txtFIP"))->text(), QStringLiteral("012085"));
        QCOMPARE(child<QLineEdit>(e, QStringLiteral("txtCounty"))->text(), QStringLiteral("Martin"));
        QCOMPARE(child<QLineEdit>(e, QStringLiteral("txtState"))->text(), QStringLiteral("Florida"));
        QCOMPARE(child<QLabel>(e, QStringLiteral("lblInfo_0"))->text(), QStringLiteral("1.  Click within the box you want to edit."));
        QCOMPARE(child<QLabel>(e, QStringLiteral("lblInfo_3"))->text(), QString());
        grab(e, QStringLiteral("frmFIPEdit_edit"));
        child<QLineEdit>(e, QStringLiteral("txtFIP"))->setText(QStringLiteral("012099"));
        child<QLineEdit>(e, QStringLiteral("txtCounty"))->setText(QStringLiteral("Palm Beach"));
        click(e, QStringLiteral("cmdOK"));
    });
    click(p.fips, QStringLiteral("cmdEdit"));
    QCOMPARE(p.lstFips->item(1)->text(), QStringLiteral("012099  Palm Beach             Florida"));
    QCOMPARE(p.lstFips->item(1)->checkState(), Qt::Checked);   // the mark stays
    QCOMPARE(p.lstFips->count(), 4);
}

void tst_CountyWindows::addEntry()
{
    Program p(floridaPreset);
    whenModal<frmFIPEdit>([&p](frmFIPEdit *e) {
        QCOMPARE(child<QGroupBox>(e, QStringLiteral("Frame1"))->title(), QStringLiteral(" Add new FIP code entry "));
        QCOMPARE(child<QLineEdit>(e, QStringLiteral("txtFIP"))->text(), QString());
        QCOMPARE(child<QLabel>(e, QStringLiteral("lblInfo_1"))->text(), QStringLiteral("2.  Enter County Name (18 caracters max)."));
        QCOMPARE(child<QLabel>(e, QStringLiteral("lblInfo_3"))->text(), QStringLiteral("4.  Click OK to save your data."));
        auto *fip = child<QLineEdit>(e, QStringLiteral("txtFIP"));
        QTest::keyClicks(fip, QStringLiteral("12085"));
        QTest::keyClicks(child<QLineEdit>(e, QStringLiteral("txtCounty")), QStringLiteral("A County Of 22 Letters!"));
        QTest::keyClicks(child<QLineEdit>(e, QStringLiteral("txtState")), QStringLiteral("District Of Columbia"));
        grab(e, QStringLiteral("frmFIPEdit_add"));
        click(e, QStringLiteral("cmdOK"));   // five characters: refused
        QVERIFY(e->isVisible());
        QCOMPARE(p.env.prompter.boxes.size(), 1);
        QCOMPARE(p.env.prompter.boxes.first().title, QStringLiteral(" NX-4400 Digital Weather Receiver"));
        QCOMPARE(p.env.prompter.boxes.first().text,
                 QStringLiteral(" Error.. FIP Code Entry Incorrect Digit Length. \r\n Valid FIP Codes Are Six (6) Digits. \r\n"));
        QCOMPARE(p.env.prompter.boxes.first().icon, Prompter::Icon::Exclamation);
        QCOMPARE(fip->text(), QStringLiteral("12085"));   // boxes unchanged
        QTest::keyClicks(fip, QStringLiteral("x"));       // six characters, not all digits: taken
        click(e, QStringLiteral("cmdOK"));
    });
    click(p.fips, QStringLiteral("cmdAdd"));
    QCOMPARE(p.lstFips->count(), 5);
    // 22 characters of county name (the box holds no more), one blank, the state.
    QCOMPARE(p.lstFips->item(4)->text(), QStringLiteral("12085x  A County Of 22 Letters District Of Columbia"));
    QCOMPARE(p.lstFips->item(4)->checkState(), Qt::Unchecked);
}

void tst_CountyWindows::editorCancel()
{
    Program p(floridaPreset);
    p.lstFips->setCurrentRow(0);
    whenModal<frmFIPEdit>([](frmFIPEdit *e) {
        child<QLineEdit>(e, QStringLiteral("txtFIP"))->setText(QStringLiteral("000000"));
        click(e, QStringLiteral("cmdCancel"));
    });
    click(p.fips, QStringLiteral("cmdEdit"));
    QCOMPARE(p.lstFips->item(0)->text(), QStringLiteral("012011  Broward                Florida"));
}

void tst_CountyWindows::editorRefusesCommasAndBlankCodes()
{
    TestEnv env;
    frmFIPEdit e(*env.ctx, {frmFIPEdit::Add, 0, QString()});
    e.show();
    auto *county = child<QLineEdit>(&e, QStringLiteral("txtCounty"));
    QTest::keyClicks(county, QStringLiteral("Miami, \"Dade\""));
    QCOMPARE(county->text(), QStringLiteral("Miami Dade"));
    auto *fip = child<QLineEdit>(&e, QStringLiteral("txtFIP"));
    QTest::keyClicks(fip, QStringLiteral("12 0,85"));
    QCOMPARE(fip->text(), QStringLiteral("12085"));
}

void tst_CountyWindows::copyEntry()
{
    Program p(floridaPreset);
    p.lstFips->setCurrentRow(0);
    click(p.fips, QStringLiteral("cmdCopy"));
    QCOMPARE(p.lstFips->count(), 5);
    QCOMPARE(p.lstFips->item(4)->text(), p.lstFips->item(0)->text());
    QCOMPARE(p.lstFips->item(4)->checkState(), Qt::Unchecked);
    p.lstFips->item(4)->setCheckState(Qt::Checked);
    click(p.fips, QStringLiteral("cmdOK"));
    QCOMPARE(p.ctx().FipEntries.count(QStringLiteral("X 012011  Broward                Florida")), 2);
}

void tst_CountyWindows::removeEntry()
{
    Program p(floridaPreset);
    p.lstFips->setCurrentRow(0);
    p.env.prompter.answers << Prompter::Button::No << Prompter::Button::Yes;
    click(p.fips, QStringLiteral("cmdRemove"));
    QCOMPARE(p.lstFips->count(), 4);
    const ScriptedPrompter::Box box = p.env.prompter.boxes.first();
    QCOMPARE(box.title, QStringLiteral("NX-4400 FIP Edit"));
    QCOMPARE(box.text, QStringLiteral("Are you sure you want to remove FIP county:\r\n012011  Broward"));
    QCOMPARE(box.icon, Prompter::Icon::Question);
    QCOMPARE(box.buttons, Prompter::Buttons::YesNo);
    click(p.fips, QStringLiteral("cmdRemove"));
    QCOMPARE(p.lstFips->count(), 3);
    QCOMPARE(p.lstFips->item(0)->text(), QStringLiteral("012085  Martin                 Florida"));
}

void tst_CountyWindows::noCurrentEntry()
{
    Program p(floridaPreset);
    p.lstFips->setCurrentRow(-1);
    QVERIFY(!p.lstFips->currentItem());
    click(p.fips, QStringLiteral("cmdEdit"));   // would block on an editor if it opened one
    click(p.fips, QStringLiteral("cmdCopy"));
    click(p.fips, QStringLiteral("cmdRemove"));
    QCOMPARE(p.env.prompter.beeps, 3);
    QVERIFY(p.env.prompter.boxes.isEmpty());
    QCOMPARE(p.lstFips->count(), 4);
}

void tst_CountyWindows::blinkWhileEmpty()
{
    Program p([](AppContext &ctx) { ctx.timings.countyBlinkMs = 30; });
    auto *shape = child<QFrame>(p.fips, QStringLiteral("Shape1"));
    auto *timer = p.fips->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(!timer->isActive());   // no ticks while the window is hidden
    p.fips->show();
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 30);
    grab(p.fips, QStringLiteral("frmFIPS_empty"));
    QVERIFY(shape->isVisible());
    p.fips->Timer1_Timer();
    QVERIFY(!shape->isVisible());
    p.fips->Timer1_Timer();
    QVERIFY(shape->isVisible());
    // The real timer blinks too.
    QTRY_VERIFY_WITH_TIMEOUT(!shape->isVisible(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(shape->isVisible(), 1000);
    p.fips->appendEntry(QStringLiteral("012011  Broward                Florida"));
    QTRY_VERIFY_WITH_TIMEOUT(!shape->isVisible(), 1000);
    QTest::qWait(100);
    QVERIFY(!shape->isVisible());
    QCOMPARE(shape->geometry(), shape->parentWidget()->rect());   // drawn around the button
    p.fips->hide();
    QVERIFY(!timer->isActive());
}

void tst_CountyWindows::toolbarCommandKeepsWindows()
{
    TestEnv env;
    floridaPreset(*env.ctx);
    QWidget mainWindow;
    // The county window made on first use, filled as at start-up.
    whenModal<frmFIPS>([](frmFIPS *w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("NX-4400C FIPS Codes"));
        whenModal<frmEnterFIP>([](frmEnterFIP *e) {
            QCOMPARE(e->windowTitle(), QStringLiteral("NX-4400C State / Transmitter Entry"));
            click(e, QStringLiteral("cmdOk"));   // confirms the stored transmitter
        });
        click(w, QStringLiteral("cmdEnterCodes"));
        auto *list = child<QListWidget>(w, QStringLiteral("lstFips"));
        QVERIFY(list->count() > 3);
        list->item(0)->setCheckState(Qt::Checked);
        click(w, QStringLiteral("cmdOK"));
    });
    CoverageCommands::openFips(*env.ctx, *env.ctx, &mainWindow);
    QVERIFY(env.prompter.boxes.isEmpty());
    QVERIFY(env.ctx->FipEntries.at(0).startsWith(QLatin1String("X ")));
    QCOMPARE(env.ctx->config.TransmitterLocation, WestPalmBeach);
    auto *fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
    QVERIFY(fips);
    const int count = fips->entryCount();
    // Opened again: the same window with the same list.
    whenModal<frmFIPS>([fips](frmFIPS *w) {
        QCOMPARE(w, fips);
        click(w, QStringLiteral("cmdOK"));
    });
    CoverageCommands::openFips(*env.ctx, *env.ctx, &mainWindow);
    QCOMPARE(fips->entryCount(), count);
    QCOMPARE(mainWindow.findChildren<frmFIPS *>().size(), 1);
    QCOMPARE(mainWindow.findChildren<frmEnterFIP *>().size(), 1);
}

void tst_CountyWindows::fitOn1024x768_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("county window") << "frmFIPS";
    QTest::newRow("transmitter window") << "frmEnterFIP";
}

// On a 1024 x 768 screen (less a title bar and a panel) both windows fit
// whole; the map is what gives up room, the list keeps its width; the
// transmitter's information, three bold lines for one out of service, stays
// in its own box under the list.
void tst_CountyWindows::fitOn1024x768()
{
    QFETCH(QString, window);
#ifdef Q_OS_WIN
    // Under Wine, Windows' interface font is not there and a wider stand-in
    // sets the widths; on Windows itself the font is there and this holds.
    if (!QFontInfo(QApplication::font()).exactMatch())
        QSKIP("Windows' own interface font is not installed here");
#endif
    Program p([](AppContext &ctx) {
        ctx.config.StateID = 9;   // Georgia
        ctx.config.TransmitterLocation = QStringLiteral(" Eatonton OOS     KXI89  162.525");
    });
    QDialog *w = window == QLatin1String("frmFIPS") ? static_cast<QDialog *>(p.fips) : static_cast<QDialog *>(p.enter);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QSize screen(1024, 768 - 48);
    const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
    QVERIFY2(least.width() <= screen.width() && least.height() <= screen.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    auto *list = window == QLatin1String("frmFIPS") ? p.lstFips : p.lstCounty;
    auto *map = w->findChild<CountyMapView *>();
    QVERIFY(map);
    w->resize(1600, 1000);
    QCoreApplication::processEvents();
    const int listWide = list->width(), mapWide = map->width();
    w->resize(screen);
    QCoreApplication::processEvents();
    QCOMPARE(list->width(), listWide);
    QVERIFY(map->width() < mapWide);
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (c->isVisibleTo(w) && c->parentWidget() == w)
            QVERIFY2(w->rect().contains(c->geometry()), qPrintable(c->objectName()));
    }
    if (window == QLatin1String("frmEnterFIP")) {
        p.enter->highlightTransmitter(QStringLiteral(" Eatonton OOS     KXI89  162.525"));
        auto *info = child<QLabel>(w, QStringLiteral("lblTransmitterInfo"));
        QVERIFY(info->text().startsWith(QStringLiteral("OUT OF SERVICE")));
        QCoreApplication::processEvents();
        const QRect infoBox(info->mapTo(w, QPoint(0, 0)), info->size());
        const QRect listBox(list->mapTo(w, QPoint(0, 0)), list->size());
        QVERIFY(!infoBox.intersects(listBox));
        // The wrapped text fits its box with a line to spare.
        const int room = info->contentsRect().width() - 2 * info->margin();
        const int needed = info->fontMetrics().boundingRect(QRect(0, 0, room, 10000), Qt::TextWordWrap, info->text()).height();
        QVERIFY2(needed + info->fontMetrics().lineSpacing() <= info->contentsRect().height() - 2 * info->margin(),
                 qPrintable(QStringLiteral("%1 of %2").arg(needed).arg(info->contentsRect().height())));
    }
    grab(w, QStringLiteral("countywindows-1024-") + window);
}

QTEST_MAIN(tst_CountyWindows)
#include "tst_countywindows.moc"
