#pragma once
// MurmurHash2, the published 32-bit variant (multiplier 0x5bd1e995, shift 24). Blocks are read
// as little-endian words whatever the machine, so a name hashes the same everywhere.

#include "bedrock_api.h"

BEDROCK_API uint32 MurmurHash2(const void *pKey, int nLength, uint32 nSeed);
