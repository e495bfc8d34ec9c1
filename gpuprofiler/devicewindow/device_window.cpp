#include "device_window.h"

#include "bar_graph_item_delegate.h"
#include "capture_writer.h"
#include "csv_export.h"
#include "frame_profile_model.h"
#include "gpu_buffer_list_widget.h"
#include "gpu_resource_widget.h"
#include "printable_text.h"
#include "stats_display_widget.h"
#include "subtool_link.h"
#include "texture_list_widget.h"
#include "timeline_frame.h"
#include "timeline_view.h"
#include "wire_profiler.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcGpuProfiler, "corvid.tool.gpuprofiler")

namespace {

// One flag for the whole process: a TimerCallback never runs inside another one, of this
// window or of any other (a combo-box change inside a tick runs the callback again).
bool s_bTimerCallbackRunning = false;

constexpr int kHistoryColumnWidth = 16;
constexpr int kHistoryRowHeight = 80;

QString ToolImage(const char *pszFile)
{
    return QStringLiteral("toolimages:gpuprofilertool/") + QLatin1String(pszFile);
}

CQCGPUProfilerDeviceWindow::SaveFileNameProvider &SaveFileNameHook()
{
    static CQCGPUProfilerDeviceWindow::SaveFileNameProvider s_Provider;
    return s_Provider;
}

} // namespace

void CQCGPUProfilerDeviceWindow::SetSaveFileNameProvider(SaveFileNameProvider provider)
{
    SaveFileNameHook() = std::move(provider);
}

CQCGPUProfilerDeviceWindow::CQCGPUProfilerDeviceWindow(const char *pszTargetName, uint32 nWindowId, bool bCapture)
    : QMainWindow(nullptr), targetName(pszTargetName ? pszTargetName : ""), windowId(nWindowId), captureWindow(bCapture)
{
    shownFrame.samples = &shownSamples;
    // A capture's frames were recorded once already, by the window that saved them: they are
    // shown as the file holds them, with the bubbles that window kept or removed.
    removeBubbles = !captureWindow;
    sampleModel = new CGpuFrameProfileModel(this);
    historyModel = new QStandardItemModel(this);
    historyModel->setRowCount(1);

    setWindowIcon(QIcon(ToolImage("appicon.png")));
    setWindowTitle(QString::asprintf("GPU Profiler - %s ", targetName.constData()));
    resize(1500, 768);

    BuildContents();

    SendCommand(1, pipelineFlushing ? 1 : 0);
    SendCommand(0, 1);
}

