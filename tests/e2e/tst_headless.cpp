// SPDX-License-Identifier: GPL-3.0-or-later
// A fleet engineer's day without the editor: from an empty home, only
// nx4400c-cli and four virtual receivers. The rows run in order on one
// machine, each building on the ones before, as the engineer types them.
#include "support/AlertRecordRead.h"
#include "support/Headless.h"

#include <QDate>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Alerts as the receiver keeps them: day of the year and UTC time.
QString alert(const QDate &day, const char *code)
{
    return QStringLiteral("%1 15:00 WXR %2 0015").arg(day.dayOfYear(), 3, 10, QLatin1Char('0')).arg(QLatin1String(code));
}

} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void day_data();
    void day();

private:
    std::unique_ptr<HeadlessMachine> m;
    QStringList m_links;
    QDate m_from;
    QDate m_to;
};

void TestHeadless::initTestCase()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    m = std::make_unique<HeadlessMachine>();
    // Four complete weeks (Sunday to Saturday) that ended before today, each
    // with a weekly test on its Wednesday and, but for the middle one, a
    // monthly test on its Thursday. The third receiver lost the weekly test
    // of the middle week, so only it has a gap.
    const QDate today = QDate::currentDate();
    m_to = today.addDays(-(today.dayOfWeek() % 7) - 1);   // last Saturday
    m_from = m_to.addDays(-27);                            // a Sunday
    for (int r = 1; r <= 4; ++r) {
        QStringList history;
        for (int w = 3; w >= 0; --w) {
            const QDate sunday = m_from.addDays(7 * w);
            if (w != 2)
                history << alert(sunday.addDays(4), "RMT");
            if (!(r == 3 && w == 2))
                history << alert(sunday.addDays(3), "RWT");
        }
        const QString link = m->startReceiver(history);
        QVERIFY2(!link.isEmpty(), "a virtual receiver did not start");
        m_links << link;
    }
}

void TestHeadless::day_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");   // a pattern standard output, then standard error, must match
    QTest::addColumn<QString>("needs");      // a command this row needs that may not be there yet

    // The virtual receivers' links are @1..@4; the audit period @FROM..@TO.
    QTest::newRow("init in an empty folder") << "nx4400c-cli init" << 0
                                             << "Made .*NX_4400C\\.DAT.*\\n.*Left out .*SVW TOW.*\\n.*Made the settings "
                                                "store.*\\n.*TimeZoneName"
                                             << "";
    QTest::newRow("init again is refused") << "nx4400c-cli init" << 1 << "already there.*--force" << "";
    QTest::newRow("a missing data file names init") << "cd .. && nx4400c-cli image" << 1 << "nx4400c-cli init" << "";
    QTest::newRow("no coverage page without a data file")
        << "cd .. && nx4400c-cli coverage print --pdf blank.pdf; test -e blank.pdf && echo written" << 1
        << "coverage print: cannot read the parameter file.*nx4400c-cli init" << "";
    QTest::newRow("removing a county that is not there")
        << "nx4400c-cli setup counties remove 123456" << 1
        << "^the editor's setup: settings .*NX_4400C\\.DAT\\n.*123456 is not in the county list; nothing was changed" << "";
    QTest::newRow("config set TimeZoneOffset -7") << "nx4400c-cli config set TimeZoneOffset -7" << 0 << "EDITOR/TimeZoneOffset=-7" << "";
    QTest::newRow("config refuses -3, naming the values") << "nx4400c-cli config set TimeZoneOffset -3" << 2 << "-4 to -11.*nothing was changed" << "";
    QTest::newRow("config keeps -7") << "nx4400c-cli config get TimeZoneOffset" << 0 << "^-7\\n" << "";
    QTest::newRow("ports set 1") << "nx4400c-cli ports set 1 @1" << 0 << "Port 1 = " << "";
    QTest::newRow("ports set onto a missing adapter warns") << "nx4400c-cli ports set 2 /dev/ttyUSB7" << 0 << "does not exist" << "";
    QTest::newRow("ports set 2 auto") << "nx4400c-cli ports set 2 auto" << 0 << "\\(automatic\\)" << "";
    QTest::newRow("single transfer into the default log")
        << "nx4400c-cli transfer > history.txt && nx4400c-cli log show | head -1" << 0
        << "^LocalDateTime,.*,Receiver,Locations,Header,Heard,Note\\n[\\s\\S]*added to .*/\\.local/share/NX4400C/alerts\\.db" << "";
    QTest::newRow("a batch of three into the same log")
        << "nx4400c-cli transfer --device @2 --device @3 --device @4 --json" << 0
        << "\"result\": \"ok\"[\\s\\S]*\"result\": \"ok\"[\\s\\S]*\"result\": \"ok\"" << "";
    QTest::newRow("--device named in status and trace lines")
        << "nx4400c-cli transfer --device @2 --trace t.txt > /dev/null && grep -c -e 'Port # 1' -e 'port 1' t.txt; "
           "grep '^=== Transfer on' t.txt" << 0 << "^0\\n=== Transfer on @2 [\\s\\S]*Negotiating @2\\n" << "";
    // A port number names its device, as the log's Receiver column does.
    QTest::newRow("result lines name receivers as the log does")
        << "nx4400c-cli transfer --port 1 --device @2 --csv batch.csv && nx4400c-cli log show --csv batch.csv | cut -d, -f7 | sort -u" << 0
        << "^@1\\t2\\.05\\tok\\t.*\\n@2\\t2\\.05\\tok\\t[\\s\\S]*^@1\\n@2\\nReceiver\\n" << "";
    QTest::newRow("a --devices file of one line is a single transfer")
        << "echo @3 > one.devices && nx4400c-cli transfer --devices one.devices" << 0
        << "NX-4400C Weather Receiver with SAME[\\s\\S]*new alert\\(s\\) added to .*alerts\\.db" << "";
    // The machine-readable output keeps to its published schema.
    QTest::newRow("transfer --json keeps to its schema")
        << "nx4400c-cli transfer --json --device @1 > t.json; nx4400c-cli transfer --json --device @1 --device @2 > b.json; "
           "nx4400c-cli transfer --json --device /dev/null-adapter > f.json; "
           "for f in t b f; do python3 -c 'import json,sys,jsonschema; "
           "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2]))); print(\"valid\")' "
           "$f.json @SRC/docs/json/transfer.schema.json || exit 3; done" << 0 << "valid\nvalid\nvalid" << "python3 jsonschema";
    QTest::newRow("ports --json keeps to its schema")
        << "nx4400c-cli ports --json > p.json && python3 -c 'import json,sys,jsonschema; "
           "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2]))); print(\"valid\")' "
           "p.json @SRC/docs/json/ports.schema.json" << 0 << "^valid" << "python3 jsonschema";
    QTest::newRow("log audit names the receiver without its weekly test")
        << "nx4400c-cli log audit --from @FROM --to @TO" << 1 << "@3" << "log audit --receiver";
    QTest::newRow("log upgrade of an old six-column log")
        << "printf 'LocalDateTime,Originator,EventCode,EventName,Class,Length\\n"
           "2026-03-06T09:30:00-05:00,WXR,TOR,Tornado Warning,Warning,00:30\\n' > old.csv && "
           "nx4400c-cli log upgrade old.csv --receiver office && head -1 old.csv" << 0 << "Length,Receiver" << "log upgrade";
    QTest::newRow("a batch appends to the upgraded log")
        << "nx4400c-cli transfer --csv old.csv --device @2 --device @3 --device @4 && nx4400c-cli log show --csv old.csv | grep -c ',@4,,,,$'" << 0
        << "^[1-9][0-9]*$[\\s\\S]*3 of 3 receiver\\(s\\) programmed" << "log upgrade";
}

