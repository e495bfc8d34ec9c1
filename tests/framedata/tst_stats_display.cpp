// The one-row model and the statistics panels: which rows each panel lists, what passes through
// from the source row, and how a rebuilt source empties a panel until it is pointed again.

#include "frame_profile_model.h"
#include "single_row_model.h"
#include "stats_display_widget.h"
#include "test_frame.h"
#include "test_support.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTableView>

namespace {

// The labels of the rows that the panel shows.
QStringList VisibleRows(const CQStatsDisplayWidget &panel)
{
    QStringList labels;
    const QAbstractItemModel *pModel = panel.tableView()->model();
    for (int r = 0; r < pModel->rowCount(); ++r) {
        if (!panel.tableView()->isRowHidden(r))
            labels << pModel->headerData(r, Qt::Vertical).toString();
    }
    return labels;
}

struct Panel
{
    explicit Panel(int nMode)
    {
        widget.SetDisplayMode(nMode);
        widget.UpdateRowVisibility();
    }
    CQStatsDisplayWidget widget;
    QAbstractItemModelTester tester{widget.model(), QAbstractItemModelTester::FailureReportingMode::QtTest};
};

// A frame of a layer with two samples and a second layer, with resource statistics when asked,
// in a sample model of either layout.
struct Source
{
    Source(bool bResources, bool bHierarchical)
    {
        frame.Add("#Main/Opaque/Draw", 1.0, 0.002).SetDraws(3);
        frame.Add("#Main/Opaque/Draw", 1.002, 0.0001);
        frame.Add("#Main/Alpha/Blend", 1.0021, 0.0001);
        frame.frame.header.hasResourceStats = bResources ? 1 : 0;
        model.SetFrame(&frame.frame);
        model.clear();
        model.Rebuild(bHierarchical);
    }
    CTestFrame frame;
    CGpuFrameProfileModel model;
};

} // namespace

class TestStatsDisplay : public QObject
{
    Q_OBJECT

private slots:
    void rowsEachPanelShows_data()
    {
        // clang-format off
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("resources");
        QTest::addColumn<QString>("source"); // "stats", "sample" or "layer"
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("frame stats") << 1 << false << "stats" << 49 << "GPU Time [ms]" << "Prims/Draw 256k+";
        QTest::newRow("frame stats with resources")
            << 1 << true << "stats" << 74 << "GPU Time [ms]" << "Bound TEX Dim Hist (32768)";
        QTest::newRow("inspector on a sample") << 0 << false << "sample" << 54 << "Index" << "Prims/Draw 256k+";
        QTest::newRow("inspector on a layer row") << 0 << false << "layer" << 54 << "Index" << "Prims/Draw 256k+";
        QTest::newRow("inspector on frame stats with resources")
            << 0 << true << "stats" << 79 << "Index" << "Bound TEX Dim Hist (32768)";
        // clang-format on
    }

    void rowsEachPanelShows()
    {
        QFETCH(int, mode);
        QFETCH(bool, resources);
        QFETCH(QString, source);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);

        Source src(resources, source == "layer");
        Panel panel(mode);
        QModelIndex row;
        if (source == "stats")
            row = src.model.frameStatsModel()->index(0, 0);
        else if (source == "sample")
            row = src.model.index(1, 7); // any column names the row
        else
            row = src.model.index(0, 0, src.model.index(0, 0));
        ShowPanelRow(&panel.widget, row);

