// What the layer counts from draw parameters (primitives per topology, the two histograms at
// their bin edges, the wrap of the wire record's 16-bit fields), how it names samples from
// labels, and how it lists images in the texture list.

#include "resource_tracker.h"
#include "sample_path.h"
#include "test_support.h"

class TestLayerCounters : public QObject
{
    Q_OBJECT

private slots:
    void primitivesPerTopology_data()
    {
        // clang-format off
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
        // clang-format on
    }

    void primitivesPerTopology()
    {
        QFETCH(int, topology);
        QFETCH(qulonglong, vertices);
        QFETCH(qulonglong, prims);
        QCOMPARE(qulonglong(PrimitiveCount(VkPrimitiveTopology(topology), vertices, 4)), prims);
    }

    void histogramBinsAndCounterWidths()
    {
        const QList<int> instances = {InstanceHistogramBin(0),  InstanceHistogramBin(8),  InstanceHistogramBin(9), InstanceHistogramBin(16),
                                      InstanceHistogramBin(17), InstanceHistogramBin(32), InstanceHistogramBin(33)};
        QCOMPARE(instances, QList<int>({0, 8, 9, 9, 10, 10, 11}));
        const QList<int> prims = {PrimsPerDrawHistogramBin(16),    PrimsPerDrawHistogramBin(17),    PrimsPerDrawHistogramBin(1024),
                                  PrimsPerDrawHistogramBin(1025),  PrimsPerDrawHistogramBin(65536), PrimsPerDrawHistogramBin(262144),
                                  PrimsPerDrawHistogramBin(262145)};
        QCOMPARE(prims, QList<int>({0, 1, 4, 5, 9, 10, 11}));

        // 70,000 instanced draws: the record's u16 draw count wraps as the profiler's totals do,
        // the u32 vertex count does not.
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

    // Labels (outer first, '|' separating them here) to sample paths; a secondary's path under
    // the labels its primary had open.
    void samplePaths_data()
    {
        // clang-format off
        QTest::addColumn<QString>("labels");
        QTest::addColumn<int>("renderPass");
        QTest::addColumn<QString>("outer");
        QTest::addColumn<QString>("path");
        QTest::newRow("no label, outside a pass") << "" << 0 << "" << "vkCmdCopyBuffer";
        QTest::newRow("no label, in a pass") << "" << 2 << "" << "#Render Pass 2//vkCmdCopyBuffer";
        QTest::newRow("one label") << "UI" << 1 << "" << "#UI//UI";
        QTest::newRow("two labels") << "Shadows|Cascade 0" << 1 << "" << "#Shadows/Cascade 0/Cascade 0";
        QTest::newRow("four labels") << "Main|Opaque|Rocks|Big" << 1 << "" << "#Main/Opaque/Big";
        QTest::newRow("a slash in a label") << "Post/FX" << 0 << "" << "#Post|FX//Post|FX";
        QTest::newRow("secondary without labels") << "" << 1 << "Main|Opaque" << "#Main/Opaque/vkCmdCopyBuffer";
        QTest::newRow("secondary outside a pass") << "" << 0 << "Main" << "#Main//vkCmdCopyBuffer";
        QTest::newRow("secondary labels under one") << "Trees|Pines" << 1 << "Main" << "#Main/Trees/Pines";
        QTest::newRow("secondary labels under two") << "Trees|Pines" << 1 << "Main|Opaque" << "#Main/Opaque/Pines";
        // clang-format on
    }

    void samplePaths()
    {
        QFETCH(QString, labels);
        QFETCH(int, renderPass);
        QFETCH(QString, outer);
        QFETCH(QString, path);
        auto split = [](const QString &sText) {
            std::vector<std::string> parts;
            for (const QString &sPart : sText.split(QLatin1Char('|'), Qt::SkipEmptyParts))
                parts.push_back(sPart.toStdString());
            return parts;
        };
        const std::string sOwn = SamplePath(split(labels), unsigned(renderPass), "vkCmdCopyBuffer");
        QCOMPARE(QString::fromStdString(PrefixSamplePath(split(outer), sOwn)), path);
    }

    // One 256x128 image (32 deep in 3D) of 9 mips as the texture list shows it: the 18-byte
    // record in hex (dimensions, flags, mips, format); the table gives its flags and format.
    void imagesInTheTextureList_data()
    {
        // clang-format off
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("layers");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("usage");
        QTest::addColumn<QByteArray>("record");
        const int k2D = VK_IMAGE_TYPE_2D, kSampled = VK_IMAGE_USAGE_SAMPLED_BIT;
        const int kCube = VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT, kDepth = VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT;
        const int kBc1 = VK_FORMAT_BC1_RGB_UNORM_BLOCK, kRgba16 = VK_FORMAT_R16G16B16A16_SFLOAT;
        QTest::newRow("2D BC1") << k2D << kBc1 << 1 << 0 << kSampled << QByteArray("0002" "0d");
        QTest::newRow("cube map") << k2D << kRgba16 << 6 << kCube << kSampled << QByteArray("0008" "18");
        QTest::newRow("cube array") << k2D << kRgba16 << 12 << kCube << kSampled << QByteArray("0018" "18");
        QTest::newRow("depth render target array") << k2D << int(VK_FORMAT_D24_UNORM_S8_UINT) << 4 << 0 << kDepth
                                                   << QByteArray("0052" "3f");
        QTest::newRow("volume, unknown format") << int(VK_IMAGE_TYPE_3D) << int(VK_FORMAT_R64_SFLOAT) << 1 << 0 << kSampled
                                                << QByteArray("0004" "ff");
        // clang-format on
    }

    void imagesInTheTextureList()
    {
        QFETCH(int, type);
        QFETCH(int, format);
        QFETCH(int, layers);
        QFETCH(int, flags);
        QFETCH(int, usage);
        QFETCH(QByteArray, record);
        VkImageCreateInfo info{};
        info.imageType = VkImageType(type);
        info.format = VkFormat(format);
        info.extent = {256, 128, type == VK_IMAGE_TYPE_3D ? 32u : 1u};
        info.mipLevels = 9;
        info.arrayLayers = uint32(layers);
        info.flags = VkImageCreateFlags(flags);
        info.usage = VkImageUsageFlags(usage);
        CResourceTracker tracker;
        tracker.AddImage(reinterpret_cast<VkImage>(uintptr_t(0x1234)), info);
        tracker.SetName(VK_OBJECT_TYPE_IMAGE, 0x1234, "Probe");
        const std::vector<uint8> payload = tracker.EncodeTextures();
        const QByteArray dims = type == VK_IMAGE_TYPE_3D ? "010000800020" : "010000800001";
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(payload.data()), int(payload.size())).toHex(),
                 "01000000" + dims + dims + record.left(4) +
                     "0909"
                     "00" +
                     record.mid(4) + "50726f626500");
    }
};

GPUPROF_TEST_MAIN(TestLayerCounters)
#include "tst_layer_counters.moc"
