// The device window on its own: the commands it sends, the live and paused phases and their
// switch at the next tick, swap-chain discovery, and the tree, inspector and timeline following
// each other while paused.

#include "device_window.h"
#include "frame_generator.h"
#include "frame_profile_model.h"
#include "gpu_buffer_list_widget.h"
#include "gpu_resource_widget.h"
#include "single_row_model.h"
#include "stats_display_widget.h"
#include "test_support.h"
#include "texture_list_widget.h"
#include "timeline_view.h"
#include "window_test_support.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>

#include <cstring>
#include <memory>

using Commands = QList<QPair<uint32, uint32>>;

namespace {

std::unique_ptr<CQCGPUProfilerDeviceWindow> MakeWindow(const char *pszName = "Game", uint32 nId = 7)
{
    return std::make_unique<CQCGPUProfilerDeviceWindow>(pszName, nId);
}

QAction *ToolbarAction(CQCGPUProfilerDeviceWindow &window, const QString &sText)
{
    for (QAction *pAction : window.findChild<QToolBar *>()->actions()) {
        if (pAction->text() == sText)
            return pAction;
    }
    return nullptr;
}

QStringList ToolbarTexts(CQCGPUProfilerDeviceWindow &window)
{
    QStringList texts;
    for (QAction *pAction : window.findChild<QToolBar *>()->actions())
        texts << (pAction->isSeparator() ? QStringLiteral("|") : pAction->text().isEmpty() ? QStringLiteral("[combo]") : pAction->text());
    return texts;
}

QStringList ComboTexts(QComboBox *pCombo)
{
    QStringList texts;
    for (int i = 0; i < pCombo->count(); ++i)
        texts << pCombo->itemText(i);
    return texts;
}

// Visible column numbers of the tree.
QList<int> VisibleColumns(QTreeView *pTree)
{
    QList<int> columns;
    for (int c = 0; c < pTree->model()->columnCount(); ++c) {
        if (!pTree->isColumnHidden(c))
            columns << c;
    }
    return columns;
}

void Activate(CQCGPUProfilerDeviceWindow &window, QWidget *pFocus)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    pFocus->setFocus();
    QTRY_VERIFY(pFocus->hasFocus());
}

} // namespace

