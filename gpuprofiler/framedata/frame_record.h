#pragma once
// The frame header and the GPU sample record, kept byte for byte as the target sent them:
// multi-byte fields stay big-endian and are converted when read, and written back big-endian.
// Every field is a byte array, so the records have alignment 1, no padding, and can be read at
// any address.
//
// This header has no toolkit dependency: the target side builds its records with it too.

#include "bedrock/bedrock_api.h"
#include "bedrock/byte_order.h"

#include <cstddef>
#include <cstring>
#include <string_view>

struct GpuFrameHeader
{
    static constexpr int kResourceStatCount = 9; // uniqueBoundVbs .. boundTexSize
    static constexpr int kTexDimHistBins = 16;

    uint8 reserved0[4];
    uint8 swapChainId[8];
    char swapChainName[64];
    uint8 uniqueBoundVbs[4];
    uint8 boundVbSize[4];
    uint8 uniqueBoundIbs[4];
    uint8 boundIbSize[4];
    uint8 uniqueBoundCbs[4];
    uint8 boundCbSize[4];
    uint8 fbTexPool[4];
    uint8 uniqueBoundTexs[4];
    uint8 boundTexSize[4];
    uint8 boundTexDimHist[kTexDimHistBins][4];
    uint8 sampleCount[4];
    uint8 reserved180[4];
    uint8 hasResourceStats;
    uint8 reserved185[3];

    uint64 SwapChainId() const { return LoadBigEndian64(swapChainId); }
    void SetSwapChainId(uint64 v) { StoreBigEndian64(swapChainId, v); }

    // The name up to its terminator; never more than 63 characters, even without one.
    std::string_view SwapChainName() const
    {
        return {swapChainName, strnlen(swapChainName, sizeof(swapChainName) - 1)};
    }
    // Copies at most 63 characters and terminates; the rest of the field is zeroed.
    void SetSwapChainName(std::string_view text)
    {
        const size_t n = text.size() < sizeof(swapChainName) - 1 ? text.size() : sizeof(swapChainName) - 1;
        std::memset(swapChainName, 0, sizeof(swapChainName));
        if (n) // an empty view may carry no data pointer at all
            std::memcpy(swapChainName, text.data(), n);
    }

    uint32 UniqueBoundVbs() const { return LoadBigEndian32(uniqueBoundVbs); }
    uint32 BoundVbSize() const { return LoadBigEndian32(boundVbSize); }
    uint32 UniqueBoundIbs() const { return LoadBigEndian32(uniqueBoundIbs); }
    uint32 BoundIbSize() const { return LoadBigEndian32(boundIbSize); }
    uint32 UniqueBoundCbs() const { return LoadBigEndian32(uniqueBoundCbs); }
    uint32 BoundCbSize() const { return LoadBigEndian32(boundCbSize); }
    uint32 FbTexPool() const { return LoadBigEndian32(fbTexPool); }
    uint32 UniqueBoundTexs() const { return LoadBigEndian32(uniqueBoundTexs); }
    uint32 BoundTexSize() const { return LoadBigEndian32(boundTexSize); }

    uint32 SampleCount() const { return LoadBigEndian32(sampleCount); }
    void SetSampleCount(uint32 v) { StoreBigEndian32(sampleCount, v); }

    bool HasResourceStats() const { return hasResourceStats != 0; }
    void SetHasResourceStats(bool bValid) { hasResourceStats = bValid ? 1 : 0; }

    // The nine resource statistics from uniqueBoundVbs (0) to boundTexSize (8), in field order.
    // The nine fields are consecutive, so the index is an offset from the first one.
    uint32 ResourceStat(int nIndex) const { return LoadBigEndian32(Bytes() + kResourceStatOffset + 4 * nIndex); }
    void SetResourceStat(int nIndex, uint32 v) { StoreBigEndian32(Bytes() + kResourceStatOffset + 4 * nIndex, v); }

    uint32 BoundTexDimHist(int nBin) const { return LoadBigEndian32(boundTexDimHist[nBin]); }
    void SetBoundTexDimHist(int nBin, uint32 v) { StoreBigEndian32(boundTexDimHist[nBin], v); }

private:
    static constexpr size_t kResourceStatOffset = 76;
    const uint8 *Bytes() const { return reinterpret_cast<const uint8 *>(this); }
    uint8 *Bytes() { return reinterpret_cast<uint8 *>(this); }
};

