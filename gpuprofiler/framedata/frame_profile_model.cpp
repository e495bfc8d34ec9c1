#include "gpuprofiler/framedata/frame_profile_model.h"

#include "bedrock/murmur_hash2.h"
#include "gpuprofiler/framedata/number_texts.h"

#include <QHash>
#include <QSignalBlocker>

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
    KIND_U16, // argument: byte offset in the record
    KIND_U32, // argument: byte offset in the record
    KIND_CULLED,
    KIND_ACMR,
    KIND_LIMIT_CMR,
};

struct SampleColumn
{
    const char *pszHeader;
    ColumnKind nKind;
    uint16 nArg;
};

constexpr SampleColumn kSampleColumns[CGpuFrameProfileModel::kSampleColumnCount] = {
    {"Name", KIND_PATH_PART, SAMPLE_PATH_NAME},
    {"Index", KIND_INDEX, 0},
    {"View", KIND_PATH_PART, SAMPLE_PATH_VIEW},
    {"Layer", KIND_PATH_PART, SAMPLE_PATH_LAYER},
    {"Context", KIND_PATH_PART, SAMPLE_PATH_NAME},
    {"GPU Start Time", KIND_GPU_START, 0},
    {"GPU Time [ms]", KIND_GPU_TIME, 0},
    {"CPU Time [ms]", KIND_CPU_TIME, 0},
    {"Draws", KIND_U16, 32},
    {"Prims", KIND_U32, 40},
    {"IAPrims", KIND_U32, 84},
    {"CPrims", KIND_U32, 96},
    {"% Prims Culled", KIND_CULLED, 0},
    {"Verts", KIND_U32, 36},
    {"IAVerts", KIND_U32, 80},
    {"VSInvokes", KIND_U32, 88},
    {"VS ACMR", KIND_ACMR, 0},
    {"VS Limit CMR", KIND_LIMIT_CMR, 0},
    {"PSInvokes", KIND_U32, 100},
    {"CInvokes", KIND_U32, 92},
    {"Clears", KIND_U16, 44},
    {"Resolves", KIND_U16, 46},
    {"VB Updates", KIND_U16, 48},
    {"VB Upload", KIND_U32, 58},
    {"IB Updates", KIND_U16, 50},
    {"IB Upload", KIND_U32, 62},
    {"CB Updates", KIND_U16, 52},
    {"CB Upload", KIND_U32, 66},
    {"TEX Updates", KIND_U16, 54},
    {"TEX Upload", KIND_U32, 70},
    {"FB TEX Updates", KIND_U16, 56},
    {"InstHist0", KIND_U16, 104},
    {"InstHist1", KIND_U16, 106},
    {"InstHist2", KIND_U16, 108},
    {"InstHist3", KIND_U16, 110},
    {"InstHist4", KIND_U16, 112},
    {"InstHist5", KIND_U16, 114},
    {"InstHist6", KIND_U16, 116},
    {"InstHist7", KIND_U16, 118},
    {"InstHist8", KIND_U16, 120},
    {"InstHist16", KIND_U16, 122},
    {"InstHist32", KIND_U16, 124},
    {"InstHistJumbo", KIND_U16, 126},
    {"Prims/Draw 0-16", KIND_U16, 128},
    {"Prims/Draw 17-128", KIND_U16, 130},
    {"Prims/Draw 129-256", KIND_U16, 132},
    {"Prims/Draw 257-512", KIND_U16, 134},
    {"Prims/Draw 513-1k", KIND_U16, 136},
    {"Prims/Draw 1k-2k", KIND_U16, 138},
    {"Prims/Draw 2k-4k", KIND_U16, 140},
    {"Prims/Draw 4k-8k", KIND_U16, 142},
    {"Prims/Draw 8k-16k", KIND_U16, 144},
    {"Prims/Draw 16k-64k", KIND_U16, 146},
    {"Prims/Draw 64k-256k", KIND_U16, 148},
    {"Prims/Draw 256k+", KIND_U16, 150},
};

const char *const kResourceStatHeaders[GpuFrameHeader::kResourceStatCount] = {
    "Unique Bound VBs", "Bound VB Size", "Unique Bound IBs", "Bound IB Size", "Unique Bound CBs",
    "Bound CB Size",    "FB Tex Pool",   "Unique Bound TEXs", "Bound TEX Size",
};

const char kViewTotalsName[] = "#View Totals/<View Totals>/<View Totals>";
const char kLayerTotalsName[] = "#Layer Totals/Layer Totals/<Layer Totals>";
const char kFrameTotalsName[] = "#Frame Totals/Frame Totals/Frame Totals";

constexpr int kLeftAligned = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int kRightAligned = Qt::AlignRight | Qt::AlignVCenter;

