#pragma once
// The profiler's main window for one target: the frame history as a bar graph, the timeline of
// the selected frame, its samples as a tree (while paused), the "Frame Stats" and "Inspector"
// docks, the "Profiler" toolbar, the CSV export and, on request, the GPU resource window. It
// also sends the target its profiling commands.
//
// Frames are not shown as they arrive: OnFrameReceived only queues them, and the 16 ms timer
// records the newest one and selects it. A window opened for a capture file records every frame
// as it arrives instead, and the next tick shows them paused on the newest one.

#include "frame_history.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QHash>
#include <QItemSelection>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QModelIndex>

#include <functional>
#include <memory>
#include <vector>

// The profiler's own log lines (what a target got wrong), each starting with the target's name.
Q_DECLARE_LOGGING_CATEGORY(lcGpuProfiler)

class CGpuFrameProfileModel;
class CQGPUResourceWidget;
class CQStatsDisplayWidget;
class CQTimelineView;
class QAction;
class QComboBox;
class QLabel;
class QStandardItemModel;
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

    // Writes every recorded frame of every listed swap chain (in the order they were listed,
    // oldest frame first) and the last texture and buffer lists into a capture file; false with
    // a message naming the file when it cannot be written.
    bool WriteCapture(const QString &sPath, QString *pError);
    // "File" > "Save Capture...": asks for a file name and writes the capture there. Not a slot:
    // the window's slots are the sixteen its callers know by position.
    void SaveCapture();

    // Where "Save as CSV..." and "Save Capture..." get their file name; the file dialog unless
    // set (tests set it).
    using SaveFileNameProvider = std::function<QString(QWidget *pParent)>;
    static void SetSaveFileNameProvider(SaveFileNameProvider provider);

    // Read access for the tests and the benchmarks.
    uint32 WindowId() const { return windowId; }
    bool IsCaptureWindow() const { return captureWindow; }
    // The frames recorded for listed swap chain nChain (the shown history for the selected one);
    // null when none were.
    const FrameHistory *SwapChainHistory(int32 nChain) const;
    // The last resource lists received, as they came; empty before the first.
    const GrowableArray<uint8> &LastTextureList() const { return lastTextureList; }
    const GrowableArray<uint8> &LastBufferList() const { return lastBufferList; }
    const QByteArray &TargetName() const { return targetName; }
    FrameHistory &History() { return frameHistory; }
    FrameHistoryEntry *SelectedFrame() const { return selectedFrame; }
    // The selected frame's header and records, as the model, the timeline and the export read
    // them; null when no frame is selected.
    const GpuFrame *ShownFrame() const { return selectedFrame ? &shownFrame : nullptr; }
    CGpuFrameProfileModel *SampleModel() const { return sampleModel; }
    CQTimelineView *TimelineView() const { return timelineView; }
    QTreeView *SamplesTree() const { return samplesTree; }
    QTableView *HistoryTable() const { return historyTable; }
    QStandardItemModel *HistoryModel() const { return historyModel; }
    CQStatsDisplayWidget *FrameStatsPanel() const { return frameStatsPanel; }
    CQStatsDisplayWidget *InspectorPanel() const { return inspectorPanel; }
    CQGPUResourceWidget *ResourceWindow() const { return resourceWindow; }
    QComboBox *SwapChainCombo() const { return swapChainCombo; }
    QAction *PauseAction() const { return pauseAction; }
    QAction *FlushingAction() const { return flushingAction; }
    QAction *RemoveBubblesAction() const { return removeBubblesAction; }
    const GrowableArray<uint64> &SwapChains() const { return swapChains; }
    // Frames of swap chains beyond kMaxSwapChains, which are neither listed nor recorded.
    uint64 UnlistedSwapChainFrames() const { return unlistedSwapChainFrames; }
    // The status line's text; empty while nothing was dropped.
    QString StatusText() const;
    uint64 SelectedSwapChain() const { return selectedSwapChain; }
    int32 PendingFrameCount() const { return pendingFrames.Count(); }
    bool IsPaused() const { return paused; }
    double TimelineOrigin() const { return timelineOrigin; }
    int32 ExpandDepth() const { return expandDepth; }

    // The pending queue holds at most this many frames, oldest first, and waiting frames other
    // than the newest hold at most this many bytes of samples.
    static constexpr int32 kMaxPendingFrames = 129;
    static constexpr int64 kMaxPendingSampleBytes = int64(64) << 20;
    // No swap chain chosen yet.
    static constexpr uint64 kNoSwapChain = 0xFFFFFFFFu;
    // The combo box lists at most this many swap chains, far more than a game presents to; a
    // target inventing a new id for every frame must not grow it without end. Frames of further
    // swap chains are counted and dropped, and the first of them is logged.
    static constexpr int32 kMaxSwapChains = 64;
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
    void closeEvent(QCloseEvent *pEvent) override;

