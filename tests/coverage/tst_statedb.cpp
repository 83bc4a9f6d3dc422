// SPDX-License-Identifier: GPL-3.0-or-later
// The 54 state files as shipped, the two scans over them, and what the scans
// do with state files that are missing, damaged or not text at all.
#include "coverage/core/StateDatabase.h"
#include "support/TestEnv.h"

#include <QtTest>

using namespace StateDatabase;

namespace {

QString shippedFolder()
{
    return buildBinDir() + QStringLiteral("/States");
}

QByteArray readRaw(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// A copy of the shipped folder that a test may damage.
void copyShipped(const QString &to)
{
    QDir().mkpath(to);
    for (int id = 0; id < StateCount; ++id) {
        const QString name = GetStateFileName(id);
        QFile::copy(shippedFolder() + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
    }
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray line(const QString &code, const QString &county, const QString &location, const QString &freq)
{
    QString l = code + QStringLiteral("  ") + county.leftJustified(22) + QLatin1Char(' ') + location.leftJustified(24)
                + freq;
    return l.toUtf8() + "\r\n";
}

} // namespace

// Checks one line of a state file; the message is only made for a failure.
#define LINE_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond))                                                                      \
            QFAIL(qPrintable(where() + QStringLiteral(": ") + QStringLiteral(#cond)));    \
    } while (false)

class tst_StateDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // The shipped files.
    void fileFormat_data();
    void fileFormat();
    void transmitterFieldsIdentifyOneTransmitter();
    void everyNoaaCountyPresent();
    void generatorReproducesFiles();

    // Scans on the shipped files.
    void loadStateFile_data();
    void loadStateFile();
    void transmitterHeardInSeveralStates();
    void countiesListedOnce();
    void blankTransmitterFindsNothing();
    void noCoverageNeverYieldsCounty();

    // Scans on made-up and damaged files.
    void duplicatesAndFilter();
    void badStateFiles_data();
    void badStateFiles();
    void missingFileDuringCountyScan();
    void stateIdOutOfRange_data();
    void stateIdOutOfRange();
    void stateWithoutName();

private:
    QStringList m_fields;   // every transmitter field of the shipped files
};

void tst_StateDb::initTestCase()
{
    QVERIFY2(QFileInfo::exists(shippedFolder() + QStringLiteral("/Al_102.st")), qPrintable(shippedFolder()));
}

void tst_StateDb::fileFormat_data()
{
    QTest::addColumn<int>("id");
    for (int id = 0; id < StateCount; ++id)
        QTest::newRow(qPrintable(GetStateFileName(id))) << id;
}

void tst_StateDb::fileFormat()
{
    QFETCH(int, id);
    const QString path = shippedFolder() + QLatin1Char('/') + GetStateFileName(id);
    const QByteArray data = readRaw(path);
    QVERIFY2(!data.isEmpty(), qPrintable(path));
    QVERIFY(data.endsWith("\r\n"));
    // The source tree and the build tree hold the same file.
    QCOMPARE(readRaw(sourceDir() + QStringLiteral("/data/States/") + GetStateFileName(id)), data);

    QList<QByteArray> lines = data.split('\n');
    QVERIFY(lines.last().isEmpty());   // the last line has its end too
    lines.removeLast();
    QVERIFY(lines.size() <= LineBufferSize);
    const QRegularExpression code(QStringLiteral("^[0-9]{6}$"));
    const QRegularExpression freq(QStringLiteral("^162\\.(400|425|450|475|500|525|550)$"));
    const QRegularExpression call(QStringLiteral("^[A-Z]{1,3}[0-9A-Z]{2,4} *$"));
    int n = 0;
    for (QByteArray raw : lines) {
        ++n;
        if (!raw.endsWith('\r'))
            QFAIL(qPrintable(QStringLiteral("line %1 lacks CR").arg(n)));
        raw.chop(1);
        const QString l = QString::fromLatin1(raw);
        const auto where = [&] { return QStringLiteral("%1 line %2: [%3]").arg(GetStateFileName(id)).arg(n).arg(l); };
        LINE_CHECK(l.size() == LineLength);
        for (QChar c : l)
            LINE_CHECK(c.unicode() >= 0x20 && c.unicode() < 0x7f);
        LINE_CHECK(code.match(l.left(6)).hasMatch());
        LINE_CHECK(l.mid(6, 2) == QLatin1String("  "));
        LINE_CHECK(l.at(8) != QLatin1Char(' '));        // name starts in column 9
        LINE_CHECK(l.at(30) == QLatin1Char(' '));       // column 31 blank
        LINE_CHECK(!GetStateName(l).isEmpty());
        if (hasNoCoverage(l)) {
            LINE_CHECK(l.mid(50).trimmed().isEmpty());
            continue;
        }
        LINE_CHECK(l.at(31) != QLatin1Char(' '));       // site starts in column 32
        LINE_CHECK(l.at(47) == QLatin1Char(' '));       // column 48 blank
        LINE_CHECK(call.match(l.mid(48, 6)).hasMatch()); // call sign in 49-54
        LINE_CHECK(l.at(54) == QLatin1Char(' '));       // column 55 blank
        LINE_CHECK(freq.match(l.mid(55, 7)).hasMatch());
        m_fields << transmitterField(l);
    }
}

void tst_StateDb::transmitterFieldsIdentifyOneTransmitter()
{
    if (m_fields.isEmpty())
        QSKIP("runs after fileFormat");
    // A call sign always comes with the same field, and a field with one call
    // sign: two transmitters never share a field, and a transmitter heard in
    // several states is the same field in each.
    QHash<QString, QString> fieldOfCall;
    QHash<QString, QString> callOfField;
    for (const QString &field : std::as_const(m_fields)) {
        const QString callSign = field.mid(18, 6).trimmed();
        QVERIFY2(fieldOfCall.value(callSign, field) == field, qPrintable(field + QStringLiteral(" / ") + fieldOfCall.value(callSign)));
        QVERIFY2(callOfField.value(field.trimmed(), callSign) == callSign, qPrintable(field));
        fieldOfCall.insert(callSign, field);
        callOfField.insert(field.trimmed(), callSign);
    }
    QVERIFY(fieldOfCall.size() > 1000);
}

void tst_StateDb::everyNoaaCountyPresent()
{
    // The NOAA data the files were made from lives beside the repository.
    const QString nwr = qEnvironmentVariable("NX_NWR_DIR", sourceDir() + QStringLiteral("/../shared/nwr"));
    if (!QFileInfo::exists(nwr + QStringLiteral("/FL.json")))
        QSKIP("NOAA coverage data not found (set NX_NWR_DIR)");

    QHash<QString, QString> postalOfFile;   // GetStateFileName -> NOAA file
    const char *const postal[StateCount] = {
        "AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA", "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA",
        "ME", "MD", "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND", "OH", "OK",
        "OR", "PA", "RI", "SC", "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY", "GU", "MP", "PR", "VI"};
    for (int id = 0; id < StateCount; ++id) {
        QStringList noaa{QString::fromLatin1(postal[id])};
        if (noaa.first() == QLatin1String("MD"))
            noaa << QStringLiteral("DC");   // the District's lines are in Maryland's file
        QStringList lines;
        QCOMPARE(readStateLines(shippedFolder() + QLatin1Char('/') + GetStateFileName(id), &lines), ReadResult::Ok);
        QMultiHash<QString, QString> callsOfCode;
        for (const QString &l : std::as_const(lines))
            callsOfCode.insert(l.left(6), hasNoCoverage(l) ? QString() : l.mid(48, 6).trimmed());
        int expected = 0;
        for (const QString &p : std::as_const(noaa)) {
            QFile f(nwr + QLatin1Char('/') + p + QStringLiteral(".json"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QJsonArray list = QJsonDocument::fromJson(f.readAll()).object()[QStringLiteral("counties")]
                                        .toObject()[QStringLiteral("list")].toArray();
            for (const QJsonValue &v : list) {
                const QJsonObject o = v.toObject();
                const QString same = o[QStringLiteral("same")].toString();
                const QString callSign = o[QStringLiteral("callsign")].toString().trimmed();
                QVERIFY2(callsOfCode.contains(same, callSign),
                         qPrintable(GetStateFileName(id) + QLatin1Char(' ') + same + QLatin1Char(' ') + callSign));
                ++expected;
            }
        }
        QCOMPARE(lines.size(), expected);
    }
}

void tst_StateDb::generatorReproducesFiles()
{
    // The committed 2018 listing is exactly what the generator makes of the
    // per-state data; the coverage import test checks that the listing gives
    // the committed state files byte for byte.
    const QString nwr = qEnvironmentVariable("NX_NWR_DIR", sourceDir() + QStringLiteral("/../shared/nwr"));
    if (!QFileInfo::exists(nwr + QStringLiteral("/FL.json")))
        QSKIP("NOAA coverage data not found (set NX_NWR_DIR)");
    QTemporaryDir out;
    const QString listing = out.filePath(QStringLiteral("CCL.js"));
    QProcess gen;
    gen.start(QStringLiteral("python3"), {sourceDir() + QStringLiteral("/tools/make-states/make_states.py"), nwr, listing});
    if (!gen.waitForStarted())
        QSKIP("python3 not available");
    QVERIFY(gen.waitForFinished(60000));
    QCOMPARE(gen.exitCode(), 0);
    QVERIFY(readRaw(listing) == readRaw(sourceDir() + QStringLiteral("/tools/make-states/CCL-2018-08-10.js")));
}

void tst_StateDb::loadStateFile_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("notListed");
    QTest::newRow("Florida, all") << 8 << 0 << " West Palm Beach  KEC50  162.475" << "";
    QTest::newRow("Florida, 162.550") << 8 << 7 << " Miami            KHB34  162.550"
                                      << " West Palm Beach  KEC50  162.475";
    QTest::newRow("Maryland has the District's own")
        << 19 << 0 << " Washington DC    WNG736 162.450" << "";
    QTest::newRow("Guam") << 50 << 0 << " Guam             WXM85  162.400" << "";
}

void tst_StateDb::loadStateFile()
{
    QFETCH(int, state);
    QFETCH(int, filter);
    QFETCH(QString, listed);
    QFETCH(QString, notListed);
    TestEnv env;
    env.ctx->config.FrequencyListingFilter = int16_t(filter);
    QStringList transmitters;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, state, &transmitters));
    QVERIFY(env.prompter.boxes.isEmpty());
    QVERIFY2(transmitters.contains(listed), qPrintable(transmitters.join(QLatin1Char('\n'))));
    if (!notListed.isEmpty())
        QVERIFY(!transmitters.contains(notListed));
    QCOMPARE(QSet<QString>(transmitters.begin(), transmitters.end()).size(), transmitters.size());
    for (const QString &t : std::as_const(transmitters)) {
        QCOMPARE(t.size(), FieldLength);
        if (filter)
            QVERIFY(t.endsWith(frequencyFilter(filter)));
    }
}

void tst_StateDb::transmitterHeardInSeveralStates()
{
    TestEnv env;
    // The District's own transmitter reaches into Maryland and Virginia.
    QStringList counties{QStringLiteral("kept")};
    QVERIFY(FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, QStringLiteral("  Washington DC    WNG736 162.450 "), &counties));
    QCOMPARE(counties.first(), QStringLiteral("kept"));   // appends
    counties.removeFirst();
    QVERIFY(counties.size() > 3);
    QSet<QString> states;
    QString previous;
    for (const QString &c : std::as_const(counties)) {
        QCOMPARE(c.at(30), QLatin1Char(' '));
        QCOMPARE(c.mid(31), GetStateName(c));
        states.insert(c.mid(31));
    }
    QCOMPARE(states, (QSet<QString>{QStringLiteral("Maryland"), QStringLiteral("District Of Columbia"),
                                    QStringLiteral("Virginia")}));
    // State list order: Maryland's file (with the District) before Virginia's.
    QVERIFY(counties.first().endsWith(QLatin1String("Maryland")) || counties.first().endsWith(QLatin1String("Columbia")));
    QVERIFY(counties.last().endsWith(QLatin1String("Virginia")));
    QVERIFY(env.prompter.beeps == 0);

    // A Florida transmitter heard in Georgia yields counties of both.
    QStringList fl;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 8, &fl));
    QStringList ga;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 9, &ga));
    QString shared;
    for (const QString &t : std::as_const(fl)) {
        if (ga.contains(t)) {
            shared = t;
            break;
        }
    }
    QVERIFY(!shared.isEmpty());
    QStringList both;
    QVERIFY(FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, shared, &both));
    QVERIFY(both.filter(QRegularExpression(QStringLiteral(" Florida$"))).size() > 0);
    QVERIFY(both.filter(QRegularExpression(QStringLiteral(" Georgia$"))).size() > 0);
}

