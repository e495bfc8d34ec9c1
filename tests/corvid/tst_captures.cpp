// Captures end to end. A live session from the demo target over loopback, saved and opened again
// through the console's capture connection: every frame of both swap chains gives the CSV it
// gave live, and the resource lists come back as received. Then captures opened in the console
// itself (the real plug-in loaded from its library), whole or damaged in the middle: what came
// before a fault is shown, the log and the target's state name the file and the byte offset,
// `gpucap samples` writes what the window's "Save as CSV..." writes, and nothing leaks.

#include "capture/capture_reader.h"
#include "capture/capture_writer.h"
#include "gpuprofiler/framedata/csv_export.h"
#include "gpuprofiler/plugin/gpuprofiler_tool.h"
#include "gpuprofiler/devicewindow/device_window.h"
#include "gpuprofiler/resources/gpu_resource_widget.h"
#include "target/frame_generator.h"
#include "tests/corvid/profiler_test_support.h"
#include "tests/support/fake_host.h"
#include "tests/support/test_support.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

// Per swap chain, a digest of each frame's CSV as "Save as CSV..." writes it with the frame
// selected. A capture's window shows each swap chain in turn; a live window, which would empty
// its history on a pick, gives the frames it keeps of the others as they would be shown.
QList<QList<QByteArray>> FrameCsvs(CQCGPUProfilerDeviceWindow &window)
{
    QList<QList<QByteArray>> chains;
    GpuSampleArray samples;
    for (int32 c = 0; c < window.SwapChains().Count(); ++c) {
        if (window.IsCaptureWindow())
            window.SwapChainCombo()->setCurrentIndex(c);
        const FrameHistory &history = *window.SwapChainHistory(c);
        QList<QByteArray> csvs;
        for (int32 p = 0; p < history.Count(); ++p) {
            const GpuFrame frame{history.EntryAt(p)->header, &samples};
            const bool bShown = window.SwapChains()[c] == window.SelectedSwapChain();
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

QList<int> ResourceRows(QWidget *pResourceWindow)
{
    QList<int> rows;
    for (QTreeView *pView : pResourceWindow->findChildren<QTreeView *>())
        rows << (pView->model() ? pView->model()->rowCount() : -1);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// 20 frames of 50 samples, the 8th without any; the offsets of their header chunks.
QList<quint64> WriteCapture(const QString &sPath)
{
    FrameGeneratorOptions options;
    options.nSampleCount = 50;
    CFrameGenerator generator(3, options);
    CCaptureWriter writer;
    writer.Open(sPath.toStdString(), CaptureInfo{"Test Game", CaptureTimeNow(), "test", kCaptureFormatVersion});
    for (int i = 0; i < 20; ++i) {
        TargetFrame frame = generator.NextFrame();
        if (i == 7)
            frame.samples.clear();
        frame.SyncSampleCount();
        writer.AppendFrame(frame.header, frame.samples.data(), frame.samples.size());
    }
    writer.Close();
    QList<quint64> offsets;
    CCaptureReader reader;
    reader.Open(sPath.toStdString());
    for (CaptureChunk chunk; reader.ReadChunk(&chunk) == CCaptureReader::Result::Chunk; g_pMemAlloc->Free(chunk.pBuffer)) {
        if (chunk.nChunkId == GPU_PROFILER_CHUNK_FRAME)
            offsets << chunk.nOffset;
    }
    return offsets;
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

class TestCaptures : public QObject
{
    Q_OBJECT

private slots:
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
            QVERIFY(WaitFor([&] {
                pLive->TimerCallback();
                const FrameHistory *pOther = pLive->SwapChainHistory(1);
                return pLive->History().Count() == 499 && pOther && pOther->Count() == 499 && !pLive->LastBufferList().IsEmpty();
            }, 60000));
            pLive->PauseAction()->setChecked(true);
            pLive->TimerCallback();
            CQCGPUProfilerDeviceWindow::SetSaveFileNameProvider([&](QWidget *) { return sPath; });
            pLive->SaveCapture();
            CQCGPUProfilerDeviceWindow::SetSaveFileNameProvider({});

            CQCGPUProfilerDeviceWindow *pCapture = open(capture);
            QVERIFY(pCapture && pCapture->IsCaptureWindow());
            QVERIFY(WaitFor([&] { return capture.FramesPlayed() == 998; }));
            pCapture->TimerCallback();
            QVERIFY(pCapture->IsPaused());
            QCOMPARE(pCapture->SelectedFrame(), pCapture->History().EntryAt(498));
            QCOMPARE(FrameCsvs(*pCapture), FrameCsvs(*pLive));
            const auto bytes = [](const GrowableArray<uint8> &list) { return QByteArray(reinterpret_cast<const char *>(list.Base()), list.Count()); };
            QCOMPARE(bytes(pCapture->LastTextureList()), bytes(pLive->LastTextureList()));
            QCOMPARE(bytes(pCapture->LastBufferList()), bytes(pLive->LastBufferList()));
            // The capture's resource window shows them without a target to ask.
            pCapture->ShowGPUResourceWindow();
            QCOMPARE(ResourceRows(pCapture->ResourceWindow()), QList<int>({30, 40}));
            tool.OnConnectionClosed(&capture);
            tool.OnConnectionClosed(&live);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void captureOpenedInTheConsole_data()
    {
        QTest::addColumn<int>("damage"); // 0 none, 1 cut inside frame 10's header, 2 frame 10 claims 4 GiB
        QTest::addColumn<int>("frame");  // exported by "Save as CSV..." and by gpucap samples
        QTest::newRow("whole, a frame") << 0 << 3;
        QTest::newRow("whole, a frame without samples") << 0 << 7;
        QTest::newRow("whole, the newest frame") << 0 << 19;
        QTest::newRow("cut short inside a chunk") << 1 << 9;
        QTest::newRow("a chunk over the size limit") << 2 << 0;
    }

    void captureOpenedInTheConsole()
    {
        QFETCH(int, damage);
        QFETCH(int, frame);
        QTemporaryDir dir;
        const QString sPath = dir.filePath("run.gpucap");
        const QList<quint64> offsets = WriteCapture(sPath);
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (damage == 1)
            file.resize(qint64(offsets[10]) + 100);
        if (damage == 2 && file.seek(qint64(offsets[10]) + 8))
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
                                   .arg(sPath, QString::number(offsets[10]));
        const QString sExpected = damage == 0 ? QStringLiteral("Capture: 20 frames")
                                  : damage == 1 ? QStringLiteral("Capture: 10 frames, damaged: ") + sFault
                                                : QStringLiteral("Capture: 10 frames, damaged: %1: a GPRF chunk of 4294967040 bytes, over the "
                                                                 "limit of 64 MiB at byte %2").arg(sPath, QString::number(offsets[10]));
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

GPUPROF_TEST_MAIN(TestCaptures)
#include "tst_captures.moc"
