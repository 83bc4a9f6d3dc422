// SPDX-License-Identifier: GPL-3.0-or-later
// A receiver's setup read from and written back to where it is kept: the
// editor's settings store with the folder's parameter file, or a receiver
// profile. Writing one place never touches the other, a missing parameter
// file is never replaced by the default coverage, and a failed write leaves
// the files as they were.
#include "support/TestEnv.h"

#include "config/core/ParameterFile.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/ReceiverSetupFiles.h"
#include "config/core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestReceiverSetupFiles : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
    void profileEditLeavesEditorsFiles();
    void editorsEditLeavesProfile();
    void storeThatCannotBeWrittenKeepsParameterFile();
};

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The editor's setup on disk: the default coverage, a transmitter of Ohio.
void keepEditorsSetup(AppContext &ctx)
{
    ctx.config.TransmitterLocation = QStringLiteral(" Otway            WXM69  162.525");
    LoadDefaultCoverage(ctx);
    QVERIFY(SaveConfiguration(ctx, ctx.config));
    QVERIFY(write(ctx.parameterFilePath, ParameterFile::format(ctx.FipEntries, ctx.EventSelection)));
}

QString profileFor(const TestEnv &env, const QString &transmitter)
{
    ReceiverConfig config;
    config.TransmitterLocation = transmitter;
    QStringList fips(ReceiverSetup::FipEntryCount), events(ReceiverSetup::EventSlotCount);
    fips[0] = QStringLiteral("X 021161  Mason                  Kentucky");
    events[0] = QStringLiteral("TOR");
    const QString path = env.path(QStringLiteral("gym.nxprofile"));
    QString why;
    return SaveProfile(path, config, fips, events, &why) ? path : QString();
}

} // namespace

void TestReceiverSetupFiles::load_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("transmitter");   // the one loaded; empty when nothing was
    QTest::addColumn<QString>("firstCounty");

    const QString otway = QStringLiteral(" Otway            WXM69  162.525");
    const QString maysville = QStringLiteral(" Maysville        KZZ49  162.425");
    QTest::newRow("the editor's setup") << "editor" << int(SetupLoadResult::Loaded) << otway << "X 012011";
    QTest::newRow("a profile") << "profile" << int(SetupLoadResult::Loaded) << maysville << "X 021161";
    // A missing file is reported, never replaced by the default counties.
    QTest::newRow("no parameter file") << "no dat" << int(SetupLoadResult::ParameterFileUnreadable) << "" << "";
    QTest::newRow("a parameter file cut short") << "short dat" << int(SetupLoadResult::ParameterFileUnreadable) << "" << "";
    QTest::newRow("a profile that is not one") << "bad profile" << int(SetupLoadResult::ProfileRefused) << "" << "";
    QTest::newRow("a profile that is a folder") << "folder profile" << int(SetupLoadResult::ProfileRefused) << "" << "";
    QTest::newRow("a store that is a folder") << "folder store" << int(SetupLoadResult::StoreUnusable) << "" << "";
}

void TestReceiverSetupFiles::load()
{
    QFETCH(QString, kind);
    QFETCH(int, result);
    QFETCH(QString, transmitter);
    QFETCH(QString, firstCounty);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    keepEditorsSetup(ctx);
    ReceiverSetupPlace place;
    if (kind == QLatin1String("profile"))
        place.profile = profileFor(env, QStringLiteral(" Maysville        KZZ49  162.425"));
    else if (kind == QLatin1String("no dat"))
        QVERIFY(QFile::remove(ctx.parameterFilePath));
    else if (kind == QLatin1String("short dat"))
        QVERIFY(write(ctx.parameterFilePath, readAll(ctx.parameterFilePath).left(200)));
    else if (kind == QLatin1String("bad profile")) {
        place.profile = env.path(QStringLiteral("bad.nxprofile"));
        QVERIFY(write(place.profile, "NX4400C-PROFILE 1\n[Counties]\n00=\"X 0\x01\"\n"));
    } else if (kind == QLatin1String("folder profile")) {
        place.profile = env.path(QStringLiteral("folder.nxprofile"));
        QVERIFY(QDir().mkpath(place.profile));
    } else if (kind == QLatin1String("folder store")) {
        ctx.settingsPath = env.path(QStringLiteral("store-folder"));
        QVERIFY(QDir().mkpath(ctx.settingsPath));
    }
    ReceiverSetup setup;
    setup.config.TransmitterLocation = QStringLiteral("untouched");
    QString why;
    QCOMPARE(int(LoadReceiverSetup(ctx, place, setup, &why)), result);
    if (result == int(SetupLoadResult::Loaded)) {
        QCOMPARE(setup.config.TransmitterLocation, transmitter);
        QVERIFY2(setup.FipEntries.at(0).startsWith(firstCounty), qPrintable(setup.FipEntries.at(0)));
    } else if (result != int(SetupLoadResult::ParameterFileUnreadable)) {
        QVERIFY(!why.isEmpty());
        QCOMPARE(setup.config.TransmitterLocation, QStringLiteral("untouched"));
    }
    // Nothing is offered, nothing is written.
    QCOMPARE(env.prompter.boxes.size(), 0);
    if (kind == QLatin1String("no dat"))
        QVERIFY(!QFile::exists(ctx.parameterFilePath));
}

