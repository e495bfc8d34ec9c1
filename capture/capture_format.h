#pragma once
// The .gpucap capture file: a small header, then the chunks a target sends, each framed as the
// console link frames it, and an end record written when the capture is closed. The byte layout
// is in wire/wire_capture.h; docs/capture-format.md describes the file and its versioning.
//
// Opening a capture is the same road as receiving a target's stream: the reader hands out each
// chunk in the buffer form the console hands to the plug-in (link header, then payload).

#include "bedrock_api.h"
#include "wire_capture.h"

#include <string>

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
