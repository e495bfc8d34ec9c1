#pragma once
// The commands the profiler sends to a target: GPRC chunks of exactly 12 bytes, a big-endian
// 32-bit code and a big-endian 64-bit value. The codes are GpuProfilerCommand.

#include "wire_profiler.h"

#include <cstddef>
#include <vector>

struct TargetCommand
{
    uint32 nCode = 0;
    uint64 nValue = 0;
};

// Reads a command payload. Anything other than exactly 12 bytes is not a command: false, and
// pCommand is left alone.
bool DecodeTargetCommand(const void *pPayload, size_t nSize, TargetCommand *pCommand);

// The 12 payload bytes of a command, as the profiler writes them.
std::vector<uint8> EncodeTargetCommand(uint32 nCode, uint64 nValue);

// The command's name for logs ("window open", "pipeline flushing", "texture list",
// "buffer list"), or "unknown".
const char *TargetCommandName(uint32 nCode);
