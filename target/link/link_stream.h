#pragma once
// One end of a console link (see wire/wire_link.h) over a connected, non-blocking POSIX
// socket: the bytes waiting in each direction and the link framing. The target's end
// (CTargetLink) and the console's end without Qt (CConsoleLink) both move their chunks through
// it. Single-threaded; nothing blocks.

#include "bedrock_api.h"

#include <cstddef>
#include <string>
#include <vector>

struct ReceivedChunk
{
    uint32 nChunkId;
    uint16 nVersion;
    std::vector<uint8> payload;
};

class CLinkStream
{
public:
    CLinkStream() = default;
    ~CLinkStream() { Close(); }

    CLinkStream(const CLinkStream &) = delete;
    CLinkStream &operator=(const CLinkStream &) = delete;

    // Takes over a connected socket (made non-blocking here); what was queued before is gone.
    void Attach(int nSocket);
    void Close();
    bool IsOpen() const { return m_nSocket >= 0; }
    int Socket() const { return m_nSocket; }
    // Why the link went down, once it did: "the peer closed the link", a socket error, or a
    // payload over the link's limit.
    const std::string &CloseReason() const { return m_sCloseReason; }

    // Reads what the socket holds and appends each complete message to pReceived, hello
    // messages included. A peer that closes the link, fails, or announces a payload over the
    // link's limit closes the stream.
    void Receive(std::vector<ReceivedChunk> *pReceived);

    // Queues one message and writes what the socket takes.
    void Queue(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize);
    // Writes what the socket takes of the queue.
    void Write();
    size_t QueuedBytes() const { return m_Outgoing.size() - m_nOutgoingSent; }

private:
    void Fail(const std::string &sWhy);

    int m_nSocket = -1;
    std::string m_sCloseReason;
    std::vector<uint8> m_Incoming;
    std::vector<uint8> m_Outgoing;
    size_t m_nOutgoingSent = 0;
};
