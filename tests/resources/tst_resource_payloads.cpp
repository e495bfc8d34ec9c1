// The resource-list payloads without any widget: the bounds-checked reader, the count bound,
// both decoders on whole, cut, forged and out-of-memory payloads with their totals, the size
// classes and their labels, and the texture memory arithmetic against the documented formats.

#include "buffer_list_payload.h"
#include "image_format_info.h"
#include "list_count_bound.h"
#include "payload_reader.h"
#include "resource_payload_builder.h"
#include "test_support.h"
#include "texture_list_payload.h"

#include <cstring>

namespace {

// Names longer than 16 bytes as their start and length.
QString NameText(const char *pName, int32 nLength)
{
    const QString sName = QString::fromLatin1(pName, nLength);
    return nLength > 16 ? sName.left(4) + QStringLiteral("...(%1)").arg(nLength) : sName;
}

// Rows and count, totals, then the first three rows.
QString Dump(const BufferList &list)
{
    QStringList classes;
    for (int c = 0; c < kBufferSizeClassCount; ++c) {
        if (list.classCounts[c][kBufferKindVertex] || list.classCounts[c][kBufferKindIndex])
            classes << Args(QStringLiteral("%1:%2/%3"), c, list.classCounts[c][kBufferKindVertex], list.classCounts[c][kBufferKindIndex]);
    }
    QStringList parts{
        Args(QStringLiteral("%1/%2 rows, %3 bytes [%4]"), list.entries.Count(), list.announcedCount, list.totalBytes, classes.join(' '))};
    for (int32 i = 0; i < list.entries.Count() && i < 3; ++i) {
        const BufferListEntry &e = list.entries[i];
        parts << Args(QStringLiteral("%1 %2 %3 %4 %5 '%6'"), e.record.bufferType, e.record.ElemSize(), e.record.Capacity(),
                      e.record.ElemCount(), e.record.SizeBytes(), NameText(list.Name(e), e.nameLength));
    }
    return parts.join(QStringLiteral(" | "));
}

QString Dump(const TextureList &list)
{
    QStringList parts{Args(QStringLiteral("%1/%2 rows, %3/%4 bytes"), list.entries.Count(), list.announcedCount, list.totalDiskBytes,
                           list.totalResBytes)};
    for (int32 i = 0; i < list.entries.Count() && i < 3; ++i) {
        const TextureListEntry &e = list.entries[i];
        const GpuTextureRecord &r = e.record;
        parts << Args(QStringLiteral("%1x%2x%3/%4x%5x%6 f%7 m%8/%9 fmt%10 %11/%12 '%13'"), r.DiskWidth(), r.DiskHeight(), r.DiskDepth(),
                      r.ResWidth(), r.ResHeight(), r.ResDepth(), QString::number(r.Flags(), 16), r.diskMips, r.resMips, r.Format(),
                      e.diskBytes, e.resBytes, NameText(list.Name(e), e.nameLength));
    }
    return parts.join(QStringLiteral(" | "));
}

QByteArray Bytes(const PayloadBuilder &builder)
{
    return QByteArray(reinterpret_cast<const char *>(builder.Data()), qsizetype(builder.Size()));
}

// A payload of nSize bytes of 0x01 that claims 2^31 - 1 records.
QByteArray Forged(int nSize)
{
    QByteArray payload(nSize, '\x01');
    const int32 nCount = 0x7fffffff;
    std::memcpy(payload.data(), &nCount, 4); // little-endian host
    return payload;
}

} // namespace

class TestResourcePayloads : public QObject
{
    Q_OBJECT

private slots:
    // Little-endian counts; a read past the end fails without moving, and the failure sticks:
    // later reads fail even where they would fit, and strings read as empty.
    void readerAndDecoderFailuresStick()
    {
        const uint8 bytes[] = {0x78, 0x56, 0x34, 0x12, 0xff, 0xff, 0xff, 0xff, 1, 2, 3};
        PayloadReader reader(bytes, sizeof(bytes));
        QCOMPARE(reader.ReadInt32(), 0x12345678);
        QCOMPARE(reader.ReadInt32(), -1);
        uint8 dest[4] = {9, 9, 9, 9};
        QVERIFY(!reader.ReadBytes(dest, 4));
        QVERIFY(reader.Failed());
        QCOMPARE(reader.Position(), 8u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(dest), 4), QByteArray("\x09\x09\x09\x09", 4));
        QVERIFY(!reader.ReadBytes(dest, 1));
        QCOMPARE(reader.ReadInt32(), 0);
        char text[8] = "xxxxxxx";
        QCOMPARE(reader.ReadString(text, sizeof(text)), 0u);
        QCOMPARE(text[0], '\0');

