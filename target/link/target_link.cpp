#include "target_link.h"

#include "wire_link.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    const int nFlags = fcntl(m_nListenSocket, F_GETFL, 0);
    if (nFlags < 0 || fcntl(m_nListenSocket, F_SETFL, nFlags | O_NONBLOCK) != 0)
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
    if (m_stream.IsOpen())
        fds[nCount++] = {m_stream.Socket(), short(POLLIN | (QueuedBytes() ? POLLOUT : 0)), 0};
    if (nCount == 0 || poll(fds, nfds_t(nCount), nTimeoutMs) <= 0)
        return;
    for (int i = 0; i < nCount; ++i) {
        if (fds[i].fd == m_nListenSocket && (fds[i].revents & POLLIN))
            AcceptConsole();
        else if (fds[i].fd == m_stream.Socket()) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                ReadFromConsole(pReceived);
            if (m_stream.IsOpen() && (fds[i].revents & POLLOUT))
                m_stream.Write();
        }
    }
}

void CTargetLink::AcceptConsole()
{
    const int nSocket = accept(m_nListenSocket, nullptr, nullptr);
    if (nSocket < 0)
        return;
    if (m_stream.IsOpen()) {
        // One console at a time; a second one is turned away.
        close(nSocket);
        return;
    }
    m_stream.Attach(nSocket);
    m_bHelloReceived = false;
    m_stream.Queue(CORVID_LINK_HELLO, CORVID_LINK_HELLO_VERSION, m_sName.data(),
                   uint32(m_sName.size() < CORVID_LINK_MAX_NAME ? m_sName.size() : CORVID_LINK_MAX_NAME));
}

void CTargetLink::CloseConsole()
{
    m_stream.Close();
    m_bHelloReceived = false;
}

void CTargetLink::ReadFromConsole(std::vector<ReceivedChunk> *pReceived)
{
    m_received.clear();
    m_stream.Receive(&m_received);
    if (!m_stream.IsOpen()) {
        CloseConsole();
        return;
    }
    for (ReceivedChunk &chunk : m_received) {
        if (chunk.nChunkId == CORVID_LINK_HELLO) {
            if (!m_bHelloReceived)
                m_bNewConsole = true;
            m_bHelloReceived = true;
        } else if (m_bHelloReceived && pReceived) {
            pReceived->push_back(std::move(chunk));
        }
    }
}

bool CTargetLink::Send(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    if (!IsConnected() || nSize > CORVID_LINK_MAX_PAYLOAD || QueuedBytes() > MaxQueuedBytes())
        return false;
    m_stream.Queue(nChunkId, nVersion, pPayload, nSize);
    return true;
}
