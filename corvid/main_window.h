#pragma once
// The console's window: the list of targets, the address to connect to, the tool action, and a
// log of what happened on the links.

#include <QMainWindow>

class CCorvidHost;
class CCorvidTarget;
class QAction;
class QPlainTextEdit;
class QTableWidget;
class CToolLogRelay;

class CCorvidMainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit CCorvidMainWindow(CCorvidHost *pHost, QWidget *pParent = nullptr);

    // Connects to "host:port" (or "host", default port); false when the text is not an address.
    bool ConnectTo(const QString &sAddress);
    // Opens a capture file as a target, with its profiler window.
    void OpenCapture(const QString &sPath);

    QAction *ConnectAction() const { return m_pConnectAction; }
    QAction *OpenCaptureAction() const { return m_pOpenCaptureAction; }
    QAction *DisconnectAction() const { return m_pDisconnectAction; }
    QAction *ReconnectAction() const { return m_pReconnectAction; }
    QAction *RemoveAction() const { return m_pRemoveAction; }
    QTableWidget *TargetTable() const { return m_pTargets; }
    QPlainTextEdit *LogView() const { return m_pLog; }

public slots:
    void AppendLog(const QString &sText);

private slots:
    void ConnectToTarget();
    void DisconnectTarget();
    void ReconnectTarget();
    void RemoveTarget();
    void RefreshTargets();
    void SelectionChanged();

private:
    void UpdateTargetActions();

    CCorvidHost *m_pHost;
    QAction *m_pOpenCaptureAction;
    QAction *m_pConnectAction;
    QAction *m_pDisconnectAction;
    QAction *m_pReconnectAction;
    QAction *m_pRemoveAction;
    // What the last "Connect to Target..." dialog was given, offered again next time.
    QString m_sLastHost;
    int m_nLastPort;
    QTableWidget *m_pTargets;
    QPlainTextEdit *m_pLog;
    // What the tools log shows in m_pLog as well.
    CToolLogRelay *m_pToolLog;
    bool m_bRefreshing = false;
};
