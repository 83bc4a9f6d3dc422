// SPDX-License-Identifier: GPL-3.0-or-later
// Four `nx4400c-cli transfer --csv LOG` runs at once, each against its own
// virtual receiver, all into one alert log, twenty rounds. Every round the
// receivers hear new alerts, some of them heard by two or four receivers,
// and still report the last rounds' alerts. Every row names its receiver,
// so an alert heard by two receivers is two rows. After every round each
// receiver's alert is in the log exactly once, and the four runs together
// say they added exactly the round's new rows.
#include "support/AlertRecordRead.h"
#include "support/VirtualReceiver.h"

#include "history/core/AlertLog.h"

#include <QProcess>
#include <QSet>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr int Receivers = 4;
constexpr int Rounds = 20;
constexpr int OwnPerRound = 5;
// Rows the three shared alerts of a round give: the first heard by four
// receivers, the others by two each.
constexpr int SharedRowsPerRound = 4 + 2 + 2;
// Rounds a receiver still reports after hearing an alert.
constexpr int Remembered = 3;

const char *const kEvents[] = {"TOR", "SVR", "FFW", "SVA"};

// A history slot as the receiver keeps it: day of the year and UTC time,
// originator, event, duration. Day and time tell the alerts apart.
QString slot(int round, int hour, int k)
{
    return QStringLiteral("%1 %2:%3 WXR %4 0030")
        .arg(60 + round, 3, 10, QLatin1Char('0'))
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(10 + round, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(kEvents[k % 4]));
}

// What receiver `r` heard in `round`: alerts of its own, and of the shared
// ones the first by all four, the second by 0 and 1, the third by 2 and 3.
QStringList heard(int round, int r)
{
    QStringList lines;
    for (int k = 0; k < OwnPerRound; ++k)
        lines << slot(round, r * OwnPerRound + k, k);
    lines << slot(round, 20, 0);
    lines << slot(round, r < 2 ? 21 : 22, 1);
    return lines;
}

// The slot an alert-log row came from (its time back in UTC).
QString slotOf(const AlertLogEntry &e)
{
    const QDateTime utc = e.localTime.toUTC();
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(utc.date().dayOfYear(), 3, 10, QLatin1Char('0'))
        .arg(utc.time().toString(QStringLiteral("HH:mm")), e.originator, e.code,
             QString(e.length).remove(QLatin1Char(':')));
}

} // namespace

class TestConcurrentLog : public QObject
{
    Q_OBJECT

private slots:
    void fourRunsIntoOneLog();
};

void TestConcurrentLog::fourRunsIntoOneLog()
{
    const QString cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(cli).isExecutable()
        || !QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver")).isExecutable())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("cfg/NX4400C"))));
    QFile ini(dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[EDITOR]\nSerialPort=1\nTimeZoneOffset=-5\nDaylightSavings=0\n");
    ini.close();
    QFile dat(dir.filePath(QStringLiteral("NX_4400C.DAT")));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    QByteArray text = "NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY\r\n[FIP Codes]\r\n"
                      "X 012011  Broward                Florida\r\n";
    text += QByteArray(98, '\n').replace("\n", "\r\n");
    text += "[Event Codes]\r\nTOR\r\n" + QByteArray(23, '\n').replace("\n", "\r\n");
    dat.write(text);
    dat.close();

    // The receivers read their history file for every reply: rewriting it
    // between rounds is a receiver that heard more.
    std::vector<std::unique_ptr<VirtualReceiver>> receivers;
    QStringList historyFiles;
    for (int r = 0; r < Receivers; ++r) {
        historyFiles << dir.filePath(QStringLiteral("history%1.txt").arg(r));
        receivers.push_back(std::make_unique<VirtualReceiver>(dir.path(), QStringLiteral("r%1").arg(r)));
        QVERIFY(receivers.back()->start({QStringLiteral("--history"), historyFiles.last()}));
    }
    const QString log = dir.filePath(QStringLiteral("alerts.csv"));
    QSet<QString> expected;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));

    for (int round = 0; round < Rounds; ++round) {
        QSet<QString> fresh;
        for (int r = 0; r < Receivers; ++r) {
            QStringList lines;
            for (int back = round; back >= 0 && back > round - Remembered; --back)
                lines += heard(back, r);
            for (const QString &l : heard(round, r)) {
                const QString row = l + QLatin1Char('|') + receivers[size_t(r)]->link;
                if (!expected.contains(row))
                    fresh.insert(row);
            }
            QFile h(historyFiles.at(r));
            QVERIFY(h.open(QIODevice::WriteOnly | QIODevice::Truncate));
            h.write(lines.join(QLatin1Char('\n')).toLatin1() + '\n');
        }
        QCOMPARE(fresh.size(), Receivers * OwnPerRound + SharedRowsPerRound);

        std::vector<std::unique_ptr<QProcess>> runs;
        for (int r = 0; r < Receivers; ++r) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setProcessEnvironment(env);
            runs.back()->setWorkingDirectory(dir.path());
            runs.back()->start(cli, {QStringLiteral("transfer"), QStringLiteral("--device"),
                                     receivers[size_t(r)]->link, QStringLiteral("--csv"), log});
        }
        int added = 0;
        for (int r = 0; r < Receivers; ++r) {
            QProcess &p = *runs[size_t(r)];
            QVERIFY(p.waitForFinished(60000));
            const QString err = QString::fromUtf8(p.readAllStandardError());
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                     qPrintable(QStringLiteral("round %1, receiver %2: %3").arg(round).arg(r).arg(err)));
            QVERIFY2(!err.contains(QLatin1String("could not be read")), qPrintable(err));
            const qsizetype at = err.indexOf(QLatin1String(" new alert(s) added"));
            QVERIFY2(at > 0, qPrintable(err));
            added += err.left(at).section(QLatin1Char('\n'), -1).toInt();
        }
        expected += fresh;
        QCOMPARE(added, int(fresh.size()));

        // Every alert once: no row twice, none missing, none made up.
        AlertLogContent content;
        QString why;
        QVERIFY2(ReadAlertRecord(log, &content, &why, false), qPrintable(why));
        QCOMPARE(content.skipped, 0);
        QSet<QString> logged;
        for (const AlertLogEntry &e : std::as_const(content.entries)) {
            const QString s = slotOf(e) + QLatin1Char('|') + e.receiver;
            QVERIFY2(!logged.contains(s), qPrintable(QStringLiteral("round %1: %2 twice").arg(round).arg(s)));
            logged.insert(s);
        }
        QCOMPARE(logged, expected);
    }
    QCOMPARE(expected.size(), Rounds * (Receivers * OwnPerRound + SharedRowsPerRound));
}

QTEST_GUILESS_MAIN(TestConcurrentLog)
#include "tst_concurrentlog.moc"
