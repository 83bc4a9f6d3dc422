// SPDX-License-Identifier: GPL-3.0-or-later
// `nx4400c-cli ports set` refuses a device name that could not be a device
// (control characters, absurd length, invalid UTF-8, a malformed network
// address): nothing reaches the settings store, and the refused name is not
// echoed back raw.

#include "support/TestEnv.h"

#include <QFile>
#include <QProcess>
#include <QTest>

class TestPortNames : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void accepted_data();
    void accepted();

private:
    // Runs the tool through the shell so that raw bytes can be passed.
    int portsSet(const TestEnv &env, const QByteArray &shellWord, QByteArray *out, QByteArray *err)
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), env.dir.path());
        e.insert(QStringLiteral("HOME"), env.dir.path());
        p.setProcessEnvironment(e);
        p.start(QStringLiteral("/bin/bash"),
                {QStringLiteral("-c"), QStringLiteral("\"$0\" ports set 1 ") + QString::fromLatin1(shellWord),
                 buildBinDir() + QStringLiteral("/nx4400c-cli")});
        if (!p.waitForFinished(20000))
            return -1;
        *out = p.readAllStandardOutput();
        *err = p.readAllStandardError();
        return p.exitCode();
    }
    QByteArray store(const TestEnv &env)
    {
        QFile f(env.dir.filePath(QStringLiteral("NX4400C/NX4400C.ini")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

void TestPortNames::refused_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("line break and a second key") << QByteArray("\"$(printf '/dev/x\\nPort2=/evil')\"");
    QTest::newRow("carriage return") << QByteArray("\"$(printf '/dev/ttyS0\\r')x\"");
    QTest::newRow("escape sequence") << QByteArray("\"$(printf '/dev/\\033[2Jx')\"");
    QTest::newRow("100 KB path") << QByteArray("\"/dev/$(head -c 102400 /dev/zero | tr '\\0' a)\"");
    QTest::newRow("invalid UTF-8") << QByteArray("\"$(printf '/dev/\\377\\376x')\"");
    QTest::newRow("network address without port") << QByteArray("rfc2217://host");
    QTest::newRow("network port out of range") << QByteArray("tcp://127.0.0.1:70000");
    QTest::newRow("unknown scheme") << QByteArray("telnet://127.0.0.1:23");
}

void TestPortNames::refused()
{
    QFETCH(QByteArray, word);
    TestEnv env;
    QByteArray out, err;
    // A refused argument, like every other one of the program.
    QCOMPARE(portsSet(env, word, &out, &err), 2);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains("ports: port 1 not changed:"), err.constData());
    QVERIFY2(!err.contains("evil") && !err.contains('\033') && err.size() < 2000, err.left(300).constData());
    QVERIFY(!store(env).contains("Port1="));
}

void TestPortNames::accepted_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("serial device") << QByteArray("/dev/ttyUSB0") << QByteArray("Port1=/dev/ttyUSB0");
    QTest::newRow("rfc2217") << QByteArray("rfc2217://rack-7.example:2000")
                             << QByteArray("Port1=\"rfc2217://rack-7.example:2000\"");
    QTest::newRow("raw tcp") << QByteArray("tcp://127.0.0.1:4001") << QByteArray("Port1=\"tcp://127.0.0.1:4001\"");
}

void TestPortNames::accepted()
{
    QFETCH(QByteArray, word);
    QFETCH(QByteArray, stored);
    TestEnv env;
    QByteArray out, err;
    QCOMPARE(portsSet(env, word, &out, &err), 0);
    const QByteArray ini = store(env);
    QVERIFY2(ini.contains(stored) || ini.contains(QByteArray(stored).replace("\"", "")), ini.constData());
}

QTEST_MAIN(TestPortNames)
#include "tst_portnames.moc"
