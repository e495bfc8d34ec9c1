// The device window on its own: the commands it sends, the live and paused phases and their
// switch at the next tick, swap chains in the combo box, the tree, inspector and timeline
// following each other while paused, and numbers in the user's locale.

#include "frame_generator.h"
#include "gpu_buffer_list_widget.h"
#include "gpu_resource_widget.h"
#include "single_row_model.h"
#include "test_support.h"
#include "texture_list_widget.h"
#include "window_test_support.h"

#include <QHeaderView>
#include <QToolBar>

#include <memory>

namespace {

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

QList<CQGPUResourceWidget *> ResourceWindows()
{
    QList<CQGPUResourceWidget *> windows;
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (auto *pResources = qobject_cast<CQGPUResourceWidget *>(pWidget))
            windows << pResources;
    }
    return windows;
}

} // namespace

class TestDeviceWindow : public QObject
{
    Q_OBJECT

    CommandRecorder recorder;
    // A new window for every test; tests of the window's first moments make their own.
    std::unique_ptr<CTestWindow> w;
    std::unique_ptr<WindowParts> ui;
    std::unique_ptr<AllocationSnapshot> snapshot;

private slots:
    void init()
    {
        snapshot = std::make_unique<AllocationSnapshot>();
        w = std::make_unique<CTestWindow>();
        ui = std::make_unique<WindowParts>(*w);
        recorder.Take();
    }

    // Whatever a test did, the window gives back everything it held, also a frame of another
    // swap chain still waiting for its tick.
    void cleanup()
    {
        if (w)
            HandOver(*w, TimedFrame(0xC, {1.0}));
        ui.reset();
        w.reset();
        GPUPROF_COMPARE_NO_LEAKS(*snapshot);
    }

