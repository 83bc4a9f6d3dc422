// SPDX-License-Identifier: GPL-3.0-or-later
// Output files and symbolic links: a command that writes a file the user
// names never writes through a link at that name. Without --force the link
// is refused with a message and exit 1; with --force the link itself is
// replaced and the file it led to stays as it was. The shared writer does
// the same for every caller.
#include "base/SafeWrite.h"
#include "support/CoverageListings.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <unistd.h>

using namespace CoverageListings;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestOutputLinks : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    struct Run {
        int status = -1;
        QString out;
        QString err;
    };
    Run cli(const QStringList &args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_home.path());
        p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), args);
        Run r;
        if (!p.waitForFinished(60000))
            return r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QCOMPARE(cli({QStringLiteral("init")}).status, 0);
        QFile f(m_home.filePath(QStringLiteral("listing.csv")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(write(Shape::Csv, {row("OH", "Adams", "039001", "Wilmington", "OH", "162.400", "KZZ49"),
                                   row("OH", "Brown", "039015", "Wilmington", "OH", "162.400", "KZZ49")}));
    }

    // One row per command and whether --force is given. OUT stands for the
    // name the command is told to write, a link to a file of the user's.
    void commandsRefuseOrReplaceTheLink_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("folder");   // the output is a folder (the link leads to one)
        const struct {
            const char *name;
            QStringList args;
            bool folder;
        } rows[] = {
            {"profile save", {"profile", "save", "OUT"}, false},
            {"coverage print --pdf", {"coverage", "print", "--pdf", "OUT"}, false},
            {"coverage import --output", {"coverage", "import", "LISTING", "--output", "OUT"}, true},
        };
        for (const auto &r : rows) {
            QTest::addRow("%s, refused", r.name) << r.args << false << r.folder;
            QTest::addRow("%s, --force", r.name) << r.args + QStringList{QStringLiteral("--force")} << true << r.folder;
        }
    }

    void commandsRefuseOrReplaceTheLink()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, force);
        QFETCH(bool, folder);
        const QString victim = m_home.filePath(QStringLiteral("victim-") + QString::number(qHash(QTest::currentDataTag())));
        const QString out = m_home.filePath(QStringLiteral("out-") + QString::number(qHash(QTest::currentDataTag())));
        if (folder) {
            QVERIFY(QDir().mkpath(victim));
            QFile keep(victim + QStringLiteral("/keep.txt"));
            QVERIFY(keep.open(QIODevice::WriteOnly));
            keep.write("mine");
        } else {
            QFile keep(victim);
            QVERIFY(keep.open(QIODevice::WriteOnly));
            keep.write("mine");
        }
        QVERIFY(QFile::link(victim, out));
        args.replaceInStrings(QStringLiteral("OUT"), out);
        args.replaceInStrings(QStringLiteral("LISTING"), m_home.filePath(QStringLiteral("listing.csv")));
        const Run r = cli(args);
        // What the link led to is as it was, either way.
        if (folder) {
            QCOMPARE(QDir(victim).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.txt")});
            QCOMPARE(readAll(victim + QStringLiteral("/keep.txt")), QByteArray("mine"));
        } else {
            QCOMPARE(readAll(victim), QByteArray("mine"));
        }
        if (!force) {
            QVERIFY2(r.status == 1, qPrintable(r.err));
            QVERIFY2(r.err.contains(out + QStringLiteral(" is a symbolic link to ") + victim), qPrintable(r.err));
            QVERIFY2(r.err.contains(QLatin1String("--force")), qPrintable(r.err));
            QVERIFY(QFileInfo(out).isSymLink());
            return;
        }
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(!QFileInfo(out).isSymLink());
        if (folder) {
            QVERIFY(QFileInfo(out).isDir());
            QCOMPARE(QDir(out).entryList(QDir::Files).size(), 56);
            QVERIFY2(r.out.contains(QLatin1String("The editor goes on using the listing it used before")), qPrintable(r.out));
            QVERIFY2(!r.out.contains(QLatin1String("the editor now uses")), qPrintable(r.out));
        } else {
            QVERIFY(QFileInfo(out).isFile());
            QVERIFY(QFileInfo(out).size() > 0);
        }
        // Nothing was left beside it.
        const QStringList stray = QDir(m_home.path()).entryList({QStringLiteral(".out-*")}, QDir::AllEntries | QDir::Hidden);
        QVERIFY2(stray.isEmpty(), qPrintable(stray.join(QLatin1Char(' '))));
    }

    // The shared writer itself, as each of its callers meets a link.
    void writerAndLinks_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QByteArray>("victimAfter");
        QTest::newRow("refuse") << int(LinkAtName::Refuse) << false << QByteArray("mine");
        QTest::newRow("replace the link") << int(LinkAtName::Replace) << true << QByteArray("mine");
        QTest::newRow("follow it (the program's own files)") << int(LinkAtName::Follow) << true << QByteArray("new");
    }

    void writerAndLinks()
    {
        QFETCH(int, policy);
        QFETCH(bool, written);
        QFETCH(QByteArray, victimAfter);
        QTemporaryDir dir;
        const QString victim = dir.filePath(QStringLiteral("victim"));
        const QString name = dir.filePath(QStringLiteral("name"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("mine");
        v.close();
        QVERIFY(QFile::link(victim, name));
        QString why;
        QCOMPARE(writeFileAtomically(name, "new", &why, LinkAtName(policy)), written);
        QCOMPARE(readAll(victim), victimAfter);
        QCOMPARE(readAll(name), written ? QByteArray("new") : QByteArray("mine"));
        QCOMPARE(QFileInfo(name).isSymLink(), LinkAtName(policy) != LinkAtName::Replace);
        if (!written)
            QVERIFY2(why.contains(name) && why.contains(victim), qPrintable(why));
        // No temporary file is left in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestOutputLinks)
#include "tst_outputlinks.moc"
