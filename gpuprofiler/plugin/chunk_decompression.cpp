#include "chunk_decompression.h"

#include "byte_order.h"

#include <bit>
#include <cstring>

namespace {

// A reference copies at most 18 bytes and a run of literals at most 16. With this much room
// left before the end of the data either may be done in fixed moves of 8 or 16 bytes: the bytes
// written beyond the token's own length lie inside the data and are overwritten by the tokens
// that follow.
constexpr ptrdiff_t kWideCopyBytes = 24;
constexpr size_t kWideCopyMinDistance = 8;
static_assert(kWideCopyBytes >= ptrdiff_t(kPackedMaxMatch) && kWideCopyBytes >= ptrdiff_t(kPackedTokensPerFlagWord));

} // namespace

uint32 ChunkDataSize(const void *pSource, uint32 nSourceLength)
{
    if (!pSource || nSourceLength < kPackedSizeWordBytes)
        return 0;
    return LoadLittleEndian32(pSource) & CHUNK_DATA_SIZE_MASK;
}

uint32 DecompressChunk(const void *pSource, uint32 nSourceLength, void *pDest, uint32 nDestCapacity)
{
    if (!pSource || nSourceLength < kPackedSizeWordBytes)
        return 0;
    const auto *pSrc = static_cast<const uint8 *>(pSource);
    const uint32 nSizeWord = LoadLittleEndian32(pSrc);
    const uint32 nDataSize = nSizeWord & CHUNK_DATA_SIZE_MASK;
    if (nDestCapacity < nDataSize || (nDataSize != 0 && !pDest))
        return 0;
    auto *pDst = static_cast<uint8 *>(pDest);

    if (nSizeWord & CHUNK_STORED_FLAG) {
        if (nSourceLength - kPackedSizeWordBytes < nDataSize)
            return 0;
        if (nDataSize != 0)
            std::memcpy(pDst, pSrc + kPackedSizeWordBytes, nDataSize);
        return nDataSize;
    }

    if (nSourceLength < kPackedSizeWordBytes + kPackedFlagWordBytes || nDataSize == 0)
        return 0;

    const uint8 *pIn = pSrc + kPackedSizeWordBytes + kPackedFlagWordBytes;
    const uint8 *const pInEnd = pSrc + nSourceLength;
    uint8 *pOut = pDst;
    uint8 *const pOutEnd = pDst + nDataSize;
    uint32 nFlags = LoadLittleEndian16(pSrc + kPackedSizeWordBytes);
    uint32 nFlagsLeft = kPackedTokensPerFlagWord;

    // Distances are compared as byte counts (pOut - pDst, pOutEnd - pOut), never by forming a
    // pointer outside the buffers.
    for (;;) {
        if (nFlagsLeft == 0) {
            if (pInEnd - pIn < ptrdiff_t(kPackedFlagWordBytes))
                return 0;
            nFlags = LoadLittleEndian16(pIn);
            pIn += kPackedFlagWordBytes;
            nFlagsLeft = kPackedTokensPerFlagWord;
        }

        if (nFlags & 1) {
            if (pInEnd - pIn < ptrdiff_t(kPackedReferenceBytes))
                return 0;
            const uint32 nToken = LoadLittleEndian16(pIn);
            pIn += kPackedReferenceBytes;
            const size_t nDistance = PackedReferenceDistance(nToken);
            const size_t nLength = PackedReferenceLength(nToken);
            if (nDistance > size_t(pOut - pDst) || nLength > size_t(pOutEnd - pOut))
                return 0;
            const uint8 *pFrom = pOut - nDistance;
            if (nDistance >= kWideCopyMinDistance && pOutEnd - pOut >= kWideCopyBytes) {
                // Each 8-byte move reads only bytes that are already final: the distance is at
                // least 8, so a move never reads what it writes itself.
                std::memcpy(pOut, pFrom, 8);
                std::memcpy(pOut + 8, pFrom + 8, 8);
                std::memcpy(pOut + 16, pFrom + 16, 8);
            } else if (nDistance == 1) {
                // A run of the previous byte, typical of zero padding.
                if (pOutEnd - pOut >= kWideCopyBytes) {
                    const uint64 nPattern = uint64(pOut[-1]) * 0x0101010101010101ull;
                    std::memcpy(pOut, &nPattern, 8);
                    std::memcpy(pOut + 8, &nPattern, 8);
                    std::memcpy(pOut + 16, &nPattern, 8);
                } else {
                    std::memset(pOut, pOut[-1], nLength);
                }
            } else {
                // Front to back, one byte at a time: an overlapping reference repeats the last
                // nDistance bytes.
                for (size_t i = 0; i < nLength; ++i)
                    pOut[i] = pFrom[i];
            }
            pOut += nLength;
        } else {
            // A run of literals: every clear flag bit up to the next reference or the end of
            // the flag word (bits above the remaining ones are already clear). Output that is
            // full ends the run early; input that ends within it is a failure, as it would be
            // one literal later.
            size_t nRun = nFlags == 0 ? nFlagsLeft : size_t(std::countr_zero(nFlags));
            if (nRun > size_t(pOutEnd - pOut))
                nRun = size_t(pOutEnd - pOut);
            if (size_t(pInEnd - pIn) < nRun)
                return 0;
            constexpr ptrdiff_t kLongestRun = kPackedTokensPerFlagWord;
            if (pInEnd - pIn >= kLongestRun && pOutEnd - pOut >= kLongestRun)
                std::memcpy(pOut, pIn, kLongestRun); // the bytes beyond the run are rewritten later
            else
                std::memcpy(pOut, pIn, nRun);
            pIn += nRun;
            pOut += nRun;
            nFlags >>= nRun;
            nFlagsLeft -= uint32(nRun);
            if (pOut == pOutEnd)
                return nDataSize;
            continue;
        }

        nFlags >>= 1;
        --nFlagsLeft;
        if (pOut == pOutEnd)
            return nDataSize;
    }
}
