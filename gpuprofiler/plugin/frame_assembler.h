#pragma once
// Frames from the profiler's chunks: a GPRF payload (the 188-byte frame header) starts a frame,
// GPRD (plain) and GPRC (packed or stored) payloads add its sample records, and the frame is
// whole once the header's count has arrived. The plug-in assembles every target's frames with
// it, and anything else that reads the same chunks (a capture file, a socket) does too, so that
// a frame takes one road whatever its source. Depends on bedrock and the wire records only.
//
// Everything a chunk says is untrusted. A chunk that does not fit the frame being assembled is
// dropped whole and leaves the frame as it was; sizes announced by a chunk are checked against
// what the frame still expects before anything is allocated for them. Each refusal is reported
// as a kind and a reason text, so that whoever shows the frames can say why some went missing.

#include "growable_array.h"
#include "wire_frame.h"

// Why a chunk (or part of one) was not taken. Each kind stands for one way a target can be
// wrong, so that a stream of the same mistake can be reported once.
enum class FrameContentError : uint8
{
    None = 0,
    HeaderSize, // a frame header that is not 188 bytes: the frame is taken as empty
    FrameTooLarge, // a frame announcing more sample bytes than one frame may hold
    PartialRecords, // a sample chunk that is not a whole number of records, or holds none
    SurplusRecords, // more records than the frame still expects, or no frame to take them
    BrokenPackedChunk, // a packed sample chunk that does not unpack to what it announces
    OutOfMemory, // no storage for the records
};
inline constexpr int kFrameContentErrorKinds = 7;

// What became of one chunk.
struct FrameChunkOutcome
{
    // The frame is whole: its header and records are ready to be handed over (a header
    // announcing no samples is whole at once).
    bool bFrameComplete = false;
    // Why the chunk was dropped, or (for a header of the wrong size) taken as an empty frame.
    FrameContentError error = FrameContentError::None;
};

class CFrameAssembler
{
public:
    static constexpr uint32 kSampleRecordSize = uint32(sizeof(GpuSampleRecord));
    static constexpr uint32 kFrameHeaderSize = uint32(sizeof(GpuFrameHeader));
    // The most bytes of sample records one frame may hold once assembled: 256 MiB, which is
    // 657,930 records. A frame announcing more is refused at its header, before any of its
    // records are stored, and its sample chunks are dropped until the next header. Real frames
    // stay far below (a frame with one sample per draw call holds tens of thousands); the bound
    // keeps a forged count from making one target hold gigabytes.
    static constexpr uint32 kMaxFrameSampleBytes = 256u << 20;
    static constexpr uint32 kMaxFrameSamples = kMaxFrameSampleBytes / kSampleRecordSize;
    // Room for the reason text of the last refusal.
    static constexpr size_t kErrorTextSize = 160;

    CFrameAssembler() = default;
    CFrameAssembler(const CFrameAssembler &) = delete;
    CFrameAssembler &operator=(const CFrameAssembler &) = delete;

    // A GPRF payload: starts a new frame and drops the records of an unfinished one (the
    // array keeps its storage).
    FrameChunkOutcome OnFrameHeader(uint32 nSize, const void *pPayload);
    // A GPRD (bCompressed false) or GPRC payload of sample records for the current frame.
    FrameChunkOutcome OnFrameSamples(uint32 nSize, const void *pPayload, bool bCompressed);

    // Back to the state of a new assembler: no frame, no records, no storage.
    void Reset();

    // The reason for the last chunk whose outcome carried an error, e.g. "a sample chunk of 409
    // bytes, not a whole number of 408-byte records"; empty before the first.
    const char *ErrorText() const { return m_errorText; }
    // Chunks refused so far, by kind and in all (a header of the wrong size counts as well).
    uint64 ErrorCount(FrameContentError error) const { return m_errorCounts[int(error)]; }
    uint64 ErrorCountTotal() const;

    // The frame being assembled, as received. Once a frame is complete the caller may take the
    // records by exchanging arrays; the next frame grows a new array.
    GpuFrameHeader frameHeader{};
    uint32 samplesReceived = 0;
    GrowableArray<GpuSampleRecord> samples;

private:
    enum class State : uint8
    {
        NoFrame, // nothing announced yet: records have no frame to go to
        Collecting, // records still due
        Complete, // every announced record arrived
        Refused, // the header announced too much; its records are dropped without a word
    };

    FrameChunkOutcome Refuse(FrameContentError error, const char *pszFormat, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    // Grows the array to nCount records, never reserving beyond the frame's announced count.
    bool MakeRoomFor(uint32 nCount);

    State m_state = State::NoFrame;
    uint64 m_errorCounts[kFrameContentErrorKinds] = {};
    char m_errorText[kErrorTextSize] = {};
};

// Digits grouped by thousands with commas ("657,930"), as the reasons write counts.
void FormatGroupedCount(char *pText, size_t nCapacity, uint64 nValue);
