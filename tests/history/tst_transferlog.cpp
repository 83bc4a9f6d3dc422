// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer log beside the alert log, the metrics made of it, and the
// receiver rename that joins a receiver's history across both logs.
#include "history/core/AlertLog.h"
#include "history/core/AlertLogRename.h"
#include "history/core/LockedLogFile.h"
#include "history/core/TransferLog.h"

#include <QtTest>

#include <memory>
#include <thread>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QDateTime utc(int day, int hour)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, 0), Qt::UTC);
}

} // namespace

class TestTransferLog : public QObject
{
    Q_OBJECT

private slots:
    void pathBesideTheAlertLog_data();
    void pathBesideTheAlertLog();
    void summariesAndMetrics();
    void rowsSurviveHostileText();
    void refusesWhatIsNotATransferLog();
    void rename_data();
    void rename();
    void writerWaitingForTheLockAppendsToTheReplacedLog();

private:
    QTemporaryDir m_dir;
};

void TestTransferLog::pathBesideTheAlertLog_data()
{
    QTest::addColumn<QString>("alertLog");
    QTest::addColumn<QString>("transferLog");
    QTest::newRow("default") << "/home/u/.local/share/NX4400C/alerts.csv" << "/home/u/.local/share/NX4400C/alerts-transfers.csv";
    QTest::newRow("two dots") << "/srv/district.2026.csv" << "/srv/district.2026-transfers.csv";
    QTest::newRow("no suffix") << "/srv/log" << "/srv/log-transfers.csv";
}

void TestTransferLog::pathBesideTheAlertLog()
{
    QFETCH(QString, alertLog);
    QTEST(TransferLogPathFor(alertLog), "transferLog");
}

void TestTransferLog::summariesAndMetrics()
{
    const QString path = m_dir.filePath(QStringLiteral("summaries.csv"));
    QString why;
    QVERIFY2(AppendTransferLog(path, {{utc(1, 6), "north", true, {}, "2.05"}, {utc(1, 6), "south", true, {}, "2.01"}}, &why),
             qPrintable(why));
    QVERIFY(AppendTransferLog(path, {{utc(1, 7), "north", false, "Port Connect Failed: Error #202", {}}}, &why));
    // A torn row (a crash while writing) is left out, and the next row
    // starts on a line of its own.
    QFile torn(path);
    QVERIFY(torn.open(QIODevice::Append));
    torn.write("2026-03-01T08:00:00Z,south,fai");
    torn.close();
    QVERIFY(AppendTransferLog(path, {{utc(1, 9), "south", false, "Upload Failure", {}}}, &why));
    QVERIFY(AppendTransferLog(path, {{utc(1, 10), "north", true, {}, "2.06"}}, &why));

    QList<TransferSummary> s;
    int skipped = -1;
    QVERIFY2(ReadTransferSummaries(path, {}, &s, &skipped, &why), qPrintable(why));
    QCOMPARE(skipped, 1);   // the torn row
    QCOMPARE(s.size(), 2);
    QCOMPARE(s[0].receiver, QStringLiteral("north"));
    QCOMPARE(s[0].lastTime, utc(1, 10));
    QVERIFY(s[0].lastOk);
    QCOMPARE(s[0].failures, 1);
    QCOMPARE(s[0].transfers, 3);
    QCOMPARE(s[0].romVersion, QStringLiteral("2.06"));
    QCOMPARE(s[1].receiver, QStringLiteral("south"));
    QVERIFY(!s[1].lastOk);
    QCOMPARE(s[1].lastReason, QStringLiteral("Upload Failure"));
    QCOMPARE(s[1].romVersion, QStringLiteral("2.01"));

    const QByteArray m = TransferOpenMetrics(s);
    QVERIFY(m.contains("nx4400c_last_transfer_success{receiver=\"north\"} 1\n"));
    QVERIFY(m.contains("nx4400c_last_transfer_success{receiver=\"south\"} 0\n"));
    QVERIFY(m.contains("nx4400c_transfer_failures_total{receiver=\"north\"} 1\n"));
    QVERIFY(m.contains("nx4400c_last_transfer_timestamp_seconds{receiver=\"south\"} "
                       + QByteArray::number(utc(1, 9).toSecsSinceEpoch()) + '\n'));
    QVERIFY(m.contains("# TYPE nx4400c_transfer_failures_total counter\n"));

    // --receiver keeps only the receivers named; a missing log is empty.
    s.clear();
    QVERIFY(ReadTransferSummaries(path, {QStringLiteral("south")}, &s, &skipped, &why));
    QCOMPARE(s.size(), 1);
    s.clear();
    QVERIFY(ReadTransferSummaries(m_dir.filePath(QStringLiteral("none.csv")), {}, &s, &skipped, &why));
    QVERIFY(s.isEmpty());
}