void CQCGPUProfilerDeviceWindow::BuildContents()
{
    timelineView = new CQTimelineView(&scene, QColor(20, 20, 20, 255), this);
    timelineView->setMinimumHeight(120);
    timelineView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    connect(timelineView, &CQTimelineView::cursorTimeChanged, this, &CQCGPUProfilerDeviceWindow::TimelineViewCursorTimeChanged);

    historyTable = new QTableView(this);
    historyTable->setMinimumHeight(100);
    historyTable->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    historyTable->setSortingEnabled(false);
    historyTable->setModel(historyModel);
    historyTable->setRowHeight(0, kHistoryRowHeight);
    historyTable->horizontalHeader()->hide();
    historyTable->verticalHeader()->hide();
    // Columns are narrower than the style's usual minimum section.
    historyTable->horizontalHeader()->setMinimumSectionSize(1);
    historyTable->horizontalHeader()->setDefaultSectionSize(kHistoryColumnWidth);
    historyTable->setItemDelegateForRow(0, new CQBarGraphItemDelegate(this, &frameHistory));
    historyTable->setSelectionBehavior(QAbstractItemView::SelectItems);
    historyTable->setSelectionMode(QAbstractItemView::SingleSelection);
    historyTable->setDragEnabled(false);
    historyTable->setDragDropMode(QAbstractItemView::NoDragDrop);
    connect(historyTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
            qOverload<QModelIndex>(&CQCGPUProfilerDeviceWindow::SetSelectedFrame));

    centralWidget = new QWidget(this);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(centralWidget->sizePolicy().hasHeightForWidth());
    centralWidget->setSizePolicy(policy);
    centralWidget->setAutoFillBackground(false);
    auto *pLayout = new QVBoxLayout(centralWidget);
    auto *pSplitter = new QSplitter(Qt::Vertical, centralWidget);
    pSplitter->setChildrenCollapsible(false);
    pLayout->addWidget(pSplitter, 1);
    samplesTree = new QTreeView(centralWidget);
    samplesTree->setMinimumHeight(200);
    samplesTree->setUniformRowHeights(true);
    samplesTree->setAllColumnsShowFocus(true);
    samplesTree->header()->setStretchLastSection(false);
    pSplitter->addWidget(historyTable);
    pSplitter->addWidget(timelineView);
    pSplitter->addWidget(samplesTree);
    pSplitter->setStretchFactor(0, 10);
    pSplitter->setStretchFactor(1, 16);
    pSplitter->setStretchFactor(2, 60);
    setCentralWidget(centralWidget);

    QMenu *pFileMenu = menuBar()->addMenu(QStringLiteral("File"));
    QAction *pSaveCsv = pFileMenu->addAction(QStringLiteral("Save as CSV..."));
    connect(pSaveCsv, &QAction::triggered, this, &CQCGPUProfilerDeviceWindow::SaveCurrentProfileAsCSV);
    QAction *pSaveCapture = pFileMenu->addAction(QStringLiteral("Save Capture..."));
    connect(pSaveCapture, &QAction::triggered, this, &CQCGPUProfilerDeviceWindow::SaveCapture);

    QToolBar *pToolBar = addToolBar(QStringLiteral("Profiler"));
    pauseAction = new QAction(QIcon(ToolImage("pause.png")), QStringLiteral("Pause"), pToolBar);
    removeBubblesAction = new QAction(QIcon(ToolImage("removebubbles.png")), QStringLiteral("Remove Timeline Bubbles"), pToolBar);
    flushingAction = new QAction(QIcon(ToolImage("flush.png")), QStringLiteral("GPU Pipeline Flushing"), pToolBar);
    auto *pHierarchyAction = new QAction(QIcon(ToolImage("hierarchy.png")), QStringLiteral("Hierarchy"), pToolBar);
    auto *pExpandAllAction = new QAction(QIcon(ToolImage("expandall.png")), QStringLiteral("Expand All"), pToolBar);
    auto *pExpandOneAction = new QAction(QIcon(ToolImage("expandone.png")), QStringLiteral("Expand One"), pToolBar);
    auto *pCollapseAllAction = new QAction(QIcon(ToolImage("collapseall.png")), QStringLiteral("Collapse All"), pToolBar);
    auto *pResourceAction = new QAction(QIcon(ToolImage("memorychip.png")), QStringLiteral("GPU Resource List"), pToolBar);

    pauseAction->setCheckable(true);
    pauseAction->setChecked(false);
    connect(pauseAction, &QAction::toggled, this, &CQCGPUProfilerDeviceWindow::PauseUpdates);
    removeBubblesAction->setCheckable(true);
    removeBubblesAction->setChecked(removeBubbles);
    connect(removeBubblesAction, &QAction::toggled, this, &CQCGPUProfilerDeviceWindow::DisablePipelineBubbles);
    flushingAction->setCheckable(true);
    flushingAction->setChecked(pipelineFlushing);
    connect(flushingAction, &QAction::toggled, this, &CQCGPUProfilerDeviceWindow::PipelineFlushing);
    pHierarchyAction->setCheckable(true);
    pHierarchyAction->setChecked(hierarchical);
    // The model rebuilds first, then the tree is configured for it, then the expansion actions
    // follow the mode.
    connect(pHierarchyAction, &QAction::toggled, sampleModel, &CGpuFrameProfileModel::SetHierarchicalMode);
    connect(pHierarchyAction, &QAction::toggled, this, &CQCGPUProfilerDeviceWindow::SetHierarchicalViewEnabled);
    connect(pHierarchyAction, &QAction::toggled, pExpandAllAction, &QAction::setEnabled);
    connect(pHierarchyAction, &QAction::toggled, pExpandOneAction, &QAction::setEnabled);
    connect(pHierarchyAction, &QAction::toggled, pCollapseAllAction, &QAction::setEnabled);
    connect(pCollapseAllAction, &QAction::triggered, this, &CQCGPUProfilerDeviceWindow::ExpandTreeViewZeroDeep);
    connect(pExpandOneAction, &QAction::triggered, this, &CQCGPUProfilerDeviceWindow::ExpandTreeViewOneDeep);
    connect(pExpandAllAction, &QAction::triggered, this, &CQCGPUProfilerDeviceWindow::ExpandTreeViewTwoDeep);

    pToolBar->addAction(pauseAction);
    pToolBar->addAction(removeBubblesAction);
    pToolBar->addAction(flushingAction);
    pToolBar->addSeparator();
    pToolBar->addAction(pHierarchyAction);
    pToolBar->addAction(pCollapseAllAction);
    pToolBar->addAction(pExpandOneAction);
    pToolBar->addAction(pExpandAllAction);
    pToolBar->addSeparator();
    swapChainCombo = new QComboBox(pToolBar);
    swapChainCombo->setMinimumWidth(200);
    swapChainCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(swapChainCombo, &QComboBox::currentIndexChanged, this, &CQCGPUProfilerDeviceWindow::SwapChainComboBoxIndexChanged);
    pToolBar->addWidget(swapChainCombo);
    pToolBar->addSeparator();
    connect(pResourceAction, &QAction::triggered, this, &CQCGPUProfilerDeviceWindow::ShowGPUResourceWindow);
    pToolBar->addAction(pResourceAction);

    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);

    auto *pStatsDock = new QDockWidget(QStringLiteral("Frame Stats"), this);
    pStatsDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    frameStatsPanel = new CQStatsDisplayWidget(this);
    frameStatsPanel->SetDisplayMode(1);
    frameStatsPanel->UpdateRowVisibility();
    pStatsDock->setWidget(frameStatsPanel);
    addDockWidget(Qt::RightDockWidgetArea, pStatsDock);

    inspectorPanel = new CQStatsDisplayWidget(this);
    inspectorPanel->SetDisplayMode(0);
    inspectorPanel->UpdateRowVisibility();
    auto *pInspectorDock = new QDockWidget(QStringLiteral("Inspector"), this);
    pInspectorDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    pInspectorDock->setWidget(inspectorPanel);
    addDockWidget(Qt::RightDockWidgetArea, pInspectorDock, Qt::Vertical);
    // Wide enough for the longest label and a value beside it.
    resizeDocks({pStatsDock, pInspectorDock}, {380, 380}, Qt::Horizontal);

    // "Frame Stats" always shows the frame the model was last built for: a rebuild refills the
    // statistics model, whoever asked for it (a new frame, or the "Hierarchy" toggle).
    connect(sampleModel, &QAbstractItemModel::modelReset, this, [this] {
        if (sampleModel->columnCount() > 0)
            ShowPanelRow(frameStatsPanel, sampleModel->frameStatsModel()->index(0, 0));
    });
    // Names hide in collapsed rows when the columns are fitted; a row the user opens shows its
    // samples' names in full. Only "Name" is fitted again: widths the user gave stay.
    // The tree also reports every row that "Expand All" opens; those are fitted once, after.
    connect(samplesTree, &QTreeView::expanded, this, [this] {
        if (!expandingRows)
            samplesTree->resizeColumnToContents(0);
    });

    auto *pTimer = new QTimer(this);
    connect(pTimer, &QTimer::timeout, this, &CQCGPUProfilerDeviceWindow::TimerCallback);
    pTimer->start(16);
}

