#include "frame_assembler.h"

#include "chunk_decompression.h"
#include "str_tools.h"

#include <cstdarg>
#include <cstring>

static_assert(uint64(CFrameAssembler::kMaxFrameSampleBytes) <= CHUNK_DATA_SIZE_MASK,
              "a whole frame's records must be describable by a packed chunk's size word");
static_assert(CFrameAssembler::kMaxFrameSamples <= uint32(INT32_MAX / 2),
              "the sample array's signed count and its doubling growth must not overflow");

void FormatGroupedCount(char *pText, size_t nCapacity, uint64 nValue)
{
    if (!pText || nCapacity == 0)
        return;
    char digits[32];
    int nDigits = 0;
    do {
        digits[nDigits++] = char('0' + nValue % 10);
        nValue /= 10;
    } while (nValue != 0);
    size_t nLength = 0;
    for (int i = nDigits - 1; i >= 0 && nLength + 1 < nCapacity; --i) {
        pText[nLength++] = digits[i];
        if (i > 0 && i % 3 == 0 && nLength + 1 < nCapacity)
            pText[nLength++] = ',';
    }
    pText[nLength] = '\0';
}

FrameChunkOutcome CFrameAssembler::Refuse(FrameContentError error, const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    StrFormatV(m_errorText, sizeof(m_errorText), pszFormat, args);
    va_end(args);
    ++m_errorCounts[int(error)];
    return {false, error};
}

uint64 CFrameAssembler::ErrorCountTotal() const
{
    uint64 nTotal = 0;
    for (uint64 nCount : m_errorCounts)
        nTotal += nCount;
    return nTotal;
}

void CFrameAssembler::Reset()
{
    frameHeader = GpuFrameHeader{};
    samplesReceived = 0;
    samples.Purge();
    m_state = State::NoFrame;
    for (uint64 &nCount : m_errorCounts)
        nCount = 0;
    m_errorText[0] = '\0';
}

bool CFrameAssembler::MakeRoomFor(uint32 nCount)
{
    // Doubling as usual, but a frame's own count caps the reserve: a frame of 600,000 records
    // must not hold room for a million.
    const int32 nCapacity = samples.Capacity();
    if (int64(nCount) > nCapacity) {
        uint64 nWanted = nCapacity > 0 ? uint64(nCapacity) * 2 : nCount;
        if (nWanted < nCount)
            nWanted = nCount;
        const uint32 nExpected = frameHeader.SampleCount();
        if (nWanted > nExpected)
            nWanted = nExpected;
        if (!samples.EnsureCapacity(int32(nWanted)))
            return false;
    }
    return samples.EnsureCount(int32(nCount));
}

FrameChunkOutcome CFrameAssembler::OnFrameHeader(uint32 nSize, const void *pPayload)
{
    // Whatever came before is over: the records of an unfinished frame are dropped, the
    // storage stays for this one.
    samplesReceived = 0;
    samples.SetCount(0);

    FrameChunkOutcome outcome;
    if (nSize == kFrameHeaderSize && pPayload) {
        std::memcpy(&frameHeader, pPayload, kFrameHeaderSize);
    } else {
        // A header of the wrong size becomes an all-zero header: a frame without samples,
        // whole at once.
        frameHeader = GpuFrameHeader{};
        outcome = Refuse(FrameContentError::HeaderSize, "a frame header of %u bytes instead of %u", nSize, kFrameHeaderSize);
    }

    const uint32 nCount = frameHeader.SampleCount();
    if (nCount > kMaxFrameSamples) {
        m_state = State::Refused;
        char count[32], limit[32];
        FormatGroupedCount(count, sizeof(count), nCount);
        FormatGroupedCount(limit, sizeof(limit), kMaxFrameSamples);
        return Refuse(FrameContentError::FrameTooLarge, "a frame of %s samples, over the limit of %s samples (%u MiB)", count, limit,
                      kMaxFrameSampleBytes >> 20);
    }
    m_state = nCount == 0 ? State::Complete : State::Collecting;
    outcome.bFrameComplete = nCount == 0;
    return outcome;
}

