#include "gpuprofiler/devicewindow/frame_history.h"

void FrameHistory::ResetEntry(FrameHistoryEntry &entry)
{
    entry.totalGpuTime = 0.0;
    entry.frame.header = GpuFrameHeader{};
    entry.frame.samples = nullptr;
    entry.sampleArray.Purge();
}

int32 FrameHistory::AddEntry()
{
    const int32 nSlot = tail;
    tail = (tail + 1) % kSlots;
    if (tail == head)
        head = (head + 1) % kSlots;
    ResetEntry(entries[nSlot]);
    maxValid = false;
    return nSlot;
}

void FrameHistory::DropOldest()
{
    if (head == tail)
        return;
    ResetEntry(entries[head]);
    head = (head + 1) % kSlots;
    maxValid = false;
}

void FrameHistory::Clear()
{
    head = 0;
    tail = 0;
    for (FrameHistoryEntry &entry : entries)
        ResetEntry(entry);
    maxValid = false;
}

int32 FrameHistory::Count() const
{
    const int32 nCount = tail - head;
    return nCount < 0 ? nCount + kSlots : nCount;
}

FrameHistoryEntry *FrameHistory::EntryAt(int32 nPosition)
{
    if (nPosition < 0 || nPosition >= Count())
        return nullptr;
    return &entries[(head + nPosition) % kSlots];
}

double FrameHistory::MaxTotalGpuTime()
{
    if (maxValid)
        return cachedMax;
    double flMax = kMinMaxTotalGpuTime;
    const int32 nCount = Count();
    for (int32 p = 0; p < nCount; ++p) {
        const double flTotal = entries[(head + p) % kSlots].totalGpuTime;
        if (flTotal > flMax)
            flMax = flTotal;
    }
    cachedMax = flMax;
    maxValid = true;
    return cachedMax;
}

int64 FrameHistory::SampleBytes() const
{
    int64 nBytes = 0;
    for (const FrameHistoryEntry &entry : entries)
        nBytes += int64(entry.sampleArray.Capacity()) * int64(sizeof(GpuSampleRecord));
    return nBytes;
}
