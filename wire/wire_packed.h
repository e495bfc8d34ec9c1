#pragma once
// The payload of a packed sample chunk (GPRC from a target). It starts with a little-endian
// size word: bits 0 to 30 give the size of the data after unpacking, bit 31 says that the data
// follows as it is (stored form). Without bit 31 the data is packed: a byte-oriented LZ77
// stream of literals and back-references steered by 16-bit little-endian flag words, one bit
// per token from bit 0 up (0 literal byte, 1 reference). A reference is a little-endian 16-bit
// token: bits 4 to 15 hold distance - 1 (1 to 4096 bytes back), bits 0 to 3 hold length - 3 (3
// to 18 bytes). The first flag word follows the size word; each further one sits in the stream
// where the previous sixteen tokens end and is read only when another token is needed.
//
// The unpacked data is a whole number of sample records, as in a GPRD payload.

#include "bedrock_api.h"

#include <cstddef>

// The size word.
inline constexpr uint32 kPackedSizeWordBytes = 4;
// Bit 31 of the size word: the data is stored, not packed.
inline constexpr uint32 CHUNK_STORED_FLAG = 0x80000000u;
// Bits 0 to 30 of the size word: the size of the data after unpacking, so also the largest.
inline constexpr uint32 CHUNK_DATA_SIZE_MASK = 0x7FFFFFFFu;
static_assert((CHUNK_STORED_FLAG & CHUNK_DATA_SIZE_MASK) == 0 && (CHUNK_STORED_FLAG | CHUNK_DATA_SIZE_MASK) == ~0u);

// The token stream.
inline constexpr uint32 kPackedFlagWordBytes = 2;
inline constexpr uint32 kPackedTokensPerFlagWord = 16;
inline constexpr uint32 kPackedReferenceBytes = 2;
static_assert(kPackedTokensPerFlagWord == 8 * kPackedFlagWordBytes);

// A reference's token: (distance - 1) << kPackedDistanceShift | (length - kPackedMinMatch).
inline constexpr uint32 kPackedDistanceShift = 4;
inline constexpr uint32 kPackedLengthMask = (1u << kPackedDistanceShift) - 1;
inline constexpr size_t kPackedMinMatch = 3;
inline constexpr size_t kPackedMaxMatch = kPackedMinMatch + kPackedLengthMask;
inline constexpr size_t kPackedWindowSize = size_t(1) << (8 * kPackedReferenceBytes - kPackedDistanceShift);
static_assert(kPackedMaxMatch == 18);
static_assert(kPackedWindowSize == 4096);

constexpr uint16 MakePackedReference(size_t nDistance, size_t nLength)
{
    return uint16((uint32(nDistance - 1) << kPackedDistanceShift) | uint32(nLength - kPackedMinMatch));
}
constexpr size_t PackedReferenceDistance(uint32 nToken)
{
    return size_t(nToken >> kPackedDistanceShift) + 1;
}
constexpr size_t PackedReferenceLength(uint32 nToken)
{
    return size_t(nToken & kPackedLengthMask) + kPackedMinMatch;
}
static_assert(PackedReferenceDistance(MakePackedReference(kPackedWindowSize, kPackedMaxMatch)) == kPackedWindowSize);
static_assert(PackedReferenceLength(MakePackedReference(1, kPackedMinMatch)) == kPackedMinMatch);
