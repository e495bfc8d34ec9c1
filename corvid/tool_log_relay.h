#pragma once
// Brings what tools log into the console's log. A tool writes with Qt's logging under a
// category of its own below "corvid.tool" (the GPU profiler uses "corvid.tool.gpuprofiler");
// every such message also becomes a line of the console's log, so that a user whose target
// sends something the tool cannot use sees why where they look. All other messages go where
// they went before, and so do the tools' messages as well.

#include <QObject>
#include <QtGlobal>

class CToolLogRelay final : public QObject
{
    Q_OBJECT

public:
    // Installs the relay's message handler; there is one relay at a time.
    explicit CToolLogRelay(QObject *pParent = nullptr);
    // Puts the handler that was there before back.
    ~CToolLogRelay() override;

signals:
    // One message, made one line of printable text. Emitted on the thread that logged it, so
    // receivers on another thread get it queued.
    void ToolMessage(const QString &sLine);

private:
    static void HandleMessage(QtMsgType eType, const QMessageLogContext &context, const QString &sMessage);

    QtMessageHandler m_pPrevious = nullptr;
};
