// DecompressChunk on arbitrary payloads, held against the plain reference unpacker: same
// success, same bytes. The destination is a block of exactly the capacity, so that the
// sanitizer sees any write beyond it; a second run with spare room checks that nothing beyond
// the data size is written either.

#include "chunk_decompression.h"
#include "fuzz_check.h"
#include "reference_unpacker.h"

#include <cstring>
#include <memory>

namespace {

// Announced sizes above this are tried against a small destination: the call must fail on the
// capacity before touching it, and the fuzzer need not allocate gigabytes.
constexpr uint32 kMaxCapacity = 1u << 20;
constexpr uint32 kSpare = 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize > 0xFFFFFFFFu)
        return 0;
    const uint32 nDataSize = ChunkDataSize(pData, uint32(nSize));
    const uint32 nCapacity = nDataSize <= kMaxCapacity ? nDataSize : 64;

    std::unique_ptr<uint8[]> exact(new uint8[nCapacity ? nCapacity : 1]);
    const uint32 nResult = DecompressChunk(pData, uint32(nSize), exact.get(), nCapacity);

    std::vector<uint8> expected;
    const bool bExpected = ReferenceUnpack(pData, nSize, nCapacity, expected);
    Check(bExpected == (nResult != 0));
    if (bExpected) {
        Check(nResult == nDataSize);
        Check(std::memcmp(exact.get(), expected.data(), nResult) == 0);
    }

    // With room to spare the outcome is the same, and nothing beyond the data size is
    // written, whether the call succeeds or not.
    if (nCapacity == nDataSize) {
        std::unique_ptr<uint8[]> roomy(new uint8[nCapacity + kSpare]);
        std::memset(roomy.get(), 0xEE, nCapacity + kSpare);
        Check(DecompressChunk(pData, uint32(nSize), roomy.get(), nCapacity + kSpare) == nResult);
        if (nResult)
            Check(std::memcmp(roomy.get(), exact.get(), nResult) == 0);
        for (uint32 i = nDataSize; i < nCapacity + kSpare; ++i)
            Check(roomy[i] == 0xEE);
    }
    return 0;
}
