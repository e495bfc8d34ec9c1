// Building the sample model of one frame: the eager rebuild in both layouts (paid when pausing,
// when a paused user picks another frame and by the CSV export), the deferred rebuild and the
// "Frame Stats" refill (paid on every live timer tick), for frames of 100, 1,000 and 10,000
// samples.
//
// Run offscreen, e.g.:
//   QT_QPA_PLATFORM=offscreen build/release/bench/framedata/bench_frame_profile_model
//       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "gpuprofiler/framedata/frame_profile_model.h"
#include "tests/framedata/frame_builder.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLocale>

namespace {

// What the device window does on each frame selection: point, clear, rebuild.
void RebuildEager(benchmark::State &state, bool bHierarchical)
{
    CTestFrame frame;
    frame.Generate(int(state.range(0)));
    CGpuFrameProfileModel model;
    model.SetFrame(&frame.frame);
    for (auto _ : state) {
        model.clear();
        model.Rebuild(bHierarchical);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RebuildFlat(benchmark::State &state) { RebuildEager(state, false); }
void BM_RebuildHierarchical(benchmark::State &state) { RebuildEager(state, true); }

// The live tick: clear and a deferred flat rebuild; the rows are never read.
void BM_RebuildDeferred(benchmark::State &state)
{
    CTestFrame frame;
    frame.Generate(int(state.range(0)));
    CGpuFrameProfileModel model;
    model.SetFrame(&frame.frame);
    for (auto _ : state) {
        model.clear();
        model.RebuildDeferred(false);
        benchmark::DoNotOptimize(model.frameStatsModel());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The first read after a deferred rebuild, which builds the rows then.
void BM_DeferredThenRead(benchmark::State &state)
{
    CTestFrame frame;
    frame.Generate(int(state.range(0)));
    CGpuFrameProfileModel model;
    model.SetFrame(&frame.frame);
    for (auto _ : state) {
        model.clear();
        model.RebuildDeferred(false);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Totals and the "Frame Stats" model alone, with resource statistics.
void BM_FrameStatsRefill(benchmark::State &state)
{
    CTestFrame frame;
    frame.Generate(int(state.range(0)));
    frame.frame.header.hasResourceStats = 1;
    for (int i = 0; i < GpuFrameHeader::kResourceStatCount; ++i)
        frame.frame.header.SetResourceStat(i, 1000u * uint32(i + 1));
    CGpuFrameProfileModel model;
    model.SetFrame(&frame.frame);
    model.RebuildDeferred(false);
    for (auto _ : state) {
        model.ComputeFrameTotals();
        benchmark::DoNotOptimize(model.frameStatsModel()->columnCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_RebuildFlat)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildHierarchical)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildDeferred)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeferredThenRead)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameStatsRefill)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
