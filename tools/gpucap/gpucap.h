#pragma once
// The gpucap commands, one function each, called by main() with their parsed options. Each
// returns the process's exit code and writes its messages to stderr, prefixed "gpucap: ".

#include <cstdint>
#include <string>

// Exit codes of every command.
enum GpucapExit
{
    GPUCAP_EXIT_DONE = 0,
    GPUCAP_EXIT_REGRESSION = 1, // diff: a path got slower than the threshold
    GPUCAP_EXIT_USAGE = 2, // the command line is wrong
    GPUCAP_EXIT_FAILED = 3, // the target could not be reached or went away, a file could not be read or written
};

struct RecordOptions
{
    std::string sHost;
    uint16_t nPort = 0;
    uint32_t nFrames = 0;
    // Only frames of this swap chain count (and are kept); empty for every swap chain.
    std::string sSwapChain;
    std::string sOutput;
    // Give up when no frame to keep arrived for this long.
    int nIdleTimeoutMs = 10000;
    // What a new profiler window asks for; off gives the target's frames without the drain
    // after every sample.
    bool bPipelineFlushing = true;
    bool bQuiet = false;
};

int RunRecord(const RecordOptions &options);

struct DiffOptions
{
    std::string sBase;
    std::string sNew;
    // A path whose median GPU time grew by more than this many percent is a regression.
    double flThresholdPercent = 10.0;
    // Paths whose median is below this many milliseconds in both captures are listed but never
    // fail the run: their percentages are noise.
    double flMinMs = 0.05;
    // Rows listed (0: all).
    int nTop = 30;
};

int RunDiff(const DiffOptions &options);

struct ExportOptions
{
    std::string sCapture;
    // The CSV file; "-" for standard output.
    std::string sOutput;
    // samples: the frame's place in the capture, from 0 (the "Frame" of gpucap frames).
    uint64_t nFrame = 0;
};

// One line per frame: its place, swap chain, times, sample count and the frame's totals.
int RunFrames(const ExportOptions &options);
// Frame nFrame's samples, byte for byte as the profiler's "Save as CSV..." writes them.
int RunSamples(const ExportOptions &options);

// Exit from a signal handler's flag: the command in progress finishes what it has and stops.
bool GpucapStopRequested();
