// SPDX-License-Identifier: GPL-3.0-or-later
// Receiver profiles: a saved and loaded setup gives the same image byte for
// byte; a bad profile is refused with its line number and changes nothing;
// `nx4400c-cli profile` and `nx4400c-cli image` on a settings folder of
// their own.
#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

namespace {

QByteArray imageOf(AppContext &ctx)
{
    PackParameterBlock(ctx.config, ctx.session().UploadImage);
    PackCoverageLists(ctx, ctx.session().UploadImage);
    return QByteArray(reinterpret_cast<const char *>(ctx.session().UploadImage.data()), ParameterImage::ImageLength);
}

QStringList profileKeyTexts(const ReceiverConfig &config)
{
    QStringList out;
    for (const ConfigKey &key : configKeys()) {
        if (ReceiverProfileFormat::isProfileKey(key))
            out << ReceiverProfileFormat::keyName(key) + QLatin1Char('=') + configValueText(key, config);
    }
    return out;
}

void defaults(AppContext &ctx)
{
    LoadConfiguration(ctx, ctx.config);
    LoadDefaultCoverage(ctx);
}

// Every setting of a profile moved off its default, 24 ticked counties with
// awkward text, unticked lines in both forms, gaps, and 48 event codes with
// a gap at slot 10 and the last slot used.
void rich(AppContext &ctx)
{
    LoadConfiguration(ctx, ctx.config);
    ReceiverConfig &c = ctx.config;
    for (const ConfigKey &key : configKeys()) {
        if (ReceiverProfileFormat::isProfileKey(key) && key.type == ConfigKey::Type::Boolean)
            *key.boolIn(c) = !*key.boolIn(c);
    }
    c.StateID = 53;
    c.FrequencyListingFilter = 7;
    c.SpeakerTimeoutTimer = 6;
    c.LineTimeoutTimer = 1;
    c.VoiceIntervalTimer = 4;
    c.RelayDelayTimer = 4;
    c.PreVoiceAnnc = 0;
    c.TransmitterLocation = QStringLiteral("  Miami \"Dade\" = # 162.475   ");
    c.UserStationID = QStringLiteral("KQ7WXR4200ABCDE");
    for (int i = 0; i < 24; ++i)
        ctx.FipEntries[i] = QStringLiteral("X %1  County \"%2\", #=  State   ").arg(12000 + i, 6, 10, QLatin1Char('0')).arg(i);
    ctx.FipEntries[24] = QStringLiteral("  013001  Two Blanks            Georgia");
    ctx.FipEntries[25] = QStringLiteral("013003  No Mark                Georgia");
    ctx.FipEntries[26] = QStringLiteral("X013005  X Without Blank       Georgia");
    ctx.FipEntries[40] = QStringLiteral("  072001  Añasco               Puerto Rico");
    ctx.FipEntries[98] = QStringLiteral("   ");
    int n = 0;
    for (int i = 0; i < 49; ++i) {
        if (i == 10)
            continue;
        ctx.EventSelection[i] = QString(QChar(u'A' + n / 26)) + QChar(u'A' + n % 26) + QChar(u'Z' - n % 26);
        ++n;
    }
}

// Computer-side settings that differ from anything a profile could carry.
void computerKeys(ReceiverConfig &c)
{
    c.SerialPort = 4;
    c.WorkingDirectory = QStringLiteral("/srv/nx");
    c.EditorVersion = QStringLiteral("3.00");
    c.ReceiverVersion = QStringLiteral("2.17");
    c.ShowTipsAtStartup = false;
    c.TimeZoneOffset = -9;
    c.DaylightSavings = false;
}

int lineOf(const QByteArray &text, const QByteArray &prefix)
{
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(prefix))
            return i + 1;
    }
    return -1;
}

QByteArray replaceLine(const QByteArray &text, const QByteArray &prefix, const QByteArray &with)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &l : lines) {
        if (l.startsWith(prefix)) {
            l = with;
            break;
        }
    }
    return lines.join('\n');
}

