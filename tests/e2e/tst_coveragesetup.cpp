// SPDX-License-Identifier: GPL-3.0-or-later
// A listing update that removes the user's transmitter, from the import to
// the receiver. The user set up KZZ49 Maysville and five counties from the
// command line; NOAA's listing without KZZ49 is imported in the editor.
// From then on the editor and the command line say so in the same words:
// the main window's line, the county window's mark and suggestions, the
// question before a transfer (No, Return and Escape send nothing), `transfer` refused without
// --force, `check` exiting 1. The user then takes the first suggestion,
// WXM69 Otway, and its counties with `setup`; the data file and the image
// are byte for byte those the windows make for the same choice, and the
// transfer goes through.

#include "support/GuiDriver.h"
#include "support/Headless.h"
#include "support/JsonSchema.h"
#include "support/VirtualReceiver.h"

#include "app/gui/NX4400C.h"
#include "app/gui/QtPrompter.h"
#include "app/gui/StartUp.h"
#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/CountyCoverage.h"
#include "coverage/core/CoverageLocation.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/frmCoverageUpdate.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmFIPS.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

namespace {

const QString kGone = QStringLiteral("Your transmitter KZZ49 is gone; 5 of your counties are affected.");
const QString kFirst = QStringLiteral("WXM69 Otway 162.525 covers 4 of your 5 counties");
const QStringList kChosen{QStringLiteral("021161"), QStringLiteral("021135"), QStringLiteral("039001"),
                          QStringLiteral("039015")};

// NOAA's 2018 listing without KZZ49's rows.
QByteArray listingWithoutKzz49()
{
    QFile f(sourceDir() + QStringLiteral("/tools/make-states/CCL-2018-08-10.js"));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QString text = QString::fromUtf8(f.readAll());
    static const QRegularExpression kzz(QStringLiteral("CALLSIGN\\[(\\d+)\\] = \"KZZ49\";"));
    QStringList rows;
    for (auto it = kzz.globalMatch(text); it.hasNext();)
        rows << it.next().captured(1);
    for (const QString &i : std::as_const(rows))
        text.remove(QRegularExpression(QStringLiteral("^[A-Z]+\\[%1\\] = .*\\n").arg(i),
                                       QRegularExpression::MultilineOption));
    return text.toUtf8();
}

QString accessibleText(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// The image the editor sends for a setup.
QByteArray imageOf(const ReceiverSetup &setup)
{
    ParameterImageBytes image{};
    PackParameterBlock(setup.config, image);
    PackCoverageLists(setup, image);
    return QByteArray(reinterpret_cast<const char *>(image.data()), ParameterImage::ImageLength);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCoverageSetupE2E : public QObject
{
    Q_OBJECT

private slots:
    void goneTransmitterToReceiver();
};

void TestCoverageSetupE2E::goneTransmitterToReceiver()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or the virtual receiver is not built");
    HeadlessMachine m;
    auto cli = [&](const QString &line) {
        const ShellRun r = m.run(QStringLiteral("nx4400c-cli ") + line);
        return r;
    };
    // The setup, from the command line.
    QCOMPARE(cli(QStringLiteral("init")).exitCode, 0);
    QCOMPARE(cli(QStringLiteral("config set ShowTipsAtStartup False")).exitCode, 0);
    ShellRun r = cli(QStringLiteral("setup transmitter --state Kentucky KZZ49"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    r = cli(QStringLiteral("setup counties add 021161 021023 021135 039001 039015"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    // The default selection leaves out the two codes the catalogue lacks.
    r = cli(QStringLiteral("check"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));

    // The editor on the same files imports the listing without KZZ49.
    TestEnv env;
    AppContext &ctx = *env.ctx;
    ctx.settingsPath = m.home() + QStringLiteral("/.config/NX4400C/NX4400C.ini");
    ctx.parameterFilePath = m.path(QStringLiteral("NX_4400C.DAT"));
    ctx.coverageDataFolder = m.dataHome() + QStringLiteral("/NX4400C");
    ctx.timings.splashMs = 10;
    LoadConfiguration(ctx, ctx.config);
    QVERIFY(LoadParameterFile(ctx, ctx));
    QCOMPARE(ctx.config.TransmitterLocation, QStringLiteral(" Maysville        KZZ49  162.425"));
    QVERIFY(m.writeFile(QStringLiteral("CCL.js"), listingWithoutKzz49()));

    QString headline;
    QString summary;
    bool fits = false;
    whenModal<frmCoverageUpdate>([&](frmCoverageUpdate *w) {
        // A 1024x768 screen, less its panels: no sideways scrolling.
        fits = w->frameGeometry().width() <= 1024 && w->frameGeometry().height() <= 740
               && !w->findChild<QTableWidget *>(QStringLiteral("tblChanges"))->horizontalScrollBar()->isVisible();
        headline = accessibleText(w->findChild<QLabel *>(QStringLiteral("lblWarning")));
        summary = w->reportText();
        grab(w, QStringLiteral("setupcheck-update-summary"));
        w->findChild<QPushButton *>(QStringLiteral("cmdApply"))->click();
    });
    QVERIFY(CoverageCommands::updateCoverage(ctx, ctx, nullptr, m.path(QStringLiteral("CCL.js"))));
    QVERIFY(fits);
    QCOMPARE(headline, kGone);
    QVERIFY2(summary.contains(kFirst), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("Removed: KZZ49 Maysville (KY) 162.425")), qPrintable(summary));
    // Said once: the headline is not repeated below it.
    QCOMPARE(summary.count(QStringLiteral("KZZ49 is gone")), 1);

    // Start-up: the main window's line, read by a screen reader; no box.
    const int boxes = int(env.prompter.boxes.size());
    std::unique_ptr<NX4400C> window(StartUp(ctx));
    QCOMPARE(int(env.prompter.boxes.size()), boxes);
    auto *line = window->findChild<QLabel *>(QStringLiteral("lblSetupCheck"));
    QVERIFY(line && line->isVisible());
    const QString said = accessibleText(line);
    QVERIFY2(said.startsWith(kGone) && said.contains(kFirst), qPrintable(said));
    grab(window.get(), QStringLiteral("setupcheck-main-window"));

    // The county window marks the transmitter gone, suggests others, and its
    // map shades nothing for it.
    QString mark;
    bool shaded = true;
    whenModal<frmFIPS>([&](frmFIPS *fips) {
        auto *gone = fips->findChild<QLabel *>(QStringLiteral("lblTransmitterGone"));
        mark = gone->isVisible() ? accessibleText(gone) : QString();
        shaded = !fips->coverage()->countiesOf(ctx.config.TransmitterLocation).isEmpty();
        grab(fips, QStringLiteral("setupcheck-county-window"));
        fips->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    window->findChild<QAction *>(QStringLiteral("FIP Codes"))->trigger();
    QVERIFY2(mark.startsWith(QStringLiteral("Gone: ") + kGone) && mark.contains(kFirst), qPrintable(mark));
    QVERIFY(!shaded);

    // Before the transfer: the question; No sends nothing.
    VirtualReceiver vr(env.dir.path());
    QVERIFY(vr.start());
    vr.attach(ctx);
    env.prompter.answers.enqueue(Prompter::Button::No);
    window->findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger();
    QCOMPARE(int(env.prompter.boxes.size()), boxes + 1);
    const QString question = env.prompter.boxes.last().text;
    QVERIFY2(question.startsWith(kGone) && question.endsWith(QStringLiteral("Send this setup to the receiver anyway?")),
             qPrintable(question));
    QVERIFY(vr.recorded().isEmpty());
    QVERIFY(vr.uploadedImage().isEmpty());
    {
        QMessageBox box(window.get());
        QtPrompter::configure(box, env.prompter.boxes.last().title, question, Prompter::Icon::Exclamation,
                              Prompter::Buttons::YesNo);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        grab(&box, QStringLiteral("setupcheck-transfer-question"));
    }

    // The real box on a 1024x768 screen: a user who presses Return or
    // Escape without reading sends nothing.
    window->setGeometry(0, 0, 1024, 768);
    QtPrompter real;
    ctx.setPrompter(&real);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QString defaultButton;
        bool fitsScreen = false;
        whenModal<QMessageBox>([&](QMessageBox *box) {
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            fitsScreen = box->frameGeometry().height() <= 768 && box->frameGeometry().width() <= 1024;
            QTest::keyClick(box, key);
        });
        window->findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger();
        QCOMPARE(defaultButton, QStringLiteral("&No"));
        QVERIFY(fitsScreen);
        QVERIFY(vr.recorded().isEmpty());
        QVERIFY(vr.uploadedImage().isEmpty());
    }
    ctx.setPrompter(&env.prompter);
    QVERIFY2(window->statusText(QStringLiteral("Left")).startsWith(QStringLiteral("Transfer cancelled: ")),
             qPrintable(window->statusText(QStringLiteral("Left"))));

    // The command line refuses too, and says the same.
    r = cli(QStringLiteral("transfer --device ") + vr.link);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("transfer: ") + kGone) && r.err.contains(QStringLiteral("--force")),
             qPrintable(r.err));
    QVERIFY(vr.uploadedImage().isEmpty());
    r = cli(QStringLiteral("check"));
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out.section(QLatin1Char('\n'), 0, 0), kGone);
    r = cli(QStringLiteral("check --json"));
    QCOMPARE(r.exitCode, 1);
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("headline")).toString(), kGone);
    QFile schema(sourceDir() + QStringLiteral("/docs/json/check.schema.json"));
    QVERIFY(schema.open(QIODevice::ReadOnly));
    const QStringList faults = checkJsonSchema(QJsonDocument::fromJson(schema.readAll()).object(), json);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    r = cli(QStringLiteral("image"));
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(QStringLiteral("checksum")) && r.err.contains(QStringLiteral("image: ") + kGone));

