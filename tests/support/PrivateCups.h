// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A CUPS scheduler of a test's own, on a socket of its own, with a cups-pdf
// printer as its default, so that a print goes through the real printing
// system without touching the machine's printers. The printed PDFs land in
// the user's ~/PDF folder (where cups-pdf puts them); outDir, before and made
// let a test find its own file and remove it afterwards.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

// Runs a program to its end; true when it exited with 0.
inline bool runTool(const QString &program, const QStringList &args, QString *output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

class PrivateCups
{
public:
    explicit PrivateCups(const QString &queue) : m_queue(queue) {}
    ~PrivateCups() { stop(); }

    // Starts the scheduler and makes the queue the default printer. Empty
    // when it runs; otherwise why not: a missing package or a scheduler that
    // will not start (the test skips), or, with failed set, a fault.
    QString start()
    {
        const QString cupsd = firstExisting({QStringLiteral("/usr/sbin/cupsd"), QStringLiteral("/usr/bin/cupsd")});
        const QString backend = firstExisting({QStringLiteral("/usr/lib/cups/backend/cups-pdf")});
        const QString ppd = firstExisting({QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"),
                                           QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd")});
        if (cupsd.isEmpty())
            return skip("CUPS cannot start: cupsd is not installed (Debian package cups-daemon)");
        if (backend.isEmpty() || ppd.isEmpty())
            return skip("CUPS cannot print to PDF: cups-pdf is not installed (Debian package printer-driver-cups-pdf)");
        if (QStandardPaths::findExecutable(QStringLiteral("lpadmin")).isEmpty())
            return skip("CUPS cannot be set up: lpadmin is not installed (Debian package cups-client)");
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            return skip("pdftotext is not installed (Debian package poppler-utils)");
        if (geteuid() != 0)
            return skip("CUPS with cups-pdf needs root here: the cups-pdf backend runs only as root");

        // A scheduler of our own on a socket of our own, so the machine's
        // printers and default are never touched. The filters run as user lp and
        // must reach the spool folders.
        root = QDir::temp().filePath(QStringLiteral("nx-cups-%1").arg(QCoreApplication::applicationPid()));
        QDir(root).removeRecursively();
        for (const char *sub : {"etc", "spool/tmp", "cache", "run", "log"})
            if (!(QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub))))
            return fail(QStringLiteral("could not prepare %1").arg(root));
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther;
        for (const char *sub : {"", "/etc", "/spool", "/cache", "/run", "/log"})
            QFile::setPermissions(root + QLatin1String(sub), open);
        QFile::setPermissions(root + QStringLiteral("/spool/tmp"), open | QFile::WriteGroup | QFile::WriteOther);

        const QString socket = root + QStringLiteral("/cups.sock");
        QFile conf(root + QStringLiteral("/etc/cupsd.conf"));
        if (!(conf.open(QIODevice::WriteOnly)))
            return fail(QStringLiteral("could not prepare %1").arg(root));
        conf.write(QStringLiteral("Listen %1\nLogLevel warn\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                  "<Policy default>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
                                  "</Policy>\n")
                       .arg(socket)
                       .toUtf8());
        conf.close();
        QFile files(root + QStringLiteral("/etc/cups-files.conf"));
        if (!(files.open(QIODevice::WriteOnly)))
            return fail(QStringLiteral("could not prepare %1").arg(root));
        files.write(QStringLiteral("RequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\nStateDir %1/run\n"
                                   "AccessLog %1/log/access_log\nErrorLog %1/log/error_log\nPageLog %1/log/page_log\n"
                                   "ServerBin /usr/lib/cups\nDataDir /usr/share/cups\n")
                        .arg(root)
                        .toUtf8());
        files.close();

        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), conf.fileName(), QStringLiteral("-s"),
                              files.fileName()});
        if (!m_cupsd.waitForStarted(10000))
            return skip("CUPS cannot start: cupsd did not run");
        qputenv("CUPS_SERVER", QFile::encodeName(socket));
        QString out;
        QDeadlineTimer deadline(15000);
        while (!runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &out) || !out.contains(QLatin1String("is running"))) {
            if (deadline.hasExpired() || m_cupsd.state() == QProcess::NotRunning) {
                const QString why = QString::fromLocal8Bit(m_cupsd.readAll()).trimmed();
                return skip((QStringLiteral("CUPS cannot start: the scheduler did not answer (%1)").arg(why)));
            }
            QTest::qWait(200);
        }
        // The cairo renderer keeps the text of the report searchable in the PDF
        // that cups-pdf writes.
        if (!runTool(QStringLiteral("lpadmin"), {QStringLiteral("-p"), m_queue, QStringLiteral("-E"), QStringLiteral("-v"),
                                                 QStringLiteral("cups-pdf:/"), QStringLiteral("-P"), ppd,
                                                 QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")},
                     &out)
            || !runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), m_queue}, &out))
            return skip((QStringLiteral("CUPS cannot set up the cups-pdf printer: %1").arg(out.trimmed())));
        qputenv("PRINTER", m_queue.toUtf8());
        qputenv("LPDEST", m_queue.toUtf8());

        const passwd *pw = getpwuid(geteuid());
        outDir = QString::fromLocal8Bit(pw ? pw->pw_dir : "/root") + QStringLiteral("/PDF");
        outDirExisted = QFileInfo::exists(outDir);
        before = QDir(outDir).entryList(QDir::Files);

        return QString();
    }

    // Removes the PDFs the test made and stops the scheduler.
    void stop()
    {
        for (const QString &f : made)
            QFile::remove(QDir(outDir).filePath(f));
        if (!outDirExisted && !outDir.isEmpty())
            QDir().rmdir(outDir);   // only when cups-pdf made it for this test and it is empty
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000))
                m_cupsd.kill();
        }
        if (!root.isEmpty())
            QDir(root).removeRecursively();
        root.clear();
        made.clear();
    }

    bool failed = false;
    QString root;          // the scheduler's folders and socket
    QString outDir;        // where cups-pdf puts the user's files
    QStringList before;    // what was there before the test printed
    QStringList made;      // the test's own PDFs, removed by stop()
    bool outDirExisted = true;

private:
    static QString firstExisting(const QStringList &paths)
    {
        for (const QString &p : paths)
            if (QFileInfo::exists(p))
                return p;
        return QString();
    }
    QString skip(const QString &why) { return why; }
    QString fail(const QString &why)
    {
        failed = true;
        return why;
    }

    QString m_queue;
    QProcess m_cupsd;
};
