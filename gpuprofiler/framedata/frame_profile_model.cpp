#include "frame_profile_model.h"

#include "number_texts.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <cmath>
#include <cstring>

// Which node an index shows is told by its internal id, which names the node's parent: 0 for a
// top-level row (a sample of the flat layout, a view group), 1 + v for a layer row under view v,
// 1 + (number of views) + l for a sample row under layer l. The row is then the node's place
// among its parent's children, so every node is found in constant time and no per-row object
// exists.

namespace {

// Cell flags as the rows have always had them: selectable, enabled, draggable, droppable, never
// editable.
constexpr Qt::ItemFlags kCellFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;

const QColor kGroupRowGrey(245, 245, 245);

const QBrush &ForegroundBrush(SampleForeground foreground)
{
    static const QBrush s_brushes[SAMPLE_FG_COUNT] = {QBrush(Qt::black), QBrush(Qt::gray), QBrush(Qt::lightGray), QBrush(Qt::darkGray),
                                                      QBrush(Qt::red)};
    return s_brushes[foreground];
}

// Odd samples are shaded a little darker, so that neighbouring rows of one name stay apart.
QColor SampleBackground(const GpuSampleRecord &record, int32 nSample)
{
    const QColor colour = QColor::fromRgba(SampleRowRgb(record));
    return (nSample & 1) ? colour.darker(103) : colour;
}

// One cell of the frame statistics, as a tree row would show the frame totals.
QStandardItem *MakeTotalsItem(const GpuSampleRecord &totals, int nColumn, double flFirstGpuStart)
{
    SampleCell cell;
    SampleColumnCell(totals, 0, nColumn, flFirstGpuStart, &cell);
    auto *pItem = new QStandardItem;
    pItem->setData(cell.value, Qt::UserRole);
    pItem->setData(cell.text, Qt::DisplayRole);
    pItem->setData(SampleColumnAlignment(nColumn), Qt::TextAlignmentRole);
    pItem->setEditable(false);
    pItem->setForeground(ForegroundBrush(SampleColumnForeground(nColumn, cell.flNumber)));
    pItem->setBackground(QBrush(Qt::white));
    return pItem;
}

// A sort key per row: strings compare by their Latin-1 bytes (the order of their texts), numbers
// as doubles.
struct SortKey
{
    double flNumber;
    std::string_view sText;
};

} // namespace

CGpuFrameProfileModel::CGpuFrameProfileModel(QObject *pParent) : QAbstractItemModel(pParent) {}

CGpuFrameProfileModel::~CGpuFrameProfileModel() = default;

void CGpuFrameProfileModel::clear()
{
    if (!m_bBuilt && !m_pRecords)
        return;
    beginResetModel();
    m_bBuilt = false;
    m_bGrouped = false;
    m_pRecords = nullptr;
    m_nRecords = 0;
    m_views.Purge();
    m_layers.Purge();
    m_viewFirstLayer.Purge();
    m_rowSample.Purge();
    m_sampleRow.Purge();
    m_groupTotals.clear();
    endResetModel();
}

void CGpuFrameProfileModel::SetHierarchicalMode(bool bHierarchical)
{
    m_bHierarchical = bHierarchical;
    Rebuild(bHierarchical);
}

void CGpuFrameProfileModel::Rebuild(bool bHierarchical)
{
    beginResetModel();
    m_bBuilt = true;
    m_nRecords = m_pFrame ? m_pFrame->SampleCount() : 0;
    m_pRecords = m_nRecords > 0 ? m_pFrame->Samples() : nullptr;
    if (!m_pRecords)
        m_nRecords = 0;
    m_frameHeader = m_pFrame ? m_pFrame->header : GpuFrameHeader{};
    m_flFirstGpuStart = m_nRecords > 0 ? m_pRecords[0].GpuStartTime() : 0.0;
    m_rowSample.Purge();
    m_sampleRow.Purge();
    m_groupTotals.clear();
    m_viewFirstLayer.RemoveAll();
    m_bGrouped = bHierarchical;
    // Without the memory for the runs the frame is shown flat rather than not at all.
    if (bHierarchical && (!BuildSampleGroups(m_pRecords, m_nRecords, &m_views, &m_layers) || !m_viewFirstLayer.SetCount(m_views.Count())))
        m_bGrouped = false;
    if (m_bGrouped) {
        for (int32 l = m_layers.Count() - 1; l >= 0; --l)
            m_viewFirstLayer[m_layers[l].nParent] = l;
    } else {
        m_views.Purge();
        m_layers.Purge();
        m_viewFirstLayer.Purge();
    }
    ComputeFrameTotals();
    endResetModel();
}

