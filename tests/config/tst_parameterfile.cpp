// SPDX-License-Identifier: GPL-3.0-or-later
// "NX_4400C.DAT": round trips, the prompt for a missing or damaged file, and
// writes that fail without costing the previous file.
#include "config/core/ParameterFile.h"
#include "base/Messages.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString PromptText =
    QStringLiteral("Error #199:  Missing or Corrupted NX-4400C Data File.\r\nCreate Default Data File?");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList countyLines(int count, const QString &mark = QStringLiteral("X "))
{
    QStringList l;
    for (int i = 0; i < count; ++i)
        l << mark + QStringLiteral("0%1  County %2").arg(12001 + 2 * i).arg(i);
    return l;
}

// A complete file whose entries can be told apart.
QByteArray sampleFile()
{
    QStringList fips = countyLines(99);
    QStringList events;
    for (int i = 0; i < 24; ++i)
        events << QStringLiteral("E%1").arg(i, 2, 10, QLatin1Char('0'));
    return ParameterFile::format(fips, events);
}

} // namespace

class tst_ParameterFile : public QObject
{
    Q_OBJECT
private slots:
    void emptyListsGiveFixedLinesOnly();
    void missingFileOffersDefaults();
    void refusingDefaultsKeepsLists();
    void roundTrip();
    void itemRules_data();
    void itemRules();
    void commaInEntryDoesNotShiftLaterEntries();
    void encodings_data();
    void encodings();
    void lineEndings_data();
    void lineEndings();
    void damagedFiles_data();
    void damagedFiles();
    void truncatedFileKeepsWhatWasRead();
    void defaultsAfterPartialReadReplaceFirstFourOnly();
    void onlyFirst24EventSlotsSurvive();
    void entryWithLineBreakStaysOnOneLine();
    void directoryInPlaceOfFile();
    void pipeInPlaceOfFileDoesNotBlock();
    void unreadableFile();
    void writeFailureKeepsPreviousFile();
    void readOnlyFolderKeepsPreviousFile();
    void missingFolderIsFatal();
};

void tst_ParameterFile::emptyListsGiveFixedLinesOnly()
{
    TestEnv env;
    SaveParameterFile(*env.ctx, *env.ctx);
    QByteArray expected = "NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY\r\n"
                          "[FIP Codes]\r\n";
    expected += QByteArray("\r\n").repeated(99);
    expected += "[Event Codes]\r\n";
    expected += QByteArray("\r\n").repeated(24);
    QCOMPARE(readAll(env.ctx->parameterFilePath), expected);
    QVERIFY(env.prompter.boxes.isEmpty());
    QCOMPARE(env.endRequests, 0);
}

void tst_ParameterFile::missingFileOffersDefaults()
{
    TestEnv env;
    env.prompter.answers << Prompter::Button::Yes;
    QVERIFY(LoadParameterFile(*env.ctx, *env.ctx));
    QCOMPARE(env.prompter.boxes.size(), 1);
    const auto &box = env.prompter.boxes.first();
    QCOMPARE(box.title, QStringLiteral("NX-4400C Digital Weather Receiver"));
    QCOMPARE(box.text, PromptText);
    QCOMPARE(box.icon, Prompter::Icon::Exclamation);
    QCOMPARE(box.buttons, Prompter::Buttons::YesNo);

    const QStringList &fips = env.ctx->FipEntries;
    QCOMPARE(fips.size(), 99);
    QCOMPARE(fips.at(0), QStringLiteral("X 012011  Broward                Florida"));
    QCOMPARE(fips.at(1), QStringLiteral("X 012085  Martin                 Florida"));
    QCOMPARE(fips.at(2), QStringLiteral("X 012099  Palm Beach             Florida"));
    QCOMPARE(fips.at(3), QStringLiteral("X 012111  St. Lucie              Florida"));
    QVERIFY(fips.at(4).isEmpty());
    QCOMPARE(env.ctx->EventSelection.mid(0, 18).join(','),
             QStringLiteral("CFA,CFW,FFA,FFW,FLA,FLW,HUA,HUW,SVA,SVW,TOA,TOW,RMT,RWT,DMO,SVR,TOR,"));

    SaveParameterFile(*env.ctx, *env.ctx);
    const QByteArray data = readAll(env.ctx->parameterFilePath);
    QCOMPARE(data.count("\r\n"), 126);
    QVERIFY(data.endsWith("\r\n"));
    QVERIFY(!data.contains("\r\n\n") && !data.contains("\r\r"));
}