CQCGPUProfilerDeviceWindow::~CQCGPUProfilerDeviceWindow()
{
    SendClosingCommands();
    delete timelineView;
    timelineView = nullptr;
    delete resourceWindow;
    resourceWindow = nullptr;
    // The tree's model and the history are about to go; nothing may point into them.
    samplesTree->setModel(nullptr);
    sampleModel->SetFrame(nullptr);
    sampleModel->clear();
    selectedFrame = nullptr;
    shownSamples.Purge();
    ReleasePendingFrames();
    pendingFrames.Purge();
    frameHistory.Clear();
    otherHistories.clear();
    lastTextureList.Purge();
    lastBufferList.Purge();
    swapChains.Purge();
    swapChainIndex.clear();
}

void CQCGPUProfilerDeviceWindow::SendCommand(uint32 nCode, uint32 nValue)
{
    if (const auto pfnSend = GetSubToolLink().SendTargetCommand)
        pfnSend(windowId, nCode, nValue);
}

void CQCGPUProfilerDeviceWindow::SendClosingCommands()
{
    if (closingCommandsSent)
        return;
    closingCommandsSent = true;
    SendCommand(1, 0);
    SendCommand(0, 0);
}

void CQCGPUProfilerDeviceWindow::closeEvent(QCloseEvent *pEvent)
{
    // The subtool drops this window's record; the window itself is deleted once the toolkit has
    // finished delivering this event. Nothing of the window is touched after the call.
    pEvent->accept();
    closingByUser = true;
    if (const auto pfnForget = GetSubToolLink().ForgetWindow)
        pfnForget(windowId);
}

void CQCGPUProfilerDeviceWindow::OnFrameReceived(const GpuFrameHeader *pHeader, GpuSampleArray *pSamples)
{
    if (!pHeader)
        return;
    if (captureWindow) {
        // Every frame of a capture is recorded, straight from the caller's array (whose storage
        // the next frame reuses); the next tick shows them.
        GpuSampleArray none;
        const int32 nChain = ListSwapChain(*pHeader);
        if (nChain >= 0)
            RecordFrame(nChain, *pHeader, pSamples ? *pSamples : none);
        captureArrived = true;
        return;
    }
    if (pendingFrames.Count() >= kMaxPendingFrames)
        pendingFrames.Remove(0);
    // Only the newest waiting frame is ever recorded, so older ones holding more than the byte
    // bound are let go at once rather than at the next tick.
    const int64 nIncoming = pSamples ? int64(pSamples->Capacity()) * int64(sizeof(GpuSampleRecord)) : 0;
    int64 nWaiting = 0;
    for (const PendingFrame &pending : pendingFrames)
        nWaiting += int64(pending.samples.Capacity()) * int64(sizeof(GpuSampleRecord));
    while (pendingFrames.Count() > 0 && nWaiting + nIncoming > kMaxPendingSampleBytes) {
        nWaiting -= int64(pendingFrames[0].samples.Capacity()) * int64(sizeof(GpuSampleRecord));
        pendingFrames.Remove(0);
    }
    const int32 nIndex = pendingFrames.AddToTail();
    if (nIndex < 0)
        return;
    PendingFrame &pending = pendingFrames[nIndex];
    pending.header = *pHeader;
    // The samples change hands without being copied; the caller keeps an empty array.
    if (pSamples)
        pending.samples.Swap(*pSamples);
}

namespace {

// Keeps a copy of a list payload; nothing when there is no memory for it.
void KeepPayload(GrowableArray<uint8> &kept, const void *pPayload, uint32 nSize)
{
    if (nSize > uint32(INT32_MAX) || !kept.SetCount(int32(nSize))) {
        kept.Purge();
        return;
    }
    if (nSize)
        std::memcpy(kept.Base(), pPayload, nSize);
}

} // namespace

void CQCGPUProfilerDeviceWindow::OnTextureListReceived(const void *pPayload, uint32 nSize)
{
    KeepPayload(lastTextureList, pPayload, nSize);
    if (resourceWindow)
        resourceWindow->TextureList()->UpdateTextureList(pPayload, nSize);
}

void CQCGPUProfilerDeviceWindow::OnBufferListReceived(const void *pPayload, uint32 nSize)
{
    KeepPayload(lastBufferList, pPayload, nSize);
    if (resourceWindow)
        resourceWindow->BufferList()->UpdateBufferList(pPayload, nSize);
}

