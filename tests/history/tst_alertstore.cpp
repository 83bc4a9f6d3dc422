// SPDX-License-Identifier: GPL-3.0-or-later
// The alert record's database: names and merges, the hash chain, the CSV
// import of every layout older versions wrote, the export, test recordings.
#include "history/core/AlertStore.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

AlertLogEntry alert(const QString &when, const QString &code = QStringLiteral("RWT"))
{
    AlertLogEntry e;
    e.localTime = QDateTime::fromString(when, Qt::ISODate);
    e.originator = QStringLiteral("WXR");
    e.code = code;
    e.name = code == QLatin1String("RWT") ? QStringLiteral("Required Weekly Test") : QStringLiteral("Tornado Warning");
    e.cls = code == QLatin1String("RWT") ? EventClass::Other : EventClass::Warning;
    e.length = QStringLiteral("00:15");
    return e;
}

AlertLogEntry heard(const QString &when)
{
    AlertLogEntry e = alert(when);
    e.locations = QStringList{QStringLiteral("048113"), QStringLiteral("048439")};
    e.header = QStringLiteral("ZCZC-WXR-RWT-048113-048439+0015-0651830-KDFW/NWS-");
    e.heard = e.localTime.addSecs(5);
    e.note = QStringLiteral("it's \"odd\", isn't it");
    return e;
}

qint64 rowsOf(AlertStore &s, const QString &name, bool tests = true)
{
    AlertQuery q;
    q.receivers = QStringList{name};
    q.tests = tests;
    QString error;
    const qint64 n = s.alerts(q, &error).size();
    return error.isEmpty() ? n : -1;
}

// The alert table's indexes of the store `file` (made when missing), by name.
QStringList alertIndexes(const QString &file)
{
    {
        AlertStore s;
        if (!s.open(file, true, nullptr))
            return {QStringLiteral("cannot open")};
    }
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("indexes"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'alerts'"
                                  " ORDER BY name"));
            while (q.next())
                names << q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("indexes"));
    return names;
}

} // namespace

class TestAlertStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString dbPath(const char *tag) const { return m_dir.filePath(QString::fromLatin1(tag) + QStringLiteral(".db")); }

private slots:
    void appendKeepsEachAlertOnce();
    void names_data();
    void names();
    void chainFindsOutsideChanges();
    void chainHeadFindsRowsCutOff_data();
    void chainHeadFindsRowsCutOff();
    void import_data();
    void import();
    void exportRoundTrip();
    void testRecordingsAreNotCounted();
    void refusesWhatIsNoDatabase();
    void auditFollowsReceiverZone_data();
    void auditFollowsReceiverZone();
};

void TestAlertStore::appendKeepsEachAlertOnce()
{
    AlertStore s;
    QString error;
    QVERIFY2(s.open(dbPath("append"), true, &error), qPrintable(error));
    const QList<AlertLogEntry> history{alert("2026-03-04T11:00:00-06:00"), alert("2026-03-04T11:00:00-06:00"),
                                       alert("2026-03-05T09:00:00-06:00", QStringLiteral("TOR"))};
    // The receiver holds the same alert twice: both are kept, and a second
    // transfer of the same history adds nothing.
    QCOMPARE(s.appendAlerts(QStringLiteral("office"), ReceiverKind::Receiver, history).added.size(), 3);
    QCOMPARE(s.appendAlerts(QStringLiteral("office"), ReceiverKind::Receiver, history).added.size(), 0);
    // Another receiver heard the same alerts: they are its own rows.
    QCOMPARE(s.appendAlerts(QStringLiteral("gym"), ReceiverKind::Receiver, history.mid(0, 1)).added.size(), 1);
    // A monitor hears the same header in a second relay within the purge
    // time: one message.
    QCOMPARE(s.appendAlerts(QStringLiteral("monitor:hw:1"), ReceiverKind::Monitor,
                            {heard("2026-03-04T11:00:00-06:00")}).added.size(), 1);
    AlertLogEntry relay = heard("2026-03-04T11:00:00-06:00");
    relay.heard = relay.heard.addSecs(120);
    QCOMPARE(s.appendAlerts(QStringLiteral("monitor:hw:1"), ReceiverKind::Monitor, {relay}).added.size(), 0);
    QCOMPARE(s.alertCount(), 5);
    // The monitor's columns come back as they went in.
    AlertQuery q;
    q.receivers = QStringList{QStringLiteral("monitor:hw:1")};
    const QList<AlertLogEntry> back = s.alerts(q, &error);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back.first().header, heard("2026-03-04T11:00:00-06:00").header);
    QCOMPARE(back.first().locations.size(), 2);
    QCOMPARE(back.first().note, heard("2026-03-04T11:00:00-06:00").note);
    QCOMPARE(back.first().localTime, heard("2026-03-04T11:00:00-06:00").localTime);
    QCOMPARE(back.first().localTime.offsetFromUtc(), -6 * 3600);
    qint64 rows = 0;
    QVERIFY2(s.verify(&rows, &error), qPrintable(error));
    QCOMPARE(rows, 5);
}

