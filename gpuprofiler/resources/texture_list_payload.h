#pragma once
// The texture-list payload (GPRT) and its decoding into plain rows with their computed sizes,
// kept apart from the widget so that the same code can be tested and fuzzed without a display.
//
// Payload: a signed 32-bit little-endian record count, then per record one 18-byte
// GpuTextureRecord (big-endian fields) immediately followed by the texture's NUL-terminated
// name.

#include "bedrock/bedrock_api.h"
#include "bedrock/byte_order.h"
#include "bedrock/growable_array.h"
#include "gpuprofiler/resources/list_count_bound.h"
#include "gpuprofiler/resources/payload_reader.h"
#include "gpuprofiler/resources/resource_list_sort.h"

// Texture flag bits.
inline constexpr uint32 kTextureFlag1D = 0x0001;
inline constexpr uint32 kTextureFlag2D = 0x0002;
inline constexpr uint32 kTextureFlagVolume = 0x0004;
inline constexpr uint32 kTextureFlagCubemap = 0x0008;
inline constexpr uint32 kTextureFlagArray = 0x0010;
inline constexpr uint32 kTextureFlagFallback = 0x0020;
inline constexpr uint32 kTextureFlagRenderTarget = 0x0040;
inline constexpr uint32 kTextureFlagNoLod = 0x0100;
inline constexpr uint32 kTextureFlagAutoGenMips = 0x0200;
inline constexpr uint32 kTextureFlagPinned = 0x0400;

struct GpuTextureRecord
{
    uint8 diskWidth[2];
    uint8 diskHeight[2];
    uint8 diskDepth[2]; // 0 or 1 for textures without depth
    uint8 resWidth[2];  // as resident on the GPU
    uint8 resHeight[2];
    uint8 resDepth[2];
    uint8 flags[2];
    uint8 diskMips;
    uint8 resMips;
    uint8 reserved;
    uint8 format; // signed: -1 is unknown

    uint16 DiskWidth() const { return LoadBigEndian16(diskWidth); }
    uint16 DiskHeight() const { return LoadBigEndian16(diskHeight); }
    uint16 DiskDepth() const { return LoadBigEndian16(diskDepth); }
    uint16 ResWidth() const { return LoadBigEndian16(resWidth); }
    uint16 ResHeight() const { return LoadBigEndian16(resHeight); }
    uint16 ResDepth() const { return LoadBigEndian16(resDepth); }
    uint16 Flags() const { return LoadBigEndian16(flags); }
    int Format() const { return int(int8(format)); }
};
static_assert(sizeof(GpuTextureRecord) == 18);
static_assert(alignof(GpuTextureRecord) == 1);

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
bool ParseTextureList(const void *pPayload, uint32 nSize, TextureList *pList,
                      int32 nMaxEntries = kMaxResourceListEntries);

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
