// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration record and its settings store: defaults, the text
// conversions, damaged values, and what a save leaves on disk.
#include "config/core/ReceiverConfig.h"
#include "config/core/SettingsStore.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

const ConfigKey &findKey(const char *section, const char *key)
{
    for (const ConfigKey &k : configKeys())
        if (qstrcmp(k.section, section) == 0 && qstrcmp(k.key, key) == 0)
            return k;
    qFatal("no key %s/%s", section, key);
}

void writeRaw(const QString &path, const QByteArray &ini)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini);
}

QString valueOf(const ReceiverConfig &c, const char *section, const char *key)
{
    return configValueText(findKey(section, key), c);
}

} // namespace

class tst_SettingsStore : public QObject
{
    Q_OBJECT
private slots:
    void keyTable();
    void defaultsFromEmptyStore();
    void conversions_data();
    void conversions();
    void damagedValueTakesDefaultAndLoadingGoesOn();
    void saveWritesEveryKeyAndKeepsPorts();
    void optionalZoneName();
    void roundTripOfEveryField();
    void awkwardStrings_data();
    void awkwardStrings();
    void handEditedCommaListIsJoined();
    void sharedKeysAreIndependent();
    void junkStoreDoesNotCrash();
    void unwritableStoreReportsFailure();
    void firstSaveCreatesFolders();
    void storeCutShortIsReportedAndPutBack();
    void storeFileCheck_data();
    void storeFileCheck();
};

void tst_SettingsStore::keyTable()
{
    const auto &keys = configKeys();
    QCOMPARE(int(keys.size()), 88);
    // Keys are unique per section, sections come in store order, and every
    // flag byte 7..15 has its eight bits exactly once.
    QSet<QString> seen;
    QMap<int, int> bits;
    const QStringList sections = configSections();
    int lastSection = 0;
    for (const ConfigKey &k : keys) {
        const QString path = QString::fromLatin1(k.section) + '/' + k.key;
        QVERIFY2(!seen.contains(path), qPrintable(path));
        seen.insert(path);
        const int s = sections.indexOf(QString::fromLatin1(k.section));
        QVERIFY(s >= lastSection);
        lastSection = s;
        if (k.type == ConfigKey::Type::Boolean && k.imageByte >= 0) {
            QVERIFY(!(bits[k.imageByte] & k.imageBit));
            bits[k.imageByte] |= k.imageBit;
        }
    }
    for (int byte = 7; byte <= 15; ++byte)
        QCOMPARE(bits.value(byte), 0xFF);
}

void tst_SettingsStore::defaultsFromEmptyStore()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    const ReceiverConfig &c = env.ctx->config;
    QCOMPARE(c.SerialPort, int16_t(1));
    QCOMPARE(c.TimeZoneOffset, int16_t(-5));
    QCOMPARE(c.DaylightSavings, true);
    QCOMPARE(c.ShowTipsAtStartup, true);
    QCOMPARE(c.StateID, int16_t(8));
    QCOMPARE(c.FrequencyListingFilter, int16_t(0));
    QCOMPARE(c.EditorVersion, QStringLiteral("1.00"));
    QCOMPARE(c.ReceiverVersion, QStringLiteral("1.00"));
    QCOMPARE(c.WorkingDirectory, QDir::toNativeSeparators(QDir::currentPath()));
    QVERIFY(c.TransmitterLocation.isEmpty());
    QVERIFY(c.UserStationID.isEmpty());
    QCOMPARE(c.SpeakerTimeoutTimer, int16_t(3));
    QCOMPARE(c.LineTimeoutTimer, int16_t(3));
    QCOMPARE(c.VoiceIntervalTimer, int16_t(1));
    QCOMPARE(c.RelayDelayTimer, int16_t(0));
    QCOMPARE(c.PreVoiceAnnc, int16_t(2));

    const QSet<QString> onFlags = {"SpeakerActive", "LineActive", "AlertLedActive",
                                   "ForceOnSpeaker", "ForceOnLine", "VoiceIntervalSpeaker",
                                   "VoiceIntervalLine", "VocAllEvents", "VocTruncateTest",
                                   "HighTrigCodeMatch", "LowTrigEndPacket"};
    for (const ConfigKey &k : configKeys()) {
        if (k.type != ConfigKey::Type::Boolean || qstrcmp(k.section, "EDITOR") == 0)
            continue;
        QVERIFY2(*k.boolIn(c) == onFlags.contains(QString::fromLatin1(k.key)),
                 qPrintable(QString::fromLatin1(k.section) + '/' + k.key));
    }
}

