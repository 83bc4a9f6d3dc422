// SPDX-License-Identifier: GPL-3.0-or-later
// One site's alert path, as its engineer walks it with nx4400c-cli: a
// receiver named in a fleet file is programmed and its history logged under
// that name; a monitor beside it hears the weather radio; the log, the audit
// and the cross-check then read both; the receiver moves to another name and
// every row follows, the monitor's whole. The rows run in order, each on
// what the ones before left. Last, the Alert Log window opens on that log.
#include "support/FakeClock.h"
#include "support/Headless.h"
#include "support/SameSignal.h"
#include "support/ScriptedPrompter.h"

#include "history/core/AlertLogModel.h"
#include "history/gui/frmAlertLog.h"

#include <QAccessible>
#include <QDateTime>
#include <QSignalSpy>
#include <QTableView>
#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

class TestAlertPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void path_data();
    void path();
    void windowShowsWhatWasHeard();

private:
    std::unique_ptr<HeadlessMachine> m;
    QString m_link;
    QString m_county;    // the first county the default setup alerts for
    QString m_header;    // the Tornado Warning the monitor hears
};

void TestAlertPath::initTestCase()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    m = std::make_unique<HeadlessMachine>();
    // The receiver alerted for last week's Required Weekly Test only.
    const QDateTime week = QDateTime::currentDateTimeUtc().addDays(-7);
    m_link = m->startReceiver({QStringLiteral("%1 15:00 WXR RWT 0015").arg(week.date().dayOfYear(), 3, 10, QLatin1Char('0'))});
    QVERIFY2(!m_link.isEmpty(), "the virtual receiver did not start");

    QCOMPARE(m->run(QStringLiteral("nx4400c-cli init")).exitCode, 0);
    const ShellRun counties = m->run(QStringLiteral("nx4400c-cli setup counties list"));
    QCOMPARE(counties.exitCode, 0);
    const QRegularExpressionMatch code = QRegularExpression(QStringLiteral("\\b(\\d{6})\\b")).match(counties.out);
    QVERIFY2(code.hasMatch(), qPrintable(counties.out));
    m_county = code.captured(1);

    // Half an hour ago, a Tornado Warning for that county, heard by the
    // monitor and missed by the receiver.
    const QDateTime issued = QDateTime::currentDateTimeUtc().addSecs(-1800);
    m_header = QStringLiteral("ZCZC-WXR-TOR-%1+0100-%2%3-KTBW/NWS-")
                   .arg(m_county)
                   .arg(issued.date().dayOfYear(), 3, 10, QLatin1Char('0'))
                   .arg(issued.toString(QStringLiteral("HHmm")));
    QVERIFY(m->writeFile(QStringLiteral("heard.wav"),
                         SameSignal::wavFile(SameSignal::messages({m_header.toLatin1()}), 11025)));
    QVERIFY(m->writeFile(QStringLiteral("site.fleet"), "# the office's receiver\noffice " + m_link.toUtf8() + "\n"));
}