QByteArray cutFrom(const QByteArray &text, const QByteArray &prefix)
{
    const int line = lineOf(text, prefix);
    return text.split('\n').mid(0, line - 1).join('\n') + '\n';
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class tst_Profile : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void textIsReadable();
    void refusals_data();
    void refusals();
    void specialFiles_data();
    void specialFiles();
    void saveRefusesWhatLoadWouldRefuse_data();
    void saveRefusesWhatLoadWouldRefuse();
    void unknownTimerCodeSavesSameImage();

    void cliSaveImageLoad();
    void cliRefusesBadProfile();
    void cliRefusesEventsTheDataFileCannotKeep();
    void cliUsage_data();
    void cliUsage();

private:
    bool cliBuilt() const;
    int cli(const QStringList &args, const QString &cfg, const QString &work, QByteArray *out = nullptr,
            QByteArray *err = nullptr) const;
    QTemporaryDir m_dir;
};

void tst_Profile::roundTrip_data()
{
    QTest::addColumn<bool>("isRich");
    QTest::newRow("defaults") << false;
    QTest::newRow("every key changed, 24 counties, 48 events") << true;
}

void tst_Profile::roundTrip()
{
    QFETCH(bool, isRich);
    TestEnv source;
    if (isRich)
        rich(*source.ctx);
    else
        defaults(*source.ctx);
    const QString path = source.path(QStringLiteral("site.nxprofile"));
    QString error;
    QVERIFY2(SaveProfile(path, source.ctx->config, source.ctx->FipEntries, source.ctx->EventSelection, &error),
             qPrintable(error));

    // Loaded on another computer, whose own settings stay as they were.
    TestEnv target;
    defaults(*target.ctx);
    if (!isRich)
        rich(*target.ctx);   // the load must replace everything it carries
    computerKeys(target.ctx->config);
    const ReceiverConfig before = target.ctx->config;
    QVERIFY2(LoadProfile(path, target.ctx->config, target.ctx->FipEntries, target.ctx->EventSelection, &error),
             qPrintable(error));

    QCOMPARE(profileKeyTexts(target.ctx->config), profileKeyTexts(source.ctx->config));
    QCOMPARE(target.ctx->FipEntries, source.ctx->FipEntries);
    QCOMPARE(target.ctx->EventSelection, source.ctx->EventSelection);
    for (const ConfigKey &key : configKeys()) {
        if (!ReceiverProfileFormat::isProfileKey(key))
            QCOMPARE(configValueText(key, target.ctx->config), configValueText(key, before));
    }
    const QByteArray image = imageOf(*source.ctx);
    QCOMPARE(imageOf(*target.ctx).toHex(' '), image.toHex(' '));
    QCOMPARE(ImageChecksum(target.ctx->session().UploadImage), ImageChecksum(source.ctx->session().UploadImage));
    if (isRich) {
        QCOMPARE(int(uint8_t(image.at(16))), 15);                           // station id sent whole
        QCOMPARE(image.mid(32 + 23 * 7, 7), QByteArray("012023-"));        // 24th county
        QCOMPARE(int(image.at(32 + 24 * 7)), 0);                            // and no 25th
        QCOMPARE(image.mid(208 + 47 * 4, 4), QByteArray("BVE-"));           // 48th event, from slot 48
    }

    // Saving what was loaded gives the same file again.
    const QString again = target.path(QStringLiteral("again.nxprofile"));
    QVERIFY(SaveProfile(again, target.ctx->config, target.ctx->FipEntries, target.ctx->EventSelection, &error));
    QCOMPARE(readAll(again), readAll(path));
}

void tst_Profile::textIsReadable()
{
    TestEnv env;
    defaults(*env.ctx);
    computerKeys(env.ctx->config);
    const QByteArray text = FormatProfile(env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection);
    QVERIFY(text.startsWith("NX4400C-PROFILE 1\n"));
    QVERIFY(text.contains("\n00=\"X 012011  Broward                Florida\"\n"));
    QVERIFY(text.contains("\nNV8009.AcceptAllAlerts=False\nNV8009.WatchAndWarningOnly=False\n"));
    QVERIFY(text.contains("\nTIMERS.PreVoiceAnnc=2\n"));
    QVERIFY(text.contains("\n[Events]\n"));
    QVERIFY(text.contains("\n16=TOR\n"));
    for (const char *computer : {"SerialPort", "WorkingDirectory", "/srv/nx", "EditorVersion", "2.17",
                                 "ShowTipsAtStartup", "TimeZoneOffset", "DaylightSavings"})
        QVERIFY2(!text.contains(computer), computer);
    int settings = 0;
    for (const QByteArray &line : text.split('\n'))
        settings += QRegularExpression(QStringLiteral("^[A-Z0-9]+\\.[A-Za-z0-9_]+=")).match(QString::fromUtf8(line)).hasMatch();
    QCOMPARE(settings, 81);
}

