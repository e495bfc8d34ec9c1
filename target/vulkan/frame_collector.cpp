// Frames: everything submitted between two presents of a swap chain, or one queue submission of
// a device without swap chains. A closed frame waits until the GPU has written every query of
// its command buffers; the results are read without waiting at the next submission or present,
// and a frame still incomplete after kMaxFrameAge later frames is dropped and counted.

#include "layer_device.h"
#include "sample_path.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kStatisticsPerQuery = 6;

// Reads the queries of a command buffer and of the secondaries it executed. False while the GPU
// has not written them all; *pbLost when the device is gone.
bool ReadResults(CommandBufferState &state, bool *pbLost)
{
    if (!state.bInstrumented)
        return true;
    DeviceState &device = *state.pDevice;
    state.timestamps.assign(2 * size_t(state.nQueriesUsed), 0);
    state.stats.assign(kStatisticsPerQuery * size_t(state.nQueriesUsed), 0);
    for (uint32 nFirst = 0; nFirst < state.nQueriesUsed; nFirst += kQueryBlockSamples) {
        const QueryBlock &block = state.blocks[nFirst / kQueryBlockSamples];
        const uint32 nCount = std::min(kQueryBlockSamples, state.nQueriesUsed - nFirst);
        VkResult result = device.next.GetQueryPoolResults(device.hDevice, block.hTimestamps, 0, 2 * nCount, 2 * nCount * sizeof(uint64),
                                                          &state.timestamps[2 * nFirst], sizeof(uint64), VK_QUERY_RESULT_64_BIT);
        if (result == VK_SUCCESS && block.hStats)
            result = device.next.GetQueryPoolResults(device.hDevice, block.hStats, 0, nCount, nCount * kStatisticsPerQuery * sizeof(uint64),
                                                     &state.stats[kStatisticsPerQuery * nFirst], kStatisticsPerQuery * sizeof(uint64),
                                                     VK_QUERY_RESULT_64_BIT);
        if (result != VK_SUCCESS) {
            *pbLost = result < 0;
            return false;
        }
    }
    for (RecordedSample &sample : state.samples) {
        if (sample.pSecondary && !ReadResults(*sample.pSecondary, pbLost))
            return false;
    }
    return true;
}

// One sample as it goes into a frame, with its GPU start in ticks (or none).
struct FrameSample
{
    GpuSampleRecord record;
    uint64 nBeginTick;
    bool bTimed;
    double flCpuStart;
};

void AppendSamples(const DeviceState &device, const CommandBufferState &state, std::vector<FrameSample> &out, uint64 &nCut)
{
    nCut += state.nCutSamples;
    for (const RecordedSample &sample : state.samples) {
        if (sample.pSecondary) {
            const size_t nFirst = out.size();
            if (sample.pSecondary->bInstrumented)
                AppendSamples(device, *sample.pSecondary, out, nCut);
            for (size_t i = nFirst; i < out.size() && !sample.outerLabels.empty(); ++i) {
                const std::string_view sName = out[i].record.Name();
                out[i].record.SetName(PrefixSamplePath(sample.outerLabels, std::string(sName)));
            }
            continue;
        }
        FrameSample &frameSample = out.emplace_back();
        frameSample.record = sample.record;
        frameSample.flCpuStart = sample.flCpuStart;
        frameSample.bTimed = sample.nQuery != kNoQuery;
        frameSample.nBeginTick = 0;
        if (!frameSample.bTimed)
            continue;
        const uint64 nBegin = state.timestamps[2 * sample.nQuery];
        const uint64 nEnd = state.timestamps[2 * sample.nQuery + 1];
        frameSample.nBeginTick = nBegin;
        frameSample.record.SetGpuTime(nEnd > nBegin ? double(nEnd - nBegin) * device.flTimestampPeriodNs * 1e-9 : 0.0);
        if (state.blocks[sample.nQuery / kQueryBlockSamples].hStats) {
            const uint64 *pStats = &state.stats[kStatisticsPerQuery * size_t(sample.nQuery)];
            frameSample.record.SetIaVerts(uint32(pStats[0]));
            frameSample.record.SetIaPrims(uint32(pStats[1]));
            frameSample.record.SetVsInvokes(uint32(pStats[2]));
            frameSample.record.SetCInvokes(uint32(pStats[3]));
            frameSample.record.SetCPrims(uint32(pStats[4]));
            frameSample.record.SetPsInvokes(uint32(pStats[5]));
        }
    }
}

