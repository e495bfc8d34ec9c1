#pragma once
// The subtool object that the host gets from CreateInterface, and its per-target records.

#include "external_subtool.h"
#include "frame_assembler.h"
#include "growable_array.h"

class CQCGPUProfilerDeviceWindow;

// The interface version name under which the host asks for this subtool.
inline constexpr const char *GPUPROFILER_SUBTOOL_INTERFACE_VERSION = "Corvid_SubTool_001_GPUProfilerTool";

// One opened target: its window and the frame being assembled from its chunks.
struct CGPUProfilerConnection
{
    static constexpr uint32 kUnassignedWindowId = 0xFFFFFFFFu;
    static constexpr int32 kInitialSampleCapacity = 1024;

    uint32 windowId = kUnassignedWindowId;
    ICorvidConnection *connection = nullptr; // not owned; the key of host callbacks
    CQCGPUProfilerDeviceWindow *window = nullptr; // owned
    // The frame being assembled: the most recent GPRF payload as received, the records that
    // came for it so far and their array. A record assembles at most
    // CFrameAssembler::kMaxFrameSampleBytes of records.
    CFrameAssembler assembly;
};

class CGPUProfilerTool final : public IExternalCorvidSubTool, public ICorvidDataReceived
{
public:
    constexpr CGPUProfilerTool() = default;
    // Runs at library unload: releases the sample storage of the remaining records, last to
    // first. Windows are not destroyed here; the toolkit may already be gone.
    ~CGPUProfilerTool();

    CGPUProfilerTool(const CGPUProfilerTool &) = delete;
    CGPUProfilerTool &operator=(const CGPUProfilerTool &) = delete;

    // ICorvidSubTool
    void SetHost(ICorvidHost *pHost, QAction *pToolAction) override;
    void OnHostReady() override {}
    bool ShowForCurrentConnection() override;
    QWidget *GetDockableWidget() override { return nullptr; }
    void OnHostClosing() override {}
    void RegisterDataTypes(ICorvidConnection *pConnection) override;
    void OnConnectionClosed(ICorvidConnection *pConnection) override;
    void UpdateToolAction(ICorvidConnection *pConnection) override;
    void OnConnectionStateChanged(ICorvidConnection *pConnection, int32 nState) override;
    void OnConnectionOpened(ICorvidConnection *) override {}
    void OnCurrentConnectionChanged(ICorvidConnection *) override {}
    void OnHostSettingsChanged() override {}
    bool WantsToolbarButton() override { return true; }
    bool WantsAutoShow() override { return false; }
    void OnHostLayoutSaved() override {}

    // ICorvidDataReceived
    bool OnDataReceived(ICorvidConnection *pConnection, uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) override;

    // Frame assembly for one record: a GPRF payload starts a frame, GPRD and GPRC payloads add
    // its sample records, and the frame goes to the record's window once all have arrived.
    static void OnFrameHeader(CGPUProfilerConnection *pRecord, uint32 nSize, const void *pPayload);
    static void OnFrameSamples(CGPUProfilerConnection *pRecord, uint32 nSize, const void *pPayload, bool bCompressed);

    // What a device window asks of the subtool; both reach the one subtool object.
    static bool SendTargetCommand(uint32 nWindowId, uint32 nCode, uint32 nValue);
    static void ForgetWindow(uint32 nWindowId);

    // The one subtool of this library.
    static CGPUProfilerTool &Get();

    // Read access for the tests and the chunk handlers.
    int32 GetConnectionCount() const { return connections.Count(); }
    CGPUProfilerConnection *GetConnectionRecord(int32 nIndex) { return &connections[nIndex]; }
    CGPUProfilerConnection *FindRecordByConnection(ICorvidConnection *pConnection);
    CGPUProfilerConnection *FindRecordByWindowId(uint32 nWindowId);
    uint32 GetNextWindowId() const { return nextWindowId; }

private:
    void InitConnectionRecord(CGPUProfilerConnection *pRecord, uint32 nWindowId, ICorvidConnection *pConnection);
    // Tears down record nIndex (window first, while the record still holds its connection so
    // that the window's closing commands reach the target) and removes it from the table.
    void RemoveConnectionRecord(int32 nIndex);
    int32 FindRecordIndexByConnection(ICorvidConnection *pConnection) const;
    int32 FindRecordIndexByWindowId(uint32 nWindowId) const;

    ICorvidHost *host = nullptr;
    QAction *toolAction = nullptr;
    uint32 nextWindowId = 0;
    GrowableArray<CGPUProfilerConnection> connections;
};