enum Foreground
{
    FG_BLACK,
    FG_GRAY,
    FG_LIGHT_GRAY,
    FG_DARK_GRAY,
    FG_RED,
    FG_COUNT
};

const QBrush &ForegroundBrush(int nForeground)
{
    static const QBrush s_brushes[FG_COUNT] = {QBrush(Qt::black), QBrush(Qt::gray), QBrush(Qt::lightGray),
                                               QBrush(Qt::darkGray), QBrush(Qt::red)};
    return s_brushes[nForeground];
}

const QColor kGroupRowGrey(245, 245, 245);

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

// What one cell shows: the raw value, the text and the value as a number for the colour rules.
struct CellContent
{
    QVariant value;
    QString text;
    double flNumber = 0.0;
    bool bZeroCounter = false; // a u16 or u32 counter that is 0
};

// pParts, when given, holds the View, Layer and Name texts of the record's name.
void ColumnContent(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn, double flFirstGpuStart,
                   const QString *pParts, CellContent *pCell)
{
    const SampleColumn &column = kSampleColumns[nColumn];
    const auto *pBytes = reinterpret_cast<const uint8 *>(pRecord);
    switch (column.nKind) {
    case KIND_PATH_PART: {
        pCell->text = pParts ? pParts[column.nArg] : PartText(SplitSamplePath(pRecord->Name(), column.nArg));
        pCell->value = pCell->text;
        return;
    }
    case KIND_INDEX:
        pCell->value = nSampleIndex;
        // Plain decimal, like the "[first..last]" range that replaces it on group rows.
        pCell->text = QString::number(nSampleIndex);
        pCell->flNumber = nSampleIndex;
        return;
    case KIND_GPU_START:
    case KIND_GPU_TIME:
    case KIND_CPU_TIME: {
        double flMs;
        if (column.nKind == KIND_GPU_START)
            flMs = (pRecord->GpuStartTime() - flFirstGpuStart) * 1000.0;
        else if (column.nKind == KIND_GPU_TIME)
            flMs = pRecord->GpuTime() * 1000.0;
        else
            flMs = pRecord->CpuTime() * 1000.0;
        pCell->value = flMs;
        pCell->text = CNumberTexts::Fixed(flMs, column.nKind == KIND_GPU_START ? 2 : 3);
        pCell->flNumber = flMs;
        return;
    }
    case KIND_U16: {
        const int nValue = LoadBigEndian16(pBytes + column.nArg);
        pCell->value = nValue;
        pCell->text = CNumberTexts::Integer(uint32(nValue));
        pCell->flNumber = nValue;
        pCell->bZeroCounter = nValue == 0;
        return;
    }
    case KIND_U32: {
        const uint32 nValue = LoadBigEndian32(pBytes + column.nArg);
        pCell->value = nValue;
        pCell->text = CNumberTexts::Integer(nValue);
        pCell->flNumber = nValue;
        pCell->bZeroCounter = nValue == 0;
        return;
    }
    case KIND_CULLED: {
        const float flValue = CulledPercent(pRecord->IaPrims(), pRecord->CPrims());
        pCell->value = flValue;
        pCell->text = QString::number(double(flValue), 'f', 2) + QLatin1Char('%');
        pCell->flNumber = flValue;
        return;
    }
    case KIND_ACMR:
    case KIND_LIMIT_CMR: {
        const uint32 nNumerator = column.nKind == KIND_ACMR ? pRecord->VsInvokes() : pRecord->Verts();
        const float flValue = RoundedRatio(nNumerator, pRecord->IaPrims());
        pCell->value = flValue;
        pCell->text = CNumberTexts::Fixed(double(flValue), 2);
        pCell->flNumber = flValue;
        return;
    }
    }
}

int ColumnForeground(int nColumn, double flNumber)
{
    if (nColumn == 6 || nColumn == 7) {
        if (flNumber < 0.0095)
            return FG_LIGHT_GRAY;
        if (flNumber < 0.095)
            return FG_DARK_GRAY;
        if (flNumber < 1.0)
            return FG_BLACK;
        return FG_RED;
    }
    if (nColumn <= 4)
        return FG_BLACK;
    return ToFloat(flNumber) == 0.0f ? FG_GRAY : FG_BLACK;
}

bool IsLeftAligned(int nColumn)
{
    return nColumn == 0 || nColumn == 2 || nColumn == 3 || nColumn == 4;
}

// Sets everything but the raw value and the text, as MakeSampleItem does.
void SetCellStyle(QStandardItem *pItem, int nAlignment, int nForeground, const QBrush &background)
{
    // Stored as a plain int, as the alignment flags have always been kept in this role.
    pItem->setData(nAlignment, Qt::TextAlignmentRole);
    pItem->setEditable(false);
    pItem->setForeground(ForegroundBrush(nForeground));
    pItem->setBackground(background);
}

} // namespace

