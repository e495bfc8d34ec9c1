// A demo target: a stand-in for a game that streams the profiler realistic GPU frames while a
// profiler window is open for it, and answers the resource-list requests.
//
//   gpuprofiler-demo-target [--port 29100] [--name "Demo Game"] [--fps 60] [--gpu-ms 14] [--samples 400]
//                           [--swapchains 2] [--plain | --packed] [--max-chunk 65536] [--textures 800]
//                           [--buffers 1500] [--slow-pass PASS=FACTOR] [--run-for seconds] [--loopback] [--quiet]
//                           [--help]
//
// Frames take turns on the swap chains and carry about --samples samples (a tenth more or fewer
// from frame to frame) over shadow, reflection, main, post-processing and UI views. Sample chunks
// go out plain and packed by turns unless --plain or --packed picks one form. The profiler's
// pipeline flushing command is obeyed: while it is on, every sample leaves an idle bubble on the
// GPU and frames take longer. --slow-pass makes one pass slower on purpose ("Shadow=2" doubles the
// time of every shadow sample; "Main/Opaque=1.5" one layer), for checking regression tools.

#include "chunk_compressor.h"
#include "frame_chunker.h"
#include "frame_generator.h"
#include "resource_lists.h"
#include "target_command.h"
#include "target_link.h"
#include "wire_link.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t s_bStop = 0;

void OnSignal(int)
{
    s_bStop = 1;
}

struct Options
{
    uint16 nPort = 29100;
    std::string sName = "Demo Game";
    double flFps = 60.0;
    double flGpuMs = 14.0;
    uint32 nSamples = 400;
    int nSwapChains = 2;
    SampleChunkForm form = SampleChunkForm::Mixed;
    size_t nMaxChunk = CFrameChunker::kDefaultMaxChunkSize;
    int nTextures = 800;
    int nBuffers = 1500;
    double flRunFor = 0.0;
    std::string sSlowPass;
    double flSlowFactor = 1.0;
    bool bLoopback = false;
    bool bQuiet = false;
};

void Usage(std::FILE *pFile)
{
    std::fprintf(pFile,
                 "usage: gpuprofiler-demo-target [--port N] [--name TEXT] [--fps N] [--gpu-ms N] [--samples N] [--swapchains N]\n"
                 "                               [--plain | --packed] [--max-chunk BYTES] [--textures N] [--buffers N]\n"
                 "                               [--slow-pass PASS=FACTOR] [--run-for SECONDS] [--loopback] [--quiet] [--help]\n"
                 "defaults: port 29100, 60 fps, 14 GPU ms, 400 samples (+-10 %%), 2 swap chains,\n"
                 "          plain and packed sample chunks by turns, 65536-byte chunks\n"
                 "--slow-pass Shadow=2 doubles the GPU time of every sample of the view Shadow\n"
                 "          (Main/Opaque=1.5: one layer), to check that a regression shows\n");
}

enum class ParseResult
{
    Run,
    Help,
    Bad,
};