void CQCGPUProfilerDeviceWindow::OnTargetStateChanged(int nState)
{
    if (nState != 3)
        return;
    SendCommand(1, pipelineFlushing ? 1 : 0);
    SendCommand(0, 1);
}

void CQCGPUProfilerDeviceWindow::OnContentError(int nKind, const char *pszReason, uint64 nDropped)
{
    const QString sReason = PrintableLatin1Text(pszReason, 256);
    if (!contentErrorLabel) {
        contentErrorLabel = new QLabel(this);
        statusBar()->addWidget(contentErrorLabel, 1);
    }
    contentErrorLabel->setText(QStringLiteral("%1 malformed chunks dropped; last: %2").arg(QLocale().toString(nDropped), sReason));

    // One line for each kind of mistake, then at most one a minute: a broken target sends the
    // same mistake with every frame, and the log must stay readable.
    ContentLog &log = contentLogs[nKind >= 0 && nKind < kContentErrorKinds ? nKind : 0];
    const QString sTarget = PrintableLatin1Text(targetName.constData(), size_t(targetName.size()));
    if (!log.lastLine.isValid()) {
        qCWarning(lcGpuProfiler).noquote() << QStringLiteral("%1: dropped %2").arg(sTarget, sReason);
        log.lastLine.start();
    } else if (log.lastLine.hasExpired(kContentLogIntervalMs)) {
        qCWarning(lcGpuProfiler).noquote()
            << QStringLiteral("%1: dropped %2 more like this since the last report, the latest %3")
                   .arg(sTarget, QString::number(log.nSinceLine + 1), sReason);
        log.lastLine.start();
        log.nSinceLine = 0;
    } else {
        ++log.nSinceLine;
    }
}

QString CQCGPUProfilerDeviceWindow::StatusText() const
{
    return contentErrorLabel ? contentErrorLabel->text() : QString();
}

void CQCGPUProfilerDeviceWindow::ReleasePendingFrames()
{
    pendingFrames.RemoveAll();
}

// ---------------------------------------------------------------------------------------------
// Slots

void CQCGPUProfilerDeviceWindow::PauseUpdates(bool bPause)
{
    paused = bPause;
}

void CQCGPUProfilerDeviceWindow::DisablePipelineBubbles(bool bDisable)
{
    removeBubbles = bDisable;
}

void CQCGPUProfilerDeviceWindow::PipelineFlushing(bool bFlushing)
{
    pipelineFlushing = bFlushing;
    SendCommand(1, bFlushing ? 1 : 0);
}

void CQCGPUProfilerDeviceWindow::SamplesTreeItemCurrentItemChanged(QModelIndex current)
{
    // Only the user's own moves in the tree move the cursor; moves made for the timeline do not.
    if (!samplesTree->hasFocus() || !current.model())
        return;
    const QModelIndex indexCell = current.model()->index(current.row(), 1, current.parent());
    if (!indexCell.isValid())
        return;
    const int nSample = indexCell.data(Qt::UserRole).toInt();
    if (!selectedFrame || nSample < 0 || nSample >= shownFrame.SampleCount())
        return;
    const GpuSampleRecord &sample = shownFrame.Samples()[nSample];
    timelineView->SetCursorTime(sample.GpuStartTime() - timelineOrigin, true, false);
}

void CQCGPUProfilerDeviceWindow::UpdateInspectorPanel(QModelIndex index)
{
    if (inspectorPanel)
        ShowPanelRow(inspectorPanel, index);
}

void CQCGPUProfilerDeviceWindow::TimelineViewCursorTimeChanged(double flNewTime)
{
    if (!paused || !timelineView->hasFocus() || !selectedFrame)
        return;
    const QModelIndex index = sampleModel->SampleIndexAtTime(flNewTime);
    if (index.isValid())
        samplesTree->setCurrentIndex(index);
}

void CQCGPUProfilerDeviceWindow::SwapChainComboBoxIndexChanged(int index)
{
    if (index < 0 || index >= swapChains.Count())
        return;
    if (swapChains[index] == selectedSwapChain)
        return;
    // The chain shown so far keeps its frames for saving; the picked one's become the shown
    // history (a capture shows them; a live window starts it afresh).
    sampleModel->clear();
    if (selectedSwapChain != kNoSwapChain)
        KeptHistory(swapChainIndex.value(selectedSwapChain)).Swap(frameHistory);
    selectedSwapChain = swapChains[index];
    if (size_t(index) < otherHistories.size() && otherHistories[size_t(index)])
        frameHistory.Swap(*otherHistories[size_t(index)]);
    tableCount = -1; // the table no longer mirrors the ring
    shownSerial = 0; // serials of another chain's frames may be the same
    if (captureWindow) {
        ShowCapturedFrames();
        return;
    }
    frameHistory.Clear();
    // The old swap chain's frame is gone from everything that showed it: until this swap chain
    // sends a frame, no frame is selected.
    SetSelectedFrame(-1);
    if (paused) {
        paused = false;
        pauseAction->setChecked(false);
    }
    TimerCallback();
}

