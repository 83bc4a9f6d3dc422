// SPDX-License-Identifier: GPL-3.0-or-later
// A setting changed without its window (nx4400c-cli config set) takes only
// what the window would have written, as the window writes it, and a
// refused value leaves the whole configuration as it was.
#include "config/core/ConfigRules.h"
#include "config/core/SettingsStore.h"

#include <QtTest>

// Windows knows its zones from its own registry, mapped to IANA names by
// Qt; the tz database's old links (US/Pacific) are not among them there,
// and such a name is refused with the reason like any unknown one.
bool linkUnknownHere(const QString &zone)
{
#ifdef Q_OS_WIN
    return zone.startsWith(QLatin1String("US/"));
#else
    Q_UNUSED(zone);
    return false;
#endif
}

class TestConfigRules : public QObject
{
    Q_OBJECT

private slots:
    void assign_data();
    void assign();
    void timeZoneName_data();
    void timeZoneName();
    void offsetAgainstName_data();
    void offsetAgainstName();
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

// A zone is taken only when the receiver's TimeZoneOffset can hold its
// standard time, which it then takes; a refusal names the allowed offsets.
void TestConfigRules::timeZoneName_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("offset");            // TimeZoneOffset afterwards (the default is -5)
    QTest::addColumn<QStringList>("changed");
    QTest::addColumn<QString>("refusal");

    const QStringList offset{QStringLiteral("EDITOR/TimeZoneOffset")};
    QTest::newRow("Denver") << "America/Denver" << true << -7 << offset << "";
    QTest::newRow("New York keeps -5") << "America/New_York" << true << -5 << QStringList() << "";
    QTest::newRow("Honolulu") << "Pacific/Honolulu" << true << -10 << offset << "";
    QTest::newRow("Puerto Rico") << "America/Puerto_Rico" << true << -4 << offset << "";
    QTest::newRow("blanks around") << "  America/Chicago " << true << -6 << offset << "";
    QTest::newRow("empty: the computer's zone") << "" << true << -5 << QStringList() << "";
    QTest::newRow("Berlin") << "Europe/Berlin" << false << -5 << QStringList() << "UTC+01:00";
    QTest::newRow("St. John's half hour") << "America/St_Johns" << false << -5 << QStringList() << "UTC-03:30";
    QTest::newRow("Berlin names the allowed ones") << "Europe/Berlin" << false << -5 << QStringList() << "-4 to -11 hours from UTC";
    QTest::newRow("no such zone") << "Nowhere/Atlantis" << false << -5 << QStringList() << "not a time zone";
    QTest::newRow("line break") << "America/Denver\nx" << false << -5 << QStringList() << "line break";
    // The tz database's links load although Qt does not list them.
    QTest::newRow("link US/Pacific") << "US/Pacific" << true << -8 << offset << "";
    QTest::newRow("rule zone EST5EDT") << "EST5EDT" << true << -5 << QStringList() << "";
    QTest::newRow("fixed Etc/GMT+7") << "Etc/GMT+7" << true << -7 << offset << "";
    QTest::newRow("Etc/GMT-7 is east") << "Etc/GMT-7" << false << -5 << QStringList() << "UTC+07:00";
    // A name is a file below the zone folder: nothing outside it is read.
    QTest::newRow("climbs out") << "../../../etc/passwd" << false << -5 << QStringList() << "not a time zone";
    QTest::newRow("absolute path") << "/usr/share/zoneinfo/US/Pacific" << false << -5 << QStringList() << "not a time zone";
    QTest::newRow("device below") << "../../../dev/zero" << false << -5 << QStringList() << "not a time zone";
}

void TestConfigRules::timeZoneName()
{
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QFETCH(QStringList, changed);
    const ConfigKey *k = ConfigRules::findKey(QStringLiteral("TimeZoneName"));
    QVERIFY(k);
    if (linkUnknownHere(value))
        QSKIP("Windows' zone list has no tz database links");
    ReceiverConfig c = defaults();
    QString why;
    QStringList reported;
    QCOMPARE(ConfigRules::assign(*k, c, value, &why, &reported), accepted);
    QTEST(int(c.TimeZoneOffset), "offset");
    if (accepted) {
        QCOMPARE(c.TimeZoneName, value.trimmed());
        QCOMPARE(reported, changed);
    } else {
        QFETCH(QString, refusal);
        QVERIFY2(why.contains(refusal), qPrintable(why));
        QVERIFY(c.TimeZoneName.isEmpty());
    }
}

// The offset and the zone name never disagree: an offset that is not the
// zone's standard one drops the name, the zone's own keeps it.
void TestConfigRules::offsetAgainstName_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("keptZone");

    QTest::newRow("Denver's own -7") << "America/Denver" << "-7" << "America/Denver";
    QTest::newRow("Denver set to -5") << "America/Denver" << "-5" << "";
    QTest::newRow("link US/Pacific keeps -8") << "US/Pacific" << "-8" << "US/Pacific";
    QTest::newRow("no name stays none") << "" << "-6" << "";
}

void TestConfigRules::offsetAgainstName()
{
    QFETCH(QString, zone);
    QFETCH(QString, offset);
    if (linkUnknownHere(zone))
        QSKIP("Windows' zone list has no tz database links");
    ReceiverConfig c = defaults();
    QString why;
    QVERIFY2(ConfigRules::assign(*ConfigRules::findKey(QStringLiteral("TimeZoneName")), c, zone, &why), qPrintable(why));
    QStringList changed;
    QVERIFY2(ConfigRules::assign(*ConfigRules::findKey(QStringLiteral("TimeZoneOffset")), c, offset, &why, &changed),
             qPrintable(why));
    QCOMPARE(int(c.TimeZoneOffset), offset.toInt());
    QTEST(c.TimeZoneName, "keptZone");
    QCOMPARE(changed.contains(QStringLiteral("EDITOR/TimeZoneName")), c.TimeZoneName != zone);
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
