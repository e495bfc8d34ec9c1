// The layer's entry points: the loader's negotiation and the two proc-address functions are the
// only exports. Each intercepted command passes the call down the chain and tells the recorder,
// the frame collector or the resource tracker what happened.

#include "layer_device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#if defined(_WIN32)
#  define GPL_EXPORT extern "C" __declspec(dllexport)
#else
#  define GPL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr const char *kLayerName = "VK_LAYER_CORVID_gpuprofiler";

struct InstanceState
{
    VkInstance hInstance = VK_NULL_HANDLE;
    PFN_vkGetInstanceProcAddr GetInstanceProcAddr = nullptr;
    PFN_vkDestroyInstance DestroyInstance = nullptr;
    PFN_vkCreateDevice CreateDevice = nullptr;
    PFN_vkEnumerateDeviceExtensionProperties EnumerateDeviceExtensionProperties = nullptr;
    PFN_vkGetPhysicalDeviceProperties GetPhysicalDeviceProperties = nullptr;
    PFN_vkGetPhysicalDeviceFeatures GetPhysicalDeviceFeatures = nullptr;
    uint32 nApiVersion = VK_API_VERSION_1_0; // what the application asked for
    PFN_vkGetPhysicalDeviceQueueFamilyProperties GetPhysicalDeviceQueueFamilyProperties = nullptr;
};

// The maps are never destroyed: an application that exits without destroying its instance or
// devices must not have them torn down under threads that still use them.
std::mutex &s_Mutex = *new std::mutex; // the maps and the process-wide link
auto &s_Instances = *new std::unordered_map<void *, std::unique_ptr<InstanceState>>;
auto &s_Devices = *new std::unordered_map<void *, std::unique_ptr<DeviceState>>;
// One link per process, however many instances it creates; it lives from the first instance to
// the last one destroyed. An application that exits without destroying its instance leaves the
// thread to the end of the process.
CLayerLink *s_pLink = nullptr;
CResourceTracker *s_pResources = nullptr;
int s_nInstances = 0;

template <typename T> void *DispatchKey(T hHandle)
{
    return *reinterpret_cast<void **>(hHandle);
}

InstanceState *InstanceOf(void *pKey)
{
    std::lock_guard<std::mutex> lock(s_Mutex);
    const auto it = s_Instances.find(pKey);
    return it == s_Instances.end() ? nullptr : it->second.get();
}

DeviceState *DeviceOf(void *pKey)
{
    std::lock_guard<std::mutex> lock(s_Mutex);
    const auto it = s_Devices.find(pKey);
    return it == s_Devices.end() ? nullptr : it->second.get();
}

bool Recording(const DeviceState &device)
{
    return device.pLink && device.pLink->Recording();
}

std::string ProcessName()
{
    // The executable's file name; /proc/self/comm would cut it to 15 characters.
    char szPath[4096];
    const ssize_t nLength = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    if (nLength <= 0)
        return "Vulkan application";
    szPath[nLength] = 0;
    const char *pszSlash = std::strrchr(szPath, '/');
    return pszSlash ? pszSlash + 1 : szPath;
}

LayerLinkOptions LinkOptionsFromEnvironment()
{
    LayerLinkOptions options;
    const char *pszName = std::getenv("GPUPROFILER_TARGET_NAME");
    options.sName = pszName && *pszName ? pszName : ProcessName();
    if (const char *pszPort = std::getenv("GPUPROFILER_PORT")) {
        const long nPort = std::strtol(pszPort, nullptr, 10);
        if (nPort >= 0 && nPort <= 0xFFFF)
            options.nPort = uint16(nPort);
    }
    const char *pszAll = std::getenv("GPUPROFILER_LISTEN_ALL");
    options.bLoopbackOnly = !(pszAll && std::strcmp(pszAll, "1") == 0);
    return options;
}

// ---------------------------------------------------------------------------------------------
// Instance

