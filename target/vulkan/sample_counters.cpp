#include "sample_counters.h"

#include <algorithm>
#include <iterator>

uint64 PrimitiveCount(VkPrimitiveTopology topology, uint64 nVertices, uint32 nPatchPoints)
{
    auto atLeast = [&](uint64 nFixed) { return nVertices > nFixed ? nVertices - nFixed : 0; };
    switch (topology) {
    case VK_PRIMITIVE_TOPOLOGY_POINT_LIST:
        return nVertices;
    case VK_PRIMITIVE_TOPOLOGY_LINE_LIST:
        return nVertices / 2;
    case VK_PRIMITIVE_TOPOLOGY_LINE_STRIP:
        return atLeast(1);
    case VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST:
        return nVertices / 3;
    case VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP:
    case VK_PRIMITIVE_TOPOLOGY_TRIANGLE_FAN:
        return atLeast(2);
    case VK_PRIMITIVE_TOPOLOGY_LINE_LIST_WITH_ADJACENCY:
        return nVertices / 4;
    case VK_PRIMITIVE_TOPOLOGY_LINE_STRIP_WITH_ADJACENCY:
        return atLeast(3);
    case VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST_WITH_ADJACENCY:
        return nVertices / 6;
    case VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP_WITH_ADJACENCY:
        return atLeast(4) / 2;
    case VK_PRIMITIVE_TOPOLOGY_PATCH_LIST:
        return nPatchPoints ? nVertices / nPatchPoints : 0;
    default:
        return 0;
    }
}

int InstanceHistogramBin(uint64 nInstances)
{
    if (nInstances <= 8)
        return int(nInstances);
    if (nInstances <= 16)
        return 9;
    return nInstances <= 32 ? 10 : 11;
}

int PrimsPerDrawHistogramBin(uint64 nPrims)
{
    // Upper limits of bins 0 to 10; bin 11 takes the rest.
    static constexpr uint64 kLimits[] = {16, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 65536, 262144};
    return int(std::lower_bound(std::begin(kLimits), std::end(kLimits), nPrims) - std::begin(kLimits));
}

void SampleCounters::AddDraw(uint32 nVertices, uint32 nInstances, VkPrimitiveTopology topology, uint32 nPatchPoints)
{
    const uint64 nPrims = PrimitiveCount(topology, nVertices, nPatchPoints) * nInstances;
    ++draws;
    verts += uint64(nVertices) * nInstances;
    prims += nPrims;
    ++instHist[InstanceHistogramBin(nInstances)];
    ++primsPerDrawHist[PrimsPerDrawHistogramBin(nPrims)];
}

void SampleCounters::AddUpdate(UploadTarget target, uint64 nBytes)
{
    switch (target) {
    case UploadTarget::VertexBuffer:
        ++vbUpdates;
        vbUpload += nBytes;
        break;
    case UploadTarget::IndexBuffer:
        ++ibUpdates;
        ibUpload += nBytes;
        break;
    case UploadTarget::ConstantBuffer:
        ++cbUpdates;
        cbUpload += nBytes;
        break;
    case UploadTarget::FrameBufferTexture:
        ++fbTexUpdates;
        texUpload += nBytes;
        break;
    case UploadTarget::Texture:
        ++texUpdates;
        texUpload += nBytes;
        break;
    case UploadTarget::None:
        break;
    }
}

void SampleCounters::Add(const SampleCounters &other)
{
    draws += other.draws;
    verts += other.verts;
    prims += other.prims;
    clears += other.clears;
    resolves += other.resolves;
    vbUpdates += other.vbUpdates;
    ibUpdates += other.ibUpdates;
    cbUpdates += other.cbUpdates;
    texUpdates += other.texUpdates;
    fbTexUpdates += other.fbTexUpdates;
    vbUpload += other.vbUpload;
    ibUpload += other.ibUpload;
    cbUpload += other.cbUpload;
    texUpload += other.texUpload;
    for (int i = 0; i < GpuSampleRecord::kHistBins; ++i) {
        instHist[i] += other.instHist[i];
        primsPerDrawHist[i] += other.primsPerDrawHist[i];
    }
}

void SampleCounters::StoreInto(GpuSampleRecord &record) const
{
    record.SetDraws(uint16(draws));
    record.SetVerts(uint32(verts));
    record.SetPrims(uint32(prims));
    record.SetClears(uint16(clears));
    record.SetResolves(uint16(resolves));
    record.SetVbUpdates(uint16(vbUpdates));
    record.SetIbUpdates(uint16(ibUpdates));
    record.SetCbUpdates(uint16(cbUpdates));
    record.SetTexUpdates(uint16(texUpdates));
    record.SetFbTexUpdates(uint16(fbTexUpdates));
    record.SetVbUpload(uint32(vbUpload));
    record.SetIbUpload(uint32(ibUpload));
    record.SetCbUpload(uint32(cbUpload));
    record.SetTexUpload(uint32(texUpload));
    for (int i = 0; i < GpuSampleRecord::kHistBins; ++i) {
        record.SetInstHist(i, uint16(instHist[i]));
        record.SetPrimsPerDrawHist(i, uint16(primsPerDrawHist[i]));
    }
}