// Makes the cells of rows that share one background. Setting a role on an item costs an
// allocation or two, so the roles that many cells share (alignment, flags, colours, and for zero
// counters even value and text) are set once on a prototype, and each cell starts as a copy of
// the matching prototype, which shares the prototype's role list until it is written to.
class CGpuFrameProfileModel::RowCellFactory
{
public:
    explicit RowCellFactory(const QBrush &background) : m_background(background) {}
    ~RowCellFactory()
    {
        for (auto &byForeground : m_styles)
            for (QStandardItem *pItem : byForeground)
                delete pItem;
        delete m_pZeroInt;
        delete m_pZeroUInt;
    }
    RowCellFactory(const RowCellFactory &) = delete;
    RowCellFactory &operator=(const RowCellFactory &) = delete;

    QStandardItem *Make(const CellContent &cell, int nColumn)
    {
        const int nForeground = ColumnForeground(nColumn, cell.flNumber);
        if (cell.bZeroCounter) {
            const bool bInt = cell.value.typeId() == QMetaType::Int;
            QStandardItem *&pZero = bInt ? m_pZeroInt : m_pZeroUInt;
            if (!pZero) {
                pZero = new QStandardItem;
                pZero->setData(cell.value, Qt::UserRole);
                pZero->setData(cell.text, Qt::DisplayRole);
                SetCellStyle(pZero, kRightAligned, nForeground, m_background);
            }
            return pZero->clone();
        }
        const bool bLeft = IsLeftAligned(nColumn);
        QStandardItem *&pStyle = m_styles[bLeft ? 1 : 0][nForeground];
        if (!pStyle) {
            pStyle = new QStandardItem;
            SetCellStyle(pStyle, bLeft ? kLeftAligned : kRightAligned, nForeground, m_background);
        }
        QStandardItem *pItem = pStyle->clone();
        pItem->setData(cell.value, Qt::UserRole);
        pItem->setData(cell.text, Qt::DisplayRole);
        return pItem;
    }

private:
    QBrush m_background;
    QStandardItem *m_styles[2][FG_COUNT] = {};
    QStandardItem *m_pZeroInt = nullptr;
    QStandardItem *m_pZeroUInt = nullptr;
};

// The cell factories of one build, one per row background: rows of the same leaf name and
// parity share their prototypes. Bounded, so that a frame of all different names costs no more
// than one factory per row.
class CGpuFrameProfileModel::RowCellFactories
{
public:
    static constexpr int kMaxFactories = 256;

    RowCellFactories() = default;
    ~RowCellFactories() { qDeleteAll(m_factories); }
    RowCellFactories(const RowCellFactories &) = delete;
    RowCellFactories &operator=(const RowCellFactories &) = delete;

    RowCellFactory &ForBackground(const QColor &color)
    {
        // The full 16-bit channels, so that only identical colours share a factory.
        const quint64 nKey = quint64(color.rgba64());
        const auto it = m_factories.constFind(nKey);
        if (it != m_factories.constEnd())
            return **it;
        if (m_factories.size() >= kMaxFactories) {
            qDeleteAll(m_factories);
            m_factories.clear();
        }
        RowCellFactory *pFactory = new RowCellFactory(QBrush(color));
        m_factories.insert(nKey, pFactory);
        return *pFactory;
    }

private:
    QHash<quint64, RowCellFactory *> m_factories;
};

namespace {

QColor RowBackgroundColor(const QColor &color, int nSampleIndex)
{
    return (nSampleIndex & 1) ? color.darker(103) : color;
}

QBrush RowBackground(const QColor &color, int nSampleIndex)
{
    return QBrush(RowBackgroundColor(color, nSampleIndex));
}

void InitGroupTotals(GpuSampleRecord *pTotals, const GpuSampleRecord *pFirst, const char *pszName)
{
    std::memset(static_cast<void *>(pTotals), 0, sizeof(*pTotals));
    pTotals->SetName(pszName);
    std::memcpy(pTotals->cpuStartTime, pFirst->cpuStartTime, sizeof(pTotals->cpuStartTime));
    std::memcpy(pTotals->gpuStartTime, pFirst->gpuStartTime, sizeof(pTotals->gpuStartTime));
}

} // namespace

// One open view or layer group of the hierarchical build. The group's row is kept out of the
// model until the group closes: items without a model take children without any bookkeeping,
// and the finished subtree then enters the model in one insertion.
struct CGpuFrameProfileModel::GroupState
{
    bool bOpen = false;
    int nFirst = 0;
    std::string_view sKey; // the View or Layer part that the group runs on
    QStandardItem *pItem = nullptr;
    GpuSampleRecord totals;
};

