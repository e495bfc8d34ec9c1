// gpucap against the demo target, as a CI job runs it: a recording of one swap chain with the
// resource lists, then one cut short by the target's death (the file keeps the frames recorded,
// and gpucap says how many); a target that cannot be reached; and diff on two recordings of which one has a
// pass made slower, where the slowed pass comes first and the exit code says regression.

#include "capture_frames.h"
#include "capture_reader.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

namespace {

struct Run
{
    int nExit = -1;
    QString sOut;
    QString sErr;
};

Run Gpucap(const QStringList &args)
{
    QProcess process;
    process.start(GPUCAP_PATH, args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// A demo target on a free loopback port; returns the port, 0 when it did not start.
int StartDemo(QProcess &demo, const QStringList &extra = {})
{
    demo.start(DEMO_TARGET_PATH, QStringList{"--port", "0", "--loopback", "--quiet", "--fps", "250", "--samples", "200"} + extra);
    while (demo.waitForReadyRead(5000)) {
        const QRegularExpressionMatch match = QRegularExpression("listening on port (\\d+)").match(demo.readAll());
        if (match.hasMatch())
            return match.captured(1).toInt();
    }
    return 0;
}

struct CaptureContents
{
    int nFrames = 0;
    QStringList swapChains;
    int nLists = 0;
    bool bComplete = false;
};

CaptureContents Contents(const QString &sPath)
{
    CaptureContents contents;
    std::string sProblems;
    ReadCaptureFrames(
        sPath.toStdString(),
        [&](const GpuFrameHeader &header, const GpuSampleRecord *, size_t nCount) {
            contents.nFrames += nCount == header.SampleCount() ? 1 : 0;
            const QString sName = QString::fromStdString(std::string(header.SwapChainName()));
            if (!contents.swapChains.contains(sName))
                contents.swapChains.append(sName);
        },
        &sProblems);
    CCaptureReader reader;
    reader.Open(sPath.toStdString());
    for (CaptureChunk chunk; reader.ReadChunk(&chunk) == CCaptureReader::Result::Chunk; g_pMemAlloc->Free(chunk.pBuffer))
        contents.nLists += chunk.nChunkId == GPU_PROFILER_CHUNK_TEXTURES || chunk.nChunkId == GPU_PROFILER_CHUNK_BUFFERS;
    contents.bComplete = reader.IsComplete() && reader.FramesRead() == uint32(contents.nFrames) && sProblems.empty();
    return contents;
}

QString Record(QTemporaryDir &dir, const QString &sName, int nFrames, const QStringList &demoArgs)
{
    QProcess demo;
    const int nPort = StartDemo(demo, demoArgs);
    const QString sPath = dir.filePath(sName);
    const Run run = Gpucap(
        {"record", "--connect", QStringLiteral("127.0.0.1:%1").arg(nPort), "--frames", QString::number(nFrames), "--quiet", "-o", sPath});
    demo.kill();
    demo.waitForFinished();
    return run.nExit == 0 ? sPath : QString();
}

} // namespace

class TestGpucap : public QObject
{
    Q_OBJECT

private slots:
    void recordsTheFramesOfOneSwapChainAndTheLists()
    {
        QTemporaryDir dir;
        QProcess demo;
        const int nPort = StartDemo(demo);
        QVERIFY(nPort > 0);
        const QString sPath = dir.filePath("editor.gpucap");
        const Run run = Gpucap({"record", "--connect", QStringLiteral("localhost:%1").arg(nPort), "--frames", "25", "--swapchain",
                                "Editor Viewport", "-o", sPath});
        QVERIFY2(run.nExit == 0, qPrintable(run.sErr));
        QVERIFY2(run.sErr.contains("recorded 25 frames and 2 resource lists into " + sPath), qPrintable(run.sErr));
        const CaptureContents contents = Contents(sPath);
        QCOMPARE(contents.nFrames, 25);
        QCOMPARE(contents.swapChains, QStringList{"Editor Viewport"});
        QCOMPARE(contents.nLists, 2);
        QVERIFY(contents.bComplete);
        // One line per frame for plotting, numbered as gpucap samples numbers them.
        const QStringList lines = Gpucap({"frames", sPath, "-o", "-"}).sOut.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 26);
        QVERIFY(lines[0].startsWith("Frame, Swap Chain, Swap Chain Id, GPU Time [ms], CPU Time [ms], Samples, Draws, Prims, "));
        QVERIFY2(lines[25].startsWith("24, Editor Viewport, 0x"), qPrintable(lines[25]));

        // gpucap left the link closed: the target, which takes one console at a time, takes the
        // next. That one records until the target is killed: the file keeps the frames recorded.
        const QString sCut = dir.filePath("cut.gpucap");
        QProcess gpucap;
        gpucap.start(GPUCAP_PATH, {"record", "--connect", QStringLiteral("127.0.0.1:%1").arg(nPort), "--frames", "1000000", "-o", sCut});
        QVERIFY(gpucap.waitForStarted());
        QTest::qWait(1500);
        demo.kill();
        demo.waitForFinished();
        QVERIFY(gpucap.waitForFinished(10000));
        QCOMPARE(gpucap.exitCode(), 3);
        const QString sErr = gpucap.readAllStandardError();
        const QRegularExpressionMatch match =
            QRegularExpression("went away .* after (\\d+) frames\n.*keeps the (\\d+) complete frames").match(sErr);
        QVERIFY2(match.hasMatch() && match.captured(1) == match.captured(2), qPrintable(sErr));
        const CaptureContents cut = Contents(sCut);
        QVERIFY(cut.nFrames > 10);
        QCOMPARE(cut.nFrames, match.captured(1).toInt());
        QVERIFY(cut.bComplete);
    }

    // Also: a file or a target that is not there fails with exit code 3 and a message.
    void diffPutsTheSlowedPassFirst()
    {
        QTemporaryDir dir;
        const QString sBase = Record(dir, "base.gpucap", 60, {});
        const QString sSlow = Record(dir, "slow.gpucap", 60, {"--slow-pass", "Shadow/Cascade 2=1.5"});
        QVERIFY(!sBase.isEmpty() && !sSlow.isEmpty());

        const Run regression = Gpucap({"diff", sBase, sSlow, "--threshold", "20"});
        QCOMPARE(regression.nExit, 1);
        const QStringList lines = regression.sOut.split('\n');
        const int nHeader = int(lines.indexOf(QRegularExpression("^ +base ms +new ms +change ms +change +path$")));
        QVERIFY2(nHeader > 0, qPrintable(regression.sOut));
        // The slowed layer first, then its view; nothing outside the shadow view changed.
        QVERIFY2(lines[nHeader + 1].endsWith("%  #Shadow/Cascade 2") && lines[nHeader + 2].endsWith("%  #Shadow"),
                 qPrintable(regression.sOut));
        QVERIFY(regression.sOut.contains("got slower than 20%; the largest: #Shadow/Cascade 2"));
        QVERIFY(!regression.sOut.contains(QRegularExpression("\\+[1-9][0-9.]*%  #(Main|Post|UI|Reflection)")));

        const Run same = Gpucap({"diff", sBase, sBase});
        QCOMPARE(same.nExit, 0);
        QVERIFY(same.sOut.contains("no path got slower than 10%"));
        QCOMPARE(Gpucap({"diff", sBase, dir.filePath("missing.gpucap")}).nExit, 3);
        const Run unreachable = Gpucap({"record", "--connect", "127.0.0.1:1", "--frames", "5", "-o", dir.filePath("none.gpucap")});
        QCOMPARE(unreachable.nExit, 3);
        QVERIFY2(unreachable.sErr.startsWith("gpucap: cannot reach the target at 127.0.0.1:1: "), qPrintable(unreachable.sErr));
    }
};

GPUPROF_TEST_MAIN(TestGpucap)
#include "tst_gpucap.moc"
