#pragma once
// What the profiler computes on sample records: sample path names split into their parts, and
// counters and times added into totals. The records themselves are wire formats
// (wire/wire_frame.h).

#include "wire_frame.h"

#include <string_view>

// The parts of a sample path name "#View/Layer/Name".
enum SamplePathPart
{
    SAMPLE_PATH_VIEW = 0,
    SAMPLE_PATH_LAYER = 1,
    SAMPLE_PATH_NAME = 2,
};

// The text shown for a part that does not exist or is empty.
inline constexpr std::string_view kMissingPathPart = "n/a";

// Part nPart of a sample name: for a path name ('#' first) the View, Layer or Name part, for a
// plain name the whole name; "n/a" for a missing or empty part. The result points into sName
// (or at kMissingPathPart). When pnParts is given it receives the number of parts counted, the
// figure that also decides a path row's colour; a plain name counts as 3.
std::string_view SplitSamplePath(std::string_view sName, int nPart, int *pnParts = nullptr);

// Adds the counter block of pSource into pDest: u16 counters modulo 2^16, u32 counters modulo
// 2^32, stored back big-endian. The reserved bytes in the block are left alone.
void AddCounters(GpuSampleRecord *pDest, const GpuSampleRecord *pSource);

// Adds one sample into a totals record: CPU and GPU time in double precision, then the counters.
// Start times, name and reserved bytes of the totals stay as they are.
void AddToTotals(GpuSampleRecord *pTotals, const GpuSampleRecord *pSample);

// Adds nCount samples into a totals record, in order: the same result, bit for bit, as calling
// AddToTotals for each of them, without storing the sums back after every sample.
void AddRecordsToTotals(GpuSampleRecord *pTotals, const GpuSampleRecord *pSamples, int32 nCount);

// Zeroes the counter block (offsets 32 to 151, reserved bytes included).
void ZeroCounters(GpuSampleRecord *pRecord);
