#include "link_stream.h"

#include "wire_link.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

void CLinkStream::Attach(int nSocket)
{
    Close();
    const int nFlags = fcntl(nSocket, F_GETFL, 0);
    if (nFlags >= 0)
        fcntl(nSocket, F_SETFL, nFlags | O_NONBLOCK);
    const int nOne = 1;
    setsockopt(nSocket, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof(nOne));
    m_nSocket = nSocket;
    m_sCloseReason.clear();
}

void CLinkStream::Close()
{
    if (m_nSocket >= 0)
        close(m_nSocket);
    m_nSocket = -1;
    m_Incoming.clear();
    m_Outgoing.clear();
    m_nOutgoingSent = 0;
}

void CLinkStream::Fail(const std::string &sWhy)
{
    if (m_nSocket >= 0)
        m_sCloseReason = sWhy;
    Close();
}

void CLinkStream::Receive(std::vector<ReceivedChunk> *pReceived)
{
    uint8 buffer[64 * 1024];
    while (m_nSocket >= 0) {
        const ssize_t nGot = recv(m_nSocket, buffer, sizeof(buffer), 0);
        if (nGot == 0)
            return Fail("the peer closed the link");
        if (nGot < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                break;
            return Fail(std::strerror(errno));
        }
        m_Incoming.insert(m_Incoming.end(), buffer, buffer + nGot);
    }

    size_t nOffset = 0;
    while (m_Incoming.size() - nOffset >= CORVID_LINK_HEADER_SIZE) {
        const CorvidLinkHeader header = ReadCorvidLinkHeader(m_Incoming.data() + nOffset);
        if (header.nSize > CORVID_LINK_MAX_PAYLOAD)
            return Fail("the peer announced a chunk of " + std::to_string(header.nSize) + " bytes, over the limit of " +
                        std::to_string(CORVID_LINK_MAX_PAYLOAD >> 20) + " MiB");
        if (m_Incoming.size() - nOffset - CORVID_LINK_HEADER_SIZE < header.nSize)
            break;
        const uint8 *pPayload = m_Incoming.data() + nOffset + CORVID_LINK_HEADER_SIZE;
        if (pReceived)
            pReceived->push_back({header.nChunkId, header.nVersion, std::vector<uint8>(pPayload, pPayload + header.nSize)});
        nOffset += CORVID_LINK_HEADER_SIZE + header.nSize;
    }
    m_Incoming.erase(m_Incoming.begin(), m_Incoming.begin() + std::ptrdiff_t(nOffset));
}

void CLinkStream::Queue(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    uint8 header[CORVID_LINK_HEADER_SIZE];
    WriteCorvidLinkHeader(header, {nChunkId, nVersion, nSize});
    m_Outgoing.insert(m_Outgoing.end(), header, header + CORVID_LINK_HEADER_SIZE);
    const auto *pBytes = static_cast<const uint8 *>(pPayload);
    if (nSize)
        m_Outgoing.insert(m_Outgoing.end(), pBytes, pBytes + nSize);
    Write();
}

void CLinkStream::Write()
{
    while (m_nSocket >= 0 && m_nOutgoingSent < m_Outgoing.size()) {
        const ssize_t nSent = send(m_nSocket, m_Outgoing.data() + m_nOutgoingSent, m_Outgoing.size() - m_nOutgoingSent, MSG_NOSIGNAL);
        if (nSent < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                Fail(std::strerror(errno));
            return;
        }
        m_nOutgoingSent += size_t(nSent);
    }
    if (m_nOutgoingSent == m_Outgoing.size()) {
        m_Outgoing.clear();
        m_nOutgoingSent = 0;
    } else if (m_nOutgoingSent > (size_t(1) << 20)) {
        m_Outgoing.erase(m_Outgoing.begin(), m_Outgoing.begin() + std::ptrdiff_t(m_nOutgoingSent));
        m_nOutgoingSent = 0;
    }
}
