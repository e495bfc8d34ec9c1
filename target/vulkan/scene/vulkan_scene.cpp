#include "vulkan_scene.h"

#include <cstring>

namespace {

const uint32_t kVertexShader[] =
#include "scene.vert.inc"
    ;
const uint32_t kFragmentShader[] =
#include "scene.frag.inc"
    ;

// Vertices of the shapes, one after the other: the small triangle, the full-screen triangle,
// the quad's four corners.
const float kVertices[] = {
    -0.5f, -0.5f, 0.5f, -0.5f, 0.0f,  0.5f, // triangle
    -1.0f, -1.0f, 3.0f, -1.0f, -1.0f, 3.0f, // full screen
    -1.0f, -1.0f, 1.0f, -1.0f, 1.0f,  1.0f, -1.0f, 1.0f,
};
const uint16_t kIndices[] = {0, 1, 2, 2, 3, 0};

struct DrawConstants
{
    float offsetScale[4];
    float color[4];
    float instanceStep[4];
};

} // namespace

void CSceneRecorder::BeginLabel(const char *pszName)
{
    if (m_pScene->m_pfnBeginMarker) {
        VkDebugMarkerMarkerInfoEXT marker{VK_STRUCTURE_TYPE_DEBUG_MARKER_MARKER_INFO_EXT};
        marker.pMarkerName = pszName;
        m_pScene->m_pfnBeginMarker(m_hCurrent, &marker);
        return;
    }
    if (!m_pScene->m_pfnBeginLabel)
        return;
    VkDebugUtilsLabelEXT label{VK_STRUCTURE_TYPE_DEBUG_UTILS_LABEL_EXT};
    label.pLabelName = pszName;
    m_pScene->m_pfnBeginLabel(m_hCurrent, &label);
}

void CSceneRecorder::EndLabel()
{
    if (m_pScene->m_pfnEndMarker)
        m_pScene->m_pfnEndMarker(m_hCurrent);
    else if (m_pScene->m_pfnEndLabel)
        m_pScene->m_pfnEndLabel(m_hCurrent);
}

