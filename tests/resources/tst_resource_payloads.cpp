// The resource-list payloads without any widget: the bounds-checked reader, the count bound,
// both decoders on whole, truncated and forged payloads, the size classes and their labels,
// and the texture memory arithmetic with its format table.

#include "buffer_list_payload.h"
#include "image_format_info.h"
#include "list_count_bound.h"
#include "payload_reader.h"
#include "resource_payload_builder.h"
#include "test_support.h"
#include "texture_list_payload.h"

#include <cstring>
#include <set>

namespace {

QString Dump(const BufferList &list)
{
    QStringList rows;
    for (const BufferListEntry &e : list.entries) {
        rows << QStringLiteral("%1 %2 %3 %4 %5 '%6'")
                    .arg(e.record.bufferType)
                    .arg(e.record.ElemSize())
                    .arg(e.record.Capacity())
                    .arg(e.record.ElemCount())
                    .arg(e.record.SizeBytes())
                    .arg(QString::fromLatin1(list.Name(e), e.nameLength));
    }
    return rows.join(QStringLiteral(" | "));
}

QString Dump(const TextureList &list)
{
    QStringList rows;
    for (const TextureListEntry &e : list.entries) {
        const GpuTextureRecord &r = e.record;
        rows << QStringLiteral("%1x%2x%3/%4x%5x%6 f%7 m%8/%9 fmt%10 %11/%12 '%13'")
                    .arg(r.DiskWidth())
                    .arg(r.DiskHeight())
                    .arg(r.DiskDepth())
                    .arg(r.ResWidth())
                    .arg(r.ResHeight())
                    .arg(r.ResDepth())
                    .arg(r.Flags(), 0, 16)
                    .arg(r.diskMips)
                    .arg(r.resMips)
                    .arg(r.Format())
                    .arg(e.diskBytes)
                    .arg(e.resBytes)
                    .arg(QString::fromLatin1(list.Name(e), e.nameLength));
    }
    return rows.join(QStringLiteral(" | "));
}

QByteArray Bytes(const PayloadBuilder &builder)
{
    return QByteArray(reinterpret_cast<const char *>(builder.Data()), qsizetype(builder.Size()));
}

} // namespace

class TestResourcePayloads : public QObject
{
    Q_OBJECT

private slots:
    void readInt32IsLittleEndianAndFailsWhenShort()
    {
        const uint8 bytes[] = {0x78, 0x56, 0x34, 0x12, 0xff, 0xff, 0xff, 0xff, 0xaa};
        PayloadReader reader(bytes, sizeof(bytes));
        QCOMPARE(reader.ReadInt32(), 0x12345678);
        QCOMPARE(reader.ReadInt32(), -1);
        QVERIFY(!reader.Failed());
        QCOMPARE(reader.ReadInt32(), 0);
        QVERIFY(reader.Failed());
        // Failed is sticky, and the failed read did not move the position.
        QCOMPARE(reader.Position(), 8u);
    }

