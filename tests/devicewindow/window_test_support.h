#pragma once
// Pieces shared by the device window tests: a subtool link that records what windows send, a
// window whose save dialog answers with a set name, the window's parts found as a user finds
// them, and frames handed over the way the subtool hands them.

#include "device_window.h"
#include "frame_builder.h"
#include "frame_profile_model.h"
#include "stats_display_widget.h"
#include "subtool_link.h"
#include "timeline_view.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QList>
#include <QPair>
#include <QTableView>
#include <QTreeView>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

using Commands = QList<QPair<uint32, uint32>>;

// Installs a link whose commands and forgotten windows are recorded here.
class CommandRecorder
{
public:
    CommandRecorder()
    {
        s_Sent.clear();
        s_WindowIds.clear();
        SetSubToolLink({&RecordSend, &IgnoreForget});
    }
    ~CommandRecorder() { SetSubToolLink({nullptr, nullptr}); }
    // (code, value) pairs sent since construction or the last Take().
    Commands Take() { return std::exchange(s_Sent, {}); }
    // The window id of every command sent since construction.
    static inline QList<uint32> s_WindowIds;

private:
    static bool RecordSend(uint32 nWindowId, uint32 nCode, uint32 nValue)
    {
        s_WindowIds.append(nWindowId);
        s_Sent.append({nCode, nValue});
        return true;
    }
    static void IgnoreForget(uint32) {}
    static inline Commands s_Sent;
};

// A window whose "Save as CSV..." and "Save Capture..." answer with sSaveFileName (empty: the
// user cancels) instead of asking.
class CTestWindow : public CQCGPUProfilerDeviceWindow
{
public:
    explicit CTestWindow(const char *pszName = "Game", uint32 nId = 7, bool bCapture = false)
        : CQCGPUProfilerDeviceWindow(pszName, nId, bCapture)
    {}
    QString sSaveFileName;

protected:
    QString SaveFileName(const QString &, const QString &) override { return sSaveFileName; }
};

// The widgets of a window.
struct WindowParts
{
    explicit WindowParts(QWidget &w) : window(w)
    {
        for (QTableView *pView : window.findChildren<QTableView *>())
            pHistory = pView->itemDelegateForRow(0) ? pView : pHistory; // the bars' table
        pTree = window.findChild<QTreeView *>();
        pTimeline = window.findChild<CQTimelineView *>();
        pSwapChains = window.findChild<QComboBox *>();
        pModel = window.findChild<CGpuFrameProfileModel *>();
        for (QDockWidget *pDock : window.findChildren<QDockWidget *>()) {
            auto *pPanel = qobject_cast<CQStatsDisplayWidget *>(pDock->widget());
            (pDock->windowTitle() == QStringLiteral("Inspector") ? pInspector : pFrameStats) = pPanel;
        }
    }

    QAction *Action(const char *pszText) const
    {
        for (QAction *pAction : window.findChildren<QAction *>()) {
            if (pAction->text() == QLatin1String(pszText))
                return pAction;
        }
        return nullptr;
    }

    QWidget &window;
    QTableView *pHistory = nullptr;
    QTreeView *pTree = nullptr;
    CQTimelineView *pTimeline = nullptr;
    QComboBox *pSwapChains = nullptr;
    CGpuFrameProfileModel *pModel = nullptr;
    CQStatsDisplayWidget *pFrameStats = nullptr;
    CQStatsDisplayWidget *pInspector = nullptr;
};

// Hands a frame to the window as the subtool does (header pointer and a sample array that the
// window takes over).
inline void HandOver(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    GpuSampleArray samples;
    samples.SetCount(int32(frame.samples.size()));
    if (!frame.samples.empty())
        std::memcpy(samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
    window.OnFrameReceived(&frame.header, &samples);
}

// Hands the frame over and runs one timer tick.
inline void Record(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    HandOver(window, frame);
    window.TimerCallback();
}

// The records of a recorded frame as the history gives them back.
inline std::vector<GpuSampleRecord> RecordedSamples(const FrameHistory &history, const FrameHistoryEntry *pEntry)
{
    GpuSampleArray samples;
    if (!pEntry || !history.DecodeSamples(*pEntry, &samples))
        return {};
    return std::vector<GpuSampleRecord>(samples.begin(), samples.end());
}

// A frame of the given swap chain with samples of the given GPU times (ms), starting at the
// given GPU start times (ms), named "s0", "s1", ...
inline TargetFrame TimedFrame(uint64 nSwapChain, const QList<double> &gpuTimesMs, const QList<double> &gpuStartsMs = {})
{
    TargetFrame frame;
    frame.header = MakeFrameHeader(nSwapChain, "Main", uint32(gpuTimesMs.size()));
    double flStart = 0.0;
    for (int i = 0; i < gpuTimesMs.size(); ++i) {
        SampleTiming timing;
        timing.gpuTime = gpuTimesMs[i] / 1000.0;
        timing.cpuTime = timing.gpuTime / 2.0;
        timing.gpuStartTime = i < gpuStartsMs.size() ? gpuStartsMs[i] / 1000.0 : flStart;
        flStart = timing.gpuStartTime + timing.gpuTime;
        char name[16];
        std::snprintf(name, sizeof(name), "s%d", i);
        frame.samples.push_back(MakeSampleRecord(name, timing));
    }
    frame.SyncSampleCount();
    return frame;
}
