// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor from end to end: a generated alert played into the Alert
// Monitor window from a WAV file lands in the alert log, and the cross-check
// finds that a receiver whose history lacks it missed it.
#include "support/AlertRecordRead.h"
#include "support/GuiDriver.h"
#include "support/SameSignal.h"
#include "support/VirtualReceiver.h"

#include "app/gui/NX4400C.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/ReceiverCrossCheck.h"
#include "monitor/core/MonitorSession.h"
#include "monitor/core/MonitorSources.h"
#include "monitor/gui/frmMonitor.h"
#include "testpackets/core/SameAudio.h"

#include <QAccessible>
#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QFile>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <csignal>

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
    void shortCells_data();
    void shortCells();
    void commandLine_data();
    void commandLine();
    void recordings_data();
    void recordings();
    void hostileWav_data();
    void hostileWav();
    void execEndsWithMonitor();
    void datesInTheMonitorsZone_data();
    void datesInTheMonitorsZone();
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

void TestMonitor::shortCells_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<QString>("counties");

    QTest::newRow("programmed county, padding left out")
        << QByteArray("ZCZC-WXR-TOR-012011-000000+0030-0651500-KMFL/NWS-") << "\u2714 Alerts" << "Broward, Florida";
    QTest::newRow("another county, not programmed")
        << QByteArray("ZCZC-WXR-TOR-012086+0030-0651500-KMFL/NWS-") << "Not programmed" << "Miami-Dade, Florida";
    QTest::newRow("a code no state file names")
        << QByteArray("ZCZC-WXR-TOR-012011-012999+0030-0651500-KMFL/NWS-") << "\u2714 Alerts"
        << "Broward, Florida; 012999 (unknown code)";
}

// The Alert Monitor's cells are short; the sentence behind "Not programmed"
// is in its tool tip; the padding code 000000 is not a county; a code no
// state file names is marked; "100.0 %" cannot break before its sign.
void TestMonitor::shortCells()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, receiver);
    QFETCH(QString, counties);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    QStringList fips = ctx.FipEntries;
    fips.fill(QString());
    fips[0] = QStringLiteral("X 012011  Broward                Florida");
    const QString wav = env.path(QStringLiteral("in.wav"));
    {
        QFile f(wav);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(SameSignal::wavFile(SameSignal::messages({header}), 11025));
    }
    frmMonitor monitor({QString(), ctx.statesFolder, fips, {QStringLiteral("TOR")}, {}, false}, env.prompter, env.clock);
    monitor.setWavSpeed(0);
    monitor.show();
    QSignalSpy done(&monitor, &frmMonitor::finished);
    QVERIFY(monitor.startWav(wav));
    QVERIFY(done.wait(20000));
    auto *grid = monitor.findChild<QTableWidget *>(QStringLiteral("grdMessages"));
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 0)->text(), receiver);
    if (receiver == QLatin1String("Not programmed"))
        QVERIFY(grid->item(0, 0)->toolTip().contains(QStringLiteral("not in this receiver's counties or events")));
    QCOMPARE(grid->item(0, 2)->text(), counties);
    QVERIFY2(grid->item(0, 6)->text().contains(QStringLiteral("\u00a0%")), qPrintable(grid->item(0, 6)->text()));
    // Every heading is in view.
    for (int c = 0; c < grid->columnCount(); ++c)
        QVERIFY(grid->horizontalHeader()->sectionViewportPosition(c) + grid->columnWidth(c) <= grid->viewport()->width());
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

    // Readable at 800 pixels: every column in view, nothing cut off; and at
    // 1600 the counties take the room.
    for (const int width : {800, 1600}) {
        monitor.resize(width, 520);
        QApplication::processEvents();
        if (qEnvironmentVariableIsSet("NX_GRAB_DIR"))
            monitor.grab().save(QDir(qEnvironmentVariable("NX_GRAB_DIR")).filePath(QStringLiteral("frmMonitor-%1.png").arg(width)));
        QVERIFY2(grid->horizontalHeader()->length() <= grid->viewport()->width(),
                 qPrintable(QStringLiteral("%1 px: the columns need %2 px, the table shows %3")
                                .arg(width).arg(grid->horizontalHeader()->length()).arg(grid->viewport()->width())));
        for (int c = 0; c < grid->columnCount(); ++c) {
            const QTableWidgetItem *item = grid->item(0, c);
            const QRect need = grid->fontMetrics().boundingRect(QRect(0, 0, grid->columnWidth(c) - 8, 10000),
                                                                Qt::TextWordWrap, item->text());
            QVERIFY2(need.height() <= grid->rowHeight(0), qPrintable(item->text()));
        }
    }
    // Times carry their zone; a warning has the history grid's colour.
    QVERIFY2(grid->item(0, 3)->text().contains(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d \\S+"))),
             qPrintable(grid->item(0, 3)->text()));

    // What the window shows reaches a screen reader.
    const QString spoken = accessibleText(&monitor);
    for (const QString &t : {QStringLiteral("Required Weekly Test (RWT)"), QStringLiteral("Broward, Florida"),
                             QStringLiteral("\u2714 Alerts"), QStringLiteral("Input level"), QStringLiteral("strict"),
                             QStringLiteral("heard but not recorded"), QStringLiteral("1 for this receiver, 1 not recorded")})
        QVERIFY2(spoken.contains(t), qPrintable(t + QStringLiteral(" not spoken in:\n") + spoken));

    // The log row, with the monitor as its receiver, and the audio beside it.
    AlertLogContent log;
    QString why;
    QVERIFY2(ReadAlertRecord(ctx.alertLogPath, &log, &why), qPrintable(why));
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
    // (The receiver records the alert when it hears it.)
    AlertLogEntry same = monitorLogEntry(heard);
    same.localTime = heard.heard.addSecs(120);
    same.receiver.clear();
    same.header.clear();
    same.heard = QDateTime();
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
        QVERIFY2(ReadAlertRecord(env.path(QStringLiteral("alerts.csv")), &log, &why), qPrintable(why));
        QCOMPARE(log.entries.size(), 1);
        QCOMPARE(log.entries.at(0).receiver, QStringLiteral("monitor:stdin"));
    }
}

