#pragma once
// The input format of the chunk-sequence fuzzer: a script of chunks that a target sends. The
// seed maker writes scripts in this format and the fuzzer plays them, so both share it.
//
// Each step is an op byte, then its arguments:
//   bits 0-2  kind (ChunkScriptKind)
//   bit 3     send with version 2 instead of 1
//   bit 4     send from a connection that has no record
//   bits 5-7  a small argument, meaning depends on the kind
//
//   FRAME          count byte c. Header announcing c samples; argument 5: the largest frame a
//                  record assembles, 6: one more than that, 7: 2^32 - 1 - c.
//   RECORDS        count byte n. GPRD with n % 64 records of the record pool.
//   PACKED         count byte n. GPRC with n % 64 pool records; argument bit 0: stored form;
//                  bits 1-2 non-zero: damaged, with a LE16 position and a mask byte following.
//   RAW_DATA       LE16 length, bytes. GPRD with exactly these bytes.
//   RAW_PACKED     LE16 length, bytes. GPRC with exactly these bytes.
//   RAW_FRAME      LE16 length, bytes. GPRF with exactly these bytes.
//   LIST           LE16 length, bytes. GPRT (argument bit 0: GPRB).
//   OTHER          LE16 length, bytes. A chunk id that is not the profiler's.
//
// Arguments missing at the end of the input read as zero; a length is cut to what is left.

#include "bedrock_api.h"

enum ChunkScriptKind : uint8
{
    CHUNK_SCRIPT_FRAME = 0,
    CHUNK_SCRIPT_RECORDS = 1,
    CHUNK_SCRIPT_PACKED = 2,
    CHUNK_SCRIPT_RAW_DATA = 3,
    CHUNK_SCRIPT_RAW_PACKED = 4,
    CHUNK_SCRIPT_RAW_FRAME = 5,
    CHUNK_SCRIPT_LIST = 6,
    CHUNK_SCRIPT_OTHER = 7,
};

inline constexpr uint8 CHUNK_SCRIPT_VERSION_2 = 0x08;
inline constexpr uint8 CHUNK_SCRIPT_STRANGER = 0x10;
inline constexpr int CHUNK_SCRIPT_POOL_SIZE = 64;

constexpr uint8 ChunkScriptOp(ChunkScriptKind kind, uint8 nArgument = 0, uint8 nFlags = 0)
{
    return uint8(kind | nFlags | (nArgument << 5));
}
