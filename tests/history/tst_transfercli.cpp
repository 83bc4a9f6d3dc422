// SPDX-License-Identifier: GPL-3.0-or-later
// `nx4400c-cli transfer --csv` against the virtual receiver on a
// pseudo-terminal: the history on standard output, the log kept without
// duplicates over repeated runs, and a clean failure without a receiver.
#include "support/AlertRecordRead.h"
#include "support/TestEnv.h"

#include "history/core/AlertLog.h"

#include <QProcess>
#include <QtTest>

class TestTransferCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void repeatedRunsKeepOneLog();
    void refusesWithoutParameterFile();

private:
    void run(QProcess &p, const QStringList &args, const QString &workDir);

    QTemporaryDir m_dir;
    QProcess m_receiver;
    QString m_cli;
};

void TestTransferCli::initTestCase()
{
    m_cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    const QString receiver = buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver");
    if (!QFileInfo(m_cli).isExecutable() || !QFileInfo(receiver).isExecutable())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");

    const QString pty = m_dir.filePath(QStringLiteral("pty"));
    m_receiver.start(receiver, {QStringLiteral("--link"), pty, QStringLiteral("--fast")});
    QVERIFY(m_receiver.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(pty), 10000);

    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("cfg/NX4400C"))));
    QFile ini(m_dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[EDITOR]\nSerialPort=1\nTimeZoneOffset=-5\nDaylightSavings=0\n[Ports]\nPort1=" + pty.toUtf8() + "\n");
    ini.close();

    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("run"))));
    QFile dat(m_dir.filePath(QStringLiteral("run/NX_4400C.DAT")));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    QByteArray text = "NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY\r\n[FIP Codes]\r\n"
                      "X 012011  Broward                Florida\r\n";
    for (int i = 1; i < 99; ++i)
        text += "\r\n";
    text += "[Event Codes]\r\nTOR\r\n";
    for (int i = 1; i < 24; ++i)
        text += "\r\n";
    dat.write(text);
    dat.close();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("empty"))));
}

void TestTransferCli::cleanupTestCase()
{
    if (m_receiver.state() != QProcess::NotRunning) {
        m_receiver.terminate();
        if (!m_receiver.waitForFinished(5000))
            m_receiver.kill();
    }
}

void TestTransferCli::run(QProcess &p, const QStringList &args, const QString &workDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("cfg")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.start(m_cli, QStringList{QStringLiteral("transfer")} + args);
    p.waitForFinished(120000);
}

void TestTransferCli::repeatedRunsKeepOneLog()
{
    const QString csv = m_dir.filePath(QStringLiteral("alerts.csv"));
    const QString work = m_dir.filePath(QStringLiteral("run"));
    QProcess first;
    run(first, {QStringLiteral("--csv"), csv}, work);
    const QString err = QString::fromUtf8(first.readAllStandardError());
    QVERIFY2(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0, qPrintable(err));
    const QString out = QString::fromUtf8(first.readAllStandardOutput());
    QVERIFY(out.contains(QLatin1String("NX-4400C Weather Receiver with SAME\n")));
    QVERIFY(out.contains(QLatin1String("\t09:30\t00:30\tTornado Warning\n")));
    QVERIFY(out.contains(QLatin1String("\n40:   \t\t\t\n")));

    // The rows go into the alert database beside the log's name; no CSV
    // file is written.
    QVERIFY(!QFile::exists(csv));
    AlertLogContent record;
    QString why;
    QVERIFY2(ReadAlertRecord(csv, &record, &why, false), qPrintable(why));
    const QByteArray log = AlertLogTextFor(record.entries, AlertLogLayoutCurrent);
    const QList<QByteArray> lines = log.trimmed().split('\n');
    QVERIFY(lines.size() > 1);
    // A new log has the Receiver column, and every row names the device.
    QCOMPARE(QString::fromUtf8(lines.first()),
             AlertLogHeaderWithMonitor);
    QVERIFY(log.contains(",WXR,TOR,Tornado Warning,Warning,00:30,/"));
    for (const QByteArray &l : lines)   // the Receiver field; the monitor's columns stay empty
        QVERIFY2(!SplitCsvLine(QString::fromUtf8(l)).value(6).isEmpty(), l.constData());

    QProcess second;
    run(second, {QStringLiteral("--csv"), csv}, work);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().contains("0 new alert(s)"));
    QVERIFY2(ReadAlertRecord(csv, &record, &why, false), qPrintable(why));
    QCOMPARE(AlertLogTextFor(record.entries, AlertLogLayoutCurrent), log);
}

void TestTransferCli::refusesWithoutParameterFile()
{
    // No parameter file: sending an empty coverage would wipe the
    // receiver's, so nothing is sent.
    QProcess p;
    run(p, {}, m_dir.filePath(QStringLiteral("empty")));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("nothing was sent to the receiver"));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("empty/NX_4400C.DAT"))));
}

QTEST_GUILESS_MAIN(TestTransferCli)
#include "tst_transfercli.moc"