static_assert(sizeof(GpuFrameHeader) == 188);
static_assert(alignof(GpuFrameHeader) == 1);
static_assert(offsetof(GpuFrameHeader, uniqueBoundVbs) == 76);
static_assert(offsetof(GpuFrameHeader, boundTexSize) == 76 + 4 * (GpuFrameHeader::kResourceStatCount - 1));
static_assert(offsetof(GpuFrameHeader, boundTexDimHist) == 112);
static_assert(offsetof(GpuFrameHeader, sampleCount) == 176);
static_assert(offsetof(GpuFrameHeader, hasResourceStats) == 184);

struct GpuSampleRecord
{
    static constexpr int kHistBins = 12;
    static constexpr int kNameSize = 255;
    static constexpr size_t kCounterBlockOffset = 32;
    static constexpr size_t kCounterBlockSize = 120;

    uint8 cpuStartTime[8];
    uint8 cpuTime[8];
    uint8 gpuStartTime[8];
    uint8 gpuTime[8];
    uint8 draws[2];
    uint8 auxCount[2];
    uint8 verts[4];
    uint8 prims[4];
    uint8 clears[2];
    uint8 resolves[2];
    uint8 vbUpdates[2];
    uint8 ibUpdates[2];
    uint8 cbUpdates[2];
    uint8 texUpdates[2];
    uint8 fbTexUpdates[2];
    uint8 vbUpload[4];
    uint8 ibUpload[4];
    uint8 cbUpload[4];
    uint8 texUpload[4];
    uint8 reserved74[6];
    uint8 iaVerts[4];
    uint8 iaPrims[4];
    uint8 vsInvokes[4];
    uint8 cInvokes[4];
    uint8 cPrims[4];
    uint8 psInvokes[4];
    uint8 instHist[kHistBins][2];
    uint8 primsPerDrawHist[kHistBins][2];
    uint8 reserved152;
    char name[kNameSize];

    double CpuStartTime() const { return LoadBigEndianDouble(cpuStartTime); }
    double CpuTime() const { return LoadBigEndianDouble(cpuTime); }
    double GpuStartTime() const { return LoadBigEndianDouble(gpuStartTime); }
    double GpuTime() const { return LoadBigEndianDouble(gpuTime); }
    void SetCpuStartTime(double v) { StoreBigEndianDouble(cpuStartTime, v); }
    void SetCpuTime(double v) { StoreBigEndianDouble(cpuTime, v); }
    void SetGpuStartTime(double v) { StoreBigEndianDouble(gpuStartTime, v); }
    void SetGpuTime(double v) { StoreBigEndianDouble(gpuTime, v); }

    uint16 Draws() const { return LoadBigEndian16(draws); }
    uint16 AuxCount() const { return LoadBigEndian16(auxCount); }
    uint32 Verts() const { return LoadBigEndian32(verts); }
    uint32 Prims() const { return LoadBigEndian32(prims); }
    uint16 Clears() const { return LoadBigEndian16(clears); }
    uint16 Resolves() const { return LoadBigEndian16(resolves); }
    uint16 VbUpdates() const { return LoadBigEndian16(vbUpdates); }
    uint16 IbUpdates() const { return LoadBigEndian16(ibUpdates); }
    uint16 CbUpdates() const { return LoadBigEndian16(cbUpdates); }
    uint16 TexUpdates() const { return LoadBigEndian16(texUpdates); }
    uint16 FbTexUpdates() const { return LoadBigEndian16(fbTexUpdates); }
    uint32 VbUpload() const { return LoadBigEndian32(vbUpload); }
    uint32 IbUpload() const { return LoadBigEndian32(ibUpload); }
    uint32 CbUpload() const { return LoadBigEndian32(cbUpload); }
    uint32 TexUpload() const { return LoadBigEndian32(texUpload); }
    uint32 IaVerts() const { return LoadBigEndian32(iaVerts); }
    uint32 IaPrims() const { return LoadBigEndian32(iaPrims); }
    uint32 VsInvokes() const { return LoadBigEndian32(vsInvokes); }
    uint32 CInvokes() const { return LoadBigEndian32(cInvokes); }
    uint32 CPrims() const { return LoadBigEndian32(cPrims); }
    uint32 PsInvokes() const { return LoadBigEndian32(psInvokes); }
    uint16 InstHist(int nBin) const { return LoadBigEndian16(instHist[nBin]); }
    uint16 PrimsPerDrawHist(int nBin) const { return LoadBigEndian16(primsPerDrawHist[nBin]); }