void CSceneRecorder::BeginPass(float r, float g, float b)
{
    CVulkanScene &scene = *m_pScene;
    const bool bSecondary = scene.m_Options.recording == SceneRecording::Secondary;
    VkClearValue clear{};
    clear.color = {{r, g, b, 1.0f}};
    VkRenderPassBeginInfo info{VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO};
    info.renderPass = scene.m_hRenderPass;
    info.framebuffer = scene.m_hFramebuffer;
    info.renderArea.extent = {scene.m_Options.nWidth, scene.m_Options.nHeight};
    info.clearValueCount = 1;
    info.pClearValues = &clear;
    vkCmdBeginRenderPass(m_hPrimary, &info, bSecondary ? VK_SUBPASS_CONTENTS_SECONDARY_COMMAND_BUFFERS : VK_SUBPASS_CONTENTS_INLINE);
    m_bInPass = true;
    if (bSecondary) {
        if (scene.m_nSecondariesUsed == scene.m_Secondaries.size()) {
            VkCommandBufferAllocateInfo alloc{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
            alloc.commandPool = scene.m_hPool;
            alloc.level = VK_COMMAND_BUFFER_LEVEL_SECONDARY;
            alloc.commandBufferCount = 1;
            VkCommandBuffer hSecondary = VK_NULL_HANDLE;
            vkAllocateCommandBuffers(scene.m_hDevice, &alloc, &hSecondary);
            scene.m_Secondaries.push_back(hSecondary);
        }
        m_hCurrent = scene.m_Secondaries[scene.m_nSecondariesUsed++];
        VkCommandBufferInheritanceInfo inheritance{VK_STRUCTURE_TYPE_COMMAND_BUFFER_INHERITANCE_INFO};
        inheritance.renderPass = scene.m_hRenderPass;
        inheritance.framebuffer = scene.m_hFramebuffer;
        VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        begin.flags = VK_COMMAND_BUFFER_USAGE_RENDER_PASS_CONTINUE_BIT | VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        begin.pInheritanceInfo = &inheritance;
        vkBeginCommandBuffer(m_hCurrent, &begin);
    }
    VkViewport viewport{0.0f, 0.0f, float(scene.m_Options.nWidth), float(scene.m_Options.nHeight), 0.0f, 1.0f};
    VkRect2D scissor{{0, 0}, {scene.m_Options.nWidth, scene.m_Options.nHeight}};
    vkCmdSetViewport(m_hCurrent, 0, 1, &viewport);
    vkCmdSetScissor(m_hCurrent, 0, 1, &scissor);
    vkCmdBindPipeline(m_hCurrent, VK_PIPELINE_BIND_POINT_GRAPHICS, scene.m_hPipeline);
    const VkDeviceSize nOffset = 0;
    vkCmdBindVertexBuffers(m_hCurrent, 0, 1, &scene.m_hVertices, &nOffset);
    vkCmdBindIndexBuffer(m_hCurrent, scene.m_hIndices, 0, VK_INDEX_TYPE_UINT16);
}

void CSceneRecorder::EndPass()
{
    if (m_hCurrent != m_hPrimary) {
        vkEndCommandBuffer(m_hCurrent);
        vkCmdExecuteCommands(m_hPrimary, 1, &m_hCurrent);
        m_hCurrent = m_hPrimary;
    }
    vkCmdEndRenderPass(m_hPrimary);
    m_bInPass = false;
}

void CSceneRecorder::ClearTarget(float r, float g, float b)
{
    CVulkanScene &scene = *m_pScene;
    VkImageMemoryBarrier barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER};
    barrier.srcAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    barrier.dstAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    barrier.newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = scene.m_hImage;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    vkCmdPipelineBarrier(m_hPrimary, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0,
                         nullptr, 1, &barrier);
    const VkClearColorValue color{{r, g, b, 1.0f}};
    vkCmdClearColorImage(m_hPrimary, scene.m_hImage, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &color, 1, &barrier.subresourceRange);
}

void CSceneRecorder::UpdateConstants(uint32_t nBytes)
{
    std::vector<uint8_t> data((nBytes + 3) & ~3u, 0x5A);
    vkCmdUpdateBuffer(m_hPrimary, m_pScene->m_hConstants, 0, data.size(), data.data());
}

void CSceneRecorder::Draw(SceneShape shape, float x, float y, float sx, float sy, uint32_t nInstances, float dx)
{
    DrawConstants constants{{x, y, sx, sy}, {m_Color[0], m_Color[1], m_Color[2], 1.0f}, {dx, 0.0f, 0.0f, 0.0f}};
    // A colour that changes from draw to draw, so the picture shows the shapes.
    m_Color[0] = m_Color[0] > 0.9f ? 0.2f : m_Color[0] + 0.13f;
    m_Color[1] = m_Color[1] > 0.9f ? 0.1f : m_Color[1] + 0.07f;
    vkCmdPushConstants(m_hCurrent, m_pScene->m_hPipelineLayout, VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0,
                       sizeof(constants), &constants);
    switch (shape) {
    case SceneShape::Triangle:
        vkCmdDraw(m_hCurrent, 3, nInstances, 0, 0);
        break;
    case SceneShape::FullScreen:
        vkCmdDraw(m_hCurrent, 3, nInstances, 3, 0);
        break;
    case SceneShape::Quad:
        vkCmdDrawIndexed(m_hCurrent, 6, nInstances, 0, 6, 0);
        break;
    }
}

