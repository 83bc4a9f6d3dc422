// SPDX-License-Identifier: GPL-3.0-or-later
// The Alert Log window reading the database a page at a time must show
// exactly what the same rows filtered and sorted in memory show: the same
// rows, in the same order, under the names they count under now.
#include "support/GeneratedAlertLog.h"
#include "support/TestEnv.h"

#include "history/core/AlertLogModel.h"
#include "history/core/AlertStore.h"
#include "history/core/RequiredTestAudit.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(AlertLogCriteria)

class TestAlertStorePages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pagesMatchMemory_data();
    void pagesMatchMemory();
    void holdsOnlyAPage();
    void auditReadsWhatItNeeds_data();
    void auditReadsWhatItNeeds();
    void olderDatabaseGetsTheIndexes();

private:
    QTemporaryDir m_dir;
    QString m_db;
};

namespace {

// What identifies a shown row, every column the window has.
QString rowText(const QAbstractItemModel *m, int row)
{
    QStringList cells;
    for (int c = 0; c < AlertLogModel::ColumnCount; ++c)
        cells << m->index(row, c).data().toString();
    return cells.join(QLatin1Char('|'));
}

AlertLogEntry heardRow(const QDateTime &when, const QString &code, const QString &note, const QStringList &locations)
{
    AlertLogEntry e;
    e.localTime = when;
    e.originator = QStringLiteral("WXR");
    e.code = code;
    e.name = code == QLatin1String("TOR") ? QStringLiteral("Tornado Warning") : QStringLiteral("Flood Watch");
    e.cls = code == QLatin1String("TOR") ? EventClass::Warning : EventClass::Watch;
    e.length = QStringLiteral("00:30");
    e.locations = locations;
    e.header = QStringLiteral("ZCZC-WXR-%1-%2+0030-%3-KXYZ/NWS-").arg(code, locations.join(QLatin1Char('-')),
                                                                    when.toString(QStringLiteral("HHmm")));
    e.heard = when.addSecs(7);
    e.note = note;
    return e;
}

} // namespace

void TestAlertStorePages::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(QStringLiteral("alerts.db"));
    AlertStore store;
    QString why;
    QVERIFY2(store.open(m_db, true, &why), qPrintable(why));
    // Three receivers: one renamed since, one merged into another after
    // both logged some of the same alerts (those count once).
    const QList<AlertLogEntry> rows = generatedAlerts(3000);
    QList<AlertLogEntry> north, ttl, old;
    for (int i = 0; i < rows.size(); ++i) {
        (i % 3 == 0 ? north : i % 3 == 1 ? ttl : old) << rows.at(i);
        if (i % 3 == 2 && i % 2 == 0)
            north << rows.at(i);   // north heard it too
    }
    std::sort(north.begin(), north.end(),
              [](const AlertLogEntry &a, const AlertLogEntry &b) { return a.localTime < b.localTime; });
    QVERIFY(store.appendAlerts(QStringLiteral("north"), ReceiverKind::Receiver, north).ok);
    QVERIFY(store.appendAlerts(QStringLiteral("/dev/ttyUSB0"), ReceiverKind::Receiver, ttl).ok);
    QVERIFY(store.appendAlerts(QStringLiteral("old"), ReceiverKind::Receiver, old).ok);
    // A monitor: headers with counties, when each was heard, and notes
    // holding LIKE's wildcards as plain text.
    const QDateTime t0(QDate(2024, 3, 5), QTime(9, 30), Qt::OffsetFromUTC, -5 * 3600);
    const QList<AlertLogEntry> heard{
        heardRow(t0, QStringLiteral("TOR"), QStringLiteral("issue day 50% off"), {"048029", "048091"}),
        heardRow(t0.addSecs(3600), QStringLiteral("FLA"), QStringLiteral("issue day 500"), {"048113"}),
        heardRow(t0.addSecs(7200), QStringLiteral("TOR"), QStringLiteral("station a_b"), {"048029"}),
        heardRow(t0.addSecs(10800), QStringLiteral("FLA"), QStringLiteral("station axb"), {"012086", "048029"}),
    };
    QVERIFY(store.appendAlerts(QStringLiteral("monitor:hw:1"), ReceiverKind::Monitor, heard).ok);
    // A test recording of a weekly test: shown, never counted.
    AlertLogEntry recorded = rows.at(600);
    recorded.code = QStringLiteral("RWT");
    recorded.localTime = recorded.localTime.addSecs(60);
    QVERIFY(store.appendAlerts(QStringLiteral("bench"), ReceiverKind::Receiver, {recorded}, /*test*/ true).ok);
    QVERIFY(store.rename(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("south"), false, &why)
            == AlertStore::RenameResult::Done);
    QVERIFY(store.rename(QStringLiteral("old"), QStringLiteral("north"), true, &why) == AlertStore::RenameResult::Done);
}

