// SPDX-License-Identifier: GPL-3.0-or-later
// One "Transfer Data" from the main window against the virtual receiver at
// the line's real pace, and one negotiation that times out. Prints what the
// transfer costs beyond the time the bytes need on the wire, and how much
// processor time the editor spends while it waits.
#include "support/VirtualReceiver.h"

#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "link/core/LinkSession.h"
#include "coverage/core/EventCatalog.h"
#include "link/core/Transfer.h"
#include "app/gui/NX4400C.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Notes when the left panel first showed each text.
class TimedView : public RecordingView
{
public:
    QElapsedTimer clock;
    QMap<QString, qint64> at;
    void setStatusText(const QString &key, const QString &text) override
    {
        RecordingView::setStatusText(key, text);
        if (key == QLatin1String("Left") && !at.contains(text))
            at.insert(text, clock.elapsed());
    }
};

struct Run {
    qint64 wallMs = 0;
    double cpu = 0;
    QString left;
    TimedView view;
};

void transfer(Run &run, const QStringList &fault)
{
    TestEnv env;
    AppContext &ctx = *env.ctx;
    LoadConfiguration(ctx, ctx.config);
    InitEventCatalog(ctx.catalog);
    LoadDefaultCoverage(ctx);
    ctx.setView(&run.view);
    VirtualReceiver vr(env.dir.path());
    if (!vr.start(fault, /*paced*/ true)) {
        std::fprintf(stderr, "the virtual receiver did not start\n");
        return;
    }
    vr.attach(ctx);
    // Start one second before a minute ends: the upload waits for second 0.
    env.clock.set(QDateTime(QDate(2026, 3, 6), QTime(12, 0, 59)));
    const double cpu0 = cpuMs();
    QElapsedTimer wall;
    wall.start();
    run.view.clock.start();
    EstConnect(ctx.session(), ctx, ctx.catalog, ctx.HistoryRows);
    run.wallMs = wall.elapsed();
    run.cpu = cpuMs() - cpu0;
    run.left = run.view.statusText(QStringLiteral("Left"));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Run ok;
    transfer(ok, {});
    // "Z", 511 image bytes and the checksum out; 1284 bytes back; 1 ACK and
    // the ACK to "Z": 10 bits a byte at 4800 bit/s.
    const double wireMs = (1 + 512 + 1284 + 2) * 10 * 1000.0 / 4800.0;
    const qint64 boundary = ok.view.at.value(QStringLiteral("Preparing For Upload..."))
        - ok.view.at.value(QStringLiteral("Port Connect Successful...Preparing For Upload"));
    std::printf("transfer_result: %s\n", qPrintable(ok.left));
    std::printf("transfer_wall: %lld ms\n", ok.wallMs);
    std::printf("transfer_wire_time: %.0f ms\n", wireMs);
    std::printf("transfer_second_boundary_wait: %lld ms\n", boundary);
    std::printf("transfer_overhead_beyond_wire: %.0f ms\n", ok.wallMs - wireMs - boundary);
    std::printf("transfer_cpu: %.0f ms (%.1f %% of one core)\n", ok.cpu, 100.0 * ok.cpu / ok.wallMs);

    Run silent;
    transfer(silent, {QStringLiteral("--fault"), QStringLiteral("silence")});
    std::printf("negotiation_timeout_wall: %lld ms\n", silent.wallMs);
    std::printf("cpu_while_waiting: %.1f ms (%.2f %% of one core)\n", silent.cpu,
                100.0 * silent.cpu / qMax<qint64>(1, silent.wallMs));
    return ok.left == QLatin1String("Upload / Download Successful") ? 0 : 1;
}