private:
    void BuildContents();
    void SendCommand(uint32 nCode, uint32 nValue);
    void ProcessFrame(PendingFrame &pending);
    // For every listed swap chain besides the selected one, records the newest of the frames
    // that waited with the one just processed (pendingFrames[0..nNewest)).
    void KeepOtherSwapChains(int32 nNewest);
    // The place of the frame's swap chain in swapChains, listing it when it is new; -1 for a
    // swap chain beyond kMaxSwapChains.
    int32 ListSwapChain(const GpuFrameHeader &header);
    // The frames recorded for swap chain nChain: frameHistory for the selected one.
    FrameHistory &HistoryOf(int32 nChain);
    // Its entry of otherHistories, made when first needed.
    FrameHistory &KeptHistory(int32 nChain);
    // Records a complete frame of swap chain nChain as the history keeps it (bubbles removed if
    // asked, a placeholder for a frame without samples); samples is changed on the way.
    FrameHistoryEntry &RecordFrame(int32 nChain, const GpuFrameHeader &header, GpuSampleArray &samples);
    // Keeps the frames of all swap chains within frameHistory's memory bound: frames kept only
    // for saving go first and never push out shown ones.
    void KeepWithinMemoryBound();
    // A capture's window: the selected swap chain's frames in the bar table, paused on the newest.
    void ShowCapturedFrames();
    double RemoveBubblesAndTotal(GpuSampleArray &samples) const;
    // Makes the shown frame the selected one, unpacking its records unless they are shown already.
    void ShowSelectedRecords();
    void RebuildHistoryTable();
    void AppendHistoryColumn();
    // The selected columns of the history row as sorted runs, touching runs joined.
    static QList<QPair<int, int>> SelectedColumnRuns(const QItemSelection &selection);
    QItemSelection SelectionOfColumnRuns(const QList<QPair<int, int>> &runs) const;
    void ShowFrameOnTimeline();
    void AttachSamplesTree();
    void ConfigureSamplesTree();
    void ApplyExpandDepth();
    void ReleasePendingFrames();

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
    QStandardItemModel *historyModel = nullptr;
    CQGPUResourceWidget *resourceWindow = nullptr;
    GrowableArray<uint64> swapChains;
    // Place of each listed swap chain in swapChains, so that a frame finds its swap chain
    // without walking the list.
    QHash<quint64, int32> swapChainIndex;
    uint64 unlistedSwapChainFrames = 0;
    uint64 selectedSwapChain = kNoSwapChain;
    FrameHistory frameHistory;
    // The frames of the listed swap chains other than the selected one, the most recent up to
    // 499 each, kept for "Save Capture..." (entry i for swapChains[i]; the selected chain's are
    // frameHistory, and a capture's window shows them when their swap chain is picked).
    std::vector<std::unique_ptr<FrameHistory>> otherHistories;
    // The last texture and buffer lists received, as they came (the link bounds their size).
    GrowableArray<uint8> lastTextureList;
    GrowableArray<uint8> lastBufferList;
    const bool captureWindow;
    // A capture's frames arrived since the last tick, which shows them.
    bool captureArrived = false;
    FrameHistoryEntry *selectedFrame = nullptr;
    // The selected frame unpacked: its header and records (the newest frame's records are kept
    // as they arrived, so a live tick unpacks nothing), and the serial of the entry they are.
    GpuFrame shownFrame;
    GpuSampleArray shownSamples;
    uint64 shownSerial = 0;
    CGpuFrameProfileModel *sampleModel = nullptr;
    GrowableArray<PendingFrame> pendingFrames;
    bool paused = false;
    bool pausedAtLastTick = false;
    bool removeBubbles = true;
    bool pipelineFlushing = true;
    bool hierarchical = true;

    // The ring slot of the history table's first column and the number of columns it mirrors,
    // so that a recording only adds (and, once full, drops) one column instead of refilling all.
    int32 tableHead = 0;
    int32 tableCount = 0;
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
