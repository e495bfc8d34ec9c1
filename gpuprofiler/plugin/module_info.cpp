#include "module_info.h"

#include <cstring>

namespace {

constinit ISchemaSystem *s_pSchemaSystem = nullptr;
constinit bool s_bSchemaBindingsInstalled = false;

// The module declares no resource manifests; the list exists so that the export walks a real
// list like every other module's.
constexpr const void *kResourceManifests[] = {nullptr};
constexpr int32 kResourceManifestCount = 0;

struct BinaryProperty
{
    BinaryPropertyType_t nType;
    uint64 nInteger;
    const char *pString;
};

constexpr BinaryProperty kBinaryProperties[] = {
    /* 0 */ {BINARY_PROPERTY_STRING, 0, "Release"},
    /* 1 */ {BINARY_PROPERTY_INTEGER, 0, nullptr},
    /* 2 */ {BINARY_PROPERTY_INTEGER, 1, nullptr},
    /* 3 */ {BINARY_PROPERTY_STRING, 0, "gpuprofiler_subtool"},
    /* 4 */ {BINARY_PROPERTY_STRING, 0, "gpuprofiler_subtool"},
    /* 5 */ {BINARY_PROPERTY_INTEGER, 0, nullptr},
    /* 6 */ {BINARY_PROPERTY_INTEGER, 1, nullptr},
    /* 7 */ {BINARY_PROPERTY_INTEGER, 2, nullptr},
};

} // namespace

bool InstallModuleSchemaBindings(const char *pInterfaceName, ISchemaSystem *pSchemaSystem)
{
    if (!pInterfaceName || std::strcmp(pInterfaceName, "SchemaSystem_001") != 0)
        return false;
    if (!s_bSchemaBindingsInstalled) {
        // The module declares no schema classes, so installing its bindings registers an
        // empty set; only the schema system is remembered.
        s_pSchemaSystem = pSchemaSystem;
        s_bSchemaBindingsInstalled = true;
    }
    return true;
}

ISchemaSystem *GetModuleSchemaSystem()
{
    return s_pSchemaSystem;
}

int32 GetModuleResourceManifestCount()
{
    return kResourceManifestCount;
}

int32 GetModuleResourceManifests(int32 nFirst, const void **ppManifests, int32 nCapacity)
{
    int32 nWritten = 0;
    for (int32 i = nFirst < 0 ? 0 : nFirst; i < kResourceManifestCount && nWritten < nCapacity; ++i)
        ppManifests[nWritten++] = kResourceManifests[i];
    return nWritten;
}

int32 GetModuleBinaryProperty(int32 nPropertyId, BinaryPropertyValue_t *pValue)
{
    constexpr int32 nCount = int32(sizeof(kBinaryProperties) / sizeof(kBinaryProperties[0]));
    if (nPropertyId < 0 || nPropertyId >= nCount || !pValue)
        return 0;
    const BinaryProperty &property = kBinaryProperties[nPropertyId];
    pValue->m_nType = property.nType;
    pValue->m_nValue = property.nType == BINARY_PROPERTY_STRING ? uint64(reinterpret_cast<uintptr_t>(property.pString)) : property.nInteger;
    return 1;
}
