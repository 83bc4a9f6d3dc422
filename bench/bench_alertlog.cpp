// SPDX-License-Identifier: GPL-3.0-or-later
// The Alert Log window's data: loading a log of 10,000 alerts into the table
// model, applying a filter (class, code list and free text together) and
// appending one run's 40 alerts to it under the lock. Then a fleet's log of
// one million rows (about 68 MB): `log show`, `log audit` and one
// transfer's append, each run as a program of its own, with its time and
// its peak resident memory (the child's ru_maxrss).
#include "support/GeneratedAlertLog.h"
#include "support/TestEnv.h"

#include "history/core/AlertLogModel.h"
#include "history/core/RequiredTestAudit.h"

#include "ChildRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace {

struct Log {
    QTemporaryDir dir;
    QString path;
    QList<AlertLogEntry> alerts;
    Log()
    {
        path = dir.filePath(QStringLiteral("alerts.csv"));
        alerts = generatedAlerts(10000);
        AppendAlertLog(path, alerts);
    }
};

Log &log()
{
    static Log l;
    return l;
}

void LoadAlertLog10000(benchmark::State &state)
{
    AlertLogModel model;
    for (auto _ : state) {
        if (!model.load(log().path))
            state.SkipWithError("the log could not be read");
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["rows"] = model.rowCount();
}
BENCHMARK(LoadAlertLog10000)->Unit(benchmark::kMillisecond);

void FilterAlertLog10000(benchmark::State &state)
{
    AlertLogModel model;
    model.load(log().path);
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    filter.sort(AlertLogModel::DateTimeColumn, Qt::DescendingOrder);
    int n = 0;
    for (auto _ : state) {
        AlertLogCriteria criteria;
        criteria.eventClass = int(EventClass::Warning);
        criteria.codes = QStringLiteral("FLW FFW CFW TOR");
        criteria.text = n++ % 2 ? QStringLiteral("flood") : QStringLiteral("warning");
        filter.setFilter(criteria);
        benchmark::DoNotOptimize(filter.rowCount());
    }
    state.counters["shown"] = filter.rowCount();
}
BENCHMARK(FilterAlertLog10000)->Unit(benchmark::kMillisecond);

void FreeTextFilterAlertLog10000(benchmark::State &state)
{
    AlertLogModel model;
    model.load(log().path);
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    int n = 0;
    for (auto _ : state) {
        AlertLogCriteria criteria;
        criteria.text = n++ % 2 ? QStringLiteral("2025-07") : QStringLiteral("tornado");
        filter.setFilter(criteria);
        benchmark::DoNotOptimize(filter.rowCount());
    }
}
BENCHMARK(FreeTextFilterAlertLog10000)->Unit(benchmark::kMillisecond);

void SortAlertLog10000(benchmark::State &state)
{
    AlertLogModel model;
    model.load(log().path);
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    int n = 0;
    for (auto _ : state) {
        filter.sort(n++ % 2 ? AlertLogModel::EventColumn : AlertLogModel::DateTimeColumn);
        benchmark::DoNotOptimize(filter.rowCount());
    }
}
BENCHMARK(SortAlertLog10000)->Unit(benchmark::kMillisecond);

void AuditThreeYears(benchmark::State &state)
{
    for (auto _ : state) {
        const RequiredTestAuditResult r = RunRequiredTestAudit(log().alerts, QDate(2024, 1, 1), QDate(2026, 12, 31),
                                                               QDate(2027, 1, 1));
        benchmark::DoNotOptimize(r.weeks.size());
    }
}
BENCHMARK(AuditThreeYears)->Unit(benchmark::kMillisecond);

void AppendRunTo10000(benchmark::State &state)
{
    // The receiver's 40 alerts, all logged already: the whole read and
    // duplicate check under the lock, and no write.
    const QList<AlertLogEntry> last40 = log().alerts.mid(log().alerts.size() - 40);
    for (auto _ : state) {
        const AlertLogMerge m = AppendAlertLog(log().path, last40);
        if (!m.ok || !m.added.isEmpty())
            state.SkipWithError("the run was not a no-op");
    }
}
BENCHMARK(AppendRunTo10000)->Unit(benchmark::kMillisecond);

// One million rows; NX_BENCH_TINY=1 (the check of scripts/test.sh that the
// table fills) makes it ten thousand, which only the parsing needs.
int millionRows()
{
    return qEnvironmentVariableIntValue("NX_BENCH_TINY") == 1 ? 10000 : 1000000;
}

// One million rows from 40 receivers, one row every 90 s from 2024 on,
// written in pieces so that making it costs little memory.
struct MillionLog {
    QTemporaryDir dir;
    QString path;
    QList<AlertLogEntry> last40;
    MillionLog()
    {
        path = dir.filePath(QStringLiteral("fleet.csv"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write(AlertLogHeaderWithReceiver.toUtf8() + '\n');
        const QList<AlertLogEntry> kinds = generatedAlerts(200);
        QDateTime t(QDate(2024, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, -5 * 3600);
        QByteArray chunk;
        const int rows = millionRows();
        for (int i = 0; i < rows; ++i) {
            AlertLogEntry e = kinds.at(i % kinds.size());
            e.localTime = t.addSecs(qint64(i) * 90);
            e.receiver = QStringLiteral("/dev/serial/by-id/usb-FTDI_receiver_%1-if00-port0").arg(i % 40, 2, 10, QLatin1Char('0'));
            chunk += e.csvLine(true).toUtf8() + '\n';
            if (i >= rows - 40)
                last40 << e;
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    }
};

MillionLog &million()
{
    static MillionLog l;
    return l;
}

// Runs a program to its end; its wall time and peak resident memory.
bool runChild(const QStringList &args, double *seconds, double *peakMB)
{
    const ChildRun r = runChildMeasured(args);
    *seconds = r.wallSeconds;
    *peakMB = r.peakMB;
    return r.ran && r.exitCode >= 0 && r.exitCode <= 1;   // audit exits 1 for a gap
}

QString g_self;

QString cli()
{
    if (qEnvironmentVariableIsSet("NX_BINARY_DIR"))
        return buildBinDir() + QStringLiteral("/nx4400c-cli");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/nx4400c-cli");
}

void reportChild(benchmark::State &state, const QStringList &args)
{
    double seconds = 0, peak = 0;
    for (auto _ : state) {
        if (!runChild(args, &seconds, &peak))
            state.SkipWithError("the program failed");
        state.SetIterationTime(seconds);
    }
    state.counters["peak_MB"] = peak;
    state.counters["rows"] = millionRows();
    state.counters["log_MB"] = QFileInfo(million().path).size() / 1e6;
    std::fprintf(stderr, "%s: %.2f s, %.1f MB resident at most\n", qPrintable(args.mid(1, 2).join(QLatin1Char(' '))),
                 seconds, peak);
}

void ShowMillionRows(benchmark::State &state)
{
    reportChild(state, {cli(), QStringLiteral("log"), QStringLiteral("show"),
                        QStringLiteral("--csv"), million().path});
}
BENCHMARK(ShowMillionRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void AuditMillionRows(benchmark::State &state)
{
    reportChild(state, {cli(), QStringLiteral("log"), QStringLiteral("audit"),
                        QStringLiteral("--from"), QStringLiteral("2024-01-01"), QStringLiteral("--to"),
                        QStringLiteral("2025-12-31"), QStringLiteral("--csv"), million().path});
}
BENCHMARK(AuditMillionRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void AppendToMillionRows(benchmark::State &state)
{
    // One transfer's 40 alerts, all logged already: the whole duplicate
    // check under the lock, in a process of its own.
    reportChild(state, {g_self, QStringLiteral("--append-one"), million().path});
}
BENCHMARK(AppendToMillionRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void WindowModelMillionRows(benchmark::State &state)
{
    // What the Alert Log window keeps: every row in its model, read in the
    // steps the window takes between two turns of its event loop.
    reportChild(state, {g_self, QStringLiteral("--load-model"), million().path});
}
BENCHMARK(WindowModelMillionRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_self = QCoreApplication::applicationFilePath();
    if (argc == 3 && QByteArray(argv[1]) == "--load-model") {
        AlertLogModel model;
        if (!model.beginLoad(QFile::decodeName(argv[2])))
            return 2;
        while (model.loadSome(50000)) {
        }
        model.finishLoad();
        return model.rowCount() == millionRows() ? 0 : 2;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--append-one") {
        // The child of AppendToMillionRows: the receiver's last 40 alerts.
        QList<AlertLogEntry> last;
        AlertLogEntry e;
        // Its alerts are the log's last rows (read here only to make them;
        // the append below reads the log on its own).
        QFile f(QFile::decodeName(argv[2]));
        if (!f.open(QIODevice::ReadOnly) || !f.seek(f.size() - 40 * 200))
            return 2;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (const QByteArray &l : lines)
            if (ParseAlertLogRow(l, true, &e))
                last << e;
        const AlertLogMerge m = AppendAlertLog(QFile::decodeName(argv[2]), last.mid(last.size() - 40));
        return m.ok && m.added.isEmpty() ? 0 : 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
