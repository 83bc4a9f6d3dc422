// SPDX-License-Identifier: GPL-3.0-or-later
// The state file scans: listing the transmitters of the largest state (Texas,
// 469 lines) and finding every county of one transmitter across all 54
// files, as the transmitter window does when the user confirms a choice.
#include "coverage/core/StateDatabase.h"
#include "app/AppContext.h"

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QString statesFolder()
{
    const QByteArray env = qgetenv("NX_BINARY_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env) + QStringLiteral("/bin/States");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/States");
}

AppContext &context()
{
    static AppContext ctx;
    ctx.statesFolder = statesFolder();
    return ctx;
}

void LoadStateFileTexas(benchmark::State &state)
{
    AppContext &ctx = context();
    ctx.config.FrequencyListingFilter = 0;
    QStringList transmitters;
    for (auto _ : state) {
        if (!StateDatabase::LoadStateFile(ctx.prompter(), ctx.statesFolder, ctx.config.FrequencyListingFilter, 42, &transmitters))
            state.SkipWithError("Tx_143.st not readable");
        benchmark::DoNotOptimize(transmitters);
    }
    state.counters["transmitters"] = double(transmitters.size());
}
BENCHMARK(LoadStateFileTexas)->Unit(benchmark::kMillisecond);

void FindTransmitterCountiesAll54(benchmark::State &state)
{
    AppContext &ctx = context();
    // The District's transmitter: counties in three files.
    const QString field = QStringLiteral(" Washington DC    WNG736 162.450");
    QStringList counties;
    for (auto _ : state) {
        counties.clear();
        if (!StateDatabase::FindTransmitterCounties(ctx.prompter(), ctx.statesFolder, field, &counties))
            state.SkipWithError("a state file is not readable");
        benchmark::DoNotOptimize(counties);
    }
    state.counters["counties"] = double(counties.size());
}
BENCHMARK(FindTransmitterCountiesAll54)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("states folder: %s\n", qPrintable(QDir(statesFolder()).absolutePath()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
