#pragma once
// Paints the frame-history row as a bar graph: each cell is one recorded frame, its bar as tall
// as the frame's total GPU time relative to the longest frame in the history, coloured by the
// frame-rate budget it met.

#include <QColor>
#include <QStyledItemDelegate>

class FrameHistory;

class CQBarGraphItemDelegate : public QStyledItemDelegate
{
public:
    // The cell value: the frame's total GPU time in seconds, as a double.
    static constexpr int kTotalGpuTimeRole = Qt::UserRole + 1;

    CQBarGraphItemDelegate(QObject *pParent, FrameHistory *pHistory);
    ~CQBarGraphItemDelegate() override;

    void paint(QPainter *pPainter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The bar colour of a frame that took flSeconds of GPU time.
    static QColor BudgetColor(double flSeconds);

private:
    FrameHistory *history;
};