VKAPI_ATTR VkResult VKAPI_CALL CreateInstance(const VkInstanceCreateInfo *pCreateInfo, const VkAllocationCallbacks *pAllocator,
                                              VkInstance *pInstance)
{
    auto *pChain = static_cast<VkLayerInstanceCreateInfo *>(const_cast<void *>(pCreateInfo->pNext));
    while (pChain && !(pChain->sType == VK_STRUCTURE_TYPE_LOADER_INSTANCE_CREATE_INFO && pChain->function == VK_LAYER_LINK_INFO))
        pChain = static_cast<VkLayerInstanceCreateInfo *>(const_cast<void *>(pChain->pNext));
    if (!pChain || !pChain->u.pLayerInfo)
        return VK_ERROR_INITIALIZATION_FAILED;
    PFN_vkGetInstanceProcAddr pfnNext = pChain->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    pChain->u.pLayerInfo = pChain->u.pLayerInfo->pNext;
    auto pfnCreate = reinterpret_cast<PFN_vkCreateInstance>(pfnNext(VK_NULL_HANDLE, "vkCreateInstance"));
    if (!pfnCreate)
        return VK_ERROR_INITIALIZATION_FAILED;
    const VkResult result = pfnCreate(pCreateInfo, pAllocator, pInstance);
    if (result != VK_SUCCESS)
        return result;

    auto pState = std::make_unique<InstanceState>();
    pState->hInstance = *pInstance;
    pState->GetInstanceProcAddr = pfnNext;
#define GPL_LOAD_INSTANCE(name) pState->name = reinterpret_cast<PFN_vk##name>(pfnNext(*pInstance, "vk" #name));
    GPL_LOAD_INSTANCE(DestroyInstance)
    GPL_LOAD_INSTANCE(CreateDevice)
    GPL_LOAD_INSTANCE(EnumerateDeviceExtensionProperties)
    GPL_LOAD_INSTANCE(GetPhysicalDeviceProperties)
    GPL_LOAD_INSTANCE(GetPhysicalDeviceFeatures)
    GPL_LOAD_INSTANCE(GetPhysicalDeviceQueueFamilyProperties)
#undef GPL_LOAD_INSTANCE
    if (pCreateInfo->pApplicationInfo && pCreateInfo->pApplicationInfo->apiVersion)
        pState->nApiVersion = pCreateInfo->pApplicationInfo->apiVersion;

    std::lock_guard<std::mutex> lock(s_Mutex);
    s_Instances[DispatchKey(*pInstance)] = std::move(pState);
    if (s_nInstances++ == 0) {
        s_pResources = new CResourceTracker;
        CResourceTracker *pResources = s_pResources;
        s_pLink = new CLayerLink(LinkOptionsFromEnvironment(), [pResources](bool bTextures) {
            return bTextures ? pResources->EncodeTextures() : pResources->EncodeBuffers();
        });
    }
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL DestroyInstance(VkInstance hInstance, const VkAllocationCallbacks *pAllocator)
{
    if (!hInstance)
        return;
    std::unique_ptr<InstanceState> pState;
    CLayerLink *pLink = nullptr;
    CResourceTracker *pResources = nullptr;
    {
        std::lock_guard<std::mutex> lock(s_Mutex);
        const auto it = s_Instances.find(DispatchKey(hInstance));
        if (it == s_Instances.end())
            return;
        pState = std::move(it->second);
        s_Instances.erase(it);
        if (--s_nInstances == 0) {
            pLink = s_pLink;
            pResources = s_pResources;
            s_pLink = nullptr;
            s_pResources = nullptr;
        }
    }
    delete pLink; // joins the sender thread
    delete pResources;
    pState->DestroyInstance(hInstance, pAllocator);
}

VKAPI_ATTR VkResult VKAPI_CALL EnumerateDeviceExtensionProperties(VkPhysicalDevice hPhysicalDevice, const char *pszLayerName,
                                                                  uint32_t *pnCount, VkExtensionProperties *pProperties)
{
    if (pszLayerName && std::strcmp(pszLayerName, kLayerName) == 0) {
        *pnCount = 0; // the layer adds no extensions
        return VK_SUCCESS;
    }
    InstanceState *pInstance = InstanceOf(DispatchKey(hPhysicalDevice));
    if (!pInstance)
        return VK_ERROR_INITIALIZATION_FAILED;
    return pInstance->EnumerateDeviceExtensionProperties(hPhysicalDevice, pszLayerName, pnCount, pProperties);
}

template <typename T> T *FindInChain(const void *pNext, VkStructureType type)
{
    for (auto *p = static_cast<const VkBaseInStructure *>(pNext); p; p = p->pNext) {
        if (p->sType == type)
            return reinterpret_cast<T *>(const_cast<VkBaseInStructure *>(p));
    }
    return nullptr;
}

bool HasExtension(InstanceState &instance, VkPhysicalDevice hPhysicalDevice, const char *pszName)
{
    uint32_t nCount = 0;
    instance.EnumerateDeviceExtensionProperties(hPhysicalDevice, nullptr, &nCount, nullptr);
    std::vector<VkExtensionProperties> extensions(nCount);
    instance.EnumerateDeviceExtensionProperties(hPhysicalDevice, nullptr, &nCount, extensions.data());
    for (const VkExtensionProperties &extension : extensions) {
        if (std::strcmp(extension.extensionName, pszName) == 0)
            return true;
    }
    return false;
}

void LoadDeviceFunctions(DeviceState &device, PFN_vkGetDeviceProcAddr pfnNext)
{
    // Extension commands may only exist under their suffixed names.
    auto load = [&](const char *pszName) -> PFN_vkVoidFunction {
        std::string sName = std::string("vk") + pszName;
        for (const char *pszSuffix : {"", "KHR", "EXT"}) {
            if (PFN_vkVoidFunction pfn = pfnNext(device.hDevice, (sName + pszSuffix).c_str()))
                return pfn;
        }
        return nullptr;
    };
#define GPL_LOAD(name) device.next.name = reinterpret_cast<PFN_vk##name>(load(#name));
    GPL_DEVICE_FUNCTIONS(GPL_LOAD)
#undef GPL_LOAD
    device.next.GetDeviceProcAddr = pfnNext;
}

VKAPI_ATTR VkResult VKAPI_CALL CreateDevice(VkPhysicalDevice hPhysicalDevice, const VkDeviceCreateInfo *pCreateInfo,
                                            const VkAllocationCallbacks *pAllocator, VkDevice *pDevice)
{
    InstanceState *pInstance = InstanceOf(DispatchKey(hPhysicalDevice));
    auto *pChain = static_cast<VkLayerDeviceCreateInfo *>(const_cast<void *>(pCreateInfo->pNext));
    while (pChain && !(pChain->sType == VK_STRUCTURE_TYPE_LOADER_DEVICE_CREATE_INFO && pChain->function == VK_LAYER_LINK_INFO))
        pChain = static_cast<VkLayerDeviceCreateInfo *>(const_cast<void *>(pChain->pNext));
    if (!pInstance || !pChain || !pChain->u.pLayerInfo)
        return VK_ERROR_INITIALIZATION_FAILED;
    PFN_vkGetInstanceProcAddr pfnNextInstance = pChain->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    PFN_vkGetDeviceProcAddr pfnNextDevice = pChain->u.pLayerInfo->pfnNextGetDeviceProcAddr;
    pChain->u.pLayerInfo = pChain->u.pLayerInfo->pNext;
    PFN_vkSetDeviceLoaderData pfnSetLoaderData = nullptr;
    for (auto *p = static_cast<const VkLayerDeviceCreateInfo *>(pCreateInfo->pNext); p;
         p = static_cast<const VkLayerDeviceCreateInfo *>(p->pNext)) {
        if (p->sType == VK_STRUCTURE_TYPE_LOADER_DEVICE_CREATE_INFO && p->function == VK_LOADER_DATA_CALLBACK)
            pfnSetLoaderData = p->u.pfnSetDeviceLoaderData;
    }
    auto pfnCreate = reinterpret_cast<PFN_vkCreateDevice>(pfnNextInstance(pInstance->hInstance, "vkCreateDevice"));
    if (!pfnCreate)
        return VK_ERROR_INITIALIZATION_FAILED;

    // The layer needs pipeline statistics queries and query resets from the host; it turns both
    // on where the device has them, and leaves the application's own choices as they were.
    // Host resets are core from Vulkan 1.2 (the version the application and the device agree on)
    // and required there; before, a device that has the extension has the feature.
    VkPhysicalDeviceFeatures supported{};
    pInstance->GetPhysicalDeviceFeatures(hPhysicalDevice, &supported);
    VkPhysicalDeviceProperties properties{};
    pInstance->GetPhysicalDeviceProperties(hPhysicalDevice, &properties);
    const bool bCore12 = std::min(pInstance->nApiVersion, properties.apiVersion) >= VK_API_VERSION_1_2;
    const bool bHostReset = bCore12 || HasExtension(*pInstance, hPhysicalDevice, VK_EXT_HOST_QUERY_RESET_EXTENSION_NAME);

    VkDeviceCreateInfo info = *pCreateInfo;
    VkPhysicalDeviceFeatures features{};
    auto *pFeatures2 = FindInChain<VkPhysicalDeviceFeatures2>(info.pNext, VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2);
    auto *pVulkan12 = FindInChain<VkPhysicalDeviceVulkan12Features>(info.pNext, VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES);
    auto *pAppHostReset =
        FindInChain<VkPhysicalDeviceHostQueryResetFeatures>(info.pNext, VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_HOST_QUERY_RESET_FEATURES);
    VkBool32 *pStatsFlag = nullptr;
    if (info.pEnabledFeatures) {
        features = *info.pEnabledFeatures;
        info.pEnabledFeatures = &features;
        pStatsFlag = &features.pipelineStatisticsQuery;
    } else if (pFeatures2) {
        pStatsFlag = &pFeatures2->features.pipelineStatisticsQuery;
    } else {
        info.pEnabledFeatures = &features;
        pStatsFlag = &features.pipelineStatisticsQuery;
    }
    const VkBool32 bAppStats = *pStatsFlag;
    if (supported.pipelineStatisticsQuery)
        *pStatsFlag = VK_TRUE;
    VkBool32 *pHostResetFlag = nullptr;
    VkBool32 bAppHostReset = VK_FALSE;
    VkPhysicalDeviceHostQueryResetFeatures ourHostReset{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_HOST_QUERY_RESET_FEATURES};
    std::vector<const char *> extensions(info.ppEnabledExtensionNames, info.ppEnabledExtensionNames + info.enabledExtensionCount);
    if (bHostReset) {
        if (pVulkan12)
            pHostResetFlag = &pVulkan12->hostQueryReset;
        else if (pAppHostReset)
            pHostResetFlag = &pAppHostReset->hostQueryReset;
        else {
            ourHostReset.pNext = const_cast<void *>(info.pNext);
            ourHostReset.hostQueryReset = VK_TRUE;
            info.pNext = &ourHostReset;
        }
        if (pHostResetFlag) {
            bAppHostReset = *pHostResetFlag;
            *pHostResetFlag = VK_TRUE;
        }
        bool bListed = false;
        for (const char *pszExtension : extensions)
            bListed = bListed || std::strcmp(pszExtension, VK_EXT_HOST_QUERY_RESET_EXTENSION_NAME) == 0;
        if (!bListed && !bCore12)
            extensions.push_back(VK_EXT_HOST_QUERY_RESET_EXTENSION_NAME);
        info.enabledExtensionCount = uint32(extensions.size());
        info.ppEnabledExtensionNames = extensions.data();
    }
    const VkResult result = pfnCreate(hPhysicalDevice, &info, pAllocator, pDevice);
    // The application's structures are its own again.
    if (pFeatures2 && pStatsFlag == &pFeatures2->features.pipelineStatisticsQuery)
        *pStatsFlag = bAppStats;
    if (pHostResetFlag)
        *pHostResetFlag = bAppHostReset;
    if (result != VK_SUCCESS)
        return result;

    auto pState = std::make_unique<DeviceState>();
    pState->hDevice = *pDevice;
    pState->hPhysicalDevice = hPhysicalDevice;
    pState->pfnSetDeviceLoaderData = pfnSetLoaderData;
    LoadDeviceFunctions(*pState, pfnNextDevice);
    // Below Vulkan 1.2 the reset is the extension's command; the core name is not the
    // application's to call.
    pState->next.ResetQueryPool =
        reinterpret_cast<PFN_vkResetQueryPool>(pfnNextDevice(*pDevice, bCore12 ? "vkResetQueryPool" : "vkResetQueryPoolEXT"));
    pState->flTimestampPeriodNs = properties.limits.timestampPeriod;
    pState->bStatsQueries = supported.pipelineStatisticsQuery == VK_TRUE;
    pState->bHostQueryReset = bHostReset && pState->next.ResetQueryPool;
    const char *pszAlways = std::getenv("GPUPROFILER_INSTRUMENT_ALWAYS");
    pState->bInstrumentAlways = pszAlways && std::strcmp(pszAlways, "1") == 0;
    uint32_t nFamilies = 0;
    pInstance->GetPhysicalDeviceQueueFamilyProperties(hPhysicalDevice, &nFamilies, nullptr);
    pState->queueFamilies.resize(nFamilies);
    pInstance->GetPhysicalDeviceQueueFamilyProperties(hPhysicalDevice, &nFamilies, pState->queueFamilies.data());
    std::lock_guard<std::mutex> lock(s_Mutex);
    pState->pLink = s_pLink;
    pState->pResources = s_pResources;
    s_Devices[DispatchKey(*pDevice)] = std::move(pState);
    return VK_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Device

VKAPI_ATTR void VKAPI_CALL DestroyDevice(VkDevice hDevice, const VkAllocationCallbacks *pAllocator)
{
    if (!hDevice)
        return;
    std::unique_ptr<DeviceState> pState;
    {
        std::lock_guard<std::mutex> lock(s_Mutex);
        const auto it = s_Devices.find(DispatchKey(hDevice));
        if (it == s_Devices.end())
            return;
        pState = std::move(it->second);
        s_Devices.erase(it);
    }
    {
        std::lock_guard<std::mutex> lock(pState->frameMutex);
        DropAllFrames(*pState);
        DestroyWrappers(*pState);
    }
    ForgetCommandBuffers(pState.get(), VK_NULL_HANDLE); // their query pools go with them
    pState->next.DestroyDevice(hDevice, pAllocator);
}

VKAPI_ATTR void VKAPI_CALL GetDeviceQueue(VkDevice hDevice, uint32_t nFamily, uint32_t nIndex, VkQueue *pQueue)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    pDevice->next.GetDeviceQueue(hDevice, nFamily, nIndex, pQueue);
    std::lock_guard<std::mutex> lock(pDevice->stateMutex);
    pDevice->queueFamilyOf[*pQueue] = nFamily;
}

VKAPI_ATTR void VKAPI_CALL GetDeviceQueue2(VkDevice hDevice, const VkDeviceQueueInfo2 *pInfo, VkQueue *pQueue)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    pDevice->next.GetDeviceQueue2(hDevice, pInfo, pQueue);
    std::lock_guard<std::mutex> lock(pDevice->stateMutex);
    pDevice->queueFamilyOf[*pQueue] = pInfo->queueFamilyIndex;
}

