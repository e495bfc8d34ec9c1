// Hostile frames through a device window: arbitrary header and sample bytes handed over and
// recorded, with pausing, layout changes, swap-chain picks, history clicks, cursor moves and
// memory bounds in between. The window's history, sample model, frame statistics and timeline
// all read what a target sent; none of it may crash, read out of bounds or overflow. The compact
// history must give back every newest frame byte for byte as it was shown, and stay within its
// memory bound together with the frames kept of the other swap chains. Inputs of odd length go
// to a window opened for a capture, which records every frame as it arrives.

#include "device_window.h"
#include "frame_profile_model.h"
#include "fuzz_check.h"
#include "timeline_view.h"
#include "window_script.h"

#include <QApplication>
#include <QComboBox>

#include <cstring>

namespace {

CQCGPUProfilerDeviceWindow *s_pWindows[2] = {};
// Per window, its newest frame when its memory bound was last set.
uint64 s_nNewestAtBound[2] = {};

// Reads every cell the way a view would, building deferred rows.
void ReadModel(QAbstractItemModel *pModel, const QModelIndex &parent, int nDepth)
{
    for (int r = 0; r < pModel->rowCount(parent) && r < 64; ++r) {
        for (int c : {0, 1, 5, 6, 12, 16}) {
            (void)pModel->data(pModel->index(r, c, parent), Qt::DisplayRole);
            (void)pModel->data(pModel->index(r, c, parent), Qt::UserRole);
        }
        if (nDepth < 2)
            ReadModel(pModel, pModel->index(r, 0, parent), nDepth + 1);
    }
}

uint64 NewestSerial(const FrameHistory &history)
{
    const FrameHistoryEntry *pNewest = history.EntryAt(history.Count() - 1);
    return pNewest ? pNewest->serial : 0;
}

// The history after a tick: a recording leaves it, and the frames kept of the other swap chains,
// within its bound (a bound lowered since takes effect at the next one), and its newest frame,
// when shown, unpacks to exactly the records that are shown.
void CheckHistory(CQCGPUProfilerDeviceWindow &window, uint64 nNewestBefore)
{
    const CFrameIntake &intake = window.Intake();
    const FrameHistory &history = intake.Shown();
    int64 nAll = 0;
    for (int32 c = 0; c < intake.SwapChainCount(); ++c)
        nAll += intake.SwapChainHistory(c) ? intake.SwapChainHistory(c)->MemoryBytes() : 0;
    if (NewestSerial(history) != nNewestBefore)
        Check(history.Count() <= 1 || history.MemoryBytes() <= history.MaxBytes());
    if (NewestSerial(history) != s_nNewestAtBound[intake.IsCapture()])
        Check(history.Count() <= 1 || nAll <= history.MaxBytes());
    Check(history.Count() > 0 || history.NameCount() == 0);
    const FrameHistoryEntry *pNewest = history.EntryAt(history.Count() - 1);
    GpuSampleArray samples;
    if (!pNewest || window.SelectedFrame() != pNewest || !history.DecodeSamples(*pNewest, &samples))
        return;
    const GpuFrame *pShown = window.ShownFrame();
    Check(samples.Count() == pShown->SampleCount());
    Check(samples.Count() == 0 || std::memcmp(samples.Base(), pShown->Samples(), size_t(samples.Count()) * sizeof(GpuSampleRecord)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_argc = 1;
    static char s_name[] = "fuzz_window_intake";
    static char *s_argv[] = {s_name, nullptr};
    new QApplication(s_argc, s_argv);
    // One window of each kind for the whole run, as a session keeps its window: its history,
    // swap chains and bounds see everything that came before.
    s_pWindows[0] = new CQCGPUProfilerDeviceWindow("Fuzz Target", 0);
    s_pWindows[1] = new CQCGPUProfilerDeviceWindow("Fuzz Capture", 1, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    CQCGPUProfilerDeviceWindow &window = *s_pWindows[nSize & 1];
    FrameHistory &history = window.Intake().Shown();
    CGpuFrameProfileModel *pModel = window.findChild<CGpuFrameProfileModel *>();
    size_t nPos = 0;
    // Data that runs past the end of the input reads as zeros.
    const auto byte = [&] { return nPos < nSize ? pData[nPos++] : uint8(0); };
    const auto bytes = [&](void *pOut, size_t n) {
        for (size_t i = 0; i < n; ++i)
            static_cast<uint8 *>(pOut)[i] = byte();
    };
    while (nPos < nSize) {
        switch (byte()) {
        case WINDOW_SCRIPT_FRAME: {
            GpuFrameHeader header;
            bytes(&header, sizeof(header));
            GpuSampleArray samples;
            const int32 nCount = byte();
            if (samples.SetCount(nCount))
                bytes(samples.Base(), size_t(nCount) * sizeof(GpuSampleRecord));
            window.OnFrameReceived(&header, &samples);
            break;
        }
        case WINDOW_SCRIPT_TICK: {
            const uint64 nNewest = NewestSerial(history);
            window.TimerCallback();
            CheckHistory(window, nNewest);
            break;
        }
        case WINDOW_SCRIPT_MEMORY:
            history.SetMaxBytes((int64(byte()) + 1) * 1024);
            s_nNewestAtBound[nSize & 1] = NewestSerial(history);
            break;
        case WINDOW_SCRIPT_PAUSE:
            window.PauseUpdates(byte() & 1);
            break;
        case WINDOW_SCRIPT_HIERARCHY: {
            const bool bOn = byte() & 1;
            pModel->SetHierarchicalMode(bOn);
            window.SetHierarchicalViewEnabled(bOn);
            break;
        }
        case WINDOW_SCRIPT_BUBBLES:
            window.DisablePipelineBubbles(byte() & 1);
            break;
        case WINDOW_SCRIPT_SELECT:
            window.SetSelectedFrame(int(byte()) - 8);
            ReadModel(pModel, QModelIndex(), 0);
            break;
        case WINDOW_SCRIPT_COMBO:
            window.findChild<QComboBox *>()->setCurrentIndex(int(byte()) % 8);
            // Another chain's frames are shown now, recorded under the bound of their time.
            s_nNewestAtBound[nSize & 1] = NewestSerial(history);
            break;
        case WINDOW_SCRIPT_CURSOR: {
            const double flTime = ((byte() | (byte() << 8)) - 1000) * 1e-5;
            window.findChild<CQTimelineView *>()->SetCursorTime(flTime, true, false);
            (void)pModel->SampleIndexAtTime(flTime);
            break;
        }
        default:
            break;
        }
    }
    const uint64 nNewest = NewestSerial(history);
    window.TimerCallback();
    CheckHistory(window, nNewest);
    // Each input starts from the default bound; what it recorded stays, as in a session.
    history.SetMaxBytes(FrameHistory::kDefaultMaxBytes);
    return 0;
}
