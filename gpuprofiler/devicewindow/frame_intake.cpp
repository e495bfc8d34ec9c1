#include "frame_intake.h"

#include "capture_writer.h"
#include "wire_profiler.h"

#include <cstring>
#include <utility>

namespace {

// Which listed swap chains a tick has dealt with, one bit each.
using SwapChainMask = uint64;
constexpr int32 kMaskBits = int32(sizeof(SwapChainMask) * 8);
static_assert(CFrameIntake::kMaxSwapChains <= kMaskBits);

// Keeps a copy of a list payload; nothing when there is no memory for it.
void KeepPayload(GrowableArray<uint8> &kept, const void *pPayload, uint32 nSize)
{
    if (nSize > uint32(INT32_MAX) || !kept.SetCount(int32(nSize))) {
        kept.Purge();
        return;
    }
    if (nSize)
        std::memcpy(kept.Base(), pPayload, nSize);
}

} // namespace

CFrameIntake::CFrameIntake(bool bCapture)
    // A capture's frames were recorded once already, by the window that saved them: they are
    // kept as the file holds them, with the bubbles that window kept or removed.
    : capture(bCapture), removeBubbles(!bCapture)
{}

CFrameIntake::~CFrameIntake() = default;

void CFrameIntake::Receive(const GpuFrameHeader &header, GpuSampleArray *pSamples)
{
    if (capture) {
        GpuSampleArray none;
        const int32 nChain = ListSwapChain(header);
        if (nChain >= 0)
            RecordFrame(nChain, header, pSamples ? *pSamples : none);
        return;
    }
    if (pendingFrames.Count() >= kMaxPendingFrames)
        pendingFrames.Remove(0);
    // Only the newest waiting frame is ever recorded, so older ones holding more than the byte
    // bound are let go at once rather than at the next tick.
    const int64 nIncoming = pSamples ? int64(pSamples->Capacity()) * int64(sizeof(GpuSampleRecord)) : 0;
    int64 nWaiting = 0;
    for (const PendingFrame &pending : pendingFrames)
        nWaiting += int64(pending.samples.Capacity()) * int64(sizeof(GpuSampleRecord));
    while (pendingFrames.Count() > 0 && nWaiting + nIncoming > kMaxPendingSampleBytes) {
        nWaiting -= int64(pendingFrames[0].samples.Capacity()) * int64(sizeof(GpuSampleRecord));
        pendingFrames.Remove(0);
    }
    const int32 nIndex = pendingFrames.AddToTail();
    if (nIndex < 0)
        return;
    PendingFrame &pending = pendingFrames[nIndex];
    pending.header = header;
    if (pSamples)
        pending.samples.Swap(*pSamples);
}

const FrameHistoryEntry *CFrameIntake::RecordNewest(GpuSampleArray *pRecords)
{
    const int32 nNewest = pendingFrames.Count() - 1;
    if (nNewest < 0)
        return nullptr;
    PendingFrame &pending = pendingFrames[nNewest];
    const FrameHistoryEntry *pShown = nullptr;
    const int32 nChain = ListSwapChain(pending.header);
    if (nChain >= 0) {
        GpuSampleArray samples;
        samples.Swap(pending.samples);
        FrameHistoryEntry &entry = RecordFrame(nChain, pending.header, samples);
        if (pending.header.SwapChainId() == selectedSwapChain) {
            pRecords->Swap(samples);
            pShown = &entry;
        }
    }
    KeepOtherSwapChains(nNewest);
    return pShown;
}

void CFrameIntake::DropPending()
{
    pendingFrames.RemoveAll();
}

int32 CFrameIntake::ChainIndex(uint64 nSwapChainId) const
{
    const auto it = swapChainIndex.find(nSwapChainId);
    return it == swapChainIndex.end() ? -1 : it->second;
}

