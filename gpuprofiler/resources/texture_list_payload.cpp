#include "texture_list_payload.h"

#include "image_format_info.h"
#include "list_count_bound.h"
#include "payload_reader.h"
#include "str_tools.h"

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

int32 TextureKindText(uint32 nFlags, char *pText)
{
    const char *pKind = "";
    if (nFlags & kTextureFlag1D)
        pKind = "1D";
    if (nFlags & kTextureFlag2D)
        pKind = "2D";
    if (nFlags & kTextureFlagVolume)
        pKind = "VOLUME";
    if (nFlags & kTextureFlagCubemap)
        pKind = "CUBEMAP";
    return StrFormat(pText, kSortTextCapacity, (nFlags & kTextureFlagArray) ? "%s ARRAY" : "%s", pKind);
}

namespace {

// "%1x%2", or "%1x%2x%3" from a depth of 2 up.
int32 DimensionText(uint16 nWidth, uint16 nHeight, uint16 nDepth, char *pText)
{
    if (nDepth < 2)
        return StrFormat(pText, kSortTextCapacity, "%ux%u", unsigned(nWidth), unsigned(nHeight));
    return StrFormat(pText, kSortTextCapacity, "%ux%ux%u", unsigned(nWidth), unsigned(nHeight), unsigned(nDepth));
}

int32 FlagMark(uint32 nFlags, uint32 nFlag, char *pText)
{
    pText[0] = 'X';
    return (nFlags & nFlag) ? 1 : 0;
}

} // namespace

int32 TextureCellText(const TextureList &list, int32 nEntry, int nColumn, char *pText)
{
    const TextureListEntry &entry = list.entries[nEntry];
    const GpuTextureRecord &rec = entry.record;
    switch (nColumn) {
    case kTextureColName:
        return CopyShownName(list.Name(entry), entry.nameLength, pText);
    case kTextureColFormat:
        if (const ImageFormatInfo *pInfo = FindImageFormatInfo(rec.Format()))
            return StrFormat(pText, kSortTextCapacity, "%s", pInfo->name);
        // Outside the table: named by its number, and taking no memory (as UNKNOWN does).
        return StrFormat(pText, kSortTextCapacity, "UNKNOWN (%d)", rec.Format());
    case kTextureColType:
        return TextureKindText(rec.Flags(), pText);
    case kTextureColDiskDim:
        return DimensionText(rec.DiskWidth(), rec.DiskHeight(), rec.DiskDepth(), pText);
    case kTextureColResDim:
        return DimensionText(rec.ResWidth(), rec.ResHeight(), rec.ResDepth(), pText);
    case kTextureColFallback:
        return FlagMark(rec.Flags(), kTextureFlagFallback, pText);
    case kTextureColRenderTarget:
        return FlagMark(rec.Flags(), kTextureFlagRenderTarget, pText);
    case kTextureColPinned:
        return FlagMark(rec.Flags(), kTextureFlagPinned, pText);
    default:
        return 0;
    }
}

bool CTextureListSortKeys::SortsAsText(int nColumn) const
{
    switch (nColumn) {
    case kTextureColDiskMips:
    case kTextureColDiskSize:
    case kTextureColResMips:
    case kTextureColResSize:
        return false;
    default:
        return true;
    }
}

uint64 CTextureListSortKeys::SortNumber(int32 nEntry, int nColumn) const
{
    const TextureListEntry &entry = m_List.entries[nEntry];
    switch (nColumn) {
    case kTextureColDiskMips:
        return entry.record.diskMips;
    case kTextureColDiskSize:
        return entry.diskBytes;
    case kTextureColResMips:
        return entry.record.resMips;
    case kTextureColResSize:
        return entry.resBytes;
    default:
        return 0;
    }
}

int32 CTextureListSortKeys::SortText(int32 nEntry, int nColumn, char *pText) const
{
    return TextureCellText(m_List, nEntry, nColumn, pText);
}