void TestTransferLog::rowsSurviveHostileText()
{
    // Names and reasons come from users and receivers: quotes, commas,
    // line breaks and formula starts must neither split a row nor reach a
    // spreadsheet or a metric label unescaped.
    const QString path = m_dir.filePath(QStringLiteral("hostile.csv"));
    const TransferRecord r{utc(2, 1), "=cmd,\"x\"", false, "line\nbreak, \"quoted\"", "2.05"};
    QString why;
    QVERIFY(AppendTransferLog(path, {r}, &why));
    const QList<QByteArray> lines = readFile(path).split('\n');
    QCOMPARE(lines.size(), 3);   // header, row, the empty rest
    TransferRecord back;
    QVERIFY(ParseTransferLogRow(lines[1], &back));
    QCOMPARE(back.receiver, r.receiver);
    QCOMPARE(back.reason, QStringLiteral("line break, \"quoted\""));
    QCOMPARE(ReceiverMetricLabel(QStringLiteral("a\"b\\c\nd")), QByteArray("{receiver=\"a\\\"b\\\\c\\nd\"}"));
}

void TestTransferLog::refusesWhatIsNotATransferLog()
{
    const QString path = m_dir.filePath(QStringLiteral("alerts-not.csv"));
    const QByteArray before = AlertLogHeaderWithReceiver.toUtf8() + '\n';
    QVERIFY(writeFile(path, before));
    QString why;
    QVERIFY(!AppendTransferLog(path, {{utc(3, 1), "north", true, {}, "2.05"}}, &why));
    QVERIFY2(why.contains(QLatin1String("is not a transfer log")), qPrintable(why));
    QCOMPARE(readFile(path), before);
    QVERIFY(!AppendTransferLog(m_dir.path(), {{utc(3, 1), "north", true, {}, "2.05"}}, &why));
}

void TestTransferLog::rename_data()
{
    QTest::addColumn<QByteArray>("alerts");      // rows after the header
    QTest::addColumn<QByteArray>("expected");    // the rows afterwards
    QTest::addColumn<int>("renamed");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<QString>("refusal");

    const QByteArray a = "2026-03-04T11:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15,";
    const QByteArray b = "2026-03-05T11:00:00-05:00,WXR,TOR,Tornado Warning,Warning,01:00,";
    QTest::newRow("rows of OLD name NEW, others stay")
        << a + "/dev/ttyUSB0\n" + a + "south\n" + b + "/dev/ttyUSB0\n"
        << a + "harbour\n" + a + "south\n" + b + "harbour\n" << 2 << 0 << "";
    // The receiver's first transfer under its new name logged its 40 alerts
    // again: each alert stays as often as the receiver reported it.
    QTest::newRow("alerts NEW holds already are not doubled")
        << a + "/dev/ttyUSB0\n" + b + "/dev/ttyUSB0\n" + a + "harbour\n"
        << b + "harbour\n" + a + "harbour\n" << 1 << 1 << "";
    QTest::newRow("an alert twice under OLD, once under NEW, stays twice")
        << a + "/dev/ttyUSB0\n" + a + "/dev/ttyUSB0\n" + a + "harbour\n"
        << a + "harbour\n" + a + "harbour\n" << 1 << 1 << "";
    QTest::newRow("unreadable rows and a torn row stay as they are")
        << "garbage,row\n" + a + "/dev/ttyUSB0\n" + AlertLogTornMarker + "\n" + b + "/dev/tty"
        << "garbage,row\n" + a + "harbour\n" + AlertLogTornMarker + "\n" + b + "/dev/tty" << 1 << 0 << "";
    QTest::newRow("a six-column log is refused") << QByteArray("six") << QByteArray() << 0 << 0 << "log upgrade";
}

