#pragma once
// The texture table as the view shows it: the decoded texture list, sorted and filtered by a
// case-insensitive name fragment, by texture kind, and by flags that must be set or must be
// clear. Every cell is computed from its entry when it is read.

#include "bedrock_api.h"
#include "resource_list_model.h"
#include "texture_list_payload.h"

class CQTextureListSortFilterProxyModel final : public CQResourceListModel
{
    Q_OBJECT

public:
    explicit CQTextureListSortFilterProxyModel(QObject *pParent = nullptr);

    // Shows list (taken over by exchange) with its entries sorted in this model's order.
    void SetList(TextureList &list, GrowableArray<int32> &sorted);
    const TextureList &List() const { return m_List; }

    // All take effect at the next ApplyFilter().
    void SetFilterText(const QString &text) { filterText.SetText(text); }
    // A row shows when it has at least one of these bits...
    void SetTypeMask(int32 nMask) { typeMask = nMask; }
    // ...all of these...
    void SetRequiredFlags(int32 nFlags) { requiredFlags = nFlags; }
    // ...and none of these.
    void SetExcludedFlags(int32 nFlags) { excludedFlags = nFlags; }
    const QString &FilterText() const { return filterText.Text(); }
    int32 TypeMask() const { return typeMask; }
    int32 RequiredFlags() const { return requiredFlags; }
    int32 ExcludedFlags() const { return excludedFlags; }

    bool filterAcceptsRow(int nSourceRow) const override;

    // The text that a column other than the sizes and mip counts shows for an entry.
    static QString CellText(const TextureList &list, int32 nEntry, int nColumn);

protected:
    const IResourceSortKeys &SortKeys() const override { return m_Keys; }
    QVariant CellData(int32 nEntry, int nColumn, int nRole) const override;

private:
    TextureList m_List;
    CTextureListSortKeys m_Keys{m_List};
    CNameFilter filterText;
    int32 typeMask = -1;
    int32 requiredFlags = 0;
    int32 excludedFlags = 0;
};
