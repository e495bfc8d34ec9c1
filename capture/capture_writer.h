#pragma once
// Writes a .gpucap capture: the header, then chunks as a target sends them, then the end record.
//
// Every frame is flushed to the operating system as soon as it is written, so a process killed
// mid-run leaves each complete chunk readable (the reader then reports the missing end record).
// Sample records are packed with the target's chunk packer into GPRC chunks of the size a
// target sends.

#include "capture_format.h"
#include "frame_chunker.h"
#include "gpu_frame.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class CCaptureWriter
{
public:
    CCaptureWriter();
    ~CCaptureWriter(); // closes an open capture properly

    CCaptureWriter(const CCaptureWriter &) = delete;
    CCaptureWriter &operator=(const CCaptureWriter &) = delete;

    // Creates (or replaces) the file and writes its header. Names and version texts longer
    // than the format allows are cut. On failure Error() says why.
    bool Open(const std::string &sPath, const CaptureInfo &info);
    bool IsOpen() const { return m_pFile != nullptr; }

    // Appends one chunk as a target sends it (a resource list, or a chunk of a frame).
    // Payloads over kCaptureMaxChunkSize are refused.
    bool AppendChunk(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize);

    // Appends a whole frame, its header chunk and its records packed into sample chunks, and
    // flushes it. The header goes out as it is; its sample count should be nCount.
    bool AppendFrame(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount);

    // Fills in frame nIndex: its header and its records (as many as the header's count). May be
    // called from two threads at once. False leaves the frame out.
    using FrameSource = std::function<bool(size_t nIndex, GpuFrameHeader *pHeader, GpuSampleArray *pSamples)>;
    // Appends frames 0..nCount) of the source in order, packing them on two threads (this one
    // and one more) a few frames at a time, and flushes after each few: a whole history is
    // written in about half the time packing it takes.
    bool AppendFrames(size_t nCount, const FrameSource &source);

    // Hands what is buffered to the operating system.
    bool Flush();

    // Writes the end record and closes the file. False (with Error()) when anything written
    // since Open failed.
    bool Close();

    // Frame header chunks written, by AppendFrame or AppendChunk.
    uint32 FramesWritten() const { return m_nFrames; }
    uint32 ChunksWritten() const { return m_nChunks; }
    uint64 BytesWritten() const { return m_nBytes; }
    const std::string &Error() const { return m_sError; }

private:
    bool Write(const void *pData, size_t nSize);
    bool WriteChunk(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize);
    bool Fail(const std::string &sWhat);

    std::FILE *m_pFile = nullptr;
    std::string m_sPath;
    std::string m_sError;
    CFrameChunker m_chunker;
    std::vector<TargetChunk> m_chunks;
    uint32 m_nFrames = 0;
    uint32 m_nChunks = 0;
    uint64 m_nBytes = 0;
};
