// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV alert log that `nx4400c-cli transfer --csv` keeps: one line per
// alert, never twice, across runs, year ends and daylight changes.
#include "HistoryFixture.h"
#include "support/TestEnv.h"

#include "history/core/AlertLog.h"
#include "monitor/core/MonitorSession.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList logLines(const QString &path)
{
    QStringList l = QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'));
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

} // namespace

class TestAlertLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { pinLocale(); }
    void init();

    void newLogHoldsHeaderAndAlertsOldestFirst();
    void secondRunAddsNothing();
    void onlyNewAlertsAreAdded();
    void daylightChangeLogsNothingTwice();
    void yearEnd();
    void repeatedIdenticalAlerts();
    void unreadableSlotsAreCountedNotLogged();
    void foreignFileIsRefused_data();
    void foreignFileIsRefused();
    void existingBytesAreKept();
    void quotedFieldsRoundTrip();

    void spreadsheetFormulasAreText_data();
    void spreadsheetFormulasAreText();
    void receiverColumn();
    void oldLogKeepsSixColumns();
    void nonRegularTargetsAreRefused_data();
    void nonRegularTargetsAreRefused();
    void ownerAndModeStay();
    void linesOfOtherProgramsSurvive();
    void lockHeldTooLongIsReported();
    void concurrentWritersLoseNothing();
    void tornAndEdgeRows_data();
    void tornAndEdgeRows();
    void upgrade_data();
    void upgrade();
    void offAirRows_data();
    void offAirRows();
    void monitorRefusesOlderLayouts_data();
    void monitorRefusesOlderLayouts();

private:
    QList<AlertLogEntry> run(const QString &path, int *unreadable = nullptr)
    {
        int bad = 0;
        const QList<AlertLogEntry> alerts
            = AlertLogEntries(m_env->ctx->historySource(), QStringLiteral("/dev/ttyUSB0"), &bad);
        if (unreadable)
            *unreadable = bad;
        const AlertLogMerge m = AppendAlertLog(path, alerts);
        if (!m.ok)
            qWarning() << m.error;
        return m.added;
    }

    std::unique_ptr<TestEnv> m_env;
    QString m_log;
};

void TestAlertLog::init()
{
    m_env = std::make_unique<TestEnv>();
    AppContext &ctx = *m_env->ctx;
    m_env->clock.set(QDateTime(QDate(2026, 6, 1), QTime(12, 0)));
    ctx.config.TimeZoneOffset = -5;
    ctx.config.DaylightSavings = true;
    ctx.DaylightTimeActive = true;
    m_log = m_env->path(QStringLiteral("alerts.csv"));
}

void TestAlertLog::newLogHoldsHeaderAndAlertsOldestFirst()
{
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "152 14:30 WXR TOR 0100");   // 1 June
    putSlot(ctx, 1, "065 02:05 CIV HMW 0215");   // 5 March, crossing midnight
    QCOMPARE(run(m_log).size(), 2);
    QCOMPARE(logLines(m_log),
             QStringList({AlertLogHeaderWithMonitor,
                          QStringLiteral("2026-03-05T22:05:00-04:00,CIV,HMW,Hazardous Materials Warning,Watch,02:15,/dev/ttyUSB0,,,,"),
                          QStringLiteral("2026-06-01T10:30:00-04:00,WXR,TOR,Tornado Warning,Warning,01:00,/dev/ttyUSB0,,,,")}));
}

void TestAlertLog::secondRunAddsNothing()
{
    AppContext &ctx = *m_env->ctx;
    for (int k = 0; k < 40; ++k)
        putSlot(ctx, k, QStringLiteral("%1 10:00 WXR RWT 0015").arg(100 + k).toLatin1().constData());
    QCOMPARE(run(m_log).size(), 40);
    const QByteArray first = readAll(m_log);
    const QDateTime written = QFileInfo(m_log).lastModified();
    QVERIFY(run(m_log).isEmpty());
    QCOMPARE(readAll(m_log), first);
    QCOMPARE(QFileInfo(m_log).lastModified(), written);
}

void TestAlertLog::onlyNewAlertsAreAdded()
{
    AppContext &ctx = *m_env->ctx;
    for (int k = 0; k < 40; ++k)
        putSlot(ctx, k, QStringLiteral("%1 10:00 WXR RWT 0015").arg(140 - k).toLatin1().constData());
    run(m_log);
    // The receiver pushed one new alert in front; the oldest dropped out.
    for (int k = 39; k > 0; --k)
        std::memcpy(ctx.session().ReceiveBuffer.data() + 32 * k, ctx.session().ReceiveBuffer.constData() + 32 * (k - 1), 32);
    putSlot(ctx, 0, "141 11:00 WXR TOR 0030");
    const QList<AlertLogEntry> added = run(m_log);
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().code, QStringLiteral("TOR"));
    QCOMPARE(logLines(m_log).size(), 1 + 41);
}