void tst_ParameterFile::refusingDefaultsKeepsLists()
{
    TestEnv env;
    env.ctx->FipEntries[7] = QStringLiteral("kept");
    env.prompter.answers << Prompter::Button::No;
    QVERIFY(!LoadParameterFile(*env.ctx, *env.ctx));
    QCOMPARE(env.prompter.boxes.size(), 1);
    QVERIFY(env.ctx->FipEntries.at(0).isEmpty());
    QCOMPARE(env.ctx->FipEntries.at(7), QStringLiteral("kept"));
    QVERIFY(env.ctx->EventSelection.at(0).isEmpty());
}

void tst_ParameterFile::roundTrip()
{
    TestEnv env;
    QStringList fips = countyLines(99);
    fips[5] = QString();
    fips[6] = QStringLiteral("  012086  Miami-Dade             Florida");   // not selected
    fips[98] = QStringLiteral("X 048141  El Paso                Texas");
    env.ctx->FipEntries = fips;
    for (int i = 0; i < 24; i += 2)
        env.ctx->EventSelection[i] = QStringLiteral("T%1A").arg(i % 10);
    SaveParameterFile(*env.ctx, *env.ctx);

    TestEnv other;
    other.ctx->parameterFilePath = env.ctx->parameterFilePath;
    QVERIFY(LoadParameterFile(*other.ctx, *other.ctx));
    QVERIFY(other.prompter.boxes.isEmpty());
    fips[6] = QStringLiteral("012086  Miami-Dade             Florida");   // leading blanks are skipped
    QCOMPARE(other.ctx->FipEntries, fips);
    QCOMPARE(other.ctx->EventSelection.mid(0, 24), env.ctx->EventSelection.mid(0, 24));
}

void tst_ParameterFile::itemRules_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("item");
    QTest::newRow("plain") << "X 012011  Broward" << "X 012011  Broward";
    QTest::newRow("leading blanks") << "   CFA" << "CFA";
    QTest::newRow("trailing blanks kept") << "CFA  " << "CFA  ";
    QTest::newRow("quoted") << "\"X 012011  Broward\"" << "X 012011  Broward";
    QTest::newRow("blanks then quoted") << "  \" a, b \"" << " a, b ";
    QTest::newRow("open quote") << "\"abc" << "abc";
    QTest::newRow("text after quotes dropped") << "\"abc\" def" << "abc";
    QTest::newRow("comma kept") << "X 022001  Acadia, Parish   Louisiana" << "X 022001  Acadia, Parish   Louisiana";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blanks only") << "    " << "";
    QTest::newRow("tab kept") << "\tCFA" << "\tCFA";
}

void tst_ParameterFile::itemRules()
{
    QFETCH(QString, line);
    QFETCH(QString, item);
    QCOMPARE(ParameterFile::itemOfLine(line), item);
}

void tst_ParameterFile::commaInEntryDoesNotShiftLaterEntries()
{
    // The county entry editor accepts a comma; reading splits no item at it,
    // so the entries after it stay where they were.
    TestEnv env;
    env.ctx->FipEntries[0] = QStringLiteral("X 022001  Acadia, Parish          Louisiana");
    env.ctx->FipEntries[1] = QStringLiteral("X 022003  Allen                   Louisiana");
    env.ctx->FipEntries[98] = QStringLiteral("X 022005  Last                    Louisiana");
    env.ctx->EventSelection[0] = QStringLiteral("TOR");
    SaveParameterFile(*env.ctx, *env.ctx);

    TestEnv other;
    other.ctx->parameterFilePath = env.ctx->parameterFilePath;
    QVERIFY(LoadParameterFile(*other.ctx, *other.ctx));
    QVERIFY(other.prompter.boxes.isEmpty());
    QCOMPARE(other.ctx->FipEntries, env.ctx->FipEntries);
    QCOMPARE(other.ctx->EventSelection.at(0), QStringLiteral("TOR"));
}

