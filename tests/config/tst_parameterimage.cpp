// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter image the receiver is programmed with, byte by byte.
#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/SettingsStore.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {

QByteArray bytes(const AppContext &ctx, int first, int last)
{
    return QByteArray(reinterpret_cast<const char *>(ctx.session().UploadImage.data()) + first, last - first + 1);
}

bool allZero(const AppContext &ctx, int first, int last)
{
    return bytes(ctx, first, last) == QByteArray(last - first + 1, '\0');
}

} // namespace

class tst_ParameterImage : public QObject
{
    Q_OBJECT
private slots:
    void defaultImage();
    void checksum();
    void stationId_data();
    void stationId();
    void encodeIdCharacter_data();
    void encodeIdCharacter();
    void timerCodes_data();
    void timerCodes();
    void everyFlagDrivesItsOwnBit();
    void countyItems();
    void countyOverflowStopsAtItsRegion();
    void eventItemsWithGaps();
    void eventSlotsOfOtherLengths();
    void shorterListClearsTheRest();
    void byte511NeverTouched();
};

void tst_ParameterImage::defaultImage()
{
    // Configuration from an empty store and the default coverage.
    TestEnv env;
    AppContext &ctx = *env.ctx;
    LoadConfiguration(ctx, ctx.config);
    LoadDefaultCoverage(ctx);
    ctx.session().UploadImage.fill(0xAA);
    PackCoverageLists(ctx, ctx.session().UploadImage);
    PackParameterBlock(ctx.config, ctx.session().UploadImage);
    QCOMPARE(bytes(ctx, 0, 15).toHex(' '), QByteArray("00 03 03 01 00 02 00 00 1f 00 00 27 00 00 00 21"));
    QVERIFY(allZero(ctx, 16, 31));
    QCOMPARE(bytes(ctx, 32, 59), QByteArray("012011-012085-012099-012111-"));
    QVERIFY(allZero(ctx, 60, 207));
    QCOMPARE(bytes(ctx, 208, 275),
             QByteArray("CFA-CFW-FFA-FFW-FLA-FLW-HUA-HUW-SVA-SVW-TOA-TOW-RMT-RWT-DMO-SVR-TOR-"));
    QVERIFY(allZero(ctx, 276, 510));
    QCOMPARE(ctx.session().UploadImage[511], uint8_t(0xAA));
}

void tst_ParameterImage::checksum()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    QCOMPARE(ImageChecksum(ctx.session().UploadImage), uint8_t(0));
    ctx.session().UploadImage[0] = 0xFF;
    ctx.session().UploadImage[510] = 0x03;
    ctx.session().UploadImage[511] = 0x40;   // not part of the image
    QCOMPARE(ImageChecksum(ctx.session().UploadImage), uint8_t(0x02));
    ctx.session().UploadImage.fill(0xFF);
    QCOMPARE(ImageChecksum(ctx.session().UploadImage), uint8_t((511 * 0xFF) & 0xFF));
}

void tst_ParameterImage::stationId_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("block");   // bytes 16..31
    QTest::newRow("KQ7") << "KQ7" << QByteArray("\x03\x14\x1a\x07", 4) + QByteArray(12, '\0');
    QTest::newRow("empty") << "" << QByteArray(16, '\0');
    QTest::newRow("15 chars") << "ABCDEFGHIJKLMN/"
                              << QByteArray("\x0f\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x24", 16);
    QTest::newRow("16 chars") << "ABCDEFGHIJKLMNOP" << QByteArray(16, '\0');
    QTest::newRow("40 chars") << QString(40, QLatin1Char('W')) << QByteArray(16, '\0');
    QTest::newRow("lower case and others") << "k-9" << QByteArray("\x03\x00\x00\x09", 4) + QByteArray(12, '\0');
}

void tst_ParameterImage::stationId()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, block);
    TestEnv env;
    env.ctx->session().UploadImage.fill(0x55);
    env.ctx->config.UserStationID = id;
    PackParameterBlock(env.ctx->config, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 16, 31).toHex(' '), block.toHex(' '));
    QCOMPARE(env.ctx->session().UploadImage[32], uint8_t(0x55));   // the coverage lists are not its business
}