CGpuFrameProfileModel::CGpuFrameProfileModel(QObject *pParent) : QStandardItemModel(pParent)
{
    setSortRole(Qt::UserRole);
    // Whoever resets or shrinks the model, also through the base class, takes the rows that
    // sampleItems points at, and any rows still to be built, with them.
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, &CGpuFrameProfileModel::OnAboutToBeReset);
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_sampleItems.RemoveAll(); });
    connect(this, &QAbstractItemModel::columnsAboutToBeRemoved, this, [this] { m_sampleItems.RemoveAll(); });
}

CGpuFrameProfileModel::~CGpuFrameProfileModel()
{
    // The base class deletes the items after this body; the handlers above must not see it.
    disconnect(this, nullptr, this, nullptr);
}

void CGpuFrameProfileModel::OnAboutToBeReset()
{
    m_bDeferred = false;
    m_sampleItems.RemoveAll();
}

void CGpuFrameProfileModel::clear()
{
    QStandardItemModel::clear();
    m_records.RemoveAll();
}

void CGpuFrameProfileModel::SetHierarchicalMode(bool bHierarchical)
{
    clear();
    m_bHierarchical = bHierarchical;
    Rebuild(bHierarchical);
}

void CGpuFrameProfileModel::Rebuild(bool bHierarchical)
{
    beginResetModel();
    TakeFrameRecords();
    {
        // Nothing can look at the model until the reset ends, so the many insertions of the
        // build are not announced one by one.
        const QSignalBlocker blocker(this);
        BuildRows(bHierarchical);
    }
    ComputeFrameTotals();
    endResetModel();
}

void CGpuFrameProfileModel::RebuildDeferred(bool bHierarchical)
{
    beginResetModel();
    TakeFrameRecords();
    m_bDeferred = true;
    m_bDeferredHierarchical = bHierarchical;
    ComputeFrameTotals();
    endResetModel();
}

void CGpuFrameProfileModel::BuildDeferredRows()
{
    // Reached from inside a read (rowCount, data, ...) of a model that has been reset: the rows
    // appear silently, which to any observer is as if the reset had brought them.
    m_bDeferred = false;
    const QSignalBlocker blocker(this);
    BuildRows(m_bDeferredHierarchical);
}

void CGpuFrameProfileModel::TakeFrameRecords()
{
    const int32 nCount = m_pFrame ? m_pFrame->SampleCount() : 0;
    m_frameHeader = m_pFrame ? m_pFrame->header : GpuFrameHeader{};
    // Without the memory for the copy the frame is shown as one without records.
    if (!m_records.SetCount(nCount)) {
        m_records.Purge();
        m_flFirstGpuStart = 0.0;
        return;
    }
    if (nCount > 0)
        std::memcpy(static_cast<void *>(m_records.Base()), m_pFrame->Samples(), size_t(nCount) * sizeof(GpuSampleRecord));
    m_flFirstGpuStart = nCount > 0 ? m_records[0].GpuStartTime() : 0.0;
}

void CGpuFrameProfileModel::SetHeaderItems()
{
    for (int nColumn = 0; nColumn < kSampleColumnCount; ++nColumn)
        QStandardItemModel::setHorizontalHeaderItem(nColumn, new QStandardItem(SampleColumnHeader(nColumn)));
}

void CGpuFrameProfileModel::BuildRows(bool bHierarchical)
{
    SetHeaderItems();
    // Without the memory for the index the rows are still built; sampleItems stays empty.
    if (!m_sampleItems.SetCount(m_records.Count()))
        m_sampleItems.Purge();
    if (bHierarchical)
        BuildHierarchicalRows();
    else
        BuildFlatRows();
}

void CGpuFrameProfileModel::FillRow(QStandardItem **ppItems, const GpuSampleRecord *pRecord, int nSampleIndex,
                                    RowCellFactories &factories) const
{
    const std::string_view sName = pRecord->Name();
    QString parts[3];
    parts[SAMPLE_PATH_VIEW] = PartText(SplitSamplePath(sName, SAMPLE_PATH_VIEW));
    parts[SAMPLE_PATH_LAYER] = PartText(SplitSamplePath(sName, SAMPLE_PATH_LAYER));
    parts[SAMPLE_PATH_NAME] = PartText(SplitSamplePath(sName, SAMPLE_PATH_NAME));

    RowCellFactory &factory = factories.ForBackground(RowBackgroundColor(SampleRowColor(pRecord), nSampleIndex));
    CellContent cell;
    for (int nColumn = 0; nColumn < kSampleColumnCount; ++nColumn) {
        cell.bZeroCounter = false;
        ColumnContent(pRecord, nSampleIndex, nColumn, m_flFirstGpuStart, parts, &cell);
        ppItems[nColumn] = factory.Make(cell, nColumn);
    }
}