void CGpuFrameProfileModel::ComputeFrameTotals()
{
    ::ComputeFrameTotals(m_pRecords, m_nRecords, &m_frameTotals);

    m_frameStatsModel.clear();
    const bool bResources = m_frameHeader.HasResourceStats();
    const int nColumns = bResources ? kFrameStatsColumnCount : kSampleColumnCount;
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
        row.append(MakeTotalsItem(m_frameTotals, nColumn, m_flFirstGpuStart));
    if (bResources) {
        for (int nStat = 0; nStat < GpuFrameHeader::kResourceStatCount; ++nStat)
            row.append(new QStandardItem(CNumberTexts::Integer(m_frameHeader.ResourceStat(nStat))));
        for (int nBin = 0; nBin < GpuFrameHeader::kTexDimHistBins; ++nBin)
            row.append(new QStandardItem(CNumberTexts::Integer(m_frameHeader.BoundTexDimHist(nBin))));
        for (int nColumn = kSampleColumnCount; nColumn < nColumns; ++nColumn)
            row[nColumn]->setData(SampleColumnAlignment(nColumn), Qt::TextAlignmentRole);
    }
    m_frameStatsModel.setHorizontalHeaderLabels(s_headers.mid(0, nColumns));
    m_frameStatsModel.appendRow(row);
}

int32 CGpuFrameProfileModel::RootRowCount() const
{
    return m_bGrouped ? m_views.Count() : m_nRecords;
}

int32 CGpuFrameProfileModel::LayerOfSample(int32 nSample) const
{
    // The last layer that starts at or before the sample; layers are runs in frame order.
    const auto it =
        std::upper_bound(m_layers.begin(), m_layers.end(), nSample, [](int32 n, const SampleGroup &layer) { return n < layer.nFirst; });
    return int32(it - m_layers.begin()) - 1;
}

CGpuFrameProfileModel::Node CGpuFrameProfileModel::NodeOf(const QModelIndex &index) const
{
    const quintptr nId = index.internalId();
    if (!m_bGrouped) {
        const int32 nRow = index.row();
        return {NodeKind::Sample, m_rowSample.IsEmpty() ? nRow : m_rowSample[nRow]};
    }
    if (nId == 0)
        return {NodeKind::View, index.row()};
    const quintptr nViews = quintptr(m_views.Count());
    if (nId <= nViews)
        return {NodeKind::Layer, m_viewFirstLayer[int32(nId - 1)] + index.row()};
    return {NodeKind::Sample, m_layers[int32(nId - 1 - nViews)].nFirst + index.row()};
}

QModelIndex CGpuFrameProfileModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= kSampleColumnCount || !m_bBuilt)
        return QModelIndex();
    if (!parent.isValid())
        return row < RootRowCount() ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (!m_bGrouped || parent.column() != 0 || parent.model() != this)
        return QModelIndex();
    const Node node = NodeOf(parent);
    if (node.kind == NodeKind::View) {
        const int32 nFirst = m_viewFirstLayer[node.n];
        const int32 nEnd = node.n + 1 < m_views.Count() ? m_viewFirstLayer[node.n + 1] : m_layers.Count();
        return row < nEnd - nFirst ? createIndex(row, column, quintptr(1 + node.n)) : QModelIndex();
    }
    if (node.kind == NodeKind::Layer) {
        const SampleGroup &layer = m_layers[node.n];
        return row <= layer.nLast - layer.nFirst ? createIndex(row, column, quintptr(1 + m_views.Count() + node.n)) : QModelIndex();
    }
    return QModelIndex();
}

QModelIndex CGpuFrameProfileModel::parent(const QModelIndex &child) const
{
    const quintptr nId = child.internalId();
    if (!child.isValid() || !m_bGrouped || nId == 0)
        return QModelIndex();
    const quintptr nViews = quintptr(m_views.Count());
    if (nId <= nViews)
        return createIndex(int(nId - 1), 0, quintptr(0));
    const int32 nLayer = int32(nId - 1 - nViews);
    const int32 nView = m_layers[nLayer].nParent;
    return createIndex(nLayer - m_viewFirstLayer[nView], 0, quintptr(1 + nView));
}

QModelIndex CGpuFrameProfileModel::sibling(int row, int column, const QModelIndex &idx) const
{
    // Siblings share the parent, which the internal id names.
    if (!idx.isValid() || column < 0 || column >= kSampleColumnCount)
        return QModelIndex();
    if (row == idx.row())
        return createIndex(row, column, idx.internalId());
    return index(row, column, parent(idx));
}

