// SPDX-License-Identifier: GPL-3.0-or-later
// The alert log model, its filter and the Alert Log window on a generated
// log of 10,000 alerts: columns, sort order, every filter, the class
// colours, the audit's highlighted gaps, export and what assistive
// technology reads.
#include "support/GeneratedAlertLog.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include "history/core/AlertLogModel.h"
#include "history/core/AlertStore.h"
#include "history/gui/AlertLogView.h"
#include "history/gui/frmAlertLog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QHeaderView>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QDir>
#include <QTimeZone>
#include <QtTest>

namespace {

const QList<QDate> SkippedWeeks{QDate(2026, 2, 8), QDate(2026, 2, 15)};
const QList<QDate> SkippedMonths{QDate(2026, 3, 1)};

} // namespace

class TestAlertLogWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadsEveryRow();
    void filters_data();
    void filters();
    void sortsByRawValues();
    void eventColumnHasClassColour();
    void windowFiltersAndAudits();
    void exportWritesShownRows();
    void exportRefusesTheLogItself();
    void controlsAreNamedForAssistiveTechnology();
    void unreadableLogIsShown();
    void bigLogLoadsInSteps_data();
    void bigLogLoadsInSteps();
    void monitorRowsShowWhatWasHeard();
    void databaseOf100000Rows();

private:
    QTemporaryDir m_dir;
    QString m_log;
    QList<AlertLogEntry> m_alerts;
};

void TestAlertLogWindow::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_alerts = generatedAlerts(10000, SkippedWeeks, SkippedMonths);
    m_log = m_dir.filePath(QStringLiteral("alerts.csv"));
    QVERIFY(AppendAlertLog(m_log, m_alerts).ok);
}

void TestAlertLogWindow::loadsEveryRow()
{
    AlertLogModel model;
    QVERIFY(model.load(m_log));
    QCOMPARE(model.rowCount(), 10000);
    QCOMPARE(model.skippedRows(), 0);
    QVERIFY(!model.hasReceivers());
    const QModelIndex first = model.index(0, AlertLogModel::DateTimeColumn);
    QCOMPARE(first.data().toString(), AlertLogModel::dateTimeText(m_alerts.first()));
    QVERIFY(first.data().toString().startsWith(QLatin1String("2024-01-01 ")));
    QCOMPARE(first.data(AlertLogModel::SortRole).toDateTime(), m_alerts.first().localTime);
    const AlertLogEntry &e = model.entry(5);
    QCOMPARE(model.index(5, AlertLogModel::EventColumn).data().toString(),
             QStringLiteral("%1 (%2)").arg(e.name, e.code));
    QCOMPARE(model.index(5, AlertLogModel::EventColumn).data(AlertLogModel::EventClassRole).toInt(), int(e.cls));
    QCOMPARE(model.index(5, AlertLogModel::LengthColumn).data(AlertLogModel::SortRole).toInt(),
             AlertLogModel::lengthMinutes(e.length));
}

void TestAlertLogWindow::filters_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("cls");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("org");
    QTest::addColumn<QString>("text");

    QTest::newRow("none") << QDate() << QDate() << -1 << "" << "" << "";
    QTest::newRow("one month") << QDate(2025, 2, 1) << QDate(2025, 2, 28) << -1 << "" << "" << "";
    QTest::newRow("from only") << QDate(2026, 6, 1) << QDate() << -1 << "" << "" << "";
    QTest::newRow("warnings") << QDate() << QDate() << int(EventClass::Warning) << "" << "" << "";
    QTest::newRow("two codes, any case") << QDate() << QDate() << -1 << "rwt, RMT" << "" << "";
    QTest::newRow("originator") << QDate() << QDate() << -1 << "" << "civ" << "";
    QTest::newRow("free text in name") << QDate() << QDate() << -1 << "" << "" << "tornado";
    QTest::newRow("free text in date") << QDate() << QDate() << -1 << "" << "" << "2025-07-04";
    QTest::newRow("all at once") << QDate(2025, 1, 1) << QDate(2025, 12, 31) << int(EventClass::Watch) << "TOA FFA"
                                 << "WXR" << "watch";
    QTest::newRow("nothing matches") << QDate() << QDate() << -1 << "XYZ" << "" << "";
}

