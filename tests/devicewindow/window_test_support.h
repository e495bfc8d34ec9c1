#pragma once
// Pieces shared by the device window tests: a subtool link that records what windows send, and
// feeding frames the way the subtool hands them over.

#include "device_window.h"
#include "frame_builder.h"

#include <QList>
#include <QPair>

#include <vector>

struct SentCommand
{
    uint32 nWindowId;
    uint32 nCode;
    uint32 nValue;
    bool operator==(const SentCommand &o) const { return nWindowId == o.nWindowId && nCode == o.nCode && nValue == o.nValue; }
};

// Installs a link whose commands and forgotten windows are recorded here.
class CommandRecorder
{
public:
    CommandRecorder();
    ~CommandRecorder();
    // (code, value) pairs sent by any window since construction or the last Take().
    QList<QPair<uint32, uint32>> Take();
    QList<uint32> TakeForgotten();

    static QList<SentCommand> s_Sent;
    static QList<uint32> s_Forgotten;
};

// Hands a frame to the window as the subtool does (header pointer and a sample array that the
// window takes over).
void HandOver(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame);
// Hands the frame over and runs one timer tick.
void Record(CQCGPUProfilerDeviceWindow &window, const TargetFrame &frame);

// The records of a recorded frame as the history gives them back.
std::vector<GpuSampleRecord> RecordedSamples(const FrameHistory &history, const FrameHistoryEntry *pEntry);

// A frame of the given swap chain with samples of the given GPU times (ms), starting at the
// given GPU start times (ms), named "s0", "s1", ...
TargetFrame TimedFrame(uint64 nSwapChain, const QList<double> &gpuTimesMs, const QList<double> &gpuStartsMs = {});
