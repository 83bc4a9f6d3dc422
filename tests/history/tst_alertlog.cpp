// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV alert log that `nx4400c-cli transfer --csv` keeps: one line per
// alert, never twice, across runs, year ends and daylight changes.
#include "HistoryFixture.h"
#include "support/TestEnv.h"

#include "history/core/AlertLog.h"

#include <QtTest>

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

private:
    QList<AlertLogEntry> run(const QString &path, int *unreadable = nullptr)
    {
        int bad = 0;
        const QList<AlertLogEntry> alerts = AlertLogEntries(m_env->ctx->historySource(), &bad);
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
             QStringList({AlertLogHeader,
                          QStringLiteral("2026-03-05T22:05:00-04:00,CIV,HMW,Hazardous Materials Warning,Watch,02:15"),
                          QStringLiteral("2026-06-01T10:30:00-04:00,WXR,TOR,Tornado Warning,Warning,01:00")}));
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
    // A log last saved by a spreadsheet on another system: CR LF line ends
    // and no line end after the last line.
    const QByteArray before = AlertLogHeader.toUtf8()
        + "\r\n2026-04-10T10:30:00-04:00,WXR,TOR,Tornado Warning,Warning,01:00";
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
             before + "\n2026-04-11T10:30:00-04:00,WXR,TOA,Tornado Watch,Watch,01:00\n");
}

void TestAlertLog::quotedFieldsRoundTrip()
{
    AppContext &ctx = *m_env->ctx;
    putSlot(ctx, 0, "100 14:30 A,\" TOR 0100");
    QCOMPARE(run(m_log).size(), 1);
    QCOMPARE(logLines(m_log).at(1),
             QStringLiteral("2026-04-10T10:30:00-04:00,\"A,\"\"\",TOR,Tornado Warning,Warning,01:00"));
    QCOMPARE(SplitCsvLine(logLines(m_log).at(1)).at(1), QStringLiteral("A,\""));
    QVERIFY(run(m_log).isEmpty());
}

QTEST_GUILESS_MAIN(TestAlertLog)
#include "tst_alertlog.moc"
