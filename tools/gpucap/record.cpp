// gpucap record: connects to a target as the console does, opens a profiler stream as a new
// profiler window does (pipeline flushing, then window open), asks once for the resource lists,
// and writes every complete frame into the capture as it is assembled, so a run that ends early
// keeps what it had. Closing sends what a closing window sends.

#include "capture_frames.h"
#include "capture_writer.h"
#include "console_link.h"
#include "gpucap.h"
#include "target_command.h"
#include "wire_profiler.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How long the target may take to answer our hello, as the console allows.
constexpr int kHelloTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;
// The closing commands are worth a short wait, not more: the target may be gone.
constexpr int kDrainTimeoutMs = 1000;

void SendCommand(CConsoleLink &link, uint32 nCode, uint64 nValue)
{
    const std::vector<uint8> payload = EncodeTargetCommand(nCode, nValue);
    link.Send(GPU_PROFILER_CHUNK_COMPRESSED, GPU_PROFILER_CHUNK_VERSION, payload.data(), uint32(payload.size()));
}

class CRecorder
{
public:
    explicit CRecorder(const RecordOptions &options) : m_options(options), m_link("gpucap") {}

    int Run();

private:
    int Fail(const std::string &sWhy);
    bool WaitForHello();
    void Take(const ReceivedChunk &chunk);
    void Keep(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount);
    void CloseStream();
    std::string Address() const { return m_options.sHost + ":" + std::to_string(m_options.nPort); }

    const RecordOptions &m_options;
    CConsoleLink m_link;
    CCaptureWriter m_writer;
    CFrameAssembler m_assembler;
    uint32 m_nFrames = 0;
    uint32 m_nLists = 0;
    std::set<std::string> m_otherSwapChains;
    Clock::time_point m_lastFrame;
};

int CRecorder::Fail(const std::string &sWhy)
{
    std::fprintf(stderr, "gpucap: %s\n", sWhy.c_str());
    if (m_writer.IsOpen()) {
        CloseStream();
        const bool bClosed = m_writer.Close();
        std::fprintf(stderr, "gpucap: %s keeps the %u complete frames recorded (of %u wanted)%s\n", m_options.sOutput.c_str(), m_nFrames,
                     m_options.nFrames, bClosed ? "" : (", but: " + m_writer.Error()).c_str());
    }
    return GPUCAP_EXIT_FAILED;
}

bool CRecorder::WaitForHello()
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHelloTimeoutMs);
    while (m_link.IsOpen() && !m_link.IsReady() && Clock::now() < deadline && !GpucapStopRequested())
        m_link.Poll(50, nullptr);
    return m_link.IsReady();
}

void CRecorder::CloseStream()
{
    // What a closing profiler window sends: flushing off, then window closed.
    if (!m_link.IsReady())
        return;
    SendCommand(m_link, GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, 0);
    SendCommand(m_link, GPU_PROFILER_COMMAND_WINDOW_OPEN, 0);
    m_link.Drain(kDrainTimeoutMs);
    m_link.Close();
}

void CRecorder::Keep(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount)
{
    if (m_nFrames >= m_options.nFrames)
        return;
    if (!m_options.sSwapChain.empty() && header.SwapChainName() != m_options.sSwapChain) {
        m_otherSwapChains.insert(std::string(header.SwapChainName()));
        return;
    }
    if (m_writer.AppendFrame(header, pSamples, nCount)) {
        ++m_nFrames;
        m_lastFrame = Clock::now();
    }
}

void CRecorder::Take(const ReceivedChunk &chunk)
{
    switch (chunk.nChunkId) {
    case GPU_PROFILER_CHUNK_TEXTURES:
    case GPU_PROFILER_CHUNK_BUFFERS:
        if (m_writer.AppendChunk(chunk.nChunkId, chunk.nVersion, chunk.payload.data(), uint32(chunk.payload.size())))
            ++m_nLists;
        break;
    default:
        // A frame goes into the capture once the assembler has all of it, so that a run that
        // ends mid-frame keeps only whole frames.
        if (TakeFrameChunk(m_assembler, chunk.nChunkId, chunk.nVersion, uint32(chunk.payload.size()), chunk.payload.data()))
            Keep(m_assembler.frameHeader, m_assembler.samples.Base(), size_t(m_assembler.samplesReceived));
        break;
    }
}

