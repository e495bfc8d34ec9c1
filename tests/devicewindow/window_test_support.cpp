#include "window_test_support.h"

#include "frame_profile_model.h"
#include "stats_display_widget.h"
#include "subtool_link.h"
#include "timeline_view.h"
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QTableView>
#include <QTreeView>

#include <cstdio>
#include <cstring>

QList<uint32> CommandRecorder::s_WindowIds;

namespace {

Commands s_Sent;

bool RecordSend(uint32 nWindowId, uint32 nCode, uint32 nValue)
{
    CommandRecorder::s_WindowIds.append(nWindowId);
    s_Sent.append({nCode, nValue});
    return true;
}

void IgnoreForget(uint32) {}

} // namespace

CommandRecorder::CommandRecorder()
{
    s_Sent.clear();
    s_WindowIds.clear();
    SetSubToolLink({&RecordSend, &IgnoreForget});
}

CommandRecorder::~CommandRecorder()
{
    SetSubToolLink({nullptr, nullptr});
}

Commands CommandRecorder::Take()
{
    return std::exchange(s_Sent, {});
}

WindowParts::WindowParts(QWidget &w) : window(w)
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

QAction *WindowParts::Action(const char *pszText) const
{
    for (QAction *pAction : window.findChildren<QAction *>()) {
        if (pAction->text() == QLatin1String(pszText))
            return pAction;
    }
    return nullptr;
}

void HandOver(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    GpuSampleArray samples;
    samples.SetCount(int32(frame.samples.size()));
    if (!frame.samples.empty())
        std::memcpy(samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
    window.OnFrameReceived(&frame.header, &samples);
}

void Record(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    HandOver(window, frame);
    window.TimerCallback();
}

std::vector<GpuSampleRecord> RecordedSamples(const FrameHistory &history, const FrameHistoryEntry *pEntry)
{
    GpuSampleArray samples;
    if (!pEntry || !history.DecodeSamples(*pEntry, &samples))
        return {};
    return std::vector<GpuSampleRecord>(samples.begin(), samples.end());
}

TargetFrame TimedFrame(uint64 nSwapChain, const QList<double> &gpuTimesMs, const QList<double> &gpuStartsMs)
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
