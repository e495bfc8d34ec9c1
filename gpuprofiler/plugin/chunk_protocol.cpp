// The profiler's chunk protocol: registration of the chunk ids, dispatch of received chunks to
// their connection record, frame assembly, and the commands sent back to the target.
//
// Everything a target sends is untrusted: frames are assembled by the record's CFrameAssembler,
// which drops whatever does not fit, and the received buffer is freed on every path.

#include "gpuprofiler_tool.h"

#include "device_window_bridge.h"
#include "wire_profiler.h"

namespace {

// What became of a frame chunk: what was dropped is reported to the record's window (a user
// whose target has a bug sees why nothing arrives), and a whole frame goes to it. The window
// copies the header and takes the samples by exchanging arrays; the record's next frame grows a
// new array. Nothing here touches the record after the hand-over: the window may run toolkit
// code that changes the table.
void Deliver(CGPUProfilerConnection *pRecord, const FrameChunkOutcome &outcome)
{
    if (!pRecord->window)
        return;
    if (outcome.error != FrameContentError::None)
        DeliverContentError(pRecord->window, int(outcome.error), pRecord->assembly.ErrorText(), pRecord->assembly.ErrorCountTotal());
    if (outcome.bFrameComplete && pRecord->window)
        DeliverFrame(pRecord->window, &pRecord->assembly.frameHeader, &pRecord->assembly.samples);
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

bool CGPUProfilerTool::OnDataReceived(ICorvidConnection *pConnection, uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer)
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
    Deliver(pRecord, pRecord->assembly.OnFrameHeader(nSize, pPayload));
}

void CGPUProfilerTool::OnFrameSamples(CGPUProfilerConnection *pRecord, uint32 nSize, const void *pPayload, bool bCompressed)
{
    Deliver(pRecord, pRecord->assembly.OnFrameSamples(nSize, pPayload, bCompressed));
}

bool CGPUProfilerTool::SendTargetCommand(uint32 nWindowId, uint32 nCode, uint32 nValue)
{
    CGPUProfilerConnection *pRecord = Get().FindRecordByWindowId(nWindowId);
    if (!pRecord || !pRecord->connection)
        return false;
    auto *pCommand = static_cast<GpuProfilerCommandRecord *>(g_pMemAlloc->Alloc(sizeof(GpuProfilerCommandRecord)));
    if (!pCommand)
        return false;
    pCommand->SetCode(nCode);
    pCommand->SetValue(nValue);
    // The buffer belongs to the host from here on.
    return pRecord->connection->SendData(GPU_PROFILER_CHUNK_COMPRESSED, GPU_PROFILER_CHUNK_VERSION, GPU_PROFILER_COMMAND_SIZE, pCommand);
}