ParseResult ParseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string sArg = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        const char *pszValue = nullptr;
        if (sArg == "--help" || sArg == "-h")
            return ParseResult::Help;
        else if (sArg == "--plain")
            options.form = SampleChunkForm::Plain;
        else if (sArg == "--packed")
            options.form = SampleChunkForm::Packed;
        else if (sArg == "--loopback")
            options.bLoopback = true;
        else if (sArg == "--quiet")
            options.bQuiet = true;
        else if (!(pszValue = value()))
            return ParseResult::Bad;
        else if (sArg == "--port")
            options.nPort = uint16(std::atoi(pszValue));
        else if (sArg == "--name")
            options.sName = pszValue;
        else if (sArg == "--fps")
            options.flFps = std::max(0.1, std::atof(pszValue));
        else if (sArg == "--gpu-ms")
            options.flGpuMs = std::max(0.0, std::atof(pszValue));
        else if (sArg == "--samples")
            options.nSamples = uint32(std::max(0, std::atoi(pszValue)));
        else if (sArg == "--swapchains")
            options.nSwapChains = std::max(1, std::atoi(pszValue));
        else if (sArg == "--max-chunk")
            options.nMaxChunk = size_t(std::max(1, std::atoi(pszValue)));
        else if (sArg == "--textures")
            options.nTextures = std::max(0, std::atoi(pszValue));
        else if (sArg == "--buffers")
            options.nBuffers = std::max(0, std::atoi(pszValue));
        else if (sArg == "--run-for")
            options.flRunFor = std::atof(pszValue);
        else if (sArg == "--slow-pass") {
            const std::string sPass = pszValue;
            const size_t nEquals = sPass.rfind('=');
            if (nEquals == 0 || nEquals == std::string::npos || std::atof(pszValue + nEquals + 1) <= 0.0)
                return ParseResult::Bad;
            options.sSlowPass = sPass.substr(0, nEquals);
            options.flSlowFactor = std::atof(pszValue + nEquals + 1);
        } else
            return ParseResult::Bad;
    }
    return ParseResult::Run;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    switch (ParseOptions(argc, argv, options)) {
    case ParseResult::Run:
        break;
    case ParseResult::Help:
        Usage(stdout);
        return 0;
    case ParseResult::Bad:
        Usage(stderr);
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CTargetLink link(options.sName);
    std::string sError;
    if (!link.Listen(options.nPort, options.bLoopback, &sError)) {
        std::fprintf(stderr, "demo target: cannot listen on port %u: %s\n", options.nPort, sError.c_str());
        return 1;
    }
    std::printf("demo target \"%s\" listening on port %u\n", options.sName.c_str(), link.Port());
    if (!options.sSlowPass.empty())
        std::printf("pass \"%s\" made %g times slower\n", options.sSlowPass.c_str(), options.flSlowFactor);
    std::fflush(stdout);

    FrameGeneratorOptions generatorOptions;
    generatorOptions.nSampleCount = options.nSamples;
    generatorOptions.nSampleCountVariation = 10;
    generatorOptions.nSwapChains = options.nSwapChains;
    generatorOptions.flFrameInterval = 1.0 / options.flFps;
    // A game at about 70 frames per second on the GPU, with the odd slow frame.
    generatorOptions.flGpuFrameTime = options.flGpuMs / 1000.0;
    generatorOptions.sSlowPass = options.sSlowPass;
    generatorOptions.flSlowFactor = options.flSlowFactor;
    CFrameGenerator generator(1, generatorOptions);
    CFrameChunker chunker(options.form, options.nMaxChunk);
    const std::vector<uint8> textureList = EncodeTextureList(MakeDemoTextures(options.nTextures, 17));
    const std::vector<uint8> bufferList = EncodeBufferList(MakeDemoBuffers(options.nBuffers, 29));

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto frameInterval = std::chrono::duration<double>(1.0 / options.flFps);
    auto nextFrame = start;
    auto nextReport = start + std::chrono::seconds(1);
    bool bWindowOpen = false;
    uint64 nFramesSent = 0, nFramesSkipped = 0, nBytesSent = 0;
    TargetFrame frame;
    std::vector<TargetChunk> chunks;
    std::vector<ReceivedChunk> received;

    while (!s_bStop) {
        const auto now = Clock::now();
        if (options.flRunFor > 0 && now - start > std::chrono::duration<double>(options.flRunFor))
            break;
        const int nWaitMs = int(std::max<int64>(0, std::chrono::duration_cast<std::chrono::milliseconds>(nextFrame - now).count()));
        received.clear();
        link.Poll(std::min(nWaitMs, 50), &received);

        // A console that comes or goes has no window for us yet; the next window sends its own
        // flushing choice when it opens.
        if (link.TakeNewConsole()) {
            bWindowOpen = false;
            generator.SetPipelineFlushing(false);
            if (!options.bQuiet)
                std::printf("console connected\n");
        }
        if (!link.IsConnected()) {
            bWindowOpen = false;
            generator.SetPipelineFlushing(false);
        }
        for (const ReceivedChunk &chunk : received) {
            TargetCommand command;
            if (chunk.nChunkId != GPU_PROFILER_CHUNK_COMPRESSED ||
                !DecodeTargetCommand(chunk.payload.data(), chunk.payload.size(), &command))
                continue;
            if (!options.bQuiet)
                std::printf("command %u (%s) = %llu\n", command.nCode, TargetCommandName(command.nCode),
                            static_cast<unsigned long long>(command.nValue));
            switch (command.nCode) {
            case GPU_PROFILER_COMMAND_WINDOW_OPEN:
                bWindowOpen = command.nValue != 0;
                break;
            case GPU_PROFILER_COMMAND_TEXTURE_LIST:
                link.Send(GPU_PROFILER_CHUNK_TEXTURES, GPU_PROFILER_CHUNK_VERSION, textureList.data(), uint32(textureList.size()));
                break;
            case GPU_PROFILER_COMMAND_BUFFER_LIST:
                link.Send(GPU_PROFILER_CHUNK_BUFFERS, GPU_PROFILER_CHUNK_VERSION, bufferList.data(), uint32(bufferList.size()));
                break;
            case GPU_PROFILER_COMMAND_PIPELINE_FLUSHING:
                if (generator.PipelineFlushing() != (command.nValue != 0)) {
                    generator.SetPipelineFlushing(command.nValue != 0);
                    if (!options.bQuiet)
                        std::printf("pipeline flushing %s\n",
                                    generator.PipelineFlushing() ? "on: the GPU drains after every sample" : "off");
                }
                break;
            default:
                break; // unknown codes are not ours to answer
            }
        }

        if (Clock::now() >= nextFrame) {
            nextFrame += std::chrono::duration_cast<Clock::duration>(frameInterval);
            // A target that fell far behind starts afresh rather than sending a burst.
            if (Clock::now() - nextFrame > std::chrono::seconds(1))
                nextFrame = Clock::now();
            if (bWindowOpen && link.IsConnected()) {
                generator.NextFrame(frame);
                chunks.clear();
                chunker.Split(frame, chunks);
                size_t nFrameBytes = 0;
                for (const TargetChunk &chunk : chunks)
                    nFrameBytes += chunk.payload.size() + CORVID_LINK_HEADER_SIZE;
                // A whole frame or nothing: half a frame would only be dropped by the profiler.
                if (link.QueuedBytes() + nFrameBytes > CTargetLink::MaxQueuedBytes()) {
                    ++nFramesSkipped;
                } else {
                    for (const TargetChunk &chunk : chunks)
                        link.Send(chunk.nChunkId, GPU_PROFILER_CHUNK_VERSION, chunk.payload.data(), uint32(chunk.payload.size()));
                    ++nFramesSent;
                    nBytesSent += nFrameBytes;
                }
            }
        }

        if (!options.bQuiet && Clock::now() >= nextReport) {
            nextReport += std::chrono::seconds(1);
            if (bWindowOpen)
                std::printf("%llu frames sent (%llu skipped), %.1f MB\n", static_cast<unsigned long long>(nFramesSent),
                            static_cast<unsigned long long>(nFramesSkipped), double(nBytesSent) / (1024.0 * 1024.0));
            std::fflush(stdout);
        }
    }
    std::printf("demo target done: %llu frames sent, %llu skipped\n", static_cast<unsigned long long>(nFramesSent),
                static_cast<unsigned long long>(nFramesSkipped));
    return 0;
}