    void titleAndToolbar_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("a name") << QByteArray("Demo Target") << "GPU Profiler - Demo Target ";
        QTest::newRow("no name") << QByteArray() << "GPU Profiler -  ";
        // clang-format on
    }

    void titleAndToolbar()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, title);
        CTestWindow window(name.constData());
        QCOMPARE(window.windowTitle(), title);
        QStringList texts;
        for (QAction *pAction : window.findChild<QToolBar *>()->actions())
            texts << (pAction->isSeparator()          ? QStringLiteral("|")
                          : pAction->text().isEmpty() ? QStringLiteral("[combo]")
                                                      : pAction->text());
        QCOMPARE(texts,
                 QStringList({"Pause", "Remove Timeline Bubbles", "GPU Pipeline Flushing", "|", "Hierarchy", "Collapse All", "Expand One",
                              "Expand All", "|", "[combo]", "|", "GPU Resource List"}));
    }

    // What each step sends the target, after the two commands of a new window.
    void commands_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<Commands>("sent");
        QTest::newRow("other states") << QStringList({"0", "1", "2", "4", "-1"}) << Commands({{1, 1}, {0, 1}});
        QTest::newRow("connected again") << QStringList({"flushing", "3"}) << Commands({{1, 1}, {0, 1}, {1, 0}, {1, 0}, {0, 1}});
        QTest::newRow("refresh of either list")
            << QStringList({"resources", "textures", "buffers"})
            << Commands({{1, 1}, {0, 1}, {4, 0}, {6, 0}, {4, 0}, {6, 0}, {4, 0}, {6, 0}});
        // clang-format on
    }

    void commands()
    {
        QFETCH(QStringList, steps);
        QFETCH(Commands, sent);
        cleanup();
        recorder.Take();
        CommandRecorder::s_WindowIds.clear();
        auto pWindow = std::make_unique<CTestWindow>("Game", 42);
        const WindowParts ui(*pWindow);
        // Lists that arrive before the resource window exists are dropped.
        const char payload[4] = {1, 0, 0, 0};
        pWindow->OnTextureListReceived(payload, 4);
        for (const QString &step : steps) {
            if (step == QLatin1String("flushing"))
                ui.Action("GPU Pipeline Flushing")->setChecked(false);
            else if (step == QLatin1String("resources"))
                ui.Action("GPU Resource List")->trigger();
            else if (step == QLatin1String("textures"))
                emit ResourceWindows().value(0)->TextureList()->RequestTextureListUpdate();
            else if (step == QLatin1String("buffers"))
                emit ResourceWindows().value(0)->BufferList()->RequestBufferListUpdate();
            else
                pWindow->OnTargetStateChanged(step.toInt());
        }
        QCOMPARE(recorder.Take(), sent);
        QCOMPARE(CommandRecorder::s_WindowIds, QList<uint32>(sent.size(), 42));
        // The resource window is made once and shown at every request.
        QCOMPARE(ResourceWindows().size(), steps.contains("resources") ? 1 : 0);
        for (CQGPUResourceWidget *pResources : ResourceWindows()) {
            QVERIFY(pResources->isVisible());
            QCOMPARE(pResources->findChild<QTreeView *>()->model()->rowCount(), 0); // the early list is not shown
        }
    }

    // Swap-chain names as a target may send them: placeholders stay text, controls become U+FFFD,
    // an unterminated name is cut to its 63 characters; ids in full hexadecimal.
    void swapChainLabels_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<qulonglong>("id");
        QTest::addColumn<QString>("label");
        QTest::newRow("placeholders") << QByteArray("%1 and %2") << 5ull << "Swapchain \"%1 and %2\" (0x5)";
        QTest::newRow("controls") << QByteArray("a\nb\tc\x7f") << 5ull << "Swapchain \"a\uFFFDb\uFFFDc\uFFFD\" (0x5)";
        QTest::newRow("unterminated") << QByteArray(64, 'x') << 5ull << "Swapchain \"" + QString(63, QLatin1Char('x')) + "\" (0x5)";
        QTest::newRow("above bit 31") << QByteArray("Main Window") << 0x2'1234'ABCDull << "Swapchain \"Main Window\" (0x21234abcd)";
        // clang-format on
    }

    void swapChainLabels()
    {
        QFETCH(QByteArray, name);
        QFETCH(qulonglong, id);
        QFETCH(QString, label);
        TargetFrame frame = TimedFrame(id, {1.0});
        std::memcpy(frame.header.swapChainName, name.constData(), size_t(name.size()));
        Record(*w, frame);
        QCOMPARE(ui->pSwapChains->count(), 1);
        QCOMPARE(ui->pSwapChains->currentText(), label);
    }

    void pickingASwapChainStartsItLive()
    {
        for (int i = 0; i < 6; ++i)
            Record(*w, TimedFrame(i % 2 ? 0xB : 0xA, {1.0 + i}));
        QCOMPARE(ui->pHistory->model()->columnCount(), 3);

        // Picking the shown one again changes nothing, not even a pause.
        ui->Action("Pause")->setChecked(true);
        ui->pSwapChains->setCurrentIndex(0);
        w->TimerCallback();
        QCOMPARE(ui->pTree->model(), ui->pModel);
        QCOMPARE(ui->pHistory->model()->columnCount(), 3);

        // Picking B empties the history and goes live; until B's next frame no frame is selected,
        // and the tree and timeline show nothing of A's.
        ui->pSwapChains->setCurrentIndex(1);
        QVERIFY(!ui->Action("Pause")->isChecked() && ui->pTree->model() != ui->pModel);
        QCOMPARE(w->SelectedFrame(), nullptr);
        QCOMPARE(ui->pHistory->model()->columnCount() + ui->pModel->rowCount() + ui->pTimeline->SampleCount(), 0);
    }

    void pauseTakesEffectAtTheNextTick()
    {
        CFrameGenerator generator(3);
        const TargetFrame first = generator.NextFrame();
        Record(*w, TimedFrame(first.header.SwapChainId(), {1.0, 1.0}));
        Record(*w, first);
        QVERIFY(ui->pTree->model() != ui->pModel);

        ui->Action("Pause")->setChecked(true);
        QVERIFY(ui->pTree->model() != ui->pModel); // not yet
        HandOver(*w, generator.NextFrame());
        w->OnFrameReceived(nullptr, nullptr); // ignored
        w->TimerCallback();
        QCOMPARE(ui->pTree->model(), ui->pModel);
        QCOMPARE(w->Intake().Shown().Count(), 2); // the frame that came with the pause is dropped
        QCOMPARE(w->Intake().PendingCount(), 0);
        QVERIFY(ui->pModel->hierarchical());
        // Hierarchical: the top rows are views, the tree shows column 0 and not 1 to 4.
        QCOMPARE(VisibleColumns(ui->pTree).mid(0, 2), QList<int>({0, 6}));
        QCOMPARE(ui->pFrameStats->tableView()->model()->rowCount(), ui->pModel->frameStatsModel()->columnCount());

        // A click on a column shows that frame: "s0" and "s1" are plain names, each a view row.
        ui->pHistory->setCurrentIndex(ui->pHistory->model()->index(0, 0));
        QCOMPARE(w->SelectedFrame(), w->Intake().Shown().EntryAt(0));
        QCOMPARE(ui->pModel->rowCount() + ui->pTimeline->SampleCount(), 4);
        // Outside the history: nothing selected, empty frame everywhere.
        w->SetSelectedFrame(9);
        QCOMPARE(w->SelectedFrame(), nullptr);
        QCOMPARE(ui->pModel->rowCount() + ui->pTimeline->SampleCount(), 0);
        w->SetSelectedFrame(1);

        // Paused, a row of the tree fills the inspector; going live empties it at the next tick.
        ui->pTree->setCurrentIndex(ui->pModel->index(0, 0));
        QVERIFY(ui->pInspector->tableView()->model()->rowCount() > 0);
        ui->Action("Pause")->setChecked(false);
        QCOMPARE(ui->pTree->model(), ui->pModel);
        w->TimerCallback();
        QVERIFY(ui->pTree->model() != ui->pModel);
        QCOMPARE(ui->pInspector->tableView()->model()->rowCount(), 0);
    }

    void hierarchyToggleReconfiguresTheTree()
    {
        CFrameGenerator generator(5);
        Record(*w, generator.NextFrame());
        ui->Action("Pause")->setChecked(true);
        w->TimerCallback();
        QAction *pHierarchy = ui->Action("Hierarchy");

        // "Frame Stats" shows the frame's totals after every rebuild of the model.
        auto gpuTimeStat = [&] { return ui->pFrameStats->model()->index(6, 0).data().toString(); };
        const QString gpuTime = gpuTimeStat();
        QVERIFY(!gpuTime.isEmpty());
        pHierarchy->setChecked(false);
        QCOMPARE(gpuTimeStat(), gpuTime);
        for (const char *pszName : {"Collapse All", "Expand One", "Expand All"})
            QVERIFY(!ui->Action(pszName)->isEnabled());
        QTreeView *pTree = ui->pTree;
        QVERIFY(!ui->pModel->hierarchical());
        QVERIFY(pTree->isSortingEnabled());
        QCOMPARE(pTree->header()->sortIndicatorSection(), 1);
        QCOMPARE(pTree->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(VisibleColumns(pTree).mid(0, 5), QList<int>({1, 2, 3, 4, 6}));
        QCOMPARE(VisibleColumns(pTree).last(), 30);
        QCOMPARE(ui->pModel->rowCount(), int(generator.Options().nSampleCount));

        // Back to hierarchical: the last expansion request is applied again, and after the next
        // selection too.
        pHierarchy->setChecked(true);
        QVERIFY(ui->Action("Expand All")->isEnabled());
        ui->Action("Expand One")->trigger();
        const QModelIndex firstView = ui->pModel->index(0, 0);
        QVERIFY(pTree->isExpanded(firstView));
        QVERIFY(!pTree->isExpanded(ui->pModel->index(0, 0, firstView)));
        w->SetSelectedFrame(0);
        QVERIFY(pTree->isExpanded(ui->pModel->index(0, 0)));
        ui->Action("Expand All")->trigger();
        QVERIFY(pTree->isExpanded(ui->pModel->index(0, 0, ui->pModel->index(0, 0))));
        ui->Action("Collapse All")->trigger();
        w->SetSelectedFrame(0);
        QVERIFY(!pTree->isExpanded(ui->pModel->index(0, 0)));
        QCOMPARE(VisibleColumns(pTree).first(), 0);
        QCOMPARE(gpuTimeStat(), gpuTime);
    }

    void treeAndTimelineFollowEachOtherWhilePaused()
    {
        // Samples of 1, 2 and 3 ms, end to end from 0 once bubbles are removed.
        Record(*w, TimedFrame(1, {1.0, 2.0, 3.0}, {10.0, 20.0, 30.0}));
        ui->Action("Hierarchy")->setChecked(false);

        // Live: the tree has no model and the cursor selects nothing.
        w->show();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        emit ui->pTimeline->cursorTimeChanged(0.0015);
        QVERIFY(ui->pTree->model() != ui->pModel);

        ui->Action("Pause")->setChecked(true);
        w->TimerCallback();
        ui->pTimeline->setFocus();
        QTRY_VERIFY(ui->pTimeline->hasFocus());
        emit ui->pTimeline->cursorTimeChanged(0.0015); // inside sample 1
        QCOMPARE(ui->pTree->currentIndex().row(), 1);
        QCOMPARE(ui->pModel->data(ui->pTree->currentIndex().siblingAtColumn(1), Qt::UserRole).toInt(), 1);
        // The inspector shows the row: its "GPU Time [ms]" line reads 2.000.
        QCOMPARE(ui->pInspector->tableView()->model()->index(6, 0).data().toString(), QStringLiteral("2.000"));
        // The tree's own reaction needs its focus, so the cursor did not move back.
        QCOMPARE(ui->pTimeline->CursorTime(), 0.0);

        ui->pTree->setFocus();
        QTRY_VERIFY(ui->pTree->hasFocus());
        ui->pTree->setCurrentIndex(ui->pModel->index(2, 0));
        QCOMPARE(ui->pTimeline->CursorTime(), 0.003);
        QCOMPARE(ui->pInspector->tableView()->model()->index(6, 0).data().toString(), QStringLiteral("3.000"));

        // Without the tree's focus a row change leaves the cursor alone.
        ui->pTimeline->setFocus();
        QTRY_VERIFY(ui->pTimeline->hasFocus());
        ui->pTree->setCurrentIndex(ui->pModel->index(0, 0));
        QCOMPARE(ui->pTimeline->CursorTime(), 0.003);
    }

    // Columns are fitted while the rows are collapsed; opening a row fits "Name" to the samples
    // that show up, and leaves every other column as it was. The numbers shown follow the user's
    // locale when it changes.
    void expandingFitsTheNameColumnAndNumbersFollowTheLocale()
    {
        const QString sLong = QStringLiteral("Draw of a sample whose name is much longer than its view");
        TargetFrame frame = TimedFrame(1, {1233.5, 1.0});
        frame.samples[0].SetName(("#Main/Opaque/" + sLong).toStdString());
        frame.samples[1].SetName(("#Main/Opaque/" + sLong + " 2").toStdString());
        Record(*w, frame);
        ui->Action("Pause")->setChecked(true);
        w->TimerCallback();
        const int nGpuTimeWidth = ui->pTree->columnWidth(6);
        const int nNameWidth = ui->pTree->fontMetrics().horizontalAdvance(sLong);
        QVERIFY(ui->pTree->columnWidth(0) < nNameWidth);
        const QModelIndex view = ui->pModel->index(0, 0);
        ui->pTree->expand(view);
        ui->pTree->expand(ui->pModel->index(0, 0, view));
        QVERIFY(ui->pTree->columnWidth(0) > nNameWidth);
        QCOMPARE(ui->pTree->columnWidth(6), nGpuTimeWidth);

        const auto gpuTimes = [&] {
            return QStringList({ui->pFrameStats->model()->index(6, 0).data().toString(), ui->pModel->index(0, 6).data().toString()});
        };
        QCOMPARE(gpuTimes(), QStringList({"1,234.500", "1,234.500"}));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(w.get(), &change);
        const QStringList german = gpuTimes();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QApplication::sendEvent(w.get(), &change);
        QCOMPARE(german, QStringList({"1.234,500", "1.234,500"}));
        QCOMPARE(gpuTimes(), QStringList({"1,234.500", "1,234.500"}));
    }
};

GPUPROF_TEST_MAIN(TestDeviceWindow)
#include "tst_device_window.moc"
