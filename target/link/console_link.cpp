#include "console_link.h"

#include "wire_link.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Connects one address within the time left; returns the socket or -1 with errno set.
int ConnectWithin(const addrinfo &address, int nTimeoutMs)
{
    const int nSocket = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (nSocket < 0)
        return -1;
    const int nFlags = fcntl(nSocket, F_GETFL, 0);
    fcntl(nSocket, F_SETFL, nFlags | O_NONBLOCK);
    if (connect(nSocket, address.ai_addr, address.ai_addrlen) == 0)
        return nSocket;
    if (errno == EINPROGRESS) {
        pollfd fd = {nSocket, POLLOUT, 0};
        if (poll(&fd, 1, nTimeoutMs) == 1) {
            int nError = 0;
            socklen_t nLength = sizeof(nError);
            getsockopt(nSocket, SOL_SOCKET, SO_ERROR, &nError, &nLength);
            if (nError == 0)
                return nSocket;
            errno = nError;
        } else {
            errno = ETIMEDOUT;
        }
    }
    const int nSaved = errno;
    close(nSocket);
    errno = nSaved;
    return -1;
}

} // namespace

bool CConsoleLink::Connect(const std::string &sHost, uint16 nPort, int nTimeoutMs)
{
    m_stream.Close();
    m_bHelloReceived = false;
    m_sTargetName.clear();
    m_sError.clear();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *pAddresses = nullptr;
    const int nResolved = getaddrinfo(sHost.c_str(), std::to_string(nPort).c_str(), &hints, &pAddresses);
    if (nResolved != 0) {
        m_sError = gai_strerror(nResolved);
        return false;
    }
    int nSocket = -1;
    for (const addrinfo *p = pAddresses; p && nSocket < 0; p = p->ai_next) {
        nSocket = ConnectWithin(*p, nTimeoutMs);
        if (nSocket < 0)
            m_sError = std::strerror(errno);
    }
    freeaddrinfo(pAddresses);
    if (nSocket < 0)
        return false;
    m_sError.clear();
    m_stream.Attach(nSocket);
    m_stream.Queue(CORVID_LINK_HELLO, CORVID_LINK_HELLO_VERSION, m_sName.data(), uint32(m_sName.size()));
    return m_stream.IsOpen();
}

void CConsoleLink::Poll(int nTimeoutMs, std::vector<ReceivedChunk> *pReceived)
{
    if (!m_stream.IsOpen())
        return;
    pollfd fd = {m_stream.Socket(), short(POLLIN | (m_stream.QueuedBytes() ? POLLOUT : 0)), 0};
    if (poll(&fd, 1, nTimeoutMs) <= 0)
        return;
    if (fd.revents & POLLOUT)
        m_stream.Write();
    if (!(fd.revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    m_received.clear();
    m_stream.Receive(&m_received);
    for (ReceivedChunk &chunk : m_received) {
        if (chunk.nChunkId == CORVID_LINK_HELLO) {
            // Names are shown to users; keep them free of terminators, as the console does.
            const size_t nSize = chunk.payload.size() < CORVID_LINK_MAX_NAME ? chunk.payload.size() : CORVID_LINK_MAX_NAME;
            m_sTargetName.assign(reinterpret_cast<const char *>(chunk.payload.data()), nSize);
            for (char &c : m_sTargetName) {
                if (c == '\0')
                    c = ' ';
            }
            m_bHelloReceived = true;
        } else if (m_bHelloReceived && pReceived) {
            pReceived->push_back(std::move(chunk));
        }
    }
}

bool CConsoleLink::Send(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    if (!m_stream.IsOpen() || nSize > CORVID_LINK_MAX_PAYLOAD)
        return false;
    m_stream.Queue(nChunkId, nVersion, pPayload, nSize);
    return true;
}

bool CConsoleLink::Drain(int nTimeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (m_stream.IsOpen() && m_stream.QueuedBytes() > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd fd = {m_stream.Socket(), POLLOUT, 0};
        if (poll(&fd, 1, 10) > 0)
            m_stream.Write();
    }
    return m_stream.IsOpen() && m_stream.QueuedBytes() == 0;
}
