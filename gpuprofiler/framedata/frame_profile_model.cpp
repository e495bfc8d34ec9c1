#include "gpuprofiler/framedata/frame_profile_model.h"

#include "gpuprofiler/framedata/number_texts.h"

#include <QHash>
#include <QSignalBlocker>

#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

constexpr int kLeftAligned = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int kRightAligned = Qt::AlignRight | Qt::AlignVCenter;

enum Foreground
{
    FG_BLACK = SAMPLE_FG_BLACK,
    FG_COUNT = SAMPLE_FG_COUNT
};

const QBrush &ForegroundBrush(int nForeground)
{
    static const QBrush s_brushes[FG_COUNT] = {QBrush(Qt::black), QBrush(Qt::gray), QBrush(Qt::lightGray),
                                               QBrush(Qt::darkGray), QBrush(Qt::red)};
    return s_brushes[nForeground];
}

const QColor kGroupRowGrey(245, 245, 245);

QString PartText(std::string_view sPart)
{
    static const QString s_missing = QString::fromLatin1(kMissingPathPart.data(), qsizetype(kMissingPathPart.size()));
    if (sPart.data() == kMissingPathPart.data())
        return s_missing;
    return QString::fromLatin1(sPart.data(), qsizetype(sPart.size()));
}

// What one cell shows, and whether it is a counter that is 0 (such cells all look the same).
struct CellContent : SampleCell
{
    bool bZeroCounter = false;
};

// pParts, when given, holds the View, Layer and Name texts of the record's name.
void ColumnContent(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn, double flFirstGpuStart,
                   const QString *pParts, CellContent *pCell)
{
    if (pParts && nColumn <= SAMPLE_COLUMN_CONTEXT && nColumn != SAMPLE_COLUMN_INDEX) {
        static constexpr int kPart[] = {SAMPLE_PATH_NAME, 0, SAMPLE_PATH_VIEW, SAMPLE_PATH_LAYER, SAMPLE_PATH_NAME};
        pCell->text = pParts[kPart[nColumn]];
        pCell->value = pCell->text;
        pCell->flNumber = 0.0;
        return;
    }
    SampleColumnCell(*pRecord, nSampleIndex, nColumn, flFirstGpuStart, pCell);
    const int nType = pCell->value.typeId();
    pCell->bZeroCounter = nColumn > SAMPLE_COLUMN_INDEX && (nType == QMetaType::Int || nType == QMetaType::UInt) &&
                          pCell->flNumber == 0.0;
}

int ColumnForeground(int nColumn, double flNumber)
{
    return SampleColumnForeground(nColumn, flNumber);
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
    group.sKey = SplitSamplePath(pRecord->Name(), nNameColumn == SAMPLE_COLUMN_VIEW ? SAMPLE_PATH_VIEW : SAMPLE_PATH_LAYER);
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
    ::ComputeFrameTotals(m_records.Base(), m_records.Count(), &m_frameTotals);

    m_frameStatsModel.clear();
    const bool bResources = m_frameHeader.HasResourceStats();
    const int nColumns = bResources ? int(kFrameStatsColumnCount) : int(kSampleColumnCount);
    // The labels never change; they are made once (all 80, the first 55 used without statistics).
    static const QStringList s_headers = [] {
        QStringList headers;
        for (int nColumn = 0; nColumn < kFrameStatsColumnCount; ++nColumn)
            headers.append(FrameStatsColumnHeader(nColumn));
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
    return ::SampleColumnHeader(nColumn);
}

QVariant CGpuFrameProfileModel::SampleColumnValue(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn) const
{
    return pRecord ? ::SampleColumnValue(*pRecord, nSampleIndex, nColumn, m_flFirstGpuStart) : QVariant();
}

QString CGpuFrameProfileModel::SampleColumnText(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn) const
{
    return pRecord ? ::SampleColumnText(*pRecord, nSampleIndex, nColumn, m_flFirstGpuStart) : QString();
}

QColor CGpuFrameProfileModel::SampleRowColor(const GpuSampleRecord *pRecord) const
{
    if (pRecord == &m_frameTotals)
        return QColor(Qt::white);
    return QColor::fromRgba(SampleRowRgb(*pRecord));
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