void CQCGPUProfilerDeviceWindow::SaveCurrentProfileAsCSV()
{
    if (!selectedFrame)
        return;
    const QString sFileName =
        SaveFileNameHook() ? SaveFileNameHook()(this)
                           : QFileDialog::getSaveFileName(this, QStringLiteral("Save profile as CSV..."), QString(),
                                                          QStringLiteral("Comma-separated Values (*.csv)"), nullptr);
    if (sFileName.isEmpty())
        return;
    // While live the timer went on recording during the dialog: export what is selected now.
    if (!selectedFrame)
        return;
    const QString sText = BuildFrameCsvText(ShownFrame());
    QFile file(sFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        QMessageBox::warning(this, QStringLiteral("GPU Profiler"), QStringLiteral("Error writing to file %1.").arg(sFileName),
                             QMessageBox::Ok);
        return;
    }
    file.write(sText.toUtf8());
    file.close();
}

void CQCGPUProfilerDeviceWindow::SetHierarchicalViewEnabled(bool bEnable)
{
    hierarchical = bEnable;
    ConfigureSamplesTree();
}

void CQCGPUProfilerDeviceWindow::TimerCallback()
{
    if (s_bTimerCallbackRunning)
        return;
    s_bTimerCallbackRunning = true;

    if (captureWindow && captureArrived) {
        captureArrived = false;
        ShowCapturedFrames();
    }
    if (!paused && pendingFrames.Count() > 0) {
        ProcessFrame(pendingFrames[pendingFrames.Count() - 1]);
        KeepOtherSwapChains(pendingFrames.Count() - 1);
    }
    // Frames that arrive while paused, and all but the newest of a tick, are never recorded.
    ReleasePendingFrames();

    timelineView->RefreshLayout();

    if (paused != pausedAtLastTick) {
        if (paused) {
            AttachSamplesTree();
            ShowPanelRow(frameStatsPanel, sampleModel->frameStatsModel()->index(0, 0));
        } else {
            QItemSelectionModel *pSelection = samplesTree->selectionModel();
            samplesTree->setModel(nullptr);
            delete pSelection;
            if (inspectorPanel)
                ShowPanelRow(inspectorPanel, QModelIndex());
        }
    }
    pausedAtLastTick = paused;
    s_bTimerCallbackRunning = false;
}

void CQCGPUProfilerDeviceWindow::SetSelectedFrame(int nIdx)
{
    selectedFrame = frameHistory.EntryAt(nIdx);
    const bool bHierarchical = paused && hierarchical;
    // The model lets go of the records before they are replaced.
    sampleModel->SetFrame(selectedFrame ? &shownFrame : nullptr);
    sampleModel->clear();
    ShowSelectedRecords();
    sampleModel->SetHierarchical(bHierarchical);
    sampleModel->Rebuild(bHierarchical);
    ShowFrameOnTimeline();
    ConfigureSamplesTree();
}

void CQCGPUProfilerDeviceWindow::SetSelectedFrame(QModelIndex selectedIndex)
{
    SetSelectedFrame(selectedIndex.column());
}

void CQCGPUProfilerDeviceWindow::ShowGPUResourceWindow()
{
    if (!resourceWindow) {
        resourceWindow = new CQGPUResourceWidget(nullptr);
        connect(resourceWindow->TextureList(), &CQTextureListWidget::RequestTextureListUpdate, this,
                &CQCGPUProfilerDeviceWindow::ShowGPUResourceWindow);
        connect(resourceWindow->BufferList(), &CQGPUBufferListWidget::RequestBufferListUpdate, this,
                &CQCGPUProfilerDeviceWindow::ShowGPUResourceWindow);
    }
    SendCommand(4, 0);
    SendCommand(6, 0);
    // A capture has no target to ask: its window shows the lists the capture holds.
    if (captureWindow && !lastTextureList.IsEmpty())
        resourceWindow->TextureList()->UpdateTextureList(lastTextureList.Base(), uint32(lastTextureList.Count()));
    if (captureWindow && !lastBufferList.IsEmpty())
        resourceWindow->BufferList()->UpdateBufferList(lastBufferList.Base(), uint32(lastBufferList.Count()));
    resourceWindow->show();
}

void CQCGPUProfilerDeviceWindow::ExpandTreeViewZeroDeep()
{
    expandDepth = 0;
    samplesTree->collapseAll();
}

void CQCGPUProfilerDeviceWindow::ExpandTreeViewOneDeep()
{
    expandDepth = 1;
    ApplyExpandDepth();
    samplesTree->resizeColumnToContents(0);
}

void CQCGPUProfilerDeviceWindow::ExpandTreeViewTwoDeep()
{
    expandDepth = 2;
    ApplyExpandDepth();
    samplesTree->resizeColumnToContents(0);
}

// ---------------------------------------------------------------------------------------------
// Frame intake

int32 CQCGPUProfilerDeviceWindow::ListSwapChain(const GpuFrameHeader &header)
{
    const uint64 nSwapChainId = header.SwapChainId();
    if (const auto it = swapChainIndex.constFind(nSwapChainId); it != swapChainIndex.constEnd())
        return it.value();
    if (swapChains.Count() >= kMaxSwapChains) {
        if (unlistedSwapChainFrames++ == 0)
            qCWarning(lcGpuProfiler).noquote()
                << QStringLiteral("%1: more than %2 swap chains; frames of further swap chains are dropped")
                       .arg(PrintableLatin1Text(targetName.constData(), size_t(targetName.size())), QString::number(kMaxSwapChains));
        return -1;
    }
    if (swapChains.AddToTail(nSwapChainId) < 0)
        return -1;
    const int32 nChain = swapChains.Count() - 1;
    swapChainIndex.insert(nSwapChainId, nChain);
    // Adding the first item makes it current, which selects its swap chain right here.
    const std::string_view sName = header.SwapChainName();
    swapChainCombo->addItem(
        QStringLiteral("Swapchain \"%1\" (0x%2)").arg(PrintableLatin1Text(sName.data(), sName.size()), QString::number(nSwapChainId, 16)));
    if (selectedSwapChain == kNoSwapChain)
        selectedSwapChain = nSwapChainId;
    return nChain;
}

