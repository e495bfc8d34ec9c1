#pragma once
// One cell of a resource list. A list holds hundreds of thousands of cells, and a plain
// QStandardItem keeps each role in a growing list of variants, with several allocations per
// role set. This item holds its few fixed roles in members instead: the display text, the
// sort value, the alignment, the kind bits of column 0 and the fixed flags (enabled,
// selectable, not editable). Any other role falls through to QStandardItem.
//
// It also keeps its sort value in native form, so that the proxies can sort and sum without
// going through variants (see ResourceListLessThan).

#include "bedrock/bedrock_api.h"

#include <QStandardItem>

class CQResourceListItem : public QStandardItem
{
public:
    enum SortKind : uint8
    {
        kSortText,
        kSortInt,
        kSortUInt,
        kSortULongLong,
        kSortFloat,
    };

    // A cell that sorts by its own text.
    CQResourceListItem(const QString &text, Qt::Alignment alignment = {});
    // A cell with a numeric sort value.
    CQResourceListItem(const QString &text, int nSortValue, Qt::Alignment alignment);
    CQResourceListItem(const QString &text, uint nSortValue, Qt::Alignment alignment);
    CQResourceListItem(const QString &text, qulonglong nSortValue, Qt::Alignment alignment);
    CQResourceListItem(const QString &text, float flSortValue, Qt::Alignment alignment);

    void SetTypeBits(uint nBits)
    {
        m_nTypeBits = nBits;
        m_bHasTypeBits = true;
    }

    QVariant data(int nRole = Qt::UserRole + 1) const override;
    void multiData(QModelRoleDataSpan roleDataSpan) const override;
    void setData(const QVariant &value, int nRole = Qt::UserRole + 1) override;
    QStandardItem *clone() const override;
    int type() const override { return Type; }

    static constexpr int Type = QStandardItem::UserType + 17;

    SortKind Kind() const { return m_Kind; }
    const QString &Text() const { return m_Text; }
    // The sort value as an unsigned 64-bit number (numeric kinds only; text gives 0).
    uint64 SortNumber() const;
    // The "less than" of the sort role's variants, for two cells of the same kind.
    bool SortsBefore(const CQResourceListItem &other, Qt::CaseSensitivity cs, bool bLocaleAware) const;

private:
    CQResourceListItem(const CQResourceListItem &other) = default;
    QVariant SortValue() const;

    QString m_Text;
    QString m_SortText; // text cells: normally the display text itself (shared, not copied)
    union
    {
        int32 i;
        uint32 u;
        uint64 ull;
        float fl;
    } m_Sort = {};
    SortKind m_Kind = kSortText;
    bool m_bHasTypeBits = false;
    uint16 m_nAlignment = 0;
    uint m_nTypeBits = 0;
};

// The proxies' lessThan: cells of this type compare by their native sort values, exactly as
// their SortRole variants would compare; anything else is left to the caller (returns false in
// *pHandled).
bool ResourceListLessThan(const QAbstractItemModel *pSource, const QModelIndex &left, const QModelIndex &right,
                          Qt::CaseSensitivity cs, bool bLocaleAware, bool *pHandled);

// The cell at (row, column) of a list model, or null when it is not a list cell.
const CQResourceListItem *ResourceListItemAt(const QAbstractItemModel *pSource, int nRow, int nColumn);
