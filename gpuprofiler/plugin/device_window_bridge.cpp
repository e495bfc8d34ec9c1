#include "gpuprofiler/plugin/device_window_bridge.h"

// The device window is not part of the plug-in yet: records are made without one, and
// everything addressed to a window is dropped as for a record whose window is gone.

CQCGPUProfilerDeviceWindow *CreateDeviceWindow(const char * /*pszTargetName*/, uint32 /*nWindowId*/)
{
    return nullptr;
}

void RaiseDeviceWindow(CQCGPUProfilerDeviceWindow * /*pWindow*/) {}

void DestroyDeviceWindow(CQCGPUProfilerDeviceWindow * /*pWindow*/) {}

void DeliverTargetState(CQCGPUProfilerDeviceWindow * /*pWindow*/, int32 /*nState*/) {}

void DeliverFrame(CQCGPUProfilerDeviceWindow * /*pWindow*/, const GpuFrameHeader * /*pHeader*/,
                  GrowableArray<GpuSampleRecord> * /*pSamples*/)
{
}

void DeliverTextureList(CQCGPUProfilerDeviceWindow * /*pWindow*/, const void * /*pPayload*/, uint32 /*nSize*/) {}

void DeliverBufferList(CQCGPUProfilerDeviceWindow * /*pWindow*/, const void * /*pPayload*/, uint32 /*nSize*/) {}
