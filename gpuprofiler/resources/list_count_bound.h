#pragma once
// How many rows a resource list makes of the record count at the start of its payload.
//
// The count is the target's word, and a list normally shows exactly that many rows: records
// that the payload no longer holds (a list cut short on the way) appear as blank rows. Taken
// blindly, though, a count of 2^31 - 1 in a 20-byte payload would build two billion blank rows.
//
// The rule: a well-formed record can never be shorter than its fixed part plus the terminator
// of an empty name, so a payload of n bytes holds at most (n - 4) / minimum records. On top of
// those, at most kMaxRowsPastPayload blank rows are made for records that lie past the end. A
// list that was cut short therefore still shows its full count unless more than that many
// records are missing beyond what its bytes could have held, and a forged count costs at most
// one row per minimum record size plus this allowance: memory and time stay proportional to
// the payload.

#include "bedrock/bedrock_api.h"

inline constexpr int32 kMaxRowsPastPayload = 1024;

// Rows to make for nCount (the payload's count field) in a payload of nPayloadSize bytes whose
// records take at least nMinRecordBytes each. Negative counts make no rows.
inline int32 BoundedRecordCount(int32 nCount, uint32 nPayloadSize, uint32 nMinRecordBytes)
{
    if (nCount <= 0)
        return 0;
    const uint32 nRecordBytes = nPayloadSize > 4 ? nPayloadSize - 4 : 0;
    const int64 nLimit = int64(nRecordBytes / nMinRecordBytes) + kMaxRowsPastPayload;
    return nCount < nLimit ? nCount : int32(nLimit);
}