void tst_SettingsStore::conversions_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");   // the field as the store writes it

    // A flag whose default is false, so a fallback to the default shows.
    const QString S = "NV8008", F = "AcceptAllFips";
    QTest::newRow("True") << S << F << "True" << "True";
    QTest::newRow("true") << S << F << "true" << "True";
    QTest::newRow("TRUE blanks") << S << F << "  TRUE " << "True";
    QTest::newRow("FaLsE") << "NV8008" << "SpeakerActive" << "FaLsE" << "False";
    QTest::newRow("1") << S << F << "1" << "True";
    QTest::newRow("-1") << S << F << "-1" << "True";
    QTest::newRow("0") << "NV8008" << "SpeakerActive" << "0" << "False";
    QTest::newRow("2.5 flag") << S << F << "2.5" << "True";
    QTest::newRow("70000 flag") << S << F << "70000" << "True";
    QTest::newRow("junk flag") << S << F << "yes" << "False";
    QTest::newRow("empty flag") << "NV8008" << "SpeakerActive" << "" << "True";

    const QString T = "TIMERS", V = "SpeakerTimeoutTimer";   // default 3
    QTest::newRow("int 5") << T << V << "5" << "5";
    QTest::newRow("int 2.5 even") << T << V << "2.5" << "2";
    QTest::newRow("int 3.5 even") << T << V << "3.5" << "4";
    QTest::newRow("int 2.51") << T << V << "2.51" << "3";
    QTest::newRow("int -2.5") << "EDITOR" << "TimeZoneOffset" << "-2.5" << "-2";
    QTest::newRow("int -11") << "EDITOR" << "TimeZoneOffset" << "-11" << "-11";
    QTest::newRow("int blanks") << T << V << " 6 " << "6";
    QTest::newRow("int 32767") << T << V << "32767" << "32767";
    QTest::newRow("int -32768") << T << V << "-32768" << "-32768";
    QTest::newRow("int 32767.5 out") << T << V << "32767.5" << "3";
    QTest::newRow("int 70000 out") << T << V << "70000" << "3";
    QTest::newRow("int junk") << T << V << "three" << "3";
    QTest::newRow("int empty") << T << V << "" << "3";
    QTest::newRow("int True") << T << V << "True" << "3";
    QTest::newRow("int grouped") << T << V << "1,000" << "3";
    QTest::newRow("int inf") << T << V << "inf" << "3";
    QTest::newRow("int exponent") << T << V << "4e0" << "4";

    QTest::newRow("string as is") << "EDITOR" << "ReceiverVersion" << "2.07" << "2.07";
}

void tst_SettingsStore::conversions()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    TestEnv env;
    {
        QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
        s.setValue(section + '/' + key, stored);
    }
    LoadConfiguration(*env.ctx, env.ctx->config);
    QCOMPARE(valueOf(env.ctx->config, qPrintable(section), qPrintable(key)), expected);
}

