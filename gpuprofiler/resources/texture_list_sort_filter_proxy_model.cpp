#include "texture_list_sort_filter_proxy_model.h"

#include "resource_list_format.h"
#include "resource_list_roles.h"

CQTextureListSortFilterProxyModel::CQTextureListSortFilterProxyModel(QObject *pParent)
    : CQResourceListModel({tr("Name"), tr("Format"), tr("Type"), tr("Disk Dim"), tr("Disk Mips"), tr("Disk Size"), tr("Res Dim"),
                           tr("Res Mips"), tr("Res Size"), tr("FB"), tr("RT"), tr("Pinned")},
                          pParent)
{}

void CQTextureListSortFilterProxyModel::SetList(TextureList &list, GrowableArray<int32> &sorted)
{
    beginResetModel();
    m_List.Swap(list);
    AdoptSortedEntries(sorted);
    endResetModel();
}

bool CQTextureListSortFilterProxyModel::filterAcceptsRow(int nSourceRow) const
{
    const TextureListEntry &entry = m_List.entries[nSourceRow];
    if (!filterText.IsEmpty() && !filterText.MatchesName(m_List.Name(entry), entry.nameLength))
        return false;
    const uint32 nBits = entry.record.Flags();
    return (nBits & uint32(typeMask)) != 0 && (nBits & uint32(requiredFlags)) == uint32(requiredFlags) &&
        (nBits & uint32(excludedFlags)) == 0;
}

QString CQTextureListSortFilterProxyModel::CellText(const TextureList &list, int32 nEntry, int nColumn)
{
    const TextureListEntry &entry = list.entries[nEntry];
    switch (nColumn) {
    case kTextureColDiskMips:
        return QString::number(entry.record.diskMips);
    case kTextureColResMips:
        return QString::number(entry.record.resMips);
    case kTextureColDiskSize:
        return FormatKilobytes(ResourceSizeLocale(), entry.diskBytes);
    case kTextureColResSize:
        return FormatKilobytes(ResourceSizeLocale(), entry.resBytes);
    default: {
        char szText[kSortTextCapacity];
        return QString::fromLatin1(szText, TextureCellText(list, nEntry, nColumn, szText));
    }
    }
}

QVariant CQTextureListSortFilterProxyModel::CellData(int32 nEntry, int nColumn, int nRole) const
{
    const TextureListEntry &entry = m_List.entries[nEntry];
    switch (nRole) {
    case Qt::DisplayRole:
        return CellText(m_List, nEntry, nColumn);
    case SortRole:
        switch (nColumn) {
        case kTextureColDiskMips:
            return int(entry.record.diskMips);
        case kTextureColResMips:
            return int(entry.record.resMips);
        case kTextureColDiskSize:
            return qulonglong(entry.diskBytes);
        case kTextureColResSize:
            return qulonglong(entry.resBytes);
        default:
            return CellText(m_List, nEntry, nColumn);
        }
    case TypeBitsRole:
        if (nColumn == kTextureColName)
            return uint(entry.record.Flags());
        break;
    case Qt::TextAlignmentRole:
        switch (nColumn) {
        case kTextureColDiskMips:
        case kTextureColDiskSize:
        case kTextureColResMips:
        case kTextureColResSize:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case kTextureColDiskDim:
        case kTextureColResDim:
        case kTextureColFallback:
        case kTextureColRenderTarget:
        case kTextureColPinned:
            return int(Qt::AlignCenter);
        default:
            break;
        }
        break;
    default:
        break;
    }
    return QVariant();
}