void TestAlertLogWindow::filters()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, cls);
    QFETCH(QString, codes);
    QFETCH(QString, org);
    QFETCH(QString, text);
    AlertLogModel model;
    QVERIFY(model.load(m_log));
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    AlertLogCriteria criteria{from, to, cls, codes, org, text};
    filter.setFilter(criteria);

    // The same rule written out plainly.
    const QStringList codeList = codes.toUpper().split(QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts);
    int expected = 0;
    for (const AlertLogEntry &e : m_alerts) {
        const QDate d = e.localTime.date();
        if (from.isValid() && d < from)
            continue;
        if (to.isValid() && d > to)
            continue;
        if (cls >= 0 && int(e.cls) != cls)
            continue;
        if (!codeList.isEmpty() && !codeList.contains(e.code))
            continue;
        if (!org.isEmpty() && e.originator.compare(org, Qt::CaseInsensitive) != 0)
            continue;
        if (!text.isEmpty() && !e.name.contains(text, Qt::CaseInsensitive)
            && !AlertLogModel::dateTimeText(e).contains(text) && !e.code.contains(text, Qt::CaseInsensitive)
            && !e.originator.contains(text, Qt::CaseInsensitive) && !e.length.contains(text))
            continue;
        ++expected;
    }
    QCOMPARE(filter.rowCount(), expected);
    if (QByteArray(QTest::currentDataTag()) != "nothing matches")
        QVERIFY(expected > 0);
}

void TestAlertLogWindow::sortsByRawValues()
{
    AlertLogModel model;
    model.setEntries({});
    QList<AlertLogEntry> l;
    auto add = [&](const char *when, const char *length) {
        AlertLogEntry e;
        e.localTime = QDateTime::fromString(QLatin1String(when), Qt::ISODate);
        e.length = QLatin1String(length);
        e.code = QStringLiteral("TOR");
        l << e;
    };
    // 01:30 EDT on 1 November is an hour before 01:10 EST: by the instant,
    // not by the text.
    add("2026-11-01T01:10:00-05:00", "10:00");
    add("2026-11-01T01:30:00-04:00", "02:00");
    add("2025-12-31T23:00:00-05:00", "00:30");
    model.setEntries(l);
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    filter.sort(AlertLogModel::DateTimeColumn, Qt::AscendingOrder);
    QCOMPARE(filter.shownEntries().at(0).localTime.date().year(), 2025);
    QCOMPARE(filter.shownEntries().at(1).length, QStringLiteral("02:00"));
    filter.sort(AlertLogModel::LengthColumn, Qt::DescendingOrder);
    QCOMPARE(filter.shownEntries().at(0).length, QStringLiteral("10:00"));   // not "02:00" as text would
    QCOMPARE(filter.shownEntries().at(2).length, QStringLiteral("00:30"));
}

void TestAlertLogWindow::eventColumnHasClassColour()
{
    AlertLogModel model;
    QVERIFY(model.load(m_log));
    AlertLogColourProxy colours;
    colours.setSourceModel(&model);
    QSet<int> seen;
    for (int r = 0; r < 200; ++r) {
        const EventClass cls = model.entry(r).cls;
        seen.insert(int(cls));
        const QColor c = colours.index(r, AlertLogModel::EventColumn).data(Qt::ForegroundRole).value<QColor>();
        QCOMPARE(c, cls == EventClass::Warning ? QColor(Qt::red) : cls == EventClass::Watch ? QColor(Qt::blue) : QColor(Qt::black));
        QVERIFY(!colours.index(r, AlertLogModel::OriginatorColumn).data(Qt::ForegroundRole).isValid());
    }
    QCOMPARE(seen.size(), 3);
}

