#pragma once
// The device window's record of recent frames: a ring of 500 slots that holds at most 499
// frames, plus the queue of frames that arrived since the last timer tick.
//
// Recorded frames are kept compact, about a tenth of their 408-byte records: each sample's name
// field is an id into a pool of the names the frames use (a frame's names repeat frame after
// frame), counters that are zero take no space, the others as many bytes as their value needs,
// and start times that bubble removal laid end to end are left out (they are the running sums of
// the times before them). The records come back byte for byte, one frame at a time, when a
// frame is selected or written out. No toolkit.

#include "gpu_frame.h"
#include "sample_name_pool.h"

// A frame handed over by the subtool and not yet looked at by the timer.
struct PendingFrame
{
    GpuFrameHeader header{};
    GpuSampleArray samples;
};

// One recorded frame: its header as received, its total GPU time, and its records in compact
// form. Entries live in the ring's fixed array and never move.
struct FrameHistoryEntry
{
    double totalGpuTime = 0.0;
    GpuFrameHeader header{};
    // Records stored: the header's count, or 1 for a frame recorded with a placeholder sample;
    // 0 when the records could not be stored.
    int32 sampleCount = 0;
    // Tells apart the frames that took this slot in turn.
    uint64 serial = 0;
    // The encoded records, then the ids of the distinct names they use (4 bytes each).
    uint8 *pData = nullptr;
    uint32 nRecordBytes = 0;
    uint32 nNameIds = 0;
};

// Makes a complete frame's records what the history keeps of it: no more records than its
// header announces, and for a frame without any the one placeholder sample "Dummy", so that every
// recorded frame has a sample to show. A tool that writes a frame's CSV without a window makes
// the same records.
void PrepareFrameRecords(const GpuFrameHeader &header, GpuSampleArray &samples);

class FrameHistory
{
public:
    static constexpr int32 kSlots = 500;
    // The ring keeps one slot empty so that head == tail means empty.
    static constexpr int32 kMaxFrames = kSlots - 1;
    // The bars are scaled against at least one millisecond.
    static constexpr double kMinMaxTotalGpuTime = 0.001;
    // The recorded frames and their names take at most this many bytes; beyond it the oldest
    // frames go early (the newest is always kept). 499 frames of 10,000 samples of a game take
    // about a quarter of it; frames of 100,000 samples keep about 200 in it.
    static constexpr int64 kDefaultMaxBytes = int64(1) << 30;

    FrameHistory() = default;
    ~FrameHistory() { Clear(); }
    FrameHistory(const FrameHistory &) = delete;
    FrameHistory &operator=(const FrameHistory &) = delete;

    // Records a frame as the newest: its header, its nCount records (as they are to be kept,
    // after bubble removal) and its total, dropping the oldest frames when the ring is full or
    // the memory bound is passed. Returns the entry; without memory for the records its
    // sampleCount is 0.
    FrameHistoryEntry &Record(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, int32 nCount, double flTotalGpuTime);
    // Writes the records of a recorded frame into pSamples (count = the entry's sampleCount),
    // exactly as they were recorded. False when the array cannot hold them.
    bool DecodeSamples(const FrameHistoryEntry &entry, GpuSampleArray *pSamples) const;

    // Takes the slot at tail for a new frame, dropping the oldest frame when the ring is full,
    // and empties it. Returns the slot.
    int32 AddEntry();
    // Drops the oldest frame and releases its records; nothing when empty.
    void DropOldest();
    // Empties every slot and releases all storage.
    void Clear();
    // Exchanges the recorded frames and their names with another history, without copying a
    // record; each keeps its own memory bound.
    void Swap(FrameHistory &other);

    int32 Count() const;
    // Position 0 is the oldest recorded frame, Count() - 1 the newest; null outside.
    FrameHistoryEntry *EntryAt(int32 nPosition);
    const FrameHistoryEntry *EntryAt(int32 nPosition) const;
    FrameHistoryEntry &Slot(int32 nSlot) { return entries[nSlot]; }
    int32 Head() const { return head; }
    int32 Tail() const { return tail; }

    // The longest total GPU time of the recorded frames, at least kMinMaxTotalGpuTime; cached
    // until the history changes.
    double MaxTotalGpuTime();
    // Bytes held for the recorded frames: their compact records and the name pool.
    int64 MemoryBytes() const { return frameBytes + names.MemoryBytes(); }
    int64 MaxBytes() const { return maxBytes; }
    void SetMaxBytes(int64 nMaxBytes) { maxBytes = nMaxBytes; }
    int32 NameCount() const { return names.NameCount(); }

private:
    void ResetEntry(FrameHistoryEntry &entry);
    bool Encode(FrameHistoryEntry &entry, const GpuSampleRecord *pSamples, int32 nCount);

    FrameHistoryEntry entries[kSlots];
    int32 head = 0;
    int32 tail = 0;
    bool maxValid = false;
    double cachedMax = 0.0;
    uint64 nextSerial = 1;
    int64 frameBytes = 0;
    int64 maxBytes = kDefaultMaxBytes;
    CSampleNamePool names;
    GrowableArray<uint32> frameNames; // scratch: the distinct names of the frame being recorded
};
