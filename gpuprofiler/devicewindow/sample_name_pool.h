#pragma once
// The distinct sample names of the recorded frames, each kept once. A frame's names repeat frame
// after frame, so a recorded sample holds a small id instead of its 255-byte name field. A name
// is the field's bytes with its trailing zero bytes cut off, so that the field comes back byte
// for byte, terminated or not. Every name counts the frames that use it and goes when the last
// of them does. No toolkit; storage from g_pMemAlloc.

#include "growable_array.h"

class CSampleNamePool
{
public:
    static constexpr uint32 kNoName = 0xFFFFFFFFu;

    CSampleNamePool() = default;
    ~CSampleNamePool() { Clear(); }
    CSampleNamePool(const CSampleNamePool &) = delete;
    CSampleNamePool &operator=(const CSampleNamePool &) = delete;

    // The id of the name pBytes[0..nLength), added when new. A name counts one more user the
    // first time a frame asks for it: nFrameStamp tells the frames apart, and *pbNewUser says
    // whether this call counted one (the frame then releases the name once when it goes).
    // kNoName when the name cannot be stored.
    uint32 Intern(const char *pBytes, uint32 nLength, uint64 nFrameStamp, bool *pbNewUser);
    // One user fewer; the name goes with its last user.
    void Release(uint32 nId);
    // The bytes of a name and their number.
    const char *Bytes(uint32 nId, uint32 *pnLength) const
    {
        const Entry &entry = m_entries[int32(nId)];
        *pnLength = entry.nLength;
        return entry.pBytes;
    }

    int32 NameCount() const { return m_nLive; }
    // Bytes held for the names and the table that finds them.
    int64 MemoryBytes() const;
    void Clear();
    // Exchanges the names with another pool; nothing is copied.
    void Swap(CSampleNamePool &other);

private:
    struct Entry
    {
        char *pBytes;
        uint32 nLength;
        uint32 nHash;
        uint32 nUsers; // 0: the id is free
        uint64 nStamp;
    };

    bool GrowTable();
    void Place(uint32 nId);

    GrowableArray<Entry> m_entries;
    GrowableArray<uint32> m_freeIds;
    // Open addressing with linear probing: ids by hash, kNoName where empty. At most half full.
    GrowableArray<uint32> m_table;
    int32 m_nLive = 0;
    int64 m_nNameBytes = 0;
};
