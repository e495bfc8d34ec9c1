#include "device_window_bridge.h"

#include "device_window.h"
#include "gpuprofiler_tool.h"
#include "subtool_link.h"

CQCGPUProfilerDeviceWindow *CreateDeviceWindow(const char *pszTargetName, uint32 nWindowId, bool bCapture)
{
    // Windows reach the subtool only through these two operations.
    SetSubToolLink({&CGPUProfilerTool::SendTargetCommand, &CGPUProfilerTool::ForgetWindow});
    auto *pWindow = new CQCGPUProfilerDeviceWindow(pszTargetName, nWindowId, bCapture);
    pWindow->show();
    return pWindow;
}

void RaiseDeviceWindow(CQCGPUProfilerDeviceWindow *pWindow)
{
    if (!pWindow)
        return;
    pWindow->show();
    pWindow->raise();
    pWindow->activateWindow();
}

void DestroyDeviceWindow(CQCGPUProfilerDeviceWindow *pWindow)
{
    if (!pWindow)
        return;
    if (pWindow->IsClosingByUser()) {
        // Inside the window's own close event: say goodbye to the target now, while the record
        // still holds the connection, and let the toolkit delete the window when it is done
        // with the event.
        pWindow->SendClosingCommands();
        pWindow->deleteLater();
        return;
    }
    delete pWindow;
}

void DeliverTargetState(CQCGPUProfilerDeviceWindow *pWindow, int32 nState)
{
    if (pWindow)
        pWindow->OnTargetStateChanged(nState);
}

void DeliverFrame(CQCGPUProfilerDeviceWindow *pWindow, const GpuFrameHeader *pHeader, GrowableArray<GpuSampleRecord> *pSamples)
{
    if (pWindow)
        pWindow->OnFrameReceived(pHeader, pSamples);
}

void DeliverContentError(CQCGPUProfilerDeviceWindow *pWindow, int nKind, const char *pszReason, uint64 nDropped)
{
    if (pWindow)
        pWindow->OnContentError(nKind, pszReason, nDropped);
}

void DeliverTextureList(CQCGPUProfilerDeviceWindow *pWindow, const void *pPayload, uint32 nSize)
{
    if (pWindow)
        pWindow->OnTextureListReceived(pPayload, nSize);
}

void DeliverBufferList(CQCGPUProfilerDeviceWindow *pWindow, const void *pPayload, uint32 nSize)
{
    if (pWindow)
        pWindow->OnBufferListReceived(pPayload, nSize);
}
