#include "sample_columns.h"

#include "murmur_hash2.h"
#include "number_texts.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

enum ColumnKind : uint8
{
    KIND_PATH_PART, // argument: the SamplePathPart
    KIND_INDEX,
    KIND_GPU_START,
    KIND_GPU_TIME,
    KIND_CPU_TIME,
    KIND_U16, // argument: the field's byte offset in the record
    KIND_U32, // argument: the field's byte offset in the record
    KIND_CULLED,
    KIND_ACMR,
    KIND_LIMIT_CMR,
};

struct ColumnSpec
{
    const char *pszHeader;
    ColumnKind nKind;
    uint16 nArg;
};

constexpr ColumnSpec kSampleColumns[kSampleColumnCount] = {
    {"Name", KIND_PATH_PART, SAMPLE_PATH_NAME},
    {"Index", KIND_INDEX, 0},
    {"View", KIND_PATH_PART, SAMPLE_PATH_VIEW},
    {"Layer", KIND_PATH_PART, SAMPLE_PATH_LAYER},
    {"Context", KIND_PATH_PART, SAMPLE_PATH_NAME},
    {"GPU Start Time", KIND_GPU_START, 0},
    {"GPU Time [ms]", KIND_GPU_TIME, 0},
    {"CPU Time [ms]", KIND_CPU_TIME, 0},
    {"Draws", KIND_U16, offsetof(GpuSampleRecord, draws)},
    {"Prims", KIND_U32, offsetof(GpuSampleRecord, prims)},
    {"IAPrims", KIND_U32, offsetof(GpuSampleRecord, iaPrims)},
    {"CPrims", KIND_U32, offsetof(GpuSampleRecord, cPrims)},
    {"% Prims Culled", KIND_CULLED, 0},
    {"Verts", KIND_U32, offsetof(GpuSampleRecord, verts)},
    {"IAVerts", KIND_U32, offsetof(GpuSampleRecord, iaVerts)},
    {"VSInvokes", KIND_U32, offsetof(GpuSampleRecord, vsInvokes)},
    {"VS ACMR", KIND_ACMR, 0},
    {"VS Limit CMR", KIND_LIMIT_CMR, 0},
    {"PSInvokes", KIND_U32, offsetof(GpuSampleRecord, psInvokes)},
    {"CInvokes", KIND_U32, offsetof(GpuSampleRecord, cInvokes)},
    {"Clears", KIND_U16, offsetof(GpuSampleRecord, clears)},
    {"Resolves", KIND_U16, offsetof(GpuSampleRecord, resolves)},
    {"VB Updates", KIND_U16, offsetof(GpuSampleRecord, vbUpdates)},
    {"VB Upload", KIND_U32, offsetof(GpuSampleRecord, vbUpload)},
    {"IB Updates", KIND_U16, offsetof(GpuSampleRecord, ibUpdates)},
    {"IB Upload", KIND_U32, offsetof(GpuSampleRecord, ibUpload)},
    {"CB Updates", KIND_U16, offsetof(GpuSampleRecord, cbUpdates)},
    {"CB Upload", KIND_U32, offsetof(GpuSampleRecord, cbUpload)},
    {"TEX Updates", KIND_U16, offsetof(GpuSampleRecord, texUpdates)},
    {"TEX Upload", KIND_U32, offsetof(GpuSampleRecord, texUpload)},
    {"FB TEX Updates", KIND_U16, offsetof(GpuSampleRecord, fbTexUpdates)},
    {"InstHist0", KIND_U16, InstHistOffset(0)},
    {"InstHist1", KIND_U16, InstHistOffset(1)},
    {"InstHist2", KIND_U16, InstHistOffset(2)},
    {"InstHist3", KIND_U16, InstHistOffset(3)},
    {"InstHist4", KIND_U16, InstHistOffset(4)},
    {"InstHist5", KIND_U16, InstHistOffset(5)},
    {"InstHist6", KIND_U16, InstHistOffset(6)},
    {"InstHist7", KIND_U16, InstHistOffset(7)},
    {"InstHist8", KIND_U16, InstHistOffset(8)},
    {"InstHist16", KIND_U16, InstHistOffset(9)},
    {"InstHist32", KIND_U16, InstHistOffset(10)},
    {"InstHistJumbo", KIND_U16, InstHistOffset(11)},
    {"Prims/Draw 0-16", KIND_U16, PrimsPerDrawHistOffset(0)},
    {"Prims/Draw 17-128", KIND_U16, PrimsPerDrawHistOffset(1)},
    {"Prims/Draw 129-256", KIND_U16, PrimsPerDrawHistOffset(2)},
    {"Prims/Draw 257-512", KIND_U16, PrimsPerDrawHistOffset(3)},
    {"Prims/Draw 513-1k", KIND_U16, PrimsPerDrawHistOffset(4)},
    {"Prims/Draw 1k-2k", KIND_U16, PrimsPerDrawHistOffset(5)},
    {"Prims/Draw 2k-4k", KIND_U16, PrimsPerDrawHistOffset(6)},
    {"Prims/Draw 4k-8k", KIND_U16, PrimsPerDrawHistOffset(7)},
    {"Prims/Draw 8k-16k", KIND_U16, PrimsPerDrawHistOffset(8)},
    {"Prims/Draw 16k-64k", KIND_U16, PrimsPerDrawHistOffset(9)},
    {"Prims/Draw 64k-256k", KIND_U16, PrimsPerDrawHistOffset(10)},
    {"Prims/Draw 256k+", KIND_U16, PrimsPerDrawHistOffset(11)},
};

