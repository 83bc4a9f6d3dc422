// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor from end to end: a generated alert played into the Alert
// Monitor window from a WAV file lands in the alert log, and the cross-check
// finds that a receiver whose history lacks it missed it.
#include "support/GuiDriver.h"
#include "support/VirtualReceiver.h"

#include "app/gui/NX4400C.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/ReceiverCrossCheck.h"
#include "monitor/gui/frmMonitor.h"
#include "testpackets/core/SameAudio.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

namespace {

// The editor's Required Weekly Test as the test window plays it: the header
// three times, beeps, NNNN three times, a second between sounds.
QByteArray weeklyTestWav()
{
    const QByteArray pause(SameAudio::SampleRate, char(SameAudio::Silence));
    QByteArray s = pause;
    for (int i = 0; i < 3; ++i)
        s += SameAudio::recordingSamples(SameAudio::RwtHeader) + pause;
    for (int i = 0; i < 4; ++i)
        s += SameAudio::recordingSamples(SameAudio::Beep) + pause;
    for (int i = 0; i < 3; ++i)
        s += SameAudio::recordingSamples(SameAudio::EndOfMessage) + pause;
    return SameAudio::wavFile(s);
}

// Everything a screen reader can reach under `root`, as one text.
QString accessibleText(QObject *root)
{
    QString text;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(root);
    std::function<void(QAccessibleInterface *, int)> walk = [&](QAccessibleInterface *i, int depth) {
        if (!i || depth > 12)
            return;
        text += i->text(QAccessible::Name) + QLatin1Char('|') + i->text(QAccessible::Value) + QLatin1Char('\n');
        for (int c = 0; c < i->childCount(); ++c)
            walk(i->child(c), depth + 1);
    };
    walk(iface, 0);
    return text;
}

} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void receiverProgram_data();
    void receiverProgram();
    void heardButNotRecorded();
    void commandLine_data();
    void commandLine();
};

void TestMonitor::receiverProgram_data()
{
    QTest::addColumn<QStringList>("programmed");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("alerts");

    const QStringList broward{"012011"};
    QTest::newRow("same county") << broward << QStringList{"012011"} << "TOR" << true;
    QTest::newRow("another county") << broward << QStringList{"012086"} << "TOR" << false;
    QTest::newRow("whole state") << broward << QStringList{"012000"} << "TOR" << true;
    QTest::newRow("another state, same county number") << broward << QStringList{"013011"} << "TOR" << false;
    QTest::newRow("a part of the county") << broward << QStringList{"312011"} << "TOR" << true;
    QTest::newRow("set for one part, another part") << QStringList{"312011"} << QStringList{"412011"} << "TOR" << false;
    QTest::newRow("set for one part, whole county") << QStringList{"312011"} << QStringList{"012011"} << "TOR" << true;
    QTest::newRow("event not selected") << broward << QStringList{"012011"} << "SVA" << false;
    QTest::newRow("second of many locations") << broward << QStringList{"012099", "012011"} << "TOR" << true;
}

void TestMonitor::receiverProgram()
{
    QFETCH(QStringList, programmed);
    QFETCH(QStringList, header);
    QFETCH(QString, event);
    QFETCH(bool, alerts);
    QStringList fip;
    for (const QString &c : programmed)
        fip << QStringLiteral("X %1  County                 State").arg(c);
    fip << QStringLiteral("  012086  Miami-Dade             Florida");   // listed, not checked
    const ReceiverProgram p = ReceiverProgram::fromSetup(fip, {"TOR", "RWT", ""});
    QCOMPARE(p.alertsFor(event, header), alerts);
}

