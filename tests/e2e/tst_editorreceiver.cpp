// SPDX-License-Identifier: GPL-3.0-or-later
// The editor edits a fleet receiver: File > Open Receiver... lists the
// fleet's receivers, the county window then edits the chosen receiver's
// profile, both windows name it in their titles, and Transfer Data programs
// that receiver's device with that setup. The editor's own settings and
// parameter file come back untouched; without a fleet file nothing changes.
#include "support/GuiDriver.h"
#include "support/VirtualReceiver.h"

#include "app/gui/NX4400C.h"
#include "app/gui/frmOpenReceiver.h"
#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/ReceiverTimeZone.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/SetupChoice.h"
#include "coverage/gui/frmFIPS.h"
#include "history/core/AlertStore.h"
#include "link/core/Fleet.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

class TestEditorReceiver : public QObject
{
    Q_OBJECT

private slots:
    void editsTheReceiverItOpened();
    void withoutFleetFileNothingChanges();
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
        // The editor's own setup as it is kept.
        SaveConfiguration(ctx, ctx.config);
        SaveParameterFile(ctx, ctx);
        ctx.setView(&window);
        window.show();
    }
    QString left() const { return window.findChild<QLabel *>(QStringLiteral("Left"))->text(); }
    // Chooses row `row` of File > Open Receiver... and returns what it listed.
    QStringList openReceiver(int row, const QString &grabName = QString())
    {
        QStringList rows;
        whenModal<frmOpenReceiver>([&](frmOpenReceiver *w) {
            auto *list = w->findChild<QListWidget *>(QStringLiteral("lstReceivers"));
            for (int i = 0; i < list->count(); ++i) {
                QAccessibleInterface *item = QAccessible::queryAccessibleInterface(list)->child(i);
                rows << (item ? item->text(QAccessible::Name) : QString());
            }
            list->setCurrentRow(row);
            if (!grabName.isEmpty())
                grab(w, grabName);
            w->findChild<QPushButton *>(QStringLiteral("cmdOpen"))->click();
        });
        window.findChild<QAction *>(QStringLiteral("mnuOpenReceiver"))->trigger();
        return rows;
    }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray imageOf(const ReceiverSetup &setup)
{
    ParameterImageBytes image{};
    PackParameterBlock(setup.config, image);
    PackCoverageLists(setup, image);
    return QByteArray(reinterpret_cast<const char *>(image.data()), ParameterImage::ImageLength);
}

// A profile for a transmitter with the first of `codes` selected and the
// others listed.
bool writeProfile(const QString &path, const QString &states, int stateId, const QString &transmitter,
                  const QStringList &codes)
{
    ReceiverConfig config;
    config.StateID = int16_t(stateId);
    config.TransmitterLocation = transmitter;
    QStringList fips(ReceiverSetup::FipEntryCount), events(ReceiverSetup::EventSlotCount);
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const QString entry = SetupChoice::countyEntryOf(states, codes.at(i));
        if (entry.isEmpty())
            return false;
        fips[i] = (i == 0 ? QStringLiteral("X ") : QStringLiteral("  ")) + entry;
    }
    events[0] = QStringLiteral("TOR");
    events[1] = QStringLiteral("SVR");
    QString why;
    return SaveProfile(path, config, fips, events, &why);
}

} // namespace