void ReleaseFrame(PendingFrame &frame)
{
    for (FramePart &part : frame.parts) {
        if (part.pState->pPendingFrame == &frame)
            part.pState->pPendingFrame = nullptr;
        if (part.pWrapper)
            part.pWrapper->bBusy = false;
    }
}

// Reads the frame's results. True when the frame is done with: *pFrame holds it when its
// results were all in.
bool TryFinish(DeviceState &device, PendingFrame &frame, TargetFrame *pFrame, bool *pbComplete)
{
    *pbComplete = false;
    bool bLost = false;
    std::vector<FrameSample> samples;
    samples.reserve(frame.parts.size());
    for (FramePart &part : frame.parts) {
        if (part.pWrapper) {
            uint64 ticks[2] = {};
            const VkResult result = device.next.GetQueryPoolResults(device.hDevice, part.pWrapper->hPool, 0, 2, sizeof(ticks), ticks,
                                                                    sizeof(uint64), VK_QUERY_RESULT_64_BIT);
            if (result != VK_SUCCESS)
                return result < 0 ? (device.bLost = true) : false;
            FrameSample &sample = samples.emplace_back();
            sample.record = MakeSampleRecord("Command Buffer " + std::to_string(part.pState->nSerial), {});
            part.pState->total.StoreInto(sample.record);
            sample.record.SetGpuTime(ticks[1] > ticks[0] ? double(ticks[1] - ticks[0]) * device.flTimestampPeriodNs * 1e-9 : 0.0);
            sample.nBeginTick = ticks[0];
            sample.bTimed = true;
            sample.flCpuStart = 0.0;
            continue;
        }
        if (!ReadResults(*part.pState, &bLost))
            return bLost ? (device.bLost = true) : false;
        AppendSamples(device, *part.pState, samples, device.nSamplesCut);
    }

    uint64 nFirstTick = UINT64_MAX;
    double flFirstCpu = 0.0;
    bool bAnyCpu = false;
    for (const FrameSample &sample : samples) {
        if (sample.bTimed)
            nFirstTick = std::min(nFirstTick, sample.nBeginTick);
        if (sample.flCpuStart > 0.0 && (!bAnyCpu || sample.flCpuStart < flFirstCpu)) {
            flFirstCpu = sample.flCpuStart;
            bAnyCpu = true;
        }
    }
    const uint32 nMax = MaxFrameSamples();
    if (samples.size() > nMax) {
        device.nSamplesCut += samples.size() - nMax;
        samples.resize(nMax);
    }
    if (device.nSamplesCut > device.nSamplesCutLogged) {
        // Once, and then whenever the count has doubled: the user learns, the log does not flood.
        std::fprintf(stderr, "[gpuprofiler layer] frames had more than %u samples: %llu samples cut so far\n", nMax,
                     static_cast<unsigned long long>(device.nSamplesCut));
        device.nSamplesCutLogged = 2 * device.nSamplesCut;
    }
    pFrame->header = MakeFrameHeader(frame.nSwapChainId, frame.sSwapChainName, uint32(samples.size()));
    pFrame->samples.clear();
    pFrame->samples.reserve(samples.size());
    for (FrameSample &sample : samples) {
        const double flStart = sample.bTimed && sample.nBeginTick > nFirstTick
            ? double(sample.nBeginTick - nFirstTick) * device.flTimestampPeriodNs * 1e-9
            : 0.0;
        sample.record.SetGpuStartTime(flStart);
        sample.record.SetCpuStartTime(sample.flCpuStart > 0.0 ? sample.flCpuStart - flFirstCpu : 0.0);
        pFrame->samples.push_back(sample.record);
    }
    *pbComplete = true;
    return true;
}