    void SetDraws(uint16 v) { StoreBigEndian16(draws, v); }
    void SetAuxCount(uint16 v) { StoreBigEndian16(auxCount, v); }
    void SetVerts(uint32 v) { StoreBigEndian32(verts, v); }
    void SetPrims(uint32 v) { StoreBigEndian32(prims, v); }
    void SetClears(uint16 v) { StoreBigEndian16(clears, v); }
    void SetResolves(uint16 v) { StoreBigEndian16(resolves, v); }
    void SetVbUpdates(uint16 v) { StoreBigEndian16(vbUpdates, v); }
    void SetIbUpdates(uint16 v) { StoreBigEndian16(ibUpdates, v); }
    void SetCbUpdates(uint16 v) { StoreBigEndian16(cbUpdates, v); }
    void SetTexUpdates(uint16 v) { StoreBigEndian16(texUpdates, v); }
    void SetFbTexUpdates(uint16 v) { StoreBigEndian16(fbTexUpdates, v); }
    void SetVbUpload(uint32 v) { StoreBigEndian32(vbUpload, v); }
    void SetIbUpload(uint32 v) { StoreBigEndian32(ibUpload, v); }
    void SetCbUpload(uint32 v) { StoreBigEndian32(cbUpload, v); }
    void SetTexUpload(uint32 v) { StoreBigEndian32(texUpload, v); }
    void SetIaVerts(uint32 v) { StoreBigEndian32(iaVerts, v); }
    void SetIaPrims(uint32 v) { StoreBigEndian32(iaPrims, v); }
    void SetVsInvokes(uint32 v) { StoreBigEndian32(vsInvokes, v); }
    void SetCInvokes(uint32 v) { StoreBigEndian32(cInvokes, v); }
    void SetCPrims(uint32 v) { StoreBigEndian32(cPrims, v); }
    void SetPsInvokes(uint32 v) { StoreBigEndian32(psInvokes, v); }
    void SetInstHist(int nBin, uint16 v) { StoreBigEndian16(instHist[nBin], v); }
    void SetPrimsPerDrawHist(int nBin, uint16 v) { StoreBigEndian16(primsPerDrawHist[nBin], v); }

    // The name up to its terminator; never more than 254 characters, even without one.
    std::string_view Name() const { return {name, strnlen(name, sizeof(name) - 1)}; }
    // Copies at most 254 characters and terminates; the rest of the field is zeroed.
    void SetName(std::string_view text)
    {
        const size_t n = text.size() < sizeof(name) - 1 ? text.size() : sizeof(name) - 1;
        std::memset(name, 0, sizeof(name));
        if (n) // an empty view may carry no data pointer at all
            std::memcpy(name, text.data(), n);
    }
};

static_assert(sizeof(GpuSampleRecord) == 408);
static_assert(alignof(GpuSampleRecord) == 1);
static_assert(offsetof(GpuSampleRecord, draws) == GpuSampleRecord::kCounterBlockOffset);
static_assert(offsetof(GpuSampleRecord, reserved74) == 74);
static_assert(offsetof(GpuSampleRecord, iaVerts) == 80);
static_assert(offsetof(GpuSampleRecord, instHist) == 104);
static_assert(offsetof(GpuSampleRecord, primsPerDrawHist) == 128);
static_assert(offsetof(GpuSampleRecord, reserved152) ==
              GpuSampleRecord::kCounterBlockOffset + GpuSampleRecord::kCounterBlockSize);
static_assert(offsetof(GpuSampleRecord, name) == 153);

// A counter of the counter block: its byte offset in the record and its size (2 or 4).
struct SampleCounterField
{
    uint16 nOffset;
    uint16 nSize;
};

// Every u16 and u32 field of the counter block (offsets 32 to 151) except reserved74, in order.
inline constexpr SampleCounterField kSampleCounterFields[] = {
    {32, 2}, {34, 2}, {36, 4}, {40, 4},                            // draws .. prims
    {44, 2}, {46, 2}, {48, 2}, {50, 2}, {52, 2}, {54, 2}, {56, 2}, // clears .. fbTexUpdates
    {58, 4}, {62, 4}, {66, 4}, {70, 4},                            // vbUpload .. texUpload
    {80, 4}, {84, 4}, {88, 4}, {92, 4}, {96, 4}, {100, 4},         // iaVerts .. psInvokes
    {104, 2}, {106, 2}, {108, 2}, {110, 2}, {112, 2}, {114, 2},    // instHist
    {116, 2}, {118, 2}, {120, 2}, {122, 2}, {124, 2}, {126, 2},
    {128, 2}, {130, 2}, {132, 2}, {134, 2}, {136, 2}, {138, 2},    // primsPerDrawHist
    {140, 2}, {142, 2}, {144, 2}, {146, 2}, {148, 2}, {150, 2},
};
inline constexpr int kSampleCounterFieldCount = int(sizeof(kSampleCounterFields) / sizeof(kSampleCounterFields[0]));
static_assert(kSampleCounterFieldCount == 45);

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
