#include "gpuprofiler_tool.h"

#include "device_window_bridge.h"
#include "interface_registry.h"

#include <QAction>

namespace {

// Constant-initialised: the subtool's tables are valid from the moment the library is loaded,
// before any static constructor has run.
constinit CGPUProfilerTool s_GPUProfilerTool;

void *CreateGPUProfilerTool()
{
    // The host sees the object through its primary (app-system) table.
    return static_cast<IAppSystem *>(&s_GPUProfilerTool);
}

InterfaceReg s_GPUProfilerToolReg(CreateGPUProfilerTool, GPUPROFILER_SUBTOOL_INTERFACE_VERSION);

} // namespace

CGPUProfilerTool &CGPUProfilerTool::Get()
{
    return s_GPUProfilerTool;
}

CGPUProfilerTool::~CGPUProfilerTool()
{
    for (int32 i = connections.Count() - 1; i >= 0; --i)
        connections[i].assembly.Reset();
    connections.Purge();
}

void CGPUProfilerTool::SetHost(ICorvidHost *pHost, QAction *pToolAction)
{
    host = pHost;
    toolAction = pToolAction;
}

bool CGPUProfilerTool::ShowForCurrentConnection()
{
    ICorvidConnection *pConnection = host ? host->GetCurrentConnection() : nullptr;
    if (!pConnection)
        return false;
    if (pConnection->GetState() != CORVID_CONNECTION_READY)
        return true;

    if (CGPUProfilerConnection *pRecord = FindRecordByConnection(pConnection)) {
        if (pRecord->window)
            RaiseDeviceWindow(pRecord->window);
        return true;
    }

    const int32 nIndex = connections.AddToTail();
    if (nIndex < 0)
        return true;
    InitConnectionRecord(&connections[nIndex], nextWindowId, pConnection);
    ++nextWindowId;
    return true;
}

void CGPUProfilerTool::InitConnectionRecord(CGPUProfilerConnection *pRecord, uint32 nWindowId, ICorvidConnection *pConnection)
{
    // The window sends its first commands from its constructor; they find this record by id
    // and connection, so both are stored before the window is made.
    pRecord->windowId = nWindowId;
    pRecord->connection = pConnection;
    pRecord->assembly.Reset();
    pRecord->assembly.samples.EnsureCapacity(CGPUProfilerConnection::kInitialSampleCapacity);

    const CorvidNameHolder *pName = pConnection->GetName();
    const char *pszName = (pName && pName->m_pszName) ? pName->m_pszName : "";

    // Toolkit code runs while the window is made; find the record again rather than trust
    // the pointer.
    CQCGPUProfilerDeviceWindow *pWindow = CreateDeviceWindow(pszName, nWindowId, pConnection->IsCapture());
    if (CGPUProfilerConnection *pSame = FindRecordByWindowId(nWindowId))
        pSame->window = pWindow;
    else
        DestroyDeviceWindow(pWindow);
}

void CGPUProfilerTool::RemoveConnectionRecord(int32 nIndex)
{
    const uint32 nWindowId = connections[nIndex].windowId;
    if (CQCGPUProfilerDeviceWindow *pWindow = connections[nIndex].window) {
        // Cleared first, so nothing that the destructor sets off can reach the dying window.
        // The record keeps its connection until the window is gone: the window's closing
        // commands are sent from its destructor.
        connections[nIndex].window = nullptr;
        DestroyDeviceWindow(pWindow);
        // Toolkit code ran in between; find the record again rather than trust the index.
        nIndex = FindRecordIndexByWindowId(nWindowId);
        if (nIndex < 0)
            return;
    }
    CGPUProfilerConnection &record = connections[nIndex];
    record.connection = nullptr;
    record.assembly.Reset();
    connections.Remove(nIndex);
    // An empty table holds no storage, so a closed session leaves nothing behind.
    if (connections.IsEmpty())
        connections.Purge();
}

void CGPUProfilerTool::OnConnectionClosed(ICorvidConnection *pConnection)
{
    const int32 nIndex = FindRecordIndexByConnection(pConnection);
    if (nIndex >= 0)
        RemoveConnectionRecord(nIndex);
}

void CGPUProfilerTool::ForgetWindow(uint32 nWindowId)
{
    CGPUProfilerTool &tool = Get();
    const int32 nIndex = tool.FindRecordIndexByWindowId(nWindowId);
    if (nIndex >= 0)
        tool.RemoveConnectionRecord(nIndex);
}

void CGPUProfilerTool::UpdateToolAction(ICorvidConnection *pConnection)
{
    if (!pConnection || !toolAction)
        return;
    toolAction->setEnabled(pConnection->GetState() == CORVID_CONNECTION_READY);
}

void CGPUProfilerTool::OnConnectionStateChanged(ICorvidConnection *pConnection, int32 nState)
{
    if (!host || !pConnection || host->GetCurrentConnection() != pConnection)
        return;
    if (toolAction)
        toolAction->setEnabled(nState == CORVID_CONNECTION_READY);
    CGPUProfilerConnection *pRecord = FindRecordByConnection(pConnection);
    if (pRecord && pRecord->window)
        DeliverTargetState(pRecord->window, nState);
}

int32 CGPUProfilerTool::FindRecordIndexByConnection(ICorvidConnection *pConnection) const
{
    for (int32 i = 0; i < connections.Count(); ++i) {
        if (connections[i].connection == pConnection)
            return i;
    }
    return -1;
}

int32 CGPUProfilerTool::FindRecordIndexByWindowId(uint32 nWindowId) const
{
    for (int32 i = 0; i < connections.Count(); ++i) {
        if (connections[i].windowId == nWindowId)
            return i;
    }
    return -1;
}

CGPUProfilerConnection *CGPUProfilerTool::FindRecordByConnection(ICorvidConnection *pConnection)
{
    const int32 nIndex = FindRecordIndexByConnection(pConnection);
    return nIndex >= 0 ? &connections[nIndex] : nullptr;
}

CGPUProfilerConnection *CGPUProfilerTool::FindRecordByWindowId(uint32 nWindowId)
{
    const int32 nIndex = FindRecordIndexByWindowId(nWindowId);
    return nIndex >= 0 ? &connections[nIndex] : nullptr;
}
