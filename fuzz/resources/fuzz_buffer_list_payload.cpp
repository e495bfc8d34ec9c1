// libFuzzer target: the buffer-list decoder that the "GPU Buffers" tab runs on every GPRB
// payload, and the sorting of its columns. Besides the sanitizers' checks it asserts what the
// widget relies on: the row count is bounded by the payload and by the entry cap (the input is
// decoded again with a small cap taken from its size, so that the cut is reached at any
// length), every name lies inside the name pool and fits a list cell, the histogram counts
// cover every row once, a column sorts correctly, and nothing stays allocated
// afterwards.

#include "buffer_list_payload.h"
#include "list_count_bound.h"
#include "mem_alloc.h"
#include "payload_reader.h"
#include "sort_check.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize > 0xffffffffu)
        return 0;
    const int64 nLiveBefore = g_pMemAlloc->GetLiveAllocationCount();
    {
        BufferList list;
        const bool bParsed = ParseBufferList(pData, uint32(nSize), &list);
        FUZZ_CHECK(bParsed);
        const int64 nMaxRows = int64(nSize > 4 ? (nSize - 4) / kMinBufferRecordBytes : 0) + kMaxRowsPastPayload;
        FUZZ_CHECK(list.entries.Count() <= nMaxRows);
        FUZZ_CHECK(list.names.Bytes() <= int64(nSize));

        int64 nCounted = 0;
        for (const auto &row : list.classCounts)
            for (int32 nCount : row)
                nCounted += nCount;
        FUZZ_CHECK(nCounted == list.entries.Count());

        uint64 nBytes = 0;
        for (const BufferListEntry &entry : list.entries) {
            FUZZ_CHECK(entry.nameLength >= 0 && uint32(entry.nameLength) < kResourceNameCapacity);
            FUZZ_CHECK(entry.nameOffset >= 0 && int64(entry.nameOffset) + entry.nameLength <= list.names.Bytes());
            for (int32 i = 0; i < entry.nameLength; ++i)
                FUZZ_CHECK(list.Name(entry)[i] != '\0');
            nBytes += entry.record.SizeBytes();
        }
        FUZZ_CHECK(nBytes == list.totalBytes);
        FUZZ_CHECK(list.entries.Count() == BoundedRecordCount(list.announcedCount, uint32(nSize), kMinBufferRecordBytes));

        const int32 nSmallCap = int32(nSize % 61);
        BufferList cut;
        FUZZ_CHECK(ParseBufferList(pData, uint32(nSize), &cut, nSmallCap));
        FUZZ_CHECK(cut.entries.Count() == (nSmallCap < list.entries.Count() ? nSmallCap : list.entries.Count()));
        FUZZ_CHECK(cut.announcedCount == list.announcedCount);
        for (int32 i = 0; i < cut.entries.Count(); ++i)
            FUZZ_CHECK(std::memcmp(&cut.entries[i].record, &list.entries[i].record, sizeof(GpuBufferRecord)) == 0);

        CheckSorting(CBufferListSortKeys(list), kBufferColCount, nSize);
    }
    FUZZ_CHECK(g_pMemAlloc->GetLiveAllocationCount() == nLiveBefore);
    return 0;
}
