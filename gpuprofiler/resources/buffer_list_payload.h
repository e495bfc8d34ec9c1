#pragma once
// The buffer-list payload (GPRB) and its decoding into plain rows, kept apart from the widget so
// that the same code can be tested and fuzzed without a display.
//
// The payload's layout and the 15-byte GpuBufferRecord are in wire/wire_resources.h.

#include "bedrock_api.h"
#include "growable_array.h"
#include "list_count_bound.h"
#include "payload_reader.h"
#include "resource_list_sort.h"
#include "wire_resources.h"

// Histogram size classes: upper limits in bytes, inclusive, ascending.
inline constexpr int kBufferSizeClassCount = 14;
extern const uint64 g_BufferSizeClassLimits[kBufferSizeClassCount];

// Index of the first size class whose limit is at least nSizeBytes. Every 32-bit size has one.
int BufferSizeClass(uint32 nSizeBytes);
// "<= %d %s": the limit divided by 1024 while the quotient stays at least 1, with the unit
// "B", "KB", "MB" or "GB" by the number of divisions. Returns the characters written.
int FormatSizeClassLabel(uint64 nLimit, char *pDest, size_t nDestSize);

// Kinds counted by the histogram.
enum BufferKind : int
{
    kBufferKindVertex = 0,
    kBufferKindIndex = 1,
    kBufferKindCount = 2,
};

struct BufferListEntry
{
    GpuBufferRecord record;
    // The name's bytes in the list's name pool (at most kResourceNameCapacity - 1 of them).
    int32 nameOffset;
    int32 nameLength;
};

struct BufferList
{
    // Rows to show; their number is the payload's count, bounded as BoundedRecordCount explains.
    GrowableArray<BufferListEntry> entries;
    ResourceNamePool names;
    // The payload's count field: more than the rows when the list was cut.
    int32 announcedCount = 0;
    uint64 totalBytes = 0;
    // Buffers per size class and kind, over all rows.
    int32 classCounts[kBufferSizeClassCount][kBufferKindCount] = {};

    const char *Name(const BufferListEntry &entry) const { return names.At(entry.nameOffset); }
    // Exchanges the whole list with another; nothing is copied.
    void Swap(BufferList &other);
};

// The smallest number of bytes a well-formed record can take: the fixed part and an empty name's
// terminator.
inline constexpr uint32 kMinBufferRecordBytes = sizeof(GpuBufferRecord) + 1;

// Decodes a payload into pList (which is emptied first), keeping at most nMaxEntries rows.
// Returns false only when memory ran out; pList is then left empty. Malformed payloads are not
// failures: they decode as described at the definition.
bool ParseBufferList(const void *pPayload, uint32 nSize, BufferList *pList, int32 nMaxEntries = kMaxResourceListEntries);

enum BufferColumn
{
    kBufferColName,
    kBufferColType,
    kBufferColSize,
    kBufferColCapacity,
    kBufferColElemSize,
    kBufferColElemCount,
    kBufferColUsage,
    kBufferColCount
};

// Usage in percent, in single precision: capacity 0 makes it infinite or not a number, and it
// is shown and sorted as such.
float BufferUsage(const GpuBufferRecord &record);
// "VB" for bufferType 0, else "IB".
const char *BufferTypeText(const GpuBufferRecord &record);

// The sort keys of a buffer list's columns; usable on any thread for a list that thread owns.
class CBufferListSortKeys final : public IResourceSortKeys
{
public:
    explicit CBufferListSortKeys(const BufferList &list) : m_List(list) {}
    int32 EntryCount() const override { return m_List.entries.Count(); }
    bool SortsAsText(int nColumn) const override;
    uint64 SortNumber(int32 nEntry, int nColumn) const override;
    int32 SortText(int32 nEntry, int nColumn, char *pText) const override;

private:
    const BufferList &m_List;
};
