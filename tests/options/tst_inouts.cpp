// SPDX-License-Identifier: GPL-3.0-or-later
// The rear connector page: four groups that are either unused or have one
// action, and output 3's two edge triggers. Checked against ReceiverConfig
// and image bytes 9, 10, 13, 14 and 15.

#include "options/PageDriver.h"
#include "options/gui/OptionCommands.h"
#include "support/TestEnv.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QTabWidget>

#include <memory>

namespace {

// Sets the flags of one image byte from a bit pattern, through the key
// table, so that a test can put any combination into the store.
void setFlagByte(ReceiverConfig &c, int byte, uint8_t bits)
{
    for (const ConfigKey &k : configKeys())
        if (k.type == ConfigKey::Type::Boolean && k.imageByte == byte)
            *k.boolIn(c) = (bits & k.imageBit) != 0;
}

struct Connector {
    const char *check;   // nullptr for output 3
    const char *array;
    int byte;
    int tab;
};

const Connector Connectors[] = {
    {"chkActive1", "optRear1", 9, 0},
    {"chkActive2", "optRear2", 10, 1},
    {"chkOut1", "optTab1", 13, 2},
    {"chkOut2", "optTab2", 14, 3},
};

void showTab(QDialog *p, int tab)
{
    auto *tabs = control<QTabWidget>(p, QStringLiteral("SSTab1"));
    QVERIFY(tabs);
    tabs->setCurrentIndex(tab);
}

} // namespace

