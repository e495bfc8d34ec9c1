#include "device_window.h"

#include "bar_graph_item_delegate.h"
#include "corvid_interfaces.h"
#include "csv_export.h"
#include "frame_history_model.h"
#include "frame_profile_model.h"
#include "gpu_buffer_list_widget.h"
#include "gpu_resource_widget.h"
#include "number_texts.h"
#include "printable_text.h"
#include "resource_list_format.h"
#include "sample_columns.h"
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
#include <QScopedValueRollback>
#include <QSplitter>
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

constexpr int kHistoryColumnWidth = 16;
constexpr int kHistoryRowHeight = 80;
constexpr int kTimerIntervalMs = 16;

QString ToolImage(const char *pszFile)
{
    return QStringLiteral("toolimages:gpuprofilertool/") + QLatin1String(pszFile);
}

} // namespace

CQCGPUProfilerDeviceWindow::CQCGPUProfilerDeviceWindow(const char *pszTargetName, uint32 nWindowId, bool bCapture)
    : QMainWindow(nullptr), targetName(pszTargetName ? pszTargetName : ""), windowId(nWindowId), intake(bCapture)
{
    shownFrame.samples = &shownSamples;
    sampleModel = new CGpuFrameProfileModel(this);
    historyModel = new CFrameHistoryModel(&intake.Shown(), this);

    setWindowIcon(QIcon(ToolImage("appicon.png")));
    setWindowTitle(QString::asprintf("GPU Profiler - %s ", targetName.constData()));
    resize(1500, 768);

    BuildContents();

    SendCommand(GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, pipelineFlushing ? 1 : 0);
    SendCommand(GPU_PROFILER_COMMAND_WINDOW_OPEN, 1);
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
    historyTable->setItemDelegateForRow(0, new CQBarGraphItemDelegate(this, &intake.Shown()));
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
    removeBubblesAction->setChecked(intake.RemovesBubbles());
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
    frameStatsPanel->SetDisplayMode(CQStatsDisplayWidget::kFrameStatsMode);
    frameStatsPanel->UpdateRowVisibility();
    pStatsDock->setWidget(frameStatsPanel);
    addDockWidget(Qt::RightDockWidgetArea, pStatsDock);

    inspectorPanel = new CQStatsDisplayWidget(this);
    inspectorPanel->SetDisplayMode(CQStatsDisplayWidget::kInspectorMode);
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
            samplesTree->resizeColumnToContents(SAMPLE_COLUMN_NAME);
    });

    auto *pTimer = new QTimer(this);
    connect(pTimer, &QTimer::timeout, this, &CQCGPUProfilerDeviceWindow::TimerCallback);
    pTimer->start(kTimerIntervalMs);
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
}

void CQCGPUProfilerDeviceWindow::SendCommand(GpuProfilerCommand nCommand, uint32 nValue)
{
    if (const auto pfnSend = GetSubToolLink().SendTargetCommand)
        pfnSend(windowId, nCommand, nValue);
}

void CQCGPUProfilerDeviceWindow::SendClosingCommands()
{
    if (closingCommandsSent)
        return;
    closingCommandsSent = true;
    SendCommand(GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, 0);
    SendCommand(GPU_PROFILER_COMMAND_WINDOW_OPEN, 0);
}

void CQCGPUProfilerDeviceWindow::changeEvent(QEvent *pEvent)
{
    QMainWindow::changeEvent(pEvent);
    if (pEvent->type() != QEvent::LocaleChange)
        return;
    // Numbers are formatted in the default locale, which the formatters keep rather than look up
    // for every cell. They take it anew, and what is shown is built again in it.
    CNumberTexts::FollowDefaultLocale();
    FollowDefaultResourceLocale();
    if (selectedFrame) {
        sampleModel->clear();
        sampleModel->Rebuild(sampleModel->hierarchical());
        ConfigureSamplesTree();
    }
    for (QWidget *pWindow : {static_cast<QWidget *>(this), static_cast<QWidget *>(resourceWindow)}) {
        for (QAbstractItemView *pView : pWindow ? pWindow->findChildren<QAbstractItemView *>() : QList<QAbstractItemView *>())
            pView->viewport()->update();
    }
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
    // A capture's frames are recorded now; the next tick shows them.
    intake.Receive(*pHeader, pSamples);
    if (intake.IsCapture()) {
        ShowNewSwapChains();
        captureArrived = true;
    }
}

void CQCGPUProfilerDeviceWindow::OnTextureListReceived(const void *pPayload, uint32 nSize)
{
    intake.KeepTextureList(pPayload, nSize);
    if (resourceWindow)
        resourceWindow->TextureList()->UpdateTextureList(pPayload, nSize);
}