int CRecorder::Run()
{
    if (!m_link.Connect(m_options.sHost, m_options.nPort, kConnectTimeoutMs))
        return Fail("cannot reach the target at " + Address() + ": " + m_link.Error());
    if (!WaitForHello()) {
        if (GpucapStopRequested())
            return Fail("interrupted before the target answered");
        return Fail(m_link.IsOpen()
                        ? "the target at " + Address() + " did not say hello within " + std::to_string(kHelloTimeoutMs / 1000) + " s"
                        : "the target at " + Address() + " closed the link before its hello (" + m_link.Error() +
                            "); is another console connected to it?");
    }

    CaptureInfo info;
    info.sTargetName = m_link.TargetName();
    info.nTakenAtUs = CaptureTimeNow();
    info.sWriterVersion = std::string("gpucap ") + ProductVersion();
    if (!m_writer.Open(m_options.sOutput, info)) {
        CloseStream();
        return Fail(m_writer.Error());
    }

    // What a new profiler window sends, then the resource window's request, once.
    SendCommand(m_link, GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, m_options.bPipelineFlushing ? 1 : 0);
    SendCommand(m_link, GPU_PROFILER_COMMAND_WINDOW_OPEN, 1);
    SendCommand(m_link, GPU_PROFILER_COMMAND_TEXTURE_LIST, 0);
    SendCommand(m_link, GPU_PROFILER_COMMAND_BUFFER_LIST, 0);
    if (!m_options.bQuiet)
        std::fprintf(stderr, "gpucap: recording %u frames from \"%s\" at %s into %s\n", m_options.nFrames, info.sTargetName.c_str(),
                     Address().c_str(), m_options.sOutput.c_str());

    m_lastFrame = Clock::now();
    std::vector<ReceivedChunk> received;
    while (m_nFrames < m_options.nFrames) {
        received.clear();
        m_link.Poll(50, &received);
        for (const ReceivedChunk &chunk : received)
            Take(chunk);
        if (!m_writer.Error().empty())
            return Fail(m_writer.Error());
        if (m_nFrames >= m_options.nFrames)
            break;
        if (!m_link.IsOpen())
            return Fail("the target \"" + info.sTargetName + "\" went away (" + m_link.Error() + ") after " + std::to_string(m_nFrames) +
                        " frames");
        if (GpucapStopRequested())
            return Fail("interrupted after " + std::to_string(m_nFrames) + " frames");
        if (Clock::now() - m_lastFrame > std::chrono::milliseconds(m_options.nIdleTimeoutMs)) {
            std::string sWhy = "no frame";
            if (!m_options.sSwapChain.empty()) {
                sWhy += " of swap chain \"" + m_options.sSwapChain + "\"";
                if (!m_otherSwapChains.empty()) {
                    sWhy += " (the target sends";
                    for (const std::string &sName : m_otherSwapChains)
                        sWhy += " \"" + sName + "\"";
                    sWhy += ")";
                }
            }
            char seconds[32];
            std::snprintf(seconds, sizeof(seconds), " for %g s", m_options.nIdleTimeoutMs / 1000.0);
            return Fail(sWhy + seconds);
        }
    }

    CloseStream();
    if (!m_writer.Close())
        return Fail(m_writer.Error());
    if (!m_options.bQuiet)
        std::fprintf(stderr, "gpucap: recorded %u frames and %u resource lists into %s (%.1f MB)\n", m_nFrames, m_nLists,
                     m_options.sOutput.c_str(), double(m_writer.BytesWritten()) / (1024.0 * 1024.0));
    return GPUCAP_EXIT_DONE;
}

} // namespace

int RunRecord(const RecordOptions &options)
{
    CRecorder recorder(options);
    return recorder.Run();
}
