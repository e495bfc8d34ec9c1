// gpucap: GPU frame captures from the command line, without a display. Records frames from a
// target as the console's profiler would, and reads captures for plotting, export and regression
// checks. `gpucap --help` lists the commands.

#include "capture_format.h"
#include "gpucap.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t s_bStop = 0;

void OnSignal(int)
{
    s_bStop = 1;
}

const char kUsage[] = "usage: gpucap <command> [options]\n"
                      "\n"
                      "GPU frame captures (.gpucap) from the command line, without a display.\n"
                      "\n"
                      "commands:\n"
                      "  record --connect HOST:PORT --frames N [--swapchain NAME] -o FILE\n"
                      "         [--timeout SECONDS] [--no-pipeline-flushing] [--quiet]\n"
                      "      Connects to a target as the console does, opens a profiler stream, asks once for the\n"
                      "      resource lists, and records N complete frames (of swap chain NAME only, if given) into\n"
                      "      FILE. A target that cannot be reached, goes away, or sends no frame for --timeout\n"
                      "      seconds (10) ends the run with exit code 3; the frames recorded so far stay in FILE.\n"
                      "  frames FILE -o CSV\n"
                      "      One line per frame: its place in the file (from 0), swap chain, GPU and CPU time (ms),\n"
                      "      sample count and the frame's totals (draws, prims and the other counters). -o - writes\n"
                      "      to standard output.\n"
                      "  samples FILE --frame K -o CSV\n"
                      "      The samples of frame K (as numbered by frames), byte for byte what the profiler's\n"
                      "      \"Save as CSV...\" writes for it when the capture is opened in the console.\n"
                      "  diff BASE NEW [--threshold PCT] [--min-ms MS] [--top N]\n"
                      "      Per sample path, the median GPU time in each capture and the change, the largest\n"
                      "      regression first. Exit code 1 when a path's median grew by more than PCT percent (10);\n"
                      "      paths under MS milliseconds (0.05) in both captures never count.\n"
                      "\n"
                      "exit codes: 0 done, 1 regression found (diff), 2 bad command line, 3 failed (target\n"
                      "unreachable or lost, file unreadable or unwritable).\n";

int Usage(const char *pszProblem)
{
    std::fprintf(stderr, "gpucap: %s\n\n%s", pszProblem, kUsage);
    return GPUCAP_EXIT_USAGE;
}

bool ParseNumber(const char *psz, double flMin, double flMax, double *pflValue)
{
    char *pEnd = nullptr;
    const double flValue = std::strtod(psz, &pEnd);
    if (!*psz || *pEnd || !(flValue >= flMin && flValue <= flMax))
        return false;
    *pflValue = flValue;
    return true;
}

// "host:port"; the port after the last colon, so that "[::1]:29100" and "::1:29100" work too.
bool ParseAddress(const std::string &sAddress, std::string *psHost, uint16_t *pnPort)
{
    const size_t nColon = sAddress.rfind(':');
    double flPort = 0;
    if (nColon == std::string::npos || nColon == 0 || !ParseNumber(sAddress.c_str() + nColon + 1, 1, 65535, &flPort) ||
        flPort != double(int(flPort)))
        return false;
    std::string sHost = sAddress.substr(0, nColon);
    if (sHost.size() > 2 && sHost.front() == '[' && sHost.back() == ']')
        sHost = sHost.substr(1, sHost.size() - 2);
    *psHost = sHost;
    *pnPort = uint16_t(flPort);
    return true;
}

// Options of one command: "--name value" pairs, flags, and plain arguments in order.
struct Arguments
{
    std::vector<std::string> plain;
    std::vector<std::pair<std::string, std::string>> named;
    std::vector<std::string> flags;

    const char *Value(const char *pszName) const
    {
        for (const auto &[sName, sValue] : named) {
            if (sName == pszName)
                return sValue.c_str();
        }
        return nullptr;
    }
    bool Flag(const char *pszName) const
    {
        for (const std::string &sFlag : flags) {
            if (sFlag == pszName)
                return true;
        }
        return false;
    }
};

// Splits argv[2..] by the command's known options; false, with the problem, for anything else.
bool SplitArguments(int argc, char **argv, const std::vector<std::string> &valueOptions, const std::vector<std::string> &flagOptions,
                    Arguments *pArgs, std::string *psProblem)
{
    for (int i = 2; i < argc; ++i) {
        const std::string sArg = argv[i];
        if (sArg.size() < 2 || sArg[0] != '-') {
            pArgs->plain.push_back(sArg);
            continue;
        }
        bool bKnown = false;
        for (const std::string &sFlag : flagOptions) {
            if (sArg == sFlag) {
                pArgs->flags.push_back(sArg);
                bKnown = true;
            }
        }
        for (const std::string &sName : valueOptions) {
            if (sArg == sName) {
                if (i + 1 >= argc) {
                    *psProblem = sArg + " needs a value";
                    return false;
                }
                pArgs->named.push_back({sArg, argv[++i]});
                bKnown = true;
            }
        }
        if (!bKnown) {
            *psProblem = "unknown option " + sArg + " for " + argv[1];
            return false;
        }
    }
    return true;
}