        const QStringList visible = VisibleRows(panel.widget);
        QCOMPARE(visible.size(), count);
        QCOMPARE(visible.first(), first);
        QCOMPARE(visible.last(), last);
        QVERIFY(panel.widget.tableView()->isRowHidden(0));
    }

    // Values, alignment and foreground pass through; backgrounds do not; row labels are the
    // source's column headers. The display mode and clicks; a rebuilt or destroyed source.
    void valuesModesAndClicks()
    {
        Source src(false, true);
        Panel inspector(0);
        const QModelIndex layer = src.model.index(0, 0, src.model.index(0, 0));
        ShowPanelRow(&inspector.widget, layer);
        const CSingleRowModel *pRows = inspector.widget.model();
        QCOMPARE(pRows->columnCount(), 1);
        QCOMPARE(pRows->rowCount(), 55);
        QStringList dump;
        for (int r : {1, 3, 4, 6, 8, 9}) {
            const QModelIndex cell = pRows->index(r, 0);
            dump << QStringLiteral("%1=%2 %3 %4 %5")
                        .arg(pRows->headerData(r, Qt::Vertical).toString(), cell.data().toString(),
                             cell.data(Qt::ForegroundRole).value<QBrush>().color().name())
                        .arg(cell.data(Qt::TextAlignmentRole).toInt())
                        .arg(cell.data(Qt::BackgroundRole).isValid() ? "bg" : "-");
        }
        QCOMPARE(dump.join(QLatin1Char('|')),
                 QString("Index=[0..1] #000000 130 -|Layer=Opaque #000000 129 -|"
                         "Context=<Layer Totals> #000000 129 -|"
                         "GPU Time [ms]=2.100 #ff0000 130 -|Draws=3 #000000 130 -|"
                         "Prims=0 #a0a0a4 130 -"));
        QCOMPARE(pRows->index(8, 0).data(Qt::UserRole), QVariant(3));
        QVERIFY(src.model.index(0, 8, src.model.index(0, 0)).data(Qt::BackgroundRole).isValid());
        QVERIFY(!pRows->headerData(0, Qt::Horizontal).isValid());
        QVERIFY(!pRows->index(55, 0).isValid());

        // A new display mode applies at the next update. The panel shows labels and values only,
        // and a click selects nothing.
        Source flat(false, false);
        Panel panel(0);
        QTableView *pTable = panel.widget.tableView();
        QVERIFY(pTable->horizontalHeader()->isHidden());
        ShowPanelRow(&panel.widget, flat.model.index(0, 0));
        QCOMPARE(VisibleRows(panel.widget).size(), 54);
        panel.widget.SetDisplayMode(1);
        QCOMPARE(VisibleRows(panel.widget).size(), 54);
        panel.widget.UpdateRowVisibility();
        QCOMPARE(VisibleRows(panel.widget).size(), 49);
        panel.widget.SetDisplayMode(0);
        panel.widget.UpdateRowVisibility();
        QCOMPARE(VisibleRows(panel.widget).size(), 54);

        ShowPanelRow(&panel.widget, flat.model.index(1, 0));
        panel.widget.resize(300, 600);
        panel.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel.widget));
        const QRect cell = pTable->visualRect(pTable->model()->index(6, 0));
        QVERIFY(cell.isValid());
        QTest::mouseClick(pTable->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QVERIFY(!pTable->selectionModel()->hasSelection());

        // A rebuild clears the statistics model, so the panel is empty until it is pointed again;
        // so does the source model's end.
        Source rebuilt(true, false);
        Panel stats(1);
        ShowPanelRow(&stats.widget, rebuilt.model.frameStatsModel()->index(0, 0));
        QCOMPARE(stats.widget.model()->rowCount(), 80);

        rebuilt.model.clear();
        rebuilt.model.Rebuild(false);
        QVERIFY(!stats.widget.model()->sourceRow().isValid());
        QCOMPARE(stats.widget.model()->rowCount(), 0);
        QVERIFY(!stats.widget.model()->headerData(3, Qt::Vertical).isValid());
        ShowPanelRow(&stats.widget, rebuilt.model.frameStatsModel()->index(0, 0));
        QCOMPARE(stats.widget.model()->rowCount(), 80);
        QCOMPARE(VisibleRows(stats.widget).size(), 74);

        ShowPanelRow(&stats.widget, QModelIndex());
        QCOMPARE(stats.widget.model()->rowCount(), 0);
        ShowPanelRow(nullptr, QModelIndex());

        // A panel must not keep a source model alive or touch it after it is gone.
        {
            Source gone(false, false);
            ShowPanelRow(&stats.widget, gone.model.frameStatsModel()->index(0, 0));
            QCOMPARE(stats.widget.model()->rowCount(), 55);
        }
        QVERIFY(!stats.widget.model()->sourceRow().isValid());
        QCOMPARE(stats.widget.model()->rowCount(), 0);
    }
};

GPUPROF_TEST_MAIN(TestStatsDisplay)
#include "tst_stats_display.moc"
