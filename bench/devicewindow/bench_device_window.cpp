// The device window's per-frame costs, with a real window offscreen:
//   LiveTick       one timer tick that records and shows a new frame (history full, so the ring
//                  wraps on every tick, as it does in a long session);
//   LiveRepaint    the repaint that such a tick causes, measured apart from the tick;
//   PausedClick    a click on a history column while paused, rebuilding the frame as a tree.
// Run: QT_QPA_PLATFORM=offscreen build/release/bench/devicewindow/bench_device_window
//        --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "gpuprofiler/devicewindow/device_window.h"
#include "gpuprofiler/framedata/frame_profile_model.h"
#include "target/frame_generator.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLocale>
#include <QStandardItemModel>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<TargetFrame> MakeFrames(uint32 nSamples, int nCount)
{
    FrameGeneratorOptions options;
    options.nSampleCount = nSamples;
    CFrameGenerator generator(7, options);
    std::vector<TargetFrame> frames;
    frames.resize(size_t(nCount));
    for (TargetFrame &frame : frames)
        generator.NextFrame(frame);
    return frames;
}

void HandOver(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    GpuSampleArray samples;
    samples.SetCount(int32(frame.samples.size()));
    std::memcpy(samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
    window.OnFrameReceived(&frame.header, &samples);
}

std::unique_ptr<CQCGPUProfilerDeviceWindow> MakeFullWindow(const std::vector<TargetFrame> &frames)
{
    auto pWindow = std::make_unique<CQCGPUProfilerDeviceWindow>("Benchmark", 0);
    pWindow->show();
    QApplication::processEvents();
    for (int i = 0; i < FrameHistory::kMaxFrames; ++i) {
        HandOver(*pWindow, frames[size_t(i) % frames.size()]);
        pWindow->TimerCallback();
    }
    QApplication::processEvents();
    return pWindow;
}

void LiveTick(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 8);
    auto pWindow = MakeFullWindow(frames);
    size_t n = 0;
    for (auto _ : state) {
        HandOver(*pWindow, frames[n++ % frames.size()]);
        pWindow->TimerCallback();
        state.PauseTiming();
        QApplication::processEvents(); // the repaint belongs to LiveRepaint
        state.ResumeTiming();
    }
    state.counters["history_MB"] = double(pWindow->History().SampleBytes()) / (1024.0 * 1024.0);
}

void LiveRepaint(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 8);
    auto pWindow = MakeFullWindow(frames);
    size_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HandOver(*pWindow, frames[n++ % frames.size()]);
        pWindow->TimerCallback();
        state.ResumeTiming();
        pWindow->repaint();
        QApplication::processEvents();
    }
}

void PausedClick(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 8);
    auto pWindow = MakeFullWindow(frames);
    pWindow->PauseAction()->setChecked(true);
    pWindow->TimerCallback();
    QItemSelectionModel *pSelection = pWindow->HistoryTable()->selectionModel();
    int nColumn = 0;
    for (auto _ : state) {
        pSelection->setCurrentIndex(pWindow->HistoryModel()->index(0, 100 + (nColumn++ % 200)), QItemSelectionModel::ClearAndSelect);
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    if (pWindow->SampleModel()->rowCount() == 0)
        state.SkipWithError("nothing was built");
}

} // namespace

BENCHMARK(LiveTick)->Arg(100)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(LiveRepaint)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(PausedClick)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