    // The windows' choice, kept in memory: Ohio, WXM69, four counties.
    whenModal<frmFIPS>([&](frmFIPS *fips) {
        whenModal<frmEnterFIP>([&](frmEnterFIP *enter) {
            enter->findChild<QComboBox *>(QStringLiteral("cmbState"))->setCurrentIndex(34);
            enter->cmbState_Click(34);
            auto *list = enter->findChild<QListWidget *>(QStringLiteral("lstCounty"));
            const auto found = list->findItems(QStringLiteral("WXM69"), Qt::MatchContains);
            if (found.size() == 1)
                list->setCurrentItem(found.first());
            enter->findChild<QPushButton *>(found.size() == 1 ? QStringLiteral("cmdOk") : QStringLiteral("cmdCancel"))->click();
        });
        fips->findChild<QPushButton *>(QStringLiteral("cmdEnterCodes"))->click();
        auto *list = fips->findChild<QListWidget *>(QStringLiteral("lstFips"));
        for (int i = 0; i < list->count(); ++i) {
            if (kChosen.contains(list->item(i)->text().left(6)))
                list->item(i)->setCheckState(Qt::Checked);
        }
        fips->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    window->findChild<QAction *>(QStringLiteral("FIP Codes"))->trigger();
    QCOMPARE(ctx.config.TransmitterLocation, QStringLiteral(" Otway            WXM69  162.525"));
    QVERIFY(!line->isVisible());
    const QByteArray windowsDat = ParameterFile::format(ctx.FipEntries, ctx.EventSelection);
    const QByteArray windowsImage = imageOf(ctx);

    // The same choice from the command line.
    r = cli(QStringLiteral("setup transmitter --state Ohio WXM69"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("your counties before were: 021135 021161 039001 039015")), qPrintable(r.out));
    r = cli(QStringLiteral("setup counties add ") + kChosen.join(QLatin1Char(' ')));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(readAll(m.path(QStringLiteral("NX_4400C.DAT"))), windowsDat);
    QCOMPARE(cli(QStringLiteral("config get TransmitterLocation")).out.trimmed(), ctx.config.TransmitterLocation.trimmed());
    QCOMPARE(cli(QStringLiteral("config get StateID")).out.trimmed(), QStringLiteral("34"));
    r = cli(QStringLiteral("check"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));

    r = cli(QStringLiteral("transfer --device ") + vr.link);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(vr.uploadedImage(), windowsImage);
}

QTEST_MAIN(TestCoverageSetupE2E)
#include "tst_coveragesetup.moc"
