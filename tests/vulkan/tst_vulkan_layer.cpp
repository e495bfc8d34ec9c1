// The Vulkan layer on Mesa's lavapipe: a scene of known draws under known labels is rendered
// offscreen with the layer loaded in this process, and the test, acting as the console, checks
// what arrives over the link: the exact pipeline counters the driver reports, the sample paths
// from the labels, ordered timestamps, the resource lists, and what happens on unbalanced
// labels, a taken port and oversized frames.

#include "layer_console.h"
#include "test_support.h"
#include "vulkan_scene.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>

#include <dlfcn.h>

namespace {

const char *const kLavapipe = "/usr/share/vulkan/icd.d/lvp_icd.x86_64.json";
const char *const kValidationManifest = "/usr/share/vulkan/explicit_layer.d/VkLayer_khronos_validation.json";
// Set for the whole process before the layer reads it: frames are cut after this many samples.
constexpr int kFrameSampleBound = 100;

uint16 FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// The known frame: an update and a clear outside the pass; inside it a triangle and a
// full-screen quad under "Main/Opaque", four instances under "Main/Instanced", and an
// indexed quad over the left half of the 64x64 target without a label.
void KnownFrame(CSceneRecorder &r)
{
    r.UpdateConstants(64);
    r.ClearTarget(0, 0, 0);
    r.BeginPass(0, 0, 0);
    r.BeginLabel("Main");
    r.BeginLabel("Opaque");
    r.BeginLabel("Triangle");
    r.Draw(SceneShape::Triangle, 0, 0, 1, 1);
    r.EndLabel();
    r.BeginLabel("Fullscreen");
    r.Draw(SceneShape::Quad, 0, 0, 1, 1);
    r.EndLabel();
    r.EndLabel();
    r.BeginLabel("Instanced");
    r.Draw(SceneShape::Triangle, -0.6f, 0, 0.25f, 0.25f, 4, 0.4f);
    r.EndLabel();
    r.EndLabel();
    r.Draw(SceneShape::Quad, -0.5f, 0, 0.5f, 1);
    r.EndPass();
}

// Lavapipe runs the pixel shader on 2x2 quads, so PSInvokes also counts the helper invocations
// of quads cut by a triangle's inner edges: with nCovered > 0 the figure is shown as "~covered"
// when it lies between the covered pixels and four more per pixel of those edges.
QString Dump(const GpuSampleRecord &s, uint32 nCovered = 0, uint32 nEdgePixels = 0)
{
    const uint32 nPs = s.PsInvokes();
    const QString sPs =
        nCovered && nPs >= nCovered && nPs <= nCovered + 4 * nEdgePixels ? QStringLiteral("~%1").arg(nCovered) : QString::number(nPs);
    return Args(QStringLiteral("%1 d%2 v%3 p%4 ia%5/%6 vs%7 c%8/%9 ps%10 clr%11 cb%12/%13 inst4:%14"),
                QString::fromLatin1(s.Name().data(), int(s.Name().size())), s.Draws(), s.Verts(), s.Prims(), s.IaVerts(), s.IaPrims(),
                s.VsInvokes(), s.CInvokes(), s.CPrims(), sPs, s.Clears(), s.CbUpdates(), s.CbUpload(), s.InstHist(4));
}

// The application with the layer, and the test as its console.
struct Session
{
    CVulkanScene scene;
    CLayerConsole console;

    bool Start(SceneRecording recording, uint16 nPort, uint16 nConsolePort = 0, bool bSubmit2 = false, bool bDebugMarkers = false)
    {
        qputenv("GPUPROFILER_PORT", QByteArray::number(nPort));
        SceneOptions options;
        options.recording = recording;
        options.bSubmit2 = bSubmit2;
        options.bDebugMarkers = bDebugMarkers;
        // With the Khronos validation layer below it, everything the layer adds is validated.
        options.layers = {"VK_LAYER_CORVID_gpuprofiler"};
        if (QFile::exists(QString::fromLatin1(kValidationManifest)))
            options.layers.push_back("VK_LAYER_KHRONOS_validation");
        std::string sError;
        if (!scene.Create(options, &sError)) {
            qWarning("%s", sError.c_str());
            return false;
        }
        return console.Connect(nConsolePort ? nConsolePort : nPort);
    }

    void OpenWindow(bool bFlushing = false)
    {
        console.Command(GPU_PROFILER_COMMAND_PIPELINE_FLUSHING, bFlushing);
        console.Command(GPU_PROFILER_COMMAND_WINDOW_OPEN, 1);
    }

