// corvid: the developer console. Connects to targets, loads the GPU profiler subtool and gives
// it the targets' chunks.

#include "corvid/corvid_host.h"
#include "corvid/main_window.h"
#include "corvid/tool_images.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <QWidget>

namespace {

const char *const kSubToolInterface = "Corvid_SubTool_001_GPUProfilerTool";

QString DefaultPluginFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("plugins"));
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

// The first action with this text among the window's actions, or null.
QAction *FindAction(QWidget *pWindow, const QString &sText)
{
    for (QAction *pAction : pWindow->findChildren<QAction *>()) {
        if (pAction->text().remove(QLatin1Char('&')) == sText)
            return pAction;
    }
    return nullptr;
}

QWidget *FindTopLevel(const char *pszClassName, QWidget *pNot = nullptr)
{
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (pWidget != pNot && pWidget->isVisible() && pWidget->inherits(pszClassName))
            return pWidget;
    }
    return nullptr;
}

void Save(QWidget *pWidget, const QString &sDir, const QString &sName, QStringList &saved)
{
    const QString sPath = QDir(sDir).filePath(sName);
    if (pWidget && pWidget->grab().save(sPath))
        saved << sPath;
}

// Walks through the profiler the way a user would and saves a picture at each stop: the
// console, the profiler recording, the profiler paused with the sample hierarchy open, and the
// resource window. Quits when done; nStartMs gives the profiler time to fill its history.
void RunScreenshotTour(QMainWindow *pConsole, const QString &sDir, int nStartMs)
{
    QDir().mkpath(sDir);
    auto *pSaved = new QStringList;
    auto step = [](int nMs, std::function<void()> fn) { QTimer::singleShot(nMs, qApp, std::move(fn)); };
    step(nStartMs, [=] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        Save(pConsole, sDir, QStringLiteral("console.png"), *pSaved);
        Save(pProfiler, sDir, QStringLiteral("profiler-live.png"), *pSaved);
        if (!pProfiler)
            return;
        if (QAction *pPause = FindAction(pProfiler, QStringLiteral("Pause")))
            pPause->trigger();
        if (QAction *pHierarchy = FindAction(pProfiler, QStringLiteral("Hierarchy")); pHierarchy && !pHierarchy->isChecked())
            pHierarchy->trigger();
        if (QAction *pExpand = FindAction(pProfiler, QStringLiteral("Expand All")))
            pExpand->trigger();
    });
    // A sample picked in the tree: the inspector shows it and the timeline's cursor moves to it.
    step(nStartMs + 500, [=] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        QTreeView *pTree = pProfiler ? pProfiler->findChild<QTreeView *>() : nullptr;
        if (!pTree || !pTree->model())
            return;
        QModelIndex index = pTree->model()->index(0, 0);
        while (pTree->model()->rowCount(index) > 0)
            index = pTree->model()->index(std::min(3, pTree->model()->rowCount(index) - 1), 0, index);
        pTree->setCurrentIndex(index);
        pTree->scrollTo(index);
    });
    step(nStartMs + 1000, [=] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        Save(pProfiler, sDir, QStringLiteral("profiler-paused.png"), *pSaved);
        if (QAction *pAction = pProfiler ? FindAction(pProfiler, QStringLiteral("GPU Resource List")) : nullptr)
            pAction->trigger();
    });
    // The resource window: the texture list first, then the buffer list with its histogram.
    auto resourceWindow = [pConsole] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (pWidget->isVisible() && pWidget != pConsole && pWidget != pProfiler && !pWidget->windowTitle().isEmpty())
                return pWidget;
        }
        return static_cast<QWidget *>(nullptr);
    };
    step(nStartMs + 2500, [=] {
        QWidget *pResources = resourceWindow();
        Save(pResources, sDir, QStringLiteral("resources-textures.png"), *pSaved);
        if (QTabWidget *pTabs = pResources ? pResources->findChild<QTabWidget *>() : nullptr)
            pTabs->setCurrentIndex(pTabs->count() - 1);
    });
    step(nStartMs + 3000, [=] {
        Save(resourceWindow(), sDir, QStringLiteral("resources-buffers.png"), *pSaved);
        for (const QString &sPath : std::as_const(*pSaved))
            std::printf("%s\n", qPrintable(sPath));
        delete pSaved;
        QApplication::quit();
    });
}

} // namespace

