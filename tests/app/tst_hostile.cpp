// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile things in place of every file the editor reads or replaces: a
// folder, a named pipe, devices, links to a device or to nothing, a file we
// may not read, a huge one, random bytes. Each case runs in a child process
// with a deadline, so a hang fails the case instead of the whole run; it
// must end by itself, refuse what is not a regular file with a message that
// names it, and leave such a thing exactly as it was. Then the command-line
// tool's conventions and its handling of an unusable settings store.
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "diagnostics/core/DumpListing.h"
#include "history/core/HistoryReport.h"
#include "base/PathCheck.h"
#include "base/SafeWrite.h"
#include "support/HostileServer.h"
#include "support/PtyPair.h"
#include "support/TestEnv.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>

#include <cerrno>
#include <functional>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace {

enum class Subject { Store, ParameterFile, HistorySave, DumpSave, AlertLog };
enum class Kind {
    Regular,
    Missing,
    Unreadable,
    Directory,
    Fifo,
    NullDevice,
    ZeroDevice,
    LinkToDevice,
    DanglingLink,
    Huge,
    Binary
};

constexpr uid_t Nobody = 65534;
constexpr int DeadlineMs = 20000;
constexpr int CannotDropPrivileges = 77;

// Anything but a regular (or missing) file must be refused by every writer.
bool notAFile(Kind k)
{
    switch (k) {
    case Kind::Directory:
    case Kind::Fifo:
    case Kind::NullDevice:
    case Kind::ZeroDevice:
    case Kind::LinkToDevice:
    case Kind::DanglingLink:
        return true;
    default:
        return false;
    }
}

bool expectRefused(Subject s, Kind k)
{
    // A file we may neither read nor write is not replaced either.
    if (notAFile(k) || k == Kind::Unreadable)
        return true;
    // The store is also refused when it is absurdly big: its settings would
    // otherwise be replaced by the defaults.
    return s == Subject::Store && k == Kind::Huge;
}

// Everything about a name that a careless writer would change.
struct Snapshot {
    bool exists = false;
    mode_t type = 0;
    ino_t ino = 0;
    dev_t rdev = 0;
    off_t size = 0;
    timespec mtime{};
    QByteArray link;
    bool targetExists = false;
    mode_t targetType = 0;
    ino_t targetIno = 0;
    dev_t targetRdev = 0;
    QStringList entries;

    static Snapshot of(const QString &path)
    {
        Snapshot s;
        const QByteArray name = QFile::encodeName(path);
        struct stat sb {};
        if (::lstat(name.constData(), &sb) != 0)
            return s;
        s.exists = true;
        s.type = sb.st_mode & S_IFMT;
        s.ino = sb.st_ino;
        s.rdev = sb.st_rdev;
        s.size = sb.st_size;
        s.mtime = sb.st_mtim;
        if (S_ISLNK(sb.st_mode)) {
            QByteArray raw(4096, '\0');
            const ssize_t n = ::readlink(name.constData(), raw.data(), size_t(raw.size()));
            s.link = raw.left(n > 0 ? n : 0);
        }
        if (::stat(name.constData(), &sb) == 0) {
            s.targetExists = true;
            s.targetType = sb.st_mode & S_IFMT;
            s.targetIno = sb.st_ino;
            s.targetRdev = sb.st_rdev;
            if (S_ISDIR(sb.st_mode))
                s.entries = QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        }
        return s;
    }

    bool operator==(const Snapshot &o) const
    {
        return exists == o.exists && type == o.type && ino == o.ino && rdev == o.rdev && size == o.size
            && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec && link == o.link
            && targetExists == o.targetExists && targetType == o.targetType && targetIno == o.targetIno
            && targetRdev == o.targetRdev && entries == o.entries;
    }
};

struct Outcome {
    bool ok = false;        // the operation reported success
    bool loaded = false;    // the parameter file was read
    QString messages;       // every sentence shown to the user
};

QByteArray encode(const Outcome &o)
{
    QByteArray b;
    QDataStream s(&b, QIODevice::WriteOnly);
    s << o.ok << o.loaded << o.messages;
    return b;
}

Outcome decode(const QByteArray &b)
{
    Outcome o;
    QDataStream s(b);
    s >> o.ok >> o.loaded >> o.messages;
    return o;
}

