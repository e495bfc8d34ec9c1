// libFuzzer target: the texture-list decoder that the "Textures" tab runs on every GPRT
// payload, with the memory arithmetic of every record and the sorting of its columns. Besides
// the sanitizers' checks it asserts the row count bounded by the payload and by the entry cap
// (with a second decode under a small cap taken from the input's size), names inside the pool,
// totals that are the sums of the sizes or, past 64 bits, the largest value, correct sorting
// of a column, and that nothing stays allocated afterwards.

#include "image_format_info.h"
#include "list_count_bound.h"
#include "mem_alloc.h"
#include "payload_reader.h"
#include "sort_check.h"
#include "texture_list_payload.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize > 0xffffffffu)
        return 0;
    const int64 nLiveBefore = g_pMemAlloc->GetLiveAllocationCount();
    {
        TextureList list;
        const bool bParsed = ParseTextureList(pData, uint32(nSize), &list);
        FUZZ_CHECK(bParsed);
        const int64 nMaxRows = int64(nSize > 4 ? (nSize - 4) / kMinTextureRecordBytes : 0) + kMaxRowsPastPayload;
        FUZZ_CHECK(list.entries.Count() <= nMaxRows);
        FUZZ_CHECK(list.names.Bytes() <= int64(nSize));

        uint64 nDisk = 0;
        uint64 nResident = 0;
        for (const TextureListEntry &entry : list.entries) {
            FUZZ_CHECK(entry.nameLength >= 0 && uint32(entry.nameLength) < kResourceNameCapacity);
            FUZZ_CHECK(entry.nameOffset >= 0 && int64(entry.nameOffset) + entry.nameLength <= list.names.Bytes());
            const GpuTextureRecord &rec = entry.record;
            // The largest texture there can be: 65535 x 65535 x 65535 at 16 bytes a pixel,
            // with its whole mip chain (less than 4/3 of the first level).
            constexpr uint64 kLargest = 16ull * 65535 * 65535 * 65535 / 3 * 4 + 16ull * 65535 * 32;
            FUZZ_CHECK(entry.diskBytes <= kLargest && entry.resBytes <= kLargest);
            FUZZ_CHECK(entry.diskBytes == TextureBytes(rec.DiskWidth(), rec.DiskHeight(), rec.DiskDepth(), rec.diskMips, rec.Format()));
            FUZZ_CHECK((FindImageFormatInfo(rec.Format()) != nullptr) == (rec.Format() >= -1 && rec.Format() <= 91));
            nDisk = SaturatingAdd(nDisk, entry.diskBytes);
            nResident = SaturatingAdd(nResident, entry.resBytes);
            FUZZ_CHECK(list.totalDiskBytes >= entry.diskBytes && list.totalResBytes >= entry.resBytes);
        }
        FUZZ_CHECK(nDisk == list.totalDiskBytes && nResident == list.totalResBytes);
        FUZZ_CHECK(list.entries.Count() == BoundedRecordCount(list.announcedCount, uint32(nSize), kMinTextureRecordBytes));

        const int32 nSmallCap = int32(nSize % 61);
        TextureList cut;
        FUZZ_CHECK(ParseTextureList(pData, uint32(nSize), &cut, nSmallCap));
        FUZZ_CHECK(cut.entries.Count() == (nSmallCap < list.entries.Count() ? nSmallCap : list.entries.Count()));
        FUZZ_CHECK(cut.announcedCount == list.announcedCount);

        CheckSorting(CTextureListSortKeys(list), kTextureColCount, nSize);
    }
    FUZZ_CHECK(g_pMemAlloc->GetLiveAllocationCount() == nLiveBefore);
    return 0;
}
