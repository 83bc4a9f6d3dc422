// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer against the virtual receiver over a real pty: the success path
// byte for byte, every fault, the second-boundary wait, refusal of a nested
// transfer and a port that vanishes.

#include "support/VirtualReceiver.h"

#include "config/core/ParameterImage.h"
#include "link/core/LinkSession.h"
#include "link/core/Transfer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {

const QStringList kSuccessLog = {
    QString(),
    QStringLiteral("Negotiating Port # 1"),
    QStringLiteral("Port Connect Successful...Preparing For Upload"),
    QStringLiteral("Preparing For Upload..."),
    QStringLiteral("Preparing For Download..."),
    QStringLiteral("Downloading Data"),
    QStringLiteral("Upload / Download Successful"),
};

void fillImageDefaults(AppContext &ctx)
{
    ctx.config.SerialPort = 1;
    ctx.config.ReceiverVersion = QStringLiteral("1.00");
    // A recognisable history buffer, so that a failure visibly leaves it be.
    ctx.session().ReceiveBuffer.fill(char(0xEE));
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void success();
    void faults_data();
    void faults();
    void historyAndVersionFromFile();
    void portThatWillNotOpen();
    void nestedTransferRefused();
    void unreadableSettingsStoreStopsTransfer();
    void secondBoundary_data();
    void secondBoundary();
    void downloadChecksum_data();
    void downloadChecksum();
    void romVersion_data();
    void romVersion();
};

void TestTransfer::success()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    fillImageDefaults(ctx);
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);

    // A cancel left behind by another window's wait does not touch the
    // next transfer.
    ctx.session().cancelWait();
    env.clock.set(quickBoundary());
    QVERIFY(EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows));

    QCOMPARE(env.view.statusLog, kSuccessLog);
    QCOMPARE(env.view.panels.value(QStringLiteral("Right")), QStringLiteral("NX-4400 ROM Version = 2.05"));
    QCOMPARE(ctx.config.ReceiverVersion, QStringLiteral("2.05"));
    QVERIFY(env.prompter.boxes.isEmpty());
    QCOMPARE(env.view.clears, 1);
    QVERIFY(env.view.historyMenusEnabled);
    QCOMPARE(env.view.checkedGroup, 0);
    QCOMPARE(env.view.shownGroup, 0);
    QVERIFY(!env.view.progressVisible);
    QCOMPARE(env.view.progressMax, 1297);
    QCOMPARE(env.view.progressValues.last(), 1284);
    // Upload: 0, 0..510 (never 511 of 511); download: 0, 1..1284.
    QList<int> expectedValues{0};
    for (int i = 0; i <= 510; ++i)
        expectedValues << i;
    expectedValues << 0;
    for (int i = 1; i <= 1284; ++i)
        expectedValues << i;
    QCOMPARE(env.view.progressValues, expectedValues);
    QVERIFY(!ctx.session().PortIsOpen);
    QVERIFY(!ctx.session().Port1.isOpen());
    QVERIFY(!ctx.session().busy);

    // The wire: "Z", image bytes 0..510, their sum; the receiver's copy of the
    // image is the packed image.
    const QByteArray sent(reinterpret_cast<const char *>(ctx.session().UploadImage.data()), 511);
    QCOMPARE(vr.uploadedImage(), sent);
    QByteArray expected = QByteArrayLiteral("Z") + sent;
    expected.append(char(ImageChecksum(ctx.session().UploadImage)));
    QTRY_COMPARE(vr.recorded(), expected);

    // The reply: history slots, sum, version, ACK; the rest untouched.
    QCOMPARE(ctx.session().ReceiveBuffer.mid(0, 22), QByteArrayLiteral("065 14:30 WXR TOR 0030"));
    QCOMPARE(ctx.session().ReceiveBuffer.mid(1280, 4), QByteArrayLiteral("205\x06"));
    QCOMPARE(ctx.session().ReceiveBuffer.at(1284), char(0xEE));
    QVERIFY(VerifyDownloadChecksum(ctx.session()));
    QCOMPARE(ctx.HistoryRows[0].Org, QStringLiteral("WXR"));
}

void TestTransfer::faults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("lastStatus");
    QTest::addColumn<QString>("box");        // start of the one message box, or empty
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("newBytes");       // reply bytes that reached ReceiveBuffer

    const QString s202 = QStringLiteral("Error #202:  Serial Connection Not Established");
    auto f = [](const char *name) { return QStringList{QStringLiteral("--fault"), QString::fromLatin1(name)}; };
    QTest::newRow("silence") << f("silence") << "Port Connect Failed" << s202 << false << 0;
    QTest::newRow("NAK to Z") << f("nak-z") << "Port Connect Failed" << s202 << false << 0;
    QTest::newRow("noise before ACKs") << f("noise") << "Upload / Download Successful" << QString() << true << 1284;
    QTest::newRow("NAK to frame") << f("nak") << "Upload Failure" << QString() << false << 0;
    QTest::newRow("noise, then NAK") << (f("nak") + f("noise")) << "Upload Failure" << QString() << false << 0;
    QTest::newRow("no reply to frame") << f("no-upload-reply") << "Upload Data Timeout" << QString() << false << 0;
    QTest::newRow("bad checksum") << f("bad-checksum") << "Downloading Data" << QString() << false << 1284;
    QTest::newRow("short frame") << f("short-frame") << "Downloading Data" << QString() << false << 1000;
    QTest::newRow("last byte not ACK") << f("wrong-last-byte") << "Downloading Data" << QString() << false << 1284;
    QTest::newRow("extra bytes after frame") << f("extra-bytes") << "Upload / Download Successful" << QString() << true << 1284;
    QTest::newRow("cable pulled") << (f("pull-cable") + QStringList{"--pull-after", "700"}) << "Downloading Data" << QString() << false << 700;
}