void TestAlertLogWindow::windowFiltersAndAudits()
{
    ScriptedPrompter prompter;
    FakeClock clock(QDateTime(QDate(2026, 4, 15), QTime(12, 0)));
    frmAlertLog w(m_log, prompter, clock);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblAlerts"));
    QVERIFY(table);
    QCOMPARE(table->model()->rowCount(), 10000);
    QVERIFY(table->isColumnHidden(AlertLogModel::ReceiverColumn));
    // The receiver's history alone has no monitor's columns.
    QVERIFY(table->isColumnHidden(AlertLogModel::LocationsColumn) && table->isColumnHidden(AlertLogModel::NoteColumn));
    // Newest first.
    QCOMPARE(table->model()->index(0, 0).data().toString(), AlertLogModel::dateTimeText(m_alerts.last()));
    grab(&w, QStringLiteral("alertlog-10000"));

    w.findChild<QComboBox *>(QStringLiteral("cboClass"))->setCurrentIndex(1);   // Warning
    QTest::keyClicks(w.findChild<QLineEdit *>(QStringLiteral("txtFilter")), QStringLiteral("flood"));
    const int shown = table->model()->rowCount();
    QVERIFY(shown > 0 && shown < 10000);
    for (int r = 0; r < shown; ++r)
        QVERIFY(table->model()->index(r, AlertLogModel::EventColumn).data().toString().contains(QLatin1String("Flood Warning")));
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("lblCount"))->text().startsWith(QStringLiteral("Showing %1 of 10,000").arg(shown)));
    grab(&w, QStringLiteral("alertlog-filtered"));

    // The audit: January to March 2026 has the two skipped weeks of
    // February and March without an RMT.
    w.findChild<QPushButton *>(QStringLiteral("cmdClearFilter"))->click();
    QCOMPARE(table->model()->rowCount(), 10000);
    w.findChild<QDateEdit *>(QStringLiteral("dtAuditFrom"))->setDate(QDate(2026, 1, 1));
    w.findChild<QDateEdit *>(QStringLiteral("dtAuditTo"))->setDate(QDate(2026, 3, 31));
    w.findChild<QPushButton *>(QStringLiteral("cmdAudit"))->click();
    QCOMPARE(w.audit().missingWeeks().size(), 2);
    QCOMPARE(w.audit().missingWeeks().first().start, QDate(2026, 2, 8));
    QCOMPARE(w.audit().missingMonths().size(), 1);
    auto *list = w.findChild<QTreeWidget *>(QStringLiteral("lstAudit"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("RMT, March 2026"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("MISSING"));
    QVERIFY(list->topLevelItem(1)->text(1).contains(QLatin1String("2026-02-08")));
    QVERIFY(list->topLevelItem(0)->background(1).color() != list->topLevelItem(3)->background(1).color());
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("lblAudit"))->text().startsWith(
        QLatin1String("2 weeks without an RWT and 1 month without an RMT.")));
    // The last tests it names are those of one receiver, and it says which.
    QVERIFY2(w.findChild<QLabel *>(QStringLiteral("lblAudit"))->text().contains(
                 ReceiverDisplayName(w.receiverAudits().first().receiver) + QStringLiteral(": last RWT ")),
             qPrintable(w.findChild<QLabel *>(QStringLiteral("lblAudit"))->text()));
    grab(&w, QStringLiteral("alertlog-audit"));

    // Activating a gap shows that week's alerts.
    emit list->itemActivated(list->topLevelItem(1), 0);
    QVERIFY(w.findChild<QCheckBox *>(QStringLiteral("chkDates"))->isChecked());
    for (int r = 0; r < table->model()->rowCount(); ++r) {
        const QDate d = table->model()->index(r, 0).data(AlertLogModel::SortRole).toDateTime().date();
        QVERIFY(d >= QDate(2026, 2, 8) && d <= QDate(2026, 2, 14));
    }
    QVERIFY(table->model()->rowCount() > 0);
}

void TestAlertLogWindow::exportWritesShownRows()
{
    ScriptedPrompter prompter;
    FakeClock clock(QDateTime(QDate(2026, 4, 15), QTime(12, 0)));
    frmAlertLog w(m_log, prompter, clock);
    w.findChild<QLineEdit *>(QStringLiteral("txtCode"))->setText(QStringLiteral("RMT"));
    const QString out = m_dir.filePath(QStringLiteral("rmt.csv"));
    prompter.saveAnswers.enqueue(out);
    w.findChild<QPushButton *>(QStringLiteral("cmdExport"))->click();
    QVERIFY2(prompter.boxes.isEmpty(), qPrintable(prompter.texts().join(QLatin1Char('\n'))));
    AlertLogContent content;
    QVERIFY(ReadAlertLog(out, &content));
    QCOMPARE(content.entries.size(), w.filter()->rowCount());
    for (const AlertLogEntry &e : content.entries)
        QCOMPARE(e.code, QStringLiteral("RMT"));
    // Shown newest first, exported as shown.
    QVERIFY(content.entries.first().localTime > content.entries.last().localTime);
}

