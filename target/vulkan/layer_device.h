#pragma once
// What the layer keeps per device and per command buffer, and the device functions it calls
// down the chain. Recording (command_recorder.cpp) turns the commands an application records
// into samples bracketed by timestamp and pipeline-statistics queries; the frame collector
// (frame_collector.cpp) gathers the samples of each frame's submissions and, once the GPU has
// finished them, reads the queries without waiting and hands the frame to the link.

#include "layer_link.h"
#include "resource_tracker.h"
#include "sample_counters.h"

#include <vulkan/vk_layer.h>
#include <vulkan/vulkan.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#define GPL_DEVICE_FUNCTIONS(X)                                                                                                            \
  X(GetDeviceProcAddr)                                                                                                                     \
  X(DestroyDevice) X(GetDeviceQueue) X(GetDeviceQueue2) X(QueueSubmit) X(QueueSubmit2) X(QueuePresentKHR) X(CreateSwapchainKHR)            \
      X(DestroySwapchainKHR) X(CreateCommandPool) X(DestroyCommandPool) X(ResetCommandPool) X(AllocateCommandBuffers)                      \
          X(FreeCommandBuffers) X(BeginCommandBuffer) X(EndCommandBuffer) X(ResetCommandBuffer) X(CmdBeginRenderPass) X(CmdNextSubpass)    \
              X(CmdEndRenderPass) X(CmdBeginRenderPass2) X(CmdNextSubpass2) X(CmdEndRenderPass2) X(CmdBeginRendering) X(CmdEndRendering)   \
                  X(CmdExecuteCommands) X(CmdBindPipeline) X(CmdSetPrimitiveTopology) X(CmdDraw) X(CmdDrawIndexed) X(CmdDrawIndirect)      \
                      X(CmdDrawIndexedIndirect) X(CmdDrawIndirectCount) X(CmdDrawIndexedIndirectCount) X(CmdDispatch)                      \
                          X(CmdDispatchIndirect) X(CmdClearColorImage) X(CmdClearDepthStencilImage) X(CmdClearAttachments)                 \
                              X(CmdResolveImage) X(CmdCopyBuffer) X(CmdCopyImage) X(CmdBlitImage) X(CmdCopyBufferToImage)                  \
                                  X(CmdCopyImageToBuffer) X(CmdUpdateBuffer) X(CmdFillBuffer) X(CmdBeginDebugUtilsLabelEXT)                \
                                      X(CmdEndDebugUtilsLabelEXT) X(CmdDebugMarkerBeginEXT) X(CmdDebugMarkerEndEXT)                        \
                                          X(SetDebugUtilsObjectNameEXT) X(DebugMarkerSetObjectNameEXT) X(CreateGraphicsPipelines)          \
                                              X(DestroyPipeline) X(CreateBuffer) X(DestroyBuffer) X(CreateImage) X(DestroyImage)           \
                                                  X(CreateQueryPool) X(DestroyQueryPool) X(GetQueryPoolResults) X(ResetQueryPool)          \
                                                      X(CmdResetQueryPool) X(CmdWriteTimestamp) X(CmdBeginQuery) X(CmdEndQuery)            \
                                                          X(CmdPipelineBarrier)

struct DeviceDispatch
{
#define GPL_DECLARE(name) PFN_vk##name name = nullptr;
    GPL_DEVICE_FUNCTIONS(GPL_DECLARE)
#undef GPL_DECLARE
};

