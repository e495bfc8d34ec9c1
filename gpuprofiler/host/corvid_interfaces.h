#pragma once
// What the host console and a subtool plug-in see of each other. Every class here is called by
// position in its table: each declares exactly its operations, in order, and nothing else.

#include "bedrock_api.h"

class QAction;
class QWidget;
class ICorvidDataReceived;

// Connection states as the host reports them. Only CORVID_CONNECTION_READY means that the
// target is connected and ready; every other value means not ready.
enum CorvidConnectionState
{
    CORVID_CONNECTION_DISCONNECTED = 0,
    CORVID_CONNECTION_CONNECTING = 1,
    CORVID_CONNECTION_HANDSHAKE = 2,
    CORVID_CONNECTION_READY = 3,
};

// A received chunk buffer starts with this many bytes of host data; the payload follows.
constexpr uint32 CORVID_CHUNK_HEADER_SIZE = 12;

// The holder that GetName returns; its first field points to the zero-terminated name.
struct CorvidNameHolder
{
    const char *m_pszName;
};

// The table: GetName, RegisterDataType, GetState, SendData, IsCapture, in this order.
class ICorvidConnection
{
public:
    virtual const CorvidNameHolder *GetName() = 0;
    // From now on chunks of this id from this target go to pReceiver->OnDataReceived.
    virtual bool RegisterDataType(uint32 nChunkId, uint16 nVersion, ICorvidDataReceived *pReceiver) = 0;
    virtual int32 GetState() = 0;
    // Sends one chunk; the buffer comes from g_pMemAlloc and belongs to the host from here on.
    virtual bool SendData(uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) = 0;
    // True for a capture file that the host plays back as a target: its chunks arrive through
    // OnDataReceived like a live target's, the whole file each time a tool's window says it is
    // open (as a live target starts streaming then), and what the tool sends goes nowhere. A
    // tool records every frame of a capture and shows it at rest; false for a live target.
    virtual bool IsCapture() = 0;

protected:
    ~ICorvidConnection() = default;
};

class ICorvidHost
{
public:
    // The connection of the target selected in the host, or null. The same target keeps the
    // same object for as long as it lives.
    virtual ICorvidConnection *GetCurrentConnection() = 0;

protected:
    ~ICorvidHost() = default;
};

class ICorvidDataReceived
{
public:
    // pBuffer comes from g_pMemAlloc: CORVID_CHUNK_HEADER_SIZE bytes of host data, then nSize
    // bytes of payload. The receiver frees it.
    virtual bool OnDataReceived(ICorvidConnection *pConnection, uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) = 0;

protected:
    constexpr ICorvidDataReceived() = default;
    ~ICorvidDataReceived() = default;
};

class ICorvidSubTool
{
public:
    virtual void SetHost(ICorvidHost *pHost, QAction *pToolAction) = 0;
    // The host has finished building its main window and its tool actions.
    virtual void OnHostReady() = 0;
    virtual bool ShowForCurrentConnection() = 0;
    // A widget that the host may dock into its own main window; null for a tool that keeps
    // windows of its own.
    virtual QWidget *GetDockableWidget() = 0;
    // The host is about to close its main window.
    virtual void OnHostClosing() = 0;
    virtual void RegisterDataTypes(ICorvidConnection *pConnection) = 0;
    virtual void OnConnectionClosed(ICorvidConnection *pConnection) = 0;
    virtual void UpdateToolAction(ICorvidConnection *pConnection) = 0;
    virtual void OnConnectionStateChanged(ICorvidConnection *pConnection, int32 nState) = 0;
    // A new connection object exists (before any of its chunk types are registered).
    virtual void OnConnectionOpened(ICorvidConnection *pConnection) = 0;
    // The user selected another target in the host.
    virtual void OnCurrentConnectionChanged(ICorvidConnection *pConnection) = 0;
    // The host's settings were changed by the user.
    virtual void OnHostSettingsChanged() = 0;
    // Whether the host should put the tool's action on its toolbar.
    virtual bool WantsToolbarButton() = 0;
    // Whether the host should show the tool by itself whenever a target connects.
    virtual bool WantsAutoShow() = 0;
    // The host has saved its layout (window geometry and open tools).
    virtual void OnHostLayoutSaved() = 0;

protected:
    constexpr ICorvidSubTool() = default;
    ~ICorvidSubTool() = default;
};