VKAPI_ATTR VkResult VKAPI_CALL QueueSubmit(VkQueue hQueue, uint32_t nSubmits, const VkSubmitInfo *pSubmits, VkFence hFence)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hQueue));
    // Nothing recorded and nothing measured: the call passes straight through.
    if (!Recording(*pDevice) && !pDevice->bEverInstrumented)
        return pDevice->next.QueueSubmit(hQueue, nSubmits, pSubmits, hFence);
    return SubmitAndTrack(*pDevice, hQueue, nSubmits, pSubmits, hFence);
}

VKAPI_ATTR VkResult VKAPI_CALL QueueSubmit2(VkQueue hQueue, uint32_t nSubmits, const VkSubmitInfo2 *pSubmits, VkFence hFence)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hQueue));
    if (!Recording(*pDevice) && !pDevice->bEverInstrumented)
        return pDevice->next.QueueSubmit2(hQueue, nSubmits, pSubmits, hFence);
    return SubmitAndTrack(*pDevice, hQueue, nSubmits, pSubmits, hFence);
}

VKAPI_ATTR VkResult VKAPI_CALL QueuePresentKHR(VkQueue hQueue, const VkPresentInfoKHR *pInfo)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hQueue));
    const VkResult result = pDevice->next.QueuePresentKHR(hQueue, pInfo);
    OnPresent(*pDevice, *pInfo);
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL CreateSwapchainKHR(VkDevice hDevice, const VkSwapchainCreateInfoKHR *pInfo,
                                                  const VkAllocationCallbacks *pAllocator, VkSwapchainKHR *pSwapchain)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    const VkResult result = pDevice->next.CreateSwapchainKHR(hDevice, pInfo, pAllocator, pSwapchain);
    if (result == VK_SUCCESS) {
        std::lock_guard<std::mutex> lock(pDevice->stateMutex);
        pDevice->swapChainNumbers[uint64(*pSwapchain)] = pDevice->nNextSwapChain++;
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroySwapchainKHR(VkDevice hDevice, VkSwapchainKHR hSwapchain, const VkAllocationCallbacks *pAllocator)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    {
        std::lock_guard<std::mutex> lock(pDevice->stateMutex);
        pDevice->swapChainNumbers.erase(uint64(hSwapchain));
    }
    if (pDevice->pResources)
        pDevice->pResources->ForgetName(uint64(hSwapchain));
    pDevice->next.DestroySwapchainKHR(hDevice, hSwapchain, pAllocator);
}