void CQCGPUProfilerDeviceWindow::OnBufferListReceived(const void *pPayload, uint32 nSize)
{
    intake.KeepBufferList(pPayload, nSize);
    if (resourceWindow)
        resourceWindow->BufferList()->UpdateBufferList(pPayload, nSize);
}

void CQCGPUProfilerDeviceWindow::OnTargetStateChanged(int nState)
{
    if (nState != CORVID_CONNECTION_READY)
        return;
    SendCommand(GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, pipelineFlushing ? 1 : 0);
    SendCommand(GPU_PROFILER_COMMAND_WINDOW_OPEN, 1);
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
        qCWarning(lcGpuProfiler).noquote() << QStringLiteral("%1: dropped %2 more like this since the last report, the latest %3")
                                                  .arg(sTarget, QString::number(log.nSinceLine + 1), sReason);
        log.lastLine.start();
        log.nSinceLine = 0;
    } else {
        ++log.nSinceLine;
    }
}

// ---------------------------------------------------------------------------------------------
// Slots

void CQCGPUProfilerDeviceWindow::PauseUpdates(bool bPause)
{
    paused = bPause;
}

void CQCGPUProfilerDeviceWindow::DisablePipelineBubbles(bool bDisable)
{
    intake.SetRemoveBubbles(bDisable);
}

void CQCGPUProfilerDeviceWindow::PipelineFlushing(bool bFlushing)
{
    pipelineFlushing = bFlushing;
    SendCommand(GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, bFlushing ? 1 : 0);
}

void CQCGPUProfilerDeviceWindow::SamplesTreeItemCurrentItemChanged(QModelIndex current)
{
    // Only the user's own moves in the tree move the cursor; moves made for the timeline do not.
    if (!samplesTree->hasFocus() || !current.model())
        return;
    const QModelIndex indexCell = current.model()->index(current.row(), SAMPLE_COLUMN_INDEX, current.parent());
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
    if (!intake.SelectSwapChain(index))
        return;
    sampleModel->clear();
    historyModel->Invalidate(); // the row no longer continues what it showed
    shownSerial = 0; // serials of another chain's frames may be the same
    if (intake.IsCapture()) {
        ShowCapturedFrames();
        return;
    }
    historyModel->Sync();
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
    const QString sFileName = SaveFileName(QStringLiteral("Save profile as CSV..."), QStringLiteral("Comma-separated Values (*.csv)"));
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
    if (timerCallbackRunning)
        return;
    timerCallbackRunning = true;

    if (captureArrived) {
        captureArrived = false;
        ShowCapturedFrames();
    }
    if (!paused && intake.PendingCount() > 0) {
        GpuSampleArray records;
        const FrameHistoryEntry *pShown = intake.RecordNewest(&records);
        ShowNewSwapChains();
        if (pShown) {
            // The model lets go of the shown records before they are replaced by this frame's,
            // which are shown as they are (no unpacking) when the recording selects it.
            sampleModel->clear();
            shownSamples.Swap(records);
            shownFrame.header = pShown->header;
            shownSerial = pShown->sampleCount == shownSamples.Count() ? pShown->serial : 0;
            RebuildHistoryTable();
        }
    }
    intake.DropPending();

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
    timerCallbackRunning = false;
}

void CQCGPUProfilerDeviceWindow::SetSelectedFrame(int nIdx)
{
    selectedFrame = intake.Shown().EntryAt(nIdx);
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
    SendCommand(GPU_PROFILER_COMMAND_TEXTURE_LIST, 0);
    SendCommand(GPU_PROFILER_COMMAND_BUFFER_LIST, 0);
    // A capture has no target to ask: its window shows the lists the capture holds.
    const GrowableArray<uint8> &textures = intake.LastTextureList();
    const GrowableArray<uint8> &buffers = intake.LastBufferList();
    if (intake.IsCapture() && !textures.IsEmpty())
        resourceWindow->TextureList()->UpdateTextureList(textures.Base(), uint32(textures.Count()));
    if (intake.IsCapture() && !buffers.IsEmpty())
        resourceWindow->BufferList()->UpdateBufferList(buffers.Base(), uint32(buffers.Count()));
    resourceWindow->show();
}

void CQCGPUProfilerDeviceWindow::ExpandTreeViewZeroDeep()
{
    expandDepth = EXPAND_NONE;
    samplesTree->collapseAll();
}

void CQCGPUProfilerDeviceWindow::ExpandTreeViewOneDeep()
{
    expandDepth = EXPAND_ONE_LEVEL;
    ApplyExpandDepth();
    samplesTree->resizeColumnToContents(SAMPLE_COLUMN_NAME);
}

