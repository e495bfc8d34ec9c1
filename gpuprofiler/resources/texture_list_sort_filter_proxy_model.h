#pragma once
// The texture table as the view shows it: the decoded texture list, sorted and filtered by a
// case-insensitive name fragment, by texture kind, and by flags that must be set or must be
// clear. Every cell is computed from its entry when it is read.

#include "bedrock/bedrock_api.h"
#include "gpuprofiler/resources/resource_list_model.h"
#include "gpuprofiler/resources/texture_list_payload.h"

enum TextureColumn
{
    kTextureColName,
    kTextureColFormat,
    kTextureColType,
    kTextureColDiskDim,
    kTextureColDiskMips,
    kTextureColDiskSize,
    kTextureColResDim,
    kTextureColResMips,
    kTextureColResSize,
    kTextureColFallback,
    kTextureColRenderTarget,
    kTextureColPinned,
    kTextureColCount
};

// The sort keys of a texture list; usable on any thread for a list that thread owns.
class CTextureListSortKeys final : public IResourceSortKeys
{
public:
    explicit CTextureListSortKeys(const TextureList &list) : m_List(list) {}
    int32 EntryCount() const override { return m_List.entries.Count(); }
    bool SortsAsText(int nColumn) const override;
    uint64 SortNumber(int32 nEntry, int nColumn) const override;
    int32 SortText(int32 nEntry, int nColumn, char *pText) const override;

private:
    const TextureList &m_List;
};

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

    // The "Type" column's text for a flags value.
    static QString KindText(uint32 nFlags);
    // "%1x%2", or "%1x%2x%3" from a depth of 2 up.
    static QString DimensionText(uint16 nWidth, uint16 nHeight, uint16 nDepth);
    // The "Format" column's text: the format's name, or for a value without a table entry
    // "UNKNOWN (n)".
    static QString FormatText(int nFormat);
    // The text of any text column of an entry.
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
