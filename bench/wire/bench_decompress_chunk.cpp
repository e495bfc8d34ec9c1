// Unpacking of compressed sample chunks, in MB/s of unpacked output, on realistic frames as a
// target sends them: 1,000-sample frames from the frame generator split into 64 KiB chunks of
// 160 records. Beside it, on the same bytes: memcpy (the floor of any unpacker), and LZ4's safe
// decoder on the same chunks packed by LZ4, the codec most profilers stream with. The counters
// report each codec's compression ratio on these chunks. BM_CompressChunk packs the same
// chunks as the target does.
//
//   build/release/bench/wire/bench_decompress_chunk --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include "chunk_decompression.h"
#include "frame_chunker.h"
#include "frame_generator.h"

#include <benchmark/benchmark.h>
#include <lz4.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kFrames = 8;

struct ChunkSet
{
    // Per chunk: the records as they are, our payload, LZ4's block.
    std::vector<std::vector<uint8>> plain;
    std::vector<std::vector<uint8>> packed;
    std::vector<std::vector<char>> lz4;
    size_t nPlainBytes = 0;
    size_t nPackedBytes = 0;
    size_t nLz4Bytes = 0;
    size_t nLargestChunk = 0;
};

const ChunkSet &Chunks()
{
    static const ChunkSet set = [] {
        ChunkSet s;
        CFrameGenerator generator(42);
        CFrameChunker plainChunker(SampleChunkForm::Plain, CFrameChunker::kDefaultMaxChunkSize - 4);
        CFrameChunker packedChunker(SampleChunkForm::Packed);
        for (int nFrame = 0; nFrame < kFrames; ++nFrame) {
            const TargetFrame frame = generator.NextFrame();
            std::vector<TargetChunk> plainChunks, packedChunks;
            plainChunker.SplitSamples(frame.samples.data(), frame.samples.size(), plainChunks);
            packedChunker.SplitSamples(frame.samples.data(), frame.samples.size(), packedChunks);
            for (size_t i = 0; i < plainChunks.size(); ++i) {
                const std::vector<uint8> &records = plainChunks[i].payload;
                std::vector<char> block(size_t(LZ4_compressBound(int(records.size()))));
                const int nLz4 = LZ4_compress_default(reinterpret_cast<const char *>(records.data()), block.data(), int(records.size()),
                                                      int(block.size()));
                block.resize(size_t(nLz4));
                s.nPlainBytes += records.size();
                s.nPackedBytes += packedChunks[i].payload.size();
                s.nLz4Bytes += block.size();
                s.nLargestChunk = std::max(s.nLargestChunk, records.size());
                s.plain.push_back(records);
                s.packed.push_back(std::move(packedChunks[i].payload));
                s.lz4.push_back(std::move(block));
            }
        }
        return s;
    }();
    return set;
}

void Finish(benchmark::State &state, const ChunkSet &set, size_t nWireBytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(set.nPlainBytes));
    state.counters["ratio"] = double(set.nPlainBytes) / double(nWireBytes);
    state.counters["chunks"] = double(set.plain.size());
}

void BM_DecompressChunk(benchmark::State &state)
{
    const ChunkSet &set = Chunks();
    std::vector<uint8> output(set.nLargestChunk);
    for (auto _ : state) {
        for (const std::vector<uint8> &payload : set.packed) {
            const uint32 nCapacity = ChunkDataSize(payload.data(), uint32(payload.size()));
            if (DecompressChunk(payload.data(), uint32(payload.size()), output.data(), nCapacity) != nCapacity)
                state.SkipWithError("unpacking failed");
            benchmark::DoNotOptimize(output.data());
            benchmark::ClobberMemory();
        }
    }
    Finish(state, set, set.nPackedBytes);
}

void BM_Memcpy(benchmark::State &state)
{
    const ChunkSet &set = Chunks();
    std::vector<uint8> output(set.nLargestChunk);
    for (auto _ : state) {
        for (const std::vector<uint8> &records : set.plain) {
            std::memcpy(output.data(), records.data(), records.size());
            benchmark::DoNotOptimize(output.data());
            benchmark::ClobberMemory();
        }
    }
    Finish(state, set, set.nPlainBytes);
}

void BM_Lz4DecompressSafe(benchmark::State &state)
{
    const ChunkSet &set = Chunks();
    std::vector<char> output(set.nLargestChunk);
    for (auto _ : state) {
        for (size_t i = 0; i < set.lz4.size(); ++i) {
            const int nOut = LZ4_decompress_safe(set.lz4[i].data(), output.data(), int(set.lz4[i].size()), int(set.plain[i].size()));
            if (nOut != int(set.plain[i].size()))
                state.SkipWithError("LZ4 unpacking failed");
            benchmark::DoNotOptimize(output.data());
            benchmark::ClobberMemory();
        }
    }
    Finish(state, set, set.nLz4Bytes);
}

// The packing side: what a streaming target pays per frame ("frame" is the time per
// 1,000-sample frame).
void BM_CompressChunk(benchmark::State &state)
{
    const ChunkSet &set = Chunks();
    CChunkCompressor compressor;
    std::vector<uint8> payload;
    for (auto _ : state) {
        for (const std::vector<uint8> &records : set.plain) {
            payload.clear();
            compressor.Compress(records.data(), records.size(), payload);
            benchmark::DoNotOptimize(payload.data());
        }
    }
    Finish(state, set, set.nPackedBytes);
    state.counters["frame"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_DecompressChunk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lz4DecompressSafe)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompressChunk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
