#include "fake_host.h"

#include "byte_order.h"
#include "mem_alloc.h"
#include "wire_profiler.h"

#include <cstring>

CFakeCorvidConnection::CFakeCorvidConnection(const char *pszName, int32 nState) : name{pszName}, state(nState) {}

const CorvidNameHolder *CFakeCorvidConnection::GetName()
{
    ++nameQueries;
    return &name;
}

bool CFakeCorvidConnection::RegisterDataType(uint32 nChunkId, uint16 nVersion, ICorvidDataReceived *pReceiver)
{
    registrations.append({nChunkId, nVersion, pReceiver});
    return true;
}

int32 CFakeCorvidConnection::GetState()
{
    ++stateQueries;
    return state;
}

bool CFakeCorvidConnection::SendData(uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer)
{
    // A real host puts the bytes on the wire and then frees the buffer it was given.
    sent.append({nChunkId, nVersion, QByteArray(static_cast<const char *>(pBuffer), int(nSize))});
    g_pMemAlloc->Free(pBuffer);
    return sendResult;
}

ICorvidDataReceived *CFakeCorvidConnection::ReceiverFor(uint32 nChunkId) const
{
    ICorvidDataReceived *pFound = nullptr;
    for (const Registration &r : registrations) {
        if (r.nChunkId == nChunkId)
            pFound = r.pReceiver;
    }
    return pFound;
}

bool CFakeCorvidConnection::Deliver(uint32 nChunkId, const QByteArray &payload, uint16 nVersion, ICorvidDataReceived *pReceiver)
{
    if (!pReceiver)
        pReceiver = ReceiverFor(nChunkId);
    if (!pReceiver)
        return false;
    const size_t nSize = size_t(payload.size());
    auto *pBuffer = static_cast<uint8 *>(g_pMemAlloc->Alloc(CORVID_CHUNK_HEADER_SIZE + nSize));
    // Host data that the plug-in must skip; a recognisable pattern, never a valid payload.
    std::memset(pBuffer, 0xCD, CORVID_CHUNK_HEADER_SIZE);
    if (nSize)
        std::memcpy(pBuffer + CORVID_CHUNK_HEADER_SIZE, payload.constData(), nSize);
    return pReceiver->OnDataReceived(this, nChunkId, nVersion, uint32(nSize), pBuffer);
}

QList<QPair<uint32, uint64>> CFakeCorvidConnection::Commands() const
{
    QList<QPair<uint32, uint64>> commands;
    for (const SentChunk &chunk : sent) {
        if (chunk.nChunkId == GPU_PROFILER_CHUNK_COMPRESSED && chunk.payload.size() == 12)
            commands.append({LoadBigEndian32(chunk.payload.constData()), LoadBigEndian64(chunk.payload.constData() + 4)});
    }
    return commands;
}

ICorvidConnection *CFakeCorvidHost::GetCurrentConnection()
{
    ++currentQueries;
    return current;
}

QByteArray ChunkIdText(uint32 nChunkId)
{
    const char text[4] = {char(nChunkId >> 24), char(nChunkId >> 16), char(nChunkId >> 8), char(nChunkId)};
    return QByteArray(text, 4);
}
