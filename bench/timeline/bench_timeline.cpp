// The timeline's hot paths with a real view offscreen (1500 x 200, as in a device window):
//   LoadFrame       - what the window's ShowFrameOnTimeline does for one frame;
//   RepaintAfterLoad - the scene's update pass and the viewport paint that the load causes;
//   ZoomStep        - one wheel step's SetZoom with every bar laid out again;
//   ZoomStepAndRepaint - the same followed by its paint;
//   FirstLoad, FirstRepaint - the same work in a new view, before any item or bar picture
//                     exists to be reused (the second argument: number of distinct names).
// Every iteration switches between two frames (or two zoom factors), so that each one really
// changes every bar. Run it with
//   QT_QPA_PLATFORM=offscreen build/release/bench/timeline/bench_timeline
//     --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include "test_frame.h"
#include "timeline_frame.h"
#include "timeline_view.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGraphicsScene>

#include <cstdio>

namespace {

// A frame of nCount samples that covers about 16 ms, as a frame at 60 Hz does: back-to-back
// samples of 8 to 32 us, one longer pass every 50 samples, and 97 different names so that the
// colours repeat as they do in real frames. nVariant shifts the timing so that two variants
// differ in every bar.
void MakeFrame(CTestFrame &frame, int32 nCount, int nVariant, int nNames = 97)
{
    const double flStep = 16e-3 / nCount;
    char name[64];
    for (int32 i = 0; i < nCount; ++i) {
        std::snprintf(name, sizeof(name), "#Main/%s/Draw%d", (i % 3) ? "Opaque" : "Shadow", int(i % nNames));
        const double flLength = (i % 50 == 0) ? 10 * flStep : flStep * (0.5 + 0.1 * ((i + nVariant) % 5));
        frame.Add(name, 2.0 + i * flStep + nVariant * 1e-6, flLength);
    }
}

void DrainEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

struct Fixture
{
    QGraphicsScene scene;
    CQTimelineView view{&scene, QColor(20, 20, 20, 255)};
    CTestFrame frames[2];
    double flOrigin = 0.0;

    Fixture(int32 nCount, float flZoom, int nNames = 97, bool bLoad = true)
    {
        MakeFrame(frames[0], nCount, 0, nNames);
        MakeFrame(frames[1], nCount, 3, nNames);
        view.resize(1500, 200);
        view.show();
        DrainEvents();
        view.RefreshLayout();
        view.SetZoom(flZoom);
        if (bLoad)
            LoadFrameOnTimeline(&view, &frames[1].frame, &flOrigin);
        DrainEvents();
    }
};

// Zoom 1 puts a 16 ms frame in 432 pixels; zoom 3.4 makes it fill the 1500-pixel view.
float ZoomOf(const benchmark::State &state)
{
    return float(state.range(1)) / 10.0f;
}

void BM_LoadFrame(benchmark::State &state)
{
    Fixture f(int32(state.range(0)), ZoomOf(state));
    int k = 0;
    for (auto _ : state) {
        LoadFrameOnTimeline(&f.view, &f.frames[k].frame, &f.flOrigin);
        k ^= 1;
        state.PauseTiming();
        DrainEvents();
        state.ResumeTiming();
    }
}

void BM_RepaintAfterLoad(benchmark::State &state)
{
    Fixture f(int32(state.range(0)), ZoomOf(state));
    int k = 0;
    for (auto _ : state) {
        state.PauseTiming();
        LoadFrameOnTimeline(&f.view, &f.frames[k].frame, &f.flOrigin);
        k ^= 1;
        state.ResumeTiming();
        // The scene's deferred update pass, then the paint it asks for.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        f.view.viewport()->repaint();
        state.PauseTiming();
        DrainEvents();
        state.ResumeTiming();
    }
}

void BM_ZoomStep(benchmark::State &state)
{
    Fixture f(int32(state.range(0)), 1.0f);
    int k = 0;
    for (auto _ : state) {
        f.view.SetZoom(k ? 1.0f : 1.05f);
        k ^= 1;
        state.PauseTiming();
        DrainEvents();
        state.ResumeTiming();
    }
}

void BM_ZoomStepAndRepaint(benchmark::State &state)
{
    Fixture f(int32(state.range(0)), 1.0f);
    int k = 0;
    for (auto _ : state) {
        f.view.SetZoom(k ? 1.0f : 1.05f);
        k ^= 1;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        f.view.viewport()->repaint();
        state.PauseTiming();
        DrainEvents();
        state.ResumeTiming();
    }
}

void BM_FirstLoad(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto *pFixture = new Fixture(int32(state.range(0)), 1.0f, int(state.range(1)), false);
        state.ResumeTiming();
        LoadFrameOnTimeline(&pFixture->view, &pFixture->frames[0].frame, &pFixture->flOrigin);
        state.PauseTiming();
        delete pFixture;
        DrainEvents();
        state.ResumeTiming();
    }
}

void BM_FirstRepaint(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto *pFixture = new Fixture(int32(state.range(0)), 1.0f, int(state.range(1)), false);
        LoadFrameOnTimeline(&pFixture->view, &pFixture->frames[0].frame, &pFixture->flOrigin);
        state.ResumeTiming();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        pFixture->view.viewport()->repaint();
        state.PauseTiming();
        delete pFixture;
        DrainEvents();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_LoadFrame)
    ->Args({1000, 10})
    ->Args({1000, 34})
    ->Args({10000, 10})
    ->Args({100000, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RepaintAfterLoad)
    ->Args({1000, 10})
    ->Args({1000, 34})
    ->Args({10000, 10})
    ->Args({100000, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ZoomStep)->Args({10000, 10})->Args({100000, 10})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZoomStepAndRepaint)->Args({10000, 10})->Args({100000, 10})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstLoad)->Args({1000, 97})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstRepaint)->Args({1000, 97})->Args({1000, 1000})->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
