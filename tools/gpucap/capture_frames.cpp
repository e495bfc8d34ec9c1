#include "capture_frames.h"

#include "capture_reader.h"
#include "mem_alloc.h"
#include "wire_profiler.h"

bool TakeFrameChunk(CFrameAssembler &assembler, uint32 nChunkId, uint16 nVersion, uint32 nSize, const void *pPayload)
{
    if (nVersion != GPU_PROFILER_CHUNK_VERSION)
        return false;
    switch (nChunkId) {
    case GPU_PROFILER_CHUNK_FRAME:
        return assembler.OnFrameHeader(nSize, pPayload).bFrameComplete;
    case GPU_PROFILER_CHUNK_DATA:
        return assembler.OnFrameSamples(nSize, pPayload, false).bFrameComplete;
    case GPU_PROFILER_CHUNK_COMPRESSED:
        return assembler.OnFrameSamples(nSize, pPayload, true).bFrameComplete;
    default:
        return false;
    }
}

std::string DescribeContentErrors(const CFrameAssembler &assembler)
{
    const uint64 nErrors = assembler.ErrorCountTotal();
    if (nErrors == 0)
        return std::string();
    return std::to_string(nErrors) + " malformed chunk" + (nErrors == 1 ? "" : "s") + " dropped (last: " + assembler.ErrorText() + ")";
}

bool ReadCaptureFrames(const std::string &sPath, const CaptureFrameFunc &onFrame, std::string *psProblems)
{
    CCaptureReader reader;
    if (!reader.Open(sPath)) {
        *psProblems += "gpucap: " + reader.Error() + "\n";
        return false;
    }
    CFrameAssembler assembler;
    CaptureChunk chunk;
    CCaptureReader::Result result;
    while ((result = reader.ReadChunk(&chunk)) == CCaptureReader::Result::Chunk) {
        if (TakeFrameChunk(assembler, chunk.nChunkId, chunk.nVersion, chunk.nSize, chunk.Payload()))
            onFrame(assembler.frameHeader, assembler.samples.Base(), size_t(assembler.samplesReceived));
        g_pMemAlloc->Free(chunk.pBuffer);
    }
    if (result == CCaptureReader::Result::Error)
        *psProblems += "gpucap: " + reader.Error() + "\n";
    else if (!reader.Warning().empty())
        *psProblems += "gpucap: " + reader.Warning() + "\n";
    if (const std::string sErrors = DescribeContentErrors(assembler); !sErrors.empty())
        *psProblems += "gpucap: " + sPath + ": " + sErrors + "\n";
    return true;
}
