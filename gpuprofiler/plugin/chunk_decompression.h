#pragma once
// Unpacking of compressed sample chunks.
//
// A payload starts with a little-endian size word: bits 0 to 30 give the size of the data after
// unpacking, bit 31 says that the data follows as it is (stored form). Without bit 31 the data
// is packed: a byte-oriented LZ77 stream of literals and back-references steered by 16-bit
// little-endian flag words, one bit per token from bit 0 up (0 literal byte, 1 reference). A
// reference is a little-endian 16-bit token: bits 4 to 15 hold distance - 1 (1 to 4096 bytes
// back), bits 0 to 3 hold length - 3 (3 to 18 bytes). The first flag word follows the size word;
// each further one sits in the stream where the previous sixteen tokens end and is read only
// when another token is needed.

#include "bedrock/bedrock_api.h"

// Bit 31 of the size word: the data is stored, not packed.
inline constexpr uint32 CHUNK_STORED_FLAG = 0x80000000u;
// Bits 0 to 30 of the size word: the size of the data after unpacking.
inline constexpr uint32 CHUNK_DATA_SIZE_MASK = 0x7FFFFFFFu;

// The data size announced by a payload's size word, or 0 when the payload is too short to hold
// one.
uint32 ChunkDataSize(const void *pSource, uint32 nSourceLength);

// Unpacks pSource[0..nSourceLength) into pDest[0..nDestCapacity). Returns the data size on
// success and 0 on any inconsistency: a source too short for its size word or its first flag
// word, a data size above the capacity, stored data shorter than announced, input that ends
// while output is still due, or a reference that reaches before the start of the output or past
// the data size. A data size of 0 also gives 0.
//
// One forward pass without allocation: every read is tested against the source end and every
// write against the data size before it happens, so nothing outside pSource[0..nSourceLength)
// is read and nothing outside pDest[0..data size) is written. On failure pDest may hold
// partial output.
uint32 DecompressChunk(const void *pSource, uint32 nSourceLength, void *pDest, uint32 nDestCapacity);
