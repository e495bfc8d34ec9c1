#include "frame_history.h"

#include <algorithm>
#include <bit>
#include <cstring>

// A recorded sample, in order:
//   flags                 one byte of the kFlag... bits below
//   name id               LEB128
//   cpuTime, gpuTime      8 bytes each, as received
//   cpuStartTime          8 bytes unless kFlagCpuStartSummed
//   gpuStartTime          8 bytes unless kFlagGpuStartSummed
//   reserved74, reserved152   7 bytes when kFlagReserved
//   counter mask          6 bytes when kFlagNewMask, else the previous sample's: bit f set when
//                         counter f of kSampleCounterFields is not zero
//   counters              LEB128 of each counter whose bit is set, in field order

namespace {

constexpr uint8 kFlagCpuStartSummed = 1; // the start is the sum of the earlier samples' times
constexpr uint8 kFlagGpuStartSummed = 2;
constexpr uint8 kFlagReserved = 4;
constexpr uint8 kFlagNewMask = 8;

constexpr size_t kMaskBytes = 6;
constexpr size_t kMaxVarintBytes = 5;
constexpr size_t kMaxEncodedSample = 1 + kMaxVarintBytes + 4 * 8 + 7 + kMaskBytes + size_t(kSampleCounterFieldCount) * kMaxVarintBytes;
constexpr size_t kReserved74Offset = 74;
constexpr size_t kReserved74Size = 6;
constexpr size_t kReserved152Offset = 152;
constexpr size_t kNameOffset = 153;

static_assert(kSampleCounterFieldCount <= int(kMaskBytes * 8));

uint8 *PutVarint(uint8 *p, uint32 nValue)
{
    while (nValue >= 0x80) {
        *p++ = uint8(nValue | 0x80);
        nValue >>= 7;
    }
    *p++ = uint8(nValue);
    return p;
}

const uint8 *GetVarint(const uint8 *p, uint32 *pnValue)
{
    uint32 nValue = 0;
    for (int nShift = 0;; nShift += 7) {
        const uint8 b = *p++;
        nValue |= uint32(b & 0x7F) << nShift;
        if (!(b & 0x80) || nShift >= 28)
            break;
    }
    *pnValue = nValue;
    return p;
}

// The name field's length without its trailing zero bytes: what must be kept so that the field
// comes back byte for byte.
uint32 NameFieldLength(const char *pName)
{
    constexpr size_t kSize = GpuSampleRecord::kNameSize;
    static const char s_zeros[kSize] = {};
    const size_t nLength = strnlen(pName, kSize);
    if (nLength == kSize || std::memcmp(pName + nLength, s_zeros, kSize - nLength) == 0)
        return uint32(nLength);
    size_t nLast = kSize - 1;
    while (pName[nLast] == '\0')
        --nLast;
    return uint32(nLast + 1);
}

bool IsZero(const uint8 *p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (p[i])
            return false;
    }
    return true;
}

} // namespace

void PrepareFrameRecords(const GpuFrameHeader &header, GpuSampleArray &samples)
{
    if (header.SampleCount() < uint32(samples.Count()))
        samples.SetCount(int32(header.SampleCount()));
    if (samples.IsEmpty() && samples.SetCount(1))
        samples[0].SetName("Dummy"); // the other fields stay zero
}

int32 FrameHistory::AddEntry()
{
    const int32 nSlot = tail;
    tail = (tail + 1) % kSlots;
    if (tail == head) {
        // The oldest frame goes now, with its records and its hold on its names.
        ResetEntry(entries[head]);
        head = (head + 1) % kSlots;
    }
    ResetEntry(entries[nSlot]);
    entries[nSlot].serial = nextSerial++;
    maxValid = false;
    return nSlot;
}

void FrameHistory::ResetEntry(FrameHistoryEntry &entry)
{
    if (entry.pData) {
        const uint8 *pIds = entry.pData + entry.nRecordBytes;
        for (uint32 i = 0; i < entry.nNameIds; ++i)
            names.Release(LoadLittleEndian32(pIds + 4 * i));
        frameBytes -= int64(entry.nRecordBytes) + 4 * int64(entry.nNameIds);
        g_pMemAlloc->Free(entry.pData);
    }
    entry = FrameHistoryEntry{};
}

void FrameHistory::DropOldest()
{
    if (head == tail)
        return;
    ResetEntry(entries[head]);
    head = (head + 1) % kSlots;
    maxValid = false;
    // An emptied history holds nothing, not even the table of the names it had.
    if (head == tail)
        names.Clear();
}

void FrameHistory::Clear()
{
    head = 0;
    tail = 0;
    for (FrameHistoryEntry &entry : entries)
        ResetEntry(entry);
    names.Clear();
    frameNames.Purge();
    frameBytes = 0;
    maxValid = false;
}

