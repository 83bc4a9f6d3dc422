// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding the receiver's history slots into local-time rows.
#include "HistoryFixture.h"
#include "support/TestEnv.h"

#include "history/core/HistoryDecoder.h"

#include <QRandomGenerator>
#include <QtTest>

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { pinLocale(); }

    void localTime_data();
    void localTime();
    void namedZoneDaylight_data();
    void namedZoneDaylight();
    void unreadableSlots_data();
    void unreadableSlots();
    void eventNames_data();
    void eventNames();
    void originator_data();
    void originator();
    void emptySlotsAndRewrite();
    void shortBufferNeverReadsPastItsEnd();
    void randomBytesNeverCrashOrLeakControlCharacters();
};

void TestDecoder::localTime_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("daylight");   // DaylightSavings on and daylight time in effect
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDate>("fullDate");

    const QDate common(2026, 6, 1), leap(2024, 6, 1);
    QTest::newRow("day 65, daylight, common year")
        << common << -5 << true << "065 14:30 WXR TOR 0100" << "6-March" << "10:30" << QDate(2026, 3, 6);
    QTest::newRow("day 65, daylight, leap year")
        << leap << -5 << true << "065 14:30 WXR TOR 0100" << "5-March" << "10:30" << QDate(2024, 3, 5);
    QTest::newRow("02 UTC at -5 is 21 the day before")
        << common << -5 << false << "065 02:15 WXR TOR 0100" << "5-March" << "21:15" << QDate(2026, 3, 5);
    QTest::newRow("day 1 crossing midnight is 31 December of last year")
        << common << -5 << false << "001 02:00 WXR TOR 0100" << "31-December" << "21:00" << QDate(2025, 12, 31);
    QTest::newRow("03 UTC, -4, daylight is hour 0 the same day")
        << common << -4 << true << "120 03:05 WXR TOR 0100" << "30-April" << "00:05" << QDate(2026, 4, 30);
    QTest::newRow("03 UTC, -4, no daylight is 23 the day before")
        << common << -4 << false << "120 03:05 WXR TOR 0100" << "29-April" << "23:05" << QDate(2026, 4, 29);
    QTest::newRow("-11: 12 UTC is 01")
        << common << -11 << false << "150 12:45 WXR TOR 0100" << "30-May" << "01:45" << QDate(2026, 5, 30);
    QTest::newRow("-11: 10 UTC is 23 the day before")
        << common << -11 << false << "150 10:45 WXR TOR 0100" << "29-May" << "23:45" << QDate(2026, 5, 29);
    QTest::newRow("29 February in a leap year")
        << leap << -5 << false << "060 18:00 WXR TOR 0100" << "29-February" << "13:00" << QDate(2024, 2, 29);
    QTest::newRow("day 60 in a common year is 1 March")
        << common << -5 << false << "060 18:00 WXR TOR 0100" << "1-March" << "13:00" << QDate(2026, 3, 1);
    QTest::newRow("day 366 of a leap year")
        << QDate(2024, 12, 31) << -5 << false << "366 18:00 WXR TOR 0100" << "31-December" << "13:00"
        << QDate(2024, 12, 31);
    // The receiver sends no year: an alert that would lie after today was
    // received last year, and its day counts in that year.
    QTest::newRow("late December read in January is last year")
        << QDate(2027, 1, 2) << -5 << false << "364 18:00 WXR TOR 0100" << "30-December" << "13:00"
        << QDate(2026, 12, 30);
    QTest::newRow("day 366 read in the common year after")
        << QDate(2025, 1, 3) << -5 << false << "366 18:00 WXR TOR 0100" << "31-December" << "13:00"
        << QDate(2024, 12, 31);
    QTest::newRow("day 65 read on 1 January of a common year after a leap year")
        << QDate(2025, 1, 1) << -5 << true << "065 14:30 WXR TOR 0100" << "5-March" << "10:30"
        << QDate(2024, 3, 5);
    QTest::newRow("today's alert stays this year")
        << QDate(2026, 3, 6) << -5 << false << "065 14:30 WXR TOR 0100" << "6-March" << "09:30"
        << QDate(2026, 3, 6);
    QTest::newRow("offset outside -4..-11: hour unchanged")
        << common << 0 << false << "065 14:30 WXR TOR 0100" << "6-March" << "14:30" << QDate(2026, 3, 6);
    QTest::newRow("offset outside -4..-11, daylight past midnight is the next day")
        << common << 0 << true << "065 23:30 WXR TOR 0100" << "7-March" << "00:30" << QDate(2026, 3, 7);
}

