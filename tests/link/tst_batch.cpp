// SPDX-License-Identifier: GPL-3.0-or-later
// `nx4400c-cli transfer` with many devices: eight virtual receivers, one that
// never answers and one that refuses the frame, programmed at once. Six
// succeed and two fail with their reasons; the six receivers' alerts land in
// one log with the Receiver column; every receiver gets the profile's image
// byte for byte; the trace holds every session. Mistakes in the device list
// or the log stop the run before any receiver is contacted.
#include "support/AlertRecordRead.h"
#include "support/ProfileImage.h"
#include "support/VirtualReceiver.h"

#include "base/Services.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "history/core/AlertLog.h"

#include <QProcess>
#include <QtTest>

#include <memory>
#include <vector>

class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eightReceiversTwoFaulty();
    void refusedBeforeSending_data();
    void refusedBeforeSending();

private:
    int run(const QStringList &args, QByteArray *out, QByteArray *err);
    QByteArray expectedImage();

    QTemporaryDir m_dir;
    QString m_cli;
    QString m_profile;
};

void TestBatch::initTestCase()
{
    m_cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(m_cli).isExecutable()
        || !QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver")).isExecutable())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("cfg/NX4400C"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("data"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("run"))));
    QFile ini(m_dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[EDITOR]\nSerialPort=1\nTimeZoneOffset=-5\nDaylightSavings=0\n");
    ini.close();

    ReceiverConfig config;
    QStringList fips(ReceiverSetup::FipEntryCount), events(ReceiverSetup::EventSlotCount);
    fips[0] = QStringLiteral("X 012011  Broward                Florida");
    fips[1] = QStringLiteral("X 012086  Miami-Dade             Florida");
    events[0] = QStringLiteral("TOR");
    events[1] = QStringLiteral("SVR");
    m_profile = m_dir.filePath(QStringLiteral("district.nxp"));
    QString why;
    QVERIFY2(SaveProfile(m_profile, config, fips, events, &why), qPrintable(why));
}

int TestBatch::run(const QStringList &args, QByteArray *out, QByteArray *err)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("cfg")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir.filePath(QStringLiteral("run")));
    p.start(m_cli, QStringList{QStringLiteral("transfer")} + args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    *out = p.readAllStandardOutput();
    *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// What the command line sends: the settings store under the profile.
QByteArray TestBatch::expectedImage()
{
    return ProfileImage(m_dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")), m_profile);
}

void TestBatch::eightReceiversTwoFaulty()
{
    const QByteArray image = expectedImage();
    QCOMPARE(image.size(), 511);
    std::vector<std::unique_ptr<VirtualReceiver>> receivers;
    QStringList faults(8);
    faults[2] = QStringLiteral("silence");
    faults[5] = QStringLiteral("nak");
    for (int i = 0; i < 8; ++i) {
        receivers.push_back(std::make_unique<VirtualReceiver>(m_dir.path(), QStringLiteral("r%1").arg(i)));
        QStringList extra{QStringLiteral("--rom"), QStringLiteral("2.0%1").arg(i)};
        if (!faults[i].isEmpty())
            extra << QStringLiteral("--fault") << faults[i];
        QVERIFY(receivers.back()->start(extra));
    }
    // Six from a list with comments and blank lines, two on the command line.
    QFile list(m_dir.filePath(QStringLiteral("devices.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("# rack A\n\n");
    for (int i = 0; i < 6; ++i)
        list.write("  " + receivers[size_t(i)]->link.toUtf8() + (i == 3 ? "\r\n" : "\n"));
    list.write("   # end of rack A\n");
    list.close();
    const QString log = m_dir.filePath(QStringLiteral("alerts.csv"));
    const QString trace = m_dir.filePath(QStringLiteral("trace.txt"));

    QByteArray out, err;
    const int code = run({QStringLiteral("--profile"), m_profile, QStringLiteral("--devices"), list.fileName(),
                          QStringLiteral("--device"), receivers[6]->link, QStringLiteral("--device"),
                          receivers[7]->link, QStringLiteral("--csv"), log, QStringLiteral("--trace"), trace},
                         &out, &err);
    QCOMPARE(code, 1);

    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 8);
    for (int i = 0; i < 8; ++i) {
        const QList<QByteArray> f = lines[i].split('\t');
        QCOMPARE(f.size(), 5);
        QCOMPARE(QString::fromUtf8(f[0]), receivers[size_t(i)]->link);
        bool isNumber = false;
        f[4].toDouble(&isNumber);
        QVERIFY(isNumber);
        if (i == 2) {
            QCOMPARE(f[1], QByteArray("-"));
            QCOMPARE(f[2], QByteArray("failed"));
            QVERIFY2(f[3].startsWith("Port Connect Failed: Error #202"), f[3].constData());
        } else if (i == 5) {
            QCOMPARE(f[1], QByteArray("-"));
            QCOMPARE(f[2], QByteArray("failed"));
            QCOMPARE(f[3], QByteArray("Upload Failure: the receiver refused the parameters (NAK)"));
        } else {
            QCOMPARE(f[1], QStringLiteral("2.0%1").arg(i).toUtf8());
            QCOMPARE(f[2], QByteArray("ok"));
            QCOMPARE(f[3], QByteArray("Upload / Download Successful"));
        }
        // Every receiver that took a frame took exactly the profile's image.
        if (i != 2)
            QCOMPARE(receivers[size_t(i)]->uploadedImage(), image);
    }
    QVERIFY(receivers[2]->uploadedImage().isEmpty());
    QVERIFY(err.contains("6 of 8 receiver(s) programmed"));
    // Status lines carry their receiver.
    QVERIFY(err.contains((receivers[5]->link + QStringLiteral(": Upload Failure")).toUtf8()));

    AlertLogContent content;
    QString why;
    QVERIFY2(ReadAlertRecord(log, &content, &why, false), qPrintable(why));
    QVERIFY(content.receiverColumn);
    QCOMPARE(content.skipped, 0);
    QMap<QString, int> perReceiver;
    for (const AlertLogEntry &e : std::as_const(content.entries))
        ++perReceiver[e.receiver];
    QCOMPARE(perReceiver.size(), 6);
    const int each = perReceiver.first();
    QVERIFY(each > 0);
    for (int i = 0; i < 8; ++i) {
        const QString dev = receivers[size_t(i)]->link;
        QCOMPARE(perReceiver.value(dev), (i == 2 || i == 5) ? 0 : each);
    }

    QFile t(trace);
    QVERIFY(t.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(t.readAll());
    for (int i = 0; i < 8; ++i)
        QVERIFY(text.contains(QStringLiteral("==== %1 ====\n").arg(receivers[size_t(i)]->link)));
    QVERIFY(text.contains(QLatin1String("Download")));

    // A second run adds nothing: the same receivers' alerts are in already.
    for (int i : {2, 5})
        receivers[size_t(i)]->stop();
    const qint64 rowsBefore = content.entries.size();
    QCOMPARE(run({QStringLiteral("--profile"), m_profile, QStringLiteral("--device"), receivers[0]->link,
                  QStringLiteral("--device"), receivers[1]->link, QStringLiteral("--csv"), log},
                 &out, &err),
             0);
    QVERIFY(err.contains("0 new alert(s)"));
    QVERIFY2(ReadAlertRecord(log, &content, &why, false), qPrintable(why));
    QCOMPARE(content.entries.size(), rowsBefore);
}

void TestBatch::refusedBeforeSending_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("listFile");
    QTest::addColumn<QByteArray>("logFile");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString rx = QStringLiteral("@RX@");   // stands for the receiver's link
    QTest::newRow("log without Receiver column")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--device"), QStringLiteral("/dev/null")}
        << QByteArray() << QByteArray("LocalDateTime,Originator,EventCode,EventName,Class,Length\n") << 1
        << QStringLiteral("has no Receiver column");
    QTest::newRow("device named twice")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--devices"), QStringLiteral("@LIST@")}
        << QByteArray("@RX@\n") << QByteArray() << 2 << QStringLiteral("is named twice");
    QTest::newRow("bad name in the list, with its line")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--devices"), QStringLiteral("@LIST@")}
        << QByteArray("# ok\n/dev/ttyS0\nftp://host:1\n") << QByteArray() << 1 << QStringLiteral(": line 3: ");
    QTest::newRow("list names nothing")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--devices"), QStringLiteral("@LIST@")}
        << QByteArray("# nothing\n\n") << QByteArray() << 1 << QStringLiteral("names no device");
    QTest::newRow("port out of range")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--port"), QStringLiteral("5")}
        << QByteArray() << QByteArray() << 2 << QStringLiteral("--port takes 1 to 4");
    QTest::newRow("device with a line break")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--device"), QStringLiteral("/dev/a\nb")}
        << QByteArray() << QByteArray() << 2 << QStringLiteral("--device");
    QTest::newRow("trace is a folder")
        << QStringList{QStringLiteral("--device"), rx, QStringLiteral("--device"), QStringLiteral("/dev/null"),
                       QStringLiteral("--trace"), QStringLiteral("@DIR@")}
        << QByteArray() << QByteArray() << 1 << QStringLiteral("trace");
}

void TestBatch::refusedBeforeSending()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, listFile);
    QFETCH(QByteArray, logFile);
    QFETCH(int, code);
    QFETCH(QString, message);
    QTemporaryDir dir;
    VirtualReceiver rx(dir.path());
    QVERIFY(rx.start());
    const QString list = dir.filePath(QStringLiteral("list.txt"));
    const QString log = dir.filePath(QStringLiteral("log.csv"));
    if (!listFile.isEmpty()) {
        QFile f(list);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(listFile).replace("@RX@", rx.link.toUtf8()));
    }
    if (!logFile.isEmpty()) {
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(logFile);
    }
    for (QString &a : args) {
        a.replace(QLatin1String("@RX@"), rx.link);
        a.replace(QLatin1String("@LIST@"), list);
        a.replace(QLatin1String("@DIR@"), dir.path());
    }
    args << QStringLiteral("--profile") << m_profile << QStringLiteral("--csv") << log;
    QByteArray out, err;
    QCOMPARE(run(args, &out, &err), code);
    QVERIFY2(QString::fromUtf8(err).contains(message), err.constData());
    QVERIFY(out.isEmpty());
    QTest::qWait(100);
    QVERIFY(rx.recorded().isEmpty());
    QFile f(log);
    if (logFile.isEmpty())
        QVERIFY(!f.exists());
    else
        QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == logFile);
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
