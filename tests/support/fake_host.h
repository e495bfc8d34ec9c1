#pragma once
// A host and target connections for tests. They record every call the plug-in makes and hand
// out chunk buffers from g_pMemAlloc exactly as the real host does.

#include "corvid_interfaces.h"

#include <QByteArray>
#include <QList>
#include <QPair>

class CFakeCorvidConnection final : public ICorvidConnection
{
public:
    struct Registration
    {
        uint32 nChunkId;
        uint16 nVersion;
        ICorvidDataReceived *pReceiver;
    };
    struct SentChunk
    {
        uint32 nChunkId;
        uint16 nVersion;
        QByteArray payload;
    };

    explicit CFakeCorvidConnection(const char *pszName = "Target", int32 nState = CORVID_CONNECTION_READY);
    ~CFakeCorvidConnection() = default;

    // ICorvidConnection
    const CorvidNameHolder *GetName() override;
    bool RegisterDataType(uint32 nChunkId, uint16 nVersion, ICorvidDataReceived *pReceiver) override;
    int32 GetState() override;
    bool SendData(uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) override;
    bool IsCapture() override { return false; }

    // Delivers one chunk the way the host does: a g_pMemAlloc buffer holding 12 bytes of host
    // data and then the payload, handed to the receiver registered for the id (or the given
    // one). The receiver owns the buffer afterwards. Returns false when nobody is registered.
    bool Deliver(uint32 nChunkId, const QByteArray &payload, uint16 nVersion = 1, ICorvidDataReceived *pReceiver = nullptr);
    ICorvidDataReceived *ReceiverFor(uint32 nChunkId) const;

    // The 12-byte GPRC commands sent so far as (code, value) pairs; other chunks are skipped.
    QList<QPair<uint32, uint64>> Commands() const;

    CorvidNameHolder name;
    int32 state;
    bool sendResult = true;
    int stateQueries = 0;
    int nameQueries = 0;
    QList<Registration> registrations;
    QList<SentChunk> sent;
};

class CFakeCorvidHost final : public ICorvidHost
{
public:
    ~CFakeCorvidHost() = default;
    ICorvidConnection *GetCurrentConnection() override;

    ICorvidConnection *current = nullptr;
    int currentQueries = 0;
};

// Text of a chunk id, most significant byte first ("GPRF").
QByteArray ChunkIdText(uint32 nChunkId);
