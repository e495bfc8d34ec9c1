#pragma once
// The buffer table as the view shows it: the decoded buffer list, sorted and filtered by a
// case-insensitive name fragment and by buffer kind. It sorts and filters as a proxy would,
// but over the decoded entries themselves; every cell is computed when it is read.

#include "bedrock_api.h"
#include "buffer_list_payload.h"
#include "resource_list_model.h"

class CQBufferListSortFilterProxyModel final : public CQResourceListModel
{
    Q_OBJECT

public:
    explicit CQBufferListSortFilterProxyModel(QObject *pParent = nullptr);

    // Shows list (taken over by exchange; list gets the old one) with its entries sorted in
    // this model's order (see SortLike), also exchanged.
    void SetList(BufferList &list, GrowableArray<int32> &sorted);
    const BufferList &List() const { return m_List; }

    // Both take effect at the next ApplyFilter().
    void SetFilterText(const QString &text) { filterText.SetText(text); }
    // Bit 1 << kind for each kind to show (1 vertex buffers, 2 index buffers).
    void SetTypeMask(int32 nMask) { typeMask = nMask; }
    const QString &FilterText() const { return filterText.Text(); }
    int32 TypeMask() const { return typeMask; }

    // Whether entry nSourceRow passes the name and kind filters.
    bool filterAcceptsRow(int nSourceRow) const override;

protected:
    const IResourceSortKeys &SortKeys() const override { return m_Keys; }
    QVariant CellData(int32 nEntry, int nColumn, int nRole) const override;

private:
    BufferList m_List;
    CBufferListSortKeys m_Keys{m_List};
    CNameFilter filterText;
    // Every bit set until the widget applies its controls.
    int32 typeMask = -1;
};