// Every counter column reads a counter of the record, of the size its kind says.
static_assert([] {
    for (const ColumnSpec &column : kSampleColumns) {
        if (column.nKind != KIND_U16 && column.nKind != KIND_U32)
            continue;
        const uint16 nSize = column.nKind == KIND_U16 ? 2 : 4;
        bool bFound = false;
        for (const SampleCounterField &field : kSampleCounterFields)
            bFound = bFound || (field.nOffset == column.nArg && field.nSize == nSize);
        if (!bFound)
            return false;
    }
    return true;
}());

const char *const kResourceStatHeaders[GpuFrameHeader::kResourceStatCount] = {
    "Unique Bound VBs", "Bound VB Size", "Unique Bound IBs",  "Bound IB Size",  "Unique Bound CBs",
    "Bound CB Size",    "FB Tex Pool",   "Unique Bound TEXs", "Bound TEX Size",
};

const QString &MissingPartText()
{
    static const QString s_text = QString::fromLatin1(kMissingPathPart.data(), qsizetype(kMissingPathPart.size()));
    return s_text;
}

QString PartText(std::string_view sPart)
{
    if (sPart.data() == kMissingPathPart.data())
        return MissingPartText();
    return QString::fromLatin1(sPart.data(), qsizetype(sPart.size()));
}

// A double as float without the undefined conversion of values beyond the float range.
float ToFloat(double flValue)
{
    if (flValue > double(FLT_MAX))
        return HUGE_VALF;
    if (flValue < -double(FLT_MAX))
        return -HUGE_VALF;
    return float(flValue);
}

// floor(ratio * 10000) * 0.01 in single precision: a percentage truncated to two decimals.
float CulledPercent(uint32 nIaPrims, uint32 nCPrims)
{
    float flRatio = 0.0f;
    if (nIaPrims != 0)
        flRatio = float(1.0 - double(nCPrims) / double(nIaPrims));
    if (flRatio > 1.0f)
        flRatio = 1.0f;
    if (flRatio < 0.0f)
        flRatio = 0.0f;
    return std::floor(flRatio * 10000.0f) * 0.01f;
}

// floor(ratio * 100 + 0.5) * 0.01 in single precision: rounded half up to two decimals.
float RoundedRatio(uint32 nNumerator, uint32 nIaPrims)
{
    if (nIaPrims == 0)
        return 0.0f;
    const float flRatio = float(double(nNumerator) / double(nIaPrims));
    return std::floor(flRatio * 100.0f + 0.5f) * 0.01f;
}

void InitTotals(GpuSampleRecord *pTotals, const char *pszName)
{
    std::memset(static_cast<void *>(pTotals), 0, sizeof(*pTotals));
    pTotals->SetName(pszName);
}

} // namespace

QString SampleColumnHeader(int nColumn)
{
    if (nColumn < 0 || nColumn >= kSampleColumnCount)
        return QString();
    return QString::fromLatin1(kSampleColumns[nColumn].pszHeader);
}

