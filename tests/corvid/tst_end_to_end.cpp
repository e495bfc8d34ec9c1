// The whole road over loopback TCP: a target (the demo target as its own process, or a scripted
// socket that plays a target byte by byte) -> the console's connection -> the real subtool
// library loaded by the console host -> its device window and resource window.
//
// The plug-in is reached only as the console reaches it: through its interface tables, and
// through what its windows show (found by class name and action text, as a user finds them).

#include "corvid/corvid_host.h"
#include "gpuprofiler/plugin/profiler_protocol.h"
#include "target/frame_chunker.h"
#include "target/frame_generator.h"
#include "tests/corvid/profiler_test_support.h"
#include "tests/support/test_support.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QStandardPaths>
#include <QTreeView>

#include <algorithm>
#include <csignal>
#include <unistd.h>
#include <functional>
#include <memory>

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

// vkcube (from vulkan-tools) under its own Xvfb, with the profiler's Vulkan layer, on lavapipe.
// xvfb-run, Xvfb and vkcube run in a process group of their own, which the test ends whole.
class CVkcube
{
public:
    bool Start(quint16 nPort)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VK_LAYER_PATH"), QStringLiteral(GPUPROFILER_LAYER_DIR));
        environment.insert(QStringLiteral("VK_INSTANCE_LAYERS"), QStringLiteral("VK_LAYER_CORVID_gpuprofiler"));
        environment.insert(QStringLiteral("VK_ICD_FILENAMES"), QStringLiteral("/usr/share/vulkan/icd.d/lvp_icd.x86_64.json"));
        environment.insert(QStringLiteral("GPUPROFILER_PORT"), QString::number(nPort));
        m_Process.setProcessEnvironment(environment);
        m_Process.setChildProcessModifier([] { setpgid(0, 0); });
        m_Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_Process.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 640x480x24"),
                                                     QStringLiteral("vkcube"), QStringLiteral("--width"), QStringLiteral("256"),
                                                     QStringLiteral("--height"), QStringLiteral("256")});
        return m_Process.waitForStarted(10000);
    }
    ~CVkcube()
    {
        if (m_Process.state() != QProcess::NotRunning) {
            ::kill(-pid_t(m_Process.processId()), SIGTERM);
            if (!m_Process.waitForFinished(5000))
                ::kill(-pid_t(m_Process.processId()), SIGKILL);
            m_Process.waitForFinished(5000);
        }
    }

private:
    QProcess m_Process;
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
    QList<uint32> chunkIds;
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
        frame.chunkIds << chunk.nChunkId;
        frame.bytes += LinkMessage(chunk.nChunkId, QByteArray(reinterpret_cast<const char *>(chunk.payload.data()), qsizetype(chunk.payload.size())));
    }
    return frame;
}

// The text of a window's status line; empty without one.
QString StatusLine(QWidget *pWindow)
{
    const QStatusBar *pStatus = pWindow->findChild<QStatusBar *>();
    const QLabel *pLabel = pStatus ? pStatus->findChild<QLabel *>() : nullptr;
    return pLabel ? pLabel->text() : QString();
}

// A scripted target on a local server: the console connects, the script says hello, and the
// profiler is opened for it.
struct ScriptedTarget
{
    QTcpServer server;
    std::unique_ptr<CCorvidHost> pHost;
    CCorvidConnection *pTarget = nullptr;
    QTcpSocket *pSocket = nullptr;
    QWidget *pWindow = nullptr;

    bool Open(const QByteArray &name)
    {
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        pHost = MakeHost();
        pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), server.serverPort());
        if (!WaitFor([&] { return server.hasPendingConnections(); }))
            return false;
        pSocket = server.nextPendingConnection();
        pSocket->write(Hello(name));
        pWindow = OpenProfiler(*pHost, pTarget, QString::fromLatin1(name));
        return pWindow != nullptr;
    }
    // Sends and lets the console and the window's timer take it.
    void Send(const QByteArray &bytes, int nPumpMs = 25)
    {
        pSocket->write(bytes);
        pSocket->flush();
        Pump(nPumpMs);
    }
};

