// Frame header and sample record: field positions checked against hand-placed bytes, path
// splitting, and the modular totals arithmetic.

#include "frame_record.h"
#include "test_support.h"

#include <QRandomGenerator>

#include <cstring>
#include <vector>

namespace {

void PutBE(uint8 *p, uint64 v, int nBytes)
{
    for (int i = nBytes - 1; i >= 0; --i, v >>= 8)
        p[i] = uint8(v);
}

} // namespace

class TestFrameRecord : public QObject
{
    Q_OBJECT

private slots:
    // Bytes placed at the documented offsets of a sample, then of a header, by hand, read back
    // through the accessors; the buffer starts at an odd address so that no field is aligned.
    void fieldsReadFromTheirOffsets()
    {
        alignas(8) uint8 storage[409] = {};
        uint8 *raw = storage + 1;
        PutBE(raw + 0, 0x3ff0000000000000ull, 8); // cpuStartTime 1.0
        PutBE(raw + 8, 0x4000000000000000ull, 8); // cpuTime 2.0
        PutBE(raw + 16, 0xc000000000000000ull, 8); // gpuStartTime -2.0
        PutBE(raw + 24, 0x3fe0000000000000ull, 8); // gpuTime 0.5
        PutBE(raw + 32, 0xfffe, 2);
        PutBE(raw + 36, 0x01020304, 4);
        PutBE(raw + 40, 0xa0b0c0d0, 4);
        PutBE(raw + 56, 0x1234, 2);
        PutBE(raw + 58, 0x11111111, 4);
        PutBE(raw + 70, 0x77777777, 4);
        PutBE(raw + 84, 3, 4);
        PutBE(raw + 100, 0xdeadbeef, 4);
        PutBE(raw + 104 + 2 * 11, 0x0b0b, 2);
        PutBE(raw + 128, 0x0c0c, 2);
        PutBE(raw + 150, 0x0d0d, 2);
        std::memcpy(raw + 153, "#Main/Opaque/Draw", 18);

        const auto *pSample = reinterpret_cast<const GpuSampleRecord *>(raw);
        QCOMPARE(pSample->CpuStartTime(), 1.0);
        QCOMPARE(pSample->CpuTime(), 2.0);
        QCOMPARE(pSample->GpuStartTime(), -2.0);
        QCOMPARE(pSample->GpuTime(), 0.5);
        QCOMPARE(pSample->Draws(), uint16(0xfffe));
        QCOMPARE(pSample->Verts(), 0x01020304u);
        QCOMPARE(pSample->Prims(), 0xa0b0c0d0u);
        QCOMPARE(pSample->FbTexUpdates(), uint16(0x1234));
        QCOMPARE(pSample->VbUpload(), 0x11111111u);
        QCOMPARE(pSample->TexUpload(), 0x77777777u);
        QCOMPARE(pSample->IaPrims(), 3u);
        QCOMPARE(pSample->PsInvokes(), 0xdeadbeefu);
        QCOMPARE(pSample->InstHist(11), uint16(0x0b0b));
        QCOMPARE(pSample->PrimsPerDrawHist(0), uint16(0x0c0c));
        QCOMPARE(pSample->PrimsPerDrawHist(11), uint16(0x0d0d));
        QCOMPARE(QByteArray(pSample->Name().data(), qsizetype(pSample->Name().size())), QByteArray("#Main/Opaque/Draw"));

        std::memset(storage, 0, sizeof(storage));
        PutBE(raw + 4, 0x1122334455667788ull, 8);
        std::memcpy(raw + 12, "Main swap chain", 16);
        PutBE(raw + 76, 7, 4); // uniqueBoundVbs
        PutBE(raw + 108, 9, 4); // boundTexSize
        PutBE(raw + 112, 100, 4); // bin 0
        PutBE(raw + 172, 115, 4); // bin 15
        PutBE(raw + 176, 1000, 4); // sampleCount
        raw[184] = 1;

        const auto *pHeader = reinterpret_cast<const GpuFrameHeader *>(raw);
        QCOMPARE(pHeader->SwapChainId(), 0x1122334455667788ull);
        QCOMPARE(QByteArray(pHeader->SwapChainName().data()), QByteArray("Main swap chain"));
        QCOMPARE(pHeader->ResourceStat(0), 7u);
        QCOMPARE(pHeader->ResourceStat(8), 9u);
        QCOMPARE(pHeader->BoundTexDimHist(0), 100u);
        QCOMPARE(pHeader->BoundTexDimHist(15), 115u);
        QCOMPARE(pHeader->SampleCount(), 1000u);
        QVERIFY(pHeader->HasResourceStats());

        // Names are at most 254 and 63 characters, also when a target leaves out the terminator;
        // a path in a full field splits within those 254.
        GpuSampleRecord sample;
        std::memset(&sample, 'A', sizeof(sample));
        QCOMPARE(sample.Name().size(), size_t(254));
        GpuFrameHeader header;
        std::memset(&header, 'B', sizeof(header));
        QCOMPARE(header.SwapChainName().size(), size_t(63));
        sample.name[0] = '#';
        sample.name[200] = '/';
        int nParts = 0;
        QCOMPARE(SplitSamplePath(sample.Name(), SAMPLE_PATH_VIEW, &nParts).size(), size_t(199));
        QCOMPARE(SplitSamplePath(sample.Name(), SAMPLE_PATH_LAYER).size(), size_t(53));
        QCOMPARE(nParts, 2);

        sample.SetName(std::string(300, 'x'));
        QCOMPARE(sample.Name().size(), size_t(254));
    }

