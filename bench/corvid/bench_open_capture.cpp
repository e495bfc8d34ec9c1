// Opening a capture in the console: the capture as a target in the list, its profiler window
// made by the real plug-in (loaded from its library), every chunk of the file played back
// through the plug-in's OnDataReceived, and the window's tick that shows the newest frame paused
// (called at once: the window's own timer would add up to 16 ms). The capture holds 499 frames
// of 1,000 samples as the demo target makes them.
// Run: QT_QPA_PLATFORM=offscreen build/release/bench/corvid/bench_open_capture
//        --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "capture_writer.h"
#include "corvid_host.h"
#include "frame_generator.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString WriteDemoCapture(const QString &sPath, uint32 nSamples, int nFrames)
{
    FrameGeneratorOptions options;
    options.nSampleCount = nSamples;
    CFrameGenerator generator(7, options);
    CCaptureWriter writer;
    writer.Open(sPath.toStdString(), CaptureInfo{"Benchmark Game", CaptureTimeNow(), "bench", kCaptureFormatVersion});
    TargetFrame frame;
    for (int i = 0; i < nFrames; ++i) {
        generator.NextFrame(frame);
        writer.AppendFrame(frame.header, frame.samples.data(), frame.samples.size());
    }
    return writer.Close() ? sPath : QString();
}

QWidget *ProfilerWindow()
{
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible() && pWidget->inherits("CQCGPUProfilerDeviceWindow"))
            return pWidget;
    }
    return nullptr;
}

// Paused, with the newest of nFrames columns current: the newest frame is shown.
bool ShowsNewestPaused(QWidget *pWindow, int nFrames)
{
    bool bPaused = false;
    for (QAction *pAction : pWindow->findChildren<QAction *>())
        bPaused |= pAction->text() == QStringLiteral("Pause") && pAction->isChecked();
    for (QTableView *pView : pWindow->findChildren<QTableView *>()) {
        if (pView->model() && pView->model()->columnCount() == nFrames)
            return bPaused && pView->currentIndex().column() == nFrames - 1;
    }
    return false;
}

void OpenCapture(benchmark::State &state)
{
    const int nFrames = int(state.range(1));
    QTemporaryDir dir;
    const QString sPath = WriteDemoCapture(dir.filePath(QStringLiteral("bench.gpucap")), uint32(state.range(0)), nFrames);
    CCorvidHost host;
    QString sError;
    if (sPath.isEmpty() || !host.LoadSubTool(QStringLiteral(GPUPROFILER_MODULE_PATH), "Corvid_SubTool_001_GPUProfilerTool", &sError)) {
        state.SkipWithError(sPath.isEmpty() ? "no capture" : qPrintable(sError));
        return;
    }
    for (auto _ : state) {
        CCaptureConnection *pCapture = host.OpenCapture(sPath);
        while (pCapture->FramesPlayed() == 0)
            QCoreApplication::processEvents();
        QWidget *pWindow = ProfilerWindow();
        QMetaObject::invokeMethod(pWindow, "TimerCallback");
        if (!ShowsNewestPaused(pWindow, nFrames))
            state.SkipWithError("the newest frame is not shown");
        state.PauseTiming();
        host.RemoveTarget(pCapture);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(OpenCapture)->Args({1000, 499})->Unit(benchmark::kMillisecond)->UseRealTime();

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
