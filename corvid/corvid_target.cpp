#include "corvid_target.h"

#include "mem_alloc.h"

const CorvidNameHolder *CCorvidTarget::GetName()
{
    m_NameHolder.m_pszName = m_Name.isEmpty() ? nullptr : m_Name.constData();
    return &m_NameHolder;
}

bool CCorvidTarget::RegisterDataType(uint32 nChunkId, uint16 /*nVersion*/, ICorvidDataReceived *pReceiver)
{
    if (!pReceiver)
        return false;
    for (Registration &r : m_Registrations) {
        if (r.nChunkId == nChunkId) {
            r.pReceiver = pReceiver;
            return true;
        }
    }
    m_Registrations.append({nChunkId, pReceiver});
    return true;
}

QString CCorvidTarget::DisplayName() const
{
    return m_Name.isEmpty() ? Address() : QString::fromUtf8(m_Name);
}

void CCorvidTarget::SetState(int32 nState)
{
    if (m_nState == nState)
        return;
    m_nState = nState;
    emit StateChanged(nState);
}

void CCorvidTarget::SetName(const QByteArray &name)
{
    if (name == m_Name)
        return;
    m_Name = name;
    emit NameChanged();
}

void CCorvidTarget::Deliver(uint8 *pBuffer, const CorvidLinkHeader &header)
{
    ICorvidDataReceived *pReceiver = nullptr;
    if (m_nState == CORVID_CONNECTION_READY) {
        for (const Registration &r : m_Registrations) {
            if (r.nChunkId == header.nChunkId)
                pReceiver = r.pReceiver;
        }
    }
    if (!pReceiver) {
        ++m_nChunksDropped;
        g_pMemAlloc->Free(pBuffer);
        return;
    }
    // The receiver owns the buffer from here on.
    pReceiver->OnDataReceived(this, header.nChunkId, header.nVersion, header.nSize, pBuffer);
}
