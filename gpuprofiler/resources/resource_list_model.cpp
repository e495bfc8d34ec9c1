#include "gpuprofiler/resources/resource_list_model.h"

#include "gpuprofiler/resources/resource_list_format.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

struct NumberKey
{
    uint64 nKey;
    int32 nEntry;
};

// A text key: eight of its bytes as one big-endian number, and where the whole text lies in
// the key pool. Texts are sorted eight bytes at a time: first by their first eight bytes, then
// each run of texts that share those by the next eight, and so on. Almost every comparison is
// then between two numbers in the key array, and the pool is read once per text and level
// rather than at random on every comparison (names of one folder share long prefixes).
struct TextKey
{
    uint64 nChunk;
    int32 nOffset;
    int32 nLength;
    int32 nEntry;
};

// Bytes nDepth to nDepth + 7 of a text, zero past its end. Texts hold no NUL byte, so the zero
// padding of a text that ends sorts before any byte that a longer text goes on with.
uint64 TextChunk(const char *pText, int32 nLength, int32 nDepth)
{
    uint64 nChunk = 0;
    for (int32 i = nDepth; i < nDepth + 8; ++i)
        nChunk = (nChunk << 8) | (i < nLength ? uint8(pText[i]) : 0);
    return nChunk;
}

// Sorts keys that share their first nDepth bytes and hold the chunk at nDepth.
void SortTextKeys(TextKey *pBegin, TextKey *pEnd, int32 nDepth, const char *pPool, bool bDescending)
{
    std::sort(pBegin, pEnd, [bDescending](const TextKey &a, const TextKey &b) {
        if (a.nChunk != b.nChunk)
            return bDescending ? a.nChunk > b.nChunk : a.nChunk < b.nChunk;
        return a.nEntry < b.nEntry;
    });
    // Texts with equal chunks are equal up to here. Where none goes on past the chunk they are
    // equal texts, left in entry order; otherwise the run is sorted by the next chunk (a text
    // that ends at the chunk's end then has the chunk 0, before every text that goes on).
    const int32 nNext = nDepth + 8;
    for (TextKey *pRun = pBegin; pRun != pEnd;) {
        TextKey *pRunEnd = pRun + 1;
        bool bGoesOn = pRun->nLength > nNext;
        for (; pRunEnd != pEnd && pRunEnd->nChunk == pRun->nChunk; ++pRunEnd)
            bGoesOn = bGoesOn || pRunEnd->nLength > nNext;
        if (pRunEnd - pRun > 1 && bGoesOn) {
            for (TextKey *pKey = pRun; pKey != pRunEnd; ++pKey)
                pKey->nChunk = TextChunk(pPool + pKey->nOffset, pKey->nLength, nNext);
            SortTextKeys(pRun, pRunEnd, nNext, pPool, bDescending);
        }
        pRun = pRunEnd;
    }
}

bool SortByNumber(const IResourceSortKeys &keys, int nColumn, bool bDescending, int32 *pEntries, int32 nCount)
{
    GrowableArray<NumberKey> sortKeys;
    if (!sortKeys.SetCount(nCount))
        return false;
    for (int32 i = 0; i < nCount; ++i)
        sortKeys[i] = {keys.SortNumber(i, nColumn), i};
    std::sort(sortKeys.begin(), sortKeys.end(), [bDescending](const NumberKey &a, const NumberKey &b) {
        if (a.nKey != b.nKey)
            return bDescending ? a.nKey > b.nKey : a.nKey < b.nKey;
        return a.nEntry < b.nEntry;
    });
    for (int32 i = 0; i < nCount; ++i)
        pEntries[i] = sortKeys[i].nEntry;
    return true;
}

bool SortByText(const IResourceSortKeys &keys, int nColumn, bool bDescending, int32 *pEntries, int32 nCount)
{
    GrowableArray<TextKey> sortKeys;
    GrowableArray<char> pool;
    if (!sortKeys.SetCount(nCount) || !pool.EnsureCapacity(nCount > 0 ? nCount * 16 : 1))
        return false;
    char szText[kSortTextCapacity];
    for (int32 i = 0; i < nCount; ++i) {
        const int32 nLength = std::clamp(keys.SortText(i, nColumn, szText), 0, kSortTextCapacity);
        const int32 nOffset = pool.Count();
        if (!pool.SetCount(nOffset + nLength))
            return false;
        std::memcpy(pool.Base() + nOffset, szText, size_t(nLength));
        sortKeys[i] = {TextChunk(szText, nLength, 0), nOffset, nLength, i};
    }
    SortTextKeys(sortKeys.begin(), sortKeys.end(), 0, pool.Base(), bDescending);
    for (int32 i = 0; i < nCount; ++i)
        pEntries[i] = sortKeys[i].nEntry;
    return true;
}

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

const Latin1Folding &Folding();

} // namespace

bool SortEntries(const IResourceSortKeys &keys, int nColumn, bool bDescending, GrowableArray<int32> *pSorted)
{
    const int32 nCount = keys.EntryCount();
    if (!pSorted->SetCount(nCount))
        return false;
    int32 *pEntries = pSorted->Base();
    if (nColumn < 0) {
        for (int32 i = 0; i < nCount; ++i)
            pEntries[i] = i;
        return true;
    }
    return keys.SortsAsText(nColumn) ? SortByText(keys, nColumn, bDescending, pEntries, nCount)
                                     : SortByNumber(keys, nColumn, bDescending, pEntries, nCount);
}

uint64 FloatSortNumber(float flValue)
{
    if (std::isnan(flValue))
        return 0;
    if (flValue == 0.0f)
        flValue = 0.0f; // -0 equals 0
    // Positive floats order as their bit patterns do; negative ones in reverse, below them.
    const uint32 nBits = std::bit_cast<uint32>(flValue);
    const uint32 nOrdered = (nBits & 0x80000000u) ? ~nBits : (nBits | 0x80000000u);
    return uint64(nOrdered) + 1;
}

namespace {

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

int32 CopyShownName(const char *pName, int32 nLength, char *pText)
{
    if (nLength <= 0) {
        pName = kUnnamedText;
        nLength = int32(sizeof(kUnnamedText) - 1);
    }
    nLength = std::min(nLength, kSortTextCapacity);
    std::memcpy(pText, pName, size_t(nLength));
    return nLength;
}

CQResourceListModel::CQResourceListModel(const QStringList &headers, QObject *pParent)
    : QAbstractTableModel(pParent), m_Headers(headers)
{
}

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

bool CQResourceListModel::SortLike(const IResourceSortKeys &keys, int nColumn, Qt::SortOrder order,
                                   GrowableArray<int32> *pSorted) const
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