bool dropPrivileges()
{
    if (::geteuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(Nobody) == 0 && ::setuid(Nobody) == 0;
}

// Runs `body` in a child process (as "nobody" when `unprivileged` and we are
// root) and returns its outcome. A child that does not finish before the
// deadline is killed and reported as hung; one that dies is reported as a
// crash.
enum class ChildEnd { Finished, Hung, Crashed, Skipped };
ChildEnd inChild(bool unprivileged, const std::function<Outcome()> &body, Outcome *outcome)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return ChildEnd::Crashed;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (unprivileged && !dropPrivileges())
            ::_exit(CannotDropPrivileges);
        const QByteArray bytes = encode(body());
        qsizetype at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::write(fds[1], bytes.constData() + at, size_t(bytes.size() - at));
            if (n <= 0)
                break;
            at += n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray got;
    QDeadlineTimer deadline(DeadlineMs);
    bool hung = false;
    for (;;) {
        // Sleeps until the child writes, closes its end or the deadline passes.
        pollfd p{fds[0], POLLIN, 0};
        const int r = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (r == 0) {
            hung = true;
            break;
        }
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        char buf[4096];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    ::close(fds[0]);
    if (hung)
        ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (hung)
        return ChildEnd::Hung;
    if (WIFEXITED(status) && WEXITSTATUS(status) == CannotDropPrivileges)
        return ChildEnd::Skipped;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ChildEnd::Crashed;
    *outcome = decode(got);
    return ChildEnd::Finished;
}

QByteArray goodContents(Subject s)
{
    switch (s) {
    case Subject::Store:
        return "[Ports]\nPort1=/dev/ttyUSB0\n\n[TIMERS]\nPreVoiceAnnc=4\n";
    case Subject::ParameterFile: {
        AppContext ctx;
        LoadDefaultCoverage(ctx);
        return ParameterFile::format(ctx.FipEntries, ctx.EventSelection);
    }
    default:
        return "kept as it was\n";
    }
}

bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

bool makeDevice(const QString &path, unsigned minor)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, minor)) == 0;
}

// Puts a thing of kind `k` at `path` and returns the name the program is
// to use (a system device where this account cannot make one of its own).
QString prepare(const QTemporaryDir &dir, Subject s, Kind k, const QString &path)
{
    const bool root = ::geteuid() == 0;
    switch (k) {
    case Kind::Regular:
        writeBytes(path, goodContents(s));
        return path;
    case Kind::Missing:
        return path;
    case Kind::Unreadable:
        writeBytes(path, goodContents(s));
        QFile::setPermissions(path, QFileDevice::Permissions());
        // "nobody" must be able to reach the file and write beside it.
        ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
        return path;
    case Kind::Directory:
        QDir().mkpath(path);
        writeBytes(path + QStringLiteral("/inside.txt"), "keep");
        return path;
    case Kind::Fifo:
        ::mkfifo(QFile::encodeName(path).constData(), 0666);
        return path;
    case Kind::NullDevice:
        if (root && makeDevice(path, 3))
            return path;
        return QStringLiteral("/dev/null");
    case Kind::ZeroDevice:
        if (root && makeDevice(path, 5))
            return path;
        return QStringLiteral("/dev/zero");
    case Kind::LinkToDevice: {
        // A device that never runs dry: a reader that follows the link
        // without looking reads for ever.
        QString device = dir.filePath(QStringLiteral("private-zero"));
        if (!root || !makeDevice(device, 5))
            device = QStringLiteral("/dev/zero");
        QFile::link(device, path);
        return path;
    }
    case Kind::DanglingLink:
        QFile::link(dir.filePath(QStringLiteral("nowhere/at/all")), path);
        return path;
    case Kind::Huge: {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.resize(qint64(2) * 1024 * 1024 * 1024);   // sparse: costs no disk
        return path;
    }
    case Kind::Binary: {
        QByteArray junk(64 * 1024, '\0');
        QRandomGenerator gen(4400);
        gen.fillRange(reinterpret_cast<quint32 *>(junk.data()), junk.size() / 4);
        writeBytes(path, junk);
        return path;
    }
    }
    return path;
}

QString cliPath()
{
    return buildBinDir() + QStringLiteral("/nx4400c-cli");
}

struct CliRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs nx4400c-cli with a deadline; `unprivileged` runs it as "nobody" when
// we are root. `environment` entries with an empty value are removed.
CliRun runCli(const QStringList &args, const QString &workDir, const QMap<QString, QString> &environment,
              bool unprivileged = false)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    for (auto it = environment.begin(); it != environment.end(); ++it) {
        if (it.value().isEmpty())
            env.remove(it.key());
        else
            env.insert(it.key(), it.value());
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    if (unprivileged) {
        p.setChildProcessModifier([] {
            if (!dropPrivileges())
                ::_exit(CannotDropPrivileges);
        });
    }
    p.start(cliPath(), args);
    CliRun r;
    r.finished = p.waitForFinished(DeadlineMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const char *const subjectNames[] = {"settings store", "NX_4400C.DAT", "history save", "dump save", "alert log"};
const char *const kindNames[] = {"regular",       "missing",       "unreadable", "folder",
                                 "named pipe",    "null device",   "zero device", "link to a device",
                                 "dangling link", "huge (2 GiB)",  "binary"};

int g_survived = 0;

// What stands at the far end of a link case, or in place of a file it
// names.
enum class Far {
    None,
    Flood,            // a device server flooding Telnet negotiation, never reading
    FloodAfterAck,    // the same once it has answered "Z"
    Silent,           // a device server that never answers
    CloseAtOnce,      // a device server that hangs up at once
    Pty,              // a pty nobody answers on
    PtyHangsUp,       // a pty whose far end closes once "Z" came
    StaleLock,        // the same, with the lock file of a process that has ended
    ReadOnlyFolder,   // {DIR}/ro, which only root may write to
    StoreFifo,        // the settings store is a named pipe
    StoreFolder,      // ... a folder
    StoreReadOnly,    // ... a file only root may write to
};

// The far end of a pty that reads until "Z" comes (or the time is up) and
// then hangs up, as a receiver whose cable is pulled.
void hangUpAfterZ(PtyPair *pty)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000) {
        pollfd p{pty->master, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(pty->master, buf, sizeof buf);
        if (n > 0 && std::memchr(buf, 'Z', size_t(n)))
            break;
    }
    pty->closeMaster();
}

// A PID that no process has any more.
pid_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase();
    void matrix_data();
    void matrix();
    void boundedRead_data();
    void boundedRead();
    void cliConventions_data();
    void cliConventions();
    void unusableStoreStopsTheCli_data();
    void unusableStoreStopsTheCli();
    void noHomeWritesNothing();
    void alertLogEdges_data();
    void alertLogEdges();

    void linksAndServers_data();
    void linksAndServers();
};

