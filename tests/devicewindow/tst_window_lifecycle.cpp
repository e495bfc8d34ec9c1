// Windows as the subtool makes and ends them, seen from a fake host: the commands that reach the
// target, a window closed by its user, a closed connection, and each finished frame handed to
// the window once.

#include "device_window.h"
#include "fake_host.h"
#include "frame_chunker.h"
#include "gpuprofiler_tool.h"
#include "frame_builder.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QAction>
#include <QPointer>

using Commands = QList<QPair<uint32, uint64>>;

namespace {

CGPUProfilerTool &Tool()
{
    return CGPUProfilerTool::Get();
}

CQCGPUProfilerDeviceWindow *WindowOf(ICorvidConnection *pConnection)
{
    CGPUProfilerConnection *pRecord = Tool().FindRecordByConnection(pConnection);
    return pRecord ? pRecord->window : nullptr;
}

QByteArray Bytes(const std::vector<uint8> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

class TestWindowLifecycle : public QObject
{
    Q_OBJECT

    CFakeCorvidHost host;
    QAction action{QStringLiteral("GPU Profiler")};

private slots:
    void initTestCase()
    {
        Tool().SetHost(&host, &action);
    }

    void openingAndClosingSendTheirCommands()
    {
        CFakeCorvidConnection connection("Demo Target");
        host.current = &connection;
        QVERIFY(Tool().ShowForCurrentConnection());
        CQCGPUProfilerDeviceWindow *pWindow = WindowOf(&connection);
        QVERIFY(pWindow && pWindow->isVisible());
        QCOMPARE(connection.Commands(), Commands({{1, 1}, {0, 1}}));

        // The target comes back to state 3: the window repeats its commands.
        Tool().OnConnectionStateChanged(&connection, CORVID_CONNECTION_DISCONNECTED);
        Tool().OnConnectionStateChanged(&connection, CORVID_CONNECTION_READY);
        QCOMPARE(connection.Commands().mid(2), Commands({{1, 1}, {0, 1}}));

        QPointer<CQCGPUProfilerDeviceWindow> pGuard(pWindow);
        Tool().OnConnectionClosed(&connection);
        QVERIFY(pGuard.isNull());
        QCOMPARE(connection.Commands().mid(4), Commands({{1, 0}, {0, 0}}));
        QCOMPARE(Tool().GetConnectionCount(), 0);
        host.current = nullptr;
    }

    void userCloseSaysGoodbyeAndDeletesLater()
    {
        CFakeCorvidConnection connection("Game");
        host.current = &connection;
        QVERIFY(Tool().ShowForCurrentConnection());
        QPointer<CQCGPUProfilerDeviceWindow> pWindow(WindowOf(&connection));
        QVERIFY(pWindow);
        QVERIFY(pWindow->close());
        // The commands went out while the record still knew the connection; the record is gone,
        // the window goes once the event loop runs.
        QCOMPARE(connection.Commands().mid(2), Commands({{1, 0}, {0, 0}}));
        QCOMPARE(Tool().GetConnectionCount(), 0);
        QTRY_VERIFY(pWindow.isNull());
        QCOMPARE(connection.Commands().size(), 4);

        // Opening the target again makes a new window with a new id.
        QVERIFY(Tool().ShowForCurrentConnection());
        QVERIFY(WindowOf(&connection));
        Tool().OnConnectionClosed(&connection);
        host.current = nullptr;
    }

    // A finished frame goes to the window once, with the samples it was built from; chunks that
    // come after it, empty ones included, hand nothing over again.
    void finishedFramesAreHandedOverOnce_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<int>>("handedOver");
        QTest::newRow("zero-sample frame") << "F0" << QList<int>({0});
        QTest::newRow("split frame") << "F5 D2 D3" << QList<int>({5});
        QTest::newRow("chunks after completion") << "F5 D2 D3 D1 E" << QList<int>({5});
        QTest::newRow("empty chunk after completion") << "F2 D2 E E" << QList<int>({2});
        QTest::newRow("new header mid-frame") << "F5 D3 F2 D2" << QList<int>({2});
        QTest::newRow("frames back to back") << "F1 D1 F0 F3 D3" << QList<int>({1, 0, 3});
        QTest::newRow("unfinished") << "F4 D3" << QList<int>();
    }

    void finishedFramesAreHandedOverOnce()
    {
        QFETCH(QString, script);
        QFETCH(QList<int>, handedOver);
        AllocationSnapshot before;
        {
            CFakeCorvidConnection connection("Game");
            host.current = &connection;
            Tool().RegisterDataTypes(&connection);
            QVERIFY(Tool().ShowForCurrentConnection());
            CQCGPUProfilerDeviceWindow *pWindow = WindowOf(&connection);
            const TargetFrame frame = MakeNumberedFrame(1, "s", 8);
            CFrameChunker chunker(SampleChunkForm::Plain);
            int nNext = 0;
            QList<int> counts;
            for (const QString &step : script.split(' ')) {
                std::vector<TargetChunk> chunks;
                const int n = step.mid(1).toInt();
                if (step[0] == 'F') {
                    GpuFrameHeader header = frame.header;
                    header.SetSampleCount(uint32(n));
                    chunks.push_back({GPU_PROFILER_CHUNK_FRAME, FrameHeaderPayload(header)});
                    nNext = 0;
                } else if (step[0] == 'D') {
                    chunker.SplitSamples(frame.samples.data() + nNext, size_t(n), chunks);
                    nNext += n;
                } else {
                    chunks.push_back({GPU_PROFILER_CHUNK_DATA, {}});
                }
                for (const TargetChunk &chunk : chunks)
                    QVERIFY(connection.Deliver(chunk.nChunkId, Bytes(chunk.payload)));
                // Each tick records the newest frame handed over since the last one.
                const int32 nBefore = pWindow->Intake().Shown().Count();
                const int32 nPending = pWindow->Intake().PendingCount();
                pWindow->TimerCallback();
                if (nPending > 0) {
                    QCOMPARE(nPending, 1);
                    QCOMPARE(pWindow->Intake().Shown().Count(), nBefore + 1);
                    counts << int(pWindow->SelectedFrame()->header.SampleCount());
                }
            }
            QCOMPARE(counts, handedOver);
            Tool().OnConnectionClosed(&connection);
            host.current = nullptr;
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }
};

GPUPROF_TEST_MAIN(TestWindowLifecycle)
#include "tst_window_lifecycle.moc"