    void readBytesIsAllOrNothing()
    {
        const uint8 bytes[] = {1, 2, 3, 4, 5};
        PayloadReader reader(bytes, sizeof(bytes));
        uint8 dest[4] = {9, 9, 9, 9};
        QVERIFY(reader.ReadBytes(dest, 3));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(dest), 4), QByteArray("\x01\x02\x03\x09", 4));
        QVERIFY(!reader.ReadBytes(dest, 3));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(dest), 4), QByteArray("\x01\x02\x03\x09", 4));
        QVERIFY(reader.Failed());
        // Even a read that would now fit fails once the reader has failed.
        QVERIFY(!reader.ReadBytes(dest, 1));
        QCOMPARE(dest[0], uint8(1));
    }

    void readString_data()
    {
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
        QTest::newRow("far too long") << QByteArray("abcdefgh\0", 9) << 4 << QByteArray("abc") << 9 << false;
        QTest::newRow("too long, unterminated") << QByteArray("abcdefgh") << 4 << QByteArray("abc") << 8 << true;
        QTest::newRow("1023 of 1024") << QByteArray(1023, 'n').append('\0') << 1024 << QByteArray(1023, 'n') << 1024 << false;
        QTest::newRow("1024 cut to 1023") << QByteArray(1024, 'n').append('\0') << 1024 << QByteArray(1023, 'n') << 1025 << false;
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

    void readStringAfterFailureIsEmpty()
    {
        PayloadReader reader("ab", 2);
        reader.ReadInt32();
        char dest[8] = "xxxxxxx";
        QCOMPARE(reader.ReadString(dest, sizeof(dest)), 0u);
        QCOMPARE(dest[0], '\0');
    }

    void countBound_data()
    {
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
    }

    void countBound()
    {
        QFETCH(int, count);
        QFETCH(uint, size);
        QFETCH(int, rows);
        QCOMPARE(BoundedRecordCount(count, size, kMinBufferRecordBytes), rows);
    }

    void sizeClasses_data()
    {
        QTest::addColumn<uint>("size");
        QTest::addColumn<int>("sizeClass");
        QTest::newRow("0") << 0u << 0;
        QTest::newRow("256") << 256u << 0;
        QTest::newRow("257") << 257u << 1;
        QTest::newRow("1024") << 1024u << 1;
        QTest::newRow("1025") << 1025u << 2;
        QTest::newRow("4194304") << 4194304u << 12;
        QTest::newRow("4194305") << 4194305u << 13;
        QTest::newRow("max") << 0xffffffffu << 13;
    }

    void sizeClasses()
    {
        QFETCH(uint, size);
        QFETCH(int, sizeClass);
        QCOMPARE(BufferSizeClass(size), sizeClass);
    }

    void sizeClassLabels()
    {
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
            {1023, "<= 1023 B"}, {1024, "<= 1 KB"}, {2047, "<= 1 KB"}, {1048575, "<= 1023 KB"},
            {uint64(1) << 40, "<= 1024 GB"},
        };
        for (const auto &[nLimit, pszExpected] : edges) {
            FormatSizeClassLabel(nLimit, sz, sizeof(sz));
            QCOMPARE(QByteArray(sz), QByteArray(pszExpected));
        }
    }

    void bufferListDecodes()
    {
        const PayloadBuilder payload = PayloadBuilder::Buffers({
            {0, 32, 1000, 250, 32000, "MyVertexData"},
            {1, 2, 6, 6, 12, ""},
            {7, 0xffff, 0xffffffffu, 0, 0xffffffffu, "big"},
        });
        BufferList list;
        QVERIFY(ParseBufferList(payload.Data(), payload.Size(), &list));
        QCOMPARE(Dump(list), QStringLiteral("0 32 1000 250 32000 'MyVertexData' | 1 2 6 6 12 '' | "
                                            "7 65535 4294967295 0 4294967295 'big'"));
        QCOMPARE(list.totalBytes, uint64(32000) + 12 + 0xffffffffu);
        QCOMPARE(list.classCounts[5][kBufferKindVertex], 1); // 32000 <= 32 KB
        QCOMPARE(list.classCounts[0][kBufferKindIndex], 1);
        QCOMPARE(list.classCounts[13][kBufferKindIndex], 1); // type 7 counts as an index buffer
    }

    void bufferListFailures_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("dump");

        const PayloadBuilder two = PayloadBuilder::Buffers({{0, 4, 10, 5, 300, "A"}, {1, 2, 8, 8, 300, "B"}});
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("three bytes") << QByteArray("\x02\x00\x00", 3) << QString();
        QTest::newRow("negative count") << Bytes(PayloadBuilder(two).Truncate(0).Count(-1).Buffer({0, 4, 10, 5, 300, "A"}))
                                        << QString();
        QTest::newRow("count only") << Bytes(PayloadBuilder().Count(2)) << QStringLiteral("0 0 0 0 0 '' | 0 0 0 0 0 ''");
        // The second record is cut inside its fixed part: it stays zero, and the failed reader
        // gives it no name either.
        QTest::newRow("cut in a record") << Bytes(PayloadBuilder(two).Truncate(4 + 17 + 6))
                                         << QStringLiteral("0 4 10 5 300 'A' | 0 0 0 0 0 ''");
        QTest::newRow("cut in a name") << Bytes(PayloadBuilder::Buffers({{0, 4, 10, 5, 300, "Alpha"}}).Truncate(4 + 15 + 3))
                                       << QStringLiteral("0 4 10 5 300 'Alp'");
        QTest::newRow("more records than count") << Bytes(PayloadBuilder(two).Truncate(0).Count(1).Buffer({0, 4, 10, 5, 300, "A"}).Buffer({1, 2, 8, 8, 300, "B"}))
                                                 << QStringLiteral("0 4 10 5 300 'A'");
        QTest::newRow("count beyond payload") << Bytes(PayloadBuilder(two).Truncate(0).Count(4).Buffer({0, 4, 10, 5, 300, "A"}))
                                              << QStringLiteral("0 4 10 5 300 'A' | 0 0 0 0 0 '' | 0 0 0 0 0 '' | 0 0 0 0 0 ''");
    }

    void bufferListFailures()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, dump);
        AllocationSnapshot snapshot;
        {
            BufferList list;
            QVERIFY(ParseBufferList(payload.constData(), uint32(payload.size()), &list));
            QCOMPARE(Dump(list), dump);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void longNamesAreCutAndSkipped()
    {
        const std::string longName(3000, 'L');
        const PayloadBuilder buffers = PayloadBuilder::Buffers({{0, 1, 1, 1, 1, longName}, {1, 2, 2, 2, 2, "next"}});
        BufferList bufferList;
        QVERIFY(ParseBufferList(buffers.Data(), buffers.Size(), &bufferList));
        QCOMPARE(bufferList.entries.Count(), 2);
        QCOMPARE(bufferList.entries[0].nameLength, 1023);
        QCOMPARE(QByteArray(bufferList.Name(bufferList.entries[1]), bufferList.entries[1].nameLength), QByteArray("next"));
        QCOMPARE(bufferList.entries[1].record.SizeBytes(), 2u);

        TextureDesc first;
        first.name = longName;
        TextureDesc second;
        second.diskWidth = 7;
        second.name = "after";
        const PayloadBuilder textures = PayloadBuilder::Textures({first, second});
        TextureList textureList;
        QVERIFY(ParseTextureList(textures.Data(), textures.Size(), &textureList));
        QCOMPARE(textureList.entries[0].nameLength, 1023);
        QCOMPARE(QByteArray(textureList.Name(textureList.entries[1]), 5), QByteArray("after"));
        QCOMPARE(textureList.entries[1].record.DiskWidth(), uint16(7));
    }

    // A forged count costs rows in proportion to the payload, not to the count, and leaves
    // nothing behind.
    void forgedCountsStayBounded_data()
    {
        QTest::addColumn<bool>("textures");
        QTest::addColumn<int>("size");
        QTest::newRow("buffers, 20 bytes") << false << 20;
        QTest::newRow("textures, 20 bytes") << true << 20;
        QTest::newRow("buffers, 64 KB") << false << 65536;
        QTest::newRow("textures, 64 KB") << true << 65536;
    }

    void forgedCountsStayBounded()
    {
        QFETCH(bool, textures);
        QFETCH(int, size);
        QByteArray payload(size, '\x01');
        const int32 nCount = 0x7fffffff;
        std::memcpy(payload.data(), &nCount, 4); // little-endian host
        const uint32 nMin = textures ? kMinTextureRecordBytes : kMinBufferRecordBytes;
        const int nExpected = (size - 4) / int(nMin) + kMaxRowsPastPayload;

        AllocationSnapshot snapshot;
        {
            int nRows = 0;
            if (textures) {
                TextureList list;
                QVERIFY(ParseTextureList(payload.constData(), uint32(size), &list));
                nRows = list.entries.Count();
            } else {
                BufferList list;
                QVERIFY(ParseBufferList(payload.constData(), uint32(size), &list));
                nRows = list.entries.Count();
            }
            QCOMPARE(nRows, nExpected);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void parsersReportExhaustedMemory()
    {
        const PayloadBuilder payload = PayloadBuilder::Buffers(std::vector<BufferDesc>(200, BufferDesc{0, 1, 1, 1, 1, "name"}));
        AllocationSnapshot snapshot;
        {
            BufferList list;
            g_pMemAlloc->SetAllocationLimit(64);
            const bool bParsed = ParseBufferList(payload.Data(), payload.Size(), &list);
            g_pMemAlloc->SetAllocationLimit(0);
            QVERIFY(!bParsed);
            QCOMPARE(list.entries.Count(), 0);

            TextureList textures;
            const PayloadBuilder texturePayload = PayloadBuilder::Textures(std::vector<TextureDesc>(200, TextureDesc{}));
            g_pMemAlloc->SetAllocationLimit(64);
            const bool bTexturesParsed = ParseTextureList(texturePayload.Data(), texturePayload.Size(), &textures);
            g_pMemAlloc->SetAllocationLimit(0);
            QVERIFY(!bTexturesParsed);
            QCOMPARE(textures.entries.Count(), 0);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void textureListDecodes()
    {
        TextureDesc t;
        t.diskWidth = 256;
        t.diskHeight = 128;
        t.diskDepth = 1;
        t.resWidth = 64;
        t.resHeight = 32;
        t.resDepth = 1;
        t.flags = 0x0452;
        t.diskMips = 0;
        t.resMips = 2;
        t.format = 12;
        t.name = "tex";
        TextureDesc volume;
        volume.diskWidth = volume.resWidth = 4;
        volume.diskHeight = volume.resHeight = 4;
        volume.diskDepth = volume.resDepth = 8;
        volume.diskMips = volume.resMips = 1;
        volume.format = 0;
        volume.flags = 0x0004;
        volume.name = "vol";
        const PayloadBuilder payload = PayloadBuilder::Textures({t, volume});
        TextureList list;
        QVERIFY(ParseTextureList(payload.Data(), payload.Size(), &list));
        // 256x128 BGRA8888 full chain: 4 * (32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 2 + 1... )
        const uint64 nChain = 4ull * (256 * 128 + 128 * 64 + 64 * 32 + 32 * 16 + 16 * 8 + 8 * 4 + 4 * 2 + 2 * 1 + 1 * 1);
        QCOMPARE(Dump(list), QStringLiteral("256x128x1/64x32x1 f452 m0/2 fmt12 %1/%2 'tex' | "
                                            "4x4x8/4x4x8 f4 m1/1 fmt0 512/512 'vol'")
                                 .arg(nChain)
                                 .arg(4 * (64 * 32 + 32 * 16)));
        QCOMPARE(list.totalDiskBytes, nChain + 512);
        QCOMPARE(list.totalResBytes, uint64(4 * (64 * 32 + 32 * 16)) + 512);
    }

    void truncatedTexturesAreBlank()
    {
        TextureDesc t;
        t.diskWidth = 16;
        t.diskHeight = 16;
        t.format = 13;
        t.name = "first";
        const PayloadBuilder payload = PayloadBuilder(PayloadBuilder::Textures({t})).Truncate(0).Count(3).Texture(t);
        TextureList list;
        QVERIFY(ParseTextureList(payload.Data(), payload.Size(), &list));
        // DXT1 16x16 whole chain: 16 + 4 + 1 + 1 + 1 blocks of 8 bytes. The resident side is
        // 0x0, which chains on to a 1x1 level: one block.
        QCOMPARE(Dump(list), QStringLiteral("16x16x1/0x0x1 f0 m0/0 fmt13 184/8 'first' | "
                                            "0x0x0/0x0x0 f0 m0/0 fmt0 0/0 '' | 0x0x0/0x0x0 f0 m0/0 fmt0 0/0 ''"));
    }

    void mipChainSizes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("mips");
        QTest::addColumn<int>("format");
        QTest::addColumn<qulonglong>("bytes");
        QTest::newRow("BGRA8888 256 full chain") << 256 << 256 << 0 << 12 << 349524ull;
        QTest::newRow("DXT1 256 one level") << 256 << 256 << 1 << 13 << 32768ull;
        QTest::newRow("RGBA8888 4x4 one level") << 4 << 4 << 1 << 0 << 64ull;
        QTest::newRow("DXT5 2x2 rounds up to a block") << 2 << 2 << 1 << 15 << 16ull;
        QTest::newRow("DXT1 5x5 full chain") << 5 << 5 << 0 << 13 << 8ull * (4 + 1 + 1);
        QTest::newRow("non-square stops at 1x1") << 8 << 2 << 0 << 5 << 16ull + 4 + 2 + 1;
        QTest::newRow("mip count past 1x1") << 2 << 2 << 50 << 0 << 20ull;
        QTest::newRow("UNKNOWN takes nothing") << 64 << 64 << 0 << -1 << 0ull;
        QTest::newRow("outside the table") << 64 << 64 << 0 << 92 << 0ull;
        QTest::newRow("far outside the table") << 64 << 64 << 0 << -128 << 0ull;
        QTest::newRow("zero width still chains") << 0 << 4 << 0 << 0 << 4ull * (0 + 2 + 1);
        // 16384^2 RGBA32F is 4 GB in its first level alone; it is not wrapped.
        QTest::newRow("beyond 32 bits") << 16384 << 16384 << 1 << 29 << 4294967296ull;
        QTest::newRow("largest") << 65535 << 65535 << 1 << 29 << 16ull * 65535 * 65535;
    }

    void mipChainSizes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, mips);
        QFETCH(int, format);
        QFETCH(qulonglong, bytes);
        QCOMPARE(qulonglong(TextureMipChainSize(uint32(width), uint32(height), uint32(mips), format)), bytes);
    }

    void textureBytesMultiplyByDepth()
    {
        QCOMPARE(TextureBytes(4, 4, 8, 1, 0), uint64(512));
        QCOMPARE(TextureBytes(256, 256, 0, 0, 12), uint64(0));
        // 2 GB and more stay positive and exact.
        QCOMPARE(TextureBytes(16384, 16384, 2, 1, 0), uint64(2147483648ull));
        QCOMPARE(TextureBytes(65535, 65535, 65535, 1, 29), uint64(16) * 65535 * 65535 * 65535);
    }

    void formatTable()
    {
        std::set<std::string> names;
        int nBlock = 0;
        for (int nFormat = kImageFormatFirst; nFormat <= kImageFormatLast; ++nFormat) {
            const ImageFormatInfo *pInfo = FindImageFormatInfo(nFormat);
            QVERIFY(pInfo);
            names.insert(pInfo->name);
            if (pInfo->IsBlockCompressed()) {
                ++nBlock;
                QVERIFY(pInfo->blockBytes == 8 || pInfo->blockBytes == 16);
            } else {
                QCOMPARE(pInfo->blockBytes, uint8(0));
            }
        }
        QCOMPARE(int(names.size()), 93);
        QCOMPARE(nBlock, 13);
        QVERIFY(!FindImageFormatInfo(-2));
        QVERIFY(!FindImageFormatInfo(92));
        const std::pair<int, const char *> spots[] = {
            {-1, "UNKNOWN"}, {0, "RGBA8888"}, {12, "BGRA8888"}, {13, "DXT1"}, {28, "RGB323232F"},
            {76, "RGBA16161616F_EXPAND_EDRAM_RGBA1010102F"}, {85, "BC6H"}, {91, "RG11_EAC"},
        };
        for (const auto &[nFormat, pszName] : spots)
            QCOMPARE(QByteArray(FindImageFormatInfo(nFormat)->name), QByteArray(pszName));
        QCOMPARE(FindImageFormatInfo(28)->bytesPerPixel, uint8(12));
        QCOMPARE(FindImageFormatInfo(20)->blockBytes, uint8(8));
        QCOMPARE(FindImageFormatInfo(89)->blockBytes, uint8(16));
    }
};

GPUPROF_TEST_MAIN(TestResourcePayloads)
#include "tst_resource_payloads.moc"
