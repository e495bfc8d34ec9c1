// Sequences of chunks from a target into the subtool's OnDataReceived, as a host delivers them:
// each in a g_pMemAlloc buffer behind 12 bytes of host data. Each input opens a record, plays
// its script (chunk_script.h) and closes the record again.
//
// Besides what the sanitizers find, the run stops on a broken invariant: a record that holds
// other than the samples it counts, counts more than its frame announced or than a record
// assembles, or any g_pMemAlloc block that outlives the input.

#include "chunk_compressor.h"
#include "chunk_script.h"
#include "device_window.h"
#include "fake_host.h"
#include "frame_generator.h"
#include "fuzz_check.h"
#include "gpuprofiler_tool.h"
#include "wire_profiler.h"

#include <QApplication>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The script being played; arguments past its end read as zero.
const uint8 *s_pScript = nullptr;
size_t s_nScriptSize = 0;
size_t s_nScriptPos = 0;

uint8 ScriptByte()
{
    return s_nScriptPos < s_nScriptSize ? s_pScript[s_nScriptPos++] : 0;
}

uint16 ScriptWord()
{
    const uint8 nLow = ScriptByte();
    return uint16(nLow | (ScriptByte() << 8));
}

// A host's delivery (fake_host.h): the plug-in owns each chunk buffer from the call on.
CFakeCorvidHost s_host;
CFakeCorvidConnection s_target("Fuzzed target");
CFakeCorvidConnection s_stranger("Stranger");
std::vector<GpuSampleRecord> s_pool;
// The first n pool records packed ([n][0]) and stored ([n][1]), made once: packing under the
// sanitizers costs more than everything else an input does.
std::vector<uint8> s_packedPool[CHUNK_SCRIPT_POOL_SIZE][2];
std::vector<uint8> s_packed;