FrameHistory &CQCGPUProfilerDeviceWindow::HistoryOf(int32 nChain)
{
    return swapChains[nChain] == selectedSwapChain ? frameHistory : KeptHistory(nChain);
}

FrameHistory &CQCGPUProfilerDeviceWindow::KeptHistory(int32 nChain)
{
    if (otherHistories.size() <= size_t(nChain))
        otherHistories.resize(size_t(nChain) + 1);
    std::unique_ptr<FrameHistory> &pHistory = otherHistories[size_t(nChain)];
    if (!pHistory)
        pHistory = std::make_unique<FrameHistory>();
    return *pHistory;
}

const FrameHistory *CQCGPUProfilerDeviceWindow::SwapChainHistory(int32 nChain) const
{
    if (nChain < 0 || nChain >= swapChains.Count())
        return nullptr;
    if (swapChains[nChain] == selectedSwapChain)
        return &frameHistory;
    return size_t(nChain) < otherHistories.size() ? otherHistories[size_t(nChain)].get() : nullptr;
}

FrameHistoryEntry &CQCGPUProfilerDeviceWindow::RecordFrame(int32 nChain, const GpuFrameHeader &header, GpuSampleArray &samples)
{
    // The subtool hands over only complete frames, whose arrays hold exactly the announced
    // count; a header that claims more than came with it is held to what came.
    PrepareFrameRecords(header, samples);
    const double flTotalGpuTime = RemoveBubblesAndTotal(samples);
    FrameHistory &history = HistoryOf(nChain);
    history.SetMaxBytes(frameHistory.MaxBytes());
    FrameHistoryEntry &entry = history.Record(header, samples.Base(), samples.Count(), flTotalGpuTime);
    if (!otherHistories.empty())
        KeepWithinMemoryBound();
    return entry;
}

void CQCGPUProfilerDeviceWindow::KeepWithinMemoryBound()
{
    int64 nTotal = frameHistory.MemoryBytes();
    for (const auto &pHistory : otherHistories)
        nTotal += pHistory ? pHistory->MemoryBytes() : 0;
    // The shown history keeps itself within the bound; what is over it goes from the frames kept
    // for saving, the largest store's oldest first, even the frame just kept.
    while (nTotal > frameHistory.MaxBytes()) {
        FrameHistory *pLargest = nullptr;
        for (const auto &pHistory : otherHistories) {
            if (pHistory && pHistory->Count() > 0 && (!pLargest || pHistory->MemoryBytes() > pLargest->MemoryBytes()))
                pLargest = pHistory.get();
        }
        if (!pLargest)
            break;
        nTotal -= pLargest->MemoryBytes();
        pLargest->DropOldest();
        nTotal += pLargest->MemoryBytes();
    }
}

void CQCGPUProfilerDeviceWindow::ProcessFrame(PendingFrame &pending)
{
    const GpuFrameHeader &header = pending.header;
    const int32 nChain = ListSwapChain(header);
    if (nChain < 0)
        return;
    GpuSampleArray samples;
    samples.Swap(pending.samples);
    if (header.SwapChainId() != selectedSwapChain) {
        RecordFrame(nChain, header, samples);
        return;
    }
    // The model lets go of the shown records before they are replaced by this frame's, which
    // are shown as they are (no unpacking) when the recording selects it.
    sampleModel->clear();
    FrameHistoryEntry &entry = RecordFrame(nChain, header, samples);
    shownSamples.Swap(samples);
    shownFrame.header = header;
    shownSerial = entry.sampleCount == shownSamples.Count() ? entry.serial : 0;
    RebuildHistoryTable();
}

void CQCGPUProfilerDeviceWindow::KeepOtherSwapChains(int32 nNewest)
{
    if (swapChains.Count() < 2)
        return;
    const uint64 nAll = swapChains.Count() == 64 ? ~uint64(0) : (uint64(1) << swapChains.Count()) - 1;
    // The selected chain shows one frame a tick, the newest; the others keep their newest too.
    uint64 nDone = uint64(1) << swapChainIndex.value(selectedSwapChain);
    if (const auto it = swapChainIndex.constFind(pendingFrames[nNewest].header.SwapChainId()); it != swapChainIndex.constEnd())
        nDone |= uint64(1) << it.value();
    for (int32 i = nNewest - 1; i >= 0 && nDone != nAll; --i) {
        PendingFrame &pending = pendingFrames[i];
        const auto it = swapChainIndex.constFind(pending.header.SwapChainId());
        if (it == swapChainIndex.constEnd() || (nDone >> it.value()) & 1)
            continue;
        nDone |= uint64(1) << it.value();
        RecordFrame(it.value(), pending.header, pending.samples);
    }
}