class TestDeviceWindow : public QObject
{
    Q_OBJECT

private slots:
    void constructionSendsOpenCommandsAndDestructionClosing()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow("Demo Target", 42);
        QCOMPARE(recorder.Take(), Commands({{1, 1}, {0, 1}}));
        QCOMPARE(CommandRecorder::s_Sent.size(), 0);
        QCOMPARE(pWindow->windowTitle(), QStringLiteral("GPU Profiler - Demo Target "));
        QCOMPARE(pWindow->size(), QSize(1500, 768));
        QCOMPARE(ToolbarTexts(*pWindow), QStringList({"Pause", "Remove Timeline Bubbles", "GPU Pipeline Flushing", "|", "Hierarchy",
                                                      "Collapse All", "Expand One", "Expand All", "|", "[combo]", "|",
                                                      "GPU Resource List"}));
        CommandRecorder::s_Sent.clear();
        pWindow.reset();
        QCOMPARE(CommandRecorder::s_Sent.size(), 2);
        QCOMPARE(CommandRecorder::s_Sent[0], (SentCommand{42, 1, 0}));
        QCOMPARE(CommandRecorder::s_Sent[1], (SentCommand{42, 0, 0}));
    }

    // Slots are dispatched by their index in the meta-object, so their order and signatures are
    // part of the window's interface.
    void slotsInMetaObjectOrder()
    {
        const QMetaObject &meta = CQCGPUProfilerDeviceWindow::staticMetaObject;
        QStringList slotSignatures;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod method = meta.method(i);
            QCOMPARE(method.methodType(), QMetaMethod::Slot);
            QStringList names;
            for (const QByteArray &name : method.parameterNames())
                names << QString::fromLatin1(name);
            slotSignatures << QString::fromLatin1(method.methodSignature()) + QLatin1Char(' ') + names.join(',');
        }
        QCOMPARE(slotSignatures, QStringList({"PauseUpdates(bool) bPause",
                                              "DisablePipelineBubbles(bool) bDisable",
                                              "PipelineFlushing(bool) bFlushing",
                                              "SamplesTreeItemCurrentItemChanged(QModelIndex) current",
                                              "UpdateInspectorPanel(QModelIndex) index",
                                              "TimelineViewCursorTimeChanged(double) flNewTime",
                                              "SwapChainComboBoxIndexChanged(int) index",
                                              "SaveCurrentProfileAsCSV() ",
                                              "SetHierarchicalViewEnabled(bool) bEnable",
                                              "TimerCallback() ",
                                              "SetSelectedFrame(int) nIdx",
                                              "SetSelectedFrame(QModelIndex) selectedFrame",
                                              "ShowGPUResourceWindow() ",
                                              "ExpandTreeViewZeroDeep() ",
                                              "ExpandTreeViewOneDeep() ",
                                              "ExpandTreeViewTwoDeep() "}));
    }

    void emptyTargetNameKeepsTheTitleFormat()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow("");
        QCOMPARE(pWindow->windowTitle(), QStringLiteral("GPU Profiler -  "));
    }

    void flushingAndTargetStateCommands()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        recorder.Take();
        pWindow->FlushingAction()->setChecked(false);
        QCOMPARE(recorder.Take(), Commands({{1, 0}}));
        for (int nState : {0, 1, 2, 4, -1})
            pWindow->OnTargetStateChanged(nState);
        QCOMPARE(recorder.Take(), Commands());
        pWindow->OnTargetStateChanged(3);
        QCOMPARE(recorder.Take(), Commands({{1, 0}, {0, 1}}));
        pWindow->FlushingAction()->setChecked(true);
        pWindow->OnTargetStateChanged(3);
        QCOMPARE(recorder.Take(), Commands({{1, 1}, {1, 1}, {0, 1}}));
    }

    void resourceWindowIsMadeOnceAndAsksForBothLists()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        recorder.Take();
        // Lists that arrive before the resource window exists are dropped.
        const char payload[4] = {1, 0, 0, 0};
        pWindow->OnBufferListReceived(payload, 4);
        pWindow->OnTextureListReceived(payload, 4);
        QCOMPARE(pWindow->ResourceWindow(), nullptr);

        ToolbarAction(*pWindow, QStringLiteral("GPU Resource List"))->trigger();
        CQGPUResourceWidget *pResources = pWindow->ResourceWindow();
        QVERIFY(pResources);
        QVERIFY(pResources->isVisible());
        QCOMPARE(recorder.Take(), Commands({{4, 0}, {6, 0}}));
        pResources->hide();
        ToolbarAction(*pWindow, QStringLiteral("GPU Resource List"))->trigger();
        QCOMPARE(pWindow->ResourceWindow(), pResources);
        QVERIFY(pResources->isVisible());
        emit pResources->TextureList()->RequestTextureListUpdate();
        emit pResources->BufferList()->RequestBufferListUpdate();
        QCOMPARE(recorder.Take(), Commands({{4, 0}, {6, 0}, {4, 0}, {6, 0}, {4, 0}, {6, 0}}));
    }

    void firstFrameSelectsItsSwapChain()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        TargetFrame frame = TimedFrame(0x1234ABCDull, {1.0, 2.0});
        frame.header = MakeFrameHeader(0x1234ABCDull, "Main Window", 2);
        Record(*pWindow, frame);
        QCOMPARE(ComboTexts(pWindow->SwapChainCombo()), QStringList({"Swapchain \"Main Window\" (0x1234abcd)"}));
        QCOMPARE(pWindow->SwapChainCombo()->currentIndex(), 0);
        QCOMPARE(pWindow->SelectedSwapChain(), 0x1234ABCDull);
        QCOMPARE(pWindow->History().Count(), 1);
        QCOMPARE(pWindow->SelectedFrame(), pWindow->History().EntryAt(0));
        QCOMPARE(pWindow->HistoryModel()->columnCount(), 1);
    }

    void onlyTheChosenSwapChainIsRecorded()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        const uint64 nA = 0x1'0000'0005ull, nB = 0x2'0000'0005ull; // differ only above bit 31
        for (int i = 0; i < 6; ++i)
            Record(*pWindow, TimedFrame(i % 2 ? nB : nA, {1.0 + i}));
        QCOMPARE(ComboTexts(pWindow->SwapChainCombo()),
                 QStringList({"Swapchain \"Main\" (0x100000005)", "Swapchain \"Main\" (0x200000005)"}));
        QCOMPARE(pWindow->History().Count(), 3);
        QCOMPARE(pWindow->History().EntryAt(2)->totalGpuTime, 0.005);

        // Picking the chosen one again changes nothing, not even a pause.
        pWindow->PauseAction()->setChecked(true);
        pWindow->SwapChainCombo()->setCurrentIndex(0);
        QVERIFY(pWindow->IsPaused());
        QCOMPARE(pWindow->History().Count(), 3);

        // Picking B empties the history, goes live and records B from the next frame on; until
        // B sends one, no frame is selected and the tree and timeline show nothing of A's.
        pWindow->SwapChainCombo()->setCurrentIndex(1);
        QVERIFY(!pWindow->IsPaused());
        QVERIFY(!pWindow->PauseAction()->isChecked());
        QCOMPARE(pWindow->SelectedSwapChain(), nB);
        QCOMPARE(pWindow->History().Count(), 0);
        QCOMPARE(pWindow->SelectedFrame(), nullptr);
        pWindow->PauseAction()->setChecked(true);
        pWindow->TimerCallback();
        QCOMPARE(pWindow->SampleModel()->rowCount(), 0);
        QVERIFY(!pWindow->SampleModel()->SampleIndexAtTime(0.0005).isValid());
        QCOMPARE(pWindow->TimelineView()->SampleCount(), 0);
        pWindow->PauseAction()->setChecked(false);
        Record(*pWindow, TimedFrame(nA, {9.0}));
        QCOMPARE(pWindow->History().Count(), 0);
        Record(*pWindow, TimedFrame(nB, {7.0}));
        QCOMPARE(pWindow->History().Count(), 1);
        QCOMPARE(pWindow->History().EntryAt(0)->totalGpuTime, 0.007);
        QCOMPARE(pWindow->HistoryModel()->columnCount(), 1);
        QCOMPARE(pWindow->SelectedFrame(), pWindow->History().EntryAt(0));
    }

    // Swap-chain names as a target may send them: placeholders stay text, controls become U+FFFD,
    // an unterminated name is cut to its 63 characters.
    void swapChainLabels_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("placeholders") << QByteArray("%1 and %2") << "Swapchain \"%1 and %2\" (0x5)";
        QTest::newRow("controls") << QByteArray("a\nb\tc\x7f") << "Swapchain \"a\uFFFDb\uFFFDc\uFFFD\" (0x5)";
        QTest::newRow("unterminated") << QByteArray(64, 'x') << "Swapchain \"" + QString(63, QLatin1Char('x')) + "\" (0x5)";
    }
    void swapChainLabels()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, label);
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        TargetFrame frame = TimedFrame(5, {1.0});
        std::memcpy(frame.header.swapChainName, name.constData(), size_t(name.size()));
        Record(*pWindow, frame);
        QCOMPARE(ComboTexts(pWindow->SwapChainCombo()), QStringList({label}));
    }

    void pauseTakesEffectAtTheNextTick()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        CFrameGenerator generator(3);
        Record(*pWindow, generator.NextFrame());
        QCOMPARE(pWindow->SamplesTree()->model() == pWindow->SampleModel(), false);

        pWindow->PauseAction()->setChecked(true);
        QVERIFY(pWindow->SamplesTree()->model() != pWindow->SampleModel()); // not yet
        HandOver(*pWindow, generator.NextFrame());
        pWindow->TimerCallback();
        QCOMPARE(pWindow->SamplesTree()->model(), pWindow->SampleModel());
        QCOMPARE(pWindow->History().Count(), 1); // the frame that came with the pause is dropped
        QCOMPARE(pWindow->PendingFrameCount(), 0);
        QVERIFY(pWindow->SampleModel()->hierarchical());
        // Hierarchical: the top rows are views, the tree shows column 0 and not 1 to 4.
        QCOMPARE(VisibleColumns(pWindow->SamplesTree()).mid(0, 2), QList<int>({0, 6}));
        QCOMPARE(pWindow->FrameStatsPanel()->tableView()->model()->rowCount(), pWindow->SampleModel()->frameStatsModel()->columnCount());

        // Paused, a row of the tree fills the inspector; going live empties it at the next tick.
        pWindow->SamplesTree()->setCurrentIndex(pWindow->SampleModel()->index(0, 0));
        QVERIFY(pWindow->InspectorPanel()->tableView()->model()->rowCount() > 0);
        pWindow->PauseAction()->setChecked(false);
        QCOMPARE(pWindow->SamplesTree()->model(), pWindow->SampleModel());
        pWindow->TimerCallback();
        QVERIFY(pWindow->SamplesTree()->model() != pWindow->SampleModel());
        QCOMPARE(pWindow->InspectorPanel()->tableView()->model()->rowCount(), 0);
    }

    void hierarchyToggleReconfiguresTheTree()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        CFrameGenerator generator(5);
        Record(*pWindow, generator.NextFrame());
        pWindow->PauseAction()->setChecked(true);
        pWindow->TimerCallback();
        QAction *pHierarchy = ToolbarAction(*pWindow, QStringLiteral("Hierarchy"));

        // "Frame Stats" shows the frame's totals after every rebuild of the model.
        auto gpuTimeStat = [&] { return pWindow->FrameStatsPanel()->model()->index(6, 0).data().toString(); };
        const QString gpuTime = gpuTimeStat();
        QVERIFY(!gpuTime.isEmpty());
        pHierarchy->setChecked(false);
        QCOMPARE(gpuTimeStat(), gpuTime);
        for (const char *pszName : {"Collapse All", "Expand One", "Expand All"})
            QVERIFY(!ToolbarAction(*pWindow, QString::fromLatin1(pszName))->isEnabled());
        QTreeView *pTree = pWindow->SamplesTree();
        QVERIFY(!pWindow->SampleModel()->hierarchical());
        QVERIFY(pTree->isSortingEnabled());
        QCOMPARE(pTree->header()->sortIndicatorSection(), 1);
        QCOMPARE(pTree->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(VisibleColumns(pTree).mid(0, 5), QList<int>({1, 2, 3, 4, 6}));
        QCOMPARE(VisibleColumns(pTree).last(), 30);
        QCOMPARE(pWindow->SampleModel()->rowCount(), int(generator.Options().nSampleCount));

        // Back to hierarchical: the last expansion request is applied again.
        ToolbarAction(*pWindow, QStringLiteral("Expand All"))->setEnabled(true);
        pHierarchy->setChecked(true);
        QVERIFY(ToolbarAction(*pWindow, QStringLiteral("Expand All"))->isEnabled());
        ToolbarAction(*pWindow, QStringLiteral("Expand One"))->trigger();
        QCOMPARE(pWindow->ExpandDepth(), 1);
        const QModelIndex firstView = pWindow->SampleModel()->index(0, 0);
        QVERIFY(pTree->isExpanded(firstView));
        QVERIFY(!pTree->isExpanded(pWindow->SampleModel()->index(0, 0, firstView)));
        // A new selection keeps the expansion.
        pWindow->SetSelectedFrame(0);
        QVERIFY(pTree->isExpanded(pWindow->SampleModel()->index(0, 0)));
        ToolbarAction(*pWindow, QStringLiteral("Expand All"))->trigger();
        QVERIFY(pTree->isExpanded(pWindow->SampleModel()->index(0, 0, pWindow->SampleModel()->index(0, 0))));
        ToolbarAction(*pWindow, QStringLiteral("Collapse All"))->trigger();
        pWindow->SetSelectedFrame(0);
        QVERIFY(!pTree->isExpanded(pWindow->SampleModel()->index(0, 0)));
        QVERIFY(VisibleColumns(pTree).first() == 0);
        QCOMPARE(gpuTimeStat(), gpuTime);
    }

    // Columns are fitted while the rows are collapsed; opening a row fits "Name" to the samples
    // that show up, and leaves every other column as it was.
    void expandingFitsTheNameColumn()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        const QString sLong = QStringLiteral("Draw of a sample whose name is much longer than its view");
        TargetFrame frame = TimedFrame(1, {1.0, 2.0});
        frame.samples[0].SetName(("#Main/Opaque/" + sLong).toStdString());
        frame.samples[1].SetName(("#Main/Opaque/" + sLong + " 2").toStdString());
        Record(*pWindow, frame);
        pWindow->PauseAction()->setChecked(true);
        pWindow->TimerCallback();
        QTreeView *pTree = pWindow->SamplesTree();
        const int nGpuTimeWidth = pTree->columnWidth(6);
        const int nNameWidth = pTree->fontMetrics().horizontalAdvance(sLong);
        QVERIFY(pTree->columnWidth(0) < nNameWidth);
        const QModelIndex view = pWindow->SampleModel()->index(0, 0);
        pTree->expand(view);
        pTree->expand(pWindow->SampleModel()->index(0, 0, view));
        QVERIFY(pTree->columnWidth(0) > nNameWidth);
        QCOMPARE(pTree->columnWidth(6), nGpuTimeWidth);
    }

    void treeAndTimelineFollowEachOtherWhilePaused()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        // Samples of 1, 2 and 3 ms, end to end from 0 once bubbles are removed.
        Record(*pWindow, TimedFrame(1, {1.0, 2.0, 3.0}, {10.0, 20.0, 30.0}));
        QAction *pHierarchy = ToolbarAction(*pWindow, QStringLiteral("Hierarchy"));
        pHierarchy->setChecked(false);
        CQTimelineView *pTimeline = pWindow->TimelineView();
        QTreeView *pTree = pWindow->SamplesTree();

        // Live: the tree has no model and the cursor selects nothing.
        Activate(*pWindow, pTimeline);
        emit pTimeline->cursorTimeChanged(0.0015);
        QVERIFY(pTree->model() != pWindow->SampleModel());

        pWindow->PauseAction()->setChecked(true);
        pWindow->TimerCallback();
        pTimeline->setFocus();
        QTRY_VERIFY(pTimeline->hasFocus());
        emit pTimeline->cursorTimeChanged(0.0015); // inside sample 1
        QCOMPARE(pTree->currentIndex().row(), 1);
        QCOMPARE(pWindow->SampleModel()->data(pTree->currentIndex().siblingAtColumn(1), Qt::UserRole).toInt(), 1);
        // The inspector shows the row: its "GPU Time [ms]" line reads 2.000.
        QCOMPARE(pWindow->InspectorPanel()->tableView()->model()->index(6, 0).data().toString(), QStringLiteral("2.000"));
        // The tree's own reaction needs its focus, so the cursor did not move back.
        QCOMPARE(pTimeline->CursorTime(), 0.0);

        pTree->setFocus();
        QTRY_VERIFY(pTree->hasFocus());
        pTree->setCurrentIndex(pWindow->SampleModel()->index(2, 0));
        QCOMPARE(pTimeline->CursorTime(), 0.003);
        QCOMPARE(pWindow->InspectorPanel()->tableView()->model()->index(6, 0).data().toString(), QStringLiteral("3.000"));

        // Without the tree's focus a row change leaves the cursor alone.
        pTimeline->setFocus();
        QTRY_VERIFY(pTimeline->hasFocus());
        pTree->setCurrentIndex(pWindow->SampleModel()->index(0, 0));
        QCOMPARE(pTimeline->CursorTime(), 0.003);
    }

    void historyClickWhilePausedShowsThatFrame()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        for (int i = 1; i <= 4; ++i)
            Record(*pWindow, TimedFrame(1, QList<double>(i, 1.0)));
        pWindow->PauseAction()->setChecked(true);
        pWindow->TimerCallback();
        pWindow->HistoryTable()->setCurrentIndex(pWindow->HistoryModel()->index(0, 1));
        QCOMPARE(pWindow->SelectedFrame(), pWindow->History().EntryAt(1));
        // Hierarchical: the two samples "s0", "s1" are plain names, each its own view row.
        QCOMPARE(pWindow->SampleModel()->rowCount(), 2);
        // Paused, new frames are not recorded and the selection stays.
        Record(*pWindow, TimedFrame(1, {5.0}));
        QCOMPARE(pWindow->History().Count(), 4);
        QCOMPARE(pWindow->SelectedFrame(), pWindow->History().EntryAt(1));
        // Outside the history: nothing selected, empty frame everywhere.
        pWindow->SetSelectedFrame(9);
        QCOMPARE(pWindow->SelectedFrame(), nullptr);
        QCOMPARE(pWindow->SampleModel()->rowCount(), 0);
        QCOMPARE(pWindow->TimelineView()->SampleCount(), 0);
    }

    // The sample model as the window drives it, watched by a tester from before the first frame:
    // frames streaming in live (flat), pausing into the tree, clicks on history columns, layout
    // switches and expansion, and going live again.
    void sampleModelStaysConsistentWhileFramesStreamIn()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        QAbstractItemModelTester tester(pWindow->SampleModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        FrameGeneratorOptions options;
        options.nSampleCount = 120;
        options.nSampleCountVariation = 50;
        CFrameGenerator generator(11, options);
        QAction *pHierarchy = ToolbarAction(*pWindow, QStringLiteral("Hierarchy"));
        for (int nRound = 0; nRound < 2; ++nRound) {
            for (int i = 0; i < 4; ++i)
                Record(*pWindow, generator.NextFrame());
            pWindow->PauseAction()->setChecked(true);
            pWindow->TimerCallback();
            QCOMPARE(pWindow->SamplesTree()->model(), pWindow->SampleModel());
            for (int nColumn : {1, 4, 2}) {
                pWindow->HistoryTable()->setCurrentIndex(pWindow->HistoryModel()->index(0, nColumn));
                ToolbarAction(*pWindow, QStringLiteral("Expand All"))->trigger();
                pHierarchy->toggle();
                pWindow->SamplesTree()->sortByColumn(6, Qt::DescendingOrder);
            }
            pWindow->PauseAction()->setChecked(false);
        }
    }
};

GPUPROF_TEST_MAIN(TestDeviceWindow)
#include "tst_device_window.moc"