void TestAlertLogWindow::exportRefusesTheLogItself()
{
    ScriptedPrompter prompter;
    FakeClock clock;
    frmAlertLog w(m_log, prompter, clock);
    w.findChild<QLineEdit *>(QStringLiteral("txtCode"))->setText(QStringLiteral("RMT"));
    const qint64 size = QFileInfo(m_log).size();
    prompter.saveAnswers.enqueue(m_log);
    w.findChild<QPushButton *>(QStringLiteral("cmdExport"))->click();
    QCOMPARE(prompter.boxes.size(), 1);
    QVERIFY(prompter.boxes.first().text.contains(QLatin1String("the alert log itself")));
    QCOMPARE(QFileInfo(m_log).size(), size);
#ifndef Q_OS_WIN
    // A device is not a file to export into.
    prompter.saveAnswers.enqueue(QStringLiteral("/dev/null"));
    w.findChild<QPushButton *>(QStringLiteral("cmdExport"))->click();
    QCOMPARE(prompter.boxes.size(), 2);
    QVERIFY(prompter.boxes.last().text.contains(QLatin1String("/dev/null")));
    QVERIFY(QFileInfo(QStringLiteral("/dev/null")).isFile() == false);
#endif
}

void TestAlertLogWindow::controlsAreNamedForAssistiveTechnology()
{
    ScriptedPrompter prompter;
    FakeClock clock;
    frmAlertLog w(m_log, prompter, clock);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (const char *name : {"tblAlerts", "txtFilter", "txtCode", "txtOriginator", "cboClass", "dtFrom", "dtTo",
                             "chkDates", "dtAuditFrom", "dtAuditTo", "lstAudit", "cmdExport", "cmdPrint", "cmdAudit",
                             "cmdReload", "cmdClose", "cmdClearFilter"}) {
        QWidget *c = w.findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(c, name);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(c);
        QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), name);
    }
    // Labels read their text: the log path, the count and the audit summary.
    for (const char *name : {"lblPath", "lblCount", "lblAudit"}) {
        auto *l = w.findChild<QLabel *>(QLatin1String(name));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(l);
        QVERIFY2(a && a->text(QAccessible::Name) == l->text() && !l->text().isEmpty(), name);
    }
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("lblPath"))->text().contains(QDir::toNativeSeparators(m_log)));
}

void TestAlertLogWindow::unreadableLogIsShown()
{
    ScriptedPrompter prompter;
    FakeClock clock;
    const QString notALog = m_dir.filePath(QStringLiteral("notes.csv"));
    QFile f(notALog);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Name,Phone\n");
    f.close();
    frmAlertLog w(notALog, prompter, clock);
    QCOMPARE(w.model()->rowCount(), 0);
    const QString status = w.findChild<QLabel *>(QStringLiteral("lblStatus"))->text();
    QVERIFY2(status.contains(QDir::toNativeSeparators(notALog)) && status.contains(QLatin1String("not an alert log")), qPrintable(status));
    QVERIFY(prompter.boxes.isEmpty());
}

void TestAlertLogWindow::bigLogLoadsInSteps_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QByteArray>("tail");   // bytes after the generated rows
    QTest::addColumn<QString>("status");    // what the status line says after loading
    QTest::newRow("whole") << false << QByteArray() << QString();
    QTest::newRow("torn last row") << false << QByteArray("2026-12-01T10:00:00-05:00,WXR,TOR,Torn") << "1 row(s) cut off";
    QTest::newRow("cancelled") << true << QByteArray() << "cancelled";
}