void tst_SettingsStore::damagedValueTakesDefaultAndLoadingGoesOn()
{
    // A store where one early key is damaged and the user changed keys after
    // it. Every later key keeps its stored value; the damaged one gets its
    // default, and the next save repairs the store instead of writing zeros
    // over the user's settings.
    TestEnv env;
    writeRaw(env.ctx->settingsPath,
             "[EDITOR]\nSerialPort=x9\nTimeZoneOffset=-8\nStateID=70000\n"
             "TransmitterLocation=Miami\n"
             "[NV8008]\nSpeakerActive=False\nLineActive=maybe\n"
             "[NV800F]\nSpare800F_1=True\n"
             "[TIMERS]\nPreVoiceAnnc=4\n");
    QStringList replaced;
    {
        auto store = env.ctx->openSettings();
        replaced = loadConfigurationFrom(*store, env.ctx->config);
    }
    QCOMPARE(replaced, QStringList({"EDITOR/SerialPort", "EDITOR/StateID", "NV8008/LineActive"}));
    const ReceiverConfig &c = env.ctx->config;
    QCOMPARE(c.SerialPort, int16_t(1));
    QCOMPARE(c.StateID, int16_t(8));
    QCOMPARE(c.LineActive, true);
    QCOMPARE(c.TimeZoneOffset, int16_t(-8));
    QCOMPARE(c.TransmitterLocation, QStringLiteral("Miami"));
    QCOMPARE(c.SpeakerActive, false);
    QCOMPARE(c.Spare800F_1, true);
    QCOMPARE(c.PreVoiceAnnc, int16_t(4));

    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
    QCOMPARE(s.value("EDITOR/SerialPort").toString(), QStringLiteral("1"));
    QCOMPARE(s.value("NV8008/LineActive").toString(), QStringLiteral("True"));
    QCOMPARE(s.value("TIMERS/PreVoiceAnnc").toString(), QStringLiteral("4"));
}

// TimeZoneName is written once it holds a zone; a store that never had one
// keeps its 88 keys, and one cleared again keeps the key, empty.
void tst_SettingsStore::optionalZoneName()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    QVERIFY(env.ctx->config.TimeZoneName.isEmpty());
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    QVERIFY(!QSettings(env.ctx->settingsPath, QSettings::IniFormat).contains(QStringLiteral("EDITOR/TimeZoneName")));

    env.ctx->config.TimeZoneName = QStringLiteral("America/Denver");
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    ReceiverConfig back;
    LoadConfiguration(*env.ctx, back);
    QCOMPARE(back.TimeZoneName, QStringLiteral("America/Denver"));

    back.TimeZoneName.clear();
    QVERIFY(SaveConfiguration(*env.ctx, back));
    QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
    QVERIFY(s.contains(QStringLiteral("EDITOR/TimeZoneName")));
    QCOMPARE(s.value(QStringLiteral("EDITOR/TimeZoneName")).toString(), QString());
}

void tst_SettingsStore::saveWritesEveryKeyAndKeepsPorts()
{
    TestEnv env;
    writeRaw(env.ctx->settingsPath, "[Ports]\nPort1=/dev/ttyUSB0\nPort3=/dev/ttyS2\n");
    LoadConfiguration(*env.ctx, env.ctx->config);
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));

    QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
    int count = 0;
    for (const QString &section : configSections()) {
        s.beginGroup(section);
        count += s.childKeys().size();
        s.endGroup();
    }
    QCOMPARE(count, 88);
    QCOMPARE(s.value("Ports/Port1").toString(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(s.value("Ports/Port3").toString(), QStringLiteral("/dev/ttyS2"));
    QCOMPARE(s.childGroups().size(), 12);
    QCOMPARE(s.value("NV800F/Spare800F_1").toString(), QStringLiteral("False"));
    QCOMPARE(s.value("EDITOR/ShowTipsAtStartup").toString(), QStringLiteral("True"));
    QCOMPARE(s.value("EDITOR/TimeZoneOffset").toString(), QStringLiteral("-5"));

    // The words and digits are in the file as such, not typed values.
    QFile f(env.ctx->settingsPath);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    QVERIFY(raw.contains("SpeakerActive=True"));
    QVERIFY(raw.contains("SerialPort=1\n"));
    QVERIFY(!raw.contains("@Variant"));
}

void tst_SettingsStore::roundTripOfEveryField()
{
    // Flip every flag, set every integer and string to something other than
    // its default, and read it all back into a fresh program.
    TestEnv env;
    ReceiverConfig &c = env.ctx->config;
    int n = 0;
    for (const ConfigKey &k : configKeys()) {
        switch (k.type) {
        case ConfigKey::Type::Boolean: *k.boolIn(c) = (n % 3 != 0); break;
        case ConfigKey::Type::Integer: c.*k.intField = int16_t(-11 + n); break;
        case ConfigKey::Type::String: c.*k.stringField = QStringLiteral("v%1 x").arg(n); break;
        }
        ++n;
    }
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));

    AppContext fresh;
    fresh.settingsPath = env.ctx->settingsPath;
    LoadConfiguration(fresh, fresh.config);
    for (const ConfigKey &k : configKeys())
        QCOMPARE(configValueText(k, fresh.config), configValueText(k, c));
}

