// SPDX-License-Identifier: GPL-3.0-or-later
// A receiver that floods the line with junk, before and during the exchange.
// The port holds a bounded amount of it, the exchange drops what it does not
// expect, and the transfer still ends: in the editor's session (with the
// upload waiting from second 58, the longest second-boundary wait, while the
// junk keeps coming) and through `nx4400c-cli transfer`, whose resident
// memory is sampled from the outside.
#include "support/VirtualReceiver.h"

#include "link/core/Transfer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

namespace {

// The resident-memory target holds for the program as users run it. Under
// AddressSanitizer, shadow memory and the freed-memory quarantine add a
// couple of hundred megabytes that say nothing about our buffers; there the
// bound only catches unbounded growth (the buffers are still checked exactly).
#if defined(NX_SANITIZED)
constexpr qint64 RssLimitKiB = 600 * 1024;
#else
constexpr qint64 RssLimitKiB = 60 * 1024;
#endif

// VmRSS of a process in KiB from /proc/<pid>/status; -1 once it is gone.
qint64 residentKiB(const QString &pid = QStringLiteral("self"))
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace

class TestFlood : public QObject
{
    Q_OBJECT

private slots:
    void transferUnderFlood_data();
    void transferUnderFlood();
    void cliUnderFlood();
};

void TestFlood::transferUnderFlood_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QTime>("start");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("lastStatus");

    const QTime second58(12, 0, 58, 100);
    QTest::newRow("whole transfer, upload from second 58")
        << QStringList{} << second58 << true << "Upload / Download Successful";
    QTest::newRow("short boundary wait") << QStringList{} << quickBoundary().time() << true
                                         << "Upload / Download Successful";
    // The ACK never comes: the negotiation reads junk until its time-out.
    QTest::newRow("no answer to Z") << QStringList{QStringLiteral("silence")} << second58 << false
                                    << "Port Connect Failed";
    QTest::newRow("frame refused") << QStringList{QStringLiteral("nak")} << second58 << false << "Upload Failure";
    QTest::newRow("no answer to the frame") << QStringList{QStringLiteral("no-upload-reply")} << second58 << false
                                            << "Upload Data Timeout";
}

void TestFlood::transferUnderFlood()
{
    QFETCH(QStringList, faults);
    QFETCH(QTime, start);
    QFETCH(bool, ok);
    QFETCH(QString, lastStatus);

    TestEnv env;
    AppContext &ctx = *env.ctx;
    shortenTimings(ctx);
    ctx.config.SerialPort = 1;
    VirtualReceiver vr(env.dir.path());
    QStringList args{QStringLiteral("--fault"), QStringLiteral("flood")};
    for (const QString &f : std::as_const(faults))
        args << QStringLiteral("--fault") << f;
    QVERIFY(vr.start(args));
    vr.attach(ctx);
    PortCtl &port = ctx.session().Port1;

    // Sampled from the link's own waits: timers run in them.
    qint64 peakRss = residentKiB();
    QVERIFY(peakRss > 0);
    qsizetype peakPending = 0, peakBelow = 0;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    connect(&sampler, &QTimer::timeout, [&] {
        peakRss = qMax(peakRss, residentKiB());
        peakPending = qMax(peakPending, port.pendingBytes());
        peakBelow = qMax(peakBelow, port.bufferedBelow());
    });
    sampler.start(10);

    env.clock.set(QDateTime(QDate(2026, 3, 6), start));
    QElapsedTimer took;
    took.start();
    QCOMPARE(EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows), ok);
    sampler.stop();
    peakRss = qMax(peakRss, residentKiB());

    qInfo("peak VmRSS %lld KiB, peak held %lld + %lld bytes, %lld ms", peakRss, qint64(peakPending),
          qint64(peakBelow), took.elapsed());
    QVERIFY2(peakRss < RssLimitKiB, qPrintable(QString::number(peakRss)));
    QVERIFY(peakPending <= PortCtl::MaxPendingBytes);
    QVERIFY(peakBelow <= PortCtl::SerialBufferBytes);
    // The junk did reach the port: during the boundary wait it filled what
    // the port holds, and then the port stopped reading.
    if (start.second() == 58 && env.view.statusLog.contains(QStringLiteral("Preparing For Upload...")))
        QCOMPARE(peakPending, PortCtl::MaxPendingBytes);
    QCOMPARE(env.view.statusLog.last(), lastStatus);
    QVERIFY(!port.isOpen());
    // Negotiation time-out 1 s, boundary wait under 4 s, reply time-outs 2 s.
    QVERIFY2(took.elapsed() < 15000, qPrintable(QString::number(took.elapsed())));
    if (ok) {
        // The reply came through whole and unmixed with junk.
        QVERIFY(VerifyDownloadChecksum(ctx.session()));
        QCOMPARE(ctx.session().ReceiveBuffer.left(22), QByteArrayLiteral("065 14:30 WXR TOR 0030"));
        QCOMPARE(ctx.config.ReceiverVersion, QStringLiteral("2.05"));
        // And the receiver took the image the editor packed.
        QCOMPARE(vr.uploadedImage(),
                 QByteArray(reinterpret_cast<const char *>(ctx.session().UploadImage.data()), 511));
    }
}

void TestFlood::cliUnderFlood()
{
    const QString cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(cli).isExecutable())
        QSKIP("nx4400c-cli is not built");
    QTemporaryDir dir;
    VirtualReceiver vr(dir.path());
    QVERIFY(vr.start({QStringLiteral("--fault"), QStringLiteral("flood")}));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("cfg/NX4400C"))));
    QFile dat(dir.filePath(QStringLiteral("NX_4400C.DAT")));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    QByteArray text = "NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY\r\n[FIP Codes]\r\n"
                      "X 012011  Broward                Florida\r\n";
    text += QByteArray(98, '\n').replace("\n", "\r\n");
    text += "[Event Codes]\r\nTOR\r\n" + QByteArray(23, '\n').replace("\n", "\r\n");
    dat.write(text);
    dat.close();

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
    // A plain transfer adds to the user's alert log: keep it in the test's folder.
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    QEventLoop loop;
    connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    qint64 peakRss = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        if (p.processId() > 0)
            peakRss = qMax(peakRss, residentKiB(QString::number(p.processId())));
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QElapsedTimer took;
    took.start();
    p.start(cli, {QStringLiteral("transfer"), QStringLiteral("--device"), vr.link});
    QVERIFY(p.waitForStarted());
    sampler.start(10);
    deadline.start(60000);
    loop.exec();
    sampler.stop();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        QFAIL("the transfer did not end within a minute");
    }
    const QByteArray err = p.readAllStandardError();
    qInfo("nx4400c-cli peak VmRSS %lld KiB, %lld ms", peakRss, took.elapsed());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, err.constData());
    QVERIFY(p.readAllStandardOutput().contains("Tornado Warning"));
    QVERIFY(peakRss > 0);
    QVERIFY2(peakRss < RssLimitKiB, qPrintable(QString::number(peakRss)));
}

QTEST_GUILESS_MAIN(TestFlood)
#include "tst_flood.moc"