void tst_Profile::refusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("why");

    TestEnv env;
    rich(*env.ctx);
    const QByteArray base = FormatProfile(env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection);
    auto row = [&](const char *name, const QByteArray &find, const QByteArray &with, const char *why) {
        QTest::newRow(name) << replaceLine(base, find, with) << lineOf(base, find) << QString::fromUtf8(why);
    };
    const int last = base.count('\n');

    row("format line missing", "NX4400C-PROFILE", "[Settings]", "first line must be \"NX4400C-PROFILE 1\"");
    row("format line in other case", "NX4400C-PROFILE", "nx4400c-profile 1", "first line must be");
    row("newer format version", "NX4400C-PROFILE", "NX4400C-PROFILE 2", "format version 2");
    row("unknown key", "NV8008.SpeakerActive", "NV8008.SpeakerActiv=True", "unknown setting \"NV8008.SpeakerActiv\"");
    row("computer key", "NV8008.SpeakerActive", "EDITOR.SerialPort=2", "belongs to the computer");
    row("duplicated key", "NV8008.LineActive", "NV8008.SpeakerActive=True", "NV8008.SpeakerActive is set again (first on line");
    row("boolean out of range", "NV8008.SpeakerActive", "NV8008.SpeakerActive=2", "must be True or False, not \"2\"");
    row("timer above its codes", "TIMERS.SpeakerTimeoutTimer", "TIMERS.SpeakerTimeoutTimer=7", "from 0 to 6");
    row("relay delay above its codes", "TIMERS.RelayDelayTimer", "TIMERS.RelayDelayTimer=5", "from 0 to 4");
    row("timer not a number", "TIMERS.PreVoiceAnnc", "TIMERS.PreVoiceAnnc=two", "must be a whole number, not \"two\"");
    row("timer a fraction", "TIMERS.PreVoiceAnnc", "TIMERS.PreVoiceAnnc=1.5", "must be a whole number");
    row("number beyond 16 bits", "EDITOR.StateID", "EDITOR.StateID=99999", "must be from 0 to 53");
    row("state past the list", "EDITOR.StateID", "EDITOR.StateID=54", "must be from 0 to 53");
    row("negative frequency filter", "EDITOR.FrequencyListingFilter", "EDITOR.FrequencyListingFilter=-1",
        "from 0 to 7");
    row("text without quotes", "EDITOR.TransmitterLocation", "EDITOR.TransmitterLocation=Miami",
        "must stand in double quotes");
    row("station id in lower case", "EDITOR.UserStationID", "EDITOR.UserStationID=\"kq7\"", "A-Z and 0-9");
    row("station id too long", "EDITOR.UserStationID", "EDITOR.UserStationID=\"ABCDEFGHIJKLMNOP\"", "at most 15");
    row("control character in a value", "EDITOR.TransmitterLocation", "EDITOR.TransmitterLocation=\"a\tb\"",
        "control character");
    row("25th ticked county", "25=", "25=\"X 013003  No Mark                Georgia\"",
        "the 25th ticked county; the receiver holds at most 24");
    row("ticked county without digits", "24=", "24=\"X 01300A  Bad Code\"", "no six-digit FIP code");
    row("ticked county cut short", "24=", "24=\"X 0130\"", "no six-digit FIP code");
    row("county without quotes", "24=", "24=  013001  Two Blanks", "county 24: the text must stand in double quotes");
    row("county slot past 98", "24=", "99=\"  013001\"", "county slot \"99\" is not a number from 00 to 98");
    row("county slot repeated", "25=", "24=\"  013001\"", "county 24 is given again");
    row("event in lower case", "45=", "45=tor", "\"tor\" is not an event code of three capital letters");
    row("event of four letters", "45=", "45=TORN", "not an event code");
    row("event slot past 48", "45=", "49=TOR", "event slot \"49\" is not a number from 00 to 48");
    row("unknown section", "[Events]", "[Event Codes]", "unknown section \"[Event Codes]\"");
    row("repeated section", "[Events]", "[Counties]", "the section [Counties] appears again");
    row("no key", "45=", "TOR", "expected KEY=value");
    row("value before any section", "# One value", "NV8008.SpeakerActive=True", "before the first section");
    row("NUL byte", "45=", QByteArray("45=T\0R", 6), "a NUL byte");
    row("not UTF-8", "24=", "24=\"  013001  Ca\xF1on\"", "not UTF-8 text");

    QTest::newRow("setting missing") << replaceLine(base, "NV800F.Spare800F_1", "# removed") << lineOf(base, "[Settings]")
                                     << "the section [Settings] lacks NV800F.Spare800F_1";
    const QByteArray noEvents = cutFrom(base, "[Events]");
    QTest::newRow("section missing") << noEvents << noEvents.count('\n') << "ends without a [Events] section";
    QTest::newRow("empty file") << QByteArray() << 1 << "first line must be";
    QTest::newRow("49th event appended") << base + "10=ZZZ\n" << last + 1 << "the 49th event code; the receiver holds at most 48";
}

