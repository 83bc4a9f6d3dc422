// SPDX-License-Identifier: GPL-3.0-or-later
// One exit rule for every command of nx4400c-cli: 0 done, 1 could not (a
// missing file, a receiver that is not there, a full disk), 2 an argument
// refused. One row per command and case; a command's new case is one more
// row. Failures also say on standard error what they could not do, naming
// the file and the system's reason.
#include "support/CoverageListings.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace CoverageListings;

namespace {

enum class Case { MissingFile, UnknownReceiver, FullDisk, BadOption };

const char *caseName(Case c)
{
    switch (c) {
    case Case::MissingFile: return "missing file";
    case Case::UnknownReceiver: return "unknown receiver";
    case Case::FullDisk: return "full disk";
    case Case::BadOption: return "bad option";
    }
    return "";
}

// In the arguments and the folder: {missing} a name in a folder that does
// not exist, {nodev} a device that is not there, {full} a folder on a full
// disk (holding NX_4400C.DAT from before it filled), {work} a folder with
// the default NX_4400C.DAT, {empty} a folder without one, {listing} a small
// CSV listing, {wav} a recorded test message.
struct ExitRow {
    const char *command;
    Case what;
    QStringList args;
    const char *folder;   // where it runs
    int status;
    const char *err;      // a pattern standard error must hold
};

const QList<ExitRow> &exitRows()
{
    static const QList<ExitRow> rows{
        // A file that is not there.
        {"check", Case::MissingFile, {"check"}, "{empty}", 1, "NX_4400C.DAT"},
        {"setup transmitter", Case::MissingFile, {"setup", "transmitter", "--state", "OH", "KZZ49"}, "{empty}", 1, "NX_4400C.DAT"},
        {"setup counties", Case::MissingFile, {"setup", "counties", "list"}, "{empty}", 1, "NX_4400C.DAT"},
        {"setup events", Case::MissingFile, {"setup", "events", "list"}, "{empty}", 1, "NX_4400C.DAT"},
        {"image", Case::MissingFile, {"image", "--profile", "{missing}/p.nxprofile"}, "{work}", 1, "\\{missing\\}/p.nxprofile"},
        {"profile save", Case::MissingFile, {"profile", "save", "{work}/p.nxprofile"}, "{empty}", 1, "NX_4400C.DAT"},
        {"profile load", Case::MissingFile, {"profile", "load", "{missing}/p.nxprofile"}, "{work}", 1, "\\{missing\\}/p.nxprofile"},
        {"transfer", Case::MissingFile, {"transfer", "--profile", "{missing}/p.nxprofile", "--device", "{nodev}"}, "{work}", 1,
         "\\{missing\\}/p.nxprofile"},
        {"monitor", Case::MissingFile, {"monitor", "--wav", "{missing}/in.wav", "--csv", "{work}/alerts.csv"}, "{work}", 1,
         "\\{missing\\}/in.wav"},
        {"coverage import", Case::MissingFile, {"coverage", "import", "{missing}/CCL.js"}, "{work}", 1, "\\{missing\\}/CCL.js"},
        {"coverage print", Case::MissingFile, {"coverage", "print", "--pdf", "{missing}/page.pdf"}, "{work}", 1,
         "\\{missing\\}"},
        // A receiver that is not there.
        {"transfer", Case::UnknownReceiver, {"transfer", "--device", "{nodev}"}, "{work}", 1, "\\{nodev\\}"},
        // A full disk.
        {"init", Case::FullDisk, {"init", "--force"}, "{full}", 1, "No space left on device"},
        {"setup events", Case::FullDisk, {"setup", "events", "add", "TOR"}, "{full}", 1, "No space left on device"},
        {"profile save", Case::FullDisk, {"profile", "save", "{full}/p.nxprofile"}, "{work}", 1, "\\{full\\}/p.nxprofile.*No space left on device"},
        {"sounds", Case::FullDisk, {"sounds", "{full}/sounds"}, "{work}", 1, "No space left on device"},
        {"monitor", Case::FullDisk, {"monitor", "--wav", "{wav}", "--csv", "{full}/alerts.csv"}, "{work}", 1,
         "\\{full\\}.*No space left on device"},
        {"coverage print", Case::FullDisk, {"coverage", "print", "--pdf", "{full}/page.pdf"}, "{work}", 1,
         "\\{full\\}/page.pdf.*No space left on device"},
        // Room for the log's rows but not for the message's audio: the run
        // says which file and why, and fails.
        {"monitor audio", Case::FullDisk, {"monitor", "--wav", "{wav}", "--csv", "{tight}/alerts.csv"}, "{work}", 1,
         "cannot write \\{tight\\}/alerts-monitor_wav-.*\\.wav.*No space left on device"},
        {"coverage import --output", Case::FullDisk, {"coverage", "import", "{listing}", "--output", "{full}/States"}, "{work}", 1,
         "No space left on device.*removed, and \\{full\\}/States is as it was"},
    };
    return rows;
}

} // namespace