void tst_StateDb::countiesListedOnce()
{
    TestEnv env;
    const QString dir = env.path(QStringLiteral("States"));
    copyShipped(dir);
    env.ctx->statesFolder = dir;
    // The same county named twice for one transmitter is listed once.
    QByteArray data = readRaw(dir + QStringLiteral("/Fl_109.st"));
    data += line(QStringLiteral("012011"), QStringLiteral("Broward"), QStringLiteral("West Palm Beach  KEC50"),
                 QStringLiteral("162.475"));
    writeFile(dir + QStringLiteral("/Fl_109.st"), data);
    QStringList counties;
    QVERIFY(FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, QStringLiteral(" West Palm Beach  KEC50  162.475"), &counties));
    QCOMPARE(counties.count(QStringLiteral("012011  Broward                Florida")), 1);
}

void tst_StateDb::blankTransmitterFindsNothing()
{
    TestEnv env;
    QStringList counties;
    QVERIFY(FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, QStringLiteral("   "), &counties));
    QVERIFY(counties.isEmpty());
}

void tst_StateDb::noCoverageNeverYieldsCounty()
{
    TestEnv env;
    QStringList counties;
    QVERIFY(FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, NoCoverage, &counties));
    QVERIFY(counties.isEmpty());
    QStringList ak;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 1, &ak));   // Alaska has uncovered boroughs
    for (const QString &t : std::as_const(ak))
        QVERIFY(!t.contains(NoCoverage));
}

