// SPDX-License-Identifier: GPL-3.0-or-later
// The system seam (base/Platform.h) on real files, links, pipes and devices:
// what a name is, which names are one file, the lock every program sees,
// appends, whole-file reads that never wait on a pipe, and ending a child
// together with what it started.
#include "base/Platform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using Platform::FileStat;
using Platform::NativeFile;
using Platform::ReadOutcome;

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(data), data.size());
}

// Makes the name `what` stands for in `dir`; returns its path.
QString make(const QTemporaryDir &dir, const QString &what)
{
    const QString file = dir.filePath(QStringLiteral("file"));
    writeFile(file, "12345");
    const QString path = dir.filePath(what);
    if (what == QLatin1String("file"))
        return file;
    if (what == QLatin1String("folder"))
        QDir(dir.path()).mkdir(what);
    else if (what == QLatin1String("link-to-file"))
        QFile::link(file, path);
    else if (what == QLatin1String("link-to-nothing"))
        QFile::link(dir.filePath(QStringLiteral("gone")), path);
    else if (what == QLatin1String("fifo"))
        QProcess::execute(QStringLiteral("mkfifo"), {path});
    else if (what == QLatin1String("device"))
        return QStringLiteral("/dev/null");
    return path;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data();
    void kinds();
    void identity();
    void lockIsExclusive();
    void appendsLandAtTheEnd();
    void createAppendRefusesTakenNames_data();
    void createAppendRefusesTakenNames();
    void readRegularFile_data();
    void readRegularFile();
    void appendNoLinkRefusesLinks();
    void keepsPermissions();
    void killProcessTreeEndsGrandchildren();
    void childOutputToStderr();
};

void TestPlatform::kinds_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("statOk");
    QTest::addColumn<int>("statKind");
    QTest::addColumn<bool>("isLink");
    QTest::addColumn<qint64>("size");

    QTest::newRow("regular file") << "file" << true << int(PathKind::Regular) << false << qint64(5);
    QTest::newRow("folder") << "folder" << true << int(PathKind::Directory) << false << qint64(-1);
    QTest::newRow("nothing") << "missing" << false << int(PathKind::Missing) << false << qint64(-1);
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << "fifo" << true << int(PathKind::Fifo) << false << qint64(-1);
    QTest::newRow("character device") << "device" << true << int(PathKind::CharDevice) << false << qint64(-1);
    QTest::newRow("link to a file") << "link-to-file" << true << int(PathKind::Regular) << true << qint64(5);
    QTest::newRow("link to nothing") << "link-to-nothing" << false << int(PathKind::Missing) << true << qint64(-1);
#endif
}

void TestPlatform::kinds()
{
    QFETCH(QString, what);
    QFETCH(bool, statOk);
    QFETCH(int, statKind);
    QFETCH(bool, isLink);
    QFETCH(qint64, size);
    QTemporaryDir dir;
    const QString path = make(dir, what);

    const FileStat st = Platform::StatPath(path);
    QCOMPARE(st.ok, statOk);
    if (statOk) {
        QCOMPARE(int(st.kind), statKind);
        if (size >= 0)
            QCOMPARE(st.size, size);
    } else {
        QVERIFY2(Platform::IsMissingError(st.error), qPrintable(Platform::ErrorText(st.error)));
    }
    bool link = !isLink;
    const FileStat lst = Platform::LstatPath(path, &link);
    QCOMPARE(link, isLink);
    QCOMPARE(lst.ok, what != QLatin1String("missing"));
    if (isLink)
        QVERIFY(!Platform::ReadLink(path).isEmpty());
}

void TestPlatform::identity()
{
    QTemporaryDir dir;
    const QString file = make(dir, QStringLiteral("file"));
    const QString other = dir.filePath(QStringLiteral("other"));
    writeFile(other, "12345");
    const QString hard = dir.filePath(QStringLiteral("hard"));
    QVERIFY(Platform::HardLink(file, hard));

    const QString id = Platform::StatPath(file).identity;
    QVERIFY(!id.isEmpty());
    QCOMPARE(Platform::StatPath(hard).identity, id);
    QVERIFY(Platform::StatPath(other).identity != id);
    QVERIFY(Platform::StatPath(file).deviceNumber.isEmpty());
#ifdef Q_OS_UNIX
    const QString soft = make(dir, QStringLiteral("link-to-file"));
    QCOMPARE(Platform::StatPath(soft).identity, id);
    // A device is known by its number, whatever name leads to it.
    const QString devLink = dir.filePath(QStringLiteral("null"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), devLink));
    QCOMPARE(Platform::StatPath(devLink).deviceNumber, Platform::StatPath(QStringLiteral("/dev/null")).deviceNumber);
