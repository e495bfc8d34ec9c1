#pragma once
// What the layer counts on the CPU side for one sample, from the parameters of the commands the
// application records: draws, vertices, primitives, the two histograms, clears, resolves and the
// updates and uploads by the kind of their destination. Kept in host order and wide while a
// sample is open, and stored into the wire record (where the fields wrap) when it closes.

#include "wire_frame.h"

#include <vulkan/vulkan_core.h>

// Where an update or upload lands, from the usage its buffer or image was created with.
enum class UploadTarget
{
    None,
    VertexBuffer,
    IndexBuffer,
    ConstantBuffer,
    Texture,
    FrameBufferTexture, // an image that is also a colour or depth attachment
};

struct SampleCounters
{
    uint64 draws = 0;
    uint64 verts = 0;
    uint64 prims = 0;
    uint64 clears = 0;
    uint64 resolves = 0;
    uint64 vbUpdates = 0, ibUpdates = 0, cbUpdates = 0, texUpdates = 0, fbTexUpdates = 0;
    uint64 vbUpload = 0, ibUpload = 0, cbUpload = 0, texUpload = 0;
    uint32 instHist[GpuSampleRecord::kHistBins] = {};
    uint32 primsPerDrawHist[GpuSampleRecord::kHistBins] = {};

    // A direct draw of nVertices vertices (or indices) per instance.
    void AddDraw(uint32 nVertices, uint32 nInstances, VkPrimitiveTopology topology, uint32 nPatchPoints);
    // Indirect draws: their parameters live on the GPU, so only the draws are counted here; the
    // pipeline statistics still measure their work.
    void AddIndirectDraws(uint32 nDraws) { draws += nDraws; }
    void AddUpdate(UploadTarget target, uint64 nBytes);

    // Adds every counter of other into this one.
    void Add(const SampleCounters &other);
    // Stores the counters into the record's counter block (u16 fields modulo 2^16, u32 modulo
    // 2^32, as the record keeps them); the pipeline statistics are left alone.
    void StoreInto(GpuSampleRecord &record) const;
};

// Primitives that nVertices vertices make in a topology (patches of nPatchPoints points).
uint64 PrimitiveCount(VkPrimitiveTopology topology, uint64 nVertices, uint32 nPatchPoints);

// The histogram bins: instances 0..8 one bin each, then up to 16, up to 32, and above; and
// primitives per draw 0-16, 17-128, 129-256, ... 64k-256k, 256k+.
int InstanceHistogramBin(uint64 nInstances);
int PrimsPerDrawHistogramBin(uint64 nPrims);
