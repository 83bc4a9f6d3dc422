// SPDX-License-Identifier: GPL-3.0-or-later
// The county map's figures: reading the boundary data, the first paint of
// Texas with its neighbours, a hover hit-test, and the editor's resident
// memory growth with the county window (and its map) open.
#include "support/TestEnv.h"

#include "coverage/core/CountyAtlas.h"
#include "coverage/core/CountyMapModel.h"
#include "coverage/gui/CountyMapView.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/frmFIPS.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

QByteArray boundaryFile()
{
    QFile f(QStringLiteral(":/counties/counties-10m.json"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// The editor's county window with its map, opened for Texas: resident
// memory before and after (target: under 30 MB more).
void BM_MemoryWithMapOpen(benchmark::State &state)
{
    for (auto _ : state) {
        TestEnv env;
        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("NX4400C"));
        env.ctx->config.StateID = 42;   // Texas
        env.ctx->config.TransmitterLocation = QStringLiteral(" Bryan            WXK30  162.550");
        const long before = residentKb();
        CoverageCommands::prepareCoverageWindows(*env.ctx, *env.ctx, &mainWindow);
        auto *fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
        fips->show();
        QTest::qWaitForWindowExposed(fips);
        fips->repaint();
        QCoreApplication::processEvents();
        const long after = residentKb();
        state.counters["rss_growth_MB"] = (after - before) / 1024.0;
        fips->hide();
    }
}
BENCHMARK(BM_MemoryWithMapOpen)->Iterations(1)->Unit(benchmark::kMillisecond);

// Read the resource and decode every county: target under 100 ms.
void BM_LoadBoundaries(benchmark::State &state)
{
    for (auto _ : state) {
        CountyAtlas::Atlas atlas;
        QString why;
        const bool ok = atlas.read(boundaryFile(), &why);
        benchmark::DoNotOptimize(ok);
        if (!ok || atlas.countyCount() != 3231)
            state.SkipWithError("the boundary data did not load");
    }
}
BENCHMARK(BM_LoadBoundaries)->Unit(benchmark::kMillisecond);

// Project Texas and its neighbours and paint them at the county window's
// size with the state borders and the legend, as the map's first paint
// does: target under 150 ms.
void BM_FirstPaintTexas(benchmark::State &state)
{
    CountyAtlas::builtIn();
    for (auto _ : state) {
        CountyMapView map;
        map.resize(640, 520);
        map.setState(QStringLiteral("48"));
        QImage image(map.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        map.drawing().paintWithLegend(p, map.size(), map.font());
        benchmark::DoNotOptimize(image.bits());
    }
    CountyMap::Model model;
    model.build(CountyAtlas::builtIn(), QStringLiteral("48"));
    state.counters["shapes"] = double(model.shapes().size());
}
BENCHMARK(BM_FirstPaintTexas)->Unit(benchmark::kMillisecond);

// One hover: the county under a point of Texas's map, over a grid of points
// (many miss, which is the slow case): target under 2 ms each.
void BM_HoverHitTest(benchmark::State &state)
{
    CountyMap::Model model;
    model.build(CountyAtlas::builtIn(), QStringLiteral("48"));
    const QRectF b = model.allBounds();
    int k = 0;
    for (auto _ : state) {
        const QPointF p(b.left() + b.width() * ((k * 37) % 101) / 100.0, b.top() + b.height() * ((k * 53) % 97) / 96.0);
        benchmark::DoNotOptimize(model.hitTest(p));
        ++k;
    }
}
BENCHMARK(BM_HoverHitTest)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("NX_BINARY_DIR"))
        qputenv("NX_BINARY_DIR", (QCoreApplication::applicationDirPath() + QStringLiteral("/..")).toLocal8Bit());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
