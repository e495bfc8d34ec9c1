#include "target/link/target_link.h"

#include "corvid/link_protocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool SetNonBlocking(int nSocket)
{
    const int nFlags = fcntl(nSocket, F_GETFL, 0);
    return nFlags >= 0 && fcntl(nSocket, F_SETFL, nFlags | O_NONBLOCK) == 0;
}

} // namespace

CTargetLink::CTargetLink(std::string sName) : m_sName(std::move(sName)) {}

CTargetLink::~CTargetLink()
{
    CloseConsole();
    if (m_nListenSocket >= 0)
        close(m_nListenSocket);
}

bool CTargetLink::Listen(uint16 nPort, bool bLoopbackOnly, std::string *pError)
{
    auto fail = [&](const char *pszWhat) {
        if (pError)
            *pError = std::string(pszWhat) + ": " + std::strerror(errno);
        if (m_nListenSocket >= 0)
            close(m_nListenSocket);
        m_nListenSocket = -1;
        return false;
    };
    m_nListenSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (m_nListenSocket < 0)
        return fail("socket");
    const int nOne = 1;
    setsockopt(m_nListenSocket, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof(nOne));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(bLoopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    if (bind(m_nListenSocket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
        return fail("bind");
    if (listen(m_nListenSocket, 4) != 0)
        return fail("listen");
    if (!SetNonBlocking(m_nListenSocket))
        return fail("fcntl");
    socklen_t nLength = sizeof(address);
    getsockname(m_nListenSocket, reinterpret_cast<sockaddr *>(&address), &nLength);
    m_nPort = ntohs(address.sin_port);
    return true;
}

bool CTargetLink::TakeNewConsole()
{
    const bool bNew = m_bNewConsole;
    m_bNewConsole = false;
    return bNew;
}

void CTargetLink::Poll(int nTimeoutMs, std::vector<ReceivedChunk> *pReceived)
{
    pollfd fds[2];
    int nCount = 0;
    if (m_nListenSocket >= 0)
        fds[nCount++] = {m_nListenSocket, POLLIN, 0};
    if (m_nSocket >= 0)
        fds[nCount++] = {m_nSocket, short(POLLIN | (QueuedBytes() ? POLLOUT : 0)), 0};
    if (nCount == 0 || poll(fds, nfds_t(nCount), nTimeoutMs) <= 0)
        return;
    for (int i = 0; i < nCount; ++i) {
        if (fds[i].fd == m_nListenSocket && (fds[i].revents & POLLIN))
            AcceptConsole();
        else if (fds[i].fd == m_nSocket) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                ReadFromConsole(pReceived);
            if (m_nSocket >= 0 && (fds[i].revents & POLLOUT))
                WriteToConsole();
        }
    }
}

void CTargetLink::AcceptConsole()
{
    const int nSocket = accept(m_nListenSocket, nullptr, nullptr);
    if (nSocket < 0)
        return;
    if (m_nSocket >= 0) {
        // One console at a time; a second one is turned away.
        close(nSocket);
        return;
    }
    SetNonBlocking(nSocket);
    const int nOne = 1;
    setsockopt(nSocket, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof(nOne));
    m_nSocket = nSocket;
    m_bHelloReceived = false;
    m_Incoming.clear();
    m_Outgoing.clear();
    m_nOutgoingSent = 0;
    Queue(CORVID_LINK_HELLO, CORVID_LINK_HELLO_VERSION, m_sName.data(),
          uint32(m_sName.size() < CORVID_LINK_MAX_NAME ? m_sName.size() : CORVID_LINK_MAX_NAME));
    WriteToConsole();
}

void CTargetLink::CloseConsole()
{
    if (m_nSocket >= 0)
        close(m_nSocket);
    m_nSocket = -1;
    m_bHelloReceived = false;
    m_Incoming.clear();
    m_Outgoing.clear();
    m_nOutgoingSent = 0;
}

void CTargetLink::ReadFromConsole(std::vector<ReceivedChunk> *pReceived)
{
    uint8 buffer[64 * 1024];
    for (;;) {
        const ssize_t nGot = recv(m_nSocket, buffer, sizeof(buffer), 0);
        if (nGot == 0 || (nGot < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            CloseConsole();
            return;
        }
        if (nGot < 0)
            break;
        m_Incoming.insert(m_Incoming.end(), buffer, buffer + nGot);
    }

    size_t nOffset = 0;
    while (m_Incoming.size() - nOffset >= CORVID_LINK_HEADER_SIZE) {
        const CorvidLinkHeader header = ReadCorvidLinkHeader(m_Incoming.data() + nOffset);
        if (header.nSize > CORVID_LINK_MAX_PAYLOAD) {
            CloseConsole();
            return;
        }
        if (m_Incoming.size() - nOffset - CORVID_LINK_HEADER_SIZE < header.nSize)
            break;
        const uint8 *pPayload = m_Incoming.data() + nOffset + CORVID_LINK_HEADER_SIZE;
        if (header.nChunkId == CORVID_LINK_HELLO) {
            if (!m_bHelloReceived)
                m_bNewConsole = true;
            m_bHelloReceived = true;
        } else if (m_bHelloReceived && pReceived) {
            pReceived->push_back({header.nChunkId, header.nVersion, std::vector<uint8>(pPayload, pPayload + header.nSize)});
        }
        nOffset += CORVID_LINK_HEADER_SIZE + header.nSize;
    }
    m_Incoming.erase(m_Incoming.begin(), m_Incoming.begin() + std::ptrdiff_t(nOffset));
}

void CTargetLink::WriteToConsole()
{
    while (m_nSocket >= 0 && m_nOutgoingSent < m_Outgoing.size()) {
        const ssize_t nSent = send(m_nSocket, m_Outgoing.data() + m_nOutgoingSent, m_Outgoing.size() - m_nOutgoingSent, MSG_NOSIGNAL);
        if (nSent < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                CloseConsole();
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

void CTargetLink::Queue(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    uint8 header[CORVID_LINK_HEADER_SIZE];
    WriteCorvidLinkHeader(header, {nChunkId, nVersion, nSize});
    m_Outgoing.insert(m_Outgoing.end(), header, header + CORVID_LINK_HEADER_SIZE);
    const auto *pBytes = static_cast<const uint8 *>(pPayload);
    if (nSize)
        m_Outgoing.insert(m_Outgoing.end(), pBytes, pBytes + nSize);
}

bool CTargetLink::Send(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    if (!IsConnected() || nSize > CORVID_LINK_MAX_PAYLOAD || QueuedBytes() > MaxQueuedBytes())
        return false;
    Queue(nChunkId, nVersion, pPayload, nSize);
    WriteToConsole();
    return true;
}
