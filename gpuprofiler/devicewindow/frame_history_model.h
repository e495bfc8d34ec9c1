#pragma once
// The frame-history row as an item model: one row, one column per recorded frame of the shown
// history, oldest first; each cell holds the frame's total GPU time in seconds (the bar delegate's
// role). The model reads the ring where it is and mirrors it only in its column count: after the
// ring changed, Sync announces the frames that went at the front and came at the end as removed
// and appended columns, so that a recording costs one column, not a refill of all of them.

#include <QAbstractTableModel>

class FrameHistory;

class CFrameHistoryModel : public QAbstractTableModel
{
public:
    CFrameHistoryModel(const FrameHistory *pHistory, QObject *pParent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The number of columns the next Sync removes at the front, or -1 when it replaces them all
    // (the ring no longer continues what the columns show).
    int DroppedSinceSync() const;
    // Brings the columns in line with the ring.
    void Sync();
    // The next Sync replaces every column: the ring was emptied or exchanged.
    void Invalidate() { tableCount = -1; }

private:
    void AppendHistoryColumn();

    const FrameHistory *history;
    // The ring slot of the first column and the number of columns.
    int tableHead = 0;
    int tableCount = 0;
};