void TestAlertLogWindow::bigLogLoadsInSteps()
{
    // A log in the new layout from four receivers, read in steps: the window
    // answers between the steps, and its audit names each receiver.
    QFETCH(bool, cancel);
    QFETCH(QByteArray, tail);
    QFETCH(QString, status);
    const QString path = m_dir.filePath(QStringLiteral("fleet.csv"));
    QFile::remove(path);
    QList<AlertLogEntry> fleet = generatedAlerts(30000, SkippedWeeks, SkippedMonths);
    const QStringList receivers{"/dev/ttyUSB0", "/dev/ttyUSB1", "rfc2217://rack:4001", "monitor:hw:1"};
    for (int i = 0; i < fleet.size(); ++i)
        fleet[i].receiver = receivers.at(i % receivers.size());
    QVERIFY(AppendAlertLog(path, fleet).ok);
    if (!tail.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write(tail);
    }
    ScriptedPrompter prompter;
    FakeClock clock(QDateTime(QDate(2026, 4, 15), QTime(12, 0)));
    frmAlertLog w(path, prompter, clock);
    w.setChunkedLoadingFrom(1024);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (w.isLoading())
        QVERIFY(QSignalSpy(&w, &frmAlertLog::loadFinished).wait(20000));
    const int before = w.model()->rowCount();
    QSignalSpy done(&w, &frmAlertLog::loadFinished);
    QVERIFY(w.reload());
    QVERIFY(w.isLoading());
    QVERIFY(w.findChild<QProgressBar *>(QStringLiteral("prgLoad"))->isVisible());
    if (cancel)
        w.findChild<QPushButton *>(QStringLiteral("cmdCancelLoad"))->click();
    QVERIFY(done.count() == 1 || done.wait(20000));
    QVERIFY(!w.isLoading());
    // Cancelled, the table keeps what it showed before.
    QCOMPARE(w.model()->rowCount(), cancel ? before : fleet.size());
    const QString shown = w.findChild<QLabel *>(QStringLiteral("lblStatus"))->text();
    QVERIFY2(status.isEmpty() ? shown.isEmpty() : shown.contains(status), qPrintable(shown));
    if (cancel)
        return;
    QVERIFY(!w.findChild<QTableView *>(QStringLiteral("tblAlerts"))->isColumnHidden(AlertLogModel::ReceiverColumn));
    w.findChild<QDateEdit *>(QStringLiteral("dtAuditFrom"))->setDate(QDate(2026, 1, 1));
    w.findChild<QDateEdit *>(QStringLiteral("dtAuditTo"))->setDate(QDate(2026, 3, 31));
    w.findChild<QPushButton *>(QStringLiteral("cmdAudit"))->click();
    QCOMPARE(w.receiverAudits().size(), receivers.size());
    auto *list = w.findChild<QTreeWidget *>(QStringLiteral("lstAudit"));
    QSet<QString> named;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(2) == QLatin1String("MISSING"))
            named.insert(list->topLevelItem(i)->text(0));
    // Each receiver heard only some of the tests: every one has gaps.
    QCOMPARE(named.size(), receivers.size());
    grab(&w, QStringLiteral("alertlog-fleet"));
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(list);
    QVERIFY(a && a->childCount() > 0);
}

