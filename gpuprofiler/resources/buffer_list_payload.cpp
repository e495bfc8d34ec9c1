#include "buffer_list_payload.h"

#include "list_count_bound.h"
#include "payload_reader.h"
#include "str_tools.h"

#include <cstring>
#include <utility>

const uint64 g_BufferSizeClassLimits[kBufferSizeClassCount] = {
    256, 1024, 4096, 8192, 16384, 32768, 65536, 131072, 262144, 524288, 1048576, 2097152, 4194304, uint64(1) << 32,
};

int BufferSizeClass(uint32 nSizeBytes)
{
    for (int i = 0; i < kBufferSizeClassCount; ++i) {
        if (g_BufferSizeClassLimits[i] >= nSizeBytes)
            return i;
    }
    return kBufferSizeClassCount - 1; // unreachable: the last limit is above every 32-bit size
}

int FormatSizeClassLabel(uint64 nLimit, char *pDest, size_t nDestSize)
{
    static const char *const s_Units[] = {"B", "KB", "MB", "GB"};
    constexpr int kLastUnit = int(sizeof(s_Units) / sizeof(s_Units[0])) - 1;
    int nUnit = 0;
    // Stops at gigabytes: there is no larger unit to name, so larger limits stay in GB.
    while (nUnit < kLastUnit && (nLimit >> 10) >= 1) {
        nLimit >>= 10;
        ++nUnit;
    }
    return StrFormat(pDest, nDestSize, "<= %d %s", int(nLimit), s_Units[nUnit]);
}

void BufferList::Swap(BufferList &other)
{
    entries.Swap(other.entries);
    names.Swap(other.names);
    std::swap(announcedCount, other.announcedCount);
    std::swap(totalBytes, other.totalBytes);
    std::swap(classCounts, other.classCounts);
}

bool ParseBufferList(const void *pPayload, uint32 nSize, BufferList *pList, int32 nMaxEntries)
{
    pList->entries.RemoveAll();
    pList->totalBytes = 0;
    std::memset(pList->classCounts, 0, sizeof(pList->classCounts));

    PayloadReader reader(pPayload, nSize);
    pList->announcedCount = reader.ReadInt32();
    const int32 nRows = BoundedRecordCount(pList->announcedCount, reader.Size(), kMinBufferRecordBytes, nMaxEntries);
    // Both arrays are sized once: the rows by the bounded count, the names by the bytes left,
    // which their bytes can never exceed.
    if (!pList->entries.EnsureCapacity(nRows) || !pList->names.Reset(reader.Remaining())) {
        pList->entries.Purge();
        pList->names.Purge();
        return false;
    }

    for (int32 nRow = 0; nRow < nRows; ++nRow) {
        BufferListEntry entry = {};
        // A record past the end of the payload stays all zeros and its name empty.
        reader.ReadBytes(&entry.record, sizeof(entry.record));
        if (!pList->names.ReadName(reader, &entry.nameOffset, &entry.nameLength)) {
            pList->entries.Purge();
            pList->names.Purge();
            return false;
        }
        pList->entries.AddToTail(entry); // within the capacity reserved above

        const uint32 nBytes = entry.record.SizeBytes();
        pList->totalBytes += nBytes;
        const int nKind = entry.record.bufferType == 0 ? kBufferKindVertex : kBufferKindIndex;
        ++pList->classCounts[BufferSizeClass(nBytes)][nKind];
    }
    return true;
}

float BufferUsage(const GpuBufferRecord &record)
{
    return float(record.ElemCount()) / float(record.Capacity()) * 100.0f;
}

const char *BufferTypeText(const GpuBufferRecord &record)
{
    return record.bufferType == 0 ? "VB" : "IB";
}

bool CBufferListSortKeys::SortsAsText(int nColumn) const
{
    return nColumn == kBufferColName || nColumn == kBufferColType;
}

uint64 CBufferListSortKeys::SortNumber(int32 nEntry, int nColumn) const
{
    const GpuBufferRecord &rec = m_List.entries[nEntry].record;
    switch (nColumn) {
    case kBufferColSize:
        return rec.SizeBytes();
    case kBufferColCapacity:
        return rec.Capacity();
    case kBufferColElemSize:
        return rec.ElemSize();
    case kBufferColElemCount:
        return rec.ElemCount();
    case kBufferColUsage:
        return FloatSortNumber(BufferUsage(rec));
    default:
        return 0;
    }
}

int32 CBufferListSortKeys::SortText(int32 nEntry, int nColumn, char *pText) const
{
    const BufferListEntry &entry = m_List.entries[nEntry];
    if (nColumn == kBufferColName)
        return CopyShownName(m_List.Name(entry), entry.nameLength, pText);
    std::memcpy(pText, BufferTypeText(entry.record), 2);
    return 2;
}
