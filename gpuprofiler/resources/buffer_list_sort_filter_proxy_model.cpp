#include "gpuprofiler/resources/buffer_list_sort_filter_proxy_model.h"

#include "gpuprofiler/resources/resource_list_item.h"
#include "gpuprofiler/resources/resource_list_roles.h"

CQBufferListSortFilterProxyModel::CQBufferListSortFilterProxyModel(QObject *pParent)
    : QSortFilterProxyModel(pParent)
{
}

bool CQBufferListSortFilterProxyModel::filterAcceptsRow(int nSourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex nameIndex = sourceModel()->index(nSourceRow, 0, sourceParent);
    if (!filterText.isEmpty() && !nameIndex.data(Qt::DisplayRole).toString().contains(filterText, Qt::CaseInsensitive))
        return false;
    // A value that is no number reads as no bits, so such a row matches no kind.
    const uint32 nBits = nameIndex.data(TypeBitsRole).toUInt();
    return (uint32(typeMask) & nBits) != 0;
}

bool CQBufferListSortFilterProxyModel::filterAcceptsColumn(int, const QModelIndex &) const
{
    return true;
}

bool CQBufferListSortFilterProxyModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    bool bHandled = false;
    const bool bLess = ResourceListLessThan(sourceModel(), left, right, sortCaseSensitivity(), isSortLocaleAware(), &bHandled);
    return bHandled ? bLess : QSortFilterProxyModel::lessThan(left, right);
}
