#include "gpuprofiler/resources/texture_list_sort_filter_proxy_model.h"

#include "gpuprofiler/resources/resource_list_item.h"
#include "gpuprofiler/resources/resource_list_roles.h"

CQTextureListSortFilterProxyModel::CQTextureListSortFilterProxyModel(QObject *pParent)
    : QSortFilterProxyModel(pParent)
{
}

bool CQTextureListSortFilterProxyModel::filterAcceptsRow(int nSourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex nameIndex = sourceModel()->index(nSourceRow, 0, sourceParent);
    if (!filterText.isEmpty() && !nameIndex.data(Qt::DisplayRole).toString().contains(filterText, Qt::CaseInsensitive))
        return false;
    const uint32 nBits = nameIndex.data(TypeBitsRole).toUInt();
    return (nBits & uint32(typeMask)) != 0 && (nBits & uint32(requiredFlags)) == uint32(requiredFlags) &&
           (nBits & uint32(excludedFlags)) == 0;
}

bool CQTextureListSortFilterProxyModel::filterAcceptsColumn(int, const QModelIndex &) const
{
    return true;
}

bool CQTextureListSortFilterProxyModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    bool bHandled = false;
    const bool bLess = ResourceListLessThan(sourceModel(), left, right, sortCaseSensitivity(), isSortLocaleAware(), &bHandled);
    return bHandled ? bLess : QSortFilterProxyModel::lessThan(left, right);
}