int32 CFrameIntake::ListSwapChain(const GpuFrameHeader &header)
{
    const uint64 nSwapChainId = header.SwapChainId();
    if (const int32 nListed = ChainIndex(nSwapChainId); nListed >= 0)
        return nListed;
    if (swapChains.Count() >= kMaxSwapChains) {
        ++unlistedSwapChainFrames;
        return -1;
    }
    if (swapChains.AddToTail(nSwapChainId) < 0)
        return -1;
    const int32 nChain = swapChains.Count() - 1;
    swapChainIndex.emplace(nSwapChainId, nChain);
    swapChainNames.emplace_back(header.SwapChainName());
    // The first swap chain seen is shown; after that only the user picks another.
    if (selectedSwapChain == kNoSwapChain)
        selectedSwapChain = nSwapChainId;
    return nChain;
}

bool CFrameIntake::SelectSwapChain(int32 index)
{
    if (index < 0 || index >= swapChains.Count())
        return false;
    if (swapChains[index] == selectedSwapChain)
        return false;
    if (selectedSwapChain != kNoSwapChain)
        KeptHistory(ChainIndex(selectedSwapChain)).Swap(shown);
    selectedSwapChain = swapChains[index];
    if (size_t(index) < otherHistories.size() && otherHistories[size_t(index)])
        shown.Swap(*otherHistories[size_t(index)]);
    if (!capture)
        shown.Clear();
    return true;
}

FrameHistory &CFrameIntake::KeptHistory(int32 nChain)
{
    if (otherHistories.size() <= size_t(nChain))
        otherHistories.resize(size_t(nChain) + 1);
    std::unique_ptr<FrameHistory> &pHistory = otherHistories[size_t(nChain)];
    if (!pHistory)
        pHistory = std::make_unique<FrameHistory>();
    return *pHistory;
}

const FrameHistory *CFrameIntake::SwapChainHistory(int32 nChain) const
{
    if (nChain < 0 || nChain >= swapChains.Count())
        return nullptr;
    if (swapChains[nChain] == selectedSwapChain)
        return &shown;
    return size_t(nChain) < otherHistories.size() ? otherHistories[size_t(nChain)].get() : nullptr;
}

FrameHistoryEntry &CFrameIntake::RecordFrame(int32 nChain, const GpuFrameHeader &header, GpuSampleArray &samples)
{
    // The subtool hands over only complete frames, whose arrays hold exactly the announced
    // count; a header that claims more than came with it is held to what came.
    PrepareFrameRecords(header, samples);
    const double flTotalGpuTime = RemoveBubblesAndTotal(samples);
    FrameHistory &history = swapChains[nChain] == selectedSwapChain ? shown : KeptHistory(nChain);
    history.SetMaxBytes(shown.MaxBytes());
    FrameHistoryEntry &entry = history.Record(header, samples.Base(), samples.Count(), flTotalGpuTime);
    if (!otherHistories.empty())
        KeepWithinMemoryBound();
    return entry;
}

double CFrameIntake::RemoveBubblesAndTotal(GpuSampleArray &samples) const
{
    double flCpu = 0.0;
    double flGpu = 0.0;
    for (GpuSampleRecord &sample : samples) {
        if (removeBubbles) {
            sample.SetCpuStartTime(flCpu);
            sample.SetGpuStartTime(flGpu);
        }
        flCpu += sample.CpuTime();
        flGpu += sample.GpuTime();
    }
    return flGpu;
}

void CFrameIntake::KeepWithinMemoryBound()
{
    int64 nTotal = shown.MemoryBytes();
    for (const auto &pHistory : otherHistories)
        nTotal += pHistory ? pHistory->MemoryBytes() : 0;
    // The shown history keeps itself within the bound; what is over it goes from the frames kept
    // for saving, the largest store's oldest first, even the frame just kept.
    while (nTotal > shown.MaxBytes()) {
        FrameHistory *pLargest = nullptr;
        for (const auto &pHistory : otherHistories) {
            if (pHistory && pHistory->Count() > 0 && (!pLargest || pHistory->MemoryBytes() > pLargest->MemoryBytes()))
                pLargest = pHistory.get();
        }
        if (!pLargest)
            break;
        nTotal -= pLargest->MemoryBytes();
        pLargest->DropOldest();
        nTotal += pLargest->MemoryBytes();
    }
}

