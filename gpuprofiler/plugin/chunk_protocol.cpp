// The profiler's chunk protocol: registration of the chunk ids, dispatch of received chunks to
// their connection record, frame assembly, and the commands sent back to the target.
//
// Everything a target sends is untrusted. A chunk that does not fit the frame being assembled
// is dropped whole and leaves the record as it was; sizes announced by the target are checked
// against what the frame still expects before anything is allocated for them; the received
// buffer is freed on every path.

#include "gpuprofiler/plugin/gpuprofiler_tool.h"

#include "gpuprofiler/plugin/chunk_decompression.h"
#include "gpuprofiler/plugin/device_window_bridge.h"
#include "gpuprofiler/plugin/profiler_protocol.h"

#include <cstring>

namespace {

constexpr uint32 kSampleRecordSize = uint32(sizeof(GpuSampleRecord));
constexpr uint32 kFrameHeaderSize = uint32(sizeof(GpuFrameHeader));

static_assert(uint64(CGPUProfilerConnection::kMaxFrameSamples) * kSampleRecordSize <= CHUNK_DATA_SIZE_MASK,
              "a whole frame's records must be describable by a compressed chunk's size word");
static_assert(CGPUProfilerConnection::kMaxFrameSamples <= uint32(INT32_MAX / 2),
              "the sample array's signed count and its doubling growth must not overflow");

// Bytes of sample records that the record's current frame can still take: 0 when the frame is
// complete, and 0 for a frame that announces more samples than a record assembles.
uint32 RoomForSamples(const CGPUProfilerConnection &record)
{
    const uint32 nExpected = record.frameHeader.SampleCount();
    if (nExpected > CGPUProfilerConnection::kMaxFrameSamples || record.samplesReceived >= nExpected)
        return 0;
    return (nExpected - record.samplesReceived) * kSampleRecordSize;
}

void HandOverFrame(CGPUProfilerConnection *pRecord)
{
    // The window copies the header and takes the samples by exchanging arrays; the record's
    // next frame grows a new array. Nothing here touches the record after the call: the
    // window may run toolkit code that changes the table.
    if (pRecord->window)
        DeliverFrame(pRecord->window, &pRecord->frameHeader, &pRecord->samples);
}

} // namespace

void CGPUProfilerTool::RegisterDataTypes(ICorvidConnection *pConnection)
{
    if (!pConnection)
        return;
    static constexpr uint32 kChunkIds[] = {
        GPU_PROFILER_CHUNK_FRAME,    GPU_PROFILER_CHUNK_DATA,    GPU_PROFILER_CHUNK_COMPRESSED,
        GPU_PROFILER_CHUNK_TEXTURES, GPU_PROFILER_CHUNK_BUFFERS,
    };
    for (uint32 nChunkId : kChunkIds)
        pConnection->RegisterDataType(nChunkId, GPU_PROFILER_CHUNK_VERSION, this);
}

bool CGPUProfilerTool::OnDataReceived(ICorvidConnection *pConnection, uint32 nChunkId, uint16 nVersion,
                                      uint32 nSize, void *pBuffer)
{
    // A record whose connection was cleared is being torn down; a null connection finds none.
    CGPUProfilerConnection *pRecord = pConnection ? FindRecordByConnection(pConnection) : nullptr;
    if (pRecord && pBuffer && nVersion == GPU_PROFILER_CHUNK_VERSION) {
        const uint8 *pPayload = static_cast<const uint8 *>(pBuffer) + CORVID_CHUNK_HEADER_SIZE;
        switch (nChunkId) {
        case GPU_PROFILER_CHUNK_FRAME:
            OnFrameHeader(pRecord, nSize, pPayload);
            break;
        case GPU_PROFILER_CHUNK_DATA:
            OnFrameSamples(pRecord, nSize, pPayload, false);
            break;
        case GPU_PROFILER_CHUNK_COMPRESSED:
            OnFrameSamples(pRecord, nSize, pPayload, true);
            break;
        case GPU_PROFILER_CHUNK_TEXTURES:
            if (pRecord->window)
                DeliverTextureList(pRecord->window, pPayload, nSize);
            break;
        case GPU_PROFILER_CHUNK_BUFFERS:
            if (pRecord->window)
                DeliverBufferList(pRecord->window, pPayload, nSize);
            break;
        default:
            break;
        }
    }
    // The buffer is ours whatever happened to the chunk, and nothing keeps a pointer into it.
    g_pMemAlloc->Free(pBuffer);
    return true;
}

