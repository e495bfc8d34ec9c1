#include "gpuprofiler/resources/texture_list_payload.h"

#include "gpuprofiler/resources/image_format_info.h"
#include "gpuprofiler/resources/list_count_bound.h"
#include "gpuprofiler/resources/payload_reader.h"

#include <cstring>
#include <utility>

uint64 TextureBytes(uint16 nWidth, uint16 nHeight, uint16 nDepth, uint8 nMips, int nFormat)
{
    // The product is formed in 64 bits: a texture of 2 GB or more is shown with its real size,
    // not wrapped or sign-extended into a nonsense figure.
    return TextureMipChainSize(nWidth, nHeight, nMips, nFormat) * nDepth;
}

void TextureList::Swap(TextureList &other)
{
    entries.Swap(other.entries);
    names.Swap(other.names);
    std::swap(announcedCount, other.announcedCount);
    std::swap(totalDiskBytes, other.totalDiskBytes);
    std::swap(totalResBytes, other.totalResBytes);
}

bool ParseTextureList(const void *pPayload, uint32 nSize, TextureList *pList, int32 nMaxEntries)
{
    pList->entries.RemoveAll();
    pList->totalDiskBytes = 0;
    pList->totalResBytes = 0;

    PayloadReader reader(pPayload, nSize);
    pList->announcedCount = reader.ReadInt32();
    const int32 nRows = BoundedRecordCount(pList->announcedCount, reader.Size(), kMinTextureRecordBytes, nMaxEntries);
    if (!pList->entries.EnsureCapacity(nRows) || !pList->names.Reset(reader.Remaining())) {
        pList->entries.Purge();
        pList->names.Purge();
        return false;
    }

    for (int32 nRow = 0; nRow < nRows; ++nRow) {
        TextureListEntry entry = {};
        reader.ReadBytes(&entry.record, sizeof(entry.record));
        if (!pList->names.ReadName(reader, &entry.nameOffset, &entry.nameLength)) {
            pList->entries.Purge();
            pList->names.Purge();
            return false;
        }

        const GpuTextureRecord &rec = entry.record;
        entry.diskBytes = TextureBytes(rec.DiskWidth(), rec.DiskHeight(), rec.DiskDepth(), rec.diskMips, rec.Format());
        entry.resBytes = TextureBytes(rec.ResWidth(), rec.ResHeight(), rec.ResDepth(), rec.resMips, rec.Format());
        pList->totalDiskBytes = SaturatingAdd(pList->totalDiskBytes, entry.diskBytes);
        pList->totalResBytes = SaturatingAdd(pList->totalResBytes, entry.resBytes);
        pList->entries.AddToTail(entry); // within the capacity reserved above
    }
    return true;
}
