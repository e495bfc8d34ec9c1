#pragma once
// The host framework's app-system interface and its base implementation. The host calls these
// operations by position in the table, so their order is part of the binary interface.

#include "bedrock_api.h"
#include "growable_array.h"

// The host's interface factory: looks an interface up by version name. The return code is 0
// when found and 1 when not.
using CreateInterfaceFn = void *(*)(const char *pName, int *pReturnCode);

enum InitReturnVal_t
{
    INIT_FAILED = 0,
    INIT_OK = 1,
};

enum AppSystemTier_t
{
    APP_SYSTEM_TIER0 = 0,
    APP_SYSTEM_TIER1 = 1,
    APP_SYSTEM_TIER2 = 2,
    APP_SYSTEM_TIER3 = 3,
};

enum BuildType_t
{
    BUILD_TYPE_DEBUG = 0,
    BUILD_TYPE_DEVELOPMENT = 1,
    BUILD_TYPE_RELEASE = 2,
};

struct AppSystemInfo_t
{
    const char *m_pModuleName;
    const char *m_pInterfaceName;
};

class IAppSystem
{
public:
    virtual bool Connect(CreateInterfaceFn factory) = 0;
    virtual void Disconnect() = 0;
    virtual void *QueryInterface(const char *pInterfaceName) = 0;
    virtual InitReturnVal_t Init() = 0;
    virtual void Shutdown() = 0;
    virtual void PreShutdown() = 0;
    // Null-terminated list of systems this one needs, or null for none.
    virtual const AppSystemInfo_t *GetDependencies() = 0;
    virtual AppSystemTier_t GetTier() = 0;
    virtual void Reconnect(CreateInterfaceFn factory, const char *pInterfaceName) = 0;
    virtual bool IsSingleton() = 0;
    virtual BuildType_t GetBuildType() = 0;

protected:
    constexpr IAppSystem() = default;
    ~IAppSystem() = default;
};

// The framework's standard behaviour of an app system. Modules that register nothing with the
// framework's services (console variables, configuration values, schema classes, resource
// manifests) only keep the connect nesting count; the list of registered items is where such
// registrations would be remembered, and it stays empty here.
template <class IInterface> class CBaseAppSystem : public IInterface
{
public:
    bool Connect(CreateInterfaceFn /*factory*/) override
    {
        ++m_nConnectNesting;
        return true;
    }

    void Disconnect() override
    {
        m_RegisteredItems.RemoveAll();
        while (m_nConnectNesting > 0)
            --m_nConnectNesting;
    }

    void *QueryInterface(const char * /*pInterfaceName*/) override { return nullptr; }
    InitReturnVal_t Init() override { return INIT_OK; }
    void Shutdown() override {}
    void PreShutdown() override {}
    const AppSystemInfo_t *GetDependencies() override { return nullptr; }
    AppSystemTier_t GetTier() override { return APP_SYSTEM_TIER3; }

    void Reconnect(CreateInterfaceFn factory, const char * /*pInterfaceName*/) override
    {
        // With no interface table of our own, reconnecting one entry is reconnecting them all.
        Connect(factory);
    }

    bool IsSingleton() override { return true; }
    BuildType_t GetBuildType() override { return BUILD_TYPE_RELEASE; }

    int32 GetConnectNesting() const { return m_nConnectNesting; }

protected:
    constexpr CBaseAppSystem() = default;
    ~CBaseAppSystem() = default;

private:
    GrowableArray<void *> m_RegisteredItems;
    int32 m_nConnectNesting = 0;
};
