#include "resource_tracker.h"

#include "resource_lists.h"
#include "wire_resources.h"

#include <algorithm>
#include <cstdio>

namespace {

template <typename T> uint64 HandleValue(T handle)
{
    return uint64(handle);
}

uint16 Clamp16(uint32 n)
{
    return uint16(std::min<uint32>(n, 0xFFFF));
}

constexpr VkImageUsageFlags kAttachmentUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT;

} // namespace

int8 TextureListFormat(VkFormat format)
{
    switch (format) {
    case VK_FORMAT_R8G8B8A8_UNORM:
    case VK_FORMAT_R8G8B8A8_SRGB:
        return 0; // RGBA8888
    case VK_FORMAT_A8B8G8R8_UNORM_PACK32:
        return 1; // ABGR8888
    case VK_FORMAT_R8G8B8_UNORM:
        return 2; // RGB888
    case VK_FORMAT_B8G8R8_UNORM:
        return 3; // BGR888
    case VK_FORMAT_R5G6B5_UNORM_PACK16:
        return 4; // RGB565
    case VK_FORMAT_R8_UNORM:
        return 5; // I8
    case VK_FORMAT_R8G8_UNORM:
        return 6; // IA88
    case VK_FORMAT_B8G8R8A8_UNORM:
    case VK_FORMAT_B8G8R8A8_SRGB:
        return 12; // BGRA8888
    case VK_FORMAT_BC1_RGB_UNORM_BLOCK:
    case VK_FORMAT_BC1_RGB_SRGB_BLOCK:
        return 13; // DXT1
    case VK_FORMAT_BC2_UNORM_BLOCK:
    case VK_FORMAT_BC2_SRGB_BLOCK:
        return 14; // DXT3
    case VK_FORMAT_BC3_UNORM_BLOCK:
    case VK_FORMAT_BC3_SRGB_BLOCK:
        return 15; // DXT5
    case VK_FORMAT_B5G6R5_UNORM_PACK16:
        return 17; // BGR565
    case VK_FORMAT_B4G4R4A4_UNORM_PACK16:
        return 19; // BGRA4444
    case VK_FORMAT_BC1_RGBA_UNORM_BLOCK:
    case VK_FORMAT_BC1_RGBA_SRGB_BLOCK:
        return 20; // DXT1_ONEBITALPHA
    case VK_FORMAT_B5G5R5A1_UNORM_PACK16:
        return 21; // BGRA5551
    case VK_FORMAT_R16G16B16A16_SFLOAT:
        return 24;
    case VK_FORMAT_R16G16B16A16_UNORM:
        return 25;
    case VK_FORMAT_R32_SFLOAT:
        return 27; // R32F
    case VK_FORMAT_R32G32B32_SFLOAT:
        return 28;
    case VK_FORMAT_R32G32B32A32_SFLOAT:
        return 29;
    case VK_FORMAT_BC5_UNORM_BLOCK:
        return 36; // ATI2N
    case VK_FORMAT_BC4_UNORM_BLOCK:
        return 37; // ATI1N
    case VK_FORMAT_R16G16_SFLOAT:
        return 53;
    case VK_FORMAT_R32G32_SFLOAT:
        return 54;
    case VK_FORMAT_A2B10G10R10_UNORM_PACK32:
        return 57; // RGBA1010102
    case VK_FORMAT_A2R10G10B10_UNORM_PACK32:
        return 58; // BGRA1010102
    case VK_FORMAT_R16_SFLOAT:
        return 59;
    case VK_FORMAT_D16_UNORM:
        return 60;
    case VK_FORMAT_D32_SFLOAT:
    case VK_FORMAT_D32_SFLOAT_S8_UINT:
        return 62; // D32
    case VK_FORMAT_D24_UNORM_S8_UINT:
        return 63; // D24S8
    case VK_FORMAT_X8_D24_UNORM_PACK32:
        return 65; // D24X8
    case VK_FORMAT_R16G16_UNORM:
        return 79;
    case VK_FORMAT_R16_UNORM:
        return 80;
    case VK_FORMAT_BC6H_UFLOAT_BLOCK:
    case VK_FORMAT_BC6H_SFLOAT_BLOCK:
        return 85;
    case VK_FORMAT_BC7_UNORM_BLOCK:
    case VK_FORMAT_BC7_SRGB_BLOCK:
        return 86;
    case VK_FORMAT_R32_UINT:
        return 87;
    case VK_FORMAT_ETC2_R8G8B8_UNORM_BLOCK:
    case VK_FORMAT_ETC2_R8G8B8_SRGB_BLOCK:
        return 88;
    case VK_FORMAT_ETC2_R8G8B8A8_UNORM_BLOCK:
    case VK_FORMAT_ETC2_R8G8B8A8_SRGB_BLOCK:
        return 89;
    case VK_FORMAT_EAC_R11_UNORM_BLOCK:
        return 90;
    case VK_FORMAT_EAC_R11G11_UNORM_BLOCK:
        return 91;
    default:
        return -1;
    }
}

