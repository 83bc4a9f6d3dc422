// SPDX-License-Identifier: GPL-3.0-or-later
// The Alert Log window's Print through a real CUPS queue: a private CUPS
// scheduler with a cups-pdf printer as its default, the filtered rows printed
// by the window's Print button, and the list read back from the PDF. Where
// CUPS or cups-pdf is missing or will not start, the test says why and is
// skipped.
#include "HistoryFixture.h"
#include "support/FakeClock.h"
#include "support/PrivateCups.h"
#include "support/ScriptedPrompter.h"

#include "history/core/AlertLog.h"
#include "history/gui/frmAlertLog.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString Queue = QStringLiteral("NXAlertLogPDF");

} // namespace

class TestAlertLogPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void shownRowsReachThePdfPrinter();

private:
    PrivateCups m_cups{Queue};
};

void TestAlertLogPrint::initTestCase()
{
    pinLocale();
    const QString why = m_cups.start();
    if (m_cups.failed)
        QFAIL(qPrintable(why));
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
}

void TestAlertLogPrint::cleanupTestCase()
{
    m_cups.stop();
}

void TestAlertLogPrint::shownRowsReachThePdfPrinter()
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("alerts.csv"));
    QList<AlertLogEntry> alerts;
    auto add = [&](const char *when, const char *org, const char *code, const char *name, EventClass cls,
                   const char *receiver) {
        AlertLogEntry e;
        e.localTime = QDateTime::fromString(QLatin1String(when), Qt::ISODate);
        e.originator = QLatin1String(org);
        e.code = QLatin1String(code);
        e.name = QLatin1String(name);
        e.cls = cls;
        e.length = QStringLiteral("00:30");
        e.receiver = QLatin1String(receiver);
        alerts << e;
    };
    add("2026-03-04T11:00:00-05:00", "WXR", "RWT", "Required Weekly Test", EventClass::Other, "Roof");
    add("2026-03-06T09:30:00-05:00", "WXR", "TOR", "Tornado Warning", EventClass::Warning, "Roof");
    add("2026-03-06T09:31:00-05:00", "WXR", "TOR", "Tornado Warning", EventClass::Warning, "Office");
    add("2026-03-07T15:05:00-05:00", "CIV", "TOA", "Tornado Watch", EventClass::Watch, "Office");
    QVERIFY(AppendAlertLog(logFile, alerts).ok);

    ScriptedPrompter prompter;
    FakeClock clock(QDateTime(QDate(2026, 3, 9), QTime(12, 0)));
    frmAlertLog w(logFile, prompter, clock);
    w.findChild<QLineEdit *>(QStringLiteral("txtCode"))->setText(QStringLiteral("TOR"));
    prompter.answers.enqueue(Prompter::Button::Ok);
    w.findChild<QPushButton *>(QStringLiteral("cmdPrint"))->click();
    QCOMPARE(prompter.boxes.size(), 1);
    QCOMPARE(prompter.boxes.first().text, QStringLiteral("Print the 2 alert(s) shown on %1?").arg(Queue));
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lblStatus"))->text(),
             QStringLiteral("2 alert(s) sent to printer %1").arg(Queue));

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
                                 && text.contains(QLatin1String("Alert Log")),
                             20000);
    QVERIFY(text.contains(QLatin1String("NX-4400C Digital Weather Receiver Alert Log")));
    QVERIFY(text.contains(QLatin1String("Print date: Monday, March 9, 2026")));
    QVERIFY(text.contains(QLatin1String("Shown: code TOR (2 alerts)")));
    QVERIFY(QRegularExpression(QStringLiteral("Num\\s+Date\\s+Time\\s+Length\\s+ORG\\s+Event Code Received\\s+Receiver"))
                .match(text).hasMatch());
    QVERIFY2(QRegularExpression(QStringLiteral("1\\s+2026-03-06\\s+09:31\\s+00:30\\s+WXR\\s+Tornado Warning \\(TOR\\)\\s+Office"))
                 .match(text).hasMatch(), qPrintable(text));
    QVERIFY(QRegularExpression(QStringLiteral("2\\s+2026-03-06\\s+09:30\\s+00:30\\s+WXR\\s+Tornado Warning \\(TOR\\)\\s+Roof"))
                .match(text).hasMatch());
    QVERIFY(!text.contains(QLatin1String("Tornado Watch")));
}

QTEST_MAIN(TestAlertLogPrint)
#include "tst_alertlogprint.moc"
