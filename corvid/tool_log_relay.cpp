#include "tool_log_relay.h"

#include "printable_text.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// The relay that the handler serves, and the handler it replaced. A message can be logged on
// any thread, so the relay is published atomically; it stays valid until the handler has been
// put back.
std::atomic<CToolLogRelay *> s_pRelay{nullptr};
std::atomic<QtMessageHandler> s_pPrevious{nullptr};

// A tool's line in the console's log is cut to this many characters.
constexpr int kMaxToolLineChars = 1000;

bool IsToolCategory(const char *pszCategory)
{
    static const char kPrefix[] = "corvid.tool.";
    return pszCategory && std::strncmp(pszCategory, kPrefix, sizeof(kPrefix) - 1) == 0;
}

} // namespace

CToolLogRelay::CToolLogRelay(QObject *pParent) : QObject(pParent)
{
    s_pRelay.store(this);
    m_pPrevious = qInstallMessageHandler(&CToolLogRelay::HandleMessage);
    s_pPrevious.store(m_pPrevious);
}

CToolLogRelay::~CToolLogRelay()
{
    qInstallMessageHandler(m_pPrevious);
    s_pRelay.store(nullptr);
}

void CToolLogRelay::HandleMessage(QtMsgType eType, const QMessageLogContext &context, const QString &sMessage)
{
    if (IsToolCategory(context.category)) {
        if (CToolLogRelay *pRelay = s_pRelay.load())
            emit pRelay->ToolMessage(PrintableText(sMessage, kMaxToolLineChars));
    }
    if (QtMessageHandler pPrevious = s_pPrevious.load())
        pPrevious(eType, context, sMessage);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(eType, context, sMessage)));
}
