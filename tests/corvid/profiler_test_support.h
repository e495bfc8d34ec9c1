#pragma once
// What the console's tests share: running the console's event loop (and a target's end of the
// link, when there is one) until something holds, link messages written by hand, the console
// host with the real plug-in loaded from its library, the plug-in's windows found as a user
// finds them (by class name, title and action text), and a target scripted byte by byte over
// loopback.

#include "corvid_host.h"
#include "target_link.h"
#include "wire_link.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

// Runs the console's event loop and the target's poll in turns until the condition holds; false
// after nTimeoutMs. Chunks that the target receives go to pReceived.
inline bool PumpUntil(CTargetLink *pLink, const std::function<bool()> &condition, std::vector<ReceivedChunk> *pReceived = nullptr,
                      int nTimeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (pLink)
            pLink->Poll(1, pReceived);
        else
            QThread::msleep(1);
    }
    return true;
}

// One message as a peer puts it on the link, announcing nAnnounced payload bytes whatever
// follows.
inline QByteArray LinkMessage(uint32 nId, uint16 nVersion, const QByteArray &payload, uint32 nAnnounced)
{
    QByteArray message(int(CORVID_LINK_HEADER_SIZE), 0);
    WriteCorvidLinkHeader(message.data(), {nId, nVersion, nAnnounced});
    return message + payload;
}

inline QByteArray LinkMessage(uint32 nId, const QByteArray &payload)
{
    return LinkMessage(nId, 1, payload, uint32(payload.size()));
}

inline bool WaitFor(const std::function<bool()> &condition, int nTimeoutMs = 15000)
{
    return PumpUntil(nullptr, condition, nullptr, nTimeoutMs);
}

// Lets the events of nMs pass.
inline void Pump(int nMs)
{
    PumpUntil(
        nullptr, [] { return false; }, nullptr, nMs);
}

inline QWidget *TopLevel(const char *pszClass, const QString &sTitlePart = QString())
{
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible() && pWidget->inherits(pszClass) && pWidget->windowTitle().contains(sTitlePart))
            return pWidget;
    }
    return nullptr;
}

inline QWidget *ProfilerWindow(const QString &sTarget)
{
    return TopLevel("CQCGPUProfilerDeviceWindow", QStringLiteral("GPU Profiler - %1 ").arg(sTarget));
}

inline QAction *Action(QWidget *pWindow, const QString &sText)
{
    for (QAction *pAction : pWindow->findChildren<QAction *>()) {
        if (pAction->text() == sText)
            return pAction;
    }
    return nullptr;
}

// The console host with the real plug-in loaded; shut down and checked for leaks by the test.
inline std::unique_ptr<CCorvidHost> MakeHost()
{
    auto pHost = std::make_unique<CCorvidHost>();
    pHost->SetRetryInterval(100);
    QString sError;
    if (!pHost->LoadSubTool(QStringLiteral(GPUPROFILER_MODULE_PATH), "Corvid_SubTool_001_GPUProfilerTool", &sError))
        qWarning("%s", qPrintable(sError));
    return pHost;
}

inline void ShutDown(std::unique_ptr<CCorvidHost> &pHost)
{
    pHost->Shutdown();
    pHost.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Opens the profiler for a target the way the user does: select it, trigger the tool action.
inline QWidget *OpenProfiler(CCorvidHost &host, CCorvidTarget *pTarget, const QString &sName)
{
    host.SetCurrentConnection(pTarget);
    if (!WaitFor([&] { return host.ToolAction()->isEnabled(); }))
        return nullptr;
    host.ToolAction()->trigger();
    QWidget *pWindow = nullptr;
    WaitFor([&] { return (pWindow = ProfilerWindow(sName)) != nullptr; });
    return pWindow;
}

inline QByteArray Hello(const QByteArray &name)
{
    return LinkMessage(CORVID_LINK_HELLO, name);
}

// The text of a window's status line; empty without one.
inline QString StatusLine(QWidget *pWindow)
{
    const QStatusBar *pStatus = pWindow ? pWindow->findChild<QStatusBar *>() : nullptr;
    const QLabel *pLabel = pStatus ? pStatus->findChild<QLabel *>() : nullptr;
    return pLabel ? pLabel->text() : QString();
}

// A scripted target on a local server: the console (a new host, or the one given) connects and
// keeps its log, the script says hello, and the profiler is opened for it when asked.
struct ScriptedTarget
{
    QTcpServer server;
    std::unique_ptr<CCorvidHost> pHost;
    CCorvidConnection *pTarget = nullptr;
    QTcpSocket *pSocket = nullptr;
    QWidget *pWindow = nullptr;
    QStringList log;

    bool Connect(const QByteArray &name, bool bOpenProfiler = false)
    {
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        if (!pHost)
            pHost = MakeHost();
        QObject::connect(pHost.get(), &CCorvidHost::LogMessage, [this](const QString &sLine) { log << sLine; });
        pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), server.serverPort());
        if (!Accept(name))
            return false;
        if (bOpenProfiler)
            return (pWindow = OpenProfiler(*pHost, pTarget, QString::fromLatin1(name))) != nullptr;
        return WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; });
    }
    // Takes the console's next connection and says hello on it.
    bool Accept(const QByteArray &name)
    {
        if (!WaitFor([&] { return server.hasPendingConnections(); }))
            return false;
        pSocket = server.nextPendingConnection();
        pSocket->write(Hello(name));
        return true;
    }
    // Sends and lets the console and the window's timer take it.
    void Send(const QByteArray &bytes, int nPumpMs = 25)
    {
        pSocket->write(bytes);
        pSocket->flush();
        Pump(nPumpMs);
    }
};