void TestTransferLog::rename()
{
    QFETCH(QByteArray, alerts);
    QFETCH(QString, refusal);
    const QString log = m_dir.filePath(QStringLiteral("rename.csv"));
    const QString transfers = TransferLogPathFor(log);
    QFile::remove(transfers);
    const bool sixColumns = alerts == "six";
    const QByteArray before = sixColumns ? AlertLogHeader.toUtf8() + '\n' : AlertLogHeaderWithReceiver.toUtf8() + '\n' + alerts;
    QVERIFY(writeFile(log, before));
    QString why;
    QVERIFY(AppendTransferLog(transfers, {{utc(4, 1), "/dev/ttyUSB0", true, {}, "2.05"}, {utc(4, 2), "south", false, "x", {}}}, &why));
    const QByteArray transfersBefore = readFile(transfers);

    const ReceiverRename r = RenameReceiverInLogs(log, transfers, QStringLiteral("/dev/ttyUSB0"), QStringLiteral("harbour"));
    QVERIFY2(r.ok == refusal.isEmpty(), qPrintable(r.error));
    if (!r.ok) {
        QVERIFY2(r.error.contains(refusal), qPrintable(r.error));
        QCOMPARE(readFile(log), before);
        QCOMPARE(readFile(transfers), transfersBefore);   // neither log changes
        return;
    }
    QFETCH(QByteArray, expected);
    QCOMPARE(readFile(log), AlertLogHeaderWithReceiver.toUtf8() + '\n' + expected);
    QTEST(r.alertRows, "renamed");
    QTEST(r.repeatsDropped, "dropped");
    // The transfer log follows: OLD's row names NEW, the other is untouched.
    QCOMPARE(r.transferRows, 1);
    const QByteArray t = readFile(transfers);
    QVERIFY2(t.contains(",harbour,ok,,2.05\n") && !t.contains("ttyUSB0"), t.constData());
    QVERIFY(t.contains(",south,failed,x,\n"));
}

// A rename rewrites a log while another program waits to append to it. The
// new log must take its place (Windows refuses a rename over a file that is
// open, the waiter's own handle included) and the waiting row must land in
// the new log, not in the one replaced.
void TestTransferLog::writerWaitingForTheLockAppendsToTheReplacedLog()
{
    const QString path = m_dir.filePath(QStringLiteral("replaced.csv"));
    QVERIFY(writeFile(path, "header\nold row\n"));
    auto holder = std::make_unique<LockedLogFile>();
    QString why;
    QVERIFY2(holder->open(path, /*create*/ false, 1000, &why), qPrintable(why));

    bool appended = false;
    QString waiterWhy;
    std::thread waiter([&] {
        LockedLogFile w;
        appended = w.open(path, /*create*/ false, 10000, &waiterWhy) && w.append("waiting row\n", &waiterWhy);
    });
    QThread::msleep(150);   // the waiter is at the lock by now
    const bool replaced = holder->replace("header\nnew row\n", &why);
    holder.reset();   // the lock goes with it
    waiter.join();
    QVERIFY2(replaced, qPrintable(why));
    QVERIFY2(appended, qPrintable(waiterWhy));
    QCOMPARE(readFile(path), QByteArray("header\nnew row\nwaiting row\n"));
}

QTEST_GUILESS_MAIN(TestTransferLog)
#include "tst_transferlog.moc"