namespace {

const QByteArray Tor = "ZCZC-WXR-TOR-039035+0030-0651500-KCLE/NWS-";

QList<QByteArray> fiveWarnings()
{
    QList<QByteArray> out;
    for (const char *c : {"039035", "039055", "039085", "039093", "039103"})
        out << QByteArray(Tor).replace("039035", c);
    return out;
}

void writeScript(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + text);
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
}

} // namespace

// `monitor --wav` from end to end: what goes to standard output, to
// standard error, and into the log, for recordings as recorders write them
// and for --exec programs that chatter, hang or do not exist.
void TestMonitor::recordings_data()
{
    QTest::addColumn<QList<QByteArray>>("headers");   // the messages in the recording
    QTest::addColumn<QString>("wav");                 // "", "size 0", "size ffffffff", "bext"
    QTest::addColumn<QStringList>("args");            // PROGRAM stands for a script of the test
    QTest::addColumn<QByteArray>("program");          // that script's body
    QTest::addColumn<QByteArray>("logBefore");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("rows");                    // the monitor's rows in the log afterwards
    QTest::addColumn<QString>("out");                 // patterns
    QTest::addColumn<QString>("err");

    const QList<QByteArray> one{Tor};
    const QStringList none;
    QTest::newRow("five warnings in one minute") << fiveWarnings() << "" << none << QByteArray() << QByteArray() << 0
                                                 << 5 << "(ZCZC-WXR-TOR-[^\\n]*\\nNNNN\\n){5}" << "^$";
    QTest::newRow("data size 0, read to the end") << one << "size 0" << none << QByteArray() << QByteArray() << 0 << 1
                                                  << "^ZCZC-WXR-TOR-039035" << "^$";
    QTest::newRow("data size 0xFFFFFFFF, read to the end") << one << "size ffffffff" << none << QByteArray()
                                                           << QByteArray() << 0 << 1 << "^ZCZC-WXR-TOR-039035" << "^$";
    QTest::newRow("heard at the recording's own time") << one << "bext" << none << QByteArray() << QByteArray() << 0
                                                       << 1 << "^ZCZC-WXR-TOR-039035" << "^$";
    QTest::newRow("a person's sentence") << one << "bext" << QStringList{"--text"} << QByteArray() << QByteArray() << 0 << 1
                                         << "^Tornado Warning for Cuyahoga, Ohio until 15:30 UTC \\(issued 15:00 UTC\\) by KCLE/NWS\\nNNNN\\n$"
                                         << "^$";
    QTest::newRow("six-column log refused") << one << "" << none << QByteArray()
                                            << AlertLogHeader.toUtf8() + "\n2026-03-04T10:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15\n"
                                            << 1 << 0 << "^$" << "log upgrade";
    QTest::newRow("header heard alike, issue day out of range")
        << QList<QByteArray>{"ZCZC-WXR-RWT-039035+0015-0001200-KCLE/NWS-"} << "" << none << QByteArray() << QByteArray()
        << 0 << 1 << "^ZCZC-WXR-RWT-039035\\+0015-0001200-KCLE/NWS-\\n" << "issue day 000 is not 001 to 366";
    QTest::newRow("JSON lines beside a chatty program")
        << fiveWarnings() << "" << QStringList{"--json", "--exec", "PROGRAM"}
        << QByteArray("echo \"chatty out $4\"\necho '{\"not\": \"ours\"}'\necho \"chatty err\" >&2\n") << QByteArray()
        << 0 << 5 << "\"schema\":\"nx4400c-monitor\"" << "chatty out 039035\\n(.|\\n)*chatty err";
    QTest::newRow("a program that cannot start") << one << "" << QStringList{"--exec", "/nonexistent/notify"}
                                                 << QByteArray() << QByteArray() << 1 << 1 << "^ZCZC" << "could not start /nonexistent/notify";
    // Each run notes its process; one that finds an earlier one still alive says so.
    QTest::newRow("a program that hangs")
        << fiveWarnings().mid(0, 3) << "" << QStringList{"--exec", "PROGRAM", "--exec-timeout", "1"}
        << QByteArray("for p in $(cat pids 2>/dev/null); do kill -0 $p 2>/dev/null && echo overlap >> runs; done\n"
                      "echo $$ >> pids\necho run >> runs\nexec sleep 300\n")
        << QByteArray() << 1 << 3 << "^ZCZC" << "ran longer than 1 s and was ended \\(time-out\\) for ZCZC-WXR-TOR-";
    QTest::newRow("a program that fails") << fiveWarnings().mid(0, 2) << "" << QStringList{"--exec", "PROGRAM"}
                                          << QByteArray("[ \"$4\" = 039055 ] && exit 3\nexit 0\n") << QByteArray() << 1 << 2
                                          << "^ZCZC" << "^monitor: \\S+program.sh exited with status 3 for ZCZC-WXR-TOR-039055";
    QTest::newRow("header claims ten times the file") << one << "ten times" << none << QByteArray() << QByteArray() << 0
                                                     << 1 << "^ZCZC-WXR-TOR-039035"
                                                     << "in.wav: the header claims \\d+ (s|min), the file holds \\d+ s\\n";
}

