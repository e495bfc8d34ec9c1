#pragma once
// The scene item of one timeline bar.

#include "bedrock_api.h"

#include <QGraphicsRectItem>

class CQTimelineView;

class CQTimelineItem : public QGraphicsRectItem
{
public:
    CQTimelineItem(CQTimelineView *pView, int32 nSlot);
    // Tells the view that made it, when there still is one, so that the view never keeps a
    // pointer to a bar that someone else (the scene's own teardown, say) has deleted.
    ~CQTimelineItem() override;

    // Draws the view's ready-made image of a bar of this colour and size where the painter
    // allows it pixel for pixel (see CQTimelineView::BarImage), and the rectangle with its pen
    // and gradient brush otherwise.
    void paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption, QWidget *pWidget) override;

    CQTimelineView *View() const { return view; }
    // The sample the bar shows now.
    int32 SampleIndex() const { return sampleIndex; }

private:
    friend class CQTimelineView;

    CQTimelineView *view;
    int32 slot; // its place among the view's bar items, which is also its stacking place
    int32 sampleIndex; // -1 while it shows nothing
    uint32 baseColour = 0; // 0xRRGGBB of the sample's colour, the key of its brush and image
    uint64 textLoad = 0; // the load whose sample's text the tooltip holds; 0: none
};
