// SPDX-License-Identifier: GPL-3.0-or-later
// The saved history file, the file name check, the save dialog flow and the
// printed report (as text, and read back from a PDF printed through QPrinter).
#include "HistoryFixture.h"
#include "support/TestEnv.h"

#include "history/core/HistoryReport.h"
#include "history/gui/HistoryPrint.h"
#include "history/gui/HistoryCommands.h"

#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

// Three alerts, decoded with offset -5 and daylight time, on 6 March 2026.
void fillThree(TestEnv &env)
{
    AppContext &ctx = *env.ctx;
    env.clock.set(QDateTime(QDate(2026, 3, 6), QTime(12, 0)));
    env.clock.setFrozen(true);
    ctx.config.TimeZoneOffset = -5;
    ctx.config.DaylightSavings = true;
    ctx.DaylightTimeActive = true;
    putSlot(ctx, 0, "065 14:30 WXR TOR 0100");
    putSlot(ctx, 1, "064 02:05 CIV HMW 0215");
    putSlot(ctx, 9, "001 12:00 EAS RWT 0015");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
}

QString readPdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        pinLocale();
        // No print server for this test: "no printer" must be said, not hidden.
        qputenv("CUPS_SERVER", QFile::encodeName(QDir::temp().filePath(QStringLiteral("nx-no-cups.sock"))));
    }

    void savedFileByteForByte();
    void checkTxtExtension_data();
    void checkTxtExtension();
    void saveDialogFlow();
    void saveFailureIsReported();
    void reportText();
    void printedPdfReadsBack();
    void smallPagesLoseNoLine();
    void printConfirmation();
};

void TestReport::savedFileByteForByte()
{
    TestEnv env;
    fillThree(env);
    const QString name = env.path(QStringLiteral("HISTORY.TXT"));
    QString error;
    QVERIFY(SaveHistoryFile(env.ctx->HistoryRows, env.ctx->clock().date(), name, &error));

    QByteArray expected = "\r\n"
                          "NX-4400C Weather Receiver with SAME\r\n"
                          "File Save Date: 3/6/26\r\n"
                          "\r\n"
                          "\r\n"
                          "Num   Date\tTime\tLength\tEvent\r\n"
                          "\r\n"
                          " 1:   6-March\t10:30\t01:00\tTornado Warning\r\n"
                          " 2:   4-March\t22:05\t02:15\tHazardous Materials Warning\r\n";
    for (int r = 3; r <= 9; ++r)
        expected += QStringLiteral(" %1:   \t\t\t\r\n").arg(r).toLatin1();
    expected += "10:   1-January\t08:00\t00:15\tRequired Weekly Test\r\n";
    for (int r = 11; r <= 40; ++r)
        expected += QStringLiteral("%1:   \t\t\t\r\n").arg(r).toLatin1();

    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), expected);
}

void TestReport::checkTxtExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ok");
    QTest::newRow("upper case") << "HISTORY.TXT" << true;
    QTest::newRow("path") << "/home/u/alerts/May.TXT" << true;
    QTest::newRow("lower case") << "history.txt" << false;
    QTest::newRow("mixed case") << "history.Txt" << false;
    QTest::newRow("no extension") << "history" << false;
    QTest::newRow("trailing blank") << "history.TXT " << false;
    QTest::newRow("extension only") << ".TXT" << false;
    QTest::newRow("folder named .TXT") << "/tmp/.TXT" << false;
    QTest::newRow("short") << "TXT" << false;
    QTest::newRow("empty") << "" << false;
}

void TestReport::checkTxtExtension()
{
    QFETCH(QString, name);
    QTEST(CheckTxtExtension(name), "ok");
}

void TestReport::saveDialogFlow()
{
    TestEnv env;
    fillThree(env);
    AppContext &ctx = *env.ctx;

    // Cancelled dialog: nothing happens.
    env.prompter.saveAnswers.enqueue(QString());
    HistoryCommands::saveHistoryAs(ctx, ctx.HistoryRows, nullptr);
    QCOMPARE(env.prompter.saveRequests.size(), 1);
    const Prompter::SaveRequest &req = env.prompter.saveRequests.first();
    QCOMPARE(req.directory, QDir::currentPath());
    QVERIFY(req.fileName.isEmpty());
    QVERIFY(req.confirmOverwrite);
    QVERIFY(req.filter.contains(QLatin1String("*.TXT")));
    QVERIFY(env.prompter.boxes.isEmpty());

    // A lower-case extension is refused and nothing is written.
    const QString lower = env.path(QStringLiteral("alerts.txt"));
    env.prompter.saveAnswers.enqueue(lower);
    HistoryCommands::saveHistoryAs(ctx, ctx.HistoryRows, nullptr);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.prompter.boxes.first().title, QStringLiteral("File Save Error"));
    QCOMPARE(env.prompter.boxes.first().text, QStringLiteral("Error, Filename must contain the extension .TXT."));
    QCOMPARE(env.prompter.boxes.first().icon, Prompter::Icon::Critical);
    QCOMPARE(env.prompter.boxes.first().buttons, Prompter::Buttons::Ok);
    QVERIFY(!QFile::exists(lower));

    // The same name in upper case is saved.
    const QString upper = env.path(QStringLiteral("alerts.TXT"));
    env.prompter.saveAnswers.enqueue(upper);
    HistoryCommands::saveHistoryAs(ctx, ctx.HistoryRows, nullptr);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QFile f(upper);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), HistoryFileText(ctx.HistoryRows, ctx.clock().date()));
    QVERIFY(env.view.panels.value(QStringLiteral("Left")).contains(QLatin1String("alerts.TXT")));
}

