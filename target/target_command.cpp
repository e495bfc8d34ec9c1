#include "target/target_command.h"

#include "bedrock/byte_order.h"

bool DecodeTargetCommand(const void *pPayload, size_t nSize, TargetCommand *pCommand)
{
    if (!pPayload || !pCommand || nSize != GPU_PROFILER_COMMAND_SIZE)
        return false;
    const auto *pBytes = static_cast<const uint8 *>(pPayload);
    pCommand->nCode = LoadBigEndian32(pBytes);
    pCommand->nValue = LoadBigEndian64(pBytes + 4);
    return true;
}

std::vector<uint8> EncodeTargetCommand(uint32 nCode, uint64 nValue)
{
    std::vector<uint8> payload(GPU_PROFILER_COMMAND_SIZE);
    StoreBigEndian32(payload.data(), nCode);
    StoreBigEndian64(payload.data() + 4, nValue);
    return payload;
}

const char *TargetCommandName(uint32 nCode)
{
    switch (nCode) {
    case GPU_PROFILER_COMMAND_WINDOW_OPEN:
        return "window open";
    case GPU_PROFILER_COMMAND_PIPELINE_FLUSHING:
        return "pipeline flushing";
    case GPU_PROFILER_COMMAND_TEXTURE_LIST:
        return "texture list";
    case GPU_PROFILER_COMMAND_BUFFER_LIST:
        return "buffer list";
    default:
        return "unknown";
    }
}
