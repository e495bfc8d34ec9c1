#include "single_row_model.h"

CSingleRowModel::CSingleRowModel(QObject *pParent) : QAbstractTableModel(pParent) {}

CSingleRowModel::~CSingleRowModel() = default;

void CSingleRowModel::SetSourceRow(const QModelIndex &sourceRow)
{
    const int nRows = sourceRow.isValid() ? sourceRow.model()->columnCount(QModelIndex()) : 0;
    if (nRows > 0 && nRows == m_nAnnouncedRows) {
        // The same rows with new values (the next frame's statistics): views are told that every
        // label and value changed, which shows exactly what a reset would, but they keep their
        // row heights and hidden rows instead of rebuilding them.
        m_sourceRow = sourceRow;
        emit headerDataChanged(Qt::Vertical, 0, nRows - 1);
        emit dataChanged(index(0, 0), index(nRows - 1, 0));
        return;
    }
    beginResetModel();
    m_sourceRow = sourceRow;
    m_nAnnouncedRows = nRows;
    endResetModel();
}

int CSingleRowModel::rowCount(const QModelIndex &parent) const
{
    // A table: its cells have no children.
    if (parent.isValid() || !m_sourceRow.isValid())
        return 0;
    return m_sourceRow.model()->columnCount(QModelIndex());
}

int CSingleRowModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant CSingleRowModel::data(const QModelIndex &index, int role) const
{
    // The source's row shading means nothing in a list of values, so it is left out.
    if (!m_sourceRow.isValid() || role == Qt::BackgroundRole || !index.isValid())
        return QVariant();
    const QAbstractItemModel *pSource = m_sourceRow.model();
    return pSource->index(m_sourceRow.row(), index.row(), m_sourceRow.parent()).data(role);
}

QVariant CSingleRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal || !m_sourceRow.isValid())
        return QVariant();
    return m_sourceRow.model()->headerData(section, Qt::Horizontal, role);
}
