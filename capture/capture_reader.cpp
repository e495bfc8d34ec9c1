#include "capture_reader.h"

#include "mem_alloc.h"
#include "wire_profiler.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string ChunkIdText(uint32 nChunkId)
{
    std::string sText;
    for (int nShift = 24; nShift >= 0; nShift -= 8) {
        const char c = char(nChunkId >> nShift);
        sText += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return sText;
}

} // namespace

CCaptureReader::~CCaptureReader()
{
    Reset(std::string());
}

void CCaptureReader::Reset(const std::string &sName)
{
    if (m_pFile)
        std::fclose(m_pFile);
    m_pFile = nullptr;
    m_pMemory = nullptr;
    m_sName = sName;
    m_nSize = m_nOffset = 0;
    m_info = CaptureInfo();
    m_bComplete = m_bDone = false;
    m_sError.clear();
    m_sWarning.clear();
    m_nFrames = m_nChunks = 0;
}

bool CCaptureReader::Open(const std::string &sPath)
{
    Reset(sPath);
    std::error_code error;
    const std::filesystem::path path(sPath);
    if (!std::filesystem::is_regular_file(path, error)) {
        m_sError = sPath + (error ? ": cannot open the file: " + error.message() : std::string(": not a regular file"));
        return false;
    }
    m_nSize = uint64(std::filesystem::file_size(path, error));
    m_pFile = error ? nullptr : std::fopen(sPath.c_str(), "rb");
    if (!m_pFile) {
        m_sError = sPath + ": cannot open the file: " + (error ? error.message() : std::string(std::strerror(errno)));
        m_nSize = 0;
        return false;
    }
    return ReadHeader();
}

bool CCaptureReader::OpenMemory(const void *pData, size_t nSize, const std::string &sName)
{
    Reset(sName);
    m_pMemory = static_cast<const uint8 *>(pData);
    m_nSize = pData ? nSize : 0;
    return ReadHeader();
}

bool CCaptureReader::ReadBytes(void *pDest, size_t nSize)
{
    if (nSize > m_nSize - m_nOffset)
        return false;
    if (m_pMemory) {
        if (nSize)
            std::memcpy(pDest, m_pMemory + m_nOffset, nSize);
    } else if (std::fread(pDest, 1, nSize, m_pFile) != nSize) {
        // The file shrank under us, or the disk failed: say so rather than read on.
        m_sError = m_sName + ": read failed at byte " + std::to_string(m_nOffset) + ": " +
            (std::ferror(m_pFile) ? std::strerror(errno) : "the file got shorter");
        m_nSize = m_nOffset;
        return false;
    }
    m_nOffset += nSize;
    return true;
}

CCaptureReader::Result CCaptureReader::Fail(uint64 nOffset, const std::string &sWhat)
{
    if (m_sError.empty())
        m_sError = m_sName + ": " + sWhat + " at byte " + std::to_string(nOffset);
    m_bDone = true;
    return Result::Error;
}

bool CCaptureReader::ReadHeader()
{
    CaptureFileHeader fixed;
    auto *pFixed = reinterpret_cast<uint8 *>(&fixed);
    const uint64 nAvailable = m_nSize;
    if (nAvailable >= sizeof(kCaptureMagic) && !ReadBytes(pFixed, sizeof(kCaptureMagic)))
        return Fail(0, "cannot read the header"), false;
    if (nAvailable < sizeof(kCaptureMagic) || std::memcmp(fixed.magic, kCaptureMagic, sizeof(kCaptureMagic)) != 0)
        return Fail(0, "not a GPU capture (no capture signature)"), false;
    if (!ReadBytes(pFixed + sizeof(kCaptureMagic), kCaptureFixedHeaderSize - sizeof(kCaptureMagic)))
        return Fail(m_nOffset,
                    "the file ends inside its header (" + std::to_string(nAvailable) + " of " + std::to_string(kCaptureFixedHeaderSize) +
                        " bytes)"),
               false;

    const uint16 nVersion = fixed.FormatVersion();
    if (nVersion == 0 || nVersion > kCaptureFormatVersion)
        return Fail(offsetof(CaptureFileHeader, formatVersion),
                    "format version " + std::to_string(nVersion) +
                        (nVersion ? " is newer than this build reads (up to " : " is not valid (1 to ") +
                        std::to_string(kCaptureFormatVersion) + ")"),
               false;
    const uint32 nHeaderSize = fixed.HeaderSize();
    const uint32 nNameSize = fixed.TargetNameSize();
    const uint32 nVersionSize = fixed.VersionTextSize();
    if (nNameSize > kCaptureMaxTargetName)
        return Fail(offsetof(CaptureFileHeader, targetNameSize),
                    "a target name of " + std::to_string(nNameSize) + " bytes, over the limit of " + std::to_string(kCaptureMaxTargetName)),
               false;
    if (nVersionSize > kCaptureMaxVersionText)
        return Fail(offsetof(CaptureFileHeader, versionTextSize),
                    "a version text of " + std::to_string(nVersionSize) + " bytes, over the limit of " +
                        std::to_string(kCaptureMaxVersionText)),
               false;
    if (nHeaderSize < kCaptureFixedHeaderSize + nNameSize + nVersionSize || nHeaderSize > kCaptureMaxHeaderSize)
        return Fail(offsetof(CaptureFileHeader, headerSize),
                    "a header size of " + std::to_string(nHeaderSize) + " bytes that does not hold its " +
                        std::to_string(kCaptureFixedHeaderSize + nNameSize + nVersionSize) + " bytes or is over " +
                        std::to_string(kCaptureMaxHeaderSize)),
               false;

    char rest[kCaptureMaxHeaderSize];
    const uint32 nRest = nHeaderSize - kCaptureFixedHeaderSize;
    if (!ReadBytes(rest, nRest))
        return Fail(m_nOffset,
                    "the file ends inside its header (" + std::to_string(nAvailable) + " of " + std::to_string(nHeaderSize) + " bytes)"),
               false;
    m_info.nFormatVersion = nVersion;
    m_info.nTakenAtUs = fixed.TakenAtUs();
    m_info.sTargetName.assign(rest, nNameSize);
    m_info.sWriterVersion.assign(rest + nNameSize, nVersionSize);
    // Bytes past the strings belong to later versions of the header; this build passes over them.
    return true;
}

