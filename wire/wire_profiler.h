#pragma once
// The profiler's chunks on the console link: their ids and version, and the commands the
// profiler sends back to a target. Chunk ids are compared as whole 32-bit values; written as
// text they read from the most significant byte down.
//
//   GPRF  target -> profiler  one frame header (GpuFrameHeader, wire_frame.h)
//   GPRD  target -> profiler  a whole number of sample records (GpuSampleRecord)
//   GPRC  target -> profiler  packed sample records (wire_packed.h)
//   GPRC  profiler -> target  one command (GpuProfilerCommandRecord, below)
//   GPRT  target -> profiler  the texture list (wire_resources.h)
//   GPRB  target -> profiler  the buffer list (wire_resources.h)

#include "byte_order.h"

#include <cstddef>

constexpr uint32 MakeChunkId(char a, char b, char c, char d)
{
    return (uint32(uint8(a)) << 24) | (uint32(uint8(b)) << 16) | (uint32(uint8(c)) << 8) | uint32(uint8(d));
}

inline constexpr uint32 GPU_PROFILER_CHUNK_FRAME = MakeChunkId('G', 'P', 'R', 'F'); // frame header
inline constexpr uint32 GPU_PROFILER_CHUNK_DATA = MakeChunkId('G', 'P', 'R', 'D'); // plain sample records
inline constexpr uint32 GPU_PROFILER_CHUNK_COMPRESSED = MakeChunkId('G', 'P', 'R', 'C'); // packed samples; commands
inline constexpr uint32 GPU_PROFILER_CHUNK_TEXTURES = MakeChunkId('G', 'P', 'R', 'T'); // texture list
inline constexpr uint32 GPU_PROFILER_CHUNK_BUFFERS = MakeChunkId('G', 'P', 'R', 'B'); // buffer list

static_assert(GPU_PROFILER_CHUNK_FRAME == 0x47505246);
static_assert(GPU_PROFILER_CHUNK_DATA == 0x47505244);
static_assert(GPU_PROFILER_CHUNK_COMPRESSED == 0x47505243);
static_assert(GPU_PROFILER_CHUNK_TEXTURES == 0x47505254);
static_assert(GPU_PROFILER_CHUNK_BUFFERS == 0x47505242);

// Every profiler chunk carries this version, in both directions.
inline constexpr uint16 GPU_PROFILER_CHUNK_VERSION = 1;

enum GpuProfilerCommand : uint32
{
    GPU_PROFILER_COMMAND_WINDOW_OPEN = 0, // value 1: a profiler window is open; 0: it closed
    GPU_PROFILER_COMMAND_PIPELINE_FLUSHING = 1, // value: the flushing choice, 0 or 1
    // The plug-in always sends these two together, 4 first; the target answers with its
    // texture list (GPRT) and its buffer list (GPRB).
    GPU_PROFILER_COMMAND_TEXTURE_LIST = 4,
    GPU_PROFILER_COMMAND_BUFFER_LIST = 6,
};

// A command to the target, the whole payload of its GPRC chunk: the code as a big-endian u32,
// the value as a big-endian u64.
inline constexpr uint32 GPU_PROFILER_COMMAND_SIZE = 12;

struct GpuProfilerCommandRecord
{
    uint8 code[4];
    uint8 value[8];

    uint32 Code() const { return LoadBigEndian32(code); }
    uint64 Value() const { return LoadBigEndian64(value); }
    void SetCode(uint32 v) { StoreBigEndian32(code, v); }
    void SetValue(uint64 v) { StoreBigEndian64(value, v); }
};
static_assert(sizeof(GpuProfilerCommandRecord) == GPU_PROFILER_COMMAND_SIZE);
static_assert(alignof(GpuProfilerCommandRecord) == 1);
static_assert(offsetof(GpuProfilerCommandRecord, value) == 4);
