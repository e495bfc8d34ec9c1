#pragma once
// Reads a .gpucap capture, treating the file as hostile input as much as a target's stream:
// every size is checked against the format's limits and against the bytes the file still holds
// before anything is allocated for it, and a file that is cut short or corrupt gives a message
// naming the file and the byte offset. The chunks before a fault are handed out as they were
// read; nothing is kept between calls but the reader's own position.

#include "capture_format.h"

#include <cstdio>
#include <string>

// One chunk of a capture, in the form the console hands a received chunk to a tool: a
// g_pMemAlloc block holding the 12-byte link header and then the payload.
struct CaptureChunk
{
    uint32 nChunkId = 0;
    uint16 nVersion = 0;
    uint32 nSize = 0;
    // Owned by whoever took the chunk: free it with g_pMemAlloc->Free (a tool's
    // OnDataReceived does that itself).
    uint8 *pBuffer = nullptr;
    // Where the chunk's link header starts in the file.
    uint64 nOffset = 0;

    const uint8 *Payload() const { return pBuffer + CORVID_LINK_HEADER_SIZE; }
};

class CCaptureReader
{
public:
    CCaptureReader() = default;
    ~CCaptureReader();

    CCaptureReader(const CCaptureReader &) = delete;
    CCaptureReader &operator=(const CCaptureReader &) = delete;

    // Opens a capture file and reads its header. False, with Error(), when the file cannot be
    // read or is not a capture this build reads.
    bool Open(const std::string &sPath);
    // The same over bytes in memory (which must outlive the reader); sName stands for the
    // file in messages.
    bool OpenMemory(const void *pData, size_t nSize, const std::string &sName);

    const CaptureInfo &Info() const { return m_info; }

    enum class Result
    {
        Chunk, // *pChunk holds the next chunk; the caller owns its buffer
        End, // no more chunks: the end record was read, or the file ended after a whole chunk
        Error, // the file is damaged at Offset(); Error() says how. The chunks before it stand.
    };
    Result ReadChunk(CaptureChunk *pChunk);

    // The end record was read and agrees with what came before it.
    bool IsComplete() const { return m_bComplete; }
    // Set at End when the file stops without an end record (a recording cut short).
    const std::string &Warning() const { return m_sWarning; }
    const std::string &Error() const { return m_sError; }

    uint32 FramesRead() const { return m_nFrames; }
    uint32 ChunksRead() const { return m_nChunks; }
    uint64 Offset() const { return m_nOffset; }
    uint64 Size() const { return m_nSize; }

private:
    void Reset(const std::string &sName);
    bool ReadHeader();
    // Reads exactly nSize bytes at the current offset.
    bool ReadBytes(void *pDest, size_t nSize);
    Result Fail(uint64 nOffset, const std::string &sWhat);
    Result ReadEndRecord(const uint8 *pPayload, uint64 nOffset);

    std::string m_sName;
    std::FILE *m_pFile = nullptr;
    const uint8 *m_pMemory = nullptr;
    uint64 m_nSize = 0;
    uint64 m_nOffset = 0;
    CaptureInfo m_info;
    bool m_bComplete = false;
    bool m_bDone = false;
    std::string m_sError;
    std::string m_sWarning;
    uint32 m_nFrames = 0;
    uint32 m_nChunks = 0;
};