// A log a monitor writes into beside the receiver's history: the monitor's
// columns appear, say where and when the alert was heard, can be searched
// and sorted, and are read out by name.
void TestAlertLogWindow::monitorRowsShowWhatWasHeard()
{
    const QString path = m_dir.filePath(QStringLiteral("heard.csv"));
    const QDateTime issued(QDate(2026, 4, 14), QTime(9, 30), QTimeZone(-5 * 3600));
    AlertLogEntry fromReceiver = m_alerts.first();
    fromReceiver.localTime = issued;
    fromReceiver.receiver = QStringLiteral("/dev/ttyUSB0");
    AlertLogEntry heard = fromReceiver;
    heard.receiver = QStringLiteral("monitor:hw:1");
    heard.locations = QStringList{QStringLiteral("048029"), QStringLiteral("048091")};
    heard.header = QStringLiteral("ZCZC-WXR-%1-048029-048091+0100-1041430-KEWX/NWS-").arg(heard.code);
    heard.heard = issued.addSecs(42);
    heard.note = QStringLiteral("heard alike three times");
    QVERIFY(AppendAlertLog(path, {fromReceiver, heard}).ok);

    ScriptedPrompter prompter;
    FakeClock clock(QDateTime(QDate(2026, 4, 15), QTime(12, 0)));
    frmAlertLog w(path, prompter, clock);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (w.isLoading())
        QVERIFY(QSignalSpy(&w, &frmAlertLog::loadFinished).wait(20000));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblAlerts"));
    QAbstractItemModel *shown = table->model();
    QCOMPARE(shown->rowCount(), 2);
    for (const int column : {AlertLogModel::LocationsColumn, AlertLogModel::HeardColumn, AlertLogModel::NoteColumn})
        QVERIFY(!table->isColumnHidden(column));
    table->sortByColumn(AlertLogModel::HeardColumn, Qt::AscendingOrder);
    struct Cell {
        int column;
        QString text;
    };
    const QList<Cell> heardRow{
        {AlertLogModel::ReceiverColumn, QStringLiteral("monitor:hw:1")},
        {AlertLogModel::LocationsColumn, QStringLiteral("048029 048091")},
        {AlertLogModel::HeardColumn, QStringLiteral("2026-04-14 09:30:42")},
        {AlertLogModel::NoteColumn, heard.note},
    };
    for (const Cell &c : heardRow)
        QCOMPARE(shown->index(0, c.column).data().toString(), c.text);
    // The receiver's own row was never heard off the air: it sorts last,
    // with the monitor's cells empty.
    QCOMPARE(shown->index(1, AlertLogModel::LocationsColumn).data().toString(), QString());
    QCOMPARE(shown->index(1, AlertLogModel::HeardColumn).data().toString(), QString());
    QCOMPARE(shown->index(0, AlertLogModel::LocationsColumn).data(Qt::ToolTipRole).toString(), heard.header);
    QCOMPARE(shown->index(0, AlertLogModel::HeardColumn).data(Qt::ToolTipRole).toString(),
             QStringLiteral("2026-04-14T09:30:42-05:00"));

    // The search reaches the header and the note.
    for (const QString &text : {QStringLiteral("048091"), QStringLiteral("KEWX"), QStringLiteral("three times")}) {
        auto *filter = w.findChild<QLineEdit *>(QStringLiteral("txtFilter"));
        filter->clear();
        QTest::keyClicks(filter, text);
        QCOMPARE(shown->rowCount(), 1);
        QCOMPARE(shown->index(0, AlertLogModel::ReceiverColumn).data().toString(), QStringLiteral("monitor:hw:1"));
    }
    // At the window's first size every heading is in view; a cell cut
    // short has its whole text in the tool tip.
    auto *header = table->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c))
            continue;
        QVERIFY2(header->sectionViewportPosition(c) >= 0
                     && header->sectionViewportPosition(c) + header->sectionSize(c) <= table->viewport()->width() + 1,
                 qPrintable(shown->headerData(c, Qt::Horizontal).toString()));
    }
    const QModelIndex event = table->model()->index(0, AlertLogModel::EventColumn);
    QCOMPARE(event.data(Qt::ToolTipRole).toString(), event.data().toString());
    grab(&w, QStringLiteral("alertlog-monitor"));
    // The log begins in the audit period's last week: nothing was owed yet,
    // and the period itself is fine.
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lblAudit"))->text(),
             QStringLiteral("No test was owed in this period: the log begins on 2026-04-14."));
    w.findChild<QDateEdit *>(QStringLiteral("dtAuditFrom"))->setDate(QDate(2026, 4, 15));
    w.findChild<QDateEdit *>(QStringLiteral("dtAuditTo"))->setDate(QDate(2026, 4, 1));
    w.findChild<QPushButton *>(QStringLiteral("cmdAudit"))->click();
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lblAudit"))->text(),
             QStringLiteral("Choose a period whose first day is not after its last."));

    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(table);
    QVERIFY(a && a->tableInterface());
    QStringList headings;
    for (int c = 0; c < a->tableInterface()->columnCount(); ++c)
        if (QAccessibleInterface *cell = a->tableInterface()->cellAt(0, c))
            headings << cell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name);
    for (const QString &name : {QStringLiteral("Locations"), QStringLiteral("Heard"), QStringLiteral("Note")})
        QVERIFY2(headings.contains(name), qPrintable(headings.join(QLatin1Char('|'))));
}

