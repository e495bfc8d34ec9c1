#pragma once
// The console's side of the tool interfaces: the targets it is connected to, which one the user
// selected, and the loaded subtool with its action.

#include "capture_connection.h"
#include "corvid_connection.h"
#include "subtool_module.h"

#include <QAction>
#include <QList>
#include <QObject>

class CCorvidHost final : public QObject, public ICorvidHost
{
    Q_OBJECT

public:
    explicit CCorvidHost(QObject *pParent = nullptr);
    ~CCorvidHost() override;

    // ICorvidHost
    ICorvidConnection *GetCurrentConnection() override;

    // Loads a subtool library and hands it this host and its action.
    bool LoadSubTool(const QString &sPath, const char *pszInterfaceVersion, QString *pError = nullptr);
    // Loads the first library in the plug-in folder (by name order) that serves the interface;
    // the one taken goes to pLoadedPath, what was tried and why it failed to pError.
    bool LoadSubToolFromFolder(const QString &sFolder, const char *pszInterfaceVersion, QString *pLoadedPath = nullptr,
                               QString *pError = nullptr);
    ICorvidSubTool *SubTool() const { return m_Module.SubTool(); }
    QAction *ToolAction() const { return m_pToolAction; }

    // How long a lost or unreachable target waits before the next attempt (2 s unless changed).
    void SetRetryInterval(int nMs) { m_nRetryMs = nMs; }
    int RetryInterval() const { return m_nRetryMs; }

    // Adds a target and starts connecting to it; it becomes the current one.
    CCorvidConnection *AddTarget(const QString &sHost, quint16 nPort);
    // Adds a capture file as a target, makes it the current one and opens the tool for it,
    // which plays the capture back into the tool's new window. A file that cannot be read stays
    // in the list, closed, with the reason.
    CCaptureConnection *OpenCapture(const QString &sPath);
    // Tells the tool that the connection goes away, then deletes it.
    void RemoveTarget(CCorvidTarget *pConnection);
    const QList<CCorvidTarget *> &Targets() const { return m_Connections; }

    void SetCurrentConnection(CCorvidTarget *pConnection);
    CCorvidTarget *CurrentConnection() const { return m_pCurrent; }

    // Closes every target (and with them the tool's windows) and unloads the tool.
    void Shutdown();

signals:
    void TargetsChanged();
    void CurrentChanged(CCorvidTarget *pConnection);
    void TargetStateChanged(CCorvidTarget *pConnection, int nState);
    void LogMessage(const QString &sText);

private:
    // Puts a new target into the list and tells the tool about it.
    void Adopt(CCorvidTarget *pConnection);
    void OnStateChanged(CCorvidTarget *pConnection, int nState);

    CSubToolModule m_Module;
    QAction *m_pToolAction;
    QList<CCorvidTarget *> m_Connections;
    CCorvidTarget *m_pCurrent = nullptr;
    int m_nRetryMs = 2000;
};