void tst_StateDb::duplicatesAndFilter()
{
    TestEnv env;
    const QString dir = env.path(QStringLiteral("States"));
    QDir().mkpath(dir);
    env.ctx->statesFolder = dir;
    QByteArray data;
    data += line("012001", "Alachua", "Gainesville      WXJ60", "162.475");
    data += line("012003", "Baker", "Gainesville      WXJ60", "162.475");   // same field: once
    data += "\r\n";                                                        // empty: skipped
    data += line("012005", "Bay", "Panama City      KGG67", "162.550");
    data += line("012007", "Bradford", "--No NWR Coverage--", "");
    data += line("012009", "Brevard", "Melbourne        WXJ70", "162.525");
    // Trailing blanks trimmed by an editor, and text after column 62.
    data += QByteArray("012011  Broward                Miami            KHB34  162.550 extra\r\n");
    data += QByteArray("012013  Calhoun                --No NWR Coverage--\n");
    writeFile(dir + QStringLiteral("/Fl_109.st"), data);

    QStringList all;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 8, &all));
    QCOMPARE(all, (QStringList{QStringLiteral(" Gainesville      WXJ60  162.475"),
                               QStringLiteral(" Panama City      KGG67  162.550"),
                               QStringLiteral(" Melbourne        WXJ70  162.525"),
                               QStringLiteral(" Miami            KHB34  162.550")}));
    env.ctx->config.FrequencyListingFilter = 7;
    QStringList filtered;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 8, &filtered));
    QCOMPARE(filtered, (QStringList{QStringLiteral(" Panama City      KGG67  162.550"),
                                    QStringLiteral(" Miami            KHB34  162.550")}));
    env.ctx->config.FrequencyListingFilter = 6;
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 8, &filtered));
    QCOMPARE(filtered, QStringList{QStringLiteral(" Melbourne        WXJ70  162.525")});
    env.ctx->config.FrequencyListingFilter = 9;   // out of range: no filter
    QVERIFY(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 8, &filtered));
    QCOMPARE(filtered, all);
    QVERIFY(env.prompter.boxes.isEmpty());
}

