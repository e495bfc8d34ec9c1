// What the Vulkan layer costs an application: frames per second of gpuprofiler-vulkan-demo and
// of vkcube with the layer off, loaded with no profiler window open, and recording for a window
// (the benchmark plays the console: it connects, opens a window and reads every frame).
//
//   build/release/bench/vulkan/bench_layer_overhead [--benchmark_filter=Demo]
//
// Each case runs the application as its own process on lavapipe. The demo reports its own
// frame rate; vkcube runs a short and a long count of frames under Xvfb and the difference of
// the two times gives its rate without its start-up. The "fps" counter is the result.

#include "target_command.h"
#include "wire_link.h"
#include "wire_profiler.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

enum Mode
{
    kOff,
    kIdle,
    kRecording,
};

// Plays the console for the application on nPort: says hello, opens a profiler window and
// reads whatever comes until the application goes away.
class CRecordingConsole
{
public:
    explicit CRecordingConsole(uint16 nPort)
    {
        m_Thread = std::thread([this, nPort] { Run(nPort); });
    }
    ~CRecordingConsole()
    {
        m_bStop = true;
        m_Thread.join();
    }
    uint64 BytesRead() const { return m_nBytes; }

private:
    void Send(int nSocket, uint32 nId, const std::vector<uint8> &payload)
    {
        std::vector<uint8> message(CORVID_LINK_HEADER_SIZE);
        WriteCorvidLinkHeader(message.data(), {nId, 1, uint32(payload.size())});
        message.insert(message.end(), payload.begin(), payload.end());
        send(nSocket, message.data(), message.size(), MSG_NOSIGNAL);
    }

    void Run(uint16 nPort)
    {
        while (!m_bStop) {
            const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(nPort);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(nSocket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
                close(nSocket);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            Send(nSocket, CORVID_LINK_HELLO, {'b', 'e', 'n', 'c', 'h'});
            Send(nSocket, GPU_PROFILER_CHUNK_COMPRESSED, EncodeTargetCommand(GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, 0));
            Send(nSocket, GPU_PROFILER_CHUNK_COMPRESSED, EncodeTargetCommand(GPU_PROFILER_COMMAND_WINDOW_OPEN, 1));
            timeval timeout{0, 100000};
            setsockopt(nSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
            std::vector<uint8> buffer(1 << 20);
            while (!m_bStop) {
                const ssize_t nGot = recv(nSocket, buffer.data(), buffer.size(), 0);
                if (nGot == 0)
                    break;
                if (nGot > 0)
                    m_nBytes += uint64(nGot);
            }
            close(nSocket);
        }
    }

    std::atomic<bool> m_bStop{false};
    std::atomic<uint64> m_nBytes{0};
    std::thread m_Thread;
};

uint16 s_nNextPort = 29700;

std::string Environment(Mode mode, uint16 nPort)
{
    std::string sEnvironment = "VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json ";
    if (mode != kOff)
        sEnvironment += std::string("VK_LAYER_PATH=") + GPUPROFILER_LAYER_DIR +
            " VK_INSTANCE_LAYERS=VK_LAYER_CORVID_gpuprofiler GPUPROFILER_PORT=" + std::to_string(nPort) + " ";
    return sEnvironment;
}

// Runs a command line, returns its standard output and its wall time.
std::string Run(const std::string &sCommand, double *pflSeconds)
{
    const auto start = std::chrono::steady_clock::now();
    std::string sOutput;
    if (std::FILE *pPipe = popen((sCommand + " 2>/dev/null").c_str(), "r")) {
        char szLine[512];
        while (std::fgets(szLine, sizeof(szLine), pPipe))
            sOutput += szLine;
        pclose(pPipe);
    }
    *pflSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return sOutput;
}

void BM_DemoFps(benchmark::State &state)
{
    const Mode mode = Mode(state.range(0));
    double flFps = 0.0;
    for (auto _ : state) {
        const uint16 nPort = s_nNextPort++;
        std::unique_ptr<CRecordingConsole> pConsole(mode == kRecording ? new CRecordingConsole(nPort) : nullptr);
        double flSeconds = 0.0;
        const std::string sOutput = Run(Environment(mode, nPort) + GPUPROFILER_DEMO_PATH + " --fps 0 --run-for 4", &flSeconds);
        const size_t nAt = sOutput.find(" s: ");
        flFps = nAt == std::string::npos ? 0.0 : std::atof(sOutput.c_str() + nAt + 4);
        if (pConsole && pConsole->BytesRead() == 0)
            state.SkipWithError("the recording console received nothing");
    }
    state.counters["fps"] = flFps;
}

void BM_VkcubeFps(benchmark::State &state)
{
    const Mode mode = Mode(state.range(0));
    double flFps = 0.0;
    for (auto _ : state) {
        double flSeconds[2] = {};
        const int kFrames[2] = {200, 2200};
        for (int i = 0; i < 2; ++i) {
            const uint16 nPort = s_nNextPort++;
            std::unique_ptr<CRecordingConsole> pConsole(mode == kRecording ? new CRecordingConsole(nPort) : nullptr);
            Run(Environment(mode, nPort) + "xvfb-run -a -s '-screen 0 640x480x24' vkcube --c " + std::to_string(kFrames[i]), &flSeconds[i]);
        }
        flFps = flSeconds[1] > flSeconds[0] ? (kFrames[1] - kFrames[0]) / (flSeconds[1] - flSeconds[0]) : 0.0;
    }
    state.counters["fps"] = flFps;
}

void Modes(benchmark::internal::Benchmark *pBenchmark)
{
    pBenchmark->ArgName("layer_off_idle_recording")->Arg(kOff)->Arg(kIdle)->Arg(kRecording);
    pBenchmark->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_DemoFps)->Apply(Modes);
BENCHMARK(BM_VkcubeFps)->Apply(Modes);
BENCHMARK_MAIN();
