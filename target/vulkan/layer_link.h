#pragma once
// The layer's end of the console link, on a thread of its own: it listens like the demo target,
// answers the console, turns commands into flags the application's threads read without a lock,
// and packs and sends the frames they hand over. The application's threads only move a finished
// frame into a short queue; packing and sending never run on them.

#include "frame_builder.h"

#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct LayerLinkOptions
{
    std::string sName; // the target name in the console's list
    uint16 nPort = 29100; // first port tried; 0 for any free one
    bool bLoopbackOnly = true;
    // Ports tried after nPort when it is taken (another application with the layer has it).
    int nPortAttempts = 16;
};

class CLayerLink
{
public:
    // Frames waiting for the sender beyond this are dropped and counted: a console that cannot
    // keep up must not make the application hold frames.
    static constexpr size_t kMaxQueuedFrames = 8;

    // Encodes the texture list (GPRT) or the buffer list (GPRB) on the sender thread.
    using ListEncoder = std::function<std::vector<uint8>(bool bTextures)>;

    CLayerLink(LayerLinkOptions options, ListEncoder encodeList, std::FILE *pLog = stderr);
    ~CLayerLink(); // stops and joins the sender thread

    CLayerLink(const CLayerLink &) = delete;
    CLayerLink &operator=(const CLayerLink &) = delete;

    // The port listened on, 0 when no port could be had.
    uint16 Port() const { return m_nPort; }

    // A profiler window is open for this target: frames are wanted.
    bool Recording() const { return m_bRecording.load(std::memory_order_relaxed); }
    bool PipelineFlushing() const { return m_bFlushing.load(std::memory_order_relaxed); }

    // Hands a finished frame to the sender; never blocks on the network.
    void QueueFrame(TargetFrame &&frame);

    uint64 FramesSent() const { return m_nFramesSent.load(); }
    uint64 FramesDropped() const { return m_nFramesDropped.load(); }

private:
    void Run();
    void HandleCommand(uint32 nCode, uint64 nValue);

    LayerLinkOptions m_Options;
    ListEncoder m_EncodeList;
    std::FILE *m_pLog;
    uint16 m_nPort = 0;
    std::atomic<bool> m_bRecording{false};
    std::atomic<bool> m_bFlushing{false};
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64> m_nFramesSent{0};
    std::atomic<uint64> m_nFramesDropped{0};
    std::mutex m_Mutex;
    std::deque<TargetFrame> m_Frames;
    class CTargetLink *m_pLink = nullptr;
    std::thread m_Thread;
};
