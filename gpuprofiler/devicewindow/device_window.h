#pragma once
// The profiler's main window for one target: the frame history as a bar graph, the timeline of
// the selected frame, its samples as a tree (while paused), the "Frame Stats" and "Inspector"
// docks, the "Profiler" toolbar, the CSV export and, on request, the GPU resource window. It
// also sends the target its profiling commands.
//
// Frames are not shown as they arrive: OnFrameReceived only queues them, and the 16 ms timer
// records the newest one and selects it. A window opened for a capture file records every frame
// as it arrives instead, and the next tick shows them paused on the newest one.

#include "frame_intake.h"
#include "wire_profiler.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QItemSelection>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QModelIndex>

// The profiler's own log lines (what a target got wrong), each starting with the target's name.
Q_DECLARE_LOGGING_CATEGORY(lcGpuProfiler)

class CFrameHistoryModel;
class CGpuFrameProfileModel;
class CQGPUResourceWidget;
class CQStatsDisplayWidget;
class CQTimelineView;
class QAction;
class QComboBox;
class QLabel;
class QTableView;
class QTreeView;

class CQCGPUProfilerDeviceWindow : public QMainWindow
{
    Q_OBJECT

public:
    // bCapture: the target is a capture played back, not a live target.
    CQCGPUProfilerDeviceWindow(const char *pszTargetName, uint32 nWindowId, bool bCapture = false);
    ~CQCGPUProfilerDeviceWindow() override;

    // Called by the subtool.
    virtual void OnFrameReceived(const GpuFrameHeader *pHeader, GpuSampleArray *pSamples);
    virtual void OnTextureListReceived(const void *pPayload, uint32 nSize);
    virtual void OnBufferListReceived(const void *pPayload, uint32 nSize);
    virtual void OnTargetStateChanged(int nState);
    // The subtool dropped something malformed that the target sent: nKind tells one kind of
    // mistake from another (below kContentErrorKinds), pszReason says what was wrong, nDropped
    // counts everything dropped from this target so far. Shown in the status line; logged once
    // per kind, then at most once a minute per kind.
    void OnContentError(int nKind, const char *pszReason, uint64 nDropped);

    // Sends the window's closing commands now (they are sent once): used when the window is
    // closed by its user and destroyed only after the toolkit has finished with the close event.
    void SendClosingCommands();
    // The user closed the window; it must be deleted later, not inside its own close event.
    bool IsClosingByUser() const { return closingByUser; }

    // The frames, swap chains and lists this window holds, and its history's memory bound.
    CFrameIntake &Intake() { return intake; }
    const CFrameIntake &Intake() const { return intake; }
    // The selected frame's entry, and its header and records as the model, the timeline and the
    // export read them; null when no frame is selected.
    const FrameHistoryEntry *SelectedFrame() const { return selectedFrame; }
    const GpuFrame *ShownFrame() const { return selectedFrame ? &shownFrame : nullptr; }

