#pragma once
// Chunk ids, version and command codes shared by the plug-in and the target side. Chunk ids are
// compared as whole 32-bit values; written as text they read from the most significant byte down.

#include "bedrock/bedrock_api.h"

constexpr uint32 MakeChunkId(char a, char b, char c, char d)
{
    return (uint32(uint8(a)) << 24) | (uint32(uint8(b)) << 16) | (uint32(uint8(c)) << 8) | uint32(uint8(d));
}

inline constexpr uint32 GPU_PROFILER_CHUNK_FRAME = MakeChunkId('G', 'P', 'R', 'F');      // frame header
inline constexpr uint32 GPU_PROFILER_CHUNK_DATA = MakeChunkId('G', 'P', 'R', 'D');       // plain sample records
inline constexpr uint32 GPU_PROFILER_CHUNK_COMPRESSED = MakeChunkId('G', 'P', 'R', 'C'); // packed samples; commands
inline constexpr uint32 GPU_PROFILER_CHUNK_TEXTURES = MakeChunkId('G', 'P', 'R', 'T');   // texture list
inline constexpr uint32 GPU_PROFILER_CHUNK_BUFFERS = MakeChunkId('G', 'P', 'R', 'B');    // buffer list

static_assert(GPU_PROFILER_CHUNK_FRAME == 0x47505246);

inline constexpr uint16 GPU_PROFILER_CHUNK_VERSION = 1;

// A command to the target: code as big-endian u32, value as big-endian u64.
inline constexpr uint32 GPU_PROFILER_COMMAND_SIZE = 12;

enum GpuProfilerCommand : uint32
{
    GPU_PROFILER_COMMAND_WINDOW_OPEN = 0,       // value 1: a profiler window is open; 0: it closed
    GPU_PROFILER_COMMAND_PIPELINE_FLUSHING = 1, // value: the flushing choice, 0 or 1
    // The plug-in always sends these two together, 4 first; the target answers with its
    // texture list (GPRT) and its buffer list (GPRB).
    GPU_PROFILER_COMMAND_TEXTURE_LIST = 4,
    GPU_PROFILER_COMMAND_BUFFER_LIST = 6,
};
