// The device window's per-frame costs, with a real window offscreen:
//   LiveTick       one timer tick that records and shows a new frame (history full, so the ring
//                  wraps on every tick, as it does in a long session);
//   HandOverAndLiveTick  the same with the subtool's hand-over of the frame before it;
//   LiveTickTwoSwapChains  a tick after a frame of another swap chain and one of the shown one
//                  arrived: the shown one recorded and shown, the other kept for saving;
//   LiveRepaint    the repaint that such a tick causes, measured apart from the tick;
//   PausedClick    a click on a history column while paused, rebuilding the frame as a tree;
// and of the compact history on its own:
//   HistoryMemory  499 generated frames recorded as the window records them: bytes per sample;
//   DecodeFrame    unpacking one recorded frame, what selecting a frame costs beyond the model;
//   DecodeHistory  unpacking all 499 recorded frames of 1,000 samples one after the other, the
//                  road of a history written out;
//   SaveCapture    "Save Capture..." of a window holding 499 frames of 1,000 samples: unpacking,
//                  packing and writing them (counters: the file against the raw records).
// Run: QT_QPA_PLATFORM=offscreen build/release/bench/devicewindow/bench_device_window
//        --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "device_window.h"
#include "frame_generator.h"
#include "frame_profile_model.h"
#include "wire_profiler.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLocale>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<TargetFrame> MakeFrames(uint32 nSamples, int nCount)
{
    // Frames as the demo target sends them: about 14 ms of GPU time whatever their sample count
    // (a frame of 10,000 samples at 60 frames a second), now and then a long one.
    FrameGeneratorOptions options;
    options.nSampleCount = nSamples;
    options.flGpuFrameTime = 0.014;
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

// A window whose history is as full as it gets: 499 frames, or fewer when big frames reach the
// memory bound first.
std::unique_ptr<CQCGPUProfilerDeviceWindow> MakeFullWindow(const std::vector<TargetFrame> &frames)
{
    auto pWindow = std::make_unique<CQCGPUProfilerDeviceWindow>("Benchmark", 0);
    pWindow->show();
    QApplication::processEvents();
    int nSteady = 0;
    for (int i = 0; i < FrameHistory::kMaxFrames && nSteady < 8; ++i) {
        const int32 nBefore = pWindow->Intake().Shown().Count();
        HandOver(*pWindow, frames[size_t(i) % frames.size()]);
        pWindow->TimerCallback();
        nSteady = pWindow->Intake().Shown().Count() > nBefore ? 0 : nSteady + 1;
    }
    QApplication::processEvents();
    return pWindow;
}

// Frames recorded the way the window records them: bubbles removed, then into the history.
void RecordLikeTheWindow(FrameHistory &history, const std::vector<TargetFrame> &frames, int nCount)
{
    GpuSampleArray samples;
    for (int i = 0; i < nCount; ++i) {
        const TargetFrame &frame = frames[size_t(i) % frames.size()];
        samples.SetCount(int32(frame.samples.size()));
        std::memcpy(samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
        double flCpu = 0.0, flGpu = 0.0;
        for (GpuSampleRecord &sample : samples) {
            sample.SetCpuStartTime(flCpu);
            sample.SetGpuStartTime(flGpu);
            flCpu += sample.CpuTime();
            flGpu += sample.GpuTime();
        }
        history.Record(frame.header, samples.Base(), samples.Count(), flGpu);
    }
}

// bWithHandOver: the subtool's hand-over (which copies the frame into a new sample array, as
// assembling it from chunks would) counts as well, as the earlier figures of this benchmark did.
void Tick(benchmark::State &state, bool bWithHandOver)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 8);
    auto pWindow = MakeFullWindow(frames);
    size_t n = 0;
    for (auto _ : state) {
        if (!bWithHandOver)
            state.PauseTiming();
        HandOver(*pWindow, frames[n++ % frames.size()]);
        if (!bWithHandOver)
            state.ResumeTiming();
        pWindow->TimerCallback();
        state.PauseTiming();
        QApplication::processEvents(); // the repaint belongs to LiveRepaint
        state.ResumeTiming();
    }
    const FrameHistory &history = pWindow->Intake().Shown();
    state.counters["history_MB"] = double(history.MemoryBytes()) / (1024.0 * 1024.0);
    state.counters["frames_kept"] = history.Count();
}

