#pragma once
// Packs sample records into the payload of a compressed sample chunk (GPRC): a little-endian
// size word (bits 0 to 30 the data size, bit 31 set for data that follows as it is), then either
// the data itself or an LZ77 stream of literals and back-references steered by 16-bit flag
// words. References reach at most 4096 bytes back and copy 3 to 18 bytes.
//
// The match finder keeps a hash chain over the last 4096 bytes: every position is entered under
// the hash of its next three bytes, and each candidate remembers the previous position with the
// same hash. A lazy step looks one byte ahead before taking a match, which pays on sample
// records, where a shorter match often hides a longer one at the next byte (names that share a
// prefix, zero counters that follow a short value).
//
// The compressor owns its tables and reuses them from call to call; one compressor serves one
// thread.

#include "bedrock/bedrock_api.h"

#include <cstddef>
#include <vector>

class CChunkCompressor
{
public:
    static constexpr size_t kWindowSize = 4096;
    static constexpr size_t kMinMatch = 3;
    static constexpr size_t kMaxMatch = 18;
    // The size word has 31 bits for the data size.
    static constexpr size_t kMaxDataSize = 0x7FFFFFFF;
    static constexpr int kDefaultChainLength = 32;

    enum class Form
    {
        Auto,   // packed when that is smaller than the data, stored otherwise
        Packed, // always packed, even when it does not pay (tests and seed corpora)
        Stored, // always stored
    };

    // nMaxChainLength bounds the candidates tried per position: longer chains find longer
    // matches in repetitive data at the cost of time.
    explicit CChunkCompressor(int nMaxChainLength = kDefaultChainLength);

    // Appends the payload for pData[0..nSize) to out. Returns false, and leaves out as it was,
    // when nSize does not fit the size word.
    bool Compress(const void *pData, size_t nSize, std::vector<uint8> &out, Form form = Form::Auto);

    // The largest payload that Compress can make for nSize bytes in Form::Auto.
    static size_t MaxPayloadSize(size_t nSize) { return 4 + nSize; }

private:
    struct Match
    {
        size_t nLength = 0;
        size_t nDistance = 0;
    };

    // Appends the packed stream for the data to out; the size word is already there.
    void Pack(const uint8 *pData, size_t nSize, std::vector<uint8> &out);
    Match FindMatch(const uint8 *pData, size_t nSize, size_t nPos) const;
    void Insert(const uint8 *pData, size_t nPos);

    static constexpr int kHashBits = 14;

    int m_nMaxChainLength;
    // Most recent position for each hash, and for each position in the window the previous
    // position with the same hash; -1 for none.
    std::vector<int32> m_head;
    std::vector<int32> m_prev;
};
