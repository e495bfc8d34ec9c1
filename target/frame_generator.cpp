#include "frame_generator.h"

#include <algorithm>
#include <string>

namespace {

// Work that a pass does as fixed steps over the screen rather than as draws of meshes: each
// step is one fullscreen draw on a target 1/nDivisor of the screen's width and height.
struct FullscreenStep
{
    const char *pszName;
    uint32 nDivisor;
};

// Bloom works down a mip chain and back up; names carry no '/', which would start a new path part.
constexpr FullscreenStep kBloomSteps[] = {
    {"Bright Pass", 2}, {"Downsample Mip 1", 4}, {"Downsample Mip 2", 8}, {"Downsample Mip 3", 16},
    {"Blur Mip 3", 16}, {"Upsample Mip 2", 8},   {"Upsample Mip 1", 4},   {"Bloom Composite", 1},
};
constexpr FullscreenStep kTonemapSteps[] = {
    {"Luminance Histogram", 4},
    {"Exposure Adapt", 64},
    {"Tonemap", 1},
    {"Color Grade", 1},
};
constexpr FullscreenStep kAaSteps[] = {
    {"Edge Detect", 1},
    {"Blend Weights", 1},
    {"Neighborhood Blend", 1},
    {"Sharpen", 1},
};

struct StepList
{
    const FullscreenStep *pSteps;
    uint32 nCount;
};

template <size_t N> constexpr StepList Steps(const FullscreenStep (&steps)[N])
{
    return {steps, uint32(N)};
}

// What a frame is made of, in submission order. Each pass gets a share of the frame's samples
// by its weight; a pass may open with a clear or close with a resolve. Scene passes draw meshes,
// UI passes draw widgets, post-processing passes run their fullscreen steps in order (and run
// them again when their share is larger, as a split-screen renderer would).
enum class PassWork
{
    Scene,
    Ui,
    Fullscreen,
};

struct PassDesc
{
    const char *pszView;
    const char *pszLayer;
    uint32 nWeight;
    const char *pszFirst; // a clear that opens the pass, or null
    const char *pszLast; // a resolve that closes it, or null
    PassWork work = PassWork::Scene;
    StepList steps = {nullptr, 0};
};

// Shadows and reflections come first: the main view samples both.
constexpr PassDesc kPasses[] = {
    {"Shadow", "Cascade 0", 6, "Clear Depth", nullptr},
    {"Shadow", "Cascade 1", 5, "Clear Depth", nullptr},
    {"Shadow", "Cascade 2", 4, "Clear Depth", nullptr},
    {"Shadow", "Cascade 3", 3, "Clear Depth", nullptr},
    {"Reflection", "Opaque", 6, "Clear Color", nullptr},
    {"Reflection", "Sky", 1, nullptr, nullptr},
    {"Main", "Depth Prepass", 8, "Clear Depth", nullptr},
    {"Main", "GBuffer", 14, "Clear GBuffer", nullptr},
    {"Main", "Opaque", 22, nullptr, "Resolve MSAA"},
    {"Main", "Decals", 4, nullptr, nullptr},
    {"Main", "Sky", 1, nullptr, nullptr},
    {"Main", "Translucent", 8, nullptr, "Resolve HDR"},
    {"Post", "Bloom", 2, nullptr, nullptr, PassWork::Fullscreen, Steps(kBloomSteps)},
    {"Post", "Tonemap", 1, nullptr, nullptr, PassWork::Fullscreen, Steps(kTonemapSteps)},
    {"Post", "AA", 1, nullptr, nullptr, PassWork::Fullscreen, Steps(kAaSteps)},
    {"UI", "HUD", 3, "Clear Stencil", nullptr, PassWork::Ui},
    {"UI", "Menus", 2, nullptr, nullptr, PassWork::Ui},
};

// The screen that post-processing covers.
constexpr uint32 kScreenWidth = 1920;
constexpr uint32 kScreenHeight = 1080;

constexpr const char *kWidgets[] = {
    "Text_Glyphs", "Icon_Atlas", "Minimap", "Crosshair", "Health_Bar", "Ammo_Counter", "Panel", "Button", "Cursor",
};
constexpr uint32 kWidgetCount = uint32(sizeof(kWidgets) / sizeof(kWidgets[0]));

constexpr const char *kMeshes[] = {
    "Terrain",        "Terrain_Detail", "Rock_01",     "Rock_02",   "Rock_03", "Tree_Oak",    "Tree_Pine",      "Grass_Patch",
    "Building_A",     "Building_B",     "Building_C",  "Road",      "Bridge",  "Water",       "Character_Hero", "Character_NPC",
    "Weapon_Rifle",   "Vehicle_Truck",  "Vehicle_Car", "Lamp_Post", "Fence",   "Crate",       "Barrel",         "Particles_Smoke",
    "Particles_Fire", "Foliage_Bush",   "Debris",      "Statue",    "Skydome", "Cloud_Layer",
};
constexpr uint32 kMeshCount = uint32(sizeof(kMeshes) / sizeof(kMeshes[0]));

// The plain names that stand outside view and layer; the last sample of every frame.
constexpr const char *kFrameEnd = "Present";

constexpr const char *kSwapChainNames[] = {"Main Swap Chain", "Editor Viewport", "Debug Overlay", "Capture Target"};

// Primitive count per draw -> bin of the primitives-per-draw histogram.
int PrimsPerDrawBin(uint32 nPrims)
{
    static constexpr uint32 kUpper[] = {16, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 65536, 262144};
    for (int i = 0; i < 11; ++i) {
        if (nPrims <= kUpper[i])
            return i;
    }
    return 11;
}

} // namespace

