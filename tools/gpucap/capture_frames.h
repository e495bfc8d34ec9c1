#pragma once
// Frames from profiler chunks, whatever their source: a capture file read here, or a target's
// link (gpucap record). Every chunk goes through the plug-in's frame assembler, so a frame is
// complete by the same rules as in the profiler, and damage is reported the same way.

#include "frame_assembler.h"

#include <functional>
#include <string>

using CaptureFrameFunc = std::function<void(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount)>;

// Gives one chunk to the assembler: frame headers and sample chunks of version 1; anything else
// is not a frame's. True when the chunk completed a frame (its header and records are then in
// the assembler).
bool TakeFrameChunk(CFrameAssembler &assembler, uint32 nChunkId, uint16 nVersion, uint32 nSize, const void *pPayload);

// "N malformed chunks dropped (last: <reason>)", or empty when the assembler refused nothing.
std::string DescribeContentErrors(const CFrameAssembler &assembler);

// Hands every complete frame of the capture to onFrame, in order. False when the file cannot be
// read at all; *psProblems collects what was wrong with it, one line each ending in a newline,
// also when true (the frames before a fault are kept).
bool ReadCaptureFrames(const std::string &sPath, const CaptureFrameFunc &onFrame, std::string *psProblems);