void CFrameIntake::KeepOtherSwapChains(int32 nNewest)
{
    if (swapChains.Count() < 2)
        return;
    const SwapChainMask nAll = swapChains.Count() == kMaskBits ? ~SwapChainMask(0) : (SwapChainMask(1) << swapChains.Count()) - 1;
    // The selected chain shows one frame a tick, the newest; the others keep their newest too.
    SwapChainMask nDone = SwapChainMask(1) << ChainIndex(selectedSwapChain);
    if (const int32 nChain = ChainIndex(pendingFrames[nNewest].header.SwapChainId()); nChain >= 0)
        nDone |= SwapChainMask(1) << nChain;
    for (int32 i = nNewest - 1; i >= 0 && nDone != nAll; --i) {
        PendingFrame &pending = pendingFrames[i];
        const int32 nChain = ChainIndex(pending.header.SwapChainId());
        if (nChain < 0 || (nDone >> nChain) & 1)
            continue;
        nDone |= SwapChainMask(1) << nChain;
        RecordFrame(nChain, pending.header, pending.samples);
    }
}

bool CFrameIntake::WriteCapture(const std::string &sPath, const std::string &sTargetName, std::string *pError) const
{
    CaptureInfo info;
    info.sTargetName = sTargetName;
    info.nTakenAtUs = CaptureTimeNow();
    info.sWriterVersion = std::string("corvid ") + ProductVersion();
    CCaptureWriter writer;
    bool bWritten = writer.Open(sPath, info);
    if (bWritten && !lastTextureList.IsEmpty())
        bWritten = writer.AppendChunk(GPU_PROFILER_CHUNK_TEXTURES, GPU_PROFILER_CHUNK_VERSION, lastTextureList.Base(),
                                      uint32(lastTextureList.Count()));
    if (bWritten && !lastBufferList.IsEmpty())
        bWritten = writer.AppendChunk(GPU_PROFILER_CHUNK_BUFFERS, GPU_PROFILER_CHUNK_VERSION, lastBufferList.Base(),
                                      uint32(lastBufferList.Count()));
    std::vector<std::pair<const FrameHistory *, const FrameHistoryEntry *>> frames;
    for (int32 c = 0; c < swapChains.Count(); ++c) {
        const FrameHistory *pHistory = SwapChainHistory(c);
        for (int32 p = 0; pHistory && p < pHistory->Count(); ++p)
            frames.emplace_back(pHistory, pHistory->EntryAt(p));
    }
    // Unpacking reads the histories only, so two threads can do it at once.
    const auto source = [&frames](size_t nIndex, GpuFrameHeader *pHeader, GpuSampleArray *pSamples) {
        const auto [pHistory, pEntry] = frames[nIndex];
        *pHeader = pEntry->header;
        // A frame that came without samples goes out so again (its placeholder is the
        // history's); one whose records could not be stored is left out.
        if (pHeader->SampleCount() == 0)
            return pSamples->SetCount(0);
        if (pEntry->sampleCount == 0 || !pHistory->DecodeSamples(*pEntry, pSamples))
            return false;
        pHeader->SetSampleCount(uint32(pSamples->Count()));
        return true;
    };
    bWritten = bWritten && writer.AppendFrames(frames.size(), source);
    if (!writer.Close() || !bWritten) {
        *pError = writer.Error();
        return false;
    }
    return true;
}

void CFrameIntake::KeepTextureList(const void *pPayload, uint32 nSize)
{
    KeepPayload(lastTextureList, pPayload, nSize);
}

void CFrameIntake::KeepBufferList(const void *pPayload, uint32 nSize)
{
    KeepPayload(lastBufferList, pPayload, nSize);
}