void tst_StateDb::badStateFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("transmitters");

    const QByteArray good = line("012001", "Alachua", "Gainesville      WXJ60", "162.475");
    QByteArray random(4096, '\0');
    quint32 seed = 12345;
    for (char &c : random) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    QTest::newRow("empty file") << QByteArray() << true << 0;
    QTest::newRow("binary") << random << true << 0;
    QTest::newRow("NUL bytes in a line") << QByteArray(62, '\0') + "\r\n" + good << true << 1;
    QTest::newRow("short lines") << QByteArray("0120\r\n012001  Alachua\r\nX\r\n") + good << true << 1;
    QTest::newRow("one overlong line") << good.left(60) + QByteArray(200000, 'x') + "\r\n" + good << true << 2;
    QTest::newRow("no line ends") << QByteArray(300000, 'y') << true << 1;
    QTest::newRow("invalid UTF-8") << QByteArray("012001  Al\xff\xfe" "chua") + QByteArray(60, ' ') + "\r\n" << true << 0;
    QTest::newRow("tabs") << QByteArray("012001\tAlachua\tGainesville\tWXJ60\t162.475\r\n") << true << 0;
    QTest::newRow("501 lines") << good.repeated(501) << true << 1;
    QTest::newRow("502 lines") << good.repeated(502) << false << 0;
    QTest::newRow("502 empty lines") << QByteArray("\r\n").repeated(502) << false << 0;
    QTest::newRow("CR only line ends") << good.left(64).replace("\r\n", "\r").repeated(3) << true << 1;
    QTest::newRow("bigger than any state file") << QByteArray(StateDatabase::MaxFileSize + 1, ' ') << false << 0;
}