void TestEditorReceiver::editsTheReceiverItOpened()
{
    Editor e;
    AppContext &ctx = *e.env.ctx;
    const QString gymProfile = e.env.path(QStringLiteral("gym.nxprofile"));
    QVERIFY(writeProfile(gymProfile, ctx.statesFolder, SetupChoice::stateIdNamed(QStringLiteral("KY")),
                         QStringLiteral(" Maysville        KZZ49  162.425"),
                         {QStringLiteral("021161"), QStringLiteral("021023")}));
    QVERIFY(writeProfile(e.env.path(QStringLiteral("office.nxprofile")), ctx.statesFolder,
                         SetupChoice::stateIdNamed(QStringLiteral("OH")), QStringLiteral(" Otway            WXM69  162.525"),
                         {QStringLiteral("039001")}));
    VirtualReceiver gym(e.env.dir.path(), QStringLiteral("gym"));
    VirtualReceiver office(e.env.dir.path(), QStringLiteral("office"));
    QVERIFY(gym.start());
    QVERIFY(office.start());
    const QString fleet = e.env.path(QStringLiteral("site.fleet"));
    QFile f(fleet);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("gym %1 gym.nxprofile\noffice %2 office.nxprofile\n").arg(gym.link, office.link).toUtf8());
    f.close();
    QVERIFY(StoreFleetFile(ctx, fleet, nullptr));
    // The receivers' zone is the settings' (a profile keeps none).
    int hours = 0;
    QVERIFY(ReceiverTimeZone::checkName(QStringLiteral("America/Kentucky/Louisville"), &hours, nullptr));
    ctx.config.TimeZoneName = QStringLiteral("America/Kentucky/Louisville");
    ctx.config.TimeZoneOffset = int16_t(hours);
    QVERIFY(SaveConfiguration(ctx, ctx.config));
    const QByteArray dat = readAll(ctx.parameterFilePath);
    const QString editorsTransmitter = ctx.config.TransmitterLocation;

    const QStringList rows = e.openReceiver(1, QStringLiteral("frmOpenReceiver"));
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows[0].startsWith(QLatin1String("The editor's setup")), qPrintable(rows[0]));
    QVERIFY2(rows[1].startsWith(QLatin1String("gym ")) && rows[1].endsWith(QLatin1String("gym.nxprofile")), qPrintable(rows[1]));
    QVERIFY2(rows[2].startsWith(QLatin1String("office ")), qPrintable(rows[2]));
    QCOMPARE(e.window.receiverName(), QStringLiteral("gym"));
    QCOMPARE(e.window.windowTitle(), QStringLiteral("NX-4400C Digital Weather Receiver - gym"));
    QCOMPARE(QAccessible::queryAccessibleInterface(&e.window)->text(QAccessible::Name), e.window.windowTitle());
    QCOMPARE(ctx.config.TransmitterLocation, QStringLiteral(" Maysville        KZZ49  162.425"));
    QVERIFY2(e.left().contains(QLatin1String("Receiver gym opened")), qPrintable(e.left()));
    grab(&e.window, QStringLiteral("editor-receiver-gym"));

    // The county window edits gym's counties and says so.
    QString title;
    whenModal<frmFIPS>([&](frmFIPS *w) {
        title = w->windowTitle();
        auto *list = w->findChild<QListWidget *>(QStringLiteral("lstFips"));
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().startsWith(QLatin1String("021023")))
                list->item(i)->setCheckState(Qt::Checked);
        }
        grab(w, QStringLiteral("frmFIPS-receiver-gym"));
        w->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    e.window.findChild<QAction *>(QStringLiteral("FIP Codes"))->trigger();
    QCOMPARE(title, QStringLiteral("NX-4400C FIPS Codes - gym"));
    QVERIFY(std::any_of(ctx.FipEntries.begin(), ctx.FipEntries.end(),
                        [](const QString &l) { return l.startsWith(QLatin1String("X 021023")); }));

    // Transfer Data programs gym's device, and only it, with gym's setup.
    e.window.findChild<QAction *>(QStringLiteral("Transfer Data"))->trigger();
    QCOMPARE(e.left(), QStringLiteral("Upload / Download Successful"));
    grab(&e.window, QStringLiteral("editor-receiver-gym-transferred"));
    QCOMPARE(gym.uploadedImage(), imageOf(ctx));
    QVERIFY(office.uploadedImage().isEmpty());
    // The alert record knows it by its fleet name, with its device and its
    // zone, and has nothing under the device's name.
    {
        AlertStore store;
        QString why;
        QVERIFY2(store.open(AlertStore::PathForLog(ctx.alertLogPath), false, &why), qPrintable(why));
        const std::optional<StoredReceiver> known = store.receiver(QStringLiteral("gym"));
        QVERIFY(known);
        QCOMPARE(known->device, gym.link);
        QCOMPARE(known->zone, QStringLiteral("America/Kentucky/Louisville"));
        QVERIFY(!store.receiver(gym.link));
        QList<TransferSummary> transfers;
        QVERIFY2(store.transferSummaries({}, &transfers, &why), qPrintable(why));
        QCOMPARE(transfers.size(), 1);
        QCOMPARE(transfers.first().receiver, QStringLiteral("gym"));
        QVERIFY(transfers.first().lastOk);
    }

    // Back to the editor's setup: gym's change is in its profile, the
    // editor's parameter file and transmitter are as they were.
    e.openReceiver(0);
    QCOMPARE(e.window.receiverName(), QString());
    QCOMPARE(e.window.windowTitle(), QStringLiteral("NX-4400C Digital Weather Receiver"));
    QCOMPARE(ctx.config.TransmitterLocation, editorsTransmitter);
    QCOMPARE(readAll(ctx.parameterFilePath), dat);
    ReceiverConfig config;
    QStringList fips, events;
    QString why;
    QVERIFY2(LoadProfile(gymProfile, config, fips, events, &why), qPrintable(why));
    QCOMPARE(fips.filter(QRegularExpression(QStringLiteral("^X 0211(61|23)|^X 021023"))).size(), 2);
    ReceiverSetup stored;
    LoadConfiguration(ctx, stored.config);
    QCOMPARE(stored.config.TransmitterLocation, editorsTransmitter);

    // The county window has its own title again.
    whenModal<frmFIPS>([&](frmFIPS *w) {
        title = w->windowTitle();
        w->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    e.window.findChild<QAction *>(QStringLiteral("FIP Codes"))->trigger();
    QCOMPARE(title, QStringLiteral("NX-4400C FIPS Codes"));
}

void TestEditorReceiver::withoutFleetFileNothingChanges()
{
    Editor e;
    AppContext &ctx = *e.env.ctx;
    const QByteArray dat = readAll(ctx.parameterFilePath);
    // A fleet file that is refused is named with its line and why, to a
    // screen reader too, and lists nothing.
    const QString bad = e.env.path(QStringLiteral("bad.fleet"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("gym\n");
    f.close();
    QString hint, refusal;
    int listed = -1;
    whenModal<frmOpenReceiver>([&](frmOpenReceiver *w) {
        auto *problem = w->findChild<QLabel *>(QStringLiteral("lblProblem"));
        hint = QAccessible::queryAccessibleInterface(problem)->text(QAccessible::Name);
        grab(w, QStringLiteral("frmOpenReceiver-nofleet"));
        w->findChild<QLineEdit *>(QStringLiteral("txtFleetFile"))->setText(bad);
        w->findChild<QPushButton *>(QStringLiteral("cmdReadFleet"))->click();
        refusal = QAccessible::queryAccessibleInterface(problem)->text(QAccessible::Name);
        listed = w->findChild<QListWidget *>(QStringLiteral("lstReceivers"))->count();
        w->reject();
    });
    e.window.findChild<QAction *>(QStringLiteral("mnuOpenReceiver"))->trigger();
    QVERIFY2(hint.startsWith(QLatin1String("No fleet file is set.")), qPrintable(hint));
    QVERIFY2(refusal.contains(QLatin1String("bad.fleet: line 1: ")), qPrintable(refusal));
    QCOMPARE(listed, 1);
    QCOMPARE(StoredFleetFile(ctx), QString());

    const QStringList rows = e.openReceiver(0);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(e.window.windowTitle(), QStringLiteral("NX-4400C Digital Weather Receiver"));
    QCOMPARE(readAll(ctx.parameterFilePath), dat);
    QCOMPARE(StoredFleetFile(ctx), QString());
}

QTEST_MAIN(TestEditorReceiver)
#include "tst_editorreceiver.moc"
