// Turning recorded commands into samples. A sample opens before the first command of GPU work
// that does not belong to the open one and closes at the next boundary: a change of the debug
// label stack, the start or end of a render pass or subpass, the execution of secondary command
// buffers, the end of the recording. Without labels every command is a sample of its own. Each
// sample is bracketed by two timestamps and one pipeline-statistics query of its slot.

#include "layer_device.h"
#include "sample_path.h"

#include <chrono>
#include <cstdlib>
#include <shared_mutex>

namespace {

// Never destroyed: an application may exit without destroying its devices, and the states must
// not outlive them in static destructors that run in no fixed order.
// Every recorded command looks its command buffer up: readers share the lock, so threads that
// record in parallel do not queue behind each other.
std::shared_mutex &s_CommandBufferMutex = *new std::shared_mutex;
auto &s_CommandBuffers = *new std::unordered_map<VkCommandBuffer, std::shared_ptr<CommandBufferState>>;

constexpr VkQueryPipelineStatisticFlags kStatistics = VK_QUERY_PIPELINE_STATISTIC_INPUT_ASSEMBLY_VERTICES_BIT |
    VK_QUERY_PIPELINE_STATISTIC_INPUT_ASSEMBLY_PRIMITIVES_BIT | VK_QUERY_PIPELINE_STATISTIC_VERTEX_SHADER_INVOCATIONS_BIT |
    VK_QUERY_PIPELINE_STATISTIC_CLIPPING_INVOCATIONS_BIT | VK_QUERY_PIPELINE_STATISTIC_CLIPPING_PRIMITIVES_BIT |
    VK_QUERY_PIPELINE_STATISTIC_FRAGMENT_SHADER_INVOCATIONS_BIT;

bool CreateBlock(CommandBufferState &state, QueryBlock &block)
{
    DeviceState &device = *state.pDevice;
    VkQueryPoolCreateInfo info{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
    info.queryType = VK_QUERY_TYPE_TIMESTAMP;
    info.queryCount = 2 * kQueryBlockSamples;
    if (device.next.CreateQueryPool(device.hDevice, &info, nullptr, &block.hTimestamps) != VK_SUCCESS)
        return false;
    if (device.FamilyHasStats(state.nQueueFamily)) {
        info.queryType = VK_QUERY_TYPE_PIPELINE_STATISTICS;
        info.queryCount = kQueryBlockSamples;
        info.pipelineStatistics = kStatistics;
        if (device.next.CreateQueryPool(device.hDevice, &info, nullptr, &block.hStats) != VK_SUCCESS)
            block.hStats = VK_NULL_HANDLE;
    }
    if (device.bHostQueryReset) {
        device.next.ResetQueryPool(device.hDevice, block.hTimestamps, 0, 2 * kQueryBlockSamples);
        if (block.hStats)
            device.next.ResetQueryPool(device.hDevice, block.hStats, 0, kQueryBlockSamples);
    }
    return true;
}

// The next query slot, or kNoQuery when none can be had.
uint32 AcquireQuery(CommandBufferState &state)
{
    const uint32 nBlock = state.nQueriesUsed / kQueryBlockSamples;
    if (nBlock >= state.blocks.size()) {
        // Without resets from the host a new block could not be reset before its first use
        // inside the command buffer: only the first block, reset when the recording began.
        if (!state.pDevice->bHostQueryReset)
            return kNoQuery;
        QueryBlock block;
        if (!CreateBlock(state, block))
            return kNoQuery;
        state.blocks.push_back(block);
    }
    return state.nQueriesUsed++;
}

void OpenSample(CommandBufferState &state, const char *pszCommand)
{
    DeviceState &device = *state.pDevice;
    if (state.samples.size() >= MaxFrameSamples()) {
        ++state.nCutSamples;
        return;
    }
    // Pipeline flushing: every sample starts on an idle GPU, so its time stands alone. A
    // barrier is not allowed inside a render pass without a self-dependency, so samples there
    // are not flushed.
    if (device.pLink && device.pLink->PipelineFlushing() && !state.bInRenderPass) {
        VkMemoryBarrier barrier{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
        barrier.srcAccessMask = VK_ACCESS_MEMORY_WRITE_BIT;
        barrier.dstAccessMask = VK_ACCESS_MEMORY_READ_BIT | VK_ACCESS_MEMORY_WRITE_BIT;
        device.next.CmdPipelineBarrier(state.hHandle, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, 0, 1,
                                       &barrier, 0, nullptr, 0, nullptr);
    }
    RecordedSample &sample = state.samples.emplace_back();
    sample.record.SetName(SamplePath(state.labels, state.bInRenderPass ? state.nRenderPasses : 0, pszCommand));
    sample.flCpuStart = SteadySeconds();
    sample.nQuery = AcquireQuery(state);
    if (sample.nQuery != kNoQuery) {
        const QueryBlock &block = state.blocks[sample.nQuery / kQueryBlockSamples];
        const uint32 nSlot = sample.nQuery % kQueryBlockSamples;
        device.next.CmdWriteTimestamp(state.hHandle, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, block.hTimestamps, 2 * nSlot);
        if (block.hStats)
            device.next.CmdBeginQuery(state.hHandle, block.hStats, nSlot, 0);
    }
    state.bOpen = true;
    state.bOpenLabeled = !state.labels.empty();
    state.nOpenGeneration = state.nLabelGeneration;
    state.open = SampleCounters();
}

} // namespace

uint32 MaxFrameSamples()
{
    static const uint32 s_nMax = [] {
        const char *pszMax = std::getenv("GPUPROFILER_MAX_FRAME_SAMPLES");
        const long nMax = pszMax ? std::strtol(pszMax, nullptr, 10) : 0;
        return nMax > 0 && nMax < long(kMaxLayerFrameSamples) ? uint32(nMax) : kMaxLayerFrameSamples;
    }();
    return s_nMax;
}

double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CommandBufferState::~CommandBufferState()
{
    if (!pDevice)
        return;
    for (const QueryBlock &block : blocks) {
        pDevice->next.DestroyQueryPool(pDevice->hDevice, block.hTimestamps, nullptr);
        if (block.hStats)
            pDevice->next.DestroyQueryPool(pDevice->hDevice, block.hStats, nullptr);
    }
}

CommandBufferState *FindCommandBuffer(VkCommandBuffer hCommandBuffer)
{
    std::shared_lock<std::shared_mutex> lock(s_CommandBufferMutex);
    const auto it = s_CommandBuffers.find(hCommandBuffer);
    return it == s_CommandBuffers.end() ? nullptr : it->second.get();
}

std::shared_ptr<CommandBufferState> ShareCommandBuffer(VkCommandBuffer hCommandBuffer)
{
    std::shared_lock<std::shared_mutex> lock(s_CommandBufferMutex);
    const auto it = s_CommandBuffers.find(hCommandBuffer);
    return it == s_CommandBuffers.end() ? nullptr : it->second;
}

void ForgetCommandBuffers(DeviceState *pDevice, VkCommandPool hPool)
{
    std::vector<std::shared_ptr<CommandBufferState>> forgotten; // destroyed outside the lock
    std::lock_guard<std::shared_mutex> lock(s_CommandBufferMutex);
    for (auto it = s_CommandBuffers.begin(); it != s_CommandBuffers.end();) {
        if (it->second->pDevice == pDevice && (!hPool || it->second->hPool == hPool)) {
            forgotten.push_back(std::move(it->second));
            it = s_CommandBuffers.erase(it);
        } else {
            ++it;
        }
    }
}

void RegisterCommandBuffer(VkCommandBuffer hCommandBuffer, std::shared_ptr<CommandBufferState> pState)
{
    std::lock_guard<std::shared_mutex> lock(s_CommandBufferMutex);
    s_CommandBuffers[hCommandBuffer] = std::move(pState);
}

void ForgetCommandBuffer(VkCommandBuffer hCommandBuffer)
{
    std::shared_ptr<CommandBufferState> pState;
    {
        std::lock_guard<std::shared_mutex> lock(s_CommandBufferMutex);
        const auto it = s_CommandBuffers.find(hCommandBuffer);
        if (it == s_CommandBuffers.end())
            return;
        pState = std::move(it->second);
        s_CommandBuffers.erase(it);
    }
    // A frame still waiting for its results keeps the state (and its query pools) alive.
}

void BeginRecording(CommandBufferState &state, bool bRecording)
{
    DeviceState &device = *state.pDevice;
    state.samples.clear();
    state.labels.clear();
    state.nHiddenLabels = 0;
    state.nLabelDepth = 0;
    state.nLabelGeneration = 0;
    state.bInRenderPass = false;
    state.nRenderPasses = 0;
    state.bOpen = false;
    state.open = SampleCounters();
    state.total = SampleCounters();
    state.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    state.nPatchPoints = 0;
    state.nSubmissions = 0;
    state.nCutSamples = 0;
    const bool bTimestamps = device.FamilyHasTimestamps(state.nQueueFamily);
    // Without host resets the queries must be reset inside the command buffer, outside any
    // render pass: possible only at the start of a primary one.
    state.bInstrumented = bRecording && bTimestamps && !device.bLost && (device.bHostQueryReset || !state.bSecondary);
    if (!state.bInstrumented)
        return;
    device.bEverInstrumented = true;
    if (state.nQueriesUsed > 0 && device.bHostQueryReset)
        ResetQueries(state);
    state.nQueriesUsed = 0;
    if (!device.bHostQueryReset) {
        if (state.blocks.empty()) {
            QueryBlock block;
            if (!CreateBlock(state, block)) {
                state.bInstrumented = false;
                return;
            }
            state.blocks.push_back(block);
        }
        device.next.CmdResetQueryPool(state.hHandle, state.blocks[0].hTimestamps, 0, 2 * kQueryBlockSamples);
        if (state.blocks[0].hStats)
            device.next.CmdResetQueryPool(state.hHandle, state.blocks[0].hStats, 0, kQueryBlockSamples);
    }
}

void ResetQueries(CommandBufferState &state)
{
    DeviceState &device = *state.pDevice;
    if (!device.bHostQueryReset)
        return;
    for (uint32 nBlock = 0; nBlock * kQueryBlockSamples < state.nQueriesUsed && nBlock < state.blocks.size(); ++nBlock) {
        device.next.ResetQueryPool(device.hDevice, state.blocks[nBlock].hTimestamps, 0, 2 * kQueryBlockSamples);
        if (state.blocks[nBlock].hStats)
            device.next.ResetQueryPool(device.hDevice, state.blocks[nBlock].hStats, 0, kQueryBlockSamples);
    }
}

void BeginWork(CommandBufferState &state, const char *pszCommand)
{
    if (!state.bInstrumented)
        return;
    const bool bLabeled = !state.labels.empty();
    if (state.bOpen && bLabeled && state.bOpenLabeled && state.nOpenGeneration == state.nLabelGeneration)
        return; // more work of the open label
    CloseSample(state);
    OpenSample(state, pszCommand);
}

void EndWork(CommandBufferState &state)
{
    if (state.bOpen && !state.bOpenLabeled)
        CloseSample(state);
}

void CloseSample(CommandBufferState &state)
{
    if (!state.bOpen)
        return;
    state.bOpen = false;
    RecordedSample &sample = state.samples.back();
    state.open.StoreInto(sample.record);
    state.total.Add(state.open);
    sample.record.SetCpuTime(SteadySeconds() - sample.flCpuStart);
    if (sample.nQuery != kNoQuery) {
        DeviceState &device = *state.pDevice;
        const QueryBlock &block = state.blocks[sample.nQuery / kQueryBlockSamples];
        const uint32 nSlot = sample.nQuery % kQueryBlockSamples;
        if (block.hStats)
            device.next.CmdEndQuery(state.hHandle, block.hStats, nSlot);
        device.next.CmdWriteTimestamp(state.hHandle, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, block.hTimestamps, 2 * nSlot + 1);
    }
    state.open = SampleCounters();
}

void PushLabel(CommandBufferState &state, const char *pszLabel)
{
    ++state.nLabelDepth;
    if (!state.bInstrumented)
        return; // labels only name samples
    CloseSample(state);
    // A runaway nesting must not grow without bound; deeper labels than this only count.
    if (state.labels.size() < 64)
        state.labels.emplace_back(pszLabel ? pszLabel : "");
    else
        ++state.nHiddenLabels;
    ++state.nLabelGeneration;
}

bool PopLabel(CommandBufferState &state)
{
    if (state.nLabelDepth == 0)
        return false;
    --state.nLabelDepth;
    if (!state.bInstrumented)
        return true;
    if (state.labels.empty())
        return true;
    CloseSample(state);
    if (state.nHiddenLabels > 0)
        --state.nHiddenLabels;
    else
        state.labels.pop_back();
    ++state.nLabelGeneration;
    return true;
}
