#include "mem_alloc.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Each block carries its size in front of it so that the live-byte counter can be kept
// exact. 16 bytes keep the returned pointer aligned for any fundamental type.
constexpr size_t kHeaderSize = 16;

class CStdMemAlloc final : public IMemAlloc
{
public:
    void *Alloc(size_t nSize) override
    {
        if (TooLarge(nSize))
            return nullptr;
        auto *pBlock = static_cast<unsigned char *>(std::malloc(kHeaderSize + nSize));
        if (!pBlock)
            return nullptr;
        std::memcpy(pBlock, &nSize, sizeof(nSize));
        m_nLiveBlocks.fetch_add(1, std::memory_order_relaxed);
        m_nLiveBytes.fetch_add(int64(nSize), std::memory_order_relaxed);
        m_nTotalAllocations.fetch_add(1, std::memory_order_relaxed);
        return pBlock + kHeaderSize;
    }

    void *Realloc(void *pMem, size_t nSize) override
    {
        if (!pMem)
            return Alloc(nSize);
        if (nSize == 0) {
            Free(pMem);
            return nullptr;
        }
        if (TooLarge(nSize))
            return nullptr;
        unsigned char *pBlock = static_cast<unsigned char *>(pMem) - kHeaderSize;
        size_t nOld;
        std::memcpy(&nOld, pBlock, sizeof(nOld));
        auto *pNew = static_cast<unsigned char *>(std::realloc(pBlock, kHeaderSize + nSize));
        if (!pNew)
            return nullptr;
        std::memcpy(pNew, &nSize, sizeof(nSize));
        m_nLiveBytes.fetch_add(int64(nSize) - int64(nOld), std::memory_order_relaxed);
        return pNew + kHeaderSize;
    }

    void Free(void *pMem) override
    {
        if (!pMem)
            return;
        unsigned char *pBlock = static_cast<unsigned char *>(pMem) - kHeaderSize;
        size_t nOld;
        std::memcpy(&nOld, pBlock, sizeof(nOld));
        m_nLiveBlocks.fetch_sub(1, std::memory_order_relaxed);
        m_nLiveBytes.fetch_sub(int64(nOld), std::memory_order_relaxed);
        std::free(pBlock);
    }

    int64 GetLiveAllocationCount() const override { return m_nLiveBlocks.load(std::memory_order_relaxed); }
    int64 GetLiveBytes() const override { return m_nLiveBytes.load(std::memory_order_relaxed); }
    int64 GetAllocationCount() const override { return m_nTotalAllocations.load(std::memory_order_relaxed); }
    void SetAllocationLimit(size_t nMaxBytes) override { m_nLimit.store(nMaxBytes, std::memory_order_relaxed); }

private:
    bool TooLarge(size_t nSize) const
    {
        const size_t nLimit = m_nLimit.load(std::memory_order_relaxed);
        return nSize > SIZE_MAX - kHeaderSize || (nLimit != 0 && nSize > nLimit);
    }

    std::atomic<int64> m_nLiveBlocks{0};
    std::atomic<int64> m_nLiveBytes{0};
    std::atomic<int64> m_nTotalAllocations{0};
    std::atomic<size_t> m_nLimit{0};
};

// Constant-initialised with a trivial destructor, so the allocator is usable from the first
// static constructor of any library to the last static destructor of any other.
constinit CStdMemAlloc s_MemAlloc;

} // namespace

IMemAlloc *const g_pMemAlloc = &s_MemAlloc;
