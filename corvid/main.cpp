// corvid: the developer console. Connects to targets, loads the GPU profiler subtool and gives
// it the targets' chunks.

#include "corvid_host.h"
#include "main_window.h"
#include "mem_alloc.h"
#include "screenshots.h"
#include "tool_images.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>

#include <cstdio>
#if defined(__GLIBC__)
#  include <malloc.h>
#endif

namespace {

const char *const kSubToolInterface = "Corvid_SubTool_001_GPUProfilerTool";

// Bytes handed out by the C heap and not yet freed (-1 where the C library cannot say).
long long HeapBytesInUse()
{
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}

// The "plugins" folder next to the console in a build tree; lib/gpuprofiler/plugins beside bin/
// where the product is installed.
QString DefaultPluginFolder()
{
    const QDir here(QCoreApplication::applicationDirPath());
    const QString sNextToUs = here.filePath(QStringLiteral("plugins"));
    const QString sInstalled = QDir::cleanPath(here.filePath(QStringLiteral("../lib/gpuprofiler/plugins")));
    return QDir(sNextToUs).exists() || !QDir(sInstalled).exists() ? sNextToUs : sInstalled;
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
    QCommandLineOption reportMemory{QStringLiteral("report-memory"),
                                    QStringLiteral("Every this many milliseconds, print a line \"memory <tracked bytes> "
                                                   "<heap bytes>\": the bytes live in the runtime's allocator and in the C "
                                                   "heap (for soak runs)."),
                                    QStringLiteral("ms")};
    QCommandLineOption tour{QStringLiteral("screenshot-tour"),
                            QStringLiteral("Open the profiler, pause it, open the resource window, save a picture of each "
                                           "step here, and quit."),
                            QStringLiteral("dir")};

    ConsoleOptions()
    {
        parser.setApplicationDescription(QStringLiteral("Developer console that hosts the GPU profiler subtool."));
        parser.addHelpOption();
        parser.addPositionalArgument(QStringLiteral("captures"),
                                     QStringLiteral("Capture files (.gpucap) to open as targets, each with its profiler window."),
                                     QStringLiteral("[file.gpucap...]"));
        parser.addOptions({pluginDir, plugin, connectTo, openProfiler, runFor, screenshots, reportMemory, tour});
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
                             &openProfiler = options.openProfiler, &runFor = options.runFor, &screenshots = options.screenshots,
                             &tour = options.tour, &reportMemory = options.reportMemory;

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
    // Also on stderr: whoever starts the console from a shell sees at once whether it has its tool.
    const QString sLoadLine = bLoaded ? QStringLiteral("Loaded the GPU profiler from %1").arg(QDir::cleanPath(sLoaded))
                                      : QStringLiteral("Could not load the GPU profiler: %1").arg(sError);
    window.AppendLog(sLoadLine);
    std::fprintf(stderr, "corvid: %s\n", qPrintable(sLoadLine));

    const bool bTour = parser.isSet(tour);
    const QString sTourDir = parser.value(tour);
    if (parser.isSet(openProfiler) || bTour) {
        // Once, when the selected target first becomes ready.
        auto *pConnection = new QMetaObject::Connection;
        *pConnection = QObject::connect(&host, &CCorvidHost::TargetStateChanged, &host,
                                        [&host, &window, bTour, sTourDir, pConnection](CCorvidTarget *pTarget, int nState) {
                                            if (nState != CORVID_CONNECTION_READY || pTarget != host.CurrentConnection())
                                                return;
                                            QObject::disconnect(*pConnection);
                                            delete pConnection;
                                            host.ToolAction()->trigger();
                                            if (bTour)
                                                RunScreenshotTour(&window, sTourDir, 3000);
                                        });
    }
    for (const QString &sCapture : parser.positionalArguments())
        window.OpenCapture(sCapture);
    for (const QString &sAddress : parser.values(connectTo)) {
        if (!window.ConnectTo(sAddress))
            window.AppendLog(QStringLiteral("\"%1\" is not an address (host or host:port)").arg(sAddress));
    }

    if (parser.isSet(reportMemory)) {
        // What a soak run needs to tell a leak from fragmentation: resident memory that grows
        // while these stay flat is the allocator's, not ours.
        auto *pReport = new QTimer(&app);
        QObject::connect(pReport, &QTimer::timeout, [] {
            std::printf("memory %lld %lld\n", static_cast<long long>(g_pMemAlloc->GetLiveBytes()), HeapBytesInUse());
            std::fflush(stdout);
        });
        pReport->start(parser.value(reportMemory).toInt());
    }

    if (parser.isSet(runFor)) {
        const QString sShots = parser.value(screenshots);
        QTimer::singleShot(parser.value(runFor).toInt(), &app, [sShots] {
            if (!sShots.isEmpty())
                SaveWindowScreenshots(sShots);
            QApplication::quit();
        });
    }

    const int nResult = app.exec();
    host.Shutdown();
    QDir(sImages).removeRecursively();
    return nResult;
}
