#include "window_test_support.h"

#include "subtool_link.h"

#include <cstdio>
#include <cstring>

QList<SentCommand> CommandRecorder::s_Sent;
QList<uint32> CommandRecorder::s_Forgotten;

namespace {

bool RecordSend(uint32 nWindowId, uint32 nCode, uint32 nValue)
{
    CommandRecorder::s_Sent.append({nWindowId, nCode, nValue});
    return true;
}

void RecordForget(uint32 nWindowId)
{
    CommandRecorder::s_Forgotten.append(nWindowId);
}

} // namespace

CommandRecorder::CommandRecorder()
{
    s_Sent.clear();
    s_Forgotten.clear();
    SetSubToolLink({&RecordSend, &RecordForget});
}

CommandRecorder::~CommandRecorder()
{
    SetSubToolLink({nullptr, nullptr});
}

QList<QPair<uint32, uint32>> CommandRecorder::Take()
{
    QList<QPair<uint32, uint32>> commands;
    for (const SentCommand &command : std::as_const(s_Sent))
        commands.append({command.nCode, command.nValue});
    s_Sent.clear();
    return commands;
}

QList<uint32> CommandRecorder::TakeForgotten()
{
    QList<uint32> forgotten = s_Forgotten;
    s_Forgotten.clear();
    return forgotten;
}

void HandOver(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    GpuSampleArray samples;
    samples.SetCount(int32(frame.samples.size()));
    if (!frame.samples.empty())
        std::memcpy(samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
    window.OnFrameReceived(&frame.header, &samples);
}

void Record(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame)
{
    HandOver(window, frame);
    window.TimerCallback();
}

std::vector<GpuSampleRecord> RecordedSamples(const FrameHistory &history, const FrameHistoryEntry *pEntry)
{
    GpuSampleArray samples;
    if (!pEntry || !history.DecodeSamples(*pEntry, &samples))
        return {};
    return std::vector<GpuSampleRecord>(samples.begin(), samples.end());
}

TargetFrame TimedFrame(uint64 nSwapChain, const QList<double> &gpuTimesMs, const QList<double> &gpuStartsMs)
{
    TargetFrame frame;
    frame.header = MakeFrameHeader(nSwapChain, "Main", uint32(gpuTimesMs.size()));
    double flStart = 0.0;
    for (int i = 0; i < gpuTimesMs.size(); ++i) {
        SampleTiming timing;
        timing.gpuTime = gpuTimesMs[i] / 1000.0;
        timing.cpuTime = timing.gpuTime / 2.0;
        timing.gpuStartTime = i < gpuStartsMs.size() ? gpuStartsMs[i] / 1000.0 : flStart;
        flStart = timing.gpuStartTime + timing.gpuTime;
        char name[16];
        std::snprintf(name, sizeof(name), "s%d", i);
        frame.samples.push_back(MakeSampleRecord(name, timing));
    }
    frame.SyncSampleCount();
    return frame;
}