void FrameHistory::Swap(FrameHistory &other)
{
    std::swap_ranges(entries, entries + kSlots, other.entries);
    std::swap(head, other.head);
    std::swap(tail, other.tail);
    std::swap(maxValid, other.maxValid);
    std::swap(cachedMax, other.cachedMax);
    // The serials go with the names: the pool counts a name's frames by their serials.
    std::swap(nextSerial, other.nextSerial);
    std::swap(frameBytes, other.frameBytes);
    names.Swap(other.names);
    frameNames.Swap(other.frameNames);
}

int32 FrameHistory::Count() const
{
    const int32 nCount = tail - head;
    return nCount < 0 ? nCount + kSlots : nCount;
}

FrameHistoryEntry *FrameHistory::EntryAt(int32 nPosition)
{
    if (nPosition < 0 || nPosition >= Count())
        return nullptr;
    return &entries[(head + nPosition) % kSlots];
}

const FrameHistoryEntry *FrameHistory::EntryAt(int32 nPosition) const
{
    return const_cast<FrameHistory *>(this)->EntryAt(nPosition);
}

double FrameHistory::MaxTotalGpuTime()
{
    if (maxValid)
        return cachedMax;
    double flMax = kMinMaxTotalGpuTime;
    const int32 nCount = Count();
    for (int32 p = 0; p < nCount; ++p) {
        const double flTotal = entries[(head + p) % kSlots].totalGpuTime;
        if (flTotal > flMax)
            flMax = flTotal;
    }
    cachedMax = flMax;
    maxValid = true;
    return cachedMax;
}

FrameHistoryEntry &FrameHistory::Record(const GpuFrameHeader &header, const GpuSampleRecord *pSamples, int32 nCount, double flTotalGpuTime)
{
    FrameHistoryEntry &entry = entries[AddEntry()];
    entry.header = header;
    entry.totalGpuTime = flTotalGpuTime;
    if (nCount > 0 && pSamples)
        Encode(entry, pSamples, nCount);
    // The newest frame stays whatever its size; older ones make room for it.
    while (Count() > 1 && MemoryBytes() > maxBytes)
        DropOldest();
    return entry;
}

bool FrameHistory::Encode(FrameHistoryEntry &entry, const GpuSampleRecord *pSamples, int32 nCount)
{
    // Room for the worst case (every counter at its widest, every name new), cut to what was
    // used once the frame is written: the pages of the worst case that are never touched are
    // never committed.
    const size_t nWorst = size_t(nCount) * (kMaxEncodedSample + 4);
    auto *pData = static_cast<uint8 *>(g_pMemAlloc->Alloc(nWorst));
    if (!pData)
        return false;
    frameNames.RemoveAll();
    bool bFailed = false;
    uint8 *p = pData;
    double flCpuSum = 0.0;
    double flGpuSum = 0.0;
    uint64 nPreviousMask = ~uint64(0);
    for (int32 i = 0; i < nCount && !bFailed; ++i) {
        const GpuSampleRecord &sample = pSamples[i];
        const auto *pBytes = reinterpret_cast<const uint8 *>(&sample);

        bool bNewUser = false;
        const uint32 nName = names.Intern(sample.name, NameFieldLength(sample.name), entry.serial, &bNewUser);
        if (nName == CSampleNamePool::kNoName || (bNewUser && frameNames.AddToTail(nName) < 0)) {
            if (bNewUser && nName != CSampleNamePool::kNoName)
                names.Release(nName);
            bFailed = true;
            break;
        }

        uint8 cpuSum[8], gpuSum[8];
        StoreBigEndianDouble(cpuSum, flCpuSum);
        StoreBigEndianDouble(gpuSum, flGpuSum);
        uint8 nFlags = 0;
        if (std::memcmp(sample.cpuStartTime, cpuSum, 8) == 0)
            nFlags |= kFlagCpuStartSummed;
        if (std::memcmp(sample.gpuStartTime, gpuSum, 8) == 0)
            nFlags |= kFlagGpuStartSummed;
        if (!IsZero(pBytes + kReserved74Offset, kReserved74Size) || pBytes[kReserved152Offset] != 0)
            nFlags |= kFlagReserved;
        uint64 nMask = 0;
        for (int f = 0; f < kSampleCounterFieldCount; ++f) {
            const SampleCounterField &field = kSampleCounterFields[f];
            const uint8 *pField = pBytes + field.nOffset;
            if (pField[0] | pField[1] | (field.nSize == 4 ? (pField[2] | pField[3]) : 0))
                nMask |= uint64(1) << f;
        }
        if (nMask != nPreviousMask)
            nFlags |= kFlagNewMask;

        *p++ = nFlags;
        p = PutVarint(p, nName);
        std::memcpy(p, sample.cpuTime, 8);
        std::memcpy(p + 8, sample.gpuTime, 8);
        p += 16;
        if (!(nFlags & kFlagCpuStartSummed)) {
            std::memcpy(p, sample.cpuStartTime, 8);
            p += 8;
        }
        if (!(nFlags & kFlagGpuStartSummed)) {
            std::memcpy(p, sample.gpuStartTime, 8);
            p += 8;
        }
        if (nFlags & kFlagReserved) {
            std::memcpy(p, pBytes + kReserved74Offset, kReserved74Size);
            p[kReserved74Size] = pBytes[kReserved152Offset];
            p += kReserved74Size + 1;
        }
        if (nFlags & kFlagNewMask) {
            for (size_t b = 0; b < kMaskBytes; ++b)
                *p++ = uint8(nMask >> (8 * b));
            nPreviousMask = nMask;
        }
        for (uint64 nBits = nMask; nBits != 0; nBits &= nBits - 1) {
            const SampleCounterField &field = kSampleCounterFields[std::countr_zero(nBits)];
            const uint8 *pField = pBytes + field.nOffset;
            p = PutVarint(p, field.nSize == 2 ? LoadBigEndian16(pField) : LoadBigEndian32(pField));
        }
        flCpuSum += sample.CpuTime();
        flGpuSum += sample.GpuTime();
    }
    if (bFailed) {
        for (uint32 nName : frameNames)
            names.Release(nName);
        g_pMemAlloc->Free(pData);
        return false;
    }

    const uint32 nRecordBytes = uint32(p - pData);
    for (uint32 nName : frameNames) {
        StoreLittleEndian32(p, nName);
        p += 4;
    }
    const size_t nUsed = size_t(p - pData);
    if (void *pShrunk = g_pMemAlloc->Realloc(pData, nUsed))
        pData = static_cast<uint8 *>(pShrunk);
    entry.pData = pData;
    entry.nRecordBytes = nRecordBytes;
    entry.nNameIds = uint32(frameNames.Count());
    entry.sampleCount = nCount;
    frameBytes += int64(nUsed);
    // A frame of thousands of new names must not pin a scratch array as large.
    if (frameNames.Capacity() > 65536)
        frameNames.Purge();
    return true;
}

