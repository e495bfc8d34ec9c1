// Writes the seed inputs of fuzz_window_intake: realistic frames from the target library in
// short scripts with ticks, pauses, layout changes and clicks, and a few damaged ones.

#include "frame_generator.h"
#include "window_script.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Script = std::vector<unsigned char>;

// A frame with its first nCount samples, and a tick.
void AppendFrame(Script &out, const TargetFrame &frame, size_t nCount)
{
    out.push_back(WINDOW_SCRIPT_FRAME);
    const auto *pHeader = reinterpret_cast<const unsigned char *>(&frame.header);
    out.insert(out.end(), pHeader, pHeader + sizeof(frame.header));
    nCount = std::min(nCount, frame.samples.size());
    out.push_back(static_cast<unsigned char>(nCount));
    const auto *pSamples = reinterpret_cast<const unsigned char *>(frame.samples.data());
    out.insert(out.end(), pSamples, pSamples + nCount * sizeof(GpuSampleRecord));
    out.push_back(WINDOW_SCRIPT_TICK);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_window_corpus <dir>\n");
        return 2;
    }
    FrameGeneratorOptions options;
    options.nSampleCount = 24;
    options.nSwapChains = 2;
    options.flGpuFrameTime = 0.014;
    CFrameGenerator generator(5, options);

    Script live;
    for (int i = 0; i < 6; ++i)
        AppendFrame(live, generator.NextFrame(), 24);
    Script paused = live;
    paused.insert(paused.end(),
                  {WINDOW_SCRIPT_PAUSE, 1, WINDOW_SCRIPT_TICK, WINDOW_SCRIPT_SELECT, 9, WINDOW_SCRIPT_HIERARCHY, 0, WINDOW_SCRIPT_CURSOR,
                   0xf0, 0x03, WINDOW_SCRIPT_HIERARCHY, 1, WINDOW_SCRIPT_SELECT, 10, WINDOW_SCRIPT_COMBO, 1, WINDOW_SCRIPT_TICK});
    // Headers that announce more samples than come, and none.
    Script lying;
    TargetFrame frame = generator.NextFrame();
    frame.header.SetSampleCount(60000);
    AppendFrame(lying, frame, 3);
    frame.header.SetSampleCount(0);
    lying.insert(lying.end(), {WINDOW_SCRIPT_BUBBLES, 0});
    AppendFrame(lying, frame, 0);
    // A history bounded to a few frames: recordings drop the oldest by memory, then clicks and
    // a swap-chain pick select and empty what is left.
    Script bounded = {WINDOW_SCRIPT_MEMORY, 3};
    for (int i = 0; i < 12; ++i)
        AppendFrame(bounded, generator.NextFrame(), 24);
    bounded.insert(bounded.end(),
                   {WINDOW_SCRIPT_PAUSE, 1, WINDOW_SCRIPT_TICK, WINDOW_SCRIPT_SELECT, 8, WINDOW_SCRIPT_SELECT, 10, WINDOW_SCRIPT_COMBO, 1,
                    WINDOW_SCRIPT_TICK});

    bool bOk = true;
    for (const auto &[sName, script] : {std::pair<const char *, const Script &>{"live", live},
                                        {"paused", paused},
                                        {"lying_counts", lying},
                                        {"bounded_memory", bounded}}) {
        std::ofstream file(std::string(argv[1]) + "/" + sName, std::ios::binary);
        file.write(reinterpret_cast<const char *>(script.data()), std::streamsize(script.size()));
        bOk = bOk && file.good();
    }
    return bOk ? 0 : 1;
}
