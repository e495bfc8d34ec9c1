// Writes the seed corpus of the capture reader's fuzzer with the capture writer itself:
// realistic captures (frames of several sizes, resource lists, one swap chain or two), one cut
// short, one without samples, and a few hand-damaged ones.
// Usage: make_capture_corpus <dir>

#include "capture_writer.h"
#include "frame_generator.h"
#include "wire_profiler.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8>;

void WriteFile(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

// A capture of nFrames frames of about nSamples samples; bClose writes the end record.
bool MakeCapture(const std::filesystem::path &path, uint32 nFrames, uint32 nSamples, int nSwapChains, bool bLists, bool bClose)
{
    FrameGeneratorOptions options;
    options.nSampleCount = nSamples;
    options.nSampleCountVariation = nSamples ? 20 : 0;
    options.nSwapChains = nSwapChains;
    CFrameGenerator generator(nFrames * 31 + nSamples, options);
    CCaptureWriter writer;
    CaptureInfo info;
    info.sTargetName = "Seed Game";
    info.nTakenAtUs = 1714566896000000;
    info.sWriterVersion = "seed";
    if (!writer.Open(path.string(), info))
        return false;
    if (bLists) {
        const char texture[] = "\x01\x00\x00\x00texture-list-payload";
        writer.AppendChunk(GPU_PROFILER_CHUNK_TEXTURES, GPU_PROFILER_CHUNK_VERSION, texture, sizeof(texture) - 1);
    }
    for (uint32 i = 0; i < nFrames; ++i) {
        const TargetFrame frame = generator.NextFrame();
        writer.AppendFrame(frame.header, frame.samples.data(), frame.samples.size());
    }
    if (bLists) {
        const char buffers[] = "\x01\x00\x00\x00buffer-list-payload";
        writer.AppendChunk(GPU_PROFILER_CHUNK_BUFFERS, GPU_PROFILER_CHUNK_VERSION, buffers, sizeof(buffers) - 1);
    }
    if (bClose)
        return writer.Close();
    return writer.Flush();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_capture_corpus <dir>\n");
        return 2;
    }
    const std::filesystem::path dir = std::filesystem::path(argv[1]) / "capture_reader";
    std::filesystem::create_directories(dir);
    bool bOk = MakeCapture(dir / "one_frame", 1, 3, 1, false, true) && MakeCapture(dir / "small_frames", 6, 8, 2, true, true) &&
        MakeCapture(dir / "empty_frames", 3, 0, 1, false, true) && MakeCapture(dir / "cut_short", 2, 40, 1, true, false) &&
        MakeCapture(dir / "realistic", 2, 400, 2, true, true);

    // Hand-damaged variants of a small capture: a chunk cut off, a size that runs past the
    // end, a future version, junk after the end record.
    std::ifstream smallFile(dir / "small_frames", std::ios::binary);
    const Bytes small((std::istreambuf_iterator<char>(smallFile)), std::istreambuf_iterator<char>());
    bOk = bOk && small.size() > 100;
    if (bOk) {
        WriteFile(dir / "cut_mid_chunk", Bytes(small.begin(), small.begin() + std::ptrdiff_t(small.size() / 2)));
        Bytes forged = small;
        forged[37 + 8 + 1] = 0xFF; // the first chunk's size, high bytes
        WriteFile(dir / "forged_size", forged);
        Bytes future = small;
        future[9] = 2;
        WriteFile(dir / "future_version", future);
        Bytes trailing = small;
        trailing.push_back(0x47);
        WriteFile(dir / "trailing_byte", trailing);
    }
    if (!bOk)
        std::fprintf(stderr, "make_capture_corpus: could not write the seeds into %s\n", dir.string().c_str());
    return bOk ? 0 : 1;
}
