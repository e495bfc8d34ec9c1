#pragma once
// Pieces shared by the device window tests: a subtool link that records what windows send, a
// window whose save dialog answers with a set name, the window's parts found as a user finds
// them, and frames handed over the way the subtool hands them.

#include "device_window.h"
#include "frame_builder.h"

#include <QList>
#include <QPair>

#include <vector>

class CQStatsDisplayWidget;
class CQTimelineView;
class QAction;
class QComboBox;
class QTableView;
class QTreeView;

using Commands = QList<QPair<uint32, uint32>>;

// Installs a link whose commands and forgotten windows are recorded here.
class CommandRecorder
{
public:
    CommandRecorder();
    ~CommandRecorder();
    // (code, value) pairs sent since construction or the last Take().
    Commands Take();
    // The window id of every command sent since construction.
    static QList<uint32> s_WindowIds;
};

// A window whose "Save as CSV..." and "Save Capture..." answer with sSaveFileName (empty: the
// user cancels) instead of asking.
class CTestWindow : public CQCGPUProfilerDeviceWindow
{
public:
    explicit CTestWindow(const char *pszName = "Game", uint32 nId = 7, bool bCapture = false)
        : CQCGPUProfilerDeviceWindow(pszName, nId, bCapture)
    {
    }
    QString sSaveFileName;

protected:
    QString SaveFileName(const QString &, const QString &) override { return sSaveFileName; }
};

// The widgets of a window.
struct WindowParts
{
    explicit WindowParts(QWidget &window);
    QAction *Action(const char *pszText) const;
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
void HandOver(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame);
// Hands the frame over and runs one timer tick.
void Record(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame);

// The records of a recorded frame as the history gives them back.
std::vector<GpuSampleRecord> RecordedSamples(const FrameHistory &history, const FrameHistoryEntry *pEntry);

// A frame of the given swap chain with samples of the given GPU times (ms), starting at the
// given GPU start times (ms), named "s0", "s1", ...
TargetFrame TimedFrame(uint64 nSwapChain, const QList<double> &gpuTimesMs, const QList<double> &gpuStartsMs = {});