void TestMonitor::heardButNotRecorded()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    LoadConfiguration(ctx, ctx.config);
    InitEventCatalog(ctx.catalog);
    NX4400C window(ctx);
    ctx.setView(&window);
    // The receiver is programmed for Broward and the weekly test.
    ctx.FipEntries[0] = QStringLiteral("X 012011  Broward                Florida");
    ctx.EventSelection[0] = QStringLiteral("RWT");
    ctx.alertLogPath = env.path(QStringLiteral("log/alerts.csv"));
    QVERIFY(QDir().mkpath(env.path(QStringLiteral("log"))));

    const QString wav = env.path(QStringLiteral("rwt.wav"));
    QFile f(wav);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(weeklyTestWav());
    f.close();

    // The receiver's history first, as the editor has it after a transfer.
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    window.findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger();
    const QList<AlertLogEntry> recorded = AlertLogEntries(ctx.historySource());

    frmMonitor monitor({ctx.alertLogPath, ctx.statesFolder, ctx.FipEntries, ctx.EventSelection, recorded, true},
                       ctx.prompter(), ctx.clock(), &window);
    monitor.setWavSpeed(40.0);
    monitor.show();
    QSignalSpy done(&monitor, &frmMonitor::finished);
    QVERIFY(monitor.startWav(wav));
    auto *grid = monitor.findChild<QTableWidget *>(QStringLiteral("grdMessages"));
    QVERIFY(grid);
    // Look at it while it decodes: the header is in, the NNNN still to come.
    QTRY_COMPARE_WITH_TIMEOUT(grid->rowCount(), 1, 10000);
    QVERIFY(monitor.isRunning());
    if (qEnvironmentVariableIsSet("NX_GRAB_DIR"))
        monitor.grab().save(QDir(qEnvironmentVariable("NX_GRAB_DIR")).filePath(QStringLiteral("frmMonitor.png")));
    QVERIFY(done.wait(20000));

    // What the window shows reaches a screen reader.
    const QString spoken = accessibleText(&monitor);
    for (const QString &t : {QStringLiteral("Required Weekly Test (RWT)"), QStringLiteral("Broward, Florida"),
                             QStringLiteral("\u2714 Alerts"), QStringLiteral("Input level"), QStringLiteral("strict"),
                             QStringLiteral("heard but not recorded"), QStringLiteral("1 for this receiver, 1 not recorded")})
        QVERIFY2(spoken.contains(t), qPrintable(t + QStringLiteral(" not spoken in:\n") + spoken));

    // The log row, with the monitor as its receiver, and the audio beside it.
    AlertLogContent log;
    QString why;
    QVERIFY2(ReadAlertLog(ctx.alertLogPath, &log, &why), qPrintable(why));
    QList<AlertLogEntry> fromMonitor;
    for (const AlertLogEntry &e : std::as_const(log.entries))
        if (e.receiver.startsWith(QLatin1String("monitor:")))
            fromMonitor.append(e);
    QCOMPARE(fromMonitor.size(), 1);
    QCOMPARE(fromMonitor.at(0).code, QStringLiteral("RWT"));
    QCOMPARE(fromMonitor.at(0).receiver, QStringLiteral("monitor:wav"));
    QCOMPARE(fromMonitor.at(0).length, QStringLiteral("00:15"));
    const QStringList audio = QDir(env.path(QStringLiteral("log"))).entryList({QStringLiteral("*-RWT.wav")});
    QCOMPARE(audio.size(), 1);

    // The receiver's history (the virtual receiver's own alerts) has no
    // weekly test from today: heard but not recorded.
    QVERIFY(!recorded.isEmpty());
    const MonitorMessage heard = monitor.messages().at(0);
    const CrossCheckResult check = RunReceiverCrossCheck({{monitorLogEntry(heard), heard.report.header.locations}},
                                                         recorded, ReceiverProgram::fromSetup(ctx.FipEntries, ctx.EventSelection));
    QCOMPARE(check.missed(), 1);
    QVERIFY(CrossCheckText(check).startsWith(QLatin1String("heard but not recorded: ")));

    // Once the receiver's history holds it, nothing is missed.
    AlertLogEntry same = monitorLogEntry(heard);
    same.localTime = same.localTime.addSecs(120);
    same.receiver.clear();
    QCOMPARE(RunReceiverCrossCheck({{monitorLogEntry(heard), heard.report.header.locations}}, recorded + QList{same},
                                   ReceiverProgram::fromSetup(ctx.FipEntries, ctx.EventSelection)).missed(), 0);
}

void TestMonitor::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");     // standard input
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");       // a line standard output must hold

    // The weekly test as raw S16LE samples, as an SDR pipeline sends them,
    // with one byte too many at the end.
    SameAudio::WavInfo info;
    QVERIFY(SameAudio::parseWav(weeklyTestWav(), &info));
    QByteArray raw;
    for (char c : std::as_const(info.data)) {
        const qint16 v = qint16((int(uint8_t(c)) - 128) * 256);
        raw.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    const QString header = QString::fromLatin1(SameAudio::burstText(SameAudio::RwtHeader));
    QTest::newRow("raw on standard input") << QStringList{"--raw", "--rate", "8000"} << raw + 'x' << 0 << header;
    QTest::newRow("raw, JSON") << QStringList{"--raw", "--rate", "8000", "--json", "--mode", "combined"} << raw << 0
                               << QStringLiteral("\"mode\":\"combined\"");
    QTest::newRow("wrong rate on purpose") << QStringList{"--raw", "--rate", "11025"} << raw << 0 << QString();
    QTest::newRow("raw without a rate") << QStringList{"--raw"} << QByteArray() << 2 << QString();
    QTest::newRow("rate below 8000") << QStringList{"--raw", "--rate", "4000"} << QByteArray() << 2 << QString();
    QTest::newRow("two inputs") << QStringList{"--raw", "--rate", "8000", "--wav", "x.wav"} << QByteArray() << 2 << QString();
    QTest::newRow("unknown mode") << QStringList{"--raw", "--rate", "8000", "--mode", "loose"} << QByteArray() << 2 << QString();
    QTest::newRow("missing recording") << QStringList{"--wav", "/nonexistent/x.wav"} << QByteArray() << 1 << QString();
}

void TestMonitor::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    TestEnv env;
    QProcess p;
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"),
            QStringList{"monitor", "--csv", env.path(QStringLiteral("alerts.csv"))} + args);
    QVERIFY(p.waitForStarted(5000));
    p.write(input);
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(30000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitCode(), exitCode);
    if (!output.isEmpty())
        QVERIFY2(out.contains(output), qPrintable(out));
    // A header decoded from audio at the wrong rate would be a header that
    // was never sent: nothing may come out.
    if (QTest::currentDataTag() == QByteArray("wrong rate on purpose"))
        QVERIFY2(!out.contains(QLatin1String("ZCZC")), qPrintable(out));
    if (exitCode == 0 && !output.isEmpty()) {
        AlertLogContent log;
        QString why;
        QVERIFY2(ReadAlertLog(env.path(QStringLiteral("alerts.csv")), &log, &why), qPrintable(why));
        QCOMPARE(log.entries.size(), 1);
        QCOMPARE(log.entries.at(0).receiver, QStringLiteral("monitor:stdin"));
    }
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
