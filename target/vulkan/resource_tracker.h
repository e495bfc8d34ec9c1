#pragma once
// The images and buffers an application holds, tracked from their creation to their
// destruction, with the names it gives them (debug utils or debug markers). Answers the
// profiler's resource-list requests (formats mapped onto the texture list's format table, usage
// onto the buffer kinds) and tells the command recorder what kind of destination a copy or an
// update writes to. One tracker serves every device of the process; it is thread-safe.

#include "sample_counters.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The texture list's format index for a Vulkan format, -1 where the table has no such format.
int8 TextureListFormat(VkFormat format);
// Bytes of one texel, or of one 4x4 block for block-compressed formats (*pbBlock set); 0 when
// unknown.
uint32 FormatBytes(VkFormat format, bool *pbBlock);

class CResourceTracker
{
public:
    // Lists are cut to this many entries: the profiler holds what a payload carries, and a
    // runaway application must not make one list a link message over the limit.
    static constexpr size_t kMaxListedResources = 200000;

    void AddBuffer(VkBuffer hBuffer, VkDeviceSize nSize, VkBufferUsageFlags usage);
    void RemoveBuffer(VkBuffer hBuffer);
    void AddImage(VkImage hImage, const VkImageCreateInfo &info);
    void RemoveImage(VkImage hImage);
    // Names of buffers, images and swap chains; other objects are ignored.
    void SetName(VkObjectType type, uint64 nHandle, const char *pszName);
    // The name given to a swap chain, empty when none.
    std::string SwapChainName(uint64 nHandle) const;
    void ForgetName(uint64 nHandle);

    // What an update or copy into the buffer or image writes to.
    UploadTarget BufferTarget(VkBuffer hBuffer) const;
    UploadTarget ImageTarget(VkImage hImage, VkFormat *pFormat) const;

    // The GPRT and GPRB payloads of what is alive now.
    std::vector<uint8> EncodeTextures() const;
    std::vector<uint8> EncodeBuffers() const;

    size_t BufferCount() const;
    size_t ImageCount() const;

private:
    struct Buffer
    {
        VkDeviceSize nSize = 0;
        VkBufferUsageFlags usage = 0;
    };
    struct Image
    {
        VkImageType type = VK_IMAGE_TYPE_2D;
        VkFormat format = VK_FORMAT_UNDEFINED;
        VkExtent3D extent{};
        uint32 nMips = 1;
        uint32 nLayers = 1;
        VkImageUsageFlags usage = 0;
        VkImageCreateFlags flags = 0;
    };

    std::string NameOf(uint64 nHandle) const;

    mutable std::mutex m_Mutex;
    std::unordered_map<uint64, Buffer> m_Buffers;
    std::unordered_map<uint64, Image> m_Images;
    std::unordered_map<uint64, std::string> m_Names;
};
