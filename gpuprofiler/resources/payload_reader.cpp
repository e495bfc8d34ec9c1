#include "payload_reader.h"

#include "byte_order.h"

#include <cstring>

PayloadReader::PayloadReader(const void *pData, uint32 nSize) : m_pData(static_cast<const uint8 *>(pData)), m_nSize(pData ? nSize : 0) {}

int32 PayloadReader::ReadInt32()
{
    if (m_bFailed || Remaining() < 4) {
        m_bFailed = true;
        return 0;
    }
    const int32 nValue = int32(LoadLittleEndian32(m_pData + m_nPosition));
    m_nPosition += 4;
    return nValue;
}

bool PayloadReader::ReadBytes(void *pDest, uint32 nBytes)
{
    if (m_bFailed || Remaining() < nBytes) {
        m_bFailed = true;
        return false;
    }
    if (nBytes)
        std::memcpy(pDest, m_pData + m_nPosition, nBytes);
    m_nPosition += nBytes;
    return true;
}

uint32 PayloadReader::ReadString(char *pDest, uint32 nCapacity)
{
    if (nCapacity == 0) {
        // Nowhere to store even the terminator: the string cannot be taken, so the read fails
        // like any other read that cannot be satisfied.
        m_bFailed = true;
        return 0;
    }
    pDest[0] = '\0';
    if (m_bFailed)
        return 0;

    const uint32 nRemaining = Remaining();
    if (nRemaining == 0) {
        m_bFailed = true;
        return 0;
    }
    const uint8 *pStart = m_pData + m_nPosition;
    const void *pNul = std::memchr(pStart, 0, nRemaining);
    // Length of the string without its terminator, and whether a terminator follows it.
    const uint32 nLength = pNul ? uint32(static_cast<const uint8 *>(pNul) - pStart) : nRemaining;

    const uint32 nStored = nLength < nCapacity ? nLength : nCapacity - 1;
    std::memcpy(pDest, pStart, nStored);
    pDest[nStored] = '\0';

    // Skip the whole string, stored or not, then its terminator. Without a terminator the
    // string ran to the end of the payload and there is no byte left to consume.
    m_nPosition += nLength;
    if (pNul)
        ++m_nPosition;
    else
        m_bFailed = true;
    return nStored;
}

bool ResourceNamePool::Reset(uint32 nBytes)
{
    m_names.RemoveAll();
    return m_names.EnsureCapacity(nBytes < 0x7fffffffu ? int32(nBytes) : 0x7fffffff);
}

bool ResourceNamePool::ReadName(PayloadReader &reader, int32 *pOffset, int32 *pLength)
{
    char szName[kResourceNameCapacity];
    const uint32 nLength = reader.ReadString(szName, sizeof(szName));
    *pOffset = m_names.Count();
    *pLength = int32(nLength);
    if (nLength == 0)
        return true;
    if (!m_names.SetCount(*pOffset + int32(nLength)))
        return false;
    std::memcpy(m_names.Base() + *pOffset, szName, nLength);
    return true;
}
