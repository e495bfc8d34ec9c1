#pragma once
// Compact text dumps of what a resource list shows, in view order.

#include <QAbstractItemModel>
#include <QStringList>

// Display texts of every visible row, cells joined by ";", rows by " | ".
inline QString DumpRows(const QAbstractItemModel *pModel, int nFirstColumns = -1)
{
    QStringList rows;
    const int nColumns = nFirstColumns < 0 ? pModel->columnCount() : nFirstColumns;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        QStringList cells;
        for (int nCol = 0; nCol < nColumns; ++nCol)
            cells << pModel->index(nRow, nCol).data().toString();
        rows << cells.join(QLatin1Char(';'));
    }
    return rows.join(QStringLiteral(" | "));
}

inline QString DumpColumn(const QAbstractItemModel *pModel, int nColumn)
{
    QStringList cells;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
        cells << pModel->index(nRow, nColumn).data().toString();
    return cells.join(QLatin1Char(','));
}

inline QString DumpHeader(const QAbstractItemModel *pModel)
{
    QStringList cells;
    for (int nCol = 0; nCol < pModel->columnCount(); ++nCol)
        cells << pModel->headerData(nCol, Qt::Horizontal).toString();
    return cells.join(QLatin1Char(';'));
}

#include "resource_list_model.h"
#include "resource_list_roles.h"

#include <QSortFilterProxyModel>

// The entries of a list model in the order it shows them.
inline QString EntryOrder(const CQResourceListModel *pModel)
{
    QStringList rows;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
        rows << QString::number(pModel->SourceRow(nRow));
    return rows.join(QLatin1Char(','));
}

// The order Qt's own proxy gives when it sorts pUnsorted (a list model that shows its entries
// in their own order) by the sort role's values: what the list's order must be.
inline QString SortRoleOrder(QAbstractItemModel *pUnsorted, int nColumn, Qt::SortOrder order)
{
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(pUnsorted);
    proxy.setSortRole(SortRole);
    proxy.sort(nColumn, order);
    QStringList rows;
    for (int nRow = 0; nRow < proxy.rowCount(); ++nRow)
        rows << QString::number(proxy.mapToSource(proxy.index(nRow, 0)).row());
    return rows.join(QLatin1Char(','));
}