void TestAlertLog::daylightChangeLogsNothingTwice()
{
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "100 14:30 WXR TOR 0100");
    run(m_log);
    ctx.DaylightTimeActive = false;   // autumn: same alerts, one hour earlier on the clock
    QVERIFY(run(m_log).isEmpty());
    ctx.config.TimeZoneOffset = -6;   // the user moved the setting
    QVERIFY(run(m_log).isEmpty());
    QCOMPARE(logLines(m_log).size(), 2);
}

void TestAlertLog::yearEnd()
{
    AppContext &ctx = *m_env->ctx;
    m_env->clock.set(QDateTime(QDate(2026, 12, 31), QTime(20, 0)));
    putSlot(ctx, 0, "365 18:00 WXR WSW 0600");
    QCOMPARE(run(m_log).size(), 1);
    // Read again on New Year's Day: the same alert, still last year.
    m_env->clock.set(QDateTime(QDate(2027, 1, 1), QTime(1, 0)));
    putSlot(ctx, 1, "001 16:00 WXR WSA 0600");
    const QList<AlertLogEntry> added = run(m_log);
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().localTime.date(), QDate(2027, 1, 1));
    QCOMPARE(logLines(m_log).at(1).left(10), QStringLiteral("2026-12-31"));
    QCOMPARE(logLines(m_log).size(), 3);
}

void TestAlertLog::repeatedIdenticalAlerts()
{
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "100 14:30 WXR TOR 0100");
    putSlot(ctx, 1, "100 14:30 WXR TOR 0100");
    QCOMPARE(run(m_log).size(), 2);
    QVERIFY(run(m_log).isEmpty());
    putSlot(ctx, 2, "100 14:30 WXR TOR 0100");
    QCOMPARE(run(m_log).size(), 1);
    QCOMPARE(logLines(m_log).size(), 4);
}

void TestAlertLog::unreadableSlotsAreCountedNotLogged()
{
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "1x0 14:30 WXR TOR 0100");
    putSlot(ctx, 1, "100 14-30 WXR TOR 0100");
    putSlot(ctx, 2, "100 14:30 WXR TOR 0100");
    int unreadable = 0;
    QCOMPARE(run(m_log, &unreadable).size(), 1);
    QCOMPARE(unreadable, 2);
}

void TestAlertLog::foreignFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("other csv") << QByteArray("Name,Phone\nBob,555\n");
    QTest::newRow("text") << QByteArray("notes about storms");
    QTest::newRow("binary") << QByteArray("\x7f" "ELF\x02\x01\x01\x00", 8);
}

void TestAlertLog::foreignFileIsRefused()
{
    QFETCH(QByteArray, content);
    QFile f(m_log);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    putSlot(*m_env->ctx, 0, "100 14:30 WXR TOR 0100");
    const AlertLogMerge m = AppendAlertLog(m_log, AlertLogEntries(m_env->ctx->historySource()));
    QVERIFY(!m.ok);
    QVERIFY(!m.error.isEmpty());
    QCOMPARE(readAll(m_log), content);
}

void TestAlertLog::existingBytesAreKept()
{
    // A six-column log last saved by a spreadsheet on another system, with
    // CR LF line ends: kept byte for byte, the new row in its layout.
    const QByteArray before = AlertLogHeader.toUtf8()
        + "\r\n2026-04-10T10:30:00-04:00,WXR,TOR,Tornado Warning,Warning,01:00\r\n";
    QFile f(m_log);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(before);
    f.close();
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "100 14:30 WXR TOR 0100");   // the same alert
    putSlot(ctx, 1, "101 14:30 WXR TOA 0100");
    const QList<AlertLogEntry> added = run(m_log);
    QCOMPARE(added.size(), 1);
    QCOMPARE(readAll(m_log),
             before + "2026-04-11T10:30:00-04:00,WXR,TOA,Tornado Watch,Watch,01:00\n");
}

void TestAlertLog::quotedFieldsRoundTrip()
{
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "100 14:30 A,\" TOR 0100");
    QCOMPARE(run(m_log).size(), 1);
    QCOMPARE(logLines(m_log).at(1),
             QStringLiteral("2026-04-10T10:30:00-04:00,\"A,\"\"\",TOR,Tornado Warning,Warning,01:00,/dev/ttyUSB0,,,,"));
    QCOMPARE(SplitCsvLine(logLines(m_log).at(1)).at(1), QStringLiteral("A,\""));
    QVERIFY(run(m_log).isEmpty());
}

