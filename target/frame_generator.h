#pragma once
// Realistic frames for the demo target, the tests and the benchmarks: what a game engine's
// profiler would report for one frame. Samples are grouped by view and layer in submission
// order ("#Main/Opaque/Draw Rock_02", "#Shadow/Cascade 1/Draw Terrain", "#Post/Bloom/Blur Mip 3"),
// a few plain names stand outside the paths ("Present"), GPU work follows itself with small
// gaps, most counters are zero and the names repeat from frame to frame: the data that chunk
// compression sees.
//
// The sequence depends only on the seed and the options, on every platform: the generator has
// its own random source rather than the standard library's distributions.

#include "frame_builder.h"

#include <string>

struct FrameGeneratorOptions
{
    uint32 nSampleCount = 1000;
    // Frames carry up to this many percent of nSampleCount more or fewer samples (at most 100),
    // as a game's frames do when objects come into view and go. 0 gives every frame exactly
    // nSampleCount samples.
    uint32 nSampleCountVariation = 0;
    // Frames take turns on this many swap chains (at least 1); the first is the main window's.
    int nSwapChains = 1;
    // Whether headers carry resource statistics.
    bool bResourceStats = true;
    // Seconds from one frame's start to the next on the target's clock.
    double flFrameInterval = 1.0 / 60.0;
    // The GPU time a frame takes in all, in seconds, whatever its sample count: frames vary
    // around it and now and then take two or three times as long, as frames of a game do.
    // 0 keeps the samples' own times (their sum then grows with the sample count).
    double flGpuFrameTime = 0.0;
    // A pass made slower on purpose, to check that a regression is found: every sample of the
    // view sSlowPass ("Shadow"), or of one layer of it ("Shadow/Cascade 1"), takes flSlowFactor
    // times as long, and the work after it starts that much later. Applied after the frame is
    // scaled to its wanted length, so the frame grows. Empty: no pass is slowed.
    std::string sSlowPass;
    double flSlowFactor = 1.0;
};

class CFrameGenerator
{
public:
    explicit CFrameGenerator(uint64 nSeed = 1, const FrameGeneratorOptions &options = FrameGeneratorOptions());

    // The next frame, into frame (its storage is reused, so a streaming target does not
    // allocate per frame).
    void NextFrame(TargetFrame &frame);
    TargetFrame NextFrame();

    const FrameGeneratorOptions &Options() const { return m_options; }
    void SetSampleCount(uint32 nSampleCount) { m_options.nSampleCount = nSampleCount; }
    // With pipeline flushing the GPU drains after every sample before it starts the next: each
    // sample pays for filling an empty pipeline and leaves an idle bubble behind it, so frames
    // take longer. Names, counters and the frame-to-frame variation stay what they would be
    // without flushing: the extra time comes from a random source of its own.
    void SetPipelineFlushing(bool bFlushing) { m_bPipelineFlushing = bFlushing; }
    bool PipelineFlushing() const { return m_bPipelineFlushing; }
    // Frames made so far.
    uint64 FrameIndex() const { return m_nFrameIndex; }

private:
    // xorshift64*: small, fast and the same on every platform.
    class CRandom
    {
    public:
        explicit CRandom(uint64 nState) : m_nState(nState ? nState : 1) {}
        uint64 Next();
        // Uniform in [nLow, nHigh].
        uint32 Uniform(uint32 nLow, uint32 nHigh);
        // Uniform in [flLow, flHigh).
        double UniformReal(double flLow, double flHigh);

    private:
        uint64 m_nState;
    };

    uint32 Uniform(uint32 nLow, uint32 nHigh) { return m_random.Uniform(nLow, nHigh); }
    double UniformReal(double flLow, double flHigh) { return m_random.UniformReal(flLow, flHigh); }
    bool Chance(uint32 nPercent) { return Uniform(0, 99) < nPercent; }

    uint32 FrameSampleCount();
    void FillHeader(GpuFrameHeader &header, int nSwapChain);
    void FillDraw(GpuSampleRecord &sample);
    void FillFullscreen(GpuSampleRecord &sample, uint32 nDivisor);
    void FlushBetweenSamples(TargetFrame &frame);
    void SlowDownPass(TargetFrame &frame) const;

    FrameGeneratorOptions m_options;
    CRandom m_random;
    CRandom m_flushRandom;
    bool m_bPipelineFlushing = false;
    uint64 m_nFrameIndex = 0;
};