void LiveTickTwoSwapChains(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 8);
    auto others = frames;
    for (TargetFrame &frame : others) {
        frame.header.SetSwapChainId(0x2222);
        frame.header.SetSwapChainName("Other Swap Chain");
    }
    auto pWindow = MakeFullWindow(frames);
    // Listed by a frame of its own, as swap chains are when their frame is the newest of a tick.
    HandOver(*pWindow, others[0]);
    pWindow->TimerCallback();
    size_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HandOver(*pWindow, others[n % others.size()]);
        HandOver(*pWindow, frames[n++ % frames.size()]);
        state.ResumeTiming();
        pWindow->TimerCallback();
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    const FrameHistory *pOther = pWindow->Intake().SwapChainHistory(1);
    if (!pOther || pOther->Count() == 0)
        state.SkipWithError("the other swap chain's frames were not kept");
}

void SaveCapture(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 8);
    auto pWindow = MakeFullWindow(frames);
    QTemporaryDir dir;
    const QString sPath = dir.filePath(QStringLiteral("bench.gpucap"));
    std::string sError;
    for (auto _ : state) {
        if (!pWindow->Intake().WriteCapture(sPath.toStdString(), "Benchmark", &sError))
            state.SkipWithError(sError.c_str());
    }
    const double flRaw = double(pWindow->Intake().Shown().Count()) * double(state.range(0)) * double(sizeof(GpuSampleRecord));
    state.counters["file_MB"] = double(QFileInfo(sPath).size()) / 1e6;
    state.counters["raw_MB"] = flRaw / 1e6;
    state.counters["file_of_raw"] = double(QFileInfo(sPath).size()) / flRaw;
}

void LiveTick(benchmark::State &state)
{
    Tick(state, false);
}
void HandOverAndLiveTick(benchmark::State &state)
{
    Tick(state, true);
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
    for (QAction *pAction : pWindow->findChildren<QAction *>()) {
        if (pAction->text() == QStringLiteral("Pause"))
            pAction->setChecked(true);
    }
    pWindow->TimerCallback();
    QTableView *pHistoryTable = nullptr;
    for (QTableView *pView : pWindow->findChildren<QTableView *>())
        pHistoryTable = pView->itemDelegateForRow(0) ? pView : pHistoryTable; // the bars' table
    QItemSelectionModel *pSelection = pHistoryTable->selectionModel();
    QAbstractItemModel *pHistoryModel = pHistoryTable->model();
    const int nColumns = pHistoryModel->columnCount();
    int nColumn = 0;
    for (auto _ : state) {
        nColumn = (nColumn + 37) % nColumns; // another frame every time, unpacked and shown
        pSelection->setCurrentIndex(pHistoryModel->index(0, nColumn), QItemSelectionModel::ClearAndSelect);
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    if (pWindow->findChild<CGpuFrameProfileModel *>()->rowCount() == 0)
        state.SkipWithError("nothing was built");
}

void HistoryMemory(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 16);
    int64 nBytes = 0;
    int32 nKept = 0;
    for (auto _ : state) {
        FrameHistory history;
        RecordLikeTheWindow(history, frames, FrameHistory::kMaxFrames);
        nBytes = history.MemoryBytes();
        nKept = history.Count();
    }
    state.counters["bytes_per_sample"] = double(nBytes) / (double(nKept) * double(state.range(0)));
    state.counters["history_MiB"] = double(nBytes) / (1024.0 * 1024.0);
    state.counters["frames_kept"] = nKept;
}

void DecodeFrame(benchmark::State &state)
{
    const auto frames = MakeFrames(uint32(state.range(0)), 4);
    FrameHistory history;
    RecordLikeTheWindow(history, frames, 4);
    GpuSampleArray samples;
    int32 nPosition = 0;
    for (auto _ : state) {
        history.DecodeSamples(*history.EntryAt(nPosition), &samples);
        nPosition = (nPosition + 1) % history.Count();
        benchmark::DoNotOptimize(samples.Base());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void DecodeHistory(benchmark::State &state)
{
    const auto frames = MakeFrames(1000, 16);
    FrameHistory history;
    RecordLikeTheWindow(history, frames, FrameHistory::kMaxFrames);
    GpuSampleArray samples;
    for (auto _ : state) {
        for (int32 p = 0; p < history.Count(); ++p) {
            history.DecodeSamples(*history.EntryAt(p), &samples);
            benchmark::DoNotOptimize(samples.Base());
        }
    }
    state.SetItemsProcessed(state.iterations() * history.Count());
}

} // namespace

BENCHMARK(LiveTick)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(HandOverAndLiveTick)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(LiveRepaint)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PausedClick)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(HistoryMemory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DecodeFrame)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(LiveTickTwoSwapChains)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveCapture)->Arg(1000)->Unit(benchmark::kMillisecond);

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
