// Chunks from a target into the subtool: frame assembly from header and sample chunks (plain,
// packed, stored), everything that must be dropped, the bounds on what a target can make the
// plug-in allocate, and realistic streams. Long random chunk sequences are the chunk-sequence
// fuzzer's (its corpus is replayed under the sanitizers).
//
// The record's window is taken away first: a record without a window keeps what it assembled, so
// the tests read the record's header, its received count and its sample array. A second record
// keeps its window, to see each finished frame handed over once.

#include "chunk_compressor.h"
#include "chunk_decompression.h"
#include "device_window.h"
#include "fake_host.h"
#include "frame_builder.h"
#include "frame_chunker.h"
#include "frame_generator.h"
#include "gpuprofiler_tool.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <memory>
#include <utility>

namespace {

CGPUProfilerTool &Tool()
{
    return CGPUProfilerTool::Get();
}

// "received/announced name name ...": the record's state after a script.
QString Dump(const CGPUProfilerConnection *pRecord)
{
    QStringList parts;
    parts << QStringLiteral("%1/%2").arg(pRecord->assembly.samplesReceived).arg(pRecord->assembly.frameHeader.SampleCount());
    for (const GpuSampleRecord &sample : pRecord->assembly.samples)
        parts << QString::fromLatin1(sample.Name().data(), qsizetype(sample.Name().size()));
    // Refused chunks by kind: header size, too large, partial, surplus, broken, memory.
    QString errors;
    for (int nKind = 1; nKind < kFrameContentErrorKinds; ++nKind) {
        const uint64 nCount = pRecord->assembly.ErrorCount(FrameContentError(nKind));
        if (nCount)
            errors += QStringLiteral("%1%2").arg(QLatin1Char("?HLPSBM"[nKind])).arg(nCount);
    }
    if (!errors.isEmpty())
        parts << QLatin1Char('!') + errors;
    return parts.join(' ');
}

// Plays a target: frames whose samples are named "f<frame>.<index>", sent as scripted chunks.
//
//   F<n>     header of a new frame announcing n samples        F!<size>  header payload of <size> bytes
//   D<n>     GPRD with the frame's next n samples              R<bytes>  GPRD of the next samples cut to <bytes>
//   C<n>     GPRC, next n samples packed                      S<n>      GPRC, next n samples stored
//   X<n>     GPRC, next n samples packed, last byte missing    Z<hex>    GPRC with exactly these bytes
//   T B ?    texture list, buffer list, unknown id
//   v2:<op>  the chunk with version 2                          u:<op>    the chunk from an unknown connection
class CTargetScript
{
public:
    CTargetScript(CFakeCorvidConnection *pConnection, CFakeCorvidConnection *pStranger) : m_pConnection(pConnection), m_pStranger(pStranger)
    {}

    void Run(const QString &script)
    {
        for (const QString &op : script.split(' ', Qt::SkipEmptyParts))
            Step(op);
    }