// Samples per query block: a command buffer takes blocks as it needs them and keeps them for
// its next recording.
inline constexpr uint32 kQueryBlockSamples = 64;
// A frame is cut after this many samples, and so is one command buffer's recording; what is
// cut is counted and logged. Big enough for the heaviest real frames, small enough that one
// frame stays about a hundred megabytes on the wire. GPUPROFILER_MAX_FRAME_SAMPLES may lower it
// (for smaller frames on the wire, and for tests).
inline constexpr uint32 kMaxLayerFrameSamples = 262144;
uint32 MaxFrameSamples();
// A frame whose query results are not in after this many later frames is dropped, not waited
// for: the GPU is far behind, or the application never waited for its work.
inline constexpr uint32 kMaxFrameAge = 4;
// Command buffers recorded before the profiler opened are timed whole by two small command
// buffers of ours around them; this many pairs per queue family at most.
inline constexpr uint32 kMaxWrapperSlots = 64;
inline constexpr uint32 kNoQuery = 0xFFFFFFFFu;

struct DeviceState;
struct CommandBufferState;
struct PendingFrame;

struct QueryBlock
{
    VkQueryPool hTimestamps = VK_NULL_HANDLE;
    VkQueryPool hStats = VK_NULL_HANDLE;
};

struct RecordedSample
{
    GpuSampleRecord record{}; // name and counters; the times come from the queries
    double flCpuStart = 0.0; // seconds on the steady clock
    uint32 nQuery = kNoQuery; // slot in the command buffer's query blocks
    // Set instead of a sample: the secondary command buffer executed at this point, and the
    // labels the primary had open around it.
    std::shared_ptr<CommandBufferState> pSecondary;
    std::vector<std::string> outerLabels;
};

struct CommandBufferState
{
    DeviceState *pDevice = nullptr;
    VkCommandBuffer hHandle = VK_NULL_HANDLE;
    VkCommandPool hPool = VK_NULL_HANDLE;
    uint32 nSerial = 0; // "Command Buffer N"
    uint32 nQueueFamily = 0;
    bool bSecondary = false;
    VkCommandBufferUsageFlags usage = 0;

    // Begun while the profiler recorded: its samples carry queries.
    bool bInstrumented = false;
    std::vector<RecordedSample> samples;
    uint32 nQueriesUsed = 0;
    std::vector<QueryBlock> blocks;
    uint64 nCutSamples = 0;

    // Recording state.
    std::vector<std::string> labels;
    uint32 nHiddenLabels = 0; // nested deeper than the labels kept
    uint32 nLabelDepth = 0; // labels begun and not yet ended, whether kept or not
    uint32 nLabelGeneration = 0;
    bool bInRenderPass = false;
    uint32 nRenderPasses = 0;
    bool bOpen = false;
    bool bOpenLabeled = false;
    uint32 nOpenGeneration = 0;
    SampleCounters open;
    VkPrimitiveTopology topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    uint32 nPatchPoints = 0;
    // Everything the command buffer did, for the whole-buffer sample of an uninstrumented one.
    SampleCounters total;

    // Submission state, under the device's frame mutex.
    PendingFrame *pPendingFrame = nullptr;
    uint32 nSubmissions = 0;
    std::vector<uint64> timestamps; // two per query slot, as read
    std::vector<uint64> stats; // six per query slot

    ~CommandBufferState();
    // Where the counters of the command being recorded go.
    SampleCounters &Counters() { return bOpen ? open : total; }
};

struct WrapperSlot
{
    VkCommandBuffer hBegin = VK_NULL_HANDLE;
    VkCommandBuffer hEnd = VK_NULL_HANDLE;
    VkQueryPool hPool = VK_NULL_HANDLE;
    bool bBusy = false;
};

struct FramePart
{
    std::shared_ptr<CommandBufferState> pState;
    WrapperSlot *pWrapper = nullptr; // the command buffer was timed whole
};

struct PendingFrame
{
    std::vector<FramePart> parts;
    uint64 nSwapChainId = 0;
    std::string sSwapChainName;
    uint32 nAge = 0;
};

struct PipelineInfo
{
    VkPrimitiveTopology topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    uint32 nPatchPoints = 0;
};

