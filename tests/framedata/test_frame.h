#pragma once
// Frames made in memory for the frame-data and timeline tests and benchmarks: a header and an
// owned sample array, shaped like what the device window keeps in its history.

#include "gpu_frame.h"

#include <cstdio>
#include <string_view>

class CTestFrame
{
public:
    CTestFrame() { frame.samples = &samples; }
    CTestFrame(const CTestFrame &) = delete;
    CTestFrame &operator=(const CTestFrame &) = delete;

    // Appends a sample with the given name and GPU interval (seconds); everything else zero.
    GpuSampleRecord &Add(std::string_view sName, double flGpuStart = 0.0, double flGpuTime = 0.0)
    {
        const int32 i = samples.AddToTail();
        GpuSampleRecord &sample = samples[i];
        sample.SetName(sName);
        sample.SetGpuStartTime(flGpuStart);
        sample.SetGpuTime(flGpuTime);
        frame.header.SetSampleCount(uint32(samples.Count()));
        return sample;
    }

    // A frame like a game's: nViews views of four layers each, runs of draws with the usual
    // spread of counters (most histogram bins empty), laid end to end in time.
    void Generate(int nSamples, int nViews = 4)
    {
        static const char *const kLayers[] = {"Opaque", "Shadows", "Transparent", "PostFX"};
        uint32 nSeed = 12345;
        auto next = [&nSeed] {
            nSeed = nSeed * 1664525u + 1013904223u;
            return nSeed >> 8;
        };
        const int nPerLayer = nSamples / (nViews * 4) > 0 ? nSamples / (nViews * 4) : 1;
        double flStart = 1.5;
        for (int i = 0; i < nSamples; ++i) {
            const int nGroup = i / nPerLayer;
            char szName[96];
            std::snprintf(szName, sizeof(szName), "#View%d/%s/Draw %s%d", (nGroup / 4) % nViews, kLayers[nGroup % 4],
                          (next() % 7 == 0) ? "+" : "", int(next() % 40));
            const double flGpuTime = double(next() % 200000) * 1e-9;
            GpuSampleRecord &s = Add(szName, flStart, flGpuTime);
            flStart += flGpuTime;
            s.SetCpuTime(double(next() % 50000) * 1e-9);
            s.SetDraws(uint16(next() % 20));
            s.SetVerts(next() % 200000);
            s.SetPrims(next() % 100000);
            s.SetIaVerts(next() % 200000);
            s.SetIaPrims(next() % 100000);
            s.SetVsInvokes(next() % 300000);
            s.SetCInvokes(next() % 100000);
            s.SetCPrims(next() % 100000);
            s.SetPsInvokes(next() % 4000000);
            if (next() % 3 == 0)
                s.SetClears(1);
            if (next() % 5 == 0) {
                s.SetCbUpdates(uint16(next() % 30));
                s.SetCbUpload(next() % 65536);
            }
            s.SetInstHist(1, uint16(next() % 20));
            s.SetPrimsPerDrawHist(int(next() % 12), uint16(next() % 20));
        }
    }

    GpuSampleArray samples;
    GpuFrame frame;
};