CVulkanScene::~CVulkanScene()
{
    if (m_hDevice) {
        vkDeviceWaitIdle(m_hDevice);
        vkDestroyFence(m_hDevice, m_hFence, nullptr);
        vkDestroyCommandPool(m_hDevice, m_hPool, nullptr);
        vkDestroyPipeline(m_hDevice, m_hPipeline, nullptr);
        vkDestroyPipelineLayout(m_hDevice, m_hPipelineLayout, nullptr);
        vkDestroyFramebuffer(m_hDevice, m_hFramebuffer, nullptr);
        vkDestroyRenderPass(m_hDevice, m_hRenderPass, nullptr);
        vkDestroyImageView(m_hDevice, m_hView, nullptr);
        vkDestroyImage(m_hDevice, m_hImage, nullptr);
        vkFreeMemory(m_hDevice, m_hImageMemory, nullptr);
        for (VkBuffer hBuffer : {m_hVertices, m_hIndices, m_hConstants})
            vkDestroyBuffer(m_hDevice, hBuffer, nullptr);
        for (VkDeviceMemory hMemory : {m_hVertexMemory, m_hIndexMemory, m_hConstantMemory})
            vkFreeMemory(m_hDevice, hMemory, nullptr);
        vkDestroyDevice(m_hDevice, nullptr);
    }
    if (m_hMessenger) {
        auto pfnDestroy =
            reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(vkGetInstanceProcAddr(m_hInstance, "vkDestroyDebugUtilsMessengerEXT"));
        pfnDestroy(m_hInstance, m_hMessenger, nullptr);
    }
    if (m_hInstance)
        vkDestroyInstance(m_hInstance, nullptr);
}

VKAPI_ATTR VkBool32 VKAPI_CALL CVulkanScene::OnDebugMessage(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                            VkDebugUtilsMessageTypeFlagsEXT,
                                                            const VkDebugUtilsMessengerCallbackDataEXT *pData, void *pUser)
{
    auto *pScene = static_cast<CVulkanScene *>(pUser);
    if ((severity & VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT) && pScene->m_nValidationErrors++ == 0 && pData && pData->pMessage)
        pScene->m_sFirstValidationError = pData->pMessage;
    return VK_FALSE;
}

bool CVulkanScene::Fail(std::string *pError, const char *pszWhat, VkResult result)
{
    if (pError)
        *pError = std::string(pszWhat) + " failed (VkResult " + std::to_string(int(result)) + ")";
    return false;
}

uint32_t CVulkanScene::MemoryType(uint32_t nBits, VkMemoryPropertyFlags flags) const
{
    VkPhysicalDeviceMemoryProperties properties;
    vkGetPhysicalDeviceMemoryProperties(m_hPhysicalDevice, &properties);
    for (uint32_t i = 0; i < properties.memoryTypeCount; ++i) {
        if ((nBits & (1u << i)) && (properties.memoryTypes[i].propertyFlags & flags) == flags)
            return i;
    }
    return 0;
}

void CVulkanScene::SetName(VkObjectType type, uint64_t nHandle, const char *pszName)
{
    if (m_pfnSetMarkerName) {
        VkDebugMarkerObjectNameInfoEXT info{VK_STRUCTURE_TYPE_DEBUG_MARKER_OBJECT_NAME_INFO_EXT};
        info.objectType = type == VK_OBJECT_TYPE_IMAGE ? VK_DEBUG_REPORT_OBJECT_TYPE_IMAGE_EXT : VK_DEBUG_REPORT_OBJECT_TYPE_BUFFER_EXT;
        info.object = nHandle;
        info.pObjectName = pszName;
        m_pfnSetMarkerName(m_hDevice, &info);
        return;
    }
    if (!m_pfnSetName)
        return;
    VkDebugUtilsObjectNameInfoEXT info{VK_STRUCTURE_TYPE_DEBUG_UTILS_OBJECT_NAME_INFO_EXT};
    info.objectType = type;
    info.objectHandle = nHandle;
    info.pObjectName = pszName;
    m_pfnSetName(m_hDevice, &info);
}