VKAPI_ATTR VkResult VKAPI_CALL CreateCommandPool(VkDevice hDevice, const VkCommandPoolCreateInfo *pInfo,
                                                 const VkAllocationCallbacks *pAllocator, VkCommandPool *pPool)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    const VkResult result = pDevice->next.CreateCommandPool(hDevice, pInfo, pAllocator, pPool);
    if (result == VK_SUCCESS) {
        std::lock_guard<std::mutex> lock(pDevice->stateMutex);
        pDevice->poolFamilyOf[*pPool] = pInfo->queueFamilyIndex;
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroyCommandPool(VkDevice hDevice, VkCommandPool hPool, const VkAllocationCallbacks *pAllocator)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    if (hPool) {
        ForgetCommandBuffers(pDevice, hPool);
        std::lock_guard<std::mutex> lock(pDevice->stateMutex);
        pDevice->poolFamilyOf.erase(hPool);
    }
    pDevice->next.DestroyCommandPool(hDevice, hPool, pAllocator);
}

VKAPI_ATTR VkResult VKAPI_CALL AllocateCommandBuffers(VkDevice hDevice, const VkCommandBufferAllocateInfo *pInfo,
                                                      VkCommandBuffer *pCommandBuffers)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    const VkResult result = pDevice->next.AllocateCommandBuffers(hDevice, pInfo, pCommandBuffers);
    if (result != VK_SUCCESS)
        return result;
    uint32 nFamily = 0;
    uint32 nFirstSerial = 0;
    {
        std::lock_guard<std::mutex> lock(pDevice->stateMutex);
        const auto it = pDevice->poolFamilyOf.find(pInfo->commandPool);
        nFamily = it == pDevice->poolFamilyOf.end() ? 0 : it->second;
        nFirstSerial = pDevice->nNextCommandBuffer;
        pDevice->nNextCommandBuffer += pInfo->commandBufferCount;
    }
    for (uint32 i = 0; i < pInfo->commandBufferCount; ++i) {
        auto pState = std::make_shared<CommandBufferState>();
        pState->pDevice = pDevice;
        pState->hHandle = pCommandBuffers[i];
        pState->hPool = pInfo->commandPool;
        pState->nSerial = nFirstSerial + i;
        pState->nQueueFamily = nFamily;
        pState->bSecondary = pInfo->level == VK_COMMAND_BUFFER_LEVEL_SECONDARY;
        RegisterCommandBuffer(pCommandBuffers[i], std::move(pState));
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL FreeCommandBuffers(VkDevice hDevice, VkCommandPool hPool, uint32_t nCount,
                                              const VkCommandBuffer *pCommandBuffers)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    for (uint32 i = 0; i < nCount; ++i) {
        if (pCommandBuffers[i])
            ForgetCommandBuffer(pCommandBuffers[i]);
    }
    pDevice->next.FreeCommandBuffers(hDevice, hPool, nCount, pCommandBuffers);
}

VKAPI_ATTR VkResult VKAPI_CALL BeginCommandBuffer(VkCommandBuffer hCommandBuffer, const VkCommandBufferBeginInfo *pInfo)
{
    std::shared_ptr<CommandBufferState> pState = ShareCommandBuffer(hCommandBuffer);
    DeviceState &device = *pState->pDevice;
    const VkResult result = device.next.BeginCommandBuffer(hCommandBuffer, pInfo);
    if (result != VK_SUCCESS)
        return result;
    {
        // A frame still waiting for the last recording's results keeps that recording; the new
        // one gets a state (and queries) of its own.
        std::lock_guard<std::mutex> lock(device.frameMutex);
        if (pState->pPendingFrame) {
            auto pFresh = std::make_shared<CommandBufferState>();
            pFresh->pDevice = pState->pDevice;
            pFresh->hHandle = pState->hHandle;
            pFresh->hPool = pState->hPool;
            pFresh->nSerial = pState->nSerial;
            pFresh->nQueueFamily = pState->nQueueFamily;
            pFresh->bSecondary = pState->bSecondary;
            RegisterCommandBuffer(hCommandBuffer, pFresh);
            pState = std::move(pFresh);
        }
    }
    pState->usage = pInfo->flags;
    BeginRecording(*pState, Recording(device) || device.bInstrumentAlways);
    if (pState->bSecondary && (pInfo->flags & VK_COMMAND_BUFFER_USAGE_RENDER_PASS_CONTINUE_BIT)) {
        pState->bInRenderPass = true;
        pState->nRenderPasses = 1;
    }
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL EndCommandBuffer(VkCommandBuffer hCommandBuffer)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    CloseSample(*pState); // labels left open end with the recording
    return pState->pDevice->next.EndCommandBuffer(hCommandBuffer);
}

// Commands that start or end a render pass, a subpass or a rendering close the open sample
// first: a pipeline-statistics query may not span them.
#define GPL_BOUNDARY(name, params, args, before, after)                                                                                    \
  VKAPI_ATTR void VKAPI_CALL name params                                                                                                   \
  {                                                                                                                                        \
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);                                                                        \
    CloseSample(*pState);                                                                                                                  \
    before;                                                                                                                                \
    pState->pDevice->next.name args;                                                                                                       \
    after;                                                                                                                                 \
  }

GPL_BOUNDARY(CmdBeginRenderPass, (VkCommandBuffer hCommandBuffer, const VkRenderPassBeginInfo *pInfo, VkSubpassContents contents),
             (hCommandBuffer, pInfo, contents), (pState->bInRenderPass = true, ++pState->nRenderPasses), (void)0)