void TestHostile::cleanupTestCase()
{
    // The figure the README quotes.
    qInfo("hostile inputs tried and survived: %d", g_survived);
}

void TestHostile::matrix_data()
{
    QTest::addColumn<int>("subject");
    QTest::addColumn<int>("kind");
    for (int s = 0; s <= int(Subject::AlertLog); ++s)
        for (int k = 0; k <= int(Kind::Binary); ++k)
            QTest::addRow("%s, %s", subjectNames[s], kindNames[k]) << s << k;
}

void TestHostile::matrix()
{
    QFETCH(int, subject);
    QFETCH(int, kind);
    const Subject s = Subject(subject);
    const Kind k = Kind(kind);
    const bool refused = expectRefused(s, k);

    TestEnv env;
    const QString given = env.path(s == Subject::Store           ? QStringLiteral("NX4400C.ini")
                                   : s == Subject::ParameterFile ? QStringLiteral("NX_4400C.DAT")
                                   : s == Subject::HistorySave   ? QStringLiteral("History.TXT")
                                   : s == Subject::DumpSave      ? QStringLiteral("NX_DUMP.TXT")
                                                                 : QStringLiteral("alerts.csv"));
    const QString path = prepare(env.dir, s, k, given);
    const Snapshot before = Snapshot::of(path);
    const bool unprivileged = k == Kind::Unreadable;
    if (unprivileged && ::geteuid() != 0) {
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("this account reads files regardless of their permissions");
    }

    Outcome o;
    if (s == Subject::AlertLog) {
        // The command line checks the log before it programs the receiver;
        // with no parameter file in the folder an accepted log ends the run
        // at that file instead, before any receiver is looked for.
        const CliRun r = runCli({QStringLiteral("transfer"), QStringLiteral("--csv"), path}, env.dir.path(),
                                {{QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("cfg"))}},
                                unprivileged);
        if (r.exitCode == CannotDropPrivileges)
            QSKIP("cannot run as another account here");
        QVERIFY2(r.finished, "nx4400c-cli hung");
        QVERIFY2(r.exitCode == 1, qPrintable(r.err));
        o.ok = !r.err.contains(QLatin1String("alert log"));
        o.messages = r.err;
        if (!refused)
            QVERIFY2(r.err.contains(QLatin1String("NX_4400C.DAT")), qPrintable(r.err));
    } else {
        const std::function<Outcome()> body = [&]() {
            Outcome out;
            AppContext &ctx = *env.ctx;
            QString why;
            switch (s) {
            case Subject::Store: {
                ctx.settingsPath = path;
                QString problem;
                const bool loaded = LoadConfiguration(ctx, ctx.config, &problem);
                out.ok = SaveConfiguration(ctx, ctx.config, &why) && loaded;
                out.messages = problem + QLatin1Char('\n') + why;
                break;
            }
            case Subject::ParameterFile: {
                ctx.parameterFilePath = path;
                env.prompter.answers << Prompter::Button::No;
                out.loaded = LoadParameterFile(ctx, ctx);
                SaveParameterFile(ctx, ctx);
                out.ok = env.endRequests == 0;
                out.messages = env.view.statusLog.join(QLatin1Char('\n'));
                break;
            }
            case Subject::HistorySave:
                out.ok = SaveHistoryFile(ctx.HistoryRows, ctx.clock().date(), path, &why);
                out.messages = why;
                break;
            case Subject::DumpSave:
                ctx.dumpFilePath = path;
                out.ok = SaveDumpFile(ctx, ctx.config, QStringLiteral("RAW Data Dump..Please wait\r\n"), &why);
                out.messages = why;
                break;
            case Subject::AlertLog:
                break;
            }
            return out;
        };
        switch (inChild(unprivileged, body, &o)) {
        case ChildEnd::Hung: QFAIL("the operation hung"); break;
        case ChildEnd::Crashed: QFAIL("the operation crashed"); break;
        case ChildEnd::Skipped: QSKIP("cannot run as another account here"); break;
        case ChildEnd::Finished: break;
        }
    }

    if (refused) {
        QVERIFY2(!o.ok, qPrintable(o.messages));
        QVERIFY2(o.messages.contains(QDir::toNativeSeparators(path)), qPrintable(o.messages));
    } else {
        QVERIFY2(o.ok, qPrintable(o.messages));
    }
    if (s == Subject::ParameterFile)
        QCOMPARE(o.loaded, k == Kind::Regular);
    // What is not a regular file is left exactly as it was; so is a refused
    // store or log, and the log that a failed run never reached.
    if (refused || s == Subject::AlertLog)
        QVERIFY(Snapshot::of(path) == before);
    struct stat devNull {};
    QVERIFY(::stat("/dev/null", &devNull) == 0 && S_ISCHR(devNull.st_mode));
    ++g_survived;
}