void CGpuFrameProfileModel::BuildFlatRows()
{
    QStandardItem *pRoot = QStandardItemModel::invisibleRootItem();
    // After clear() the rows are appended whole; over rows left from an earlier build each cell
    // takes the place of the one at its position.
    const bool bAppend = pRoot->rowCount() == 0;
    QList<QStandardItem *> row(kSampleColumnCount);
    RowCellFactories factories;
    const int32 nCount = m_records.Count();
    for (int32 i = 0; i < nCount; ++i) {
        FillRow(row.data(), &m_records[i], i, factories);
        if (bAppend) {
            pRoot->appendRow(row);
        } else {
            for (int nColumn = 0; nColumn < kSampleColumnCount; ++nColumn)
                QStandardItemModel::setItem(i, nColumn, row[nColumn]);
        }
        if (i < m_sampleItems.Count())
            m_sampleItems[i] = row[0];
    }
}

void CGpuFrameProfileModel::OpenGroup(GroupState &group, int nSample, int nNameColumn, const QBrush &background,
                                      const char *pszTotalsName) const
{
    const GpuSampleRecord *pRecord = &m_records[nSample];
    group.bOpen = true;
    group.nFirst = nSample;
    group.sKey = SplitSamplePath(pRecord->Name(), kSampleColumns[nNameColumn].nArg);
    group.pItem = MakeSampleItem(new QStandardItem, pRecord, nSample, nNameColumn);
    group.pItem->setBackground(background);
    InitGroupTotals(&group.totals, pRecord, pszTotalsName);
}

// Fills the row of a closed group from its totals (its own name parts from its first sample)
// and appends it, with everything below it, under pParent.
void CGpuFrameProfileModel::FinishGroupRow(GroupState &group, int nLastSample, bool bLayer, RowCellFactory &cells,
                                           QStandardItem *pParent) const
{
    const int nFirst = group.nFirst;
    QList<QStandardItem *> row(kSampleColumnCount);
    row[0] = group.pItem;
    CellContent cell;
    for (int nColumn = 1; nColumn < kSampleColumnCount; ++nColumn) {
        const bool bOwnPart = nColumn == 2 || (bLayer && nColumn == 3);
        cell.bZeroCounter = false;
        ColumnContent(bOwnPart ? &m_records[nFirst] : &group.totals, nFirst, nColumn, m_flFirstGpuStart, nullptr,
                      &cell);
        if (nColumn == 1 && nFirst != nLastSample)
            cell.text = QStringLiteral("[%1..%2]").arg(nFirst).arg(nLastSample);
        row[nColumn] = cells.Make(cell, nColumn);
    }
    pParent->appendRow(row);
    group.bOpen = false;
    group.pItem = nullptr;
}

void CGpuFrameProfileModel::BuildHierarchicalRows()
{
    const QBrush viewBackground(Qt::white);
    const QBrush layerBackground(kGroupRowGrey);
    RowCellFactory viewCells(viewBackground);
    RowCellFactory layerCells(layerBackground);
    QStandardItem *pRoot = QStandardItemModel::invisibleRootItem();

    GroupState view;
    GroupState layer;
    QList<QStandardItem *> row(kSampleColumnCount);
    RowCellFactories factories;

    const int32 nCount = m_records.Count();
    int32 i = 0;
    while (i < nCount) {
        const GpuSampleRecord *pRecord = &m_records[i];
        if (!view.bOpen)
            OpenGroup(view, i, 2, viewBackground, kViewTotalsName);
        if (!layer.bOpen)
            OpenGroup(layer, i, 3, layerBackground, kLayerTotalsName);

        const std::string_view sView = SplitSamplePath(pRecord->Name(), SAMPLE_PATH_VIEW);
        // Samples without a view have nothing in common, so each gets a view row of its own.
        if (sView != view.sKey || (sView == kMissingPathPart && i != view.nFirst)) {
            FinishGroupRow(layer, i - 1, true, layerCells, view.pItem);
            FinishGroupRow(view, i - 1, false, viewCells, pRoot);
            continue;
        }
        if (SplitSamplePath(pRecord->Name(), SAMPLE_PATH_LAYER) != layer.sKey) {
            FinishGroupRow(layer, i - 1, true, layerCells, view.pItem);
            continue;
        }

        FillRow(row.data(), pRecord, i, factories);
        layer.pItem->appendRow(row);
        if (i < m_sampleItems.Count())
            m_sampleItems[i] = row[0];
        AddToTotals(&layer.totals, pRecord);
        AddToTotals(&view.totals, pRecord);
        ++i;
    }
    if (nCount > 0) {
        FinishGroupRow(layer, nCount - 1, true, layerCells, view.pItem);
        FinishGroupRow(view, nCount - 1, false, viewCells, pRoot);
    }
}

