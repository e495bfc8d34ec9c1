#include "capture_writer.h"

#include "wire_profiler.h"

#include <cerrno>
#include <cstring>
#include <thread>

namespace {

// Frames are written in one go and flushed after each; a buffer of this size takes a typical
// packed frame in one write.
constexpr size_t kWriteBuffer = size_t(1) << 20;
// Frames packed at a time by AppendFrames: enough to keep both threads busy, few enough that
// frames of 100,000 samples (about 10 MB packed) hold well under 200 MB on the way (two batches:
// one being written, one being packed).
constexpr size_t kFramesPerBatch = 8;

} // namespace

CCaptureWriter::CCaptureWriter() : m_chunker(SampleChunkForm::Packed, CFrameChunker::kDefaultMaxChunkSize) {}

CCaptureWriter::~CCaptureWriter()
{
    if (m_pFile)
        Close();
}

bool CCaptureWriter::Fail(const std::string &sWhat)
{
    if (m_sError.empty())
        m_sError = m_sPath + ": " + sWhat;
    return false;
}

bool CCaptureWriter::Open(const std::string &sPath, const CaptureInfo &info)
{
    if (m_pFile)
        Close();
    m_sPath = sPath;
    m_sError.clear();
    m_nFrames = m_nChunks = 0;
    m_nBytes = 0;
    m_pFile = std::fopen(sPath.c_str(), "wb");
    if (!m_pFile)
        return Fail(std::string("cannot create the file: ") + std::strerror(errno));
    std::setvbuf(m_pFile, nullptr, _IOFBF, kWriteBuffer);

    const std::string sName = info.sTargetName.substr(0, kCaptureMaxTargetName);
    const std::string sVersion = info.sWriterVersion.substr(0, kCaptureMaxVersionText);
    CaptureFileHeader fixed;
    std::memcpy(fixed.magic, kCaptureMagic, sizeof(kCaptureMagic));
    fixed.SetFormatVersion(kCaptureFormatVersion);
    fixed.SetHeaderSize(uint16(kCaptureFixedHeaderSize + sName.size() + sVersion.size()));
    fixed.SetTakenAtUs(info.nTakenAtUs);
    fixed.SetTargetNameSize(uint16(sName.size()));
    fixed.SetVersionTextSize(uint16(sVersion.size()));
    if (!Write(&fixed, sizeof(fixed)) || !Write(sName.data(), sName.size()) || !Write(sVersion.data(), sVersion.size()) || !Flush()) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
        return false;
    }
    return true;
}

bool CCaptureWriter::Write(const void *pData, size_t nSize)
{
    if (!m_pFile || !m_sError.empty())
        return false;
    if (nSize && std::fwrite(pData, 1, nSize, m_pFile) != nSize)
        return Fail(std::string("write failed: ") + std::strerror(errno));
    m_nBytes += nSize;
    return true;
}

bool CCaptureWriter::WriteChunk(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    if (nSize > kCaptureMaxChunkSize)
        return Fail("a chunk of " + std::to_string(nSize) + " bytes is over the limit of " + std::to_string(kCaptureMaxChunkSize >> 20) +
                    " MiB");
    uint8 header[CORVID_LINK_HEADER_SIZE];
    WriteCorvidLinkHeader(header, {nChunkId, nVersion, nSize});
    if (!Write(header, sizeof(header)) || !Write(pPayload, nSize))
        return false;
    ++m_nChunks;
    if (nChunkId == GPU_PROFILER_CHUNK_FRAME)
        ++m_nFrames;
    return true;
}

bool CCaptureWriter::AppendChunk(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    return WriteChunk(nChunkId, nVersion, pPayload, nSize) && Flush();
}

