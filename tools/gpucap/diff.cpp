// gpucap diff: per sample path, the median GPU time in two captures and the change, the largest
// regression first. A path is a sample's full name; names of the form "#View/Layer/Name" also
// count toward "#View" and "#View/Layer", so that a pass that got slower shows as one line even
// when its draws vary from frame to frame.

#include "capture_frames.h"
#include "gpucap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Per path, its GPU time in milliseconds in each frame in which it appears.
using PathTimes = std::unordered_map<std::string, std::vector<double>>;

struct PathChange
{
    std::string sPath;
    double flBase = NAN; // median ms, NAN where the path does not appear
    double flNew = NAN;
    double Change() const { return flNew - flBase; }
    double Percent() const { return flBase > 0 ? 100.0 * (flNew - flBase) / flBase : NAN; }
};

double Median(std::vector<double> &values)
{
    if (values.empty())
        return NAN;
    const size_t nMid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(nMid), values.end());
    const double flHigh = values[nMid];
    if (values.size() % 2)
        return flHigh;
    return (*std::max_element(values.begin(), values.begin() + std::ptrdiff_t(nMid)) + flHigh) / 2;
}

// The path and its group prefixes: "#A/B/C" gives "#A", "#A/B", "#A/B/C".
void PathsOf(std::string_view sName, std::vector<std::string_view> &paths)
{
    paths.clear();
    if (sName.size() > 1 && sName[0] == '#') {
        for (size_t nSlash = sName.find('/'); nSlash != std::string_view::npos && paths.size() < 2; nSlash = sName.find('/', nSlash + 1))
            paths.push_back(sName.substr(0, nSlash));
    }
    paths.push_back(sName);
}

bool ReadTimes(const std::string &sPath, PathTimes &times, size_t *pnFrames)
{
    std::unordered_map<std::string, double> frameTimes;
    std::vector<std::string_view> paths;
    *pnFrames = 0;
    std::string sProblems;
    const bool bRead = ReadCaptureFrames(
        sPath,
        [&](const GpuFrameHeader &, const GpuSampleRecord *pSamples, size_t nCount) {
            frameTimes.clear();
            for (size_t i = 0; i < nCount; ++i) {
                PathsOf(pSamples[i].Name(), paths);
                for (std::string_view sPath : paths)
                    frameTimes[std::string(sPath)] += pSamples[i].GpuTime() * 1000.0;
            }
            for (const auto &[sName, flMs] : frameTimes)
                times[sName].push_back(flMs);
            ++*pnFrames;
        },
        &sProblems);
    if (!sProblems.empty())
        std::fprintf(stderr, "%s", sProblems.c_str());
    if (bRead && *pnFrames == 0)
        std::fprintf(stderr, "gpucap: %s holds no complete frame\n", sPath.c_str());
    return bRead && *pnFrames > 0;
}

std::string Cell(double flValue, const char *pszFormat)
{
    if (std::isnan(flValue))
        return "-";
    char text[32];
    std::snprintf(text, sizeof(text), pszFormat, flValue);
    return text;
}

} // namespace

int RunDiff(const DiffOptions &options)
{
    PathTimes base, next;
    size_t nBaseFrames = 0, nNewFrames = 0;
    if (!ReadTimes(options.sBase, base, &nBaseFrames) || !ReadTimes(options.sNew, next, &nNewFrames))
        return GPUCAP_EXIT_FAILED;

    std::vector<PathChange> changes;
    changes.reserve(base.size() + next.size());
    for (auto &[sPath, values] : base)
        changes.push_back({sPath, Median(values), NAN});
    for (PathChange &change : changes) {
        if (auto it = next.find(change.sPath); it != next.end()) {
            change.flNew = Median(it->second);
            next.erase(it);
        }
    }
    for (auto &[sPath, values] : next)
        changes.push_back({sPath, NAN, Median(values)});
    // Largest regression first; paths found in one capture only go last, the larger first.
    auto key = [](const PathChange &c) { return std::isnan(c.Change()) ? -1e300 : c.Change(); };
    std::sort(changes.begin(), changes.end(), [&](const PathChange &a, const PathChange &b) {
        if (key(a) != key(b))
            return key(a) > key(b);
        const double flA = std::isnan(a.flBase) ? a.flNew : a.flBase, flB = std::isnan(b.flBase) ? b.flNew : b.flBase;
        return flA != flB ? flA > flB : a.sPath < b.sPath;
    });

    std::vector<const PathChange *> regressions;
    for (const PathChange &change : changes) {
        const bool bLargeEnough = std::max(change.flBase, change.flNew) >= options.flMinMs;
        if (bLargeEnough && change.Percent() > options.flThresholdPercent)
            regressions.push_back(&change);
    }

    std::printf("base: %s (%zu frames)\nnew:  %s (%zu frames)\n\n", options.sBase.c_str(), nBaseFrames, options.sNew.c_str(), nNewFrames);
    std::printf("%12s %12s %12s %9s  %s\n", "base ms", "new ms", "change ms", "change", "path");
    size_t nShown = 0;
    for (const PathChange &change : changes) {
        if (options.nTop > 0 && nShown == size_t(options.nTop))
            break;
        std::printf("%12s %12s %12s %9s  %s\n", Cell(change.flBase, "%.4f").c_str(), Cell(change.flNew, "%.4f").c_str(),
                    Cell(change.Change(), "%+.4f").c_str(), Cell(change.Percent(), "%+.1f%%").c_str(), change.sPath.c_str());
        ++nShown;
    }
    if (nShown < changes.size())
        std::printf("(%zu more paths)\n", changes.size() - nShown);

    if (regressions.empty()) {
        std::printf("\nno path got slower than %g%%\n", options.flThresholdPercent);
        return GPUCAP_EXIT_DONE;
    }
    std::printf("\n%zu path%s got slower than %g%%; the largest: %s (%s ms, %s)\n", regressions.size(), regressions.size() == 1 ? "" : "s",
                options.flThresholdPercent, regressions.front()->sPath.c_str(), Cell(regressions.front()->Change(), "%+.4f").c_str(),
                Cell(regressions.front()->Percent(), "%+.1f%%").c_str());
    return GPUCAP_EXIT_REGRESSION;
}
