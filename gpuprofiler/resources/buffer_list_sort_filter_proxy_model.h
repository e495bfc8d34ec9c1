#pragma once
// Filters the buffer table by a case-insensitive name fragment and by buffer kind.

#include "bedrock/bedrock_api.h"

#include <QSortFilterProxyModel>

class CQBufferListSortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit CQBufferListSortFilterProxyModel(QObject *pParent = nullptr);

    // Both take effect at the next invalidation of the filter.
    void SetFilterText(const QString &text) { filterText = text; }
    // Bit 1 << kind for each kind to show (1 vertex buffers, 2 index buffers).
    void SetTypeMask(int32 nMask) { typeMask = nMask; }
    const QString &FilterText() const { return filterText; }
    int32 TypeMask() const { return typeMask; }

    // Re-filters every row now.
    void ApplyFilter() { invalidateFilter(); }

protected:
    bool filterAcceptsRow(int nSourceRow, const QModelIndex &sourceParent) const override;
    bool filterAcceptsColumn(int nSourceColumn, const QModelIndex &sourceParent) const override;
    // Orders exactly as the sort role's values do; list cells are compared by their native
    // values rather than through variants, which is most of the cost of sorting a long list.
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    QString filterText;
    // Every bit set until the widget applies its controls.
    int32 typeMask = -1;
};
