#include "subtool_module.h"

#include "module_exports.h"

namespace {

// The console offers no interfaces of its own to the tools it loads.
void *ConsoleCreateInterface(const char * /*pName*/, int *pReturnCode)
{
    if (pReturnCode)
        *pReturnCode = 1;
    return nullptr;
}

} // namespace

CSubToolModule::~CSubToolModule()
{
    Unload();
}

bool CSubToolModule::Load(const QString &sPath, const char *pszInterfaceVersion)
{
    Unload();
    m_Library.setFileName(sPath);
    if (!m_Library.load()) {
        m_sError = m_Library.errorString();
        return false;
    }
    auto pCreate = reinterpret_cast<CreateInterfaceExportFn>(m_Library.resolve(CREATEINTERFACE_EXPORT_NAME));
    if (!pCreate) {
        m_sError = QStringLiteral("%1 exports no CreateInterface").arg(sPath);
        m_Library.unload();
        return false;
    }
    int nCode = 1;
    void *pObject = pCreate(pszInterfaceVersion, &nCode);
    if (!pObject || nCode != 0) {
        m_sError = QStringLiteral("%1 does not serve %2").arg(sPath, QString::fromLatin1(pszInterfaceVersion));
        m_Library.unload();
        return false;
    }
    // The object's primary table is its app system; the subtool table is its second base.
    m_pAppSystem = static_cast<IAppSystem *>(pObject);
    if (!m_pAppSystem->Connect(ConsoleCreateInterface) || m_pAppSystem->Init() != INIT_OK) {
        m_sError = QStringLiteral("%1 failed to initialise").arg(sPath);
        m_pAppSystem = nullptr;
        m_Library.unload();
        return false;
    }
    m_pSubTool = static_cast<IExternalSubTool *>(m_pAppSystem);
    return true;
}

void CSubToolModule::Unload()
{
    if (m_pAppSystem) {
        m_pAppSystem->Shutdown();
        m_pAppSystem->Disconnect();
    }
    m_pAppSystem = nullptr;
    m_pSubTool = nullptr;
    if (m_Library.isLoaded())
        m_Library.unload();
}