        // Memory that runs out while decoding empties the list and is reported.
        const PayloadBuilder buffers = PayloadBuilder::Buffers(std::vector<BufferDesc>(200, BufferDesc{0, 1, 1, 1, 1, "name"}));
        const PayloadBuilder textures = PayloadBuilder::Textures(std::vector<TextureDesc>(200, TextureDesc{}));
        AllocationSnapshot snapshot;
        {
            BufferList bufferList;
            TextureList textureList;
            g_pMemAlloc->SetAllocationLimit(64);
            const bool bBuffers = ParseBufferList(buffers.Data(), buffers.Size(), &bufferList);
            const bool bTextures = ParseTextureList(textures.Data(), textures.Size(), &textureList);
            g_pMemAlloc->SetAllocationLimit(0);
            QVERIFY(!bBuffers && !bTextures);
            QCOMPARE(bufferList.entries.Count() + textureList.entries.Count(), 0);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void readString_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("failed");

        QTest::newRow("terminated") << QByteArray("abc\0x", 5) << 1024 << QByteArray("abc") << 4 << false;
        QTest::newRow("empty string") << QByteArray("\0x", 2) << 1024 << QByteArray() << 1 << false;
        QTest::newRow("no terminator") << QByteArray("abc") << 1024 << QByteArray("abc") << 3 << true;
        QTest::newRow("nothing left") << QByteArray() << 1024 << QByteArray() << 0 << true;
        QTest::newRow("fits exactly") << QByteArray("abc\0", 4) << 4 << QByteArray("abc") << 4 << false;
        QTest::newRow("one too long") << QByteArray("abcd\0z", 6) << 4 << QByteArray("abc") << 5 << false;
        QTest::newRow("too long, unterminated") << QByteArray("abcdefgh") << 4 << QByteArray("abc") << 8 << true;
        QTest::newRow("1023 of 1024") << QByteArray(1023, 'n').append('\0') << 1024 << QByteArray(1023, 'n') << 1024 << false;
        QTest::newRow("1024 cut to 1023") << QByteArray(1024, 'n').append('\0') << 1024 << QByteArray(1023, 'n') << 1025 << false;
        // clang-format on
    }

