// The target side of the wire: records built in wire order (checked against hand-placed bytes,
// not against the readers that share their code), realistic frames, the split of a frame into
// chunks under a size limit, and the command chunks.

#include "chunk_decompression.h"
#include "frame_chunker.h"
#include "frame_generator.h"
#include "target_command.h"
#include "test_support.h"

#include <set>

namespace {

QByteArray Hex(const void *pRecord, int nOffset, int nSize)
{
    return Bytes(static_cast<const char *>(pRecord) + nOffset, size_t(nSize)).toHex();
}

// The records a list of sample chunks carries, unpacked.
QByteArray RecordsOf(const std::vector<TargetChunk> &chunks, size_t nFirst)
{
    QByteArray records;
    for (size_t i = nFirst; i < chunks.size(); ++i) {
        const std::vector<uint8> &payload = chunks[i].payload;
        if (chunks[i].nChunkId == GPU_PROFILER_CHUNK_DATA) {
            records += Bytes(payload.data(), payload.size());
            continue;
        }
        const uint32 nSize = ChunkDataSize(payload.data(), uint32(payload.size()));
        QByteArray data(int(nSize), '\0');
        if (DecompressChunk(payload.data(), uint32(payload.size()), data.data(), nSize) != nSize)
            return QByteArray("unpack failed");
        records += data;
    }
    return records;
}

} // namespace

class TestTargetFrames : public QObject
{
    Q_OBJECT

private slots:
    void recordsAreBuiltInWireOrder()
    {
        GpuSampleRecord sample = MakeSampleRecord("#Main/Opaque/Draw", SampleTiming{1.0, 2.0, -2.0, 0.5});
        sample.SetVerts(0x01020304);
        sample.SetVbUpload(0xA1B2C3D4); // offset 58: not a multiple of four
        sample.SetTexUpload(0x11223344);
        sample.SetInstHist(11, 0xBEEF);
        QCOMPARE(Hex(&sample, 0, 32),
                 QByteArray("3ff0000000000000"
                            "4000000000000000"
                            "c000000000000000"
                            "3fe0000000000000"));
        QCOMPARE(Hex(&sample, 36, 4), QByteArray("01020304"));
        QCOMPARE(Hex(&sample, 58, 4), QByteArray("a1b2c3d4"));
        QCOMPARE(Hex(&sample, 70, 4), QByteArray("11223344"));
        QCOMPARE(Hex(&sample, 126, 2), QByteArray("beef"));
        QCOMPARE(Bytes(sample.name, 18), QByteArray("#Main/Opaque/Draw", 18));
        // Everything not set is zero, the terminator and the rest of the name included.
        QCOMPARE(Hex(&sample, 74, 30), QByteArray(60, '0'));
        QCOMPARE(Bytes(sample.name + 17, 238), QByteArray(238, '\0'));

        GpuFrameHeader header = MakeFrameHeader(0x1122334455667788ull, "Main Swap Chain", 1000);
        QCOMPARE(Hex(&header, 0, 12),
                 QByteArray("00000000"
                            "1122334455667788"));
        QCOMPARE(Bytes(header.swapChainName, 16), QByteArray("Main Swap Chain", 16));
        QCOMPARE(Hex(&header, 176, 4), QByteArray("000003e8"));
        QCOMPARE(header.hasResourceStats, uint8(0));
        header.SetHasResourceStats(true);
        QCOMPARE(Hex(&header, 184, 4), QByteArray("01000000"));
        QCOMPARE(FrameHeaderPayload(header).size(), size_t(188));

        // A long name is cut to 63 characters and stays terminated.
        header.SetSwapChainName(std::string(100, 'n'));
        QCOMPARE(header.SwapChainName().size(), size_t(63));
        QCOMPARE(header.swapChainName[63], '\0');

        // The nine resource statistics each read their own four bytes, from offset 76 up.
        for (int i = 0; i < GpuFrameHeader::kResourceStatCount; ++i)
            StoreBigEndian32(reinterpret_cast<uint8 *>(&header) + 76 + 4 * i, 0x01000000u * uint32(i + 1) + uint32(i));
        const uint32 values[] = {header.UniqueBoundVbs(), header.BoundVbSize(),     header.UniqueBoundIbs(),
                                 header.BoundIbSize(),    header.UniqueBoundCbs(),  header.BoundCbSize(),
                                 header.FbTexPool(),      header.UniqueBoundTexs(), header.BoundTexSize()};
        for (int i = 0; i < GpuFrameHeader::kResourceStatCount; ++i) {
            QCOMPARE(values[i], 0x01000000u * uint32(i + 1) + uint32(i));
            QCOMPARE(header.ResourceStat(i), values[i]);
        }
    }