void tst_SettingsStore::awkwardStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("comma") << "Miami, FL 162.475";
    QTest::newRow("commas no blank") << "a,b,,c";
    QTest::newRow("quotes") << "say \"hi\" \"";
    QTest::newRow("leading blanks") << "   KWN50";
    QTest::newRow("trailing blanks") << "KWN50   ";
    QTest::newRow("equals") << "a=b";
    QTest::newRow("semicolon") << "a;b ; c";
    QTest::newRow("hash") << "#1 transmitter";
    QTest::newRow("at") << "@Variant(x)";
    QTest::newRow("backslash") << "C:\\NX\\dir\\";
    QTest::newRow("brackets") << "[EDITOR]";
    QTest::newRow("non-ascii") << QString::fromUtf8("Doña Ana – Δ");
    QTest::newRow("empty") << "";
    QTest::newRow("only blanks") << "   ";
}

void tst_SettingsStore::awkwardStrings()
{
    QFETCH(QString, text);
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    env.ctx->config.TransmitterLocation = text;
    env.ctx->config.WorkingDirectory = text;
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    AppContext fresh;
    fresh.settingsPath = env.ctx->settingsPath;
    LoadConfiguration(fresh, fresh.config);
    QCOMPARE(fresh.config.TransmitterLocation, text);
    QCOMPARE(fresh.config.WorkingDirectory, text);
    // The key after it still loads.
    QCOMPARE(fresh.config.FrequencyListingFilter, int16_t(0));
}

void tst_SettingsStore::handEditedCommaListIsJoined()
{
    // Written by hand without quotes, the INI reader sees a list; the text
    // comes back with the commas, not empty.
    TestEnv env;
    writeRaw(env.ctx->settingsPath, "[EDITOR]\nTransmitterLocation=Miami, FL\nSerialPort=3\n");
    LoadConfiguration(*env.ctx, env.ctx->config);
    QCOMPARE(env.ctx->config.TransmitterLocation, QStringLiteral("Miami, FL"));
    QCOMPARE(env.ctx->config.SerialPort, int16_t(3));
}

void tst_SettingsStore::sharedKeysAreIndependent()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    ReceiverConfig &c = env.ctx->config;
    c.NV8009.AcceptAllAlerts = true;
    c.NV800A.AcceptAllAlerts = false;
    c.NV800A.CancelAlert = true;
    c.NV800D.PulseWatch = false;
    c.NV800E.PulseWatch = true;
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    {
        QSettings s(env.ctx->settingsPath, QSettings::IniFormat);
        QCOMPARE(s.value("NV8009/AcceptAllAlerts").toString(), QStringLiteral("True"));
        QCOMPARE(s.value("NV800A/AcceptAllAlerts").toString(), QStringLiteral("False"));
        QCOMPARE(s.value("NV8009/CancelAlert").toString(), QStringLiteral("False"));
        QCOMPARE(s.value("NV800A/CancelAlert").toString(), QStringLiteral("True"));
        QCOMPARE(s.value("NV800D/PulseWatch").toString(), QStringLiteral("False"));
        QCOMPARE(s.value("NV800E/PulseWatch").toString(), QStringLiteral("True"));
    }
    AppContext fresh;
    fresh.settingsPath = env.ctx->settingsPath;
    LoadConfiguration(fresh, fresh.config);
    QCOMPARE(fresh.config.NV8009.AcceptAllAlerts, true);
    QCOMPARE(fresh.config.NV800A.AcceptAllAlerts, false);
    QCOMPARE(fresh.config.NV8009.CancelAlert, false);
    QCOMPARE(fresh.config.NV800A.CancelAlert, true);
    QCOMPARE(fresh.config.NV800E.PulseWatch, true);
}