class TestExitStatus : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    SmallDisk *m_disk = nullptr;
    SmallDisk *m_tight = nullptr;   // a little room left
    QHash<QString, QString> m_places;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        return env;
    }

    QString expand(QString s) const
    {
        for (auto it = m_places.cbegin(); it != m_places.cend(); ++it)
            s.replace(it.key(), it.value());
        return s;
    }

    struct Run {
        int status = -1;
        QString err;
    };
    Run run(const QStringList &args, const QString &folder) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(folder);
        p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), args);
        Run r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        for (const char *folder : {"work", "empty"})
            QVERIFY(QDir(m_home.path()).mkpath(QLatin1String(folder)));
        m_places.insert(QStringLiteral("{work}"), m_home.filePath(QStringLiteral("work")));
        m_places.insert(QStringLiteral("{empty}"), m_home.filePath(QStringLiteral("empty")));
        m_places.insert(QStringLiteral("{missing}"), m_home.filePath(QStringLiteral("no-such-folder")));
        m_places.insert(QStringLiteral("{nodev}"), m_home.filePath(QStringLiteral("no-such-device")));
        QCOMPARE(run({QStringLiteral("init")}, m_places.value(QStringLiteral("{work}"))).status, 0);
        QCOMPARE(run({QStringLiteral("sounds"), m_home.filePath(QStringLiteral("sounds"))}, m_home.path()).status, 0);
        m_places.insert(QStringLiteral("{wav}"), m_home.filePath(QStringLiteral("sounds/RWT.wav")));
        const QString listing = m_home.filePath(QStringLiteral("listing.csv"));
        QFile f(listing);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QList<Row> rows;
        for (int i = 1; i < 80; i += 2)
            rows << row("OH", qPrintable(QStringLiteral("County %1").arg(i)),
                        qPrintable(QStringLiteral("039%1").arg(i, 3, 10, QLatin1Char('0'))), "Wilmington", "OH", "162.400",
                        "KZZ49");
        f.write(write(Shape::Csv, rows));
        f.close();
        m_places.insert(QStringLiteral("{listing}"), listing);
        // The full disk holds a parameter file from before it filled up.
        m_disk = new SmallDisk(512, false);
        if (m_disk->mounted()) {
            m_places.insert(QStringLiteral("{full}"), m_disk->path(QStringLiteral("full")));
            QCOMPARE(run({QStringLiteral("init")}, m_places.value(QStringLiteral("{full}"))).status, 0);
            m_disk->fillUp();
        }
        m_tight = new SmallDisk(384, false);   // the alert database fits, a message's audio does not
        if (m_tight->mounted())
            m_places.insert(QStringLiteral("{tight}"), m_tight->path(QStringLiteral("full")));
    }

    void cleanupTestCase()
    {
        delete m_disk;
        delete m_tight;
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::addColumn<bool>("fullDisk");
        for (const ExitRow &r : exitRows())
            QTest::addRow("%s: %s", r.command, caseName(r.what))
                << r.args << QString::fromLatin1(r.folder) << r.status << QString::fromLatin1(r.err)
                << (r.what == Case::FullDisk);
        // An option no command has: refused with 2 by each, whatever it is.
        // The list comes from the program, so a new command has its row.
        QProcess p;
        p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), {QStringLiteral("--commands")});
        QVERIFY(p.waitForFinished(20000));
        const QStringList commands = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(commands.size() > 20);
        for (const QString &command : commands) {
            if (command.startsWith(QLatin1String("log ")))
                continue;   // the log's commands have rows of their own
            QTest::addRow("%s: %s", qPrintable(command), caseName(Case::BadOption))
                << command.split(QLatin1Char(' ')) + QStringList{QStringLiteral("--no-such-option")}
                << QStringLiteral("{work}") << 2 << QStringLiteral("no-such-option") << false;
        }
    }

    void exitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, folder);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(bool, fullDisk);
        if (fullDisk && !m_disk->mounted())
            QSKIP(qPrintable(m_disk->why()));
        for (QString &a : args)
            a = expand(a);
        const QDir full(m_places.value(QStringLiteral("{full}")));
        const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        const QStringList before = fullDisk ? full.entryList(all) : QStringList();
        const Run r = run(args, expand(folder));
        if (fullDisk) {
            // Nothing half-written is left on the full disk: at most an
            // empty folder the command made before its first file.
            for (const QString &name : full.entryList(all)) {
                if (before.contains(name))
                    continue;
                const QFileInfo made(full.filePath(name));
                QVERIFY2(made.isDir() && QDir(made.filePath()).isEmpty(), qPrintable(name + QStringLiteral(" was left")));
                QVERIFY(QDir(made.filePath()).removeRecursively());
            }
        }
        QVERIFY2(r.status == status, qPrintable(QStringLiteral("exit %1, not %2: %3").arg(r.status).arg(status).arg(r.err)));
        // The pattern names places by their placeholders.
        QString pattern = err;
        for (auto it = m_places.cbegin(); it != m_places.cend(); ++it)
            pattern.replace(QRegularExpression::escape(it.key()), QRegularExpression::escape(it.value()));
        QVERIFY2(QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(r.err).hasMatch(),
                 qPrintable(QStringLiteral("standard error lacks /%1/: %2").arg(pattern, r.err)));
        QVERIFY2(!r.err.contains(QLatin1String("Unknown error")), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestExitStatus)
#include "tst_exitstatus.moc"