CFrameGenerator::CFrameGenerator(uint64 nSeed, const FrameGeneratorOptions &options)
    : m_options(options),
      m_random(nSeed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E5Full),
      m_flushRandom(nSeed * 0xD1B54A32D192ED03ull + 0x8CB92BA72F3D8DD7ull)
{
    if (m_options.nSwapChains < 1)
        m_options.nSwapChains = 1;
    m_options.nSampleCountVariation = std::min<uint32>(m_options.nSampleCountVariation, 100);
}

uint64 CFrameGenerator::CRandom::Next()
{
    m_nState ^= m_nState >> 12;
    m_nState ^= m_nState << 25;
    m_nState ^= m_nState >> 27;
    return m_nState * 0x2545F4914F6CDD1Dull;
}

uint32 CFrameGenerator::CRandom::Uniform(uint32 nLow, uint32 nHigh)
{
    const uint64 nSpan = uint64(nHigh) - nLow + 1;
    return nLow + uint32((Next() >> 11) % nSpan);
}

double CFrameGenerator::CRandom::UniformReal(double flLow, double flHigh)
{
    const double flUnit = double(Next() >> 11) * (1.0 / 9007199254740992.0);
    return flLow + (flHigh - flLow) * flUnit;
}

TargetFrame CFrameGenerator::NextFrame()
{
    TargetFrame frame;
    NextFrame(frame);
    return frame;
}

void CFrameGenerator::FillHeader(GpuFrameHeader &header, int nSwapChain)
{
    const int nNames = int(sizeof(kSwapChainNames) / sizeof(kSwapChainNames[0]));
    header = MakeFrameHeader(0x00007FF6A3C01230ull + 0x1A40ull * uint64(nSwapChain), kSwapChainNames[nSwapChain % nNames], 0);
    if (!m_options.bResourceStats)
        return;
    header.SetHasResourceStats(true);
    const uint32 nVbs = Uniform(180, 420);
    const uint32 nIbs = nVbs - Uniform(20, 120);
    const uint32 nCbs = Uniform(40, 90);
    const uint32 nTexs = Uniform(300, 900);
    header.SetResourceStat(0, nVbs);
    header.SetResourceStat(1, nVbs * Uniform(24, 96) * 1024);
    header.SetResourceStat(2, nIbs);
    header.SetResourceStat(3, nIbs * Uniform(8, 48) * 1024);
    header.SetResourceStat(4, nCbs);
    header.SetResourceStat(5, nCbs * 256 * Uniform(1, 16));
    header.SetResourceStat(6, Uniform(96, 320) << 20);
    header.SetResourceStat(7, nTexs);
    header.SetResourceStat(8, nTexs * Uniform(200, 900) * 1024);
    // Mostly textures of 64 to 2048 texels on a side, a few small and a few huge.
    uint32 nLeft = nTexs;
    for (int nBin = 15; nBin >= 0; --nBin) {
        uint32 nCount = 0;
        if (nBin >= 6 && nBin <= 11)
            nCount = std::min(nLeft, Uniform(nTexs / 12, nTexs / 5));
        else if (nBin >= 2 && nBin <= 13)
            nCount = std::min(nLeft, Uniform(0, nTexs / 40 + 1));
        if (nBin == 0)
            nCount = nLeft;
        nLeft -= nCount;
        header.SetBoundTexDimHist(nBin, nCount);
    }
}