void TestAlertStore::names_data()
{
    // Steps: "rename A B", "merge A B", "unmerge A"; each expects ok (1),
    // refused (0) or failed (-1). Then the rows each name holds ("-" for a
    // name that holds none or is gone).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("expect");
    QTest::addColumn<QStringList>("counts");

    QTest::newRow("rename") << QStringList{"rename office lobby"} << QList<int>{1}
                            << QStringList{"office=-", "lobby=2", "gym=1"};
    QTest::newRow("rename onto an existing name is refused")
        << QStringList{"rename office gym"} << QList<int>{0} << QStringList{"office=2", "gym=1"};
    QTest::newRow("merge counts both under the new name, each alert once")
        << QStringList{"merge office gym"} << QList<int>{1} << QStringList{"office=-", "gym=2"};
    QTest::newRow("unmerge undoes the merge")
        << QStringList{"merge office gym", "unmerge office"} << QList<int>{1, 1} << QStringList{"office=2", "gym=1"};
    QTest::newRow("unmerge twice has nothing left")
        << QStringList{"merge office gym", "unmerge office", "unmerge office"} << QList<int>{1, 1, -1}
        << QStringList{"office=2", "gym=1"};
    QTest::newRow("merged rows follow a later rename")
        << QStringList{"merge office gym", "rename gym hall"} << QList<int>{1, 1}
        << QStringList{"hall=2", "gym=-", "office=-"};
    QTest::newRow("merge chain") << QStringList{"merge office gym", "merge gym lobby"} << QList<int>{1, 1}
                                 << QStringList{"lobby=2", "gym=-"};
    QTest::newRow("unmerge after its name was taken is refused")
        << QStringList{"merge office gym", "rename gym office", "unmerge office"} << QList<int>{1, 1, 0}
        << QStringList{"office=2"};
    QTest::newRow("a receiver cannot take a monitor's name")
        << QStringList{"rename gym monitor:wav"} << QList<int>{0} << QStringList{"gym=1", "monitor:wav=1"};
    QTest::newRow("a monitor cannot lose its prefix")
        << QStringList{"rename monitor:wav gym2"} << QList<int>{0} << QStringList{"monitor:wav=1", "gym2=-"};
    QTest::newRow("a monitor cannot be merged into a receiver")
        << QStringList{"merge monitor:wav gym"} << QList<int>{0} << QStringList{"monitor:wav=1", "gym=1"};
    QTest::newRow("a monitor may be renamed as a monitor")
        << QStringList{"rename monitor:wav monitor:radio"} << QList<int>{1} << QStringList{"monitor:radio=1"};
    QTest::newRow("unknown receiver") << QStringList{"rename nosuch x"} << QList<int>{-1} << QStringList{"gym=1"};
}