namespace {

AlertLogEntry alert(const QString &when, const QString &org, const QString &code, const QString &length,
                    const QString &receiver = QString())
{
    AlertLogEntry e;
    e.localTime = QDateTime::fromString(when, Qt::ISODate);
    e.originator = org;
    e.code = code;
    e.name = QStringLiteral("Required Weekly Test");
    e.length = length;
    e.receiver = receiver;
    return e;
}

} // namespace

void TestAlertLog::spreadsheetFormulasAreText_data()
{
    QTest::addColumn<QString>("org");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("written");   // the row's fields after the date, as in the file
    QTest::newRow("equals") << "=1+" << "01:00" << R"("'=1+",RWT)";
    QTest::newRow("plus") << "+A1" << "01:00" << R"("'+A1",RWT)";
    QTest::newRow("minus length") << "WXR" << "-1:00" << R"(WXR,RWT,Required Weekly Test,Other,"'-1:00")";
    QTest::newRow("at") << "@SU" << "01:00" << R"("'@SU",RWT)";
    QTest::newRow("tab") << "\tAB" << "01:00" << "\"'\tAB\",RWT";
    QTest::newRow("quote first") << "'=A" << "01:00" << R"("''=A",RWT)";
    QTest::newRow("quote and comma") << "'," << "01:00" << R"("'',",RWT)";
    QTest::newRow("plain") << "WXR" << "00:15" << "WXR,RWT,Required Weekly Test,Other,00:15";
}

void TestAlertLog::spreadsheetFormulasAreText()
{
    QFETCH(QString, org);
    QFETCH(QString, length);
    QFETCH(QString, written);
    const QList<AlertLogEntry> alerts{alert(QStringLiteral("2026-03-04T10:00:00-05:00"), org, QStringLiteral("RWT"), length)};
    QVERIFY(AppendAlertLog(m_log, alerts).ok);
    const QString row = logLines(m_log).at(1);
    QVERIFY2(row.contains(written), qPrintable(row));
    // Read back to the value received, so the next run finds it logged.
    const QStringList f = SplitCsvLine(row);
    QCOMPARE(f.at(1), org);
    QCOMPARE(f.at(5), length);
    const AlertLogMerge again = AppendAlertLog(m_log, alerts);
    QVERIFY(again.ok);
    QVERIFY(again.added.isEmpty());
    // An old unguarded quoted field that merely begins with ' stays as it is.
    QCOMPARE(SplitCsvLine(QStringLiteral("\"'x,y\",'=z")), QStringList({"'x,y", "'=z"}));
}

void TestAlertLog::receiverColumn()
{
    const QString t = QStringLiteral("2026-03-04T10:00:00-05:00");
    const AlertLogMerge first = AppendAlertLog(m_log, {alert(t, "WXR", "RWT", "00:15", "Roof")});
    QVERIFY(first.ok && first.receiverColumn);
    QCOMPARE(logLines(m_log).first(), AlertLogHeaderWithMonitor);
    // A receiver's row leaves the monitor's columns empty.
    QVERIFY(logLines(m_log).at(1).endsWith(QLatin1String(",00:15,Roof,,,,")));
    // The same alert heard by a second receiver is its own row; heard again
    // by the first, it is not.
    const AlertLogMerge second
        = AppendAlertLog(m_log, {alert(t, "WXR", "RWT", "00:15", "Roof"), alert(t, "WXR", "RWT", "00:15", "Office")});
    QCOMPARE(second.added.size(), 1);
    QCOMPARE(second.added.first().receiver, QStringLiteral("Office"));
    AlertLogContent content;
    QVERIFY(ReadAlertLog(m_log, &content));
    QCOMPARE(content.entries.size(), 2);
    QCOMPARE(content.entries.at(1).receiver, QStringLiteral("Office"));
}

void TestAlertLog::oldLogKeepsSixColumns()
{
    const QString t = QStringLiteral("2026-03-04T10:00:00-05:00");
    QFile old(m_log);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(AlertLogText({alert(t, "WXR", "RWT", "00:15")}, false));
    old.close();
    const AlertLogMerge m = AppendAlertLog(m_log, {alert(t, "WXR", "RWT", "00:15", "Roof"),
                                                   alert("2026-03-11T10:00:00-05:00", "WXR", "RWT", "00:15", "Roof")});
    QVERIFY(m.ok);
    QVERIFY(!m.receiverColumn);
    QVERIFY(m.receiverDropped);
    QCOMPARE(m.added.size(), 1);
    for (const QString &line : logLines(m_log))
        QCOMPARE(SplitCsvLine(line).size(), 6);
}

