// The "GPU Buffers" tab and the resource window around it: rows and their texts, sort values,
// the name and kind filters, status texts, the size histogram, the user's view across a
// refresh, forged or cut payloads, and what both lists share (refresh requests, the view and
// its state, decoding on a worker, the name column's width).

#include "buffer_list_sort_filter_proxy_model.h"
#include "gpu_buffer_list_widget.h"
#include "gpu_resource_widget.h"
#include "list_count_bound.h"
#include "model_dump.h"
#include "resource_list_roles.h"
#include "resource_payload_builder.h"
#include "test_support.h"
#include "texture_list_widget.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>

#include <memory>

namespace {

// The entries of a list model in the order it shows them.
QString EntryOrder(const CQResourceListModel *pModel)
{
    QStringList rows;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
        rows << QString::number(pModel->SourceRow(nRow));
    return rows.join(QLatin1Char(','));
}

// The order Qt's own proxy gives when it sorts pUnsorted (a list model that shows its entries
// in their own order) by the sort role's values: what the list's order must be.
QString SortRoleOrder(QAbstractItemModel *pUnsorted, int nColumn, Qt::SortOrder order)
{
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(pUnsorted);
    proxy.setSortRole(SortRole);
    proxy.sort(nColumn, order);
    QStringList rows;
    for (int nRow = 0; nRow < proxy.rowCount(); ++nRow)
        rows << QString::number(proxy.mapToSource(proxy.index(nRow, 0)).row());
    return rows.join(QLatin1Char(','));
}

void Update(CQGPUBufferListWidget &widget, const PayloadBuilder &payload)
{
    widget.UpdateBufferList(payload.Data(), payload.Size());
}

QString Status(const CQGPUBufferListWidget &widget)
{
    return widget.StatusLabel()->text();
}

// The histogram's values as "class:VB/IB" for every class with a non-zero value.
QString DumpHistogram(const CQGPUBufferListWidget &widget)
{
    QStringList parts;
    for (int i = 0; i < kBufferSizeClassCount; ++i) {
        const BucketHandle_t hBucket = widget.SizeBucket(i);
        int32 nValues[2] = {};
        for (const HistogramEntry &entry : hBucket->entries)
            nValues[entry.category == widget.VertexBufferCategory() ? 0 : 1] = entry.value;
        if (nValues[0] || nValues[1])
            parts << QStringLiteral("%1:%2/%3").arg(i).arg(nValues[0]).arg(nValues[1]);
    }
    return parts.join(QLatin1Char(' '));
}

// A fresh widget with a model tester watching its proxy from before the first list.
struct Fixture
{
    CQGPUBufferListWidget widget;
    QAbstractItemModelTester tester{widget.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest};

    // Shows the buffers, if any, as the first list.
    explicit Fixture(const std::vector<BufferDesc> &buffers = {})
    {
        widget.View()->sortByColumn(0, Qt::AscendingOrder);
        if (!buffers.empty())
            Update(widget, PayloadBuilder::Buffers(buffers));
    }
};

} // namespace

