// The capture file: a write/read round trip (header, frames packed and unpacked byte for byte,
// lists), a capture still being written read as a cut-short one, and one table of damaged files
// read from memory and from disk: each names the file and the offset of the fault, hands out
// the chunks before it, allocates nothing for the chunk it refuses, and leaks nothing.

#include "capture_reader.h"
#include "capture_writer.h"
#include "chunk_decompression.h"
#include "frame_generator.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QTemporaryDir>

namespace {

struct ReadOutcome
{
    CCaptureReader::Result result = CCaptureReader::Result::Error;
    int nChunks = 0;
    QString sMessage; // the error, or the warning at the end
    QByteArray records;
    bool bAllocatedForRefusal = false;
};

// Reads every chunk, unpacking sample chunks into one run of records.
ReadOutcome ReadChunks(CCaptureReader &reader)
{
    ReadOutcome outcome;
    CaptureChunk chunk;
    for (;;) {
        const int64 nAllocations = g_pMemAlloc->GetAllocationCount();
        outcome.result = reader.ReadChunk(&chunk);
        if (outcome.result != CCaptureReader::Result::Chunk) {
            outcome.bAllocatedForRefusal = g_pMemAlloc->GetAllocationCount() != nAllocations;
            break;
        }
        ++outcome.nChunks;
        if (chunk.nChunkId == GPU_PROFILER_CHUNK_COMPRESSED) {
            const uint32 nDataSize = ChunkDataSize(chunk.Payload(), chunk.nSize);
            QByteArray data(qsizetype(nDataSize), '\0');
            if (DecompressChunk(chunk.Payload(), chunk.nSize, data.data(), nDataSize) == nDataSize)
                outcome.records += data;
        } else if (chunk.nChunkId != GPU_PROFILER_CHUNK_FRAME) {
            outcome.records += Bytes(chunk.Payload(), chunk.nSize);
        }
        g_pMemAlloc->Free(chunk.pBuffer);
    }
    outcome.sMessage = QString::fromStdString(outcome.result == CCaptureReader::Result::Error ? reader.Error() : reader.Warning());
    return outcome;
}

// Taken at 2024-05-01T12:34:56Z.
const CaptureInfo kDemoInfo{"Demo Game", 1714566896123456, "1.2.3", kCaptureFormatVersion};

// Two frames (3 samples, then none) and a texture list.
QByteArray SmallCapture(const QString &sPath)
{
    CCaptureWriter writer;
    writer.Open(sPath.toStdString(), kDemoInfo);
    const TargetFrame frame = MakeNumberedFrame(7, "s", 3);
    writer.AppendFrame(frame.header, frame.samples.data(), frame.samples.size());
    const TargetFrame empty = MakeNumberedFrame(7, "s", 0);
    writer.AppendFrame(empty.header, nullptr, 0);
    writer.AppendChunk(GPU_PROFILER_CHUNK_TEXTURES, 1, "list!", 5);
    writer.Close();
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Poke32(QByteArray &bytes, int nOffset, uint32 nValue)
{
    StoreBigEndian32(bytes.data() + nOffset, nValue);
}

void Poke16(QByteArray &bytes, int nOffset, uint16 nValue)
{
    StoreBigEndian16(bytes.data() + nOffset, nValue);
}

} // namespace

class TestCaptureFile : public QObject
{
    Q_OBJECT

private slots:
    void framesAndListsComeBackAsWritten()
    {
        QTemporaryDir dir;
        const std::string sPath = dir.filePath("run.gpucap").toStdString();
        const AllocationSnapshot snapshot;
        FrameGeneratorOptions options;
        options.nSampleCount = 700;
        options.nSampleCountVariation = 20;
        CFrameGenerator generator(5, options);
        QByteArray written;
        CCaptureWriter writer;
        QVERIFY(writer.Open(sPath, kDemoInfo));
        for (int i = 0; i < 4; ++i) {
            const TargetFrame frame = generator.NextFrame();
            written += Bytes(frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
            QVERIFY(writer.AppendFrame(frame.header, frame.samples.data(), frame.samples.size()));
            if (i == 1) {
                // Every finished frame is on disk already: a process killed now leaves it readable.
                CCaptureReader early;
                QVERIFY(early.Open(sPath));
                const ReadOutcome outcome = ReadChunks(early);
                QCOMPARE(outcome.result, CCaptureReader::Result::End);
                QCOMPARE(outcome.records, written);
                QCOMPARE(early.FramesRead(), 2u);
                QVERIFY(!early.IsComplete());
                QVERIFY2(outcome.sMessage.contains("the recording was cut short"), qPrintable(outcome.sMessage));
            }
        }
        QVERIFY(writer.AppendChunk(GPU_PROFILER_CHUNK_BUFFERS, 1, "buffers", 7));
        QVERIFY(writer.Close());
        written += "buffers";

        CCaptureReader reader;
        QVERIFY(reader.Open(sPath));
        QCOMPARE(reader.Info().sTargetName, std::string("Demo Game"));
        QCOMPARE(FormatCaptureTime(reader.Info().nTakenAtUs), std::string("2024-05-01T12:34:56Z"));
        QCOMPARE(reader.Info().nTakenAtUs, kDemoInfo.nTakenAtUs);
        QCOMPARE(reader.Info().sWriterVersion, std::string("1.2.3"));
        const ReadOutcome outcome = ReadChunks(reader);
        QCOMPARE(outcome.result, CCaptureReader::Result::End);
        QVERIFY(reader.IsComplete());
        QCOMPARE(reader.FramesRead(), 4u);
        QCOMPARE(uint32(outcome.nChunks), writer.ChunksWritten());
        QVERIFY(outcome.records == written);
        // Packing pays: the file is a fraction of the records it holds.
        QVERIFY(uint64(QFileInfo(dir.filePath("run.gpucap")).size()) < uint64(written.size()) / 2);
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void damagedFilesAreRefusedWhereTheyBreak_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("nChunks");    // chunks handed out before the fault
        QTest::addColumn<QString>("sFault"); // what the message says, "at byte N" included
        QTest::addColumn<bool>("bError");    // an error, or a cut-short end

        QTemporaryDir dir;
        const QByteArray good = SmallCapture(dir.filePath("good.gpucap"));
        // Header 24 + 9 + 5 bytes; a frame header and one sample chunk; a frame header without
        // samples; the list; the end record.
        QList<int> boundaries;
        CCaptureReader reader;
        reader.OpenMemory(good.constData(), size_t(good.size()), "x");
        for (CaptureChunk chunk; reader.ReadChunk(&chunk) == CCaptureReader::Result::Chunk; g_pMemAlloc->Free(chunk.pBuffer))
            boundaries.append(int(chunk.nOffset));
        QCOMPARE(boundaries.first(), 38);
        QCOMPARE(boundaries.size(), 4);
        boundaries.append(good.size() - 20); // the end record
        for (int k = 0; k < boundaries.size(); ++k) {
            const int nAt = boundaries[k];
            const QString sAt = QStringLiteral(" at byte %1").arg(nAt);
            QTest::addRow("cut before chunk %d", k) << good.left(nAt) << k << QStringLiteral("no end record after byte %1").arg(nAt) << false;
            QTest::addRow("cut in header of chunk %d", k) << good.left(nAt + 5) << k << "ends inside a chunk header (5 of 12 bytes)" + sAt << true;
            QTest::addRow("cut in payload of chunk %d", k) << good.left(nAt + 13) << k << "bytes announced, 1 there)" + sAt << true;
        }

        auto with = [&](const std::function<void(QByteArray &)> &change) {
            QByteArray bytes = good;
            change(bytes);
            return bytes;
        };
        const int nEnd = good.size() - 20;
        QTest::newRow("empty") << QByteArray() << 0 << "not a GPU capture (no capture signature) at byte 0" << true;
        QTest::newRow("bad magic") << with([](QByteArray &b) { b[1] = 'X'; }) << 0 << "no capture signature) at byte 0" << true;
        QTest::newRow("text-mode line end") << with([](QByteArray &b) { b.insert(7, '\r'); }) << 0 << "no capture signature) at byte 0" << true;
        QTest::newRow("cut in fixed header") << good.left(15) << 0 << "ends inside its header (15 of 24 bytes) at byte 8" << true;
        QTest::newRow("cut in header strings") << good.left(30) << 0 << "ends inside its header (30 of 38 bytes) at byte 24" << true;
        QTest::newRow("future version") << with([](QByteArray &b) { Poke16(b, 8, 2); }) << 0 << "format version 2 is newer than this build reads (up to 1) at byte 8" << true;
        QTest::newRow("version 0") << with([](QByteArray &b) { Poke16(b, 8, 0); }) << 0 << "format version 0 is not valid" << true;
        QTest::newRow("header smaller than its strings") << with([](QByteArray &b) { Poke16(b, 10, 37); }) << 0 << "a header size of 37 bytes that does not hold its 38 bytes" << true;
        QTest::newRow("header over 4096") << with([](QByteArray &b) { Poke16(b, 10, 5000); }) << 0 << "header size of 5000 bytes" << true;
        QTest::newRow("name over 256") << with([](QByteArray &b) { Poke16(b, 20, 300); }) << 0 << "a target name of 300 bytes, over the limit of 256 at byte 20" << true;
        QTest::newRow("version text over 64") << with([](QByteArray &b) { Poke16(b, 22, 65); }) << 0 << "version text of 65 bytes, over the limit of 64 at byte 22" << true;
        QTest::newRow("longer header of a later build") << with([](QByteArray &b) { Poke16(b, 10, 40); b.insert(38, "\0\0", 2); }) << 4 << "" << false;
        QTest::newRow("chunk over 64 MiB") << with([](QByteArray &b) { Poke32(b, 38 + 8, (64u << 20) + 1); }) << 0 << "a GPRF chunk of 67108865 bytes, over the limit of 64 MiB at byte 38" << true;
        QTest::newRow("chunk size that wraps") << with([](QByteArray &b) { Poke32(b, 38 + 8, 0xFFFFFFFF); }) << 0 << "chunk of 4294967295 bytes, over the limit" << true;
        QTest::newRow("chunk of 64 MiB in a small file") << with([](QByteArray &b) { Poke32(b, 38 + 8, 64u << 20); }) << 0 << "ends inside a GPRF chunk (67108864 bytes announced" << true;
        QTest::newRow("reserved bytes set") << with([](QByteArray &b) { b[38 + 7] = 1; }) << 0 << "reserved bytes are not zero at byte 44" << true;
        QTest::newRow("end record miscounts") << with([&](QByteArray &b) { Poke32(b, nEnd + 16, 9); }) << 4 << "end record that counts 9 chunks and 2 frames where the file has 4 and 2" << true;
        QTest::newRow("bytes after the end") << good + "junk" << 4 << "4 bytes after the end record at byte " + QString::number(good.size()) << true;
        QTest::newRow("end record of 4 bytes") << with([&](QByteArray &b) { Poke32(b, nEnd + 8, 4); b.chop(4); }) << 4 << "a malformed end record at byte " + QString::number(nEnd) << true;
        // clang-format on
    }

    void damagedFilesAreRefusedWhereTheyBreak()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, nChunks);
        QFETCH(QString, sFault);
        QFETCH(bool, bError);
        QTemporaryDir dir;
        const QString sPath = dir.filePath("damaged.gpucap");
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();