GPL_BOUNDARY(CmdBeginRenderPass2, (VkCommandBuffer hCommandBuffer, const VkRenderPassBeginInfo *pInfo, const VkSubpassBeginInfo *pSubpass),
             (hCommandBuffer, pInfo, pSubpass), (pState->bInRenderPass = true, ++pState->nRenderPasses), (void)0)
GPL_BOUNDARY(CmdBeginRendering, (VkCommandBuffer hCommandBuffer, const VkRenderingInfo *pInfo), (hCommandBuffer, pInfo),
             (pState->bInRenderPass = true, ++pState->nRenderPasses), (void)0)
GPL_BOUNDARY(CmdNextSubpass, (VkCommandBuffer hCommandBuffer, VkSubpassContents contents), (hCommandBuffer, contents), (void)0, (void)0)
GPL_BOUNDARY(CmdNextSubpass2, (VkCommandBuffer hCommandBuffer, const VkSubpassBeginInfo *pBegin, const VkSubpassEndInfo *pEnd),
             (hCommandBuffer, pBegin, pEnd), (void)0, (void)0)
GPL_BOUNDARY(CmdEndRenderPass, (VkCommandBuffer hCommandBuffer), (hCommandBuffer), (void)0, pState->bInRenderPass = false)
GPL_BOUNDARY(CmdEndRenderPass2, (VkCommandBuffer hCommandBuffer, const VkSubpassEndInfo *pEnd), (hCommandBuffer, pEnd), (void)0,
             pState->bInRenderPass = false)
GPL_BOUNDARY(CmdEndRendering, (VkCommandBuffer hCommandBuffer), (hCommandBuffer), (void)0, pState->bInRenderPass = false)

VKAPI_ATTR void VKAPI_CALL CmdExecuteCommands(VkCommandBuffer hCommandBuffer, uint32_t nCount, const VkCommandBuffer *pCommandBuffers)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    CloseSample(*pState);
    for (uint32 i = 0; i < nCount; ++i) {
        std::shared_ptr<CommandBufferState> pSecondary = ShareCommandBuffer(pCommandBuffers[i]);
        if (!pSecondary)
            continue;
        pState->total.Add(pSecondary->total);
        if (pState->bInstrumented && pState->samples.size() < MaxFrameSamples()) {
            RecordedSample &marker = pState->samples.emplace_back();
            marker.pSecondary = std::move(pSecondary);
            marker.outerLabels = pState->labels;
        }
    }
    pState->pDevice->next.CmdExecuteCommands(hCommandBuffer, nCount, pCommandBuffers);
}

VKAPI_ATTR void VKAPI_CALL CmdBindPipeline(VkCommandBuffer hCommandBuffer, VkPipelineBindPoint bindPoint, VkPipeline hPipeline)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    if (bindPoint == VK_PIPELINE_BIND_POINT_GRAPHICS) {
        DeviceState &device = *pState->pDevice;
        std::lock_guard<std::mutex> lock(device.stateMutex);
        const auto it = device.pipelines.find(uint64(hPipeline));
        if (it != device.pipelines.end()) {
            pState->topology = it->second.topology;
            pState->nPatchPoints = it->second.nPatchPoints;
        }
    }
    pState->pDevice->next.CmdBindPipeline(hCommandBuffer, bindPoint, hPipeline);
}

VKAPI_ATTR void VKAPI_CALL CmdSetPrimitiveTopology(VkCommandBuffer hCommandBuffer, VkPrimitiveTopology topology)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    pState->topology = topology;
    pState->pDevice->next.CmdSetPrimitiveTopology(hCommandBuffer, topology);
}

// GPU work: a sample of its own without labels, part of the label's sample with them.
#define GPL_WORK(name, params, args, ...)                                                                                                  \
  VKAPI_ATTR void VKAPI_CALL name params                                                                                                   \
  {                                                                                                                                        \
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);                                                                        \
    BeginWork(*pState, "vk" #name);                                                                                                        \
    SampleCounters &counters = pState->Counters();                                                                                         \
    __VA_ARGS__;                                                                                                                           \
    pState->pDevice->next.name args;                                                                                                       \
    EndWork(*pState);                                                                                                                      \
  }

uint64 CopyBytes(VkFormat format, const VkExtent3D &extent, uint32 nLayers)
{
    bool bBlock = false;
    const uint64 nBytes = FormatBytes(format, &bBlock);
    const uint64 nWidth = bBlock ? (uint64(extent.width) + 3) / 4 : extent.width;
    const uint64 nHeight = bBlock ? (uint64(extent.height) + 3) / 4 : extent.height;
    return nBytes * nWidth * nHeight * std::max(1u, extent.depth) * std::max(1u, nLayers);
}

UploadTarget BufferTarget(CommandBufferState *pState, VkBuffer hBuffer)
{
    return pState->pDevice->pResources ? pState->pDevice->pResources->BufferTarget(hBuffer) : UploadTarget::None;
}

UploadTarget ImageTarget(CommandBufferState *pState, VkImage hImage, VkFormat *pFormat)
{
    *pFormat = VK_FORMAT_UNDEFINED;
    return pState->pDevice->pResources ? pState->pDevice->pResources->ImageTarget(hImage, pFormat) : UploadTarget::Texture;
}

GPL_WORK(CmdDraw, (VkCommandBuffer hCommandBuffer, uint32_t nVertices, uint32_t nInstances, uint32_t nFirstVertex, uint32_t nFirstInstance),
         (hCommandBuffer, nVertices, nInstances, nFirstVertex, nFirstInstance),
         counters.AddDraw(nVertices, nInstances, pState->topology, pState->nPatchPoints))
GPL_WORK(CmdDrawIndexed,
         (VkCommandBuffer hCommandBuffer, uint32_t nIndices, uint32_t nInstances, uint32_t nFirstIndex, int32_t nVertexOffset,
          uint32_t nFirstInstance),
         (hCommandBuffer, nIndices, nInstances, nFirstIndex, nVertexOffset, nFirstInstance),
         counters.AddDraw(nIndices, nInstances, pState->topology, pState->nPatchPoints))
GPL_WORK(CmdDrawIndirect, (VkCommandBuffer hCommandBuffer, VkBuffer hBuffer, VkDeviceSize nOffset, uint32_t nDraws, uint32_t nStride),
         (hCommandBuffer, hBuffer, nOffset, nDraws, nStride), counters.AddIndirectDraws(nDraws))
GPL_WORK(CmdDrawIndexedIndirect,
         (VkCommandBuffer hCommandBuffer, VkBuffer hBuffer, VkDeviceSize nOffset, uint32_t nDraws, uint32_t nStride),
         (hCommandBuffer, hBuffer, nOffset, nDraws, nStride), counters.AddIndirectDraws(nDraws))
// The number of draws is on the GPU: each call counts as one.
GPL_WORK(CmdDrawIndirectCount,
         (VkCommandBuffer hCommandBuffer, VkBuffer hBuffer, VkDeviceSize nOffset, VkBuffer hCount, VkDeviceSize nCountOffset,
          uint32_t nMaxDraws, uint32_t nStride),
         (hCommandBuffer, hBuffer, nOffset, hCount, nCountOffset, nMaxDraws, nStride), counters.AddIndirectDraws(1))