#else
    // A COM port is known by its name, however it is written.
    QCOMPARE(Platform::StatPath(QStringLiteral("\\\\.\\com3")).deviceNumber, QStringLiteral("COM3"));
    QCOMPARE(Platform::StatPath(QStringLiteral("COM3")).deviceNumber, QStringLiteral("COM3"));
#endif
    // The same on the open file as on its name.
    NativeFile f;
    QVERIFY(f.open(hard, NativeFile::Mode::Read));
    QCOMPARE(f.stat().identity, id);
}

void TestPlatform::lockIsExclusive()
{
    QTemporaryDir dir;
    const QString file = make(dir, QStringLiteral("file"));
    const QString hard = dir.filePath(QStringLiteral("hard"));
    QVERIFY(Platform::HardLink(file, hard));
    NativeFile first, second, reader;
    QVERIFY(first.open(file, NativeFile::Mode::Append));
#ifdef Q_OS_WIN
    // The lock is the name's (a file of its own beside it).
    QVERIFY(second.open(file, NativeFile::Mode::Append));
#else
    // Another open, by another name: the lock is the file's.
    QVERIFY(second.open(hard, NativeFile::Mode::Append));
#endif
    QCOMPARE(first.tryLock(), NativeFile::LockResult::Locked);
    QCOMPARE(second.tryLock(), NativeFile::LockResult::Busy);
    // Reading is not held up by the lock.
    char buffer[8];
    QVERIFY(reader.open(hard, NativeFile::Mode::Read));
    QCOMPARE(reader.readAt(buffer, 5, 0), qint64(5));
    first.close();   // closing frees it, as a crash would
    QCOMPARE(second.tryLock(), NativeFile::LockResult::Locked);
    second.unlock();
    QVERIFY(first.open(file, NativeFile::Mode::ReadWrite));
    QCOMPARE(first.tryLock(), NativeFile::LockResult::Locked);
}

void TestPlatform::appendsLandAtTheEnd()
{
    QTemporaryDir dir;
    const QString file = make(dir, QStringLiteral("file"));
    NativeFile a, b;
    QVERIFY(a.open(file, NativeFile::Mode::Append));
    QVERIFY(b.open(file, NativeFile::Mode::Append));
    QCOMPARE(a.write("ab", 2), qint64(2));
    QCOMPARE(b.write("cd", 2), qint64(2));
    QCOMPARE(a.write("ef", 2), qint64(2));
    QVERIFY(a.sync());
    QByteArray all(16, '\0');
    QCOMPARE(a.readAt(all.data(), all.size(), 0), qint64(11));
    QCOMPARE(all.left(11), QByteArray("12345abcdef"));
    QVERIFY(b.truncate(5));
    QCOMPARE(a.stat().size, qint64(5));
}

void TestPlatform::createAppendRefusesTakenNames_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("created");
    QTest::newRow("new name") << "missing" << true;
    QTest::newRow("existing file") << "file" << false;
#ifdef Q_OS_UNIX
    // A link to nowhere is not followed: nothing is made where it points.
    QTest::newRow("link to nothing") << "link-to-nothing" << false;
#endif
}

void TestPlatform::createAppendRefusesTakenNames()
{
    QFETCH(QString, what);
    QFETCH(bool, created);
    QTemporaryDir dir;
    const QString path = make(dir, what);
    NativeFile f;
    QCOMPARE(f.open(path, NativeFile::Mode::CreateAppend), created);
    if (!created)
        QVERIFY2(Platform::IsExistsError(f.error()), qPrintable(f.errorText()));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("gone"))));
}

void TestPlatform::readRegularFile_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("whole file") << "file" << qint64(5) << int(ReadOutcome::Ok) << QByteArray("12345");
    QTest::newRow("one byte over the limit") << "file" << qint64(4) << int(ReadOutcome::TooLarge) << QByteArray();
    QTest::newRow("nothing") << "missing" << qint64(100) << int(ReadOutcome::CannotOpen) << QByteArray();
#ifdef Q_OS_UNIX
    QTest::newRow("through a link") << "link-to-file" << qint64(100) << int(ReadOutcome::Ok) << QByteArray("12345");
    // A pipe without a writer would hold a blocking open for ever.
    QTest::newRow("named pipe") << "fifo" << qint64(100) << int(ReadOutcome::NotRegular) << QByteArray();
    QTest::newRow("device") << "device" << qint64(100) << int(ReadOutcome::NotRegular) << QByteArray();
    QTest::newRow("folder") << "folder" << qint64(100) << int(ReadOutcome::NotRegular) << QByteArray();
