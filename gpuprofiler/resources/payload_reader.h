#pragma once
// Sequential reader over a received resource-list payload. It borrows the bytes, never writes
// them and never reads outside them. The first read that cannot be satisfied sets a sticky
// failed flag; every later read then yields zeros or empty strings, so a parser can run its
// normal loop over a short payload and simply get blank records.

#include "bedrock_api.h"
#include "growable_array.h"

// Both resource lists copy at most this many bytes of a name, terminator included.
inline constexpr uint32 kResourceNameCapacity = 1024;

class PayloadReader
{
public:
    PayloadReader(const void *pData, uint32 nSize);

    // The next 4 bytes as a signed 32-bit little-endian integer; 0 (and failed) when fewer
    // remain.
    int32 ReadInt32();
    // All or nothing: copies nBytes into pDest, or copies nothing and fails.
    bool ReadBytes(void *pDest, uint32 nBytes);
    // A NUL-terminated string into pDest[0..nCapacity). Longer strings are cut to
    // nCapacity - 1 bytes and the rest of them is skipped, so the next read starts after the
    // string. A string that runs to the end of the payload yields what is there and fails the
    // reader. Returns the number of bytes stored, without the terminator.
    uint32 ReadString(char *pDest, uint32 nCapacity);

    bool Failed() const { return m_bFailed; }
    uint32 Position() const { return m_nPosition; }
    uint32 Size() const { return m_nSize; }
    uint32 Remaining() const { return m_nSize - m_nPosition; }
    // The unread bytes, for callers that want to look at a string before copying it.
    const uint8 *Current() const { return m_pData + m_nPosition; }

private:
    const uint8 *m_pData;
    uint32 m_nSize;
    uint32 m_nPosition = 0;
    bool m_bFailed = false;
};

// A list's names, one after the other without terminators; each row keeps its name's offset and
// length. Room for the whole pool is made once, before the rows: the names can never take more
// bytes than the payload has left.
class ResourceNamePool
{
public:
    // Empties the pool and makes room for nBytes; false when the memory cannot be had.
    bool Reset(uint32 nBytes);
    // Reads the next name (cut to kResourceNameCapacity - 1 bytes) into the pool and stores where
    // it lies; false only when the pool cannot hold it.
    bool ReadName(PayloadReader &reader, int32 *pOffset, int32 *pLength);
    void Purge() { m_names.Purge(); }
    void Swap(ResourceNamePool &other) { m_names.Swap(other.m_names); }
    const char *At(int32 nOffset) const { return m_names.Base() + nOffset; }
    int32 Bytes() const { return m_names.Count(); }

private:
    GrowableArray<char> m_names;
};
