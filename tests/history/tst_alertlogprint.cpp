// SPDX-License-Identifier: GPL-3.0-or-later
// The Alert Log window's Print through a real CUPS queue: a private CUPS
// scheduler with a cups-pdf printer as its default, the filtered rows printed
// by the window's Print button, and the list read back from the PDF. Where
// CUPS or cups-pdf is missing or will not start, the test says why and is
// skipped.
#include "HistoryFixture.h"
#include "support/FakeClock.h"
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

bool runTool(const QString &program, const QStringList &args, QString *output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

QString firstExisting(const QStringList &paths)
{
    for (const QString &p : paths)
        if (QFileInfo::exists(p))
            return p;
    return QString();
}

} // namespace

class TestAlertLogPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void shownRowsReachThePdfPrinter();

private:
    QString m_root;        // the scheduler's folders and socket
    QProcess m_cupsd;
    QString m_outDir;      // where cups-pdf puts the user's files
    QStringList m_before;
    QStringList m_made;
    bool m_outDirExisted = true;
};

void TestAlertLogPrint::initTestCase()
{
    pinLocale();
    const QString cupsd = firstExisting({QStringLiteral("/usr/sbin/cupsd"), QStringLiteral("/usr/bin/cupsd")});
    const QString backend = firstExisting({QStringLiteral("/usr/lib/cups/backend/cups-pdf")});
    const QString ppd = firstExisting({QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"),
                                       QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd")});
    if (cupsd.isEmpty())
        QSKIP("CUPS cannot start: cupsd is not installed (Debian package cups-daemon)");
    if (backend.isEmpty() || ppd.isEmpty())
        QSKIP("CUPS cannot print to PDF: cups-pdf is not installed (Debian package printer-driver-cups-pdf)");
    if (QStandardPaths::findExecutable(QStringLiteral("lpadmin")).isEmpty())
        QSKIP("CUPS cannot be set up: lpadmin is not installed (Debian package cups-client)");
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed (Debian package poppler-utils)");
    if (geteuid() != 0)
        QSKIP("CUPS with cups-pdf needs root here: the cups-pdf backend runs only as root");

    // A scheduler of our own on a socket of our own, so the machine's
    // printers and default are never touched. The filters run as user lp and
    // must reach the spool folders.
    m_root = QDir::temp().filePath(QStringLiteral("nx-cups-%1").arg(QCoreApplication::applicationPid()));
    QDir(m_root).removeRecursively();
    for (const char *sub : {"etc", "spool/tmp", "cache", "run", "log"})
        QVERIFY(QDir().mkpath(m_root + QLatin1Char('/') + QLatin1String(sub)));
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::ExeOther;
    for (const char *sub : {"", "/etc", "/spool", "/cache", "/run", "/log"})
        QFile::setPermissions(m_root + QLatin1String(sub), open);
    QFile::setPermissions(m_root + QStringLiteral("/spool/tmp"), open | QFile::WriteGroup | QFile::WriteOther);

    const QString socket = m_root + QStringLiteral("/cups.sock");
    QFile conf(m_root + QStringLiteral("/etc/cupsd.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("Listen %1\nLogLevel warn\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                              "<Policy default>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
                              "</Policy>\n")
                   .arg(socket)
                   .toUtf8());
    conf.close();
    QFile files(m_root + QStringLiteral("/etc/cups-files.conf"));
    QVERIFY(files.open(QIODevice::WriteOnly));
    files.write(QStringLiteral("RequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\nStateDir %1/run\n"
                               "AccessLog %1/log/access_log\nErrorLog %1/log/error_log\nPageLog %1/log/page_log\n"
                               "ServerBin /usr/lib/cups\nDataDir /usr/share/cups\n")
                    .arg(m_root)
                    .toUtf8());
    files.close();

    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), conf.fileName(), QStringLiteral("-s"),
                          files.fileName()});
    if (!m_cupsd.waitForStarted(10000))
        QSKIP("CUPS cannot start: cupsd did not run");
    qputenv("CUPS_SERVER", QFile::encodeName(socket));
    QString out;
    QDeadlineTimer deadline(15000);
    while (!runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &out) || !out.contains(QLatin1String("is running"))) {
        if (deadline.hasExpired() || m_cupsd.state() == QProcess::NotRunning) {
            const QString why = QString::fromLocal8Bit(m_cupsd.readAll()).trimmed();
            QSKIP(qPrintable(QStringLiteral("CUPS cannot start: the scheduler did not answer (%1)").arg(why)));
        }
        QTest::qWait(200);
    }
    // The cairo renderer keeps the text of the report searchable in the PDF
    // that cups-pdf writes.
    if (!runTool(QStringLiteral("lpadmin"), {QStringLiteral("-p"), Queue, QStringLiteral("-E"), QStringLiteral("-v"),
                                             QStringLiteral("cups-pdf:/"), QStringLiteral("-P"), ppd,
                                             QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")},
                 &out)
        || !runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), Queue}, &out))
        QSKIP(qPrintable(QStringLiteral("CUPS cannot set up the cups-pdf printer: %1").arg(out.trimmed())));
    qputenv("PRINTER", Queue.toUtf8());
    qputenv("LPDEST", Queue.toUtf8());

    const passwd *pw = getpwuid(geteuid());
    m_outDir = QString::fromLocal8Bit(pw ? pw->pw_dir : "/root") + QStringLiteral("/PDF");
    m_outDirExisted = QFileInfo::exists(m_outDir);
    m_before = QDir(m_outDir).entryList(QDir::Files);
}

void TestAlertLogPrint::cleanupTestCase()
{
    for (const QString &f : m_made)
        QFile::remove(QDir(m_outDir).filePath(f));
    if (!m_outDirExisted && !m_outDir.isEmpty())
        QDir().rmdir(m_outDir);   // only when cups-pdf made it for this test and it is empty
    if (m_cupsd.state() != QProcess::NotRunning) {
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(10000))
            m_cupsd.kill();
    }
    if (!m_root.isEmpty())
        QDir(m_root).removeRecursively();
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
            for (const QString &f : QDir(m_outDir).entryList(QDir::Files))
                if (!m_before.contains(f) && f.endsWith(QLatin1String(".pdf")))
                    made << f;
            return !made.isEmpty();
        }(),
        90000);
    m_made = made;
    const QString pdf = QDir(m_outDir).filePath(made.first());
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
