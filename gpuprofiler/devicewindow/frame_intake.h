#pragma once
// How a device window takes frames in, without a widget: the queue of frames handed over since
// the last timer tick, the swap chains they come from and the one whose frames are shown, bubble
// removal and totals, the shown history and the frames kept of every other listed swap chain for
// "Save Capture...", all within one memory bound, and the last resource lists. The window shows
// what this holds; a tick records at most one frame of the shown swap chain, the newest.
//
// A capture played back is different: every frame is recorded as it arrives, since a file is
// read far faster than the eye follows and every frame of it is wanted.

#include "frame_history.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CFrameIntake
{
public:
    // The queue holds at most this many frames, oldest first, and waiting frames other than the
    // newest hold at most this many bytes of samples.
    static constexpr int32 kMaxPendingFrames = 129;
    static constexpr int64 kMaxPendingSampleBytes = int64(64) << 20;
    // No swap chain chosen yet.
    static constexpr uint64 kNoSwapChain = 0xFFFFFFFFu;
    // At most this many swap chains are listed, far more than a game presents to; a target
    // inventing a new id for every frame must not grow the list without end. Frames of further
    // swap chains are counted and dropped.
    static constexpr int32 kMaxSwapChains = 64;

    // bCapture: the frames come from a capture played back and are recorded as they arrive.
    explicit CFrameIntake(bool bCapture);
    ~CFrameIntake();
    CFrameIntake(const CFrameIntake &) = delete;
    CFrameIntake &operator=(const CFrameIntake &) = delete;

    // A complete frame from the subtool. Live, it waits for the next tick and its samples change
    // hands without a copy (the caller keeps an empty array); a capture's frame is recorded now,
    // from the caller's array, whose storage the caller keeps for its next frame.
    void Receive(const GpuFrameHeader &header, GpuSampleArray *pSamples);
    // A tick: records the newest waiting frame and, for every other listed swap chain, the newest
    // of its frames that waited with it. Returns the entry of the newest frame when it is one of
    // the shown swap chain, with its records as recorded moved into *pRecords (so that it is
    // shown without unpacking); null otherwise. The waiting frames stay until DropPending.
    const FrameHistoryEntry *RecordNewest(GpuSampleArray *pRecords);
    // Lets every waiting frame go: frames that arrive while paused, and all but the newest of a
    // tick, are never recorded.
    void DropPending();

    // Shows the frames of listed swap chain index from now on: the swap chain shown so far keeps
    // its frames for saving, the picked one's become the shown history (a capture shows them; a
    // live window starts it afresh). False, and nothing changes, when index is not listed or is
    // the one shown already.
    bool SelectSwapChain(int32 index);

    // Bubble removal applies to the frames recorded from now on.
    void SetRemoveBubbles(bool bRemove) { removeBubbles = bRemove; }
    bool RemovesBubbles() const { return removeBubbles; }

    // The last texture and buffer lists received, kept as they came for saving.
    void KeepTextureList(const void *pPayload, uint32 nSize);
    void KeepBufferList(const void *pPayload, uint32 nSize);
    const GrowableArray<uint8> &LastTextureList() const { return lastTextureList; }
    const GrowableArray<uint8> &LastBufferList() const { return lastBufferList; }

    // Writes every recorded frame of every listed swap chain (in the order they were listed,
    // oldest frame first) and the last lists into a capture file; false with *pError saying why.
    bool WriteCapture(const std::string &sPath, const std::string &sTargetName, std::string *pError) const;

    bool IsCapture() const { return capture; }
    int32 PendingCount() const { return pendingFrames.Count(); }
    int32 SwapChainCount() const { return swapChains.Count(); }
    uint64 SwapChainId(int32 nChain) const { return swapChains[nChain]; }
    // The name the swap chain's first frame gave it, as it came (at most 63 bytes).
    const std::string &SwapChainName(int32 nChain) const { return swapChainNames[size_t(nChain)]; }
    uint64 SelectedSwapChain() const { return selectedSwapChain; }
    // Frames of swap chains beyond kMaxSwapChains, which are neither listed nor recorded.
    uint64 UnlistedSwapChainFrames() const { return unlistedSwapChainFrames; }
    // The shown swap chain's frames; its memory bound is the bound of all kept frames.
    FrameHistory &Shown() { return shown; }
    const FrameHistory &Shown() const { return shown; }
    // The frames recorded for listed swap chain nChain (the shown history for the selected one);
    // null when none were.
    const FrameHistory *SwapChainHistory(int32 nChain) const;

private:
    // The place of a listed swap chain in swapChains; -1 when it is not listed.
    int32 ChainIndex(uint64 nSwapChainId) const;
    // The place of the frame's swap chain in the list, listing it when it is new; -1 for a swap
    // chain beyond kMaxSwapChains.
    int32 ListSwapChain(const GpuFrameHeader &header);
    // Its entry of otherHistories, made when first needed.
    FrameHistory &KeptHistory(int32 nChain);
    // Records a complete frame of swap chain nChain as the history keeps it (bubbles removed if
    // asked, a placeholder for a frame without samples); samples is changed on the way.
    FrameHistoryEntry &RecordFrame(int32 nChain, const GpuFrameHeader &header, GpuSampleArray &samples);
    double RemoveBubblesAndTotal(GpuSampleArray &samples) const;
    // Frames kept only for saving go first when all kept frames pass the shown history's bound,
    // and never push out shown ones.
    void KeepWithinMemoryBound();
    // For every listed swap chain besides the selected one, records the newest of the frames that
    // waited with the one just recorded (pendingFrames[0..nNewest)).
    void KeepOtherSwapChains(int32 nNewest);

    const bool capture;
    bool removeBubbles;
    GrowableArray<PendingFrame> pendingFrames;
    // Swap-chain ids in the order they were first seen, and their names.
    GrowableArray<uint64> swapChains;
    std::vector<std::string> swapChainNames;
    // Place of each listed swap chain in swapChains, so that a frame finds its swap chain
    // without walking the list.
    std::unordered_map<uint64, int32> swapChainIndex;
    uint64 unlistedSwapChainFrames = 0;
    uint64 selectedSwapChain = kNoSwapChain;
    FrameHistory shown;
    // The frames of the listed swap chains other than the selected one, the most recent up to
    // 499 each (entry i for swapChains[i]; the selected chain's entry is empty).
    std::vector<std::unique_ptr<FrameHistory>> otherHistories;
    GrowableArray<uint8> lastTextureList;
    GrowableArray<uint8> lastBufferList;
};