void TestReport::saveFailureIsReported()
{
    TestEnv env;
    fillThree(env);
    // A folder of that name stands where the file should go.
    const QString name = env.path(QStringLiteral("BUSY.TXT"));
    QVERIFY(QDir().mkpath(name));
    env.prompter.saveAnswers.enqueue(name);
    HistoryCommands::saveHistoryAs(*env.ctx, env.ctx->HistoryRows, nullptr);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QCOMPARE(env.prompter.boxes.first().title, QStringLiteral("File Save Error"));
    QVERIFY(env.prompter.boxes.first().text.contains(QLatin1String("could not be saved")));
    QVERIFY(QFileInfo(name).isDir());

    // A folder that does not exist.
    env.prompter.clear();
    const QString missing = env.path(QStringLiteral("no/such/folder/H.TXT"));
    env.prompter.saveAnswers.enqueue(missing);
    HistoryCommands::saveHistoryAs(*env.ctx, env.ctx->HistoryRows, nullptr);
    QCOMPARE(env.prompter.boxes.size(), 1);
    QVERIFY(!QFile::exists(missing));
}

void TestReport::reportText()
{
    TestEnv env;
    fillThree(env);
    AppContext &ctx = *env.ctx;
    putSlot(ctx, 2, "366 23:59 WXR TOA 0600");
    putSlot(ctx, 3, "000 14:30 WXR TOR 0100");
    putSlot(ctx, 4, "0a5 14:30 WXR TOR 0100");
    putSlot(ctx, 5, "065 14-30 wxr SVW 0100");

    const QStringList lines = HistoryReportText(ctx.historySource()).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 5), QStringList(5, QString()));
    QCOMPARE(lines.at(5), QStringLiteral("\t\tNX-4400C Digital Weather Receiver History Report"));
    QCOMPARE(lines.at(8), QStringLiteral("\tPrint date: Friday, March 6, 2026"));
    QCOMPARE(lines.at(11), QStringLiteral("\tNum\tEvent Date\tTime\tLength\tORG\tEvent Code Received"));
    QCOMPARE(lines.at(14), QStringLiteral("\t1\t6-Mar\t\t10:30\t01:00\tWXR\tTornado Warning"));
    QCOMPARE(lines.at(15), QStringLiteral("\t2\t4-Mar\t\t22:05\t02:15\tCIV\tHazardous Materials Warning"));
    // Day 366 is a full line.
    QVERIFY(lines.at(16).startsWith(QLatin1String("\t3\t")));
    QVERIFY(lines.at(16).endsWith(QLatin1String("\tWXR\tTornado Watch")));
    QCOMPARE(lines.at(17), QStringLiteral("\t4\t "));                 // day 000
    QCOMPARE(lines.at(18), QStringLiteral("\t5\t "));                 // unreadable day
    // Printed without the colon and capital-letter checks of the grid.
    QCOMPARE(lines.at(19), QStringLiteral("\t6\t6-Mar\t\t10-30\t01:00\twxr\tUnknown Event Code"));
    QCOMPARE(lines.at(20), QStringLiteral("\t7\t "));                 // empty slot
    QCOMPARE(lines.at(23), QStringLiteral("\t10\t1-Jan\t\t08:00\t00:15\tEAS\tRequired Weekly Test"));
    QCOMPARE(lines.at(53), QStringLiteral("\t40\t "));
    QCOMPARE(lines.size(), 55);   // 54 lines and the final line end
}