    void generatorSampleCounts_data()
    {
        // clang-format off
        QTest::addColumn<uint>("count");
        QTest::addColumn<uint>("variation"); // in percent
        for (uint count : {0u, 1u, 2u, 5u, 16u, 1000u, 5000u})
            QTest::addRow("%u", count) << count << 0u;
        QTest::newRow("400, varying by 10%") << 400u << 10u;
        // clang-format on
    }

    // Any count gives that many samples, announced in the header, each with a name, "Present"
    // last, and GPU work that never runs backwards. With variation, counts spread over the whole
    // allowed range and no further.
    void generatorSampleCounts()
    {
        QFETCH(uint, count);
        QFETCH(uint, variation);
        FrameGeneratorOptions options;
        options.nSampleCount = count;
        options.nSampleCountVariation = variation;
        CFrameGenerator generator(2, options);
        const size_t nSpread = count * variation / 100;
        std::set<size_t> counts;
        TargetFrame frame;
        for (int nFrame = 0; nFrame < (variation ? 200 : 1); ++nFrame) {
            generator.NextFrame(frame);
            QVERIFY2(frame.samples.size() >= count - nSpread && frame.samples.size() <= count + nSpread,
                     qPrintable(QString::number(frame.samples.size())));
            QCOMPARE(frame.header.SampleCount(), uint32(frame.samples.size()));
            counts.insert(frame.samples.size());
            double flLastEnd = 0.0;
            for (const GpuSampleRecord &sample : frame.samples) {
                QVERIFY(!sample.Name().empty());
                QVERIFY(sample.GpuTime() > 0.0 && sample.CpuTime() > 0.0);
                QVERIFY(sample.GpuStartTime() >= flLastEnd);
                flLastEnd = sample.GpuStartTime() + sample.GpuTime();
            }
            if (count > 0)
                QCOMPARE(QByteArray(frame.samples.back().Name().data()), QByteArray("Present"));
        }
        if (variation) {
            QVERIFY(counts.size() > 40);
            QVERIFY(*counts.begin() < count - nSpread * 3 / 4 && *counts.rbegin() > count + nSpread * 3 / 4);
        }
    }

    // What makes the frames realistic for the viewer and for packing: path names over several
    // views and layers, names that repeat, mostly zero counters, resource statistics, and
    // swap chains taking turns.
    void generatedFramesLookLikeAGame()
    {
        FrameGeneratorOptions options;
        options.nSwapChains = 2;
        CFrameGenerator generator(3, options);
        const TargetFrame frame = generator.NextFrame();
        const TargetFrame next = generator.NextFrame();
        const TargetFrame third = generator.NextFrame();
        QVERIFY(frame.header.SwapChainId() != next.header.SwapChainId());
        QCOMPARE(frame.header.SwapChainId(), third.header.SwapChainId());
        QCOMPARE(QByteArray(frame.header.SwapChainName().data(), 15), QByteArray("Main Swap Chain"));
        QVERIFY(frame.header.HasResourceStats());
        QVERIFY(frame.header.UniqueBoundTexs() > 0);
        uint32 nHistogram = 0;
        for (int nBin = 0; nBin < GpuFrameHeader::kTexDimHistBins; ++nBin)
            nHistogram += frame.header.BoundTexDimHist(nBin);
        QCOMPARE(nHistogram, frame.header.UniqueBoundTexs());

        std::set<std::string> views, layers, names;
        size_t nZeroCounterBytes = 0;
        int nDraws = 0;
        for (const GpuSampleRecord &sample : frame.samples) {
            const std::string_view name = sample.Name();
            names.insert(std::string(name));
            if (name[0] == '#') {
                const size_t nSlash = name.find('/');
                views.insert(std::string(name.substr(1, nSlash - 1)));
                layers.insert(std::string(name.substr(nSlash + 1, name.find('/', nSlash + 1) - nSlash - 1)));
            }
            for (size_t i = 0; i < GpuSampleRecord::kCounterBlockSize; ++i)
                nZeroCounterBytes += reinterpret_cast<const uint8 *>(&sample)[GpuSampleRecord::kCounterBlockOffset + i] == 0;
            nDraws += sample.Draws();
        }
        QCOMPARE(views, (std::set<std::string>{"Main", "Post", "Reflection", "Shadow", "UI"}));
        for (const char *pszName :
             {"#Main/Depth Prepass/Clear Depth", "#Post/Bloom/Bright Pass", "#Post/Tonemap/Tonemap", "#Post/AA/Edge Detect"})
            QVERIFY2(names.count(pszName), pszName);
        QVERIFY(layers.size() >= 10);
        QVERIFY2(names.size() < 400, qPrintable(QString::number(names.size())));
        QVERIFY(nZeroCounterBytes > frame.samples.size() * GpuSampleRecord::kCounterBlockSize / 2);
        QVERIFY(nDraws > 1000);
    }