void CFrameGenerator::FillDraw(GpuSampleRecord &sample)
{
    // Most samples are a single draw; batches and instanced draws come now and then.
    const uint16 nDraws = uint16(Chance(85) ? 1 : Uniform(2, 48));
    const uint32 nPrimsPerDraw = Chance(30) ? Uniform(2, 200) : Uniform(200, 30000);
    const uint32 nPrims = nPrimsPerDraw * nDraws;
    const uint32 nVerts = nPrims + Uniform(2, nPrims / 2 + 2);
    sample.SetDraws(nDraws);
    sample.SetVerts(nVerts);
    sample.SetPrims(nPrims);
    sample.SetIaVerts(nVerts);
    sample.SetIaPrims(nPrims);
    sample.SetVsInvokes(nVerts - nVerts / Uniform(3, 8));
    sample.SetCInvokes(nPrims);
    sample.SetCPrims(nPrims - nPrims / Uniform(2, 5));
    sample.SetPsInvokes(Chance(10) ? 0 : Uniform(64, 400000));
    if (Chance(20)) {
        const uint16 nUpdates = uint16(Uniform(1, 4));
        sample.SetCbUpdates(nUpdates);
        sample.SetCbUpload(uint32(nUpdates) * 256);
    }
    if (Chance(2)) {
        sample.SetVbUpdates(1);
        sample.SetVbUpload(Uniform(1, 64) * 1024);
    }
    if (Chance(1)) {
        sample.SetTexUpdates(1);
        sample.SetTexUpload(Uniform(16, 4096) * 1024);
    }
    const int nInstanceBin = Chance(90) ? 1 : int(Uniform(2, 11));
    sample.SetInstHist(nInstanceBin, nDraws);
    sample.SetPrimsPerDrawHist(PrimsPerDrawBin(nPrimsPerDraw), nDraws);
}

void CFrameGenerator::FillFullscreen(GpuSampleRecord &sample, uint32 nDivisor)
{
    // One triangle that covers the target: three vertices, a pixel shader run per pixel.
    const uint32 nPixels = (kScreenWidth / nDivisor) * (kScreenHeight / nDivisor);
    sample.SetDraws(1);
    sample.SetVerts(3);
    sample.SetPrims(1);
    sample.SetIaVerts(3);
    sample.SetIaPrims(1);
    sample.SetVsInvokes(3);
    sample.SetCInvokes(1);
    sample.SetCPrims(1);
    sample.SetPsInvokes(nPixels);
    if (Chance(50)) {
        sample.SetCbUpdates(1);
        sample.SetCbUpload(256);
    }
    sample.SetInstHist(1, 1);
    sample.SetPrimsPerDrawHist(PrimsPerDrawBin(1), 1);
}

uint32 CFrameGenerator::FrameSampleCount()
{
    const uint32 nBase = m_options.nSampleCount;
    // No draw from the random source without variation, so such frames stay as they were.
    if (m_options.nSampleCountVariation == 0 || nBase == 0)
        return nBase;
    const uint64 nSpread = uint64(nBase) * m_options.nSampleCountVariation / 100;
    const uint64 nCount = nBase - nSpread + Uniform(0, uint32(std::min<uint64>(2 * nSpread, 0xFFFFFFFFu)));
    return uint32(std::min<uint64>(nCount, 0xFFFFFFFFu));
}

void CFrameGenerator::FlushBetweenSamples(TargetFrame &frame)
{
    // Each sample starts on an empty pipeline, which costs it a few microseconds of its own
    // time, and the GPU idles for a few more while the pipeline drains after it. A frame of 400
    // samples in 14 ms grows by about a fifth, its samples' summed time by about a twelfth.
    double flShift = 0.0;
    for (GpuSampleRecord &sample : frame.samples) {
        const double flFill = m_flushRandom.UniformReal(1e-6, 5e-6);
        const double flDrain = m_flushRandom.UniformReal(2e-6, 6e-6);
        sample.SetGpuStartTime(sample.GpuStartTime() + flShift);
        sample.SetGpuTime(sample.GpuTime() + flFill);
        flShift += flFill + flDrain;
    }
}

void CFrameGenerator::SlowDownPass(TargetFrame &frame) const
{
    const std::string prefix = "#" + m_options.sSlowPass + "/";
    double flShift = 0.0;
    for (GpuSampleRecord &sample : frame.samples) {
        sample.SetGpuStartTime(sample.GpuStartTime() + flShift);
        if (sample.Name().starts_with(prefix)) {
            const double flExtra = sample.GpuTime() * (m_options.flSlowFactor - 1.0);
            sample.SetGpuTime(sample.GpuTime() + flExtra);
            flShift += flExtra;
        }
    }
}