void TestAlertStore::names()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, expect);
    QFETCH(QStringList, counts);
    const QString file = m_dir.filePath(QStringLiteral("names-%1.db").arg(QTest::currentDataTag()).replace(' ', '-'));
    AlertStore s;
    QString error;
    QVERIFY2(s.open(file, true, &error), qPrintable(error));
    QVERIFY(s.appendAlerts("office", ReceiverKind::Receiver,
                           {alert("2026-03-04T11:00:00-06:00"), alert("2026-03-11T11:00:00-06:00")}).ok);
    QVERIFY(s.appendAlerts("gym", ReceiverKind::Receiver, {alert("2026-03-04T11:00:00-06:00")}).ok);
    QVERIFY(s.appendAlerts("monitor:wav", ReceiverKind::Monitor, {heard("2026-03-04T11:00:00-06:00")}).ok);
    for (int i = 0; i < steps.size(); ++i) {
        const QStringList w = steps.at(i).split(' ');
        QString message;
        AlertStore::RenameResult r;
        if (w.at(0) == QLatin1String("unmerge"))
            r = s.unmerge(w.at(1), &message);
        else
            r = s.rename(w.at(1), w.at(2), w.at(0) == QLatin1String("merge"), &message);
        const int got = r == AlertStore::RenameResult::Done ? 1 : r == AlertStore::RenameResult::Refused ? 0 : -1;
        QVERIFY2(got == expect.at(i), qPrintable(steps.at(i) + QStringLiteral(": ") + message));
        QVERIFY(!message.isEmpty());
    }
    for (const QString &c : counts) {
        const QString name = c.section('=', 0, 0), n = c.section('=', 1);
        if (n == QLatin1String("-"))
            QVERIFY2(!s.receiver(name), qPrintable(name));
        else
            QCOMPARE(rowsOf(s, name), n.toLongLong());
    }
    // No name change touched a row.
    qint64 rows = 0;
    QVERIFY2(s.verify(&rows, &error), qPrintable(error));
    QCOMPARE(rows, 4);
    // Every change is on record, oldest first.
    int done = 0;
    for (int e : expect)
        done += e == 1;
    QCOMPARE(s.nameEvents(QString(), &error).size(), done);
}

void TestAlertStore::chainFindsOutsideChanges()
{
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty())
        QSKIP("the sqlite3 program is not installed");
    const QString file = dbPath("chain");
    {
        AlertStore s;
        QString error;
        QVERIFY2(s.open(file, true, &error), qPrintable(error));
        QVERIFY(s.appendAlerts("office", ReceiverKind::Receiver,
                               {alert("2026-03-04T11:00:00-06:00"), alert("2026-03-11T11:00:00-06:00"),
                                alert("2026-03-18T11:00:00-06:00")}).ok);
    }
    auto run = [&](const QString &sql) {
        QProcess p;
        p.start(sqlite3, {file, sql});
        p.waitForFinished(10000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
    };
    // The triggers refuse a plain change...
    QVERIFY(run("UPDATE alerts SET code = 'RMT' WHERE id = 2").first != 0);
    // ...so a forger drops them first and changes one byte of row 2.
    const auto forged = run("DROP TRIGGER alerts_never_changed; UPDATE alerts SET originator = 'WXS' WHERE id = 2;");
    QVERIFY2(forged.first == 0, qPrintable(forged.second));
    AlertStore s;
    QString error;
    QVERIFY2(s.open(file, false, &error), qPrintable(error));
    qint64 rows = 0;
    QString problem;
    QVERIFY(!s.verify(&rows, &problem));
    QVERIFY2(problem.contains(QLatin1String("row 2 ")), qPrintable(problem));
    QVERIFY2(s.integrityOk(&problem), qPrintable(problem));
}

void TestAlertStore::chainHeadFindsRowsCutOff_data()
{
    // What a forger does in one sqlite3 session to hide the newest rows:
    // the delete trigger goes first, as it refuses the delete.
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("found");
    const QString drop = QStringLiteral("DROP TRIGGER alerts_never_removed; ");
    QTest::newRow("last row removed") << drop + "DELETE FROM alerts WHERE id = 4;"
                                      << "the last row logged was row 4 (4 rows), the record ends at row 3 (3 rows)";
    QTest::newRow("last two rows removed") << drop + "DELETE FROM alerts WHERE id >= 3;"
                                           << "the record ends at row 2 (2 rows): rows at its end were removed";
    QTest::newRow("every row removed") << drop + "DELETE FROM alerts;" << "the record ends at row 0 (0 rows)";
    QTest::newRow("head removed with the row")
        << drop + "DELETE FROM alerts WHERE id = 4; DELETE FROM meta WHERE key = 'chain_head';"
        << "the head of the chain (the meta row \"chain_head\") is missing";
    QTest::newRow("head moved back with the row")
        << drop + "DELETE FROM alerts WHERE id = 4; UPDATE meta SET value = '3 x 3' WHERE key = 'chain_head';"
        << "rows were added or changed outside the program";
}