FrameChunkOutcome CFrameAssembler::OnFrameSamples(uint32 nSize, const void *pPayload, bool bCompressed)
{
    // A refused frame was reported once, at its header; its records are no news.
    if (m_state == State::Refused)
        return {};
    if (m_state == State::NoFrame)
        return Refuse(FrameContentError::SurplusRecords, "a sample chunk before any frame header");
    if (m_state == State::Complete) {
        // Taking even an empty chunk here would hand the frame over a second time.
        return Refuse(FrameContentError::SurplusRecords, "a sample chunk after its frame of %u samples was complete",
                      frameHeader.SampleCount());
    }

    // Only chunks that add records and fit the frame are taken.
    const uint32 nExpected = frameHeader.SampleCount();
    const uint32 nRoom = (nExpected - samplesReceived) * kSampleRecordSize;
    const uint8 *pRecords = static_cast<const uint8 *>(pPayload);
    uint32 nBytes = pPayload ? nSize : 0;
    uint8 *pUnpacked = nullptr;
    if (bCompressed) {
        const uint32 nDataSize = ChunkDataSize(pPayload, nBytes);
        if (nDataSize == 0)
            return Refuse(FrameContentError::BrokenPackedChunk, "a packed sample chunk of %u bytes without data", nBytes);
        // Data that could not be taken once unpacked is dropped before anything is allocated
        // for it; the size word alone could ask for 2 GiB.
        if (nDataSize % kSampleRecordSize != 0)
            return Refuse(FrameContentError::PartialRecords, "a packed sample chunk of %u bytes, not a whole number of %u-byte records",
                          nDataSize, kSampleRecordSize);
        if (nDataSize > nRoom)
            return Refuse(FrameContentError::SurplusRecords, "a packed sample chunk of %u samples where the frame expects %u more",
                          nDataSize / kSampleRecordSize, nExpected - samplesReceived);
        if (LoadLittleEndian32(pPayload) & CHUNK_STORED_FLAG) {
            // Stored records are taken straight from the payload, like a plain chunk.
            if (nBytes - kPackedSizeWordBytes < nDataSize)
                return Refuse(FrameContentError::BrokenPackedChunk, "a stored sample chunk of %u bytes announcing %u bytes of records",
                              nBytes, nDataSize);
            pRecords += kPackedSizeWordBytes;
        } else {
            pUnpacked = static_cast<uint8 *>(g_pMemAlloc->Alloc(nDataSize));
            if (!pUnpacked)
                return Refuse(FrameContentError::OutOfMemory, "no memory to unpack %u bytes of samples", nDataSize);
            if (DecompressChunk(pPayload, nBytes, pUnpacked, nDataSize) != nDataSize) {
                g_pMemAlloc->Free(pUnpacked);
                return Refuse(FrameContentError::BrokenPackedChunk,
                              "a packed sample chunk of %u bytes that does not unpack to its %u bytes", nBytes, nDataSize);
            }
            pRecords = pUnpacked;
        }
        nBytes = nDataSize;
    } else {
        if (nBytes == 0 || nBytes % kSampleRecordSize != 0)
            return Refuse(FrameContentError::PartialRecords, "a sample chunk of %u bytes, not a whole number of %u-byte records", nBytes,
                          kSampleRecordSize);
        if (nBytes > nRoom)
            return Refuse(FrameContentError::SurplusRecords, "a sample chunk of %u samples where the frame expects %u more",
                          nBytes / kSampleRecordSize, nExpected - samplesReceived);
    }

    // nRoom bounds both figures by kMaxFrameSamples, so the signed count cannot overflow.
    const uint32 nNewRecords = nBytes / kSampleRecordSize;
    const uint32 nFirst = samplesReceived;
    if (!MakeRoomFor(nFirst + nNewRecords)) {
        g_pMemAlloc->Free(pUnpacked);
        return Refuse(FrameContentError::OutOfMemory, "no memory for a frame of %u samples", nExpected);
    }
    std::memcpy(samples.Base() + nFirst, pRecords, nBytes);
    g_pMemAlloc->Free(pUnpacked);
    samplesReceived += nNewRecords;

    FrameChunkOutcome outcome;
    if (samplesReceived == nExpected) {
        m_state = State::Complete;
        outcome.bFrameComplete = true;
    }
    return outcome;
}