void tst_Profile::refusals()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, why);

    TestEnv env;
    defaults(*env.ctx);
    const QString path = env.path(QStringLiteral("bad.nxprofile"));
    QVERIFY(writeAll(path, text));
    const ReceiverConfig before = env.ctx->config;
    const QStringList fips = env.ctx->FipEntries;
    const QStringList events = env.ctx->EventSelection;

    QString error;
    QVERIFY(!LoadProfile(path, env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection, &error));
    const QString where = QStringLiteral("%1, line %2: ").arg(path).arg(line);
    QVERIFY2(error.startsWith(where), qPrintable(error + QStringLiteral("  (expected line ") + QString::number(line) + ')'));
    QVERIFY2(error.contains(why), qPrintable(error));

    QCOMPARE(profileKeyTexts(env.ctx->config), profileKeyTexts(before));
    QCOMPARE(configValueText(configKeys().front(), env.ctx->config), configValueText(configKeys().front(), before));
    QCOMPARE(env.ctx->FipEntries, fips);
    QCOMPARE(env.ctx->EventSelection, events);
}

void tst_Profile::specialFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << "missing" << "cannot be opened";
    QTest::newRow("folder") << "folder" << "not a regular file";
    QTest::newRow("pipe with no writer") << "fifo" << "not a regular file";
    QTest::newRow("device") << "device" << "not a regular file";
    QTest::newRow("over 1 MiB") << "huge" << "larger than 1 MiB";
}

void tst_Profile::specialFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    TestEnv env;
    defaults(*env.ctx);
    QString path = env.path(QStringLiteral("p"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        path = QStringLiteral("/dev/zero");
    } else if (kind == QLatin1String("huge")) {
        // A valid start, then comments past the limit.
        QByteArray text = FormatProfile(env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection);
        while (text.size() <= ReceiverProfileFormat::MaxFileBytes)
            text += "# padding padding padding padding padding padding padding padding\n";
        QVERIFY(writeAll(path, text));
    }
    const QStringList fips = env.ctx->FipEntries;
    QString error;
    QVERIFY(!LoadProfile(path, env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection, &error));
    QVERIFY2(error.startsWith(path + QStringLiteral(": ")) && error.contains(why), qPrintable(error));
    QCOMPARE(env.ctx->FipEntries, fips);
}

void tst_Profile::saveRefusesWhatLoadWouldRefuse_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("why");
    QTest::newRow("25 ticked counties") << 0 << "25th ticked county";
    QTest::newRow("line break in a county") << 1 << "county 05 holds a control character";
    QTest::newRow("lower-case event code") << 2 << "\"tor\" is not an event code";
    QTest::newRow("16-character station id") << 3 << "at most 15";
    QTest::newRow("state past the list") << 4 << "EDITOR.StateID is 60";
}

