// SPDX-License-Identifier: GPL-3.0-or-later
// The alert database under several writers at once, writers killed at any
// moment, and a disk that fills up: every row a writer reported is there
// once, and the database stays sound and its chain whole.
#include "history/core/AlertStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <csignal>
#include <sys/mount.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString writerPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/nx-alertstore-writer");
}

// The last "logged N" a writer printed: the rows it was told were committed.
int reported(const QByteArray &out)
{
    const QList<QByteArray> lines = out.split('\n');
    int n = 0;
    for (const QByteArray &l : lines)
        if (l.startsWith("logged "))
            n = l.mid(7).toInt();
    return n;
}

qint64 rowsOf(AlertStore &s, const QString &name)
{
    AlertQuery q;
    q.receivers = QStringList{name};
    QString error;
    return s.alerts(q, &error).size();
}

void checkSound(const QString &file)
{
    AlertStore s;
    QString error;
    QVERIFY2(s.open(file, false, &error), qPrintable(error));
    QVERIFY2(s.integrityOk(&error), qPrintable(error));
    QVERIFY2(s.verify(nullptr, &error), qPrintable(error));
}

} // namespace

class TestAlertStoreProcs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writersAtOnce();
    void killedWriters_data();
    void killedWriters();
    void fullDisk();
};

void TestAlertStoreProcs::initTestCase()
{
    if (!QFileInfo(writerPath()).isExecutable())
        QSKIP("nx-alertstore-writer is not built");
}

void TestAlertStoreProcs::writersAtOnce()
{
    // Two receivers and two monitors append at the same time, each row its
    // own transaction: every row lands once.
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("alerts.db"));
    const QStringList names{"north", "south", "monitor:hw:1", "monitor:hw:2"};
    const int each = 300;
    std::vector<std::unique_ptr<QProcess>> procs;
    for (const QString &n : names) {
        procs.push_back(std::make_unique<QProcess>());
        procs.back()->start(writerPath(), {db, n, QString::number(each)});
    }
    for (size_t i = 0; i < procs.size(); ++i) {
        QVERIFY(procs[i]->waitForFinished(120000));
        QVERIFY2(procs[i]->exitCode() == 0, procs[i]->readAllStandardError().constData());
        QCOMPARE(reported(procs[i]->readAllStandardOutput()), each);
    }
    AlertStore s;
    QString error;
    QVERIFY2(s.open(db, false, &error), qPrintable(error));
    for (const QString &n : names)
        QCOMPARE(rowsOf(s, n), each);
    QCOMPARE(s.alertCount(), names.size() * each);
    checkSound(db);
}

void TestAlertStoreProcs::killedWriters_data()
{
    QTest::addColumn<int>("killAfterMs");
    // A few moments in a writer's life: opening, its first rows, later.
    for (int ms : {5, 30, 80, 150, 300})
        QTest::newRow(qPrintable(QStringLiteral("after %1 ms").arg(ms))) << ms;
}

void TestAlertStoreProcs::killedWriters()
{
    QFETCH(int, killAfterMs);
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("alerts.db"));
    // Two writers, killed together: a kill may land inside a commit.
    QProcess a, b;
    a.start(writerPath(), {db, QStringLiteral("north"), QStringLiteral("100000")});
    b.start(writerPath(), {db, QStringLiteral("monitor:hw:1"), QStringLiteral("100000")});
    QVERIFY(a.waitForStarted() && b.waitForStarted());
    QTest::qWait(killAfterMs + int(QRandomGenerator::global()->bounded(20)));
    // A writer that has ended already has no id any more: kill(0) would
    // end this test's whole process group (the test runner with it).
    for (QProcess *p : {&a, &b})
        if (p->processId() > 0)
            ::kill(pid_t(p->processId()), SIGKILL);
    QVERIFY(a.waitForFinished() && b.waitForFinished());
    const int fromA = reported(a.readAllStandardOutput()), fromB = reported(b.readAllStandardOutput());
    if (!QFileInfo::exists(db))
        QSKIP("killed before the database was made");
    checkSound(db);
    AlertStore s;
    QString error;
    QVERIFY2(s.open(db, false, &error), qPrintable(error));
    // Every row reported was committed; at most the one in flight is more.
    QVERIFY2(rowsOf(s, "north") >= fromA && rowsOf(s, "north") <= fromA + 1,
             qPrintable(QStringLiteral("%1 rows, %2 reported").arg(rowsOf(s, "north")).arg(fromA)));
    QVERIFY2(rowsOf(s, "monitor:hw:1") >= fromB && rowsOf(s, "monitor:hw:1") <= fromB + 1,
             qPrintable(QStringLiteral("%1 rows, %2 reported").arg(rowsOf(s, "monitor:hw:1")).arg(fromB)));
    // And a new writer goes on where they stopped.
    QProcess c;
    c.start(writerPath(), {db, QStringLiteral("south"), QStringLiteral("5")});
    QVERIFY(c.waitForFinished(30000));
    QCOMPARE(c.exitCode(), 0);
    checkSound(db);
}

void TestAlertStoreProcs::fullDisk()
{
    // A small tmpfs when this runs as root; otherwise a file-size limit on
    // the writer, which fails its writes the same way at a size of our
    // choosing.
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(mountPoint));
    const bool mounted = ::geteuid() == 0
        && ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=256k") == 0;
    const QString db = (mounted ? mountPoint : dir.path()) + QStringLiteral("/alerts.db");
    QStringList args{db, QStringLiteral("north"), QStringLiteral("100000")};
    if (!mounted)
        args << QStringLiteral("262144");
    QProcess w;
    w.start(writerPath(), args);
    const bool ended = w.waitForFinished(120000);
    const QString err = QString::fromUtf8(w.readAllStandardError());
    const int fromW = reported(w.readAllStandardOutput());
    if (ended) {
        QCOMPARE(w.exitCode(), 1);
        if (mounted)
            QVERIFY2(err.contains(QLatin1String("No space left on device")), qPrintable(err));
        QVERIFY2(err.contains(db), qPrintable(err));
        QVERIFY(fromW > 0);
        checkSound(db);
        AlertStore s;
        QString error;
        QVERIFY2(s.open(db, false, &error), qPrintable(error));
        QCOMPARE(rowsOf(s, "north"), fromW);
    }
    if (mounted)
        ::umount(QFile::encodeName(mountPoint).constData());
    QVERIFY2(ended, "the writer did not stop at the full disk");
}

QTEST_GUILESS_MAIN(TestAlertStoreProcs)
#include "tst_alertstoreprocs.moc"
