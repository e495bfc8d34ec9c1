#pragma once
// The five unmangled functions that every subtool library exports, as the host resolves them.

#include "bedrock_api.h"

#if defined(_WIN32)
#  define SUBTOOL_EXPORT extern "C" __declspec(dllexport)
#else
#  define SUBTOOL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// One answer of BinaryProperties_GetValue.
enum BinaryPropertyType_t : uint32
{
    BINARY_PROPERTY_STRING = 0, // m_nValue is a pointer to a zero-terminated string
    BINARY_PROPERTY_INTEGER = 1, // m_nValue is the integer itself
};

struct BinaryPropertyValue_t
{
    uint64 m_nValue;
    uint32 m_nType;
};

class ISchemaSystem;

using CreateInterfaceExportFn = void *(*)(const char *pName, int *pReturnCode);
using InstallSchemaBindingsFn = bool (*)(const char *pInterfaceName, ISchemaSystem *pSchemaSystem);
using GetResourceManifestCountFn = int32 (*)();
using GetResourceManifestsFn = int32 (*)(int32 nFirst, const void **ppManifests, int32 nCapacity);
using BinaryPropertiesGetValueFn = int32 (*)(int32 nPropertyId, BinaryPropertyValue_t *pValue);

constexpr const char *CREATEINTERFACE_EXPORT_NAME = "CreateInterface";
constexpr const char *INSTALLSCHEMABINDINGS_EXPORT_NAME = "InstallSchemaBindings";
constexpr const char *GETRESOURCEMANIFESTCOUNT_EXPORT_NAME = "GetResourceManifestCount";
constexpr const char *GETRESOURCEMANIFESTS_EXPORT_NAME = "GetResourceManifests";
constexpr const char *BINARYPROPERTIES_GETVALUE_EXPORT_NAME = "BinaryProperties_GetValue";