bool FrameHistory::DecodeSamples(const FrameHistoryEntry &entry, GpuSampleArray *pSamples) const
{
    if (!pSamples->SetCount(entry.sampleCount))
        return false;
    if (entry.sampleCount == 0)
        return true;
    std::memset(static_cast<void *>(pSamples->Base()), 0, size_t(entry.sampleCount) * sizeof(GpuSampleRecord));
    const uint8 *p = entry.pData;
    double flCpuSum = 0.0;
    double flGpuSum = 0.0;
    uint64 nMask = 0;
    for (GpuSampleRecord &sample : *pSamples) {
        auto *pBytes = reinterpret_cast<uint8 *>(&sample);
        const uint8 nFlags = *p++;
        uint32 nName = 0;
        p = GetVarint(p, &nName);
        uint32 nNameLength = 0;
        const char *pName = names.Bytes(nName, &nNameLength);
        if (nNameLength)
            std::memcpy(pBytes + kNameOffset, pName, nNameLength);
        std::memcpy(sample.cpuTime, p, 8);
        std::memcpy(sample.gpuTime, p + 8, 8);
        p += 16;
        if (nFlags & kFlagCpuStartSummed) {
            StoreBigEndianDouble(sample.cpuStartTime, flCpuSum);
        } else {
            std::memcpy(sample.cpuStartTime, p, 8);
            p += 8;
        }
        if (nFlags & kFlagGpuStartSummed) {
            StoreBigEndianDouble(sample.gpuStartTime, flGpuSum);
        } else {
            std::memcpy(sample.gpuStartTime, p, 8);
            p += 8;
        }
        if (nFlags & kFlagReserved) {
            std::memcpy(pBytes + kReserved74Offset, p, kReserved74Size);
            pBytes[kReserved152Offset] = p[kReserved74Size];
            p += kReserved74Size + 1;
        }
        if (nFlags & kFlagNewMask) {
            nMask = 0;
            for (size_t b = 0; b < kMaskBytes; ++b)
                nMask |= uint64(*p++) << (8 * b);
        }
        for (uint64 nBits = nMask; nBits != 0; nBits &= nBits - 1) {
            const SampleCounterField &field = kSampleCounterFields[std::countr_zero(nBits)];
            uint32 nValue = 0;
            p = GetVarint(p, &nValue);
            if (field.nSize == 2)
                StoreBigEndian16(pBytes + field.nOffset, uint16(nValue));
            else
                StoreBigEndian32(pBytes + field.nOffset, nValue);
        }
        flCpuSum += sample.CpuTime();
        flGpuSum += sample.GpuTime();
    }
    return true;
}
