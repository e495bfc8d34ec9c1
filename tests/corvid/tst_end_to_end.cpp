// The whole road over loopback TCP: a target (the demo target as its own process, or a scripted
// socket that plays a target byte by byte) -> the console's connection -> the real subtool
// library loaded by the console host -> its device window and resource window.
//
// The plug-in is reached only as the console reaches it: through its interface tables, and
// through what its windows show (found by class name and action text, as a user finds them).
//
// Captures take the same road. A live session from the demo target is saved and opened again
// through the console's capture connection, into the plug-in linked in here so that its windows
// can be looked into: every frame of both swap chains gives the CSV it gave live, and the
// resource lists come back as received. Captures opened in the console itself, whole or damaged
// in the middle: what came before a fault is shown, the log and the target's state name the file
// and the byte offset, `gpucap samples` writes what "Save as CSV..." writes, and nothing leaks.

#include "capture_writer.h"
#include "corvid_host.h"
#include "csv_export.h"
#include "device_window.h"
#include "fake_host.h"
#include "frame_chunker.h"
#include "frame_generator.h"
#include "gpu_resource_widget.h"
#include "gpuprofiler_tool.h"
#include "profiler_test_support.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

// Frames in the window's history: one column of the bar table per frame.
int HistoryFrames(QWidget *pWindow)
{
    if (!pWindow)
        return -1;
    for (QTableView *pView : pWindow->findChildren<QTableView *>()) {
        if (pView->model())
            return pView->model()->columnCount();
    }
    return -1;
}