int Record(const Arguments &args)
{
    RecordOptions options;
    const char *pszConnect = args.Value("--connect");
    const char *pszFrames = args.Value("--frames");
    const char *pszOutput = args.Value("-o");
    double flFrames = 0, flTimeout = 10;
    if (!pszConnect || !ParseAddress(pszConnect, &options.sHost, &options.nPort))
        return Usage("record needs --connect HOST:PORT");
    if (!pszFrames || !ParseNumber(pszFrames, 1, 1e9, &flFrames) || flFrames != double(uint32_t(flFrames)))
        return Usage("record needs --frames N, a whole number from 1");
    if (!pszOutput || !*pszOutput || !args.plain.empty())
        return Usage("record needs -o FILE and takes no other arguments");
    if (const char *pszTimeout = args.Value("--timeout"); pszTimeout && !ParseNumber(pszTimeout, 0.1, 86400, &flTimeout))
        return Usage("--timeout needs seconds, from 0.1");
    options.nFrames = uint32_t(flFrames);
    options.sOutput = pszOutput;
    options.nIdleTimeoutMs = int(flTimeout * 1000);
    if (const char *pszSwapChain = args.Value("--swapchain"))
        options.sSwapChain = pszSwapChain;
    options.bPipelineFlushing = !args.Flag("--no-pipeline-flushing");
    options.bQuiet = args.Flag("--quiet");
    return RunRecord(options);
}

int Diff(const Arguments &args)
{
    DiffOptions options;
    if (args.plain.size() != 2)
        return Usage("diff needs two captures: BASE NEW");
    options.sBase = args.plain[0];
    options.sNew = args.plain[1];
    double flTop = options.nTop;
    if (const char *psz = args.Value("--threshold"); psz && !ParseNumber(psz, 0, 1e6, &options.flThresholdPercent))
        return Usage("--threshold needs a percentage");
    if (const char *psz = args.Value("--min-ms"); psz && !ParseNumber(psz, 0, 1e6, &options.flMinMs))
        return Usage("--min-ms needs milliseconds");
    if (const char *psz = args.Value("--top"); psz && !ParseNumber(psz, 0, 1e9, &flTop))
        return Usage("--top needs a count");
    options.nTop = int(flTop);
    return RunDiff(options);
}

int Export(const Arguments &args, bool bSamples)
{
    ExportOptions options;
    const char *pszOutput = args.Value("-o");
    if (args.plain.size() != 1 || !pszOutput || !*pszOutput)
        return Usage(bSamples ? "samples needs FILE --frame K -o CSV" : "frames needs FILE -o CSV");
    options.sCapture = args.plain[0];
    options.sOutput = pszOutput;
    if (!bSamples)
        return RunFrames(options);
    double flFrame = 0;
    const char *pszFrame = args.Value("--frame");
    if (!pszFrame || !ParseNumber(pszFrame, 0, 1e15, &flFrame) || flFrame != double(uint64_t(flFrame)))
        return Usage("samples needs --frame K, a frame's place from 0");
    options.nFrame = uint64_t(flFrame);
    return RunSamples(options);
}

} // namespace

bool GpucapStopRequested()
{
    return s_bStop != 0;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage("which command?");
    const std::string sCommand = argv[1];
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return GPUCAP_EXIT_DONE;
        }
    }
    if (sCommand == "--version") {
        std::printf("gpucap %s\n", ProductVersion());
        return GPUCAP_EXIT_DONE;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Arguments args;
    std::string sProblem;
    if (sCommand == "record") {
        if (!SplitArguments(argc, argv, {"--connect", "--frames", "--swapchain", "-o", "--timeout"}, {"--no-pipeline-flushing", "--quiet"},
                            &args, &sProblem))
            return Usage(sProblem.c_str());
        return Record(args);
    }
    if (sCommand == "diff") {
        if (!SplitArguments(argc, argv, {"--threshold", "--min-ms", "--top"}, {}, &args, &sProblem))
            return Usage(sProblem.c_str());
        return Diff(args);
    }
    if (sCommand == "frames" || sCommand == "samples") {
        const bool bSamples = sCommand == "samples";
        if (!SplitArguments(argc, argv, bSamples ? std::vector<std::string>{"-o", "--frame"} : std::vector<std::string>{"-o"}, {}, &args,
                            &sProblem))
            return Usage(sProblem.c_str());
        return Export(args, bSamples);
    }
    return Usage(("unknown command " + sCommand).c_str());
}