    void splitSamplePath_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("parts");
        QTest::newRow("full path") << QByteArray("#Main/Opaque/Draw") << "Main | Opaque | Draw (3)";
        QTest::newRow("fourth part dropped") << QByteArray("#Main/Opaque/Draw/Extra") << "Main | Opaque | Draw (3)";
        QTest::newRow("two parts") << QByteArray("#Main/Opaque") << "Main | Opaque | n/a (2)";
        QTest::newRow("one part") << QByteArray("#Main") << "Main | n/a | n/a (1)";
        QTest::newRow("empty view") << QByteArray("#/Opaque/Draw") << "n/a | Opaque | Draw (3)";
        QTest::newRow("empty layer") << QByteArray("#Main//Draw") << "Main | n/a | Draw (3)";
        QTest::newRow("empty name") << QByteArray("#Main/Opaque/") << "Main | Opaque | n/a (2)";
        QTest::newRow("hash alone") << QByteArray("#") << "n/a | n/a | n/a (0)";
        QTest::newRow("separators only") << QByteArray("#///") << "n/a | n/a | n/a (3)";
        QTest::newRow("empty") << QByteArray("") << "n/a | n/a | n/a (0)";
        QTest::newRow("plain") << QByteArray("Shadow Pass") << "Shadow Pass | Shadow Pass | Shadow Pass (3)";
        QTest::newRow("plain with slashes") << QByteArray("a/b") << "a/b | a/b | a/b (3)";
        QTest::newRow("hash later is plain") << QByteArray("x#A/B") << "x#A/B | x#A/B | x#A/B (3)";
        // clang-format on
    }

    void splitSamplePath()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, parts);
        const std::string_view sName(name.constData(), size_t(name.size()));
        int nParts = -1;
        QStringList split;
        for (int k = 0; k < 3; ++k) {
            const std::string_view part = SplitSamplePath(sName, k, &nParts);
            split << QString::fromLatin1(part.data(), qsizetype(part.size()));
        }
        QCOMPARE(split.join(" | ") + QStringLiteral(" (%1)").arg(nParts), parts);
    }

    // Totals wrap, leave start times, reserved bytes and the name alone, and take in every counter.
    void totalsWrapAndTakeEveryCounter()
    {
        GpuSampleRecord totals;
        std::memset(&totals, 0xEE, sizeof(totals));
        ZeroCounters(&totals);
        totals.SetCpuTime(0.0);
        totals.SetGpuTime(0.0);
        totals.SetName("#Frame Totals/Frame Totals/Frame Totals");

        GpuSampleRecord a{}, b{};
        a.SetDraws(40000);
        b.SetDraws(30000);
        a.SetVerts(0xFFFFFFF0u);
        b.SetVerts(0x20u);
        a.SetPrimsPerDrawHist(11, 65535);
        b.SetPrimsPerDrawHist(11, 2);
        a.SetGpuTime(0.001);
        b.SetGpuTime(0.001);
        a.SetCpuTime(0.25);
        a.SetGpuStartTime(5.0);
        std::memset(a.reserved74, 0x11, sizeof(a.reserved74));
        AddToTotals(&totals, &a);
        AddToTotals(&totals, &b);

        QCOMPARE(totals.Draws(), uint16(4464));
        QCOMPARE(totals.Verts(), 0x10u);
        QCOMPARE(totals.PrimsPerDrawHist(11), uint16(1));
        QCOMPARE(totals.GpuTime(), 0.002);
        QCOMPARE(totals.CpuTime(), 0.25);
        // Start times, reserved bytes and the name are not part of the sums.
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(totals.gpuStartTime), 8), QByteArray(8, char(0xEE)));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(totals.reserved74), 6), QByteArray(6, char(0)));
        QCOMPARE(totals.reserved152, uint8(0xEE));
        QCOMPARE(QByteArray(totals.Name().data()), QByteArray("#Frame Totals/Frame Totals/Frame Totals"));

        // A record whose whole counter block is 1 (u16 and u32 alike) added twice: every counter
        // field reads 2, the reserved stretch stays 0.
        GpuSampleRecord ones{};
        for (size_t offset : {32, 34, 44, 46, 48, 50, 52, 54, 56})
            StoreBigEndian16(reinterpret_cast<uint8 *>(&ones) + offset, 1);
        for (size_t offset = 104; offset < 152; offset += 2)
            StoreBigEndian16(reinterpret_cast<uint8 *>(&ones) + offset, 1);
        for (size_t offset : {36, 40, 58, 62, 66, 70, 80, 84, 88, 92, 96, 100})
            StoreBigEndian32(reinterpret_cast<uint8 *>(&ones) + offset, 1);
        GpuSampleRecord twice{};
        AddCounters(&twice, &ones);
        AddCounters(&twice, &ones);
        GpuSampleRecord expected{};
        for (size_t offset = 32; offset < 152; ++offset) {
            reinterpret_cast<uint8 *>(&expected)[offset] = uint8(reinterpret_cast<uint8 *>(&ones)[offset] * 2);
        }
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(&twice), 408).toHex(),
                 QByteArray(reinterpret_cast<const char *>(&expected), 408).toHex());

        // The frame total sums many samples at once; it must equal adding them one by one, bit for
        // bit, for any bytes a target can send (wrapping counters, NaN and infinite times included).
        QRandomGenerator random(42);
        for (int nRound = 0; nRound < 20; ++nRound) {
            const int nCount = int(random.bounded(1, 300));
            std::vector<GpuSampleRecord> samples(static_cast<size_t>(nCount));
            random.fillRange(reinterpret_cast<quint32 *>(samples.data()), samples.size() * sizeof(GpuSampleRecord) / 4);
            if (nRound % 2) {
                for (GpuSampleRecord &sample : samples) {
                    sample.SetCpuTime(random.generateDouble() * 1e-3);
                    sample.SetGpuTime(random.generateDouble() * 1e-3);
                }
            }
            GpuSampleRecord one, many;
            random.fillRange(reinterpret_cast<quint32 *>(&one), sizeof(one) / 4);
            std::memcpy(&many, &one, sizeof(one));
            for (const GpuSampleRecord &sample : samples)
                AddToTotals(&one, &sample);
            AddRecordsToTotals(&many, samples.data(), nCount);
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(&many), 408).toHex(),
                     QByteArray(reinterpret_cast<const char *>(&one), 408).toHex());
        }
    }
};

GPUPROF_TEST_MAIN(TestFrameRecord)
#include "tst_frame_record.moc"
