#pragma once
// The console's end of the console link without Qt, for command-line tools: connects to a
// target, says hello as the console does, waits for the target's hello, then sends commands and
// collects the chunks the target streams. Single-threaded; Poll() waits for the socket.

#include "link_stream.h"

#include <string>
#include <vector>

class CConsoleLink
{
public:
    // sName goes into our hello; the console says "corvid".
    explicit CConsoleLink(std::string sName) : m_sName(std::move(sName)) {}

    // Connects to sHost:nPort within nTimeoutMs and sends our hello. False, with Error(), when
    // the target cannot be reached.
    bool Connect(const std::string &sHost, uint16 nPort, int nTimeoutMs);

    // Waits at most nTimeoutMs for something to happen; chunks after the target's hello are
    // appended to pReceived. Sends what is queued.
    void Poll(int nTimeoutMs, std::vector<ReceivedChunk> *pReceived);

    // The link is up (it may still wait for the target's hello).
    bool IsOpen() const { return m_stream.IsOpen(); }
    // The target's hello has arrived.
    bool IsReady() const { return m_stream.IsOpen() && m_bHelloReceived; }
    // The target's name from its hello.
    const std::string &TargetName() const { return m_sTargetName; }

    // Queues one chunk for the target.
    bool Send(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize);
    // Waits at most nTimeoutMs until everything queued is written.
    bool Drain(int nTimeoutMs);
    void Close() { m_stream.Close(); }

    // Why the link is down or could not be made.
    const std::string &Error() const { return m_sError.empty() ? m_stream.CloseReason() : m_sError; }

private:
    std::string m_sName;
    std::string m_sTargetName;
    std::string m_sError;
    CLinkStream m_stream;
    bool m_bHelloReceived = false;
    std::vector<ReceivedChunk> m_received;
};
