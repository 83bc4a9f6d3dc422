// SPDX-License-Identifier: GPL-3.0-or-later
// A setting changed without its window (nx4400c-cli config set) takes only
// what the window would have written, as the window writes it, and a
// refused value leaves the whole configuration as it was.
#include "config/core/ConfigRules.h"
#include "config/core/SettingsStore.h"

#include <QtTest>

class TestConfigRules : public QObject
{
    Q_OBJECT

private slots:
    void assign_data();
    void assign();
    void keyNames();
};

namespace {

// Every key at its default, as after a first start.
ReceiverConfig defaults()
{
    ReceiverConfig c;
    for (const ConfigKey &k : configKeys())
        setConfigValueFromText(k, c, configDefaultText(k));
    return c;
}

QStringList allValues(const ReceiverConfig &c)
{
    QStringList v;
    for (const ConfigKey &k : configKeys())
        v << ConfigRules::fullName(k) + QLatin1Char('=') + configValueText(k, c);
    return v;
}

} // namespace

void TestConfigRules::assign_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored");     // the key's text afterwards
    QTest::addColumn<QStringList>("cleared"); // group flags the assignment turned off
    QTest::addColumn<QString>("refusal");    // part of the refusal

    // The Setup window's time zones run from -4 to -11, both ends included.
    QTest::newRow("time zone -4") << "TimeZoneOffset" << "-4" << true << "-4" << QStringList() << "";
    QTest::newRow("time zone -11") << "TimeZoneOffset" << "-11" << true << "-11" << QStringList() << "";
    QTest::newRow("time zone -3") << "TimeZoneOffset" << "-3" << false << "" << QStringList() << "-4 to -11";
    QTest::newRow("time zone -12") << "TimeZoneOffset" << "-12" << false << "" << QStringList() << "-4 to -11";
    QTest::newRow("time zone -7.4 is no whole hour") << "TimeZoneOffset" << "-7.4" << false << "" << QStringList() << "-4 to -11";
    QTest::newRow("port 4") << "SerialPort" << "4" << true << "4" << QStringList() << "";
    QTest::newRow("port 5") << "SerialPort" << "5" << false << "" << QStringList() << "1 to 4";
    // Timer codes: 1..6 for the minute timers, 0..4 for the delays.
    QTest::newRow("speaker timer 0") << "SpeakerTimeoutTimer" << "0" << false << "" << QStringList() << "1 to 6";
    QTest::newRow("relay delay 5") << "RelayDelayTimer" << "5" << false << "" << QStringList() << "0 to 4";
    QTest::newRow("state 54") << "StateID" << "54" << false << "" << QStringList() << "0 to 53";
    QTest::newRow("frequency filter 8") << "FrequencyListingFilter" << "8" << false << "" << QStringList() << "0 to 7";
    // Flags: words or 1/0; anything else is a slip.
    QTest::newRow("flag 1") << "NV8008/AcceptAllFips" << "1" << true << "True" << QStringList() << "";
    QTest::newRow("flag 2") << "NV8008/AcceptAllFips" << "2" << false << "" << QStringList() << "True or False";
    // Option groups: True clears the group's other flags, as the buttons do.
    QTest::newRow("voice group") << "VocWarnings" << "True" << true << "True"
                                 << QStringList{QStringLiteral("NV800B/VocAllEvents")} << "";
    QTest::newRow("trailing edge group spare") << "NV800F/Spare800F_1" << "True" << true << "True"
                                               << QStringList{QStringLiteral("NV800F/LowTrigEndPacket")} << "";
    QTest::newRow("group flag off clears nothing") << "VocAllEvents" << "False" << true << "False" << QStringList() << "";
    // Call letters: the identification page's filter.
    QTest::newRow("call letters upper-cased") << "UserStationID" << "wxk12" << true << "WXK12" << QStringList() << "";
    QTest::newRow("call letters 16") << "UserStationID" << "ABCDEFGHIJKLMNOP" << false << "" << QStringList() << "up to 15";
    QTest::newRow("text with a line break") << "TransmitterLocation" << "a\nb" << false << "" << QStringList() << "line break";
    // Set by the program, or by no window at all.
    QTest::newRow("ROM version") << "ReceiverVersion" << "9.99" << false << "" << QStringList() << "read only";
    QTest::newRow("spare without a button") << "Spare8007_1" << "True" << false << "" << QStringList() << "read only";
}

void TestConfigRules::assign()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);
    QFETCH(QStringList, cleared);
    QFETCH(QString, refusal);

    const ConfigKey *k = ConfigRules::findKey(key);
    QVERIFY(k);
    ReceiverConfig c = defaults();
    const QStringList before = allValues(c);
    QString why;
    QStringList changed;
    QCOMPARE(ConfigRules::assign(*k, c, value, &why, &changed), accepted);
    if (!accepted) {
        QVERIFY2(why.contains(refusal), qPrintable(why));
        QCOMPARE(allValues(c), before);   // nothing changed
        return;
    }
    QCOMPARE(configValueText(*k, c), stored);
    QCOMPARE(changed, cleared);
    // Exactly the key and the cleared flags differ from before.
    QStringList expected = before;
    for (QString &line : expected) {
        if (line.startsWith(ConfigRules::fullName(*k) + QLatin1Char('=')))
            line = ConfigRules::fullName(*k) + QLatin1Char('=') + stored;
        for (const QString &off : cleared)
            if (line.startsWith(off + QLatin1Char('=')))
                line = off + QStringLiteral("=False");
    }
    QCOMPARE(allValues(c), expected);
}

void TestConfigRules::keyNames()
{
    // A key two sections share must be named with its section.
    QString why;
    QVERIFY(!ConfigRules::findKey(QStringLiteral("AcceptAllAlerts"), &why));
    QVERIFY2(why.contains(QLatin1String("NV8009/AcceptAllAlerts")) && why.contains(QLatin1String("NV800A/AcceptAllAlerts")),
             qPrintable(why));
    QCOMPARE(ConfigRules::fullName(*ConfigRules::findKey(QStringLiteral("nv800a.acceptallalerts"))),
             QStringLiteral("NV800A/AcceptAllAlerts"));
    QVERIFY(!ConfigRules::findKey(QStringLiteral("Ports/Port1")));
}

QTEST_GUILESS_MAIN(TestConfigRules)
#include "tst_configrules.moc"
