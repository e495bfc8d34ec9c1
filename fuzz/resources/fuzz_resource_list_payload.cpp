// libFuzzer target: the two resource-list decoders that the "GPU Buffers" and "Textures" tabs run
// on every GPRB and GPRT payload, with the memory arithmetic of every texture and the sorting of
// every column. The first byte picks the list (even: buffers, odd: textures); the rest is the
// payload. Besides the sanitizers' checks it asserts what the widgets rely on: the row count is
// what the payload's count, its size and the entry cap allow (a second decode under a small cap
// taken from the input's size keeps exactly the first rows, so that the cut is reached at any
// length); every name lies inside the name pool and fits a list cell; the histogram counts
// cover every buffer once; totals are the sums of the rows (texture totals past 2^64 the
// largest value); a column sorts into a permutation whose neighbours are in order by a plain
// comparison of their numbers or texts, equal keys in entry order; and nothing stays allocated.

#include "buffer_list_payload.h"
#include "image_format_info.h"
#include "list_count_bound.h"
#include "mem_alloc.h"
#include "resource_list_sort.h"
#include "texture_list_payload.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#define FUZZ_CHECK(condition)                                                                                                              \
  do {                                                                                                                                     \
    if (!(condition))                                                                                                                      \
      __builtin_trap();                                                                                                                    \
  } while (0)

