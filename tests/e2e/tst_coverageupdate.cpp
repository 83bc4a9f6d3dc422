// SPDX-License-Identifier: GPL-3.0-or-later
// File > Update Coverage from start to receiver: NOAA's listing with a new
// transmitter and the user's transmitter out of service is imported through
// the summary window; the new transmitter and its counties are chosen in the
// county windows; "Transfer Data" sends them to the virtual receiver, whose
// image must carry the new counties' codes.

#include "support/GuiDriver.h"
#include "support/VirtualReceiver.h"

#include "app/gui/HelpCommands.h"
#include "app/gui/NX4400C.h"
#include "app/gui/frmAbout.h"
#include "app/gui/SysInfo.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/CoverageLocation.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/frmCoverageUpdate.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmFIPS.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kMaysville = QStringLiteral(" Maysville        KZZ49  162.425");

// The 2018 listing with KZZ49 out of service and a new transmitter, WXZ99
// Newtown Ridge, Ohio, on 162.475 for Brown and Clermont counties.
QByteArray changedListing()
{
    QFile f(sourceDir() + QStringLiteral("/tools/make-states/CCL-2018-08-10.js"));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QString text = QString::fromUtf8(f.readAll());
    static const QRegularExpression kzz(QStringLiteral("CALLSIGN\\[(\\d+)\\] = \"KZZ49\";"));
    auto it = kzz.globalMatch(text);
    QStringList rows;
    while (it.hasNext())
        rows << it.next().captured(1);
    for (const QString &i : std::as_const(rows))
        text.replace(QStringLiteral("STATUS[%1] = \"NORMAL\";").arg(i), QStringLiteral("STATUS[%1] = \"OUT OF SERVICE\";").arg(i));
    int n = 6563;
    for (const auto &[county, code] : {std::pair{"Brown", "039015"}, std::pair{"Clermont", "039025"}}) {
        const QStringList values{QStringLiteral("OH"), QStringLiteral("Ohio"), QString::fromLatin1(county),
                                 QString::fromLatin1(code), QStringLiteral("Newtown Ridge"), QStringLiteral("Newtown"),
                                 QStringLiteral("OH"), QStringLiteral("162.475"), QStringLiteral("WXZ99"),
                                 QStringLiteral("39.12"), QStringLiteral("-84.35"), QStringLiteral("1000"),
                                 QStringLiteral("NORMAL"), QStringLiteral("Wilmington|OH"), QString()};
        const char *names[] = {"ST", "STATE", "COUNTY", "SAME", "SITENAME", "SITELOC", "SITESTATE", "FREQ", "CALLSIGN",
                               "LAT", "LON", "PWR", "STATUS", "WFO", "REMARKS"};
        for (int k = 0; k < 15; ++k)
            text += QStringLiteral("%1[%2] = \"%3\";\n").arg(QLatin1String(names[k])).arg(n).arg(values.at(k));
        ++n;
    }
    return text.toUtf8();
}

QString accessibleText(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) + QLatin1Char(' ') + iface->text(QAccessible::Description) : QString();
}

} // namespace

class TestCoverageUpdateE2E : public QObject
{
    Q_OBJECT

private slots:
    void importChooseTransfer();
};