void TestAlertStore::chainHeadFindsRowsCutOff()
{
    QFETCH(QString, sql);
    QFETCH(QString, found);
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty())
        QSKIP("the sqlite3 program is not installed");
    const QString file = m_dir.filePath(QStringLiteral("head-%1.db").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-')));
    {
        // Two appends: the head goes on from the first one's.
        AlertStore s;
        QString error;
        QVERIFY2(s.open(file, true, &error), qPrintable(error));
        QVERIFY(s.appendAlerts("office", ReceiverKind::Receiver,
                               {alert("2026-03-04T11:00:00-06:00"), alert("2026-03-11T11:00:00-06:00")}).ok);
        QVERIFY(s.appendAlerts("gym", ReceiverKind::Receiver,
                               {alert("2026-03-04T11:00:00-06:00"), alert("2026-03-11T11:00:00-06:00")}).ok);
        qint64 rows = 0;
        QVERIFY2(s.verify(&rows, &error), qPrintable(error));
        QCOMPARE(rows, qint64(4));
    }
    QProcess p;
    p.start(sqlite3, {file, sql});
    QVERIFY(p.waitForFinished(10000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    AlertStore s;
    QString problem;
    QVERIFY2(s.open(file, false, &problem), qPrintable(problem));
    QVERIFY(!s.verify(nullptr, &problem));
    QVERIFY2(problem.contains(found), qPrintable(problem));
    QVERIFY2(problem.startsWith(file), qPrintable(problem));
}

void TestAlertStore::import_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("transfers");
    QTest::addColumn<QString>("sixColumnReceiver");
    QTest::addColumn<QStringList>("counts");   // name=rows
    QTest::addColumn<int>("skippedOrTorn");

    const QByteArray six = "LocalDateTime,Originator,EventCode,EventName,Class,Length\n";
    const QByteArray rcv = "LocalDateTime,Originator,EventCode,EventName,Class,Length,Receiver\n";
    const QByteArray mon = "LocalDateTime,Originator,EventCode,EventName,Class,Length,Receiver,Locations,Header,Heard,Note\n";
    const QByteArray row1 = "2026-03-04T11:00:00-06:00,WXR,RWT,Required Weekly Test,Other,00:15";
    const QByteArray row2 = "2026-03-11T11:00:00-06:00,WXR,RWT,Required Weekly Test,Other,00:15";
    const QByteArray tlog = "Time,Receiver,Result,Reason,RomVersion\n2026-03-04T17:05:00Z,office,ok,,2.05\n"
                            "2026-03-05T17:05:00Z,office,failed,no reply,\n";

    QTest::newRow("six columns") << six + row1 + "\n" + row2 + "\n" << QByteArray() << QStringLiteral("office")
                                 << QStringList{"office=2"} << 0;
    QTest::newRow("receiver column") << rcv + row1 + ",office\n" + row2 + ",gym\n" << tlog << QString()
                                     << QStringList{"office=1", "gym=1"} << 0;
    QTest::newRow("monitor columns")
        << mon + row1 + ",office,,,,\n" + row2
               + ",monitor:hw:1,048113,ZCZC-WXR-RWT-048113+0015-0701700-KDFW/NWS-,2026-03-11T11:00:05-06:00,\n"
        << tlog << QString() << QStringList{"office=1", "monitor:hw:1=1"} << 0;
    QTest::newRow("torn last row") << rcv + row1 + ",office\n" + row2 + ",off" << QByteArray() << QString()
                                   << QStringList{"office=1"} << 1;
    QTest::newRow("torn row marked, rows after it kept")
        << rcv + row1 + ",office\n" + row2 + ",of\n# the line above was cut off and is not an alert\n" + row2
               + ",office\n"
        << QByteArray() << QString() << QStringList{"office=2"} << 1;
    QByteArray openQuote = rcv + row1 + ",\"office\n";
    for (int i = 0; i < 200; ++i)
        openQuote += row2 + ",gym\n";
    QTest::newRow("open quote does not swallow the log")
        << openQuote << QByteArray() << QString() << QStringList{"gym=200"} << 0;
    QTest::newRow("empty log") << QByteArray() << tlog << QString() << QStringList{"office=0"} << 0;
}

void TestAlertStore::import()
{
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, transfers);
    QFETCH(QString, sixColumnReceiver);
    QFETCH(QStringList, counts);
    QFETCH(int, skippedOrTorn);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
    const QString log = m_dir.filePath(tag + QStringLiteral(".csv"));
    const QString tlog = m_dir.filePath(tag + QStringLiteral("-transfers.csv"));
    if (!csv.isEmpty()) {
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(csv);
    }
    if (!transfers.isEmpty()) {
        QFile f(tlog);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(transfers);
    }
    AlertStore s;
    QString error;
    QVERIFY2(s.open(m_dir.filePath(tag + QStringLiteral(".db")), true, &error), qPrintable(error));
    const AlertStore::Import im = s.importCsv(log, tlog, sixColumnReceiver);
    QVERIFY2(im.ok, qPrintable(im.error));
    QVERIFY(!im.done);
    for (const QString &c : counts) {
        const QString name = c.section('=', 0, 0);
        QCOMPARE(rowsOf(s, name), c.section('=', 1).toLongLong());
    }
    QCOMPARE(im.skipped + im.torn >= skippedOrTorn, true);
    if (!transfers.isEmpty()) {
        QCOMPARE(im.transfers, 2);
        QList<TransferSummary> sums;
        QVERIFY(s.transferSummaries({}, &sums, &error));
        QCOMPARE(sums.size(), 1);
        QCOMPARE(sums.first().failures, 1);
        QCOMPARE(sums.first().romVersion, QStringLiteral("2.05"));
        // The receiver of a transfer that logged nothing is known.
        QVERIFY(s.receiver(QStringLiteral("office")));
    }
    // The files stay as they were, and a second import reads nothing.
    if (!csv.isEmpty()) {
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), csv);
    }
    const AlertStore::Import again = s.importCsv(log, tlog, sixColumnReceiver);
    QVERIFY(again.ok);
    QVERIFY(again.done || (im.rows == 0 && im.transfers == 0));
    QVERIFY2(s.verify(nullptr, &error), qPrintable(error));
    // The import sets the indexes aside while it fills the table: they are
    // all there again after it, as a new store has them.
    const QStringList indexes = alertIndexes(m_dir.filePath(tag + QStringLiteral(".db")));
    QVERIFY2(indexes.contains(QStringLiteral("alerts_receiver_utc")), qPrintable(indexes.join(QLatin1Char(' '))));
    QCOMPARE(indexes, alertIndexes(dbPath("fresh-indexes")));
}