CCaptureReader::Result CCaptureReader::ReadEndRecord(const uint8 *pPayload, uint64 nOffset)
{
    const auto *pEnd = reinterpret_cast<const CaptureEndRecord *>(pPayload);
    const uint32 nFrames = pEnd->Frames();
    const uint32 nChunks = pEnd->Chunks();
    if (nChunks != m_nChunks || nFrames != m_nFrames)
        return Fail(nOffset,
                    "an end record that counts " + std::to_string(nChunks) + " chunks and " + std::to_string(nFrames) +
                        " frames where the file has " + std::to_string(m_nChunks) + " and " + std::to_string(m_nFrames));
    if (m_nOffset != m_nSize)
        return Fail(m_nOffset, std::to_string(m_nSize - m_nOffset) + " bytes after the end record");
    m_bComplete = true;
    m_bDone = true;
    return Result::End;
}

CCaptureReader::Result CCaptureReader::ReadChunk(CaptureChunk *pChunk)
{
    if (!m_sError.empty())
        return Result::Error;
    if (m_bDone || (!m_pFile && !m_pMemory))
        return Result::End;

    const uint64 nOffset = m_nOffset;
    if (nOffset == m_nSize) {
        m_sWarning = m_sName + ": no end record after byte " + std::to_string(nOffset) + ": the recording was cut short; the " +
            std::to_string(m_nChunks) + " chunks (" + std::to_string(m_nFrames) + " frames) before it are read";
        m_bDone = true;
        return Result::End;
    }
    uint8 linkHeader[CORVID_LINK_HEADER_SIZE];
    if (!ReadBytes(linkHeader, sizeof(linkHeader)))
        return Fail(nOffset,
                    "the file ends inside a chunk header (" + std::to_string(m_nSize - nOffset) + " of " +
                        std::to_string(CORVID_LINK_HEADER_SIZE) + " bytes)");
    const CorvidLinkHeader header = ReadCorvidLinkHeader(linkHeader);
    if (CorvidLinkHeaderReserved(linkHeader) != 0)
        return Fail(nOffset + offsetof(CorvidLinkHeaderBytes, reserved), "a chunk header whose reserved bytes are not zero");
    if (header.nSize > kCaptureMaxChunkSize)
        return Fail(nOffset,
                    "a " + ChunkIdText(header.nChunkId) + " chunk of " + std::to_string(header.nSize) + " bytes, over the limit of " +
                        std::to_string(kCaptureMaxChunkSize >> 20) + " MiB");
    // Checked before allocating: a forged size costs nothing.
    if (header.nSize > m_nSize - m_nOffset)
        return Fail(nOffset,
                    "the file ends inside a " + ChunkIdText(header.nChunkId) + " chunk (" + std::to_string(header.nSize) +
                        " bytes announced, " + std::to_string(m_nSize - m_nOffset) + " there)");

    if (header.nChunkId == kCaptureEndChunkId) {
        if (header.nVersion != kCaptureEndVersion || header.nSize != kCaptureEndSize)
            return Fail(nOffset, "a malformed end record");
        uint8 payload[kCaptureEndSize];
        ReadBytes(payload, sizeof(payload));
        return ReadEndRecord(payload, nOffset);
    }

    auto *pBuffer = static_cast<uint8 *>(g_pMemAlloc->Alloc(CORVID_LINK_HEADER_SIZE + size_t(header.nSize)));
    if (!pBuffer)
        return Fail(nOffset, "out of memory for a chunk of " + std::to_string(header.nSize) + " bytes");
    std::memcpy(pBuffer, linkHeader, sizeof(linkHeader));
    if (!ReadBytes(pBuffer + CORVID_LINK_HEADER_SIZE, header.nSize)) {
        g_pMemAlloc->Free(pBuffer);
        return Fail(nOffset, "cannot read the chunk");
    }
    ++m_nChunks;
    if (header.nChunkId == GPU_PROFILER_CHUNK_FRAME)
        ++m_nFrames;
    pChunk->nChunkId = header.nChunkId;
    pChunk->nVersion = header.nVersion;
    pChunk->nSize = header.nSize;
    pChunk->pBuffer = pBuffer;
    pChunk->nOffset = nOffset;
    return Result::Chunk;
}