int CGpuFrameProfileModel::rowCount(const QModelIndex &parent) const
{
    if (!m_bBuilt)
        return 0;
    if (!parent.isValid())
        return RootRowCount();
    if (!m_bGrouped || parent.column() != 0)
        return 0;
    const Node node = NodeOf(parent);
    if (node.kind == NodeKind::View) {
        const int32 nEnd = node.n + 1 < m_views.Count() ? m_viewFirstLayer[node.n + 1] : m_layers.Count();
        return nEnd - m_viewFirstLayer[node.n];
    }
    if (node.kind == NodeKind::Layer)
        return m_layers[node.n].nLast - m_layers[node.n].nFirst + 1;
    return 0;
}

int CGpuFrameProfileModel::columnCount(const QModelIndex &parent) const
{
    if (!m_bBuilt)
        return 0;
    // Rows with children have the sample columns; a sample row has no children, and so no
    // columns below it.
    return (!parent.isValid() || hasChildren(parent)) ? kSampleColumnCount : 0;
}

bool CGpuFrameProfileModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_bBuilt && RootRowCount() > 0;
    // Every group holds at least one sample.
    return m_bGrouped && parent.column() == 0 && NodeOf(parent).kind != NodeKind::Sample;
}

const GpuSampleRecord &CGpuFrameProfileModel::GroupTotals(NodeKind kind, int32 nGroup) const
{
    const int32 nKey = kind == NodeKind::View ? nGroup : m_views.Count() + nGroup;
    const auto it = m_groupTotals.constFind(nKey);
    if (it != m_groupTotals.constEnd())
        return *it;
    if (m_groupTotals.size() >= kMaxCachedTotals)
        m_groupTotals.clear();
    const SampleGroup &group = kind == NodeKind::View ? m_views[nGroup] : m_layers[nGroup];
    GpuSampleRecord &totals = m_groupTotals[nKey];
    ComputeGroupTotals(m_pRecords, group.nFirst, group.nLast, kind == NodeKind::Layer, &totals);
    return totals;
}

QVariant CGpuFrameProfileModel::data(const QModelIndex &index, int role) const
{
    QModelRoleData roleData(role);
    multiData(index, roleData);
    return roleData.data();
}

void CGpuFrameProfileModel::multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const
{
    for (QModelRoleData &roleData : roleDataSpan)
        roleData.clearData();
    if (!index.isValid() || index.model() != this || !m_bBuilt)
        return;
    int nColumn = index.column();
    const Node node = NodeOf(index);

    // Which record fills the cell, which index it shows, and the row's background.
    const GpuSampleRecord *pRecord = nullptr;
    int32 nSampleIndex = 0;
    int32 nLastSample = 0;
    QColor background;
    if (node.kind == NodeKind::Sample) {
        if (node.n < 0 || node.n >= m_nRecords)
            return;
        pRecord = &m_pRecords[node.n];
        nSampleIndex = nLastSample = node.n;
    } else {
        // A group row: its name in column 0, the View (and, for a layer, the Layer) part of its
        // first sample, and the sums of its samples everywhere else.
        const bool bLayer = node.kind == NodeKind::Layer;
        const SampleGroup &group = bLayer ? m_layers[node.n] : m_views[node.n];
        nSampleIndex = group.nFirst;
        nLastSample = group.nLast;
        const int nOwnPart = bLayer ? SAMPLE_COLUMN_LAYER : SAMPLE_COLUMN_VIEW;
        const bool bOwnPart = nColumn == SAMPLE_COLUMN_NAME || nColumn == SAMPLE_COLUMN_VIEW || (bLayer && nColumn == SAMPLE_COLUMN_LAYER);
        pRecord = bOwnPart ? &m_pRecords[group.nFirst] : &GroupTotals(node.kind, node.n);
        if (nColumn == SAMPLE_COLUMN_NAME)
            nColumn = nOwnPart;
        background = bLayer ? kGroupRowGrey : QColor(Qt::white);
    }

    SampleCell cell;
    bool bCell = false;
    auto fillCell = [&](bool bText) {
        if (!bCell || (bText && cell.text.isNull())) {
            SampleColumnCell(*pRecord, nSampleIndex, nColumn, m_flFirstGpuStart, &cell, bText);
            if (bText && nColumn == SAMPLE_COLUMN_INDEX && nLastSample != nSampleIndex)
                cell.text = QStringLiteral("[%1..%2]").arg(nSampleIndex).arg(nLastSample);
            bCell = true;
        }
    };
    for (QModelRoleData &roleData : roleDataSpan) {
        switch (roleData.role()) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            fillCell(true);
            roleData.setData(cell.text);
            break;
        case Qt::UserRole:
            fillCell(false);
            roleData.setData(cell.value);
            break;
        case Qt::TextAlignmentRole:
            roleData.setData(SampleColumnAlignment(nColumn));
            break;
        case Qt::ForegroundRole:
            fillCell(false);
            roleData.setData(ForegroundBrush(SampleColumnForeground(nColumn, cell.flNumber)));
            break;
        case Qt::BackgroundRole:
            if (!background.isValid())
                background = SampleBackground(*pRecord, node.n);
            roleData.setData(QBrush(background));
            break;
        default:
            break;
        }
    }
}