void TestMonitor::recordings()
{
    QFETCH(QList<QByteArray>, headers);
    QFETCH(QString, wav);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, logBefore);
    QFETCH(int, exitCode);
    QFETCH(int, rows);
    QFETCH(QString, out);
    QFETCH(QString, err);
    TestEnv env;
    const QString log = env.path(QStringLiteral("alerts.csv"));
    if (!logBefore.isEmpty()) {
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(logBefore);
    }
    const int rate = 11025;
    const QVector<qint16> samples = SameSignal::messages(headers, rate);
    qint64 size = wav == QLatin1String("size 0") ? 0 : wav == QLatin1String("size ffffffff") ? 0xFFFFFFFFLL : -1;
    if (wav == QLatin1String("ten times"))
        size = 10 * 2 * qint64(samples.size());
    const QString file = env.path(QStringLiteral("in.wav"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(SameSignal::wavFile(samples, rate, size,
                                    wav == QLatin1String("bext") ? SameSignal::bextChunk("2026-03-06", "14:58:00")
                                                                 : QByteArray()));
    }
    const QString script = env.path(QStringLiteral("program.sh"));
    if (!program.isEmpty())
        writeScript(script, program);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^PROGRAM$")), script);

    QProcess p;
    p.setWorkingDirectory(env.dir.path());
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    p.setProcessEnvironment(e);
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), QStringList{"monitor", "--wav", file, "--csv", log} + args);
    QVERIFY(p.waitForFinished(120000));
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == exitCode, qPrintable(stdOut + stdErr));
    QVERIFY2(QRegularExpression(out).match(stdOut).hasMatch(), qPrintable(stdOut));
    QVERIFY2(QRegularExpression(err).match(stdErr).hasMatch(), qPrintable(stdErr));

    // Standard output holds the monitor's own lines only.
    if (args.contains(QStringLiteral("--json"))) {
        for (const QString &line : stdOut.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError pe;
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8(), &pe).object();
            QVERIFY2(pe.error == QJsonParseError::NoError, qPrintable(line));
            QCOMPARE(o.value(QStringLiteral("schema")).toString(), QStringLiteral("nx4400c-monitor"));
            if (o.value(QStringLiteral("type")).toString() == QLatin1String("header")) {
                QCOMPARE(o.value(QStringLiteral("issueTime")).toString().right(10), QStringLiteral("T15:00:00Z"));
                QCOMPARE(o.value(QStringLiteral("endTime")).toString().right(10), QStringLiteral("T15:30:00Z"));
                QVERIFY(!o.value(QStringLiteral("countyNames")).toArray().isEmpty());
            }
        }
    }
    if (QTest::currentDataTag() == QByteArray("a program that hangs")) {
        QFile runs(env.path(QStringLiteral("runs")));
        QVERIFY(runs.open(QIODevice::ReadOnly));
        QCOMPARE(runs.readAll(), QByteArray("run\nrun\nrun\n"));   // one at a time, each ended
        QFile pids(env.path(QStringLiteral("pids")));
        QVERIFY(pids.open(QIODevice::ReadOnly));
        for (const QByteArray &pid : pids.readAll().split('\n'))
            if (!pid.isEmpty())
                QVERIFY2(::kill(pid.toInt(), 0) != 0, pid.constData());   // none left behind
    }

    AlertLogContent content;
    QString why;
    QVERIFY2(ReadAlertRecord(log, &content, &why), qPrintable(why));
    QList<AlertLogEntry> heard;
    for (const AlertLogEntry &r : std::as_const(content.entries))
        if (r.receiver == QLatin1String("monitor:wav"))
            heard << r;
    QCOMPARE(heard.size(), rows);
    if (!logBefore.isEmpty())
        return;
    for (const AlertLogEntry &r : std::as_const(heard)) {
        QVERIFY(r.header.startsWith(QLatin1String("ZCZC-")));
        QCOMPARE(r.locations.size(), 1);
        QVERIFY(r.heard.isValid());
        if (r.note.isEmpty())   // dated by its issue, day 065 of the year heard
            QCOMPARE(r.localTime.toUTC().time(), QTime(15, 0));
    }
    // Without a time of its own, a recording is heard at the start of the
    // run, never later; with one, at that time.
    if (wav == QLatin1String("bext"))
        QCOMPARE(heard.first().heard.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm")), QStringLiteral("2026-03-06T14:58"));
    else
        QVERIFY(heard.last().heard <= QDateTime::currentDateTime());
    // One audio file per message, none overwritten, each naming the source.
    const QStringList audio = QDir(env.dir.path()).entryList({QStringLiteral("alerts-monitor_wav-*.wav")});
    QCOMPARE(audio.size(), rows);
}