void CollectFrames(DeviceState &device)
{
    for (auto it = device.closedFrames.begin(); it != device.closedFrames.end();) {
        PendingFrame &frame = **it;
        TargetFrame done;
        bool bComplete = false;
        const bool bFinished = !device.bLost && TryFinish(device, frame, &done, &bComplete);
        if (!bFinished && frame.nAge < kMaxFrameAge && !device.bLost) {
            ++it;
            continue;
        }
        if (bComplete && device.pLink && device.pLink->Recording())
            device.pLink->QueueFrame(std::move(done));
        else if (!bComplete)
            ++device.nFramesDropped;
        ReleaseFrame(frame);
        it = device.closedFrames.erase(it);
    }
}

void CloseOpenFrame(DeviceState &device, uint64 nSwapChainId, std::string sName)
{
    for (auto &pFrame : device.closedFrames)
        ++pFrame->nAge;
    if (device.pOpenFrame && !device.pOpenFrame->parts.empty()) {
        device.pOpenFrame->nSwapChainId = nSwapChainId;
        device.pOpenFrame->sSwapChainName = std::move(sName);
        device.closedFrames.push_back(std::move(device.pOpenFrame));
    }
    device.pOpenFrame.reset();
    CollectFrames(device);
}

void DropFrame(DeviceState &device, PendingFrame *pFrame)
{
    for (auto it = device.closedFrames.begin(); it != device.closedFrames.end(); ++it) {
        if (it->get() == pFrame) {
            ReleaseFrame(*pFrame);
            ++device.nFramesDropped;
            device.closedFrames.erase(it);
            return;
        }
    }
}

WrapperSlot *AcquireWrapper(DeviceState &device, uint32 nFamily)
{
    std::vector<std::unique_ptr<WrapperSlot>> &slots = device.wrappers[nFamily];
    for (auto &pSlot : slots) {
        if (!pSlot->bBusy)
            return pSlot.get();
    }
    if (slots.size() >= kMaxWrapperSlots)
        return nullptr;
    VkDevice hDevice = device.hDevice;
    VkCommandPool &hPool = device.wrapperPools[nFamily];
    if (!hPool) {
        VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        poolInfo.queueFamilyIndex = nFamily;
        if (device.next.CreateCommandPool(hDevice, &poolInfo, nullptr, &hPool) != VK_SUCCESS) {
            hPool = VK_NULL_HANDLE;
            return nullptr;
        }
    }
    auto pSlot = std::make_unique<WrapperSlot>();
    VkQueryPoolCreateInfo queryInfo{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
    queryInfo.queryType = VK_QUERY_TYPE_TIMESTAMP;
    queryInfo.queryCount = 2;
    if (device.next.CreateQueryPool(hDevice, &queryInfo, nullptr, &pSlot->hPool) != VK_SUCCESS)
        return nullptr;
    VkCommandBufferAllocateInfo allocInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    allocInfo.commandPool = hPool;
    allocInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocInfo.commandBufferCount = 2;
    VkCommandBuffer handles[2] = {};
    if (device.next.AllocateCommandBuffers(hDevice, &allocInfo, handles) != VK_SUCCESS) {
        device.next.DestroyQueryPool(hDevice, pSlot->hPool, nullptr);
        return nullptr;
    }
    pSlot->hBegin = handles[0];
    pSlot->hEnd = handles[1];
    VkCommandBufferBeginInfo beginInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    beginInfo.flags = VK_COMMAND_BUFFER_USAGE_SIMULTANEOUS_USE_BIT;
    for (VkCommandBuffer hCommandBuffer : handles) {
        // Command buffers made by a layer get the loader's dispatch from it.
        if (device.pfnSetDeviceLoaderData)
            device.pfnSetDeviceLoaderData(hDevice, hCommandBuffer);
        device.next.BeginCommandBuffer(hCommandBuffer, &beginInfo);
        if (hCommandBuffer == pSlot->hBegin) {
            device.next.CmdResetQueryPool(hCommandBuffer, pSlot->hPool, 0, 2);
            device.next.CmdWriteTimestamp(hCommandBuffer, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, pSlot->hPool, 0);
        } else {
            device.next.CmdWriteTimestamp(hCommandBuffer, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, pSlot->hPool, 1);
        }
        device.next.EndCommandBuffer(hCommandBuffer);
    }
    slots.push_back(std::move(pSlot));
    return slots.back().get();
}

} // namespace

bool DeviceState::FamilyHasTimestamps(uint32 nFamily) const
{
    return nFamily < queueFamilies.size() && queueFamilies[nFamily].timestampValidBits > 0;
}

