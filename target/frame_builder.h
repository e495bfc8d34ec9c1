#pragma once
// Frames as a target sends them: a frame header and its sample records, built field by field
// in wire order (big-endian) through the records' own setters, so that what leaves the target
// is byte for byte what the profiler reads.

#include "wire_frame.h"

#include <string_view>
#include <vector>

// One frame on the target side. The header's sampleCount is kept equal to samples.size() by
// the builders here; a test that wants a lying header sets it afterwards.
struct TargetFrame
{
    GpuFrameHeader header{};
    std::vector<GpuSampleRecord> samples;

    // Stores samples.size() in the header.
    void SyncSampleCount() { header.SetSampleCount(uint32(samples.size())); }
};

// The timing of one sample, in seconds.
struct SampleTiming
{
    double cpuStartTime = 0.0;
    double cpuTime = 0.0;
    double gpuStartTime = 0.0;
    double gpuTime = 0.0;
};

// A header for a swap chain: its id and name (cut to 63 characters), the announced sample
// count, no resource statistics, reserved bytes zero.
GpuFrameHeader MakeFrameHeader(uint64 nSwapChainId, std::string_view sSwapChainName, uint32 nSampleCount);

// A sample with a name (cut to 254 characters) and its timing; every counter zero.
GpuSampleRecord MakeSampleRecord(std::string_view sName, const SampleTiming &timing);

// A frame of nSampleCount samples named "<sPrefix><index>" whose GPU work follows each other
// without gaps, every sample flStep seconds long. Handy where only the samples' identity and
// order matter.
TargetFrame MakeNumberedFrame(uint64 nSwapChainId, std::string_view sPrefix, uint32 nSampleCount, double flStep = 0.0001);

// The header's 188 bytes as they go into a GPRF payload.
std::vector<uint8> FrameHeaderPayload(const GpuFrameHeader &header);