void TestReceiverSetupFiles::profileEditLeavesEditorsFiles()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    keepEditorsSetup(ctx);
    const QByteArray store = readAll(ctx.settingsPath);
    const QByteArray dat = readAll(ctx.parameterFilePath);
    const ReceiverSetupPlace place{profileFor(env, QStringLiteral(" Maysville        KZZ49  162.425"))};
    ReceiverSetup setup;
    QCOMPARE(LoadReceiverSetup(ctx, place, setup, nullptr), SetupLoadResult::Loaded);
    setup.FipEntries[1] = QStringLiteral("X 021023  Bracken                Kentucky");
    setup.config.TransmitterLocation = QStringLiteral(" Covington        KIH42  162.550");
    QString why;
    QVERIFY2(SaveReceiverSetup(ctx, place, setup, true, &why), qPrintable(why));
    QCOMPARE(readAll(ctx.settingsPath), store);
    QCOMPARE(readAll(ctx.parameterFilePath), dat);
    ReceiverSetup back;
    QCOMPARE(LoadReceiverSetup(ctx, place, back, nullptr), SetupLoadResult::Loaded);
    QCOMPARE(back.FipEntries, setup.FipEntries);
    QCOMPARE(back.config.TransmitterLocation, setup.config.TransmitterLocation);
}

void TestReceiverSetupFiles::editorsEditLeavesProfile()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    keepEditorsSetup(ctx);
    const QString profile = profileFor(env, QStringLiteral(" Maysville        KZZ49  162.425"));
    const QByteArray before = readAll(profile);
    ReceiverSetup setup;
    QCOMPARE(LoadReceiverSetup(ctx, ReceiverSetupPlace{}, setup, nullptr), SetupLoadResult::Loaded);
    setup.FipEntries[0] = QStringLiteral("  012011  Broward                Florida");
    setup.config.TransmitterLocation = QStringLiteral(" Covington        KIH42  162.550");
    QString why;
    QVERIFY2(SaveReceiverSetup(ctx, ReceiverSetupPlace{}, setup, true, &why), qPrintable(why));
    QCOMPARE(readAll(profile), before);
    ReceiverSetup back;
    QCOMPARE(LoadReceiverSetup(ctx, ReceiverSetupPlace{}, back, nullptr), SetupLoadResult::Loaded);
    // The parameter file keeps an unselected line without its two blanks.
    QCOMPARE(back.FipEntries.at(0), setup.FipEntries.at(0).trimmed());
    QCOMPARE(back.config.TransmitterLocation, setup.config.TransmitterLocation);
}

void TestReceiverSetupFiles::storeThatCannotBeWrittenKeepsParameterFile()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    keepEditorsSetup(ctx);
    const QByteArray dat = readAll(ctx.parameterFilePath);
    ReceiverSetup setup;
    QCOMPARE(LoadReceiverSetup(ctx, ReceiverSetupPlace{}, setup, nullptr), SetupLoadResult::Loaded);
    setup.FipEntries[0].clear();
    // The store turns into a folder between reading and writing.
    QVERIFY(QFile::remove(ctx.settingsPath));
    QVERIFY(QDir().mkpath(ctx.settingsPath));
    QString why;
    QVERIFY(!SaveReceiverSetup(ctx, ReceiverSetupPlace{}, setup, true, &why));
    QVERIFY(!why.isEmpty());
    QCOMPARE(readAll(ctx.parameterFilePath), dat);
}

QTEST_GUILESS_MAIN(TestReceiverSetupFiles)
#include "tst_receiversetupfiles.moc"