void TestAlertStore::exportRoundTrip()
{
    AlertStore s;
    QString error;
    QVERIFY2(s.open(dbPath("export"), true, &error), qPrintable(error));
    AlertLogEntry hostile = alert("2026-03-04T11:00:00-06:00");
    hostile.name = QStringLiteral("=HYPERLINK(\"x\"),\nnext");
    QVERIFY(s.appendAlerts("office", ReceiverKind::Receiver, {hostile, alert("2026-03-11T11:00:00+05:30")}).ok);
    QVERIFY(s.appendAlerts("monitor:hw:1", ReceiverKind::Monitor, {heard("2026-03-04T11:00:00-06:00")}).ok);
    const QString csv = m_dir.filePath(QStringLiteral("export.csv"));
    qint64 rows = 0;
    QVERIFY2(s.exportCsv(csv, AlertQuery(), &rows, &error), qPrintable(error));
    QCOMPARE(rows, 3);
    AlertLogContent c;
    QVERIFY2(ReadAlertLog(csv, &c, &error), qPrintable(error));
    QCOMPARE(c.layout, AlertLogLayoutCurrent);
    const QList<AlertLogEntry> stored = s.alerts(AlertQuery(), &error);
    QCOMPARE(c.entries.size(), stored.size());
    for (int i = 0; i < stored.size(); ++i) {
        QCOMPARE(c.entries.at(i).csvLine(true), stored.at(i).csvLine(true));
        QCOMPARE(c.entries.at(i).localTime.offsetFromUtc(), stored.at(i).localTime.offsetFromUtc());
    }
    // Imported back into a new store, the export is the same rows.
    AlertStore t;
    QVERIFY2(t.open(dbPath("export-back"), true, &error), qPrintable(error));
    QVERIFY(t.importCsv(csv, QString(), QString()).ok);
    const QList<AlertLogEntry> back = t.alerts(AlertQuery(), &error);
    QCOMPARE(back.size(), stored.size());
    for (int i = 0; i < back.size(); ++i)
        QCOMPARE(back.at(i).csvLine(true), stored.at(i).csvLine(true));
}