#endif
}

void TestPlatform::readRegularFile()
{
    QFETCH(QString, what);
    QFETCH(qint64, limit);
    QFETCH(int, result);
    QFETCH(QByteArray, data);
    QTemporaryDir dir;
    const QString path = make(dir, what);
    QByteArray got = "left over";
    const ReadOutcome out = Platform::ReadRegularFile(path, limit, &got);
    QCOMPARE(int(out.result), result);
    QCOMPARE(got, data);
    if (out.result == ReadOutcome::TooLarge)
        QVERIFY(out.size > limit);
    if (out.result == ReadOutcome::CannotOpen)
        QVERIFY(Platform::IsMissingError(out.error));
}

void TestPlatform::appendNoLinkRefusesLinks()
{
    QTemporaryDir dir;
    const QString file = make(dir, QStringLiteral("file"));
    NativeFile f;
    QVERIFY2(f.open(file, NativeFile::Mode::AppendNoLink), qPrintable(f.errorText()));
    QCOMPARE(f.write("6", 1), qint64(1));
    QCOMPARE(f.stat().size, qint64(6));
    f.close();
#ifdef Q_OS_UNIX
    // A link to a good file is refused all the same: nothing is written
    // through it.
    const QString link = dir.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(file, link));
    QVERIFY(!f.open(link, NativeFile::Mode::AppendNoLink));
    QVERIFY(!f.isOpen());
    QCOMPARE(Platform::StatPath(file).size, qint64(6));
#endif
}

void TestPlatform::keepsPermissions()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString file = make(dir, QStringLiteral("file"));
    const QString other = dir.filePath(QStringLiteral("other"));
    writeFile(other, "x");
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
    const FileStat st = Platform::StatPath(file);
    QCOMPARE(st.permissions, 0660u);
    Platform::KeepPermissions(other, st.permissions);
    QCOMPARE(Platform::StatPath(other).permissions, 0660u);
    NativeFile f;
    QVERIFY(f.open(other, NativeFile::Mode::Read));
    QCOMPARE(f.stat().permissions, 0660u);
#else
    QSKIP("no permission bits here");
#endif
}

void TestPlatform::killProcessTreeEndsGrandchildren()
{
#ifdef Q_OS_UNIX
    QVERIFY(!Platform::KillProcessTree(0));
    QVERIFY(!Platform::KillProcessTree(-1));
    // The grandchild holds a named pipe open for writing; the pipe reads
    // its end only when no process has it open any more, so the end shows
    // the grandchild is gone (not merely waiting to be reaped).
    QTemporaryDir dir;
    const QString fifo = make(dir, QStringLiteral("fifo"));
    NativeFile reader;
    QVERIFY2(reader.open(fifo, NativeFile::Mode::Read), qPrintable(reader.errorText()));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    Platform::OwnProcessGroup(child, /*outputToStderr*/ false);
    child.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("sleep 60 > \"$1\" & wait"),
                                            QStringLiteral("sh"), fifo});
    QVERIFY(child.waitForStarted());
    char byte;
    // Until the grandchild has opened it, the pipe has no writer: a read
    // finds its end. Then it has one that writes nothing: a read fails.
    QDeadlineTimer opened(10000);
    while (reader.read(&byte, 1) == 0 && !opened.hasExpired())
        QThread::msleep(10);
    QVERIFY2(!opened.hasExpired(), "the grandchild never opened the pipe");

    QVERIFY(Platform::KillProcessTree(child.processId()));
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QDeadlineTimer gone(10000);
    qint64 n = -1;
    while ((n = reader.read(&byte, 1)) < 0 && !gone.hasExpired())
        QThread::msleep(10);
    QVERIFY2(n == 0, "the grandchild still runs");
#else
    QSKIP("the child is a POSIX shell");
#endif
}

void TestPlatform::childOutputToStderr()
{
#ifdef Q_OS_UNIX
    QProcess child;
    Platform::OwnProcessGroup(child, /*outputToStderr*/ true);
    child.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo out; echo err >&2")});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.readAllStandardOutput(), QByteArray());
    QCOMPARE(child.readAllStandardError(), QByteArray("out\nerr\n"));
#else
    QSKIP("the child is a POSIX shell");
#endif
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
