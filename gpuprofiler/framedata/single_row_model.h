#pragma once
// One row of another model turned on its side: the source's columns become this model's rows,
// in a single column, each labelled with the source column's header text. The "Frame Stats" and
// "Inspector" panels show their row this way.

#include <QAbstractTableModel>
#include <QPersistentModelIndex>

class CSingleRowModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CSingleRowModel(QObject *pParent = nullptr);
    ~CSingleRowModel() override;

    // The shown row (any column of it); invalid shows nothing. The model follows no signal of its
    // source: a new row, or a rebuilt source, is shown only by setting the row again.
    const QPersistentModelIndex &sourceRow() const { return m_sourceRow; }
    // Points the model at a row and resets it; a row with as many columns as the one shown
    // before is announced as changed data instead, which views show the same way.
    void SetSourceRow(const QModelIndex &sourceRow);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPersistentModelIndex m_sourceRow;
    // Rows announced to views at the last reset; the source may have changed since.
    int m_nAnnouncedRows = 0;
};