void CQCGPUProfilerDeviceWindow::ShowCapturedFrames()
{
    // Paused first, so that the newest frame is built as the paused tree shows it.
    if (!paused) {
        paused = true;
        pauseAction->setChecked(true);
    }
    tableCount = -1;
    RebuildHistoryTable();
    if (frameHistory.Count() == 0)
        SetSelectedFrame(-1);
}

bool CQCGPUProfilerDeviceWindow::WriteCapture(const QString &sPath, QString *pError)
{
    CaptureInfo info;
    info.sTargetName = targetName.toStdString();
    info.nTakenAtUs = CaptureTimeNow();
    info.sWriterVersion = std::string("corvid ") + ProductVersion();
    CCaptureWriter writer;
    bool bWritten = writer.Open(sPath.toStdString(), info);
    if (bWritten && !lastTextureList.IsEmpty())
        bWritten = writer.AppendChunk(GPU_PROFILER_CHUNK_TEXTURES, GPU_PROFILER_CHUNK_VERSION, lastTextureList.Base(),
                                      uint32(lastTextureList.Count()));
    if (bWritten && !lastBufferList.IsEmpty())
        bWritten = writer.AppendChunk(GPU_PROFILER_CHUNK_BUFFERS, GPU_PROFILER_CHUNK_VERSION, lastBufferList.Base(),
                                      uint32(lastBufferList.Count()));
    std::vector<std::pair<const FrameHistory *, const FrameHistoryEntry *>> frames;
    for (int32 c = 0; c < swapChains.Count(); ++c) {
        const FrameHistory *pHistory = SwapChainHistory(c);
        for (int32 p = 0; pHistory && p < pHistory->Count(); ++p)
            frames.emplace_back(pHistory, pHistory->EntryAt(p));
    }
    // Unpacking reads the histories only, so two threads can do it at once.
    const auto source = [&frames](size_t nIndex, GpuFrameHeader *pHeader, GpuSampleArray *pSamples) {
        const auto [pHistory, pEntry] = frames[nIndex];
        *pHeader = pEntry->header;
        // A frame that came without samples goes out so again (its placeholder is the
        // history's); one whose records could not be stored is left out.
        if (pHeader->SampleCount() == 0)
            return pSamples->SetCount(0);
        if (pEntry->sampleCount == 0 || !pHistory->DecodeSamples(*pEntry, pSamples))
            return false;
        pHeader->SetSampleCount(uint32(pSamples->Count()));
        return true;
    };
    bWritten = bWritten && writer.AppendFrames(frames.size(), source);
    if (!writer.Close() || !bWritten) {
        *pError = QString::fromStdString(writer.Error());
        return false;
    }
    return true;
}

void CQCGPUProfilerDeviceWindow::SaveCapture()
{
    QString sFileName = SaveFileNameHook() ? SaveFileNameHook()(this)
                                           : QFileDialog::getSaveFileName(this, QStringLiteral("Save Capture..."), QString(),
                                                                          QStringLiteral("GPU Captures (*.gpucap)"), nullptr);
    if (sFileName.isEmpty())
        return;
    if (QFileInfo(sFileName).suffix().isEmpty())
        sFileName += QStringLiteral(".gpucap");
    QString sError;
    if (WriteCapture(sFileName, &sError))
        statusBar()->showMessage(QStringLiteral("Capture saved to %1").arg(sFileName), 10000);
    else
        QMessageBox::warning(this, QStringLiteral("GPU Profiler"), QStringLiteral("Could not save the capture: %1").arg(sError),
                             QMessageBox::Ok);
}

double CQCGPUProfilerDeviceWindow::RemoveBubblesAndTotal(GpuSampleArray &samples) const
{
    double flCpu = 0.0;
    double flGpu = 0.0;
    for (GpuSampleRecord &sample : samples) {
        if (removeBubbles) {
            sample.SetCpuStartTime(flCpu);
            sample.SetGpuStartTime(flGpu);
        }
        flCpu += sample.CpuTime();
        flGpu += sample.GpuTime();
    }
    return flGpu;
}

void CQCGPUProfilerDeviceWindow::ShowSelectedRecords()
{
    shownFrame.samples = &shownSamples;
    if (!selectedFrame) {
        shownSamples.Purge();
        shownSerial = 0;
        return;
    }
    if (selectedFrame->serial == shownSerial)
        return;
    shownFrame.header = selectedFrame->header;
    shownSerial = frameHistory.DecodeSamples(*selectedFrame, &shownSamples) ? selectedFrame->serial : 0;
    if (!shownSerial)
        shownSamples.Purge();
}

void CQCGPUProfilerDeviceWindow::AppendHistoryColumn()
{
    // Appending a column of items only announces the new column; putting an item into an
    // existing cell would make every view re-lay out all of its cells.
    const int nColumn = historyModel->columnCount();
    auto *pItem = new QStandardItem;
    pItem->setEditable(false);
    pItem->setData(frameHistory.EntryAt(nColumn)->totalGpuTime, CQBarGraphItemDelegate::kTotalGpuTimeRole);
    historyModel->appendColumn({pItem});
    historyTable->setColumnWidth(nColumn, kHistoryColumnWidth);
}

