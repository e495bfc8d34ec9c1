#pragma once
// The texture-list payload (GPRT) and its decoding into plain rows with their computed sizes,
// kept apart from the widget so that the same code can be tested and fuzzed without a display.
//
// The payload's layout, the 18-byte GpuTextureRecord and the flag bits are in
// wire/wire_resources.h.

#include "bedrock_api.h"
#include "growable_array.h"
#include "list_count_bound.h"
#include "payload_reader.h"
#include "resource_list_sort.h"
#include "wire_resources.h"

struct TextureListEntry
{
    GpuTextureRecord record;
    // Mip chain size times depth, on disk and resident.
    uint64 diskBytes;
    uint64 resBytes;
    // The name's bytes in the list's name pool.
    int32 nameOffset;
    int32 nameLength;
};

struct TextureList
{
    GrowableArray<TextureListEntry> entries;
    ResourceNamePool names;
    // The payload's count field: more than the rows when the list was cut.
    int32 announcedCount = 0;
    // Sums over all rows. A forged list can make them larger than 64 bits hold; they then stay
    // at the largest value instead of wrapping round to a small one.
    uint64 totalDiskBytes = 0;
    uint64 totalResBytes = 0;

    const char *Name(const TextureListEntry &entry) const { return names.At(entry.nameOffset); }
    // Exchanges the whole list with another; nothing is copied.
    void Swap(TextureList &other);
};

// a + b, or the largest 64-bit value when the sum does not fit.
inline uint64 SaturatingAdd(uint64 a, uint64 b)
{
    const uint64 nSum = a + b;
    return nSum < a ? ~uint64(0) : nSum;
}

inline constexpr uint32 kMinTextureRecordBytes = sizeof(GpuTextureRecord) + 1;

// Bytes of a texture: the 2-D mip chain times the depth (a volume's depth is not halved per
// level). A depth of 0 takes no memory.
uint64 TextureBytes(uint16 nWidth, uint16 nHeight, uint16 nDepth, uint8 nMips, int nFormat);

// Decodes a payload into pList (which is emptied first), keeping at most nMaxEntries rows.
// Returns false only when memory ran out; pList is then left empty. Malformed payloads decode
// to blank rows, as the buffer list does.
bool ParseTextureList(const void *pPayload, uint32 nSize, TextureList *pList, int32 nMaxEntries = kMaxResourceListEntries);

enum TextureColumn
{
    kTextureColName,
    kTextureColFormat,
    kTextureColType,
    kTextureColDiskDim,
    kTextureColDiskMips,
    kTextureColDiskSize,
    kTextureColResDim,
    kTextureColResMips,
    kTextureColResSize,
    kTextureColFallback,
    kTextureColRenderTarget,
    kTextureColPinned,
    kTextureColCount
};

// The "Type" column's text for a flags value: the last of 1D, 2D, VOLUME and CUBEMAP that is
// set (a texture flagged both 2D and cube map is a cube map), then " ARRAY" for an array.
// Returns its length.
int32 TextureKindText(uint32 nFlags, char *pText);

// The text of a text column (every column but the mip counts and the sizes) of an entry, as the
// list shows and sorts it, into pText, which holds kSortTextCapacity bytes; returns its length.
int32 TextureCellText(const TextureList &list, int32 nEntry, int nColumn, char *pText);

// The sort keys of a texture list's columns; usable on any thread for a list that thread owns.
class CTextureListSortKeys final : public IResourceSortKeys
{
public:
    explicit CTextureListSortKeys(const TextureList &list) : m_List(list) {}
    int32 EntryCount() const override { return m_List.entries.Count(); }
    bool SortsAsText(int nColumn) const override;
    uint64 SortNumber(int32 nEntry, int nColumn) const override;
    int32 SortText(int32 nEntry, int nColumn, char *pText) const override;

private:
    const TextureList &m_List;
};
