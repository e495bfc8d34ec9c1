#include "target_command.h"

bool DecodeTargetCommand(const void *pPayload, size_t nSize, TargetCommand *pCommand)
{
    if (!pPayload || !pCommand || nSize != GPU_PROFILER_COMMAND_SIZE)
        return false;
    const auto *pRecord = static_cast<const GpuProfilerCommandRecord *>(pPayload);
    pCommand->nCode = pRecord->Code();
    pCommand->nValue = pRecord->Value();
    return true;
}

std::vector<uint8> EncodeTargetCommand(uint32 nCode, uint64 nValue)
{
    GpuProfilerCommandRecord record;
    record.SetCode(nCode);
    record.SetValue(nValue);
    const auto *pBytes = reinterpret_cast<const uint8 *>(&record);
    return std::vector<uint8>(pBytes, pBytes + sizeof(record));
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
