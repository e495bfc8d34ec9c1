#pragma once
// Filters the texture table by a case-insensitive name fragment, by texture kind, and by flags
// that must be set or must be clear.

#include "bedrock/bedrock_api.h"

#include <QSortFilterProxyModel>

class CQTextureListSortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit CQTextureListSortFilterProxyModel(QObject *pParent = nullptr);

    // All take effect at the next invalidation of the filter.
    void SetFilterText(const QString &text) { filterText = text; }
    // A row shows when it has at least one of these bits...
    void SetTypeMask(int32 nMask) { typeMask = nMask; }
    // ...all of these...
    void SetRequiredFlags(int32 nFlags) { requiredFlags = nFlags; }
    // ...and none of these.
    void SetExcludedFlags(int32 nFlags) { excludedFlags = nFlags; }
    const QString &FilterText() const { return filterText; }
    int32 TypeMask() const { return typeMask; }
    int32 RequiredFlags() const { return requiredFlags; }
    int32 ExcludedFlags() const { return excludedFlags; }

    void ApplyFilter() { invalidateFilter(); }

protected:
    bool filterAcceptsRow(int nSourceRow, const QModelIndex &sourceParent) const override;
    bool filterAcceptsColumn(int nSourceColumn, const QModelIndex &sourceParent) const override;
    // Orders exactly as the sort role's values do; list cells are compared by their native
    // values rather than through variants, which is most of the cost of sorting a long list.
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    QString filterText;
    int32 typeMask = -1;
    int32 requiredFlags = 0;
    int32 excludedFlags = 0;
};
