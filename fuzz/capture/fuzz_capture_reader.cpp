// The capture reader on arbitrary bytes. Besides the sanitizers, it holds the reader to its
// promises: every chunk it hands out lies inside the file and under the chunk limit, carries its
// own link header in front of the payload, and comes in file order; the reader stops for good
// after its last answer; and no g_pMemAlloc block is left once the chunks are freed.

#include "capture_reader.h"
#include "fuzz_check.h"
#include "mem_alloc.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    const int64 nLiveBefore = g_pMemAlloc->GetLiveAllocationCount();
    {
        CCaptureReader reader;
        if (reader.OpenMemory(pData, nSize, "fuzz.gpucap")) {
            Check(reader.Info().sTargetName.size() <= kCaptureMaxTargetName);
            Check(reader.Info().sWriterVersion.size() <= kCaptureMaxVersionText);
            uint64 nNextOffset = reader.Offset();
            CaptureChunk chunk;
            CCaptureReader::Result result;
            uint32 nChunks = 0;
            while ((result = reader.ReadChunk(&chunk)) == CCaptureReader::Result::Chunk) {
                ++nChunks;
                Check(chunk.nOffset == nNextOffset);
                Check(chunk.nSize <= kCaptureMaxChunkSize);
                Check(chunk.nOffset + CORVID_LINK_HEADER_SIZE + chunk.nSize <= nSize);
                const CorvidLinkHeader header = ReadCorvidLinkHeader(chunk.pBuffer);
                Check(header.nChunkId == chunk.nChunkId && header.nVersion == chunk.nVersion && header.nSize == chunk.nSize);
                Check(std::memcmp(chunk.Payload(), pData + chunk.nOffset + CORVID_LINK_HEADER_SIZE, chunk.nSize) == 0);
                nNextOffset = reader.Offset();
                g_pMemAlloc->Free(chunk.pBuffer);
            }
            Check(nChunks == reader.ChunksRead());
            Check(result == CCaptureReader::Result::End ? reader.Error().empty() : !reader.Error().empty());
            Check(!reader.IsComplete() || reader.Offset() == nSize);
            // Once it has answered End or Error, it keeps to that answer.
            Check(reader.ReadChunk(&chunk) == result);
        } else {
            Check(!reader.Error().empty());
        }
    }
    Check(g_pMemAlloc->GetLiveAllocationCount() == nLiveBefore);
    return 0;
}