void CQCGPUProfilerDeviceWindow::ExpandTreeViewTwoDeep()
{
    expandDepth = EXPAND_ALL;
    ApplyExpandDepth();
    samplesTree->resizeColumnToContents(SAMPLE_COLUMN_NAME);
}

// ---------------------------------------------------------------------------------------------
// Frame intake

void CQCGPUProfilerDeviceWindow::ShowNewSwapChains()
{
    // Adding the first item makes it current, which picks the swap chain the intake chose
    // already: nothing changes.
    for (int32 c = swapChainCombo->count(); c < intake.SwapChainCount(); ++c) {
        const std::string &sName = intake.SwapChainName(c);
        swapChainCombo->addItem(QStringLiteral("Swapchain \"%1\" (0x%2)")
                                    .arg(PrintableLatin1Text(sName.data(), sName.size()), QString::number(intake.SwapChainId(c), 16)));
    }
    if (intake.UnlistedSwapChainFrames() > 0 && !swapChainLimitLogged) {
        swapChainLimitLogged = true;
        qCWarning(lcGpuProfiler).noquote() << QStringLiteral("%1: more than %2 swap chains; frames of further swap chains are dropped")
                                                  .arg(PrintableLatin1Text(targetName.constData(), size_t(targetName.size())),
                                                       QString::number(CFrameIntake::kMaxSwapChains));
    }
}

void CQCGPUProfilerDeviceWindow::ShowCapturedFrames()
{
    // Paused first, so that the newest frame is built as the paused tree shows it.
    if (!paused) {
        paused = true;
        pauseAction->setChecked(true);
    }
    historyModel->Invalidate();
    RebuildHistoryTable();
    if (intake.Shown().Count() == 0)
        SetSelectedFrame(-1);
}

QString CQCGPUProfilerDeviceWindow::SaveFileName(const QString &sCaption, const QString &sFilter)
{
    return QFileDialog::getSaveFileName(this, sCaption, QString(), sFilter, nullptr);
}

void CQCGPUProfilerDeviceWindow::SaveCapture()
{
    QString sFileName = SaveFileName(QStringLiteral("Save Capture..."), QStringLiteral("GPU Captures (*.gpucap)"));
    if (sFileName.isEmpty())
        return;
    if (QFileInfo(sFileName).suffix().isEmpty())
        sFileName += QStringLiteral(".gpucap");
    std::string sError;
    if (intake.WriteCapture(sFileName.toStdString(), targetName.toStdString(), &sError))
        statusBar()->showMessage(QStringLiteral("Capture saved to %1").arg(sFileName), 10000);
    else
        QMessageBox::warning(this, QStringLiteral("GPU Profiler"),
                             QStringLiteral("Could not save the capture: %1").arg(QString::fromStdString(sError)), QMessageBox::Ok);
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
    shownSerial = intake.Shown().DecodeSamples(*selectedFrame, &shownSamples) ? selectedFrame->serial : 0;
    if (!shownSerial)
        shownSamples.Purge();
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
    // The selection stays on the same column numbers when frames go at the front, as it would if
    // every column had been refilled in place.
    QItemSelectionModel *pSelection = historyTable->selectionModel();
    const int32 nDropped = historyModel->DroppedSinceSync();
    const QList<QPair<int, int>> selectedColumns = nDropped > 0 ? SelectedColumnRuns(pSelection->selection()) : QList<QPair<int, int>>();
    historyModel->Sync();
    if (nDropped > 0)
        pSelection->select(SelectionOfColumnRuns(selectedColumns), QItemSelectionModel::ClearAndSelect);
    const int32 nCount = historyModel->columnCount();
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
        samplesTree->sortByColumn(SAMPLE_COLUMN_INDEX, Qt::AscendingOrder);
    // Without a model (live) the tree has no columns to hide, expand or size.
    if (samplesTree->model() != sampleModel)
        return;
    // The tree column names the sample while hierarchical; flat, its path parts do.
    samplesTree->setColumnHidden(SAMPLE_COLUMN_NAME, !hierarchical);
    for (int c = SAMPLE_COLUMN_INDEX; c <= SAMPLE_COLUMN_CONTEXT; ++c)
        samplesTree->setColumnHidden(c, hierarchical);
    samplesTree->setColumnHidden(SAMPLE_COLUMN_GPU_START, true);
    for (int c = SAMPLE_COLUMN_FIRST_HISTOGRAM; c < kSampleColumnCount; ++c)
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
    if (expandDepth == EXPAND_NONE)
        samplesTree->collapseAll();
    else if (expandDepth == EXPAND_ONE_LEVEL)
        samplesTree->expandToDepth(0);
    else
        samplesTree->expandAll();
}