QString FrameStatsColumnHeader(int nColumn)
{
    if (nColumn < kFirstResourceStatColumn)
        return SampleColumnHeader(nColumn);
    if (nColumn < kFirstTexDimHistColumn)
        return QString::fromLatin1(kResourceStatHeaders[nColumn - kFirstResourceStatColumn]);
    if (nColumn < kFrameStatsColumnCount)
        return QStringLiteral("Bound TEX Dim Hist (%1)").arg(1u << (nColumn - kFirstTexDimHistColumn));
    return QString();
}

bool SampleColumnCell(const GpuSampleRecord &record, int nSampleIndex, int nColumn, double flFirstGpuStart, SampleCell *pCell, bool bText)
{
    if (nColumn < 0 || nColumn >= kSampleColumnCount)
        return false;
    const ColumnSpec &column = kSampleColumns[nColumn];
    const auto *pBytes = reinterpret_cast<const uint8 *>(&record);
    switch (column.nKind) {
    case KIND_PATH_PART:
        pCell->text = PartText(SplitSamplePath(record.Name(), column.nArg));
        pCell->value = pCell->text;
        pCell->flNumber = 0.0;
        return true;
    case KIND_INDEX:
        pCell->value = nSampleIndex;
        // Plain decimal, like the "[first..last]" range that replaces it on group rows.
        if (bText)
            pCell->text = QString::number(nSampleIndex);
        pCell->flNumber = nSampleIndex;
        return true;
    case KIND_GPU_START:
    case KIND_GPU_TIME:
    case KIND_CPU_TIME: {
        double flMs;
        if (column.nKind == KIND_GPU_START)
            flMs = (record.GpuStartTime() - flFirstGpuStart) * 1000.0;
        else if (column.nKind == KIND_GPU_TIME)
            flMs = record.GpuTime() * 1000.0;
        else
            flMs = record.CpuTime() * 1000.0;
        pCell->value = flMs;
        if (bText)
            pCell->text = CNumberTexts::Fixed(flMs, column.nKind == KIND_GPU_START ? 2 : 3);
        pCell->flNumber = flMs;
        return true;
    }
    case KIND_U16: {
        const int nValue = LoadBigEndian16(pBytes + column.nArg);
        pCell->value = nValue;
        if (bText)
            pCell->text = CNumberTexts::Integer(uint32(nValue));
        pCell->flNumber = nValue;
        return true;
    }
    case KIND_U32: {
        const uint32 nValue = LoadBigEndian32(pBytes + column.nArg);
        pCell->value = nValue;
        if (bText)
            pCell->text = CNumberTexts::Integer(nValue);
        pCell->flNumber = nValue;
        return true;
    }
    case KIND_CULLED: {
        const float flValue = CulledPercent(record.IaPrims(), record.CPrims());
        pCell->value = flValue;
        if (bText)
            pCell->text = QString::number(double(flValue), 'f', 2) + QLatin1Char('%');
        pCell->flNumber = flValue;
        return true;
    }
    case KIND_ACMR:
    case KIND_LIMIT_CMR: {
        const uint32 nNumerator = column.nKind == KIND_ACMR ? record.VsInvokes() : record.Verts();
        const float flValue = RoundedRatio(nNumerator, record.IaPrims());
        pCell->value = flValue;
        if (bText)
            pCell->text = CNumberTexts::Fixed(double(flValue), 2);
        pCell->flNumber = flValue;
        return true;
    }
    }
    return false;
}

QVariant SampleColumnValue(const GpuSampleRecord &record, int nSampleIndex, int nColumn, double flFirstGpuStart)
{
    SampleCell cell;
    SampleColumnCell(record, nSampleIndex, nColumn, flFirstGpuStart, &cell, false);
    return cell.value;
}

QString SampleColumnText(const GpuSampleRecord &record, int nSampleIndex, int nColumn, double flFirstGpuStart)
{
    SampleCell cell;
    SampleColumnCell(record, nSampleIndex, nColumn, flFirstGpuStart, &cell);
    return cell.text;
}

int SampleColumnAlignment(int nColumn)
{
    const bool bLeft = nColumn == SAMPLE_COLUMN_NAME || nColumn == SAMPLE_COLUMN_VIEW || nColumn == SAMPLE_COLUMN_LAYER ||
        nColumn == SAMPLE_COLUMN_CONTEXT;
    return int(bLeft ? Qt::AlignLeft : Qt::AlignRight) | int(Qt::AlignVCenter);
}

