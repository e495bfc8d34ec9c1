#pragma once
// Packs sample records into the payload of a packed sample chunk (GPRC, wire/wire_packed.h): the
// size word, then either the data itself or an LZ77 stream of literals and back-references.
//
// The packer is built for speed on sample records, which a streaming target packs for every
// frame: one pass, each position probed once against two candidates (the same place one
// record back, and the latest position with the same hash of its next four bytes), matches
// followed eight bytes at a time to any length and written as runs of 18-byte references.
// Each match is held back until the next one is known: when the next one can start earlier
// and take over the held match's last few bytes without needing another reference, the held
// match needs one reference less. On realistic frames this packs a little better than a
// hash-chain search of 32 candidates with a lazy step, at about six times its speed.
//
// The compressor owns its table and its stream buffer and reuses them from call to call; one
// compressor serves one thread. Each call starts afresh: the payload depends on the data
// alone.

#include "bedrock_api.h"
#include "wire_packed.h"

#include <cstddef>
#include <vector>

class CChunkCompressor
{
public:
    enum class Form
    {
        Auto, // packed when that is smaller than the data, stored otherwise
        Packed, // always packed, even when it does not pay (tests and seed corpora)
        Stored, // always stored
    };

    CChunkCompressor();

    // Appends the payload for pData[0..nSize) to out. Returns false, and leaves out as it was,
    // when nSize does not fit the size word.
    bool Compress(const void *pData, size_t nSize, std::vector<uint8> &out, Form form = Form::Auto);

    // The largest payload that Compress can make for nSize bytes in Form::Auto.
    static size_t MaxPayloadSize(size_t nSize) { return kPackedSizeWordBytes + nSize; }

private:
    // Packs the data into m_stream behind room for the size word; returns the stream's length.
    size_t Pack(const uint8 *pData, size_t nSize);

    // For each hash of four bytes, the latest position probed with those bytes.
    std::vector<uint32> m_table;
    // The payload being made, kept from call to call at the largest size needed so far.
    std::vector<uint8> m_stream;
};
