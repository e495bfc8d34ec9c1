#pragma once
// Compact text dumps of item models, so that tests compare whole model contents at once: the
// sample model with every role of every cell, and the display texts of a list's rows, columns
// and headers.

#include <QAbstractItemModel>
#include <QBrush>
#include <QColor>
#include <QStringList>

namespace model_dump {

inline QString VariantText(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("-");
    switch (value.typeId()) {
    case QMetaType::Double:
        return QStringLiteral("d:") + QString::number(value.toDouble(), 'g', 17);
    case QMetaType::Float:
        return QStringLiteral("f:") + QString::number(double(value.toFloat()), 'g', 9);
    case QMetaType::Int:
        return QStringLiteral("i:") + QString::number(value.toInt());
    case QMetaType::UInt:
        return QStringLiteral("u:") + QString::number(value.toUInt());
    case QMetaType::QString:
        return QStringLiteral("s:") + value.toString();
    case QMetaType::QBrush: {
        const QBrush brush = value.value<QBrush>();
        return QStringLiteral("%1/%2").arg(brush.color().name(QColor::HexArgb)).arg(int(brush.style()));
    }
    default:
        return QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()), value.toString());
    }
}

// The header texts joined by separator.
inline QString DumpHeader(const QAbstractItemModel *pModel, QLatin1Char separator = QLatin1Char(';'))
{
    QStringList cells;
    for (int nCol = 0; nCol < pModel->columnCount(); ++nCol)
        cells << pModel->headerData(nCol, Qt::Horizontal).toString();
    return cells.join(separator);
}

// The whole model: header texts, then every row depth-first, indented by depth, every cell with
// every role the sample model gives it.
inline QString Full(const QAbstractItemModel *pModel)
{
    QStringList lines{DumpHeader(pModel, QLatin1Char(','))};
    std::function<void(const QModelIndex &, int)> walk = [&](const QModelIndex &parent, int nDepth) {
        for (int r = 0; r < pModel->rowCount(parent); ++r) {
            QStringList cells;
            for (int c = 0; c < pModel->columnCount(parent); ++c) {
                const QModelIndex index = pModel->index(r, c, parent);
                cells << QStringList{index.data(Qt::DisplayRole).toString(),         VariantText(index.data(Qt::UserRole)),
                                     VariantText(index.data(Qt::TextAlignmentRole)), VariantText(index.data(Qt::ForegroundRole)),
                                     VariantText(index.data(Qt::BackgroundRole)),    QString::number(int(index.flags()))}
                             .join(QLatin1Char(' '));
            }
            lines << QString(nDepth, QLatin1Char(' ')) + cells.join(QStringLiteral(" | "));
            walk(pModel->index(r, 0, parent), nDepth + 1);
        }
    };
    walk(QModelIndex(), 0);
    return lines.join(QLatin1Char('\n'));
}

// The display texts of the given columns, one row a line, indented by depth.
inline QString Texts(const QAbstractItemModel *pModel, const QList<int> &columns)
{
    QStringList lines;
    std::function<void(const QModelIndex &, int)> walk = [&](const QModelIndex &parent, int nDepth) {
        for (int r = 0; r < pModel->rowCount(parent); ++r) {
            QStringList cells;
            for (int c : columns)
                cells << pModel->index(r, c, parent).data().toString();
            lines << QString(nDepth, QLatin1Char(' ')) + cells.join(QLatin1Char(' '));
            walk(pModel->index(r, 0, parent), nDepth + 1);
        }
    };
    walk(QModelIndex(), 0);
    return lines.join(QLatin1Char('\n'));
}

} // namespace model_dump

using model_dump::DumpHeader;

// Display texts of every row, cells joined by ";", rows by " | ".
inline QString DumpRows(const QAbstractItemModel *pModel)
{
    QStringList rows;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        QStringList cells;
        for (int nCol = 0; nCol < pModel->columnCount(); ++nCol)
            cells << pModel->index(nRow, nCol).data().toString();
        rows << cells.join(QLatin1Char(';'));
    }
    return rows.join(QStringLiteral(" | "));
}

inline QString DumpColumn(const QAbstractItemModel *pModel, int nColumn)
{
    QStringList cells;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
        cells << pModel->index(nRow, nColumn).data().toString();
    return cells.join(QLatin1Char(','));
}
