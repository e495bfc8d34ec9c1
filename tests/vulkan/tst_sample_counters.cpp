// What the layer counts from draw parameters: primitives per topology, the two histograms at
// their bin edges, and the wrap of the wire record's 16-bit fields.

#include "target/vulkan/sample_counters.h"
#include "tests/support/test_support.h"

class TestSampleCounters : public QObject
{
    Q_OBJECT

private slots:
    void primitivesPerTopology_data()
    {
        QTest::addColumn<int>("topology");
        QTest::addColumn<qulonglong>("vertices");
        QTest::addColumn<qulonglong>("prims");
        QTest::newRow("points") << int(VK_PRIMITIVE_TOPOLOGY_POINT_LIST) << 7ull << 7ull;
        QTest::newRow("lines, odd vertex dropped") << int(VK_PRIMITIVE_TOPOLOGY_LINE_LIST) << 7ull << 3ull;
        QTest::newRow("line strip") << int(VK_PRIMITIVE_TOPOLOGY_LINE_STRIP) << 7ull << 6ull;
        QTest::newRow("triangles") << int(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST) << 8ull << 2ull;
        QTest::newRow("strip") << int(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP) << 8ull << 6ull;
        QTest::newRow("strip of two vertices") << int(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP) << 2ull << 0ull;
        QTest::newRow("fan") << int(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_FAN) << 5ull << 3ull;
        QTest::newRow("triangles with adjacency") << int(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST_WITH_ADJACENCY) << 12ull << 2ull;
        QTest::newRow("strip with adjacency") << int(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP_WITH_ADJACENCY) << 10ull << 3ull;
        QTest::newRow("patches of 4") << int(VK_PRIMITIVE_TOPOLOGY_PATCH_LIST) << 16ull << 4ull;
    }

    void primitivesPerTopology()
    {
        QFETCH(int, topology);
        QFETCH(qulonglong, vertices);
        QFETCH(qulonglong, prims);
        QCOMPARE(qulonglong(PrimitiveCount(VkPrimitiveTopology(topology), vertices, 4)), prims);
    }

    void histogramBinsAtTheirEdges()
    {
        const QList<int> instances = {InstanceHistogramBin(0), InstanceHistogramBin(8), InstanceHistogramBin(9),
                                      InstanceHistogramBin(16), InstanceHistogramBin(17), InstanceHistogramBin(32),
                                      InstanceHistogramBin(33)};
        QCOMPARE(instances, QList<int>({0, 8, 9, 9, 10, 10, 11}));
        const QList<int> prims = {PrimsPerDrawHistogramBin(16), PrimsPerDrawHistogramBin(17), PrimsPerDrawHistogramBin(1024),
                                  PrimsPerDrawHistogramBin(1025), PrimsPerDrawHistogramBin(65536), PrimsPerDrawHistogramBin(262144),
                                  PrimsPerDrawHistogramBin(262145)};
        QCOMPARE(prims, QList<int>({0, 1, 4, 5, 9, 10, 11}));
    }

    // 70,000 instanced draws: the record's u16 draw count wraps as the profiler's totals do,
    // the u32 vertex count does not.
    void countersWrapInTheRecord()
    {
        SampleCounters counters;
        for (int i = 0; i < 70000; ++i)
            counters.AddDraw(3, 2, VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST, 0);
        counters.AddUpdate(UploadTarget::FrameBufferTexture, 4096);
        GpuSampleRecord record{};
        counters.StoreInto(record);
        QCOMPARE(record.Draws(), uint16(70000 - 65536));
        QCOMPARE(record.Verts(), 420000u);
        QCOMPARE(record.Prims(), 140000u);
        QCOMPARE(record.InstHist(2), uint16(70000 - 65536));
        QCOMPARE(record.PrimsPerDrawHist(0), uint16(70000 - 65536));
        QCOMPARE(record.FbTexUpdates(), uint16(1));
        QCOMPARE(record.TexUpload(), 4096u);
    }
};

GPUPROF_TEST_MAIN(TestSampleCounters)
#include "tst_sample_counters.moc"