void tst_Profile::saveRefusesWhatLoadWouldRefuse()
{
    QFETCH(int, fault);
    QFETCH(QString, why);
    TestEnv env;
    defaults(*env.ctx);
    AppContext &ctx = *env.ctx;
    switch (fault) {
    case 0:
        for (int i = 0; i < 25; ++i)
            ctx.FipEntries[i] = QStringLiteral("X %1  Somewhere").arg(10000 + i, 6, 10, QLatin1Char('0'));
        break;
    case 1: ctx.FipEntries[5] = QStringLiteral("  012001  Two\nLines"); break;
    case 2: ctx.EventSelection[3] = QStringLiteral("tor"); break;
    case 3: ctx.config.UserStationID = QStringLiteral("ABCDEFGHIJKLMNOP"); break;
    case 4: ctx.config.StateID = 60; break;
    }
    // An earlier profile at the same place stays as it was.
    const QString path = env.path(QStringLiteral("site.nxprofile"));
    QVERIFY(writeAll(path, "earlier profile\n"));
    QString error;
    QVERIFY(!SaveProfile(path, ctx.config, ctx.FipEntries, ctx.EventSelection, &error));
    QVERIFY2(error.startsWith(path + QStringLiteral(" was not saved: ")) && error.contains(why), qPrintable(error));
    QCOMPARE(readAll(path), QByteArray("earlier profile\n"));
}

void tst_Profile::unknownTimerCodeSavesSameImage()
{
    // The settings store may hold a timer code the receiver does not know;
    // it packs as 0 and is saved as 0, so the image is unchanged.
    TestEnv env;
    defaults(*env.ctx);
    env.ctx->config.SpeakerTimeoutTimer = 9;
    env.ctx->config.RelayDelayTimer = -3;
    const QString path = env.path(QStringLiteral("t.nxprofile"));
    QString error;
    QVERIFY2(SaveProfile(path, env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection, &error),
             qPrintable(error));
    TestEnv target;
    defaults(*target.ctx);
    QVERIFY(LoadProfile(path, target.ctx->config, target.ctx->FipEntries, target.ctx->EventSelection, &error));
    QCOMPARE(target.ctx->config.SpeakerTimeoutTimer, int16_t(0));
    QCOMPARE(imageOf(*target.ctx), imageOf(*env.ctx));
}

// --- nx4400c-cli ---------------------------------------------------------

bool tst_Profile::cliBuilt() const
{
    return QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-cli")).isExecutable();
}

int tst_Profile::cli(const QStringList &args, const QString &cfg, const QString &work, QByteArray *out,
                     QByteArray *err) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), cfg);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(work);
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode();
}

namespace {

// The image lines of `nx4400c-cli image`, checked for their layout; returns
// the 511 bytes, or an empty array when the layout is wrong.
QByteArray parseImageOutput(const QByteArray &out, uint8_t *checksum)
{
    const QList<QByteArray> lines = out.split('\n');
    if (lines.size() != 34 || !lines.last().isEmpty())
        return {};
    QByteArray image;
    for (int i = 0; i < 32; ++i) {
        const QByteArray expect = QByteArray::number(i * 16, 16).toUpper().rightJustified(4, '0') + "  ";
        if (!lines.at(i).startsWith(expect))
            return {};
        image += QByteArray::fromHex(lines.at(i).mid(6));
    }
    if (image.size() != 511 || !lines.at(32).startsWith("checksum "))
        return {};
    *checksum = uint8_t(lines.at(32).mid(9).toUInt(nullptr, 16));
    return image;
}

} // namespace

