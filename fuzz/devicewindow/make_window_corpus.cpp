// Writes the seed inputs of fuzz_window_intake: realistic frames from the target library in
// short scripts with ticks, pauses, layout changes and clicks, and a few damaged ones.

#include "frame_generator.h"
#include "window_script.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void AppendFrame(std::vector<unsigned char> &out, const TargetFrame &frame, size_t nCount)
{
    out.push_back(WINDOW_SCRIPT_FRAME);
    const auto *pHeader = reinterpret_cast<const unsigned char *>(&frame.header);
    out.insert(out.end(), pHeader, pHeader + sizeof(frame.header));
    nCount = nCount < frame.samples.size() ? nCount : frame.samples.size();
    out.push_back(static_cast<unsigned char>(nCount));
    const auto *pSamples = reinterpret_cast<const unsigned char *>(frame.samples.data());
    out.insert(out.end(), pSamples, pSamples + nCount * sizeof(GpuSampleRecord));
}

bool Write(const std::string &sDir, const std::string &sName, const std::vector<unsigned char> &bytes)
{
    FILE *pFile = std::fopen((sDir + "/" + sName).c_str(), "wb");
    if (!pFile)
        return false;
    const bool bOk = std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    return std::fclose(pFile) == 0 && bOk;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_window_corpus <dir>\n");
        return 2;
    }
    const std::string sDir = argv[1];
    FrameGeneratorOptions options;
    options.nSampleCount = 24;
    options.nSwapChains = 2;
    options.flGpuFrameTime = 0.014;
    CFrameGenerator generator(5, options);
    bool bOk = true;

    std::vector<unsigned char> live;
    for (int i = 0; i < 6; ++i) {
        AppendFrame(live, generator.NextFrame(), 24);
        live.push_back(WINDOW_SCRIPT_TICK);
    }
    bOk &= Write(sDir, "live", live);

    std::vector<unsigned char> paused = live;
    const unsigned char script[] = {WINDOW_SCRIPT_PAUSE,  1,    WINDOW_SCRIPT_TICK,      WINDOW_SCRIPT_SELECT, 9,
                                    WINDOW_SCRIPT_HIERARCHY, 0, WINDOW_SCRIPT_CURSOR,    0xf0, 0x03,
                                    WINDOW_SCRIPT_HIERARCHY, 1, WINDOW_SCRIPT_SELECT,    10,   WINDOW_SCRIPT_COMBO,
                                    1,                    WINDOW_SCRIPT_TICK};
    paused.insert(paused.end(), script, script + sizeof(script));
    bOk &= Write(sDir, "paused", paused);

    std::vector<unsigned char> lying;
    TargetFrame frame = generator.NextFrame();
    frame.header.SetSampleCount(60000);
    AppendFrame(lying, frame, 3);
    lying.push_back(WINDOW_SCRIPT_TICK);
    frame.header.SetSampleCount(0);
    AppendFrame(lying, frame, 0);
    lying.push_back(WINDOW_SCRIPT_BUBBLES);
    lying.push_back(0);
    lying.push_back(WINDOW_SCRIPT_TICK);
    bOk &= Write(sDir, "lying_counts", lying);

    // A history bounded to a few frames: recordings drop the oldest by memory, then clicks and
    // a swap-chain pick select and empty what is left.
    std::vector<unsigned char> bounded = {WINDOW_SCRIPT_MEMORY, 3};
    for (int i = 0; i < 12; ++i) {
        AppendFrame(bounded, generator.NextFrame(), 24);
        bounded.push_back(WINDOW_SCRIPT_TICK);
    }
    const unsigned char select[] = {WINDOW_SCRIPT_PAUSE, 1, WINDOW_SCRIPT_TICK, WINDOW_SCRIPT_SELECT, 8,
                                    WINDOW_SCRIPT_SELECT, 10, WINDOW_SCRIPT_COMBO, 1, WINDOW_SCRIPT_TICK};
    bounded.insert(bounded.end(), select, select + sizeof(select));
    bOk &= Write(sDir, "bounded_memory", bounded);

    return bOk ? 0 : 1;
}
