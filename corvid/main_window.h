#pragma once
// The console's window: the list of targets, the address to connect to, the tool action, and a
// log of what happened on the links.

#include <QMainWindow>

class CCorvidHost;
class CCorvidConnection;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

class CCorvidMainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit CCorvidMainWindow(CCorvidHost *pHost, QWidget *pParent = nullptr);

    // Connects to "host:port" (or "host", default port); false when the text is not an address.
    bool ConnectTo(const QString &sAddress);

public slots:
    void AppendLog(const QString &sText);

private slots:
    void ConnectClicked();
    void RemoveClicked();
    void RefreshTargets();
    void SelectionChanged();

private:
    static QString StateText(int nState);

    CCorvidHost *m_pHost;
    QLineEdit *m_pAddress;
    QTableWidget *m_pTargets;
    QPlainTextEdit *m_pLog;
    bool m_bRefreshing = false;
};