void TestAlertStore::testRecordingsAreNotCounted()
{
    AlertStore s;
    QString error;
    QVERIFY2(s.open(dbPath("tests"), true, &error), qPrintable(error));
    QVERIFY(s.appendAlerts("monitor:stdin", ReceiverKind::Monitor, {heard("2025-11-04T11:00:00-06:00")}, true).ok);
    QVERIFY(s.appendAlerts("monitor:stdin", ReceiverKind::Monitor, {heard("2026-03-04T11:00:00-06:00")}).ok);
    QCOMPARE(rowsOf(s, "monitor:stdin", true), 2);
    QCOMPARE(rowsOf(s, "monitor:stdin", false), 1);
    // A receiver's own rows never come with a monitor's name, nor the other
    // way round.
    QVERIFY(!s.appendAlerts("monitor:x", ReceiverKind::Receiver, {alert("2026-03-04T11:00:00-06:00")}).ok);
    QVERIFY(!s.appendAlerts("gym", ReceiverKind::Monitor, {heard("2026-03-04T11:00:00-06:00")}).ok);
    QVERIFY(!s.registerReceiver("monitor:stdin", ReceiverKind::Receiver, {}, {}, {}, &error));
    QVERIFY2(error.contains(QLatin1String("monitor")), qPrintable(error));
    // A software radio's row keeps its channel and transmitter, in the chain.
    QVERIFY(s.appendAlerts("monitor:sdr", ReceiverKind::Monitor, {heard("2026-03-04T11:00:00-06:00")}, false, {},
                           162550000, "KEC56").ok);
    AlertQuery sdr;
    sdr.receivers = QStringList{"monitor:sdr"};
    StoredAlert got;
    QVERIFY(s.forEachAlert(sdr, [&](const StoredAlert &a) {
        got = a;
        return true;
    }, &error));
    QCOMPARE(got.frequencyHz, 162550000);
    QCOMPARE(got.transmitter, QStringLiteral("KEC56"));
    QVERIFY2(s.verify(nullptr, &error), qPrintable(error));
    // A deaf receiver is known from its first transfer on.
    QVERIFY(s.registerReceiver("deaf", ReceiverKind::Receiver, "/dev/ttyUSB0", "America/Denver", {}, &error));
    const auto deaf = s.receiver("deaf");
    QVERIFY(deaf);
    QCOMPARE(deaf->zone, QStringLiteral("America/Denver"));
    QCOMPARE(rowsOf(s, "deaf"), 0);
}

void TestAlertStore::refusesWhatIsNoDatabase()
{
    const QString file = dbPath("garbage");
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
    }
    AlertStore s;
    QString error;
    QVERIFY(!s.open(file, true, &error));
    QVERIFY2(error.contains(file) && error.contains(QLatin1String("not an alert database")), qPrintable(error));
    AlertStore missing;
    QVERIFY(!missing.open(dbPath("nosuch"), false, &error));
    QVERIFY2(error.contains(QLatin1String("no alert database")), qPrintable(error));
}

void TestAlertStore::auditFollowsReceiverZone_data()
{
    // An RWT logged by a computer on UTC at 01:30 on Sunday 8 March is
    // Saturday evening, 7 March, in Denver: with the receiver's zone known
    // it belongs to the week before, and the week of 8 to 14 March has
    // none (exit 1); without it, the date as logged counts (exit 0).
    QTest::addColumn<QString>("zone");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("zone of the receiver") << QStringLiteral("America/Denver") << 1;
    QTest::newRow("no zone: the date as logged") << QString() << 0;
}

void TestAlertStore::auditFollowsReceiverZone()
{
    QFETCH(QString, zone);
    QFETCH(int, exitCode);
    const QString cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo::exists(cli))
        QSKIP("nx4400c-cli is not built");
    const QString file = m_dir.filePath(QStringLiteral("zone-%1.db").arg(exitCode));
    {
        AlertStore s;
        QString error;
        QVERIFY2(s.open(file, true, &error), qPrintable(error));
        QVERIFY(s.registerReceiver("office", ReceiverKind::Receiver, "/dev/ttyUSB0", zone, {}, &error));
        AlertLogEntry rmt = alert("2026-03-04T11:00:00-07:00");
        rmt.code = QStringLiteral("RMT");
        QVERIFY(s.appendAlerts("office", ReceiverKind::Receiver, {rmt, alert("2026-03-08T01:30:00+00:00")}).ok);
    }
    QProcess p;
    p.start(cli, {"log", "audit", "--db", file, "--from", "2026-03-08", "--to", "2026-03-14"});
    QVERIFY(p.waitForFinished(20000));
    QVERIFY2(p.exitCode() == exitCode, p.readAllStandardOutput().constData());
}

QTEST_GUILESS_MAIN(TestAlertStore)
#include "tst_alertstore.moc"