void TestDecoder::localTime()
{
    QFETCH(QDate, today);
    QFETCH(int, offset);
    QFETCH(bool, daylight);
    QFETCH(QString, slot);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    env.clock.set(QDateTime(today, QTime(12, 0)));
    ctx.config.TimeZoneOffset = int16_t(offset);
    ctx.config.DaylightSavings = daylight;
    ctx.DaylightTimeActive = daylight;
    putSlot(ctx, 7, slot.toLatin1().constData());
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);

    const HistoryRecord &r = ctx.HistoryRows[7];
    QTEST(r.Date, "date");
    QTEST(r.Time, "time");
    QCOMPARE(r.Org, QStringLiteral("WXR"));
    QCOMPARE(r.Event, QStringLiteral("Tornado Warning"));
    QCOMPARE(r.Class, EventClass::Warning);
    QCOMPARE(r.Length, QStringLiteral("01:00"));
    QTEST(DecodeHistorySlot(ctx.historySource(), 7).date, "fullDate");
}

// With TimeZoneName, each alert's daylight hour is the zone's at its own
// date and hour; the computer's indication of today no longer counts.
void TestDecoder::namedZoneDaylight_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<bool>("daylightSavings");
    QTest::addColumn<bool>("computerDaylight");
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("utcOffsetHours");   // of the row the alert log gets

    // 2026: Denver's daylight time runs from 8 March 09:00 UTC (day 67) to
    // 1 November 08:00 UTC (day 305).
    const QString denver = QStringLiteral("America/Denver");
    QTest::newRow("summer row, computer without daylight") << denver << true << false << "190 18:00 WXR TOR 0100" << "12:00" << -6;
    QTest::newRow("winter row, computer in daylight") << denver << true << true << "015 18:00 WXR TOR 0100" << "11:00" << -7;
    QTest::newRow("an hour before the spring change") << denver << true << false << "067 08:30 WXR TOR 0100" << "01:30" << -7;
    QTest::newRow("at the spring change") << denver << true << false << "067 09:30 WXR TOR 0100" << "03:30" << -6;
    QTest::newRow("last daylight hour in autumn") << denver << true << false << "305 07:30 WXR TOR 0100" << "01:30" << -6;
    QTest::newRow("after the autumn change") << denver << true << true << "305 08:30 WXR TOR 0100" << "01:30" << -7;
    QTest::newRow("adjustment off: never daylight") << denver << false << true << "190 18:00 WXR TOR 0100" << "11:00" << -7;
    QTest::newRow("zone without daylight time") << QStringLiteral("America/Phoenix") << true << true << "190 18:00 WXR TOR 0100" << "11:00" << -7;
    // Without a name: the computer's indication for every row, as before.
    QTest::newRow("no name, computer in daylight") << QString() << true << true << "015 18:00 WXR TOR 0100" << "12:00" << -6;
    QTest::newRow("no name, computer without") << QString() << true << false << "190 18:00 WXR TOR 0100" << "11:00" << -7;
    // A name the system does not know (an edited store) acts as none.
    QTest::newRow("unknown name") << QStringLiteral("Nowhere/Atlantis") << true << true << "015 18:00 WXR TOR 0100" << "12:00" << -6;
}

void TestDecoder::namedZoneDaylight()
{
    QFETCH(QString, zone);
    QFETCH(bool, daylightSavings);
    QFETCH(bool, computerDaylight);
    QFETCH(QString, slot);
    QFETCH(int, utcOffsetHours);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    env.clock.set(QDateTime(QDate(2026, 12, 31), QTime(12, 0)));
    ctx.config.TimeZoneOffset = -7;
    ctx.config.DaylightSavings = daylightSavings;
    ctx.config.TimeZoneName = zone;
    ctx.DaylightTimeActive = computerDaylight;
    putSlot(ctx, 3, slot.toLatin1().constData());
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    QTEST(ctx.HistoryRows[3].Time, "time");
    QCOMPARE(DecodeHistorySlot(ctx.historySource(), 3).utcOffsetSeconds, utcOffsetHours * 3600);
}