uint32 FormatBytes(VkFormat format, bool *pbBlock)
{
    *pbBlock = false;
    if (format >= VK_FORMAT_BC1_RGB_UNORM_BLOCK && format <= VK_FORMAT_EAC_R11G11_SNORM_BLOCK) {
        *pbBlock = true;
        switch (format) {
        case VK_FORMAT_BC1_RGB_UNORM_BLOCK:
        case VK_FORMAT_BC1_RGB_SRGB_BLOCK:
        case VK_FORMAT_BC1_RGBA_UNORM_BLOCK:
        case VK_FORMAT_BC1_RGBA_SRGB_BLOCK:
        case VK_FORMAT_BC4_UNORM_BLOCK:
        case VK_FORMAT_BC4_SNORM_BLOCK:
        case VK_FORMAT_ETC2_R8G8B8_UNORM_BLOCK:
        case VK_FORMAT_ETC2_R8G8B8_SRGB_BLOCK:
        case VK_FORMAT_ETC2_R8G8B8A1_UNORM_BLOCK:
        case VK_FORMAT_ETC2_R8G8B8A1_SRGB_BLOCK:
        case VK_FORMAT_EAC_R11_UNORM_BLOCK:
        case VK_FORMAT_EAC_R11_SNORM_BLOCK:
            return 8;
        default:
            return 16;
        }
    }
    switch (format) {
    case VK_FORMAT_R8_UNORM:
    case VK_FORMAT_R8_SNORM:
    case VK_FORMAT_R8_UINT:
    case VK_FORMAT_R8_SINT:
    case VK_FORMAT_R8_SRGB:
    case VK_FORMAT_S8_UINT:
        return 1;
    case VK_FORMAT_R8G8_UNORM:
    case VK_FORMAT_R8G8_SRGB:
    case VK_FORMAT_R16_SFLOAT:
    case VK_FORMAT_R16_UNORM:
    case VK_FORMAT_R16_UINT:
    case VK_FORMAT_D16_UNORM:
    case VK_FORMAT_R5G6B5_UNORM_PACK16:
    case VK_FORMAT_B5G6R5_UNORM_PACK16:
    case VK_FORMAT_B4G4R4A4_UNORM_PACK16:
    case VK_FORMAT_B5G5R5A1_UNORM_PACK16:
        return 2;
    case VK_FORMAT_R8G8B8_UNORM:
    case VK_FORMAT_B8G8R8_UNORM:
        return 3;
    case VK_FORMAT_R16G16B16A16_SFLOAT:
    case VK_FORMAT_R16G16B16A16_UNORM:
    case VK_FORMAT_R32G32_SFLOAT:
    case VK_FORMAT_D32_SFLOAT_S8_UINT:
        return 8;
    case VK_FORMAT_R32G32B32_SFLOAT:
        return 12;
    case VK_FORMAT_R32G32B32A32_SFLOAT:
        return 16;
    case VK_FORMAT_UNDEFINED:
        return 0;
    default:
        return 4; // the common 32-bit colour and depth formats
    }
}

void CResourceTracker::AddBuffer(VkBuffer hBuffer, VkDeviceSize nSize, VkBufferUsageFlags usage)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Buffers[HandleValue(hBuffer)] = {nSize, usage};
}

void CResourceTracker::RemoveBuffer(VkBuffer hBuffer)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Buffers.erase(HandleValue(hBuffer));
    m_Names.erase(HandleValue(hBuffer));
}

void CResourceTracker::AddImage(VkImage hImage, const VkImageCreateInfo &info)
{
    Image image;
    image.type = info.imageType;
    image.format = info.format;
    image.extent = info.extent;
    image.nMips = info.mipLevels;
    image.nLayers = info.arrayLayers;
    image.usage = info.usage;
    image.flags = info.flags;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Images[HandleValue(hImage)] = image;
}

void CResourceTracker::RemoveImage(VkImage hImage)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Images.erase(HandleValue(hImage));
    m_Names.erase(HandleValue(hImage));
}

void CResourceTracker::SetName(VkObjectType type, uint64 nHandle, const char *pszName)
{
    if (type != VK_OBJECT_TYPE_BUFFER && type != VK_OBJECT_TYPE_IMAGE && type != VK_OBJECT_TYPE_SWAPCHAIN_KHR)
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!pszName || !*pszName)
        m_Names.erase(nHandle);
    else
        m_Names[nHandle] = std::string(pszName).substr(0, 1023); // the lists show at most 1,023 bytes
}

std::string CResourceTracker::SwapChainName(uint64 nHandle) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return NameOf(nHandle);
}

void CResourceTracker::ForgetName(uint64 nHandle)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Names.erase(nHandle);
}

std::string CResourceTracker::NameOf(uint64 nHandle) const
{
    const auto it = m_Names.find(nHandle);
    return it == m_Names.end() ? std::string() : it->second;
}

