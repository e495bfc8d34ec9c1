// The module's five exported entry points. Only these are visible outside the library.

#include "module_exports.h"
#include "interface_registry.h"
#include "module_info.h"

SUBTOOL_EXPORT void *CreateInterface(const char *pName, int *pReturnCode)
{
    return CreateModuleInterface(pName, pReturnCode);
}

SUBTOOL_EXPORT bool InstallSchemaBindings(const char *pInterfaceName, ISchemaSystem *pSchemaSystem)
{
    return InstallModuleSchemaBindings(pInterfaceName, pSchemaSystem);
}

SUBTOOL_EXPORT int32 GetResourceManifestCount()
{
    return GetModuleResourceManifestCount();
}

SUBTOOL_EXPORT int32 GetResourceManifests(int32 nFirst, const void **ppManifests, int32 nCapacity)
{
    return GetModuleResourceManifests(nFirst, ppManifests, nCapacity);
}

SUBTOOL_EXPORT int32 BinaryProperties_GetValue(int32 nPropertyId, BinaryPropertyValue_t *pValue)
{
    return GetModuleBinaryProperty(nPropertyId, pValue);
}
