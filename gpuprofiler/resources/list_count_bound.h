#pragma once
// How many rows a resource list makes of the record count at the start of its payload.
//
// The count is the target's word, and a list normally shows exactly that many rows: records
// that the payload no longer holds (a list cut short on the way) appear as blank rows. Taken
// blindly, though, a count of 2^31 - 1 in a 20-byte payload would build two billion blank rows.
//
// Two bounds apply. First, a well-formed record can never be shorter than its fixed part plus
// the terminator of an empty name, so a payload of n bytes holds at most (n - 4) / minimum
// records; on top of those, at most kMaxRowsPastPayload blank rows are made for records that
// lie past the end. A list that was cut short therefore still shows its full count unless more
// than that many records are missing beyond what its bytes could have held.
//
// Second, a list keeps at most kMaxResourceListEntries entries, however large its payload. The
// link lets a chunk be 64 MiB, which holds four million minimal records; a real game holds
// tens of thousands of textures and buffers, so a million is far above any real list and
// still small enough that the decoded entries, their sort order and the view's rows stay in
// the tens of megabytes. The status line says when a list was cut.

#include "bedrock_api.h"
#include "wire_resources.h"

inline constexpr int32 kMaxRowsPastPayload = 1024;
inline constexpr int32 kMaxResourceListEntries = 1000000;

// Rows to make for nCount (the payload's count field) in a payload of nPayloadSize bytes whose
// records take at least nMinRecordBytes each, keeping at most nMaxEntries. Negative counts make
// no rows.
inline int32 BoundedRecordCount(int32 nCount, uint32 nPayloadSize, uint32 nMinRecordBytes, int32 nMaxEntries = kMaxResourceListEntries)
{
    if (nCount <= 0 || nMaxEntries <= 0)
        return 0;
    const uint32 nRecordBytes = nPayloadSize > kResourceListCountBytes ? nPayloadSize - kResourceListCountBytes : 0;
    int64 nLimit = int64(nRecordBytes / nMinRecordBytes) + kMaxRowsPastPayload;
    if (nLimit > nMaxEntries)
        nLimit = nMaxEntries;
    return nCount < nLimit ? nCount : int32(nLimit);
}