void tst_Profile::cliSaveImageLoad()
{
    if (!cliBuilt())
        QSKIP("nx4400c-cli is not built");
    // Computer A: the defaults with a station id and counties of its own.
    const QString cfgA = m_dir.filePath(QStringLiteral("cfgA")), workA = m_dir.filePath(QStringLiteral("workA"));
    const QString cfgB = m_dir.filePath(QStringLiteral("cfgB")), workB = m_dir.filePath(QStringLiteral("workB"));
    for (const QString &d : {cfgA + QStringLiteral("/NX4400C"), workA, cfgB + QStringLiteral("/NX4400C"), workB})
        QVERIFY(QDir().mkpath(d));
    QVERIFY(writeAll(cfgA + QStringLiteral("/NX4400C/NX4400C.ini"),
                     "[EDITOR]\nSerialPort=2\nUserStationID=KQ7\n[TIMERS]\nPreVoiceAnnc=4\n"));
    {
        TestEnv env;
        LoadDefaultCoverage(*env.ctx);
        env.ctx->FipEntries[4] = QStringLiteral("  013001  Appling                Georgia");
        QVERIFY(writeAll(workA + QStringLiteral("/NX_4400C.DAT"),
                         ParameterFile::format(env.ctx->FipEntries, env.ctx->EventSelection)));
    }
    QVERIFY(writeAll(cfgB + QStringLiteral("/NX4400C/NX4400C.ini"), "[EDITOR]\nSerialPort=3\n"));

    QByteArray out, err;
    QCOMPARE(cli({QStringLiteral("image")}, cfgA, workA, &out, &err), 0);
    uint8_t sum = 0;
    const QByteArray imageA = parseImageOutput(out, &sum);
    QVERIFY2(!imageA.isEmpty(), out.constData());
    QCOMPARE(imageA.left(16).toHex(' '), QByteArray("00 03 03 01 00 04 00 00 1f 00 00 27 00 00 00 21"));
    QCOMPARE(imageA.mid(16, 4).toHex(' '), QByteArray("03 14 1a 07"));
    QCOMPARE(imageA.mid(32, 29), QByteArray("012011-012085-012099-012111-\0", 29));
    uint8_t expected = 0;
    for (char c : imageA)
        expected = uint8_t(expected + uint8_t(c));
    QCOMPARE(sum, expected);

    const QString profile = m_dir.filePath(QStringLiteral("a.nxprofile"));
    QCOMPARE(cli({QStringLiteral("profile"), QStringLiteral("save"), profile}, cfgA, workA, &out, &err), 0);
    QVERIFY(readAll(profile).contains("EDITOR.UserStationID=\"KQ7\"\n"));

    // From the profile alone, in a folder with no parameter file.
    QByteArray fromProfile;
    QCOMPARE(cli({QStringLiteral("image"), QStringLiteral("--profile"), profile}, cfgB, workB, &fromProfile), 0);
    QByteArray imageOut;
    QCOMPARE(cli({QStringLiteral("image")}, cfgA, workA, &imageOut), 0);
    QCOMPARE(fromProfile, imageOut);

    // Loaded on computer B: its image is A's, its own port stays.
    QCOMPARE(cli({QStringLiteral("profile"), QStringLiteral("load"), profile}, cfgB, workB, &out, &err), 0);
    QByteArray imageB;
    QCOMPARE(cli({QStringLiteral("image")}, cfgB, workB, &imageB), 0);
    QCOMPARE(imageB, imageOut);
    QSettings storeB(cfgB + QStringLiteral("/NX4400C/NX4400C.ini"), QSettings::IniFormat);
    QCOMPARE(storeB.value(QStringLiteral("EDITOR/SerialPort")).toString(), QStringLiteral("3"));
    QCOMPARE(storeB.value(QStringLiteral("EDITOR/UserStationID")).toString(), QStringLiteral("KQ7"));
    QVERIFY(readAll(workB + QStringLiteral("/NX_4400C.DAT")).contains("\r\n013001  Appling"));
}

