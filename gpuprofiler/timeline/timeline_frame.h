#pragma once
// Loading a frame onto the timeline: the work of the device window's ShowFrameOnTimeline.

#include "bedrock_api.h"

#include <cstddef>
#include <string_view>

class CQTimelineView;
struct GpuFrame;

// Replaces the view's bars with the samples of pFrame (none when pFrame is null or has no
// samples); the view writes the bars' tooltips from the frame's records, which stay valid until
// the next load. Sample times are put relative to the gpuStartTime of sample 0, which is stored in
// *pflTimelineOrigin (when given); samples that start before it become one-unit hairlines at the origin.
// Without samples the origin, the view's range, band and scene rectangle stay as they were.
void LoadFrameOnTimeline(CQTimelineView *pView, const GpuFrame *pFrame, double *pflTimelineOrigin);

// The tooltip text of sample nIndex: the format "[%u], \"%s\", Start: %3.3fms, Len: %3.3fms"
// filled with the index, the name, the start and the length, cut to nCapacity - 1 characters.
void FormatTimelineSampleText(char *pText, size_t nCapacity, uint32 nIndex, std::string_view sName, double flStartMs, double flLengthMs);

// The stable colour of a sample name: MurmurHash2 (seed 1) of its bytes spread over 55..255
// per channel; alpha 255.
void TimelineColourOfName(std::string_view sName, uint8 colour[4]);