        const AllocationSnapshot snapshot;
        QString sMessages[2];
        for (int nSource = 0; nSource < 2; ++nSource) {
            CCaptureReader reader;
            const bool bOpened = nSource == 0 ? reader.OpenMemory(bytes.constData(), size_t(bytes.size()), sPath.toStdString())
                                              : reader.Open(sPath.toStdString());
            ReadOutcome outcome;
            if (bOpened)
                outcome = ReadChunks(reader);
            else
                outcome.sMessage = QString::fromStdString(reader.Error());
            QCOMPARE(outcome.nChunks, nChunks);
            QCOMPARE(outcome.result, bError ? CCaptureReader::Result::Error : CCaptureReader::Result::End);
            QVERIFY(!outcome.bAllocatedForRefusal);
            QVERIFY2(outcome.sMessage.startsWith(sPath + ": ") || (outcome.sMessage.isEmpty() && sFault.isEmpty()),
                     qPrintable(outcome.sMessage));
            QVERIFY2(outcome.sMessage.contains(sFault), qPrintable(outcome.sMessage));
            sMessages[nSource] = outcome.sMessage;
        }
        QCOMPARE(sMessages[1], sMessages[0]);
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }
};

GPUPROF_TEST_MAIN(TestCaptureFile)
#include "tst_capture_file.moc"
