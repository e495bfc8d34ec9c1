#pragma once
// The unpacking of compressed sample chunks written the slow, literal way: one token at a time,
// one byte at a time, every test spelled out. DecompressChunk takes shortcuts (block moves for
// runs of literals and for references); the tests and the fuzzer hold it against this one.

#include "byte_order.h"

#include <cstddef>
#include <vector>

// The unpacked data, or false when the payload is inconsistent. A data size of 0 counts as a
// failure, as it does for the chunk protocol.
inline bool ReferenceUnpack(const uint8 *pSrc, size_t nSrcLength, size_t nCapacity, std::vector<uint8> &out)
{
    out.clear();
    if (nSrcLength < 4)
        return false;
    const uint32 nWord = LoadLittleEndian32(pSrc);
    const size_t nDataSize = nWord & 0x7FFFFFFFu;
    if (nCapacity < nDataSize)
        return false;
    if (nWord & 0x80000000u) {
        if (nSrcLength - 4 < nDataSize)
            return false;
        out.assign(pSrc + 4, pSrc + 4 + nDataSize);
        return nDataSize != 0;
    }
    if (nSrcLength < 6 || nDataSize == 0)
        return false;
    uint32 nFlags = LoadLittleEndian16(pSrc + 4);
    int nFlagsLeft = 16;
    size_t nIn = 6;
    for (;;) {
        if (nFlagsLeft == 0) {
            if (nSrcLength - nIn < 2)
                return false;
            nFlags = LoadLittleEndian16(pSrc + nIn);
            nIn += 2;
            nFlagsLeft = 16;
        }
        if (nFlags & 1) {
            if (nSrcLength - nIn < 2)
                return false;
            const uint32 nToken = LoadLittleEndian16(pSrc + nIn);
            nIn += 2;
            const size_t nDistance = (nToken >> 4) + 1;
            const size_t nLength = (nToken & 15) + 3;
            if (nDistance > out.size() || out.size() + nLength > nDataSize)
                return false;
            for (size_t i = 0; i < nLength; ++i)
                out.push_back(out[out.size() - nDistance]);
        } else {
            if (nIn == nSrcLength)
                return false;
            out.push_back(pSrc[nIn++]);
        }
        nFlags >>= 1;
        --nFlagsLeft;
        if (out.size() == nDataSize)
            return true;
    }
}
