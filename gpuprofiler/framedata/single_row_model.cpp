#include "gpuprofiler/framedata/single_row_model.h"

CSingleRowModel::CSingleRowModel(QObject *pParent) : QAbstractTableModel(pParent) {}

CSingleRowModel::~CSingleRowModel() = default;

void CSingleRowModel::SetSourceRow(const QModelIndex &sourceRow)
{
    beginResetModel();
    m_sourceRow = sourceRow;
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