void TestDecoder::unreadableSlots_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("length");

    QTest::newRow("letters in the day") << QByteArray("0a1 14:30 WXR TOR 0100") << "Unknown Date" << "09:30" << "01:00";
    QTest::newRow("day 000") << QByteArray("000 14:30 WXR TOR 0100") << "Unknown Date" << "09:30" << "01:00";
    QTest::newRow("day 367") << QByteArray("367 14:30 WXR TOR 0100") << "Unknown Date" << "09:30" << "01:00";
    QTest::newRow("blank in the day") << QByteArray(" 65 14:30 WXR TOR 0100") << "Unknown Date" << "09:30" << "01:00";
    QTest::newRow("letters in the hour") << QByteArray("065 1x:30 WXR TOR 0100") << "6-March" << "" << "01:00";
    QTest::newRow("hour 25") << QByteArray("065 25:30 WXR TOR 0100") << "6-March" << "" << "01:00";
    QTest::newRow("no colon") << QByteArray("065 14-30 WXR TOR 0100") << "6-March" << "" << "01:00";
    QTest::newRow("letters in the minute") << QByteArray("065 14:3x WXR TOR 0100") << "6-March" << "" << "01:00";
    QTest::newRow("minute 75") << QByteArray("065 14:75 WXR TOR 0100") << "6-March" << "" << "01:00";
    QTest::newRow("control bytes in the length")
        << QByteArray("065 14:30 WXR TOR \x01\x02\x7f\x03", 22) << "6-March" << "09:30" << "??:??";
    QTest::newRow("erased memory") << QByteArray(32, '\xff') << "Unknown Date" << "" << "??:??";
    QByteArray zeros("065 14:30 WXR TOR ", 18);
    zeros.append(QByteArray(4, '\0'));
    QTest::newRow("length missing") << zeros << "6-March" << "09:30" << "??:??";
}

void TestDecoder::unreadableSlots()
{
    QFETCH(QByteArray, slot);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    env.clock.set(QDateTime(QDate(2026, 6, 1), QTime(12, 0)));
    ctx.config.TimeZoneOffset = -5;
    putSlot(ctx, 0, slot.constData(), slot.size());
    putSlot(ctx, 1, "065 14:30 WXR TOR 0100");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    QTEST(ctx.HistoryRows[0].Date, "date");
    QTEST(ctx.HistoryRows[0].Time, "time");
    QTEST(ctx.HistoryRows[0].Length, "length");
    // Decoding goes on with the next slot.
    QCOMPARE(ctx.HistoryRows[1].Date, QStringLiteral("6-March"));
    QCOMPARE(ctx.HistoryRows[1].Time, QStringLiteral("09:30"));
}

void TestDecoder::eventNames_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("cls");
    QTest::newRow("TOR") << QByteArray("TOR") << "Tornado Warning" << int(EventClass::Warning);
    QTest::newRow("TOA") << QByteArray("TOA") << "Tornado Watch" << int(EventClass::Watch);
    QTest::newRow("HMW is a watch") << QByteArray("HMW") << "Hazardous Materials Warning" << int(EventClass::Watch);
    QTest::newRow("RWT") << QByteArray("RWT") << "Required Weekly Test" << int(EventClass::Other);
    QTest::newRow("SVW unknown") << QByteArray("SVW") << "Unknown Event Code" << int(EventClass::Other);
    QTest::newRow("TOW unknown") << QByteArray("TOW") << "Unknown Event Code" << int(EventClass::Other);
    QTest::newRow("lower case") << QByteArray("tor") << "Unknown Event Code" << int(EventClass::Other);
    QTest::newRow("zero bytes") << QByteArray("\0\0\0", 3) << "Unknown Event Code" << int(EventClass::Other);
}