namespace {

QByteArray le16(quint16 v)
{
    return QByteArray(reinterpret_cast<const char *>(&v), 2);
}

QByteArray le32(quint32 v)
{
    return QByteArray(reinterpret_cast<const char *>(&v), 4);
}

// A WAV file put together chunk by chunk, sizes as given.
QByteArray riff(const QList<QByteArray> &chunks)
{
    QByteArray body = "WAVE";
    for (const QByteArray &c : chunks)
        body += c;
    return "RIFF" + le32(quint32(body.size())) + body;
}

QByteArray fmtChunk(int channels, int rate = 8000, int bits = 16)
{
    const int frame = channels * bits / 8;
    return "fmt " + le32(16) + le16(1) + le16(quint16(channels)) + le32(quint32(rate)) + le32(quint32(rate * frame))
        + le16(quint16(frame)) + le16(quint16(bits));
}

QByteArray dataChunk(const QByteArray &pcm)
{
    return "data" + le32(quint32(pcm.size())) + pcm;
}

} // namespace

// Files made to hurt the reader: each is read to its end or refused at
// once, naming what is wrong, and a block never grows with a claim.
void TestMonitor::hostileWav_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");     // pattern; empty: it opens
    QTest::addColumn<qint64>("samples");    // mono samples read to the end

    const QByteArray pcm(1600, '\x10');
    // An INFO list whose sub-chunk claims nearly 4 GiB: a 32-bit walk would
    // wrap to where it stood and never end.
    const QByteArray info = "INFO" + QByteArray("ICRD") + le32(0xFFFFFFF8u) + QByteArray(8, 'x');
    QTest::newRow("LIST sub-chunk of 0xFFFFFFF8") << riff({fmtChunk(1), "LIST" + le32(quint32(info.size())) + info, dataChunk(pcm)})
                                                  << QString() << qint64(800);
    const QByteArray twoEntries = "INFO" + QByteArray("ICRD") + le32(0xFFFFFFFFu) + "INAM" + le32(0xFFFFFFF7u);
    QTest::newRow("LIST sub-chunks of odd huge sizes") << riff({fmtChunk(1), "LIST" + le32(quint32(twoEntries.size())) + twoEntries, dataChunk(pcm)})
                                                       << QString() << qint64(800);
    QTest::newRow("65535 channels") << riff({fmtChunk(65535), dataChunk(pcm)})
                                    << "the WAV file has 65535 channels; the monitor takes 1 to 8" << qint64(0);
    QTest::newRow("9 channels") << riff({fmtChunk(9), dataChunk(pcm)}) << "has 9 channels" << qint64(0);
    QTest::newRow("8 channels are mixed") << riff({fmtChunk(8), dataChunk(pcm)}) << QString() << qint64(100);
    QTest::newRow("chunk before the data past the end") << riff({fmtChunk(1), "junk" + le32(900000) + "xx"})
                                                        << "ends inside a chunk" << qint64(0);
}