void tst_ParameterImage::encodeIdCharacter_data()
{
    QTest::addColumn<QString>("c");
    QTest::addColumn<int>("code");
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("A") << "A" << 10;
    QTest::newRow("W") << "W" << 32;
    QTest::newRow("X") << "X" << 33;
    QTest::newRow("Z") << "Z" << 35;
    QTest::newRow("slash") << "/" << 36;
    QTest::newRow("a") << "a" << 0;
    QTest::newRow("blank") << " " << 0;
    QTest::newRow("colon") << ":" << 0;
    QTest::newRow("at") << "@" << 0;
    QTest::newRow("non-ascii") << QString(QChar(0x0391)) << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("two chars") << "AB" << 0;
}

void tst_ParameterImage::encodeIdCharacter()
{
    QFETCH(QString, c);
    QFETCH(int, code);
    QCOMPARE(int(EncodeIdCharacter(c)), code);
}

void tst_ParameterImage::timerCodes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("packed");
    for (int byte = 1; byte <= 3; ++byte) {
        for (int v : {-1, 0, 1, 6, 7, 300}) {
            QTest::addRow("byte %d value %d", byte, v) << byte << v << ((v >= 1 && v <= 6) ? v : 0);
        }
    }
    for (int byte = 4; byte <= 5; ++byte) {
        for (int v : {-32768, -1, 0, 4, 5, 32767}) {
            QTest::addRow("byte %d value %d", byte, v) << byte << v << ((v >= 0 && v <= 4) ? v : 0);
        }
    }
}

void tst_ParameterImage::timerCodes()
{
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(int, packed);
    TestEnv env;
    ReceiverConfig &c = env.ctx->config;
    int16_t *fields[] = {nullptr, &c.SpeakerTimeoutTimer, &c.LineTimeoutTimer, &c.VoiceIntervalTimer,
                         &c.RelayDelayTimer, &c.PreVoiceAnnc};
    *fields[byte] = int16_t(value);
    PackParameterBlock(env.ctx->config, env.ctx->session().UploadImage);
    QCOMPARE(int(env.ctx->session().UploadImage[byte]), packed);
    for (int other = 0; other < 16; ++other)
        if (other != byte)
            QCOMPARE(int(env.ctx->session().UploadImage[other]), 0);
}

void tst_ParameterImage::everyFlagDrivesItsOwnBit()
{
    // Each flag alone sets exactly its byte and bit: the two rear inputs and
    // the two outputs, which share key names, land in their own bytes.
    for (const ConfigKey &k : configKeys()) {
        if (k.type != ConfigKey::Type::Boolean || k.imageByte < 0)
            continue;
        TestEnv env;
        *k.boolIn(env.ctx->config) = true;
        PackParameterBlock(env.ctx->config, env.ctx->session().UploadImage);
        for (int byte = 0; byte < 32; ++byte) {
            const int expected = byte == k.imageByte ? k.imageBit : 0;
            QVERIFY2(env.ctx->session().UploadImage[byte] == expected,
                     qPrintable(QStringLiteral("%1/%2 byte %3").arg(k.section, k.key).arg(byte)));
        }
    }
    TestEnv env;
    env.ctx->config.Spare800C_1 = true;
    env.ctx->config.NV8009.AcceptAllAlerts = true;
    env.ctx->config.NV800E.PulseNonWatchWarning = true;
    env.ctx->config.Spare800F_1 = true;
    PackParameterBlock(env.ctx->config, env.ctx->session().UploadImage);
    QCOMPARE(int(env.ctx->session().UploadImage[12]), 0x40);
    QCOMPARE(int(env.ctx->session().UploadImage[9]), 0x01);
    QCOMPARE(int(env.ctx->session().UploadImage[10]), 0x00);
    QCOMPARE(int(env.ctx->session().UploadImage[14]), 0x10);
    QCOMPARE(int(env.ctx->session().UploadImage[15]), 0x80);
}

void tst_ParameterImage::countyItems()
{
    TestEnv env;
    QStringList &f = env.ctx->FipEntries;
    f[0] = "  012011  Broward                Florida";   // listed, not selected
    f[1] = "X012085  Martin";                            // no blank after the mark
    f[2] = "x 012099  Palm Beach";                       // mark is case-sensitive
    f[5] = "X 012111  St. Lucie              Florida";
    f[40] = "X 048141";                                  // just the code
    f[41] = "X 0481";                                    // cut short: zeros keep the item's length
    f[98] = "X 999999  Last";
    env.ctx->session().UploadImage.fill(0x77);
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 32, 59), QByteArray("012111-048141-0481\0\0-999999-", 28));
    QVERIFY(allZero(*env.ctx, 60, 207));
    QVERIFY(allZero(*env.ctx, 208, 510));
    QCOMPARE(env.ctx->session().UploadImage[31], uint8_t(0x77));
}

