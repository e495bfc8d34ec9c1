#include "buffer_list_sort_filter_proxy_model.h"

#include "resource_list_format.h"
#include "resource_list_roles.h"

CQBufferListSortFilterProxyModel::CQBufferListSortFilterProxyModel(QObject *pParent)
    : CQResourceListModel({tr("Name"), tr("Type"), tr("Size"), tr("Capacity"), tr("Elem Size"), tr("Elem Count"), tr("Usage")}, pParent)
{}

void CQBufferListSortFilterProxyModel::SetList(BufferList &list, GrowableArray<int32> &sorted)
{
    beginResetModel();
    m_List.Swap(list);
    AdoptSortedEntries(sorted);
    endResetModel();
}

bool CQBufferListSortFilterProxyModel::filterAcceptsRow(int nSourceRow) const
{
    const BufferListEntry &entry = m_List.entries[nSourceRow];
    if (!filterText.IsEmpty() && !filterText.MatchesName(m_List.Name(entry), entry.nameLength))
        return false;
    // The kind filter's bit: 1 for vertex buffers, 2 for type 1; other types match no box.
    return (uint32(typeMask) & (1u << (entry.record.bufferType % 32))) != 0;
}

QVariant CQBufferListSortFilterProxyModel::CellData(int32 nEntry, int nColumn, int nRole) const
{
    const BufferListEntry &entry = m_List.entries[nEntry];
    const GpuBufferRecord &rec = entry.record;
    switch (nRole) {
    case Qt::DisplayRole:
        switch (nColumn) {
        case kBufferColName:
            return ResourceDisplayName(m_List.Name(entry), entry.nameLength);
        case kBufferColType:
            return QString::fromLatin1(BufferTypeText(rec));
        case kBufferColSize:
            return FormatKilobytes(ResourceSizeLocale(), rec.SizeBytes());
        case kBufferColCapacity:
            return QString::number(rec.Capacity());
        case kBufferColElemSize:
            return QString::number(rec.ElemSize());
        case kBufferColElemCount:
            return QString::number(rec.ElemCount());
        case kBufferColUsage:
            return QStringLiteral("%1%").arg(double(BufferUsage(rec)), 0, 'f', 1);
        }
        break;
    case SortRole:
        // Typed as the column sorts: numbers as numbers, texts as the text shown.
        switch (nColumn) {
        case kBufferColSize:
            return uint(rec.SizeBytes());
        case kBufferColCapacity:
            return uint(rec.Capacity());
        case kBufferColElemSize:
            return int(rec.ElemSize());
        case kBufferColElemCount:
            return uint(rec.ElemCount());
        case kBufferColUsage:
            return BufferUsage(rec);
        default:
            return CellData(nEntry, nColumn, Qt::DisplayRole);
        }
    case TypeBitsRole:
        if (nColumn == kBufferColName)
            return uint(1u << (rec.bufferType % 32));
        break;
    case Qt::TextAlignmentRole:
        if (nColumn >= kBufferColSize)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    default:
        break;
    }
    return QVariant();
}
