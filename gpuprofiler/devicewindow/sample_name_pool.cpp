#include "sample_name_pool.h"

#include "murmur_hash2.h"

#include <cstring>

namespace {

constexpr int32 kFirstTableSize = 256;

} // namespace

int64 CSampleNamePool::MemoryBytes() const
{
    return m_nNameBytes + int64(m_entries.Capacity()) * int64(sizeof(Entry)) +
        int64(m_table.Capacity() + m_freeIds.Capacity()) * int64(sizeof(uint32));
}

void CSampleNamePool::Swap(CSampleNamePool &other)
{
    m_entries.Swap(other.m_entries);
    m_freeIds.Swap(other.m_freeIds);
    m_table.Swap(other.m_table);
    std::swap(m_nLive, other.m_nLive);
    std::swap(m_nNameBytes, other.m_nNameBytes);
}

void CSampleNamePool::Clear()
{
    for (Entry &entry : m_entries)
        g_pMemAlloc->Free(entry.pBytes);
    m_entries.Purge();
    m_freeIds.Purge();
    m_table.Purge();
    m_nLive = 0;
    m_nNameBytes = 0;
}

void CSampleNamePool::Place(uint32 nId)
{
    const uint32 nMask = uint32(m_table.Count() - 1);
    uint32 nSlot = m_entries[int32(nId)].nHash & nMask;
    while (m_table[int32(nSlot)] != kNoName)
        nSlot = (nSlot + 1) & nMask;
    m_table[int32(nSlot)] = nId;
}

bool CSampleNamePool::GrowTable()
{
    const int32 nSize = m_table.Count() == 0 ? kFirstTableSize : m_table.Count() * 2;
    GrowableArray<uint32> table;
    if (nSize <= 0 || !table.SetCount(nSize))
        return false;
    for (uint32 &nSlot : table)
        nSlot = kNoName;
    m_table.Swap(table);
    for (int32 i = 0; i < m_entries.Count(); ++i) {
        if (m_entries[i].nUsers > 0)
            Place(uint32(i));
    }
    return true;
}

uint32 CSampleNamePool::Intern(const char *pBytes, uint32 nLength, uint64 nFrameStamp, bool *pbNewUser)
{
    *pbNewUser = false;
    const uint32 nHash = MurmurHash2(pBytes, int(nLength), 1);
    if (m_table.Count() > 0) {
        const uint32 nMask = uint32(m_table.Count() - 1);
        for (uint32 nSlot = nHash & nMask;; nSlot = (nSlot + 1) & nMask) {
            const uint32 nId = m_table[int32(nSlot)];
            if (nId == kNoName)
                break;
            Entry &entry = m_entries[int32(nId)];
            if (entry.nHash == nHash && entry.nLength == nLength && (nLength == 0 || std::memcmp(entry.pBytes, pBytes, nLength) == 0)) {
                if (entry.nStamp != nFrameStamp) {
                    entry.nStamp = nFrameStamp;
                    ++entry.nUsers;
                    *pbNewUser = true;
                }
                return nId;
            }
        }
    }

    if (2 * (m_nLive + 1) > m_table.Count() && !GrowTable())
        return kNoName;
    char *pCopy = nullptr;
    if (nLength > 0) {
        pCopy = static_cast<char *>(g_pMemAlloc->Alloc(nLength));
        if (!pCopy)
            return kNoName;
        std::memcpy(pCopy, pBytes, nLength);
    }
    uint32 nId;
    if (!m_freeIds.IsEmpty()) {
        nId = m_freeIds[m_freeIds.Count() - 1];
        m_freeIds.SetCount(m_freeIds.Count() - 1);
    } else {
        const int32 nNew = m_entries.AddToTail();
        if (nNew < 0) {
            g_pMemAlloc->Free(pCopy);
            return kNoName;
        }
        nId = uint32(nNew);
    }
    m_entries[int32(nId)] = Entry{pCopy, nLength, nHash, 1, nFrameStamp};
    Place(nId);
    ++m_nLive;
    m_nNameBytes += nLength;
    *pbNewUser = true;
    return nId;
}

void CSampleNamePool::Release(uint32 nId)
{
    if (nId >= uint32(m_entries.Count()))
        return;
    Entry &entry = m_entries[int32(nId)];
    if (entry.nUsers == 0 || --entry.nUsers > 0)
        return;

    // Out of the table: the entries after it in its probe run move back into the hole, so
    // that every run stays unbroken without markers for removed names.
    const uint32 nMask = uint32(m_table.Count() - 1);
    uint32 nHole = entry.nHash & nMask;
    while (m_table[int32(nHole)] != nId)
        nHole = (nHole + 1) & nMask;
    for (uint32 nNext = (nHole + 1) & nMask; m_table[int32(nNext)] != kNoName; nNext = (nNext + 1) & nMask) {
        const uint32 nHome = m_entries[int32(m_table[int32(nNext)])].nHash & nMask;
        // The entry at nNext may fill the hole if its home does not lie cyclically in (hole, next].
        const bool bStays = nHole <= nNext ? (nHome > nHole && nHome <= nNext) : (nHome > nHole || nHome <= nNext);
        if (!bStays) {
            m_table[int32(nHole)] = m_table[int32(nNext)];
            nHole = nNext;
        }
    }
    m_table[int32(nHole)] = kNoName;

    g_pMemAlloc->Free(entry.pBytes);
    m_nNameBytes -= entry.nLength;
    entry.pBytes = nullptr;
    entry.nLength = 0;
    --m_nLive;
    // A lost free id only means that the entry is not reused.
    m_freeIds.AddToTail(nId);
}
