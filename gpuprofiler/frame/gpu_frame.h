#pragma once
// One frame as the sample model, the timeline and the CSV export read it.

#include "growable_array.h"
#include "wire_frame.h"

using GpuSampleArray = GrowableArray<GpuSampleRecord>;

// A copy of the frame's header and a pointer to the array that holds its samples. The array
// belongs to whoever keeps the frame (a frame-history entry); a null pointer means a frame
// without samples (an empty or cleared slot). The number of samples is the array's count: it
// equals the header's sampleCount, except for a frame recorded with the one placeholder sample
// that stands in for an empty frame.
struct GpuFrame
{
    GpuFrameHeader header{};
    GpuSampleArray *samples = nullptr;

    int32 SampleCount() const { return samples ? samples->Count() : 0; }
    const GpuSampleRecord *Samples() const { return samples ? samples->Base() : nullptr; }
    GpuSampleRecord *Samples() { return samples ? samples->Base() : nullptr; }
};