void TestHostile::boundedRead_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("read");
    QTest::newRow("empty") << qint64(0) << true;
    QTest::newRow("at the limit") << MaxInputFileBytes << true;
    QTest::newRow("one byte over") << MaxInputFileBytes + 1 << false;
}

void TestHostile::boundedRead()
{
    // A file at the limit is read whole; one byte more and it is refused,
    // never cut short (a cut-off store or parameter file reads as damaged).
    QFETCH(qint64, size);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input"));
    QVERIFY(writeBytes(path, QByteArray(qsizetype(size), 'x')));
    QByteArray data;
    QString why;
    QCOMPARE(ReadFileBounded(path, MaxInputFileBytes, &data, &why), read);
    QCOMPARE(data.size(), read ? size : 0);
    if (!read)
        QVERIFY2(why.contains(path), qPrintable(why));
}

void TestHostile::cliConventions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");   // a pattern standard output must match
    QTest::addColumn<QString>("err");   // a pattern standard error must match
    const QString none = QStringLiteral("^$");
    const QString usage = QStringLiteral("usage: nx4400c-cli");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << none;
    QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << none;
    QTest::newRow("help after a command") << QStringList{"ports", "set", "-h"} << 0 << usage << none;
    QTest::newRow("transfer --help") << QStringList{"transfer", "--help"} << 0 << usage << none;
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QStringLiteral("^nx4400c-cli \\d+\\.\\d+\\.\\d+\\n$")
                               << none;
    QTest::newRow("no command") << QStringList{} << 2 << none << usage;
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << none << usage;
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << none << QStringLiteral("--frobnicate(.|\\n)*usage");
    QTest::newRow("unknown transfer option") << QStringList{"transfer", "-x"} << 2 << none << usage;
    QTest::newRow("unknown sounds option") << QStringList{"sounds", "--wav"} << 2 << none << usage;
    QTest::newRow("--csv=") << QStringList{"transfer", "--csv="} << 2 << none << QStringLiteral("empty");
    QTest::newRow("--csv \"\"") << QStringList{"transfer", "--csv", ""} << 2 << none << QStringLiteral("empty");
    // Standard output is a pipe here, as in "nx4400c-cli transfer --csv
    // /dev/stdout | cat": refused before the receiver is programmed.
    QTest::newRow("--csv /dev/stdout into a pipe") << QStringList{"transfer", "--csv", "/dev/stdout"} << 1 << none
                                                   << QStringLiteral("^transfer: alert log /dev/stdout .*named pipe");
    QTest::newRow("--csv without a name") << QStringList{"transfer", "--csv"} << 2 << none << QStringLiteral("--csv");
}