void tst_ParameterFile::encodings_data()
{
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("UTF-8") << QByteArray("Do\xC3\xB1" "a Ana");
    QTest::newRow("Windows code page") << QByteArray("Do\xF1" "a Ana");
}

void tst_ParameterFile::encodings()
{
    // The file is written as UTF-8; one from an older editor in the Windows
    // code page reads the same.
    QFETCH(QByteArray, encoded);
    QByteArray data = sampleFile();
    data.replace("County 3", "X " + encoded);
    TestEnv env;
    QVERIFY(writeAll(env.ctx->parameterFilePath, data));
    QVERIFY(LoadParameterFile(*env.ctx, *env.ctx));
    const QString name = QString::fromUtf8("Do\xC3\xB1" "a Ana");
    QVERIFY(env.ctx->FipEntries.at(3).endsWith("X " + name));
    SaveParameterFile(*env.ctx, *env.ctx);
    QVERIFY(readAll(env.ctx->parameterFilePath).contains("Do\xC3\xB1" "a Ana"));
}

void tst_ParameterFile::lineEndings_data()
{
    QTest::addColumn<QByteArray>("newline");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR") << QByteArray("\r");
}

void tst_ParameterFile::lineEndings()
{
    QFETCH(QByteArray, newline);
    QByteArray data = sampleFile();
    data.replace("\r\n", newline);
    // Without an end to the last line, too.
    data.chop(newline.size());
    TestEnv env;
    QVERIFY(writeAll(env.ctx->parameterFilePath, data));
    QVERIFY(LoadParameterFile(*env.ctx, *env.ctx));
    QVERIFY(env.prompter.boxes.isEmpty());
    QCOMPARE(env.ctx->FipEntries, countyLines(99));
    QCOMPARE(env.ctx->EventSelection.at(0), QStringLiteral("E00"));
    QCOMPARE(env.ctx->EventSelection.at(23), QStringLiteral("E23"));
}

void tst_ParameterFile::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("complete");

    const QByteArray good = sampleFile();
    QTest::newRow("good") << good << true;
    QTest::newRow("trailing text ignored") << good + "more\r\nlines\r\n" << true;
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + good << true;
    QTest::newRow("quoted header") << "\"" + good.left(68) + "\"" + good.mid(68) << true;

    QByteArray caseDiff = good;
    caseDiff[0] = 'n';
    QTest::newRow("header case") << caseDiff << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("header only") << good.left(70) << false;
    QByteArray noFipSection = good;
    noFipSection.replace("[FIP Codes]", "[FIP codes]");
    QTest::newRow("fip section name") << noFipSection << false;
    QByteArray noEventSection = good;
    noEventSection.replace("[Event Codes]\r\n", "");
    QTest::newRow("event section missing") << noEventSection << false;
    QByteArray extraLine = good;
    extraLine.replace("[FIP Codes]\r\n", "[FIP Codes]\r\nextra\r\n");
    QTest::newRow("county section one too long") << extraLine << false;
    QTest::newRow("125 lines") << good.left(good.size() - 2) << true;   // last line lacks its end only
    QByteArray lines125 = good;
    lines125.chop(QByteArray("E23\r\n").size());
    QTest::newRow("event slot 23 missing") << lines125 << false;

    QByteArray binary;
    for (int i = 0; i < 20000; ++i)
        binary.append(char((i * 7919 + 13) & 0xFF));
    QTest::newRow("binary") << binary << false;
    QByteArray binaryEntries = good;
    binaryEntries.replace("County 5", QByteArray("\0\x01\xFF\xFE\x80 5", 7));
    QTest::newRow("binary bytes in an entry") << binaryEntries << true;
    QByteArray overlong = good;
    overlong.replace("County 7", QByteArray(300000, 'A'));
    QTest::newRow("overlong line") << overlong << true;
    QTest::newRow("one endless line") << QByteArray(6 * 1024 * 1024, 'x') << false;
}