bool DeviceState::FamilyHasStats(uint32 nFamily) const
{
    return bStatsQueries && nFamily < queueFamilies.size() &&
        (queueFamilies[nFamily].queueFlags & (VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT));
}

namespace {

// The two forms of a submission: command buffers as handles (vkQueueSubmit) or as submit infos
// (vkQueueSubmit2).
template <typename Submit> struct SubmitForm;

template <> struct SubmitForm<VkSubmitInfo>
{
    using Entry = VkCommandBuffer;
    static uint32 Count(const VkSubmitInfo &submit) { return submit.commandBufferCount; }
    static const Entry *Entries(const VkSubmitInfo &submit) { return submit.pCommandBuffers; }
    static VkCommandBuffer Handle(const Entry &entry) { return entry; }
    static Entry Make(VkCommandBuffer hCommandBuffer, const Entry &) { return hCommandBuffer; }
    static void Set(VkSubmitInfo &submit, const Entry *pEntries, uint32 nCount)
    {
        submit.pCommandBuffers = pEntries;
        submit.commandBufferCount = nCount;
    }
};

template <> struct SubmitForm<VkSubmitInfo2>
{
    using Entry = VkCommandBufferSubmitInfo;
    static uint32 Count(const VkSubmitInfo2 &submit) { return submit.commandBufferInfoCount; }
    static const Entry *Entries(const VkSubmitInfo2 &submit) { return submit.pCommandBufferInfos; }
    static VkCommandBuffer Handle(const Entry &entry) { return entry.commandBuffer; }
    static Entry Make(VkCommandBuffer hCommandBuffer, const Entry &like)
    {
        Entry entry = like;
        entry.pNext = nullptr;
        entry.commandBuffer = hCommandBuffer;
        return entry;
    }
    static void Set(VkSubmitInfo2 &submit, const Entry *pEntries, uint32 nCount)
    {
        submit.pCommandBufferInfos = pEntries;
        submit.commandBufferInfoCount = nCount;
    }
};

template <typename Submit, typename SubmitDown>
VkResult Track(DeviceState &device, VkQueue hQueue, uint32 nSubmits, const Submit *pSubmits, SubmitDown submitDown)
{
    using Form = SubmitForm<Submit>;
    using Entry = typename Form::Entry;
    const bool bRecording = device.pLink && device.pLink->Recording() && !device.bLost;
    uint32 nFamily = 0;
    bool bHeadless = false;
    {
        std::lock_guard<std::mutex> lock(device.stateMutex);
        const auto it = device.queueFamilyOf.find(hQueue);
        if (it != device.queueFamilyOf.end())
            nFamily = it->second;
        bHeadless = device.swapChainNumbers.empty() && device.nNextSwapChain == 1;
    }

    std::lock_guard<std::mutex> lock(device.frameMutex);
    CollectFrames(device);
    if (bRecording && !device.pOpenFrame)
        device.pOpenFrame = std::make_unique<PendingFrame>();

    std::vector<Submit> submits;
    std::vector<std::vector<Entry>> lists;
    for (uint32 i = 0; i < nSubmits; ++i) {
        const Submit &submit = pSubmits[i];
        const Entry *pEntries = Form::Entries(submit);
        std::vector<Entry> wrapped;
        bool bWrapped = false;
        for (uint32 j = 0; j < Form::Count(submit); ++j) {
            VkCommandBuffer hCommandBuffer = Form::Handle(pEntries[j]);
            std::shared_ptr<CommandBufferState> pState = ShareCommandBuffer(hCommandBuffer);
            WrapperSlot *pWrapper = nullptr;
            if (pState && pState->bInstrumented) {
                PendingFrame *pEarlier = pState->pPendingFrame;
                if (pEarlier && pEarlier != device.pOpenFrame.get() && !(pState->usage & VK_COMMAND_BUFFER_USAGE_SIMULTANEOUS_USE_BIT)) {
                    // Submitted again before its last results were read: the GPU has finished
                    // that run (the application may not resubmit it earlier), and its queries are
                    // about to be written again.
                    DropFrame(device, pEarlier);
                    pEarlier = nullptr;
                }
                if (!pEarlier) {
                    if (pState->nSubmissions++ > 0)
                        ResetQueries(*pState);
                    if (bRecording) {
                        pState->pPendingFrame = device.pOpenFrame.get();
                        device.pOpenFrame->parts.push_back({pState, nullptr});
                    }
                }
            } else if (pState && bRecording && (pWrapper = AcquireWrapper(device, nFamily))) {
                pWrapper->bBusy = true;
                device.pOpenFrame->parts.push_back({pState, pWrapper});
            }
            if (pWrapper && !bWrapped) {
                wrapped.assign(pEntries, pEntries + j);
                bWrapped = true;
            }
            if (bWrapped) {
                if (pWrapper)
                    wrapped.push_back(Form::Make(pWrapper->hBegin, pEntries[j]));
                wrapped.push_back(pEntries[j]);
                if (pWrapper)
                    wrapped.push_back(Form::Make(pWrapper->hEnd, pEntries[j]));
            }
        }
        if (bWrapped && submits.empty()) {
            submits.assign(pSubmits, pSubmits + nSubmits);
            lists.resize(nSubmits);
        }
        if (bWrapped) {
            lists[i] = std::move(wrapped);
            Form::Set(submits[i], lists[i].data(), uint32(lists[i].size()));
        }
    }
    const VkResult result = submitDown(submits.empty() ? pSubmits : submits.data());
    if (result == VK_ERROR_DEVICE_LOST) {
        device.bLost = true;
        DropAllFrames(device);
        return result;
    }
    if (bHeadless && device.pOpenFrame)
        CloseOpenFrame(device, 0, "Headless");
    return result;
}

} // namespace