void TestTransfer::faults()
{
    QFETCH(QStringList, args);
    QFETCH(QString, lastStatus);
    QFETCH(QString, box);
    QFETCH(bool, ok);
    QFETCH(int, newBytes);

    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    fillImageDefaults(ctx);
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start(args));
    vr.attach(ctx);
    const bool pulled = args.contains(QStringLiteral("pull-cable"));
    if (pulled)
        ctx.timings.transferMs = 5000;

    env.clock.set(quickBoundary());
    QElapsedTimer t;
    t.start();
    QCOMPARE(EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows), ok);
    const qint64 took = t.elapsed();

    QCOMPARE(env.view.statusLog.last(), lastStatus);
    QCOMPARE(env.view.statusLog.mid(0, 2), kSuccessLog.mid(0, 2));
    if (box.isEmpty()) {
        QVERIFY2(env.prompter.boxes.isEmpty(), qPrintable(env.prompter.texts().join(QLatin1Char('|'))));
    } else {
        QCOMPARE(env.prompter.boxes.size(), 1);
        QVERIFY(env.prompter.boxes.first().text.startsWith(box));
    }
    QVERIFY(!ctx.session().PortIsOpen);
    QVERIFY(!ctx.session().Port1.isOpen());
    QVERIFY(!ctx.session().busy);
    QCOMPARE(env.view.historyMenusEnabled, ok);
    QCOMPARE(ctx.config.ReceiverVersion, ok ? QStringLiteral("2.05") : QStringLiteral("1.00"));
    if (!ok)
        QCOMPARE(env.view.panels.value(QStringLiteral("Right")), QString());

    // What arrived is at the start of ReceiveBuffer, the older bytes after it.
    const QByteArray buffer = ctx.session().ReceiveBuffer;
    QCOMPARE(buffer.size(), LinkSession::ReceiveBufferSize);
    if (newBytes > 0)
        QCOMPARE(buffer.left(3), QByteArrayLiteral("065"));
    QCOMPARE(buffer.mid(newBytes), QByteArray(LinkSession::ReceiveBufferSize - newBytes, char(0xEE)));

    // A download that ended (well or not) hides the progress bar.
    if (newBytes > 0)
        QVERIFY(!env.view.progressVisible);
    // A pulled cable ends the wait at once, not at the time-out.
    if (pulled)
        QVERIFY2(took < 4000, qPrintable(QString::number(took)));
}

void TestTransfer::historyAndVersionFromFile()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    fillImageDefaults(ctx);
    QFile history(env.path(QStringLiteral("history.txt")));
    QVERIFY(history.open(QIODevice::WriteOnly));
    history.write("200 23:05 WXR SVR 0045\r\n\n001 00:10 CIV EVI 0130\n");
    history.close();
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start({QStringLiteral("--history"), history.fileName(), QStringLiteral("--rom"), QStringLiteral("3.1A")}));
    vr.attach(ctx);
    env.clock.set(quickBoundary());
    QVERIFY(EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows));
    QCOMPARE(ctx.config.ReceiverVersion, QStringLiteral("3.1A"));
    QCOMPARE(ctx.session().ReceiveBuffer.mid(0, 32), QByteArray("200 23:05 WXR SVR 0045") + QByteArray(10, '\0'));
    QCOMPARE(ctx.session().ReceiveBuffer.at(32), '\0');   // the empty line is an empty slot
    QCOMPARE(ctx.session().ReceiveBuffer.mid(64, 22), QByteArray("001 00:10 CIV EVI 0130"));
    QCOMPARE(ctx.session().ReceiveBuffer.mid(96, 1279 - 96), QByteArray(1279 - 96, '\0'));
}

void TestTransfer::portThatWillNotOpen()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    ctx.config.SerialPort = 3;
    ctx.session().Port1.setDevicePaths({QString(), QString(), env.path(QStringLiteral("no-such-tty")), QString()});

    QVERIFY(!EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows));
    QCOMPARE(env.view.statusLog, (QStringList{QString(), QStringLiteral("Port Connect Failed")}));
    QCOMPARE(env.prompter.texts(), QStringList{QStringLiteral("Error #201:  Selected Serial Port will not open")});
    QVERIFY(!ctx.session().PortIsOpen);
    QCOMPARE(ctx.session().PortHandle, int16_t(0));
}

