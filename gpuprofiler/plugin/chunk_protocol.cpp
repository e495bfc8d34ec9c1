#include "gpuprofiler/plugin/gpuprofiler_tool.h"

#include "gpuprofiler/plugin/profiler_protocol.h"

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

bool CGPUProfilerTool::OnDataReceived(ICorvidConnection * /*pConnection*/, uint32 /*nChunkId*/,
                                      uint16 /*nVersion*/, uint32 /*nSize*/, void *pBuffer)
{
    // Frame assembly and list routing are not part of the plug-in yet; every chunk is dropped.
    // The buffer is ours either way.
    g_pMemAlloc->Free(pBuffer);
    return true;
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