VkResult SubmitAndTrack(DeviceState &device, VkQueue hQueue, uint32 nSubmits, const VkSubmitInfo *pSubmits, VkFence hFence)
{
    return Track(device, hQueue, nSubmits, pSubmits,
                 [&](const VkSubmitInfo *pDown) { return device.next.QueueSubmit(hQueue, nSubmits, pDown, hFence); });
}

VkResult SubmitAndTrack(DeviceState &device, VkQueue hQueue, uint32 nSubmits, const VkSubmitInfo2 *pSubmits, VkFence hFence)
{
    return Track(device, hQueue, nSubmits, pSubmits,
                 [&](const VkSubmitInfo2 *pDown) { return device.next.QueueSubmit2(hQueue, nSubmits, pDown, hFence); });
}

void OnPresent(DeviceState &device, const VkPresentInfoKHR &info)
{
    std::lock_guard<std::mutex> lock(device.frameMutex);
    // Nothing submitted under a window and nothing waiting: a present costs only the lock.
    const bool bParts = device.pOpenFrame && !device.pOpenFrame->parts.empty();
    if (!bParts && device.closedFrames.empty()) {
        device.pOpenFrame.reset();
        return;
    }
    uint64 nSwapChain = 0;
    std::string sName;
    if (bParts && info.swapchainCount > 0) {
        nSwapChain = uint64(info.pSwapchains[0]);
        sName = device.pResources ? device.pResources->SwapChainName(nSwapChain) : std::string();
        if (sName.empty()) {
            std::lock_guard<std::mutex> stateLock(device.stateMutex);
            const auto it = device.swapChainNumbers.find(nSwapChain);
            sName = "Swapchain " + std::to_string(it == device.swapChainNumbers.end() ? 0 : it->second);
        }
    }
    CloseOpenFrame(device, nSwapChain, std::move(sName));
}

void DropAllFrames(DeviceState &device)
{
    if (device.pOpenFrame) {
        ReleaseFrame(*device.pOpenFrame);
        device.pOpenFrame.reset();
    }
    for (auto &pFrame : device.closedFrames) {
        ReleaseFrame(*pFrame);
        ++device.nFramesDropped;
    }
    device.closedFrames.clear();
}

void DestroyWrappers(DeviceState &device)
{
    for (auto &[nFamily, slots] : device.wrappers) {
        for (auto &pSlot : slots)
            device.next.DestroyQueryPool(device.hDevice, pSlot->hPool, nullptr);
    }
    device.wrappers.clear();
    for (auto &[nFamily, hPool] : device.wrapperPools)
        device.next.DestroyCommandPool(device.hDevice, hPool, nullptr); // frees its command buffers
    device.wrapperPools.clear();
}