void CGpuFrameProfileModel::ComputeFrameTotals()
{
    ZeroCounters(&m_frameTotals);
    m_frameTotals.SetName(kFrameTotalsName);
    m_frameTotals.SetCpuStartTime(0.0);
    m_frameTotals.SetCpuTime(0.0);
    m_frameTotals.SetGpuStartTime(0.0);
    m_frameTotals.SetGpuTime(0.0);
    AddRecordsToTotals(&m_frameTotals, m_records.Base(), m_records.Count());

    m_frameStatsModel.clear();
    const bool bResources = m_frameHeader.HasResourceStats();
    const int nColumns = bResources ? int(kFrameStatsColumnCount) : int(kSampleColumnCount);
    // The labels never change; they are made once (all 80, the first 55 used without statistics).
    static const QStringList s_headers = [] {
        QStringList headers;
        for (int nColumn = 0; nColumn < kSampleColumnCount; ++nColumn)
            headers.append(SampleColumnHeader(nColumn));
        for (int nStat = 0; nStat < GpuFrameHeader::kResourceStatCount; ++nStat)
            headers.append(QString::fromLatin1(kResourceStatHeaders[nStat]));
        for (int nBin = 0; nBin < GpuFrameHeader::kTexDimHistBins; ++nBin)
            headers.append(QStringLiteral("Bound TEX Dim Hist (%1)").arg(1u << nBin));
        return headers;
    }();
    QList<QStandardItem *> row;
    row.reserve(nColumns);
    for (int nColumn = 0; nColumn < kSampleColumnCount; ++nColumn)
        row.append(MakeSampleItem(new QStandardItem, &m_frameTotals, 0, nColumn));
    if (bResources) {
        for (int nStat = 0; nStat < GpuFrameHeader::kResourceStatCount; ++nStat)
            row.append(new QStandardItem(CNumberTexts::Integer(m_frameHeader.ResourceStat(nStat))));
        for (int nBin = 0; nBin < GpuFrameHeader::kTexDimHistBins; ++nBin)
            row.append(new QStandardItem(CNumberTexts::Integer(m_frameHeader.BoundTexDimHist(nBin))));
        for (int nColumn = kSampleColumnCount; nColumn < nColumns; ++nColumn)
            row[nColumn]->setData(kRightAligned, Qt::TextAlignmentRole);
    }
    m_frameStatsModel.setHorizontalHeaderLabels(s_headers.mid(0, nColumns));
    m_frameStatsModel.appendRow(row);
}

QModelIndex CGpuFrameProfileModel::SampleIndexAtTime(double flTime) const
{
    EnsureRows();
    const int32 nCount = qMin(m_records.Count(), m_sampleItems.Count());
    for (int32 i = 0; i < nCount; ++i) {
        const double flStart = m_records[i].GpuStartTime() - m_flFirstGpuStart;
        if (flTime >= flStart && flTime < flStart + m_records[i].GpuTime())
            return QStandardItemModel::indexFromItem(m_sampleItems[i]);
    }
    return QModelIndex();
}

const GrowableArray<QStandardItem *> &CGpuFrameProfileModel::sampleItems() const
{
    EnsureRows();
    return m_sampleItems;
}

QString CGpuFrameProfileModel::SampleColumnHeader(int nColumn)
{
    if (nColumn < 0 || nColumn >= kSampleColumnCount)
        return QString();
    return QString::fromLatin1(kSampleColumns[nColumn].pszHeader);
}

QVariant CGpuFrameProfileModel::SampleColumnValue(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn) const
{
    if (!pRecord || nColumn < 0 || nColumn >= kSampleColumnCount)
        return QVariant();
    CellContent cell;
    ColumnContent(pRecord, nSampleIndex, nColumn, m_flFirstGpuStart, nullptr, &cell);
    return cell.value;
}

QString CGpuFrameProfileModel::SampleColumnText(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn) const
{
    if (!pRecord || nColumn < 0 || nColumn >= kSampleColumnCount)
        return QString();
    CellContent cell;
    ColumnContent(pRecord, nSampleIndex, nColumn, m_flFirstGpuStart, nullptr, &cell);
    return cell.text;
}