void tst_ParameterFile::damagedFiles()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, complete);
    TestEnv env;
    QVERIFY(writeAll(env.ctx->parameterFilePath, data));
    env.prompter.answers << Prompter::Button::No;
    QCOMPARE(LoadParameterFile(*env.ctx, *env.ctx), complete);
    QCOMPARE(env.prompter.boxes.size(), complete ? 0 : 1);
    QCOMPARE(env.ctx->FipEntries.size(), 99);
    QCOMPARE(env.ctx->EventSelection.size(), 49);
    if (!complete)
        QCOMPARE(env.prompter.boxes.first().text, PromptText);
}

void tst_ParameterFile::truncatedFileKeepsWhatWasRead()
{
    // 120 of 126 lines: the event section is cut short. On No, the counties
    // and the event slots read before the end stay.
    QByteArray data = sampleFile();
    QList<QByteArray> lines = data.split('\n');
    data = lines.mid(0, 120).join('\n') + '\n';
    TestEnv env;
    QVERIFY(writeAll(env.ctx->parameterFilePath, data));
    env.prompter.answers << Prompter::Button::No;
    QVERIFY(!LoadParameterFile(*env.ctx, *env.ctx));
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.ctx->FipEntries, countyLines(99));
    QCOMPARE(env.ctx->EventSelection.at(17), QStringLiteral("E17"));
    QVERIFY(env.ctx->EventSelection.at(18).isEmpty());
}

void tst_ParameterFile::defaultsAfterPartialReadReplaceFirstFourOnly()
{
    QByteArray data = sampleFile();
    data.replace("[Event Codes]", "[Events]");
    TestEnv env;
    QVERIFY(writeAll(env.ctx->parameterFilePath, data));
    env.prompter.answers << Prompter::Button::Yes;
    QVERIFY(LoadParameterFile(*env.ctx, *env.ctx));
    const QStringList file = countyLines(99);
    QCOMPARE(env.ctx->FipEntries.at(0), QStringLiteral("X 012011  Broward                Florida"));
    QCOMPARE(env.ctx->FipEntries.at(3), QStringLiteral("X 012111  St. Lucie              Florida"));
    QCOMPARE(env.ctx->FipEntries.mid(4), file.mid(4));
    QCOMPARE(env.ctx->EventSelection.at(16), QStringLiteral("TOR"));
}

void tst_ParameterFile::onlyFirst24EventSlotsSurvive()
{
    TestEnv env;
    for (int i = 0; i < 30; ++i)
        env.ctx->EventSelection[i] = QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
    SaveParameterFile(*env.ctx, *env.ctx);
    TestEnv other;
    other.ctx->parameterFilePath = env.ctx->parameterFilePath;
    QVERIFY(LoadParameterFile(*other.ctx, *other.ctx));
    QCOMPARE(other.ctx->EventSelection.mid(0, 24), env.ctx->EventSelection.mid(0, 24));
    for (int i = 24; i < 49; ++i)
        QVERIFY(other.ctx->EventSelection.at(i).isEmpty());
}

void tst_ParameterFile::entryWithLineBreakStaysOnOneLine()
{
    TestEnv env;
    env.ctx->FipEntries[0] = QStringLiteral("X 012011  Bro\r\nward");
    env.ctx->FipEntries[1] = QStringLiteral("X 012013  Second");
    SaveParameterFile(*env.ctx, *env.ctx);
    QCOMPARE(readAll(env.ctx->parameterFilePath).count("\r\n"), 126);
    TestEnv other;
    other.ctx->parameterFilePath = env.ctx->parameterFilePath;
    QVERIFY(LoadParameterFile(*other.ctx, *other.ctx));
    QCOMPARE(other.ctx->FipEntries.at(0), QStringLiteral("X 012011  Bro  ward"));
    QCOMPARE(other.ctx->FipEntries.at(1), QStringLiteral("X 012013  Second"));
}

void tst_ParameterFile::directoryInPlaceOfFile()
{
    TestEnv env;
    QVERIFY(QDir().mkpath(env.ctx->parameterFilePath));
    QVERIFY(writeAll(env.ctx->parameterFilePath + "/inside.txt", "keep"));
    env.prompter.answers << Prompter::Button::Yes;
    QVERIFY(LoadParameterFile(*env.ctx, *env.ctx));
    QCOMPARE(env.prompter.boxes.size(), 1);

    // Saving over a folder cannot work: message 108, the program ends, and
    // the folder is left alone.
    SaveParameterFile(*env.ctx, *env.ctx);
    QCOMPARE(env.prompter.boxes.size(), 2);
    QCOMPARE(env.prompter.boxes.last().text, Messages::fatalErrorText(8));
    QCOMPARE(env.endRequests, 1);
    QCOMPARE(readAll(env.ctx->parameterFilePath + "/inside.txt"), QByteArray("keep"));
}

