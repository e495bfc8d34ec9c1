#include "timeline_frame.h"

#include "gpu_frame.h"
#include "murmur_hash2.h"
#include "str_tools.h"
#include "timeline_view.h"

#include <charconv>
#include <cstring>

namespace {

// 1e25 and 1e-7 as the single precision values they have always been.
constexpr double kRangeStart = 9.999999562023526e+24;
constexpr double kHairlineLength = 1.0000000116860974e-07;

// Appends text to the bounded buffer; the tooltip keeps what fits.
struct BoundedText
{
    char *pText;
    size_t nCapacity; // including the terminator
    size_t nLength = 0;

    void Append(const char *p, size_t n)
    {
        const size_t nRoom = nCapacity - 1 - nLength;
        const size_t nCopy = n < nRoom ? n : nRoom;
        std::memcpy(pText + nLength, p, nCopy);
        nLength += nCopy;
    }
    void Append(std::string_view s) { Append(s.data(), s.size()); }
    void AppendMilliseconds(double flValue)
    {
        // Fixed notation with three decimals, exactly as printf's "%3.3f" writes it (the width
        // never pads: the shortest such text, "0.000", is already longer).
        char number[400];
        const auto result = std::to_chars(number, number + sizeof(number), flValue, std::chars_format::fixed, 3);
        Append(number, size_t(result.ptr - number));
    }
};

} // namespace

void FormatTimelineSampleText(char *pText, size_t nCapacity, uint32 nIndex, std::string_view sName, double flStartMs, double flLengthMs)
{
    if (!pText || nCapacity == 0)
        return;
    // Runs once per sample of every frame shown; printf would be the dearest part of loading a
    // frame, so the text is put together piece by piece.
    BoundedText text{pText, nCapacity};
    char index[16];
    const auto indexEnd = std::to_chars(index, index + sizeof(index), nIndex).ptr;
    text.Append("[", 1);
    text.Append(index, size_t(indexEnd - index));
    text.Append("], \"");
    text.Append(sName);
    text.Append("\", Start: ");
    text.AppendMilliseconds(flStartMs);
    text.Append("ms, Len: ");
    text.AppendMilliseconds(flLengthMs);
    text.Append("ms");
    pText[text.nLength] = '\0';
}

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
    const int32 nCount = pFrame ? pFrame->SampleCount() : 0;
    if (nCount <= 0) {
        pView->ClearSamples();
        return;
    }
    // The bars are replaced right away, so the ones shown now stay up until the build reuses or
    // hides them (hiding and showing a thousand items again costs more than the rest of a load).
    pView->ClearSamplesForReload();
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

    // The tooltips are written from the records when a bar gets an item.
    pView->SetSampleTexts(pSamples, pView->SampleCount(), flOrigin);
    pView->BuildSampleItems();
}
