#pragma once
// Splits a frame into the chunks that carry it to the profiler: one GPRF chunk with the
// 188-byte header, then the sample records in order, in GPRD chunks (records as they are) or
// GPRC chunks (records packed by CChunkCompressor, or stored where packing does not pay), or
// both by turns.
//
// No chunk payload is larger than the maximum chunk size given, except that every sample chunk
// carries at least one record: a maximum below one record's chunk is raised to that.

#include "chunk_compressor.h"
#include "frame_builder.h"
#include "wire_profiler.h"

#include <vector>

struct TargetChunk
{
    uint32 nChunkId = 0;
    std::vector<uint8> payload;
};

enum class SampleChunkForm
{
    Plain, // GPRD
    Packed, // GPRC
    // GPRD and GPRC by turns, one chunk each, as a target that packs only when it has the time
    // to. The turns run on from one frame to the next, so frames of a single sample chunk still
    // show both forms.
    Mixed,
};

class CFrameChunker
{
public:
    // A size that a transport moves without trouble and that still holds 160 records.
    static constexpr size_t kDefaultMaxChunkSize = 64 * 1024;

    explicit CFrameChunker(SampleChunkForm form = SampleChunkForm::Packed, size_t nMaxChunkSize = kDefaultMaxChunkSize);

    // Records per sample chunk under the current maximum.
    size_t RecordsPerChunk() const { return m_nRecordsPerChunk; }
    SampleChunkForm Form() const { return m_form; }

    // Appends the chunks of the frame to chunks: the header first, then the sample records of
    // frame.samples in order. The header goes out as it is, so a frame whose header announces
    // another count than it carries goes out that way.
    void Split(const TargetFrame &frame, std::vector<TargetChunk> &chunks);

    // Appends the sample chunks for records[0..nCount) to chunks.
    void SplitSamples(const GpuSampleRecord *pRecords, size_t nCount, std::vector<TargetChunk> &chunks);

    // Bytes of sample records and of sample chunk payloads made so far; their ratio is what
    // packing saves.
    uint64 RecordBytes() const { return m_nRecordBytes; }
    uint64 SampleChunkBytes() const { return m_nSampleChunkBytes; }

private:
    SampleChunkForm m_form;
    size_t m_nRecordsPerChunk;
    CChunkCompressor m_compressor;
    uint64 m_nRecordBytes = 0;
    uint64 m_nSampleChunkBytes = 0;
    // In the mixed form: whether the next sample chunk is packed.
    bool m_bNextPacked = false;
};
