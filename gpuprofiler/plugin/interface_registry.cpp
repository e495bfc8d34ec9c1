#include "interface_registry.h"

#include <cstring>

constinit InterfaceReg *InterfaceReg::s_pInterfaceRegs = nullptr;

InterfaceReg::InterfaceReg(InstantiateInterfaceFn createFn, const char *pName)
    : m_CreateFn(createFn), m_pName(pName), m_pNext(s_pInterfaceRegs)
{
    s_pInterfaceRegs = this;
}

enum
{
    IFACE_OK = 0,
    IFACE_FAILED = 1,
};

void *CreateModuleInterface(const char *pName, int *pReturnCode)
{
    for (InterfaceReg *pReg = InterfaceReg::s_pInterfaceRegs; pReg; pReg = pReg->m_pNext) {
        if (pName && std::strcmp(pReg->m_pName, pName) == 0) {
            if (pReturnCode)
                *pReturnCode = IFACE_OK;
            return pReg->m_CreateFn();
        }
    }
    if (pReturnCode)
        *pReturnCode = IFACE_FAILED;
    return nullptr;
}