void tst_ParameterFile::pipeInPlaceOfFileDoesNotBlock()
{
#ifdef Q_OS_UNIX
    TestEnv env;
    QCOMPARE(::mkfifo(QFile::encodeName(env.ctx->parameterFilePath).constData(), 0600), 0);
    env.prompter.answers << Prompter::Button::No;
    QVERIFY(!LoadParameterFile(*env.ctx, *env.ctx));
    QCOMPARE(env.prompter.boxes.size(), 1);
#else
    QSKIP("named pipes are a Unix matter");
#endif
}

void tst_ParameterFile::unreadableFile()
{
    TestEnv env;
    QVERIFY(writeAll(env.ctx->parameterFilePath, sampleFile()));
    QFile::setPermissions(env.ctx->parameterFilePath, QFileDevice::Permissions());
    QFile probe(env.ctx->parameterFilePath);
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("this account reads files regardless of their permissions");
    env.prompter.answers << Prompter::Button::No;
    QVERIFY(!LoadParameterFile(*env.ctx, *env.ctx));
    QCOMPARE(env.prompter.boxes.size(), 1);
    QVERIFY(env.ctx->FipEntries.at(0).isEmpty());
}

void tst_ParameterFile::writeFailureKeepsPreviousFile()
{
#ifdef Q_OS_LINUX
    // The disk fills up half-way through the new file (a file size limit
    // stands in for it; it binds every account). The previous file stays as
    // it was, message 108 shows and the program ends.
    TestEnv env;
    LoadDefaultCoverage(*env.ctx);
    SaveParameterFile(*env.ctx, *env.ctx);
    const QByteArray before = readAll(env.ctx->parameterFilePath);
    QVERIFY(before.size() > 500);

    env.ctx->FipEntries = countyLines(99);
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveParameterFile(*env.ctx, *env.ctx);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(readAll(env.ctx->parameterFilePath), before);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.prompter.boxes.first().title, Messages::FatalTitle);
    QCOMPARE(env.prompter.boxes.first().text,
             QStringLiteral("Error #108:  Missing or Corrupted NX-4400C Frequency Limit Parameter"));
    QCOMPARE(env.endRequests, 1);
    // No half-written temporary file is left beside it.
    QCOMPARE(QDir(env.dir.path()).entryList({"NX_4400C.DAT*"}, QDir::Files).size(), 1);
#else
    QSKIP("file size limits are a Linux matter");
#endif
}

void tst_ParameterFile::readOnlyFolderKeepsPreviousFile()
{
    TestEnv env;
    const QString folder = env.path("ro");
    QVERIFY(QDir().mkpath(folder));
    env.ctx->parameterFilePath = folder + "/NX_4400C.DAT";
    LoadDefaultCoverage(*env.ctx);
    SaveParameterFile(*env.ctx, *env.ctx);
    const QByteArray before = readAll(env.ctx->parameterFilePath);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    {
        QFile probe(folder + "/probe");
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                              | QFileDevice::ExeOwner);
            QSKIP("this account writes into read-only folders");
        }
    }
    env.ctx->FipEntries[0].clear();
    SaveParameterFile(*env.ctx, *env.ctx);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(readAll(env.ctx->parameterFilePath), before);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.endRequests, 1);
}

void tst_ParameterFile::missingFolderIsFatal()
{
    TestEnv env;
    QVERIFY(writeAll(env.path("file"), "x"));
    env.ctx->parameterFilePath = env.path("file/NX_4400C.DAT");
    SaveParameterFile(*env.ctx, *env.ctx);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.prompter.boxes.first().text, Messages::fatalErrorText(8));
    QCOMPARE(env.endRequests, 1);
}

QTEST_GUILESS_MAIN(tst_ParameterFile)
#include "tst_parameterfile.moc"
