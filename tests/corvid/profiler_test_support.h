#pragma once
// What the end-to-end tests share: the console host with the real plug-in loaded from its
// library, and the plug-in's windows found as a user finds them (by class name, title and
// action text).

#include "corvid/corvid_host.h"
#include "tests/corvid/link_test_support.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>

#include <functional>
#include <memory>

inline bool WaitFor(const std::function<bool()> &condition, int nTimeoutMs = 15000)
{
    return PumpUntil(nullptr, condition, nullptr, nTimeoutMs);
}

// Lets the events of nMs pass.
inline void Pump(int nMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
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

#ifdef DEMO_TARGET_PATH
// The demo target as its own process, on a free port or a given one.
class CDemoTarget
{
public:
    bool Start(const QStringList &extraArgs, quint16 nPort = 0)
    {
        m_Process.setProgram(QStringLiteral(DEMO_TARGET_PATH));
        m_Process.setArguments(QStringList{QStringLiteral("--port"), QString::number(nPort), QStringLiteral("--loopback"),
                                           QStringLiteral("--quiet")} +
                               extraArgs);
        m_Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_Process.start();
        if (!m_Process.waitForStarted(10000))
            return false;
        static const QRegularExpression listening(QStringLiteral("listening on port (\\d+)"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            m_Output += m_Process.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(m_Output));
            if (match.hasMatch()) {
                m_nPort = quint16(match.captured(1).toUInt());
                return true;
            }
            m_Process.waitForReadyRead(100);
        }
        return false;
    }
    // As a crash or a debugger stop would end it: no goodbye on the link.
    void Kill()
    {
        m_Process.kill();
        m_Process.waitForFinished(10000);
    }
    quint16 Port() const { return m_nPort; }
    ~CDemoTarget() { Kill(); }

private:
    QProcess m_Process;
    QByteArray m_Output;
    quint16 m_nPort = 0;
};
#endif
