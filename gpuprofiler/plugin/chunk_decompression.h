#pragma once
// Unpacking of packed sample chunks (the payload's layout is in wire/wire_packed.h).

#include "wire_packed.h"

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