void TestAlertStorePages::pagesMatchMemory_data()
{
    QTest::addColumn<AlertLogCriteria>("criteria");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    auto add = [](const char *name, AlertLogCriteria c, int column, Qt::SortOrder order) {
        QTest::newRow(name) << c << column << int(order);
    };
    const AlertLogCriteria all;
    add("all, oldest first", all, AlertLogModel::DateTimeColumn, Qt::AscendingOrder);
    add("all, newest first", all, AlertLogModel::DateTimeColumn, Qt::DescendingOrder);
    add("all, as logged", all, -1, Qt::AscendingOrder);
    add("by originator", all, AlertLogModel::OriginatorColumn, Qt::DescendingOrder);
    add("by event", all, AlertLogModel::EventColumn, Qt::AscendingOrder);
    add("by class", all, AlertLogModel::ClassColumn, Qt::DescendingOrder);
    add("by length", all, AlertLogModel::LengthColumn, Qt::AscendingOrder);
    add("by receiver", all, AlertLogModel::ReceiverColumn, Qt::AscendingOrder);
    add("by receiver, descending", all, AlertLogModel::ReceiverColumn, Qt::DescendingOrder);
    add("by locations", all, AlertLogModel::LocationsColumn, Qt::DescendingOrder);
    add("heard first", all, AlertLogModel::HeardColumn, Qt::AscendingOrder);
    add("heard last", all, AlertLogModel::HeardColumn, Qt::DescendingOrder);
    add("by note", all, AlertLogModel::NoteColumn, Qt::AscendingOrder);
    AlertLogCriteria c;
    c.eventClass = int(EventClass::Warning);
    add("warnings by event", c, AlertLogModel::EventColumn, Qt::AscendingOrder);
    c = {};
    c.codes = QStringLiteral("rwt, RMT;TOR");
    add("code list", c, AlertLogModel::LengthColumn, Qt::DescendingOrder);
    c = {};
    c.originator = QStringLiteral(" wxr ");
    add("originator in any case", c, AlertLogModel::ClassColumn, Qt::AscendingOrder);
    c = {};
    c.from = QDate(2024, 3, 10);   // across the change to daylight time
    c.to = QDate(2024, 3, 12);
    add("local dates", c, AlertLogModel::ReceiverColumn, Qt::DescendingOrder);
    for (const char *text : {"south", "NORTH", "watch", "2024-03-1", "07:1", "50%", "a_b", "048091", "09:30:07",
                             "nothing like it"}) {
        c = {};
        c.text = QString::fromLatin1(text);
        add(qPrintable(QStringLiteral("text \"%1\"").arg(c.text)), c, AlertLogModel::DateTimeColumn, Qt::DescendingOrder);
    }
    c = {};
    c.text = QStringLiteral("tornado");
    c.eventClass = int(EventClass::Warning);
    c.from = QDate(2024, 2, 1);
    add("text, class and dates", c, AlertLogModel::OriginatorColumn, Qt::AscendingOrder);
}

void TestAlertStorePages::pagesMatchMemory()
{
    QFETCH(AlertLogCriteria, criteria);
    QFETCH(int, column);
    QFETCH(int, order);
    // The reference: every row as the record counts it, in memory.
    AlertStore store;
    QString why;
    QVERIFY2(store.open(m_db, false, &why), qPrintable(why));
    AlertLogModel memory;
    memory.setEntries(store.alerts(AlertQuery(), &why));
    QVERIFY(why.isEmpty());
    QVERIFY(!memory.isPaged());
    AlertLogFilter expected;
    expected.setSourceModel(&memory);
    expected.setFilter(criteria);
    expected.sort(column, Qt::SortOrder(order));

    AlertLogModel paged;
    AlertLogFilter shown;
    shown.setSourceModel(&paged);
    // The window sets its order before the rows come, then filters.
    shown.sort(column, Qt::SortOrder(order));
    QVERIFY2(paged.load(m_db, &why), qPrintable(why));
    QVERIFY(paged.isPaged());
    QVERIFY(paged.hasReceivers());
    QVERIFY(paged.hasMonitorRows());
    QCOMPARE(paged.totalRows(), qint64(memory.rowCount()));
    shown.setFilter(criteria);

    QCOMPARE(shown.rowCount(), expected.rowCount());
    for (int r = 0; r < expected.rowCount(); ++r)
        QCOMPARE(rowText(&shown, r), rowText(&expected, r));
    if (expected.rowCount() > 0) {
        const QModelIndex last = shown.index(shown.rowCount() - 1, AlertLogModel::DateTimeColumn);
        QCOMPARE(last.data(Qt::ToolTipRole), expected.index(expected.rowCount() - 1, 0).data(Qt::ToolTipRole));
        QCOMPARE(last.data(AlertLogModel::EventClassRole), expected.index(expected.rowCount() - 1, 0).data(AlertLogModel::EventClassRole));
    }
    // What an export or a print takes.
    QCOMPARE(shown.shownEntries().size(), expected.rowCount());
}

