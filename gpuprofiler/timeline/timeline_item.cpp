#include "timeline_item.h"

#include "timeline_view.h"

#include <QPainter>

CQTimelineItem::CQTimelineItem(CQTimelineView *pView, int32 nSlot) : view(pView), slot(nSlot), sampleIndex(-1) {}

CQTimelineItem::~CQTimelineItem()
{
    if (view)
        view->ForgetItem(this);
}

void CQTimelineItem::paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption, QWidget *pWidget)
{
    if (view) {
        QPoint origin;
        if (const QImage *pImage = view->BarImage(this, pPainter, &origin)) {
            pPainter->drawImage(origin, *pImage);
            return;
        }
    }
    QGraphicsRectItem::paint(pPainter, pOption, pWidget);
}