void TestAlertLogWindow::databaseOf100000Rows()
{
    // The window on the alert database a writer made: 100,000 rows of two
    // receivers, one of them renamed since (its rows follow the new name).
    QList<AlertLogEntry> rows = generatedAlerts(100000, SkippedWeeks, SkippedMonths);
    for (int i = 0; i < rows.size(); ++i)
        rows[i].receiver = i % 2 ? QStringLiteral("north") : QStringLiteral("/dev/ttyUSB0");
    const QString csv = m_dir.filePath(QStringLiteral("big.csv"));
    {
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(AlertLogTextFor(rows, AlertLogLayoutCurrent));
    }
    const QString db = AlertStore::PathForLog(csv);
    {
        AlertStore store;
        QString why;
        QVERIFY2(store.open(db, true, &why), qPrintable(why));
        QVERIFY2(store.importCsv(csv, QString(), QString()).ok, "import");
        QVERIFY(store.rename(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("south"), false, &why)
                == AlertStore::RenameResult::Done);
    }
    ScriptedPrompter prompter;
    FakeClock clock(QDateTime(QDate(2026, 4, 15), QTime(12, 0)));
    frmAlertLog w(csv, prompter, clock);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (w.isLoading())
        QVERIFY(QSignalSpy(&w, &frmAlertLog::loadFinished).wait(60000));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblAlerts"));
    QCOMPARE(table->model()->rowCount(), 100000);
    QVERIFY(!table->isColumnHidden(AlertLogModel::ReceiverColumn));
    // The rows stay in the database: the window holds a page of them.
    QVERIFY(w.model()->isPaged());
    QVERIFY(w.model()->cachedRows() <= AlertLogModel::PageRows);
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lblCount"))->text(), QLocale().toString(100000) + QStringLiteral(" alerts"));
    // Newest first: the end of the table is the first alert logged.
    table->scrollToBottom();
    QCoreApplication::processEvents();
    QCOMPARE(table->model()->index(99999, AlertLogModel::DateTimeColumn).data().toString(),
             AlertLogModel::dateTimeText(rows.first()));
    QCOMPARE(table->model()->index(99999, AlertLogModel::ReceiverColumn).data().toString(), QStringLiteral("south"));
    QCOMPARE(table->model()->index(99998, AlertLogModel::ReceiverColumn).data().toString(), QStringLiteral("north"));
    QCOMPARE(table->model()->index(99998, AlertLogModel::EventColumn).data().toString(),
             AlertLogModel::eventText(rows.at(1)));
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(table);
        QVERIFY(a && a->tableInterface());
        QAccessibleInterface *last = a->tableInterface()->cellAt(99999, AlertLogModel::DateTimeColumn);
        QVERIFY(last);
        QCOMPARE(last->text(QAccessible::Name), AlertLogModel::dateTimeText(rows.first()));
    }
    grab(&w, QStringLiteral("alertlog-database-100000-end"));
    table->scrollToTop();
    QVERIFY(w.model()->cachedRows() <= AlertLogModel::PageRows);
    // Filter: one receiver's warnings.
    w.findChild<QComboBox *>(QStringLiteral("cboClass"))->setCurrentIndex(1);   // Warning
    QTest::keyClicks(w.findChild<QLineEdit *>(QStringLiteral("txtFilter")), QStringLiteral("south"));
    const int shown = table->model()->rowCount();
    QVERIFY(shown > 0 && shown < 50000);
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lblCount"))->text(),
             QStringLiteral("Showing %1 of %2 alerts").arg(QLocale().toString(shown), QLocale().toString(100000)));
    for (int r = 0; r < std::min(shown, 200); ++r) {
        QCOMPARE(table->model()->index(r, AlertLogModel::ReceiverColumn).data().toString(), QStringLiteral("south"));
        QCOMPARE(table->model()->index(r, 0).data(AlertLogModel::EventClassRole).toInt(), int(EventClass::Warning));
    }
    // Sort by event, then by time again.
    table->sortByColumn(AlertLogModel::EventColumn, Qt::AscendingOrder);
    for (int r = 1; r < std::min(shown, 500); ++r)
        QVERIFY(QString::compare(table->model()->index(r - 1, AlertLogModel::EventColumn).data().toString(),
                                 table->model()->index(r, AlertLogModel::EventColumn).data().toString(),
                                 Qt::CaseInsensitive) <= 0);
    // The last rows of the sort: the latest south warnings of the last event.
    const QString lastEvent = table->model()->index(shown - 1, AlertLogModel::EventColumn).data().toString();
    QVERIFY(QString::compare(table->model()->index(0, AlertLogModel::EventColumn).data().toString(), lastEvent,
                             Qt::CaseInsensitive) < 0);
    QDateTime latest;
    for (int i = 0; i < rows.size(); ++i)
        if (i % 2 == 0 && rows.at(i).cls == EventClass::Warning && AlertLogModel::eventText(rows.at(i)) == lastEvent)
            latest = rows.at(i).localTime;
    QCOMPARE(table->model()->index(shown - 1, AlertLogModel::DateTimeColumn).data(Qt::ToolTipRole).toString(),
             latest.toString(Qt::ISODate));
    grab(&w, QStringLiteral("alertlog-database-100000"));
    // What the table shows reaches a screen reader.
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(table);
    QVERIFY(cell);
    QAccessibleTableInterface *t = cell->tableInterface();
    QVERIFY(t);
    QAccessibleInterface *first = t->cellAt(0, AlertLogModel::ReceiverColumn);
    QVERIFY(first);
    QCOMPARE(first->text(QAccessible::Name), QStringLiteral("south"));
}

QTEST_MAIN(TestAlertLogWindow)
#include "tst_alertlogwindow.moc"
