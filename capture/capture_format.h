#pragma once
// The .gpucap capture file: a small header, then the chunks a target sends, each framed as the
// console link frames it (12-byte header: id, version, reserved, size; then the payload), and
// an end record written when the capture is closed. docs/capture-format.md has the byte layout.
//
// Opening a capture is the same road as receiving a target's stream: the reader hands out each
// chunk in the buffer form the console hands to the plug-in (link header, then payload).

#include "bedrock/bedrock_api.h"
#include "corvid/link_protocol.h"

#include <string>

// "\x89GPUCAP\n": the high first byte and the line feed show a file mangled by a text-mode
// transfer, and no text file starts this way.
inline constexpr uint8 kCaptureMagic[8] = {0x89, 'G', 'P', 'U', 'C', 'A', 'P', 0x0A};

// The format version this build writes and the newest it reads. Additions that an older reader
// can pass over (more header bytes, new chunk ids) keep the version; anything else raises it.
inline constexpr uint16 kCaptureFormatVersion = 1;

// The fixed part of the header: magic, version, header size, time taken, two string lengths.
inline constexpr uint32 kCaptureFixedHeaderSize = 24;
// The whole header, strings and any later additions included, is at most this long.
inline constexpr uint32 kCaptureMaxHeaderSize = 4096;
// The target's name as its hello gave it: the link cuts names to this length.
inline constexpr uint32 kCaptureMaxTargetName = CORVID_LINK_MAX_NAME;
inline constexpr uint32 kCaptureMaxVersionText = 64;

// One chunk of a capture holds at most what the console link carries in one message.
inline constexpr uint32 kCaptureMaxChunkSize = CORVID_LINK_MAX_PAYLOAD;

// The end record: written last by a capture that was closed properly; its payload holds the
// number of frames and of chunks before it (two big-endian u32).
inline constexpr uint32 kCaptureEndChunkId = 0x4743454E; // "GCEN"
inline constexpr uint16 kCaptureEndVersion = 1;
inline constexpr uint32 kCaptureEndSize = 8;

// What the header says about a capture.
struct CaptureInfo
{
    // The target's name as its hello gave it (UTF-8).
    std::string sTargetName;
    // When the capture was taken: microseconds since 1970-01-01 00:00 UTC.
    int64 nTakenAtUs = 0;
    // The version of the program that wrote it.
    std::string sWriterVersion;
    // The format version the file was written in (filled by the reader).
    uint16 nFormatVersion = kCaptureFormatVersion;
};

// This build's version ("0.1.0"), which the programs write into their captures.
const char *ProductVersion();

// Microseconds since 1970-01-01 00:00 UTC, now.
int64 CaptureTimeNow();
// A time taken as ISO 8601 UTC ("2024-05-01T12:34:56Z").
std::string FormatCaptureTime(int64 nTakenAtUs);
