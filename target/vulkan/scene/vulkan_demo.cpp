// gpuprofiler-vulkan-demo: a frame of real GPU work to profile through the layer. Each frame
// renders shadow cascades, the opaque scene, post-processing and UI, a few hundred draws under
// debug labels, offscreen, as one queue submission.
//
//   gpuprofiler-vulkan-demo [--fps 60] [--run-for seconds] [--frames N] [--size WxH] [--abandon 1] [--help]
//
// --fps 0 renders as fast as the GPU allows. --abandon 1 ends the way a crashing or careless
// application does: it submits one more frame and exits at once, destroying nothing. At the end it prints the frames per second it
// reached, which the overhead benchmark reads. Run it with the layer as the README shows.

#include "vulkan_scene.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

volatile std::sig_atomic_t s_bStop = 0;

void OnSignal(int)
{
    s_bStop = 1;
}

void DemoFrame(CSceneRecorder &r)
{
    r.UpdateConstants(256);
    r.BeginLabel("Shadows");
    for (int nCascade = 0; nCascade < 4; ++nCascade) {
        const char *const kCascades[] = {"Cascade 0", "Cascade 1", "Cascade 2", "Cascade 3"};
        r.BeginPass(1.0f, 1.0f, 1.0f);
        r.BeginLabel(kCascades[nCascade]);
        for (int i = 0; i < 40; ++i)
            r.Draw(SceneShape::Quad, -0.9f + 0.045f * i, -0.5f + 0.2f * nCascade, 0.05f, 0.05f + 0.01f * (i % 5));
        r.EndLabel();
        r.EndPass();
    }
    r.EndLabel();

    r.BeginLabel("Main View");
    r.BeginPass(0.05f, 0.07f, 0.1f);
    r.BeginLabel("Opaque");
    r.BeginLabel("Terrain");
    r.Draw(SceneShape::FullScreen, 0.0f, 0.0f, 1.0f, 1.0f);
    r.EndLabel();
    r.BeginLabel("Props");
    for (int i = 0; i < 120; ++i)
        r.Draw(i % 3 ? SceneShape::Quad : SceneShape::Triangle, -0.95f + 0.016f * i, 0.6f * ((i % 7) / 7.0f) - 0.3f, 0.04f, 0.06f);
    r.EndLabel();
    r.BeginLabel("Foliage");
    for (int i = 0; i < 30; ++i)
        r.Draw(SceneShape::Triangle, -0.9f + 0.06f * i, 0.55f, 0.03f, 0.08f, 16, 0.004f);
    r.EndLabel();
    r.EndLabel();
    r.BeginLabel("Translucent");
    for (int i = 0; i < 20; ++i)
        r.Draw(SceneShape::Quad, -0.5f + 0.05f * i, -0.7f, 0.1f, 0.1f);
    r.EndLabel();
    r.EndPass();
    r.EndLabel();

    r.BeginLabel("Post");
    const char *const kPost[] = {"Bloom", "Tonemap", "Anti-aliasing"};
    for (const char *pszStep : kPost) {
        r.BeginPass(0.0f, 0.0f, 0.0f);
        r.BeginLabel(pszStep);
        r.Draw(SceneShape::FullScreen, 0.0f, 0.0f, 1.0f, 1.0f);
        r.EndLabel();
        r.EndPass();
    }
    r.EndLabel();

    r.BeginLabel("UI");
    r.BeginPass(0.0f, 0.0f, 0.0f);
    r.BeginLabel("Widgets");
    for (int i = 0; i < 40; ++i)
        r.Draw(SceneShape::Quad, -0.95f + 0.048f * i, 0.9f, 0.02f, 0.03f);
    r.EndLabel();
    r.EndPass();
    r.EndLabel();
}

} // namespace

int main(int argc, char **argv)
{
    double flFps = 60.0, flRunFor = 0.0;
    bool bAbandon = false;
    long nFrames = 0;
    SceneOptions options;
    options.nWidth = 640;
    options.nHeight = 360;
    for (int i = 1; i < argc; i += 2) {
        const char *pszValue = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "usage: gpuprofiler-vulkan-demo [--fps N (0: unlimited)] [--run-for SECONDS] [--frames N] [--size WxH] [--abandon 1]\n");
            return 0;
        }
        if (!pszValue) {
            std::fprintf(stderr, "gpuprofiler-vulkan-demo: %s needs a value (--help)\n", argv[i]);
            return 2;
        }
        if (std::strcmp(argv[i], "--fps") == 0)
            flFps = std::atof(pszValue);
        else if (std::strcmp(argv[i], "--run-for") == 0)
            flRunFor = std::atof(pszValue);
        else if (std::strcmp(argv[i], "--frames") == 0)
            nFrames = std::atol(pszValue);
        else if (std::strcmp(argv[i], "--abandon") == 0)
            bAbandon = std::atoi(pszValue) != 0;
        else if (std::strcmp(argv[i], "--size") != 0 || std::sscanf(pszValue, "%ux%u", &options.nWidth, &options.nHeight) != 2 ||
                 !options.nWidth || !options.nHeight) {
            std::fprintf(stderr, "gpuprofiler-vulkan-demo: bad option %s (--help)\n", argv[i]);
            return 2;
        }
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    // On the heap, so that --abandon can leave it behind.
    auto *pScene = new CVulkanScene;
    CVulkanScene &scene = *pScene;
    std::string sError;
    if (!scene.Create(options, &sError)) {
        std::fprintf(stderr, "gpuprofiler-vulkan-demo: %s\n", sError.c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto next = start;
    long nRendered = 0;
    while (!s_bStop && (nFrames <= 0 || nRendered < nFrames)) {
        if (flRunFor > 0 && Clock::now() - start > std::chrono::duration<double>(flRunFor))
            break;
        if (!scene.RenderFrame(DemoFrame)) {
            std::fprintf(stderr, "gpuprofiler-vulkan-demo: a frame failed\n");
            return 1;
        }
        ++nRendered;
        if (flFps > 0) {
            next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / flFps));
            std::this_thread::sleep_until(next);
        }
    }
    const double flSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%ld frames in %.3f s: %.1f fps\n", nRendered, flSeconds, flSeconds > 0 ? nRendered / flSeconds : 0.0);
    std::fflush(stdout);
    if (bAbandon) {
        scene.SubmitWithoutWaiting(DemoFrame);
        std::exit(0);
    }
    delete pScene;
    return 0;
}
