#include "layer_link.h"

#include "frame_chunker.h"
#include "target_command.h"
#include "target_link.h"
#include "wire_link.h"

CLayerLink::CLayerLink(LayerLinkOptions options, ListEncoder encodeList, std::FILE *pLog)
    : m_Options(std::move(options)), m_EncodeList(std::move(encodeList)), m_pLog(pLog)
{
    m_pLink = new CTargetLink(m_Options.sName);
    std::string sError;
    const int nAttempts = m_Options.nPort == 0 ? 1 : m_Options.nPortAttempts;
    for (int i = 0; i < nAttempts && m_nPort == 0; ++i) {
        const uint32 nPort = uint32(m_Options.nPort) + uint32(i);
        if (nPort > 0xFFFF)
            break;
        if (m_pLink->Listen(uint16(nPort), m_Options.bLoopbackOnly, &sError))
            m_nPort = m_pLink->Port();
    }
    if (m_pLog) {
        if (m_nPort == 0)
            std::fprintf(m_pLog, "[gpuprofiler layer] no free port from %u on (%s); the profiler cannot connect\n", m_Options.nPort,
                         sError.c_str());
        else if (m_Options.nPort != 0 && m_nPort != m_Options.nPort)
            std::fprintf(m_pLog, "[gpuprofiler layer] port %u is taken; \"%s\" listens on port %u\n", m_Options.nPort,
                         m_Options.sName.c_str(), m_nPort);
        else
            std::fprintf(m_pLog, "[gpuprofiler layer] \"%s\" listens on port %u\n", m_Options.sName.c_str(), m_nPort);
        std::fflush(m_pLog);
    }
    if (m_nPort != 0)
        m_Thread = std::thread([this] { Run(); });
}

CLayerLink::~CLayerLink()
{
    m_bStop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    delete m_pLink;
}

void CLayerLink::QueueFrame(TargetFrame &&frame)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_Frames.size() >= kMaxQueuedFrames) {
            // The newest frame is what the profiler shows: the oldest waiting one goes.
            m_Frames.pop_front();
            ++m_nFramesDropped;
        }
        m_Frames.push_back(std::move(frame));
    }
}

void CLayerLink::HandleCommand(uint32 nCode, uint64 nValue)
{
    switch (nCode) {
    case GPU_PROFILER_COMMAND_WINDOW_OPEN:
        m_bRecording = nValue != 0;
        break;
    case GPU_PROFILER_COMMAND_PIPELINE_FLUSHING:
        m_bFlushing = nValue != 0;
        break;
    case GPU_PROFILER_COMMAND_TEXTURE_LIST:
    case GPU_PROFILER_COMMAND_BUFFER_LIST: {
        const bool bTextures = nCode == GPU_PROFILER_COMMAND_TEXTURE_LIST;
        const std::vector<uint8> payload = m_EncodeList ? m_EncodeList(bTextures) : std::vector<uint8>{};
        if (!payload.empty())
            m_pLink->Send(bTextures ? GPU_PROFILER_CHUNK_TEXTURES : GPU_PROFILER_CHUNK_BUFFERS, GPU_PROFILER_CHUNK_VERSION, payload.data(),
                          uint32(payload.size()));
        break;
    }
    default:
        break; // not ours to answer
    }
}

void CLayerLink::Run()
{
    CFrameChunker chunker(SampleChunkForm::Packed);
    std::vector<ReceivedChunk> received;
    std::vector<TargetChunk> chunks;
    TargetFrame frame;
    while (!m_bStop) {
        // While nobody records, the thread wakes rarely; while frames stream, often enough that
        // a frame waits a few milliseconds at most.
        received.clear();
        m_pLink->Poll(Recording() ? 2 : 50, &received);
        if (m_pLink->TakeNewConsole() || !m_pLink->IsConnected()) {
            // A console that comes or goes has no window for us yet.
            m_bRecording = false;
            m_bFlushing = false;
        }
        for (const ReceivedChunk &chunk : received) {
            TargetCommand command;
            if (chunk.nChunkId == GPU_PROFILER_CHUNK_COMPRESSED &&
                DecodeTargetCommand(chunk.payload.data(), chunk.payload.size(), &command))
                HandleCommand(command.nCode, command.nValue);
        }
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                if (m_Frames.empty())
                    break;
                frame = std::move(m_Frames.front());
                m_Frames.pop_front();
            }
            if (!Recording() || !m_pLink->IsConnected())
                continue; // the window closed while the frame waited
            chunks.clear();
            chunker.Split(frame, chunks);
            size_t nFrameBytes = 0;
            for (const TargetChunk &chunk : chunks)
                nFrameBytes += chunk.payload.size() + CORVID_LINK_HEADER_SIZE;
            // A whole frame or nothing: half a frame would only be dropped by the profiler.
            if (m_pLink->QueuedBytes() + nFrameBytes > CTargetLink::MaxQueuedBytes()) {
                ++m_nFramesDropped;
                continue;
            }
            for (const TargetChunk &chunk : chunks)
                m_pLink->Send(chunk.nChunkId, GPU_PROFILER_CHUNK_VERSION, chunk.payload.data(), uint32(chunk.payload.size()));
            ++m_nFramesSent;
        }
    }
}
