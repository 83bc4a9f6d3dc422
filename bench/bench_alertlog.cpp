// SPDX-License-Identifier: GPL-3.0-or-later
// The Alert Log window's data: loading a log of 10,000 alerts into the table
// model, applying a filter (class, code list and free text together) and
// appending one run's 40 alerts to it under the lock.
#include "support/GeneratedAlertLog.h"

#include "history/core/AlertLogModel.h"
#include "history/core/RequiredTestAudit.h"

#include <QCoreApplication>
#include <QTemporaryDir>

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