void TestReport::printedPdfReadsBack()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    TestEnv env;
    fillThree(env);
    putSlot(*env.ctx, 2, "366 23:59 WXR TOA 0600");

    const QString pdf = env.path(QStringLiteral("report.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QString error;
    QVERIFY2(PrintHistory(env.ctx->historySource(), printer, &error), qPrintable(error));
    if (!qEnvironmentVariableIsEmpty("NX_KEEP_REPORT"))
        QFile::copy(pdf, qEnvironmentVariable("NX_KEEP_REPORT"));

    const QString text = readPdfText(pdf);
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    QVERIFY(text.contains(QLatin1String("NX-4400C Digital Weather Receiver History Report")));
    QVERIFY(text.contains(QLatin1String("Print date: Friday, March 6, 2026")));
    const QStringList lines = text.split(QLatin1Char('\n'));

    auto lineWith = [&lines](const QString &s) {
        for (const QString &l : lines)
            if (l.contains(s))
                return l;
        return QString();
    };
    const QString heading = lineWith(QStringLiteral("Event Code Received"));
    QVERIFY2(!heading.isEmpty(), qPrintable(text));
    QVERIFY(QRegularExpression(QStringLiteral("Num\\s+Event Date\\s+Time\\s+Length\\s+ORG\\s+Event Code Received"))
                .match(heading).hasMatch());
    const QString first = lineWith(QStringLiteral("Tornado Warning"));
    QVERIFY(QRegularExpression(QStringLiteral("\\b1\\s+6-Mar\\s+10:30\\s+01:00\\s+WXR\\s+Tornado Warning"))
                .match(first).hasMatch());
    const QString tenth = lineWith(QStringLiteral("Required Weekly Test"));
    QVERIFY(QRegularExpression(QStringLiteral("\\b10\\s+1-Jan\\s+08:00\\s+00:15\\s+EAS\\s+Required Weekly Test"))
                .match(tenth).hasMatch());

    // The tab stops line the columns up under their headings.
    const QList<QPair<QString, QString>> rows = {{first, QStringLiteral("WXR")},
                                                 {tenth, QStringLiteral("EAS")},
                                                 {lineWith(QStringLiteral("Hazardous")), QStringLiteral("CIV")}};
    for (const auto &[row, org] : rows) {
        QVERIFY2(qAbs(row.indexOf(QLatin1Char(':')) - 2 - heading.indexOf(QLatin1String("Time"))) <= 1,
                 qPrintable(heading + QLatin1Char('\n') + row));
        QVERIFY2(qAbs(row.indexOf(org) - heading.indexOf(QLatin1String("ORG"))) <= 1,
                 qPrintable(heading + QLatin1Char('\n') + row));
    }
    // Slots 4 to 40 are numbered lines with nothing else on them.
    QVERIFY(QRegularExpression(QStringLiteral("^\\s*40\\s*$"), QRegularExpression::MultilineOption)
                .match(text).hasMatch());

    // Bold headings: a bold face is embedded beside the regular one.
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {pdf});
    if (fonts.waitForFinished(30000) && fonts.exitCode() == 0)
        QVERIFY2(QString::fromUtf8(fonts.readAllStandardOutput()).contains(QLatin1String("Bold")),
                 "no bold font in the report");
}

void TestReport::smallPagesLoseNoLine()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    TestEnv env;
    fillThree(env);
    const QString pdf = env.path(QStringLiteral("small.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A6));
    QVERIFY(PrintHistory(env.ctx->historySource(), printer));
    const QString text = readPdfText(pdf);
    QVERIFY2(text.count(QLatin1Char('\f')) >= 2, "the report did not run onto a second page");
    QStringList numbers;
    const QRegularExpression lineStart(QStringLiteral("^\\s*(\\d+)\\b"), QRegularExpression::MultilineOption);
    for (auto it = lineStart.globalMatch(text); it.hasNext();)
        numbers << it.next().captured(1);
    QStringList expected;
    for (int n = 1; n <= 40; ++n)
        expected << QString::number(n);
    QCOMPARE(numbers, expected);
}

void TestReport::printConfirmation()
{
    TestEnv env;
    fillThree(env);
    AppContext &ctx = *env.ctx;
    env.prompter.answers.enqueue(Prompter::Button::Cancel);
    HistoryCommands::printHistory(ctx, ctx.historySource(), nullptr);
    QCOMPARE(env.prompter.boxes.size(), 1);
    const ScriptedPrompter::Box &box = env.prompter.boxes.first();
    QCOMPARE(box.title, QStringLiteral("Print NX-4400C Event History"));
    QCOMPARE(box.text, QStringLiteral("Proceed To Dispatch History Report To Printer"));
    QCOMPARE(box.icon, Prompter::Icon::Question);
    QCOMPARE(box.buttons, Prompter::Buttons::OkCancel);
    QVERIFY(env.view.panels.value(QStringLiteral("Left")).isEmpty());

    // OK with no print server reachable: the left panel says so.
    env.prompter.answers.enqueue(Prompter::Button::Ok);
    HistoryCommands::printHistory(ctx, ctx.historySource(), nullptr);
    QCOMPARE(env.view.panels.value(QStringLiteral("Left")),
             QStringLiteral("No printer is installed: the history report was not printed"));
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
