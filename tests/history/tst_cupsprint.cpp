// SPDX-License-Identifier: GPL-3.0-or-later
// "Print History" through a real CUPS queue: a private CUPS scheduler with a
// cups-pdf printer set as its default, the report printed by the command the
// toolbar runs, and the report's text read back from the PDF cups-pdf made.
// Where CUPS or cups-pdf is missing or will not start, the test says why and
// is skipped.
#include "HistoryFixture.h"
#include "support/PrivateCups.h"
#include "support/TestEnv.h"

#include "history/gui/HistoryCommands.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString Queue = QStringLiteral("NXHistoryPDF");

} // namespace

class TestCupsPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reportReachesThePdfPrinter();

private:
    PrivateCups m_cups{Queue};
};

void TestCupsPrint::initTestCase()
{
    pinLocale();
    const QString why = m_cups.start();
    if (m_cups.failed)
        QFAIL(qPrintable(why));
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
}

void TestCupsPrint::cleanupTestCase()
{
    m_cups.stop();
}

void TestCupsPrint::reportReachesThePdfPrinter()
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    env.clock.set(QDateTime(QDate(2026, 3, 6), QTime(12, 0)));
    ctx.config.TimeZoneOffset = -5;
    putSlot(ctx, 0, "065 14:30 WXR TOR 0100");
    putSlot(ctx, 1, "064 20:05 CIV TOA 0215");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);

    env.prompter.answers.enqueue(Prompter::Button::Ok);
    HistoryCommands::printHistory(ctx, ctx.historySource(), nullptr);
    QCOMPARE(env.view.panels.value(QStringLiteral("Left")),
             QStringLiteral("History report sent to printer %1").arg(Queue));

    QStringList made;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            made.clear();
            for (const QString &f : QDir(m_cups.outDir).entryList(QDir::Files))
                if (!m_cups.before.contains(f) && f.endsWith(QLatin1String(".pdf")))
                    made << f;
            return !made.isEmpty();
        }(),
        90000);
    m_cups.made = made;
    const QString pdf = QDir(m_cups.outDir).filePath(made.first());
    QString text;
    QTRY_VERIFY_WITH_TIMEOUT(runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}, &text)
                                 && text.contains(QLatin1String("History Report")),
                             20000);
    QVERIFY(text.contains(QLatin1String("NX-4400C Digital Weather Receiver History Report")));
    QVERIFY(text.contains(QLatin1String("Print date: Friday, March 6, 2026")));
    QVERIFY(QRegularExpression(QStringLiteral("Num\\s+Event Date\\s+Time\\s+Length\\s+ORG\\s+Event Code Received"))
                .match(text).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("1\\s+6-Mar\\s+09:30\\s+01:00\\s+WXR\\s+Tornado Warning")).match(text).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("2\\s+5-Mar\\s+15:05\\s+02:15\\s+CIV\\s+Tornado Watch")).match(text).hasMatch());
}

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