GPL_WORK(CmdDrawIndexedIndirectCount,
         (VkCommandBuffer hCommandBuffer, VkBuffer hBuffer, VkDeviceSize nOffset, VkBuffer hCount, VkDeviceSize nCountOffset,
          uint32_t nMaxDraws, uint32_t nStride),
         (hCommandBuffer, hBuffer, nOffset, hCount, nCountOffset, nMaxDraws, nStride), counters.AddIndirectDraws(1))
GPL_WORK(CmdDispatch, (VkCommandBuffer hCommandBuffer, uint32_t x, uint32_t y, uint32_t z), (hCommandBuffer, x, y, z), (void)counters)
GPL_WORK(CmdDispatchIndirect, (VkCommandBuffer hCommandBuffer, VkBuffer hBuffer, VkDeviceSize nOffset), (hCommandBuffer, hBuffer, nOffset),
         (void)counters)
GPL_WORK(CmdClearColorImage,
         (VkCommandBuffer hCommandBuffer, VkImage hImage, VkImageLayout layout, const VkClearColorValue *pColor, uint32_t nRanges,
          const VkImageSubresourceRange *pRanges),
         (hCommandBuffer, hImage, layout, pColor, nRanges, pRanges), ++counters.clears)
GPL_WORK(CmdClearDepthStencilImage,
         (VkCommandBuffer hCommandBuffer, VkImage hImage, VkImageLayout layout, const VkClearDepthStencilValue *pValue, uint32_t nRanges,
          const VkImageSubresourceRange *pRanges),
         (hCommandBuffer, hImage, layout, pValue, nRanges, pRanges), ++counters.clears)
GPL_WORK(CmdClearAttachments,
         (VkCommandBuffer hCommandBuffer, uint32_t nAttachments, const VkClearAttachment *pAttachments, uint32_t nRects,
          const VkClearRect *pRects),
         (hCommandBuffer, nAttachments, pAttachments, nRects, pRects), counters.clears += nAttachments)
GPL_WORK(CmdResolveImage,
         (VkCommandBuffer hCommandBuffer, VkImage hSource, VkImageLayout sourceLayout, VkImage hDest, VkImageLayout destLayout,
          uint32_t nRegions, const VkImageResolve *pRegions),
         (hCommandBuffer, hSource, sourceLayout, hDest, destLayout, nRegions, pRegions), ++counters.resolves)
GPL_WORK(CmdCopyBuffer, (VkCommandBuffer hCommandBuffer, VkBuffer hSource, VkBuffer hDest, uint32_t nRegions, const VkBufferCopy *pRegions),
         (hCommandBuffer, hSource, hDest, nRegions, pRegions), {
             uint64 nBytes = 0;
             for (uint32 i = 0; i < nRegions; ++i)
                 nBytes += pRegions[i].size;
             counters.AddUpdate(BufferTarget(pState, hDest), nBytes);
         })
GPL_WORK(CmdUpdateBuffer, (VkCommandBuffer hCommandBuffer, VkBuffer hDest, VkDeviceSize nOffset, VkDeviceSize nSize, const void *pData),
         (hCommandBuffer, hDest, nOffset, nSize, pData), counters.AddUpdate(BufferTarget(pState, hDest), nSize))
GPL_WORK(CmdFillBuffer, (VkCommandBuffer hCommandBuffer, VkBuffer hDest, VkDeviceSize nOffset, VkDeviceSize nSize, uint32_t nData),
         (hCommandBuffer, hDest, nOffset, nSize, nData),
         counters.AddUpdate(BufferTarget(pState, hDest), nSize == VK_WHOLE_SIZE ? 0 : nSize))
GPL_WORK(CmdCopyBufferToImage,
         (VkCommandBuffer hCommandBuffer, VkBuffer hSource, VkImage hDest, VkImageLayout layout, uint32_t nRegions,
          const VkBufferImageCopy *pRegions),
         (hCommandBuffer, hSource, hDest, layout, nRegions, pRegions), {
             VkFormat format;
             const UploadTarget target = ImageTarget(pState, hDest, &format);
             uint64 nBytes = 0;
             for (uint32 i = 0; i < nRegions; ++i)
                 nBytes += CopyBytes(format, pRegions[i].imageExtent, pRegions[i].imageSubresource.layerCount);
             counters.AddUpdate(target, nBytes);
         })
GPL_WORK(CmdCopyImage,
         (VkCommandBuffer hCommandBuffer, VkImage hSource, VkImageLayout sourceLayout, VkImage hDest, VkImageLayout destLayout,
          uint32_t nRegions, const VkImageCopy *pRegions),
         (hCommandBuffer, hSource, sourceLayout, hDest, destLayout, nRegions, pRegions), {
             VkFormat format;
             const UploadTarget target = ImageTarget(pState, hDest, &format);
             uint64 nBytes = 0;
             for (uint32 i = 0; i < nRegions; ++i)
                 nBytes += CopyBytes(format, pRegions[i].extent, pRegions[i].dstSubresource.layerCount);
             counters.AddUpdate(target, nBytes);
         })
GPL_WORK(CmdBlitImage,
         (VkCommandBuffer hCommandBuffer, VkImage hSource, VkImageLayout sourceLayout, VkImage hDest, VkImageLayout destLayout,
          uint32_t nRegions, const VkImageBlit *pRegions, VkFilter filter),
         (hCommandBuffer, hSource, sourceLayout, hDest, destLayout, nRegions, pRegions, filter), {
             VkFormat format;
             const UploadTarget target = ImageTarget(pState, hDest, &format);
             uint64 nBytes = 0;
             for (uint32 i = 0; i < nRegions; ++i) {
                 const VkOffset3D &a = pRegions[i].dstOffsets[0], &b = pRegions[i].dstOffsets[1];
                 const VkExtent3D extent{uint32(std::abs(b.x - a.x)), uint32(std::abs(b.y - a.y)), uint32(std::abs(b.z - a.z))};
                 nBytes += CopyBytes(format, extent, pRegions[i].dstSubresource.layerCount);
             }
             counters.AddUpdate(target, nBytes);
         })
GPL_WORK(CmdCopyImageToBuffer,
         (VkCommandBuffer hCommandBuffer, VkImage hSource, VkImageLayout layout, VkBuffer hDest, uint32_t nRegions,
          const VkBufferImageCopy *pRegions),
         (hCommandBuffer, hSource, layout, hDest, nRegions, pRegions), {
             VkFormat format;
             ImageTarget(pState, hSource, &format);
             uint64 nBytes = 0;
             for (uint32 i = 0; i < nRegions; ++i)
                 nBytes += CopyBytes(format, pRegions[i].imageExtent, pRegions[i].imageSubresource.layerCount);
             counters.AddUpdate(BufferTarget(pState, hDest), nBytes);
         })