class tst_InOuts : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    AppContext &ctx() { return *env->ctx; }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        QVERIFY(env->prompter.boxes.isEmpty());
        env.reset();
    }

    void firstRun()
    {
        loadFirstRun(ctx());
        runPage(&OptionCommands::openInOuts, ctx(), [](QDialog *p) {
            auto *tabs = control<QTabWidget>(p, QStringLiteral("SSTab1"));
            QVERIFY(tabs);
            QCOMPARE(tabs->count(), 5);
            QCOMPARE(tabs->currentIndex(), 0);
            QCOMPARE(tabs->tabText(4), QStringLiteral("Output #3"));
            for (const Connector &con : Connectors) {
                QVERIFY(!isChecked(p, QLatin1String(con.check)));
                QCOMPARE(p->findChild<QButtonGroup *>(QLatin1String(con.array))->checkedButton(), nullptr);
                for (int i = 0; i < 8; ++i)
                    QVERIFY(!isEnabled(p, QStringLiteral("%1_%2").arg(QLatin1String(con.array)).arg(i)));
            }
            QVERIFY(isChecked(p, QStringLiteral("optTab3Raise_0")));
            QVERIFY(isChecked(p, QStringLiteral("optTab3Trail_0")));
            QVERIFY(isEnabled(p, QStringLiteral("optTab3Raise_4")));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        const QByteArray block = parameterBlock(ctx());
        for (int byte : {9, 10, 13, 14})
            QCOMPARE(int(uint8_t(block.at(byte))), 0);
        QCOMPARE(int(uint8_t(block.at(15))), 0x21);
    }

    // Every button of every group, the spares included, drives its own bit
    // once the group is in use; the next opening shows it in use again.
    void buttonDrivesBit_data()
    {
        QTest::addColumn<int>("connector");
        QTest::addColumn<int>("index");
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 8; ++i)
                QTest::addRow("%s_%d", Connectors[k].array, i) << k << i;
    }

    void buttonDrivesBit()
    {
        QFETCH(int, connector);
        QFETCH(int, index);
        const Connector &con = Connectors[connector];
        const QString button = QStringLiteral("%1_%2").arg(QLatin1String(con.array)).arg(index);
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            showTab(p, con.tab);
            QVERIFY(click(p, button));              // greyed: refused
            QVERIFY(!isChecked(p, button));
            QVERIFY(click(p, QLatin1String(con.check)));
            QVERIFY(click(p, button));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        const QByteArray block = parameterBlock(ctx());
        QCOMPARE(int(uint8_t(block.at(con.byte))), 1 << index);
        QCOMPARE(int(uint8_t(block.at(15))), 0);   // output 3 stays without triggers
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            QVERIFY(isChecked(p, QLatin1String(con.check)));
            QVERIFY(isChecked(p, button));
            QVERIFY(isEnabled(p, button));
            closeBox(p);
        });
    }

    void edgeButtonDrivesBit_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("byte15");
        for (int i = 0; i < 5; ++i)
            QTest::addRow("raise %d", i) << QStringLiteral("optTab3Raise_%1").arg(i) << ((1 << i) | 0x20);
        for (int i = 0; i < 3; ++i)
            QTest::addRow("trail %d", i) << QStringLiteral("optTab3Trail_%1").arg(i) << ((0x20 << i) | 0x01);
    }

    void edgeButtonDrivesBit()
    {
        QFETCH(QString, button);
        QFETCH(int, byte15);
        loadFirstRun(ctx());
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            showTab(p, 4);
            QVERIFY(click(p, button));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), 15)), byte15);
    }

    // The store may hold several flags of one group; the first is shown and
    // OK keeps it alone. Bytes are given as bit patterns.
    void severalFlagsInStore_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("saved");
        QTest::newRow("input 1 warning+cancel") << 9 << 0x0C << "optRear1_2" << 0x04;
        QTest::newRow("input 1 all flags") << 9 << 0xFF << "optRear1_0" << 0x01;
        QTest::newRow("input 2 spares") << 10 << 0xC0 << "optRear2_6" << 0x40;
        QTest::newRow("output 1 watch+spare") << 13 << 0x84 << "optTab1_2" << 0x04;
        QTest::newRow("output 2 last spare") << 14 << 0x80 << "optTab2_7" << 0x80;
        QTest::newRow("output 3 two raises two trails") << 15 << (0x0A | 0xC0) << "optTab3Raise_1" << 0x42;
        QTest::newRow("output 3 no raise") << 15 << 0x40 << "optTab3Trail_1" << 0x40;
        QTest::newRow("output 3 nothing") << 15 << 0x00 << "" << 0x00;
    }

    void severalFlagsInStore()
    {
        QFETCH(int, byte);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(int, saved);
        setFlagByte(ctx().config, byte, uint8_t(stored));
        QCOMPARE(int(imageByte(ctx(), byte)), stored);
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            if (!shown.isEmpty())
                QVERIFY(isChecked(p, shown));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), byte)), saved);
    }

    // A group whose in-use box is cleared stores nothing, though its greyed
    // button still shows; one ticked with no button stores nothing and shows
    // the box clear next time.
    void unusedGroupsStoreNothing_data()
    {
        QTest::addColumn<int>("connector");
        for (int k = 0; k < 4; ++k)
            QTest::addRow("%s", Connectors[k].check) << k;
    }

    void unusedGroupsStoreNothing()
    {
        QFETCH(int, connector);
        const Connector &con = Connectors[connector];
        const QString button = QStringLiteral("%1_%2").arg(QLatin1String(con.array)).arg(3);
        setFlagByte(ctx().config, con.byte, 0x08);
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            showTab(p, con.tab);
            QVERIFY(click(p, QLatin1String(con.check)));
            QVERIFY(isChecked(p, button));
            QVERIFY(!isEnabled(p, button));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), con.byte)), 0);

        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            showTab(p, con.tab);
            QVERIFY(!isChecked(p, QLatin1String(con.check)));
            QVERIFY(click(p, QLatin1String(con.check)));   // in use, but no action chosen
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), con.byte)), 0);
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            QVERIFY(!isChecked(p, QLatin1String(con.check)));
            closeBox(p);
        });
    }

    // Leaving without OK keeps all 40 flags, odd combinations included.
    void leavingKeepsAllFlags_data()
    {
        QTest::addColumn<QString>("leave");
        QTest::newRow("Cancel") << "cmdCancel";
        QTest::newRow("close box") << "close";
    }

    void leavingKeepsAllFlags()
    {
        QFETCH(QString, leave);
        const uint8_t pattern[] = {0x0C, 0xC1, 0x30, 0x81, 0xF7};
        const int bytes[] = {9, 10, 13, 14, 15};
        for (int i = 0; i < 5; ++i)
            setFlagByte(ctx().config, bytes[i], pattern[i]);
        const QByteArray before = parameterBlock(ctx());
        runPage(&OptionCommands::openInOuts, ctx(), [&](QDialog *p) {
            for (const char *name : {"chkActive1", "chkOut1", "optTab2_0", "optTab3Trail_2"})
                QVERIFY(click(p, QLatin1String(name)));
            if (leave == QLatin1String("close"))
                closeBox(p);
            else
                QVERIFY(click(p, leave));
        });
        QCOMPARE(parameterBlock(ctx()), before);
    }
};

QTEST_MAIN(tst_InOuts)
#include "tst_inouts.moc"