void TestHeadless::day()
{
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QFETCH(QString, needs);
    QVERIFY(m);

    // Rows for commands another piece of work brings are skipped until the
    // program has them (their own --help tells).
    if (needs.startsWith(QLatin1String("python3 "))) {
        if (m->run(QStringLiteral("python3 -c 'import %1'").arg(needs.mid(8))).exitCode != 0)
            QSKIP(qPrintable(QStringLiteral("needs the Python module %1").arg(needs.mid(8))));
    } else if (!needs.isEmpty()) {
        const QStringList words = needs.split(QLatin1Char(' '));
        const ShellRun help = m->run(QStringLiteral("nx4400c-cli %1 %2 --help").arg(words.value(0), words.value(1)));
        const bool there = help.exitCode == 0
                           && help.out.contains(QStringLiteral("usage: nx4400c-cli %1 %2").arg(words.value(0), words.value(1)))
                           && (words.size() < 3 || help.out.contains(words.at(2)));
        if (!there)
            QSKIP(qPrintable(QStringLiteral("needs `nx4400c-cli %1`, which this build does not have yet").arg(needs)));
    }

    auto fill = [&](QString s) {
        for (int i = 0; i < m_links.size(); ++i)
            s.replace(QStringLiteral("@%1").arg(i + 1), m_links.at(i));
        s.replace(QLatin1String("@FROM"), m_from.toString(Qt::ISODate));
        s.replace(QLatin1String("@TO"), m_to.toString(Qt::ISODate));
        s.replace(QLatin1String("@SRC"), sourceDir());
        return s;
    };
    const ShellRun r = m->run(fill(command));
    const QString both = r.out + r.err;
    QVERIFY2(r.finished, "the command did not end");
    QVERIFY2(r.exitCode == exitCode, qPrintable(QStringLiteral("exit %1, wanted %2:\n%3").arg(r.exitCode).arg(exitCode).arg(both)));
    const QRegularExpression pattern(fill(expected), QRegularExpression::MultilineOption);
    QVERIFY2(pattern.match(both).hasMatch(), qPrintable(QStringLiteral("no match for %1 in:\n%2").arg(expected, both)));

    if (QTest::currentDataTag() == QLatin1String("single transfer into the default log")) {
        // The times follow the time zone set two rows above (Mountain
        // time, with or without daylight saving).
        AlertLogContent record;
        QString why;
        QVERIFY2(ReadAlertRecord(m->defaultLog(), &record, &why, false), qPrintable(why));
        const QByteArray rows = AlertLogTextFor(record.entries, AlertLogLayoutCurrent);
        QVERIFY2(rows.contains("-07:00,WXR,RWT") || rows.contains("-06:00,WXR,RWT"), rows.constData());
        QVERIFY(QFile::exists(m->path(QStringLiteral("history.txt"))));
    }
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
