// SPDX-License-Identifier: GPL-3.0-or-later
// The editor keeps every transfer's history in the alert log: repeated
// transfers from the main window against the virtual receiver log each alert
// once, and "Log Every Transfer" turned off logs nothing.

#include "support/AlertRecordRead.h"
#include "support/GuiDriver.h"
#include "support/VirtualReceiver.h"

#include "app/gui/NX4400C.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"

#include <QAction>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QSet>
#include <QTest>

class TestEditorLog : public QObject
{
    Q_OBJECT

private slots:
    void repeatedTransfersLogEachAlertOnce();
    void loggingOff();
    void serialTraceWindow();
};

namespace {

struct Editor {
    TestEnv env;
    NX4400C window;
    Editor()
        : window(*env.ctx)
    {
        AppContext &ctx = *env.ctx;
        LoadConfiguration(ctx, ctx.config);
        InitEventCatalog(ctx.catalog);
        LoadDefaultCoverage(ctx);
        ctx.setView(&window);
        window.show();
    }
    void transfer() { window.findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger(); }
    QString left() const { return window.findChild<QLabel *>(QStringLiteral("Left"))->text(); }
};

} // namespace

void TestEditorLog::repeatedTransfersLogEachAlertOnce()
{
    Editor e;
    AppContext &ctx = *e.env.ctx;
    VirtualReceiver vr(e.env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);

    int alerts = -1;
    for (int round = 0; round < 3; ++round) {
        e.transfer();
        QCOMPARE(e.left(), QStringLiteral("Upload / Download Successful"));
        if (alerts < 0)
            alerts = AlertLogEntries(ctx.historySource()).size();
        AlertLogContent log;
        QString why;
        QVERIFY2(ReadAlertRecord(ctx.alertLogPath, &log, &why), qPrintable(why));
        // The receiver's history does not change between the transfers:
        // the second and third add nothing.
        QCOMPARE(log.entries.size(), alerts);
        QSet<QString> keys;
        for (const AlertLogEntry &a : log.entries)
            keys.insert(a.key());
        QCOMPARE(keys.size(), alerts);
    }
    QVERIFY(alerts > 0);
}

void TestEditorLog::loggingOff()
{
    Editor e;
    AppContext &ctx = *e.env.ctx;
    VirtualReceiver vr(e.env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    auto *toggle = e.window.findChild<QAction *>(QStringLiteral("mnuLogTransfers"));
    QVERIFY(toggle && toggle->isChecked());
    toggle->trigger();
    QVERIFY(!ctx.alertLogEnabled);
    e.transfer();
    QCOMPARE(e.left(), QStringLiteral("Upload / Download Successful"));
    QVERIFY(!QFile::exists(ctx.alertLogPath));
}

void TestEditorLog::serialTraceWindow()
{
    // Help > Serial Trace... shows the bytes of the last transfer both ways
    // and saves them for a support request.
    Editor e;
    AppContext &ctx = *e.env.ctx;
    VirtualReceiver vr(e.env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    e.transfer();
    QCOMPARE(e.left(), QStringLiteral("Upload / Download Successful"));
    const QString saved = e.env.path(QStringLiteral("trace.txt"));
    e.env.prompter.saveAnswers.enqueue(saved);
    QString shown;
    QPointer<QTimer> watch = whenModal<QDialog>([&](QDialog *w) {
        shown = w->findChild<QPlainTextEdit *>(QStringLiteral("txtTrace"))->toPlainText();
        grab(w, QStringLiteral("frmSerialTrace"));
        w->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
        w->accept();
    });
    e.window.runToolbarCommand(QStringLiteral("Serial Trace"));
    if (watch)
        watch->deleteLater();
    QVERIFY(shown.contains(QStringLiteral("Transfer on port 1")));
    QVERIFY(shown.contains(QStringLiteral("TX  5A")));   // "Z"
    QVERIFY(shown.contains(QStringLiteral("RX  06")));   // ACK
    QFile f(saved);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), ctx.trace.text());
}

QTEST_MAIN(TestEditorLog)
#include "tst_editorlog.moc"