void TestAlertLog::nonRegularTargetsAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("directory") << "dir";
    QTest::newRow("character device") << "/dev/null";
    QTest::newRow("link to a device") << "link-dev";
    QTest::newRow("dangling link") << "dangling";
}

void TestAlertLog::nonRegularTargetsAreRefused()
{
    QFETCH(QString, kind);
    QString target = m_env->path(QStringLiteral("target"));
    const QString pointee = m_env->path(QStringLiteral("nowhere.csv"));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
    else if (kind == QLatin1String("dir"))
        QVERIFY(QDir().mkdir(target));
    else if (kind == QLatin1String("link-dev"))
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), target));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(pointee, target));
    else
        target = kind;
    struct stat before {};
    ::stat(QFile::encodeName(target).constData(), &before);
    QElapsedTimer timer;
    timer.start();
    const AlertLogMerge m = AppendAlertLog(target, {alert("2026-03-04T10:00:00-05:00", "WXR", "RWT", "00:15")}, 2000);
    QVERIFY(timer.elapsed() < 1500);   // refused at once, no lock wait and no blocked open
    QVERIFY(!m.ok);
    QVERIFY2(m.error.contains(target), qPrintable(m.error));
    struct stat after {};
    ::stat(QFile::encodeName(target).constData(), &after);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_size, before.st_size);
    QVERIFY(!QFileInfo::exists(pointee));
}

void TestAlertLog::ownerAndModeStay()
{
    QVERIFY(AppendAlertLog(m_log, {alert("2026-03-04T10:00:00-05:00", "WXR", "RWT", "00:15")}).ok);
    const QByteArray path = QFile::encodeName(m_log);
    QCOMPARE(::chmod(path.constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(path.constData(), 65534, 65534), 0);   // nobody's log, appended by root
    struct stat before {};
    QCOMPARE(::stat(path.constData(), &before), 0);
    QCOMPARE(AppendAlertLog(m_log, {alert("2026-03-11T10:00:00-05:00", "WXR", "RWT", "00:15")}).added.size(), 1);
    struct stat after {};
    QCOMPARE(::stat(path.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);   // the same file, not a replacement
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(logLines(m_log).size(), 3);
}

void TestAlertLog::linesOfOtherProgramsSurvive()
{
    // Another program appends 300 lines, without locking, while this one
    // logs 40 runs of new alerts.
    QVERIFY(AppendAlertLog(m_log, {}).ok);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        const int fd = ::open(QFile::encodeName(m_log).constData(), O_WRONLY | O_APPEND);
        for (int i = 0; i < 300; ++i) {
            const QByteArray line = "2020-01-01T00:00:00+00:00,OTH,ADR,Administrative Message,Other," + QByteArray::number(i) + "\n";
            if (::write(fd, line.constData(), size_t(line.size())) != line.size())
                ::_exit(1);
            ::usleep(300);
        }
        ::_exit(0);
    }
    QDateTime t(QDate(2026, 3, 1), QTime(10, 0), Qt::OffsetFromUTC, -5 * 3600);
    for (int run = 0; run < 40; ++run)
        QVERIFY(AppendAlertLog(m_log, {alert(t.addDays(run).toString(Qt::ISODate), "WXR", "RWT", "00:15")}).ok);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WEXITSTATUS(status), 0);
    AlertLogContent content;
    QVERIFY(ReadAlertLog(m_log, &content));
    QCOMPARE(content.skipped, 0);
    QCOMPARE(content.entries.size(), 340);
}

void TestAlertLog::lockHeldTooLongIsReported()
{
    QVERIFY(AppendAlertLog(m_log, {}).ok);
    const QByteArray before = readAll(m_log);
    const int fd = ::open(QFile::encodeName(m_log).constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX), 0);
    QElapsedTimer timer;
    timer.start();
    const AlertLogMerge m = AppendAlertLog(m_log, {alert("2026-03-04T10:00:00-05:00", "WXR", "RWT", "00:15")}, 300);
    const qint64 waited = timer.elapsed();
    ::close(fd);
    QVERIFY(!m.ok);
    QVERIFY2(m.error.contains(m_log) && m.error.contains(QLatin1String("locked")), qPrintable(m.error));
    QVERIFY(waited >= 250 && waited < 3000);
    QCOMPARE(readAll(m_log), before);
}

