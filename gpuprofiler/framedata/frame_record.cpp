#include "frame_record.h"

std::string_view SplitSamplePath(std::string_view sName, int nPart, int *pnParts)
{
    if (sName.empty() || sName[0] != '#') {
        if (pnParts)
            *pnParts = sName.empty() ? 0 : 3;
        return sName.empty() ? kMissingPathPart : sName;
    }

    // Each part is a stretch of the name between separators, so it can be returned in place.
    size_t partBegin[3] = {1, 0, 0};
    size_t partLength[3] = {0, 0, 0};
    int nCount = 0;
    size_t i = 1;
    for (; i < sName.size(); ++i) {
        if (sName[i] == '/') {
            if (++nCount == 3)
                break;
            partBegin[nCount] = i + 1;
        } else {
            ++partLength[nCount];
        }
    }
    if (nCount < 3 && partLength[nCount] > 0)
        ++nCount;

    if (pnParts)
        *pnParts = nCount;
    if (nPart < 0 || nPart > 2 || nCount <= nPart || partLength[nPart] == 0)
        return kMissingPathPart;
    return sName.substr(partBegin[nPart], partLength[nPart]);
}

void AddCounters(GpuSampleRecord *pDest, const GpuSampleRecord *pSource)
{
    auto *pDestBytes = reinterpret_cast<uint8 *>(pDest);
    const auto *pSourceBytes = reinterpret_cast<const uint8 *>(pSource);
    for (const SampleCounterField &field : kSampleCounterFields) {
        uint8 *d = pDestBytes + field.nOffset;
        const uint8 *s = pSourceBytes + field.nOffset;
        if (field.nSize == 2)
            StoreBigEndian16(d, uint16(LoadBigEndian16(d) + LoadBigEndian16(s)));
        else
            StoreBigEndian32(d, LoadBigEndian32(d) + LoadBigEndian32(s));
    }
}

void AddToTotals(GpuSampleRecord *pTotals, const GpuSampleRecord *pSample)
{
    pTotals->SetCpuTime(pTotals->CpuTime() + pSample->CpuTime());
    pTotals->SetGpuTime(pTotals->GpuTime() + pSample->GpuTime());
    AddCounters(pTotals, pSample);
}

void AddRecordsToTotals(GpuSampleRecord *pTotals, const GpuSampleRecord *pSamples, int32 nCount)
{
    if (nCount <= 0)
        return;
    constexpr size_t kFields = kSampleCounterFieldCount;
    auto *pTotalBytes = reinterpret_cast<uint8 *>(pTotals);
    // Sums in host order; u16 counters are cut to 16 bits at the end, which gives the same
    // result as wrapping after every addition.
    uint32 sums[kFields];
    for (size_t f = 0; f < kFields; ++f) {
        const uint8 *p = pTotalBytes + kSampleCounterFields[f].nOffset;
        sums[f] = kSampleCounterFields[f].nSize == 2 ? LoadBigEndian16(p) : LoadBigEndian32(p);
    }
    // The times are added one sample after the other, as AddToTotals does, so the rounding is
    // the same.
    double flCpu = pTotals->CpuTime();
    double flGpu = pTotals->GpuTime();
    for (int32 i = 0; i < nCount; ++i) {
        const GpuSampleRecord &sample = pSamples[i];
        flCpu += sample.CpuTime();
        flGpu += sample.GpuTime();
        const auto *pBytes = reinterpret_cast<const uint8 *>(&sample);
        for (size_t f = 0; f < kFields; ++f) {
            const uint8 *p = pBytes + kSampleCounterFields[f].nOffset;
            sums[f] += kSampleCounterFields[f].nSize == 2 ? LoadBigEndian16(p) : LoadBigEndian32(p);
        }
    }
    pTotals->SetCpuTime(flCpu);
    pTotals->SetGpuTime(flGpu);
    for (size_t f = 0; f < kFields; ++f) {
        uint8 *p = pTotalBytes + kSampleCounterFields[f].nOffset;
        if (kSampleCounterFields[f].nSize == 2)
            StoreBigEndian16(p, uint16(sums[f]));
        else
            StoreBigEndian32(p, sums[f]);
    }
}

void ZeroCounters(GpuSampleRecord *pRecord)
{
    std::memset(reinterpret_cast<uint8 *>(pRecord) + GpuSampleRecord::kCounterBlockOffset, 0, GpuSampleRecord::kCounterBlockSize);
}