    // Renders frames until the condition holds (false after a while).
    template <typename Condition> bool RenderUntil(const CVulkanScene::Content &content, Condition condition)
    {
        for (int i = 0; i < 2000 && !condition(); ++i) {
            if (!scene.RenderFrame(content))
                return false;
            console.Pump(2);
        }
        return condition();
    }
};

} // namespace

class TestVulkanLayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFile::exists(QString::fromLatin1(kLavapipe)))
            QSKIP("Mesa's lavapipe Vulkan driver is not installed (mesa-vulkan-drivers)");
        qputenv("VK_ICD_FILENAMES", kLavapipe);
        qputenv("NODEVICE_SELECT", "1"); // Mesa's device selection layer has nothing to choose here
        // The loader unloads the driver and the layer with the last instance; kept loaded, the
        // sanitizer can still name the code that allocated what it finds at exit.
        dlopen("libvulkan_lvp.so", RTLD_NOW | RTLD_NODELETE);
        dlopen(GPUPROFILER_LAYER_DIR "/libVkLayer_corvid_gpuprofiler.so", RTLD_NOW | RTLD_NODELETE);
        qputenv("VK_LAYER_PATH", GPUPROFILER_LAYER_DIR ":/usr/share/vulkan/explicit_layer.d");
        qunsetenv("VK_INSTANCE_LAYERS");
        qputenv("GPUPROFILER_MAX_FRAME_SAMPLES", QByteArray::number(kFrameSampleBound));
    }

    void knownDrawsAreMeasured_data()
    {
        // clang-format off
        QTest::addColumn<int>("recording");
        QTest::addColumn<bool>("flushing");
        QTest::addColumn<bool>("submit2");
        QTest::addColumn<bool>("markers");
        QTest::newRow("recorded every frame") << int(SceneRecording::EveryFrame) << false << false << false;
        QTest::newRow("recorded once, submitted every frame") << int(SceneRecording::Once) << false << false << false;
        QTest::newRow("pass in a secondary command buffer") << int(SceneRecording::Secondary) << false << false << false;
        QTest::newRow("pipeline flushing") << int(SceneRecording::EveryFrame) << true << false << false;
        QTest::newRow("vkQueueSubmit2, recorded once") << int(SceneRecording::Once) << false << true << false;
        // The validation layer below provides the extension on lavapipe.
        if (QFile::exists(QString::fromLatin1(kValidationManifest)))
            QTest::newRow("debug markers") << int(SceneRecording::EveryFrame) << false << false << true;
        // clang-format on
    }

    void knownDrawsAreMeasured()
    {
        QFETCH(int, recording);
        QFETCH(bool, flushing);
        QFETCH(bool, submit2);
        QFETCH(bool, markers);
        Session session;
        QVERIFY(session.Start(SceneRecording(recording), FreePort(), 0, submit2, markers));
        // The picture without a window (nothing measured) is the reference for the one measured.
        QVERIFY(session.scene.RenderFrame(KnownFrame));
        const std::vector<uint32_t> reference = session.scene.ReadPixels();
        session.scene.Rerecord();
        QVERIFY(session.scene.RenderFrame(KnownFrame));
        session.console.Pump(100);
        QVERIFY(session.console.frames.empty()); // nothing without a window
        session.OpenWindow(flushing);
        // The first frames may have been recorded before the window's command arrived.
        QVERIFY(session.RenderUntil(KnownFrame, [&] { return session.console.frames.size() >= 2; }));
        // A command buffer recorded before any window opened has no queries in it: it is timed
        // whole by command buffers of the layer's own around it, with the counters of its commands.
        if (SceneRecording(recording) == SceneRecording::Once) {
            const TargetFrame &whole = session.console.frames.back();
            QCOMPARE(whole.samples.size(), size_t(1));
            QCOMPARE(Dump(whole.samples[0]), QStringLiteral("Command Buffer 1 d4 v27 p9 ia0/0 vs0 c0/0 ps0 clr1 cb1/64 inst4:1"));
            QVERIFY(whole.samples[0].GpuTime() > 0.0);
        }
        session.scene.Rerecord();
        const size_t nBefore = session.console.frames.size();
        QVERIFY(session.RenderUntil(KnownFrame, [&] { return session.console.frames.size() >= nBefore + 3; }));
        const std::vector<uint32_t> measured = session.scene.ReadPixels();
        QCOMPARE(measured.size(), size_t(64 * 64));
        QVERIFY(measured == reference);
        QVERIFY(std::count(measured.begin(), measured.end(), measured[0]) < 64 * 64); // shapes, not an empty target

        const TargetFrame &frame = session.console.frames.back();
        QCOMPARE(frame.header.SwapChainName(), std::string_view("Headless"));
        QCOMPARE(frame.header.SampleCount(), uint32(frame.samples.size()));
        // IAVerts 3 and IAPrims 1 per triangle; PSInvokes about the covered pixels: 512 for the
        // triangle (32 pixels wide and high), 4096 for the full-screen quad, 4 x 32 for the
        // instances a quarter the triangle's size, 2048 for the quad over half the target.
        // The edges: the triangle's perimeter, the quads' diagonals, the instances' perimeters.
        static const uint32 kCovered[] = {0, 0, 512, 4096, 128, 2048};
        static const uint32 kEdges[] = {0, 0, 104, 91, 4 * 26, 72};
        QStringList dump;
        for (size_t i = 0; i < frame.samples.size(); ++i)
            dump << Dump(frame.samples[i], i < 6 ? kCovered[i] : 0, i < 6 ? kEdges[i] : 0);
        const QStringList expected = {
            "vkCmdUpdateBuffer d0 v0 p0 ia0/0 vs0 c0/0 ps0 clr0 cb1/64 inst4:0",
            "vkCmdClearColorImage d0 v0 p0 ia0/0 vs0 c0/0 ps0 clr1 cb0/0 inst4:0",
            "#Main/Opaque/Triangle d1 v3 p1 ia3/1 vs3 c1/1 ps~512 clr0 cb0/0 inst4:0",
            "#Main/Opaque/Fullscreen d1 v6 p2 ia6/2 vs4 c2/2 ps~4096 clr0 cb0/0 inst4:0",
            "#Main/Instanced/Instanced d1 v12 p4 ia12/4 vs12 c4/4 ps~128 clr0 cb0/0 inst4:1",
            "#Render Pass 1//vkCmdDrawIndexed d1 v6 p2 ia6/2 vs4 c2/2 ps~2048 clr0 cb0/0 inst4:0",
        };
        QCOMPARE(dump, expected);

        // GPU starts from the frame's first timestamp, in submission order, each sample ending
        // before the next begins.
        double flEnd = 0.0;
        QCOMPARE(frame.samples.front().GpuStartTime(), 0.0);
        for (const GpuSampleRecord &sample : frame.samples) {
            QVERIFY2(sample.GpuStartTime() >= flEnd, qPrintable(Dump(sample)));
            QVERIFY(sample.GpuTime() >= 0.0 && sample.GpuTime() < 1.0);
            QVERIFY(sample.CpuTime() >= 0.0 && sample.CpuStartTime() >= 0.0);
            flEnd = sample.GpuStartTime() + sample.GpuTime();
        }
        QVERIFY(frame.samples[3].GpuTime() > 0.0); // a full-screen quad takes time on the CPU rasteriser
        QVERIFY2(session.scene.ValidationErrors() == 0, session.scene.FirstValidationError().c_str());

        // The window closes: once the layer has the command (its thread may be slow to run on a
        // busy machine), the stream stops while the application renders on.
        session.console.Command(GPU_PROFILER_COMMAND_WINDOW_OPEN, 0);
        size_t nSeen = 0;
        QElapsedTimer quiet;
        quiet.start();
        QVERIFY(session.RenderUntil(KnownFrame, [&] {
            if (std::exchange(nSeen, session.console.frames.size()) != nSeen)
                quiet.restart();
            return quiet.elapsed() > 300;
        }));
        const size_t nAfterClose = session.console.frames.size();
        for (int i = 0; i < 10; ++i) {
            QVERIFY(session.scene.RenderFrame(KnownFrame));
            session.console.Pump(5);
        }
        QCOMPARE(session.console.frames.size(), nAfterClose);
    }

    // A second application with the layer finds the port taken and listens on the next one.
    // There the resource lists name the application's resources, labels left unbalanced do not
    // corrupt later frames, and frames over the bound are cut. A third one exits mid-frame.
    void otherApplications()
    {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost, 0));
        Session session;
        QVERIFY(session.Start(SceneRecording::EveryFrame, other.serverPort(), other.serverPort() + 1));
        CLayerConsole &console = session.console;
        session.OpenWindow();
        console.Command(GPU_PROFILER_COMMAND_TEXTURE_LIST, 0);
        console.Command(GPU_PROFILER_COMMAND_BUFFER_LIST, 0);
        QVERIFY(session.RenderUntil(KnownFrame,
                                    [&] { return !console.frames.empty() && !console.textures.empty() && !console.buffers.empty(); }));

        // Texture list: count, then per texture 18 bytes (big-endian dims, flags, mips, format)
        // and its name.
        QCOMPARE(LoadLittleEndian32(console.textures.data()), 1u);
        const uint8 *pTexture = console.textures.data() + 4;
        QCOMPARE(QString::fromLatin1(reinterpret_cast<const char *>(pTexture + 18)), QStringLiteral("Scene Color"));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(pTexture), 18).toHex(),
                 QByteArray("004000400001"
                            "004000400001"
                            "0042"
                            "0101"
                            "00"
                            "00"));
        QStringList buffers;
        const uint8 *p = console.buffers.data() + 4;
        for (uint32 i = 0; i < LoadLittleEndian32(console.buffers.data()); ++i) {
            const QString sName = QString::fromLatin1(reinterpret_cast<const char *>(p + 15));
            buffers << QStringLiteral("%1 type %2 %3 bytes").arg(sName).arg(p[0]).arg(LoadBigEndian32(p + 11));
            p += 15 + sName.size() + 1;
        }
        buffers.sort();
        QCOMPARE(buffers,
                 QStringList({"Scene Constants type 0 4096 bytes", "Scene Indices type 1 12 bytes", "Scene Vertices type 0 80 bytes"}));

        auto unbalanced = [](CSceneRecorder &r) {
            r.BeginPass(0, 0, 0);
            r.EndLabel(); // an end without a begin
            r.EndLabel();
            r.BeginLabel("A");
            r.Draw(SceneShape::Triangle, 0, 0, 1, 1);
            r.EndLabel();
            r.BeginLabel("Open"); // left open at the end of the recording
            r.BeginLabel("Inner");
            r.Draw(SceneShape::Quad, 0, 0, 1, 1);
        };
        // Frames of the new content (two samples where the known frame has six), past those still
        // in flight when the content changed.
        QVERIFY(session.RenderUntil(unbalanced, [&] { return console.frames.back().samples.size() == 2; }));
        const size_t nSwitched = console.frames.size() - 1;
        QVERIFY(session.RenderUntil(unbalanced, [&] { return console.frames.size() >= nSwitched + 4; }));
        for (size_t i = nSwitched; i < console.frames.size(); ++i) {
            const std::vector<GpuSampleRecord> &samples = console.frames[i].samples;
            QCOMPARE(samples.size(), size_t(2));
            QCOMPARE(samples[0].Name(), std::string_view("#A//A"));
            QCOMPARE(samples[1].Name(), std::string_view("#Open/Inner/Inner"));
        }

        auto tooMany = [](CSceneRecorder &r) {
            r.BeginPass(0, 0, 0);
            for (int i = 0; i < kFrameSampleBound + 50; ++i)
                r.Draw(SceneShape::Triangle, 0, 0, 0.1f, 0.1f);
        };
        QVERIFY(session.RenderUntil(tooMany, [&] { return console.frames.back().samples.size() != 2; }));
        QCOMPARE(console.frames.back().samples.size(), size_t(kFrameSampleBound));

        // A third application leaves with a frame in flight and destroys nothing while a window
        // records it: it still exits normally.
        const uint16 nPort = FreePort();
        QProcess demo;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VK_INSTANCE_LAYERS"), QStringLiteral("VK_LAYER_CORVID_gpuprofiler"));
        environment.insert(QStringLiteral("GPUPROFILER_PORT"), QString::number(nPort));
        // What it leaves behind is the point, not a leak to report (sanitizer build).
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        demo.setProcessEnvironment(environment);
        demo.start(QStringLiteral(GPUPROFILER_VULKAN_DEMO), {"--fps", "60", "--run-for", "1", "--size", "64x64", "--abandon", "1"});
        CLayerConsole third;
        QVERIFY(third.Connect(nPort));
        third.Command(GPU_PROFILER_COMMAND_WINDOW_OPEN, 1);
        for (int i = 0; i < 400 && third.frames.size() < 3; ++i)
            third.Pump(10);
        QVERIFY(third.frames.size() >= 3);
        QVERIFY(demo.waitForFinished(20000));
        QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(demo.exitCode(), 0);
    }
};

GPUPROF_TEST_MAIN(TestVulkanLayer)
#include "tst_vulkan_layer.moc"