SampleForeground SampleColumnForeground(int nColumn, double flNumber)
{
    if (nColumn == SAMPLE_COLUMN_GPU_TIME || nColumn == SAMPLE_COLUMN_CPU_TIME) {
        if (flNumber < 0.0095)
            return SAMPLE_FG_LIGHT_GRAY;
        if (flNumber < 0.095)
            return SAMPLE_FG_DARK_GRAY;
        if (flNumber < 1.0)
            return SAMPLE_FG_BLACK;
        return SAMPLE_FG_RED;
    }
    if (nColumn <= SAMPLE_COLUMN_CONTEXT)
        return SAMPLE_FG_BLACK;
    return ToFloat(flNumber) == 0.0f ? SAMPLE_FG_GRAY : SAMPLE_FG_BLACK;
}

uint32 SampleRowRgb(const GpuSampleRecord &record)
{
    constexpr uint32 kWhite = 0xFFFFFFFFu;
    const std::string_view sName = record.Name();
    if (!sName.empty() && sName[0] == '#') {
        int nParts = 0;
        SplitSamplePath(sName, SAMPLE_PATH_VIEW, &nParts);
        if (nParts < 2)
            return kWhite;
    }
    std::string_view sLeaf = sName;
    const size_t nSlash = sLeaf.rfind('/');
    if (nSlash != std::string_view::npos)
        sLeaf.remove_prefix(nSlash + 1);
    const size_t nSpace = sLeaf.find(' ');
    if (nSpace != std::string_view::npos)
        sLeaf = sLeaf.substr(0, nSpace);
    if (!sLeaf.empty() && sLeaf[0] == '+')
        return 0xFFE6E6E6u;
    const uint32 h = MurmurHash2(sLeaf.data(), int(sLeaf.size()), 1);
    const uint32 r = (h & 255) * 70 / 255 + 155;
    const uint32 g = ((h >> 8) & 255) * 70 / 255 + 155;
    const uint32 b = ((h >> 16) & 255) * 70 / 255 + 155;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

void ComputeFrameTotals(const GpuSampleRecord *pRecords, int32 nCount, GpuSampleRecord *pTotals)
{
    InitTotals(pTotals, kFrameTotalsName);
    AddRecordsToTotals(pTotals, pRecords, nCount);
}

void ComputeGroupTotals(const GpuSampleRecord *pRecords, int32 nFirst, int32 nLast, bool bLayer, GpuSampleRecord *pTotals)
{
    InitTotals(pTotals, bLayer ? kLayerTotalsName : kViewTotalsName);
    std::memcpy(pTotals->cpuStartTime, pRecords[nFirst].cpuStartTime, sizeof(pTotals->cpuStartTime));
    std::memcpy(pTotals->gpuStartTime, pRecords[nFirst].gpuStartTime, sizeof(pTotals->gpuStartTime));
    AddRecordsToTotals(pTotals, pRecords + nFirst, nLast - nFirst + 1);
}

bool BuildSampleGroups(const GpuSampleRecord *pRecords, int32 nCount, GrowableArray<SampleGroup> *pViews,
                       GrowableArray<SampleGroup> *pLayers)
{
    pViews->RemoveAll();
    pLayers->RemoveAll();
    std::string_view sView, sLayer;
    for (int32 i = 0; i < nCount; ++i) {
        const std::string_view sName = pRecords[i].Name();
        const std::string_view sSampleView = SplitSamplePath(sName, SAMPLE_PATH_VIEW);
        const std::string_view sSampleLayer = SplitSamplePath(sName, SAMPLE_PATH_LAYER);
        const bool bNewView = pViews->IsEmpty() || sSampleView != sView || sSampleView == kMissingPathPart;
        if (bNewView && pViews->AddToTail(SampleGroup{i, i, -1}) < 0)
            break;
        if ((bNewView || sSampleLayer != sLayer) && pLayers->AddToTail(SampleGroup{i, i, pViews->Count() - 1}) < 0)
            break;
        sView = sSampleView;
        sLayer = sSampleLayer;
        (*pViews)[pViews->Count() - 1].nLast = i;
        (*pLayers)[pLayers->Count() - 1].nLast = i;
    }
    if (nCount > 0 && (pLayers->IsEmpty() || (*pLayers)[pLayers->Count() - 1].nLast != nCount - 1)) {
        pViews->RemoveAll();
        pLayers->RemoveAll();
        return false;
    }
    return true;
}
