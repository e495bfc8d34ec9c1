#include "bar_graph_item_delegate.h"

#include "frame_history.h"

#include <QPainter>

CQBarGraphItemDelegate::CQBarGraphItemDelegate(QObject *pParent, FrameHistory *pHistory) : QStyledItemDelegate(pParent), history(pHistory)
{}

CQBarGraphItemDelegate::~CQBarGraphItemDelegate() = default;

QColor CQBarGraphItemDelegate::BudgetColor(double flSeconds)
{
    // The limits are the frame budgets of 60, 30, 25 and 20 frames per second; each limit
    // belongs to the class it ends.
    if (flSeconds <= 1.0 / 60.0)
        return QColor(0, 255, 0, 255);
    if (flSeconds <= 1.0 / 30.0)
        return QColor(0, 128, 0, 255);
    if (flSeconds <= 0.04)
        return QColor(255, 255, 0, 255);
    if (flSeconds <= 0.05)
        return QColor(255, 0, 0, 255);
    return QColor(100, 0, 200, 255);
}

void CQBarGraphItemDelegate::paint(QPainter *pPainter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QVariant value = index.data(kTotalGpuTimeRole);
    double v = 0.0;
    if (value.typeId() == QMetaType::Double)
        v = value.toDouble();
    else if (value.canConvert<double>())
        v = value.toDouble();

    const double flMax = history ? history->MaxTotalGpuTime() : FrameHistory::kMinMaxTotalGpuTime;
    double r = v / flMax;
    if (r > 1.0)
        r = 1.0;
    else if (!(r >= 0.0)) // negative, or not a number
        r = 0.0;
    const float flRatio = float(r);

    pPainter->save();
    if (option.state & QStyle::State_Selected)
        pPainter->fillRect(option.rect, option.palette.highlight());

    // Inclusive integer edges: one pixel of margin on the left, right and bottom; the bar reaches
    // one pixel below the cell's top when the ratio is 1 and is one pixel high when it is 0.
    const QRect &cell = option.rect;
    const int nLeft = cell.left() + 1;
    const int nRight = cell.right() - 1;
    const int nBottom = cell.bottom() - 1;
    const int nTop = (cell.top() + 1) - int(float(nBottom - (cell.top() + 1)) * (flRatio - 1.0f));
    QRect bar;
    bar.setCoords(nLeft, nTop, nRight, nBottom);
    pPainter->fillRect(bar, BudgetColor(v));
    pPainter->restore();
}

QSize CQBarGraphItemDelegate::sizeHint(const QStyleOptionViewItem & /*option*/, const QModelIndex & /*index*/) const
{
    return QSize(10, 60);
}
