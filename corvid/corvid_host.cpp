#include "corvid_host.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QLibrary>

CCorvidHost::CCorvidHost(QObject *pParent) : QObject(pParent)
{
    m_pToolAction = new QAction(QIcon(QStringLiteral("toolimages:gpuprofilertool/appicon.png")), QStringLiteral("GPU Profiler"), this);
    m_pToolAction->setToolTip(QStringLiteral("Open the GPU profiler for the selected target"));
    m_pToolAction->setEnabled(false);
    connect(m_pToolAction, &QAction::triggered, this, [this] {
        if (ICorvidSubTool *pTool = SubTool())
            pTool->ShowForCurrentConnection();
    });
}

CCorvidHost::~CCorvidHost()
{
    Shutdown();
}

ICorvidConnection *CCorvidHost::GetCurrentConnection()
{
    return m_pCurrent;
}

bool CCorvidHost::LoadSubTool(const QString &sPath, const char *pszInterfaceVersion, QString *pError)
{
    if (!m_Module.Load(sPath, pszInterfaceVersion)) {
        if (pError)
            *pError = m_Module.ErrorString();
        return false;
    }
    ICorvidSubTool *pTool = m_Module.SubTool();
    pTool->SetHost(this, m_pToolAction);
    pTool->OnHostReady();
    // Targets that were added before the tool arrived.
    for (CCorvidTarget *pConnection : std::as_const(m_Connections)) {
        pTool->OnConnectionOpened(pConnection);
        pTool->RegisterDataTypes(pConnection);
    }
    if (m_pCurrent)
        pTool->UpdateToolAction(m_pCurrent);
    return true;
}

bool CCorvidHost::LoadSubToolFromFolder(const QString &sFolder, const char *pszInterfaceVersion, QString *pLoadedPath, QString *pError)
{
    const QDir folder(sFolder);
    QStringList failures;
    for (const QString &sName : folder.entryList(QDir::Files, QDir::Name)) {
        const QString sPath = folder.filePath(sName);
        if (!QLibrary::isLibrary(sPath))
            continue;
        QString sWhy;
        if (LoadSubTool(sPath, pszInterfaceVersion, &sWhy)) {
            if (pLoadedPath)
                *pLoadedPath = sPath;
            return true;
        }
        failures << sWhy;
    }
    if (pError) {
        *pError = failures.isEmpty() ? QStringLiteral("no plug-in in %1").arg(sFolder)
                                     : QStringLiteral("no plug-in in %1 serves %2 (%3)")
                                           .arg(sFolder, QString::fromLatin1(pszInterfaceVersion), failures.join(QStringLiteral("; ")));
    }
    return false;
}

void CCorvidHost::Adopt(CCorvidTarget *pConnection)
{
    m_Connections.append(pConnection);
    connect(pConnection, &CCorvidTarget::StateChanged, this, [this, pConnection](int nState) { OnStateChanged(pConnection, nState); });
    connect(pConnection, &CCorvidTarget::LogMessage, this, &CCorvidHost::LogMessage);
    connect(pConnection, &CCorvidTarget::NameChanged, this, &CCorvidHost::TargetsChanged);
    if (ICorvidSubTool *pTool = SubTool()) {
        pTool->OnConnectionOpened(pConnection);
        pTool->RegisterDataTypes(pConnection);
    }
}

CCorvidConnection *CCorvidHost::AddTarget(const QString &sHost, quint16 nPort)
{
    auto *pConnection = new CCorvidConnection(sHost, nPort, this);
    Adopt(pConnection);
    emit LogMessage(QStringLiteral("%1: connecting").arg(pConnection->Address()));
    emit TargetsChanged();
    SetCurrentConnection(pConnection);
    pConnection->Open(m_nRetryMs);
    return pConnection;
}

CCaptureConnection *CCorvidHost::OpenCapture(const QString &sPath)
{
    auto *pCapture = new CCaptureConnection(sPath, this);
    Adopt(pCapture);
    emit TargetsChanged();
    SetCurrentConnection(pCapture);
    pCapture->Open();
    if (ICorvidSubTool *pTool = SubTool(); pTool && pCapture->GetState() == CORVID_CONNECTION_READY)
        pTool->ShowForCurrentConnection();
    return pCapture;
}

void CCorvidHost::RemoveTarget(CCorvidTarget *pConnection)
{
    if (!m_Connections.contains(pConnection))
        return;
    if (m_pCurrent == pConnection)
        SetCurrentConnection(nullptr);
    // The tool is told while the connection still works, so its windows can say goodbye.
    if (ICorvidSubTool *pTool = SubTool())
        pTool->OnConnectionClosed(pConnection);
    m_Connections.removeAll(pConnection);
    pConnection->Close();
    delete pConnection;
    emit TargetsChanged();
}

void CCorvidHost::SetCurrentConnection(CCorvidTarget *pConnection)
{
    if (m_pCurrent == pConnection)
        return;
    m_pCurrent = pConnection;
    if (ICorvidSubTool *pTool = SubTool()) {
        pTool->OnCurrentConnectionChanged(pConnection);
        if (pConnection)
            pTool->UpdateToolAction(pConnection);
        else
            m_pToolAction->setEnabled(false);
    }
    emit CurrentChanged(pConnection);
}

void CCorvidHost::OnStateChanged(CCorvidTarget *pConnection, int nState)
{
    if (ICorvidSubTool *pTool = SubTool())
        pTool->OnConnectionStateChanged(pConnection, nState);
    emit TargetStateChanged(pConnection, nState);
}

void CCorvidHost::Shutdown()
{
    if (ICorvidSubTool *pTool = SubTool())
        pTool->OnHostClosing();
    while (!m_Connections.isEmpty())
        RemoveTarget(m_Connections.last());
    // Windows that their users closed are deleted later; their code must still be there then.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_Module.Unload();
}