QColor CGpuFrameProfileModel::SampleRowColor(const GpuSampleRecord *pRecord) const
{
    if (pRecord == &m_frameTotals)
        return QColor(Qt::white);
    const std::string_view sName = pRecord->Name();
    if (!sName.empty() && sName[0] == '#') {
        int nParts = 0;
        SplitSamplePath(sName, SAMPLE_PATH_VIEW, &nParts);
        if (nParts < 2)
            return QColor(Qt::white);
    }
    std::string_view sLeaf = sName;
    const size_t nSlash = sLeaf.rfind('/');
    if (nSlash != std::string_view::npos)
        sLeaf.remove_prefix(nSlash + 1);
    const size_t nSpace = sLeaf.find(' ');
    if (nSpace != std::string_view::npos)
        sLeaf = sLeaf.substr(0, nSpace);
    if (!sLeaf.empty() && sLeaf[0] == '+')
        return QColor(230, 230, 230);
    const uint32 h = MurmurHash2(sLeaf.data(), int(sLeaf.size()), 1);
    return QColor(int((h & 255) * 70 / 255 + 155), int(((h >> 8) & 255) * 70 / 255 + 155),
                  int(((h >> 16) & 255) * 70 / 255 + 155), 255);
}

QStandardItem *CGpuFrameProfileModel::MakeSampleItem(QStandardItem *pItem, const GpuSampleRecord *pRecord,
                                                     int nSampleIndex, int nColumn) const
{
    if (!pItem)
        return nullptr;
    if (!pRecord || nColumn < 0 || nColumn >= kSampleColumnCount) {
        pItem->setData(QVariant(), Qt::UserRole);
        pItem->setData(QVariant(), Qt::DisplayRole);
        return pItem;
    }
    CellContent cell;
    ColumnContent(pRecord, nSampleIndex, nColumn, m_flFirstGpuStart, nullptr, &cell);
    pItem->setData(cell.value, Qt::UserRole);
    pItem->setData(cell.text, Qt::DisplayRole);
    SetCellStyle(pItem, IsLeftAligned(nColumn) ? kLeftAligned : kRightAligned, ColumnForeground(nColumn, cell.flNumber),
                 RowBackground(SampleRowColor(pRecord), nSampleIndex));
    return pItem;
}

// Reads and writes: deferred rows are built first.

QModelIndex CGpuFrameProfileModel::index(int row, int column, const QModelIndex &parent) const
{
    EnsureRows();
    return QStandardItemModel::index(row, column, parent);
}

QModelIndex CGpuFrameProfileModel::parent(const QModelIndex &child) const
{
    EnsureRows();
    return QStandardItemModel::parent(child);
}

QModelIndex CGpuFrameProfileModel::sibling(int row, int column, const QModelIndex &idx) const
{
    EnsureRows();
    return QStandardItemModel::sibling(row, column, idx);
}

int CGpuFrameProfileModel::rowCount(const QModelIndex &parent) const
{
    EnsureRows();
    return QStandardItemModel::rowCount(parent);
}

int CGpuFrameProfileModel::columnCount(const QModelIndex &parent) const
{
    EnsureRows();
    return QStandardItemModel::columnCount(parent);
}

bool CGpuFrameProfileModel::hasChildren(const QModelIndex &parent) const
{
    EnsureRows();
    return QStandardItemModel::hasChildren(parent);
}

QVariant CGpuFrameProfileModel::data(const QModelIndex &index, int role) const
{
    EnsureRows();
    return QStandardItemModel::data(index, role);
}

void CGpuFrameProfileModel::multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const
{
    EnsureRows();
    QStandardItemModel::multiData(index, roleDataSpan);
}

bool CGpuFrameProfileModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    EnsureRows();
    return QStandardItemModel::setData(index, value, role);
}

bool CGpuFrameProfileModel::clearItemData(const QModelIndex &index)
{
    EnsureRows();
    return QStandardItemModel::clearItemData(index);
}

QVariant CGpuFrameProfileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    EnsureRows();
    return QStandardItemModel::headerData(section, orientation, role);
}

bool CGpuFrameProfileModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    EnsureRows();
    return QStandardItemModel::setHeaderData(section, orientation, value, role);
}

bool CGpuFrameProfileModel::insertRows(int row, int count, const QModelIndex &parent)
{
    EnsureRows();
    return QStandardItemModel::insertRows(row, count, parent);
}

bool CGpuFrameProfileModel::insertColumns(int column, int count, const QModelIndex &parent)
{
    EnsureRows();
    return QStandardItemModel::insertColumns(column, count, parent);
}

bool CGpuFrameProfileModel::removeRows(int row, int count, const QModelIndex &parent)
{
    EnsureRows();
    return QStandardItemModel::removeRows(row, count, parent);
}

bool CGpuFrameProfileModel::removeColumns(int column, int count, const QModelIndex &parent)
{
    EnsureRows();
    return QStandardItemModel::removeColumns(column, count, parent);
}

Qt::ItemFlags CGpuFrameProfileModel::flags(const QModelIndex &index) const
{
    EnsureRows();
    return QStandardItemModel::flags(index);
}

QMap<int, QVariant> CGpuFrameProfileModel::itemData(const QModelIndex &index) const
{
    EnsureRows();
    return QStandardItemModel::itemData(index);
}