void TestAlertPath::path_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");   // a pattern standard output, then standard error, must match

    QTest::newRow("the receivers' zone is set")
        << "nx4400c-cli config set TimeZoneName America/Chicago" << 0 << "";
    QTest::newRow("the fleet's receiver is programmed under its name")
        << "nx4400c-cli transfer --fleet site.fleet" << 0 << "^office\\t2\\.05\\tok\\t";
    QTest::newRow("the receiver is kept with the zone of its setup")
        << "sqlite3 ~/.local/share/NX4400C/alerts.db \"SELECT zone FROM receivers WHERE name = 'office'\"" << 0
        << "^America/Chicago$";
    QTest::newRow("its history is logged under that name")
        << "nx4400c-cli log show --receiver office" << 0 << "RWT";
    QTest::newRow("the transfer log names it too")
        << "sqlite3 ~/.local/share/NX4400C/alerts.db 'SELECT r.name, t.ok FROM transfers t JOIN receivers r"
           " ON r.id = t.receiver_id ORDER BY t.id DESC LIMIT 1'" << 0 << "^office\\|1$";
    QTest::newRow("a zone the system does not know is refused")
        << "nx4400c-cli monitor --wav heard.wav --zone Mars/Olympus" << 2
        << "--zone: \"Mars/Olympus\" is not a time zone this system knows";
    QTest::newRow("the monitor hears the warning the receiver missed")
        << "nx4400c-cli monitor --wav heard.wav" << 0 << "TOR";
    QTest::newRow("the monitor is kept with the computer's zone")
        << "sqlite3 ~/.local/share/NX4400C/alerts.db \"SELECT zone FROM receivers WHERE name = 'monitor:wav'\"" << 0
        << "^\\S+$";
    QTest::newRow("one row for the message, with its whole header")
        << "nx4400c-cli log show | grep -c -F -e '@HEADER'" << 0 << "^1$";
    QTest::newRow("the log shows the monitor's row")
        << "nx4400c-cli log show --receiver monitor:wav" << 0 << "TOR";
    QTest::newRow("hearing the recording again adds no row")
        << "nx4400c-cli monitor --wav heard.wav >/dev/null && nx4400c-cli log show | grep -c -F -e '@HEADER'"
        << 0 << "^1$";
    QTest::newRow("a monitor takes any zone the system knows, an alias too")
        << "nx4400c-cli monitor --wav heard.wav --zone US/Pacific --text >/dev/null && sqlite3 "
           "~/.local/share/NX4400C/alerts.db \"SELECT zone FROM receivers WHERE name = 'monitor:wav'\""
        << 0 << "^US/Pacific$";
    QTest::newRow("the monitor's text gives its times in its zone")
        << "nx4400c-cli monitor --wav heard.wav --zone Asia/Tokyo --text --csv elsewhere/alerts.csv" << 0
        << "\\(issued (\\d{4}-\\d\\d-\\d\\d )?\\d\\d:\\d\\d (JST|GMT\\+9|UTC\\+09:00)\\)";
    QTest::newRow("the cross-check finds what the receiver missed")
        << "nx4400c-cli log crosscheck --receiver office" << 1 << "TOR";
    QTest::newRow("the audit refuses a receiver the log does not name")
        << "nx4400c-cli log audit --from @TODAY --exclude library" << 1 << "knows no receiver \"library\"";
    QTest::newRow("the receiver moves to a new name")
        << "nx4400c-cli log rename office gym" << 0 << "";
    QTest::newRow("its history follows the new name")
        << "nx4400c-cli log show --receiver gym" << 0 << "RWT";
    QTest::newRow("the monitor's row is kept whole through the rename")
        << "nx4400c-cli log show | grep -c -F -e '@HEADER'" << 0 << "^1$";
    QTest::newRow("the cross-check still finds the warning under the new name")
        << "nx4400c-cli log crosscheck --receiver gym" << 1 << "TOR";
    QTest::newRow("the old name is gone from the log")
        << "nx4400c-cli log show --receiver office | grep -c RWT" << 1 << "^0$";
}

void TestAlertPath::path()
{
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QVERIFY(m);
    command.replace(QLatin1String("@HEADER"), m_header);
    command.replace(QLatin1String("@TODAY"), QDate::currentDate().toString(Qt::ISODate));
    const ShellRun r = m->run(command);
    const QString both = r.out + r.err;
    QVERIFY2(r.finished, "the command did not end");
    QVERIFY2(r.exitCode == exitCode,
             qPrintable(QStringLiteral("exit %1, wanted %2:\n%3").arg(r.exitCode).arg(exitCode).arg(both)));
    QVERIFY2(QRegularExpression(expected, QRegularExpression::MultilineOption).match(both).hasMatch(),
             qPrintable(QStringLiteral("no match for %1 in:\n%2").arg(expected, both)));
}

// The engineer opens the Alert Log window on the log the walk above left:
// the receiver's row under its new name, and the monitor's row with the
// county its header named and the whole header at hand, for the eye and
// for a screen reader alike.
void TestAlertPath::windowShowsWhatWasHeard()
{
    QVERIFY(m);
    ScriptedPrompter prompter;
    FakeClock clock(QDateTime::currentDateTime());
    frmAlertLog w(m->dataHome() + QStringLiteral("/NX4400C/alerts.csv"), prompter, clock);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (w.isLoading())
        QVERIFY(QSignalSpy(&w, &frmAlertLog::loadFinished).wait(20000));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblAlerts"));
    QVERIFY(table && !table->isColumnHidden(AlertLogModel::LocationsColumn));
    const QAbstractItemModel *rows = table->model();
    int heard = -1;
    QStringList receivers;
    for (int r = 0; r < rows->rowCount(); ++r) {
        receivers << rows->index(r, AlertLogModel::ReceiverColumn).data().toString();
        if (receivers.last() == QLatin1String("monitor:wav"))
            heard = r;
    }
    QVERIFY2(receivers.contains(QStringLiteral("gym")) && !receivers.contains(QStringLiteral("office")),
             qPrintable(receivers.join(QLatin1Char(' '))));
    QVERIFY2(heard >= 0, qPrintable(receivers.join(QLatin1Char(' '))));
    const QModelIndex locations = rows->index(heard, AlertLogModel::LocationsColumn);
    QCOMPARE(locations.data().toString(), m_county);
    QCOMPARE(locations.data(Qt::ToolTipRole).toString(), m_header);
    QVERIFY(!rows->index(heard, AlertLogModel::HeardColumn).data().toString().isEmpty());

    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(table);
    QVERIFY(a && a->tableInterface());
    QAccessibleInterface *cell = a->tableInterface()->cellAt(heard, AlertLogModel::LocationsColumn);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), m_county);
}

QTEST_MAIN(TestAlertPath)
#include "tst_alertpath.moc"