void CGPUProfilerTool::OnFrameHeader(CGPUProfilerConnection *pRecord, uint32 nSize, const void *pPayload)
{
    // A header of the wrong size becomes an all-zero header: a frame without samples.
    if (nSize == kFrameHeaderSize && pPayload)
        std::memcpy(&pRecord->frameHeader, pPayload, kFrameHeaderSize);
    else
        pRecord->frameHeader = GpuFrameHeader{};

    // The samples of an unfinished earlier frame are dropped; the storage stays for this one.
    pRecord->samplesReceived = 0;
    pRecord->samples.SetCount(0);

    if (pRecord->frameHeader.SampleCount() == 0)
        HandOverFrame(pRecord);
}

void CGPUProfilerTool::OnFrameSamples(CGPUProfilerConnection *pRecord, uint32 nSize, const void *pPayload,
                                      bool bCompressed)
{
    // Only chunks that add records and fit the frame are taken. In particular a chunk that
    // arrives after the frame was handed over is dropped even when it carries no record:
    // taking it would hand the frame over a second time, with the array the window left behind.
    const uint32 nRoom = RoomForSamples(*pRecord);
    if (nRoom == 0 || !pPayload)
        return;

    const uint8 *pRecords = static_cast<const uint8 *>(pPayload);
    uint32 nBytes = nSize;
    uint8 *pUnpacked = nullptr;
    if (bCompressed) {
        const uint32 nDataSize = ChunkDataSize(pPayload, nSize);
        // Data that could not be taken once unpacked is dropped before anything is allocated
        // for it; the size word alone could ask for 2 GiB.
        if (nDataSize == 0 || nDataSize > nRoom || nDataSize % kSampleRecordSize != 0)
            return;
        if (LoadLittleEndian32(pPayload) & CHUNK_STORED_FLAG) {
            // Stored records are taken straight from the payload, like a plain chunk.
            if (nSize - 4 < nDataSize)
                return;
            pRecords += 4;
        } else {
            pUnpacked = static_cast<uint8 *>(g_pMemAlloc->Alloc(nDataSize));
            if (!pUnpacked)
                return;
            if (DecompressChunk(pPayload, nSize, pUnpacked, nDataSize) != nDataSize) {
                g_pMemAlloc->Free(pUnpacked);
                return;
            }
            pRecords = pUnpacked;
        }
        nBytes = nDataSize;
    }

    if (nBytes == 0 || nBytes % kSampleRecordSize != 0 || nBytes > nRoom) {
        g_pMemAlloc->Free(pUnpacked);
        return;
    }
    // nRoom bounds both figures by kMaxFrameSamples, so the signed count cannot overflow.
    const uint32 nNewRecords = nBytes / kSampleRecordSize;
    const int32 nFirst = int32(pRecord->samplesReceived);
    if (!pRecord->samples.EnsureCount(nFirst + int32(nNewRecords))) {
        g_pMemAlloc->Free(pUnpacked);
        return;
    }
    std::memcpy(pRecord->samples.Base() + nFirst, pRecords, nBytes);
    g_pMemAlloc->Free(pUnpacked);
    pRecord->samplesReceived += nNewRecords;

    if (pRecord->samplesReceived == pRecord->frameHeader.SampleCount())
        HandOverFrame(pRecord);
}

bool CGPUProfilerTool::SendTargetCommand(uint32 nWindowId, uint32 nCode, uint32 nValue)
{
    CGPUProfilerConnection *pRecord = Get().FindRecordByWindowId(nWindowId);
    if (!pRecord || !pRecord->connection)
        return false;
    auto *pCommand = static_cast<uint8 *>(g_pMemAlloc->Alloc(GPU_PROFILER_COMMAND_SIZE));
    if (!pCommand)
        return false;
    StoreBigEndian32(pCommand, nCode);
    StoreBigEndian64(pCommand + 4, uint64(nValue));
    // The buffer belongs to the host from here on.
    return pRecord->connection->SendData(GPU_PROFILER_CHUNK_COMPRESSED, GPU_PROFILER_CHUNK_VERSION,
                                         GPU_PROFILER_COMMAND_SIZE, pCommand);
}
