#pragma once
// The frame header (GPRF payload, 188 bytes) and the GPU sample record (408 bytes each in GPRD
// payloads and in unpacked GPRC data), kept byte for byte as the target sent them: multi-byte
// fields stay big-endian and are converted when read, and written back big-endian. Every field
// is a byte array, so the records have alignment 1, no padding, and can be read at any address.

#include "byte_order.h"

#include <array>
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
    std::string_view SwapChainName() const { return {swapChainName, strnlen(swapChainName, sizeof(swapChainName) - 1)}; }
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
    uint32 ResourceStat(int nIndex) const;
    void SetResourceStat(int nIndex, uint32 v);

    uint32 BoundTexDimHist(int nBin) const { return LoadBigEndian32(boundTexDimHist[nBin]); }
    void SetBoundTexDimHist(int nBin, uint32 v) { StoreBigEndian32(boundTexDimHist[nBin], v); }
};

static_assert(sizeof(GpuFrameHeader) == 188);
static_assert(alignof(GpuFrameHeader) == 1);
static_assert(offsetof(GpuFrameHeader, swapChainId) == 4);
static_assert(offsetof(GpuFrameHeader, swapChainName) == 12);
static_assert(offsetof(GpuFrameHeader, uniqueBoundVbs) == 76);
static_assert(offsetof(GpuFrameHeader, boundTexSize) == 76 + 4 * (GpuFrameHeader::kResourceStatCount - 1));
static_assert(offsetof(GpuFrameHeader, boundTexDimHist) == 112);
static_assert(offsetof(GpuFrameHeader, sampleCount) == 176);
static_assert(offsetof(GpuFrameHeader, hasResourceStats) == 184);

inline uint32 GpuFrameHeader::ResourceStat(int nIndex) const
{
    const auto *pBytes = reinterpret_cast<const uint8 *>(this);
    return LoadBigEndian32(pBytes + offsetof(GpuFrameHeader, uniqueBoundVbs) + 4 * nIndex);
}

inline void GpuFrameHeader::SetResourceStat(int nIndex, uint32 v)
{
    auto *pBytes = reinterpret_cast<uint8 *>(this);
    StoreBigEndian32(pBytes + offsetof(GpuFrameHeader, uniqueBoundVbs) + 4 * nIndex, v);
}

