// SPDX-License-Identifier: GPL-3.0-or-later
// Counties picked on the map reach the receiver: the county window opened
// from the main window's toolbar, counties clicked on its map with real
// mouse events, OK, then "Transfer Data" to the virtual receiver over a pty;
// the codes must stand in the image it received.
#include "support/GuiDriver.h"
#include "support/VirtualReceiver.h"

#include "app/gui/NX4400C.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/gui/CountyMapView.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmFIPS.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestMapTransferE2E : public QObject
{
    Q_OBJECT

private slots:
    void pickOnMapAndTransfer_data();
    void pickOnMapAndTransfer();
};

void TestMapTransferE2E::pickOnMapAndTransfer_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QByteArray>("counties");   // the image's county items, in list order

    // KIH42's list runs Indiana, Kentucky, Ohio; a county it does not list
    // is added at the end.
    QTest::newRow("listed counties in two states")
        << QStringList{"39061", "21117", "39025"} << QByteArray("021117-039025-039061-");
    QTest::newRow("one unselected again, one added")
        << QStringList{"39061", "39017", "39061", "39049"} << QByteArray("039017-039049-");
}

void TestMapTransferE2E::pickOnMapAndTransfer()
{
    QFETCH(QStringList, clicks);
    QFETCH(QByteArray, counties);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    LoadConfiguration(ctx, ctx.config);
    InitEventCatalog(ctx.catalog);
    LoadDefaultCoverage(ctx);
    ctx.config.StateID = 34;   // Ohio
    ctx.config.TransmitterLocation = QStringLiteral(" Covington        KIH42  162.550");
    NX4400C window(ctx);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    bool clicked = false;
    whenModal<frmFIPS>([&](frmFIPS *fips) {
        // Confirm the stored transmitter in the transmitter window: the list
        // becomes its counties.
        whenModal<frmEnterFIP>([](frmEnterFIP *enter) { enter->findChild<QPushButton *>(QStringLiteral("cmdOk"))->click(); });
        fips->findChild<QPushButton *>(QStringLiteral("cmdEnterCodes"))->click();
        CountyMapView *map = fips->countyMap();
        for (const QString &id : clicks) {
            const QPoint at = map->widgetPointOf(id);
            if (map->countyAt(at) != id)
                break;
            QTest::mouseClick(map, Qt::LeftButton, {}, at);
        }
        clicked = true;
        fips->cmdOK_Click();
    });
    window.findChild<QAction *>(QStringLiteral("FIP Codes"))->trigger();
    QVERIFY(clicked);

    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    shortenTimings(ctx);
    env.clock.set(quickBoundary());
    window.findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger();
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Left"))->text(), QStringLiteral("Upload / Download Successful"));
    const QByteArray image = vr.uploadedImage();
    QVERIFY(image.size() >= 511);
    QCOMPARE(image.mid(32, counties.size()), counties);
    // Nothing after the last item: no other county went along.
    QCOMPARE(image.at(32 + counties.size()), '\0');

    // File > Save Map As: the same map, for the site's papers.
    env.prompter.saveAnswers.enqueue(env.path(QStringLiteral("map.svg")));
    window.findChild<QAction *>(QStringLiteral("mnuSaveMap"))->trigger();
    QFile svg(env.path(QStringLiteral("map.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("Hamilton (039061)") == counties.contains("039061"));
}

QTEST_MAIN(TestMapTransferE2E)
#include "tst_maptransfer.moc"
