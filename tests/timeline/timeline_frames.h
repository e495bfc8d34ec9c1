#pragma once
// Frames made by hand for the timeline's tests and benchmarks: an owned sample array and the
// GpuFrame that points at it.

#include "gpu_frame.h"

#include <string_view>

struct TestFrame
{
    GpuSampleArray samples;
    GpuFrame frame;

    TestFrame() { frame.samples = &samples; }
    TestFrame(const TestFrame &) = delete;
    TestFrame &operator=(const TestFrame &) = delete;

    // Appends a sample; times in seconds. Returns false when storage ran out.
    bool Add(std::string_view sName, double flGpuStart, double flGpuTime)
    {
        const int32 nIdx = samples.AddToTail();
        if (nIdx < 0)
            return false;
        GpuSampleRecord &record = samples[nIdx];
        record.SetName(sName);
        record.SetGpuStartTime(flGpuStart);
        record.SetGpuTime(flGpuTime);
        frame.header.SetSampleCount(uint32(samples.Count()));
        return true;
    }
};