    // Kinds of malformed content told apart in the log.
    static constexpr int kContentErrorKinds = 16;
    // A kind of mistake is logged again at most this often, with how many came in between.
    static constexpr int64 kContentLogIntervalMs = 60000;

public slots:
    void PauseUpdates(bool bPause);
    void DisablePipelineBubbles(bool bDisable);
    void PipelineFlushing(bool bFlushing);
    void SamplesTreeItemCurrentItemChanged(QModelIndex current);
    void UpdateInspectorPanel(QModelIndex index);
    void TimelineViewCursorTimeChanged(double flNewTime);
    void SwapChainComboBoxIndexChanged(int index);
    void SaveCurrentProfileAsCSV();
    void SetHierarchicalViewEnabled(bool bEnable);
    void TimerCallback();
    void SetSelectedFrame(int nIdx);
    void SetSelectedFrame(QModelIndex selectedFrame);
    void ShowGPUResourceWindow();
    void ExpandTreeViewZeroDeep();
    void ExpandTreeViewOneDeep();
    void ExpandTreeViewTwoDeep();

protected:
    // Where "Save as CSV..." and "Save Capture..." write: the toolkit's save-file dialog with this
    // caption and filter; empty when the user cancels it.
    virtual QString SaveFileName(const QString &sCaption, const QString &sFilter);
    void closeEvent(QCloseEvent *pEvent) override;
    // The user's locale changed: numbers are shown in the new one.
    void changeEvent(QEvent *pEvent) override;

private:
    void BuildContents();
    void SendCommand(GpuProfilerCommand nCommand, uint32 nValue);
    // "File" > "Save Capture...": asks for a file name and writes the capture there. Not a slot:
    // the window's slots are the sixteen its callers know by position.
    void SaveCapture();
    // Lists in the combo box the swap chains the intake listed since, and logs the first frame of
    // a swap chain beyond the limit.
    void ShowNewSwapChains();
    // A capture's window: the selected swap chain's frames in the bar table, paused on the newest.
    void ShowCapturedFrames();
    // Makes the shown frame the selected one, unpacking its records unless they are shown already.
    void ShowSelectedRecords();
    // The history row follows the ring, and its newest column becomes the selected frame.
    void RebuildHistoryTable();
    // The selected columns of the history row as sorted runs, touching runs joined.
    static QList<QPair<int, int>> SelectedColumnRuns(const QItemSelection &selection);
    QItemSelection SelectionOfColumnRuns(const QList<QPair<int, int>> &runs) const;
    void ShowFrameOnTimeline();
    void AttachSamplesTree();
    void ConfigureSamplesTree();
    void ApplyExpandDepth();

    QByteArray targetName;
    uint32 windowId;
    QGraphicsScene scene;
    CQTimelineView *timelineView = nullptr;
    double timelineOrigin = 0.0;
    QWidget *centralWidget = nullptr;
    QAction *pauseAction = nullptr;
    QAction *removeBubblesAction = nullptr;
    QAction *flushingAction = nullptr;
    QComboBox *swapChainCombo = nullptr;
    QTreeView *samplesTree = nullptr;
    int32 expandDepth = 0;
    CQStatsDisplayWidget *frameStatsPanel = nullptr;
    CQStatsDisplayWidget *inspectorPanel = nullptr;
    QTableView *historyTable = nullptr;
    CFrameHistoryModel *historyModel = nullptr;
    CQGPUResourceWidget *resourceWindow = nullptr;
    CFrameIntake intake;
    // A capture's frames arrived since the last tick, which shows them.
    bool captureArrived = false;
    FrameHistoryEntry *selectedFrame = nullptr;
    // The selected frame unpacked: its header and records (the newest frame's records are kept
    // as they arrived, so a live tick unpacks nothing), and the serial of the entry they are.
    GpuFrame shownFrame;
    GpuSampleArray shownSamples;
    uint64 shownSerial = 0;
    CGpuFrameProfileModel *sampleModel = nullptr;
    bool paused = false;
    bool pausedAtLastTick = false;
    bool pipelineFlushing = true;
    bool hierarchical = true;
    // A TimerCallback never runs inside another one of this window (a combo-box change inside a
    // tick runs the callback again).
    bool timerCallbackRunning = false;
    bool swapChainLimitLogged = false;

    // What expandDepth asks of the tree.
    enum
    {
        EXPAND_NONE = 0,
        EXPAND_ONE_LEVEL = 1,
        EXPAND_ALL = 2,
    };

    bool closingCommandsSent = false;
    bool closingByUser = false;
    bool expandingRows = false; // the tree is being expanded or collapsed as a whole

    // What the target sent that was dropped: the status line (made with the first) and, per
    // kind, when its last log line was written and how many came since.
    QLabel *contentErrorLabel = nullptr;
    struct ContentLog
    {
        QElapsedTimer lastLine;
        uint64 nSinceLine = 0;
    };
    ContentLog contentLogs[kContentErrorKinds];
};
