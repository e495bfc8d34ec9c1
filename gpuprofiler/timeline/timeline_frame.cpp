#include "gpuprofiler/timeline/timeline_frame.h"

#include "bedrock/murmur_hash2.h"
#include "bedrock/str_tools.h"
#include "gpuprofiler/framedata/gpu_frame.h"
#include "gpuprofiler/timeline/timeline_view.h"

namespace {

// 1e25 and 1e-7 as the single precision values they have always been.
constexpr double kRangeStart = 9.999999562023526e+24;
constexpr double kHairlineLength = 1.0000000116860974e-07;

} // namespace

void TimelineColourOfName(std::string_view sName, uint8 colour[4])
{
    const uint32 h = MurmurHash2(sName.data(), int(sName.size()), 1);
    colour[0] = uint8(55 + (h & 255) * 200 / 255);
    colour[1] = uint8(55 + ((h >> 8) & 255) * 200 / 255);
    colour[2] = uint8(55 + ((h >> 16) & 255) * 200 / 255);
    colour[3] = 255;
}

void LoadFrameOnTimeline(CQTimelineView *pView, const GpuFrame *pFrame, double *pflTimelineOrigin)
{
    pView->ClearSamples();
    const int32 nCount = pFrame ? pFrame->SampleCount() : 0;
    if (nCount <= 0)
        return;

    pView->ClearSamples();
    pView->minStart = kRangeStart;
    pView->maxEnd = -kRangeStart;

    const GpuSampleRecord *pSamples = pFrame->Samples();
    const double flOrigin = pSamples[0].GpuStartTime();
    if (pflTimelineOrigin)
        *pflTimelineOrigin = flOrigin;

    // One allocation for the whole frame instead of a doubling run; if even that fails the
    // samples still go in one by one for as long as storage lasts.
    pView->ReserveSamples(nCount);

    TimelineSample sample;
    for (int32 i = 0; i < nCount; ++i) {
        const GpuSampleRecord &record = pSamples[i];
        // The name field need not be terminated by a target; it is never read past its end.
        const std::string_view sName = record.Name();
        const double flGpuStart = record.GpuStartTime();
        const double flGpuTime = record.GpuTime();

        TimelineColourOfName(sName, sample.colour);
        StrFormat(sample.text, sizeof(sample.text), "[%u], \"%.*s\", Start: %3.3fms, Len: %3.3fms", uint32(i),
                  int(sName.size()), sName.data(), (flGpuStart - flOrigin) * 1000.0, flGpuTime * 1000.0);

        // A sample that starts before the first one (or at no time at all, NaN) is drawn as a
        // hairline at the origin; its text keeps the true values.
        if (flGpuStart >= flOrigin) {
            sample.start = flGpuStart - flOrigin;
            sample.length = flGpuTime;
        } else {
            sample.start = 0.0;
            sample.length = kHairlineLength;
        }
        if (!pView->AddSample(sample))
            break;

        if (sample.start < pView->minStart)
            pView->minStart = sample.start;
        const double flEnd = sample.start + sample.length;
        if (flEnd > pView->maxEnd)
            pView->maxEnd = flEnd;
    }

    pView->BuildSampleItems();
}
