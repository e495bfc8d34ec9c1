#include "frame_chunker.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kRecordSize = sizeof(GpuSampleRecord);

} // namespace

CFrameChunker::CFrameChunker(SampleChunkForm form, size_t nMaxChunkSize) : m_form(form)
{
    // A packed chunk never exceeds the stored form, which is the records plus the size word,
    // so sizing the groups for the stored form keeps every chunk under the maximum. Mixed
    // chunks use one group size for both forms, sized for the packed one: the plain chunks,
    // which lack the size word, fit all the more.
    const size_t nOverhead = form == SampleChunkForm::Plain ? 0 : kPackedSizeWordBytes;
    const size_t nRoom = nMaxChunkSize > nOverhead ? nMaxChunkSize - nOverhead : 0;
    m_nRecordsPerChunk = std::max<size_t>(1, nRoom / kRecordSize);
    // The size word of a packed chunk has 31 bits.
    m_nRecordsPerChunk = std::min<size_t>(m_nRecordsPerChunk, CHUNK_DATA_SIZE_MASK / kRecordSize);
}

void CFrameChunker::Split(const TargetFrame &frame, std::vector<TargetChunk> &chunks)
{
    chunks.push_back({GPU_PROFILER_CHUNK_FRAME, FrameHeaderPayload(frame.header)});
    SplitSamples(frame.samples.data(), frame.samples.size(), chunks);
}

void CFrameChunker::SplitSamples(const GpuSampleRecord *pRecords, size_t nCount, std::vector<TargetChunk> &chunks)
{
    for (size_t nFirst = 0; nFirst < nCount; nFirst += m_nRecordsPerChunk) {
        const size_t nRecords = std::min(m_nRecordsPerChunk, nCount - nFirst);
        const auto *pBytes = reinterpret_cast<const uint8 *>(pRecords + nFirst);
        const size_t nBytes = nRecords * kRecordSize;
        TargetChunk chunk;
        bool bPacked = m_form == SampleChunkForm::Packed;
        if (m_form == SampleChunkForm::Mixed) {
            bPacked = m_bNextPacked;
            m_bNextPacked = !m_bNextPacked;
        }
        if (bPacked) {
            chunk.nChunkId = GPU_PROFILER_CHUNK_COMPRESSED;
            m_compressor.Compress(pBytes, nBytes, chunk.payload);
        } else {
            chunk.nChunkId = GPU_PROFILER_CHUNK_DATA;
            chunk.payload.assign(pBytes, pBytes + nBytes);
        }
        m_nRecordBytes += nBytes;
        m_nSampleChunkBytes += chunk.payload.size();
        chunks.push_back(std::move(chunk));
    }
}
