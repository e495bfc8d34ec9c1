// The target's packer and the plug-in's unpacker together: whatever the data, packing and
// unpacking gives it back byte for byte, in every form, and the automatic choice never makes
// a payload larger than storing the data would. The input is the data. One compressor packs
// every input, as a target's does chunk after chunk, and must pack each exactly as a new one
// would: nothing of an earlier chunk may leak into the next.

#include "chunk_compressor.h"
#include "chunk_decompression.h"
#include "fuzz_check.h"
#include "reference_unpacker.h"

#include <cstring>
#include <vector>

namespace {

std::vector<uint8> RoundTrip(CChunkCompressor &compressor, const uint8 *pData, size_t nSize, CChunkCompressor::Form form)
{
    std::vector<uint8> payload;
    Check(compressor.Compress(pData, nSize, payload, form));
    Check(ChunkDataSize(payload.data(), uint32(payload.size())) == nSize);
    if (form == CChunkCompressor::Form::Auto)
        Check(payload.size() <= CChunkCompressor::MaxPayloadSize(nSize));

    std::vector<uint8> output(nSize);
    const uint32 nResult = DecompressChunk(payload.data(), uint32(payload.size()), output.data(), uint32(nSize));
    // An empty chunk counts as a failure; everything else must come back.
    Check(nResult == nSize);
    Check(nSize == 0 || std::memcmp(output.data(), pData, nSize) == 0);

    std::vector<uint8> reference;
    Check(ReferenceUnpack(payload.data(), payload.size(), nSize, reference) == (nSize != 0));
    Check(reference.size() == nSize && (nSize == 0 || std::memcmp(reference.data(), pData, nSize) == 0));
    return payload;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    static CChunkCompressor s_compressor;
    for (CChunkCompressor::Form form : {CChunkCompressor::Form::Auto, CChunkCompressor::Form::Packed, CChunkCompressor::Form::Stored}) {
        const std::vector<uint8> payload = RoundTrip(s_compressor, pData, nSize, form);
        std::vector<uint8> fresh;
        CChunkCompressor().Compress(pData, nSize, fresh, form);
        Check(fresh == payload);
    }
    return 0;
}