// The command line. Built after the application object, which gives the plug-in folder's default.
struct ConsoleOptions
{
    QCommandLineParser parser;
    QCommandLineOption pluginDir{QStringLiteral("plugin-dir"), QStringLiteral("Folder to load the subtool plug-ins from."),
                                 QStringLiteral("dir"), DefaultPluginFolder()};
    QCommandLineOption plugin{QStringLiteral("plugin"), QStringLiteral("Load this subtool library instead of the folder's."),
                              QStringLiteral("path")};
    QCommandLineOption connectTo{QStringLiteral("connect"), QStringLiteral("Connect to a target (host:port); repeatable."),
                                 QStringLiteral("address")};
    QCommandLineOption openProfiler{QStringLiteral("open-profiler"),
                                    QStringLiteral("Open the GPU profiler as soon as the selected target is connected.")};
    QCommandLineOption runFor{QStringLiteral("run-for"), QStringLiteral("Quit after this many milliseconds."), QStringLiteral("ms")};
    QCommandLineOption screenshots{QStringLiteral("screenshots"),
                                   QStringLiteral("Before quitting (see --run-for), save every window as PNG here."),
                                   QStringLiteral("dir")};
    QCommandLineOption tour{QStringLiteral("screenshot-tour"),
                            QStringLiteral("Open the profiler, pause it, open the resource window, save a picture of each "
                                           "step here, and quit."),
                            QStringLiteral("dir")};

    ConsoleOptions()
    {
        parser.setApplicationDescription(QStringLiteral("Developer console that hosts the GPU profiler subtool."));
        parser.addHelpOption();
        parser.addOptions({pluginDir, plugin, connectTo, openProfiler, runFor, screenshots, tour});
    }
};

int main(int argc, char **argv)
{
    // Help needs no display, so it is answered before the user interface starts.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all") {
            QCoreApplication helpApp(argc, argv);
            ConsoleOptions options;
            options.parser.process(helpApp); // prints the help and exits
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvid"));
    ConsoleOptions options;
    QCommandLineParser &parser = options.parser;
    parser.process(app);
    const QCommandLineOption &pluginDir = options.pluginDir, &plugin = options.plugin, &connectTo = options.connectTo,
                             &openProfiler = options.openProfiler, &runFor = options.runFor,
                             &screenshots = options.screenshots, &tour = options.tour;

    const QString sImages = InstallToolImages(QDir::temp().filePath(QStringLiteral("corvid-%1").arg(QCoreApplication::applicationPid())));

    CCorvidHost host;
    CCorvidMainWindow window(&host);
    window.show();
    if (sImages.isEmpty())
        window.AppendLog(QStringLiteral("Could not write the tool images; icons will be missing"));

    QString sError;
    QString sLoaded = parser.value(plugin);
    const bool bLoaded = parser.isSet(plugin) ? host.LoadSubTool(sLoaded, kSubToolInterface, &sError)
                                              : host.LoadSubToolFromFolder(parser.value(pluginDir), kSubToolInterface, &sLoaded, &sError);
    if (bLoaded)
        window.AppendLog(QStringLiteral("Loaded the GPU profiler from %1").arg(QDir::cleanPath(sLoaded)));
    else
        window.AppendLog(QStringLiteral("Could not load the GPU profiler: %1").arg(sError));

    const bool bTour = parser.isSet(tour);
    const QString sTourDir = parser.value(tour);
    if (parser.isSet(openProfiler) || bTour) {
        // Once, when the selected target first becomes ready.
        auto *pConnection = new QMetaObject::Connection;
        *pConnection = QObject::connect(&host, &CCorvidHost::TargetStateChanged, &host,
                                        [&host, &window, bTour, sTourDir, pConnection](CCorvidConnection *pTarget, int nState) {
                                            if (nState != CORVID_CONNECTION_READY || pTarget != host.CurrentConnection())
                                                return;
                                            QObject::disconnect(*pConnection);
                                            delete pConnection;
                                            host.ToolAction()->trigger();
                                            if (bTour)
                                                RunScreenshotTour(&window, sTourDir, 3000);
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