void CFrameGenerator::NextFrame(TargetFrame &frame)
{
    const uint32 nCount = FrameSampleCount();
    const int nSwapChain = int(m_nFrameIndex % uint64(m_options.nSwapChains));
    FillHeader(frame.header, nSwapChain);
    frame.samples.assign(nCount, GpuSampleRecord{});

    // The target's clocks: the CPU records a frame ahead of the GPU.
    const double flFrameStart = 1234.5 + double(m_nFrameIndex) * m_options.flFrameInterval;
    double flGpuTime = flFrameStart + m_options.flFrameInterval;
    double flCpuTime = flFrameStart;

    // Every sample but the last is spread over the passes by weight, the first passes taking
    // what rounding leaves over.
    const uint32 nPathSamples = nCount > 0 ? nCount - 1 : 0;
    constexpr size_t kPassCount = sizeof(kPasses) / sizeof(kPasses[0]);
    uint32 nTotalWeight = 0;
    for (const PassDesc &pass : kPasses)
        nTotalWeight += pass.nWeight;
    uint32 nShare[kPassCount];
    uint32 nGiven = 0;
    for (size_t i = 0; i < kPassCount; ++i) {
        nShare[i] = uint32(uint64(nPathSamples) * kPasses[i].nWeight / nTotalWeight);
        nGiven += nShare[i];
    }
    for (size_t i = 0; nGiven < nPathSamples; i = (i + 1) % kPassCount, ++nGiven)
        ++nShare[i];

    std::string name;
    uint32 nIndex = 0;
    auto timeSample = [&](GpuSampleRecord &sample, double flGpuLow, double flGpuHigh) {
        // A sample's GPU time is mostly short; a log-like spread gives the odd long one.
        const double flGpu = flGpuLow * std::max(1.0, UniformReal(0.0, 1.0) * UniformReal(0.0, 1.0) * flGpuHigh / flGpuLow);
        const double flCpu = UniformReal(0.5e-6, 12e-6);
        sample.SetGpuStartTime(flGpuTime);
        sample.SetGpuTime(flGpu);
        sample.SetCpuStartTime(flCpuTime);
        sample.SetCpuTime(flCpu);
        flGpuTime += flGpu + (Chance(30) ? UniformReal(0.1e-6, 3e-6) : 0.0);
        flCpuTime += flCpu + UniformReal(0.2e-6, 2e-6);
    };

    for (size_t nPass = 0; nPass < kPassCount; ++nPass) {
        const PassDesc &pass = kPasses[nPass];
        const std::string prefix = std::string("#") + pass.pszView + "/" + pass.pszLayer + "/";
        for (uint32 i = 0; i < nShare[nPass]; ++i, ++nIndex) {
            GpuSampleRecord &sample = frame.samples[nIndex];
            const bool bFirst = i == 0 && pass.pszFirst;
            const bool bLast = i + 1 == nShare[nPass] && pass.pszLast && nShare[nPass] > 1;
            if (bFirst || bLast) {
                name = prefix + (bFirst ? pass.pszFirst : pass.pszLast);
                if (bFirst)
                    sample.SetClears(1);
                else
                    sample.SetResolves(1);
                timeSample(sample, 4e-6, 60e-6);
            } else if (pass.work == PassWork::Fullscreen) {
                const FullscreenStep &step = pass.steps.pSteps[i % pass.steps.nCount];
                name = prefix + step.pszName;
                FillFullscreen(sample, step.nDivisor);
                // Time goes with the pixels covered: a full-screen step is among the longest.
                const double flPixelShare = 1.0 / double(step.nDivisor * step.nDivisor);
                timeSample(sample, 3e-6 + 40e-6 * flPixelShare, 10e-6 + 500e-6 * flPixelShare);
            } else {
                name = prefix + "Draw " +
                    (pass.work == PassWork::Ui ? kWidgets[Uniform(0, kWidgetCount - 1)] : kMeshes[Uniform(0, kMeshCount - 1)]);
                FillDraw(sample);
                timeSample(sample, 2e-6, pass.work == PassWork::Ui ? 30e-6 : 400e-6);
            }
            sample.SetName(name);
        }
    }
    if (nCount > 0) {
        GpuSampleRecord &sample = frame.samples[nCount - 1];
        sample.SetName(kFrameEnd);
        timeSample(sample, 10e-6, 80e-6);
    }
    if (m_options.flGpuFrameTime > 0.0 && nCount > 0) {
        // Durations and the gaps between them shrink or grow together, so samples still
        // follow each other as before, only on a frame of the wanted length.
        const double flGpuStart = flFrameStart + m_options.flFrameInterval;
        const double flRawLength = flGpuTime - flGpuStart;
        double flWanted = m_options.flGpuFrameTime * UniformReal(0.7, 1.15);
        if (Chance(4))
            flWanted *= UniformReal(1.5, 3.0);
        const double flFactor = flRawLength > 0.0 ? flWanted / flRawLength : 1.0;
        for (GpuSampleRecord &sample : frame.samples) {
            sample.SetGpuStartTime(flGpuStart + (sample.GpuStartTime() - flGpuStart) * flFactor);
            sample.SetGpuTime(sample.GpuTime() * flFactor);
        }
    }
    // After the scaling: a slowed pass and flushing lengthen a frame of any wanted length.
    if (!m_options.sSlowPass.empty())
        SlowDownPass(frame);
    if (m_bPipelineFlushing)
        FlushBetweenSamples(frame);
    frame.SyncSampleCount();
    ++m_nFrameIndex;
}
