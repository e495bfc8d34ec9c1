// One realistic 1,000-sample frame through the subtool's OnDataReceived, as the host delivers
// it: a GPRF chunk and 64 KiB sample chunks, plain (GPRD) or packed (GPRC). Each chunk reaches
// the plug-in in a g_pMemAlloc buffer that the host fills; BM_HostDelivery measures that part
// alone (allocate, copy, free), so the plug-in's own cost is the difference. The record has its
// device window, so every finished frame is handed over (and the record's array grows again for
// the next one), as in a live session; the window's timer does not run.
//
//   build/release/bench/wire/bench_frame_intake --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include "frame_chunker.h"
#include "frame_generator.h"
#include "gpuprofiler_tool.h"
#include "wire_profiler.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32 kSamples = 1000;

class CBenchConnection final : public ICorvidConnection
{
public:
    const CorvidNameHolder *GetName() override { return &m_name; }
    bool RegisterDataType(uint32, uint16, ICorvidDataReceived *) override { return true; }
    int32 GetState() override { return CORVID_CONNECTION_READY; }
    bool SendData(uint32, uint16, uint32, void *pBuffer) override
    {
        g_pMemAlloc->Free(pBuffer);
        return true;
    }
    bool IsCapture() override { return false; }

private:
    CorvidNameHolder m_name{"Benchmark target"};
};

class CBenchHost final : public ICorvidHost
{
public:
    ICorvidConnection *GetCurrentConnection() override { return &connection; }
    CBenchConnection connection;
};

CBenchHost s_host;

std::vector<TargetChunk> FrameChunks(SampleChunkForm form)
{
    FrameGeneratorOptions options;
    options.nSampleCount = kSamples;
    const TargetFrame frame = CFrameGenerator(42, options).NextFrame();
    std::vector<TargetChunk> chunks;
    CFrameChunker(form).Split(frame, chunks);
    return chunks;
}

// The host's part of a delivery: a buffer with 12 bytes of host data and the payload.
void *HostBuffer(const TargetChunk &chunk)
{
    auto *pBuffer = static_cast<uint8 *>(g_pMemAlloc->Alloc(CORVID_CHUNK_HEADER_SIZE + chunk.payload.size()));
    std::memset(pBuffer, 0, CORVID_CHUNK_HEADER_SIZE);
    std::memcpy(pBuffer + CORVID_CHUNK_HEADER_SIZE, chunk.payload.data(), chunk.payload.size());
    return pBuffer;
}

void TakeFrame(benchmark::State &state, SampleChunkForm form)
{
    const std::vector<TargetChunk> chunks = FrameChunks(form);
    size_t nWireBytes = 0;
    for (const TargetChunk &chunk : chunks)
        nWireBytes += chunk.payload.size();

    CGPUProfilerTool &tool = CGPUProfilerTool::Get();
    tool.SetHost(&s_host, nullptr);
    tool.ShowForCurrentConnection();
    ICorvidConnection *pConnection = &s_host.connection;
    for (auto _ : state) {
        for (const TargetChunk &chunk : chunks)
            tool.OnDataReceived(pConnection, chunk.nChunkId, GPU_PROFILER_CHUNK_VERSION, uint32(chunk.payload.size()), HostBuffer(chunk));
    }
    const CGPUProfilerConnection *pRecord = tool.FindRecordByConnection(pConnection);
    if (!pRecord || pRecord->assembly.samplesReceived != kSamples)
        state.SkipWithError("the frame was not assembled");
    tool.OnConnectionClosed(pConnection);
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSamples * sizeof(GpuSampleRecord)));
    state.counters["wire_bytes"] = double(nWireBytes);
    state.counters["chunks"] = double(chunks.size());
}

void BM_FrameIntakePlain(benchmark::State &state)
{
    TakeFrame(state, SampleChunkForm::Plain);
}

void BM_FrameIntakePacked(benchmark::State &state)
{
    TakeFrame(state, SampleChunkForm::Packed);
}

void HostDelivery(benchmark::State &state, SampleChunkForm form)
{
    const std::vector<TargetChunk> chunks = FrameChunks(form);
    for (auto _ : state) {
        for (const TargetChunk &chunk : chunks) {
            void *pBuffer = HostBuffer(chunk);
            benchmark::DoNotOptimize(pBuffer);
            g_pMemAlloc->Free(pBuffer);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_HostDeliveryPlain(benchmark::State &state)
{
    HostDelivery(state, SampleChunkForm::Plain);
}

void BM_HostDeliveryPacked(benchmark::State &state)
{
    HostDelivery(state, SampleChunkForm::Packed);
}

} // namespace

BENCHMARK(BM_FrameIntakePlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameIntakePacked)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostDeliveryPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostDeliveryPacked)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    // Records make device windows, which need an application object.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