// The demo target as its own process, on a free port or a given one.
class CDemoTarget
{
public:
    bool Start(const QStringList &extraArgs, quint16 nPort = 0)
    {
        m_Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList args{"--port", QString::number(nPort), "--loopback", "--quiet"};
        m_Process.start(DEMO_TARGET_PATH, args + extraArgs);
        static const QRegularExpression listening(QStringLiteral("listening on port (\\d+)"));
        QByteArray output;
        while (m_Process.waitForReadyRead(10000)) {
            output += m_Process.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                m_nPort = quint16(match.captured(1).toUInt());
                return true;
            }
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
    quint16 m_nPort = 0;
};

// The sample tree's column by its header text, summed over its rows.
qulonglong SumOfColumn(QWidget *pWindow, const QString &sHeader)
{
    for (QTreeView *pView : pWindow->findChildren<QTreeView *>()) {
        QAbstractItemModel *pModel = pView->model();
        for (int nColumn = 0; pModel && nColumn < pModel->columnCount(); ++nColumn) {
            if (pModel->headerData(nColumn, Qt::Horizontal).toString() != sHeader)
                continue;
            qulonglong nSum = 0;
            for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
                nSum += pModel->index(nRow, nColumn).data().toULongLong();
            return nSum;
        }
    }
    return 0;
}

// One frame's messages as a target puts them on the link, with where each chunk starts.
struct FrameBytes
{
    QByteArray bytes;
    QList<int> chunkStarts;
};

FrameBytes MakeFrameBytes(CFrameGenerator &generator, SampleChunkForm form)
{
    // Small chunks, so a frame is many messages and a cut can fall between or inside them.
    CFrameChunker chunker(form, 4096);
    std::vector<TargetChunk> chunks;
    chunker.Split(generator.NextFrame(), chunks);
    FrameBytes frame;
    for (const TargetChunk &chunk : chunks) {
        frame.chunkStarts << int(frame.bytes.size());
        frame.bytes +=
            LinkMessage(chunk.nChunkId, QByteArray(reinterpret_cast<const char *>(chunk.payload.data()), qsizetype(chunk.payload.size())));
    }
    return frame;
}

QByteArray HeaderMessage(uint64 nSwapChain, uint32 nSamples)
{
    const GpuFrameHeader header = MakeFrameHeader(nSwapChain, "Main", nSamples);
    return LinkMessage(GPU_PROFILER_CHUNK_FRAME, QByteArray(reinterpret_cast<const char *>(&header), int(sizeof(header))));
}

// The rows of the resource window's two lists, fewer first.
QList<int> ResourceRows(QWidget *pResourceWindow)
{
    QList<int> rows;
    for (QTreeView *pView : pResourceWindow->findChildren<QTreeView *>())
        rows << (pView->model() ? pView->model()->rowCount() : -1);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Per swap chain, a digest of each frame's CSV as "Save as CSV..." writes it with the frame
// selected. A capture's window shows each swap chain in turn; a live window, which would empty
// its history on a pick, gives the frames it keeps of the others as they would be shown.
QList<QList<QByteArray>> FrameCsvs(CQCGPUProfilerDeviceWindow &window)
{
    QList<QList<QByteArray>> chains;
    GpuSampleArray samples;
    const CFrameIntake &intake = window.Intake();
    for (int32 c = 0; c < intake.SwapChainCount(); ++c) {
        if (intake.IsCapture())
            window.findChild<QComboBox *>()->setCurrentIndex(c);
        const FrameHistory &history = *intake.SwapChainHistory(c);
        QList<QByteArray> csvs;
        for (int32 p = 0; p < history.Count(); ++p) {
            const GpuFrame frame{history.EntryAt(p)->header, &samples};
            const bool bShown = intake.SwapChainId(c) == intake.SelectedSwapChain();
            if (bShown)
                window.SetSelectedFrame(p);
            else
                history.DecodeSamples(*history.EntryAt(p), &samples);
            csvs << QCryptographicHash::hash(BuildFrameCsvText(bShown ? window.ShownFrame() : &frame).toUtf8(), QCryptographicHash::Md5);
        }
        chains << csvs;
    }
    return chains;
}

// Answers the file dialog that is about to open as a user would: this file name, then Save.
void AnswerFileDialog(const QString &sPath)
{
    QTimer::singleShot(0, [sPath] {
        if (auto *pDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            pDialog->selectFile(sPath);
            QMetaObject::invokeMethod(pDialog, "accept");
        }
    });
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        // Nothing of a failed test may leak into the next one.
        for (QWidget *pWidget : QApplication::topLevelWidgets())
            QVERIFY2(!pWidget->isVisible(), qPrintable(pWidget->windowTitle()));
    }

    // The user's road: connect, open the profiler, watch frames arrive, ask for the resource
    // lists (meanwhile a second target breaks the link's limit and is closed alone), close the
    // window (which stops the stream), open it again. Then the game crashes
    // mid-stream (its frames are cut wherever the kill falls) and is started again: the console
    // shows it as lost, finds it again, and the same profiler window records its frames once
    // more. The new run's frames are past the old cap of 65,536 samples: they are assembled,
    // recorded and shown whole.
    void demoTargetStreamsToTheProfiler()
    {
        AllocationSnapshot before;
        // Large frames in small chunks: the kill all but surely falls inside a frame.
        auto pDemo = std::make_unique<CDemoTarget>();
        QVERIFY(pDemo->Start({"--fps", "100", "--samples", "2000", "--max-chunk", "2048", "--textures", "250", "--buffers", "400", "--name",
                              "Stream Test"}));
        const quint16 nPort = pDemo->Port();
        ScriptedTarget hostile; // a second target of the same console, from the middle on
        hostile.pHost = MakeHost();
        std::unique_ptr<CCorvidHost> &pHost = hostile.pHost;
        QVERIFY(pHost->SubTool());
        QStringList log;
        connect(pHost.get(), &CCorvidHost::LogMessage, this, [&](const QString &sLine) { log << sLine; });
        CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), nPort);
        QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }));
        QCOMPARE(pTarget->DisplayName(), QStringLiteral("Stream Test"));
        // Nothing streams before a window asks for it.
        Pump(200);
        QCOMPARE(pTarget->ChunksReceived(), quint64(1)); // the hello

        QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("Stream Test"));
        QVERIFY(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 10; }));
        QVERIFY(pWindow->findChild<QComboBox *>()->count() >= 1);

        Action(pWindow, QStringLiteral("GPU Resource List"))->trigger();
        QWidget *pResourceWindow = nullptr;
        QVERIFY(WaitFor([&] { return (pResourceWindow = TopLevel("CQGPUResourceWidget")) != nullptr; }));
        QVERIFY2(WaitFor([&] {
                     return ResourceRows(pResourceWindow) == QList<int>({250, 400});
                 }),
                 qPrintable(QDebug::toString(ResourceRows(pResourceWindow))));

        // A second target announces a chunk over the link's limit: that link is closed for good
        // with a message that says why; this target and its profiler window carry on.
        QVERIFY(hostile.Connect("Hostile", true));
        QByteArray header(int(CORVID_LINK_HEADER_SIZE), 0);
        WriteCorvidLinkHeader(header.data(), {GPU_PROFILER_CHUNK_DATA, 1, CORVID_LINK_MAX_PAYLOAD + 1});
        hostile.pSocket->write(header + QByteArray(4096, 'x')); // and the start of its payload
        QVERIFY(WaitFor([&] { return hostile.pTarget->GetState() == CORVID_CONNECTION_DISCONNECTED; }));
        const QString sWhy = QStringLiteral("the target announced a chunk of 67,108,865 bytes, over the limit of 64 MiB");
        QCOMPARE(hostile.pTarget->StatusText(), QStringLiteral("Closed: ") + sWhy);
        QCOMPARE(hostile.log.filter(QStringLiteral("Hostile: ") + sWhy + QStringLiteral("; link closed")).size(), 1);
        QCOMPARE(hostile.pTarget->ChunksDropped(), quint64(0));
        // Closed for good: no new attempt, and nothing else changed.
        Pump(400);
        QVERIFY(!hostile.server.hasPendingConnections());
        QVERIFY(!hostile.pTarget->IsLost());
        QCOMPARE(pHost->Targets().size(), 2);
        QCOMPARE(ProfilerWindow(QStringLiteral("Hostile")), hostile.pWindow);
        QCOMPARE(HistoryFrames(hostile.pWindow), 0);
        QCOMPARE(pTarget->GetState(), int32(CORVID_CONNECTION_READY));
        const int nFramesNow = HistoryFrames(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= nFramesNow + 3; }));
        // The user may try again; the console connects afresh.
        hostile.pTarget->Open(100);
        QVERIFY(WaitFor([&] { return hostile.server.hasPendingConnections(); }));

        // The user closes the profiler: the target is told and stops streaming.
        pWindow->close();
        Pump(300);
        const quint64 nChunksAfterClose = pTarget->ChunksReceived();
        Pump(300);
        QCOMPARE(pTarget->ChunksReceived(), nChunksAfterClose);
        QVERIFY(!ProfilerWindow(QStringLiteral("Stream Test")));

        // Opened again, it is a new window that streams again.
        pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("Stream Test"));
        QVERIFY(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 3; }));

        pDemo->Kill();
        QVERIFY(WaitFor([&] { return pTarget->IsLost(); }));
        QVERIFY(pTarget->GetState() != CORVID_CONNECTION_READY);
        QVERIFY(!pHost->ToolAction()->isEnabled());
        QVERIFY(pTarget->StatusText().startsWith(QStringLiteral("Lost")));
        QVERIFY2(log.filter(QStringLiteral("Stream Test: target lost")).size() == 1, qPrintable(log.join(QLatin1Char('\n'))));
        Pump(300);
        const int nFramesWhileLost = HistoryFrames(pWindow);
        QVERIFY(nFramesWhileLost >= 3);

        pDemo = std::make_unique<CDemoTarget>();
        QVERIFY(pDemo->Start({"--fps", "4", "--samples", "80000", "--name", "Stream Test"}, nPort));
        QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }));
        QVERIFY(!pTarget->IsLost());
        QVERIFY(pHost->ToolAction()->isEnabled());
        // The window told the new run that it is open; frames flow into the same window.
        QCOMPARE(ProfilerWindow(QStringLiteral("Stream Test")), pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= nFramesWhileLost + 2; }, 60000));
        // Paused and flat, the tree lists every sample of the newest frame (80,000, give or
        // take the demo's tenth).
        Action(pWindow, QStringLiteral("Pause"))->trigger();
        Action(pWindow, QStringLiteral("Hierarchy"))->trigger();
        QTreeView *pTree = pWindow->findChild<QTreeView *>();
        QVERIFY(WaitFor([&] { return pTree->model() != nullptr; }));
        QVERIFY2(pTree->model()->rowCount() >= 72000, qPrintable(QString::number(pTree->model()->rowCount())));
        QVERIFY(StatusLine(pWindow).isEmpty());
        ShutDown(pHost);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A target that gets its frames wrong in three ways, many times over: the window's status
    // line counts what was dropped and says why, the log says it once per kind, and the next
    // good frame is recorded as usual. Then it invents a swap chain for every frame: the window
    // lists 64 and says so once.
    void malformedChunksAndSwapChainChurn()
    {
        AllocationSnapshot before;
        LogCollector log("corvid.tool.gpuprofiler");
        {
            ScriptedTarget target;
            QVERIFY(target.Connect("Scripted", true));
            QByteArray bytes;
            for (int i = 0; i < 20; ++i)
                bytes += HeaderMessage(1, 5) + LinkMessage(GPU_PROFILER_CHUNK_DATA, QByteArray(409, 'x'));
            QByteArray broken(4, 0);
            StoreLittleEndian32(broken.data(), 2 * 408); // packed, announcing two records
            broken += QByteArray(20, char(0xFF));
            for (int i = 0; i < 20; ++i)
                bytes += HeaderMessage(1, 5) + LinkMessage(GPU_PROFILER_CHUNK_COMPRESSED, broken);
            // Too big: refused at the header; its samples are no news.
            for (int i = 0; i < 3; ++i)
                bytes += HeaderMessage(1, 700000) + LinkMessage(GPU_PROFILER_CHUNK_DATA, QByteArray(408, 'y'));
            target.Send(bytes, 200);
            FrameGeneratorOptions options;
            options.nSampleCount = 50;
            CFrameGenerator generator(3, options);
            target.Send(MakeFrameBytes(generator, SampleChunkForm::Mixed).bytes, 200);
            QVERIFY(WaitFor([&] { return HistoryFrames(target.pWindow) == 1; }));

            QCOMPARE(StatusLine(target.pWindow),
                     QStringLiteral("43 malformed chunks dropped; last: a frame of 700,000 samples, over the limit of 657,930 "
                                    "samples (256 MiB)"));
            for (uint64 nChain = 2; nChain <= 80; ++nChain) {
                target.Send(HeaderMessage(nChain, 0), 0);
                // Each frame must reach a timer tick of its own to be looked at.
                const int nBefore = target.pWindow->findChild<QComboBox *>()->count();
                WaitFor([&] { return target.pWindow->findChild<QComboBox *>()->count() > nBefore || nBefore == 64; }, 2000);
                if (nBefore == 64)
                    Pump(20);
            }
            QCOMPARE(target.pWindow->findChild<QComboBox *>()->count(), 64);
            QCOMPARE(log.Lines(),
                     QStringList({"Scripted: dropped a sample chunk of 409 bytes, not a whole number of 408-byte records",
                                  "Scripted: dropped a packed sample chunk of 24 bytes that does not unpack to its 816 bytes",
                                  "Scripted: dropped a frame of 700,000 samples, over the limit of 657,930 samples (256 MiB)",
                                  "Scripted: more than 64 swap chains; frames of further swap chains are dropped"}));
            ShutDown(target.pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A target that dies at a chosen byte of a frame: nothing of that frame is recorded, and
    // the console and the profiler carry on with the target's next run.
    void targetDiesInsideAFrame_data()
    {
        // clang-format off
        QTest::addColumn<int>("form");
        QTest::addColumn<int>("chunk"); // the cut falls this many bytes into this chunk (-1: the last)
        QTest::addColumn<int>("bytes");
        const int nPlain = int(SampleChunkForm::Plain), nPacked = int(SampleChunkForm::Packed);
        QTest::newRow("inside the frame chunk's link header") << nPlain << 0 << 5;
        QTest::newRow("inside the frame header") << nPlain << 0 << 100;
        QTest::newRow("after the frame header") << nPlain << 1 << 0;
        QTest::newRow("between sample chunks") << nPlain << 3 << 0;
        QTest::newRow("inside a plain sample chunk") << nPlain << 2 << 1000;
        QTest::newRow("inside a packed sample chunk") << nPacked << 2 << 200;
        QTest::newRow("before the last sample chunk") << nPacked << -1 << 0;
        // clang-format on
    }

    void targetDiesInsideAFrame()
    {
        QFETCH(int, form);
        QFETCH(int, chunk);
        QFETCH(int, bytes);
        AllocationSnapshot before;
        {
            FrameGeneratorOptions options;
            options.nSampleCount = 300;
            options.flGpuFrameTime = 0.012;
            CFrameGenerator generator(7, options);
            ScriptedTarget target;
            QVERIFY(target.Connect("Scripted", true));
            // Whole frames, each with time for the window to record it before the next.
            for (int i = 0; i < 2; ++i)
                target.Send(MakeFrameBytes(generator, SampleChunkForm(form)).bytes, 60);
            QVERIFY(WaitFor([&] { return HistoryFrames(target.pWindow) == 2; }));

            const FrameBytes cutFrame = MakeFrameBytes(generator, SampleChunkForm(form));
            QVERIFY(cutFrame.chunkStarts.size() > 4);
            const int nCut = (chunk < 0 ? cutFrame.chunkStarts.last() : cutFrame.chunkStarts[chunk]) + bytes;
            QVERIFY(nCut > 0 && nCut < cutFrame.bytes.size());
            target.Send(cutFrame.bytes.left(nCut), 50);
            target.pSocket->abort();
            QVERIFY(WaitFor([&] { return target.pTarget->IsLost(); }));
            Pump(100);
            QCOMPARE(HistoryFrames(target.pWindow), 2);

            // The next run of the target: its frames are recorded whole, after the old ones.
            QVERIFY(target.Accept("Scripted"));
            QVERIFY(WaitFor([&] { return target.pTarget->GetState() == CORVID_CONNECTION_READY; }));
            for (int i = 0; i < 2; ++i)
                target.Send(MakeFrameBytes(generator, SampleChunkForm(form)).bytes, 60);
            QVERIFY(WaitFor([&] { return HistoryFrames(target.pWindow) == 4; }));
            Pump(100);
            QCOMPARE(HistoryFrames(target.pWindow), 4);
            ShutDown(target.pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A real Vulkan application through the layer: vkcube's frames reach the profiler window
    // with its swap chain and its draw of the cube's 36 vertices.
    void vkcubeThroughTheVulkanLayer()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("vkcube")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
            QSKIP("vkcube (vulkan-tools) or xvfb-run (xvfb) is not installed; scripts/install-deps.sh installs both");
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#  if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
        QSKIP("the sanitizer build's layer needs the sanitizer runtime, which vkcube does not load; the release build runs this");
#  endif
#endif
        AllocationSnapshot before;
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 nPort = probe.serverPort();
        probe.close();
        // vkcube (from vulkan-tools) under its own Xvfb, with the profiler's Vulkan layer, on
        // lavapipe. xvfb-run, Xvfb and vkcube run in a process group of their own, ended whole.
        QProcess vkcube;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VK_LAYER_PATH", GPUPROFILER_LAYER_DIR);
        environment.insert("VK_INSTANCE_LAYERS", "VK_LAYER_CORVID_gpuprofiler");
        environment.insert("VK_ICD_FILENAMES", "/usr/share/vulkan/icd.d/lvp_icd.x86_64.json");
        environment.insert("GPUPROFILER_PORT", QString::number(nPort));
        vkcube.setProcessEnvironment(environment);
        vkcube.setChildProcessModifier([] { setpgid(0, 0); });
        vkcube.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        vkcube.start("xvfb-run", {"-a", "-s", "-screen 0 640x480x24", "vkcube", "--width", "256", "--height", "256"});
        QVERIFY(vkcube.waitForStarted(10000));
        const auto stop = qScopeGuard([&] {
            if (vkcube.state() == QProcess::NotRunning)
                return;
            ::kill(-pid_t(vkcube.processId()), SIGTERM);
            if (!vkcube.waitForFinished(5000))
                ::kill(-pid_t(vkcube.processId()), SIGKILL);
            vkcube.waitForFinished(5000);
        });
        auto pHost = MakeHost();
        CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), nPort);
        QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }, 30000));
        QCOMPARE(pTarget->DisplayName(), QStringLiteral("vkcube"));
        QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("vkcube"));
        QVERIFY(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 10; }));
        QComboBox *pSwapChains = pWindow->findChild<QComboBox *>();
        QVERIFY(pSwapChains && pSwapChains->count() >= 1);
        const QString sChain = pSwapChains->itemText(0);
        QVERIFY2(sChain.contains(QStringLiteral("Swapchain 1")), qPrintable(sChain));
        // Paused, the sample tree shows the newest frame.
        Action(pWindow, QStringLiteral("Pause"))->trigger();
        QVERIFY(WaitFor([&] { return SumOfColumn(pWindow, QStringLiteral("Draws")) >= 1; }));
        const qulonglong nDraws = SumOfColumn(pWindow, QStringLiteral("Draws"));
        QCOMPARE(SumOfColumn(pWindow, QStringLiteral("Verts")) / nDraws, qulonglong(36));
        pWindow->close();
        ShutDown(pHost);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void liveSessionComesBackAsItWasShown()
    {
        AllocationSnapshot before;
        CDemoTarget demo;
        QVERIFY(demo.Start({"--fps", "1000", "--samples", "100", "--textures", "30", "--buffers", "40"}));
        CFakeCorvidHost host;
        QAction action;
        CGPUProfilerTool &tool = CGPUProfilerTool::Get();
        tool.SetHost(&host, &action);
        QTemporaryDir dir;
        const QString sPath = dir.filePath("session.gpucap");
        {
            CCorvidConnection live(QStringLiteral("127.0.0.1"), demo.Port());
            CCaptureConnection capture(sPath);
            // What the console does for a target the user opens the profiler for.
            const auto open = [&](CCorvidTarget &target) -> CQCGPUProfilerDeviceWindow * {
                tool.RegisterDataTypes(&target);
                host.current = &target;
                target.Open(100);
                if (!WaitFor([&] { return target.GetState() == CORVID_CONNECTION_READY; }))
                    return nullptr;
                tool.ShowForCurrentConnection();
                return tool.FindRecordByConnection(&target)->window;
            };
            CQCGPUProfilerDeviceWindow *pLive = open(live);
            QVERIFY(pLive);
            pLive->ShowGPUResourceWindow();
            // Ticks as often as frames come, so that both swap chains fill up in seconds.
            QVERIFY(WaitFor(
                [&] {
                    pLive->TimerCallback();
                    const FrameHistory *pOther = pLive->Intake().SwapChainHistory(1);
                    return pLive->Intake().Shown().Count() == 499 && pOther && pOther->Count() == 499 &&
                        !pLive->Intake().LastBufferList().IsEmpty();
                },
                60000));
            Action(pLive, "Pause")->setChecked(true);
            pLive->TimerCallback();
            AnswerFileDialog(sPath);
            Action(pLive, "Save Capture...")->trigger();

            CQCGPUProfilerDeviceWindow *pCapture = open(capture);
            QVERIFY(pCapture && pCapture->Intake().IsCapture());
            QVERIFY(WaitFor([&] { return capture.FramesPlayed() == 998; }));
            pCapture->TimerCallback();
            QVERIFY(Action(pCapture, "Pause")->isChecked());
            QCOMPARE(pCapture->SelectedFrame(), pCapture->Intake().Shown().EntryAt(498));
            QCOMPARE(FrameCsvs(*pCapture), FrameCsvs(*pLive));
            const auto bytes = [](const GrowableArray<uint8> &list) { return Bytes(list.Base(), list.Count()); };
            QCOMPARE(bytes(pCapture->Intake().LastTextureList()), bytes(pLive->Intake().LastTextureList()));
            QCOMPARE(bytes(pCapture->Intake().LastBufferList()), bytes(pLive->Intake().LastBufferList()));
            // The capture's resource window shows them without a target to ask.
            TopLevel("CQGPUResourceWidget")->hide(); // the live window's
            pCapture->ShowGPUResourceWindow();
            QCOMPARE(ResourceRows(TopLevel("CQGPUResourceWidget")), QList<int>({30, 40}));
            tool.OnConnectionClosed(&capture);
            tool.OnConnectionClosed(&live);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void captureOpenedInTheConsole_data()
    {
        // clang-format off
        QTest::addColumn<int>("damage"); // 0 none, 1 cut inside frame 10's header, 2 frame 10 claims 4 GiB
        QTest::addColumn<int>("frame");  // exported by "Save as CSV..." and by gpucap samples
        QTest::newRow("whole, a frame") << 0 << 3;
        QTest::newRow("whole, a frame without samples") << 0 << 7;
        QTest::newRow("whole, the newest frame") << 0 << 19;
        QTest::newRow("cut short inside a chunk") << 1 << 9;
        QTest::newRow("a chunk over the size limit") << 2 << 0;
        // clang-format on
    }

    void captureOpenedInTheConsole()
    {
        QFETCH(int, damage);
        QFETCH(int, frame);
        QTemporaryDir dir;
        const QString sPath = dir.filePath("run.gpucap");
        // 20 frames of 50 samples, the 8th without any; where the 11th frame's header chunk starts.
        FrameGeneratorOptions options;
        options.nSampleCount = 50;
        CFrameGenerator generator(3, options);
        CCaptureWriter writer;
        writer.Open(sPath.toStdString(), CaptureInfo{"Test Game", CaptureTimeNow(), "test", kCaptureFormatVersion});
        quint64 nOffset = 0;
        for (int i = 0; i < 20; ++i) {
            nOffset = i == 10 ? writer.BytesWritten() : nOffset;
            TargetFrame written = generator.NextFrame();
            if (i == 7)
                written.samples.clear();
            written.SyncSampleCount();
            writer.AppendFrame(written.header, written.samples.data(), written.samples.size());
        }
        writer.Close();
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (damage == 1)
            file.resize(qint64(nOffset) + 100);
        if (damage == 2 && file.seek(qint64(nOffset) + 8))
            file.write(QByteArray::fromHex("FFFFFF00"));
        file.close();

        AllocationSnapshot before;
        auto pHost = MakeHost();
        QStringList log;
        connect(pHost.get(), &CCorvidHost::LogMessage, this, [&](const QString &sLine) { log << sLine; });
        CCaptureConnection *pCapture = pHost->OpenCapture(sPath);
        QWidget *pWindow = ProfilerWindow(QStringLiteral("Test Game"));
        QVERIFY(pWindow);
        QTableView *pHistory = nullptr;
        for (QTableView *pView : pWindow->findChildren<QTableView *>())
            pHistory = pView->itemDelegateForRow(0) ? pView : pHistory; // the bars' table
        const int nShown = damage ? 10 : 20;
        QVERIFY(WaitFor([&] { return pHistory->model()->columnCount() == nShown && Action(pWindow, "Pause")->isChecked(); }));
        const QString sFault = QStringLiteral("%1: the file ends inside a GPRF chunk (188 bytes announced, 88 there) at byte %2")
                                   .arg(sPath, QString::number(nOffset));
        const QString sExpected = damage == 0 ? QStringLiteral("Capture: 20 frames")
            : damage == 1                     ? QStringLiteral("Capture: 10 frames, damaged: ") + sFault
                          : QStringLiteral("Capture: 10 frames, damaged: %1: a GPRF chunk of 4294967040 bytes, over the "
                                           "limit of 64 MiB at byte %2")
                                .arg(sPath, QString::number(nOffset));
        QCOMPARE(pCapture->StatusText(), sExpected);
        QVERIFY2(log.contains(sExpected.mid(sExpected.indexOf(sPath))) || !damage, qPrintable(log.join('\n')));

        pHistory->selectionModel()->setCurrentIndex(pHistory->model()->index(0, frame), QItemSelectionModel::ClearAndSelect);
        AnswerFileDialog(dir.filePath("window.csv"));
        Action(pWindow, "Save as CSV...")->trigger();
        QProcess gpucap;
        gpucap.start(GPUCAP_PATH, {"samples", sPath, "--frame", QString::number(frame), "-o", dir.filePath("gpucap.csv")});
        QVERIFY(gpucap.waitForFinished(30000) && gpucap.exitCode() == 0);
        QFile window(dir.filePath("window.csv")), tool(dir.filePath("gpucap.csv"));
        QVERIFY(window.open(QIODevice::ReadOnly) && tool.open(QIODevice::ReadOnly));
        const QByteArray csv = window.readAll();
        QCOMPARE(csv.count('\n'), frame == 7 ? 2 : 51); // the header line, then the samples (or the placeholder)
        QCOMPARE(csv, tool.readAll());
        ShutDown(pHost);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }
};

GPUPROF_TEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