void TestAlertLog::concurrentWritersLoseNothing()
{
    // Four processes log 20 rounds each into one new log; every round a
    // process reports its last 40 alerts, one of them new.
    constexpr int Writers = 4;
    constexpr int Rounds = 20;
    const QDateTime base(QDate(2026, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, -5 * 3600);
    QList<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            QList<AlertLogEntry> history;
            for (int r = 0; r < Rounds; ++r) {
                history << alert(base.addSecs(3600 * (r * Writers + w)).toString(Qt::ISODate), "WXR", "RWT", "00:15");
                if (history.size() > 40)
                    history.removeFirst();
                const AlertLogMerge m = AppendAlertLog(m_log, history);
                if (!m.ok || m.added.size() != 1)
                    ::_exit(1);
            }
            ::_exit(0);
        }
        children << pid;
    }
    for (pid_t pid : children) {
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QCOMPARE(WEXITSTATUS(status), 0);
    }
    AlertLogContent content;
    QVERIFY(ReadAlertLog(m_log, &content));
    QCOMPARE(content.entries.size(), Writers * Rounds);
    QSet<QDateTime> seen;
    for (const AlertLogEntry &e : content.entries)
        seen.insert(e.localTime);
    QCOMPARE(seen.size(), Writers * Rounds);
    QCOMPARE(logLines(m_log).count(AlertLogHeaderWithMonitor), 1);
}

namespace {

const QByteArray RowA = "2026-03-04T10:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15,Roof";
const QByteArray RowB = "2026-03-06T14:05:00-05:00,WXR,TOR,Tornado Warning,Warning,00:30,Roof";
const QByteArray Header7 = AlertLogHeaderWithReceiver.toUtf8();

AlertLogEntry row(const QByteArray &line)
{
    AlertLogEntry e;
    const bool ok = ParseAlertLogRow(line, true, &e);
    Q_ASSERT(ok);
    return e;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

void TestAlertLog::tornAndEdgeRows_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QList<QByteArray>>("alerts");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("rows");      // read back after the append
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("torn");
    const QByteArray h = Header7 + '\n';
    const QByteArray tail = ",WXR,RWT,Required Weekly Test,Other,00:15,Roof\n";
    // A crash or a full disk cut the last row: it is no alert, matches
    // nothing, and the complete row comes in on a fresh line.
    QTest::newRow("torn in the length") << h + RowA + '\n' + RowB.left(RowB.indexOf(",Roof") - 1)
                                        << QList<QByteArray>{RowA, RowB} << 1 << 2 << 0 << 1;
    QTest::newRow("torn in the receiver") << h + RowA + '\n' + RowB.left(RowB.size() - 2)
                                          << QList<QByteArray>{RowA, RowB} << 1 << 2 << 0 << 1;
    QTest::newRow("torn in the date") << h + RowB.left(7) << QList<QByteArray>{RowB} << 1 << 1 << 0 << 1;
    QTest::newRow("header without its line end") << Header7 << QList<QByteArray>{RowA} << 1 << 1 << 0 << 0;
    QTest::newRow("CR LF, last row whole") << Header7 + "\r\n" + RowA + "\r\n" << QList<QByteArray>{RowA, RowB}
                                           << 1 << 2 << 0 << 0;
    // Dates: the full form with its offset, years 1900 to 9999.
    QTest::newRow("year -001") << h + "-001-01-01T10:00:00-05:00" + tail << QList<QByteArray>{RowA} << 1 << 1 << 1 << 0;
    QTest::newRow("year 1899") << h + "1899-12-31T10:00:00-05:00" + tail << QList<QByteArray>{} << 0 << 0 << 1 << 0;
    QTest::newRow("year 10000") << h + "10000-01-01T10:00:00-05:00" + tail << QList<QByteArray>{} << 0 << 0 << 1 << 0;
    QTest::newRow("date only") << h + "2026-01-01" + tail << QList<QByteArray>{} << 0 << 0 << 1 << 0;
    QTest::newRow("no offset") << h + "2026-01-01T10:00:00" + tail << QList<QByteArray>{} << 0 << 0 << 1 << 0;
    QTest::newRow("years 1900 and 9999") << h + "1900-01-01T00:00:00+00:00" + tail + "9999-12-31T23:59:00-05:00" + tail
                                         << QList<QByteArray>{} << 0 << 2 << 0 << 0;
    // A quoted field may hold a line break: one row, not two.
    QTest::newRow("line break in a quoted field")
        << h + "2026-03-04T10:00:00-05:00,WXR,RWT,\"Required\nWeekly Test\",Other,00:15,Roof\n"
        << QList<QByteArray>{RowA, RowB} << 1 << 2 << 0 << 0;
    // The same instant in UTC is the same alert.
    QTest::newRow("UTC as Z") << h + "2026-03-04T15:00:00Z" + tail << QList<QByteArray>{RowA} << 0 << 1 << 0 << 0;
}

void TestAlertLog::tornAndEdgeRows()
{
    QFETCH(QByteArray, log);
    QFETCH(QList<QByteArray>, alerts);
    QFETCH(int, added);
    QFETCH(int, rows);
    QFETCH(int, skipped);
    QFETCH(int, torn);
    writeFile(m_log, log);
    QList<AlertLogEntry> entries;
    for (const QByteArray &a : alerts)
        entries << row(a);
    const AlertLogMerge m = AppendAlertLog(m_log, entries);
    QVERIFY2(m.ok, qPrintable(m.error));
    QCOMPARE(m.added.size(), added);
    QCOMPARE(m.tornRow, torn > 0);
    if (torn > 0)
        QVERIFY2(m.notice.contains(m_log), qPrintable(m.notice));
    // Never rewritten: the old bytes lead the file.
    const QByteArray after = readAll(m_log);
    QVERIFY(after.startsWith(log));
    QVERIFY(after.endsWith('\n'));
    // Read back, and again after a second append that adds nothing.
    for (int pass = 0; pass < 2; ++pass) {
        AlertLogContent content;
        QString why;
        QVERIFY2(ReadAlertLog(m_log, &content, &why), qPrintable(why));
        QCOMPARE(content.entries.size(), rows);
        QCOMPARE(content.skipped, skipped);
        QCOMPARE(content.torn, torn);
        if (skipped > 0)
            QVERIFY2(content.firstProblem.startsWith(QLatin1String("line 2:")), qPrintable(content.firstProblem));
        const AlertLogMerge again = AppendAlertLog(m_log, entries);
        QVERIFY(again.ok && again.added.isEmpty() && !again.tornRow);
        QCOMPARE(readAll(m_log), after);
    }
}

void TestAlertLog::upgrade_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<bool>("backupThere");
    QTest::addColumn<int>("rows");     // -1: left alone; -2: refused
    QTest::addColumn<QString>("setup"); // "link": upgraded through a symbolic link; "stale": FILE.bak is the log itself
    const QByteArray six = AlertLogHeader.toUtf8() + '\n' + RowA.left(RowA.lastIndexOf(',')) + '\n'
        + RowB.left(RowB.lastIndexOf(',')) + '\n';
    const QByteArray seven = Header7 + '\n' + RowA + '\n';
    QTest::newRow("six columns") << six << "/dev/ttyUSB0" << false << 2 << "";
    QTest::newRow("six columns, torn last row") << six + "2026-03-0" << "Roof, east" << false << 2 << "";
    QTest::newRow("receiver column, no name needed") << seven << "" << false << 1 << "";
    QTest::newRow("current layout already") << AlertLogHeaderWithMonitor.toUtf8() + '\n' + RowA + ",,,,\n" << "Roof"
                                            << false << -1 << "";
    QTest::newRow("backup in the way") << six << "Roof" << true << -2 << "";
    QTest::newRow("not a log") << QByteArray("Name,Phone\n") << "Roof" << false << -2 << "";
    QTest::newRow("no receiver name") << six << " " << false << -2 << "";
    QTest::newRow("through a symbolic link") << six << "Roof" << false << 2 << "link";
    QTest::newRow("backup left by a killed upgrade") << six << "Roof" << false << 2 << "stale";
}