void tst_Profile::cliRefusesBadProfile()
{
    if (!cliBuilt())
        QSKIP("nx4400c-cli is not built");
    const QString cfg = m_dir.filePath(QStringLiteral("cfgBad")), work = m_dir.filePath(QStringLiteral("workBad"));
    QVERIFY(QDir().mkpath(cfg + QStringLiteral("/NX4400C")));
    QVERIFY(QDir().mkpath(work));
    const QString ini = cfg + QStringLiteral("/NX4400C/NX4400C.ini");
    const QString dat = work + QStringLiteral("/NX_4400C.DAT");
    QVERIFY(writeAll(ini, "[EDITOR]\nSerialPort=2\n"));
    TestEnv env;
    defaults(*env.ctx);
    QVERIFY(writeAll(dat, ParameterFile::format(env.ctx->FipEntries, env.ctx->EventSelection)));
    const QByteArray good = FormatProfile(env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection);
    const QString bad = m_dir.filePath(QStringLiteral("bad.nxprofile"));
    QVERIFY(writeAll(bad, replaceLine(good, "TIMERS.LineTimeoutTimer", "TIMERS.LineTimeoutTimer=12")));
    const int line = lineOf(good, "TIMERS.LineTimeoutTimer");

    const QByteArray iniBefore = readAll(ini), datBefore = readAll(dat);
    QByteArray out, err;
    QCOMPARE(cli({QStringLiteral("profile"), QStringLiteral("load"), bad}, cfg, work, &out, &err), 1);
    QVERIFY2(err.contains(QStringLiteral(", line %1: TIMERS.LineTimeoutTimer is 12").arg(line).toUtf8()), err.constData());
    QVERIFY(err.contains("Nothing was changed."));
    QCOMPARE(readAll(ini), iniBefore);
    QCOMPARE(readAll(dat), datBefore);
    QCOMPARE(cli({QStringLiteral("image"), QStringLiteral("--profile"), bad}, cfg, work, &out, &err), 1);
    QVERIFY(out.isEmpty());

    // No parameter file: nothing to save a profile from.
    const QString empty = m_dir.filePath(QStringLiteral("workEmpty"));
    QVERIFY(QDir().mkpath(empty));
    const QString target = m_dir.filePath(QStringLiteral("never.nxprofile"));
    QCOMPARE(cli({QStringLiteral("profile"), QStringLiteral("save"), target}, cfg, empty, &out, &err), 1);
    QVERIFY(err.contains("cannot read the parameter file"));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(empty + QStringLiteral("/NX_4400C.DAT")));
}

void tst_Profile::cliRefusesEventsTheDataFileCannotKeep()
{
    // The parameter file keeps event slots 0 to 23; a profile with codes
    // beyond them would lose them there, so `profile load` refuses it
    // (the editor and `image --profile` take it whole).
    if (!cliBuilt())
        QSKIP("nx4400c-cli is not built");
    const QString cfg = m_dir.filePath(QStringLiteral("cfgEv")), work = m_dir.filePath(QStringLiteral("workEv"));
    QVERIFY(QDir().mkpath(cfg));
    QVERIFY(QDir().mkpath(work));
    TestEnv env;
    rich(*env.ctx);
    const QString profile = m_dir.filePath(QStringLiteral("rich.nxprofile"));
    QString error;
    QVERIFY(SaveProfile(profile, env.ctx->config, env.ctx->FipEntries, env.ctx->EventSelection, &error));
    QByteArray out, err;
    QCOMPARE(cli({QStringLiteral("profile"), QStringLiteral("load"), profile}, cfg, work, &out, &err), 1);
    QVERIFY2(err.contains("event code in slot 24"), err.constData());
    QVERIFY(!QFile::exists(work + QStringLiteral("/NX_4400C.DAT")));
    QVERIFY(!QFile::exists(cfg + QStringLiteral("/NX4400C/NX4400C.ini")));
    QCOMPARE(cli({QStringLiteral("image"), QStringLiteral("--profile"), profile}, cfg, work, &out, &err), 0);
    uint8_t sum = 0;
    QCOMPARE(parseImageOutput(out, &sum), imageOf(*env.ctx));
}

void tst_Profile::cliUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::newRow("profile alone") << QStringList{"profile"} << 2;
    QTest::newRow("profile save without file") << QStringList{"profile", "save"} << 2;
    QTest::newRow("profile unknown verb") << QStringList{"profile", "send", "x"} << 2;
    QTest::newRow("image with stray argument") << QStringList{"image", "x"} << 2;
    QTest::newRow("image --profile without file") << QStringList{"image", "--profile"} << 2;
    QTest::newRow("image --profile twice") << QStringList{"image", "--profile", "a", "--profile", "b"} << 2;
    QTest::newRow("image help") << QStringList{"image", "--help"} << 0;
    QTest::newRow("profile help") << QStringList{"profile", "--help"} << 0;
}

void tst_Profile::cliUsage()
{
    if (!cliBuilt())
        QSKIP("nx4400c-cli is not built");
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QByteArray out, err;
    QCOMPARE(cli(args, m_dir.filePath(QStringLiteral("cfgUsage")), m_dir.path(), &out, &err), code);
    QVERIFY((code == 0 ? out : err).contains("usage: nx4400c-cli"));
}

QTEST_GUILESS_MAIN(tst_Profile)
#include "tst_profile.moc"
