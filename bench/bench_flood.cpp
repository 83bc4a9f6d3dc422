// SPDX-License-Identifier: GPL-3.0-or-later
// One whole transfer against a virtual receiver that floods the line with
// junk as fast as the pty takes it, the upload waiting from second 58 (the
// longest second-boundary wait, when the junk has the most time to pile up).
// Prints the editor's resident memory (the kernel's high-water mark, reset
// just before the transfer, so no sampling adds to the processor time), its
// processor time over the whole transfer and over the boundary wait alone,
// and what the port held at most. Then a flooding receiver that never
// answers "Z": the negotiation has to look at every byte for the ACK until
// its 5 s time-out, which is what a flood costs at most.
// Last, `nx4400c-cli transfer` against a device server that floods Telnet
// negotiation and never reads what it is sent, from the start and after its
// ACK: the tool's peak resident memory (from the system's accounting of the
// child, no sampling), how long it took and how it ended.
#include "support/HostileServer.h"
#include "support/VirtualReceiver.h"

#include "config/core/ParameterFile.h"
#include "link/core/Transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <vector>

extern char **environ;

namespace {

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// A field of /proc/self/status in KiB.
qint64 statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray name = QByteArray(field) + ':';
    for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine()) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Notes the processor time when the boundary wait starts and ends.
class WaitView : public RecordingView
{
public:
    double waitStartCpu = 0, waitEndCpu = 0;
    QElapsedTimer clock;
    qint64 waitStartMs = 0, waitEndMs = 0;
    void setStatusText(const QString &key, const QString &text) override
    {
        RecordingView::setStatusText(key, text);
        if (key != QLatin1String("Left"))
            return;
        if (text.startsWith(QLatin1String("Port Connect Successful"))) {
            waitStartCpu = cpuMs();
            waitStartMs = clock.elapsed();
        } else if (text == QLatin1String("Preparing For Upload...")) {
            waitEndCpu = cpuMs();
            waitEndMs = clock.elapsed();
        }
    }
};

// Runs nx4400c-cli transfer against one flooding device server; prints its
// peak resident size, wall time, exit code and last line of standard error.
void cliUnderTelnetFlood(const char *label, HostileServer::Mode mode)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("cfg/NX4400C")));
    QFile dat(dir.filePath(QStringLiteral("NX_4400C.DAT")));
    if (dat.open(QIODevice::WriteOnly)) {
        ReceiverSetup coverage;
        LoadDefaultCoverage(coverage);
        dat.write(ParameterFile::format(coverage.FipEntries, coverage.EventSelection));
        dat.close();
    }
    HostileServer server(mode);
    const QByteArray cli = QFile::encodeName(buildBinDir() + QStringLiteral("/nx4400c-cli"));
    const QByteArray device = "rfc2217://127.0.0.1:" + QByteArray::number(server.port());
    const QByteArray errPath = QFile::encodeName(dir.filePath(QStringLiteral("stderr.txt")));
    const QByteArray cfg = "XDG_CONFIG_HOME=" + QFile::encodeName(dir.filePath(QStringLiteral("cfg")));
    const QByteArray work = QFile::encodeName(dir.path());
    std::vector<char *> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
            env.push_back(*e);
    env.push_back(const_cast<char *>(cfg.constData()));
    env.push_back(nullptr);
    const char *argv[] = {cli.constData(), "transfer", "--device", device.constData(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The tool reads NX_4400C.DAT from its working folder.
    const QByteArray here = QFile::encodeName(QDir::currentPath());
    QDir::setCurrent(dir.path());
    QElapsedTimer wall;
    wall.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char **>(argv), env.data());
    QDir::setCurrent(QFile::decodeName(here));
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::printf("telnet_flood_%s: nx4400c-cli did not start\n", label);
        return;
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const qint64 ms = wall.elapsed();
    QFile err(QFile::decodeName(errPath));
    QByteArray last;
    if (err.open(QIODevice::ReadOnly))
        last = err.readAll().trimmed().split('\n').last();
    std::printf("telnet_flood_%s_peak_rss: %.1f MiB\n", label, usage.ru_maxrss / 1024.0);
    std::printf("telnet_flood_%s_wall: %lld ms, exit %d, %.1f MiB of negotiation received\n", label, ms,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, server.flooded() / 1048576.0);
    std::printf("telnet_flood_%s_result: %s\n", label, last.constData());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestEnv env;
    AppContext &ctx = *env.ctx;
    WaitView view;
    ctx.setView(&view);
    ctx.config.SerialPort = 1;
    VirtualReceiver vr(env.dir.path());
    if (!vr.start({QStringLiteral("--fault"), QStringLiteral("flood")})) {
        std::fprintf(stderr, "the virtual receiver did not start\n");
        return 1;
    }
    vr.attach(ctx);
    PortCtl &port = ctx.session().Port1;

    const qint64 before = statusKiB("VmRSS");
    // "5" resets the peak resident size to the present one.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    const bool hwmReset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    clearRefs.close();
    // The port's counts cost no system call to look at.
    qsizetype held = 0;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { held = qMax(held, port.pendingBytes() + port.bufferedBelow()); });
    sampler.start(100);

    env.clock.set(QDateTime(QDate(2026, 3, 6), QTime(12, 0, 58, 100)));
    const double cpu0 = cpuMs();
    QElapsedTimer wall;
    wall.start();
    view.clock.start();
    const bool ok = EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows);
    const qint64 wallMs = wall.elapsed();
    const double cpu = cpuMs() - cpu0;
    sampler.stop();
    const qint64 peak = statusKiB("VmHWM");

    const qint64 waitMs = qMax<qint64>(1, view.waitEndMs - view.waitStartMs);
    const double waitCpu = view.waitEndCpu - view.waitStartCpu;
    std::printf("flood_transfer_result: %s\n", qPrintable(view.statusText(QStringLiteral("Left"))));
    std::printf("flood_transfer_wall: %lld ms\n", wallMs);
    std::printf("flood_rss_before: %lld KiB\n", before);
    std::printf("flood_peak_rss: %.1f MiB%s\n", peak / 1024.0, hwmReset ? "" : " (since start-up)");
    std::printf("flood_port_held_max: %lld bytes\n", qint64(held));
    std::printf("flood_cpu: %.0f ms (%.1f %% of one core)\n", cpu, 100.0 * cpu / qMax<qint64>(1, wallMs));
    std::printf("flood_cpu_boundary_wait: %.1f ms over %lld ms (%.2f %% of one core)\n", waitCpu, waitMs,
                100.0 * waitCpu / waitMs);

    vr.stop();
    VirtualReceiver silent(env.dir.path(), QStringLiteral("silent"));
    if (silent.start({QStringLiteral("--fault"), QStringLiteral("flood"), QStringLiteral("--fault"),
                      QStringLiteral("silence")})) {
        silent.attach(ctx);
        ctx.timings.negotiateMs = 5000;
        const double c0 = cpuMs();
        QElapsedTimer w;
        w.start();
        EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows);
        const double c = cpuMs() - c0;
        std::printf("flood_negotiation_timeout: %s after %lld ms\n",
                    qPrintable(view.statusText(QStringLiteral("Left"))), w.elapsed());
        std::printf("flood_cpu_negotiation_timeout: %.0f ms (%.1f %% of one core)\n", c,
                    100.0 * c / qMax<qint64>(1, w.elapsed()));
    }
    cliUnderTelnetFlood("setup", HostileServer::Mode::Flood);
    cliUnderTelnetFlood("after_ack", HostileServer::Mode::FloodAfterAck);
    return ok ? 0 : 1;
}