void TestAlertLog::upgrade()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, receiver);
    QFETCH(bool, backupThere);
    QFETCH(int, rows);
    QFETCH(QString, setup);
    const QString target = m_env->path(QStringLiteral("real-alerts.csv"));
    writeFile(setup == QLatin1String("link") ? target : m_log, log);
    if (setup == QLatin1String("link"))
        QVERIFY(QFile::link(target, m_log));
    const QString bak = m_log + QStringLiteral(".bak");
    if (backupThere)
        writeFile(bak, "older\n");
    if (setup == QLatin1String("stale"))
        QVERIFY(::link(QFile::encodeName(m_log).constData(), QFile::encodeName(bak).constData()) == 0);
    QString why;
    const bool sixColumns = log.startsWith(AlertLogHeader.toUtf8() + '\n');
    QCOMPARE(CheckAlertLogNamesReceivers(m_log, &why), !sixColumns && rows != -2);
    if (rows == 2)
        QVERIFY2(why.contains(QLatin1String("nx4400c-cli log upgrade")), qPrintable(why));
    const AlertLogUpgrade u = UpgradeAlertLog(m_log, receiver);
    QCOMPARE(u.ok, rows != -2);
    if (rows < 0) {
        QCOMPARE(readAll(m_log), log);   // untouched
        QCOMPARE(QFileInfo::exists(bak), backupThere);
        if (!u.ok)
            QVERIFY2(u.error.contains(m_log), qPrintable(u.error));
        return;
    }
    QVERIFY2(u.ok, qPrintable(u.error));
    QCOMPARE(u.rows, rows);
    QCOMPARE(u.backup, bak);
    // The backup holds the original, and the link still leads to the log.
    QCOMPARE(readAll(bak), log);
    if (setup == QLatin1String("link")) {
        QVERIFY(QFileInfo(m_log).isSymLink());
        QCOMPARE(readAll(target), readAll(m_log));
    }
    AlertLogContent content;
    QVERIFY(ReadAlertLog(m_log, &content));
    QVERIFY(content.receiverColumn);
    QCOMPARE(content.layout, AlertLogLayoutCurrent);
    QCOMPARE(content.entries.size(), rows);
    for (const AlertLogEntry &e : std::as_const(content.entries))
        QCOMPARE(e.receiver, sixColumns ? receiver : QStringLiteral("Roof"));
    QCOMPARE(content.torn, log.endsWith('\n') ? 0 : 1);
    QVERIFY(CheckAlertLogNamesReceivers(m_log, &why));
    // A batch appends to it now: the old receiver's alert is known, the
    // same alert from another receiver is new.
    AlertLogEntry known = row(RowA);
    known.receiver = sixColumns ? receiver : QStringLiteral("Roof");
    AlertLogEntry other = row(RowA);
    other.receiver = QStringLiteral("Office");
    const AlertLogMerge m = AppendAlertLog(m_log, {known, other});
    QVERIFY(m.ok);
    QCOMPARE(m.added.size(), 1);
    QCOMPARE(m.added.first().receiver, QStringLiteral("Office"));
}