void TestMonitor::hostileWav()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QFETCH(qint64, samples);
    QBuffer in(&file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    WavStream wav;
    QString why;
    const bool opened = wav.open(&in, &why);
    QVERIFY2(opened == error.isEmpty(), qPrintable(why));
    if (!opened) {
        QVERIFY2(QRegularExpression(error).match(why).hasMatch(), qPrintable(why));
        return;
    }
    qint64 read = 0;
    for (int blocks = 0;; ++blocks) {
        const QVector<qint16> block = wav.read(4096);
        if (block.isEmpty())
            break;
        QVERIFY(blocks < 100);
        read += block.size();
    }
    QCOMPARE(read, samples);
    // The whole-file reader agrees.
    QVector<qint16> whole;
    int rate = 0;
    QVERIFY2(readWavSamples(file, &whole, &rate, &why), qPrintable(why));
    QCOMPARE(qint64(whole.size()), samples);
}

// A monitor ended by SIGTERM takes its --exec program, and what that
// started, with it.
void TestMonitor::execEndsWithMonitor()
{
    TestEnv env;
    const QString script = env.path(QStringLiteral("program.sh"));
    writeScript(script, "echo $$ > " + QFile::encodeName(env.path(QStringLiteral("pid"))) + "\nsleep 300 &\necho $! > "
                            + QFile::encodeName(env.path(QStringLiteral("grandchild"))) + "\nwait\n");
    SameAudio::WavInfo info;
    QVERIFY(SameAudio::parseWav(weeklyTestWav(), &info));
    QByteArray raw;
    for (char c : std::as_const(info.data)) {
        const qint16 v = qint16((int(uint8_t(c)) - 128) * 256);
        raw.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    QProcess p;
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"),
            QStringList{"monitor", "--raw", "--rate", "8000", "--csv", env.path(QStringLiteral("alerts.csv")), "--exec", script});
    QVERIFY(p.waitForStarted(5000));
    p.write(raw);   // standard input stays open: the monitor keeps listening
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(env.path(QStringLiteral("grandchild"))).size() > 0, 30000);
    QList<int> pids;
    for (const char *name : {"pid", "grandchild"}) {
        QFile f(env.path(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        pids << f.readAll().trimmed().toInt();
        QVERIFY(pids.last() > 0);
    }
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    auto gone = [](int pid) {
        // Ended, or a zombie waiting for whoever adopted it to reap it.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray s = stat.readAll();
        const qsizetype close = s.lastIndexOf(')');
        return close > 0 && s.mid(close + 2, 1) == "Z";
    };
    for (int pid : std::as_const(pids))
        QTRY_VERIFY2_WITH_TIMEOUT(gone(pid), qPrintable(QString::number(pid)), 5000);
}

void TestMonitor::datesInTheMonitorsZone_data()
{
    // A warning issued at 02:30 UTC on 7 March 2026 (day 066), heard a
    // minute later: the row's date and the text's times are the monitor's
    // own zone's, whatever the computer's is.
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("localTime");   // the log row's, with its offset
    QTest::addColumn<QString>("issued");      // as the text line gives it
    QTest::newRow("Denver: the evening before")
        << "America/Denver" << "2026-03-06T19:30:00-07:00" << "(issued 19:30 MST)";
    QTest::newRow("Tokyo: the same morning")
        << "Asia/Tokyo" << "2026-03-07T11:30:00+09:00" << "(issued 11:30 JST)";
    QTest::newRow("an alias: US/Pacific")
        << "US/Pacific" << "2026-03-06T18:30:00-08:00" << "(issued 18:30 PST)";
    QTest::newRow("a fixed offset: Etc/GMT+7")
        << "Etc/GMT+7" << "2026-03-06T19:30:00-07:00" << "(issued 19:30 ";
}

void TestMonitor::datesInTheMonitorsZone()
{
    QFETCH(QString, zone);
    QFETCH(QString, localTime);
    QFETCH(QString, issued);
    MonitorMessage m;
    int length = 0;
    QCOMPARE(parseSameHeader("ZCZC-WXR-TOR-048113+0100-0660230-KFWD/NWS-", &length, &m.report.header),
             SameParse::Complete);
    m.report.header.text = "ZCZC-WXR-TOR-048113+0100-0660230-KFWD/NWS-";
    m.source = QStringLiteral("monitor:wav");
    m.zone = QTimeZone(zone.toUtf8());
    QVERIFY(m.zone.isValid());
    m.heard = QDateTime(QDate(2026, 3, 7), QTime(2, 31), Qt::UTC).toTimeZone(m.zone);
    m.heard = m.heard.toOffsetFromUtc(m.heard.offsetFromUtc());
    const AlertLogEntry e = monitorLogEntry(m);
    QCOMPARE(e.localTime.toString(Qt::ISODate), localTime);
    QCOMPARE(e.localTime.toSecsSinceEpoch(), QDateTime(QDate(2026, 3, 7), QTime(2, 30), Qt::UTC).toSecsSinceEpoch());
    const QString line = monitorTextLine(m);
    QVERIFY2(line.contains(issued), qPrintable(line));
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