    void readString()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, capacity);
        QFETCH(QByteArray, expected);
        QFETCH(int, position);
        QFETCH(bool, failed);

        PayloadReader reader(payload.constData(), uint32(payload.size()));
        QByteArray dest(capacity + 8, '#');
        const uint32 nStored = reader.ReadString(dest.data(), uint32(capacity));
        QCOMPARE(QByteArray(dest.constData()), expected);
        QCOMPARE(int(nStored), expected.size());
        QCOMPARE(int(reader.Position()), position);
        QCOMPARE(reader.Failed(), failed);
        // Nothing is written past the capacity.
        QCOMPARE(dest.at(capacity), '#');
    }

    void countBound_data()
    {
        // clang-format off
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("size");
        QTest::addColumn<int>("rows");
        QTest::newRow("negative") << -5 << 1000u << 0;
        QTest::newRow("zero") << 0 << 1000u << 0;
        QTest::newRow("count fits") << 3 << 52u << 3;
        // 48 record bytes hold at most 3 records of 16 bytes; the allowance covers the rest.
        QTest::newRow("truncated, within allowance") << 1000 << 52u << 1000;
        QTest::newRow("forged in 20 bytes") << 0x7fffffff << 20u << 1 + kMaxRowsPastPayload;
        QTest::newRow("forged in 4 bytes") << 0x7fffffff << 4u << kMaxRowsPastPayload;
        QTest::newRow("forged in nothing") << 0x7fffffff << 0u << kMaxRowsPastPayload;
        // The payload could hold 268 million records; a list keeps a million.
        QTest::newRow("forged in 4 GB") << 0x7fffffff << 0xffffffffu << kMaxResourceListEntries;
        QTest::newRow("a million and one in 64 MiB") << kMaxResourceListEntries + 1 << (64u << 20) << kMaxResourceListEntries;
        QTest::newRow("a million in 64 MiB") << kMaxResourceListEntries << (64u << 20) << kMaxResourceListEntries;
        // clang-format on
    }

    void countBound()
    {
        QFETCH(int, count);
        QFETCH(uint, size);
        QFETCH(int, rows);
        QCOMPARE(BoundedRecordCount(count, size, kMinBufferRecordBytes), rows);
    }

    // Whole, cut and forged payloads of both lists: a forged count costs rows in proportion to
    // the payload, records past the end are blank rows, and nothing is left allocated.
    void decodes_data()
    {
        // clang-format off
        QTest::addColumn<bool>("textures");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("dump");

        const BufferDesc a{0, 4, 10, 5, 300, "A"}, b{1, 2, 8, 8, 300, "B"};
        QTest::newRow("buffers") << false << Bytes(PayloadBuilder::Buffers({{0, 32, 1000, 250, 32000, "MyVertexData"}, {1, 2, 6, 6, 12, ""},
                                                                            {7, 0xffff, 0xffffffffu, 0, 0xffffffffu, "big"}}))
                                 << "3/3 rows, 4294999307 bytes [0:0/1 5:1/0 13:0/1] | 0 32 1000 250 32000 'MyVertexData' | "
                                    "1 2 6 6 12 '' | 7 65535 4294967295 0 4294967295 'big'";
        QTest::newRow("no bytes") << false << QByteArray() << "0/0 rows, 0 bytes []";
        QTest::newRow("negative count") << false << Bytes(PayloadBuilder().Count(-1).Buffer(a)) << "0/-1 rows, 0 bytes []";
        QTest::newRow("count only") << false << Bytes(PayloadBuilder().Count(2)) << "2/2 rows, 0 bytes [0:2/0] | 0 0 0 0 0 '' | 0 0 0 0 0 ''";
        // The second record is cut inside its fixed part: it stays zero, and the failed reader
        // gives it no name either.
        QTest::newRow("cut in a record") << false << Bytes(PayloadBuilder::Buffers({a, b}).Truncate(4 + 17 + 6))
                                         << "2/2 rows, 300 bytes [0:1/0 1:1/0] | 0 4 10 5 300 'A' | 0 0 0 0 0 ''";
        QTest::newRow("cut in a name") << false << Bytes(PayloadBuilder::Buffers({{0, 4, 10, 5, 300, "Alpha"}}).Truncate(4 + 15 + 3))
                                       << "1/1 rows, 300 bytes [1:1/0] | 0 4 10 5 300 'Alp'";
        QTest::newRow("more records than count") << false << Bytes(PayloadBuilder().Count(1).Buffer(a).Buffer(b))
                                                 << "1/1 rows, 300 bytes [1:1/0] | 0 4 10 5 300 'A'";
        QTest::newRow("count beyond payload") << false << Bytes(PayloadBuilder().Count(4).Buffer(a))
                                              << "4/4 rows, 300 bytes [0:3/0 1:1/0] | 0 4 10 5 300 'A' | 0 0 0 0 0 '' | 0 0 0 0 0 ''";
        QTest::newRow("long name cut, the next record intact")
            << false << Bytes(PayloadBuilder::Buffers({{0, 1, 1, 1, 1, std::string(3000, 'L')}, {1, 2, 2, 2, 2, "next"}}))
            << "2/2 rows, 3 bytes [0:1/1] | 0 1 1 1 1 'LLLL...(1023)' | 1 2 2 2 2 'next'";
        QTest::newRow("buffers, forged in 64 KB")
            << false << Forged(65536)
            << "5119/2147483647 rows, 16843009 bytes [0:5118/0 13:0/1] | 1 257 16843009 16843009 16843009 "
               "'\x01\x01\x01\x01...(1023)' | 0 0 0 0 0 '' | 0 0 0 0 0 ''";

        // 256x128 BGRA8888, whole chain on disk, 64x32 two levels resident; a 4x4x8 volume.
        TextureDesc tex = MakeTexture("tex", 0x0452, 256, 128, 12, 1, 0);
        tex.resWidth = 64;
        tex.resHeight = 32;
        tex.resMips = 2;
        QTest::newRow("textures") << true << Bytes(PayloadBuilder::Textures({tex, MakeTexture("vol", 2, 4, 4, 0, 8)}))
                                  << "2/2 rows, 175276/10752 bytes | 256x128x1/64x32x1 f452 m0/2 fmt12 174764/10240 'tex' | "
                                     "4x4x8/4x4x8 f2 m1/1 fmt0 512/512 'vol'";
        // DXT1 16x16 whole chain: 16 + 4 + 1 + 1 + 1 blocks of 8 bytes. The resident side is
        // 0x0, which chains on to a 1x1 level: one block.
        TextureDesc dxt = MakeTexture("first", 0, 16, 16, 13, 1, 0);
        dxt.resWidth = dxt.resHeight = 0;
        QTest::newRow("textures past the payload are blank") << true << Bytes(PayloadBuilder().Count(3).Texture(dxt))
                                                             << "3/3 rows, 184/8 bytes | 16x16x1/0x0x1 f0 m0/0 fmt13 184/8 'first' | "
                                                                "0x0x0/0x0x0 f0 m0/0 fmt0 0/0 '' | 0x0x0/0x0x0 f0 m0/0 fmt0 0/0 ''";
        QTest::newRow("textures, long name")
            << true << Bytes(PayloadBuilder::Textures({MakeTexture(std::string(3000, 'L'), 2, 1, 1),
                                                       MakeTexture("after", 2, 7, 1)}))
            << "2/2 rows, 32/32 bytes | 1x1x1/1x1x1 f2 m1/1 fmt0 4/4 'LLLL...(1023)' | 7x1x1/7x1x1 f2 m1/1 fmt0 28/28 'after'";
        QTest::newRow("textures, forged in 64 KB")
            << true << Forged(65536)
            << "4473/2147483647 rows, 67898372/67898372 bytes | 257x257x257/257x257x257 f101 m1/1 fmt1 67898372/67898372 "
               "'\x01\x01\x01\x01...(1023)' | 0x0x0/0x0x0 f0 m0/0 fmt0 0/0 '' | 0x0x0/0x0x0 f0 m0/0 fmt0 0/0 ''";
        // clang-format on
    }

    void decodes()
    {
        QFETCH(bool, textures);
        QFETCH(QByteArray, payload);
        QFETCH(QString, dump);
        AllocationSnapshot snapshot;
        {
            QString sActual;
            if (textures) {
                TextureList list;
                QVERIFY(ParseTextureList(payload.constData(), uint32(payload.size()), &list));
                sActual = Dump(list);
            } else {
                BufferList list;
                QVERIFY(ParseBufferList(payload.constData(), uint32(payload.size()), &list));
                sActual = Dump(list);
            }
            QCOMPARE(sActual, dump);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    // The mip chain times the depth, in 64 bits.
    void textureBytes_data()
    {
        // clang-format off
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("mips");
        QTest::addColumn<int>("format");
        QTest::addColumn<qulonglong>("bytes");
        QTest::newRow("DXT5 2x2 rounds up to a block") << 2 << 2 << 1 << 1 << 15 << 16ull;
        QTest::newRow("DXT1 5x5 full chain") << 5 << 5 << 1 << 0 << 13 << 8ull * (4 + 1 + 1);
        QTest::newRow("non-square stops at 1x1") << 8 << 2 << 1 << 0 << 5 << 16ull + 4 + 2 + 1;
        QTest::newRow("mip count past 1x1") << 2 << 2 << 1 << 50 << 0 << 20ull;
        QTest::newRow("UNKNOWN takes nothing") << 64 << 64 << 1 << 0 << -1 << 0ull;
        QTest::newRow("outside the table") << 64 << 64 << 1 << 0 << 92 << 0ull;
        QTest::newRow("far outside the table") << 64 << 64 << 1 << 0 << -128 << 0ull;
        QTest::newRow("zero width still chains") << 0 << 4 << 1 << 0 << 0 << 4ull * (0 + 2 + 1);
        QTest::newRow("depth 0 takes nothing") << 256 << 256 << 0 << 0 << 12 << 0ull;
        // 16384^2 RGBA32F is 4 GB in its first level alone; it is not wrapped.
        QTest::newRow("beyond 32 bits") << 16384 << 16384 << 1 << 1 << 29 << 4294967296ull;
        QTest::newRow("2 GB stays positive") << 16384 << 16384 << 2 << 1 << 0 << 2147483648ull;
        QTest::newRow("largest") << 65535 << 65535 << 65535 << 1 << 29 << 16ull * 65535 * 65535 * 65535;
        // clang-format on
    }

    void textureBytes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, depth);
        QFETCH(int, mips);
        QFETCH(int, format);
        QFETCH(qulonglong, bytes);
        QCOMPARE(qulonglong(TextureBytes(uint16(width), uint16(height), uint16(depth), uint8(mips), format)), bytes);
    }

    // Every format's name and size as the texture-list payload documents them ("b": bytes per
    // 4x4 block), and nothing outside -1..91; the labels of the buffer size classes.
    void formatAndSizeClassTables()
    {
        const QString sDocumented =
            QStringLiteral("UNKNOWN 0, RGBA8888 4, ABGR8888 4, RGB888 3, BGR888 3, RGB565 2, I8 1, IA88 2, P8 1, A8 1, "
                           "RGB888_BLUESCREEN 3, BGR888_BLUESCREEN 3, ARGB8888 4, BGRA8888 4, DXT1 b8, DXT3 b16, DXT5 b16, "
                           "BGRX8888 4, BGR565 2, BGRX5551 2, BGRA4444 2, DXT1_ONEBITALPHA b8, BGRA5551 2, UV88 2, UVWQ8888 4, "
                           "RGBA16161616F 8, RGBA16161616 8, UVLX8888 4, R32F 4, RGB323232F 12, RGBA32323232F 16, NV_DST16 2, "
                           "NV_DST24 4, NV_INTZ 4, NV_RAWZ 4, ATI_DST16 2, ATI_DST24 4, ATI2N b16, ATI1N b8, X360_DST16 2, "
                           "X360_DST24 4, X360_DST24F 4, LINEAR_BGRX8888 4, LINEAR_RGBA8888 4, LINEAR_ABGR8888 4, "
                           "LINEAR_ARGB8888 4, LINEAR_BGRA8888 4, LINEAR_RGB888 3, LINEAR_BGR888 3, LINEAR_BGRX5551 2, LINEAR_I8 1, "
                           "LINEAR_RGBA16161616 8, LE_BGRX8888 4, LE_BGRA8888 4, RG1616F 4, RG3232F 8, RGBX8888 4, NV_NULL 4, "
                           "RGBA1010102 4, BGRA1010102 4, R16F 2, D16 2, D15S1 2, D32 4, D24S8 4, LINEAR_D24S8 4, D24X8 4, "
                           "D24X4S4 4, D24FS8 4, D16_SHADOW 2, D24X8_SHADOW 4, RGBA16161616_EDRAM 8, RGBA1010102F_EDRAM 4, "
                           "R16F_EXPAND 2, RG1616F_EXPAND 4, RGBA16161616F_EXPAND 8, RGBA16161616F_EDRAM_RGBA1010102F 8, "
                           "RGBA16161616F_EXPAND_EDRAM_RGBA1010102F 8, RGBA16161616_EDRAM_RGBA16161616 8, DXT5_NM b16, RG1616 4, "
                           "R16 2, RGBA8888_LINEAR 4, BGRA8888_LINEAR 4, BGRX8888_LINEAR 4, RGBX555 2, BC6H b16, BC7 b16, "
                           "R32_UINT 4, R8G8B8_ETC2 b8, R8G8B8A8_ETC2_EAC b16, R11_EAC b8, RG11_EAC b16");
        QStringList table;
        for (int nFormat = kImageFormatFirst; nFormat <= kImageFormatLast; ++nFormat) {
            const ImageFormatInfo *pInfo = FindImageFormatInfo(nFormat);
            QVERIFY(pInfo && (pInfo->IsBlockCompressed() ? pInfo->bytesPerPixel : pInfo->blockBytes) == 0);
            table << QStringLiteral("%1 %2").arg(QString::fromLatin1(pInfo->name),
                                                 pInfo->IsBlockCompressed() ? QStringLiteral("b%1").arg(pInfo->blockBytes)
                                                                            : QString::number(pInfo->bytesPerPixel));
        }
        QCOMPARE(table, sDocumented.split(QStringLiteral(", ")));
        QVERIFY(!FindImageFormatInfo(-2));
        QVERIFY(!FindImageFormatInfo(92));

        // The buffer size classes' labels.
        QStringList labels;
        char sz[256];
        for (uint64 nLimit : g_BufferSizeClassLimits) {
            FormatSizeClassLabel(nLimit, sz, sizeof(sz));
            labels << QString::fromLatin1(sz);
        }
        QCOMPARE(labels.join(QStringLiteral(", ")),
                 QStringLiteral("<= 256 B, <= 1 KB, <= 4 KB, <= 8 KB, <= 16 KB, <= 32 KB, <= 64 KB, <= 128 KB, <= 256 KB, "
                                "<= 512 KB, <= 1 MB, <= 2 MB, <= 4 MB, <= 4 GB"));
        // The unit changes exactly at 1024; shifting truncates; there is no unit past GB.
        const std::pair<uint64, const char *> edges[] = {
            {1023, "<= 1023 B"}, {1024, "<= 1 KB"}, {2047, "<= 1 KB"}, {1048575, "<= 1023 KB"}, {uint64(1) << 40, "<= 1024 GB"},
        };
        for (const auto &[nLimit, pszExpected] : edges) {
            FormatSizeClassLabel(nLimit, sz, sizeof(sz));
            QCOMPARE(QByteArray(sz), QByteArray(pszExpected));
        }
    }
};

GPUPROF_TEST_MAIN(TestResourcePayloads)
#include "tst_resource_payloads.moc"