bool CGpuFrameProfileModel::setItemData(const QModelIndex &index, const QMap<int, QVariant> &roles)
{
    EnsureRows();
    return QStandardItemModel::setItemData(index, roles);
}

void CGpuFrameProfileModel::sort(int column, Qt::SortOrder order)
{
    EnsureRows();
    QStandardItemModel::sort(column, order);
}

QMimeData *CGpuFrameProfileModel::mimeData(const QModelIndexList &indexes) const
{
    EnsureRows();
    return QStandardItemModel::mimeData(indexes);
}

bool CGpuFrameProfileModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                         const QModelIndex &parent)
{
    EnsureRows();
    return QStandardItemModel::dropMimeData(data, action, row, column, parent);
}

QModelIndexList CGpuFrameProfileModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                             Qt::MatchFlags flags) const
{
    EnsureRows();
    return QStandardItemModel::match(start, role, value, hits, flags);
}

QModelIndex CGpuFrameProfileModel::buddy(const QModelIndex &index) const
{
    EnsureRows();
    return QStandardItemModel::buddy(index);
}

QSize CGpuFrameProfileModel::span(const QModelIndex &index) const
{
    EnsureRows();
    return QStandardItemModel::span(index);
}

QStandardItem *CGpuFrameProfileModel::item(int row, int column) const
{
    EnsureRows();
    return QStandardItemModel::item(row, column);
}

QStandardItem *CGpuFrameProfileModel::itemFromIndex(const QModelIndex &index) const
{
    EnsureRows();
    return QStandardItemModel::itemFromIndex(index);
}

QModelIndex CGpuFrameProfileModel::indexFromItem(const QStandardItem *pItem) const
{
    EnsureRows();
    return QStandardItemModel::indexFromItem(pItem);
}

QStandardItem *CGpuFrameProfileModel::invisibleRootItem() const
{
    EnsureRows();
    return QStandardItemModel::invisibleRootItem();
}

QStandardItem *CGpuFrameProfileModel::horizontalHeaderItem(int column) const
{
    EnsureRows();
    return QStandardItemModel::horizontalHeaderItem(column);
}

QStandardItem *CGpuFrameProfileModel::verticalHeaderItem(int row) const
{
    EnsureRows();
    return QStandardItemModel::verticalHeaderItem(row);
}

QList<QStandardItem *> CGpuFrameProfileModel::findItems(const QString &text, Qt::MatchFlags flags, int column) const
{
    EnsureRows();
    return QStandardItemModel::findItems(text, flags, column);
}

QStandardItem *CGpuFrameProfileModel::takeItem(int row, int column)
{
    EnsureRows();
    m_sampleItems.RemoveAll();
    return QStandardItemModel::takeItem(row, column);
}

QList<QStandardItem *> CGpuFrameProfileModel::takeRow(int row)
{
    EnsureRows();
    return QStandardItemModel::takeRow(row);
}

QList<QStandardItem *> CGpuFrameProfileModel::takeColumn(int column)
{
    EnsureRows();
    return QStandardItemModel::takeColumn(column);
}

QStandardItem *CGpuFrameProfileModel::takeHorizontalHeaderItem(int column)
{
    EnsureRows();
    return QStandardItemModel::takeHorizontalHeaderItem(column);
}

void CGpuFrameProfileModel::setItem(int row, int column, QStandardItem *pItem)
{
    EnsureRows();
    QStandardItemModel::setItem(row, column, pItem);
}

void CGpuFrameProfileModel::appendRow(const QList<QStandardItem *> &items)
{
    EnsureRows();
    QStandardItemModel::appendRow(items);
}

void CGpuFrameProfileModel::insertRow(int row, const QList<QStandardItem *> &items)
{
    EnsureRows();
    QStandardItemModel::insertRow(row, items);
}

void CGpuFrameProfileModel::appendColumn(const QList<QStandardItem *> &items)
{
    EnsureRows();
    QStandardItemModel::appendColumn(items);
}

void CGpuFrameProfileModel::setRowCount(int rows)
{
    EnsureRows();
    QStandardItemModel::setRowCount(rows);
}

void CGpuFrameProfileModel::setColumnCount(int columns)
{
    EnsureRows();
    QStandardItemModel::setColumnCount(columns);
}

void CGpuFrameProfileModel::setHorizontalHeaderItem(int column, QStandardItem *pItem)
{
    EnsureRows();
    QStandardItemModel::setHorizontalHeaderItem(column, pItem);
}

void CGpuFrameProfileModel::setHorizontalHeaderLabels(const QStringList &labels)
{
    EnsureRows();
    QStandardItemModel::setHorizontalHeaderLabels(labels);
}
