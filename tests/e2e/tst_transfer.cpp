// SPDX-License-Identifier: GPL-3.0-or-later
// "Transfer Data" from the main window's toolbar against the virtual
// receiver over a real pty: one transfer at the line's real pace (timed, with
// the processor time it costs), the faults through the real window, and the
// processor time of a negotiation that times out.

#include "support/GuiDriver.h"
#include "support/VirtualReceiver.h"

#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/SettingsStore.h"
#include "diagnostics/core/DumpListing.h"
#include "link/core/LinkSession.h"
#include "coverage/core/EventCatalog.h"
#include "app/gui/NX4400C.h"

#include <QPointer>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Passes everything on to the main window and notes when each left-panel
// text appeared.
class TimedView : public MainView
{
public:
    explicit TimedView(NX4400C &w) : m_w(w) { clock.start(); }
    QElapsedTimer clock;
    QList<QPair<QString, qint64>> log;
    std::function<void(const QString &)> onLeft;

    qint64 at(const QString &text) const
    {
        for (const auto &e : log)
            if (e.first == text)
                return e.second;
        return -1;
    }
    void setStatusText(const QString &key, const QString &text) override
    {
        m_w.setStatusText(key, text);
        if (key == QLatin1String("Left")) {
            log << qMakePair(text, clock.elapsed());
            if (onLeft)
                onLeft(text);
        }
    }
    QString statusText(const QString &key) const override { return m_w.statusText(key); }
    void setProgressVisible(bool v) override { m_w.setProgressVisible(v); }
    void setProgressRange(int a, int b) override { m_w.setProgressRange(a, b); }
    void setProgressValue(int v) override { m_w.setProgressValue(v); }
    void clearHistoryDisplay() override { m_w.clearHistoryDisplay(); }
    void setHistoryMenusEnabled(bool e) override { m_w.setHistoryMenusEnabled(e); }
    void checkHistoryGroup(int g) override { m_w.checkHistoryGroup(g); }
    void showHistoryGroup(int g) override { m_w.showHistoryGroup(g); }
    QString firstRowDate() const override { return m_w.firstRowDate(); }

private:
    NX4400C &m_w;
};

struct Editor {
    TestEnv env;
    NX4400C window;
    TimedView view;
    Editor()
        : window(*env.ctx)
        , view(window)
    {
        AppContext &ctx = *env.ctx;
        LoadConfiguration(ctx, ctx.config);
        InitEventCatalog(ctx.catalog);
        LoadDefaultCoverage(ctx);
        ctx.setView(&view);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("the main window was not shown");
        QTest::qWait(50);
    }
    QString text(const char *name) const { return window.findChild<QLabel *>(QLatin1String(name))->text(); }
    void transfer() { window.findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger(); }
};

void grabTo(QWidget &w, const QString &name)
{
    const QString out = qEnvironmentVariable("NX_GRAB_DIR");
    if (!out.isEmpty())
        w.grab().save(out + QLatin1Char('/') + name);
}

} // namespace

class TestTransferE2E : public QObject
{
    Q_OBJECT

private slots:
    void pacedTransfer();
    void faults_data();
    void faults();
    void negotiationTimeOutSleeps();
    void setupWindow();
};

void TestTransferE2E::pacedTransfer()
{
    Editor e;
    AppContext &ctx = *e.env.ctx;
    VirtualReceiver vr(e.env.dir.path());
    QVERIFY(vr.start({}, /*paced*/ true));
    vr.attach(ctx);
    // The real time-outs; a clock whose boundary wait is about 1.05 s.
    bool grabbed = false;
    e.view.onLeft = [&](const QString &t) {
        if (t == QLatin1String("Downloading Data"))
            QTimer::singleShot(1200, [&] {
                grabTo(e.window, QStringLiteral("main-mid-transfer.png"));
                grabbed = e.window.findChild<QProgressBar *>(QStringLiteral("prgXfer"))->isVisible();
            });
    };

    e.env.clock.set(quickBoundary());
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    e.view.clock.restart();
    e.transfer();
    const qint64 wallMs = wall.elapsed();
    const double cpu = cpuSeconds() - cpu0;

    QCOMPARE(e.text("Left"), QStringLiteral("Upload / Download Successful"));
    QCOMPARE(e.text("Right"), QStringLiteral("NX-4400 ROM Version = 2.05"));
    QVERIFY(grabbed);
    QVERIFY(!e.window.findChild<QProgressBar *>(QStringLiteral("prgXfer"))->isVisible());
    QVERIFY(e.window.findChild<QMenu *>(QStringLiteral("mnuView"))->isEnabled());
    QVERIFY(e.window.findChild<QAction *>(QStringLiteral("mnuSaveAs"))->isEnabled());
    QCOMPARE(e.text("lblOrg_0"), QStringLiteral("WXR"));
    QVERIFY(!e.text("lblDate_0").isEmpty());
    QVERIFY(e.env.prompter.boxes.isEmpty());
    QVERIFY(!ctx.session().PortIsOpen);
    const QByteArray image(reinterpret_cast<const char *>(ctx.session().UploadImage.data()), 511);
    QCOMPARE(vr.uploadedImage(), image);
    QTRY_COMPARE(vr.recorded(), QByteArrayLiteral("Z") + image + QByteArray(1, char(ImageChecksum(ctx.session().UploadImage))));
    grabTo(e.window, QStringLiteral("main-after-transfer.png"));

    // 512 + 1284 + 2 bytes of 10 bits at 4800 bit/s.
    const double wireMs = (512 + 1284 + 2) * 10 * 1000.0 / 4800.0;
    const qint64 boundaryMs = e.view.at(QStringLiteral("Preparing For Upload..."))
        - e.view.at(QStringLiteral("Port Connect Successful...Preparing For Upload"));
    const double overheadMs = wallMs - wireMs - boundaryMs;
    for (const auto &step : e.view.log)
        qInfo("  %6lld ms  %s", step.second, qPrintable(step.first));
    qInfo("transfer: wall %lld ms, wire %.0f ms, second-boundary wait %lld ms, overhead %.0f ms, "
          "editor CPU %.0f ms (%.2f %% of one core)",
          wallMs, wireMs, boundaryMs, overheadMs, cpu * 1000, 100.0 * cpu * 1000 / wallMs);
    // The figures themselves are bench/bench_transfer's to judge.
}

