#pragma once
// What the texture list and the buffer list share: the table model over a decoded list, with
// its sort order and its name filter.
//
// A list can hold a million entries (see list_count_bound.h), so the model keeps no cells: a
// cell is computed from its entry when a view asks for it. Sorting and filtering work on
// arrays of entry indices: the model keeps every entry in sort order (resource_list_sort.h),
// and the visible rows as the subsequence that passes the filter. A filter change is one pass
// over that array, and only a new list or a click on another column sorts again; a new list
// can arrive sorted from a worker thread.

#include "bedrock_api.h"
#include "growable_array.h"
#include "resource_list_sort.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QStringList>

// The name filter of both lists: a fragment that a name's shown text must contain, compared
// without regard to case exactly as QString::contains(fragment, Qt::CaseInsensitive) compares.
class CNameFilter
{
public:
    void SetText(const QString &text);
    const QString &Text() const { return m_Text; }
    bool IsEmpty() const { return m_Folded.isEmpty(); }
    // pName: the shown text in 8-bit characters.
    bool Matches(const char *pName, int32 nLength) const;
    // A resource's name, which shows as "<unnamed>" when empty.
    bool MatchesName(const char *pName, int32 nLength) const;

private:
    QString m_Text;
    QString m_Folded;
    // The bytes whose folding is the fragment's first character, to look for with memchr.
    QByteArray m_FirstBytes;
};

class CQResourceListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int nRole = Qt::DisplayRole) const override;
    // Sorts the entries by the column; the view keeps its selection and its scroll position.
    void sort(int nColumn, Qt::SortOrder order = Qt::AscendingOrder) override;

    int SortColumn() const { return m_nSortColumn; }
    Qt::SortOrder SortOrder() const { return m_SortOrder; }
    // The entry that visible row nRow shows.
    int32 SourceRow(int nRow) const { return m_Rows[nRow]; }

    // Filters every entry again, in the current sort order. Rows that stay visible keep their
    // selection.
    void ApplyFilter();

    // Brings pSorted, the entries of a list not yet shown sorted by nColumn and order, into this
    // model's sort order. False when memory ran out.
    bool SortLike(const IResourceSortKeys &keys, int nColumn, Qt::SortOrder order, GrowableArray<int32> *pSorted) const;

protected:
    CQResourceListModel(const QStringList &headers, QObject *pParent);

    // The keys of the list the model shows.
    virtual const IResourceSortKeys &SortKeys() const = 0;
    virtual bool filterAcceptsRow(int nSourceRow) const = 0;
    // One cell of entry nEntry.
    virtual QVariant CellData(int32 nEntry, int nColumn, int nRole) const = 0;

    // For a subclass that replaces its list between beginResetModel() and endResetModel():
    // takes the new list's entries in this model's sort order (exchanged, not copied) and
    // filters them.
    void AdoptSortedEntries(GrowableArray<int32> &sorted);

private:
    // Makes rows the visible rows, moving persistent indexes with their entries.
    void ChangeRows(GrowableArray<int32> &rows);
    bool FilterSorted(GrowableArray<int32> *pRows) const;

    QStringList m_Headers;
    // Every entry in sort order, and the visible ones among them.
    GrowableArray<int32> m_Sorted;
    GrowableArray<int32> m_Rows;
    int m_nSortColumn = -1;
    Qt::SortOrder m_SortOrder = Qt::AscendingOrder;
};