VKAPI_ATTR void VKAPI_CALL CmdBeginDebugUtilsLabelEXT(VkCommandBuffer hCommandBuffer, const VkDebugUtilsLabelEXT *pLabel)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    PushLabel(*pState, pLabel ? pLabel->pLabelName : nullptr);
    pState->pDevice->next.CmdBeginDebugUtilsLabelEXT(hCommandBuffer, pLabel);
}

VKAPI_ATTR void VKAPI_CALL CmdEndDebugUtilsLabelEXT(VkCommandBuffer hCommandBuffer)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    if (PopLabel(*pState))
        pState->pDevice->next.CmdEndDebugUtilsLabelEXT(hCommandBuffer);
}

VKAPI_ATTR void VKAPI_CALL CmdDebugMarkerBeginEXT(VkCommandBuffer hCommandBuffer, const VkDebugMarkerMarkerInfoEXT *pMarker)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    PushLabel(*pState, pMarker ? pMarker->pMarkerName : nullptr);
    pState->pDevice->next.CmdDebugMarkerBeginEXT(hCommandBuffer, pMarker);
}

VKAPI_ATTR void VKAPI_CALL CmdDebugMarkerEndEXT(VkCommandBuffer hCommandBuffer)
{
    CommandBufferState *pState = FindCommandBuffer(hCommandBuffer);
    if (PopLabel(*pState))
        pState->pDevice->next.CmdDebugMarkerEndEXT(hCommandBuffer);
}

VKAPI_ATTR VkResult VKAPI_CALL SetDebugUtilsObjectNameEXT(VkDevice hDevice, const VkDebugUtilsObjectNameInfoEXT *pInfo)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    if (pDevice->pResources && pInfo)
        pDevice->pResources->SetName(pInfo->objectType, pInfo->objectHandle, pInfo->pObjectName);
    return pDevice->next.SetDebugUtilsObjectNameEXT ? pDevice->next.SetDebugUtilsObjectNameEXT(hDevice, pInfo) : VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL DebugMarkerSetObjectNameEXT(VkDevice hDevice, const VkDebugMarkerObjectNameInfoEXT *pInfo)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    if (pDevice->pResources && pInfo) {
        const VkObjectType type = pInfo->objectType == VK_DEBUG_REPORT_OBJECT_TYPE_BUFFER_EXT ? VK_OBJECT_TYPE_BUFFER
            : pInfo->objectType == VK_DEBUG_REPORT_OBJECT_TYPE_IMAGE_EXT                      ? VK_OBJECT_TYPE_IMAGE
            : pInfo->objectType == VK_DEBUG_REPORT_OBJECT_TYPE_SWAPCHAIN_KHR_EXT              ? VK_OBJECT_TYPE_SWAPCHAIN_KHR
                                                                                              : VK_OBJECT_TYPE_UNKNOWN;
        pDevice->pResources->SetName(type, pInfo->object, pInfo->pObjectName);
    }
    return pDevice->next.DebugMarkerSetObjectNameEXT(hDevice, pInfo);
}

VKAPI_ATTR VkResult VKAPI_CALL CreateGraphicsPipelines(VkDevice hDevice, VkPipelineCache hCache, uint32_t nCount,
                                                       const VkGraphicsPipelineCreateInfo *pInfos, const VkAllocationCallbacks *pAllocator,
                                                       VkPipeline *pPipelines)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    const VkResult result = pDevice->next.CreateGraphicsPipelines(hDevice, hCache, nCount, pInfos, pAllocator, pPipelines);
    std::lock_guard<std::mutex> lock(pDevice->stateMutex);
    for (uint32 i = 0; i < nCount; ++i) {
        if (!pPipelines[i])
            continue;
        PipelineInfo info;
        if (pInfos[i].pInputAssemblyState)
            info.topology = pInfos[i].pInputAssemblyState->topology;
        if (pInfos[i].pTessellationState)
            info.nPatchPoints = pInfos[i].pTessellationState->patchControlPoints;
        pDevice->pipelines[uint64(pPipelines[i])] = info;
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroyPipeline(VkDevice hDevice, VkPipeline hPipeline, const VkAllocationCallbacks *pAllocator)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    {
        std::lock_guard<std::mutex> lock(pDevice->stateMutex);
        pDevice->pipelines.erase(uint64(hPipeline));
    }
    pDevice->next.DestroyPipeline(hDevice, hPipeline, pAllocator);
}

VKAPI_ATTR VkResult VKAPI_CALL CreateBuffer(VkDevice hDevice, const VkBufferCreateInfo *pInfo, const VkAllocationCallbacks *pAllocator,
                                            VkBuffer *pBuffer)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    const VkResult result = pDevice->next.CreateBuffer(hDevice, pInfo, pAllocator, pBuffer);
    if (result == VK_SUCCESS && pDevice->pResources)
        pDevice->pResources->AddBuffer(*pBuffer, pInfo->size, pInfo->usage);
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroyBuffer(VkDevice hDevice, VkBuffer hBuffer, const VkAllocationCallbacks *pAllocator)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    if (hBuffer && pDevice->pResources)
        pDevice->pResources->RemoveBuffer(hBuffer);
    pDevice->next.DestroyBuffer(hDevice, hBuffer, pAllocator);
}

VKAPI_ATTR VkResult VKAPI_CALL CreateImage(VkDevice hDevice, const VkImageCreateInfo *pInfo, const VkAllocationCallbacks *pAllocator,
                                           VkImage *pImage)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    const VkResult result = pDevice->next.CreateImage(hDevice, pInfo, pAllocator, pImage);
    if (result == VK_SUCCESS && pDevice->pResources)
        pDevice->pResources->AddImage(*pImage, *pInfo);
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroyImage(VkDevice hDevice, VkImage hImage, const VkAllocationCallbacks *pAllocator)
{
    DeviceState *pDevice = DeviceOf(DispatchKey(hDevice));
    if (hImage && pDevice->pResources)
        pDevice->pResources->RemoveImage(hImage);
    pDevice->next.DestroyImage(hDevice, hImage, pAllocator);
}

struct Intercept
{
    const char *pszName;
    PFN_vkVoidFunction pfn;
    bool bDevice;
};

#define GPL_I(name)                                                                                                                        \
  {                                                                                                                                        \
    "vk" #name, reinterpret_cast<PFN_vkVoidFunction>(name), false                                                                          \
  }
#define GPL_D(name)                                                                                                                        \
  {                                                                                                                                        \
    "vk" #name, reinterpret_cast<PFN_vkVoidFunction>(name), true                                                                           \
  }
#define GPL_DA(alias, name)                                                                                                                \
  {                                                                                                                                        \
    "vk" #alias, reinterpret_cast<PFN_vkVoidFunction>(name), true                                                                          \
  }