void PlayStep()
{
    const uint8 nOp = ScriptByte();
    const auto kind = ChunkScriptKind(nOp & 7);
    const uint8 nArgument = uint8(nOp >> 5);
    const uint16 nVersion = (nOp & CHUNK_SCRIPT_VERSION_2) ? 2 : GPU_PROFILER_CHUNK_VERSION;
    CFakeCorvidConnection &from = (nOp & CHUNK_SCRIPT_STRANGER) ? s_stranger : s_target;
    const auto deliver = [&from, nVersion](uint32 nChunkId, const void *pPayload, size_t nSize) {
        from.Deliver(nChunkId, QByteArray::fromRawData(static_cast<const char *>(pPayload), qsizetype(nSize)), nVersion,
                     &CGPUProfilerTool::Get());
    };
    const auto *pPool = reinterpret_cast<const uint8 *>(s_pool.data());

    switch (kind) {
    case CHUNK_SCRIPT_FRAME: {
        const uint8 nCount = ScriptByte();
        GpuFrameHeader header = MakeFrameHeader(0x1234, "Fuzz", nCount);
        if (nArgument == 5)
            header.SetSampleCount(CFrameAssembler::kMaxFrameSamples);
        else if (nArgument == 6)
            header.SetSampleCount(CFrameAssembler::kMaxFrameSamples + 1);
        else if (nArgument == 7)
            header.SetSampleCount(0xFFFFFFFFu - nCount);
        deliver(GPU_PROFILER_CHUNK_FRAME, &header, sizeof(header));
        break;
    }
    case CHUNK_SCRIPT_RECORDS: {
        const size_t nRecords = ScriptByte() % CHUNK_SCRIPT_POOL_SIZE;
        deliver(GPU_PROFILER_CHUNK_DATA, pPool, nRecords * sizeof(GpuSampleRecord));
        break;
    }
    case CHUNK_SCRIPT_PACKED: {
        const size_t nRecords = ScriptByte() % CHUNK_SCRIPT_POOL_SIZE;
        s_packed = s_packedPool[nRecords][nArgument & 1];
        if (nArgument & 6) {
            const uint16 nPosition = ScriptWord();
            const uint8 nMask = ScriptByte();
            if (!s_packed.empty())
                s_packed[nPosition % s_packed.size()] ^= nMask;
        }
        deliver(GPU_PROFILER_CHUNK_COMPRESSED, s_packed.data(), s_packed.size());
        break;
    }
    default: {
        const uint16 nLength = ScriptWord();
        const uint8 *pBytes = s_pScript + s_nScriptPos;
        const size_t nGot = std::min(size_t(nLength), s_nScriptSize - s_nScriptPos);
        s_nScriptPos += nGot;
        uint32 nId = 0;
        // A table, one chunk kind a line.
        // clang-format off
        switch (kind) {
        case CHUNK_SCRIPT_RAW_DATA: nId = GPU_PROFILER_CHUNK_DATA; break;
        case CHUNK_SCRIPT_RAW_PACKED: nId = GPU_PROFILER_CHUNK_COMPRESSED; break;
        case CHUNK_SCRIPT_RAW_FRAME: nId = GPU_PROFILER_CHUNK_FRAME; break;
        case CHUNK_SCRIPT_LIST: nId = (nArgument & 1) ? GPU_PROFILER_CHUNK_BUFFERS : GPU_PROFILER_CHUNK_TEXTURES; break;
        default: nId = MakeChunkId('G', 'P', 'R', char('a' + nArgument)); break;
        }
        // clang-format on
        deliver(nId, pBytes, nGot);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Records get device windows, which need an application object.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_argc = 1;
    static char s_name[] = "fuzz_chunk_sequence";
    static char *s_argv[] = {s_name, nullptr};
    new QApplication(s_argc, s_argv);

    FrameGeneratorOptions options;
    options.nSampleCount = CHUNK_SCRIPT_POOL_SIZE;
    s_pool = CFrameGenerator(1, options).NextFrame().samples;
    CChunkCompressor compressor;
    for (size_t n = 0; n < CHUNK_SCRIPT_POOL_SIZE; ++n) {
        compressor.Compress(s_pool.data(), n * sizeof(GpuSampleRecord), s_packedPool[n][0], CChunkCompressor::Form::Packed);
        compressor.Compress(s_pool.data(), n * sizeof(GpuSampleRecord), s_packedPool[n][1], CChunkCompressor::Form::Stored);
    }
    s_host.current = &s_target;
    CGPUProfilerTool &tool = CGPUProfilerTool::Get();
    tool.SetHost(&s_host, nullptr);
    // One record for the whole run, without its window: a record without one keeps what it
    // assembles, which is what the checks look at, and making a window per input would leave
    // the fuzzer little time for the chunks (fuzz_window_intake sends hostile frames through a
    // window). Every input starts the record afresh.
    tool.ShowForCurrentConnection();
    tool.RegisterDataTypes(&s_target);
    CGPUProfilerConnection *pRecord = tool.FindRecordByConnection(&s_target);
    Check(pRecord != nullptr);
    delete std::exchange(pRecord->window, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    CGPUProfilerTool &tool = CGPUProfilerTool::Get();
    CGPUProfilerConnection *pRecord = tool.FindRecordByConnection(&s_target);
    Check(pRecord != nullptr);
    pRecord->assembly.Reset();
    const int64 nLiveBlocks = g_pMemAlloc->GetLiveAllocationCount();

    s_pScript = pData;
    s_nScriptSize = nSize;
    s_nScriptPos = 0;
    while (s_nScriptPos < nSize) {
        PlayStep();
        pRecord = tool.FindRecordByConnection(&s_target);
        Check(pRecord != nullptr);
        Check(uint32(pRecord->assembly.samples.Count()) == pRecord->assembly.samplesReceived);
        Check(pRecord->assembly.samplesReceived <= pRecord->assembly.frameHeader.SampleCount());
        Check(pRecord->assembly.samplesReceived <= CFrameAssembler::kMaxFrameSamples);
    }

    // Every chunk buffer and unpacking buffer is gone; only the record's own array is left.
    pRecord->assembly.samples.Purge();
    Check(g_pMemAlloc->GetLiveAllocationCount() == nLiveBlocks);
    Check(tool.GetConnectionCount() == 1);
    return 0;
}
