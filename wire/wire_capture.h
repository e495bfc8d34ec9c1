#pragma once
// The .gpucap capture file: a header, then the chunks a target sends, each framed as the
// console link frames it (wire_link.h), then an end record written when the capture is closed.
// docs/capture-format.md describes the file and its versioning rule.
//
//   header | chunk | chunk | ... | chunk | end record
//
// All multi-byte numbers are big-endian, as on the link.

#include "wire_link.h"

#include <cstddef>

// "\x89GPUCAP\n": the high first byte and the line feed show a file mangled by a text-mode
// transfer, and no text file starts this way.
inline constexpr uint8 kCaptureMagic[8] = {0x89, 'G', 'P', 'U', 'C', 'A', 'P', 0x0A};

// The format version this build writes and the newest it reads. Additions that an older reader
// can pass over (more header bytes, new chunk ids) keep the version; anything else raises it.
inline constexpr uint16 kCaptureFormatVersion = 1;

// The fixed part of the header. The target's name (targetNameSize bytes, UTF-8) and the writing
// program's version text (versionTextSize bytes) follow it, then, up to headerSize, whatever
// later versions add.
struct CaptureFileHeader
{
    uint8 magic[8];
    uint8 formatVersion[2];
    uint8 headerSize[2]; // counted from the start of the file, strings and additions included
    uint8 takenAtUs[8]; // microseconds since 1970-01-01 00:00 UTC, signed
    uint8 targetNameSize[2];
    uint8 versionTextSize[2];

    uint16 FormatVersion() const { return LoadBigEndian16(formatVersion); }
    uint16 HeaderSize() const { return LoadBigEndian16(headerSize); }
    int64 TakenAtUs() const { return int64(LoadBigEndian64(takenAtUs)); }
    uint16 TargetNameSize() const { return LoadBigEndian16(targetNameSize); }
    uint16 VersionTextSize() const { return LoadBigEndian16(versionTextSize); }

    void SetFormatVersion(uint16 v) { StoreBigEndian16(formatVersion, v); }
    void SetHeaderSize(uint16 v) { StoreBigEndian16(headerSize, v); }
    void SetTakenAtUs(int64 v) { StoreBigEndian64(takenAtUs, uint64(v)); }
    void SetTargetNameSize(uint16 v) { StoreBigEndian16(targetNameSize, v); }
    void SetVersionTextSize(uint16 v) { StoreBigEndian16(versionTextSize, v); }
};
static_assert(alignof(CaptureFileHeader) == 1);
static_assert(sizeof(CaptureFileHeader::magic) == sizeof(kCaptureMagic));
static_assert(offsetof(CaptureFileHeader, formatVersion) == 8);
static_assert(offsetof(CaptureFileHeader, headerSize) == 10);
static_assert(offsetof(CaptureFileHeader, takenAtUs) == 12);
static_assert(offsetof(CaptureFileHeader, targetNameSize) == 20);
static_assert(offsetof(CaptureFileHeader, versionTextSize) == 22);

inline constexpr uint32 kCaptureFixedHeaderSize = sizeof(CaptureFileHeader);
static_assert(kCaptureFixedHeaderSize == 24);
// The whole header, strings and any later additions included, is at most this long.
inline constexpr uint32 kCaptureMaxHeaderSize = 4096;
// The target's name as its hello gave it: the link cuts names to this length.
inline constexpr uint32 kCaptureMaxTargetName = CORVID_LINK_MAX_NAME;
inline constexpr uint32 kCaptureMaxVersionText = 64;
static_assert(kCaptureFixedHeaderSize + kCaptureMaxTargetName + kCaptureMaxVersionText <= kCaptureMaxHeaderSize);

// One chunk of a capture holds at most what the console link carries in one message.
inline constexpr uint32 kCaptureMaxChunkSize = CORVID_LINK_MAX_PAYLOAD;

// The end record: framed as a chunk (id "GCEN", version 1), written last by a capture that was
// closed properly. Its payload counts the frame header chunks and all chunks before it.
inline constexpr uint32 kCaptureEndChunkId = 0x4743454E; // "GCEN"
inline constexpr uint16 kCaptureEndVersion = 1;

struct CaptureEndRecord
{
    uint8 frames[4];
    uint8 chunks[4];

    uint32 Frames() const { return LoadBigEndian32(frames); }
    uint32 Chunks() const { return LoadBigEndian32(chunks); }
    void SetFrames(uint32 v) { StoreBigEndian32(frames, v); }
    void SetChunks(uint32 v) { StoreBigEndian32(chunks, v); }
};
static_assert(alignof(CaptureEndRecord) == 1);
static_assert(offsetof(CaptureEndRecord, chunks) == 4);

inline constexpr uint32 kCaptureEndSize = sizeof(CaptureEndRecord);
static_assert(kCaptureEndSize == 8);
