// corvid: the developer console. Connects to targets, loads the GPU profiler subtool and gives
// it the targets' chunks.

#include "corvid/corvid_host.h"
#include "corvid/main_window.h"
#include "corvid/tool_images.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

namespace {

const char *const kSubToolInterface = "Corvid_SubTool_001_GPUProfilerTool";

QString DefaultSubToolPath()
{
    // Next to the console in an installed layout, in the plug-in's folder in the build tree.
    const QDir appDir(QCoreApplication::applicationDirPath());
    for (const QString &sCandidate : {appDir.filePath(QStringLiteral("libgpuprofiler_subtool.so")),
                                      appDir.filePath(QStringLiteral("../gpuprofiler/plugin/libgpuprofiler_subtool.so"))}) {
        if (QFileInfo::exists(sCandidate))
            return QFileInfo(sCandidate).canonicalFilePath();
    }
    return appDir.filePath(QStringLiteral("libgpuprofiler_subtool.so"));
}

// Saves every visible top-level window as <dir>/<n>-<title>.png.
void SaveScreenshots(const QString &sDir)
{
    QDir().mkpath(sDir);
    int n = 0;
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (!pWidget->isVisible() || pWidget->windowTitle().isEmpty())
            continue;
        QString sName = pWidget->windowTitle().trimmed();
        sName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
        pWidget->grab().save(QDir(sDir).filePath(QStringLiteral("%1-%2.png").arg(++n).arg(sName)));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvid"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Developer console that hosts the GPU profiler subtool."));
    parser.addHelpOption();
    QCommandLineOption plugin(QStringLiteral("plugin"), QStringLiteral("Subtool library to load."), QStringLiteral("path"),
                              DefaultSubToolPath());
    QCommandLineOption connectTo(QStringLiteral("connect"), QStringLiteral("Connect to a target (host:port); repeatable."),
                                 QStringLiteral("address"));
    QCommandLineOption openProfiler(QStringLiteral("open-profiler"),
                                    QStringLiteral("Open the GPU profiler as soon as the selected target is connected."));
    QCommandLineOption runFor(QStringLiteral("run-for"), QStringLiteral("Quit after this many milliseconds."), QStringLiteral("ms"));
    QCommandLineOption screenshots(QStringLiteral("screenshots"),
                                   QStringLiteral("Before quitting (see --run-for), save every window as PNG here."),
                                   QStringLiteral("dir"));
    parser.addOptions({plugin, connectTo, openProfiler, runFor, screenshots});
    parser.process(app);

    const QString sImages = InstallToolImages(QDir::temp().filePath(QStringLiteral("corvid-%1").arg(QCoreApplication::applicationPid())));

    CCorvidHost host;
    CCorvidMainWindow window(&host);
    window.show();
    if (sImages.isEmpty())
        window.AppendLog(QStringLiteral("Could not write the tool images; icons will be missing"));

    QString sError;
    if (host.LoadSubTool(parser.value(plugin), kSubToolInterface, &sError))
        window.AppendLog(QStringLiteral("Loaded %1").arg(parser.value(plugin)));
    else
        window.AppendLog(QStringLiteral("Could not load the GPU profiler: %1").arg(sError));

    if (parser.isSet(openProfiler)) {
        // Once, when the selected target first becomes ready.
        auto *pConnection = new QMetaObject::Connection;
        *pConnection = QObject::connect(&host, &CCorvidHost::TargetStateChanged, &host,
                                        [&host, pConnection](CCorvidConnection *pTarget, int nState) {
                                            if (nState != CORVID_CONNECTION_READY || pTarget != host.CurrentConnection())
                                                return;
                                            QObject::disconnect(*pConnection);
                                            delete pConnection;
                                            host.ToolAction()->trigger();
                                        });
    }
    for (const QString &sAddress : parser.values(connectTo)) {
        if (!window.ConnectTo(sAddress))
            window.AppendLog(QStringLiteral("\"%1\" is not an address (host or host:port)").arg(sAddress));
    }

    if (parser.isSet(runFor)) {
        const QString sShots = parser.value(screenshots);
        QTimer::singleShot(parser.value(runFor).toInt(), &app, [sShots] {
            if (!sShots.isEmpty())
                SaveScreenshots(sShots);
            QApplication::quit();
        });
    }

    const int nResult = app.exec();
    host.Shutdown();
    QDir(sImages).removeRecursively();
    return nResult;
}
