#include "gpuprofiler/resources/resource_list_item.h"

#include "gpuprofiler/resources/resource_list_roles.h"

#include <QStandardItemModel>

namespace {

// Items in a resource list are never edited; these are the flags that remain of a standard
// item's defaults without "editable".
constexpr int kItemFlags = int(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);

// QStandardItem keeps its flags under this role.
constexpr int kFlagsRole = Qt::UserRole - 1;

} // namespace

CQResourceListItem::CQResourceListItem(const QString &text, Qt::Alignment alignment)
    : m_Text(text), m_SortText(text), m_Kind(kSortText), m_nAlignment(uint16(alignment.toInt()))
{
}

CQResourceListItem::CQResourceListItem(const QString &text, int nSortValue, Qt::Alignment alignment)
    : m_Text(text), m_Kind(kSortInt), m_nAlignment(uint16(alignment.toInt()))
{
    m_Sort.i = nSortValue;
}

CQResourceListItem::CQResourceListItem(const QString &text, uint nSortValue, Qt::Alignment alignment)
    : m_Text(text), m_Kind(kSortUInt), m_nAlignment(uint16(alignment.toInt()))
{
    m_Sort.u = nSortValue;
}

CQResourceListItem::CQResourceListItem(const QString &text, qulonglong nSortValue, Qt::Alignment alignment)
    : m_Text(text), m_Kind(kSortULongLong), m_nAlignment(uint16(alignment.toInt()))
{
    m_Sort.ull = nSortValue;
}

CQResourceListItem::CQResourceListItem(const QString &text, float flSortValue, Qt::Alignment alignment)
    : m_Text(text), m_Kind(kSortFloat), m_nAlignment(uint16(alignment.toInt()))
{
    m_Sort.fl = flSortValue;
}

QVariant CQResourceListItem::SortValue() const
{
    switch (m_Kind) {
    case kSortInt:
        return QVariant(int(m_Sort.i));
    case kSortUInt:
        return QVariant(uint(m_Sort.u));
    case kSortULongLong:
        return QVariant(qulonglong(m_Sort.ull));
    case kSortFloat:
        return QVariant(m_Sort.fl);
    case kSortText:
        break;
    }
    return QVariant(m_SortText);
}

uint64 CQResourceListItem::SortNumber() const
{
    switch (m_Kind) {
    case kSortInt:
        return uint64(int64(m_Sort.i));
    case kSortUInt:
        return m_Sort.u;
    case kSortULongLong:
        return m_Sort.ull;
    case kSortFloat:
        return m_Sort.fl >= 0.0f && m_Sort.fl < 1.8e19f ? uint64(m_Sort.fl) : 0;
    case kSortText:
        break;
    }
    return 0;
}

QVariant CQResourceListItem::data(int nRole) const
{
    switch (nRole) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_Text;
    case SortRole:
        return SortValue();
    case TypeBitsRole:
        return m_bHasTypeBits ? QVariant(m_nTypeBits) : QStandardItem::data(nRole);
    case Qt::TextAlignmentRole:
        return m_nAlignment ? QVariant(int(m_nAlignment)) : QStandardItem::data(nRole);
    case kFlagsRole:
        return QVariant(kItemFlags);
    default:
        return QStandardItem::data(nRole);
    }
}

void CQResourceListItem::multiData(QModelRoleDataSpan roleDataSpan) const
{
    for (QModelRoleData &roleData : roleDataSpan)
        roleData.setData(data(roleData.role()));
}

void CQResourceListItem::setData(const QVariant &value, int nRole)
{
    // The member roles are answered from the members, so a change to one of them goes there
    // (stored in the generic role list it would never be seen).
    switch (nRole) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        m_Text = value.toString();
        break;
    case SortRole:
        switch (value.typeId()) {
        case QMetaType::Int:
            m_Kind = kSortInt;
            m_Sort.i = value.toInt();
            break;
        case QMetaType::UInt:
            m_Kind = kSortUInt;
            m_Sort.u = value.toUInt();
            break;
        case QMetaType::ULongLong:
            m_Kind = kSortULongLong;
            m_Sort.ull = value.toULongLong();
            break;
        case QMetaType::Float:
            m_Kind = kSortFloat;
            m_Sort.fl = value.toFloat();
            break;
        default:
            m_Kind = kSortText;
            m_SortText = value.toString();
            break;
        }
        break;
    case TypeBitsRole:
        m_nTypeBits = value.toUInt();
        m_bHasTypeBits = value.isValid();
        break;
    case Qt::TextAlignmentRole:
        m_nAlignment = uint16(value.toInt());
        break;
    default:
        QStandardItem::setData(value, nRole);
        return;
    }
    emitDataChanged();
}

QStandardItem *CQResourceListItem::clone() const
{
    return new CQResourceListItem(*this);
}

bool CQResourceListItem::SortsBefore(const CQResourceListItem &other, Qt::CaseSensitivity cs, bool bLocaleAware) const
{
    switch (m_Kind) {
    case kSortInt:
        return m_Sort.i < other.m_Sort.i;
    case kSortUInt:
        return m_Sort.u < other.m_Sort.u;
    case kSortULongLong:
        return m_Sort.ull < other.m_Sort.ull;
    case kSortFloat:
        // Not-a-number is neither less nor greater than anything, as with variants.
        return m_Sort.fl < other.m_Sort.fl;
    case kSortText:
        break;
    }
    return bLocaleAware ? m_SortText.localeAwareCompare(other.m_SortText) < 0 : m_SortText.compare(other.m_SortText, cs) < 0;
}

const CQResourceListItem *ResourceListItemAt(const QAbstractItemModel *pSource, int nRow, int nColumn)
{
    const auto *pModel = qobject_cast<const QStandardItemModel *>(pSource);
    if (!pModel)
        return nullptr;
    const QStandardItem *pItem = pModel->item(nRow, nColumn);
    return pItem && pItem->type() == CQResourceListItem::Type ? static_cast<const CQResourceListItem *>(pItem) : nullptr;
}

bool ResourceListLessThan(const QAbstractItemModel *pSource, const QModelIndex &left, const QModelIndex &right,
                          Qt::CaseSensitivity cs, bool bLocaleAware, bool *pHandled)
{
    *pHandled = false;
    if (left.parent().isValid() || right.parent().isValid())
        return false;
    const CQResourceListItem *pLeft = ResourceListItemAt(pSource, left.row(), left.column());
    const CQResourceListItem *pRight = ResourceListItemAt(pSource, right.row(), right.column());
    if (!pLeft || !pRight || pLeft->Kind() != pRight->Kind())
        return false;
    *pHandled = true;
    return pLeft->SortsBefore(*pRight, cs, bLocaleAware);
}