namespace {

// <0, 0, >0 as entry a's key sorts before, with or after entry b's.
int CompareKeys(const IResourceSortKeys &keys, int nColumn, int32 a, int32 b)
{
    if (!keys.SortsAsText(nColumn)) {
        const uint64 nA = keys.SortNumber(a, nColumn), nB = keys.SortNumber(b, nColumn);
        return nA < nB ? -1 : nA > nB ? 1 : 0;
    }
    static char s_A[kSortTextCapacity], s_B[kSortTextCapacity];
    const int32 nLengthA = keys.SortText(a, nColumn, s_A), nLengthB = keys.SortText(b, nColumn, s_B);
    FUZZ_CHECK(nLengthA >= 0 && nLengthA <= kSortTextCapacity && nLengthB >= 0 && nLengthB <= kSortTextCapacity);
    const int nOrder = std::memcmp(s_A, s_B, size_t(nLengthA < nLengthB ? nLengthA : nLengthB));
    return nOrder ? nOrder : nLengthA - nLengthB;
}

// One column and direction per input, picked by its size: sorting every column of every input
// would spend the fuzzer's time on sorting.
void CheckSorting(const IResourceSortKeys &keys, int nColumns, size_t nInputSize)
{
    const int32 nCount = keys.EntryCount();
    const int nColumn = int(nInputSize % size_t(nColumns));
    const bool bDescending = (nInputSize / size_t(nColumns)) % 2 != 0;
    GrowableArray<int32> sorted;
    FUZZ_CHECK(SortEntries(keys, nColumn, bDescending, &sorted));
    FUZZ_CHECK(sorted.Count() == nCount);
    std::vector<bool> seen(size_t(nCount), false);
    for (int32 i = 0; i < nCount; ++i) {
        const int32 nEntry = sorted[i];
        FUZZ_CHECK(nEntry >= 0 && nEntry < nCount && !seen[size_t(nEntry)]);
        seen[size_t(nEntry)] = true;
        if (i == 0)
            continue;
        const int nOrder = CompareKeys(keys, nColumn, sorted[i - 1], nEntry);
        FUZZ_CHECK(bDescending ? nOrder >= 0 : nOrder <= 0);
        FUZZ_CHECK(nOrder != 0 || sorted[i - 1] < nEntry);
    }
}

// What both lists promise of their rows and names, and of a second decode under a small cap.
template <typename List, typename SortKeys>
void CheckList(const List &list, bool (*pParse)(const void *, uint32, List *, int32), const uint8 *pData, uint32 nSize,
               uint32 nMinRecordBytes, int nColumns)
{
    FUZZ_CHECK(list.entries.Count() <= int64(nSize > 4 ? (nSize - 4) / nMinRecordBytes : 0) + kMaxRowsPastPayload);
    FUZZ_CHECK(list.entries.Count() == BoundedRecordCount(list.announcedCount, nSize, nMinRecordBytes));
    FUZZ_CHECK(list.names.Bytes() <= int64(nSize));
    for (const auto &entry : list.entries) {
        FUZZ_CHECK(entry.nameLength >= 0 && uint32(entry.nameLength) < kResourceNameCapacity);
        FUZZ_CHECK(entry.nameOffset >= 0 && int64(entry.nameOffset) + entry.nameLength <= list.names.Bytes());
        FUZZ_CHECK(entry.nameLength == 0 || std::memchr(list.Name(entry), '\0', size_t(entry.nameLength)) == nullptr);
    }
    const int32 nSmallCap = int32(nSize % 61);
    List cut;
    FUZZ_CHECK(pParse(pData, nSize, &cut, nSmallCap));
    FUZZ_CHECK(cut.entries.Count() == (nSmallCap < list.entries.Count() ? nSmallCap : list.entries.Count()));
    FUZZ_CHECK(cut.announcedCount == list.announcedCount);
    for (int32 i = 0; i < cut.entries.Count(); ++i)
        FUZZ_CHECK(std::memcmp(&cut.entries[i].record, &list.entries[i].record, sizeof(list.entries[i].record)) == 0);
    CheckSorting(SortKeys(list), nColumns, nSize);
}

void CheckBuffers(const uint8 *pData, uint32 nSize)
{
    BufferList list;
    FUZZ_CHECK(ParseBufferList(pData, nSize, &list));
    CheckList<BufferList, CBufferListSortKeys>(list, ParseBufferList, pData, nSize, kMinBufferRecordBytes, kBufferColCount);
    int64 nCounted = 0;
    for (const auto &row : list.classCounts)
        for (int32 nCount : row)
            nCounted += nCount;
    FUZZ_CHECK(nCounted == list.entries.Count());
    uint64 nBytes = 0;
    for (const BufferListEntry &entry : list.entries)
        nBytes += entry.record.SizeBytes();
    FUZZ_CHECK(nBytes == list.totalBytes);
}

void CheckTextures(const uint8 *pData, uint32 nSize)
{
    TextureList list;
    FUZZ_CHECK(ParseTextureList(pData, nSize, &list));
    CheckList<TextureList, CTextureListSortKeys>(list, ParseTextureList, pData, nSize, kMinTextureRecordBytes, kTextureColCount);
    // The largest texture there can be: 65535 x 65535 x 65535 at 16 bytes a pixel, with its
    // whole mip chain (less than 4/3 of the first level).
    constexpr uint64 kLargest = 16ull * 65535 * 65535 * 65535 / 3 * 4 + 16ull * 65535 * 32;
    uint64 nDisk = 0, nResident = 0;
    for (const TextureListEntry &entry : list.entries) {
        const GpuTextureRecord &rec = entry.record;
        FUZZ_CHECK(entry.diskBytes <= kLargest && entry.resBytes <= kLargest);
        FUZZ_CHECK(entry.diskBytes == TextureBytes(rec.DiskWidth(), rec.DiskHeight(), rec.DiskDepth(), rec.diskMips, rec.Format()));
        FUZZ_CHECK((FindImageFormatInfo(rec.Format()) != nullptr) == (rec.Format() >= -1 && rec.Format() <= 91));
        nDisk = SaturatingAdd(nDisk, entry.diskBytes);
        nResident = SaturatingAdd(nResident, entry.resBytes);
    }
    FUZZ_CHECK(nDisk == list.totalDiskBytes && nResident == list.totalResBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 1 || nSize > 0xffffffffu)
        return 0;
    const int64 nLiveBefore = g_pMemAlloc->GetLiveAllocationCount();
    if (pData[0] & 1)
        CheckTextures(pData + 1, uint32(nSize - 1));
    else
        CheckBuffers(pData + 1, uint32(nSize - 1));
    FUZZ_CHECK(g_pMemAlloc->GetLiveAllocationCount() == nLiveBefore);
    return 0;
}
