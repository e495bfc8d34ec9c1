#include "frame_history_model.h"

#include "bar_graph_item_delegate.h"
#include "frame_history.h"

#include <algorithm>

CFrameHistoryModel::CFrameHistoryModel(const FrameHistory *pHistory, QObject *pParent) : QAbstractTableModel(pParent), history(pHistory) {}

int CFrameHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

int CFrameHistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(tableCount, 0);
}

QVariant CFrameHistoryModel::data(const QModelIndex &index, int nRole) const
{
    if (nRole != CQBarGraphItemDelegate::kTotalGpuTimeRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const FrameHistoryEntry *pEntry = history->EntryAt(index.column());
    return pEntry ? QVariant(pEntry->totalGpuTime) : QVariant();
}

Qt::ItemFlags CFrameHistoryModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

int CFrameHistoryModel::DroppedSinceSync() const
{
    const int nCount = history->Count();
    const int nDropped = (history->Head() - tableHead + FrameHistory::kSlots) % FrameHistory::kSlots;
    if (tableCount >= 0 && nCount > 0 && nDropped <= tableCount && nCount == tableCount - nDropped + 1) {
        return nDropped;
    }
    return -1;
}

void CFrameHistoryModel::AppendHistoryColumn()
{
    beginInsertColumns(QModelIndex(), tableCount, tableCount);
    ++tableCount;
    endInsertColumns();
}

void CFrameHistoryModel::Sync()
{
    // Recorded frames never change, so only the frames that came and went since the last call
    // change the columns. Appending a column only announces the new column; changing every cell
    // would make each view lay out all of its cells again.
    const int nDropped = DroppedSinceSync();
    if (nDropped >= 0) {
        if (nDropped > 0) {
            beginRemoveColumns(QModelIndex(), 0, nDropped - 1);
            tableCount -= nDropped;
            tableHead = history->Head();
            endRemoveColumns();
        }
        tableHead = history->Head();
        AppendHistoryColumn();
        return;
    }
    // Removed and inserted rather than reset, so that views and their selection see the same
    // changes as for a recording.
    if (tableCount > 0) {
        beginRemoveColumns(QModelIndex(), 0, tableCount - 1);
        tableCount = 0;
        tableHead = history->Head();
        endRemoveColumns();
    }
    tableCount = 0;
    tableHead = history->Head();
    if (history->Count() > 0) {
        beginInsertColumns(QModelIndex(), 0, history->Count() - 1);
        tableCount = history->Count();
        endInsertColumns();
    }
}
