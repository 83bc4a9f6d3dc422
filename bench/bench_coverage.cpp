// SPDX-License-Identifier: GPL-3.0-or-later
// The state file scans: listing the transmitters of the largest state (Texas,
// 469 lines) and finding every county of one transmitter across all 54
// files, as the transmitter window does when the user confirms a choice.
// Then NOAA's listing brought in: a 7,000-row CCL.js (NOAA's own listing has
// about 6,600 rows) made here, read, checked and turned into state files
// (target: under 1 s), the summary against the shipped listing (target: under
// 200 ms), and writing the new folder in place of the old one.
#include "coverage/core/CoverageChanges.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/CoverageListing.h"
#include "coverage/core/StateDatabase.h"
#include "app/AppContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

// State numbers of the editor's 54 states, in state list order.
const char *const kNumbers[StateDatabase::StateCount] = {
    "01", "02", "04", "05", "06", "08", "09", "10", "12", "13", "15", "16", "17", "18", "19", "20", "21", "22",
    "23", "24", "25", "26", "27", "28", "29", "30", "31", "32", "33", "34", "35", "36", "37", "38", "39", "40",
    "41", "42", "44", "45", "46", "47", "48", "49", "50", "51", "53", "54", "55", "56", "66", "69", "72", "78"};

// 7,000 rows in the CCL.js shape: about 62 counties per state, each covered
// by two transmitters of its state (19 per state) and, for one county in
// six, also by one of the next state's, as NOAA's rows cross state lines.
QByteArray generatedListing(int rows)
{
    static const char *const freqs[] = {"162.400", "162.425", "162.450", "162.475", "162.500", "162.525", "162.550"};
    QByteArray out = "// NOAA Weather Radio county coverage listing\n// Updated: generated for the benchmark\n";
    int i = 0;
    auto add = [&](int s, int county, int tx) {
        const QByteArray postal = CoverageImport::postalOfStateId(s).toLatin1();
        const int ts = tx / 19;
        const QByteArray call = "W" + QByteArray::number(10000 + tx).right(4) + QByteArray(1, char('A' + tx % 26));
        const QByteArray n = QByteArray::number(i);
        const QByteArray fields[15][2] = {
            {"ST", postal}, {"STATE", "State"}, {"COUNTY", "County Number " + QByteArray::number(county)},
            {"SAME", "0" + QByteArray(kNumbers[s]) + QByteArray::number(1000 + county * 2 + 1).right(3)},
            {"SITENAME", "Transmitter Site Number " + QByteArray::number(tx)}, {"SITELOC", "Somewhere"},
            {"SITESTATE", CoverageImport::postalOfStateId(ts).toLatin1()}, {"FREQ", freqs[tx % 7]}, {"CALLSIGN", call},
            {"LAT", "39.5"}, {"LON", "-84.25"}, {"PWR", "1000"}, {"STATUS", tx % 40 == 0 ? "OUT OF SERVICE" : "NORMAL"},
            {"WFO", "Wilmington|OH"}, {"REMARKS", county % 5 == 0 ? "N1/2" : ""}};
        for (const auto &f : fields)
            out += f[0] + "[" + n + "] = \"" + f[1] + "\";\n";
        ++i;
    };
    for (int county = 0; i < rows; ++county) {
        for (int s = 0; s < StateDatabase::StateCount && i < rows; ++s) {
            add(s, county, s * 19 + county % 19);
            if (i < rows)
                add(s, county, s * 19 + (county + 7) % 19);
            if (county % 6 == 0 && i < rows)
                add(s, county, ((s + 1) % StateDatabase::StateCount) * 19 + county % 19);
        }
    }
    return out;
}

const QByteArray &listing7000()
{
    static const QByteArray bytes = generatedListing(7000);
    return bytes;
}

void ImportListing7000(benchmark::State &state)
{
    const QVector<QStringList> current = CoverageImport::readFolder(statesFolder());
    CoverageImport::Result r;
    for (auto _ : state) {
        r = CoverageImport::build(CoverageListing::read(listing7000()), QStringLiteral("CCL.js"), current);
        benchmark::DoNotOptimize(r.files());
    }
    if (r.refused)
        state.SkipWithError(qPrintable(r.refusal));
    state.counters["rows"] = double(r.rowsRead);
    state.counters["used"] = double(r.rowsUsed);
    state.counters["transmitters"] = double(r.transmitters.size());
    state.counters["bytes"] = double(listing7000().size());
}
BENCHMARK(ImportListing7000)->Unit(benchmark::kMillisecond);

void Summary7000(benchmark::State &state)
{
    const CoverageChanges::Side before = CoverageChanges::sideOf(statesFolder());
    const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(listing7000()), QStringLiteral("CCL.js"),
                                                           before.stateLines);
    const CoverageChanges::Side after{r.stateLines, r.transmitters};
    CoverageChanges::Summary s;
    for (auto _ : state) {
        s = CoverageChanges::compare(before, after);
        benchmark::DoNotOptimize(s.text(200));
    }
    state.counters["added"] = double(s.added.size());
    state.counters["removed"] = double(s.removed.size());
    state.counters["counties_changed"] = double(s.countiesChanged.size());
}
BENCHMARK(Summary7000)->Unit(benchmark::kMillisecond);

void ReplaceFolder7000(benchmark::State &state)
{
    const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(listing7000()), QStringLiteral("CCL.js"), {});
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("coverage/States"));
    for (auto _ : state) {
        QString why;
        if (!CoverageImport::replaceFolder(r, target, &why))
            state.SkipWithError(qPrintable(why));
    }
}
BENCHMARK(ReplaceFolder7000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // A note, on standard error: standard output carries the results alone.
    std::fprintf(stderr, "states folder: %s\n", qPrintable(QDir(statesFolder()).absolutePath()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
