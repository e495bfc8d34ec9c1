#pragma once
// The one place where connection records meet their device windows: creation, showing,
// destruction and the hand-over of frames, lists and state changes.

#include "growable_array.h"
#include "wire_frame.h"

class CQCGPUProfilerDeviceWindow;

// Creates and shows the window of a newly initialised record (bCapture: its connection plays a
// capture back). Returns null when no window can be made; the record then drops its frames and
// lists.
CQCGPUProfilerDeviceWindow *CreateDeviceWindow(const char *pszTargetName, uint32 nWindowId, bool bCapture);
// Shows, raises and activates an existing window.
void RaiseDeviceWindow(CQCGPUProfilerDeviceWindow *pWindow);
// Destroys a window at once; its destructor sends the closing commands.
void DestroyDeviceWindow(CQCGPUProfilerDeviceWindow *pWindow);
void DeliverTargetState(CQCGPUProfilerDeviceWindow *pWindow, int32 nState);
// A complete frame: the window copies the header and takes the samples over by exchanging
// arrays, so pSamples may come back empty and without storage.
void DeliverFrame(CQCGPUProfilerDeviceWindow *pWindow, const GpuFrameHeader *pHeader, GrowableArray<GpuSampleRecord> *pSamples);
// Something the target sent was dropped: its kind, the reason, and how many so far.
void DeliverContentError(CQCGPUProfilerDeviceWindow *pWindow, int nKind, const char *pszReason, uint64 nDropped);
// List payloads; they stay valid only for the call.
void DeliverTextureList(CQCGPUProfilerDeviceWindow *pWindow, const void *pPayload, uint32 nSize);
void DeliverBufferList(CQCGPUProfilerDeviceWindow *pWindow, const void *pPayload, uint32 nSize);