struct DeviceState
{
    VkDevice hDevice = VK_NULL_HANDLE;
    VkPhysicalDevice hPhysicalDevice = VK_NULL_HANDLE;
    DeviceDispatch next;
    PFN_vkSetDeviceLoaderData pfnSetDeviceLoaderData = nullptr;
    CLayerLink *pLink = nullptr;
    CResourceTracker *pResources = nullptr;

    double flTimestampPeriodNs = 1.0;
    bool bStatsQueries = false; // pipelineStatisticsQuery enabled
    bool bHostQueryReset = false;
    // GPUPROFILER_INSTRUMENT_ALWAYS=1: queries go into every command buffer, even with no window
    // open, so that command buffers recorded once at start-up are measured sample by sample.
    bool bInstrumentAlways = false;
    std::vector<VkQueueFamilyProperties> queueFamilies;

    std::mutex stateMutex; // the maps below
    std::unordered_map<VkQueue, uint32> queueFamilyOf;
    std::unordered_map<VkCommandPool, uint32> poolFamilyOf;
    std::unordered_map<uint64, PipelineInfo> pipelines;
    std::unordered_map<uint64, uint32> swapChainNumbers;
    uint32 nNextSwapChain = 1;
    uint32 nNextCommandBuffer = 1;

    std::mutex frameMutex; // frames, wrappers and every command buffer's submission state
    std::unique_ptr<PendingFrame> pOpenFrame;
    std::deque<std::unique_ptr<PendingFrame>> closedFrames;
    std::unordered_map<uint32, VkCommandPool> wrapperPools;
    std::unordered_map<uint32, std::vector<std::unique_ptr<WrapperSlot>>> wrappers;
    bool bLost = false;
    // Some command buffer carried queries: submissions must look for resubmitted ones.
    std::atomic<bool> bEverInstrumented{false};
    uint64 nFramesDropped = 0;
    uint64 nSamplesCut = 0;
    uint64 nSamplesCutLogged = 0;

    bool FamilyHasTimestamps(uint32 nFamily) const;
    bool FamilyHasStats(uint32 nFamily) const;
};

// Command buffer handles to their state, for every device.
// FindCommandBuffer is for the thread that records the buffer (the application keeps it from
// being freed meanwhile); submissions take a reference with ShareCommandBuffer.
CommandBufferState *FindCommandBuffer(VkCommandBuffer hCommandBuffer);
std::shared_ptr<CommandBufferState> ShareCommandBuffer(VkCommandBuffer hCommandBuffer);
// Forgets every command buffer of a pool (0: of the device).
void ForgetCommandBuffers(DeviceState *pDevice, VkCommandPool hPool);
void RegisterCommandBuffer(VkCommandBuffer hCommandBuffer, std::shared_ptr<CommandBufferState> pState);
void ForgetCommandBuffer(VkCommandBuffer hCommandBuffer);

// Recording (command_recorder.cpp).
double SteadySeconds();
void BeginRecording(CommandBufferState &state, bool bRecording);
void BeginWork(CommandBufferState &state, const char *pszCommand);
void EndWork(CommandBufferState &state);
void CloseSample(CommandBufferState &state);
void PushLabel(CommandBufferState &state, const char *pszLabel);
// False for an end without a begin in the same command buffer: such an end is not passed on,
// since drivers may crash on it.
bool PopLabel(CommandBufferState &state);
void ResetQueries(CommandBufferState &state); // on the host, before a resubmission

// Frames (frame_collector.cpp).
VkResult SubmitAndTrack(DeviceState &device, VkQueue hQueue, uint32 nSubmits, const VkSubmitInfo *pSubmits, VkFence hFence);
VkResult SubmitAndTrack(DeviceState &device, VkQueue hQueue, uint32 nSubmits, const VkSubmitInfo2 *pSubmits, VkFence hFence);
void OnPresent(DeviceState &device, const VkPresentInfoKHR &info);
void DropAllFrames(DeviceState &device);
void DestroyWrappers(DeviceState &device);