    void Step(QString op)
    {
        uint16 nVersion = 1;
        CFakeCorvidConnection *pFrom = m_pConnection;
        if (op.startsWith(QLatin1String("v2:")))
            nVersion = 2, op = op.mid(3);
        if (op.startsWith(QLatin1String("u:")))
            pFrom = m_pStranger, op = op.mid(2);
        const QChar kind = op.at(0);
        const QString arg = op.mid(1);
        uint32 nId = GPU_PROFILER_CHUNK_COMPRESSED;
        QByteArray payload;
        if (kind == 'F') {
            ++m_nFrame;
            m_nCursor = 0;
            if (arg.startsWith('!')) {
                payload = QByteArray(arg.mid(1).toInt(), char(0x11));
            } else {
                const GpuFrameHeader header = MakeFrameHeader(0x1234, "Main", arg.toUInt());
                payload = ::Bytes(&header, sizeof(header));
            }
            nId = GPU_PROFILER_CHUNK_FRAME;
        } else if (kind == 'D') {
            nId = GPU_PROFILER_CHUNK_DATA;
            payload = NextRecords(arg.toInt());
        } else if (kind == 'R') {
            nId = GPU_PROFILER_CHUNK_DATA;
            const int nBytes = arg.toInt();
            payload = NextRecords((nBytes + 407) / 408);
            payload.resize(nBytes, '\0');
        } else if (kind == 'C' || kind == 'S' || kind == 'X') {
            const QByteArray records = NextRecords(arg.toInt());
            std::vector<uint8> packed;
            m_compressor.Compress(records.constData(), size_t(records.size()), packed,
                                  kind == 'S' ? CChunkCompressor::Form::Stored : CChunkCompressor::Form::Packed);
            payload = ::Bytes(packed.data(), packed.size());
            if (kind == 'X')
                payload.chop(1);
        } else if (kind == 'Z') {
            payload = QByteArray::fromHex(arg.toLatin1());
        } else {
            // A list, or an id that is not the profiler's (GPRX).
            nId = kind == 'T' ? GPU_PROFILER_CHUNK_TEXTURES : kind == 'B' ? GPU_PROFILER_CHUNK_BUFFERS : 0x47505258;
            payload = QByteArray(408, 'x');
        }
        pFrom->Deliver(nId, payload, nVersion, &Tool());
    }

    QByteArray NextRecords(int nCount)
    {
        QByteArray records;
        for (int i = 0; i < nCount; ++i, ++m_nCursor) {
            const GpuSampleRecord sample =
                MakeSampleRecord(QStringLiteral("f%1.%2").arg(m_nFrame).arg(m_nCursor).toStdString(), SampleTiming{});
            records += ::Bytes(&sample, sizeof(sample));
        }
        return records;
    }

private:
    CFakeCorvidConnection *m_pConnection;
    CFakeCorvidConnection *m_pStranger;
    CChunkCompressor m_compressor;
    int m_nFrame = 0;
    int m_nCursor = 0;
};

QString Names(int nFrame, int nFirst, int nEnd)
{
    QStringList names;
    for (int i = nFirst; i < nEnd; ++i)
        names << QStringLiteral("f%1.%2").arg(nFrame).arg(i);
    return names.join(' ');
}

} // namespace

class TestChunkProtocol : public QObject
{
    Q_OBJECT

    CFakeCorvidHost host;
    std::unique_ptr<CFakeCorvidConnection> target;
    std::unique_ptr<CFakeCorvidConnection> stranger;
    std::unique_ptr<AllocationSnapshot> snapshot;

    CGPUProfilerConnection *Record() { return Tool().FindRecordByConnection(target.get()); }

private slots:
    void init()
    {
        snapshot = std::make_unique<AllocationSnapshot>();
        Tool().SetHost(&host, nullptr);
        target = std::make_unique<CFakeCorvidConnection>("Game");
        stranger = std::make_unique<CFakeCorvidConnection>("Stranger");
        host.current = target.get();
        QVERIFY(Tool().ShowForCurrentConnection());
        Tool().RegisterDataTypes(target.get());
        Tool().RegisterDataTypes(stranger.get());
        QVERIFY(Record());
        delete std::exchange(Record()->window, nullptr);
    }

    void cleanup()
    {
        g_pMemAlloc->SetAllocationLimit(0);
        Tool().OnConnectionClosed(target.get());
        QCOMPARE(Tool().GetConnectionCount(), 0);
        target.reset();
        stranger.reset();
        GPUPROF_COMPARE_NO_LEAKS(*snapshot);
    }