QVariant CGpuFrameProfileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < columnCount()) {
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return SampleColumnHeader(section);
        return QVariant();
    }
    if (orientation == Qt::Horizontal)
        return QVariant();
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags CGpuFrameProfileModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? kCellFlags : QAbstractItemModel::flags(index);
}

void CGpuFrameProfileModel::sort(int column, Qt::SortOrder order)
{
    if (!m_bBuilt || m_bGrouped || column < 0 || column >= kSampleColumnCount || m_nRecords < 2)
        return;
    GrowableArray<int32> rows;
    GrowableArray<SortKey> keys;
    if (!rows.SetCount(m_nRecords) || !keys.SetCount(m_nRecords))
        return;
    static constexpr int kPathPart[] = {SAMPLE_PATH_NAME, -1, SAMPLE_PATH_VIEW, SAMPLE_PATH_LAYER, SAMPLE_PATH_NAME};
    const bool bText = column <= SAMPLE_COLUMN_CONTEXT && column != SAMPLE_COLUMN_INDEX;
    SampleCell cell;
    for (int32 i = 0; i < m_nRecords; ++i) {
        rows[i] = m_rowSample.IsEmpty() ? i : m_rowSample[i];
        const GpuSampleRecord &record = m_pRecords[rows[i]];
        if (bText) {
            keys[rows[i]].sText = SplitSamplePath(record.Name(), kPathPart[column]);
        } else {
            SampleColumnCell(record, rows[i], column, m_flFirstGpuStart, &cell, false);
            keys[rows[i]].flNumber = cell.flNumber;
        }
    }
    // NaN (a target's broken time) goes last in either order.
    const bool bAscending = order == Qt::AscendingOrder;
    auto goesFirst = [&](int32 a, int32 b) {
        if (bText)
            return bAscending ? keys[a].sText < keys[b].sText : keys[b].sText < keys[a].sText;
        const double x = keys[a].flNumber, y = keys[b].flNumber;
        if (std::isnan(x) || std::isnan(y))
            return !std::isnan(x) && std::isnan(y);
        return bAscending ? x < y : y < x;
    };

    std::stable_sort(rows.begin(), rows.end(), goesFirst);
    GrowableArray<int32> sampleRow;
    if (!sampleRow.SetCount(m_nRecords))
        return;
    for (int32 r = 0; r < m_nRecords; ++r)
        sampleRow[rows[r]] = r;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes follow their samples to their new rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(createIndex(sampleRow[NodeOf(index).n], index.column(), quintptr(0)));
    m_rowSample.Swap(rows);
    m_sampleRow.Swap(sampleRow);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex CGpuFrameProfileModel::SampleIndex(int32 nSample, int nColumn) const
{
    if (!m_bBuilt || nSample < 0 || nSample >= m_nRecords || nColumn < 0 || nColumn >= kSampleColumnCount)
        return QModelIndex();
    if (!m_bGrouped)
        return createIndex(m_sampleRow.IsEmpty() ? nSample : m_sampleRow[nSample], nColumn, quintptr(0));
    const int32 nLayer = LayerOfSample(nSample);
    return createIndex(nSample - m_layers[nLayer].nFirst, nColumn, quintptr(1 + m_views.Count() + nLayer));
}

QModelIndex CGpuFrameProfileModel::SampleIndexAtTime(double flTime) const
{
    for (int32 i = 0; i < m_nRecords; ++i) {
        const double flStart = m_pRecords[i].GpuStartTime() - m_flFirstGpuStart;
        if (flTime >= flStart && flTime < flStart + m_pRecords[i].GpuTime())
            return SampleIndex(i);
    }
    return QModelIndex();
}