QByteArray HeaderMessage(uint64 nSwapChain, uint32 nSamples)
{
    const GpuFrameHeader header = MakeFrameHeader(nSwapChain, "Main", nSamples);
    return LinkMessage(GPU_PROFILER_CHUNK_FRAME, QByteArray(reinterpret_cast<const char *>(&header), int(sizeof(header))));
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
    // lists, close the window (which stops the stream), quit.
    void demoTargetStreamsToTheProfiler()
    {
        AllocationSnapshot before;
        CDemoTarget demo;
        QVERIFY(demo.Start({QStringLiteral("--fps"), QStringLiteral("120"), QStringLiteral("--samples"), QStringLiteral("300"),
                            QStringLiteral("--textures"), QStringLiteral("250"), QStringLiteral("--buffers"),
                            QStringLiteral("400"), QStringLiteral("--name"), QStringLiteral("Stream Test")}));
        auto pHost = MakeHost();
        QVERIFY(pHost->SubTool());
        CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), demo.Port());
        QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }));
        QCOMPARE(pTarget->DisplayName(), QStringLiteral("Stream Test"));
        // Nothing streams before a window asks for it.
        Pump(200);
        QCOMPARE(pTarget->ChunksReceived(), quint64(1)); // the hello

        QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("Stream Test"));
        QVERIFY(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 10; }));
        QVERIFY(pWindow->findChild<QComboBox *>()->count() >= 1);

        QAction *pResources = Action(pWindow, QStringLiteral("GPU Resource List"));
        QVERIFY(pResources);
        pResources->trigger();
        QWidget *pResourceWindow = nullptr;
        QVERIFY(WaitFor([&] { return (pResourceWindow = TopLevel("CQGPUResourceWidget")) != nullptr; }));
        auto rowCounts = [&] {
            QList<int> counts;
            for (QTreeView *pView : pResourceWindow->findChildren<QTreeView *>())
                counts << (pView->model() ? pView->model()->rowCount() : -1);
            std::sort(counts.begin(), counts.end());
            return counts;
        };
        QVERIFY2(WaitFor([&] { return rowCounts() == QList<int>({250, 400}); }), qPrintable(QDebug::toString(rowCounts())));

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
        ShutDown(pHost);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // Frames past the old cap of 65,536 samples, from the demo target as its own process: they
    // are assembled, recorded and shown whole.
    void bigFramesTravelWhole()
    {
        AllocationSnapshot before;
        CDemoTarget demo;
        QVERIFY(demo.Start({QStringLiteral("--fps"), QStringLiteral("4"), QStringLiteral("--samples"), QStringLiteral("80000"),
                            QStringLiteral("--name"), QStringLiteral("Big Frames")}));
        auto pHost = MakeHost();
        CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), demo.Port());
        QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("Big Frames"));
        QVERIFY(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 2; }, 60000));
        // Paused and flat, the tree lists every sample of the selected frame (80,000, give or
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
    // good frame is recorded as usual.
    void malformedChunksAreCountedAndExplained()
    {
        AllocationSnapshot before;
        LogCollector log("corvid.tool.gpuprofiler");
        {
            ScriptedTarget target;
            QVERIFY(target.Open("Scripted"));
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
            QCOMPARE(log.Lines(),
                     QStringList({"Scripted: dropped a sample chunk of 409 bytes, not a whole number of 408-byte records",
                                  "Scripted: dropped a packed sample chunk of 24 bytes that does not unpack to its 816 bytes",
                                  "Scripted: dropped a frame of 700,000 samples, over the limit of 657,930 samples (256 MiB)"}));
            ShutDown(target.pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A target that invents a swap chain for every frame: the window lists 64 and says so once.
    void swapChainChurnIsBounded()
    {
        AllocationSnapshot before;
        LogCollector log("corvid.tool.gpuprofiler");
        {
            ScriptedTarget target;
            QVERIFY(target.Open("Churn"));
            for (uint64 nChain = 1; nChain <= 80; ++nChain) {
                target.Send(HeaderMessage(nChain, 0), 0);
                // Each frame must reach a timer tick of its own to be looked at.
                const int nBefore = target.pWindow->findChild<QComboBox *>()->count();
                WaitFor([&] { return target.pWindow->findChild<QComboBox *>()->count() > nBefore || nBefore == 64; }, 2000);
                if (nBefore == 64)
                    Pump(20);
            }
            QCOMPARE(target.pWindow->findChild<QComboBox *>()->count(), 64);
            QCOMPARE(log.Lines(), QStringList({"Churn: more than 64 swap chains; frames of further swap chains are dropped"}));
            ShutDown(target.pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // The game crashes mid-stream (its frames are cut wherever the kill falls), then is
    // started again: the console shows it as lost, finds it again, and the same profiler window
    // records its frames once more.
    void killedTargetIsLostAndFoundAgain()
    {
        AllocationSnapshot before;
        // Large frames in small chunks: the kill all but surely falls inside a frame.
        const QStringList args = {QStringLiteral("--fps"), QStringLiteral("100"), QStringLiteral("--samples"),
                                  QStringLiteral("2000"), QStringLiteral("--max-chunk"), QStringLiteral("2048"),
                                  QStringLiteral("--name"), QStringLiteral("Crashy")};
        auto pDemo = std::make_unique<CDemoTarget>();
        QVERIFY(pDemo->Start(args));
        const quint16 nPort = pDemo->Port();
        auto pHost = MakeHost();
        QStringList log;
        connect(pHost.get(), &CCorvidHost::LogMessage, this, [&](const QString &sLine) { log << sLine; });
        CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), nPort);
        QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("Crashy"));
        QVERIFY(pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 3; }));

        pDemo->Kill();
        QVERIFY(WaitFor([&] { return pTarget->IsLost(); }));
        QVERIFY(pTarget->GetState() != CORVID_CONNECTION_READY);
        QVERIFY(!pHost->ToolAction()->isEnabled());
        QVERIFY(pTarget->StatusText().startsWith(QStringLiteral("Lost")));
        QVERIFY2(log.filter(QStringLiteral("Crashy: target lost")).size() == 1, qPrintable(log.join(QLatin1Char('\n'))));
        Pump(300);
        const int nFramesWhileLost = HistoryFrames(pWindow);
        QVERIFY(nFramesWhileLost >= 3);

        pDemo = std::make_unique<CDemoTarget>();
        QVERIFY(pDemo->Start(args, nPort));
        QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }));
        QVERIFY(!pTarget->IsLost());
        QVERIFY(pHost->ToolAction()->isEnabled());
        // The window told the new run that it is open; frames flow into the same window.
        QCOMPARE(ProfilerWindow(QStringLiteral("Crashy")), pWindow);
        QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= nFramesWhileLost + 3; }));
        ShutDown(pHost);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A target that dies at a chosen byte of a frame: nothing of that frame is recorded, and
    // the console and the profiler carry on with the target's next run.
    void targetDiesInsideAFrame_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("cut");
        const int nPlain = int(SampleChunkForm::Plain), nPacked = int(SampleChunkForm::Packed);
        QTest::newRow("inside the frame chunk's link header") << nPlain << "header+5";
        QTest::newRow("inside the frame header") << nPlain << "header+100";
        QTest::newRow("after the frame header") << nPlain << "chunk1";
        QTest::newRow("between sample chunks") << nPlain << "chunk3";
        QTest::newRow("inside a plain sample chunk") << nPlain << "chunk2+1000";
        QTest::newRow("inside a packed sample chunk") << nPacked << "chunk2+200";
        QTest::newRow("before the last sample chunk") << nPacked << "last";
    }

    void targetDiesInsideAFrame()
    {
        QFETCH(int, form);
        QFETCH(QString, cut);
        AllocationSnapshot before;
        {
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost));
            auto pHost = MakeHost();
            CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), server.serverPort());
            FrameGeneratorOptions options;
            options.nSampleCount = 300;
            options.flGpuFrameTime = 0.012;
            CFrameGenerator generator(7, options);

            // Accepts the console's next connection and says hello.
            auto accept = [&]() -> QTcpSocket * {
                if (!WaitFor([&] { return server.hasPendingConnections(); }))
                    return nullptr;
                QTcpSocket *pSocket = server.nextPendingConnection();
                pSocket->write(Hello("Scripted"));
                return pSocket;
            };
            // One whole frame, and time for the window to record it before the next.
            auto sendFrame = [&](QTcpSocket *pSocket) {
                pSocket->write(MakeFrameBytes(generator, SampleChunkForm(form)).bytes);
                Pump(60);
            };

            QTcpSocket *pSocket = accept();
            QVERIFY(pSocket);
            QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("Scripted"));
            QVERIFY(pWindow);
            sendFrame(pSocket);
            sendFrame(pSocket);
            QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) == 2; }));

            const FrameBytes cutFrame = MakeFrameBytes(generator, SampleChunkForm(form));
            QVERIFY(cutFrame.chunkStarts.size() > 4);
            const QStringList parts = cut.split(QLatin1Char('+'));
            int nCut = 0;
            if (parts[0] == QLatin1String("header"))
                nCut = 0;
            else if (parts[0] == QLatin1String("last"))
                nCut = cutFrame.chunkStarts.last();
            else
                nCut = cutFrame.chunkStarts[parts[0].mid(5).toInt()];
            nCut += parts.size() > 1 ? parts[1].toInt() : 0;
            QVERIFY(nCut > 0 && nCut < cutFrame.bytes.size());
            pSocket->write(cutFrame.bytes.left(nCut));
            pSocket->flush();
            Pump(50);
            pSocket->abort();
            QVERIFY(WaitFor([&] { return pTarget->IsLost(); }));
            Pump(100);
            QCOMPARE(HistoryFrames(pWindow), 2);

            // The next run of the target: its frames are recorded whole, after the old ones.
            pSocket = accept();
            QVERIFY(pSocket);
            QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }));
            sendFrame(pSocket);
            sendFrame(pSocket);
            QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) == 4; }));
            Pump(100);
            QCOMPARE(HistoryFrames(pWindow), 4);
            ShutDown(pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A target announces a chunk over the link's limit: that link is closed for good with a
    // message that says why; the other target and its profiler window carry on.
    void oversizedChunkClosesOnlyItsLink()
    {
        AllocationSnapshot before;
        {
            CDemoTarget demo;
            QVERIFY(demo.Start({QStringLiteral("--fps"), QStringLiteral("120"), QStringLiteral("--samples"),
                                QStringLiteral("200"), QStringLiteral("--name"), QStringLiteral("Healthy")}));
            QTcpServer hostileServer;
            QVERIFY(hostileServer.listen(QHostAddress::LocalHost));

            auto pHost = MakeHost();
            QStringList log;
            connect(pHost.get(), &CCorvidHost::LogMessage, this, [&](const QString &sLine) { log << sLine; });
            CCorvidConnection *pHealthy = pHost->AddTarget(QStringLiteral("127.0.0.1"), demo.Port());
            QWidget *pHealthyWindow = OpenProfiler(*pHost, pHealthy, QStringLiteral("Healthy"));
            QVERIFY(pHealthyWindow);

            CCorvidConnection *pHostile = pHost->AddTarget(QStringLiteral("127.0.0.1"), hostileServer.serverPort());
            QVERIFY(WaitFor([&] { return hostileServer.hasPendingConnections(); }));
            QTcpSocket *pSocket = hostileServer.nextPendingConnection();
            pSocket->write(Hello("Hostile"));
            QWidget *pHostileWindow = OpenProfiler(*pHost, pHostile, QStringLiteral("Hostile"));
            QVERIFY(pHostileWindow);
            QVERIFY(WaitFor([&] { return HistoryFrames(pHealthyWindow) >= 3; }));

            // A header announcing one byte over the limit, and the start of its payload.
            QByteArray header(int(CORVID_LINK_HEADER_SIZE), 0);
            WriteCorvidLinkHeader(header.data(), {GPU_PROFILER_CHUNK_DATA, 1, CORVID_LINK_MAX_PAYLOAD + 1});
            pSocket->write(header + QByteArray(4096, 'x'));
            QVERIFY(WaitFor([&] { return pHostile->GetState() == CORVID_CONNECTION_DISCONNECTED; }));

            const QString sWhy = QStringLiteral("the target announced a chunk of 67,108,865 bytes, over the limit of 64 MiB");
            QCOMPARE(pHostile->StatusText(), QStringLiteral("Closed: ") + sWhy);
            QCOMPARE(log.filter(QStringLiteral("Hostile: ") + sWhy + QStringLiteral("; link closed")).size(), 1);
            QCOMPARE(pHostile->ChunksDropped(), quint64(0));
            // Closed for good: no new attempt, and nothing else changed.
            Pump(400);
            QVERIFY(!hostileServer.hasPendingConnections());
            QVERIFY(!pHostile->IsLost());
            QCOMPARE(pHost->Targets().size(), 2);
            QCOMPARE(ProfilerWindow(QStringLiteral("Hostile")), pHostileWindow);
            QCOMPARE(HistoryFrames(pHostileWindow), 0);
            QCOMPARE(pHealthy->GetState(), int32(CORVID_CONNECTION_READY));
            const int nHealthyFrames = HistoryFrames(pHealthyWindow);
            QVERIFY(WaitFor([&] { return HistoryFrames(pHealthyWindow) >= nHealthyFrames + 3; }));

            // The user may try again; the console connects afresh.
            pHostile->Open(100);
            QVERIFY(WaitFor([&] { return hostileServer.hasPendingConnections(); }));
            ShutDown(pHost);
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
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            const quint16 nPort = probe.serverPort();
            probe.close();
            CVkcube vkcube;
            QVERIFY(vkcube.Start(nPort));
            auto pHost = MakeHost();
            CCorvidConnection *pTarget = pHost->AddTarget(QStringLiteral("127.0.0.1"), nPort);
            QVERIFY(WaitFor([&] { return pTarget->GetState() == CORVID_CONNECTION_READY; }, 30000));
            QCOMPARE(pTarget->DisplayName(), QStringLiteral("vkcube"));
            QWidget *pWindow = OpenProfiler(*pHost, pTarget, QStringLiteral("vkcube"));
            QVERIFY(pWindow);
            QVERIFY(WaitFor([&] { return HistoryFrames(pWindow) >= 10; }));
            QComboBox *pSwapChains = pWindow->findChild<QComboBox *>();
            QVERIFY(pSwapChains && pSwapChains->count() >= 1);
            QVERIFY2(pSwapChains->itemText(0).contains(QStringLiteral("Swapchain 1")), qPrintable(pSwapChains->itemText(0)));
            // Paused, the sample tree shows the newest frame.
            QAction *pPause = Action(pWindow, QStringLiteral("Pause"));
            QVERIFY(pPause);
            pPause->trigger();
            QVERIFY(WaitFor([&] { return SumOfColumn(pWindow, QStringLiteral("Draws")) >= 1; }));
            QCOMPARE(SumOfColumn(pWindow, QStringLiteral("Verts")) / SumOfColumn(pWindow, QStringLiteral("Draws")), qulonglong(36));
            pWindow->close();
            ShutDown(pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }
};

GPUPROF_TEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