const Intercept kIntercepts[] = {
    GPL_I(CreateInstance),
    GPL_I(DestroyInstance),
    GPL_I(CreateDevice),
    GPL_I(EnumerateDeviceExtensionProperties),
    GPL_D(DestroyDevice),
    GPL_D(GetDeviceQueue),
    GPL_D(GetDeviceQueue2),
    GPL_D(QueueSubmit),
    GPL_D(QueueSubmit2),
    GPL_DA(QueueSubmit2KHR, QueueSubmit2),
    GPL_D(QueuePresentKHR),
    GPL_D(CreateSwapchainKHR),
    GPL_D(DestroySwapchainKHR),
    GPL_D(CreateCommandPool),
    GPL_D(DestroyCommandPool),
    GPL_D(AllocateCommandBuffers),
    GPL_D(FreeCommandBuffers),
    GPL_D(BeginCommandBuffer),
    GPL_D(EndCommandBuffer),
    GPL_D(CmdBeginRenderPass),
    GPL_D(CmdBeginRenderPass2),
    GPL_DA(CmdBeginRenderPass2KHR, CmdBeginRenderPass2),
    GPL_D(CmdNextSubpass),
    GPL_D(CmdNextSubpass2),
    GPL_DA(CmdNextSubpass2KHR, CmdNextSubpass2),
    GPL_D(CmdEndRenderPass),
    GPL_D(CmdEndRenderPass2),
    GPL_DA(CmdEndRenderPass2KHR, CmdEndRenderPass2),
    GPL_D(CmdBeginRendering),
    GPL_DA(CmdBeginRenderingKHR, CmdBeginRendering),
    GPL_D(CmdEndRendering),
    GPL_DA(CmdEndRenderingKHR, CmdEndRendering),
    GPL_D(CmdExecuteCommands),
    GPL_D(CmdBindPipeline),
    GPL_D(CmdSetPrimitiveTopology),
    GPL_DA(CmdSetPrimitiveTopologyEXT, CmdSetPrimitiveTopology),
    GPL_D(CmdDraw),
    GPL_D(CmdDrawIndexed),
    GPL_D(CmdDrawIndirect),
    GPL_D(CmdDrawIndexedIndirect),
    GPL_D(CmdDrawIndirectCount),
    GPL_DA(CmdDrawIndirectCountKHR, CmdDrawIndirectCount),
    GPL_D(CmdDrawIndexedIndirectCount),
    GPL_DA(CmdDrawIndexedIndirectCountKHR, CmdDrawIndexedIndirectCount),
    GPL_D(CmdDispatch),
    GPL_D(CmdDispatchIndirect),
    GPL_D(CmdClearColorImage),
    GPL_D(CmdClearDepthStencilImage),
    GPL_D(CmdClearAttachments),
    GPL_D(CmdResolveImage),
    GPL_D(CmdCopyBuffer),
    GPL_D(CmdCopyImage),
    GPL_D(CmdBlitImage),
    GPL_D(CmdCopyBufferToImage),
    GPL_D(CmdCopyImageToBuffer),
    GPL_D(CmdUpdateBuffer),
    GPL_D(CmdFillBuffer),
    GPL_D(CmdBeginDebugUtilsLabelEXT),
    GPL_D(CmdEndDebugUtilsLabelEXT),
    GPL_D(CmdDebugMarkerBeginEXT),
    GPL_D(CmdDebugMarkerEndEXT),
    GPL_D(SetDebugUtilsObjectNameEXT),
    GPL_D(DebugMarkerSetObjectNameEXT),
    GPL_D(CreateGraphicsPipelines),
    GPL_D(DestroyPipeline),
    GPL_D(CreateBuffer),
    GPL_D(DestroyBuffer),
    GPL_D(CreateImage),
    GPL_D(DestroyImage),
};

const Intercept *FindIntercept(const char *pszName)
{
    for (const Intercept &intercept : kIntercepts) {
        if (std::strcmp(intercept.pszName, pszName) == 0)
            return &intercept;
    }
    return nullptr;
}

VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL LayerGetDeviceProcAddr(VkDevice hDevice, const char *pszName);

// The loader's own library exports functions of the same names as ours, so the layer hands out
// the addresses of these internal ones: a reference to an exported name could bind to the
// loader's function instead.
VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL LayerGetInstanceProcAddr(VkInstance hInstance, const char *pszName)
{
    if (std::strcmp(pszName, "vkGetInstanceProcAddr") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(LayerGetInstanceProcAddr);
    if (std::strcmp(pszName, "vkGetDeviceProcAddr") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(LayerGetDeviceProcAddr);
    const Intercept *pIntercept = FindIntercept(pszName);
    if (pIntercept && !pIntercept->bDevice)
        return pIntercept->pfn;
    if (!hInstance)
        return nullptr;
    InstanceState *pInstance = InstanceOf(DispatchKey(hInstance));
    if (!pInstance)
        return nullptr;
    PFN_vkVoidFunction pfnNext = pInstance->GetInstanceProcAddr(hInstance, pszName);
    // Device commands asked of the instance are ours too, where the chain has them.
    return pIntercept && pfnNext ? pIntercept->pfn : pfnNext;
}

VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL LayerGetDeviceProcAddr(VkDevice hDevice, const char *pszName)
{
    if (std::strcmp(pszName, "vkGetDeviceProcAddr") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(LayerGetDeviceProcAddr);
    DeviceState *pDevice = hDevice ? DeviceOf(DispatchKey(hDevice)) : nullptr;
    if (!pDevice)
        return nullptr;
    PFN_vkVoidFunction pfnNext = pDevice->next.GetDeviceProcAddr(hDevice, pszName);
    const Intercept *pIntercept = FindIntercept(pszName);
    return pIntercept && pIntercept->bDevice && pfnNext ? pIntercept->pfn : pfnNext;
}

} // namespace

GPL_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetInstanceProcAddr(VkInstance hInstance, const char *pszName)
{
    return LayerGetInstanceProcAddr(hInstance, pszName);
}

GPL_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetDeviceProcAddr(VkDevice hDevice, const char *pszName)
{
    return LayerGetDeviceProcAddr(hDevice, pszName);
}

GPL_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkNegotiateLoaderLayerInterfaceVersion(VkNegotiateLayerInterface *pVersion)
{
    if (!pVersion || pVersion->sType != LAYER_NEGOTIATE_INTERFACE_STRUCT)
        return VK_ERROR_INITIALIZATION_FAILED;
    if (pVersion->loaderLayerInterfaceVersion > 2)
        pVersion->loaderLayerInterfaceVersion = 2;
    pVersion->pfnGetInstanceProcAddr = LayerGetInstanceProcAddr;
    pVersion->pfnGetDeviceProcAddr = LayerGetDeviceProcAddr;
    pVersion->pfnGetPhysicalDeviceProcAddr = nullptr;
    return VK_SUCCESS;
}
