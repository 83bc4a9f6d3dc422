// SPDX-License-Identifier: GPL-3.0-or-later
// "Print History" through a real CUPS queue: a private CUPS scheduler with a
// cups-pdf printer set as its default, the report printed by the command the
// toolbar runs, and the report's text read back from the PDF cups-pdf made.
// Where CUPS or cups-pdf is missing or will not start, the test says why and
// is skipped.
#include "HistoryFixture.h"
#include "support/TestEnv.h"

#include "history/gui/HistoryCommands.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString Queue = QStringLiteral("NXHistoryPDF");

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

class TestCupsPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reportReachesThePdfPrinter();

private:
    QString m_root;        // the scheduler's folders and socket
    QProcess m_cupsd;
    QString m_outDir;      // where cups-pdf puts the user's files
    QStringList m_before;
    QStringList m_made;
    bool m_outDirExisted = true;
};

void TestCupsPrint::initTestCase()
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

void TestCupsPrint::cleanupTestCase()
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