struct GpuSampleRecord
{
    static constexpr int kHistBins = 12;
    static constexpr int kNameSize = 255;
    // The counters lie in one block, from draws up to (not including) reserved152.
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
static_assert(offsetof(GpuSampleRecord, gpuTime) == 24);
static_assert(offsetof(GpuSampleRecord, draws) == GpuSampleRecord::kCounterBlockOffset);
static_assert(offsetof(GpuSampleRecord, clears) == 44);
static_assert(offsetof(GpuSampleRecord, vbUpload) == 58);
static_assert(offsetof(GpuSampleRecord, reserved74) == 74);
static_assert(offsetof(GpuSampleRecord, iaVerts) == 80);
static_assert(offsetof(GpuSampleRecord, psInvokes) == 100);
static_assert(offsetof(GpuSampleRecord, instHist) == 104);
static_assert(offsetof(GpuSampleRecord, primsPerDrawHist) == 128);
static_assert(offsetof(GpuSampleRecord, reserved152) == GpuSampleRecord::kCounterBlockOffset + GpuSampleRecord::kCounterBlockSize);
static_assert(offsetof(GpuSampleRecord, name) == 153);

// Byte offsets of the histogram bins in a sample record (two bytes each).
constexpr size_t InstHistOffset(int nBin)
{
    return offsetof(GpuSampleRecord, instHist) + sizeof(GpuSampleRecord::instHist[0]) * size_t(nBin);
}
constexpr size_t PrimsPerDrawHistOffset(int nBin)
{
    return offsetof(GpuSampleRecord, primsPerDrawHist) + sizeof(GpuSampleRecord::primsPerDrawHist[0]) * size_t(nBin);
}

// A counter of the counter block: its byte offset in the record and its size (2 or 4).
struct SampleCounterField
{
    uint16 nOffset;
    uint16 nSize;
};

inline constexpr int kSampleCounterFieldCount = 45;

// Every u16 and u32 field of the counter block except reserved74, in record order.
inline constexpr std::array<SampleCounterField, kSampleCounterFieldCount> kSampleCounterFields = [] {
    std::array<SampleCounterField, kSampleCounterFieldCount> fields{};
    int n = 0;
    const auto add = [&](size_t nOffset, size_t nSize) { fields[size_t(n++)] = {uint16(nOffset), uint16(nSize)}; };
    add(offsetof(GpuSampleRecord, draws), sizeof(GpuSampleRecord::draws));
    add(offsetof(GpuSampleRecord, auxCount), sizeof(GpuSampleRecord::auxCount));
    add(offsetof(GpuSampleRecord, verts), sizeof(GpuSampleRecord::verts));
    add(offsetof(GpuSampleRecord, prims), sizeof(GpuSampleRecord::prims));
    add(offsetof(GpuSampleRecord, clears), sizeof(GpuSampleRecord::clears));
    add(offsetof(GpuSampleRecord, resolves), sizeof(GpuSampleRecord::resolves));
    add(offsetof(GpuSampleRecord, vbUpdates), sizeof(GpuSampleRecord::vbUpdates));
    add(offsetof(GpuSampleRecord, ibUpdates), sizeof(GpuSampleRecord::ibUpdates));
    add(offsetof(GpuSampleRecord, cbUpdates), sizeof(GpuSampleRecord::cbUpdates));
    add(offsetof(GpuSampleRecord, texUpdates), sizeof(GpuSampleRecord::texUpdates));
    add(offsetof(GpuSampleRecord, fbTexUpdates), sizeof(GpuSampleRecord::fbTexUpdates));
    add(offsetof(GpuSampleRecord, vbUpload), sizeof(GpuSampleRecord::vbUpload));
    add(offsetof(GpuSampleRecord, ibUpload), sizeof(GpuSampleRecord::ibUpload));
    add(offsetof(GpuSampleRecord, cbUpload), sizeof(GpuSampleRecord::cbUpload));
    add(offsetof(GpuSampleRecord, texUpload), sizeof(GpuSampleRecord::texUpload));
    add(offsetof(GpuSampleRecord, iaVerts), sizeof(GpuSampleRecord::iaVerts));
    add(offsetof(GpuSampleRecord, iaPrims), sizeof(GpuSampleRecord::iaPrims));
    add(offsetof(GpuSampleRecord, vsInvokes), sizeof(GpuSampleRecord::vsInvokes));
    add(offsetof(GpuSampleRecord, cInvokes), sizeof(GpuSampleRecord::cInvokes));
    add(offsetof(GpuSampleRecord, cPrims), sizeof(GpuSampleRecord::cPrims));
    add(offsetof(GpuSampleRecord, psInvokes), sizeof(GpuSampleRecord::psInvokes));
    for (int nBin = 0; nBin < GpuSampleRecord::kHistBins; ++nBin)
        add(InstHistOffset(nBin), sizeof(GpuSampleRecord::instHist[0]));
    for (int nBin = 0; nBin < GpuSampleRecord::kHistBins; ++nBin)
        add(PrimsPerDrawHistOffset(nBin), sizeof(GpuSampleRecord::primsPerDrawHist[0]));
    return fields;
}();

// The table fills the counter block exactly: each field starts where the one before it ends,
// except for the six reserved bytes before iaVerts.
static_assert([] {
    size_t nNext = GpuSampleRecord::kCounterBlockOffset;
    for (const SampleCounterField &field : kSampleCounterFields) {
        if (field.nOffset == offsetof(GpuSampleRecord, iaVerts))
            nNext += sizeof(GpuSampleRecord::reserved74);
        if (field.nOffset != nNext || (field.nSize != 2 && field.nSize != 4))
            return false;
        nNext += field.nSize;
    }
    return nNext == GpuSampleRecord::kCounterBlockOffset + GpuSampleRecord::kCounterBlockSize;
}());
