#include "frame_builder.h"

#include <cstring>
#include <string>

GpuFrameHeader MakeFrameHeader(uint64 nSwapChainId, std::string_view sSwapChainName, uint32 nSampleCount)
{
    GpuFrameHeader header{};
    header.SetSwapChainId(nSwapChainId);
    header.SetSwapChainName(sSwapChainName);
    header.SetSampleCount(nSampleCount);
    return header;
}

GpuSampleRecord MakeSampleRecord(std::string_view sName, const SampleTiming &timing)
{
    GpuSampleRecord sample{};
    sample.SetCpuStartTime(timing.cpuStartTime);
    sample.SetCpuTime(timing.cpuTime);
    sample.SetGpuStartTime(timing.gpuStartTime);
    sample.SetGpuTime(timing.gpuTime);
    sample.SetName(sName);
    return sample;
}

TargetFrame MakeNumberedFrame(uint64 nSwapChainId, std::string_view sPrefix, uint32 nSampleCount, double flStep)
{
    TargetFrame frame;
    frame.header = MakeFrameHeader(nSwapChainId, "Numbered", nSampleCount);
    frame.samples.reserve(nSampleCount);
    std::string name(sPrefix);
    for (uint32 i = 0; i < nSampleCount; ++i) {
        name.resize(sPrefix.size());
        name += std::to_string(i);
        SampleTiming timing;
        timing.cpuStartTime = flStep * 0.25 * i;
        timing.cpuTime = flStep * 0.25;
        timing.gpuStartTime = flStep * i;
        timing.gpuTime = flStep;
        frame.samples.push_back(MakeSampleRecord(name, timing));
    }
    return frame;
}

std::vector<uint8> FrameHeaderPayload(const GpuFrameHeader &header)
{
    const auto *pBytes = reinterpret_cast<const uint8 *>(&header);
    return std::vector<uint8>(pBytes, pBytes + sizeof(header));
}