void TestTransfer::nestedTransferRefused()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    fillImageDefaults(ctx);
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);

    env.clock.set(quickBoundary());
    // Fires during the second-boundary wait of the first transfer.
    bool nestedResult = true;
    QTimer::singleShot(300, [&] { nestedResult = EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows); });
    QVERIFY(EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows));
    QVERIFY(!nestedResult);
    QCOMPARE(env.prompter.beeps, 1);
    QCOMPARE(env.view.statusLog, kSuccessLog);
    // Only one "Z" went out.
    QCOMPARE(vr.recorded().count('Z') >= 1, true);
    QCOMPARE(vr.recorded().left(1), QByteArrayLiteral("Z"));
    QCOMPARE(vr.recorded().size(), 1 + 512);
}

void TestTransfer::unreadableSettingsStoreStopsTransfer()
{
    // A store that is there but cannot be read leaves the factory defaults
    // in memory: they must not reach the receiver.
    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    fillImageDefaults(ctx);
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    QVERIFY(QDir().mkpath(ctx.settingsPath));   // a folder where the store should be
    env.clock.set(quickBoundary());
    QVERIFY(!EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows));
    const QString left = env.view.panels.value(QStringLiteral("Left"));
    QVERIFY2(left.contains(ctx.settingsPath) && left.contains(QStringLiteral("nothing was sent")), qPrintable(left));
    QVERIFY(!ctx.session().Port1.isOpen());
    QTest::qWait(100);
    QVERIFY(vr.recorded().isEmpty());
}

void TestTransfer::secondBoundary_data()
{
    QTest::addColumn<QTime>("start");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    // The upper bounds leave room for a slow machine to send the frame.
    QTest::newRow("second 57") << QTime(12, 0, 57, 900) << 1000 << 1900;
    QTest::newRow("second 58") << QTime(12, 0, 58, 900) << 3000 << 3900;
    QTest::newRow("second 59") << QTime(12, 0, 59, 900) << 2000 << 2900;
}

void TestTransfer::secondBoundary()
{
    QFETCH(QTime, start);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);

    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    fillImageDefaults(ctx);
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    QVERIFY(NegotiateLink(ctx.session(), ctx.config.SerialPort));

    env.clock.set(QDateTime(QDate(2026, 3, 6), start));
    QElapsedTimer t;
    t.start();
    QVERIFY(UploadParameters(ctx.session(), ctx.config));
    const qint64 took = t.elapsed();
    CloseReceiverPort(ctx.session());
    QVERIFY2(took >= minMs && took <= maxMs, qPrintable(QString::number(took)));
    // The frame went out in second 2 of the next minute (or 59).
    const int target = start.second() == 57 ? 59 : 2;
    QCOMPARE(env.clock.secondOfMinute(), target);
}

void TestTransfer::downloadChecksum_data()
{
    QTest::addColumn<QByteArray>("history");   // repeated over bytes 0..1278
    QTest::addColumn<int>("sumDelta");         // added to the right sum for byte 1279
    QTest::addColumn<bool>("ok");
    QTest::newRow("all zero") << QByteArray(1, '\0') << 0 << true;
    QTest::newRow("all 0xFF, sum wraps") << QByteArray(1, char(0xFF)) << 0 << true;
    QTest::newRow("text") << QByteArrayLiteral("065 14:30 WXR TOR 0030") << 0 << true;
    QTest::newRow("off by one") << QByteArrayLiteral("065 14:30 WXR TOR 0030") << 1 << false;
    QTest::newRow("off by 256 is equal") << QByteArray(1, char(0x80)) << 256 << true;
}

void TestTransfer::downloadChecksum()
{
    QFETCH(QByteArray, history);
    QFETCH(int, sumDelta);
    QFETCH(bool, ok);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    ctx.session().ReceiveBuffer.fill(char(0x55));   // bytes past 1279 must not count
    unsigned sum = 0;
    for (int i = 0; i < 1279; ++i) {
        ctx.session().ReceiveBuffer[i] = history.at(i % history.size());
        sum += uint8_t(history.at(i % history.size()));
    }
    ctx.session().ReceiveBuffer[1279] = char((sum + unsigned(sumDelta)) & 0xFF);
    QCOMPARE(VerifyDownloadChecksum(ctx.session()), ok);
}

void TestTransfer::romVersion_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("version");
    QTest::newRow("2.05") << QByteArrayLiteral("205") << QStringLiteral("2.05");
    QTest::newRow("letters") << QByteArrayLiteral("A1b") << QStringLiteral("A.1b");
    QTest::newRow("control bytes") << QByteArray("\x00\x07" "9", 3) << QStringLiteral("?.?9");
}

void TestTransfer::romVersion()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, version);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    for (int i = 0; i < 3; ++i)
        ctx.session().ReceiveBuffer[1280 + i] = bytes.at(i);
    XferRomVersion(ctx.session(), ctx.config);
    QCOMPARE(ctx.config.ReceiverVersion, version);
    QCOMPARE(env.view.panels.value(QStringLiteral("Right")), QStringLiteral("NX-4400 ROM Version = ") + version);
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
