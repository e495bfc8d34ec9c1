#include "murmur_hash2.h"

uint32 MurmurHash2(const void *pKey, int nLength, uint32 nSeed)
{
    constexpr uint32 m = 0x5bd1e995;
    constexpr int r = 24;

    const auto *pData = static_cast<const unsigned char *>(pKey);
    uint32 h = nSeed ^ uint32(nLength);
    int nLeft = nLength;

    while (nLeft >= 4) {
        uint32 k = uint32(pData[0]) | (uint32(pData[1]) << 8) | (uint32(pData[2]) << 16) | (uint32(pData[3]) << 24);
        k *= m;
        k ^= k >> r;
        k *= m;
        h *= m;
        h ^= k;
        pData += 4;
        nLeft -= 4;
    }

    switch (nLeft) {
    case 3:
        h ^= uint32(pData[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= uint32(pData[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= uint32(pData[0]);
        h *= m;
        break;
    default:
        break;
    }

    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}
