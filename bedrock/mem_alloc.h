#pragma once
// The process-wide allocator shared by the host and every plug-in. Chunk buffers cross the
// host boundary in both directions, so both sides must allocate and free through this one
// object, which lives in the bedrock shared library.

#include "bedrock_api.h"

class IMemAlloc
{
public:
    // Returns null when the memory cannot be had (or the size is above the allocation limit).
    virtual void *Alloc(size_t nSize) = 0;
    // Realloc(null, n) allocates; Realloc(p, 0) frees p and returns null. On failure the old
    // block stays valid and null is returned.
    virtual void *Realloc(void *pMem, size_t nSize) = 0;
    virtual void Free(void *pMem) = 0;

    // Live blocks and bytes right now; tests compare them before and after a scenario.
    virtual int64 GetLiveAllocationCount() const = 0;
    virtual int64 GetLiveBytes() const = 0;
    // Total number of successful allocations since start, for tests that must see that no
    // allocation happened at all.
    virtual int64 GetAllocationCount() const = 0;
    // Requests above this many bytes fail as if memory were exhausted. 0 means no limit.
    virtual void SetAllocationLimit(size_t nMaxBytes) = 0;

protected:
    ~IMemAlloc() = default;
};

BEDROCK_API extern IMemAlloc *const g_pMemAlloc;