void tst_SettingsStore::junkStoreDoesNotCrash()
{
    TestEnv env;
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 131 + 7) & 0xFF));
    junk += "\n[TIMERS]\nLineTimeoutTimer=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5QRect)\n"
            "VoiceIntervalTimer=@Invalid()\nRelayDelayTimer=@ByteArray(4)\n";
    writeRaw(env.ctx->settingsPath, junk);
    LoadConfiguration(*env.ctx, env.ctx->config);
    QCOMPARE(env.ctx->config.LineTimeoutTimer, int16_t(3));
    QCOMPARE(env.ctx->config.VoiceIntervalTimer, int16_t(1));
    QCOMPARE(env.ctx->config.RelayDelayTimer, int16_t(4));
    QCOMPARE(env.ctx->config.SerialPort, int16_t(1));
}

void tst_SettingsStore::unwritableStoreReportsFailure()
{
    // The store's folder cannot exist: a plain file stands where it should.
    TestEnv env;
    writeRaw(env.path("blocker"), "x");
    env.ctx->settingsPath = env.path("blocker/sub/NX4400C.ini");
    LoadConfiguration(*env.ctx, env.ctx->config);
    QVERIFY(!SaveConfiguration(*env.ctx, env.ctx->config));
}

void tst_SettingsStore::firstSaveCreatesFolders()
{
    TestEnv env;
    env.ctx->settingsPath = env.path("new/folder/NX4400C.ini");
    LoadConfiguration(*env.ctx, env.ctx->config);
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    QFile f(env.ctx->settingsPath);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(storeFileHoldsEveryKey(f.readAll()));
}

void tst_SettingsStore::storeCutShortIsReportedAndPutBack()
{
#ifdef Q_OS_LINUX
    // The disk fills up while the store is written (a file size limit stands
    // in for it). QSettings itself reports success with a cut-off file; the
    // save must say it failed and leave the previous store in place.
    TestEnv env;
    const QByteArray previous = "[Ports]\nPort1=/dev/ttyUSB0\n\n[TIMERS]\nPreVoiceAnnc=4\n";
    writeRaw(env.ctx->settingsPath, previous);
    LoadConfiguration(*env.ctx, env.ctx->config);
    env.ctx->config.TransmitterLocation = QString(300, QLatin1Char('T'));

    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = SaveConfiguration(*env.ctx, env.ctx->config);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!ok);
    QFile f(env.ctx->settingsPath);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), previous);
#else
    QSKIP("file size limits are a Linux matter");
#endif
}

void tst_SettingsStore::storeFileCheck_data()
{
    QTest::addColumn<int>("cut");
    QTest::addColumn<bool>("complete");
    QTest::newRow("whole") << 0 << true;
    QTest::newRow("last line end missing") << 1 << false;
    QTest::newRow("last line missing") << 21 << false;
    QTest::newRow("half") << 1500 << false;
}

void tst_SettingsStore::storeFileCheck()
{
    QFETCH(int, cut);
    QFETCH(bool, complete);
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    QVERIFY(SaveConfiguration(*env.ctx, env.ctx->config));
    QFile f(env.ctx->settingsPath);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray ini = f.readAll();
    QVERIFY(ini.endsWith("\nVoiceIntervalTimer=1\n"));
    ini.chop(cut);
    QCOMPARE(storeFileHoldsEveryKey(ini), complete);
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