    void assembly_data()
    {
        // clang-format off
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");

        QTest::newRow("zero-sample frame") << "F0" << "0/0";
        QTest::newRow("sample chunk after a zero-sample frame") << "F0 D1 C1" << "0/0 !S2";
        QTest::newRow("split into 2 and 3") << "F5 D2 D3" << "5/5 " + Names(1, 0, 5);
        QTest::newRow("chunk after completion") << "F5 D2 D3 D1 C1" << "5/5 " + Names(1, 0, 5) + " !S2";
        QTest::newRow("empty chunks after completion") << "F2 D2 R0 Z" << "2/2 " + Names(1, 0, 2) + " !S2";
        QTest::newRow("empty chunk while collecting") << "F2 R0 D2" << "2/2 " + Names(1, 0, 2) + " !P1";
        QTest::newRow("409 bytes") << "F5 R409" << "0/5 !P1";
        QTest::newRow("816 bytes") << "F5 R816" << "2/5 " + Names(1, 0, 2);
        QTest::newRow("new header mid-frame") << "F5 D3 F2 D2" << "2/2 " + Names(2, 0, 2);
        QTest::newRow("excess records in one chunk") << "F3 D4" << "0/3 !S1";
        QTest::newRow("excess dropped, a fitting chunk still taken") << "F3 D2 D2 D1" << "3/3 f1.0 f1.1 f1.4 !S1";
        QTest::newRow("wrong version header") << "F2 D1 v2:F7" << "1/2 f1.0";
        QTest::newRow("wrong version samples") << "F2 v2:D2 v2:C2" << "0/2";
        QTest::newRow("unknown connection") << "F2 u:D2 u:F9 u:C1" << "0/2";
        QTest::newRow("plain, packed and stored mixed") << "F6 D1 C2 S3" << "6/6 " + Names(1, 0, 6);
        QTest::newRow("packed chunk cut short") << "F3 X1 D2" << "2/3 f1.1 f1.2 !B1";
        QTest::newRow("packed data beyond the frame") << "F2 C3" << "0/2 !S1";
        QTest::newRow("stored data beyond the frame") << "F2 D1 S2" << "1/2 f1.0 !S1";
        // Stored, announcing 408 bytes, carrying 407.
        QTest::newRow("stored data shorter than announced") << "F2 Z98010080" + QString(407 * 2, '0') << "0/2 !B1";
        QTest::newRow("stored data size not whole records") << "F2 Z0a00008000000000000000000000" << "0/2 !P1";
        QTest::newRow("size word cut short") << "F2 Z980100" << "0/2 !B1";
        QTest::newRow("size word of zero") << "F2 Z00000000 Z00000080" << "0/2 !B2";
        QTest::newRow("header one byte short") << "F3 D1 F!187" << "0/0 !H1";
        QTest::newRow("header one byte long") << "F3 D1 F!189 D1" << "0/0 !H1S1";
        QTest::newRow("lists and unknown ids change nothing") << "F3 D1 T B ? D2" << "3/3 " + Names(1, 0, 3);
        QTest::newRow("frames back to back") << "F2 D2 F1 C1 F3 S1 D2" << "3/3 " + Names(3, 0, 3);
        QTest::newRow("frame over the old sample cap") << "F65537 D1 S1 C1" << "3/65537 " + Names(1, 0, 3);
        QTest::newRow("frame at the byte bound") << "F657930 D1" << "1/657930 " + Names(1, 0, 1);
        QTest::newRow("frame above the byte bound") << "F657931 D1 S1 C1" << "0/657931 !L1";
        QTest::newRow("frame of 2^32 - 1 samples") << "F4294967295 D1 C1" << "0/4294967295 !L1";
        // clang-format on
    }

