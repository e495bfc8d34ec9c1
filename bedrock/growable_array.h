#pragma once
// The runtime's growable array: a signed 32-bit count, the storage and a signed 32-bit
// capacity counted in elements, in that order. Storage comes from g_pMemAlloc. It grows by
// doubling; the first allocation holds one element unless more are asked for.
//
// Elements are moved by copying their bytes (on growth, removal and Swap), so an element type
// must not hold a pointer into itself. Plain records, pointers and records that hold further
// growable arrays all qualify. Elements are value-initialised (zeroed for plain records) when
// the count grows and destroyed when it shrinks.
//
// Operations that may allocate report failure by returning false (or -1 for an index) and
// leave the array as it was; nothing throws.

#include "mem_alloc.h"

#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

template <typename T> class GrowableArray
{
public:
    constexpr GrowableArray() = default;
    ~GrowableArray() { Purge(); }

    GrowableArray(const GrowableArray &) = delete;
    GrowableArray &operator=(const GrowableArray &) = delete;

    int32 Count() const { return m_nCount; }
    int32 Capacity() const { return m_nCapacity; }
    bool IsEmpty() const { return m_nCount == 0; }
    T *Base() { return m_pData; }
    const T *Base() const { return m_pData; }
    T &operator[](int32 i) { return m_pData[i]; }
    const T &operator[](int32 i) const { return m_pData[i]; }
    T *begin() { return m_pData; }
    T *end() { return m_pData + m_nCount; }
    const T *begin() const { return m_pData; }
    const T *end() const { return m_pData + m_nCount; }

    // Capacity becomes at least nCapacity; when it has to grow it becomes exactly nCapacity.
    bool EnsureCapacity(int32 nCapacity)
    {
        if (nCapacity <= m_nCapacity)
            return true;
        return Reallocate(nCapacity);
    }

    // Count becomes nCount (negative counts as 0). Growth doubles the capacity as needed.
    bool SetCount(int32 nCount)
    {
        if (nCount < 0)
            nCount = 0;
        if (nCount > m_nCount) {
            if (!GrowFor(nCount))
                return false;
            for (int32 i = m_nCount; i < nCount; ++i)
                new (static_cast<void *>(m_pData + i)) T();
        } else {
            DestroyRange(nCount, m_nCount);
        }
        m_nCount = nCount;
        return true;
    }

    // Count becomes at least nCount.
    bool EnsureCount(int32 nCount) { return nCount <= m_nCount || SetCount(nCount); }

    // Appends a value-initialised element; returns its index, or -1 when storage ran out.
    int32 AddToTail()
    {
        if (m_nCount == std::numeric_limits<int32>::max() || !GrowFor(m_nCount + 1))
            return -1;
        new (static_cast<void *>(m_pData + m_nCount)) T();
        return m_nCount++;
    }

    int32 AddToTail(const T &value)
    {
        if (m_nCount == std::numeric_limits<int32>::max() || !GrowFor(m_nCount + 1))
            return -1;
        new (static_cast<void *>(m_pData + m_nCount)) T(value);
        return m_nCount++;
    }

    // Removes element i; every later element moves down one place, so order is kept.
    void Remove(int32 i)
    {
        if (i < 0 || i >= m_nCount)
            return;
        m_pData[i].~T();
        const int32 nAfter = m_nCount - i - 1;
        if (nAfter > 0)
            std::memmove(static_cast<void *>(m_pData + i), static_cast<const void *>(m_pData + i + 1), size_t(nAfter) * sizeof(T));
        --m_nCount;
    }

    // Count 0; the storage is kept for reuse.
    void RemoveAll() { SetCount(0); }

    // Count 0 and the storage released.
    void Purge()
    {
        DestroyRange(0, m_nCount);
        g_pMemAlloc->Free(m_pData);
        m_pData = nullptr;
        m_nCount = 0;
        m_nCapacity = 0;
    }

    // Exchanges count, storage and capacity with another array; nothing is copied.
    void Swap(GrowableArray &other)
    {
        std::swap(m_nCount, other.m_nCount);
        std::swap(m_pData, other.m_pData);
        std::swap(m_nCapacity, other.m_nCapacity);
    }

private:
    static constexpr int32 kMaxCount = std::numeric_limits<int32>::max();

    bool GrowFor(int32 nNeeded)
    {
        if (nNeeded <= m_nCapacity)
            return true;
        int64 nNew = m_nCapacity == 0 ? nNeeded : m_nCapacity;
        while (nNew < nNeeded)
            nNew *= 2;
        if (nNew > kMaxCount)
            nNew = kMaxCount;
        return Reallocate(int32(nNew));
    }

    bool Reallocate(int32 nCapacity)
    {
        if (nCapacity <= 0 || uint64(nCapacity) > std::numeric_limits<size_t>::max() / sizeof(T))
            return false;
        void *pNew = g_pMemAlloc->Realloc(m_pData, size_t(nCapacity) * sizeof(T));
        if (!pNew)
            return false;
        m_pData = static_cast<T *>(pNew);
        m_nCapacity = nCapacity;
        return true;
    }

    void DestroyRange(int32 nFirst, int32 nEnd)
    {
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (int32 i = nFirst; i < nEnd; ++i)
                m_pData[i].~T();
        }
    }

    int32 m_nCount = 0;
    T *m_pData = nullptr;
    int32 m_nCapacity = 0;
};
