// SPDX-License-Identifier: GPL-3.0-or-later
// Every file the editor replaces (the settings store, "NX_4400C.DAT", a saved
// history file and "NX_DUMP.TXT") survives whole when the disk fills up
// during the write, when the folder cannot be written, and when the program
// dies in the middle of writing.
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "diagnostics/core/DumpListing.h"
#include "history/core/HistoryReport.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class Target { Settings, ParameterFile, HistoryFile, DumpFile };

QString pathOf(const TestEnv &env, Target t)
{
    switch (t) {
    case Target::Settings: return env.ctx->settingsPath;
    case Target::ParameterFile: return env.ctx->parameterFilePath;
    case Target::HistoryFile: return env.path(QStringLiteral("History.TXT"));
    case Target::DumpFile: return env.ctx->dumpFilePath;
    }
    return {};
}

// Fills the program with enough data that every file is a few KiB long.
void fill(AppContext &ctx, const QString &tag)
{
    LoadConfiguration(ctx, ctx.config);
    ctx.config.TransmitterLocation = tag;
    ctx.config.UserStationID = QStringLiteral("KQ7");
    for (int i = 0; i < 99; ++i)
        ctx.FipEntries[i] = QStringLiteral("X 0120%1  %2 County                Florida").arg(i % 10).arg(tag);
    for (int i = 0; i < 24; ++i)
        ctx.EventSelection[i] = QStringLiteral("TOR");
    for (int r = 0; r < 40; ++r) {
        ctx.HistoryRows[r].Date = QStringLiteral("6-March");
        ctx.HistoryRows[r].Time = QStringLiteral("09:30");
        ctx.HistoryRows[r].Org = QStringLiteral("WXR");
        ctx.HistoryRows[r].Event = tag;
        ctx.HistoryRows[r].Length = QStringLiteral("00:30");
    }
}

// Writes the target the way the program does; false when it said it failed.
bool save(TestEnv &env, Target t)
{
    AppContext &ctx = *env.ctx;
    switch (t) {
    case Target::Settings: return SaveConfiguration(ctx, ctx.config);
    case Target::ParameterFile: {
        const int before = env.endRequests;
        SaveParameterFile(ctx, ctx);
        return env.endRequests == before;   // a failure ends the program with message 108
    }
    case Target::HistoryFile: return SaveHistoryFile(ctx.HistoryRows, ctx.clock().date(), pathOf(env, t));
    case Target::DumpFile: return SaveDumpFile(ctx, ctx.config, QStringLiteral("RAW Data Dump..Please wait\r\n") + ctx.config.TransmitterLocation);
    }
    return false;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs `body` in a child process whose files may grow to `limit` bytes at
// most. With `dieAtLimit` the child is killed by SIGXFSZ at the first write
// past the limit, as a crash in the middle of a write would; otherwise the
// write fails with EFBIG, as on a full disk. Returns the child's exit code, or
// 128 + the signal that ended it.
int inChild(rlim_t limit, bool dieAtLimit, const std::function<bool()> &body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, dieAtLimit ? SIG_DFL : SIG_IGN);
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

} // namespace

class TestDiskFaults : public QObject
{
    Q_OBJECT

private slots:
    void previousFileSurvives_data();
    void previousFileSurvives();
    void unwritableFolder_data();
    void unwritableFolder();
};

void TestDiskFaults::previousFileSurvives_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("interrupted");
    const struct {
        const char *name;
        Target t;
    } targets[] = {{"settings store", Target::Settings},
                   {"NX_4400C.DAT", Target::ParameterFile},
                   {"history file", Target::HistoryFile},
                   {"NX_DUMP.TXT", Target::DumpFile}};
    for (const auto &t : targets) {
        QTest::addRow("%s, disk full", t.name) << int(t.t) << false;
        QTest::addRow("%s, killed mid-write", t.name) << int(t.t) << true;
    }
}

void TestDiskFaults::previousFileSurvives()
{
    QFETCH(int, target);
    QFETCH(bool, interrupted);
    const Target t = Target(target);
    TestEnv env;
    fill(*env.ctx, QStringLiteral("Old"));
    QVERIFY(save(env, t));
    const QString path = pathOf(env, t);
    const QByteArray before = readAll(path);
    QVERIFY(before.size() > 600);

    // The new contents are larger than the limit allows.
    fill(*env.ctx, QStringLiteral("New and longer"));
    const int rc = inChild(300, interrupted, [&] { return save(env, t); });
    if (interrupted)
        QCOMPARE(rc, 128 + SIGXFSZ);
    else
        QCOMPARE(rc, 1);   // the failure was reported, not taken for success
    QCOMPARE(readAll(path), before);

    // With room again, the same save goes through.
    QVERIFY(save(env, t));
    QVERIFY(readAll(path).contains("New and longer"));
}

void TestDiskFaults::unwritableFolder_data()
{
    previousFileSurvives_data();
}

void TestDiskFaults::unwritableFolder()
{
    QFETCH(int, target);
    QFETCH(bool, interrupted);
    if (interrupted)
        QSKIP("one case per file is enough here");
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders; the disk-full cases cover the failure");
    const Target t = Target(target);
    TestEnv env;
    fill(*env.ctx, QStringLiteral("Old"));
    QVERIFY(save(env, t));
    const QString path = pathOf(env, t);
    const QByteArray before = readAll(path);
    QFile::setPermissions(env.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    fill(*env.ctx, QStringLiteral("New"));
    const bool ok = save(env, t);
    QFile::setPermissions(env.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!ok);
    QCOMPARE(readAll(path), before);
}

QTEST_GUILESS_MAIN(TestDiskFaults)
#include "tst_diskfaults.moc"