namespace {

// A header as the monitor heard it: "HEADER@HEARD" (HEARD in ISO 8601),
// optionally "@SOURCE" after it.
AlertLogEntry hearing(const QString &heard)
{
    const QStringList p = heard.split(QLatin1Char('@'));
    MonitorMessage m;
    int length = 0;
    const SameParse parsed = parseSameHeader(p.at(0).toLatin1(), &length, &m.report.header);
    Q_ASSERT(parsed == SameParse::Complete);
    m.heard = QDateTime::fromString(p.at(1), Qt::ISODate);
    m.source = p.value(2, QStringLiteral("monitor:hw:1"));
    return monitorLogEntry(m);
}

QList<AlertLogEntry> hearings(const QStringList &specs)
{
    QList<AlertLogEntry> out;
    for (const QString &s : specs)
        out << hearing(s);
    return out;
}

} // namespace

void TestAlertLog::offAirRows_data()
{
    QTest::addColumn<QStringList>("logged");     // appended first
    QTest::addColumn<QStringList>("heard");      // then these
    QTest::addColumn<int>("added");
    QTest::addColumn<QString>("issued");         // the last new row's date in UTC ("" when none is added)
    QTest::addColumn<QString>("note");           // part of its note

    const QString tor = QStringLiteral("ZCZC-WXR-TOR-%1+0030-0651500-KCLE/NWS-");
    const QString h = tor.arg(QStringLiteral("039035"));
    QStringList five;
    for (const char *county : {"039035", "039055", "039085", "039093", "039103"})
        five << tor.arg(QLatin1String(county))
                    + QStringLiteral("@2026-03-06T15:00:%1Z").arg(five.size() * 10, 2, 10, QLatin1Char('0'));
    QTest::newRow("five warnings in one minute") << QStringList() << five << 5 << "2026-03-06T15:00:00Z" << "";
    QTest::newRow("same header, heard twice in one run") << QStringList() << QStringList{h + "@2026-03-06T15:01:00Z", h + "@2026-03-06T15:02:00Z"}
                                                     << 1 << "2026-03-06T15:00:00Z" << "";
    QTest::newRow("repeat inside the purge time") << QStringList{h + "@2026-03-06T15:01:00Z"}
                                                  << QStringList{h + "@2026-03-06T15:29:00Z"} << 0 << "" << "";
    QTest::newRow("repeat after the purge time") << QStringList{h + "@2026-03-06T15:01:00Z"}
                                                 << QStringList{h + "@2026-03-06T15:31:00Z"} << 1
                                                 << "2026-03-06T15:00:00Z" << "";
    QTest::newRow("late relay, heard again within its purge time")
        << QStringList{h + "@2026-03-06T16:00:00Z"} << QStringList{h + "@2026-03-06T16:20:00Z"} << 0 << "" << "";
    QTest::newRow("same header, another monitor") << QStringList{h + "@2026-03-06T15:01:00Z"}
                                                  << QStringList{h + "@2026-03-06T15:02:00Z@monitor:sdr"} << 1
                                                  << "2026-03-06T15:00:00Z" << "";
    QTest::newRow("other purge time, same minute") << QStringList{h + "@2026-03-06T15:01:00Z"}
                                                   << QStringList{QString(h).replace(QLatin1String("+0030"), QLatin1String("+0100"))
                                                                  + "@2026-03-06T15:02:00Z"}
                                                   << 1 << "2026-03-06T15:00:00Z" << "";
    // The header has no year: the one nearest the hearing.
    QTest::newRow("issued December 31, heard January 1")
        << QStringList() << QStringList{"ZCZC-WXR-RWT-039035+0015-3652350-KCLE/NWS-@2027-01-01T00:05:00Z"} << 1
        << "2026-12-31T23:50:00Z" << "";
    QTest::newRow("issued January 1, heard before midnight")
        << QStringList() << QStringList{"ZCZC-WXR-RWT-039035+0015-0010010-KCLE/NWS-@2026-12-31T23:58:00Z"} << 1
        << "2027-01-01T00:10:00Z" << "";
    QTest::newRow("day 366 of a leap year")
        << QStringList() << QStringList{"ZCZC-WXR-RWT-039035+0015-3661200-KCLE/NWS-@2028-12-31T12:10:00Z"} << 1
        << "2028-12-31T12:00:00Z" << "";
    QTest::newRow("replayed recording of last month's test")
        << QStringList() << QStringList{"ZCZC-WXR-RMT-039035+0100-0331400-KCLE/NWS-@2026-03-06T15:00:00Z"} << 1
        << "2026-02-02T14:00:00Z" << "";
    // Heard alike in every burst, but out of range: kept, with a note, at the time heard.
    QTest::newRow("issue day 000") << QStringList()
                                   << QStringList{"ZCZC-WXR-RWT-039035+0015-0001200-KCLE/NWS-@2026-03-06T15:00:00Z"} << 1
                                   << "2026-03-06T15:00:00Z" << "issue day 000";
    QTest::newRow("issue hour 25") << QStringList()
                                   << QStringList{"ZCZC-WXR-RWT-039035+0015-0652500-KCLE/NWS-@2026-03-06T15:00:00Z"} << 1
                                   << "2026-03-06T15:00:00Z" << "issue hour 25";
}

