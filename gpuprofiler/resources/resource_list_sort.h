#pragma once
// Sorting a decoded resource list: every entry in the order of one column. The lists can hold
// a million entries (see list_count_bound.h), so sorting compares plain keys, never variants,
// and runs on any thread over a list that thread owns: a worker sorts a new list before it is
// shown. Nothing here needs the toolkit, so the fuzz targets drive it on hostile payloads.

#include "bedrock_api.h"
#include "growable_array.h"

// The sort keys of a decoded list, column by column. Implementations only read the list, so a
// worker thread can sort a list that it decoded itself.
class IResourceSortKeys
{
public:
    virtual int32 EntryCount() const = 0;
    virtual bool SortsAsText(int nColumn) const = 0;
    // A number that orders as the column's values do.
    virtual uint64 SortNumber(int32 nEntry, int nColumn) const = 0;
    // The column's text as the list shows it (8-bit, without terminator) written to pText,
    // which holds kSortTextCapacity bytes; returns its length.
    virtual int32 SortText(int32 nEntry, int nColumn, char *pText) const = 0;

protected:
    ~IResourceSortKeys() = default;
};

inline constexpr int32 kSortTextCapacity = 1024;

// Every entry of the list in the order of nColumn (ascending, or descending), into pSorted.
// Equal keys keep the entries' own order in both directions, as a stable sort of the rows
// would; a column below 0 leaves the entries in their own order. Texts compare by their bytes,
// which orders 8-bit text exactly as comparing it case-sensitively as text does. False when
// memory ran out (pSorted is then undefined).
bool SortEntries(const IResourceSortKeys &keys, int nColumn, bool bDescending, GrowableArray<int32> *pSorted);

// A resource's name as the lists show and sort it ("<unnamed>" when empty) into pText, which
// holds kSortTextCapacity bytes; returns its length.
int32 CopyShownName(const char *pName, int32 nLength, char *pText);

// A float's sort number: ordered as the values are, with not-a-number below everything.
uint64 FloatSortNumber(float flValue);

// Shown for a resource whose name is empty.
inline constexpr char kUnnamedText[] = "<unnamed>";
