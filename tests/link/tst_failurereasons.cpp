// SPDX-License-Identifier: GPL-3.0-or-later
// `nx4400c-cli transfer` against a faulty virtual receiver says why the
// transfer failed: the step stays the editor's fixed status text, and the
// reason (bad checksum, short frame, wrong last byte, lost port, refused
// frame) follows on standard error before the failure line. A receiver that
// goes away during the second-boundary wait is a lost port, not a time-out.
#include "support/VirtualReceiver.h"

#include <QProcess>
#include <QTest>

class TestFailureReasons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reasons_data();
    void reasons();

private:
    QTemporaryDir m_dir;
    QString m_cli;
};

void TestFailureReasons::initTestCase()
{
    m_cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(m_cli).isExecutable()
        || !QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver")).isExecutable())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("cfg/NX4400C"))));
    QFile dat(m_dir.filePath(QStringLiteral("NX_4400C.DAT")));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    QByteArray text = "NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY\r\n[FIP Codes]\r\n"
                      "X 012011  Broward                Florida\r\n";
    text += QByteArray(98, '\n').replace("\n", "\r\n");
    text += "[Event Codes]\r\nTOR\r\n" + QByteArray(23, '\n').replace("\n", "\r\n");
    dat.write(text);
}

void TestFailureReasons::reasons_data()
{
    QTest::addColumn<QStringList>("receiverArgs");
    QTest::addColumn<bool>("killInWait");     // end the receiver during the second-boundary wait
    QTest::addColumn<QString>("status");      // the left panel's fixed text
    QTest::addColumn<QString>("reason");

    auto f = [](const char *name) { return QStringList{QStringLiteral("--fault"), QString::fromLatin1(name)}; };
    QTest::newRow("bad checksum") << f("bad-checksum") << false << "Downloading Data"
                                  << "bad checksum: the history adds up to 0x";
    QTest::newRow("wrong last byte") << f("wrong-last-byte") << false << "Downloading Data"
                                     << "wrong last byte: the reply ended with 0x15, not ACK (0x06)";
    // The reply stops at 1000 bytes; the editor waits out its 20 s time-out.
    QTest::newRow("short frame") << f("short-frame") << false << "Downloading Data"
                                 << "short frame: 1000 of 1284 bytes before the time-out (20 s)";
    QTest::newRow("cable pulled mid-reply")
        << (f("pull-cable") + QStringList{QStringLiteral("--pull-after"), QStringLiteral("700")}) << false
        << "Downloading Data" << "lost port: ";
    QTest::newRow("lost in the boundary wait") << QStringList{} << true << "Port Connection Lost" << "lost port: ";
    QTest::newRow("frame refused") << f("nak") << false << "Upload Failure"
                                   << "the receiver refused the parameters (NAK)";
}

void TestFailureReasons::reasons()
{
    QFETCH(QStringList, receiverArgs);
    QFETCH(bool, killInWait);
    QFETCH(QString, status);
    QFETCH(QString, reason);

    VirtualReceiver vr(m_dir.path(), QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
    QVERIFY(vr.start(receiverArgs));

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("cfg")));
    // A plain transfer adds to the user's alert log: keep it in the test's folder.
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir.path());
    p.setReadChannel(QProcess::StandardError);
    p.start(m_cli, {QStringLiteral("transfer"), QStringLiteral("--device"), vr.link});
    QVERIFY(p.waitForStarted());
    QByteArray err;
    if (killInWait) {
        // The negotiation is done; the upload waits for its second.
        while (!err.contains("Port Connect Successful") && p.waitForReadyRead(10000))
            err += p.readAllStandardError();
        QVERIFY2(err.contains("Port Connect Successful"), err.constData());
        vr.process.kill();
        QVERIFY(vr.process.waitForFinished(5000));
    }
    QVERIFY(p.waitForFinished(60000));
    err += p.readAllStandardError();
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardOutput().isEmpty());

    const QString text = QString::fromUtf8(err);
    const qsizetype failed = text.indexOf(QLatin1String("transfer: the transfer failed"));
    QVERIFY2(failed >= 0, qPrintable(text));
    // The step, as the editor's status bar shows it.
    QVERIFY2(text.mid(failed).startsWith(QStringLiteral("transfer: the transfer failed (") + status),
             qPrintable(text));
    // The reason, on its own line before the failure line.
    const qsizetype at = text.indexOf(QLatin1Char('\n') + reason);
    QVERIFY2(at >= 0 && at < failed, qPrintable(text));
    QVERIFY2(!text.contains(QLatin1String("Upload Data Timeout")), qPrintable(text));
    if (reason.startsWith(QLatin1String("lost port")))
        QVERIFY2(text.mid(at).contains(vr.link) || text.mid(at).contains(QLatin1String("/dev/pts/")),
                 qPrintable(text));
}

QTEST_GUILESS_MAIN(TestFailureReasons)
#include "tst_failurereasons.moc"