void TestCoverageUpdateE2E::importChooseTransfer()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    ctx.shippedStatesFolder = ctx.statesFolder;
    ctx.coverageDataFolder = env.path(QStringLiteral("data"));
    LoadConfiguration(ctx, ctx.config);
    InitEventCatalog(ctx.catalog);
    LoadDefaultCoverage(ctx);
    // The user listens to KZZ49 Maysville for Adams County, Ohio.
    ctx.config.StateID = 34;
    ctx.config.FrequencyListingFilter = 0;
    ctx.config.TransmitterLocation = kMaysville;
    for (QString &l : ctx.FipEntries)
        l.clear();
    ctx.FipEntries[0] = QStringLiteral("X 039001  Adams                  Ohio");
    NX4400C window(ctx);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.findChild<QAction *>(QStringLiteral("mnuUpdateCoverage")));
    QVERIFY(window.findChild<QAction *>(QStringLiteral("mnuRevertCoverage")));

    const QString file = env.path(QStringLiteral("CCL.js"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write(changedListing()) > 2000000);
    }

    // The summary: said plainly on top, and to a screen reader too.
    QString summary;
    bool warned = false;
    whenModal<frmCoverageUpdate>([&](frmCoverageUpdate *w) {
        auto *warning = w->findChild<QLabel *>(QStringLiteral("lblWarning"));
        warned = warning->isVisible() && accessibleText(warning).contains(QStringLiteral("KZZ49 is out of service"));
        summary = w->reportText();
        grab(w, QStringLiteral("coverage-update-summary"));
        w->findChild<QPushButton *>(QStringLiteral("cmdApply"))->click();
    });
    QVERIFY(CoverageCommands::updateCoverage(ctx, ctx, &window, file));
    QVERIFY(warned);
    QVERIFY2(summary.contains(QStringLiteral("Your transmitter KZZ49 is out of service; 1 of your counties is affected.")),
             qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("Added: WXZ99 Newtown Ridge (OH) 162.475")), qPrintable(summary));
    QVERIFY(summary.contains(QStringLiteral("039015 Brown (Ohio): +WXZ99")));
    QCOMPARE(ctx.statesFolder, CoverageLocation::overrideFolder(ctx.coverageDataFolder));
    QVERIFY(CoverageCommands::coverageInUse(ctx).contains(QStringLiteral("CCL.js")));
    QVERIFY(CollectSysInfo(ctx).text().contains(QStringLiteral("Coverage listing:   NOAA county coverage listing CCL.js")));
    QString about;
    whenModal<frmAbout>([&](frmAbout *w) {
        about = accessibleText(w->findChild<QLabel *>(QStringLiteral("lblCoverage")));
        grab(w, QStringLiteral("coverage-about"));
        w->accept();
    });
    HelpCommands::openAbout(ctx, &window);
    QVERIFY2(about.contains(QStringLiteral("Coverage: NOAA county coverage listing CCL.js of August 10 2018")), qPrintable(about));
    QVERIFY(about.contains(QStringLiteral("6565 rows (imported ")));

    // The county window, then the transmitter window over it: Ohio, 162.475,
    // the new transmitter; its two counties come back and both are ticked.
    QString info;
    QStringList offered;
    whenModal<frmFIPS>([&](frmFIPS *fips) {
        whenModal<frmEnterFIP>([&](frmEnterFIP *enter) {
            enter->findChild<QComboBox *>(QStringLiteral("cmbState"))->setCurrentIndex(34);
            enter->cmbState_Click(34);
            enter->findChild<QComboBox *>(QStringLiteral("cmbLimit"))->setCurrentIndex(4);   // 162.475
            enter->cmbLimit_Click(4);
            auto *list = enter->findChild<QListWidget *>(QStringLiteral("lstCounty"));
            const auto found = list->findItems(QStringLiteral("WXZ99"), Qt::MatchContains);
            if (found.size() == 1)
                list->setCurrentItem(found.first());
            info = accessibleText(enter->findChild<QLabel *>(QStringLiteral("lblTransmitterInfo")));
            grab(enter, QStringLiteral("coverage-transmitter-window"));
            // Not found: Cancel, so that the test fails instead of waiting.
            enter->findChild<QPushButton *>(found.size() == 1 ? QStringLiteral("cmdOk") : QStringLiteral("cmdCancel"))->click();
        });
        fips->findChild<QPushButton *>(QStringLiteral("cmdEnterCodes"))->click();
        auto *list = fips->findChild<QListWidget *>(QStringLiteral("lstFips"));
        for (int i = 0; i < list->count(); ++i) {
            offered << list->item(i)->text();
            list->item(i)->setCheckState(Qt::Checked);
        }
        fips->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    window.findChild<QAction *>(QStringLiteral("FIP Codes"))->trigger();
    QVERIFY2(info.contains(QStringLiteral("NORMAL")) && info.contains(QStringLiteral("call sign WXZ99"))
                 && info.contains(QStringLiteral("1000 W")) && info.contains(QStringLiteral("office Wilmington, OH")),
             qPrintable(info));
    QCOMPARE(offered, QStringList({QStringLiteral("039015  Brown                  Ohio"),
                                   QStringLiteral("039025  Clermont               Ohio")}));
    QCOMPARE(ctx.config.TransmitterLocation, QStringLiteral(" Newtown Ridge    WXZ99  162.475"));

    // To the receiver.
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    shortenTimings(ctx);
    env.clock.set(quickBoundary());
    window.findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger();
    QTRY_COMPARE(window.statusText(QStringLiteral("Left")), QStringLiteral("Upload / Download Successful"));
    const QByteArray image = vr.uploadedImage();
    QCOMPARE(image.size(), 511);
    QCOMPARE(image.mid(32, 14), QByteArray("039015-039025-"));

    // Back to the shipped listing.
    env.prompter.answers.enqueue(Prompter::Button::Yes);
    QVERIFY(CoverageCommands::revertCoverage(ctx, ctx, &window));
    QCOMPARE(ctx.statesFolder, ctx.shippedStatesFolder);
    QVERIFY(!QFileInfo::exists(CoverageLocation::overrideFolder(ctx.coverageDataFolder)));
}

QTEST_MAIN(TestCoverageUpdateE2E)
#include "tst_coverageupdate.moc"
