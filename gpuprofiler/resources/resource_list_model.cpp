#include "resource_list_model.h"

#include "resource_list_format.h"

#include <algorithm>
#include <cstring>

namespace {

// Qt's case folding of each 8-bit character, as QString::contains folds the name's text.
struct Latin1Folding
{
    char16_t units[256];
    Latin1Folding()
    {
        for (int i = 0; i < 256; ++i)
            units[i] = char16_t(QChar::toCaseFolded(char32_t(i)));
    }
};

const Latin1Folding &Folding()
{
    static const Latin1Folding s_Folding;
    return s_Folding;
}

} // namespace

void CNameFilter::SetText(const QString &text)
{
    m_Text = text;
    m_Folded = text.toCaseFolded();
    m_FirstBytes.clear();
    if (!m_Folded.isEmpty()) {
        for (int i = 1; i < 256; ++i) {
            if (Folding().units[i] == m_Folded.front().unicode())
                m_FirstBytes.append(char(i));
        }
    }
}

bool CNameFilter::Matches(const char *pName, int32 nLength) const
{
    const int32 nNeedle = int32(m_Folded.size());
    if (nNeedle == 0)
        return true;
    const char16_t *pNeedle = reinterpret_cast<const char16_t *>(m_Folded.utf16());
    const char16_t *pFold = Folding().units;
    const char *pEnd = pName + nLength;
    const char *pFrom = pName;
    while (pEnd - pFrom >= nNeedle) {
        // The earliest place where the first character can match (a letter has two bytes).
        const char *pStart = pEnd;
        for (char cFirst : m_FirstBytes) {
            if (const void *pFound = std::memchr(pFrom, cFirst, size_t(pStart - pFrom)))
                pStart = static_cast<const char *>(pFound);
        }
        if (pEnd - pStart < nNeedle)
            return false;
        int32 i = 1;
        while (i < nNeedle && pFold[uint8(pStart[i])] == pNeedle[i])
            ++i;
        if (i == nNeedle)
            return true;
        pFrom = pStart + 1;
    }
    return false;
}

bool CNameFilter::MatchesName(const char *pName, int32 nLength) const
{
    if (nLength > 0)
        return Matches(pName, nLength);
    return Matches(kUnnamedText, int32(sizeof(kUnnamedText) - 1));
}

CQResourceListModel::CQResourceListModel(const QStringList &headers, QObject *pParent) : QAbstractTableModel(pParent), m_Headers(headers) {}

int CQResourceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_Rows.Count();
}

int CQResourceListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_Headers.size());
}

QVariant CQResourceListModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const
{
    if (orientation == Qt::Horizontal && nRole == Qt::DisplayRole && nSection >= 0 && nSection < m_Headers.size())
        return m_Headers[nSection];
    return QAbstractTableModel::headerData(nSection, orientation, nRole);
}

QVariant CQResourceListModel::data(const QModelIndex &index, int nRole) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    return CellData(m_Rows[index.row()], index.column(), nRole);
}

void CQResourceListModel::sort(int nColumn, Qt::SortOrder order)
{
    if (nColumn >= columnCount())
        nColumn = -1;
    // The entries are kept in this order whatever list arrives, so there is nothing to redo
    // (a view asks again whenever its header state is restored).
    if (nColumn == m_nSortColumn && order == m_SortOrder)
        return;
    GrowableArray<int32> sorted;
    GrowableArray<int32> rows;
    if (!SortEntries(SortKeys(), nColumn, order == Qt::DescendingOrder, &sorted))
        return; // out of memory: the rows stay as they were
    m_nSortColumn = nColumn;
    m_SortOrder = order;
    m_Sorted.Swap(sorted);
    if (FilterSorted(&rows))
        ChangeRows(rows);
}

void CQResourceListModel::ApplyFilter()
{
    GrowableArray<int32> rows;
    if (FilterSorted(&rows))
        ChangeRows(rows);
}

bool CQResourceListModel::SortLike(const IResourceSortKeys &keys, int nColumn, Qt::SortOrder order, GrowableArray<int32> *pSorted) const
{
    if (nColumn == m_nSortColumn && (order == m_SortOrder || nColumn < 0) && pSorted->Count() == keys.EntryCount())
        return true;
    return SortEntries(keys, m_nSortColumn, m_SortOrder == Qt::DescendingOrder, pSorted);
}

void CQResourceListModel::AdoptSortedEntries(GrowableArray<int32> &sorted)
{
    m_Sorted.Swap(sorted);
    // Without the memory for the visible rows the list shows empty rather than half filtered.
    if (!FilterSorted(&m_Rows))
        m_Rows.Purge();
}

bool CQResourceListModel::FilterSorted(GrowableArray<int32> *pRows) const
{
    // Room for every entry up front, so that no row has to wait for the array to grow.
    if (!pRows->EnsureCapacity(m_Sorted.Count()))
        return false;
    pRows->RemoveAll();
    for (int32 nEntry : m_Sorted) {
        if (filterAcceptsRow(nEntry))
            pRows->AddToTail(nEntry);
    }
    return true;
}

void CQResourceListModel::ChangeRows(GrowableArray<int32> &rows)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int32> entries;
    entries.reserve(before.size());
    for (const QModelIndex &index : before)
        entries.append(m_Rows[index.row()]);
    m_Rows.Swap(rows);

    if (!before.isEmpty()) {
        // Where each entry now is, or -1: one pass over the rows instead of one per index.
        GrowableArray<int32> rowOfEntry;
        const int32 nEntries = SortKeys().EntryCount();
        const bool bMapped = rowOfEntry.SetCount(nEntries);
        if (bMapped) {
            std::fill(rowOfEntry.begin(), rowOfEntry.end(), -1);
            for (int32 nRow = 0; nRow < m_Rows.Count(); ++nRow)
                rowOfEntry[m_Rows[nRow]] = nRow;
        }
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const int32 nRow = bMapped ? rowOfEntry[entries[i]] : -1;
            after.append(nRow >= 0 ? index(nRow, before[i].column()) : QModelIndex());
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