class TestBufferList : public QObject
{
    Q_OBJECT

private slots:
    void rowsShowTheirRecords()
    {
        Fixture empty;
        QCOMPARE(DumpHeader(empty.widget.Model()), QStringLiteral("Name;Type;Size;Capacity;Elem Size;Elem Count;Usage"));
        QCOMPARE(Status(empty.widget), QStringLiteral("0/0 Buffers, 0.00/0.00 MB Buffer Data"));
        QCOMPARE(QByteArray(empty.widget.SizeBucket(13)->name), QByteArray("<= 4 GB"));
        QCOMPARE(QByteArray(empty.widget.SizeBucket(13)->description), QByteArray("<= 4 GB"));
        QCOMPARE(QByteArray(empty.widget.VertexBufferCategory()->description), QByteArray("Vertex Buffers"));
        // A million rows are laid out without asking each of them for its height.
        QVERIFY(empty.widget.View()->uniformRowHeights());
        Fixture f({
            {0, 32, 1000, 250, 1048576 * 3 + 5, "Terrain VB"},
            {1, 2, 6000, 6000, 1023, ""},
            {1, 4, 0, 5, 4096, "no capacity"},
            {0, 4, 0, 0, 4096, "empty"},
        });
        QCOMPARE(DumpRows(f.widget.Model()),
                 QStringLiteral("<unnamed>;IB;0 KB;6000;2;6000;100.0% | "
                                "Terrain VB;VB;3,072 KB;1000;32;250;25.0% | "
                                "empty;VB;4 KB;0;4;0;nan% | "
                                "no capacity;IB;4 KB;0;4;5;inf%"));
        // Row 1 shows the first record: sort values keep their types, numbers sort as numbers.
        const QAbstractItemModel *pModel = f.widget.Model();
        auto cell = [&](int nRow, int nCol, int nRole) { return pModel->index(nRow, nCol).data(nRole); };
        QCOMPARE(cell(1, 0, TypeBitsRole).toUInt(), 1u);
        QCOMPARE(cell(0, 0, TypeBitsRole).toUInt(), 2u);
        QCOMPARE(cell(1, 2, SortRole), QVariant(uint(1048576 * 3 + 5)));
        QCOMPARE(cell(1, 4, SortRole), QVariant(int(32)));
        QCOMPARE(cell(1, 6, SortRole), QVariant(25.0f));
        QCOMPARE(cell(0, 0, SortRole).toString(), QStringLiteral("<unnamed>"));
        for (int nCol = 0; nCol < 7; ++nCol) {
            QVERIFY(!(pModel->flags(pModel->index(0, nCol)) & Qt::ItemIsEditable));
            const QVariant alignment = cell(0, nCol, Qt::TextAlignmentRole);
            if (nCol < 2)
                QVERIFY(!alignment.isValid());
            else
                QCOMPARE(alignment.toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        }
        // Numbers sort as numbers (the sort-role case checks every column against Qt's own
        // sort); the not-a-number usage sorts without harm wherever it lands.
        f.widget.View()->sortByColumn(6, Qt::DescendingOrder);
        QCOMPARE(f.widget.Model()->rowCount(), 4);
        QVERIFY(DumpColumn(f.widget.Model(), 6).contains(QStringLiteral("100.0%,25.0%")));

        // Status texts and the size histogram.
        // 10 buffers, 4 MB in all; the 3 named "show" hold exactly 1 MB.
        std::vector<BufferDesc> buffers = {
            {0, 1, 1, 1, 524288, "show"}, {0, 1, 1, 1, 262144, "show"}, {1, 1, 1, 1, 262144, "show"}, {1, 1, 1, 1, 3145728, "hide"}};
        for (int i = 0; i < 6; ++i)
            buffers.push_back({1, 1, 1, 1, 0, "hide"});
        Fixture st(buffers);
        QCOMPARE(Status(st.widget), QStringLiteral("10/10 Buffers, 4.00/4.00 MB Buffer Data"));
        st.widget.FilterEdit()->setText(QStringLiteral("show"));
        QCOMPARE(Status(st.widget), QStringLiteral("3/10 Buffers, 1.00/4.00 MB Buffer Data"));
        st.widget.FilterEdit()->setText(QStringLiteral("nothing like it"));
        QCOMPARE(Status(st.widget), QStringLiteral("0/10 Buffers, 0.00/4.00 MB Buffer Data"));
        // The clear action empties the filter.
        const auto actions = st.widget.findChild<QToolBar *>()->actions();
        auto clear = std::find_if(actions.begin(), actions.end(), [](QAction *a) { return a->text() == "Clear"; });
        QVERIFY(clear != actions.end());
        (*clear)->trigger();
        QCOMPARE(st.widget.FilterEdit()->text(), QString());
        QCOMPARE(Status(st.widget), QStringLiteral("10/10 Buffers, 4.00/4.00 MB Buffer Data"));

        // 4 GB - 1 byte per buffer; as a float the sum rounds, as the line has always shown.
        Update(st.widget, PayloadBuilder::Buffers({{0, 1, 1, 1, 0xffffffffu, "a"}, {0, 1, 1, 1, 0xffffffffu, "b"}}));
        QCOMPARE(st.widget.TotalBufferBytes(), uint64(0xffffffffu) * 2);
        QCOMPARE(Status(st.widget), QStringLiteral("2/2 Buffers, 8192.00/8192.00 MB Buffer Data"));
        Update(st.widget, PayloadBuilder::Buffers({{0, 1, 1, 1, 1500000, "a"}}));
        QCOMPARE(Status(st.widget), QStringLiteral("1/1 Buffers, 1.43/1.43 MB Buffer Data"));

        // The size histogram counts per class and kind.
        Update(st.widget, PayloadBuilder::Buffers({{0, 1, 1, 1, 300, "v"}, {1, 1, 1, 1, 300, "i"}}));
        QCOMPARE(DumpHistogram(st.widget), QStringLiteral("1:1/1"));
        // All 28 values are set, zeros included, vertex buffers first in every bucket.
        for (int i = 0; i < kBufferSizeClassCount; ++i) {
            QCOMPARE(st.widget.SizeBucket(i)->entries.Count(), 2);
            QCOMPARE(st.widget.SizeBucket(i)->entries[0].category, st.widget.VertexBufferCategory());
        }
        // Each class ends at its limit inclusive, the last one at 4 GB.
        Update(st.widget,
               PayloadBuilder::Buffers({{0, 1, 1, 1, 256, "a"},
                                        {0, 1, 1, 1, 257, "b"},
                                        {1, 1, 1, 1, 4194305, "c"},
                                        {1, 1, 1, 1, 0xffffffffu, "d"},
                                        {0, 1, 1, 1, 4194304, "e"},
                                        {0, 1, 1, 1, 1024, "f"},
                                        {1, 1, 1, 1, 1025, "g"}}));
        QCOMPARE(DumpHistogram(st.widget), QStringLiteral("0:1/0 1:2/0 2:0/1 12:1/0 13:0/2"));
        QCOMPARE(st.widget.SizeBucket(1)->total, 2);
        Update(st.widget, PayloadBuilder());
        QCOMPARE(DumpHistogram(st.widget), QString());
    }

    void filters_data()
    {
        // clang-format off
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("vbs");
        QTest::addColumn<bool>("ibs");
        QTest::addColumn<QString>("names");
        QTest::newRow("nothing") << QString() << false << false << "<unnamed>,IndexData,MyVertexData,other";
        QTest::newRow("both boxes") << QString() << true << true << "<unnamed>,IndexData,MyVertexData,other";
        QTest::newRow("VBs") << QString() << true << false << "<unnamed>,MyVertexData";
        QTest::newRow("IBs") << QString() << false << true << "IndexData,other";
        QTest::newRow("case-insensitive") << "VERTEX" << false << false << "MyVertexData";
        QTest::newRow("matches <unnamed>") << "unnamed" << false << false << "<unnamed>";
        QTest::newRow("text and kind") << "data" << false << true << "IndexData";
        QTest::newRow("only the name column") << "VB" << false << false << "";
        // clang-format on
    }

    void filters()
    {
        QFETCH(QString, text);
        QFETCH(bool, vbs);
        QFETCH(bool, ibs);
        QFETCH(QString, names);
        Fixture f;
        // The controls are set before the list arrives: they apply to every list after them.
        f.widget.FilterEdit()->setText(text);
        f.widget.VertexBuffersBox()->setChecked(vbs);
        f.widget.IndexBuffersBox()->setChecked(ibs);
        // Type 33 filters like type 1 (its bit is 1 << (33 % 32)); type 5 shows "IB" but no
        // box selects it, so it never shows.
        Update(f.widget,
               PayloadBuilder::Buffers({{0, 1, 1, 1, 1, "MyVertexData"},
                                        {1, 1, 1, 1, 1, "IndexData"},
                                        {0, 1, 1, 1, 1, ""},
                                        {33, 1, 1, 1, 1, "other"},
                                        {5, 1, 1, 1, 1, "never"}}));
        QCOMPARE(DumpColumn(f.widget.Model(), 0), names);
        // The histogram counts every buffer whatever the filter.
        QCOMPARE(DumpHistogram(f.widget), QStringLiteral("0:2/3"));
    }

    void viewStateSurvivesRefresh()
    {
        Fixture f;
        f.widget.resize(700, 500);
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        std::vector<BufferDesc> buffers;
        for (int i = 0; i < 300; ++i)
            buffers.push_back({uint8(i % 2), 1, 1, 1, uint32(i * 1000), "buffer " + std::to_string(i)});
        Update(f.widget, PayloadBuilder::Buffers(buffers));

        QTreeView *pView = f.widget.View();
        pView->sortByColumn(2, Qt::DescendingOrder);
        pView->header()->resizeSection(0, 333);
        pView->header()->resizeSection(1, 250);
        QCoreApplication::processEvents();
        pView->verticalScrollBar()->setValue(120);
        pView->horizontalScrollBar()->setValue(40);
        QCOMPARE(pView->verticalScrollBar()->value(), 120);
        QCOMPARE(pView->horizontalScrollBar()->value(), 40);

        buffers.push_back({0, 1, 1, 1, 5, "late"});
        Update(f.widget, PayloadBuilder::Buffers(buffers));
        QCOMPARE(pView->header()->sortIndicatorSection(), 2);
        QCOMPARE(pView->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(pView->header()->sectionSize(0), 333);
        QCOMPARE(pView->header()->sectionSize(1), 250);
        QCOMPARE(f.widget.Model()->index(0, 0).data().toString(), QStringLiteral("buffer 299"));
        QCOMPARE(f.widget.Model()->index(299, 0).data().toString(), QStringLiteral("late"));
        QCOMPARE(pView->verticalScrollBar()->value(), 120);
        QCOMPARE(pView->horizontalScrollBar()->value(), 40);

        // An empty list in between forgets nothing of the sort order.
        Update(f.widget, PayloadBuilder());
        Update(f.widget, PayloadBuilder::Buffers(buffers));
        QCOMPARE(pView->header()->sortIndicatorSection(), 2);
        QCOMPARE(f.widget.Model()->index(0, 0).data().toString(), QStringLiteral("buffer 299"));

        // A row that the user selected stays selected, wherever a sort or a filter moves it.
        Fixture g({{0, 1, 1, 1, 300, "a"}, {1, 1, 1, 1, 100, "b"}, {0, 1, 1, 1, 200, "c"}});
        QTreeView *pSmall = g.widget.View();
        pSmall->setCurrentIndex(g.widget.Model()->index(1, 0));
        auto selected = [&] { return pSmall->currentIndex().data().toString(); };
        pSmall->sortByColumn(2, Qt::DescendingOrder);
        QCOMPARE(DumpColumn(g.widget.Model(), 0), QStringLiteral("a,c,b"));
        QCOMPARE(selected(), QStringLiteral("b"));
        g.widget.VertexBuffersBox()->setChecked(true);
        QVERIFY(!pSmall->currentIndex().isValid());
        g.widget.VertexBuffersBox()->setChecked(false);
        pSmall->setCurrentIndex(g.widget.Model()->index(1, 0));
        g.widget.FilterEdit()->setText(QStringLiteral("c"));
        QCOMPARE(selected(), QStringLiteral("c"));
        QCOMPARE(pSmall->currentIndex().row(), 0);

        // Both lists open with their name column wide enough for the names; a width the user sets
        // survives every refresh after that. "Refresh" in either tab asks for that list.
        CQGPUResourceWidget window;
        int nBuffers = 0, nTextures = 0;
        connect(window.BufferList(), &CQGPUBufferListWidget::RequestBufferListUpdate, this, [&] { ++nBuffers; });
        connect(window.TextureList(), &CQTextureListWidget::RequestTextureListUpdate, this, [&] { ++nTextures; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The tabs fill the window: texturePayload first.
        QCOMPARE(window.windowTitle(), QStringLiteral("GPU Resources"));
        QCOMPARE(window.Tabs()->tabText(0) + "|" + window.Tabs()->tabText(1), QStringLiteral("Textures|GPU Buffers"));
        QVERIFY(window.Tabs()->width() > window.width() * 9 / 10 && window.Tabs()->height() > window.height() * 9 / 10);
        const std::string longName = "volumes/fog/density_volume_highres_0001";
        const PayloadBuilder bufferPayload = PayloadBuilder::Buffers({{0, 1, 1, 1, 1, "rendertargets/" + longName}});
        const PayloadBuilder texturePayload = PayloadBuilder::Textures({MakeTexture(longName, 0x0002, 0, 0, 0, 1, 0)});
        window.BufferList()->UpdateBufferList(bufferPayload.Data(), bufferPayload.Size());
        window.TextureList()->UpdateTextureList(texturePayload.Data(), texturePayload.Size());
        for (CQResourceListWidget *pList :
             {static_cast<CQResourceListWidget *>(window.BufferList()), static_cast<CQResourceListWidget *>(window.TextureList())}) {
            QTreeView *pView = pList->View();
            const QString name = pView->model()->index(0, 0).data().toString();
            QVERIFY2(pView->header()->sectionSize(0) > pView->fontMetrics().horizontalAdvance(name),
                     qPrintable(QString::number(pView->header()->sectionSize(0))));
            pView->header()->resizeSection(0, 90);
            const auto actions = pList->findChild<QToolBar *>()->actions();
            QCOMPARE(actions.first()->text(), QStringLiteral("Refresh"));
            actions.first()->trigger();
        }
        QCOMPARE(nBuffers, 1);
        QCOMPARE(nTextures, 1);
        window.BufferList()->UpdateBufferList(bufferPayload.Data(), bufferPayload.Size());
        window.TextureList()->UpdateTextureList(texturePayload.Data(), texturePayload.Size());
        QCOMPARE(window.BufferList()->View()->header()->sectionSize(0), 90);
        QCOMPARE(window.TextureList()->View()->header()->sectionSize(0), 90);
    }

    void cutAndForgedPayloads_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("status");
        const PayloadBuilder one = PayloadBuilder::Buffers({{1, 1, 1, 1, 1048576, "one"}});
        auto bytes = [](const PayloadBuilder &b) { return QByteArray(reinterpret_cast<const char *>(b.Data()), b.Size()); };
        QTest::newRow("two bytes") << QByteArray("\x05\x00", 2) << 0 << "0/0 Buffers, 0.00/0.00 MB Buffer Data";
        QTest::newRow("count past the end") << bytes(PayloadBuilder(one).Truncate(0).Count(3).Buffer({1, 1, 1, 1, 1048576, "x"}))
                                            << 3 << "3/3 Buffers, 1.00/1.00 MB Buffer Data";
        QTest::newRow("2^31-1 in 20 bytes") << bytes(PayloadBuilder().Count(0x7fffffff).Zeros(16))
                                            << 1 + kMaxRowsPastPayload
                                            << "1025/1025 Buffers, 0.00/0.00 MB Buffer Data (list cut: 2,147,483,647 announced, 1,025 kept)";
        // clang-format on
    }

    void cutAndForgedPayloads()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, rows);
        QFETCH(QString, status);
        AllocationSnapshot snapshot;
        {
            Fixture f({{0, 1, 1, 1, 1, "previous"}});
            f.widget.UpdateBufferList(payload.constData(), uint32(payload.size()));
            QCOMPARE(f.widget.Model()->rowCount(), rows);
            QCOMPARE(Status(f.widget), status);
            if (rows > 1) {
                // Rows past the end are blank vertex-buffer rows.
                QCOMPARE(DumpRows(f.widget.Model()).section(QStringLiteral(" | "), 1, 1), QStringLiteral("<unnamed>;VB;0 KB;0;0;0;nan%"));
            }
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    // A payload of a megabyte or more is decoded on a worker thread: the shown list stays until
    // the new one is ready, a newer payload overtakes one still being decoded, and a widget
    // closed meanwhile leaves nothing behind. A list that memory runs out for keeps the shown one.
    void largeListsAreDecodedOnAWorker()
    {
        std::vector<BufferDesc> buffers(70000, BufferDesc{1, 4, 8, 8, 2048, "big"});
        buffers[123].name = "needle";
        const PayloadBuilder large = PayloadBuilder::Buffers(buffers);
        QVERIFY(large.Size() >= kBackgroundDecodeBytes);
        AllocationSnapshot snapshot;
        {
            Fixture f({{0, 1, 1, 1, 1, "small"}});
            g_pMemAlloc->SetAllocationLimit(32);
            Update(f.widget, PayloadBuilder::Buffers(std::vector<BufferDesc>(100, BufferDesc{1, 1, 1, 1, 1, "new"})));
            g_pMemAlloc->SetAllocationLimit(0);
            QCOMPARE(DumpColumn(f.widget.Model(), 0), QStringLiteral("small"));
            QCOMPARE(Status(f.widget), QStringLiteral("1/1 Buffers, 0.00/0.00 MB Buffer Data"));
            f.widget.FilterEdit()->setText(QStringLiteral("NEED"));
            QCOMPARE(Status(f.widget), QStringLiteral("0/1 Buffers, 0.00/0.00 MB Buffer Data"));
            Update(f.widget, large);
            QVERIFY(f.widget.IsDecoding());
            QVERIFY(QTest::qWaitFor([&] { return !f.widget.IsDecoding(); }));
            QCOMPARE(Status(f.widget), QStringLiteral("1/70000 Buffers, 0.00/136.72 MB Buffer Data"));
            QCOMPARE(DumpColumn(f.widget.Model(), 0), QStringLiteral("needle"));

            // Two large lists and a small one in a row: the small one is the newest.
            Update(f.widget, large);
            Update(f.widget, large);
            Update(f.widget, PayloadBuilder::Buffers({{0, 1, 1, 1, 1, "needle, newest"}}));
            QCOMPARE(DumpColumn(f.widget.Model(), 0), QStringLiteral("needle, newest"));
            QVERIFY(QTest::qWaitFor([&] { return !f.widget.IsDecoding(); }));
            QCOMPARE(DumpColumn(f.widget.Model(), 0), QStringLiteral("needle, newest"));
            Update(f.widget, large);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    // The list's own sort agrees with Qt's proxy sorting the same cells by their sort role, and
    // its name filter with QString's case-insensitive search.
    void sortingAndFilteringMatchQt()
    {
        const char *const names[] = {
            "", "b", "B", "a", "models/props_a/mesh", "models/props_a/mesh2", "models/props_b", "models/p", "\xe9t\xe9", "<unnamed>", "z"};
        QRandomGenerator random(77);
        std::vector<BufferDesc> buffers;
        for (int i = 0; i < 400; ++i) {
            const uint32 r = random.generate();
            buffers.push_back({uint8(r % 3 == 2 ? 5 : r % 2), uint16(r % 7), 1 + (r >> 4) % 50, (r >> 8) % 60,
                               r % 13 == 0 ? 0xffffffffu : (r >> 12) % 5000, names[(r >> 20) % 11]});
        }
        buffers[0].name = "models/p"; // eight bytes that longer names go on from
        const PayloadBuilder payload = PayloadBuilder::Buffers(buffers);
        CQBufferListSortFilterProxyModel unsorted;
        BufferList list;
        GrowableArray<int32> entries;
        QVERIFY(ParseBufferList(payload.Data(), payload.Size(), &list));
        QVERIFY(SortEntries(CBufferListSortKeys(list), -1, false, &entries));
        unsorted.SetList(list, entries);

        Fixture f;
        Update(f.widget, payload);
        f.widget.Model()->SetTypeMask(-1); // type 5 shows "IB", but no box selects it
        f.widget.Model()->ApplyFilter();
        for (int nColumn = 0; nColumn < kBufferColCount; ++nColumn) {
            for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                f.widget.View()->sortByColumn(nColumn, order);
                QCOMPARE(EntryOrder(f.widget.Model()), SortRoleOrder(&unsorted, nColumn, order));
            }
        }

        // The name filter finds what QString::contains(..., Qt::CaseInsensitive) finds in a name.
        const QByteArray filterNames[] = {"MyVertexData",
                                          "\xc9T\xc9 \xb5s",
                                          "Stra\xdf"
                                          "e",
                                          "",
                                          "abcABC",
                                          "x"};
        const QString fragments[] = {"vertex",     "DATA", "\u00e9t\u00e9", "\u039c", "\u00b5S", "STRASSE",
                                     "stra\u00df", "cab",  "bca",           "xx",     "",        "\u0130"};
        for (const QByteArray &name : filterNames) {
            for (const QString &fragment : fragments) {
                CNameFilter filter;
                filter.SetText(fragment);
                const bool bQt = QString::fromLatin1(name).contains(fragment, Qt::CaseInsensitive);
                QVERIFY2(filter.Matches(name.constData(), int32(name.size())) == bQt,
                         qPrintable(QStringLiteral("%1 in %2").arg(fragment, QString::fromLatin1(name))));
            }
        }
    }
};

GPUPROF_TEST_MAIN(TestBufferList)
#include "tst_buffer_list.moc"
