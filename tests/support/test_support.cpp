#include "test_support.h"

void PrepareTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

namespace {

QtMessageHandler s_previousHandler = nullptr;
QByteArray s_collectedCategory;
QStringList s_collectedLines;

void CollectMessage(QtMsgType type, const QMessageLogContext &context, const QString &sText)
{
    if (context.category && s_collectedCategory == context.category)
        s_collectedLines << sText;
    else if (s_previousHandler)
        s_previousHandler(type, context, sText);
}

} // namespace

LogCollector::LogCollector(const char *pszCategory)
{
    s_collectedCategory = pszCategory;
    s_collectedLines.clear();
    s_previousHandler = qInstallMessageHandler(CollectMessage);
}

LogCollector::~LogCollector()
{
    qInstallMessageHandler(s_previousHandler);
    s_collectedCategory.clear();
}

QStringList LogCollector::Lines() const
{
    return s_collectedLines;
}
