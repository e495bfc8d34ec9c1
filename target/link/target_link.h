#pragma once
// The target's end of the console link (see wire/wire_link.h): listens for the console,
// answers its hello, sends chunks and collects the chunks the console sends. Single-threaded and
// non-blocking: the target's own loop calls Poll() between frames, and sending never blocks the
// frame loop; when the console cannot keep up, chunks are refused instead (see Send).

#include "link_stream.h"

class CTargetLink
{
public:
    explicit CTargetLink(std::string sName);
    ~CTargetLink();

    CTargetLink(const CTargetLink &) = delete;
    CTargetLink &operator=(const CTargetLink &) = delete;

    // Listens on nPort (0: any free port) of all interfaces, or of loopback only.
    bool Listen(uint16 nPort, bool bLoopbackOnly, std::string *pError);
    uint16 Port() const { return m_nPort; }

    // Accepts a waiting console, reads what it sent and writes what is queued; waits at most
    // nTimeoutMs for something to happen. Chunks from the console are appended to pReceived.
    void Poll(int nTimeoutMs, std::vector<ReceivedChunk> *pReceived);

    // A console is connected and has said hello.
    bool IsConnected() const { return m_stream.IsOpen() && m_bHelloReceived; }
    // Set once by every new console; the caller clears it after reacting (e.g. resending state).
    bool TakeNewConsole();

    // Queues one chunk. Refused (false) when no console is connected, when the payload is over
    // the link's limit, or when more than MaxQueuedBytes() are already waiting: a target must not
    // stall its frames for a slow console, so it drops whole chunks instead.
    bool Send(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize);
    size_t QueuedBytes() const { return m_stream.QueuedBytes(); }
    static size_t MaxQueuedBytes() { return size_t(32) << 20; }

private:
    void AcceptConsole();
    void CloseConsole();
    void ReadFromConsole(std::vector<ReceivedChunk> *pReceived);

    std::string m_sName;
    int m_nListenSocket = -1;
    CLinkStream m_stream;
    uint16 m_nPort = 0;
    bool m_bHelloReceived = false;
    bool m_bNewConsole = false;
    std::vector<ReceivedChunk> m_received;
};
