// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor is started with: a receiver profile (a double-clicked
// .nxprofile file) and --monitor (the Start menu's Alert Monitor entry).
#include "app/gui/NX4400C.h"
#include "config/core/ReceiverProfile.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAccessible>
#include <QDialog>
#include <QtTest>

class tst_StartArgs : public QObject
{
    Q_OBJECT
private slots:
    void openAtStart_data();
    void openAtStart();
    void unknownOptionIsRefused();
};

void tst_StartArgs::openAtStart_data()
{
    QTest::addColumn<QString>("profile");   // "good", "missing" or empty
    QTest::addColumn<bool>("monitor");
    QTest::addColumn<int>("stateAfter");
    QTest::newRow("a profile") << "good" << false << 34;
    QTest::newRow("the Alert Monitor") << "" << true << 9;
    QTest::newRow("a profile, then the Alert Monitor") << "good" << true << 34;
    QTest::newRow("a profile that is not there: told, the monitor still opens") << "missing" << true << 9;
}

void tst_StartArgs::openAtStart()
{
    QFETCH(QString, profile);
    QFETCH(bool, monitor);
    QFETCH(int, stateAfter);

    TestEnv env;
    env.ctx->config.StateID = 9;
    QString path;
    if (profile == QLatin1String("good")) {
        ReceiverConfig config = env.ctx->config;
        config.StateID = 34;
        path = env.path(QStringLiteral("site.nxprofile"));
        QString why;
        QVERIFY2(SaveProfile(path, config, env.ctx->FipEntries, env.ctx->EventSelection, &why), qPrintable(why));
    } else if (profile == QLatin1String("missing")) {
        path = env.path(QStringLiteral("gone.nxprofile"));
    }

    NX4400C w(*env.ctx);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QString opened, heard;
    whenModal<QDialog>([&](QDialog *d) {
        opened = d->objectName();
        if (QAccessibleInterface *a = QAccessible::queryAccessibleInterface(d))
            heard = a->text(QAccessible::Name);
        grab(d, QStringLiteral("startargs-monitor"));
        d->reject();
    });
    w.openAtStart(path, monitor);
    // Nothing before the event loop runs: the main window shows first.
    QVERIFY(opened.isEmpty());
    QCOMPARE(env.ctx->config.StateID, int16_t(9));
    if (monitor)
        QVERIFY(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 10000));
    else
        QTest::qWait(300);
    QCOMPARE(env.ctx->config.StateID, int16_t(stateAfter));
    QCOMPARE(opened, monitor ? QStringLiteral("frmMonitor") : QString());
    if (monitor)
        QCOMPARE(heard, QStringLiteral("NX-4400C Alert Monitor"));
    if (profile == QLatin1String("missing")) {
        QCOMPARE(env.prompter.boxes.size(), 1);
        QVERIFY(env.prompter.boxes.first().text.startsWith(QLatin1String("The profile was not opened")));
    } else {
        QVERIFY(env.prompter.boxes.isEmpty());
    }
}

void tst_StartArgs::unknownOptionIsRefused()
{
    QProcess p;
    p.start(buildBinDir() + QStringLiteral("/nx4400c"), {QStringLiteral("--bogus")});
    QVERIFY(p.waitForFinished(20000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitCode() == 2, err.constData());
    QVERIFY2(err.contains("unknown option --bogus"), err.constData());
}

QTEST_MAIN(tst_StartArgs)
#include "tst_startargs.moc"
