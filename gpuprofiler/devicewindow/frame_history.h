#pragma once
// The device window's record of recent frames: a ring of 500 slots that holds at most 499
// frames, plus the queue of frames that arrived since the last timer tick.

#include "gpuprofiler/framedata/gpu_frame.h"

// A frame handed over by the subtool and not yet looked at by the timer.
struct PendingFrame
{
    GpuFrameHeader header{};
    GpuSampleArray samples;
};

// One recorded frame. The frame's samples pointer points at the entry's own array, so entries
// never move: they live in the ring's fixed array.
struct FrameHistoryEntry
{
    double totalGpuTime = 0.0;
    GpuFrame frame;
    GpuSampleArray sampleArray;
};

class FrameHistory
{
public:
    static constexpr int32 kSlots = 500;
    // The ring keeps one slot empty so that head == tail means empty.
    static constexpr int32 kMaxFrames = kSlots - 1;
    // The bars are scaled against at least one millisecond.
    static constexpr double kMinMaxTotalGpuTime = 0.001;

    FrameHistory() = default;
    ~FrameHistory() = default;
    FrameHistory(const FrameHistory &) = delete;
    FrameHistory &operator=(const FrameHistory &) = delete;

    // Takes the slot at tail for a new frame, dropping the oldest frame when the ring is full,
    // and empties it. Returns the slot.
    int32 AddEntry();
    // Drops the oldest frame and releases its samples; nothing when empty.
    void DropOldest();
    // Empties every slot and releases all sample storage.
    void Clear();

    int32 Count() const;
    // Position 0 is the oldest recorded frame, Count() - 1 the newest; null outside.
    FrameHistoryEntry *EntryAt(int32 nPosition);
    FrameHistoryEntry &Slot(int32 nSlot) { return entries[nSlot]; }
    int32 Head() const { return head; }
    int32 Tail() const { return tail; }

    // The longest total GPU time of the recorded frames, at least kMinMaxTotalGpuTime; cached
    // until the history changes.
    double MaxTotalGpuTime();
    // Bytes of sample storage held by recorded frames.
    int64 SampleBytes() const;

private:
    static void ResetEntry(FrameHistoryEntry &entry);

    FrameHistoryEntry entries[kSlots];
    int32 head = 0;
    int32 tail = 0;
    bool maxValid = false;
    double cachedMax = 0.0;
};
