#pragma once
// What both resource-list fuzzers check of the sorting: the sorted entries are a permutation of
// the list, and each neighbouring pair is in order by a plain comparison of the column's numbers
// or texts, equal keys in entry order. One column and direction per input, picked by its size:
// sorting every column of every input would spend the fuzzer's time on sorting.

#include "resource_list_sort.h"

#include <cstring>
#include <vector>

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            __builtin_trap();                                                                                          \
    } while (0)

// <0, 0, >0 as entry a's key sorts before, with or after entry b's.
inline int CompareKeys(const IResourceSortKeys &keys, int nColumn, int32 a, int32 b)
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

inline void CheckSorting(const IResourceSortKeys &keys, int nColumns, size_t nInputSize)
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