bool CCaptureWriter::AppendFrame(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount)
{
    if (!WriteChunk(GPU_PROFILER_CHUNK_FRAME, GPU_PROFILER_CHUNK_VERSION, &header, uint32(sizeof(header))))
        return false;
    m_chunks.clear();
    m_chunker.SplitSamples(pSamples, nCount, m_chunks);
    for (const TargetChunk &chunk : m_chunks) {
        if (!WriteChunk(chunk.nChunkId, GPU_PROFILER_CHUNK_VERSION, chunk.payload.data(), uint32(chunk.payload.size())))
            return false;
    }
    return Flush();
}

bool CCaptureWriter::AppendFrames(size_t nCount, const FrameSource &source)
{
    struct PackedFrame
    {
        GpuFrameHeader header{};
        std::vector<TargetChunk> chunks;
        bool bTaken = false;
    };
    // Two batches: while this thread writes one, the other thread packs half of the next.
    PackedFrame batches[2][kFramesPerBatch];
    CFrameChunker second(SampleChunkForm::Packed, CFrameChunker::kDefaultMaxChunkSize);
    const size_t nBatches = (nCount + kFramesPerBatch - 1) / kFramesPerBatch;
    const auto batchSize = [&](size_t nBatch) { return std::min(kFramesPerBatch, nCount - nBatch * kFramesPerBatch); };
    // Every other frame of batch nBatch, from nStart, with a packer of the thread's own.
    const auto pack = [&](size_t nBatch, CFrameChunker &chunker, size_t nStart) {
        GpuSampleArray samples;
        for (size_t i = nStart; i < batchSize(nBatch); i += 2) {
            PackedFrame &frame = batches[nBatch % 2][i];
            frame.chunks.clear();
            frame.bTaken = source(nBatch * kFramesPerBatch + i, &frame.header, &samples);
            if (frame.bTaken)
                chunker.SplitSamples(samples.Base(), size_t(samples.Count()), frame.chunks);
        }
    };
    bool bWritten = true;
    for (size_t nBatch = 0; nBatch <= nBatches && bWritten; ++nBatch) {
        // Batch nBatch is packed while batch nBatch - 1 is written.
        std::thread worker;
        if (nBatch < nBatches)
            worker = std::thread(pack, nBatch, std::ref(second), size_t(1));
        for (size_t i = 0; nBatch > 0 && i < batchSize(nBatch - 1) && bWritten; ++i) {
            const PackedFrame &frame = batches[(nBatch - 1) % 2][i];
            if (!frame.bTaken)
                continue;
            bWritten = WriteChunk(GPU_PROFILER_CHUNK_FRAME, GPU_PROFILER_CHUNK_VERSION, &frame.header, uint32(sizeof(GpuFrameHeader)));
            for (size_t c = 0; c < frame.chunks.size() && bWritten; ++c)
                bWritten = WriteChunk(frame.chunks[c].nChunkId, GPU_PROFILER_CHUNK_VERSION, frame.chunks[c].payload.data(),
                                      uint32(frame.chunks[c].payload.size()));
        }
        bWritten = bWritten && (nBatch == 0 || Flush());
        if (nBatch < nBatches) {
            pack(nBatch, m_chunker, 0);
            worker.join();
        }
    }
    return bWritten;
}

bool CCaptureWriter::Flush()
{
    if (!m_pFile || !m_sError.empty())
        return false;
    if (std::fflush(m_pFile) != 0)
        return Fail(std::string("write failed: ") + std::strerror(errno));
    return true;
}

bool CCaptureWriter::Close()
{
    if (!m_pFile)
        return m_sError.empty();
    CaptureEndRecord end;
    end.SetFrames(m_nFrames);
    end.SetChunks(m_nChunks);
    // The end record counts the chunks before it, so it is not counted itself.
    uint8 header[CORVID_LINK_HEADER_SIZE];
    WriteCorvidLinkHeader(header, {kCaptureEndChunkId, kCaptureEndVersion, kCaptureEndSize});
    Write(header, sizeof(header));
    Write(&end, sizeof(end));
    Flush();
    if (std::fclose(m_pFile) != 0)
        Fail(std::string("close failed: ") + std::strerror(errno));
    m_pFile = nullptr;
    return m_sError.empty();
}