void TestAlertLog::offAirRows()
{
    QFETCH(QStringList, logged);
    QFETCH(QStringList, heard);
    QFETCH(int, added);
    QFETCH(QString, issued);
    QFETCH(QString, note);
    for (const AlertLogEntry &e : hearings(logged))
        QVERIFY(AppendAlertLog(m_log, {e}).ok);
    int total = 0;
    for (const AlertLogEntry &e : hearings(heard)) {
        const AlertLogMerge m = AppendAlertLog(m_log, {e});
        QVERIFY2(m.ok, qPrintable(m.error));
        total += int(m.added.size());
    }
    QCOMPARE(total, added);
    AlertLogContent content;
    QString why;
    QVERIFY2(ReadAlertLog(m_log, &content, &why), qPrintable(why));
    QCOMPARE(content.entries.size(), logged.size() + added);
    if (added == 0)
        return;
    // Read back whole: the locations, the header and both times.
    const AlertLogEntry last = content.entries.last();
    const AlertLogEntry expected = hearing(heard.at(added - 1));   // repeats come after the first
    QCOMPARE(last.localTime.toUTC().toString(Qt::ISODate), issued);
    QCOMPARE(last.header, expected.header);
    QCOMPARE(last.locations, expected.locations);
    QCOMPARE(last.heard, expected.heard);
    QVERIFY2(last.note.contains(note), qPrintable(last.note));
    QCOMPARE(last.note.isEmpty(), note.isEmpty());
}

void TestAlertLog::monitorRefusesOlderLayouts_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("says");
    QTest::newRow("missing") << QByteArray() << true << "";
    QTest::newRow("current layout") << AlertLogHeaderWithMonitor.toUtf8() + '\n' << true << "";
    QTest::newRow("six columns") << AlertLogHeader.toUtf8() + '\n' + RowA.left(RowA.lastIndexOf(',')) + '\n' << false
                                 << "log upgrade";
    QTest::newRow("receiver column") << Header7 + '\n' + RowA + '\n' << false << "log upgrade";
    QTest::newRow("not a log") << QByteArray("Name,Phone\n") << false << "not an alert log";
}

void TestAlertLog::monitorRefusesOlderLayouts()
{
    QFETCH(QByteArray, log);
    QFETCH(bool, accepted);
    QFETCH(QString, says);
    if (!log.isEmpty())
        writeFile(m_log, log);
    QString why;
    QCOMPARE(MonitorSession::logAccepts(m_log, &why), accepted);
    QVERIFY2(why.contains(says), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestAlertLog)
#include "tst_alertlog.moc"