bool CVulkanScene::CreateBuffer(VkDeviceSize nSize, VkBufferUsageFlags usage, const char *pszName, VkBuffer *pBuffer,
                                VkDeviceMemory *pMemory, const void *pData)
{
    VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = nSize;
    info.usage = usage;
    if (vkCreateBuffer(m_hDevice, &info, nullptr, pBuffer) != VK_SUCCESS)
        return false;
    VkMemoryRequirements requirements;
    vkGetBufferMemoryRequirements(m_hDevice, *pBuffer, &requirements);
    VkMemoryAllocateInfo alloc{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    alloc.allocationSize = requirements.size;
    alloc.memoryTypeIndex =
        MemoryType(requirements.memoryTypeBits, VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    if (vkAllocateMemory(m_hDevice, &alloc, nullptr, pMemory) != VK_SUCCESS)
        return false;
    vkBindBufferMemory(m_hDevice, *pBuffer, *pMemory, 0);
    if (pData) {
        void *pMapped = nullptr;
        vkMapMemory(m_hDevice, *pMemory, 0, nSize, 0, &pMapped);
        std::memcpy(pMapped, pData, size_t(nSize));
        vkUnmapMemory(m_hDevice, *pMemory);
    }
    SetName(VK_OBJECT_TYPE_BUFFER, uint64_t(*pBuffer), pszName);
    return true;
}

bool CVulkanScene::Create(const SceneOptions &options, std::string *pError)
{
    m_Options = options;
    VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "gpuprofiler-vulkan-scene";
    app.apiVersion = options.bSubmit2 ? VK_API_VERSION_1_3 : VK_API_VERSION_1_1;
    std::vector<const char *> layers;
    for (const std::string &sLayer : options.layers)
        layers.push_back(sLayer.c_str());
    // Debug markers need the debug report extension.
    const char *const instanceExtensions[] = {VK_EXT_DEBUG_UTILS_EXTENSION_NAME, VK_EXT_DEBUG_REPORT_EXTENSION_NAME};
    VkInstanceCreateInfo instanceInfo{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    instanceInfo.pApplicationInfo = &app;
    instanceInfo.enabledLayerCount = uint32_t(layers.size());
    instanceInfo.ppEnabledLayerNames = layers.data();
    instanceInfo.enabledExtensionCount = options.bDebugMarkers ? 2 : 1;
    instanceInfo.ppEnabledExtensionNames = instanceExtensions;
    VkResult result = vkCreateInstance(&instanceInfo, nullptr, &m_hInstance);
    if (result != VK_SUCCESS)
        return Fail(pError, "vkCreateInstance", result);
    // Errors of a validation layer are counted, not printed.
    auto pfnCreateMessenger =
        reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(vkGetInstanceProcAddr(m_hInstance, "vkCreateDebugUtilsMessengerEXT"));
    if (pfnCreateMessenger) {
        VkDebugUtilsMessengerCreateInfoEXT messengerInfo{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
        messengerInfo.messageSeverity = VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
        messengerInfo.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT;
        messengerInfo.pfnUserCallback = OnDebugMessage;
        messengerInfo.pUserData = this;
        pfnCreateMessenger(m_hInstance, &messengerInfo, nullptr, &m_hMessenger);
    }

    uint32_t nDevices = 0;
    vkEnumeratePhysicalDevices(m_hInstance, &nDevices, nullptr);
    std::vector<VkPhysicalDevice> devices(nDevices);
    vkEnumeratePhysicalDevices(m_hInstance, &nDevices, devices.data());
    if (devices.empty())
        return Fail(pError, "finding a Vulkan device", VK_ERROR_INITIALIZATION_FAILED);
    m_hPhysicalDevice = devices[0];
    uint32_t nFamilies = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(m_hPhysicalDevice, &nFamilies, nullptr);
    std::vector<VkQueueFamilyProperties> families(nFamilies);
    vkGetPhysicalDeviceQueueFamilyProperties(m_hPhysicalDevice, &nFamilies, families.data());
    for (uint32_t i = 0; i < nFamilies; ++i) {
        if (families[i].queueFlags & VK_QUEUE_GRAPHICS_BIT) {
            m_nQueueFamily = i;
            break;
        }
    }
    const float flPriority = 1.0f;
    VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queueInfo.queueFamilyIndex = m_nQueueFamily;
    queueInfo.queueCount = 1;
    queueInfo.pQueuePriorities = &flPriority;
    VkPhysicalDeviceVulkan13Features features13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    features13.synchronization2 = VK_TRUE;
    VkDeviceCreateInfo deviceInfo{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO};
    if (options.bSubmit2)
        deviceInfo.pNext = &features13;
    deviceInfo.queueCreateInfoCount = 1;
    deviceInfo.pQueueCreateInfos = &queueInfo;
    const char *pszDebugMarker = VK_EXT_DEBUG_MARKER_EXTENSION_NAME;
    if (options.bDebugMarkers) {
        deviceInfo.enabledExtensionCount = 1;
        deviceInfo.ppEnabledExtensionNames = &pszDebugMarker;
    }
    result = vkCreateDevice(m_hPhysicalDevice, &deviceInfo, nullptr, &m_hDevice);
    if (result != VK_SUCCESS)
        return Fail(pError, "vkCreateDevice", result);
    vkGetDeviceQueue(m_hDevice, m_nQueueFamily, 0, &m_hQueue);
    m_pfnBeginLabel =
        reinterpret_cast<PFN_vkCmdBeginDebugUtilsLabelEXT>(vkGetInstanceProcAddr(m_hInstance, "vkCmdBeginDebugUtilsLabelEXT"));
    m_pfnEndLabel = reinterpret_cast<PFN_vkCmdEndDebugUtilsLabelEXT>(vkGetInstanceProcAddr(m_hInstance, "vkCmdEndDebugUtilsLabelEXT"));
    m_pfnSetName = reinterpret_cast<PFN_vkSetDebugUtilsObjectNameEXT>(vkGetInstanceProcAddr(m_hInstance, "vkSetDebugUtilsObjectNameEXT"));
    if (options.bDebugMarkers) {
        m_pfnBeginMarker = reinterpret_cast<PFN_vkCmdDebugMarkerBeginEXT>(vkGetDeviceProcAddr(m_hDevice, "vkCmdDebugMarkerBeginEXT"));
        m_pfnEndMarker = reinterpret_cast<PFN_vkCmdDebugMarkerEndEXT>(vkGetDeviceProcAddr(m_hDevice, "vkCmdDebugMarkerEndEXT"));
        m_pfnSetMarkerName =
            reinterpret_cast<PFN_vkDebugMarkerSetObjectNameEXT>(vkGetDeviceProcAddr(m_hDevice, "vkDebugMarkerSetObjectNameEXT"));
        if (!m_pfnBeginMarker || !m_pfnEndMarker || !m_pfnSetMarkerName)
            return Fail(pError, "finding VK_EXT_debug_marker", VK_ERROR_EXTENSION_NOT_PRESENT);
    }

    // The colour target.
    VkImageCreateInfo imageInfo{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
    imageInfo.imageType = VK_IMAGE_TYPE_2D;
    imageInfo.format = VK_FORMAT_R8G8B8A8_UNORM;
    imageInfo.extent = {options.nWidth, options.nHeight, 1};
    imageInfo.mipLevels = 1;
    imageInfo.arrayLayers = 1;
    imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
    imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
    imageInfo.usage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
    if ((result = vkCreateImage(m_hDevice, &imageInfo, nullptr, &m_hImage)) != VK_SUCCESS)
        return Fail(pError, "vkCreateImage", result);
    VkMemoryRequirements requirements;
    vkGetImageMemoryRequirements(m_hDevice, m_hImage, &requirements);
    VkMemoryAllocateInfo alloc{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    alloc.allocationSize = requirements.size;
    alloc.memoryTypeIndex = MemoryType(requirements.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    if ((result = vkAllocateMemory(m_hDevice, &alloc, nullptr, &m_hImageMemory)) != VK_SUCCESS)
        return Fail(pError, "vkAllocateMemory", result);
    vkBindImageMemory(m_hDevice, m_hImage, m_hImageMemory, 0);
    SetName(VK_OBJECT_TYPE_IMAGE, uint64_t(m_hImage), "Scene Color");
    VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    viewInfo.image = m_hImage;
    viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    viewInfo.format = imageInfo.format;
    viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    if ((result = vkCreateImageView(m_hDevice, &viewInfo, nullptr, &m_hView)) != VK_SUCCESS)
        return Fail(pError, "vkCreateImageView", result);

    VkAttachmentDescription attachment{};
    attachment.format = imageInfo.format;
    attachment.samples = VK_SAMPLE_COUNT_1_BIT;
    attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    attachment.stencilLoadOp = VK_ATTACHMENT_LOAD_OP_DONT_CARE;
    attachment.stencilStoreOp = VK_ATTACHMENT_STORE_OP_DONT_CARE;
    attachment.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    attachment.finalLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    VkAttachmentReference reference{0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
    VkSubpassDescription subpass{};
    subpass.pipelineBindPoint = VK_PIPELINE_BIND_POINT_GRAPHICS;
    subpass.colorAttachmentCount = 1;
    subpass.pColorAttachments = &reference;
    VkRenderPassCreateInfo passInfo{VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO};
    passInfo.attachmentCount = 1;
    passInfo.pAttachments = &attachment;
    passInfo.subpassCount = 1;
    passInfo.pSubpasses = &subpass;
    if ((result = vkCreateRenderPass(m_hDevice, &passInfo, nullptr, &m_hRenderPass)) != VK_SUCCESS)
        return Fail(pError, "vkCreateRenderPass", result);
    VkFramebufferCreateInfo framebufferInfo{VK_STRUCTURE_TYPE_FRAMEBUFFER_CREATE_INFO};
    framebufferInfo.renderPass = m_hRenderPass;
    framebufferInfo.attachmentCount = 1;
    framebufferInfo.pAttachments = &m_hView;
    framebufferInfo.width = options.nWidth;
    framebufferInfo.height = options.nHeight;
    framebufferInfo.layers = 1;
    if ((result = vkCreateFramebuffer(m_hDevice, &framebufferInfo, nullptr, &m_hFramebuffer)) != VK_SUCCESS)
        return Fail(pError, "vkCreateFramebuffer", result);

    // The pipeline: positions in, one colour out, everything per draw in push constants.
    VkShaderModuleCreateInfo moduleInfo{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    VkShaderModule hVertex = VK_NULL_HANDLE, hFragment = VK_NULL_HANDLE;
    moduleInfo.codeSize = sizeof(kVertexShader);
    moduleInfo.pCode = kVertexShader;
    vkCreateShaderModule(m_hDevice, &moduleInfo, nullptr, &hVertex);
    moduleInfo.codeSize = sizeof(kFragmentShader);
    moduleInfo.pCode = kFragmentShader;
    vkCreateShaderModule(m_hDevice, &moduleInfo, nullptr, &hFragment);
    VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, sizeof(DrawConstants)};
    VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    layoutInfo.pushConstantRangeCount = 1;
    layoutInfo.pPushConstantRanges = &range;
    vkCreatePipelineLayout(m_hDevice, &layoutInfo, nullptr, &m_hPipelineLayout);
    VkPipelineShaderStageCreateInfo stages[2] = {{VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO},
                                                 {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO}};
    stages[0].stage = VK_SHADER_STAGE_VERTEX_BIT;
    stages[0].module = hVertex;
    stages[0].pName = "main";
    stages[1].stage = VK_SHADER_STAGE_FRAGMENT_BIT;
    stages[1].module = hFragment;
    stages[1].pName = "main";
    VkVertexInputBindingDescription binding{0, 2 * sizeof(float), VK_VERTEX_INPUT_RATE_VERTEX};
    VkVertexInputAttributeDescription attribute{0, 0, VK_FORMAT_R32G32_SFLOAT, 0};
    VkPipelineVertexInputStateCreateInfo vertexInput{VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    vertexInput.vertexBindingDescriptionCount = 1;
    vertexInput.pVertexBindingDescriptions = &binding;
    vertexInput.vertexAttributeDescriptionCount = 1;
    vertexInput.pVertexAttributeDescriptions = &attribute;
    VkPipelineInputAssemblyStateCreateInfo inputAssembly{VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    inputAssembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    viewport.viewportCount = 1;
    viewport.scissorCount = 1;
    VkPipelineRasterizationStateCreateInfo raster{VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    raster.polygonMode = VK_POLYGON_MODE_FILL;
    raster.cullMode = VK_CULL_MODE_NONE;
    raster.lineWidth = 1.0f;
    VkPipelineMultisampleStateCreateInfo multisample{VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    VkPipelineColorBlendAttachmentState blendAttachment{};
    blendAttachment.colorWriteMask = 0xF;
    VkPipelineColorBlendStateCreateInfo blend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    blend.attachmentCount = 1;
    blend.pAttachments = &blendAttachment;
    const VkDynamicState dynamicStates[] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR};
    VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
    dynamic.dynamicStateCount = 2;
    dynamic.pDynamicStates = dynamicStates;
    VkGraphicsPipelineCreateInfo pipelineInfo{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO};
    pipelineInfo.stageCount = 2;
    pipelineInfo.pStages = stages;
    pipelineInfo.pVertexInputState = &vertexInput;
    pipelineInfo.pInputAssemblyState = &inputAssembly;
    pipelineInfo.pViewportState = &viewport;
    pipelineInfo.pRasterizationState = &raster;
    pipelineInfo.pMultisampleState = &multisample;
    pipelineInfo.pColorBlendState = &blend;
    pipelineInfo.pDynamicState = &dynamic;
    pipelineInfo.layout = m_hPipelineLayout;
    pipelineInfo.renderPass = m_hRenderPass;
    result = vkCreateGraphicsPipelines(m_hDevice, VK_NULL_HANDLE, 1, &pipelineInfo, nullptr, &m_hPipeline);
    vkDestroyShaderModule(m_hDevice, hVertex, nullptr);
    vkDestroyShaderModule(m_hDevice, hFragment, nullptr);
    if (result != VK_SUCCESS)
        return Fail(pError, "vkCreateGraphicsPipelines", result);

    if (!CreateBuffer(sizeof(kVertices), VK_BUFFER_USAGE_VERTEX_BUFFER_BIT, "Scene Vertices", &m_hVertices, &m_hVertexMemory, kVertices) ||
        !CreateBuffer(sizeof(kIndices), VK_BUFFER_USAGE_INDEX_BUFFER_BIT, "Scene Indices", &m_hIndices, &m_hIndexMemory, kIndices) ||
        !CreateBuffer(4096, VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT, "Scene Constants", &m_hConstants,
                      &m_hConstantMemory, nullptr))
        return Fail(pError, "creating the buffers", VK_ERROR_OUT_OF_DEVICE_MEMORY);

    VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = m_nQueueFamily;
    if ((result = vkCreateCommandPool(m_hDevice, &poolInfo, nullptr, &m_hPool)) != VK_SUCCESS)
        return Fail(pError, "vkCreateCommandPool", result);
    VkCommandBufferAllocateInfo cbInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    cbInfo.commandPool = m_hPool;
    cbInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    cbInfo.commandBufferCount = 1;
    if ((result = vkAllocateCommandBuffers(m_hDevice, &cbInfo, &m_hCommandBuffer)) != VK_SUCCESS)
        return Fail(pError, "vkAllocateCommandBuffers", result);
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    if ((result = vkCreateFence(m_hDevice, &fenceInfo, nullptr, &m_hFence)) != VK_SUCCESS)
        return Fail(pError, "vkCreateFence", result);
    return true;
}

bool CVulkanScene::RenderFrame(const Content &content)
{
    if (!SubmitWithoutWaiting(content))
        return false;
    const VkResult result = vkWaitForFences(m_hDevice, 1, &m_hFence, VK_TRUE, 10ull * 1000 * 1000 * 1000);
    vkResetFences(m_hDevice, 1, &m_hFence);
    return result == VK_SUCCESS;
}

bool CVulkanScene::SubmitWithoutWaiting(const Content &content)
{
    if (!m_bRecorded || m_Options.recording != SceneRecording::Once) {
        VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        if (vkBeginCommandBuffer(m_hCommandBuffer, &begin) != VK_SUCCESS)
            return false;
        m_nSecondariesUsed = 0;
        CSceneRecorder recorder;
        recorder.m_pScene = this;
        recorder.m_hPrimary = recorder.m_hCurrent = m_hCommandBuffer;
        content(recorder);
        if (recorder.m_bInPass)
            recorder.EndPass();
        if (vkEndCommandBuffer(m_hCommandBuffer) != VK_SUCCESS)
            return false;
        m_bRecorded = true;
    }
    if (m_Options.bSubmit2) {
        VkCommandBufferSubmitInfo commands{VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO};
        commands.commandBuffer = m_hCommandBuffer;
        VkSubmitInfo2 submit2{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
        submit2.commandBufferInfoCount = 1;
        submit2.pCommandBufferInfos = &commands;
        if (vkQueueSubmit2(m_hQueue, 1, &submit2, m_hFence) != VK_SUCCESS)
            return false;
    } else {
        VkSubmitInfo submit{VK_STRUCTURE_TYPE_SUBMIT_INFO};
        submit.commandBufferCount = 1;
        submit.pCommandBuffers = &m_hCommandBuffer;
        if (vkQueueSubmit(m_hQueue, 1, &submit, m_hFence) != VK_SUCCESS)
            return false;
    }
    return true;
}

std::vector<uint32_t> CVulkanScene::ReadPixels()
{
    const VkDeviceSize nBytes = VkDeviceSize(m_Options.nWidth) * m_Options.nHeight * 4;
    std::vector<uint32_t> pixels;
    VkBuffer hBuffer = VK_NULL_HANDLE;
    VkDeviceMemory hMemory = VK_NULL_HANDLE;
    if (!CreateBuffer(nBytes, VK_BUFFER_USAGE_TRANSFER_DST_BIT, "Scene Readback", &hBuffer, &hMemory, nullptr))
        return pixels;
    VkCommandBufferAllocateInfo alloc{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    alloc.commandPool = m_hPool;
    alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    alloc.commandBufferCount = 1;
    VkCommandBuffer hCommands = VK_NULL_HANDLE;
    vkAllocateCommandBuffers(m_hDevice, &alloc, &hCommands);
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    vkBeginCommandBuffer(hCommands, &begin);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {m_Options.nWidth, m_Options.nHeight, 1};
    vkCmdCopyImageToBuffer(hCommands, m_hImage, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, hBuffer, 1, &region);
    vkEndCommandBuffer(hCommands);
    VkSubmitInfo submit{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    submit.commandBufferCount = 1;
    submit.pCommandBuffers = &hCommands;
    if (vkQueueSubmit(m_hQueue, 1, &submit, VK_NULL_HANDLE) == VK_SUCCESS && vkQueueWaitIdle(m_hQueue) == VK_SUCCESS) {
        void *pMapped = nullptr;
        vkMapMemory(m_hDevice, hMemory, 0, nBytes, 0, &pMapped);
        const auto *pWords = static_cast<const uint32_t *>(pMapped);
        pixels.assign(pWords, pWords + nBytes / 4);
        vkUnmapMemory(m_hDevice, hMemory);
    }
    vkFreeCommandBuffers(m_hDevice, m_hPool, 1, &hCommands);
    vkDestroyBuffer(m_hDevice, hBuffer, nullptr);
    vkFreeMemory(m_hDevice, hMemory, nullptr);
    return pixels;
}