QList<QPair<int, int>> CQCGPUProfilerDeviceWindow::SelectedColumnRuns(const QItemSelection &selection)
{
    QList<QPair<int, int>> columns;
    for (const QItemSelectionRange &range : selection)
        columns.append({range.left(), range.right()});
    std::sort(columns.begin(), columns.end());
    QList<QPair<int, int>> runs;
    for (const auto &column : columns) {
        if (!runs.isEmpty() && column.first <= runs.last().second + 1)
            runs.last().second = std::max(runs.last().second, column.second);
        else
            runs.append(column);
    }
    return runs;
}

QItemSelection CQCGPUProfilerDeviceWindow::SelectionOfColumnRuns(const QList<QPair<int, int>> &runs) const
{
    const int nLast = historyModel->columnCount() - 1;
    QItemSelection selection;
    for (const auto &run : runs) {
        const int nRight = std::min(run.second, nLast);
        if (run.first <= nRight)
            selection.select(historyModel->index(0, run.first), historyModel->index(0, nRight));
    }
    return selection;
}

void CQCGPUProfilerDeviceWindow::RebuildHistoryTable()
{
    const int32 nCount = frameHistory.Count();
    const int32 nHead = frameHistory.Head();
    const int32 nDropped = (nHead - tableHead + FrameHistory::kSlots) % FrameHistory::kSlots;

    // Recorded frames never change, so the table only needs the columns of the frames that came
    // and went since the last recording. The selection stays on the same column numbers, as it
    // would if every column had been refilled in place.
    QItemSelectionModel *pSelection = historyTable->selectionModel();
    if (tableCount >= 0 && nCount > 0 && nDropped <= tableCount && nCount == tableCount - nDropped + 1) {
        QList<QPair<int, int>> selectedColumns;
        if (nDropped > 0) {
            selectedColumns = SelectedColumnRuns(pSelection->selection());
            historyModel->removeColumns(0, nDropped);
        }
        AppendHistoryColumn();
        if (nDropped > 0)
            pSelection->select(SelectionOfColumnRuns(selectedColumns), QItemSelectionModel::ClearAndSelect);
    } else {
        historyModel->removeColumns(0, historyModel->columnCount());
        for (int32 p = 0; p < nCount; ++p)
            AppendHistoryColumn();
    }
    tableHead = nHead;
    tableCount = nCount;
    if (nCount == 0)
        return;

    const QModelIndex last = historyModel->index(0, nCount - 1);
    historyTable->scrollTo(last, QAbstractItemView::EnsureVisible);
    const bool bAlreadyCurrent = pSelection->currentIndex() == last;
    pSelection->setCurrentIndex(last, QItemSelectionModel::Select);
    // Every recording adds its column to the selection. Kept as runs of columns rather than a
    // range per column, the selection stays a few ranges long, which the model updates on every
    // change of columns.
    const QItemSelection selection = pSelection->selection();
    if (selection.size() > 1) {
        const QList<QPair<int, int>> runs = SelectedColumnRuns(selection);
        if (runs.size() < selection.size())
            pSelection->select(SelectionOfColumnRuns(runs), QItemSelectionModel::ClearAndSelect);
    }
    // No change, no signal: select the newest frame directly.
    if (bAlreadyCurrent)
        SetSelectedFrame(nCount - 1);
}

// ---------------------------------------------------------------------------------------------
// Showing the selected frame

void CQCGPUProfilerDeviceWindow::ShowFrameOnTimeline()
{
    LoadFrameOnTimeline(timelineView, ShownFrame(), &timelineOrigin);
}

void CQCGPUProfilerDeviceWindow::AttachSamplesTree()
{
    samplesTree->setModel(sampleModel);
    if (sampleModel->hierarchical() != hierarchical) {
        sampleModel->SetFrame(selectedFrame ? &shownFrame : nullptr);
        sampleModel->clear();
        sampleModel->SetHierarchical(hierarchical);
        sampleModel->Rebuild(hierarchical);
    }
    ConfigureSamplesTree();
    connect(samplesTree->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CQCGPUProfilerDeviceWindow::SamplesTreeItemCurrentItemChanged);
    connect(samplesTree->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CQCGPUProfilerDeviceWindow::UpdateInspectorPanel);
}

void CQCGPUProfilerDeviceWindow::ConfigureSamplesTree()
{
    samplesTree->setSortingEnabled(!hierarchical);
    samplesTree->setItemsExpandable(hierarchical);
    if (!hierarchical)
        samplesTree->sortByColumn(1, Qt::AscendingOrder);
    // Without a model (live) the tree has no columns to hide, expand or size.
    if (samplesTree->model() != sampleModel)
        return;
    samplesTree->setColumnHidden(0, !hierarchical);
    for (int c = 1; c <= 4; ++c)
        samplesTree->setColumnHidden(c, hierarchical);
    samplesTree->setColumnHidden(5, true);
    for (int c = 31; c < kSampleColumnCount; ++c)
        samplesTree->setColumnHidden(c, true);
    ApplyExpandDepth();
    // Hidden columns are fitted when a layout change shows them; measuring them now would only
    // cost time.
    for (int c = 0; c < kSampleColumnCount; ++c) {
        if (!samplesTree->isColumnHidden(c))
            samplesTree->resizeColumnToContents(c);
    }
}

void CQCGPUProfilerDeviceWindow::ApplyExpandDepth()
{
    const QScopedValueRollback<bool> expanding(expandingRows, true);
    if (expandDepth == 0)
        samplesTree->collapseAll();
    else if (expandDepth == 1)
        samplesTree->expandToDepth(0);
    else
        samplesTree->expandAll();
}