void TestHostile::cliConventions()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    if (!QFileInfo(cliPath()).isExecutable())
        QSKIP("nx4400c-cli is not built");
    QTemporaryDir dir;
    const CliRun r = runCli(args, dir.path(), {{QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg"))}});
    QVERIFY(r.finished);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(QRegularExpression(out).match(r.out).hasMatch(), qPrintable(r.out));
    QVERIFY2(QRegularExpression(err).match(r.err).hasMatch(), qPrintable(r.err));
    // Nothing was made: no log, no settings store.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestHostile::unusableStoreStopsTheCli_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("args");
    const QStringList transfer{"transfer"};
    const QStringList list{"ports"};
    const QStringList set{"ports", "set", "1", "/dev/ttyUSB7"};
    for (Kind k : {Kind::Unreadable, Kind::Fifo, Kind::NullDevice, Kind::LinkToDevice, Kind::Directory}) {
        QTest::addRow("transfer, %s", kindNames[int(k)]) << int(k) << transfer;
        QTest::addRow("ports, %s", kindNames[int(k)]) << int(k) << list;
        QTest::addRow("ports set, %s", kindNames[int(k)]) << int(k) << set;
    }
}

void TestHostile::unusableStoreStopsTheCli()
{
    // The receiver would get factory defaults instead of the user's
    // settings: the run stops before anything is sent, as it does without a
    // parameter file, and names the store. "ports" lists the defaults and
    // says why; "ports set" leaves the store alone. None of them waits on a
    // pipe.
    QFETCH(int, kind);
    QFETCH(QStringList, args);
    if (!QFileInfo(cliPath()).isExecutable())
        QSKIP("nx4400c-cli is not built");
    const Kind k = Kind(kind);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("cfg/NX4400C"))));
    const QString store = prepare(dir, Subject::Store, k, dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")));
    if (k == Kind::Unreadable)
        ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("cfg/NX4400C"))).constData(), 0777);
    const Snapshot before = Snapshot::of(store);
    if (k == Kind::NullDevice && store != dir.filePath(QStringLiteral("cfg/NX4400C/NX4400C.ini")))
        QSKIP("this account cannot make a device of its own");
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("NX_4400C.DAT")), goodContents(Subject::ParameterFile)));

    const CliRun r = runCli(args, dir.path(), {{QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg"))}},
                            k == Kind::Unreadable);
    if (r.exitCode == CannotDropPrivileges)
        QSKIP("cannot run as another account here");
    QVERIFY2(r.finished, "nx4400c-cli hung");
    QVERIFY2(r.exitCode == 1, qPrintable(r.err));
    QVERIFY2(r.err.contains(store), qPrintable(r.err));
    if (args.first() == QLatin1String("transfer")) {
        QVERIFY2(r.err.contains(QLatin1String("nothing was sent")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
    if (args == QStringList{"ports"})
        QVERIFY(r.out.contains(QLatin1String("Port numbers:")));
    QVERIFY(Snapshot::of(store) == before);
    ++g_survived;
}

void TestHostile::noHomeWritesNothing()
{
    // Without HOME (and XDG_CONFIG_HOME) QSettings would put the store in
    // "/.config". The tool says which variable is missing and writes nothing.
    if (!QFileInfo(cliPath()).isExecutable())
        QSKIP("nx4400c-cli is not built");
    if (QFileInfo::exists(QStringLiteral("/.config")))
        QSKIP("/.config exists already on this machine");
    QTemporaryDir dir;
    const QMap<QString, QString> noHome{{QStringLiteral("HOME"), QString()},
                                        {QStringLiteral("XDG_CONFIG_HOME"), QString()}};
    for (const QStringList &args : {QStringList{"ports", "set", "2", "/dev/ttyUSB0"}, QStringList{"ports"},
                                    QStringList{"transfer"}}) {
        const CliRun r = runCli(args, dir.path(), noHome);
        QVERIFY(r.finished);
        QVERIFY2(r.exitCode == 1, qPrintable(r.err));
        QVERIFY2(r.err.contains(QLatin1String("HOME")), qPrintable(r.err));
        if (QFileInfo::exists(QStringLiteral("/.config"))) {
            QDir(QStringLiteral("/.config")).removeRecursively();   // made by this run just now
            QFAIL("the settings store was written under /.config");
        }
        ++g_survived;
    }
}

void TestHostile::alertLogEdges_data()
{
    // A log as a crash, an older version or a hand edit left it, and a
    // command on it ("LOG" stands for its path). The log must never be
    // rewritten by reading or appending.
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");   // a pattern standard output must match
    QTest::addColumn<QString>("err");   // a pattern standard error must match
    QTest::addColumn<bool>("unchanged");
    const QByteArray h7 = "LocalDateTime,Originator,EventCode,EventName,Class,Length,Receiver\n";
    const QByteArray h6 = "LocalDateTime,Originator,EventCode,EventName,Class,Length\n";
    const QByteArray rwt = "2026-03-04T10:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15";
    const QByteArray torn = "2026-03-06T14:05:00-05:00,WXR,TOR,Tornado Warning,Warning,00:3";
    const QStringList audit{"log", "audit", "--from", "2026-03-01", "--to", "2026-03-07", "--csv", "LOG"};
    const QString noTornado = QStringLiteral("^(?!(.|\\n)*Tornado)");
    // Item 4: a torn last row is no alert, and says so.
    QTest::newRow("torn row, show") << h7 + rwt + ",Roof\n" + torn << QStringList{"log", "show", "--csv", "LOG"} << 0
                                    << noTornado << "LOG: 1 row\\(s\\) cut off" << true;
    QTest::newRow("torn row, json") << h7 + rwt + ",Roof\n" + torn << QStringList{"log", "show", "--json", "--csv", "LOG"}
                                    << 0 << noTornado << "cut off" << true;
    // (Roof's first row is of 4 March: it owes no monthly test for March.)
    QTest::newRow("torn row, audit") << h7 + rwt + ",Roof\n" + torn << audit << 0
                                     << "Receiver Roof: ok \\(owes tests from its first row, 2026-03-04\\)\\n  Weeks [^\\n]*: 0 of 1"
                                     << "cut off" << true;
    // Item 5: one layout; an old log is upgraded on request, never silently.
    QTest::newRow("batch into a six-column log") << h6 + rwt + '\n'
        << QStringList{"transfer", "--device", "/dev/ttyUSB7", "--device", "/dev/ttyUSB8", "--csv", "LOG"} << 1
        << "^$" << "nx4400c-cli log upgrade LOG --receiver NAME" << true;
    QTest::newRow("upgrade a six-column log") << h6 + rwt + '\n' + torn
        << QStringList{"log", "upgrade", "LOG", "--receiver", "/dev/ttyUSB0"} << 0 << "kept as LOG.bak" << "^$" << false;
    QTest::newRow("upgrade a folder") << QByteArray() << QStringList{"log", "upgrade", ".", "--receiver", "x"} << 1
                                      << "^$" << "folder" << true;
    // Item 6: dates at the edges, named.
    QTest::newRow("row of year -001") << h7 + "-001-01-01T10:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15,Roof\n"
                                      << QStringList{"log", "show", "--csv", "LOG"} << 0 << "^LocalDateTime[^\\n]*\\n$"
                                      << "line 2: \"-001-01-01T10:00:00-05:00\" is not a date" << true;
    QTest::newRow("date-only row") << h7 + "2026-01-01,WXR,RWT,Required Weekly Test,Other,00:15,Roof\n"
                                   << QStringList{"log", "show", "--csv", "LOG"} << 0 << "^LocalDateTime[^\\n]*\\n$"
                                   << "line 2: \"2026-01-01\"" << true;
    QTest::newRow("audit from year 1") << h7 << QStringList{"log", "audit", "--from", "0001-01-01", "--csv", "LOG"} << 2
                                       << "^$" << "--from: the year of 0001-01-01 is not between 1900 and 9999" << true;
    QTest::newRow("show --from after --to") << h7 << QStringList{"log", "show", "--from", "2026-03-02", "--to", "2026-03-01", "--csv", "LOG"}
                                            << 2 << "^$" << "--from is after --to" << true;
}

void TestHostile::alertLogEdges()
{
    QFETCH(QByteArray, log);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, unchanged);
    if (!QFileInfo(cliPath()).isExecutable())
        QSKIP("nx4400c-cli is not built");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alerts.csv"));
    if (!log.isEmpty())
        QVERIFY(writeBytes(path, log));
    for (QString &a : args)
        a.replace(QLatin1String("LOG"), path);
    const CliRun r = runCli(args, dir.path(), {{QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg"))}});
    QVERIFY2(r.finished, "nx4400c-cli hung");
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
    out.replace(QLatin1String("LOG"), QRegularExpression::escape(path));
    err.replace(QLatin1String("LOG"), QRegularExpression::escape(path));
    QVERIFY2(QRegularExpression(out).match(r.out).hasMatch(), qPrintable(r.out));
    QVERIFY2(QRegularExpression(err).match(r.err).hasMatch(), qPrintable(r.err));
    QFile f(path);
    const QByteArray now = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    QCOMPARE(now == log, unchanged);
}

void TestHostile::linksAndServers_data()
{
    // A device server or a line that misbehaves, one receiver under two
    // names, addresses at the edges, targets checked before anything is
    // sent. In args and patterns {P} is the server's port, {PTY} the pty,
    // {DIR} the working folder, {STORE} the settings store.
    QTest::addColumn<int>("far");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");       // standard error must match
    QTest::addColumn<QString>("trace");     // {DIR}/trace.txt must match (when given)
    QTest::addColumn<int>("minMs");         // the run takes at least this long
    const QStringList t{"transfer"};
    const QString notTaking = QStringLiteral("127\\.0\\.0\\.1:{P} ended: the device server takes none of the bytes");
    const QString oneReceiver = QStringLiteral("\\(entry 1\\) and .* \\(entry 2\\) are one receiver.*nothing was sent");
    auto row = [](const char *name, Far far, const QStringList &args, int exitCode, const QString &err,
                  const QString &trace = QString(), int minMs = 0) {
        QTest::newRow(name) << int(far) << args << exitCode << err << trace << minMs;
    };
    row("telnet flood from the start, never read", Far::Flood, t + QStringList{"--device", "rfc2217://127.0.0.1:{P}"}, 1, notTaking);
    row("telnet flood after the ACK, never read", Far::FloodAfterAck, t + QStringList{"--device", "rfc2217://127.0.0.1:{P}"}, 1, notTaking);
    row("one server as address and as name", Far::Silent,
        t + QStringList{"--device", "tcp://127.0.0.1:{P}", "--device", "tcp://localhost:{P}"}, 2,
        QStringLiteral("tcp://127\\.0\\.0\\.1:{P} ") + oneReceiver);
    row("one server with and without a slash", Far::Silent,
        t + QStringList{"--device", "tcp://127.0.0.1:{P}", "--device", "tcp://127.0.0.1:{P}/"}, 2, oneReceiver);
    row("one server over rfc2217 and raw tcp", Far::Silent,
        t + QStringList{"--device", "rfc2217://127.0.0.1:{P}", "--device", "tcp://127.0.0.1:{P}"}, 2, oneReceiver);
    row("a pty and a link to it", Far::Pty, t + QStringList{"--device", "{PTY}", "--device", "{DIR}/by-id-link"}, 2,
        oneReceiver);
    row("a pty and the pty with a doubled slash", Far::Pty,
        t + QStringList{"--device", "{PTY}", "--device", "{PTYDOUBLE}"}, 2, oneReceiver);
    row("port with leading zeros", Far::CloseAtOnce, t + QStringList{"--device", "tcp://127.0.0.1:000{P}"}, 1,
        QStringLiteral("127\\.0\\.0\\.1:{P}"));
    row("ipv6 literal of 19 groups", Far::None,
        t + QStringList{"--device", "tcp://[1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16:17:18:19]:2000"}, 2,
        QStringLiteral("IPv6 address .* is malformed"));
    row("link-local ipv6 with its zone", Far::None, {"ports", "set", "2", "tcp://[fe80::1%lo]:2000"}, 0, QStringLiteral("^$"));
    row("connect limit is not cut short", Far::Silent, t + QStringList{"--device", "rfc2217://127.0.0.1:{P}"}, 1,
        QStringLiteral("did not confirm the line settings within 5 s"), QString(), 5000);
    row("trace into a missing folder", Far::Pty, t + QStringList{"--device", "{PTY}", "--trace", "{DIR}/nowhere/trace.txt"}, 1,
        QStringLiteral("^transfer: trace {DIR}/nowhere/trace\\.txt cannot be written: {DIR}/nowhere does not exist"));
    row("trace into a read-only folder", Far::ReadOnlyFolder, t + QStringList{"--device", "{PTY}", "--trace", "{DIR}/ro/trace.txt"}, 1,
        QStringLiteral("^transfer: trace {DIR}/ro/trace\\.txt cannot be written in {DIR}/ro \\(Permission denied\\)"));
    row("profile load onto a named pipe", Far::StoreFifo, {"profile", "load", "{DIR}/site.profile"}, 1,
        QStringLiteral("^profile load: The settings store {STORE} is a named pipe"));
    row("profile load onto a folder", Far::StoreFolder, {"profile", "load", "{DIR}/site.profile"}, 1,
        QStringLiteral("^profile load: The settings store {STORE} is a folder"));
    row("profile load onto a read-only store", Far::StoreReadOnly, {"profile", "load", "{DIR}/site.profile"}, 1,
        QStringLiteral("^profile load: The settings store {STORE} cannot be written \\(Permission denied\\)"));
    row("the far end closes the line", Far::PtyHangsUp, t + QStringList{"--device", "{PTY}"}, 1,
        QStringLiteral("the device closed the line"));
    row("stale lock of an ended process", Far::StaleLock, t + QStringList{"--device", "{PTY}", "--trace", "{DIR}/trace.txt"}, 1,
        QStringLiteral("the device closed the line"), QStringLiteral("removed the stale lock /\\S+/LCK\\.\\.pts_\\d+ left by PID \\d+, which has ended"));
}

void TestHostile::linksAndServers()
{
    QFETCH(int, far);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    QFETCH(QString, trace);
    QFETCH(int, minMs);
    if (!QFileInfo(cliPath()).isExecutable())
        QSKIP("nx4400c-cli is not built");
    const Far f = Far(far);
    TestEnv env;
    const QString dir = env.dir.path();
    const QString cfg = env.path(QStringLiteral("cfg"));
    const QString store = cfg + QStringLiteral("/NX4400C/NX4400C.ini");
    QVERIFY(QDir().mkpath(cfg + QStringLiteral("/NX4400C")));
    QVERIFY(writeBytes(env.path(QStringLiteral("NX_4400C.DAT")), goodContents(Subject::ParameterFile)));
    const QMap<QString, QString> home{{QStringLiteral("XDG_CONFIG_HOME"), cfg}};

    std::unique_ptr<HostileServer> server;
    const QMap<Far, HostileServer::Mode> modes{{Far::Flood, HostileServer::Mode::Flood},
                                               {Far::FloodAfterAck, HostileServer::Mode::FloodAfterAck},
                                               {Far::Silent, HostileServer::Mode::Silent},
                                               {Far::CloseAtOnce, HostileServer::Mode::CloseAtOnce}};
    if (modes.contains(f)) {
        server = std::make_unique<HostileServer>(modes.value(f));
        QVERIFY(server->port() > 0);
    }
    PtyPair pty;
    QVERIFY(!pty.slave.isEmpty());
    QVERIFY(QFile::link(pty.slave, env.path(QStringLiteral("by-id-link"))));
    std::thread farEnd;
    const auto joinFarEnd = qScopeGuard([&] {
        if (farEnd.joinable())
            farEnd.join();
    });
    QString lockFile;
    bool unprivileged = false;
    switch (f) {
    case Far::StaleLock:
        lockFile = QStringLiteral("/run/lock/LCK..") + pty.slave.mid(5).replace(u'/', u'_');
        if (QFileInfo::exists(lockFile) || !writeBytes(lockFile, QByteArray::number(endedPid()) + "\nnx4400c-cli\n\n"))
            QSKIP("cannot make a lock file in /run/lock here");
        farEnd = std::thread(hangUpAfterZ, &pty);
        break;
    case Far::PtyHangsUp:
        farEnd = std::thread(hangUpAfterZ, &pty);
        break;
    case Far::ReadOnlyFolder:
        QVERIFY(QDir().mkpath(env.path(QStringLiteral("ro"))));
        ::chmod(QFile::encodeName(env.path(QStringLiteral("ro"))).constData(), 0555);
        unprivileged = true;
        break;
    case Far::StoreFifo:
    case Far::StoreFolder:
    case Far::StoreReadOnly: {
        const CliRun saved = runCli({QStringLiteral("profile"), QStringLiteral("save"), env.path(QStringLiteral("site.profile"))},
                                    dir, home);
        QVERIFY2(saved.exitCode == 0, qPrintable(saved.err));
        QFile::remove(store);
        if (f == Far::StoreFifo)
            QVERIFY(::mkfifo(QFile::encodeName(store).constData(), 0666) == 0);
        else if (f == Far::StoreFolder)
            QVERIFY(QDir().mkpath(store));
        else
            QVERIFY(writeBytes(store, goodContents(Subject::Store)) && ::chmod(QFile::encodeName(store).constData(), 0444) == 0);
        unprivileged = f == Far::StoreReadOnly;
        break;
    }
    default:
        break;
    }
    if (unprivileged) {
        for (const QString &d : {dir, cfg, cfg + QStringLiteral("/NX4400C")})
            ::chmod(QFile::encodeName(d).constData(), 0777);
        if (::geteuid() != 0)
            QSKIP("only root can make a folder this account may not write to");
    }
    const Snapshot storeBefore = Snapshot::of(store);

    auto fill = [&](QString text, bool pattern) {
        const QString port = server ? QString::number(server->port()) : QString();
        const auto q = [pattern](const QString &v) { return pattern ? QRegularExpression::escape(v) : v; };
        QString doubled = pty.slave;
        doubled.replace(QLatin1String("/dev/"), QLatin1String("/dev//"));
        return text.replace(QLatin1String("{P}"), port).replace(QLatin1String("{PTYDOUBLE}"), q(doubled))
            .replace(QLatin1String("{PTY}"), q(pty.slave)).replace(QLatin1String("{DIR}"), q(dir))
            .replace(QLatin1String("{STORE}"), q(store));
    };
    for (QString &a : args)
        a = fill(a, false);
    QElapsedTimer took;
    took.start();
    const CliRun r = runCli(args, dir, home, unprivileged);
    const qint64 ms = took.elapsed();
    if (!lockFile.isEmpty() && QFileInfo::exists(lockFile)) {
        QFile::remove(lockFile);
        QFAIL("the stale lock is still there");
    }
    if (r.exitCode == CannotDropPrivileges)
        QSKIP("cannot run as another account here");
    QVERIFY2(r.finished, "nx4400c-cli hung");
    QVERIFY2(r.exitCode == exitCode, qPrintable(QStringLiteral("exit %1: %2").arg(r.exitCode).arg(r.err)));
    QVERIFY2(QRegularExpression(fill(err, true)).match(r.err).hasMatch(), qPrintable(r.err));
    QVERIFY2(!r.err.contains(QLatin1String("Inappropriate ioctl")), qPrintable(r.err));
    QVERIFY2(ms >= minMs, qPrintable(QString::number(ms)));
    if (!trace.isEmpty()) {
        QFile tf(env.path(QStringLiteral("trace.txt")));
        QVERIFY(tf.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(tf.readAll());
        QVERIFY2(QRegularExpression(fill(trace, true)).match(text).hasMatch(), qPrintable(text));
    }
    // Refused before anything was sent: no connection, not a byte on the line.
    if (exitCode == 2 || err.startsWith(QLatin1String("^transfer: trace"))) {
        if (server)
            QCOMPARE(server->connections(), 0);
        if (pty.master >= 0)
            QCOMPARE(pty.receive(1, 200), QByteArray());
    }
    // A refused store is left as it was.
    if (f == Far::StoreFifo || f == Far::StoreFolder || f == Far::StoreReadOnly)
        QVERIFY(Snapshot::of(store) == storeBefore);
    ++g_survived;
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
