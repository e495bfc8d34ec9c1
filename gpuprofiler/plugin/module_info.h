#pragma once
// What the module tells the host about itself besides its interfaces: schema bindings,
// resource manifests and the fixed table of binary properties.

#include "module_exports.h"

bool InstallModuleSchemaBindings(const char *pInterfaceName, ISchemaSystem *pSchemaSystem);
int32 GetModuleResourceManifestCount();
int32 GetModuleResourceManifests(int32 nFirst, const void **ppManifests, int32 nCapacity);
// 1 with the value filled in for a known id; 0, output untouched, otherwise.
int32 GetModuleBinaryProperty(int32 nPropertyId, BinaryPropertyValue_t *pValue);

// The schema system kept by the first successful InstallModuleSchemaBindings, or null.
ISchemaSystem *GetModuleSchemaSystem();