void TestAlertStorePages::holdsOnlyAPage()
{
    AlertLogModel paged;
    QString why;
    QVERIFY2(paged.load(m_db, &why), qPrintable(why));
    const int n = paged.rowCount();
    QVERIFY(n > AlertLogModel::PageRows);
    QCOMPARE(paged.cachedRows(), 0);
    // The last row, then the first: each time a page around it, no more.
    QVERIFY(!paged.index(n - 1, AlertLogModel::EventColumn).data().toString().isEmpty());
    QCOMPARE(paged.cachedRows(), AlertLogModel::PageRows);
    QVERIFY(!paged.index(0, AlertLogModel::EventColumn).data().toString().isEmpty());
    QCOMPARE(paged.cachedRows(), AlertLogModel::PageRows);
    QVERIFY(paged.entries().isEmpty());
    // The audit still sees every row.
    int rows = 0;
    QVERIFY(paged.forEachEntry([&](const AlertLogEntry &) { ++rows; }, &why));
    QCOMPARE(rows, n);
}

void TestAlertStorePages::olderDatabaseGetsTheIndexes()
{
    // A database of the version before: no window indexes. Opening it
    // brings them, and the version, up to date.
    const QString file = m_dir.filePath(QStringLiteral("older.db"));
    {
        AlertStore store;
        QString why;
        QVERIFY2(store.open(file, true, &why), qPrintable(why));
    }
    auto indexes = [&](int *version) {
        QStringList names;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'alerts%' ORDER BY name"));
            while (q.next())
                names << q.value(0).toString();
            q.exec(QStringLiteral("PRAGMA user_version"));
            q.next();
            *version = q.value(0).toInt();
            if (*version == 3) {
                for (const QString &n : {"alerts_originator_utc", "alerts_name_utc", "alerts_class_utc", "alerts_length_utc", "alerts_code_utc"})
                    q.exec(QStringLiteral("DROP INDEX %1").arg(n));
                q.exec(QStringLiteral("PRAGMA user_version = 1"));
            }
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("older"));
        return names;
    };
    int version = 0;
    QVERIFY(indexes(&version).contains(QStringLiteral("alerts_name_utc")));
    QCOMPARE(version, 3);   // the latest schema
    QVERIFY(!indexes(&version).contains(QStringLiteral("alerts_name_utc")));
    QCOMPARE(version, 1);
    AlertStore store;
    QString why;
    QVERIFY2(store.open(file, false, &why), qPrintable(why));
    const QStringList after = indexes(&version);
    for (const char *n : {"alerts_originator_utc", "alerts_name_utc", "alerts_class_utc", "alerts_length_utc", "alerts_code_utc"})
        QVERIFY2(after.contains(QLatin1String(n)), n);
}

void TestAlertStorePages::auditReadsWhatItNeeds_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::newRow("before the first row") << QDate(2023, 6, 1) << QDate(2024, 2, 1);
    QTest::newRow("a month inside") << QDate(2024, 3, 1) << QDate(2024, 3, 31);
    QTest::newRow("from a Wednesday") << QDate(2024, 5, 8) << QDate(2024, 8, 31);
    QTest::newRow("after the last row") << QDate(2030, 1, 1) << QDate(2030, 3, 1);
}

void TestAlertStorePages::auditReadsWhatItNeeds()
{
    // The window's audit reads, from the database, only each receiver's
    // last rows before its first date and the rows from it on: the result
    // is the audit of every row that counts.
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    const QDate today(2030, 6, 1);
    AlertStore store;
    QString why;
    QVERIFY2(store.open(m_db, false, &why), qPrintable(why));
    AlertQuery counted;
    counted.tests = false;
    RequiredTestCollector all;
    all.setToday(today);
    for (const AlertLogEntry &e : store.alerts(counted, &why))
        all.add(e);
    AlertLogModel paged;
    QVERIFY2(paged.load(m_db, &why), qPrintable(why));
    RequiredTestCollector some;
    some.setToday(today);
    int read = 0;
    QVERIFY(paged.forAuditFrom(from, [&](const AlertLogEntry &e) {
        some.add(e);
        ++read;
    }, &why));
    QCOMPARE(ReceiverAuditText(some.run(from, to, today), from, to), ReceiverAuditText(all.run(from, to, today), from, to));
    if (from.year() == 2030)
        QVERIFY(read < 20);   // a few rows per receiver, not the log
    // The test recording is nobody's audit.
    QVERIFY(!ReceiverAuditText(some.run(from, to, today), from, to).contains(QLatin1String("bench")));
}

QTEST_MAIN(TestAlertStorePages)
#include "tst_alertstorepages.moc"
