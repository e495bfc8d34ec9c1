// Hostile frames through a device window: arbitrary header and sample bytes handed over and
// recorded, with pausing, layout changes, swap-chain picks, history clicks, cursor moves and
// memory bounds in between. The window's history, sample model, frame statistics and timeline
// all read what a target sent; none of it may crash, read out of bounds or overflow. The compact
// history must give back every newest frame byte for byte as it was shown, and stay within its
// memory bound together with the frames kept of the other swap chains. Inputs of odd length go
// to a window opened for a capture, which records every frame as it arrives.

#include "device_window.h"
#include "frame_profile_model.h"
#include "timeline_view.h"
#include "window_script.h"

#include <QApplication>
#include <QComboBox>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

class CReader
{
public:
    CReader(const uint8_t *pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}
    bool AtEnd() const { return m_nPos >= m_nSize; }
    uint8 Byte() { return m_nPos < m_nSize ? m_pData[m_nPos++] : 0; }
    void Bytes(void *pOut, size_t n)
    {
        auto *p = static_cast<uint8 *>(pOut);
        for (size_t i = 0; i < n; ++i)
            p[i] = Byte();
    }

private:
    const uint8_t *m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};

CQCGPUProfilerDeviceWindow *s_pWindows[2] = {};
// Per window, its newest frame when its memory bound was last set.
uint64 s_nNewestAtBound[2] = {};

// Reads every cell the way a view would, building deferred rows.
void ReadModel(QAbstractItemModel *pModel, const QModelIndex &parent, int nDepth)
{
    const int nRows = pModel->rowCount(parent);
    for (int r = 0; r < nRows && r < 64; ++r) {
        for (int c : {0, 1, 5, 6, 12, 16}) {
            const QModelIndex index = pModel->index(r, c, parent);
            (void)pModel->data(index, Qt::DisplayRole);
            (void)pModel->data(index, Qt::UserRole);
        }
        if (nDepth < 2)
            ReadModel(pModel, pModel->index(r, 0, parent), nDepth + 1);
    }
}

void Check(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

uint64 NewestSerial(CQCGPUProfilerDeviceWindow &window)
{
    const FrameHistoryEntry *pNewest = window.History().EntryAt(window.History().Count() - 1);
    return pNewest ? pNewest->serial : 0;
}

// The history after a tick: a recording leaves it, and the frames kept of the other swap chains,
// within its bound (a bound lowered since takes effect at the next one), and its newest frame,
// when shown, unpacks to exactly the records that are shown.
void CheckHistory(CQCGPUProfilerDeviceWindow &window, uint64 nNewestBefore)
{
    FrameHistory &history = window.History();
    int64 nAll = 0;
    for (int32 c = 0; c < window.SwapChains().Count(); ++c)
        nAll += window.SwapChainHistory(c) ? window.SwapChainHistory(c)->MemoryBytes() : 0;
    if (NewestSerial(window) != nNewestBefore)
        Check(history.Count() <= 1 || history.MemoryBytes() <= history.MaxBytes());
    if (NewestSerial(window) != s_nNewestAtBound[window.IsCaptureWindow()])
        Check(history.Count() <= 1 || nAll <= history.MaxBytes());
    Check(history.Count() > 0 || history.NameCount() == 0);
    const FrameHistoryEntry *pNewest = history.EntryAt(history.Count() - 1);
    if (!pNewest || window.SelectedFrame() != pNewest || !window.ShownFrame())
        return;
    GpuSampleArray samples;
    if (!history.DecodeSamples(*pNewest, &samples))
        return;
    const GpuFrame *pShown = window.ShownFrame();
    Check(samples.Count() == pShown->SampleCount());
    Check(samples.Count() == 0 ||
          std::memcmp(samples.Base(), pShown->Samples(), size_t(samples.Count()) * sizeof(GpuSampleRecord)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_argc = 1;
    static char s_name[] = "fuzz_window_intake";
    static char *s_argv[] = {s_name, nullptr};
    static QApplication *s_pApplication = new QApplication(s_argc, s_argv);
    (void)s_pApplication;
    // One window for the whole run, as a session keeps its window: its history, swap chains and
    // bounds see everything that came before.
    s_pWindows[0] = new CQCGPUProfilerDeviceWindow("Fuzz Target", 0);
    s_pWindows[1] = new CQCGPUProfilerDeviceWindow("Fuzz Capture", 1, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    CQCGPUProfilerDeviceWindow &window = *s_pWindows[nSize & 1];
    CReader reader(pData, nSize);
    while (!reader.AtEnd()) {
        switch (reader.Byte()) {
        case WINDOW_SCRIPT_FRAME: {
            GpuFrameHeader header;
            reader.Bytes(&header, sizeof(header));
            const int32 nCount = reader.Byte();
            GpuSampleArray samples;
            if (samples.SetCount(nCount))
                reader.Bytes(samples.Base(), size_t(nCount) * sizeof(GpuSampleRecord));
            window.OnFrameReceived(&header, &samples);
            break;
        }
        case WINDOW_SCRIPT_TICK: {
            const uint64 nNewest = NewestSerial(window);
            window.TimerCallback();
            CheckHistory(window, nNewest);
            break;
        }
        case WINDOW_SCRIPT_MEMORY:
            window.History().SetMaxBytes((int64(reader.Byte()) + 1) * 1024);
            s_nNewestAtBound[window.IsCaptureWindow()] = NewestSerial(window);
            break;
        case WINDOW_SCRIPT_PAUSE:
            window.PauseUpdates(reader.Byte() & 1);
            break;
        case WINDOW_SCRIPT_HIERARCHY: {
            const bool bOn = reader.Byte() & 1;
            window.SampleModel()->SetHierarchicalMode(bOn);
            window.SetHierarchicalViewEnabled(bOn);
            break;
        }
        case WINDOW_SCRIPT_BUBBLES:
            window.DisablePipelineBubbles(reader.Byte() & 1);
            break;
        case WINDOW_SCRIPT_SELECT:
            window.SetSelectedFrame(int(reader.Byte()) - 8);
            ReadModel(window.SampleModel(), QModelIndex(), 0);
            break;
        case WINDOW_SCRIPT_COMBO:
            window.SwapChainCombo()->setCurrentIndex(int(reader.Byte()) % 8);
            // Another chain's frames are shown now, recorded under the bound of their time.
            s_nNewestAtBound[window.IsCaptureWindow()] = NewestSerial(window);
            break;
        case WINDOW_SCRIPT_CURSOR: {
            const int nSteps = reader.Byte() | (reader.Byte() << 8);
            window.TimelineView()->SetCursorTime((nSteps - 1000) * 1e-5, true, false);
            (void)window.SampleModel()->SampleIndexAtTime((nSteps - 1000) * 1e-5);
            break;
        }
        default:
            break;
        }
    }
    const uint64 nNewest = NewestSerial(window);
    window.TimerCallback();
    CheckHistory(window, nNewest);
    // Each input starts from the default bound; what it recorded stays, as in a session.
    window.History().SetMaxBytes(FrameHistory::kDefaultMaxBytes);
    return 0;
}
