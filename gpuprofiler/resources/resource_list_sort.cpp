#include "resource_list_sort.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

struct NumberKey
{
    uint64 nKey;
    int32 nEntry;
};

// A text key: eight of its bytes as one big-endian number, and where the whole text lies in
// the key pool. Texts are sorted eight bytes at a time: first by their first eight bytes, then
// each run of texts that share those by the next eight, and so on. Almost every comparison is
// then between two numbers in the key array, and the pool is read once per text and level
// rather than at random on every comparison (names of one folder share long prefixes).
struct TextKey
{
    uint64 nChunk;
    int32 nOffset;
    int32 nLength;
    int32 nEntry;
};

// Bytes nDepth to nDepth + 7 of a text, zero past its end. Texts hold no NUL byte, so the zero
// padding of a text that ends sorts before any byte that a longer text goes on with.
uint64 TextChunk(const char *pText, int32 nLength, int32 nDepth)
{
    uint64 nChunk = 0;
    for (int32 i = nDepth; i < nDepth + 8; ++i)
        nChunk = (nChunk << 8) | (i < nLength ? uint8(pText[i]) : 0);
    return nChunk;
}

// Sorts keys that share their first nDepth bytes and hold the chunk at nDepth.
void SortTextKeys(TextKey *pBegin, TextKey *pEnd, int32 nDepth, const char *pPool, bool bDescending)
{
    std::sort(pBegin, pEnd, [bDescending](const TextKey &a, const TextKey &b) {
        if (a.nChunk != b.nChunk)
            return bDescending ? a.nChunk > b.nChunk : a.nChunk < b.nChunk;
        return a.nEntry < b.nEntry;
    });
    // Texts with equal chunks are equal up to here. Where none goes on past the chunk they are
    // equal texts, left in entry order; otherwise the run is sorted by the next chunk (a text
    // that ends at the chunk's end then has the chunk 0, before every text that goes on).
    const int32 nNext = nDepth + 8;
    for (TextKey *pRun = pBegin; pRun != pEnd;) {
        TextKey *pRunEnd = pRun + 1;
        bool bGoesOn = pRun->nLength > nNext;
        for (; pRunEnd != pEnd && pRunEnd->nChunk == pRun->nChunk; ++pRunEnd)
            bGoesOn = bGoesOn || pRunEnd->nLength > nNext;
        if (pRunEnd - pRun > 1 && bGoesOn) {
            for (TextKey *pKey = pRun; pKey != pRunEnd; ++pKey)
                pKey->nChunk = TextChunk(pPool + pKey->nOffset, pKey->nLength, nNext);
            SortTextKeys(pRun, pRunEnd, nNext, pPool, bDescending);
        }
        pRun = pRunEnd;
    }
}

bool SortByNumber(const IResourceSortKeys &keys, int nColumn, bool bDescending, int32 *pEntries, int32 nCount)
{
    GrowableArray<NumberKey> sortKeys;
    if (!sortKeys.SetCount(nCount))
        return false;
    for (int32 i = 0; i < nCount; ++i)
        sortKeys[i] = {keys.SortNumber(i, nColumn), i};
    std::sort(sortKeys.begin(), sortKeys.end(), [bDescending](const NumberKey &a, const NumberKey &b) {
        if (a.nKey != b.nKey)
            return bDescending ? a.nKey > b.nKey : a.nKey < b.nKey;
        return a.nEntry < b.nEntry;
    });
    for (int32 i = 0; i < nCount; ++i)
        pEntries[i] = sortKeys[i].nEntry;
    return true;
}

bool SortByText(const IResourceSortKeys &keys, int nColumn, bool bDescending, int32 *pEntries, int32 nCount)
{
    GrowableArray<TextKey> sortKeys;
    GrowableArray<char> pool;
    if (!sortKeys.SetCount(nCount) || !pool.EnsureCapacity(nCount > 0 ? nCount * 16 : 1))
        return false;
    char szText[kSortTextCapacity];
    for (int32 i = 0; i < nCount; ++i) {
        const int32 nLength = std::clamp(keys.SortText(i, nColumn, szText), 0, kSortTextCapacity);
        const int32 nOffset = pool.Count();
        if (!pool.SetCount(nOffset + nLength))
            return false;
        std::memcpy(pool.Base() + nOffset, szText, size_t(nLength));
        sortKeys[i] = {TextChunk(szText, nLength, 0), nOffset, nLength, i};
    }
    SortTextKeys(sortKeys.begin(), sortKeys.end(), 0, pool.Base(), bDescending);
    for (int32 i = 0; i < nCount; ++i)
        pEntries[i] = sortKeys[i].nEntry;
    return true;
}

} // namespace

bool SortEntries(const IResourceSortKeys &keys, int nColumn, bool bDescending, GrowableArray<int32> *pSorted)
{
    const int32 nCount = keys.EntryCount();
    if (!pSorted->SetCount(nCount))
        return false;
    int32 *pEntries = pSorted->Base();
    if (nColumn < 0) {
        for (int32 i = 0; i < nCount; ++i)
            pEntries[i] = i;
        return true;
    }
    return keys.SortsAsText(nColumn) ? SortByText(keys, nColumn, bDescending, pEntries, nCount)
                                     : SortByNumber(keys, nColumn, bDescending, pEntries, nCount);
}

uint64 FloatSortNumber(float flValue)
{
    if (std::isnan(flValue))
        return 0;
    if (flValue == 0.0f)
        flValue = 0.0f; // -0 equals 0
    // Positive floats order as their bit patterns do; negative ones in reverse, below them.
    const uint32 nBits = std::bit_cast<uint32>(flValue);
    const uint32 nOrdered = (nBits & 0x80000000u) ? ~nBits : (nBits | 0x80000000u);
    return uint64(nOrdered) + 1;
}

int32 CopyShownName(const char *pName, int32 nLength, char *pText)
{
    if (nLength <= 0) {
        pName = kUnnamedText;
        nLength = int32(sizeof(kUnnamedText) - 1);
    }
    nLength = std::min(nLength, kSortTextCapacity);
    std::memcpy(pText, pName, size_t(nLength));
    return nLength;
}
