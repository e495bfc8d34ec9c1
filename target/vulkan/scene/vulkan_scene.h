#pragma once
// A small offscreen Vulkan renderer with known work: shapes drawn in render passes under debug
// labels, clears and buffer updates outside them. The layer's tests draw known shapes with it
// and check what the layer measured; gpuprofiler-vulkan-demo draws a heavier frame with it.
// Frames are one queue submission each, waited for with a fence (no swap chain).

#include <vulkan/vulkan.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class SceneShape
{
    Triangle, // a small triangle: 3 vertices, 1 primitive
    FullScreen, // one triangle that covers the whole target
    Quad, // an indexed quad (6 indices, 2 primitives) over [-1,1]^2 before scaling
};

enum class SceneRecording
{
    EveryFrame, // the command buffer is recorded again for every frame
    Once, // recorded for the first frame, submitted as it is afterwards
    Secondary, // recorded every frame; render-pass work in a secondary command buffer
};

struct SceneOptions
{
    uint32_t nWidth = 64;
    uint32_t nHeight = 64;
    SceneRecording recording = SceneRecording::EveryFrame;
    // Submit with vkQueueSubmit2 (Vulkan 1.3, synchronization2) instead of vkQueueSubmit.
    bool bSubmit2 = false;
    // Labels and names through the older VK_EXT_debug_marker instead of debug utils (a layer
    // below may provide the extension, as the Khronos validation layer does).
    bool bDebugMarkers = false;
    // Layers to enable by name, first the one nearest the application, e.g. the profiler's
    // ("VK_LAYER_CORVID_gpuprofiler") above the Khronos validation layer.
    std::vector<std::string> layers;
};

class CVulkanScene;

// What the content callback records with; each call maps onto one or two Vulkan commands.
class CSceneRecorder
{
public:
    void BeginLabel(const char *pszName);
    void EndLabel();
    void BeginPass(float r, float g, float b);
    void EndPass();
    // Outside a pass: clears the colour target, and updates the constant buffer.
    void ClearTarget(float r, float g, float b);
    void UpdateConstants(uint32_t nBytes);
    // Inside a pass: draws a shape moved by (x, y) and scaled by (sx, sy); instances step by
    // (dx, 0).
    void Draw(SceneShape shape, float x, float y, float sx, float sy, uint32_t nInstances = 1, float dx = 0.0f);

private:
    friend class CVulkanScene;
    CVulkanScene *m_pScene = nullptr;
    VkCommandBuffer m_hPrimary = VK_NULL_HANDLE;
    VkCommandBuffer m_hCurrent = VK_NULL_HANDLE; // the primary, or the secondary inside a pass
    bool m_bInPass = false;
    float m_Color[4] = {1, 1, 1, 1};
};

class CVulkanScene
{
public:
    using Content = std::function<void(CSceneRecorder &)>;

    CVulkanScene() = default;
    ~CVulkanScene();
    CVulkanScene(const CVulkanScene &) = delete;
    CVulkanScene &operator=(const CVulkanScene &) = delete;

    bool Create(const SceneOptions &options, std::string *pError);
    // Records (as the options say) and submits one frame, and waits for it.
    bool RenderFrame(const Content &content);
    // Records and submits a frame and returns at once; the next call must not come before it
    // is done (the demo's way to leave with work in flight).
    bool SubmitWithoutWaiting(const Content &content);
    // The colour target as the last frame left it, one RGBA word per pixel, row by row.
    std::vector<uint32_t> ReadPixels();
    // Makes a scene that records once record again at the next frame.
    void Rerecord() { m_bRecorded = false; }

    // Named through debug utils: the target image "Scene Color", the buffers "Scene Vertices"
    // (vertex), "Scene Indices" (index) and "Scene Constants" (uniform).
    VkDevice Device() const { return m_hDevice; }
    // Errors that a validation layer among the layers reported, with the first one's text.
    int ValidationErrors() const { return m_nValidationErrors; }
    const std::string &FirstValidationError() const { return m_sFirstValidationError; }

private:
    friend class CSceneRecorder;
    static VKAPI_ATTR VkBool32 VKAPI_CALL OnDebugMessage(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                         VkDebugUtilsMessageTypeFlagsEXT types,
                                                         const VkDebugUtilsMessengerCallbackDataEXT *pData, void *pUser);
    bool Fail(std::string *pError, const char *pszWhat, VkResult result);
    bool CreateBuffer(VkDeviceSize nSize, VkBufferUsageFlags usage, const char *pszName, VkBuffer *pBuffer, VkDeviceMemory *pMemory,
                      const void *pData);
    uint32_t MemoryType(uint32_t nBits, VkMemoryPropertyFlags flags) const;
    void SetName(VkObjectType type, uint64_t nHandle, const char *pszName);

    SceneOptions m_Options;
    VkInstance m_hInstance = VK_NULL_HANDLE;
    VkPhysicalDevice m_hPhysicalDevice = VK_NULL_HANDLE;
    VkDevice m_hDevice = VK_NULL_HANDLE;
    VkQueue m_hQueue = VK_NULL_HANDLE;
    uint32_t m_nQueueFamily = 0;
    VkImage m_hImage = VK_NULL_HANDLE;
    VkDeviceMemory m_hImageMemory = VK_NULL_HANDLE;
    VkImageView m_hView = VK_NULL_HANDLE;
    VkRenderPass m_hRenderPass = VK_NULL_HANDLE;
    VkFramebuffer m_hFramebuffer = VK_NULL_HANDLE;
    VkPipelineLayout m_hPipelineLayout = VK_NULL_HANDLE;
    VkPipeline m_hPipeline = VK_NULL_HANDLE;
    VkBuffer m_hVertices = VK_NULL_HANDLE, m_hIndices = VK_NULL_HANDLE, m_hConstants = VK_NULL_HANDLE;
    VkDeviceMemory m_hVertexMemory = VK_NULL_HANDLE, m_hIndexMemory = VK_NULL_HANDLE, m_hConstantMemory = VK_NULL_HANDLE;
    VkCommandPool m_hPool = VK_NULL_HANDLE;
    VkCommandBuffer m_hCommandBuffer = VK_NULL_HANDLE;
    std::vector<VkCommandBuffer> m_Secondaries;
    size_t m_nSecondariesUsed = 0;
    VkFence m_hFence = VK_NULL_HANDLE;
    bool m_bRecorded = false;
    PFN_vkCmdBeginDebugUtilsLabelEXT m_pfnBeginLabel = nullptr;
    PFN_vkCmdEndDebugUtilsLabelEXT m_pfnEndLabel = nullptr;
    PFN_vkSetDebugUtilsObjectNameEXT m_pfnSetName = nullptr;
    PFN_vkCmdDebugMarkerBeginEXT m_pfnBeginMarker = nullptr;
    PFN_vkCmdDebugMarkerEndEXT m_pfnEndMarker = nullptr;
    PFN_vkDebugMarkerSetObjectNameEXT m_pfnSetMarkerName = nullptr;
    VkDebugUtilsMessengerEXT m_hMessenger = VK_NULL_HANDLE;
    int m_nValidationErrors = 0;
    std::string m_sFirstValidationError;
};
