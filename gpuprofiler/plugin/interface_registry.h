#pragma once
// The module's list of named interfaces that CreateInterface serves. Each registration is a
// static object whose constructor pushes itself onto the head of the list at load time.

using InstantiateInterfaceFn = void *(*)();

class InterfaceReg
{
public:
    InterfaceReg(InstantiateInterfaceFn createFn, const char *pName);

    InstantiateInterfaceFn m_CreateFn;
    const char *m_pName;
    InterfaceReg *m_pNext;

    static InterfaceReg *s_pInterfaceRegs;
};

// Looks pName up in the list. Found: return code 0 and the object; otherwise 1 and null.
void *CreateModuleInterface(const char *pName, int *pReturnCode);