void TestTransferE2E::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("box");
    QTest::newRow("silence") << "silence" << "Port Connect Failed"
                             << "Error #202:  Serial Connection Not Established\r\nNote: Insure receiver monitor switch is DOWN. ";
    QTest::newRow("NAK") << "nak" << "Upload Failure" << "";
    QTest::newRow("no reply") << "no-upload-reply" << "Upload Data Timeout" << "";
    QTest::newRow("bad checksum") << "bad-checksum" << "Downloading Data" << "";
    QTest::newRow("short frame") << "short-frame" << "Downloading Data" << "";
    QTest::newRow("wrong last byte") << "wrong-last-byte" << "Downloading Data" << "";
    QTest::newRow("cable pulled") << "pull-cable" << "Downloading Data" << "";
}

void TestTransferE2E::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, left);
    QFETCH(QString, box);
    Editor e;
    AppContext &ctx = *e.env.ctx;
    shortenTimings(ctx);
    VirtualReceiver vr(e.env.dir.path());
    QVERIFY(vr.start({QStringLiteral("--fault"), fault}));
    vr.attach(ctx);
    const QString configBefore = WriteRegistry(ctx.config);

    e.env.clock.set(quickBoundary());
    e.transfer();

    QCOMPARE(e.text("Left"), left);
    QCOMPARE(e.text("Right"), QString());
    QCOMPARE(e.env.prompter.texts(), box.isEmpty() ? QStringList() : QStringList{box});
    QVERIFY(!ctx.session().PortIsOpen);
    QVERIFY(!ctx.session().Port1.isOpen());
    QCOMPARE(WriteRegistry(ctx.config), configBefore);
    QVERIFY(!e.window.findChild<QMenu *>(QStringLiteral("mnuView"))->isEnabled());
    QCOMPARE(e.text("lblDate_0"), QString());

    // The user may start another transfer at once; it still works against a
    // healthy receiver.
    if (fault == QLatin1String("pull-cable"))
        return;
    VirtualReceiver good(e.env.dir.path(), QStringLiteral("good"));
    QVERIFY(good.start());
    good.attach(ctx);
    e.env.clock.set(quickBoundary());
    e.env.prompter.clear();
    e.transfer();
    QCOMPARE(e.text("Left"), QStringLiteral("Upload / Download Successful"));
}

void TestTransferE2E::negotiationTimeOutSleeps()
{
    Editor e;
    AppContext &ctx = *e.env.ctx;
    QCOMPARE(ctx.timings.negotiateMs, 5000);
    VirtualReceiver vr(e.env.dir.path());
    QVERIFY(vr.start({QStringLiteral("--fault"), QStringLiteral("silence")}));
    vr.attach(ctx);
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    e.transfer();
    const qint64 wallMs = wall.elapsed();
    const double cpuMs = (cpuSeconds() - cpu0) * 1000;
    qInfo("negotiation time-out: wall %lld ms, editor CPU %.1f ms (%.2f %% of one core)", wallMs, cpuMs,
          100.0 * cpuMs / wallMs);
    QCOMPARE(e.text("Left"), QStringLiteral("Port Connect Failed"));
    QVERIFY(wallMs >= 5000 && wallMs < 6500);
}

void TestTransferE2E::setupWindow()
{
    // "Setup" opens the window modally over the main window, with the
    // toolbar's setup picture; OK closes it and keeps the choices.
    Editor e;
    AppContext &ctx = *e.env.ctx;
    ctx.config.SerialPort = 1;
    bool seen = false;
    QPointer<QTimer> watch = whenModal<QDialog>([&](QDialog *dlg) {
        QCOMPARE(dlg->objectName(), QStringLiteral("frmCommPort"));
        QCOMPARE(dlg->windowTitle(), QStringLiteral(" NX-4400C Setup"));
        QVERIFY(!dlg->findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().isNull());
        grabTo(*dlg, QStringLiteral("frmCommPort-app.png"));
        QTest::mouseClick(dlg->findChild<QRadioButton *>(QStringLiteral("optCommPort_2")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("cmdOk")), Qt::LeftButton);
        seen = true;
    });
    e.window.findChild<QAction *>(QStringLiteral("Setup"))->trigger();
    if (watch)
        watch->deleteLater();
    QVERIFY(seen);
    QCOMPARE(int(ctx.config.SerialPort), 3);
}

QTEST_MAIN(TestTransferE2E)
#include "tst_transfer.moc"
