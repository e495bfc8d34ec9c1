// Building the sample model of one frame: the rebuild in both layouts (the flat one paid on every
// live timer tick, the grouped one when a paused user picks another frame), a rebuild followed by
// the reads of one screenful of rows, and the "Frame Stats" refill, for frames of 100 to 100,000
// samples.
//
// Run offscreen, e.g.:
//   QT_QPA_PLATFORM=offscreen build/release/bench/framedata/bench_frame_profile_model
//       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "frame_profile_model.h"
#include "test_frame.h"

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

void BM_RebuildFlat(benchmark::State &state)
{
    RebuildEager(state, false);
}
void BM_RebuildHierarchical(benchmark::State &state)
{
    RebuildEager(state, true);
}

// What a paint of the tree after a rebuild reads: a screenful of rows, every shown column, the
// roles the delegate asks for.
void BM_RebuildAndReadScreen(benchmark::State &state)
{
    CTestFrame frame;
    frame.Generate(int(state.range(0)));
    CGpuFrameProfileModel model;
    model.SetFrame(&frame.frame);
    for (auto _ : state) {
        model.clear();
        model.Rebuild(false);
        for (int r = 0; r < 40; ++r) {
            for (int c = 1; c <= 30; ++c) {
                const QModelIndex index = model.index(r, c);
                benchmark::DoNotOptimize(index.data(Qt::DisplayRole));
                benchmark::DoNotOptimize(index.data(Qt::ForegroundRole));
                benchmark::DoNotOptimize(index.data(Qt::BackgroundRole));
            }
        }
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
    model.Rebuild(false);
    for (auto _ : state) {
        model.ComputeFrameTotals();
        benchmark::DoNotOptimize(model.frameStatsModel()->columnCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_RebuildFlat)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildHierarchical)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildAndReadScreen)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
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