void tst_StateDb::badStateFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QFETCH(int, transmitters);
    TestEnv env;
    const QString dir = env.path(QStringLiteral("States"));
    copyShipped(dir);
    env.ctx->statesFolder = dir;
    writeFile(dir + QStringLiteral("/Fl_109.st"), content);

    QStringList list;
    QCOMPARE(LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 8, &list), loads);
    QCOMPARE(list.size(), transmitters);
    if (loads) {
        QVERIFY(env.prompter.boxes.isEmpty());
    } else {
        QCOMPARE(env.prompter.boxes.size(), 1);
        QCOMPARE(env.prompter.boxes.first().text, QStringLiteral("Error, State File  Fl_109.st  is missing"));
        QCOMPARE(env.prompter.boxes.first().buttons, Prompter::Buttons::Ok);
    }
    for (const QString &t : std::as_const(list))
        QCOMPARE(t.size(), FieldLength);

    // The county scan passes over the damaged file (or stops at it with a
    // beep) without harm to the other states.
    QStringList counties;
    const bool scanned = FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, QStringLiteral("Washington DC    WNG736 162.450"), &counties);
    QCOMPARE(scanned, loads);
    QCOMPARE(env.prompter.beeps, loads ? 0 : 1);
    // Florida comes before Maryland and Virginia: a stopped scan found nothing.
    QCOMPARE(counties.isEmpty(), !loads);
}

void tst_StateDb::missingFileDuringCountyScan()
{
    TestEnv env;
    const QString dir = env.path(QStringLiteral("States"));
    copyShipped(dir);
    env.ctx->statesFolder = dir;
    QVERIFY(QFile::remove(dir + QStringLiteral("/Va_145.st")));
    QVERIFY(QFile::remove(dir + QStringLiteral("/Wa_147.st")));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/Wa_147.st")));   // a folder where a file should be
    QStringList counties;
    QVERIFY(!FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, QStringLiteral("Washington DC    WNG736 162.450"), &counties));
    QCOMPARE(env.prompter.beeps, 1);
    QVERIFY(env.prompter.boxes.isEmpty());
    // Maryland's counties (before Virginia in the state list) stay.
    QVERIFY(!counties.isEmpty());
    for (const QString &c : std::as_const(counties))
        QVERIFY(!c.endsWith(QLatin1String("Virginia")));

    QStringList list;
    QVERIFY(!LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 45, &list));
    QVERIFY(!LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, 46, &list));
    QCOMPARE(env.prompter.texts(), (QStringList{QStringLiteral("Error, State File  Va_145.st  is missing"),
                                                QStringLiteral("Error, State File  Wa_147.st  is missing")}));
}

void tst_StateDb::stateIdOutOfRange_data()
{
    QTest::addColumn<int>("id");
    QTest::newRow("-1") << -1;
    QTest::newRow("54") << 54;
    QTest::newRow("32767") << 32767;
}

void tst_StateDb::stateIdOutOfRange()
{
    QFETCH(int, id);
    TestEnv env;
    QStringList list{QStringLiteral("old")};
    QVERIFY(!LoadStateFile(env.ctx->prompter(), env.ctx->statesFolder, env.ctx->config.FrequencyListingFilter, id, &list));
    QVERIFY(list.isEmpty());
    // The message names which state was asked for and where it was looked for.
    QCOMPARE(env.prompter.texts(),
             QStringList{QStringLiteral("Error, State File  of StateID %1 (there is none; states are 0 to 53) in %2  is missing")
                             .arg(id).arg(QDir::toNativeSeparators(env.ctx->statesFolder))});
}

void tst_StateDb::stateWithoutName()
{
    TestEnv env;
    const QString dir = env.path(QStringLiteral("States"));
    copyShipped(dir);
    env.ctx->statesFolder = dir;
    QByteArray data = readRaw(dir + QStringLiteral("/Al_102.st"));
    data += line("014001", "Nowhere", "Test Site        WXX99", "162.400");
    writeFile(dir + QStringLiteral("/Al_102.st"), data);
    QStringList counties;
    QVERIFY(FindTransmitterCounties(env.ctx->prompter(), env.ctx->statesFolder, QStringLiteral("Test Site        WXX99  162.400"), &counties));
    QCOMPARE(counties, QStringList{QStringLiteral("014001  Nowhere                ")});
}

QTEST_GUILESS_MAIN(tst_StateDb)
#include "tst_statedb.moc"