    void pipelineFlushingLengthensFrames_data()
    {
        // clang-format off
        QTest::addColumn<uint>("samples");
        QTest::addColumn<double>("gpuFrameTime");
        QTest::addColumn<double>("minGrowth");
        QTest::addColumn<double>("maxGrowth");
        // The samples' own times: the frame grows by whatever the bubbles add.
        QTest::newRow("unscaled") << 1000u << 0.0 << 1.02 << 2.0;
        // The demo's frames: the bubbles come after the scaling to the wanted length, or they
        // would be scaled away.
        QTest::newRow("scaled to 14 ms") << 400u << 0.014 << 1.10 << 1.35;
        // clang-format on
    }

    // The same seed with flushing on and off: the same samples, only each one later and
    // longer, with an idle gap after it; turned off again, the frames are those of a generator
    // that never flushed. Another seed gives other frames.
    void pipelineFlushingLengthensFrames()
    {
        QFETCH(uint, samples);
        QFETCH(double, gpuFrameTime);
        QFETCH(double, minGrowth);
        QFETCH(double, maxGrowth);
        FrameGeneratorOptions options;
        options.nSampleCount = samples;
        options.nSampleCountVariation = 10;
        options.flGpuFrameTime = gpuFrameTime;
        CFrameGenerator plain(4, options), flushed(4, options), other(5, options);
        flushed.SetPipelineFlushing(true);
        auto span = [](const TargetFrame &frame) {
            return frame.samples.back().GpuStartTime() + frame.samples.back().GpuTime() - frame.samples.front().GpuStartTime();
        };
        double flPlainSpans = 0.0, flFlushedSpans = 0.0;
        for (int nFrame = 0; nFrame < 20; ++nFrame) {
            const TargetFrame a = plain.NextFrame();
            const TargetFrame b = flushed.NextFrame();
            const TargetFrame c = other.NextFrame();
            QVERIFY(a.samples.size() != c.samples.size() ||
                    std::memcmp(a.samples.data(), c.samples.data(), a.samples.size() * sizeof(GpuSampleRecord)) != 0);
            QCOMPARE(b.samples.size(), a.samples.size());
            for (size_t i = 0; i < a.samples.size(); ++i) {
                QCOMPARE(QByteArray(b.samples[i].Name().data()), QByteArray(a.samples[i].Name().data()));
                QCOMPARE(b.samples[i].Draws(), a.samples[i].Draws());
                QVERIFY(b.samples[i].GpuTime() > a.samples[i].GpuTime());
                if (i > 0) {
                    const double flGap = b.samples[i].GpuStartTime() - (b.samples[i - 1].GpuStartTime() + b.samples[i - 1].GpuTime());
                    QVERIFY2(flGap > 1e-6 && flGap < 20e-6, qPrintable(QString::number(flGap)));
                }
            }
            QVERIFY(span(b) > span(a));
            flPlainSpans += span(a);
            flFlushedSpans += span(b);
        }
        const double flGrowth = flFlushedSpans / flPlainSpans;
        QVERIFY2(flGrowth >= minGrowth && flGrowth <= maxGrowth, qPrintable(QString::number(flGrowth)));

        flushed.SetPipelineFlushing(false);
        const TargetFrame a = plain.NextFrame();
        const TargetFrame b = flushed.NextFrame();
        QVERIFY(std::memcmp(&a.header, &b.header, sizeof(a.header)) == 0);
        QCOMPARE(b.samples.size(), a.samples.size());
        QVERIFY(std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(GpuSampleRecord)) == 0);
        QCOMPARE(plain.FrameIndex(), uint64(21));
    }

    void chunking_data()
    {
        // clang-format off
        QTest::addColumn<int>("form");
        QTest::addColumn<int>("maxChunk");
        QTest::addColumn<uint>("samples");
        QTest::addColumn<int>("perChunk");
        QTest::newRow("plain, default size") << int(SampleChunkForm::Plain) << 65536 << 1000u << 160;
        QTest::newRow("packed, default size") << int(SampleChunkForm::Packed) << 65536 << 1000u << 160;
        QTest::newRow("plain, exactly two records") << int(SampleChunkForm::Plain) << 816 << 5u << 2;
        QTest::newRow("packed, two records and a size word") << int(SampleChunkForm::Packed) << 820 << 5u << 2;
        QTest::newRow("packed, one byte short of two") << int(SampleChunkForm::Packed) << 819 << 5u << 1;
        QTest::newRow("smaller than a record") << int(SampleChunkForm::Plain) << 100 << 3u << 1;
        QTest::newRow("no samples") << int(SampleChunkForm::Packed) << 65536 << 0u << 160;
        QTest::newRow("one sample") << int(SampleChunkForm::Packed) << 65536 << 1u << 160;
        QTest::newRow("mixed, default size") << int(SampleChunkForm::Mixed) << 65536 << 1000u << 160;
        QTest::newRow("mixed, one byte short of two") << int(SampleChunkForm::Mixed) << 819 << 5u << 1;
        // clang-format on
    }

    void chunking()
    {
        QFETCH(int, form);
        QFETCH(int, maxChunk);
        QFETCH(uint, samples);
        QFETCH(int, perChunk);
        FrameGeneratorOptions options;
        options.nSampleCount = samples;
        const TargetFrame frame = CFrameGenerator(8, options).NextFrame();
        CFrameChunker chunker{SampleChunkForm(form), size_t(maxChunk)};
        QCOMPARE(chunker.RecordsPerChunk(), size_t(perChunk));
        std::vector<TargetChunk> chunks;
        chunker.Split(frame, chunks);

        QCOMPARE(chunks.size(), size_t(1 + (samples + uint(perChunk) - 1) / uint(perChunk)));
        QCOMPARE(chunks[0].nChunkId, GPU_PROFILER_CHUNK_FRAME);
        QVERIFY(Bytes(chunks[0].payload.data(), chunks[0].payload.size()) == Bytes(&frame.header, 188));
        // Mixed chunks take turns, plain first.
        for (size_t i = 1; i < chunks.size(); ++i) {
            const bool bPacked = form == int(SampleChunkForm::Packed) || (form == int(SampleChunkForm::Mixed) && i % 2 == 0);
            QCOMPARE(chunks[i].nChunkId, bPacked ? GPU_PROFILER_CHUNK_COMPRESSED : GPU_PROFILER_CHUNK_DATA);
            QVERIFY(chunks[i].payload.size() <= std::max<size_t>(size_t(maxChunk), 408));
        }
        QVERIFY(RecordsOf(chunks, 1) == Bytes(frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord)));
        QCOMPARE(chunker.RecordBytes(), uint64(samples) * 408);
        if (form == int(SampleChunkForm::Packed) && samples >= 100)
            QVERIFY(chunker.SampleChunkBytes() * 3 < chunker.RecordBytes());
        // The turns of the mixed form run on across frames: the next frame starts with the form
        // that was due, and arrives whole.
        if (form == int(SampleChunkForm::Mixed)) {
            std::vector<TargetChunk> next;
            chunker.Split(frame, next);
            QCOMPARE(next[1].nChunkId, chunks.size() % 2 ? GPU_PROFILER_CHUNK_DATA : GPU_PROFILER_CHUNK_COMPRESSED);
            QVERIFY(RecordsOf(next, 1) == Bytes(frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord)));
        }
    }

    void commands_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("payloadHex");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint>("code");
        QTest::addColumn<qulonglong>("value");
        QTest::newRow("resource request") << QByteArray("000000040000000000000000") << true << 4u << 0ull;
        QTest::newRow("flushing on") << QByteArray("000000010000000000000001") << true << 1u << 1ull;
        QTest::newRow("window closed") << QByteArray("000000000000000000000000") << true << 0u << 0ull;
        QTest::newRow("wide value") << QByteArray("fffffffe0102030405060708") << true << 0xfffffffeu << 0x0102030405060708ull;
        QTest::newRow("11 bytes") << QByteArray("0000000400000000000000") << false << 0u << 0ull;
        QTest::newRow("13 bytes") << QByteArray("00000004000000000000000000") << false << 0u << 0ull;
        QTest::newRow("empty") << QByteArray("") << false << 0u << 0ull;
        // clang-format on
    }

    void commands()
    {
        QFETCH(QByteArray, payloadHex);
        QFETCH(bool, valid);
        QFETCH(uint, code);
        QFETCH(qulonglong, value);
        const QByteArray payload = QByteArray::fromHex(payloadHex);
        TargetCommand command{77, 77};
        QCOMPARE(DecodeTargetCommand(payload.constData(), size_t(payload.size()), &command), valid);
        QCOMPARE(command.nCode, valid ? code : 77u);
        QCOMPARE(command.nValue, valid ? value : 77ull);
        if (valid) {
            const std::vector<uint8> encoded = EncodeTargetCommand(code, value);
            QCOMPARE(Bytes(encoded.data(), encoded.size()).toHex(), payloadHex);
        }
    }
};

GPUPROF_TEST_MAIN(TestTargetFrames)
#include "tst_target_frames.moc"