void tst_ParameterImage::countyOverflowStopsAtItsRegion()
{
    // More selected lines than the region holds (a hand-edited data file):
    // 25 items fit, the rest are left out, and the event list is untouched.
    TestEnv env;
    for (int i = 0; i < 99; ++i)
        env.ctx->FipEntries[i] = QStringLiteral("X %1  County").arg(100000 + i);
    env.ctx->EventSelection[0] = "TOR";
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 32, 38), QByteArray("100000-"));
    QCOMPARE(bytes(*env.ctx, 200, 206), QByteArray("100024-"));
    QCOMPARE(int(env.ctx->session().UploadImage[207]), 0);
    QCOMPARE(bytes(*env.ctx, 208, 211), QByteArray("TOR-"));
    QVERIFY(allZero(*env.ctx, 212, 510));
}

void tst_ParameterImage::eventItemsWithGaps()
{
    TestEnv env;
    QStringList &e = env.ctx->EventSelection;
    e[0] = "CFA";
    e[3] = "TOR";
    e[48] = "SVR";
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 208, 219), QByteArray("CFA-TOR-SVR-"));
    QVERIFY(allZero(*env.ctx, 220, 510));

    // All 49 slots: the items end at byte 403.
    for (int i = 0; i < 49; ++i)
        e[i] = QStringLiteral("E%1").arg(i, 2, 10, QLatin1Char('0'));
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 400, 403), QByteArray("E48-"));
    QVERIFY(allZero(*env.ctx, 404, 510));
}

void tst_ParameterImage::eventSlotsOfOtherLengths()
{
    // Only three-character codes become items; anything else in a slot
    // (from a hand-edited data file) would shift every later four-byte item.
    TestEnv env;
    QStringList &e = env.ctx->EventSelection;
    for (int i = 0; i < 49; ++i)
        e[i] = QString(200, QLatin1Char('L'));
    e[1] = "TO";
    e[2] = " TOR ";   // blanks around a code do not count
    e[3] = "   ";
    e[10] = "SVR";
    env.ctx->session().UploadImage[511] = 0x5A;
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 208, 215), QByteArray("TOR-SVR-"));
    QVERIFY(allZero(*env.ctx, 216, 510));
    QCOMPARE(env.ctx->session().UploadImage[511], uint8_t(0x5A));
}

void tst_ParameterImage::shorterListClearsTheRest()
{
    TestEnv env;
    LoadDefaultCoverage(*env.ctx);
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    for (int i = 5; i < 49; ++i)
        env.ctx->EventSelection[i].clear();
    env.ctx->FipEntries[1].clear();
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(bytes(*env.ctx, 208, 227), QByteArray("CFA-CFW-FFA-FFW-FLA-"));
    QVERIFY(allZero(*env.ctx, 228, 510));
    QCOMPARE(bytes(*env.ctx, 32, 52), QByteArray("012011-012099-012111-"));
    QVERIFY(allZero(*env.ctx, 53, 207));
}

void tst_ParameterImage::byte511NeverTouched()
{
    TestEnv env;
    QCOMPARE(env.ctx->session().UploadImage[511], uint8_t(0));
    env.ctx->session().UploadImage[511] = 0xC3;
    env.ctx->config.UserStationID = "ABCDEFGHIJKLMNO";
    for (int i = 0; i < 99; ++i)
        env.ctx->FipEntries[i] = "X 123456";
    for (int i = 0; i < 49; ++i)
        env.ctx->EventSelection[i] = "ZZZ";
    PackParameterBlock(env.ctx->config, env.ctx->session().UploadImage);
    PackCoverageLists(*env.ctx, env.ctx->session().UploadImage);
    QCOMPARE(env.ctx->session().UploadImage[511], uint8_t(0xC3));
}

QTEST_GUILESS_MAIN(tst_ParameterImage)
#include "tst_parameterimage.moc"
