#include "resource_lists.h"

#include "wire_resources.h"

#include <algorithm>

namespace {

void AppendName(std::vector<uint8> &out, const std::string &sName)
{
    out.insert(out.end(), sName.begin(), sName.end());
    out.push_back(0);
}

void AppendCount(std::vector<uint8> &out, size_t nCount)
{
    uint8 count[kResourceListCountBytes];
    StoreResourceListCount(count, int32(nCount));
    out.insert(out.end(), count, count + sizeof(count));
}

template <typename Record> void AppendRecord(std::vector<uint8> &out, const Record &record)
{
    const auto *pBytes = reinterpret_cast<const uint8 *>(&record);
    out.insert(out.end(), pBytes, pBytes + sizeof(record));
}

// A small deterministic random source (xorshift), the same on every platform.
class CRandom
{
public:
    explicit CRandom(uint32 nSeed) : m_nState(nSeed ? nSeed : 1) {}
    uint32 Next()
    {
        m_nState ^= m_nState << 13;
        m_nState ^= m_nState >> 17;
        m_nState ^= m_nState << 5;
        return m_nState;
    }
    uint32 Below(uint32 n) { return Next() % n; }

private:
    uint32 m_nState;
};

const char *const kMaterials[] = {"rock",  "grass", "brick", "metal_panel", "wood_planks", "skin",
                                  "cloth", "water", "sand",  "concrete",    "foliage",     "glass"};
const char *const kMeshes[] = {"character", "weapon", "tree", "building", "vehicle", "terrain_patch", "prop_crate", "rock"};

} // namespace

std::vector<uint8> EncodeTextureList(const std::vector<TargetTexture> &textures)
{
    std::vector<uint8> out;
    out.reserve(kResourceListCountBytes + textures.size() * 48);
    AppendCount(out, textures.size());
    for (const TargetTexture &t : textures) {
        GpuTextureRecord record{};
        record.SetDiskWidth(t.diskWidth);
        record.SetDiskHeight(t.diskHeight);
        record.SetDiskDepth(t.diskDepth);
        record.SetResWidth(t.resWidth);
        record.SetResHeight(t.resHeight);
        record.SetResDepth(t.resDepth);
        record.SetFlags(t.flags);
        record.diskMips = t.diskMips;
        record.resMips = t.resMips;
        record.SetFormat(t.format);
        AppendRecord(out, record);
        AppendName(out, t.name);
    }
    return out;
}

std::vector<uint8> EncodeBufferList(const std::vector<TargetBuffer> &buffers)
{
    std::vector<uint8> out;
    out.reserve(kResourceListCountBytes + buffers.size() * 40);
    AppendCount(out, buffers.size());
    for (const TargetBuffer &b : buffers) {
        GpuBufferRecord record{};
        record.bufferType = b.bufferType;
        record.SetElemSize(b.elemSize);
        record.SetCapacity(b.capacity);
        record.SetElemCount(b.elemCount);
        record.SetSizeBytes(b.sizeBytes);
        AppendRecord(out, record);
        AppendName(out, b.name);
    }
    return out;
}

std::vector<TargetTexture> MakeDemoTextures(int nCount, uint32 nSeed)
{
    CRandom random(nSeed);
    std::vector<TargetTexture> textures;
    textures.reserve(size_t(nCount));
    for (int i = 0; i < nCount; ++i) {
        TargetTexture t;
        const uint32 nKind = random.Below(100);
        const uint16 nSize = uint16(16u << random.Below(8)); // 16 .. 2048
        t.diskWidth = nSize;
        t.diskHeight = random.Below(4) ? nSize : uint16(nSize / 2);
        t.diskMips = 0; // full chain
        // Streaming keeps the top mips of some textures on disk only.
        const uint32 nDropped = random.Below(3);
        t.resWidth = uint16(std::max(1, t.diskWidth >> nDropped));
        t.resHeight = uint16(std::max(1, t.diskHeight >> nDropped));
        t.resMips = 0;
        if (nKind < 70) {
            t.flags = kTextureFlag2D;
            static const int8 kFormats[] = {13, 15, 36, 37, 12, 0, 85, 86};
            t.format = kFormats[random.Below(8)];
            t.name = std::string("materials/") + kMaterials[random.Below(12)] + "/" + kMaterials[random.Below(12)] + "_" +
                std::to_string(i) + (random.Below(2) ? "_color" : "_normal");
        } else if (nKind < 85) {
            t.flags = uint16(kTextureFlag2D | kTextureFlagRenderTarget | (random.Below(4) == 0 ? kTextureFlagPinned : 0));
            static const int8 kFormats[] = {12, 24, 63, 57, 59};
            t.format = kFormats[random.Below(5)];
            t.diskWidth = t.resWidth = uint16(random.Below(2) ? 1920 : 1280);
            t.diskHeight = t.resHeight = uint16(t.diskWidth == 1920 ? 1080 : 720);
            t.diskMips = t.resMips = 1;
            t.name = "rendertargets/_rt_" + std::to_string(i);
        } else if (nKind < 93) {
            t.flags = uint16(kTextureFlagCubemap | (random.Below(3) == 0 ? kTextureFlagArray : 0) | kTextureFlagAutoGenMips);
            t.format = 24;
            t.name = "env/cubemap_" + std::to_string(i);
        } else if (nKind < 98) {
            t.flags = kTextureFlagVolume;
            t.format = 0;
            t.diskWidth = t.diskHeight = t.resWidth = t.resHeight = 32;
            t.diskDepth = t.resDepth = 32;
            t.diskMips = t.resMips = 1;
            t.name = "volumes/fog_" + std::to_string(i);
        } else {
            t.flags = uint16(kTextureFlag2D | kTextureFlagFallback | kTextureFlagNoLod);
            t.format = 12;
            t.diskWidth = t.diskHeight = t.resWidth = t.resHeight = 4;
            t.name = "fallback/error_" + std::to_string(i);
        }
        textures.push_back(std::move(t));
    }
    return textures;
}

std::vector<TargetBuffer> MakeDemoBuffers(int nCount, uint32 nSeed)
{
    CRandom random(nSeed);
    std::vector<TargetBuffer> buffers;
    buffers.reserve(size_t(nCount));
    for (int i = 0; i < nCount; ++i) {
        TargetBuffer b;
        b.bufferType = uint8(random.Below(2));
        b.elemSize = b.bufferType == 0 ? uint16(16 + 4 * random.Below(9)) : uint16(random.Below(4) ? 2 : 4);
        b.capacity = 8u << random.Below(14);
        b.elemCount = b.capacity - random.Below(b.capacity / 2 + 1);
        b.sizeBytes = b.capacity * b.elemSize;
        if (random.Below(10) == 0)
            b.name = "dynamic_" + std::to_string(i);
        else if (random.Below(20) != 0)
            b.name = std::string("meshes/") + kMeshes[random.Below(8)] + "_" + std::to_string(i) + (b.bufferType ? ".ib" : ".vb");
        buffers.push_back(std::move(b));
    }
    return buffers;
}