    void assembly()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        CTargetScript(target.get(), stranger.get()).Run(script);
        QCOMPARE(Dump(Record()), expected);
        QCOMPARE(uint32(Record()->assembly.samples.Count()), Record()->assembly.samplesReceived);
    }

    // A finished frame goes to the window once; chunks that come after it, empty ones included,
    // hand nothing over again. Meanwhile the first record's frame, open before and finished
    // after, takes none of the second connection's chunks.
    void finishedFramesAreHandedOverOnce_data()
    {
        // clang-format off
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<int>>("handedOver");
        QTest::newRow("zero-sample frame") << "F0" << QList<int>({0});
        QTest::newRow("split frame") << "F5 D2 D3" << QList<int>({5});
        QTest::newRow("chunks after completion") << "F5 D2 D3 D1 R0" << QList<int>({5});
        QTest::newRow("empty chunk after completion") << "F2 D2 R0 R0" << QList<int>({2});
        QTest::newRow("new header mid-frame") << "F5 D3 F2 D2" << QList<int>({2});
        QTest::newRow("frames back to back") << "F1 D1 F0 F3 C3" << QList<int>({1, 0, 3});
        QTest::newRow("unfinished") << "F4 D3" << QList<int>();
        // clang-format on
    }

    void finishedFramesAreHandedOverOnce()
    {
        QFETCH(QString, script);
        QFETCH(QList<int>, handedOver);
        CFakeCorvidConnection other("Other");
        host.current = &other;
        QVERIFY(Tool().ShowForCurrentConnection());
        Tool().RegisterDataTypes(&other);
        CQCGPUProfilerDeviceWindow *pWindow = Tool().FindRecordByConnection(&other)->window;
        CTargetScript player(&other, stranger.get());
        CTargetScript first(target.get(), stranger.get());
        first.Run("F4 D1");
        QList<int> counts;
        for (const QString &op : script.split(' ')) {
            player.Step(op);
            // Each tick records the newest frame handed over since the last one.
            const int32 nBefore = pWindow->Intake().Shown().Count();
            const int32 nPending = pWindow->Intake().PendingCount();
            pWindow->TimerCallback();
            if (nPending > 0) {
                QCOMPARE(nPending, 1);
                QCOMPARE(pWindow->Intake().Shown().Count(), nBefore + 1);
                counts << int(pWindow->SelectedFrame()->header.SampleCount());
            }
        }
        QCOMPARE(counts, handedOver);
        first.Run("C2 D1");
        QCOMPARE(Dump(Record()), "4/4 " + Names(1, 0, 4));
        Tool().OnConnectionClosed(&other);
    }

    // Announced sizes are checked against what the frame still expects before anything is
    // allocated for them.
    void announcedSizesAreCheckedBeforeAllocating_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("sizeWordHex");
        QTest::addColumn<int>("allocations");
        QTest::newRow("2 GiB packed") << QByteArray("ffffff7f") << 0;
        QTest::newRow("2 GiB stored") << QByteArray("ffffffff") << 0;
        QTest::newRow("one record more than expected") << QByteArray("90090000") << 0; // 2448 = 6 * 408
        QTest::newRow("not whole records") << QByteArray("99010000") << 0;
        QTest::newRow("exactly what is expected") << QByteArray("f8070000") << 1;          // 2040 = 5 * 408
        QTest::newRow("stored, exactly what is expected") << QByteArray("f8070080") << 0; // taken from the payload
        // clang-format on
    }

    void announcedSizesAreCheckedBeforeAllocating()
    {
        QFETCH(QByteArray, sizeWordHex);
        QFETCH(int, allocations);
        CTargetScript(target.get(), stranger.get()).Run("F5");
        // The record's array has room for the frame already, so only unpacking could allocate.
        // Besides the host's buffer.
        const int64 nBefore = g_pMemAlloc->GetAllocationCount();
        const QByteArray payload = QByteArray::fromHex(sizeWordHex) + QByteArray(64, '\0');
        target->Deliver(GPU_PROFILER_CHUNK_COMPRESSED, payload, 1, &Tool());
        QCOMPARE(g_pMemAlloc->GetAllocationCount() - nBefore - 1, int64(allocations));
        QVERIFY(Dump(Record()).startsWith(QStringLiteral("0/5 !")));
    }

    // When memory runs out the chunk is dropped, nothing leaks, and the frame can still be
    // finished once memory is back.
    void allocationFailureDropsTheChunk()
    {
        const TargetFrame frame = MakeNumberedFrame(7, "s", 3000);
        const GpuSampleRecord *pRecords = frame.samples.data();
        CFrameChunker packed(SampleChunkForm::Packed, 100 * 408 + 4);
        CFrameChunker plain(SampleChunkForm::Plain, 50 * 408);
        auto send = [this](const std::vector<TargetChunk> &chunks) {
            for (const TargetChunk &chunk : chunks)
                target->Deliver(chunk.nChunkId, ::Bytes(chunk.payload.data(), chunk.payload.size()), 1, &Tool());
        };

        // Room for the host's buffers (at most 50 records) and for the 1024 records reserved
        // with the record, but neither for unpacking 100 records nor for growing the array.
        g_pMemAlloc->SetAllocationLimit(100 * 408 - 1);
        std::vector<TargetChunk> chunks;
        chunks.push_back({GPU_PROFILER_CHUNK_FRAME, FrameHeaderPayload(frame.header)});
        packed.SplitSamples(pRecords, 100, chunks);
        QVERIFY(chunks.back().payload.size() < 50 * 408);
        send(chunks);
        QCOMPARE(Record()->assembly.samplesReceived, 0u);

        chunks.clear();
        plain.SplitSamples(pRecords, 1050, chunks);
        send(chunks);
        QCOMPARE(Record()->assembly.samplesReceived, 1000u);
        QCOMPARE(Record()->assembly.samples.Capacity(), 1024);

        g_pMemAlloc->SetAllocationLimit(0);
        chunks.clear();
        plain.SplitSamples(pRecords + 1000, 50, chunks);
        packed.SplitSamples(pRecords + 1050, 1950, chunks);
        send(chunks);
        QCOMPARE(Record()->assembly.samplesReceived, 3000u);
        QVERIFY(std::memcmp(Record()->assembly.samples.Base(), pRecords, 3000 * sizeof(GpuSampleRecord)) == 0);
        // Growth stops at the frame's own count.
        QCOMPARE(Record()->assembly.samples.Capacity(), 3000);
    }

    // A realistic stream: many frames of a generated game, split by the target's chunker in
    // either form or both by turns; each frame arrives whole and unchanged.
    void realisticStream_data()
    {
        // clang-format off
        QTest::addColumn<int>("form");
        QTest::addColumn<int>("maxChunk");
        QTest::newRow("packed, 64 KiB") << int(SampleChunkForm::Packed) << 64 * 1024;
        QTest::newRow("packed, one record per chunk") << int(SampleChunkForm::Packed) << 1;
        QTest::newRow("mixed, 8 KiB") << int(SampleChunkForm::Mixed) << 8 * 1024;
        // clang-format on
    }

    void realisticStream()
    {
        QFETCH(int, form);
        QFETCH(int, maxChunk);
        FrameGeneratorOptions options;
        options.nSampleCount = 700;
        options.nSwapChains = 2;
        CFrameGenerator generator(99, options);
        CFrameChunker chunker{SampleChunkForm(form), size_t(maxChunk)};
        for (int nFrame = 0; nFrame < 12; ++nFrame) {
            generator.SetSampleCount(uint32(nFrame * 97 % 700));
            const TargetFrame frame = generator.NextFrame();
            std::vector<TargetChunk> chunks;
            chunker.Split(frame, chunks);
            for (const TargetChunk &chunk : chunks)
                target->Deliver(chunk.nChunkId, ::Bytes(chunk.payload.data(), chunk.payload.size()), 1, &Tool());
            QCOMPARE(Record()->assembly.samplesReceived, uint32(frame.samples.size()));
            QVERIFY(std::memcmp(&Record()->assembly.frameHeader, &frame.header, sizeof(GpuFrameHeader)) == 0);
            QVERIFY(frame.samples.empty() ||
                    std::memcmp(Record()->assembly.samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord)) ==
                        0);
        }
    }
};

GPUPROF_TEST_MAIN(TestChunkProtocol)
#include "tst_chunk_protocol.moc"