UploadTarget CResourceTracker::BufferTarget(VkBuffer hBuffer) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const auto it = m_Buffers.find(HandleValue(hBuffer));
    if (it == m_Buffers.end())
        return UploadTarget::None;
    if (it->second.usage & VK_BUFFER_USAGE_VERTEX_BUFFER_BIT)
        return UploadTarget::VertexBuffer;
    if (it->second.usage & VK_BUFFER_USAGE_INDEX_BUFFER_BIT)
        return UploadTarget::IndexBuffer;
    if (it->second.usage & VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT)
        return UploadTarget::ConstantBuffer;
    return UploadTarget::None;
}

UploadTarget CResourceTracker::ImageTarget(VkImage hImage, VkFormat *pFormat) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const auto it = m_Images.find(HandleValue(hImage));
    if (it == m_Images.end()) {
        *pFormat = VK_FORMAT_UNDEFINED;
        return UploadTarget::Texture;
    }
    *pFormat = it->second.format;
    return (it->second.usage & kAttachmentUsage) ? UploadTarget::FrameBufferTexture : UploadTarget::Texture;
}

std::vector<uint8> CResourceTracker::EncodeTextures() const
{
    std::vector<TargetTexture> textures;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        textures.reserve(std::min(m_Images.size(), kMaxListedResources));
        for (const auto &[nHandle, image] : m_Images) {
            if (textures.size() >= kMaxListedResources)
                break;
            TargetTexture t;
            t.diskWidth = t.resWidth = Clamp16(image.extent.width);
            t.diskHeight = t.resHeight = Clamp16(image.extent.height);
            t.diskDepth = t.resDepth = Clamp16(std::max(1u, image.extent.depth));
            t.diskMips = t.resMips = uint8(std::min<uint32>(image.nMips, 255));
            t.format = TextureListFormat(image.format);
            uint32 nFlags = image.type == VK_IMAGE_TYPE_1D ? kTextureFlag1D
                : image.type == VK_IMAGE_TYPE_3D           ? kTextureFlagVolume
                                                           : kTextureFlag2D;
            uint32 nLayersPerImage = 1;
            if ((image.flags & VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT) && image.nLayers >= 6) {
                nFlags = kTextureFlagCubemap;
                nLayersPerImage = 6;
            }
            if (image.nLayers > nLayersPerImage)
                nFlags |= kTextureFlagArray;
            if (image.usage & kAttachmentUsage)
                nFlags |= kTextureFlagRenderTarget;
            t.flags = uint16(nFlags);
            t.name = NameOf(nHandle);
            if (t.name.empty()) {
                char szName[48];
                std::snprintf(szName, sizeof(szName), "Image 0x%llx", static_cast<unsigned long long>(nHandle));
                t.name = szName;
            }
            textures.push_back(std::move(t));
        }
    }
    return EncodeTextureList(textures);
}

std::vector<uint8> CResourceTracker::EncodeBuffers() const
{
    std::vector<TargetBuffer> buffers;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        buffers.reserve(std::min(m_Buffers.size(), kMaxListedResources));
        for (const auto &[nHandle, buffer] : m_Buffers) {
            if (buffers.size() >= kMaxListedResources)
                break;
            TargetBuffer b;
            // The list knows vertex and index buffers; every other buffer is listed with the
            // vertex buffers, its usage in its name when it has none of its own.
            const bool bIndex = (buffer.usage & VK_BUFFER_USAGE_INDEX_BUFFER_BIT) != 0;
            b.bufferType = bIndex ? 1 : 0;
            b.elemSize = bIndex ? 4 : 1;
            const uint64 nSize = std::min<uint64>(buffer.nSize, 0xFFFFFFFFu);
            b.sizeBytes = uint32(nSize);
            b.capacity = b.elemCount = uint32(nSize / b.elemSize);
            b.name = NameOf(nHandle);
            if (b.name.empty()) {
                const char *pszKind = (buffer.usage & VK_BUFFER_USAGE_VERTEX_BUFFER_BIT) ? "vertex"
                    : bIndex                                                             ? "index"
                    : (buffer.usage & VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT)                ? "uniform"
                    : (buffer.usage & VK_BUFFER_USAGE_STORAGE_BUFFER_BIT)                ? "storage"
                    : (buffer.usage & VK_BUFFER_USAGE_TRANSFER_SRC_BIT)                  ? "staging"
                                                                                         : "other";
                char szName[64];
                std::snprintf(szName, sizeof(szName), "Buffer 0x%llx (%s)", static_cast<unsigned long long>(nHandle), pszKind);
                b.name = szName;
            }
            buffers.push_back(std::move(b));
        }
    }
    return EncodeBufferList(buffers);
}

size_t CResourceTracker::BufferCount() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Buffers.size();
}

size_t CResourceTracker::ImageCount() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Images.size();
}