void TestDecoder::eventNames()
{
    QFETCH(QByteArray, code);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    env.clock.set(QDateTime(QDate(2026, 6, 1), QTime(12, 0)));
    QByteArray slot("065 14:30 WXR ");
    slot += code;
    slot += " 0100";
    putSlot(ctx, 3, slot.constData(), slot.size());
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    QTEST(ctx.HistoryRows[3].Event, "name");
    QTEST(int(ctx.HistoryRows[3].Class), "cls");
}

void TestDecoder::originator_data()
{
    QTest::addColumn<QByteArray>("org");
    QTest::addColumn<QString>("shown");
    QTest::newRow("WXR") << QByteArray("WXR") << "WXR";
    QTest::newRow("CIV") << QByteArray("CIV") << "CIV";
    QTest::newRow("lower case") << QByteArray("wxr") << "";
    QTest::newRow("digit first") << QByteArray("1AB") << "";
    QTest::newRow("zero byte inside") << QByteArray("E\0S", 3) << "E?S";
}

void TestDecoder::originator()
{
    QFETCH(QByteArray, org);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    QByteArray slot("065 14:30 ");
    slot += org;
    slot += " TOR 0100";
    putSlot(ctx, 0, slot.constData(), slot.size());
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    QTEST(ctx.HistoryRows[0].Org, "shown");
}

void TestDecoder::emptySlotsAndRewrite()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    for (HistoryRecord &r : ctx.HistoryRows)
        r = HistoryRecord{QStringLiteral("1-May"), QStringLiteral("01:00"), QStringLiteral("00:15"),
                          QStringLiteral("WXR"), QStringLiteral("old"), EventClass::Warning};
    for (int k = 0; k < 5; ++k)
        putSlot(ctx, k, "065 14:30 WXR TOR 0100");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    for (int k = 0; k < 5; ++k)
        QVERIFY(!ctx.HistoryRows[k].isEmpty());
    for (int k = 5; k < 40; ++k) {
        const HistoryRecord &r = ctx.HistoryRows[k];
        QVERIFY2(r.Date.isEmpty() && r.Time.isEmpty() && r.Length.isEmpty() && r.Org.isEmpty()
                     && r.Event.isEmpty() && r.Class == EventClass::Other,
                 qPrintable(QString::number(k)));
    }
    // Row 40 is never written.
    QCOMPARE(ctx.HistoryRows[40].Event, QStringLiteral("old"));
}

void TestDecoder::shortBufferNeverReadsPastItsEnd()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    ctx.session().ReceiveBuffer = QByteArray("065 14:30 WXR TOR 0100          065 14:3");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    QCOMPARE(ctx.HistoryRows[0].Event, QStringLiteral("Tornado Warning"));
    QCOMPARE(ctx.HistoryRows[1].Date, QStringLiteral("6-March"));
    QCOMPARE(ctx.HistoryRows[1].Time, QString());
    QVERIFY(ctx.HistoryRows[2].isEmpty());
}

void TestDecoder::randomBytesNeverCrashOrLeakControlCharacters()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    QRandomGenerator rng(4400);
    const QByteArray alphabet("0123456789: ABCZaz\x00\x01\xff\x7f", 22);
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < History::SlotSize * History::SlotCount; ++i)
            ctx.session().ReceiveBuffer[i] = alphabet.at(int(rng.bounded(alphabet.size())));
        ctx.config.TimeZoneOffset = int16_t(int(rng.bounded(30)) - 15);
        ctx.config.DaylightSavings = rng.bounded(2);
        ctx.DaylightTimeActive = rng.bounded(2);
        DecodeHistory(ctx.historySource(), ctx.HistoryRows);
        for (int k = 0; k < 40; ++k) {
            const HistoryRecord &r = ctx.HistoryRows[k];
            for (const QString &s : {r.Date, r.Time, r.Length, r.Org, r.Event})
                for (QChar c : s)
                    QVERIFY2(c.unicode() >= 0x20, qPrintable(QStringLiteral("row %1").arg(k)));
            if (!r.Time.isEmpty())
                QVERIFY(QTime::fromString(r.Time, QStringLiteral("HH:mm")).isValid());
        }
    }
}

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
